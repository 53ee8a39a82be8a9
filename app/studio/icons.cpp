#include "app/studio/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace yel::app {
namespace {

// Draws one icon into a 24 x 24 design grid scaled to `size`.
void Paint(QPainter& p, TIconKind kind, const QColor& colour, int size) {
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 24.0, size / 24.0);
  QPen pen(colour, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  switch (kind) {
    case TIconKind::Photo:
    case TIconKind::AddPhoto: {
      p.drawRoundedRect(QRectF(3, 5, 18, 14), 2, 2);
      p.drawEllipse(QPointF(8.5, 9.5), 1.6, 1.6);
      QPainterPath hills;
      hills.moveTo(4, 18);
      hills.lineTo(10, 12);
      hills.lineTo(13, 15);
      hills.lineTo(16, 12);
      hills.lineTo(20, 16);
      p.drawPath(hills);
      if (kind == TIconKind::AddPhoto) {
        p.setBrush(colour);
        p.drawEllipse(QPointF(19, 18), 4.2, 4.2);
        p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(19, 16), QPointF(19, 20));
        p.drawLine(QPointF(17, 18), QPointF(21, 18));
      }
      break;
    }
    case TIconKind::AddAll:
      p.drawRoundedRect(QRectF(7, 3, 14, 11), 1.5, 1.5);
      p.drawRoundedRect(QRectF(3, 8, 14, 11), 1.5, 1.5);
      p.drawLine(QPointF(10, 11), QPointF(10, 16));
      p.drawLine(QPointF(7.5, 13.5), QPointF(12.5, 13.5));
      break;
    case TIconKind::Remove:
      p.drawRoundedRect(QRectF(3, 5, 18, 14), 2, 2);
      p.drawLine(QPointF(8, 12), QPointF(16, 12));
      break;
    case TIconKind::RemoveAll:
      p.drawLine(QPointF(4, 6), QPointF(20, 6));
      p.drawLine(QPointF(9, 6), QPointF(9.5, 3.5));
      p.drawLine(QPointF(9.5, 3.5), QPointF(14.5, 3.5));
      p.drawLine(QPointF(14.5, 3.5), QPointF(15, 6));
      p.drawRoundedRect(QRectF(6, 6, 12, 15), 1.5, 1.5);
      p.drawLine(QPointF(10, 10), QPointF(10, 17));
      p.drawLine(QPointF(14, 10), QPointF(14, 17));
      break;
    case TIconKind::Effect: {
      // Two overlapping frames, the later one fading in.
      p.drawRoundedRect(QRectF(3, 4, 12, 10), 1.5, 1.5);
      QColor faded = colour;
      faded.setAlphaF(0.55);
      p.setBrush(faded);
      p.drawRoundedRect(QRectF(9, 10, 12, 10), 1.5, 1.5);
      break;
    }
    case TIconKind::Theme:
      p.drawRoundedRect(QRectF(3, 3, 18, 18), 2, 2);
      p.drawRect(QRectF(7, 7, 10, 8));
      p.drawLine(QPointF(7, 18), QPointF(17, 18));
      break;
    case TIconKind::Setting: {
      p.drawEllipse(QPointF(12, 12), 3, 3);
      for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4;
        p.drawLine(QPointF(12 + 5.5 * std::cos(a), 12 + 5.5 * std::sin(a)),
                   QPointF(12 + 8.5 * std::cos(a), 12 + 8.5 * std::sin(a)));
      }
      p.drawEllipse(QPointF(12, 12), 6, 6);
      break;
    }
    case TIconKind::Publish:
      p.drawLine(QPointF(12, 3), QPointF(12, 15));
      p.drawLine(QPointF(7, 8), QPointF(12, 3));
      p.drawLine(QPointF(17, 8), QPointF(12, 3));
      p.drawPolyline(QPolygonF({QPointF(4, 14), QPointF(4, 20), QPointF(20, 20), QPointF(20, 14)}));
      break;
    case TIconKind::File:
      p.drawPolygon(QPolygonF({QPointF(6, 3), QPointF(14, 3), QPointF(19, 8), QPointF(19, 21), QPointF(6, 21)}));
      p.drawPolyline(QPolygonF({QPointF(14, 3), QPointF(14, 8), QPointF(19, 8)}));
      break;
    case TIconKind::Save:
      p.drawPolygon(QPolygonF({QPointF(4, 4), QPointF(17, 4), QPointF(20, 7), QPointF(20, 20), QPointF(4, 20)}));
      p.drawRect(QRectF(8, 4, 7, 5));
      p.drawRect(QRectF(7, 13, 10, 7));
      break;
    case TIconKind::Internet:
      p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
      p.drawEllipse(QPointF(12, 12), 3.8, 8.5);
      p.drawLine(QPointF(3.5, 12), QPointF(20.5, 12));
      break;
    case TIconKind::Minimize:
      p.drawLine(QPointF(6, 17), QPointF(18, 17));
      break;
    case TIconKind::Maximize:
      p.drawRect(QRectF(6, 6, 12, 12));
      break;
    case TIconKind::Restore:
      p.drawRect(QRectF(5, 9, 10, 10));
      p.drawPolyline(QPolygonF({QPointF(9, 9), QPointF(9, 5), QPointF(19, 5), QPointF(19, 15), QPointF(15, 15)}));
      break;
    case TIconKind::Close:
      p.drawLine(QPointF(6.5, 6.5), QPointF(17.5, 17.5));
      p.drawLine(QPointF(17.5, 6.5), QPointF(6.5, 17.5));
      break;
    case TIconKind::Program: {
      // A photo card on a blue rounded square.
      p.setPen(Qt::NoPen);
      QLinearGradient sky(0, 0, 0, 24);
      sky.setColorAt(0, QColor(0x4F, 0x8D, 0xF7));
      sky.setColorAt(1, QColor(0x25, 0x5F, 0xD6));
      p.setBrush(sky);
      p.drawRoundedRect(QRectF(1, 1, 22, 22), 5, 5);
      p.setBrush(Qt::white);
      p.drawRoundedRect(QRectF(5, 6, 14, 12), 1.5, 1.5);
      p.setBrush(QColor(0xF5, 0xB9, 0x42));
      p.drawEllipse(QPointF(9.5, 10), 1.7, 1.7);
      p.setBrush(QColor(0x2E, 0x9E, 0x6A));
      p.drawPolygon(QPolygonF({QPointF(6, 17), QPointF(11, 12), QPointF(14, 15), QPointF(16, 13), QPointF(18, 15),
                               QPointF(18, 17)}));
      break;
    }
  }
}

}  // namespace

QIcon DrawIcon(TIconKind kind, const QColor& colour) {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    Paint(painter, kind, colour, size);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace yel::app
