#include "app/studio/picture_tile.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "album/album_model.h"
#include "album/fit_rect.h"
#include "app/studio/thumbnails.h"

namespace yel::app {

TPictureTile::TPictureTile(TThumbnails& thumbnails, const QString& file, QWidget* parent)
    : QWidget(parent), thumbnails_(thumbnails), file_(file) {
  setFixedSize(TSlideView::kTileWidth, TSlideView::kTileHeight);
  setToolTip(file);
  setCursor(Qt::PointingHandCursor);
  connect(&thumbnails_, &TThumbnails::Ready, this, [this](const QString& ready) {
    if (ready == file_) update();
  });
}

void TPictureTile::SetCaption(const QString& caption) {
  caption_ = caption;
  update();
}

void TPictureTile::SetBadge(const QString& badge) {
  badge_ = badge;
  update();
}

void TPictureTile::SetSelected(bool selected) {
  if (selected_ == selected) return;
  selected_ = selected;
  update();
}

void TPictureTile::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  p.setPen(QColor(0xD5, 0xDA, 0xE1));
  p.setBrush(QColor(0xEE, 0xF0, 0xF3));
  p.drawRoundedRect(box, 4, 4);

  bool failed = false;
  const QImage image = thumbnails_.Get(file_, &failed);
  if (!image.isNull()) {
    const FloatRect fit = FitRect(4, width() - 8, height() - 8, image.width(), image.height());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(fit.X, fit.Y, fit.W, fit.H), image);
  } else {
    p.setPen(QColor(0x8A, 0x93, 0xA0));
    p.drawText(rect(), Qt::AlignCenter, failed ? tr("Cannot read") : QStringLiteral("…"));
  }

  const QFont base = font();
  if (!caption_.isEmpty()) {
    QFont small = base;
    small.setPointSizeF(base.pointSizeF() * 0.85);
    p.setFont(small);
    const int h = QFontMetrics(small).height() + 4;
    const QRect band(1, height() - h - 1, width() - 2, h);
    p.fillRect(band, QColor(0, 0, 0, 120));
    p.setPen(Qt::white);
    p.drawText(band.adjusted(5, 0, -5, 0), Qt::AlignVCenter | Qt::AlignLeft,
               QFontMetrics(small).elidedText(caption_, Qt::ElideMiddle, band.width() - 10));
    p.setFont(base);
  }
  if (!badge_.isEmpty()) {
    QFont bold = base;
    bold.setBold(true);
    bold.setPointSizeF(base.pointSizeF() * 0.85);
    p.setFont(bold);
    const QFontMetrics metrics(bold);
    const QRectF pill(5, 5, std::max(18, metrics.horizontalAdvance(badge_) + 10), metrics.height() + 2);
    p.setPen(Qt::NoPen);
    p.setBrush(selected_ ? QColor(0x25, 0x63, 0xEB) : QColor(0, 0, 0, 150));
    p.drawRoundedRect(pill, pill.height() / 2, pill.height() / 2);
    p.setPen(Qt::white);
    p.drawText(pill, Qt::AlignCenter, badge_);
    p.setFont(base);
  }
  if (selected_) {
    p.setPen(QPen(QColor(0x25, 0x63, 0xEB), 3));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 4, 4);
  }
}

void TPictureTile::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  press_ = event->position().toPoint();
  pressed_ = true;
  emit Clicked();
}

void TPictureTile::mouseMoveEvent(QMouseEvent* event) {
  if (!draggable_ || !pressed_ || !(event->buttons() & Qt::LeftButton)) return;
  if ((event->position().toPoint() - press_).manhattanLength() < QApplication::startDragDistance()) return;
  pressed_ = false;
  emit DragStarted();
}

void TPictureTile::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit DoubleClicked();
}

}  // namespace yel::app
