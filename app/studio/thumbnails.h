// Thumbnails of photo files for the photo and slide tiles, decoded on a
// thread pool so that a folder of hundreds of photos never blocks the window.
// Get() answers at once from the cache or queues the file; Ready() tells the
// tiles when a queued picture has arrived.
#pragma once

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>

namespace yel::app {

class TThumbnails : public QObject {
  Q_OBJECT

 public:
  // The largest picture kept: a 128 x 96 tile less its 4-pixel margins.
  static constexpr int kWidth = 120;
  static constexpr int kHeight = 88;

  explicit TThumbnails(QObject* parent = nullptr);
  ~TThumbnails() override;

  // The file's thumbnail when it is ready; otherwise a null image, and the
  // file is queued (once). `failed` tells a file that cannot be read.
  QImage Get(const QString& file, bool* failed = nullptr);
  // Drops the queued files that have not started (another folder was chosen).
  void CancelPending();
  // Runs the event loop until nothing is queued or the time is up; true when
  // everything has arrived (tests and screenshots).
  bool WaitIdle(int timeoutMs);
  int PendingCount() const { return pending_.size(); }

  // Decodes a file scaled into kWidth x kHeight with its shape kept (the
  // thread pool's work; a null image when it cannot be read).
  static QImage Decode(const QString& file);

 signals:
  void Ready(const QString& file);

 private:
  void Arrived(const QString& file, const QImage& image);

  QThreadPool pool_;
  QCache<QString, QImage> cache_;
  QSet<QString> failed_;
  QSet<QString> pending_;
};

}  // namespace yel::app
