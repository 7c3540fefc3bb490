// Reading a whole store the way a conversion does (see read_everything.h).
#include "read_everything.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace norvexa::testing {

using namespace outlook;

namespace {

// Every value of ITEM that the item preparation and the writers read.
void ReadItemValues(const Item& item) {
  (void)item.MessageClass();
  (void)item.Subject();
  (void)item.Body();
  (void)item.To();
  (void)item.CC();
  (void)item.BCC();
  (void)item.SenderEmailAddress();
  (void)item.SenderName();
  (void)item.Importance();
  (void)item.Categories();
  (void)item.CreationTime();
  (void)item.MessageDate();
  (void)item.Start();
  (void)item.End();
  (void)item.Location();
  (void)item.DueDate();
  (void)item.StartDate();
  (void)item.ReminderTime();
  // Every contact field: they are declared from FirstName to HomeFax.
  for (int field = 0; field <= static_cast<int>(ContactField::HomeFax); ++field) {
    (void)item.Contact(static_cast<ContactField>(field));
  }
  (void)item.Birthday();
  (void)item.Anniversary();
  (void)item.DLName();
  (void)item.Members();
  const MapiUtils utils;
  (void)utils.HrGetOneProp(item.MAPIOBJECT(), PR_SENTMAIL_ENTRYID);
  (void)utils.HrGetOneProp(item.MAPIOBJECT(), PR_SENDER_NAME);
}

}  // namespace

void ReadEverything(const outlook::Store& store, const std::filesystem::path& scratch,
                    const std::function<void(const outlook::OutlookError&)>& on_error) {
  // Runs STEP; an OutlookError goes to ON_ERROR when there is one.
  auto guarded = [&](const std::function<void()>& step) {
    if (!on_error) return step();
    try {
      step();
    } catch (const OutlookError& e) {
      on_error(e);
    }
  };
  (void)store.DisplayName();
  (void)store.StoreID();
  std::function<void(const Folder&)> walk = [&](const Folder& folder) {
    guarded([&] {
      (void)folder.Name();
      (void)folder.ContainerClass();
      (void)folder.FolderPath();
      (void)folder.DefaultMessageClass();
      (void)store.GetFolderFromID(folder.EntryID())->Name();
    });
    std::unique_ptr<Items> items;
    std::int64_t count = 0;
    guarded([&] {
      items = folder.GetItems();
      count = items->Count();
    });
    for (std::int64_t i = 1; i <= count; ++i) {
      guarded([&] {
        const auto item = items->GetItem(i);
        guarded([&] { ReadItemValues(*item); });
        const auto attachments = item->GetAttachments();
        for (std::int64_t k = 1; k <= attachments->Count(); ++k) {
          guarded([&] {
            const auto attachment = attachments->GetAttachment(k);
            (void)attachment->FileName();
            attachment->SaveAsFile(scratch / "attachment");
          });
        }
      });
    }
    std::vector<std::unique_ptr<Folder>> subfolders;
    guarded([&] { subfolders = folder.Folders(); });
    for (const auto& sub : subfolders) walk(*sub);
  };
  walk(*store.IPMRootFolder());
}

}  // namespace norvexa::testing
