// One export of one store into one target; see export_job.h.
#include "export_job.h"

#include "conversion/conversion_run.h"
#include "conversion/global/global.h"
#include "platform/notes/notes.h"
#include "platform/outlook/outlook.h"
#include "platform/system/hex.h"
#include "platform/system/paths.h"
#include "platform/system/text.h"
#include "platform/system/write_check.h"
#include "progress.h"
#include "resume_index.h"
#include "source/folder_nodes.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QString>
#include <QTemporaryFile>
#include <QtGlobal>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <system_error>

namespace norvexa::exporter {
namespace {

namespace fs = std::filesystem;

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

using sys::Utf8;

fs::path PathOf(const std::string& utf8) { return sys::PathFromUtf8(utf8); }

// PATH made absolute, as UTF-8 text.
std::string Absolute(const std::string& path) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(PathOf(path), ec);
  return Utf8((ec ? PathOf(path) : absolute).lexically_normal());
}

const char* WhyNotWritable(sys::WriteState state) {
  switch (state) {
    case sys::WriteState::Full: return "its disk is full";
    case sys::WriteState::NotWritable: return "it is read-only or writing to it is refused";
    case sys::WriteState::Gone: return "it is not there";
    case sys::WriteState::Writable: break;
  }
  return "it cannot be written to";
}

// Sets an environment variable for the guard's lifetime.
class EnvironmentGuard {
 public:
  EnvironmentGuard(const char* name, const std::string& value)
      : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
    qputenv(name_, QByteArray::fromStdString(value));
  }
  ~EnvironmentGuard() {
    if (had_) {
      qputenv(name_, old_);
    } else {
      qunsetenv(name_);
    }
  }
  EnvironmentGuard(const EnvironmentGuard&) = delete;
  EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

 private:
  const char* name_;
  QByteArray old_;
  bool had_;
};

// Leaves the globals the run reads as a fresh save window finds them, so
// that one export of several does not see what the last one left.
void ClearGlobals() {
  Global::SelectedStoreId.clear();
  Global::SelectedFolders.clear();
  Global::SelectedFolderCounts.clear();
  Global::NsfFilePath.clear();
  Global::AddressBookPath.clear();
  Global::AttachmentList.clear();
}

