// The Photo page on a folder of 500 photos (1600 x 1200 JPEGs): how long
// choosing the folder takes, and the longest time the window's event loop
// is kept waiting while the thumbnails are made, for the tiles in view and
// then for all of them as the area is scrolled through. Runs on Qt's
// offscreen platform; prints the figures.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "album/album_model.h"
#include "app/studio/photo_page.h"
#include "app/studio/thumbnails.h"

namespace {

constexpr int kPhotos = 500;

void MakePhotos(const QString& folder) {
  QImage image(1600, 1200, QImage::Format_RGB32);
  for (int i = 0; i < kPhotos; ++i) {
    QPainter p(&image);
    QLinearGradient sky(0, 0, 1600, 1200);
    sky.setColorAt(0, QColor::fromHsv((i * 37) % 360, 180, 230));
    sky.setColorAt(1, QColor::fromHsv((i * 37 + 120) % 360, 200, 90));
    p.fillRect(image.rect(), sky);
    p.setPen(Qt::white);
    for (int line = 0; line < 60; ++line) p.drawLine(line * 27, 0, 1600 - line * 13, 1200);
    p.end();
    image.save(QStringLiteral("%1/photo%2.jpg").arg(folder).arg(i, 3, 10, QLatin1Char('0')), "JPEG", 85);
  }
}

// Runs the event loop until `done`, measuring the longest gap between two
// turns of a 5 ms timer (what a user would feel as a stall).
double LongestGapMs(const std::function<bool()>& done, QElapsedTimer& total) {
  QElapsedTimer gap;
  gap.start();
  double longest = 0;
  QTimer tick;
  tick.setInterval(5);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    longest = std::max(longest, gap.nsecsElapsed() / 1e6);
    gap.restart();
  });
  tick.start();
  total.start();
  while (!done()) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return longest;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QTemporaryDir dir;
  std::printf("Painting %d photos of 1600 x 1200...\n", kPhotos);
  MakePhotos(dir.path());

  yel::TFlashAlbum album;
  yel::app::TThumbnails thumbnails;
  yel::app::TfrmPhoto page(album, thumbnails);
  page.resize(1280, 800);
  page.show();
  QApplication::processEvents();

  QElapsedTimer clock;
  clock.start();
  page.ShowFolder(dir.path());
  const double choose_ms = clock.nsecsElapsed() / 1e6;
  std::printf("Choosing the folder: %.1f ms for %zu tiles\n", choose_ms, page.TileCount());

  QElapsedTimer total;
  double gap = LongestGapMs([&] { return total.elapsed() > 50 && thumbnails.PendingCount() == 0; }, total);
  std::printf("Thumbnails in view: %.0f ms, longest event-loop gap %.1f ms\n", double(total.elapsed()), gap);

  // Scroll through the whole area: every tile asks for its picture.
  QScrollBar* bar = page.TileArea()->verticalScrollBar();
  int step = 0;
  gap = LongestGapMs(
      [&] {
        if (bar->value() < bar->maximum()) {
          bar->setValue(std::min(bar->maximum(), ++step * 300));
          return false;
        }
        return thumbnails.PendingCount() == 0;
      },
      total);
  std::printf("All %d thumbnails while scrolling: %.0f ms, longest event-loop gap %.1f ms\n", kPhotos,
              double(total.elapsed()), gap);
  return 0;
}
