// The target of an RTF hyperlink field: the instruction of
// {\field{\*\fldinst HYPERLINK "url"}{\fldrslt text}} to the href that the
// field's result links to.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace norvexa::outlook::rtf {

// The link target of field instruction INSTRUCTION (UTF-8): for
// HYPERLINK "URL" the URL, for HYPERLINK \l "NAME" the anchor "#NAME", for
// both "URL#NAME". Arguments may be quoted or bare words; the switches \o,
// \t (which take an argument), \m and \n (which take none) are passed
// over. nullopt for other fields, for a HYPERLINK without target, and for
// targets that would run script (javascript:, vbscript:, data:), which no
// mail body needs.
std::optional<std::string> HyperlinkTarget(std::string_view instruction);

}  // namespace norvexa::outlook::rtf
