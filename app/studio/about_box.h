// The splash window shown at start-up and the information box ("About"):
// the program's picture with "Ver: " and its version; the information box
// adds the homepage and support addresses. Clicking the picture closes
// either; the splash closes itself after three seconds.
#pragma once

#include <QDialog>

namespace yel::app {

class TSplashWindow : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kShowMs = 3000;
  explicit TSplashWindow(QWidget* parent = nullptr);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* picture_;
};

// The 400 x 300 picture of the splash window and the information box.
QPixmap ProgramPicture();

}  // namespace yel::app
