// The account of one conversion run; see run_report.h.
#include "conversion/run_report.h"

#include "platform/system/hex.h"

namespace norvexa::conversion {
namespace {

// "1 item" or "N items" (and the like for other nouns).
std::string Count(std::int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

const char* WasWere(std::int64_t n) { return n == 1 ? "was" : "were"; }

// Each entry of DAMAGE as "at offset 0x…: what", joined by "; ".
std::string Places(const std::vector<outlook::Damage>& damage) {
  std::string text;
  for (const outlook::Damage& d : damage) {
    if (!text.empty()) text += "; ";
    text += "at offset 0x" + sys::HexNumber(d.offset) + ": " + d.what;
  }
  return text;
}

// How an item is named in the detail: its label in quotes, or a stand-in.
std::string Named(const std::string& label) {
  return label.empty() ? std::string("(no subject or name)") : "\"" + label + "\"";
}

}  // namespace

void RunReport::BeginFolder(const std::string& name) { folders_.push_back({name, 0, 0, 0, {}, {}}); }

RunReport::FolderAccount& RunReport::Current() {
  // An item reported before any folder was begun still gets an account.
  if (folders_.empty()) BeginFolder(std::string());
  return folders_.back();
}

void RunReport::ItemCopied(const std::string& label) {
  FolderAccount& folder = Current();
  ++folder.copied;
  ++copied_;
  pending_.push_back({folders_.size() - 1, label, std::nullopt});
}

void RunReport::Committed() { pending_.clear(); }

void RunReport::UncommittedLost(const std::string& reason) {
  for (const PendingItem& item : pending_) {
    FolderAccount& folder = folders_[item.folder];
    --folder.copied;
    --copied_;
    ++folder.failed;
    ++failed_;
    folder.failures.push_back({item.label, "its document was lost with the last writes to the database: " + reason});
    if (item.damaged) folder.damaged[*item.damaged].kind = DamageKind::NotCopied;
  }
  pending_.clear();
}

void RunReport::ItemSkipped() {
  ++Current().skipped;
  ++skipped_;
}

void RunReport::ItemFailed(const std::string& label, const std::string& reason) {
  FolderAccount& folder = Current();
  ++folder.failed;
  ++failed_;
  folder.failures.push_back({label, reason});
}

void RunReport::FolderFailed(const std::string& name, const std::string& reason,
                             std::optional<std::int64_t> items) {
  if (items) {
    unread_ += *items;
  } else {
    ++uncounted_folders_;
  }
  folder_failures_.push_back({name, reason, items});
}

void RunReport::FolderNotConverted(const std::string& name, const std::string& message_class) {
  not_converted_.push_back({name, message_class});
}

void RunReport::ItemDamaged(const std::string& label, DamageKind kind, std::vector<outlook::Damage> damage) {
  if (damage.empty()) return;
  FolderAccount& folder = Current();
  folder.damaged.push_back({label, kind, std::move(damage), std::string()});
  // The copied item just counted, when it is the one damaged.
  if (kind != DamageKind::NotCopied && !pending_.empty() && pending_.back().folder == folders_.size() - 1) {
    pending_.back().damaged = folder.damaged.size() - 1;
  }
}

void RunReport::ItemCopiedInPart(const std::string& label, const std::string& lost,
                                 std::vector<outlook::Damage> damage) {
  ItemCopied(label);
  FolderAccount& folder = Current();
  folder.damaged.push_back({label, DamageKind::CopiedWithoutAPart, std::move(damage), lost});
  pending_.back().damaged = folder.damaged.size() - 1;
}

void RunReport::FolderDamaged(const std::string& name, std::vector<outlook::Damage> damage) {
  if (damage.empty()) return;
  damaged_folders_.push_back({name, std::move(damage)});
}

void RunReport::StoreDamaged(std::vector<outlook::Damage> damage) { store_damage_ = std::move(damage); }

std::int64_t RunReport::DamagedItems(DamageKind kind) const {
  std::int64_t n = 0;
  for (const FolderAccount& folder : folders_) {
    for (const DamagedItem& item : folder.damaged) n += item.kind == kind ? 1 : 0;
  }
  return n;
}

bool RunReport::AnyDamage() const {
  if (!damaged_folders_.empty() || !store_damage_.empty()) return true;
  for (const FolderAccount& folder : folders_) {
    if (!folder.damaged.empty()) return true;
  }
  return false;
}

void RunReport::Stopped(StopPlace place, sys::WriteState state, const std::string& where, std::int64_t items_left) {
  stopped_ = StopCause{place, state, where};
  items_left_ = items_left;
}

void RunReport::StoppedByUser() { stopped_ = StopCause{StopPlace::User, sys::WriteState::Writable, std::string()}; }

std::string RunReport::Detail() const {
  // What is missing comes first: it is what the user looks for.
  std::string detail;
  for (const FolderFailure& failure : folder_failures_) {
    detail += "Folder could not be read: " + failure.name +
              (failure.items ? " (" + Count(*failure.items, "item", "items") + "): "
                             : std::string(" (number of items not known): ")) +
              failure.reason + "\n";
  }
  for (const DamagedFolder& folder : damaged_folders_) {
    detail += "Damaged folder: " + folder.name + ": " + Places(folder.damage) + "\n";
  }
  for (const FolderAccount& folder : folders_) {
    for (const ItemFailure& failure : folder.failures) {
      detail += "Could not be copied: " + folder.name + ": " + Named(failure.label) + ": " + failure.reason + "\n";
    }
  }
  // The damage of each item touched by it, in the order of the kinds above.
  static constexpr std::pair<DamageKind, const char*> kKinds[] = {
      {DamageKind::NotCopied, "Not copied, from a damaged part of the file: "},
      {DamageKind::CopiedWithoutAPart, "Copied without a part that could not be read: "},
      {DamageKind::ReadFromDamagedParts, "Read from a damaged part of the file: "},
  };
  for (const auto& [kind, heading] : kKinds) {
    for (const FolderAccount& folder : folders_) {
      for (const DamagedItem& item : folder.damaged) {
        if (item.kind != kind) continue;
        std::string what = item.lost;
        if (!item.damage.empty()) what += (what.empty() ? "" : "; ") + Places(item.damage);
        detail += heading + folder.name + ": " + Named(item.label) + ": " + what + "\n";
      }
    }
  }
  for (const outlook::Damage& d : store_damage_) {
    detail += "Store file damaged: " + Places({d}) + "\n";
  }
  if (items_left_ > 0) {
    detail += "Not reached when the export stopped: " + Count(items_left_, "item", "items") + "\n";
  }
  for (const FolderAccount& folder : folders_) {
    detail += "Folder " + folder.name + ": " + std::to_string(folder.copied) + " copied, " +
              std::to_string(folder.failed) + " could not be copied" +
              (folder.skipped > 0 ? ", " + std::to_string(folder.skipped) + " already in the database" : "") + "\n";
  }
  for (const UnconvertedFolder& folder : not_converted_) {
    detail += "Not converted (kind not exported): " + folder.name + " (" + folder.message_class + ")\n";
  }
  return detail;
}

sys::Message RunReport::CompletionMessage(const std::string& nsf_path, const std::string& address_book) const {
  const std::string paths = "\r\n" + nsf_path + "\r\n" + address_book;
  sys::Message message;
  message.title = QStringLiteral("Export Complete");
  message.buttons = sys::Buttons::Ok;

  if (Clean()) {
    message.icon = sys::Icon::Information;
    message.text = QString::fromStdString("Outlook Mailbox Exported Successfully to Lotus Notes Mailbox." + paths);
  } else if (AllCopied()) {
    message.icon = sys::Icon::Warning;
    message.text = QString::fromStdString("Outlook Mailbox Exported to Lotus Notes Mailbox from a damaged store file: " +
                                          Count(copied_, "item was", "items were") + " copied." + DamageSentence() +
                                          paths);
  } else {
    message.icon = sys::Icon::Warning;
    const std::int64_t not_copied = NotCopied();
    const std::int64_t total = copied_ + not_copied;
    std::string text = "Outlook Mailbox Exported to Lotus Notes Mailbox with errors: " + std::to_string(not_copied) +
                       " of " + std::to_string(total) + " items could not be copied.";
    if (!folder_failures_.empty()) {
      const std::int64_t folders = FoldersFailed();
      text += " " + Count(folders, "folder", "folders") + " could not be read";
      if (uncounted_folders_ == 0) {
        text += " (" + Count(unread_, "item", "items") + ").";
      } else if (uncounted_folders_ == folders) {
        text += folders == 1 ? " (the number of its items is not known)." : " (the number of their items is not known).";
      } else {
        text += " (" + Count(unread_, "item", "items") + ", and the items of " +
                Count(uncounted_folders_, "folder", "folders") + " whose number is not known).";
      }
    }
    message.text = QString::fromStdString(text + DamageSentence() + paths);
  }

  // The detail matters only when something went wrong or was left out.
  if (!Clean() || !not_converted_.empty()) message.detail = QString::fromStdString(Detail());
  return message;
}

std::string RunReport::DamageSentence() const {
  if (!AnyDamage()) return std::string();
  std::string text;
  const std::int64_t read = DamagedItems(DamageKind::ReadFromDamagedParts);
  const std::int64_t in_part = DamagedItems(DamageKind::CopiedWithoutAPart);
  if (read > 0) {
    text += " " + Count(read, "item was", "items were") + " read from damaged parts of the store file and may hold "
            "damaged values.";
  }
  if (in_part > 0) {
    text += " " + Count(in_part, "item was", "items were") + " copied without a part that could not be read.";
  }
  if (!damaged_folders_.empty()) {
    const auto folders = static_cast<std::int64_t>(damaged_folders_.size());
    text += " " + Count(folders, "folder was", "folders were") + " read from damaged parts (some items may be missing).";
  }
  if (!store_damage_.empty()) text += " The store file's index is damaged and was read around.";
  return text + " The details give each place in the file.";
}

sys::Message RunReport::StopMessage(const std::string& nsf_path, const std::string& address_book) const {
  sys::Message message;
  message.title = QStringLiteral("Export Stopped");
  message.icon = sys::Icon::Critical;
  message.buttons = sys::Buttons::Ok;

  if (StoppedOnRequest()) {
    // Nothing went wrong: the user learns how far the export came.
    message.icon = sys::Icon::Information;
    const std::int64_t total = copied_ + NotCopied();
    std::string text = "The export was stopped before its end, as you asked.\r\n\r\n" + std::to_string(copied_) +
                       " of " + Count(total, "item", "items") + " " + WasWere(total) + " copied";
    if (failed_ + unread_ > 0) text += ", " + std::to_string(failed_ + unread_) + " could not be copied";
    text += " and " + std::to_string(items_left_) + " " + WasWere(items_left_) + " not reached.";
    if (copied_ > 0) {
      text += " The documents copied are kept in:\r\n" + nsf_path + (address_book.empty() ? "" : "\r\n" + address_book);
    }
    message.text = QString::fromStdString(text);
    message.detail = QString::fromStdString(Detail());
    return message;
  }

  const StopCause cause = stopped_.value_or(StopCause{StopPlace::Target, sys::WriteState::NotWritable, nsf_path});
  const bool target = cause.place == StopPlace::Target;
  const std::string what = target ? "the Lotus Notes Mailbox" : "the folder for attachments (" + cause.where + ")";
  std::string text = "The export stopped before its end because ";
  std::string advice;
  switch (cause.state) {
    case sys::WriteState::Full:
    case sys::WriteState::Writable:  // not a cause; read as the most likely one
      text += "the disk that holds " + what + " is full (or your disk quota is used up).";
      advice = "Free some space on that disk and export again into a new Lotus Notes Mailbox to copy everything.";
      break;
    case sys::WriteState::NotWritable:
      text += what + " can no longer be written to: its disk or file has become read-only.";
      advice = "Make it writable again and export again into a new Lotus Notes Mailbox to copy everything.";
      break;
    case sys::WriteState::Gone:
      text += (target ? cause.where : what) + " is no longer there: it was deleted, or its disk was removed.";
      advice = "Reconnect the disk (or choose another folder) and export again into a new Lotus Notes Mailbox "
               "to copy everything.";
      break;
  }

  const std::int64_t not_copied = NotCopied();
  text += "\r\n\r\n" + Count(copied_, "item", "items") + " " + WasWere(copied_) + " copied and " +
          std::to_string(not_copied) + " " + WasWere(not_copied) + " not.";
  if (copied_ > 0) {
    text += target && cause.state == sys::WriteState::Gone ? " The documents copied had been written to:\r\n"
                                                           : " The documents copied are kept in:\r\n";
    text += nsf_path + (address_book.empty() ? "" : "\r\n" + address_book);
  }
  text += "\r\n\r\n" + advice;
  message.text = QString::fromStdString(text);
  message.detail = QString::fromStdString(Detail());
  return message;
}

}  // namespace norvexa::conversion
