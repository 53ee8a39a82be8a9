#include "app/studio/thumbnails.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QRunnable>
#include <algorithm>
#include <cstdint>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "media/picture_decoder.h"

namespace yel::app {

TThumbnails::TThumbnails(QObject* parent) : QObject(parent) {
  // Two decoders keep the window smooth on small machines; the cache holds
  // about 4000 thumbnails (cost in KiB).
  pool_.setMaxThreadCount(std::clamp(QThread::idealThreadCount() - 1, 1, 2));
  cache_.setMaxCost(160 * 1024);
}

TThumbnails::~TThumbnails() {
  pool_.clear();
  pool_.waitForDone();
}

QImage TThumbnails::Decode(const QString& file) {
  // Only a regular file is read: opened without waiting (a named pipe would
  // hold the thread in open() for ever) and checked before any byte is read.
  // No photo within the pixel budget needs more bytes than 4 a pixel.
  const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      std::uint64_t(info.st_size) > 4 * media::kMaxPhotoPixels + (1u << 20)) {
    ::close(fd);
    return {};
  }
  QFile opened;
  if (!opened.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return {};
  }
  QImageReader reader(&opened);
  reader.setAutoTransform(true);
  QSize size = reader.size();
  if (size.isValid() && std::uint64_t(size.width()) * std::uint64_t(size.height()) > media::kMaxPhotoPixels) return {};
  if (size.isValid() && !size.isEmpty()) {
    // Ask the decoder for the small size (JPEG decodes it directly).
    if (size.width() > kWidth || size.height() > kHeight) {
      size.scale(kWidth, kHeight, Qt::KeepAspectRatio);
      reader.setScaledSize(size.expandedTo(QSize(1, 1)));
    }
  }
  QImage image = reader.read();
  if (image.isNull()) return {};
  if (image.width() > kWidth || image.height() > kHeight)
    image = image.scaled(kWidth, kHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage TThumbnails::Get(const QString& file, bool* failed) {
  if (failed) *failed = failed_.contains(file);
  if (QImage* image = cache_.object(file)) return *image;
  if (failed_.contains(file) || pending_.contains(file)) return {};
  pending_.insert(file);
  pool_.start(QRunnable::create([this, file] {
    const QImage image = Decode(file);
    // The pool is drained before this object goes, so `this` is alive here;
    // the result is handed over on the GUI thread.
    QMetaObject::invokeMethod(this, [this, file, image] { Arrived(file, image); }, Qt::QueuedConnection);
  }));
  return {};
}

void TThumbnails::Arrived(const QString& file, const QImage& image) {
  if (!pending_.remove(file)) return;  // cancelled meanwhile
  if (image.isNull())
    failed_.insert(file);
  else
    cache_.insert(file, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes() / 1024));
  emit Ready(file);
}

void TThumbnails::CancelPending() {
  pool_.clear();
  // Files already being decoded still arrive, but are no longer waited for.
  pending_.clear();
}

bool TThumbnails::WaitIdle(int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!pending_.isEmpty() && clock.elapsed() < timeoutMs) {
    QCoreApplication::processEvents();
    QThread::msleep(5);
  }
  QCoreApplication::processEvents();
  return pending_.isEmpty();
}

}  // namespace yel::app
