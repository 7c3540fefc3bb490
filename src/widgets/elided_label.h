// Widgets for texts of any length and script: a one-line label that elides
// what does not fit (subjects, folder and person names), a read-only path
// box that elides the middle of a long path, and the tooltip text that
// carries the whole of either. They never ask their window for more width
// than a few characters, so a long text cannot stretch a window.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QString>

namespace norvexa::widgets {

// TEXT as a tooltip shows it whole: plain text stays as it is; text that Qt
// would take for markup ("<b>...") is escaped so it shows literally.
QString PlainToolTip(const QString& text);

// TEXT on one line: every line break and tab becomes a blank.
QString OneLine(const QString& text);

// A one-line plain-text label. It shows as much of its text as fits, with
// "…" at the end, and the whole text in its tooltip. Its size hints do not
// depend on the text. With a caption (the text of the label beside it) the
// caption is its accessible name and the text its accessible description,
// so an empty label is still read out under a name of its own.
class ElidedLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ElidedLabel(QWidget* parent = nullptr);
  ElidedLabel(const QString& text, QWidget* parent);

  // Shows TEXT. Hides QLabel::setText, which does not keep the tooltip:
  // call it through this type.
  void setText(const QString& text);

  // Sets the accessible name to CAPTION (see the class comment).
  void SetCaption(const QString& caption);

  // The text as it is drawn at the label's present width.
  QString DisplayedText() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // The rectangle the text is drawn into.
  QRect TextRect() const;

  bool captioned_ = false;
};

// A read-only box for a file or folder path. While it does not have the
// focus, a path too long for it is shown with its middle elided, so both
// the start and the file or folder name at the end stay in sight; with the
// focus it is an ordinary line edit that scrolls. The whole path is in its
// tooltip; text() is always the whole path.
class PathBox : public QLineEdit {
  Q_OBJECT

 public:
  explicit PathBox(QWidget* parent = nullptr);

  // The text as it is drawn now (elided only without the focus).
  QString DisplayedText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // The rectangle the text is drawn into, as QLineEdit draws it.
  QRect TextRect() const;
};

}  // namespace norvexa::widgets
