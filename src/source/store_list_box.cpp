// The drop-down list of configured stores; see store_list_box.h.
#include "source/store_list_box.h"

#include "widgets/elided_label.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
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

// What assistive tools are told of the list: what Qt's own combo box
// interface tells, with the label of the picked entry wherever that gives
// the raw entry text with its blanks and identifier. As in Qt's interface,
// the name is the picked entry on Unix systems, where assistive tools take
// the label beside the list from its relations, and the list's own name
// (the label beside it) elsewhere; the value is the picked entry.
class StoreListAccessible : public QAccessibleWidget {
 public:
  explicit StoreListAccessible(StoreListBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

  QString text(QAccessible::Text which) const override {
    const auto* box = static_cast<const StoreListBox*>(widget());
    const QString picked = box->ShownText(box->currentIndex());
#ifdef Q_OS_UNIX
    if (which == QAccessible::Name) return picked;
#endif
    if (which == QAccessible::Value) return picked;
    return QAccessibleWidget::text(which);
  }

  // The open list is the one child, as in Qt's own combo box interface.
  int childCount() const override { return 1; }
  QAccessibleInterface* child(int index) const override {
    return index == 0 ? QAccessible::queryAccessibleInterface(static_cast<StoreListBox*>(widget())->view()) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child && child->object() == static_cast<StoreListBox*>(widget())->view() ? 0 : -1;
  }
};

QAccessibleInterface* StoreListAccessibleFactory(const QString& class_name, QObject* object) {
  if (class_name == QLatin1String(StoreListBox::staticMetaObject.className()) && object) {
    if (auto* box = qobject_cast<StoreListBox*>(object)) return new StoreListAccessible(box);
  }
  return nullptr;
}

}  // namespace

void AddStoreEntry(QComboBox* combo, const StoreOffer& offer) {
  const QString label = QString::fromStdString(offer.label);
  combo->addItem(QString::fromStdString(offer.entry));
  const int index = combo->count() - 1;
  combo->setItemData(index, label, kStoreLabelRole);
  combo->setItemData(index, label, Qt::AccessibleTextRole);
  combo->setItemData(index, widgets::PlainToolTip(QString::fromStdString(offer.path)), Qt::ToolTipRole);
}

StoreListBox::StoreListBox(QWidget* parent) : QComboBox(parent) {
  static const bool factory_installed = [] {
    QAccessible::installFactory(StoreListAccessibleFactory);
    return true;
  }();
  (void)factory_installed;
  setItemDelegate(new StoreLabelDelegate(this));
  // Long labels keep their start (the name) and their end (the file name).
  view()->setTextElideMode(Qt::ElideMiddle);
  view()->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Assistive tools learn of a new pick as of a changed value.
  connect(this, &QComboBox::currentIndexChanged, this, [this] {
    QAccessibleValueChangeEvent event(this, ShownText(currentIndex()));
    QAccessible::updateAccessibility(&event);
  });
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
