// The store list.
#include "source/store_list.h"

#include "source/store_entry.h"
#include "source/store_list_box.h"

#include <QComboBox>
#include <QString>

namespace norvexa::source {

bool StoreIsOffered(const outlook::Store& store) { return !QString::fromStdString(store.OfferText()).trimmed().isEmpty(); }

int AppendOfferedStores(outlook::Session& session, QComboBox* combo, std::unique_ptr<outlook::Store>& current) {
  int appended = 0;
  std::size_t count = 0;
  try {
    count = session.Stores().Count();
  } catch (const outlook::OutlookError&) {
    // The list cannot be read: nothing to offer; the caller goes on.
    return 0;
  }
  for (std::size_t position = 1; position <= count; ++position) {
    try {
      current = session.Stores().Item(position);
      if (!StoreIsOffered(*current)) continue;
      const std::string name = current->DisplayName();
      const QString entry = QString::fromStdString(StoreListEntry(name, current->StoreID()));
      std::string path;
      try {
        path = current->PstPath();
      } catch (const outlook::OutlookError&) {
        // No file to name: the display name alone labels the entry.
      }
      combo->setEnabled(true);
      AddStoreEntry(combo, entry, QString::fromStdString(StoreEntryLabel(name, path)), QString::fromStdString(path));
      ++appended;
    } catch (const outlook::OutlookError&) {
      // A store that cannot be read is not offered; the next one is.
      continue;
    }
  }
  return appended;
}

}  // namespace norvexa::source
