// The export job: one export of one store into one target, taken as a
// request of values (export_request.h). It opens the store, removes the
// staging folders that ended processes left, stages attachments in a
// private folder of its own, settles the target once (a new database made
// here, or an existing one checked), walks the folders in order, hands every
// item to its preparation and writer, and returns what came of it, typed
// (export_result.h). Whatever happens on the way is told to an observer
// (export_observer.h); the job shows no message, reads no global and ends
// no program, so the save window, norvexa-export and the benchmark all run
// exports through it. The documents reach the database in commit batches
// of many items; a killed run loses at most its last batch, and the report
// of a run counts only documents that were committed.
#pragma once

#include "conversion/export_observer.h"
#include "conversion/export_request.h"
#include "conversion/export_result.h"
#include "conversion/item_kind.h"
#include "conversion/run_progress.h"
#include "conversion/run_report.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace norvexa::outlook {
class Folder;
class Item;
class Items;
class Session;
class Store;
}  // namespace norvexa::outlook

namespace norvexa::notes {
class CommitBatch;
}  // namespace norvexa::notes

namespace norvexa::conversion {

class AttachmentStaging;
class ResumeIndex;

class ExportJob {
 public:
  ExportJob();
  ~ExportJob();
  ExportJob(const ExportJob&) = delete;
  ExportJob& operator=(const ExportJob&) = delete;

  // Runs REQUEST, telling OBSERVER what happens. Before anything is written
  // the store is opened, the staging folder made and the target settled; a
  // step that fails ends the run as Stopped with its StartFailure and
  // nothing written. Then every folder is walked: a folder or an item that
  // fails is counted and the walk goes on. After every item that could not
  // be copied the target databases and the staging folder are checked;
  // when one of them is full, read-only or gone the run halts after that
  // item (Halted). A stop requested with RequestStop ends the walk after the
  // item being copied (StoppedByUser). The staging folder is removed at
  // every end. Throws only what it cannot meet itself (no memory).
  ExportResult Run(const ExportRequest& request, ExportObserver& observer);

  // Asks the run to end after the item it is copying (before the first
  // item when the walk has not begun). Meant for the observer's yields,
  // where a click on Stop arrives; safe from another thread as well. A
  // request made before Run is kept.
  void RequestStop() { stop_requested_ = true; }

  // The account of the last run; during a run, the account so far.
  const RunReport& Report() const { return report_; }

  // The target databases of the last run, once settled; empty paths before.
  const target::RunPaths& Paths() const { return writer_.paths; }

  // Decides, for an item of a converted folder, that the target already
  // holds its document: the item is then not prepared nor written, and the
  // report counts it as skipped. Asked with the item and the folder name
  // (the path under which its mail, calendar or task document is filed).
  // An exception it throws counts as false. A request with resume asks the
  // target database instead (ResumeIndex); without either every item is
  // written.
  using SkipItem = std::function<bool(const outlook::Item& item, const std::string& folder_name)>;
  void SetSkip(SkipItem skip) { skip_ = std::move(skip); }

 private:
  // The result of a run that could not start for FAILURE: nothing written,
  // the staging folder removed.
  ExportResult NotStarted(const StartFailure& failure);
  // Opens the store of REQUEST into STORE (and the profile's SESSION for a
  // store identifier); the failure when it cannot.
  std::optional<StartFailure> OpenStore(const StoreSource& source, std::unique_ptr<outlook::Session>& session,
                                        std::unique_ptr<outlook::Store>& store);
  // Removes the leftovers of ended processes and makes this run's staging
  // folder; the failure when none can be made.
  std::optional<StartFailure> MakeStaging();
  // Settles the target databases of TARGET into writer_.paths: makes a new
  // database, or checks the existing one (and reads what it holds when
  // RESUME). The failure when it cannot.
  std::optional<StartFailure> SettleTarget(const TargetChoice& target, bool resume, const outlook::Store& store);
  // Walks the folders of REQUEST; false when the run halted or was stopped.
  bool WalkFolders(const outlook::Store& store, const std::vector<std::string>& folders);
  // Each returns false when the run must halt (see Run); ITEMS_LEFT then
  // holds the items of the folder that were not reached.
  bool FolderStep(const outlook::Store& store, const std::string& reference, std::int64_t& items_left);
  bool ItemLoop(const outlook::Folder& folder, const std::string& folder_name, const std::string& message_class,
                FolderKind kind, std::int64_t& items_left);
  // Prepares and writes ITEM, at POSITION of its folder, into the report
  // and to the observer. False when the target can no longer be written.
  bool CopyItem(const outlook::Item& item, const outlook::Items& items, std::int64_t position,
                const std::string& folder_name, FolderKind kind);

  // True when the item's document is in the target already (see SetSkip).
  bool AlreadyInTarget(const outlook::Item& item, const std::string& folder_name) const;
  // Counts one more item handled, tells the observer and shows the overall
  // progress when an update is due.
  void ItemHandled(const ItemEnd& item);

  // Starts the commit batches of the target databases (notes.h,
  // CommitBatch): the documents of many items go into one commit. A
  // database whose batch cannot be started is written a commit per write.
  void StartCommitBatches();
  // The end of one item's writes: commits the batches that are due and
  // tells the report which items are in the database. False when a commit
  // failed: the items of the lost batch count as not copied and the run
  // must halt.
  bool AtDocumentBoundary();
  // Commits what the batches hold now; false as AtDocumentBoundary.
  bool CommitBatchesNow();
  // Commits what the batches hold and ends them; false as
  // AtDocumentBoundary.
  bool EndCommitBatches();
  // Records in the report that the documents since the last commit were
  // lost for REASON and why the target stopped taking writes.
  void CommitFailed(const std::string& reason);

  // True when every place the run writes to can still be written; else
  // records in the report why not (with no item left yet) and returns false.
  bool TargetStillWritable();

  // The item count the folder tree showed for REFERENCE, when it showed one.
  std::optional<std::int64_t> TreeCount(const std::string& reference) const;
  // The items in the folders of REFERENCES of the kinds the run converts,
  // read from STORE without reading any item; the folder tree's count for a
  // folder that cannot be opened.
  std::int64_t ItemsIn(const outlook::Store& store, const std::vector<std::string>& references) const;

  ExportObserver* observer_ = nullptr;  // during Run
  std::map<std::string, std::int64_t> tree_counts_;
  RunReport report_;
  writers::WriterContext writer_;  // the targets, yielding and the exclude values
  std::unique_ptr<AttachmentStaging> staging_;
  std::unique_ptr<ResumeIndex> resume_;
  std::vector<std::unique_ptr<notes::CommitBatch>> batches_;
  bool commit_failed_ = false;  // a commit failed: the run halts at the next boundary
  SkipItem skip_;
  RunProgress progress_;
  std::atomic<bool> stop_requested_{false};
};

}  // namespace norvexa::conversion
