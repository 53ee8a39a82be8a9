// The cut-corner window shape and the title label that moves its window.
#include "app/pages/window_frame.h"

#include <QEvent>
#include <QMouseEvent>
#include <QObject>
#include <QPainter>
#include <QStyle>
#include <QRegion>
#include <QWidget>

namespace yel::app {

namespace {

void SetShape(QWidget& window) {
  window.setMask(QRegion(CutCornerPolygon(window.width(), window.height()), Qt::OddEvenFill));
}

// Re-applies the shape after every resize of the window it watches.
class TShapeKeeper : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize) SetShape(*static_cast<QWidget*>(watched));
    return false;
  }
};

}  // namespace

QPolygon CutCornerPolygon(int w, int h) {
  return QPolygon({{0, 5},
                   {1, 3},
                   {3, 1},
                   {5, 0},
                   {w - 5, 0},
                   {w - 3, 1},
                   {w - 1, 3},
                   {w, 5},
                   {w, h - 5},
                   {w - 1, h - 3},
                   {w - 3, h - 1},
                   {w - 5, h},
                   {5, h},
                   {3, h - 1},
                   {1, h - 3},
                   {0, h - 5}});
}

void ApplyCutCornerShape(QWidget& window) {
  static const QString kKeeperName = QStringLiteral("yelCutCornerShape");
  if (!window.findChild<QObject*>(kKeeperName, Qt::FindDirectChildrenOnly)) {
    auto* keeper = new TShapeKeeper(&window);
    keeper->setObjectName(kKeeperName);
    window.installEventFilter(keeper);
  }
  SetShape(window);
}

void TTitleLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect room = contentsRect();
  const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
  style()->drawItemText(&painter, room, alignment(), palette(), isEnabled(), shown, foregroundRole());
}

void TTitleLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragging_ = true;
    grab_ = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
    event->accept();
    return;
  }
  QLabel::mousePressEvent(event);
}

void TTitleLabel::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton) && !window()->isMaximized()) {
    window()->move(event->globalPosition().toPoint() - grab_);
    event->accept();
    return;
  }
  QLabel::mouseMoveEvent(event);
}

void TTitleLabel::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QLabel::mouseReleaseEvent(event);
}

void TTitleLabel::mouseDoubleClickEvent(QMouseEvent* event) {
  dragging_ = false;
  if (event->button() == Qt::LeftButton) {
    emit doubleClicked();
    event->accept();
    return;
  }
  QLabel::mouseDoubleClickEvent(event);
}

}  // namespace yel::app
