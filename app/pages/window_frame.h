// The editor's own window frame: the cut-corner window shape and the title
// label that moves its window. The main window, the progress window and the
// publishing dialogs have no system frame and use these instead.
#pragma once

#include <QLabel>
#include <QPoint>
#include <QPolygon>

class QWidget;

namespace yel::app {

// The 16-point outline with cut corners of a window of width w and height h.
QPolygon CutCornerPolygon(int w, int h);

// Gives the window the cut-corner shape (a mask filled with the alternate
// rule) now and again whenever it is resized.
void ApplyCutCornerShape(QWidget& window);

// A title label: pressing and dragging it moves its window (unless the
// window is maximised); a double click emits doubleClicked(). A text longer
// than the room the layout gives it ends in an ellipsis.
class TTitleLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 signals:
  void doubleClicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool dragging_ = false;
  QPoint grab_;  // where the mouse held the window, relative to its top-left
};

}  // namespace yel::app
