// Synthetic mailboxes of any size: deterministic in their seed, produced
// item by item so that the writer streams them.
#pragma once

#include "model.h"

namespace norvexa::pstgen {

struct SyntheticOptions {
  int folders = 4;
  std::int64_t items = 100;              // per folder
  std::uint64_t attachment_bytes = 0;    // mean bytes of attachments per item, 0 = none
  std::uint64_t seed = 1;
  std::string store_name = "Synthetic Mailbox";
  FileFormat format = FileFormat::Unicode;
  Encoding encoding = Encoding::None;
};

MailboxSpec SyntheticMailbox(const SyntheticOptions& options);

}  // namespace norvexa::pstgen
