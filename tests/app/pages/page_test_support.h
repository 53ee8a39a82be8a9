// Helpers of the editor page tests: an album over the build's installed
// themes and libraries, photo files of one colour, answering the modal
// windows the pages open, sampling the player's picture and saving
// screenshots into test-output/studio-pages/.
#pragma once

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "album/album_model.h"
#include "app/player/flash_player.h"
#include "base/files.h"
#include "tests/testing/picture_fixtures.h"

namespace yel::testing {

// The program folder of the build: themes, "YEL_Effect.dll", "YEL_Links.dll".
inline std::string AppFolder() { return std::string(YEL_BINARY_DIR) + "/bin/"; }

inline std::unique_ptr<TFlashAlbum> NewAlbum() {
  auto album = std::make_unique<TFlashAlbum>(AppFolder());
  album->SeedRandom(7);
  return album;
}

// A BMP photo of one colour.
inline std::string WritePhoto(const std::string& path, int w, int h, QColor c) {
  WriteFileAtomically(path, SolidBmp(w, h, std::uint8_t(c.red()), std::uint8_t(c.green()), std::uint8_t(c.blue())));
  return path;
}

// Calls answer with the first modal window of type T that opens (polled on
// the event loop), once. The poller stops after the time-out.
template <typename T>
void AnswerModal(std::function<void(T*)> answer, int timeoutMs = 60000) {
  auto* timer = new QTimer;
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(timer, &QTimer::timeout, [timer, clock, answer, timeoutMs] {
    if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget()); window && window->isVisible()) {
      timer->stop();
      timer->deleteLater();
      answer(window);
    } else if (clock->elapsed() > timeoutMs) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start(20);
}

inline bool Near(const QColor& a, const QColor& b, int tolerance = 40) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

// Shares of a 9 x 9 grid of points inside the picture near each colour.
inline double ShareNear(const QImage& picture, const QColor& colour) {
  int hits = 0;
  for (int i = 1; i <= 9; ++i)
    for (int j = 1; j <= 9; ++j)
      if (Near(picture.pixelColor(picture.width() * i / 10, picture.height() * j / 10), colour)) ++hits;
  return hits / 81.0;
}

inline QString OutputFolder() {
  const QString folder = QStringLiteral(YEL_BINARY_DIR "/test-output/studio-pages");
  QDir().mkpath(folder);
  return folder;
}

inline void SaveShot(QWidget& widget, const QString& name) {
  widget.grab().save(OutputFolder() + QLatin1Char('/') + name + QStringLiteral(".png"));
}

inline int SetUpGuiTest(int argc, char** argv, const std::function<int()>& run) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  yel::app::SetUpFlashPlayer();
  QApplication app(argc, argv);
  (void)argv;
  return run();
}

}  // namespace yel::testing
