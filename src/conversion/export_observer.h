// What an export job tells while it runs, and where it yields: the labels
// of the save window (what CreateNSF and the item preparation write too),
// the folders begun, every item done, the overall progress and notices for
// the user. The save window, norvexa-export's progress on standard error,
// the benchmark and the tests each implement it; the job shows nothing of
// its own.
#pragma once

#include "conversion/item_preparation.h"
#include "conversion/run_progress.h"
#include "target/create_nsf.h"
#include "target/run_paths.h"

#include <cstdint>
#include <string>
#include <vector>

namespace norvexa::conversion {

// A folder the job begins to walk: its path as the folder tree has it, its
// kind (default message class) and the items it holds now.
struct FolderStart {
  std::string name;
  std::string message_class;
  std::int64_t items = 0;
};

// One item the job is done with.
struct ItemEnd {
  enum class Outcome { Copied, NotCopied, AlreadyThere };
  std::string folder;         // the folder's path
  std::int64_t position = 0;  // in its folder, from 1
  std::string label;          // its subject or name; "" when it has none or could not be read
  Outcome outcome = Outcome::Copied;
  std::string reason;         // why it was not copied; "" otherwise
};

// Something the user may want to know that does not change what is done.
struct JobNotice {
  enum class Kind {
    LeftoversRemoved,  // staging folders left by ended processes were removed (PATHS)
    NameTaken,         // the new database's name was taken; it got the next free one (PATHS: taken, given)
  };
  Kind kind = Kind::LeftoversRemoved;
  std::string text;                // one line for the user
  std::vector<std::string> paths;  // the folders or files concerned
};

class ExportObserver : public target::SaveProgress, public ItemProgress {
 public:
  // One override serves both bases: the same label.
  void SetProcessing(const std::string& text) override = 0;

  // The job begins: the progress labels as a run starts (the save window:
  // header "Checking Configuration...", processing "Processing...", found
  // and current empty, the "Subject :" caption hidden and shown again).
  virtual void ResetProgress() = 0;

  // The target databases are settled (made, or the existing one checked),
  // before the first item is read.
  virtual void TargetSettled(const target::RunPaths& paths) { (void)paths; }

  // A folder of a kind the job converts is begun, its items counted.
  virtual void FolderStarted(const FolderStart& folder) { (void)folder; }

  // An item is done with: copied, not copied (and why) or already in the
  // target. After it the job yields.
  virtual void ItemDone(const ItemEnd& item) { (void)item; }

  // The overall progress over all the folders: once as the walk of the
  // folders begins, at most a few times a second while it goes on, and once
  // at its end (marked finished). A view without a progress bar ignores it.
  virtual void ShowOverallProgress(const OverallProgress& progress) { (void)progress; }

  // A notice for the user (see JobNotice); nothing waits for an answer.
  virtual void Notice(const JobNotice& notice) { (void)notice; }
};

}  // namespace norvexa::conversion
