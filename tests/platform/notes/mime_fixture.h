// For the MIME tests: the tree of parts the mail writer makes (transport
// headers, multipart/related, multipart/alternative with text/plain and
// text/html, a picture), written through the public entities; and a small
// reader of message text of its own, so that a rendered message is checked
// by code that shares nothing with the renderer.
#pragma once

#include "platform/notes/notes.h"

#include <QByteArray>

#include <string>
#include <vector>

namespace norvexa::notes::testing {

// What the test tree holds.
struct MailTree {
  // Transport headers with folded lines, non-ASCII bytes and the lines
  // (Content-Type, MIME-Version, Content-Transfer-Encoding) of the mail as
  // sent, which the rendered message must not repeat.
  std::string headers =
      "Received: from mx.example.com (mx.example.com [192.0.2.7])\r\n"
      "\tby inbound.example.org with ESMTPS id 4711\r\n"
      "\tfor <bo@example.org>; Mon, 7 Dec 2026 23:25:00 +0100\r\n"
      "From: =?utf-8?q?Zo=C3=AB?= <zoe@example.com>\r\n"
      "X-Raw-Latin1: Gr\xFC\xDF" "e \xE9t\xE9\r\n"
      "Subject: Pictures\r\n"
      "MIME-Version: 1.0\r\n"
      "Content-Type: multipart/signed; boundary=\"sent-boundary\"\r\n"
      "Content-Transfer-Encoding: 7bit\r\n";
  std::string plain = "Hello Zo\u00eb,\r\nsee the picture.\r\n-- \r\nBo\r\n";
  std::string html = "<p>Hello Zo\u00eb,</p><p><img src=\"cid:pic1@example\"> " + std::string(120, 'x') + "</p>";
  std::string image;  // every byte value, then more, as a picture's bytes
  MailTree() {
    for (int i = 0; i < 1000; ++i) image += static_cast<char>((i * 37 + i / 256) & 0xFF);
  }
};

// Writes TREE into item Body of DOC as the writer will: the top part from
// CreateRichTextItem("Body")->CreateChildEntity(), then related, alternative,
// plain (UTF-8, ENC_IDENTITY_8BIT), html (ISO-8859-1, quoted-printable) and
// the image (base64, with a Content-ID).
void WriteMailTree(Session& session, Document& doc, const MailTree& tree);

// A part of a message as read back by ReadMessage.
struct ReadPart {
  std::vector<std::pair<std::string, std::string>> headers;  // name, unfolded value
  std::string body;    // the body as it stands in the text
  std::string bytes;   // the body decoded by its Content-Transfer-Encoding
  std::vector<ReadPart> parts;  // of a multipart
  bool closed = true;           // a multipart's closing delimiter was found

  // The value of the first header NAME (case ignored), "" when none.
  std::string Header(const std::string& name) const;
  // How many headers NAME it has.
  int Count(const std::string& name) const;
};

// Reads TEXT (CRLF lines) as a MIME message: headers, and for a multipart
// its parts between the boundary its Content-Type names, recursively.
ReadPart ReadMessage(const std::string& text);

}  // namespace norvexa::notes::testing
