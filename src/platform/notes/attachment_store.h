// File attachments in the attachments table: storing a file (read whole
// when smaller than one 1 MB chunk, otherwise streamed through SQLite's
// incremental blob I/O, so a large file is never held in memory) or bytes
// held in memory, computing the SHA-256 on the way, and streaming an
// attachment back out.
#pragma once

#include "platform/notes/notes.h"
#include "platform/notes/sqlite_store.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace norvexa::notes::internal {

struct StoredAttachment {
  std::int64_t id = 0;  // attachments.id
  AttachmentInfo info;
};

// Stores the file at SOURCE, under its own file name, as an attachment of
// rich-text item ITEM_NAME that belongs to no document yet (note_id NULL),
// in one transaction. The SHA-256 is returned, and recorded in the table by
// the save that claims the attachment. A missing or unreadable file, or one that changes
// size while it is read, throws and leaves nothing behind.
StoredAttachment StreamFileIn(Connection& connection, const std::filesystem::path& source,
                              const std::string& item_name);

// Stores BYTES as an attachment named FILE_NAME of rich-text item ITEM_NAME
// that belongs to no document yet, as StreamFileIn stores a file of those
// bytes under that name: one value, in one transaction, hashed on the
// caller's thread. Throws and leaves nothing behind when it fails.
StoredAttachment StoreBytesIn(Connection& connection, const std::string& file_name, std::string_view bytes,
                              const std::string& item_name);

// Writes the bytes of attachment ID to TARGET (replacing it).
void StreamFileOut(Connection& connection, std::int64_t id, const std::filesystem::path& target);

// Removes attachments IDS that still belong to no document.
void DeleteUnclaimedAttachments(Connection& connection, const std::vector<std::int64_t>& ids);

}  // namespace norvexa::notes::internal
