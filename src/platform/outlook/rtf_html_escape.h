// Putting text into HTML safely: escaping of text and attribute values,
// font names fit for a style attribute, and the charset that encapsulated
// HTML claims rewritten to the UTF-8 it has been converted to.
#pragma once

#include <string>
#include <string_view>

namespace norvexa::outlook::rtf {

// Appends UTF8 to OUT with &, <, >, " and ' as character references, so it
// reads as that text in element content and in quoted attribute values.
// Control characters other than tab, CR and LF are dropped (HTML has no
// place for them).
void AppendEscaped(std::string& out, std::string_view utf8);

// UTF8 escaped as AppendEscaped does.
std::string Escaped(std::string_view utf8);

// NAME, a font name of the RTF, reduced to what can stand quoted in a CSS
// font-family inside a style attribute: letters, digits, blanks, '-', '_',
// '.' and any non-ASCII character; "" when nothing is left.
std::string CssFontName(std::string_view name);

// HTML with the charset of every <meta> element (charset="..." and
// content="...; charset=...") changed to utf-8; everything else is kept
// byte for byte.
std::string WithUtf8Charset(std::string html);

}  // namespace norvexa::outlook::rtf
