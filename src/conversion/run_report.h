// The account of one conversion run: per folder, the documents written, the
// items that could not be copied (with the reason) and those the target
// already held (an export finished by a second run), the folders that
// could not be read (with the item count the folder tree showed for them),
// and the folders of kinds the run does not convert; and what the store
// file's damage did to the run: the items read from damaged parts of the
// file, those copied without a part that could not be read, the folders
// read in part and the damage of the store's indexes, each with its place
// in the file. It composes the completion message from that account, and
// the message of a run that stopped early: because its target could no
// longer be written, or because the user asked it to.
#pragma once

#include "platform/outlook/outlook.h"
#include "platform/system/system_services.h"
#include "platform/system/write_check.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace norvexa::conversion {

class RunReport {
 public:
  // One item that could not be copied (or only in part): the text that
  // names it (subject or name; may be "") and why.
  struct ItemFailure {
    std::string label;
    std::string reason;
  };
  // How damage of the store file touched an item.
  enum class DamageKind {
    ReadFromDamagedParts,  // copied whole, from parts of the file that failed a check
    CopiedWithoutAPart,    // copied, without a value or attachment that could not be read
    NotCopied,             // not copied (also counted by ItemFailed)
  };
  // An item touched by damage: the text that names it, how, and where in
  // the file and what.
  // LOST says what of a CopiedWithoutAPart item is missing ("" otherwise).
  struct DamagedItem {
    std::string label;
    DamageKind kind = DamageKind::ReadFromDamagedParts;
    std::vector<outlook::Damage> damage;
    std::string lost;
  };
  // What became of the items of one folder the run walked.
  struct FolderAccount {
    std::string name;
    std::int64_t copied = 0;
    std::int64_t failed = 0;
    std::int64_t skipped = 0;  // already in the target (see ItemSkipped)
    std::vector<ItemFailure> failures;
    std::vector<DamagedItem> damaged;
  };
  // A folder read in part or from damaged parts of the file: what of it was
  // damaged, lost or found otherwise.
  struct DamagedFolder {
    std::string name;
    std::vector<outlook::Damage> damage;
  };
  // A folder that could not be opened or read: its name, why, and the
  // number of its items as the folder tree showed it, when known.
  struct FolderFailure {
    std::string name;
    std::string reason;
    std::optional<std::int64_t> items;
  };
  // A folder of a kind the run does not convert.
  struct UnconvertedFolder {
    std::string name;
    std::string message_class;
  };

  // Starts the account of folder NAME; later calls refer to it.
  void BeginFolder(const std::string& name);

  // An item of the current folder, named LABEL, was copied.
  void ItemCopied(const std::string& label = std::string());

  // An item of the current folder was not written because the target
  // already holds its document (an export finished by a second run). Not
  // a failure.
  void ItemSkipped();

  // An item of the current folder, named LABEL (subject or name; may be ""),
  // could not be copied, or only in part, for REASON.
  void ItemFailed(const std::string& label, const std::string& reason);

  // Folder NAME could not be opened or read for REASON: none of its items
  // was copied. ITEMS is the number of items it holds as the folder tree
  // showed it, std::nullopt when not known; they count as not copied.
  void FolderFailed(const std::string& name, const std::string& reason, std::optional<std::int64_t> items);

  // Folder NAME holds items of class MESSAGE_CLASS, which the run does not
  // convert (journal, notes). Not a failure.
  void FolderNotConverted(const std::string& name, const std::string& message_class);

  // The item of the current folder named LABEL was read as KIND says, DAMAGE
  // saying where and what (Item::Damage()). It is counted as well by
  // ItemCopied or ItemFailed; nothing is noted when DAMAGE is empty.
  void ItemDamaged(const std::string& label, DamageKind kind, std::vector<outlook::Damage> damage);

  // An item of the current folder, named LABEL, was copied without the
  // parts LOST names (a value or an attachment the store could not give),
  // DAMAGE saying where in the file, when known. Its document is kept, so it
  // counts as copied; the run is not a clean success.
  void ItemCopiedInPart(const std::string& label, const std::string& lost, std::vector<outlook::Damage> damage);

  // Commits. The documents of a run reach the database in batches: the
  // items counted as copied since the last Committed() are pending until
  // then. Committed() says that their documents are in the database;
  // UncommittedLost() that they were lost with their batch for REASON:
  // each then counts as not copied, with REASON, in its folder.
  void Committed();
  void UncommittedLost(const std::string& reason);
  // Items counted as copied whose documents wait for their commit.
  std::int64_t Uncommitted() const { return static_cast<std::int64_t>(pending_.size()); }

  // Folder NAME was read in part, DAMAGE saying where and what
  // (Folder::Damage()); nothing is noted when DAMAGE is empty.
  void FolderDamaged(const std::string& name, std::vector<outlook::Damage> damage);

  // The store file's own damage (Store::Damage(): indexes rebuilt, the
  // message store read in part), replacing what was noted before.
  void StoreDamaged(std::vector<outlook::Damage> damage);

  // Why a run stopped: what could no longer be written (Target, Staging),
  // or the user's request (User).
  enum class StopPlace { Target, Staging, User };

