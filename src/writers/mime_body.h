// The body of a document as Notes keeps Internet mail: the rich-text item
// "Body" holding a tree of MIME parts. Its top part carries the mail's own
// header block (the transport headers, byte for byte); beneath it a
// multipart/alternative of the plain text (text/plain, UTF-8) and the HTML
// (text/html), inside a multipart/related with one part per picture when
// the HTML shows pictures by "cid:".
#pragma once

#include "platform/notes/notes.h"
#include "writers/item_extras.h"
#include "writers/steps.h"

#include <memory>
#include <string>
#include <vector>

namespace norvexa::writers {

// The content type of the HTML part, its charset value quoted. The back-end
// changes the charset to utf-8 when the text does not fit ISO-8859-1.
inline constexpr char kHtmlBodyType[] = "text/html; charset=\"iso-8859-1\"";
// The content type of the plain part; stored unencoded, so that its bytes
// are the text.
inline constexpr char kPlainBodyType[] = "text/plain; charset=utf-8";

// The HTML for a body that has only plain text: PLAIN with "&", "<", ">"
// and '"' escaped and every line break kept as "<br>", followed by
// "<br><br>".
std::string HtmlOfPlainText(const std::string& plain);

// The objects a MIME body is made of. They stay alive until the document's
// MIME parts are closed, then go in the order parts, item, streams.
struct MimeBody {
  std::vector<std::unique_ptr<notes::Stream>> streams;
  std::unique_ptr<notes::RichTextItem> item;
  std::vector<std::unique_ptr<notes::MIMEEntity>> parts;

  void Release() {
    parts.clear();
    item.reset();
    streams.clear();
  }
};

// Makes the item "Body" of DOCUMENT (through SESSION's streams) as the tree
// described at the top of this file, each back-end call a step of STEPS, in
// this order: the HTML stream is made and written (FORMATTED's HTML, or
// HtmlOfPlainText(PLAIN)); the rich-text item "Body"; its child part, the
// top one, with HEADERS when they are not "" and its multipart type; the
// text/plain part; the text/html part from the stream, quoted-printable;
// one part per picture of FORMATTED (base64, with its Content-ID); the
// stream is closed; the document's items $NoteHasNativeMIME "1" and
// MIME_Version "1.0" are put. A picture whose staged file is missing or
// larger than 64 MB is left out of the tree (it stays an attachment); one
// whose file cannot be read is left out and named in STEPS' failures. The caller
// closes the MIME parts (CloseMIMEEntities) before the document is saved.
MimeBody MakeMimeBody(Steps& steps, const std::unique_ptr<notes::Session>& session,
                      const std::unique_ptr<notes::Document>& document, const std::string& plain,
                      const FormattedBody& formatted, const std::string& headers);

// The body of a calendar entry or a task: when FORMATTED carries HTML, the
// MIME tree MakeMimeBody makes (without transport headers) into BODY, and
// true; else PLAIN as the text item "Body", and false.
bool PutEntryBody(Steps& steps, const std::unique_ptr<notes::Session>& session,
                  const std::unique_ptr<notes::Document>& document, const std::string& plain,
                  const FormattedBody& formatted, MimeBody& body);

// Closes the MIME parts of DOCUMENT's item "Body" (a step of STEPS) and
// releases BODY: what a writer with a MIME body does just before the save.
void CloseMimeBody(Steps& steps, const std::unique_ptr<notes::Document>& document, MimeBody& body);

}  // namespace norvexa::writers
