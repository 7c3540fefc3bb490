// One export of one store into one target; see store_export.h.
#include "store_export.h"

#include "conversion/export_job.h"
#include "platform/notes/notes.h"
#include "platform/outlook/outlook.h"
#include "platform/system/hex.h"
#include "platform/system/paths.h"
#include "platform/system/text.h"
#include "platform/system/write_check.h"
#include "progress.h"
#include "source/model/folder_nodes.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <system_error>

namespace norvexa::exporter {
namespace {

namespace fs = std::filesystem;
using conversion::StartFailure;
using sys::Utf8;

// Failed items listed on standard error before the last line; the JSON
// report lists them all.
constexpr std::size_t kFailuresShown = 20;

// Collects the folder tree's nodes instead of showing them.
class NodeList final : public source::FolderNodeSink {
 public:
  std::vector<source::FolderNode> nodes;
  void AddNode(const source::FolderNode& node) override { nodes.push_back(node); }
};

// The folder kinds whose items the run converts, by the tree's image.
bool IsConvertedImage(int image) {
  return image == source::kMailImage || image == source::kCalendarImage || image == source::kTaskImage ||
         image == source::kContactImage;
}

// PATH as compared with the folders' paths: blanks around and a trailing
// "\" dropped, case folded.
QString Comparable(const std::string& path) {
  QString text = QString::fromStdString(sys::Trim(path, sys::kWhitespace));
  while (text.endsWith(QLatin1Char('\\'))) text.chop(1);
  return text.toCaseFolded();
}

// The path named by UTF8 text.
fs::path PathOf(const std::string& utf8) { return sys::PathFromUtf8(utf8); }

// PATH made absolute, as UTF-8 text.
std::string Absolute(const std::string& path) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(PathOf(path), ec);
  return Utf8((ec ? PathOf(path) : absolute).lexically_normal());
}

// Why a place in STATE cannot be written to, for a message.
const char* WhyNotWritable(sys::WriteState state) {
  switch (state) {
    case sys::WriteState::Full: return "its disk is full";
    case sys::WriteState::NotWritable: return "it is read-only or writing to it is refused";
    case sys::WriteState::Gone: return "it is not there";
    case sys::WriteState::Writable: break;
  }
  return "it cannot be written to";
}

// N followed by ONE or MANY, as N asks.
std::string Plural(std::int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// TEXT followed by ": DETAIL" when there is a detail.
std::string WithDetail(const std::string& text, const std::string& detail) {
  return detail.empty() ? text : text + ": " + detail;
}

// Why the new databases could not be made, from CreateNSF's FAILURE.
std::string CreationReason(const target::CreationFailure& failure) {
  using Kind = target::CreationFailure::Kind;
  const std::string client = " (the Notes client is looked for in " + Utf8(notes::DefaultClientDirectory()) +
                             "; norvexa-notes-setup provisions one)";
  switch (failure.kind) {
    case Kind::NoClient: return WithDetail("could not create the new databases: no Notes client", failure.reason) + client;
    case Kind::NoSource:
      return WithDetail("could not create the new databases: the Notes client's " + failure.path + " cannot be opened",
                        failure.reason) +
             client;
    case Kind::NotCreated:
    case Kind::Taken: break;
  }
  return WithDetail("could not create the new database " + failure.path, failure.reason);
}

// Why a run could not start, in one line.
std::string NotStartedReason(const StartFailure& failure) {
  using Step = StartFailure::Step;
  switch (failure.step) {
    case Step::LogOn: return WithDetail("cannot log on to the Outlook profile", failure.detail);
    case Step::OpenStore: return WithDetail("cannot open the store", failure.detail);
    case Step::StagingFolder: return WithDetail("no folder for the attachments could be made", failure.detail);
    case Step::NoOutputFolder: return "no folder was given for the new database";
    case Step::StoreFileUnknown: return WithDetail("the file of the store could not be found", failure.detail);
    case Step::StoreWithoutFile: return "the store has no file of its own to name the new database after";
    case Step::PathTooLong:
      return "the path of the folder " + failure.path + " is too long for a Notes database (" +
             std::to_string(failure.bytes) + " bytes, at most " + std::to_string(failure.limit) + ")";
    case Step::FolderNotMade: return "cannot make the folder " + failure.path;
    case Step::DatabaseNotMade:
      return failure.creation ? CreationReason(*failure.creation)
                              : WithDetail("could not create the new databases", failure.detail);
    case Step::NotADatabase:
      return WithDetail("the file " + failure.path + " could not be opened as a Lotus Notes database", failure.detail);
    case Step::TargetUnreadable: return WithDetail("cannot read what " + failure.path + " holds", failure.detail);
  }
  return "nothing was exported";
}

// What a halted run met, how far it came and what to do, in one line.
std::string HaltedReason(const conversion::RunReport& report, TargetKind kind) {
  std::string reason = "the export stopped before its end";
  if (const auto& cause = report.StopReason()) {
    const bool staging = cause->place == conversion::RunReport::StopPlace::Staging;
    reason += std::string(" because ") + (staging ? "the folder for attachments " : "") + cause->where + " " +
              (cause->state == sys::WriteState::Gone ? "is no longer there" : "can no longer be written to: ") +
              (cause->state == sys::WriteState::Gone ? "" : WhyNotWritable(cause->state));
  }
  reason += "; " + Plural(report.Copied(), "item was", "items were") + " copied and " +
            std::to_string(report.NotCopied()) + " not.";
  return reason + (kind == TargetKind::ExistingDatabase ? " Run the same command with --resume to copy the rest."
                                                        : " Export again into a new database to copy everything.");
}

// What a completed run did, in one line.
std::string CompletedText(const StoreReport& result) {
  const conversion::RunReport& report = *result.report;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", result.seconds);
  const std::string into = Plural(report.Copied(), "item", "items") + " copied into " + result.mail_database +
                           (result.address_book.empty() ? "" : " and " + result.address_book);
  std::string text = into;
  if (!report.AllCopied()) {
    const std::int64_t not_copied = report.NotCopied();
    text = std::to_string(not_copied) + " of " + std::to_string(report.Copied() + not_copied) +
           " items could not be copied";
    if (report.FoldersFailed() > 0) {
      text += " (" + Plural(report.FoldersFailed(), "folder", "folders") + " could not be read)";
    }
    text += "; " + into;
  }
  if (report.Skipped() > 0) text += "; " + Plural(report.Skipped(), "item was", "items were") + " there already";
  if (report.AnyDamage()) {
    // What the damage touched, the kinds that did not happen left out.
    using Kind = conversion::RunReport::DamageKind;
    std::vector<std::string> parts;
    if (const std::int64_t n = report.DamagedItems(Kind::ReadFromDamagedParts)) {
      parts.push_back(Plural(n, "item was", "items were") + " read from damaged parts");
    }
    if (const std::int64_t n = report.DamagedItems(Kind::CopiedWithoutAPart)) {
      parts.push_back(Plural(n, "item was", "items were") + " copied without a part");
    }
    if (const auto n = static_cast<std::int64_t>(report.DamagedFolders().size())) {
      parts.push_back(Plural(n, "folder was", "folders were") + " read from damaged parts");
    }
    if (!report.StoreDamage().empty()) parts.push_back("its index was read around the damage");
    text += "; the store file is damaged:";
    for (std::size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? " " : ", ") + parts[i];
  }
  return text + " in " + seconds + " s";
}

// An item as a line of what is missing names it: its subject or name in
// quotes, or "(no subject or name)".
std::string ItemLabel(const std::string& label) {
  return label.empty() ? std::string("(no subject or name)") : "\"" + label + "\"";
}

// The lines of one kind of what is missing, the first kFailuresShown of
// them, then how many more there were (the JSON report lists them all).
class FirstFew {
 public:
  // Lines on OUT whose count line begins with PREFIX.
  FirstFew(std::ostream& out, const char* prefix) : out_(out), prefix_(prefix) {}

  // Whether the next line is still to be printed; counts it when not.
  bool Show() {
    if (shown_ == kFailuresShown) {
      ++more_;
      return false;
    }
    ++shown_;
    return true;
  }

  // Prints how many lines were left out, when any were.
  void End() {
    if (more_ > 0) out_ << prefix_ << ": " << more_ << " more (--json lists every one)\n";
  }

 private:
  std::ostream& out_;
  const char* prefix_;
  std::size_t shown_ = 0;
  std::int64_t more_ = 0;
};

// What is missing, for the lines before the last one: folders not read,
// then items not copied (the first few), then the folders and items read
// from damaged parts of the store file (the first few).
void PrintMissing(std::ostream& out, const conversion::RunReport& report) {
  for (const auto& failure : report.FolderFailures()) {
    out << "not read: " << failure.name << ": " << failure.reason << "\n";
  }
  FirstFew not_copied(out, "not copied");
  for (const auto& folder : report.Folders()) {
    for (const auto& failure : folder.failures) {
      if (not_copied.Show())
        out << "not copied: " << folder.name << ": " << ItemLabel(failure.label) << ": " << failure.reason << "\n";
    }
  }
  not_copied.End();
  for (const auto& folder : report.DamagedFolders()) {
    out << "damaged folder: " << folder.name << ": " << folder.damage.size() << " damaged parts (--json lists them)\n";
  }
  FirstFew damaged(out, "damaged");
  for (const auto& folder : report.Folders()) {
    for (const auto& item : folder.damaged) {
      if (item.kind == conversion::RunReport::DamageKind::NotCopied || !damaged.Show()) continue;
      out << "damaged: " << folder.name << ": " << ItemLabel(item.label) << ": at offset 0x"
          << sys::HexNumber(item.damage.front().offset) << ": " << item.damage.front().what << "\n";
    }
  }
  damaged.End();
}

// Opens the store of SOURCE as the main window opens it, names it in
// RESULT and selects the folders of WANTED; the reason when it cannot.
std::optional<std::string> OpenAndSelect(const Source& source, const std::vector<std::string>& wanted,
                                         StoreReport& result, Selection& selection) {
  try {
    std::unique_ptr<outlook::Session> session;
    std::unique_ptr<outlook::Store> store;
    if (!source.profile.empty()) {
      session = std::make_unique<outlook::Session>();
      session->LogonProfile(PathOf(Absolute(source.profile)));
      store = session->Stores().Item(source.profile_position);
      result.store = store->PstPath();
      // A listed store that cannot be opened says why when its folders are
      // asked for.
      if (store->OfferText().empty()) store->IPMRootFolder();
    } else {
      store = outlook::OpenStoreFile(PathOf(result.store));
    }
    result.store_name = store->DisplayName();
    try {
      selection = SelectFolders(*store, wanted);
    } catch (const std::exception& e) {
      return std::string("the folders of the mailbox could not be read: ") + e.what();
    }
  } catch (const std::exception& e) {
    // The store access names the file and what is wrong with it.
    const std::string what = e.what();
    return what.find(result.store) != std::string::npos || result.store.empty() ? what
                                                                                 : "cannot open the store: " + what;
  }
  if (!selection.unknown.empty()) {
    std::string known;
    for (const std::string& path : selection.available) known += (known.empty() ? "" : ", ") + path;
    return "no folder \"" + selection.unknown.front() + "\" in the store; its folders are: " + known;
  }
  return std::nullopt;
}

// The target must be there to be written to before anything is read; the
// reason when it is not.
std::optional<std::string> CheckTarget(TargetKind kind, const std::string& path) {
  std::error_code ec;
  if (kind == TargetKind::NewDatabase) {
    fs::create_directories(PathOf(path), ec);
    if (!fs::is_directory(PathOf(path), ec)) {
      return "cannot make the folder " + path + " for the new database" +
             (ec ? ": " + ec.message() : std::string(": a file of that name is there"));
    }
  } else if (!fs::is_regular_file(PathOf(path), ec)) {
    return "no database " + path + " to add to";
  }
  const sys::WriteState state = sys::CheckWritable(PathOf(path));
  if (state != sys::WriteState::Writable) return path + " cannot be written to: " + WhyNotWritable(state);
  return std::nullopt;
}

// The request of the job for RESULT's store and target and SELECTION.
conversion::ExportRequest RequestFor(const StoreReport& result, const Selection& selection) {
  conversion::ExportRequest request;
  request.store.file = result.store;
  request.folders = selection.references;
  request.folder_counts = selection.counts;
  request.target.kind = result.target.kind == TargetKind::NewDatabase
                            ? conversion::TargetChoice::Kind::NewDatabase
                            : conversion::TargetChoice::Kind::ExistingDatabase;
  request.target.path = result.target.path;
  request.resume = result.resume;
  return request;
}

// Ends RESULT with STATUS and REASON: the missing items and the last line
// on OUT.
StoreReport& Finish(StoreReport& result, std::ostream& out, const QElapsedTimer& timer, int status,
                    const std::string& reason) {
  result.status = status;
  result.reason = reason;
  result.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  if (result.report && status != 0) PrintMissing(out, *result.report);
  // The line names the store once: the store access's own messages
  // already begin with its file.
  const bool named = !result.store.empty() && reason.find(result.store) != std::string::npos;
  out << "norvexa-export: " << (named || result.store.empty() ? std::string() : result.store + ": ") << reason << "\n";
  out.flush();
  return result;
}

// Runs the job for RESULT and SELECTION with a progress view on DISPLAY and
// ends RESULT from what it came to.
StoreReport RunJob(StoreReport& result, const Selection& selection, const Display& display,
                   const QElapsedTimer& timer) {
  std::ostream& out = *display.out;
  ProgressView view(out, display.terminal ? ProgressView::Mode::Bar : ProgressView::Mode::Lines, selection.items,
                    display.columns);
  conversion::ExportJob job;
  view.Follow(job.Report());
  conversion::ExportResult run;
  try {
    run = job.Run(RequestFor(result, selection), view);
  } catch (const std::exception& e) {
    view.Finish();
    result.report = job.Report();
    return Finish(result, out, timer, job.Report().Copied() > 0 ? 1 : 2,
                  std::string("the export stopped before its end: ") + e.what());
  }
  view.Finish();
  if (run.end == conversion::RunEnd::Stopped) {
    return Finish(result, out, timer, 2, run.start_failure ? NotStartedReason(*run.start_failure) : "nothing was exported");
  }
  result.report = run.report;
  result.mail_database = run.paths.mail_database;
  result.address_book = run.paths.address_book;
  const int partly = run.report.Copied() > 0 ? 1 : 2;
  switch (run.end) {
    case conversion::RunEnd::Halted: return Finish(result, out, timer, partly, HaltedReason(run.report, result.target.kind));
    case conversion::RunEnd::StoppedByUser:
      return Finish(result, out, timer, partly, "the export was stopped before its end");
    case conversion::RunEnd::Completed:
    case conversion::RunEnd::Stopped: break;
  }
  result.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  return Finish(result, out, timer, run.report.Clean() ? 0 : 1, CompletedText(result));
}

}  // namespace

Selection SelectFolders(const outlook::Store& store, const std::vector<std::string>& wanted) {
  NodeList list;
  const source::FolderNode root = source::RootNode(store);
  source::FolderTreeWalker walker(list);
  walker.AddTopLevelFolders(*store.IPMRootFolder(), root.key);

  std::vector<QString> wanted_paths;
  std::vector<bool> found(wanted.size(), false);
  for (const std::string& path : wanted) wanted_paths.push_back(Comparable(path));
  const QString store_prefix = Comparable(root.key) + QLatin1Char('\\');

  Selection selection;
  for (const source::FolderNode& node : list.nodes) {
    if (node.reference.empty()) continue;
    bool chosen = wanted.empty();
    const QString path = Comparable(node.reference.substr(node.reference.find('#') + 1));
    const QString inside = path.startsWith(store_prefix) ? path.mid(store_prefix.size()) : path;
    for (std::size_t i = 0; i < wanted_paths.size(); ++i) {
      if (wanted_paths[i] == path || wanted_paths[i] == inside) {
        chosen = true;
        found[i] = true;
      }
    }
    if (!chosen) continue;
    selection.references.push_back(node.reference);
    selection.counts[node.reference] = node.item_count;
    if (IsConvertedImage(node.image)) selection.items += node.item_count;
  }
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    if (!found[i]) selection.unknown.push_back(wanted[i]);
  }
  if (!selection.unknown.empty()) {
    for (const source::FolderNode& node : list.nodes) {
      selection.available.push_back(node.reference.substr(node.reference.find('#') + 1));
    }
  }
  return selection;
}

