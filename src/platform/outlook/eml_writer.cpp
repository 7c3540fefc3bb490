// Writing an Outlook item as an RFC 5322 / MIME message (see eml_writer.h).
#include "platform/outlook/eml_writer.h"

#include "platform/outlook/bag_attachment.h"
#include "platform/outlook/bag_item.h"

#include <QLocale>
#include <QTimeZone>

#include <ostream>

namespace norvexa::outlook::items {
namespace {

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(const std::string& data) {
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < data.size(); i += 3) {
    const unsigned b0 = static_cast<unsigned char>(data[i]);
    const unsigned b1 = i + 1 < data.size() ? static_cast<unsigned char>(data[i + 1]) : 0;
    const unsigned b2 = i + 2 < data.size() ? static_cast<unsigned char>(data[i + 2]) : 0;
    out.push_back(kBase64[b0 >> 2]);
    out.push_back(kBase64[((b0 & 0x03) << 4) | (b1 >> 4)]);
    out.push_back(i + 1 < data.size() ? kBase64[((b1 & 0x0F) << 2) | (b2 >> 6)] : '=');
    out.push_back(i + 2 < data.size() ? kBase64[b2 & 0x3F] : '=');
  }
  return out;
}

bool IsPlainAscii(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c >= 0x7F) return false;
  }
  return true;
}

// "name" <address> for one mailbox; either part may be empty.
std::string Mailbox(const std::string& name, const std::string& address) {
  std::string phrase;
  if (!name.empty() && name != address) {
    if (IsPlainAscii(name)) {
      phrase = "\"";
      for (char c : name) {
        if (c == '"' || c == '\\') phrase.push_back('\\');
        phrase.push_back(c);
      }
      phrase += "\"";
    } else {
      phrase = EncodeHeaderText(name);
    }
  }
  if (address.empty()) return phrase;
  const std::string angle = "<" + address + ">";
  return phrase.empty() ? angle : phrase + " " + angle;
}

// A quoted MIME parameter value (RFC 2047 words inside quotes for non-ASCII
// names, as mail programs read them).
std::string QuotedParameter(const std::string& value) {
  if (!IsPlainAscii(value)) return "\"" + EncodeHeaderText(value) + "\"";
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\') quoted.push_back('\\');
    quoted.push_back(c);
  }
  return quoted + "\"";
}

void WriteAddressHeader(std::ostream& out, const char* header, const std::vector<std::string>& mailboxes) {
  if (mailboxes.empty()) return;
  out << header << ": ";
  for (std::size_t i = 0; i < mailboxes.size(); ++i) out << (i ? ",\r\n " : "") << mailboxes[i];
  out << "\r\n";
}

}  // namespace

std::string EncodeHeaderText(const std::string& text) {
  if (IsPlainAscii(text)) return text;
  // Encoded words of at most 45 input bytes (60 characters of base64),
  // split on UTF-8 character boundaries.
  std::string out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = std::min(text.size(), start + 45);
    while (end < text.size() && end > start && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    if (end == start) end = std::min(text.size(), start + 45);
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + Base64(text.substr(start, end - start)) + "?=";
    start = end;
  }
  return out;
}

void Base64Writer::Flush(bool last) {
  // Whole lines of 57 input bytes, and the tail when LAST.
  std::size_t done = 0;
  while (pending_.size() - done >= 57 || (last && done < pending_.size())) {
    const std::size_t take = std::min<std::size_t>(57, pending_.size() - done);
    out_ << Base64(pending_.substr(done, take)) << "\r\n";
    done += take;
  }
  pending_.erase(0, done);
}

void Base64Writer::Finish() { Flush(true); }

Base64Writer::int_type Base64Writer::overflow(int_type ch) {
  if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
  pending_.push_back(traits_type::to_char_type(ch));
  if (pending_.size() >= 57 * 64) Flush(false);
  return ch;
}

