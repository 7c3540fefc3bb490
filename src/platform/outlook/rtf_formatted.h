// Formatted RTF (what an editor writes, not encapsulated HTML) to HTML and
// to plain text, in one pass.
#pragma once

#include "platform/outlook/rtf_html.h"

#include <string>
#include <string_view>
#include <vector>

namespace norvexa::outlook::rtf {

struct FormattedRtf {
  // A whole HTML document declaring utf-8.
  std::string html;
  // The text: paragraphs and rows ended by CRLF (a last paragraph without
  // its mark by nothing), cells followed by a tab, list bullets and numbers
  // kept.
  std::string plain;
  std::vector<Picture> pictures;
};

// RTF as HTML, text and pictures. Paragraphs become <div> elements with
// their alignment and left indent; \line <br>; character formatting
// (\b, \i, \ul and its kinds, \strike, \super, \sub, \f, \fs, \cf,
// \highlight, \cb, \chcbpat) spans and inline elements; hidden text (\v)
// is left out. Paragraphs with list text (\pntext, \listtext) or a list
// (\lsN, level \ilvlN) become items of <ul>, or of <ol> when their list text
// is a number or letter followed by '.' or ')'. Table paragraphs (\intbl)
// become cells (\cell) of rows (\row) of a <table>, cell widths from
// \cellx, borders when the row defines any. HYPERLINK fields link their
// result. Pictures (see rtf_picture.h) become <img src="cid:...">. Throws
// OutlookError when RTF does not start like RTF.
FormattedRtf ConvertFormatted(std::string_view rtf);

}  // namespace norvexa::outlook::rtf