  // The run stopped early because PLACE, at path WHERE, is in STATE (not
  // Writable); ITEMS_LEFT items of the ticked folders were not reached.
  void Stopped(StopPlace place, sys::WriteState state, const std::string& where, std::int64_t items_left);

  // The run stopped early because the user asked it to (the items not
  // reached follow with AddItemsLeft).
  void StoppedByUser();

  // Why a run stopped early, as Stopped or StoppedByUser recorded it: the
  // place, its state and its path ("" for the user's request).
  struct StopCause {
    StopPlace place;
    sys::WriteState state;
    std::string where;
  };
  // The cause of the stop; std::nullopt for a run that was not stopped.
  const std::optional<StopCause>& StopReason() const { return stopped_; }

  // ITEMS more items of the ticked folders were not reached by a stopped run.
  void AddItemsLeft(std::int64_t items) { items_left_ += items; }

  std::int64_t Copied() const { return copied_; }
  // Items not written because the target already held them.
  std::int64_t Skipped() const { return skipped_; }
  // Items read but not (fully) copied.
  std::int64_t Failed() const { return failed_; }
  // Items in folders that could not be read, as far as their count is known.
  std::int64_t Unread() const { return unread_; }
  // Every item not copied: failed, unread and, after a stop, not reached.
  std::int64_t NotCopied() const { return failed_ + unread_ + items_left_; }
  std::int64_t FoldersFailed() const { return static_cast<std::int64_t>(folder_failures_.size()); }
  bool AllCopied() const { return failed_ == 0 && folder_failures_.empty() && !stopped_; }
  // Items touched by damage, of KIND.
  std::int64_t DamagedItems(DamageKind kind) const;
  // Whether damage of the store file touched the run at all: an item, a
  // folder read in part, or the store's indexes. A run that copied
  // everything from a damaged file is not an undamaged success.
  bool AnyDamage() const;
  // Everything copied, and nothing of it from damaged parts of the file.
  bool Clean() const { return AllCopied() && !AnyDamage(); }
  bool StoppedOnRequest() const { return stopped_ && stopped_->place == StopPlace::User; }

  // Items of the ticked folders not reached by a stopped run.
  std::int64_t ItemsLeft() const { return items_left_; }

  // The accounts as they stand, in the order the run met them.
  const std::vector<FolderAccount>& Folders() const { return folders_; }
  const std::vector<FolderFailure>& FolderFailures() const { return folder_failures_; }
  const std::vector<UnconvertedFolder>& NotConverted() const { return not_converted_; }
  const std::vector<DamagedFolder>& DamagedFolders() const { return damaged_folders_; }
  const std::vector<outlook::Damage>& StoreDamage() const { return store_damage_; }

  // The completion message for the target paths NSF_PATH and ADDRESS_BOOK
  // ("" for an existing database). When everything was copied and nothing
  // was damaged: the plain success message, information icon. Otherwise a
  // warning saying how many of how many items could not be copied, the
  // items of folders that could not be read included, and how many folders
  // those were, or, when all were copied, that the store file is damaged;
  // then how many items were read from damaged parts or copied without a
  // part and how many folders were read in part; then the paths. The
  // detailed text lists what is missing first (folders not read, folders
  // read in part, items not copied, items copied without a part), then the
  // items read from damaged parts and the store's damage, each with its
  // place in the file, then each folder's counts and the folders not
  // converted.
  sys::Message CompletionMessage(const std::string& nsf_path, const std::string& address_book) const;

  // The message of a stopped run (see Stopped): what happened to the
  // target, how many items were copied and how many were not, where the
  // copied documents are (NSF_PATH, ADDRESS_BOOK; "" for an existing
  // database) and what to do to copy everything. After StoppedByUser: that
  // the export was stopped as asked, how many items of how many were copied
  // (and how many could not be, or were not reached), and where the copied
  // documents are. The detailed text is that of CompletionMessage.
  sys::Message StopMessage(const std::string& nsf_path, const std::string& address_book) const;

 private:
  std::vector<FolderAccount> folders_;
  std::vector<FolderFailure> folder_failures_;
  std::vector<UnconvertedFolder> not_converted_;
  std::vector<DamagedFolder> damaged_folders_;
  std::vector<outlook::Damage> store_damage_;
  std::int64_t copied_ = 0;
  std::int64_t skipped_ = 0;
  std::int64_t failed_ = 0;
  std::int64_t unread_ = 0;
  std::int64_t uncounted_folders_ = 0;  // folders not read whose count is unknown
  std::int64_t items_left_ = 0;
  // A copied item whose commit is pending: its folder (an index into
  // folders_), its label, and its entry in that folder's damaged list.
  struct PendingItem {
    std::size_t folder;
    std::string label;
    std::optional<std::size_t> damaged;
  };
  std::vector<PendingItem> pending_;
  std::optional<StopCause> stopped_;

  FolderAccount& Current();
  std::string Detail() const;
  // The sentence of the headline about damage ("" when there is none).
  std::string DamageSentence() const;
};

}  // namespace norvexa::conversion
