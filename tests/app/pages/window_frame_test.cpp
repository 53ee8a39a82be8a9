// The window-frame helpers on real widgets: the cut-corner mask follows
// resizes, the title label moves a normal window but not a maximised one,
// and a double click is reported.
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <cstdlib>

#include "app/pages/window_frame.h"

using yel::app::ApplyCutCornerShape;
using yel::app::TTitleLabel;

class WindowFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void MaskCutsTheCornersAndFollowsResizes() {
    QWidget window;
    window.resize(200, 100);
    ApplyCutCornerShape(window);
    ApplyCutCornerShape(window);  // a second call adds no second filter
    window.show();  // a hidden window gets its resize events only when shown
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const QSize size : {QSize(200, 100), QSize(331, 177)}) {
      window.resize(size);
      const QRegion mask = window.mask();
      const int w = size.width(), h = size.height();
      // The corner pixels are cut, the pixels just inside them are kept.
      for (const QPoint corner : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
        QVERIFY2(!mask.contains(corner), qPrintable(QStringLiteral("corner %1,%2 of %3x%4")
                                                        .arg(corner.x()).arg(corner.y()).arg(w).arg(h)));
      for (const QPoint inside : {QPoint(5, 5), QPoint(w - 6, 5), QPoint(5, h - 6), QPoint(w - 6, h - 6),
                                  QPoint(w / 2, 0), QPoint(0, h / 2)})
        QVERIFY(mask.contains(inside));
      QCOMPARE(mask.boundingRect(), QRect(0, 0, w, h));
    }
  }

  void TitleLabelMovesNormalWindowsOnly() {
    QWidget window;
    window.setGeometry(100, 100, 300, 200);
    auto* label = new TTitleLabel(QStringLiteral("Title"), &window);
    label->setGeometry(10, 10, 100, 20);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy doubleClicks(label, &TTitleLabel::doubleClicked);

    const QPoint start = window.pos();
    QTest::mousePress(label, Qt::LeftButton, {}, QPoint(5, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(45, 25), label->mapToGlobal(QPointF(45, 25)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(label, &move);
    QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(45, 25));
    QCOMPARE(window.pos(), start + QPoint(40, 20));

    window.showMaximized();
    QTRY_VERIFY(window.isMaximized());
    const QPoint maximised = window.pos();
    QTest::mousePress(label, Qt::LeftButton, {}, QPoint(5, 5));
    QApplication::sendEvent(label, &move);
    QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(45, 25));
    QCOMPARE(window.pos(), maximised);

    QTest::mouseDClick(label, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(doubleClicks.count(), 1);
  }
};

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  WindowFrameTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_frame_test.moc"
