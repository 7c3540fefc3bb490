// The MIME body of a document; see mime_body.h.
#include "writers/mime_body.h"

#include "platform/system/paths.h"
#include "writers/item_values.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace norvexa::writers {
namespace {

// Pictures larger than this stay attachments only: the body shows them as
// missing rather than hold a second copy of a huge file in memory.
constexpr std::uintmax_t kMaxPictureBytes = 64ull * 1024 * 1024;

// Whether PICTURE can be shown inside the body: its bytes are held, or its
// staged file is there and small enough. A picture whose staging failed
// (the preparation reports that loss) or that is too large is left out of
// the body: it stays an attachment, so nothing of it is lost.
bool ShownInside(const BodyPicture& picture) {
  if (picture.staged.empty()) return true;
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(picture.staged, ec);
  return !ec && size <= kMaxPictureBytes;
}

// The bytes of PICTURE: its staged file's, else those it holds. Throws
// NotesError when the file cannot be read.
std::string PictureBytes(const BodyPicture& picture) {
  if (picture.staged.empty()) return picture.bytes;
  std::ifstream in(picture.staged, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) throw notes::NotesError("the staged file " + sys::Utf8(picture.staged) + " cannot be read");
  return bytes;
}

// TEXT with '"' and '\' escaped, for a quoted header parameter.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\r' || c == '\n') continue;
    out += c;
  }
  return out + "\"";
}

// Sets the header NAME of PART to VALUE, as one step.
void SetHeader(Steps& steps, notes::MIMEEntity* part, const std::string& name, const std::string& value) {
  steps.Run("setting the header " + name, [&] {
    if (part == nullptr) throw notes::NotesError("no MIME part (an earlier step failed)");
    part->CreateHeader(name)->SetHeaderVal(value);
  });
}

// A new child of PARENT kept in BODY; null when PARENT is null or the step fails.
notes::MIMEEntity* NewChild(Steps& steps, MimeBody& body, notes::MIMEEntity* parent, const std::string& what) {
  notes::MIMEEntity* child = nullptr;
  steps.Run("creating the " + what, [&] {
    if (parent == nullptr) throw notes::NotesError("no MIME part (an earlier step failed)");
    body.parts.push_back(parent->CreateChildEntity());
    child = body.parts.back().get();
  });
  return child;
}

// A new stream of SESSION holding TEXT (or, when BINARY, the bytes TEXT),
// kept in BODY; null when a step fails.
notes::Stream* NewStream(Steps& steps, MimeBody& body, const std::unique_ptr<notes::Session>& session,
                         const std::string& text, bool binary, const std::string& what) {
  notes::Stream* stream = nullptr;
  steps.Run("creating the stream of the " + what, [&] {
    body.streams.push_back(Need(session, "session").CreateStream());
    stream = body.streams.back().get();
  });
  if (stream == nullptr) return nullptr;
  if (!steps.Run("writing the stream of the " + what, [&] {
        if (binary) stream->Write(text);
        else stream->WriteText(text);
      })) {
    return nullptr;
  }
  return stream;
}

}  // namespace

std::string HtmlOfPlainText(const std::string& plain) {
  std::string html;
  html.reserve(plain.size() + plain.size() / 8 + 8);
  for (std::size_t i = 0; i < plain.size(); ++i) {
    const char c = plain[i];
    switch (c) {
      case '&': html += "&amp;"; break;
      case '<': html += "&lt;"; break;
      case '>': html += "&gt;"; break;
      case '"': html += "&quot;"; break;
      case '\r':
        html += "<br>\r\n";
        if (i + 1 < plain.size() && plain[i + 1] == '\n') ++i;
        break;
      case '\n': html += "<br>\r\n"; break;
      default: html += c;
    }
  }
  return html + "<br><br>";
}