StoreReport RunExport(const Source& source, const Target& target, const std::vector<std::string>& folders, bool resume,
                      const Display& display) {
  QElapsedTimer timer;
  timer.start();
  StoreReport result;
  result.target = {target.kind, Absolute(target.path)};
  result.resume = resume;
  result.store = source.profile.empty() ? Absolute(source.store_file) : std::string();
  std::ostream& out = *display.out;

  Selection selection;
  if (const std::optional<std::string> reason = OpenAndSelect(source, folders, result, selection)) {
    return Finish(result, out, timer, 2, *reason);
  }
  result.items_in_folders = selection.items;
  if (const std::optional<std::string> reason = CheckTarget(target.kind, result.target.path)) {
    return Finish(result, out, timer, 2, *reason);
  }
  out << "Exporting " << result.store << " (" << Plural(selection.items, "item", "items") << " in "
      << Plural(static_cast<std::int64_t>(selection.references.size()), "folder", "folders") << ") into "
      << (target.kind == TargetKind::NewDatabase ? "a new database in " : "") << result.target.path
      << (resume ? ", skipping the items it holds already" : "") << "\n";
  return RunJob(result, selection, display, timer);
}

int CombinedStatus(const std::vector<int>& statuses) {
  bool all_zero = true, all_two = true;
  for (int status : statuses) {
    all_zero = all_zero && status == 0;
    all_two = all_two && status == 2;
  }
  if (statuses.empty() || all_two) return 2;
  return all_zero ? 0 : 1;
}

}  // namespace norvexa::exporter
