// The messaging layer: writes a whole mailbox (message store, name-to-id
// map, root folder, IPM subtree, the nodes every PST must have, the folders
// with their hierarchy, contents and associated-contents tables, messages
// with recipients and attachments) through the node database writer.
#pragma once

#include "model.h"

#include <filesystem>

namespace norvexa::pstgen {

// Figures of a written mailbox.
struct WriteStats {
  std::uint64_t folders = 0;
  std::uint64_t items = 0;
  std::uint64_t attachments = 0;
  std::uint64_t file_bytes = 0;
};

// Writes SPEC as a PST file at PATH (replacing it) in SPEC's format, encoding
// and code page. Throws PstWriteError when the file cannot be written or the
// mailbox does not fit the format, CodepageError when an ANSI file's code
// page cannot be written; the partly written file is then removed.
WriteStats WriteMailbox(const MailboxSpec& spec, const std::filesystem::path& path);

}  // namespace norvexa::pstgen
