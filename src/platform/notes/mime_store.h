// The MIME parts of a document's items in the mime_parts table: a tree is
// stored one row per part, in tree order, each naming its parent part.
#pragma once

#include "platform/notes/mime_tree.h"
#include "platform/notes/sqlite_store.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace norvexa::notes::internal {

// Inserts the parts of TREE as item ITEM_NAME of document NOTE_ID: seq
// numbers the parts from 0 in tree order (a part, then its children), parent
// is the seq of a part's parent (NULL for a top part), content is encoded as
// the part's encoding says. The boundaries must be settled. The caller holds
// the connection's lock and an open transaction.
void WriteMimeParts(Connection& connection, std::int64_t note_id, const std::string& item_name, const MimeTree& tree,
                    const char* operation);

// The part trees of document NOTE_ID, by item name, in the order of the
// table (item names, then seq). Layout 1's parts are all top parts. A row
// whose parent is not an earlier part of its item (a damaged file) is read
// as a top part. The caller holds the connection's lock.
std::vector<std::pair<std::string, MimeTree>> ReadMimeParts(Connection& connection, std::int64_t note_id,
                                                            const char* operation);

}  // namespace norvexa::notes::internal
