// The store list: fills the drop-down list of configured stores from a
// logged-on session.
#pragma once

#include "platform/outlook/outlook.h"

#include <memory>

class QComboBox;

namespace norvexa::source {

// True when STORE is offered: its offer text, trimmed of blanks at both
// ends, is not empty.
bool StoreIsOffered(const outlook::Store& store);

// Appends to COMBO the entry text of every offered store of SESSION's store
// list, in the list's order, enabling COMBO whenever it appends. Each entry
// is labelled with the store's display name and file name (AddStoreEntry). Each store
// is held in CURRENT while it is examined. A store that cannot be read is
// skipped without a word, as is a store list that cannot be read at all
// (the list stays as it is). Returns the number of entries appended.
int AppendOfferedStores(outlook::Session& session, QComboBox* combo, std::unique_ptr<outlook::Store>& current);

}  // namespace norvexa::source
