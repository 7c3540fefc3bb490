// The export job; see export_job.h.
#include "conversion/export_job.h"

#include "conversion/attachment_staging.h"
#include "conversion/naming.h"
#include "conversion/new_database.h"
#include "conversion/resume_index.h"
#include "conversion/staging_leftovers.h"
#include "platform/notes/notes.h"
#include "platform/outlook/outlook.h"
#include "platform/system/paths.h"
#include "platform/system/text.h"
#include "platform/system/write_check.h"

#include <exception>
#include <filesystem>
#include <utility>
#include <vector>

namespace norvexa::conversion {
namespace {

using Step = StartFailure::Step;

// The staged attachments of an item from which on its writes are committed
// apart from those before it (see CopyItem).
constexpr std::uintmax_t kLargeItemBytes = 1 << 20;

// The folder kind of the run for MESSAGE_CLASS, when it converts that kind.
std::optional<FolderKind> ConvertedKind(const std::string& message_class) {
  if (message_class == "IPM.Contact") return FolderKind::Contact;
  if (message_class == "IPM.Note") return FolderKind::Mail;
  if (message_class == "IPM.Appointment") return FolderKind::Calendar;
  if (message_class == "IPM.Task") return FolderKind::Task;
  return std::nullopt;
}

std::string Join(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
  return text;
}

StartFailure Failure(Step step, const std::string& path, const std::string& detail) {
  return StartFailure{step, path, detail, 0, 0, std::nullopt};
}

// The staging folders removed as one notice, or nothing when none were.
std::optional<JobNotice> LeftoversNotice(const std::vector<std::filesystem::path>& removed) {
  if (removed.empty()) return std::nullopt;
  JobNotice notice;
  notice.kind = JobNotice::Kind::LeftoversRemoved;
  notice.text = "removed " + std::to_string(removed.size()) + " staging folder" + (removed.size() == 1 ? "" : "s") +
                " left by ended exports";
  for (const std::filesystem::path& path : removed) notice.paths.push_back(sys::Utf8(path));
  return notice;
}

}  // namespace

ExportJob::ExportJob() = default;

ExportJob::~ExportJob() = default;

ExportResult ExportJob::NotStarted(const StartFailure& failure) {
  batches_.clear();
  staging_.reset();
  resume_.reset();
  ExportResult result;
  result.end = RunEnd::Stopped;
  result.start_failure = failure;
  result.report = report_;
  return result;
}

ExportResult ExportJob::Run(const ExportRequest& request, ExportObserver& observer) {
  observer_ = &observer;
  tree_counts_ = request.folder_counts;
  report_ = RunReport();
  writer_ = writers::WriterContext();
  writer_.yield = [this] { observer_->Yield(); };
  writer_.exclude_from_view = request.exclude_from_view;
  observer.ResetProgress();

  // The session (for a store of the profile) and the store: the run's own,
  // closed when the run ends.
  std::unique_ptr<outlook::Session> session;
  std::unique_ptr<outlook::Store> store;
  if (std::optional<StartFailure> failure = OpenStore(request.store, session, store)) return NotStarted(*failure);
  ExportResult result;
  try {
    result.store_file = store->PstPath();
    result.store_name = store->DisplayName();
  } catch (const std::exception&) {
    // Only named in the result; a new database that needs the file says so.
  }
  if (std::optional<StartFailure> failure = MakeStaging()) return NotStarted(*failure);
  if (std::optional<StartFailure> failure = SettleTarget(request.target, request.resume, *store)) {
    return NotStarted(*failure);
  }
  observer.TargetSettled(writer_.paths);
  StartCommitBatches();

  // From here on a folder or item that fails is counted and reported at the
  // end; the run goes on with the next one, unless the target itself can no
  // longer be written.
  bool walked = WalkFolders(*store, request.folders);
  if (!EndCommitBatches()) walked = false;
  report_.StoreDamaged(store->Damage());
  store.reset();
  if (session) session->Logoff();
  staging_.reset();  // removes the staging folder and anything left in it
  resume_.reset();

  result.report = report_;
  result.paths = writer_.paths;
  result.end = walked ? RunEnd::Completed : report_.StoppedOnRequest() ? RunEnd::StoppedByUser : RunEnd::Halted;
  observer_ = nullptr;
  return result;
}

std::optional<StartFailure> ExportJob::OpenStore(const StoreSource& source, std::unique_ptr<outlook::Session>& session,
                                                 std::unique_ptr<outlook::Store>& store) {
  if (!source.file.empty()) {
    try {
      store = outlook::OpenStoreFile(sys::PathFromUtf8(source.file));
    } catch (const std::exception& e) {
      return Failure(Step::OpenStore, source.file, e.what());
    }
    observer_->Yield();
    return std::nullopt;
  }
  session = std::make_unique<outlook::Session>();
  try {
    session->Logon();
  } catch (const std::exception& e) {
    return Failure(Step::LogOn, std::string(), e.what());
  }
  observer_->Yield();
  try {
    store = session->GetStoreFromID(source.id);
  } catch (const std::exception& e) {
    return Failure(Step::OpenStore, std::string(), e.what());
  }
  return std::nullopt;
}

std::optional<StartFailure> ExportJob::MakeStaging() {
  const std::vector<std::filesystem::path> parents = StagingParents();
  if (std::optional<JobNotice> notice = LeftoversNotice(RemoveLeftoverStaging(parents))) observer_->Notice(*notice);
  try {
    staging_ = AttachmentStaging::InFirstUsable(parents);
  } catch (const std::exception& e) {
    return Failure(Step::StagingFolder, std::string(), e.what());
  }
  return std::nullopt;
}

std::optional<StartFailure> ExportJob::SettleTarget(const TargetChoice& target, bool resume,
                                                    const outlook::Store& store) {
  if (target.kind == TargetChoice::Kind::NewDatabase) {
    NewDatabase made = MakeNewDatabase(target.path, store, *observer_);
    if (made.failure) return made.failure;
    writer_.paths = made.paths;
    if (!made.taken_name.empty()) {
      observer_->Notice({JobNotice::Kind::NameTaken,
                         "a database named " + made.taken_name + " is there already; the new one is " +
                             made.paths.mail_database,
                         {made.taken_name, made.paths.mail_database}});
    }
    return std::nullopt;
  }

  const std::string path = sys::Trim(target.path);
  // The writers open the database for every item; make sure it is one
  // before any item is read, so a wrong file costs one clear message.
  try {
    notes::Session notes;
    const std::unique_ptr<notes::Database> database = notes.GetDatabase("", path);
    if (!database->IsOpen()) return Failure(Step::NotADatabase, path, std::string());
  } catch (const std::exception& e) {
    return Failure(Step::NotADatabase, path, e.what());
  }
  if (resume) {
    try {
      resume_ = std::make_unique<ResumeIndex>(path);
    } catch (const std::exception& e) {
      return Failure(Step::TargetUnreadable, path, e.what());
    }
  }
  writer_.paths.mail_database = path;
  observer_->Yield();
  return std::nullopt;
}

bool ExportJob::WalkFolders(const outlook::Store& store, const std::vector<std::string>& folders) {
  std::int64_t shown = 0;
  for (const std::string& reference : folders) {
    if (!sys::Trim(reference).empty()) shown += TreeCount(reference).value_or(0);
  }
  progress_.Start(shown, RunProgress::Clock::now());
  observer_->ShowOverallProgress(progress_.Snapshot(RunProgress::Clock::now()));
  bool halted = false;
  for (std::size_t k = 0; k < folders.size() && !halted; ++k) {
    if (sys::Trim(folders[k]).empty()) continue;
    std::int64_t items_left = 0;
    std::size_t first_not_reached = k + 1;  // of the folders
    if (stop_requested_) {
      report_.StoppedByUser();
      first_not_reached = k;
      halted = true;
    } else if (!FolderStep(store, folders[k], items_left)) {
      halted = true;
    }
    if (halted) {
      const std::vector<std::string> rest(folders.begin() + static_cast<std::ptrdiff_t>(first_not_reached),
                                          folders.end());
      const std::int64_t items_not_reached = items_left + ItemsIn(store, rest);
      report_.AddItemsLeft(items_not_reached);
      progress_.EndedEarly(items_not_reached);
    }
  }
  OverallProgress last = progress_.Snapshot(RunProgress::Clock::now());
  last.finished = true;
  observer_->ShowOverallProgress(last);
  return !halted;
}

std::optional<std::int64_t> ExportJob::TreeCount(const std::string& reference) const {
  const auto found = tree_counts_.find(reference);
  if (found == tree_counts_.end()) return std::nullopt;
  return found->second;
}

bool ExportJob::AlreadyInTarget(const outlook::Item& item, const std::string& folder_name) const {
  try {
    if (resume_) return resume_->Holds(item, folder_name);
    return skip_ && skip_(item, folder_name);
  } catch (const std::exception&) {
    // Not known to be there: writing it is the safe side.
    return false;
  }
}

void ExportJob::StartCommitBatches() {
  batches_.clear();
  commit_failed_ = false;
  std::vector<std::string> targets{writer_.paths.mail_database};
  if (!writer_.paths.address_book.empty() && writer_.paths.address_book != writer_.paths.mail_database) {
    targets.push_back(writer_.paths.address_book);
  }
  for (const std::string& target : targets) {
    try {
      batches_.push_back(std::make_unique<notes::CommitBatch>(sys::PathFromUtf8(target)));
    } catch (const std::exception&) {
      // Not a reason to stop: that database is written a commit per write,
      // slower but as safe.
    }
  }
}

bool ExportJob::AtDocumentBoundary() {
  if (commit_failed_) return false;
  bool all_committed = true;
  try {
    for (const auto& batch : batches_) {
      if (!batch->EndOfDocument() && batch->Pending()) all_committed = false;
    }
  } catch (const std::exception& e) {
    CommitFailed(e.what());
    return false;
  }
  if (all_committed) report_.Committed();
  return true;
}

bool ExportJob::CommitBatchesNow() {
  try {
    for (const auto& batch : batches_) batch->Commit();
    report_.Committed();
    return true;
  } catch (const std::exception& e) {
    CommitFailed(e.what());
    return false;
  }
}

bool ExportJob::EndCommitBatches() {
  const bool committed = CommitBatchesNow();
  batches_.clear();
  return committed;
}

void ExportJob::CommitFailed(const std::string& reason) {
  commit_failed_ = true;
  report_.UncommittedLost(reason);
  // A run that stopped already keeps the cause it stopped for.
  if (report_.StopReason()) return;
  // Why the database stopped taking writes: full, read-only or gone; a
  // failure the checks cannot see is reported as the likeliest, a full disk.
  for (const std::string& target : {writer_.paths.mail_database, writer_.paths.address_book}) {
    if (target.empty()) continue;
    const sys::WriteState state = sys::CheckWritable(sys::PathFromUtf8(target));
    if (state != sys::WriteState::Writable) {
      report_.Stopped(RunReport::StopPlace::Target, state, target, 0);
      return;
    }
  }
  report_.Stopped(RunReport::StopPlace::Target, sys::WriteState::Full, writer_.paths.mail_database, 0);
}

void ExportJob::ItemHandled(const ItemEnd& item) {
  observer_->ItemDone(item);
  const RunProgress::Clock::time_point now = RunProgress::Clock::now();
  if (progress_.ItemDone(now)) observer_->ShowOverallProgress(progress_.Snapshot(now));
}

bool ExportJob::TargetStillWritable() {
  std::vector<std::string> targets{writer_.paths.mail_database};
  if (!writer_.paths.address_book.empty()) targets.push_back(writer_.paths.address_book);
  for (const std::string& target : targets) {
    const sys::WriteState state = sys::CheckWritable(sys::PathFromUtf8(target));
    if (state != sys::WriteState::Writable) {
      report_.Stopped(RunReport::StopPlace::Target, state, target, 0);
      return false;
    }
  }
  if (staging_) {
    const std::filesystem::path folder = sys::PathFromUtf8(staging_->Folder());
    const sys::WriteState state = sys::CheckWritable(folder);
    if (state != sys::WriteState::Writable) {
      report_.Stopped(RunReport::StopPlace::Staging, state, staging_->Folder(), 0);
      return false;
    }
  }
  return true;
}

std::int64_t ExportJob::ItemsIn(const outlook::Store& store, const std::vector<std::string>& references) const {
  std::int64_t items = 0;
  for (const std::string& reference : references) {
    if (sys::Trim(reference).empty()) continue;
    const FolderReference pieces = SplitFolderReference(reference);
    try {
      const std::unique_ptr<outlook::Folder> folder = store.GetFolderFromID(pieces.entry_id);
      if (ConvertedKind(folder->DefaultMessageClass())) items += folder->GetItems()->Count();
    } catch (const std::exception&) {
      // Not readable now: the count the folder tree showed stands for it.
      items += TreeCount(reference).value_or(0);
    }
  }
  return items;
}

bool ExportJob::FolderStep(const outlook::Store& store, const std::string& reference, std::int64_t& items_left) {
  const FolderReference pieces = SplitFolderReference(reference);
  progress_.BeginFolder(TreeCount(reference));
  std::unique_ptr<outlook::Folder> folder;
  std::string name;
  try {
    folder = store.GetFolderFromID(pieces.entry_id);
    name = folder->Name();
  } catch (const std::exception& e) {
    report_.FolderFailed(pieces.folder_name, std::string("could not be opened: ") + e.what(), TreeCount(reference));
    progress_.FolderSkipped();
    return true;
  }
  observer_->SetSaveHeader(name);

  std::string message_class;
  try {
    message_class = folder->DefaultMessageClass();
  } catch (const std::exception& e) {
    report_.FolderFailed(pieces.folder_name, std::string("its kind could not be read: ") + e.what(),
                         TreeCount(reference));
    progress_.FolderSkipped();
    return true;
  }
  if (const std::optional<FolderKind> kind = ConvertedKind(message_class)) {
    return ItemLoop(*folder, pieces.folder_name, message_class, *kind, items_left);
  }
  report_.FolderNotConverted(pieces.folder_name.empty() ? name : pieces.folder_name, message_class);
  progress_.FolderSkipped();
  return true;
}

// Walks the items of FOLDER in collection order and hands each to CopyItem.
// After each item the run yields once and lets the item go. An item the
// target already holds (see SetSkip) is counted as skipped and not written.
// Items that cannot be fetched are reported; the walk goes on with the next
// one. The walk ends early (false, with the items not reached in
// ITEMS_LEFT) when the target can no longer be written, or before the next
// item once a stop has been requested.
bool ExportJob::ItemLoop(const outlook::Folder& folder, const std::string& folder_name,
                         const std::string& message_class, FolderKind kind, std::int64_t& items_left) {
  report_.BeginFolder(folder_name);
  std::unique_ptr<outlook::Items> items;
  std::int64_t count = 0;
  try {
    items = folder.GetItems();
    count = items->Count();
  } catch (const std::exception& e) {
    report_.FolderFailed(folder_name, std::string("its items could not be read: ") + e.what(), std::nullopt);
    progress_.FolderSkipped();
    return true;
  }
  progress_.FolderCounted(count);
  observer_->FolderStarted({folder_name, message_class, count});

  for (std::int64_t position = 1; position <= count; ++position) {
    if (stop_requested_) {
      report_.StoppedByUser();
      items_left = count - position + 1;
      return false;
    }
    std::unique_ptr<outlook::Item> item;
    try {
      item = items->GetItem(position);
    } catch (const std::exception& e) {
      const std::string reason = std::string("could not be read: ") + e.what();
      report_.ItemFailed("item " + std::to_string(position), reason);
      ItemHandled({folder_name, position, std::string(), ItemEnd::Outcome::NotCopied, reason});
      observer_->Yield();
      continue;
    }
    if (AlreadyInTarget(*item, folder_name)) {
      report_.ItemSkipped();
      // Done with as much as a copied one: the overall progress counts it.
      ItemHandled({folder_name, position, std::string(), ItemEnd::Outcome::AlreadyThere, std::string()});
      observer_->Yield();
      continue;
    }
    if (!CopyItem(*item, *items, position, folder_name, kind) || !AtDocumentBoundary()) {
      items_left = count - position;
      return false;
    }
    observer_->Yield();
  }
  report_.FolderDamaged(folder_name, folder.Damage());
  return true;
}

// Hands ITEM to the preparation of its kind (item_kind.h): its own kind
// when its message class names one the export writes, else its folder's
// KIND (in a contact folder a person). After an item that could not be
// copied the places the run writes to are checked.
bool ExportJob::CopyItem(const outlook::Item& item, const outlook::Items& items, std::int64_t position,
                         const std::string& folder_name, FolderKind kind) {
  ItemContext context{items, position, folder_name, *observer_, *staging_, writer_, nullptr};
  // A large item starts a batch of its own: should the disk fill up while
  // it is written, only that item is lost with the batch.
  context.before_write = [this](std::uintmax_t staged_bytes) {
    if (staged_bytes >= kLargeItemBytes && !commit_failed_) CommitBatchesNow();
  };
  ItemOutcome outcome;
  switch (KindOfItem(item, kind)) {
    case ItemKind::Person: outcome = PrepareContact(item, context); break;
    case ItemKind::Group: outcome = PrepareGroup(item, context); break;
    case ItemKind::Mail: outcome = PrepareMail(item, context); break;
    case ItemKind::Calendar: outcome = PrepareCalendar(item, context); break;
    case ItemKind::Task: outcome = PrepareTask(item, context); break;
  }
  const std::string reason = Join(outcome.problems);
  if (outcome.written) {
    // A kept document is a copied item; what the store could not give of it
    // is listed with the damage it was read through.
    if (outcome.problems.empty()) {
      report_.ItemCopied(outcome.label);
      report_.ItemDamaged(outcome.label, RunReport::DamageKind::ReadFromDamagedParts, std::move(outcome.damage));
    } else {
      report_.ItemCopiedInPart(outcome.label, reason, std::move(outcome.damage));
    }
    ItemHandled({folder_name, position, outcome.label, ItemEnd::Outcome::Copied, std::string()});
    return true;
  }
  report_.ItemFailed(outcome.label, reason);
  report_.ItemDamaged(outcome.label, RunReport::DamageKind::NotCopied, std::move(outcome.damage));
  ItemHandled({folder_name, position, outcome.label, ItemEnd::Outcome::NotCopied, reason});
  return TargetStillWritable();
}

}  // namespace norvexa::conversion
