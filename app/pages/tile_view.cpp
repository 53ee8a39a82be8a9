// Catalogue tiles in a scroll area.
#include "app/pages/tile_view.h"

#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

#include "album/theme_catalogue.h"

namespace yel::app {

TTile::TTile(TView& view, QWidget* parent) : QAbstractButton(parent), view_(view) {
  if (!view.PictureData.empty()) {
    picture_.loadFromData(view.PictureData.data(), static_cast<int>(view.PictureData.size()));
  } else if (!view.PictureFile.empty()) {
    picture_.load(QString::fromStdString(view.PictureFile));
  }
  setText(QString::fromStdString(view.Name));
  setToolTip(text());
  setCursor(Qt::PointingHandCursor);
  setFixedSize(sizeHint());
}

QSize TTile::sizeHint() const { return {TTileLayout::kTileSize, TTileLayout::kTileSize}; }

void TTile::enterEvent(QEnterEvent* event) {
  hover_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void TTile::leaveEvent(QEvent* event) {
  hover_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void TTile::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF box = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
  const QPalette& pal = palette();
  const bool selected = view_.Selected;
  QPainterPath frame;
  frame.addRoundedRect(box, 6, 6);
  p.fillPath(frame, selected ? pal.color(QPalette::Highlight).lighter(185) : pal.color(QPalette::Base));
  p.setPen(QPen(selected ? pal.color(QPalette::Highlight) : (hover_ ? pal.color(QPalette::Mid) : pal.color(QPalette::Midlight)),
                selected ? 2.5 : 1));
  p.drawPath(frame);

  const int captionHeight = fontMetrics().height() + 6;
  const QRect pictureArea = rect().adjusted(8, 8, -8, -captionHeight - 2);
  if (!picture_.isNull()) {
    const QSize size = picture_.size().scaled(pictureArea.size(), Qt::KeepAspectRatio);
    const QRect target(pictureArea.center() - QPoint(size.width() / 2, size.height() / 2), size);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, picture_);
  } else {
    p.fillRect(pictureArea, pal.color(QPalette::AlternateBase));
  }
  p.setPen(pal.color(QPalette::Text));
  const QRect caption(4, height() - captionHeight - 2, width() - 8, captionHeight);
  p.drawText(caption, Qt::AlignCenter, fontMetrics().elidedText(text(), Qt::ElideRight, caption.width()));
}

TTileView::TTileView(QWidget* parent) : QScrollArea(parent) {
  setWidget(new QWidget);
  setWidgetResizable(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFrameShape(QFrame::StyledPanel);
  widget()->setBackgroundRole(QPalette::Base);
  widget()->setAutoFillBackground(true);
}

void TTileView::Reload(TViews& views) {
  for (TTile* tile : tiles_) delete tile;
  tiles_.clear();
  for (auto& item : views.Items) {
    auto* tile = new TTile(*item, widget());
    connect(tile, &QAbstractButton::clicked, this, [this, tile] { emit TileClicked(tile->View()); });
    tile->show();
    tiles_.push_back(tile);
  }
  Layout();
}

void TTileView::ShowSelection() {
  for (TTile* tile : tiles_) tile->update();
}

void TTileView::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  Layout();
}

void TTileView::Layout() {
  // The album's tile layout, over the width the tiles can use.
  const int width = std::max(viewport()->width(), TTileLayout::kPitch + 8);
  TTileLayout layout(width);
  int bottom = 0;
  for (TTile* tile : tiles_) {
    TView& view = tile->View();
    layout.Place(view);
    tile->move(view.Left, view.Top);
    bottom = std::max(bottom, view.Top + TTileLayout::kTileSize);
  }
  widget()->resize(width, bottom + 8);
}

}  // namespace yel::app
