// A tree of MIME parts as one RFC 822/MIME message text, and the boundaries
// that keep its parts apart.
#pragma once

#include "platform/notes/mime_tree.h"

#include <string>

namespace norvexa::notes::internal {

// Gives every multipart of TREE a boundary that is valid and that no text
// inside it holds (its parts' header lines, content types, boundaries and
// encoded contents), making a new one for a part that has none or whose
// boundary fails. Throws NotesError (naming WHERE) in the unlikely case that
// no new boundary is free after several tries.
void SettleBoundaries(MimeTree& tree, const std::string& where);

// TREE as one message text (Document::RenderMIME says what it holds). The
// boundaries must be settled. An empty TREE gives "".
std::string RenderMessage(const MimeTree& tree);

}  // namespace norvexa::notes::internal
