// The drop-down list of configured stores on the widget side. Each entry
// keeps its text exactly as the store list made it (display name, 300
// blanks, "#", identifier: the handlers read the identifier back from it),
// while the list shows a label for it: the display name and the store
// file's name. The list opens no wider than its window. Assistive tools
// are told the label too, not the raw entry text.
#pragma once

#include "source/model/store_entry.h"

#include <QComboBox>
#include <QString>

namespace norvexa::source {

// Item data role holding the label an entry is shown with.
inline constexpr int kStoreLabelRole = Qt::UserRole + 1;

// Appends to COMBO an entry whose text is OFFER's entry text, exactly,
// shown as its label, with the store file's full path in its tooltip.
// Assistive tools read the label too.
void AddStoreEntry(QComboBox* combo, const StoreOffer& offer);

class StoreListBox : public QComboBox {
  Q_OBJECT

 public:
  explicit StoreListBox(QWidget* parent = nullptr);

  // What the list shows for entry INDEX: its label, or its text when it has
  // none; the placeholder text for -1.
  QString ShownText(int index) const;

  // Opens the list, then narrows it to the width of the window (it would
  // otherwise be as wide as the longest entry text, blanks and identifier
  // included) and keeps it inside the window's edges.
  void showPopup() override;

 protected:
  // Draws the box with the label of the current entry, its middle elided
  // when it does not fit, in place of the raw entry text.
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace norvexa::source
