// The formatted body of an item, for its writer: the HTML the item carries
// (PR_HTML), else the HTML its compressed RTF body holds or is turned
// into, with the pictures that HTML shows by "cid:".
#pragma once

#include "writers/item_extras.h"
#include "writers/staged_contents.h"
#include "writers/writers.h"

#include <string>
#include <vector>

namespace norvexa::outlook {
class Item;
}

namespace norvexa::conversion {

// The content ids HTML refers to as "cid:ID" (in src, href, background and
// CSS url()), in order of first use, each once, without angle brackets.
std::vector<std::string> ReferencedContentIds(const std::string& html);

// The formatted body of ITEM: its HTML body; else, when it has a compressed
// RTF body, the HTML that RTF carries (mail sent as HTML) or is converted
// into (real RTF), with the pictures held inside it; else an empty HTML (the
// item has only its plain text). Every picture the HTML refers to by "cid:"
// that is one of ITEM's attachments comes with the path STAGED gives that
// attachment (STAGED lists the staged files in attachment order), or with
// its bytes when HELD (may be null) holds that path in memory. A body
// that cannot be read (a damaged RTF, say) adds a line to PROBLEMS and
// leaves the plain text to stand; nothing throws.
writers::FormattedBody ReadFormattedBody(const outlook::Item& item, const writers::StagedFiles& staged,
                                         std::vector<std::string>& problems,
                                         const writers::StagedContents* held = nullptr);

}  // namespace norvexa::conversion
