// Pictures and icons drawn from SVG resources.
#include "shell/svg_picture.h"

#include <QFile>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <stdexcept>

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitShellResourcesOnce() { Q_INIT_RESOURCE(shell_resources); }

namespace norvexa::shell {

void EnsureShellResources() {
  static const bool done = (InitShellResourcesOnce(), true);
  (void)done;
}

QByteArray SvgResource(const QString& path) {
  EnsureShellResources();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) throw std::runtime_error("missing picture resource " + path.toStdString());
  QByteArray bytes = file.readAll();
  if (!QSvgRenderer(bytes).isValid()) throw std::runtime_error("picture resource is not valid SVG: " + path.toStdString());
  return bytes;
}

namespace {

// Renders its SVG afresh for each size asked, so icons stay sharp at any
// scale; disabled icons are drawn faded.
class SvgIconEngine : public QIconEngine {
 public:
  explicit SvgIconEngine(QByteArray svg) : svg_(std::move(svg)) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    QSvgRenderer renderer(svg_);
    painter->save();
    if (mode == QIcon::Disabled) painter->setOpacity(0.4);
    renderer.render(painter, QRectF(rect));
    painter->restore();
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter painter(&image);
      paint(&painter, QRect(QPoint(0, 0), size), mode, state);
    }
    return QPixmap::fromImage(image);
  }

  QIconEngine* clone() const override { return new SvgIconEngine(svg_); }

 private:
  QByteArray svg_;
};

}  // namespace

QIcon SvgIcon(const QString& path) { return QIcon(new SvgIconEngine(SvgResource(path))); }

SvgPicture::SvgPicture(const QString& path, QWidget* parent) : QWidget(parent), svg_(SvgResource(path)) {
  natural_size_ = QSvgRenderer(svg_).defaultSize();
}

QSize SvgPicture::sizeHint() const { return natural_size_; }

void SvgPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QSize target = natural_size_.scaled(size(), Qt::KeepAspectRatio);
  const QRect area(QPoint((width() - target.width()) / 2, (height() - target.height()) / 2), target);
  QSvgRenderer(svg_).render(&painter, QRectF(area));
}

}  // namespace norvexa::shell
