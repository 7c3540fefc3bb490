// HTML and plain text out of an RTF body (the decompressed PR_RTF_COMPRESSED,
// see rtf_compressed.h), so that items whose formatted body exists only as
// RTF keep their formatting.
//
// Three kinds of RTF come out of Outlook: RTF that encapsulates the
// original HTML of the message (\fromhtml1, [MS-OXRTFEX]), from which that
// HTML is taken back out; RTF that encapsulates plain text (\fromtext),
// whose text is given escaped with its line breaks; and formatted RTF
// written by an editor, which is converted: paragraphs and their alignment,
// line breaks, bold, italic, underline, strike, superscript and subscript,
// font face, size and colours, lists, tables, hyperlinks and pictures.
//
// All results are UTF-8 whatever code pages the RTF uses. Any input that
// starts like RTF gives a result, however damaged the rest: these functions
// do not crash, hang or allocate beyond a small multiple of the input on
// any input.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace norvexa::outlook::rtf {

// A picture of the RTF, referred to from the HTML as <img src="cid:ID">.
struct Picture {
  std::string content_id;  // without angle brackets: "rtf-picture-1.png@norvexa"
  std::string mime_type;   // image/png, image/jpeg, image/x-emf, image/x-wmf, image/bmp, image/x-pict
  std::string bytes;
};

struct HtmlFromRtf {
  std::string html;
  // The pictures the HTML refers to, in the order they appear (only
  // formatted RTF has any: encapsulated HTML refers to the item's own
  // attachments).
  std::vector<Picture> pictures;
  // True when HTML is the original HTML taken out of \fromhtml RTF; false
  // for HTML made here from formatted RTF or from encapsulated text.
  bool encapsulated = false;
};

// Whether RTF carries HTML: \fromhtml1 (or \fromhtml) among the first ten
// control words and group marks, before any text, as a reader must look
// for it.
bool IsEncapsulatedHtml(std::string_view rtf);

// The HTML of RTF, UTF-8. For encapsulated HTML a charset that a <meta>
// element names is rewritten to utf-8, so the HTML never claims a charset
// its bytes are not in; HTML made here is a whole document declaring
// utf-8. Throws OutlookError only for input that is not RTF at all (does
// not start with "{\rtf").
HtmlFromRtf ToHtml(std::string_view rtf);

// The plain text of RTF, paragraphs ended by CRLF, table cells separated by
// a tab and rows ended by CRLF, list bullets and numbers kept as text; the
// original text for \fromtext RTF. For items that have no plain body.
// Throws as ToHtml.
std::string ToPlainText(std::string_view rtf);

}  // namespace norvexa::outlook::rtf
