// The account of one conversion run; see run_report.h.
#include "conversion/run_report.h"

namespace norvexa::conversion {

void RunReport::BeginFolder(const std::string& name) { folders_.push_back({name, 0, 0, {}}); }

RunReport::FolderAccount& RunReport::Current() {
  // An item reported before any folder was begun still gets an account.
  if (folders_.empty()) BeginFolder(std::string());
  return folders_.back();
}

void RunReport::ItemCopied() {
  ++Current().copied;
  ++copied_;
}

void RunReport::ItemFailed(const std::string& label, const std::string& reason) {
  FolderAccount& folder = Current();
  ++folder.failed;
  ++failed_;
  folder.failures.push_back((label.empty() ? std::string("(no subject or name)") : "\"" + label + "\"") + ": " +
                            reason);
}

void RunReport::FolderFailed(const std::string& name, const std::string& reason) {
  folder_failures_.push_back(name + ": " + reason);
}

void RunReport::FolderNotConverted(const std::string& name, const std::string& message_class) {
  not_converted_.push_back(name + " (" + message_class + ")");
}

sys::Message RunReport::CompletionMessage(const std::string& nsf_path, const std::string& address_book) const {
  const std::string paths = "\r\n" + nsf_path + "\r\n" + address_book;
  sys::Message message;
  message.title = QStringLiteral("Export Complete");
  message.buttons = sys::Buttons::Ok;

  if (AllCopied()) {
    message.icon = sys::Icon::Information;
    message.text = QString::fromStdString("Outlook Mailbox Exported Successfully to Lotus Notes Mailbox." + paths);
  } else {
    message.icon = sys::Icon::Warning;
    const std::int64_t total = copied_ + failed_;
    std::string text = "Outlook Mailbox Exported to Lotus Notes Mailbox with errors: " + std::to_string(failed_) +
                       " of " + std::to_string(total) + " items could not be copied.";
    if (!folder_failures_.empty()) {
      text += " " + std::to_string(folder_failures_.size()) +
              (folder_failures_.size() == 1 ? " folder" : " folders") + " could not be read.";
    }
    message.text = QString::fromStdString(text + paths);
  }

  std::string detail;
  for (const FolderAccount& folder : folders_) {
    detail += "Folder " + folder.name + ": " + std::to_string(folder.copied) + " copied, " +
              std::to_string(folder.failed) + " could not be copied\n";
    for (const std::string& failure : folder.failures) detail += "  " + folder.name + ": " + failure + "\n";
  }
  for (const std::string& failure : folder_failures_) detail += "Folder could not be read: " + failure + "\n";
  for (const std::string& folder : not_converted_) detail += "Not converted (kind not exported): " + folder + "\n";
  // The detail matters only when something went wrong or was left out.
  if (!AllCopied() || !not_converted_.empty()) message.detail = QString::fromStdString(detail);
  return message;
}

}  // namespace norvexa::conversion
