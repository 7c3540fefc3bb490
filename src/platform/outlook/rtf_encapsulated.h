// HTML and plain text encapsulated in RTF ([MS-OXRTFEX]): recognising it
// from the header, and taking the original content back out.
#pragma once

#include <string>
#include <string_view>

namespace norvexa::outlook::rtf {

enum class Encapsulation { kNone, kHtml, kText };

// What RTF encapsulates: \fromhtml (kHtml) or \fromtext (kText) among the
// first ten group marks and control words, before any text; a zero
// parameter (\fromhtml0) does not count. kNone for everything else,
// including input that is not RTF.
Encapsulation EncapsulationOf(std::string_view rtf);

// The content that RTF encapsulates, UTF-8: the text of \*\htmltag groups
// (in the document's code page) and the text outside them (in the code
// page of its font), without what \htmlrtf ... \htmlrtf0 marks as RTF of
// its own (a state kept per group, as \b is) and without the optional and
// non-text destinations outside \htmltag (\*\mhtmltag among them: it
// repeats the \htmltag after it). \par and \line give CRLF; \tab, \{, \},
// \\, \~ and the other character words give their characters, \'hh and
// \uN their text. Throws OutlookError when RTF does not start like RTF.
std::string Deencapsulate(std::string_view rtf);

}  // namespace norvexa::outlook::rtf
