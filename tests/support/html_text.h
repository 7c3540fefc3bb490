// The text a reader sees in HTML, for comparing bodies: tags, comments,
// and the contents of head, style and script dropped, character references
// decoded, and every run of blanks (spaces, tabs, line breaks, no-break
// spaces) folded into one space, trimmed at both ends.
#pragma once

#include <string>

namespace norvexa::testing {

std::string TextOfHtml(const std::string& html);

// TEXT with every run of blanks folded into one space, trimmed.
std::string FoldBlanks(const std::string& text);

}  // namespace norvexa::testing
