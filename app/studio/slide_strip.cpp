#include "app/studio/slide_strip.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "album/album_model.h"
#include "album/photo_files.h"
#include "app/studio/picture_tile.h"

namespace yel::app {
namespace {

constexpr int kPitch = TSlideView::kTileWidth + TSlideView::kTileGap;

// The photo files a drop brings: accepted photo files, and the photos of
// dropped folders in name order.
QStringList PhotoFilesOf(const QStringList& paths) {
  QStringList photos;
  for (const QString& path : paths) {
    const QFileInfo info(path);
    if (info.isDir()) {
      try {
        for (const std::string& file : ListPhotoFiles(path.toStdString())) photos << QString::fromStdString(file);
      } catch (const std::exception&) {
        // An unreadable folder brings nothing.
      }
    } else if (info.isFile() && IsAcceptedPhotoFile(path.toStdString())) {
      photos << info.absoluteFilePath();
    }
  }
  return photos;
}

QStringList LocalPaths(const QMimeData& data) {
  QStringList paths;
  for (const QUrl& url : data.urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  return paths;
}

}  // namespace

TfrmSlides::TfrmSlides(TFlashAlbum& album, TThumbnails& thumbnails, QWidget* parent)
    : QFrame(parent), album_(album), thumbnails_(thumbnails) {
  setObjectName("SlideStrip");
  setFixedHeight(kHeight);
  setAcceptDrops(true);
  setFocusPolicy(Qt::StrongFocus);

  header_ = new QLabel(this);
  header_->setObjectName("StripHeader");
  scroll_ = new QScrollArea(this);
  scroll_->setObjectName("StripArea");
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  scroll_->setWidgetResizable(false);
  scroll_->setFocusPolicy(Qt::NoFocus);
  content_ = new QWidget;
  content_->setObjectName("StripContent");
  scroll_->setWidget(content_);
  marker_ = new QFrame(content_);
  marker_->setObjectName("DropMarker");
  marker_->setFixedSize(3, TSlideView::kTileHeight);
  marker_->hide();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 6, 12, 0);
  layout->setSpacing(2);
  layout->addWidget(header_);
  layout->addWidget(scroll_, 1);
  Rebuild();
}

QWidget* TfrmSlides::TileArea() const { return content_; }

void TfrmSlides::UpdateHeader() {
  const std::size_t count = album_.SlideViews.Count();
  QString text = count == 1 ? tr("1 slide") : tr("%1 slides").arg(count);
  text += count == 0 ? tr("  —  drop photos here or add them from the Photo page")
                     : tr("  —  drag a slide to move it, Delete removes the selected one");
  header_->setText(text);
}

void TfrmSlides::Rebuild() {
  // Later: Rebuild may run inside a tile's own signal (a drag it started).
  for (TPictureTile* tile : tiles_) {
    tile->hide();
    tile->deleteLater();
  }
  tiles_.clear();
  const std::size_t count = album_.SlideViews.Count();
  for (std::size_t i = 0; i < count; ++i) {
    TSlideView& slide = album_.SlideViews[i];
    auto* tile = new TPictureTile(thumbnails_, QString::fromStdString(slide.ImageFile), content_);
    tile->setObjectName(QStringLiteral("Slide%1").arg(i + 1));
    tile->SetBadge(QString::number(slide.SlideIndex));
    tile->SetCaption(QFileInfo(tile->File()).fileName());
    tile->SetDraggable(true);
    tile->move(slide.Left, slide.Top);
    tile->SetSelected(slide.Selected);
    tile->show();
    connect(tile, &TPictureTile::Clicked, this, [this, tile] {
      setFocus();
      const auto it = std::find(tiles_.begin(), tiles_.end(), tile);
      if (it != tiles_.end()) album_.SelectSlide(album_.SlideViews[static_cast<std::size_t>(it - tiles_.begin())]);
    });
    connect(tile, &TPictureTile::DragStarted, this, [this, tile] {
      const auto it = std::find(tiles_.begin(), tiles_.end(), tile);
      if (it != tiles_.end()) StartDrag(static_cast<std::size_t>(it - tiles_.begin()));
    });
    tiles_.push_back(tile);
  }
  content_->resize(std::max<int>(TSlideViews::TileLeft(count), 1),
                   TSlideView::kTileHeight + 2 * TSlideView::kTileGap);
  UpdateHeader();
  ShowSelection();
}

void TfrmSlides::ShowSelection() {
  const TSlideView* selected = album_.SlideViews.Selected();
  for (std::size_t i = 0; i < tiles_.size() && i < album_.SlideViews.Count(); ++i) {
    const bool on = &album_.SlideViews[i] == selected;
    tiles_[i]->SetSelected(on);
    if (on) scroll_->ensureWidgetVisible(tiles_[i], 8, 0);
  }
}

std::size_t TfrmSlides::DropPosition(int x) const {
  const int inside = content_->mapFrom(this, QPoint(x, 0)).x();
  const long position = std::lround(double(inside - TSlideView::kTileGap) / kPitch);
  return static_cast<std::size_t>(std::clamp<long>(position, 0, long(album_.SlideViews.Count())));
}

int TfrmSlides::AddPhotosAt(const QStringList& paths, std::size_t position) {
  const QStringList photos = PhotoFilesOf(paths);
  position = std::min(position, album_.SlideViews.Count());
  for (const QString& photo : photos) {
    album_.AddSlide(photo.toStdString());
    album_.SlideViews.Move(album_.SlideViews.Count() - 1, position++);
  }
  if (!photos.isEmpty()) {
    Rebuild();
    emit SlidesChanged();
  }
  return int(photos.size());
}

void TfrmSlides::MoveSlide(std::size_t from, std::size_t before) {
  if (from >= album_.SlideViews.Count()) return;
  const std::size_t to = before > from ? before - 1 : before;
  if (to == from) return;
  album_.SlideViews.Move(from, to);
  Rebuild();
  emit SlidesChanged();
}

void TfrmSlides::StartDrag(std::size_t position) {
  auto* data = new QMimeData;
  data->setData(kSlideMimeType, QByteArray::number(qulonglong(position)));
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  drag->setPixmap(tiles_[position]->grab().scaled(96, 72, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  drag->setHotSpot(QPoint(48, 36));
  drag->exec(Qt::MoveAction);
}

void TfrmSlides::ShowDropMarker(int x) {
  const std::size_t position = DropPosition(x);
  marker_->move(TSlideViews::TileLeft(position) - TSlideView::kTileGap / 2 - 1, TSlideView::kTileGap);
  marker_->show();
  marker_->raise();
}

void TfrmSlides::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* data = event->mimeData();
  if (data->hasFormat(kSlideMimeType) || !PhotoFilesOf(LocalPaths(*data)).isEmpty()) {
    event->acceptProposedAction();
    ShowDropMarker(event->position().toPoint().x());
  }
}

void TfrmSlides::dragMoveEvent(QDragMoveEvent* event) {
  event->acceptProposedAction();
  ShowDropMarker(event->position().toPoint().x());
}

void TfrmSlides::dragLeaveEvent(QDragLeaveEvent*) { marker_->hide(); }

void TfrmSlides::dropEvent(QDropEvent* event) {
  marker_->hide();
  const std::size_t position = DropPosition(event->position().toPoint().x());
  const QMimeData* data = event->mimeData();
  if (data->hasFormat(kSlideMimeType)) {
    bool ok = false;
    const qulonglong from = data->data(kSlideMimeType).toULongLong(&ok);
    if (ok) MoveSlide(std::size_t(from), position);
  } else {
    AddPhotosAt(LocalPaths(*data), position);
  }
  event->acceptProposedAction();
}

void TfrmSlides::keyPressEvent(QKeyEvent* event) {
  TSlideView* selected = album_.SlideViews.Selected();
  const std::size_t count = album_.SlideViews.Count();
  if (event->key() == Qt::Key_Delete && selected) {
    album_.RemoveSlide();
    Rebuild();
    emit SlidesChanged();
  } else if ((event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) && count > 0) {
    std::size_t position = selected ? std::size_t(selected->SlideIndex - 1) : 0;
    if (event->key() == Qt::Key_Left && position > 0) --position;
    if (event->key() == Qt::Key_Right && selected && position + 1 < count) ++position;
    album_.SelectSlide(album_.SlideViews[position]);
  } else {
    QFrame::keyPressEvent(event);
  }
}

}  // namespace yel::app
