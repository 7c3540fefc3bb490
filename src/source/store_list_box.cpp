// The drop-down list of configured stores; see store_list_box.h.
#include "source/store_list_box.h"

#include "widgets/elided_label.h"

#include <QAbstractItemView>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QStylePainter>

#include <algorithm>

namespace norvexa::source {
namespace {

// Shows an entry's label in the open list instead of its text.
class StoreLabelDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const QVariant label = index.data(kStoreLabelRole);
    if (label.isValid()) option->text = widgets::OneLine(label.toString());
  }
};

}  // namespace

void AddStoreEntry(QComboBox* combo, const QString& entry, const QString& label, const QString& path) {
  combo->addItem(entry);
  const int index = combo->count() - 1;
  combo->setItemData(index, label, kStoreLabelRole);
  combo->setItemData(index, label, Qt::AccessibleTextRole);
  combo->setItemData(index, widgets::PlainToolTip(path), Qt::ToolTipRole);
}

StoreListBox::StoreListBox(QWidget* parent) : QComboBox(parent) {
  setItemDelegate(new StoreLabelDelegate(this));
  // Long labels keep their start (the name) and their end (the file name).
  view()->setTextElideMode(Qt::ElideMiddle);
  view()->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // The value assistive tools read is the raw entry text; the label of the
  // picked entry goes with it as the description.
  connect(this, &QComboBox::currentIndexChanged, this,
          [this](int index) { setAccessibleDescription(index < 0 ? QString() : ShownText(index)); });
}

QString StoreListBox::ShownText(int index) const {
  if (index < 0 || index >= count()) return placeholderText();
  const QVariant label = itemData(index, kStoreLabelRole);
  return label.isValid() ? label.toString() : itemText(index);
}

void StoreListBox::showPopup() {
  QComboBox::showPopup();
  QWidget* popup = view()->window();
  if (popup == window()) return;  // no list window of its own to narrow
  const QRect limit = window()->geometry();
  QRect list = popup->geometry();
  if (list.width() > limit.width()) list.setWidth(limit.width());
  if (list.right() > limit.right()) list.moveRight(limit.right());
  if (list.left() < limit.left()) list.moveLeft(limit.left());
  popup->setGeometry(list);
}

void StoreListBox::paintEvent(QPaintEvent*) {
  // As QComboBox draws itself, with the label in place of the text.
  QStylePainter painter(this);
  painter.setPen(palette().color(QPalette::Text));
  QStyleOptionComboBox option;
  initStyleOption(&option);
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  if (currentIndex() < 0 && !placeholderText().isEmpty()) {
    option.palette.setBrush(QPalette::ButtonText, option.palette.placeholderText());
  }
  const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  option.currentText = fontMetrics().elidedText(widgets::OneLine(ShownText(currentIndex())), Qt::ElideMiddle,
                                                std::max(field.width() - 2, 0));
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

}  // namespace norvexa::source
