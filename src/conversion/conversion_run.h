// The conversion run: opens the chosen store, settles the target database
// (a new one, created here, or an existing one), walks the ticked folders in
// order, hands every item to its preparation and writer, and ends with the
// completion message. A plain class driven by the save window; whatever it
// shows goes through a RunView so it runs without a screen too.
#pragma once

#include "conversion/item_kind.h"
#include "conversion/item_preparation.h"
#include "conversion/run_progress.h"
#include "conversion/run_report.h"
#include "target/create_nsf.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace norvexa::outlook {
class Folder;
class Item;
class Store;
}  // namespace norvexa::outlook

namespace norvexa::conversion {

class AttachmentStaging;

// What the run shows and where it yields: the save window, or a stand-in.
// Everything the run, CreateNSF and the writers show goes through it, and
// so do their yields to the message loop (SaveProgress::Yield).
class RunView : public target::SaveProgress, public ItemProgress {
 public:
  // One override serves both bases: the same label.
  void SetProcessing(const std::string& text) override = 0;

  // The progress labels as a run starts: header "Checking Configuration...",
  // processing "Processing...", found and current empty, the "Subject :"
  // caption hidden and shown again.
  virtual void ResetProgress() = 0;

  // The window that owns the run's message boxes (may be null).
  virtual QWidget* MessageOwner() = 0;

  // The overall progress over all ticked folders: once as the walk of the
  // folders begins, at most a few times a second while it goes on, and once
  // at its end (marked finished, before the completion message). A view
  // without a progress bar ignores it.
  virtual void ShowOverallProgress(const OverallProgress& progress) { (void)progress; }
};

// The target the user chose.
struct RunTarget {
  bool new_database = true;    // "Save in New NSF file" selected
  std::string existing_file;   // text of the existing-database box
  std::string output_folder;   // the folder chosen for a new database
};

// How a run ended: Completed when it reached the completion message (the
// window then closes); Stopped when it could not start (a message said why,
// nothing was written, the window stays open); Halted when it began writing
// and had to end early because the target (or the folder for attachments)
// became full, read-only or vanished: what was saved stays, a message said
// what happened and what to do, and the window closes as after a run;
// StoppedByUser when the user asked it to stop (RequestStop): it ended after
// the item it was copying, what was saved stays, a message said how many
// items of how many were copied, and the window closes as after a run.
enum class RunEnd { Completed, Stopped, Halted, StoppedByUser };

class ConversionRun {
 public:
  explicit ConversionRun(RunView& view);
  ~ConversionRun();
  ConversionRun(const ConversionRun&) = delete;
  ConversionRun& operator=(const ConversionRun&) = delete;

  // Runs the whole conversion for TARGET from Global::SelectedStoreId and
  // Global::SelectedFolders. Once the target databases are settled (made by
  // CreateNSF for a new database), Paths() names them and
  // Global::NsfFilePath and Global::AddressBookPath are set to them; the
  // writers get them as a value. Clears SelectedFolders and
  // SelectedFolderCounts when it completes or halts. After every item that could not be copied
  // the target databases and the folder for attachments are checked; when
  // one of them is full, read-only or gone the run halts after that item.
  // A failure of CreateNSF ends the program through the system services.
  // A stop requested with RequestStop ends the walk after the item being
  // copied; the staging folder is removed as at any end.
  RunEnd Run(const RunTarget& target);

  // Asks the run to end after the item it is copying (before the first
  // item when the walk has not begun). Meant for the run's yields, where a
  // click on Stop arrives; safe from another thread as well. A request made
  // before Run is kept.
  void RequestStop() { stop_requested_ = true; }

  // The account of the last run; during a run, the account so far.
  const RunReport& Report() const { return report_; }

  // The target databases of the last run, once settled; empty paths before.
  const target::RunPaths& Paths() const { return writer_.paths; }

  // Decides, for an item of a converted folder, that the target already
  // holds its document: the item is then not prepared nor written, and the
  // report counts it as skipped. Asked with the item and the folder name
  // (the path under which its mail, calendar or task document is filed).
  // An exception it throws counts as false. The windows set none: every
  // item is written.
  using SkipItem = std::function<bool(const outlook::Item& item, const std::string& folder_name)>;
  void SetSkip(SkipItem skip) { skip_ = std::move(skip); }

 private:

  // Shows TEXT in a warning box titled "Norvexa"; returns Stopped.
  RunEnd Stop(const std::string& text);
  // Each returns false when the run must halt (see Run); ITEMS_LEFT then
  // holds the items of the folder that were not reached.
  bool FolderStep(const outlook::Store& store, const std::string& reference, std::int64_t& items_left);
  bool ItemLoop(const outlook::Folder& folder, const std::string& folder_name, FolderKind kind, std::int64_t& items_left);

  // True when SKIP_ is set and says the target holds ITEM's document.
  bool AlreadyInTarget(const outlook::Item& item, const std::string& folder_name) const;
  // Counts one more item handled and lets the view show the overall
  // progress when an update is due.
  void ItemHandled();

  // True when every place the run writes to can still be written; else
  // records in the report why not (with no item left yet) and returns false.
  bool TargetStillWritable();

  // The items in the folders of REFERENCES of the kinds the run converts,
  // read from STORE without reading any item; the folder tree's count for a
  // folder that cannot be opened.
  static std::int64_t ItemsIn(const outlook::Store& store, const std::vector<std::string>& references);

  // Settles the target databases for TARGET into writer_.paths: composes the
  // names and calls CreateNSF for a new database, checks the existing one.
  // Returns false after showing why it could not (Stop).
  bool SettleTarget(const RunTarget& target, const outlook::Store& store);

  RunView& view_;
  RunReport report_;
  writers::WriterContext writer_;  // the targets, yielding and the exclude values
  std::unique_ptr<AttachmentStaging> staging_;
  SkipItem skip_;
  RunProgress progress_;
  std::atomic<bool> stop_requested_{false};
};

}  // namespace norvexa::conversion