std::streamsize Base64Writer::xsputn(const char* data, std::streamsize size) {
  pending_.append(data, static_cast<std::size_t>(size));
  if (pending_.size() >= 57 * 64) Flush(false);
  return size;
}

CountingWriter::int_type CountingWriter::overflow(int_type ch) {
  if (!traits_type::eq_int_type(ch, traits_type::eof())) ++count_;
  return traits_type::not_eof(ch);
}

std::streamsize CountingWriter::xsputn(const char*, std::streamsize size) {
  count_ += size;
  return size;
}

void WriteEml(const MapiItem& message, std::ostream& out, int depth) {
  // Headers.
  const std::string sender = Mailbox(message.SenderName(), message.SenderSmtpAddress());
  if (!sender.empty()) out << "From: " << sender << "\r\n";
  std::vector<std::string> to, cc, bcc;
  const std::vector<Recipient> recipients = message.Recipients();
  for (const Recipient& r : recipients) {
    const std::string mailbox = Mailbox(r.name, r.address);
    if (mailbox.empty()) continue;
    (r.type == mapi::MAPI_CC ? cc : r.type == mapi::MAPI_BCC ? bcc : to).push_back(mailbox);
  }
  if (recipients.empty()) {
    // No recipient table: the display texts are all there is.
    if (!message.To().empty()) to.push_back(EncodeHeaderText(message.To()));
    if (!message.CC().empty()) cc.push_back(EncodeHeaderText(message.CC()));
  }
  WriteAddressHeader(out, "To", to);
  WriteAddressHeader(out, "Cc", cc);
  WriteAddressHeader(out, "Bcc", bcc);
  if (const auto date = message.MessageDate()) {
    out << "Date: "
        << QLocale::c().toString(date->toTimeZone(QTimeZone::utc()), "ddd, dd MMM yyyy hh:mm:ss +0000").toStdString()
        << "\r\n";
  }
  out << "Subject: " << EncodeHeaderText(message.Subject()) << "\r\n";
  out << "MIME-Version: 1.0\r\n";

  const std::unique_ptr<Attachments> attachments = message.GetAttachments();
  const std::int64_t count = attachments->Count();
  const std::string boundary = "=_norvexa_part_" + std::to_string(depth) + "_boundary";
  if (count > 0) {
    out << "Content-Type: multipart/mixed; boundary=\"" << boundary << "\"\r\n\r\n";
    out << "This is a multi-part message in MIME format.\r\n";
    out << "--" << boundary << "\r\n";
  }
  out << "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n";
  {
    Base64Writer body(out);
    const std::string text = message.Body();
    body.sputn(text.data(), static_cast<std::streamsize>(text.size()));
    body.Finish();
  }
  for (std::int64_t k = 1; k <= count; ++k) {
    const std::unique_ptr<Attachment> base = attachments->GetAttachment(k);
    const auto& attachment = static_cast<const MapiAttachment&>(*base);
    const std::string name = attachment.FileName();
    out << "\r\n--" << boundary << "\r\n";
    if (attachment.IsItem()) {
      out << "Content-Type: message/rfc822\r\n";
      out << "Content-Disposition: attachment; filename=" << QuotedParameter(name) << "\r\n\r\n";
      attachment.WriteTo(out, depth + 1);
    } else {
      const std::string mime = attachment.MimeType();
      out << "Content-Type: " << (mime.empty() || !IsPlainAscii(mime) ? "application/octet-stream" : mime)
          << "; name=" << QuotedParameter(name) << "\r\n";
      out << "Content-Transfer-Encoding: base64\r\n";
      out << "Content-Disposition: attachment; filename=" << QuotedParameter(name) << "\r\n\r\n";
      Base64Writer encoded(out);
      std::ostream sink(&encoded);
      attachment.WriteTo(sink);
      encoded.Finish();
    }
  }
  if (count > 0) out << "\r\n--" << boundary << "--\r\n";
}

}  // namespace norvexa::outlook::items
