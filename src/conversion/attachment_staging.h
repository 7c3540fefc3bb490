// Staging of attachments: the files that the mail, calendar and task writers
// embed. Each run stages into a private folder of its own (readable by the
// user only), inside the system temporary folder or, when no folder can be
// made there, inside another folder of the user's own; under safe file names
// that never collide. A small attachment is held in memory under its staged
// path instead of written there (creating and deleting a file per
// attachment cost a fifth of a whole run); a large one, or one beyond what
// an item may hold in memory, is a file. What a writer did not consume is
// removed once the item is done, and the whole folder when the run ends.
#pragma once

#include "writers/staged_contents.h"
#include "writers/writers.h"

#include <QTemporaryDir>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace norvexa::outlook {
class Attachment;
class Item;
}

namespace norvexa::conversion {

// NAME made fit to be a file name by sys::SafeFileName; "attachment" when
// nothing usable remains.
std::string SafeAttachmentName(const std::string& name);

// "name (N).ext" for NAME and N; "name (N)" when NAME has no extension.
std::string NumberedName(const std::string& name, int n);

// One problem met while staging: which attachment and why.
struct StagingProblem {
  std::string what;
};

// Where a run may stage its attachments, in order of preference: the system
// temporary folder, the user's cache folder, the user's home folder.
std::vector<std::filesystem::path> StagingParents();

// What an item's staging may hold in memory: an attachment of up to
// ATTACHMENT_BYTES, while the item holds no more than ITEM_BYTES in all.
// Zero holds nothing: every attachment is a file.
struct HoldLimits {
  std::uintmax_t attachment_bytes = 0;
  std::uintmax_t item_bytes = 0;
};

// The limits of a run: attachments under one megabyte (which the Notes
// back-end stores as one value anyway), sixteen megabytes per item.
inline constexpr HoldLimits kRunHoldLimits{(1u << 20) - 1, 16u << 20};

class AttachmentStaging {
 public:
  // Creates the run's staging folder inside PARENT, with permissions for its
  // owner only, named after this process (staging_leftovers.h), holding in
  // memory what LIMITS allow. Throws std::runtime_error naming the folder
  // when it cannot be made.
  explicit AttachmentStaging(const std::filesystem::path& parent, HoldLimits limits = kRunHoldLimits);

  // The staging folder in the first of PARENTS in which one can be made.
  // Throws std::runtime_error saying, for each parent, why it could not be
  // used.
  static std::unique_ptr<AttachmentStaging> InFirstUsable(const std::vector<std::filesystem::path>& parents,
                                                          HoldLimits limits = kRunHoldLimits);

  // Removes the staging folder and everything left in it.
  ~AttachmentStaging();

  AttachmentStaging(const AttachmentStaging&) = delete;
  AttachmentStaging& operator=(const AttachmentStaging&) = delete;

  // The staging folder, ending in the platform's separator.
  const std::string& Folder() const { return folder_; }

  // Stages every attachment of ITEM, in the order of its attachment
  // collection, and returns the staged paths, one per attachment (none when
  // the item has none): each names a file in the folder or bytes Held()
  // holds. An attachment that cannot be saved keeps its entry (the writer
  // finds neither file nor bytes there) and is reported in PROBLEMS, as is
  // an attachment table that cannot be read.
  // Names are made safe; a name already used by this item gets " (2)", " (3)"
  // ... before its extension. An attachment without a name is staged as
  // "attachment", or "attachment.eml" when it is a mail message (an attached
  // item without a name or subject), like every other attached item.
  writers::StagedFiles StageItem(const outlook::Item& item, std::vector<StagingProblem>& problems);

  // The attachments of the current item held in memory, by staged path.
  writers::StagedContents& Held() { return held_; }

  // The bytes staged for the current item: those held in memory and those
  // of its staged files still there.
  std::uintmax_t ItemBytes() const;

  // Deletes every file staged for the current item that is still there
  // (whatever the writer did or failed to do), releases what is held in
  // memory and forgets them. Returns the number of files that could not be
  // deleted; the folder itself goes at the end of the run regardless.
  int ItemDone();

 private:
  // Stages ATTACHMENT at PATH: held in memory when the limits allow it,
  // else written to the file PATH. Throws what the store or the file
  // system throws; nothing of the attachment is left then.
  void Stage(const outlook::Attachment& attachment, const std::filesystem::path& path);

  // Holds ATTACHMENT in memory at PATH when it is at most LIMIT bytes.
  // Returns false, holding nothing, when it is larger; throws what the
  // store throws.
  bool TryHold(const outlook::Attachment& attachment, const std::filesystem::path& path, std::uintmax_t limit);

  std::unique_ptr<QTemporaryDir> dir_;
  std::string folder_;
  HoldLimits limits_;
  writers::StagedContents held_;               // attachments of the current item held in memory
  std::vector<std::filesystem::path> staged_;  // files staged for the current item
};

}  // namespace norvexa::conversion