MimeBody MakeMimeBody(Steps& steps, const std::unique_ptr<notes::Session>& session,
                      const std::unique_ptr<notes::Document>& document, const std::string& plain,
                      const FormattedBody& formatted, const std::string& headers) {
  MimeBody body;
  const std::string html = formatted.html.empty() ? HtmlOfPlainText(plain) : formatted.html;
  notes::Stream* html_stream = NewStream(steps, body, session, html, false, "HTML part");
  steps.Run("creating the item Body", [&] { body.item = Need(document, "document").CreateRichTextItem("Body"); });
  notes::MIMEEntity* top = nullptr;
  steps.Run("creating the top MIME part", [&] {
    body.parts.push_back(Need(body.item, "item Body").CreateChildEntity());
    top = body.parts.back().get();
  });
  if (!headers.empty()) {
    steps.Run("keeping the mail's header", [&] {
      if (top == nullptr) throw notes::NotesError("no MIME part (an earlier step failed)");
      top->SetHeadersFromText(headers);
    });
  }
  const bool related = !formatted.pictures.empty();
  SetHeader(steps, top, "Content-Type", related ? "multipart/related" : "multipart/alternative");
  notes::MIMEEntity* alternative = top;
  if (related) {
    alternative = NewChild(steps, body, top, "alternative part");
    SetHeader(steps, alternative, "Content-Type", "multipart/alternative");
  }

  notes::MIMEEntity* plain_part = NewChild(steps, body, alternative, "plain part");
  notes::Stream* plain_stream = NewStream(steps, body, session, plain, false, "plain part");
  steps.Run("setting the plain part", [&] {
    if (plain_part == nullptr || plain_stream == nullptr) throw notes::NotesError("no plain part (an earlier step failed)");
    plain_part->SetContentFromText(*plain_stream, kPlainBodyType, notes::ENC_IDENTITY_8BIT);
  });

  notes::MIMEEntity* html_part = NewChild(steps, body, alternative, "HTML part");
  steps.Run("setting the HTML part", [&] {
    if (html_part == nullptr || html_stream == nullptr) throw notes::NotesError("no HTML part (an earlier step failed)");
    html_part->SetContentFromText(*html_stream, kHtmlBodyType, notes::ENC_QUOTED_PRINTABLE);
  });

  for (const BodyPicture& picture : formatted.pictures) {
    if (!ShownInside(picture)) continue;
    std::string bytes;
    if (!steps.Run("reading the picture " + picture.content_id, [&] { bytes = PictureBytes(picture); })) continue;
    notes::MIMEEntity* part = NewChild(steps, body, top, "picture part " + picture.content_id);
    notes::Stream* stream = NewStream(steps, body, session, bytes, true, "picture " + picture.content_id);
    SetHeader(steps, part, "Content-ID", "<" + picture.content_id + ">");
    const std::string name = picture.file_name.empty() ? std::string() : "; filename=" + Quoted(picture.file_name);
    SetHeader(steps, part, "Content-Disposition", "inline" + name);
    const std::string type = picture.mime_type.empty() ? std::string("application/octet-stream") : picture.mime_type;
    steps.Run("setting the picture " + picture.content_id, [&] {
      if (part == nullptr || stream == nullptr) throw notes::NotesError("no picture part (an earlier step failed)");
      part->SetContentFromBytes(*stream, type, notes::ENC_BASE64);
    });
  }
  steps.Run("closing the stream", [&] {
    if (html_stream == nullptr) throw notes::NotesError("no stream (an earlier step failed)");
    html_stream->Close();
  });
  // A document whose body is MIME says so, as Notes' own Internet mail does.
  Put(steps, document, "$NoteHasNativeMIME", std::string("1"));
  Put(steps, document, "MIME_Version", std::string("1.0"));
  return body;
}

bool PutEntryBody(Steps& steps, const std::unique_ptr<notes::Session>& session,
                  const std::unique_ptr<notes::Document>& document, const std::string& plain,
                  const FormattedBody& formatted, MimeBody& body) {
  // A formatted body goes in as MIME, as a mail's does; a plain one as text.
  if (formatted.html.empty()) {
    Put(steps, document, "Body", plain);
    return false;
  }
  body = MakeMimeBody(steps, session, document, plain, formatted, "");
  return true;
}

void CloseMimeBody(Steps& steps, const std::unique_ptr<notes::Document>& document, MimeBody& body) {
  steps.Run("closing the MIME parts", [&] { Need(document, "document").CloseMIMEEntities(true, "Body"); });
  body.Release();
}

}  // namespace norvexa::writers
