// The account of one conversion run: per folder, the documents written and
// the items that could not be copied (with the reason), the folders that
// could not be read, and the folders of kinds the run does not convert. It
// composes the completion message from that account.
#pragma once

#include "platform/system/system_services.h"

#include <cstdint>
#include <string>
#include <vector>

namespace norvexa::conversion {

class RunReport {
 public:
  // Starts the account of folder NAME; later calls refer to it.
  void BeginFolder(const std::string& name);

  // An item of the current folder was copied.
  void ItemCopied();

  // An item of the current folder, named LABEL (subject or name; may be ""),
  // could not be copied, or only in part, for REASON.
  void ItemFailed(const std::string& label, const std::string& reason);

  // Folder NAME could not be opened or read for REASON: none of its items
  // was copied.
  void FolderFailed(const std::string& name, const std::string& reason);

  // Folder NAME holds items of class MESSAGE_CLASS, which the run does not
  // convert (journal, notes). Not a failure.
  void FolderNotConverted(const std::string& name, const std::string& message_class);

  std::int64_t Copied() const { return copied_; }
  std::int64_t Failed() const { return failed_; }
  std::int64_t FoldersFailed() const { return static_cast<std::int64_t>(folder_failures_.size()); }
  bool AllCopied() const { return failed_ == 0 && folder_failures_.empty(); }

  // The completion message for the target paths NSF_PATH and ADDRESS_BOOK
  // ("" for an existing database). When everything was copied: the plain
  // success message, information icon. Otherwise a warning saying how many
  // of how many items could not be copied, then the paths. The detailed text
  // lists each folder's counts, each failed item and the folders not
  // converted.
  sys::Message CompletionMessage(const std::string& nsf_path, const std::string& address_book) const;

 private:
  struct FolderAccount {
    std::string name;
    std::int64_t copied = 0;
    std::int64_t failed = 0;
    std::vector<std::string> failures;  // "label: reason"
  };
  std::vector<FolderAccount> folders_;
  std::vector<std::string> folder_failures_;  // "name: reason"
  std::vector<std::string> not_converted_;    // "name (class)"
  std::int64_t copied_ = 0;
  std::int64_t failed_ = 0;

  FolderAccount& Current();
};

}  // namespace norvexa::conversion
