// Widgets for texts of any length; see elided_label.h.
#include "widgets/elided_label.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextDocument>

#include <algorithm>

namespace norvexa::widgets {
namespace {

// QLineEdit keeps this much room on either side of its text.
constexpr int kLineEditTextMargin = 2;

// Widths (in average characters) a label asks for at most and at least.
constexpr int kPreferredChars = 30;
constexpr int kMinimumChars = 4;

}  // namespace

QString PlainToolTip(const QString& text) {
  if (!Qt::mightBeRichText(text)) return text;
  return QStringLiteral("<qt>") + text.toHtmlEscaped() + QStringLiteral("</qt>");
}

QString OneLine(const QString& text) {
  QString line = text;
  for (QChar& c : line) {
    if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t') || c == QChar::LineSeparator ||
        c == QChar::ParagraphSeparator) {
      c = QLatin1Char(' ');
    }
  }
  return line;
}

ElidedLabel::ElidedLabel(QWidget* parent) : ElidedLabel(QString(), parent) {}

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setWordWrap(false);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  setText(text);
}

void ElidedLabel::setText(const QString& text) {
  QLabel::setText(text);
  setToolTip(PlainToolTip(text));
  if (captioned_) setAccessibleDescription(text);
}

void ElidedLabel::SetCaption(const QString& caption) {
  captioned_ = true;
  setAccessibleName(caption);
  setAccessibleDescription(text());
}

QRect ElidedLabel::TextRect() const {
  const int m = margin();
  return contentsRect().adjusted(m, m, -m, -m);
}

QString ElidedLabel::DisplayedText() const {
  return fontMetrics().elidedText(OneLine(text()), Qt::ElideRight, std::max(TextRect().width(), 0));
}

QSize ElidedLabel::sizeHint() const {
  // Not measured from the text: a label that changes its text for every
  // item of a run must not cost a measure of the whole text each time.
  const QFontMetrics fm = fontMetrics();
  const QMargins m = contentsMargins();
  return QSize(fm.averageCharWidth() * kPreferredChars + m.left() + m.right() + 2 * margin(),
               fm.height() + m.top() + m.bottom() + 2 * margin());
}

QSize ElidedLabel::minimumSizeHint() const {
  const QMargins m = contentsMargins();
  return QSize(fontMetrics().averageCharWidth() * kMinimumChars + m.left() + m.right() + 2 * margin(),
               sizeHint().height());
}

void ElidedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  drawFrame(&painter);
  const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
  style()->drawItemText(&painter, TextRect(), static_cast<int>(align), palette(), isEnabled(), DisplayedText(),
                        foregroundRole());
}

PathBox::PathBox(QWidget* parent) : QLineEdit(parent) {
  setReadOnly(true);
  connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { setToolTip(PlainToolTip(text)); });
}

QRect PathBox::TextRect() const {
  QStyleOptionFrame panel;
  initStyleOption(&panel);
  QRect rect = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this);
  rect = rect.marginsRemoved(textMargins());
  return rect.adjusted(kLineEditTextMargin, 0, -kLineEditTextMargin, 0);
}

QString PathBox::DisplayedText() const {
  if (hasFocus()) return text();
  return fontMetrics().elidedText(text(), Qt::ElideMiddle, std::max(TextRect().width(), 0));
}

void PathBox::paintEvent(QPaintEvent* event) {
  const QString shown = DisplayedText();
  if (shown == text()) {
    // It fits, or the user is in the box: the line edit's own drawing.
    QLineEdit::paintEvent(event);
    return;
  }
  QPainter painter(this);
  QStyleOptionFrame panel;
  initStyleOption(&panel);
  style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
  painter.setPen(palette().color(QPalette::Text));
  painter.setFont(font());
  painter.drawText(TextRect(), static_cast<int>(Qt::AlignVCenter | QStyle::visualAlignment(layoutDirection(), Qt::AlignLeft)),
                   shown);
}

}  // namespace norvexa::widgets
