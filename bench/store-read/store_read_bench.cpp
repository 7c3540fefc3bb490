// store_read_bench FILE.pst [SCRATCH_DIR]
// Walks every folder and item of a store through the store access, reads the
// values the item preparation reads for the item's kind, and saves every
// attachment to SCRATCH_DIR (deleting it again), as the conversion does.
// Prints items, bytes and seconds as one line of key=value pairs.
#include "platform/outlook/outlook.h"

#include <QCoreApplication>

#include <chrono>
#include <filesystem>
#include <iostream>

namespace {

using namespace norvexa::outlook;

struct Totals {
  std::uint64_t folders = 0, items = 0, attachments = 0, attachment_bytes = 0, text_bytes = 0;
};

// Touches a value so that the reads cannot be optimised away.
void Use(Totals& t, const std::string& s) { t.text_bytes += s.size(); }
void Use(Totals& t, const std::optional<QDateTime>& d) { t.text_bytes += d ? 8 : 0; }

void ReadItem(const Item& item, const std::string& kind, const std::filesystem::path& scratch, Totals& t) {
  MapiUtils utils;
  Use(t, item.Subject());
  Use(t, item.Body());
  if (kind == "IPM.Note") {
    Use(t, item.To());
    Use(t, item.CC());
    Use(t, item.BCC());
    Use(t, item.SenderEmailAddress());
    Use(t, item.MessageDate());
    Use(t, utils.HrGetOneProp(item.MAPIOBJECT(), PR_SENDER_NAME).text);
    Use(t, utils.HrGetOneProp(item.MAPIOBJECT(), PR_SENTMAIL_ENTRYID).text);
  } else if (kind == "IPM.Appointment") {
    Use(t, item.SenderEmailAddress());
    Use(t, item.Start());
    Use(t, item.End());
    Use(t, item.CreationTime());
    Use(t, item.Location());
    Use(t, item.Categories());
  } else if (kind == "IPM.Task") {
    Use(t, item.DueDate());
    Use(t, item.StartDate());
    Use(t, item.CreationTime());
    t.text_bytes += item.Importance().value_or(1) > 0 ? 1 : 0;
    Use(t, item.ReminderTime());
  } else if (kind == "IPM.Contact") {
    if (item.MessageClass().rfind("IPM.DistList", 0) == 0) {
      Use(t, item.DLName());
      for (const std::string& m : item.Members()) Use(t, m);
    } else {
      for (int f = 0; f <= static_cast<int>(ContactField::HomeFax); ++f) Use(t, item.Contact(static_cast<ContactField>(f)));
      Use(t, item.Birthday());
      Use(t, item.Anniversary());
      Use(t, item.Categories());
    }
    return;  // contacts and lists carry no attachments to the writers
  }
  const auto attachments = item.GetAttachments();
  for (std::int64_t k = 1; k <= attachments->Count(); ++k) {
    const auto a = attachments->GetAttachment(k);
    const std::filesystem::path staged = scratch / ("staged-" + std::to_string(t.attachments) + ".bin");
    Use(t, a->FileName());
    a->SaveAsFile(staged);
    t.attachment_bytes += std::filesystem::file_size(staged);
    std::filesystem::remove(staged);
    ++t.attachments;
  }
}

void Walk(const Folder& folder, const std::filesystem::path& scratch, Totals& t) {
  ++t.folders;
  const std::string kind = folder.DefaultMessageClass();
  const auto items = folder.GetItems();
  for (std::int64_t i = 1; i <= items->Count(); ++i) {
    ReadItem(*items->GetItem(i), kind, scratch, t);
    ++t.items;
  }
  for (const auto& child : folder.Folders()) Walk(*child, scratch, t);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::cerr << "usage: store_read_bench FILE.pst [SCRATCH_DIR]\n";
    return 2;
  }
  const std::filesystem::path scratch = argc > 2 ? argv[2] : std::filesystem::temp_directory_path();
  try {
    const auto start = std::chrono::steady_clock::now();
    const auto store = OpenStoreFile(argv[1]);
    Totals t;
    Walk(*store->IPMRootFolder(), scratch, t);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double file_mb = static_cast<double>(std::filesystem::file_size(argv[1])) / 1e6;
    std::cout << "folders=" << t.folders << " items=" << t.items << " attachments=" << t.attachments
              << " attachment_mb=" << static_cast<double>(t.attachment_bytes) / 1e6 << " seconds=" << seconds
              << " items_per_s=" << static_cast<double>(t.items) / seconds << " file_mb_per_s=" << file_mb / seconds
              << "\n";
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "store_read_bench: " << e.what() << "\n";
    return 1;
  }
}
