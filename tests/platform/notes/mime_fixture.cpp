// The test tree of MIME parts, and the test's own reader of message text.
#include "mime_fixture.h"

#include <QString>

#include <cctype>

namespace norvexa::notes::testing {

namespace {

bool SameText(const std::string& a, const std::string& b) {
  return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

std::string DecodeQp(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '=' && i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
      i += 2;
    } else if (text[i] == '=' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The boundary parameter of content type TYPE.
std::string BoundaryOf(const std::string& type) {
  const qsizetype at = QString::fromLatin1(type.data(), static_cast<qsizetype>(type.size()))
                           .indexOf("boundary=", 0, Qt::CaseInsensitive);
  if (at < 0) return {};
  std::string value = type.substr(static_cast<std::size_t>(at) + 9);
  if (!value.empty() && value[0] == '"') return value.substr(1, value.find('"', 1) - 1);
  return value.substr(0, value.find(';'));
}

}  // namespace

void WriteMailTree(Session& session, Document& doc, const MailTree& tree) {
  auto stream = session.CreateStream();
  auto top = doc.CreateRichTextItem("Body")->CreateChildEntity();
  top->SetHeadersFromText(tree.headers);
  top->CreateHeader("Content-Type")->SetHeaderVal("multipart/related");
  auto& related = top;  // the top part is the multipart/related
  auto alternative = related->CreateChildEntity();
  alternative->CreateHeader("Content-Type")->SetHeaderVal("multipart/alternative");
  stream->WriteText(tree.plain);
  alternative->CreateChildEntity()->SetContentFromText(*stream, "text/plain; charset=utf-8", ENC_IDENTITY_8BIT);
  stream->Truncate();
  stream->WriteText(tree.html);
  alternative->CreateChildEntity()->SetContentFromText(*stream, "text/html; charset=\"iso-8859-1\"",
                                                       ENC_QUOTED_PRINTABLE);
  stream->Truncate();
  stream->Write(tree.image);
  auto image = related->CreateChildEntity();
  image->CreateHeader("Content-ID")->SetHeaderVal("<pic1@example>");
  image->CreateHeader("Content-Disposition")->SetHeaderVal("inline; filename=\"pic.png\"");
  image->SetContentFromBytes(*stream, "image/png", ENC_BASE64);
  doc.CloseMIMEEntities(true, "Body");
}

std::string ReadPart::Header(const std::string& name) const {
  for (const auto& [n, v] : headers)
    if (SameText(n, name)) return v;
  return {};
}

int ReadPart::Count(const std::string& name) const {
  int count = 0;
  for (const auto& [n, v] : headers) count += SameText(n, name) ? 1 : 0;
  return count;
}

ReadPart ReadMessage(const std::string& text) {
  ReadPart part;
  const std::size_t blank = text.find("\r\n\r\n");
  const std::string head = text.substr(0, blank == std::string::npos ? text.size() : blank + 2);
  part.body = blank == std::string::npos ? std::string() : text.substr(blank + 4);
  std::size_t pos = 0;
  while (pos < head.size()) {
    std::size_t end = head.find("\r\n", pos);
    while (end != std::string::npos && end + 2 < head.size() && (head[end + 2] == ' ' || head[end + 2] == '\t'))
      end = head.find("\r\n", end + 2);
    if (end == std::string::npos) end = head.size();
    std::string field = head.substr(pos, end - pos);
    for (std::size_t fold; (fold = field.find("\r\n")) != std::string::npos;) field.erase(fold, 2);
    const std::size_t colon = field.find(':');
    std::string value = colon == std::string::npos ? std::string() : field.substr(colon + 1);
    while (!value.empty() && (value[0] == ' ' || value[0] == '\t')) value.erase(0, 1);
    part.headers.emplace_back(field.substr(0, colon), value);
    pos = end + 2;
  }
  const std::string encoding = QString::fromStdString(part.Header("Content-Transfer-Encoding")).toLower().toStdString();
  if (encoding == "base64")
    part.bytes = QByteArray::fromBase64(QByteArray::fromStdString(part.body)).toStdString();
  else if (encoding == "quoted-printable")
    part.bytes = DecodeQp(part.body);
  else
    part.bytes = part.body;

  const std::string type = part.Header("Content-Type");
  if (!SameText(type.substr(0, 10), "multipart/")) return part;
  const std::string delimiter = "--" + BoundaryOf(type);
  const std::string& body = part.body;
  if (body.compare(0, delimiter.size() + 2, delimiter + "\r\n") != 0) {
    part.closed = false;
    return part;
  }
  std::size_t start = delimiter.size() + 2;
  for (;;) {
    const std::size_t next = body.find("\r\n" + delimiter, start);
    if (next == std::string::npos) {
      part.closed = false;
      return part;
    }
    part.parts.push_back(ReadMessage(body.substr(start, next - start)));
    const std::size_t after = next + 2 + delimiter.size();
    if (body.compare(after, 2, "--") == 0) return part;
    start = after + 2;  // past the delimiter's CRLF
  }
}

}  // namespace norvexa::notes::testing
