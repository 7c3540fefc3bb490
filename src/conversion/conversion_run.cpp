// The conversion run; see conversion_run.h.
#include "conversion/conversion_run.h"

#include "conversion/attachment_staging.h"
#include "conversion/global/global.h"
#include "conversion/naming.h"
#include "platform/notes/notes.h"
#include "platform/outlook/outlook.h"
#include "platform/system/paths.h"
#include "platform/system/system_services.h"
#include "platform/system/text.h"
#include "platform/system/write_check.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

namespace norvexa::conversion {
namespace {

// True for the folder kinds whose items the run copies.
bool IsConvertedKind(const std::string& message_class) {
  return message_class == "IPM.Contact" || message_class == "IPM.Note" || message_class == "IPM.Appointment" ||
         message_class == "IPM.Task";
}

// The item count the folder tree showed for the folder of REFERENCE, when
// the hand-over passed one.
std::optional<std::int64_t> TreeCount(const std::string& reference) {
  const auto found = Global::SelectedFolderCounts.find(reference);
  if (found == Global::SelectedFolderCounts.end()) return std::nullopt;
  return found->second;
}

// The items the folder tree showed for the folders of REFERENCES, as far as
// it showed them: where the overall progress starts from.
std::int64_t TreeTotal(const std::vector<std::string>& references) {
  std::int64_t total = 0;
  for (const std::string& reference : references) {
    if (!sys::Trim(reference).empty()) total += TreeCount(reference).value_or(0);
  }
  return total;
}

std::string Join(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
  return text;
}

// FOLDER without its trailing SEPARATOR, as the folder-making call is given it.
std::string WithoutTrailing(std::string folder, const std::string& separator) {
  if (folder.size() >= separator.size() &&
      folder.compare(folder.size() - separator.size(), separator.size(), separator) == 0) {
    folder.resize(folder.size() - separator.size());
  }
  return folder;
}

}  // namespace

ConversionRun::ConversionRun(RunView& view) : view_(view) {}

ConversionRun::~ConversionRun() = default;

RunEnd ConversionRun::Stop(const std::string& text) {
  staging_.reset();
  sys::ShowNotice(view_.MessageOwner(), QString::fromStdString(text), QStringLiteral("Norvexa"), sys::Icon::Warning);
  return RunEnd::Stopped;
}

RunEnd ConversionRun::Run(const RunTarget& target) {
  report_ = RunReport();
  writer_ = writers::WriterContext();
  writer_.yield = [this] { view_.Yield(); };
  writer_.exclude_from_view = Global::ExcludeFromViewValues;
  view_.ResetProgress();

  // Session and log-on: the run's own, closed when the run ends.
  outlook::Session session;
  try {
    session.Logon();
  } catch (const std::exception& e) {
    return Stop(std::string("Could not log on to Outlook; nothing was exported.\r\n") + e.what());
  }
  view_.Yield();

  std::unique_ptr<outlook::Store> store;
  try {
    store = session.GetStoreFromID(Global::SelectedStoreId);
  } catch (const std::exception& e) {
    return Stop(std::string("Could not open the Outlook store; nothing was exported.\r\n") + e.what());
  }

  // The private folder for this run's attachments.
  try {
    staging_ = AttachmentStaging::InFirstUsable(StagingParents());
  } catch (const std::exception& e) {
    return Stop(std::string("Could not make a folder for the attachments; nothing was exported.\r\n") + e.what());
  }

  if (!SettleTarget(target, *store)) return RunEnd::Stopped;
  Global::NsfFilePath = writer_.paths.mail_database;
  Global::AddressBookPath = writer_.paths.address_book;

  // From here on a folder or item that fails is counted and reported at the
  // end; the run goes on with the next one, unless the target itself can no
  // longer be written. The list is copied because the yields run other
  // handlers.
  const std::vector<std::string> folders = Global::SelectedFolders;
  progress_.Start(TreeTotal(folders), RunProgress::Clock::now());
  view_.ShowOverallProgress(progress_.Snapshot(RunProgress::Clock::now()));
  bool halted = false;
  for (std::size_t k = 0; k < folders.size() && !halted; ++k) {
    if (sys::Trim(folders[k]).empty()) continue;
    std::int64_t items_left = 0;
    std::size_t first_not_reached = k + 1;  // of the folders
    if (stop_requested_) {
      report_.StoppedByUser();
      first_not_reached = k;
      halted = true;
    } else if (!FolderStep(*store, folders[k], items_left)) {
      halted = true;
    }
    if (halted) {
      const std::vector<std::string> rest(folders.begin() + static_cast<std::ptrdiff_t>(first_not_reached),
                                          folders.end());
      const std::int64_t items_not_reached = items_left + ItemsIn(*store, rest);
      report_.AddItemsLeft(items_not_reached);
      progress_.EndedEarly(items_not_reached);
    }
  }
  OverallProgress last = progress_.Snapshot(RunProgress::Clock::now());
  last.finished = true;
  view_.ShowOverallProgress(last);

  Global::SelectedFolders.clear();
  Global::SelectedFolderCounts.clear();
  store.reset();
  session.Logoff();
  staging_.reset();  // removes the staging folder and anything left in it

  const target::RunPaths& paths = writer_.paths;
  if (halted) {
    sys::Services().ShowMessage(view_.MessageOwner(), report_.StopMessage(paths.mail_database, paths.address_book));
    return report_.StoppedOnRequest() ? RunEnd::StoppedByUser : RunEnd::Halted;
  }
  sys::Services().ShowMessage(view_.MessageOwner(),
                              report_.CompletionMessage(paths.mail_database, paths.address_book));
  return RunEnd::Completed;
}

bool ConversionRun::SettleTarget(const RunTarget& target, const outlook::Store& store) {
  if (target.new_database) {
    if (sys::Trim(target.output_folder).empty()) {
      Stop("Please select the folder in which to save the new Lotus Notes Mailbox.");
      return false;
    }
    std::string pst_path;
    try {
      pst_path = store.PstPath();
    } catch (const std::exception& e) {
      Stop(std::string("Could not find the file of the Outlook store; nothing was exported.\r\n") + e.what());
      return false;
    }
    if (pst_path.empty()) {
      Stop("The Outlook store has no file of its own to name the new Lotus Notes Mailbox after; "
           "nothing was exported.");
      return false;
    }
    const std::string separator = sys::PathSeparator().toStdString();
    const NewDatabaseNames names =
        ComposeNewDatabaseNames(target.output_folder, pst_path, sys::Services().Now(), separator);
    // The address book is "names" + the date stamp (at most 19 characters)
    // + ".nsf" in the same folder.
    const std::size_t longest = std::max(names.nsf_path.size(), names.folder.size() + 5 + 19 + 4);
    if (longest > notes::kMaxDatabasePathBytes) {
      Stop("The path of the folder " + WithoutTrailing(names.folder, separator) +
           " is too long for a Lotus Notes database (" + std::to_string(longest) + " bytes, at most " +
           std::to_string(notes::kMaxDatabasePathBytes) +
           "); nothing was exported. Please choose a folder with a shorter path.");
      return false;
    }
    if (!Global::EnsureFolderExists(WithoutTrailing(names.folder, separator))) {
      Stop("Could not create the folder " + WithoutTrailing(names.folder, separator) +
           "; nothing was exported. Please choose another folder.");
      return false;
    }
    view_.Yield();
    writer_.paths = target::CreateNSF(view_, names.nsf_path, names.folder);
    return true;
  }

  const std::string path = sys::Trim(target.existing_file);
  // The writers open the database for every item; make sure it is one
  // before any item is read, so a wrong file costs one clear message.
  try {
    notes::Session notes;
    const std::unique_ptr<notes::Database> database = notes.GetDatabase("", path);
    if (!database->IsOpen()) {
      Stop("The file " + path + " could not be opened as a Lotus Notes database; nothing was exported.");
      return false;
    }
  } catch (const std::exception& e) {
    Stop("The file " + path + " could not be opened as a Lotus Notes database; nothing was exported.\r\n" +
         e.what());
    return false;
  }
  writer_.paths.mail_database = path;
  view_.Yield();
  return true;
}

bool ConversionRun::AlreadyInTarget(const outlook::Item& item, const std::string& folder_name) const {
  if (!skip_) return false;
  try {
    return skip_(item, folder_name);
  } catch (const std::exception&) {
    // Not known to be there: writing it is the safe side.
    return false;
  }
}

void ConversionRun::ItemHandled() {
  const RunProgress::Clock::time_point now = RunProgress::Clock::now();
  if (progress_.ItemDone(now)) view_.ShowOverallProgress(progress_.Snapshot(now));
}

bool ConversionRun::TargetStillWritable() {
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

std::int64_t ConversionRun::ItemsIn(const outlook::Store& store, const std::vector<std::string>& references) {
  std::int64_t items = 0;
  for (const std::string& reference : references) {
    if (sys::Trim(reference).empty()) continue;
    const FolderReference pieces = SplitFolderReference(reference);
    try {
      const std::unique_ptr<outlook::Folder> folder = store.GetFolderFromID(pieces.entry_id);
      if (IsConvertedKind(folder->DefaultMessageClass())) items += folder->GetItems()->Count();
    } catch (const std::exception&) {
      // Not readable now: the count the folder tree showed stands for it.
      items += TreeCount(reference).value_or(0);
    }
  }
  return items;
}

bool ConversionRun::FolderStep(const outlook::Store& store, const std::string& reference, std::int64_t& items_left) {
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
  view_.SetSaveHeader(name);

  std::string message_class;
  try {
    message_class = folder->DefaultMessageClass();
  } catch (const std::exception& e) {
    report_.FolderFailed(pieces.folder_name, std::string("its kind could not be read: ") + e.what(),
                         TreeCount(reference));
    progress_.FolderSkipped();
    return true;
  }

  if (message_class == "IPM.Contact") {
    return ItemLoop(*folder, pieces.folder_name, FolderKind::Contact, items_left);
  } else if (message_class == "IPM.Note") {
    return ItemLoop(*folder, pieces.folder_name, FolderKind::Mail, items_left);
  } else if (message_class == "IPM.Appointment") {
    return ItemLoop(*folder, pieces.folder_name, FolderKind::Calendar, items_left);
  } else if (message_class == "IPM.Task") {
    return ItemLoop(*folder, pieces.folder_name, FolderKind::Task, items_left);
  }
  report_.FolderNotConverted(pieces.folder_name.empty() ? name : pieces.folder_name, message_class);
  progress_.FolderSkipped();
  return true;
}

// Walks the items of FOLDER in collection order and hands each to the
// preparation of its kind (item_kind.h): its own kind when its message
// class names one the export writes, else its folder's KIND (in a contact
// folder a person). After each item the run yields once and lets
// the item go. An item the target already holds (see SetSkip) is counted as
// skipped and not written. Items that cannot be fetched or copied are reported; the walk
// goes on with the next one. After an item that could not be copied the
// places the run writes to are checked: when one can no longer be written
// the walk ends there (false, with the items not reached in ITEMS_LEFT), as
// it does before the next item once a stop has been requested.
bool ConversionRun::ItemLoop(const outlook::Folder& folder, const std::string& folder_name, FolderKind kind,
                             std::int64_t& items_left) {
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

  std::int64_t ordinal = 1;
  for (std::int64_t position = 1; position <= count; ++position, ++ordinal) {
    if (stop_requested_) {
      report_.StoppedByUser();
      items_left = count - position + 1;
      return false;
    }
    std::unique_ptr<outlook::Item> item;
    try {
      item = items->GetItem(position);
    } catch (const std::exception& e) {
      report_.ItemFailed("item " + std::to_string(position), std::string("could not be read: ") + e.what());
      ItemHandled();
      view_.Yield();
      continue;
    }
    if (AlreadyInTarget(*item, folder_name)) {
      report_.ItemSkipped();
      view_.Yield();
      continue;
    }
    ItemContext context{*items, ordinal, folder_name, view_, *staging_, writer_};
    ItemOutcome outcome;
    switch (KindOfItem(*item, kind)) {
      case ItemKind::Person: outcome = PrepareContact(*item, context); break;
      case ItemKind::Group: outcome = PrepareGroup(*item, context); break;
      case ItemKind::Mail: outcome = PrepareMail(*item, context); break;
      case ItemKind::Calendar: outcome = PrepareCalendar(*item, context); break;
      case ItemKind::Task: outcome = PrepareTask(*item, context); break;
    }
    ItemHandled();
    if (outcome.Copied()) {
      report_.ItemCopied();
    } else {
      report_.ItemFailed(outcome.label, Join(outcome.problems));
      if (!TargetStillWritable()) {
        items_left = count - position;
        return false;
      }
    }
    view_.Yield();
    item.reset();
  }
  return true;
}

}  // namespace norvexa::conversion