std::string Plural(std::int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// What a completed run did, in one line.
std::string CompletedText(const ExportResult& result) {
  const conversion::RunReport& report = *result.report;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", result.seconds);
  std::string text;
  if (report.AllCopied()) {
    text = Plural(report.Copied(), "item", "items") + " copied into " + result.mail_database +
           (result.address_book.empty() ? "" : " and " + result.address_book);
  } else {
    const std::int64_t not_copied = report.NotCopied();
    text = std::to_string(not_copied) + " of " + std::to_string(report.Copied() + not_copied) +
           " items could not be copied";
    if (report.FoldersFailed() > 0) {
      text += " (" + Plural(report.FoldersFailed(), "folder", "folders") + " could not be read)";
    }
    text += "; " + Plural(report.Copied(), "item", "items") + " copied into " + result.mail_database +
            (result.address_book.empty() ? "" : " and " + result.address_book);
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

// What is missing, for the lines before the last one: folders not read,
// then items not copied (the first few), then the folders and items read
// from damaged parts of the store file (the first few).
void PrintMissing(std::ostream& out, const conversion::RunReport& report) {
  for (const auto& failure : report.FolderFailures()) {
    out << "not read: " << failure.name << ": " << failure.reason << "\n";
  }
  std::size_t shown = 0;
  std::int64_t more = 0;
  for (const auto& folder : report.Folders()) {
    for (const auto& failure : folder.failures) {
      if (shown == kFailuresShown) {
        ++more;
        continue;
      }
      ++shown;
      out << "not copied: " << folder.name << ": "
          << (failure.label.empty() ? std::string("(no subject or name)") : "\"" + failure.label + "\"") << ": "
          << failure.reason << "\n";
    }
  }
  if (more > 0) out << "not copied: " << more << " more (--json lists every one)\n";
  // Then what was copied from damaged parts of the file, as few.
  shown = 0;
  more = 0;
  for (const auto& folder : report.DamagedFolders()) {
    out << "damaged folder: " << folder.name << ": " << folder.damage.size() << " damaged parts (--json lists them)\n";
  }
  for (const auto& folder : report.Folders()) {
    for (const auto& item : folder.damaged) {
      if (item.kind == conversion::RunReport::DamageKind::NotCopied) continue;
      if (shown == kFailuresShown) {
        ++more;
        continue;
      }
      ++shown;
      out << "damaged: " << folder.name << ": "
          << (item.label.empty() ? std::string("(no subject or name)") : "\"" + item.label + "\"") << ": at offset 0x"
          << sys::HexNumber(item.damage.front().offset) << ": " << item.damage.front().what << "\n";
    }
  }
  if (more > 0) out << "damaged: " << more << " more (--json lists every one)\n";
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

ExportResult RunExport(const Source& source, const Target& target, const std::vector<std::string>& folders,
                       bool resume, CommandServices& services, const Display& display) {
  ExportResult result;
  result.target = {target.kind, Absolute(target.path)};
  result.resume = resume;
  result.store = source.profile.empty() ? Absolute(source.store_file) : std::string();
  std::ostream& out = *display.out;
  QElapsedTimer timer;
  timer.start();
  auto finish = [&](int status, const std::string& reason) {
    ClearGlobals();
    result.status = status;
    result.reason = reason;
    result.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (result.report && status != 0) PrintMissing(out, *result.report);
    // The line names the store once: the store access's own messages
    // already begin with its file.
    const bool named = !result.store.empty() && reason.find(result.store) != std::string::npos;
    out << "norvexa-export: " << (named || result.store.empty() ? std::string() : result.store + ": ") << reason
        << "\n";
    out.flush();
    return result;
  };

  // The store, opened as the main window opens it; the run opens it again
  // in its own session, through a profile that lists it.
  std::string store_id;
  std::string profile_file;
  QTemporaryFile own_profile(QDir::tempPath() + QStringLiteral("/norvexa-export-profile-XXXXXX"));
  Selection selection;
  try {
    std::unique_ptr<outlook::Session> session;
    std::unique_ptr<outlook::Store> store;
    if (!source.profile.empty()) {
      profile_file = Absolute(source.profile);
      session = std::make_unique<outlook::Session>();
      session->LogonProfile(PathOf(profile_file));
      store = session->Stores().Item(source.profile_position);
      result.store = store->PstPath();
      // A listed store that cannot be opened says why when its folders are
      // asked for.
      if (store->OfferText().empty()) store->IPMRootFolder();
    } else {
      store = outlook::OpenStoreFile(PathOf(result.store));
      if (!own_profile.open()) {
        return finish(2, "cannot write a profile for the store in " + QDir::tempPath().toStdString() + ": " +
                             own_profile.errorString().toStdString());
      }
      own_profile.write(QByteArray::fromStdString(result.store + "\n"));
      own_profile.close();
      profile_file = own_profile.fileName().toStdString();
    }
    result.store_name = store->DisplayName();
    store_id = store->StoreID();
    try {
      selection = SelectFolders(*store, folders);
    } catch (const std::exception& e) {
      return finish(2, std::string("the folders of the mailbox could not be read: ") + e.what());
    }
  } catch (const std::exception& e) {
    // The store access names the file and what is wrong with it.
    const std::string what = e.what();
    return finish(2, what.find(result.store) != std::string::npos || result.store.empty()
                         ? what
                         : "cannot open the store: " + what);
  }
  if (!selection.unknown.empty()) {
    std::string known;
    for (const std::string& path : selection.available) known += (known.empty() ? "" : ", ") + path;
    return finish(2, "no folder \"" + selection.unknown.front() + "\" in the store; its folders are: " + known);
  }
  result.items_in_folders = selection.items;

  // The target must be there to be written to before anything is read.
  const std::string& target_path = result.target.path;
  std::error_code ec;
  if (target.kind == TargetKind::NewDatabase) {
    fs::create_directories(PathOf(target_path), ec);
    if (!fs::is_directory(PathOf(target_path), ec)) {
      return finish(2, "cannot make the folder " + target_path + " for the new database" +
                           (ec ? ": " + ec.message() : std::string(": a file of that name is there")));
    }
  } else if (!fs::is_regular_file(PathOf(target_path), ec)) {
    return finish(2, "no database " + target_path + " to add to");
  }
  const sys::WriteState state = sys::CheckWritable(PathOf(target_path));
  if (state != sys::WriteState::Writable) {
    return finish(2, target_path + " cannot be written to: " + WhyNotWritable(state));
  }

  std::unique_ptr<ResumeIndex> index;
  if (resume) {
    try {
      index = std::make_unique<ResumeIndex>(target_path);
    } catch (const std::exception& e) {
      return finish(2, "cannot read what " + target_path + " holds: " + e.what());
    }
  }

  // What the main window and the save window set before a run.
  ClearGlobals();
  Global::SelectedStoreId = store_id;
  Global::SelectedFolders = selection.references;
  Global::SelectedFolderCounts = selection.counts;
  Global::ExcludeFromViewValues = {"D", "S"};

  out << "Exporting " << result.store << " (" << Plural(selection.items, "item", "items") << " in "
      << Plural(static_cast<std::int64_t>(selection.references.size()), "folder", "folders") << ") into "
      << (target.kind == TargetKind::NewDatabase ? "a new database in " : "") << target_path
      << (index ? " (" + Plural(static_cast<std::int64_t>(index->size()), "document", "documents") +
                      " of exported items there)"
                : std::string())
      << "\n";

  const EnvironmentGuard profile("NORVEXA_MAPI_PROFILE", profile_file);
  ProgressView view(out, display.terminal ? ProgressView::Mode::Bar : ProgressView::Mode::Lines, selection.items,
                    display.columns);
  conversion::ConversionRun run(view);
  view.Follow(run.Report());
  if (index) {
    run.SetSkip([&index](const outlook::Item& item, const std::string& folder_name) {
      return index->Holds(item, folder_name);
    });
  }
  const std::size_t messages_before = services.messages().size();
  auto last_message = [&]() -> const sys::Message* {
    return services.messages().size() > messages_before ? &services.messages().back() : nullptr;
  };

  conversion::RunEnd end = conversion::RunEnd::Stopped;
  try {
    conversion::RunTarget run_target;
    run_target.new_database = target.kind == TargetKind::NewDatabase;
    (run_target.new_database ? run_target.output_folder : run_target.existing_file) = target_path;
    end = run.Run(run_target);
  } catch (const ExitRequested&) {
    // The new databases could not be made: the Notes client is missing,
    // or its templates cannot be copied.
    view.Finish();
    const sys::Message* message = last_message();
    return finish(2, "could not create the new databases" +
                         (message ? " (" + OneLine(message->text) + ")" : std::string()) +
                         "; the Notes client is looked for in " + Utf8(notes::DefaultClientDirectory()) +
                         " (norvexa-notes-setup provisions one)");
  } catch (const std::exception& e) {
    view.Finish();
    result.report = run.Report();
    return finish(run.Report().Copied() > 0 ? 1 : 2, std::string("the export stopped before its end: ") + e.what());
  }
  view.Finish();

  const sys::Message* message = last_message();
  if (end == conversion::RunEnd::Stopped) {
    return finish(2, message ? OneLine(message->text) : std::string("nothing was exported"));
  }
  result.report = run.Report();
  result.mail_database = run.Paths().mail_database;
  result.address_book = run.Paths().address_book;
  if (end == conversion::RunEnd::Halted) {
    // The message's first paragraph says what happened to the target.
    const QString text = message ? message->text : QString();
    std::string reason = OneLine(text.section(QStringLiteral("\r\n\r\n"), 0, 0));
    reason += " " + Plural(result.report->Copied(), "item was", "items were") + " copied and " +
              std::to_string(result.report->NotCopied()) + " not.";
    reason += target.kind == TargetKind::ExistingDatabase
                  ? " Run the same command with --resume to copy the rest."
                  : " " + OneLine(text.section(QStringLiteral("\r\n\r\n"), -1));
    return finish(result.report->Copied() > 0 ? 1 : 2, reason);
  }
  if (end != conversion::RunEnd::Completed) {
    // A way of ending the run this command does not know: what was copied
    // stays; nothing says the rest was.
    return finish(1, "the export ended before its end" + (message ? ": " + OneLine(message->text) : std::string()));
  }
  result.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  return finish(result.report->Clean() ? 0 : 1, CompletedText(result));
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
