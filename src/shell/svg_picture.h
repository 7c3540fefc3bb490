// Pictures and icons drawn from the program's own SVG resources, rendered
// by QSvgRenderer at whatever size and pixel density they are shown.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QWidget>

namespace norvexa::shell {

// Makes sure the resources compiled into this library are registered (a
// static library's resource initialiser is otherwise not linked in).
void EnsureShellResources();

// The SVG bytes of resource PATH (":/icons/mail.svg"). Throws
// std::runtime_error when the resource does not exist or is not valid SVG.
QByteArray SvgResource(const QString& path);

// An icon drawn from the SVG resource PATH at every requested size.
QIcon SvgIcon(const QString& path);

// A widget showing one SVG picture, scaled to fit with its aspect kept.
class SvgPicture : public QWidget {
 public:
  SvgPicture(const QString& path, QWidget* parent = nullptr);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QByteArray svg_;
  QSize natural_size_;
};

}  // namespace norvexa::shell
