#include "app/studio/photo_page.h"

#include <QDir>
#include <QDrag>
#include <QMimeData>
#include <QUrl>
#include <QEvent>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "album/album_model.h"
#include "album/photo_files.h"
#include "app/studio/icons.h"
#include "app/studio/picture_tile.h"
#include "app/studio/thumbnails.h"

namespace yel::app {

std::vector<QPoint> PhotoTilePositions(std::size_t count, int width) {
  constexpr int kW = TSlideView::kTileWidth, kH = TSlideView::kTileHeight, kGap = TSlideView::kTileGap;
  std::vector<QPoint> positions;
  positions.reserve(count);
  int column = 0, row = 0;
  for (std::size_t i = 0; i < count; ++i) {
    int left = (kW + kGap) * column + kGap;
    // A tile alone in its row stays there even when the area is narrower.
    if (kW + left >= width && column > 0) {
      column = 0;
      ++row;
      left = kGap;
    }
    positions.emplace_back(left, (kH + kGap) * row + kGap);
    ++column;
  }
  return positions;
}

TfrmPhoto::TfrmPhoto(TFlashAlbum& album, TThumbnails& thumbnails, QWidget* parent)
    : QWidget(parent), album_(album), thumbnails_(thumbnails) {
  setObjectName("PhotoPage");

  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setRootPath(QStringLiteral("/"));
  tree_ = new QTreeView;
  tree_->setObjectName("FolderTree");
  tree_->setModel(model_);
  for (int column = 1; column < model_->columnCount(); ++column) tree_->hideColumn(column);
  tree_->setHeaderHidden(true);
  tree_->setAnimated(true);
  tree_->setMinimumWidth(220);
  // The model lists folders in the background: keep the chosen one in view.
  connect(model_, &QFileSystemModel::directoryLoaded, this, [this] { RevealFolder(); });
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& index) { FolderChosen(model_->filePath(index)); });

  const QColor ink(0x33, 0x3D, 0x4A);
  auto button = [&](const QString& text, TIconKind icon, void (TfrmPhoto::*action)()) {
    auto* b = new QPushButton(DrawIcon(icon, ink), text);
    b->setObjectName("ToolButton");
    b->setIconSize(QSize(18, 18));
    b->setCursor(Qt::PointingHandCursor);
    connect(b, &QPushButton::clicked, this, action);
    return b;
  };
  add_photo_ = button(tr("Add Photo"), TIconKind::AddPhoto, &TfrmPhoto::AddPhoto);
  add_all_ = button(tr("Add All"), TIconKind::AddAll, &TfrmPhoto::AddAll);
  remove_ = button(tr("Remove"), TIconKind::Remove, &TfrmPhoto::Remove);
  remove_all_ = button(tr("Remove All"), TIconKind::RemoveAll, &TfrmPhoto::RemoveAll);

  folder_label_ = new QLabel;
  folder_label_->setObjectName("FolderLabel");
  folder_label_->setTextFormat(Qt::PlainText);
  folder_label_->setMinimumWidth(80);
  folder_label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(0, 0, 0, 0);
  bar->setSpacing(8);
  bar->addWidget(folder_label_, 1);
  for (QPushButton* b : {add_photo_, add_all_, remove_, remove_all_}) bar->addWidget(b);

  area_ = new QScrollArea;
  area_->setObjectName("PhotoArea");
  area_->setFrameShape(QFrame::NoFrame);
  area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area_->setWidgetResizable(false);
  content_ = new QWidget;
  content_->setObjectName("PhotoContent");
  area_->setWidget(content_);
  area_->viewport()->installEventFilter(this);
  empty_label_ = new QLabel(content_);
  empty_label_->setObjectName("EmptyLabel");
  empty_label_->setAlignment(Qt::AlignCenter);
  empty_label_->setWordWrap(true);

  auto* right = new QWidget;
  right->setObjectName("PhotoPanel");
  auto* right_layout = new QVBoxLayout(right);
  right_layout->setContentsMargins(16, 12, 16, 12);
  right_layout->setSpacing(10);
  right_layout->addLayout(bar);
  right_layout->addWidget(area_, 1);

  auto* splitter = new QSplitter(Qt::Horizontal);
  splitter->setChildrenCollapsible(false);
  splitter->addWidget(tree_);
  splitter->addWidget(right);
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({280, 1000});
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(splitter);

  album_.PhotoViews.OnSelected = [this](TPhotoView&) { RefreshButtons(); };
  LayoutTiles();
  RefreshButtons();
}

void TfrmPhoto::ShowFolder(const QString& folder) {
  if (!QFileInfo(folder).isDir()) return;
  FolderChosen(folder);
  RevealFolder();
}

void TfrmPhoto::RevealFolder() {
  if (folder_.isEmpty()) return;
  const QModelIndex index = model_->index(folder_);
  if (!index.isValid()) return;
  for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent()) tree_->expand(parent);
  if (tree_->currentIndex() != index) {
    const QSignalBlocker blocker(tree_->selectionModel());
    tree_->setCurrentIndex(index);
  }
  // Once the rows just expanded have their places.
  QTimer::singleShot(50, tree_, [this, index = QPersistentModelIndex(index)] {
    if (index.isValid()) tree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
  });
}

void TfrmPhoto::FolderChosen(const QString& folder) {
  // A folder that went away since the tree listed it is ignored.
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return;
  std::vector<std::string> files;
  QString problem;
  try {
    files = ListPhotoFiles(folder.toStdString());
  } catch (const std::exception& error) {
    problem = QString::fromStdString(error.what());
  }
  folder_ = QDir::cleanPath(folder);
  if (remember_) QSettings().setValue("Photo/LastFolder", folder_);
  folder_label_->setText(folder_);
  folder_label_->setToolTip(folder_);

  thumbnails_.CancelPending();
  album_.PhotoViews.Clear();
  for (TPictureTile* tile : tiles_) {
    tile->hide();
    tile->deleteLater();
  }
  tiles_.clear();
  for (const std::string& file : files) {
    album_.PhotoViews.Items.push_back(std::make_unique<TPhotoView>(TPhotoView{file, false}));
    const std::size_t index = tiles_.size();
    auto* tile = new TPictureTile(thumbnails_, QString::fromStdString(file), content_);
    tile->SetCaption(QFileInfo(tile->File()).fileName());
    connect(tile, &TPictureTile::Clicked, this, [this, index] { SelectTile(index); });
    // A photo dragged onto the slide strip becomes a slide where it lands.
    tile->SetDraggable(true);
    connect(tile, &TPictureTile::DragStarted, this, [tile] {
      auto* data = new QMimeData;
      data->setUrls({QUrl::fromLocalFile(tile->File())});
      auto* drag = new QDrag(tile);
      drag->setMimeData(data);
      drag->setPixmap(tile->grab().scaled(96, 72, Qt::KeepAspectRatio, Qt::SmoothTransformation));
      drag->setHotSpot(QPoint(48, 36));
      drag->exec(Qt::CopyAction);
    });
    connect(tile, &TPictureTile::DoubleClicked, this, [this, index] {
      SelectTile(index);
      AddPhoto();
    });
    tile->show();
    tiles_.push_back(tile);
  }
  empty_label_->setText(!problem.isEmpty() ? problem
                        : files.empty()    ? tr("No photos in this folder (BMP, JPEG and PNG files are shown).")
                                           : QString());
  empty_label_->setVisible(files.empty());
  LayoutTiles();
  area_->ensureVisible(0, 0);
  RefreshButtons();
}

void TfrmPhoto::LayoutTiles() {
  const int width = area_->viewport()->width();
  const auto positions = PhotoTilePositions(tiles_.size(), width);
  int bottom = 0;
  for (std::size_t i = 0; i < tiles_.size(); ++i) {
    tiles_[i]->move(positions[i]);
    bottom = std::max(bottom, positions[i].y() + TSlideView::kTileHeight + TSlideView::kTileGap);
  }
  content_->resize(width, std::max(bottom, area_->viewport()->height()));
  empty_label_->setGeometry(content_->rect().adjusted(24, 24, -24, -24));
}

bool TfrmPhoto::eventFilter(QObject* watched, QEvent* event) {
  if (watched == area_->viewport() && event->type() == QEvent::Resize) LayoutTiles();
  return QWidget::eventFilter(watched, event);
}

void TfrmPhoto::SelectTile(std::size_t index) {
  if (index >= album_.PhotoViews.Items.size()) return;
  album_.PhotoViews.Select(*album_.PhotoViews.Items[index]);
  for (std::size_t i = 0; i < tiles_.size(); ++i) tiles_[i]->SetSelected(album_.PhotoViews.Items[i]->Selected);
}

void TfrmPhoto::RefreshButtons() {
  add_photo_->setEnabled(album_.PhotoViews.Selected != nullptr);
  add_all_->setEnabled(!album_.PhotoViews.Items.empty());
  remove_->setEnabled(album_.SlideViews.Selected() != nullptr);
  remove_all_->setEnabled(!album_.SlideViews.Empty());
}

void TfrmPhoto::AddPhoto() {
  if (!album_.PhotoViews.Selected) return;
  album_.AddSlide(album_.PhotoViews.Selected->FileName);
  RefreshButtons();
  emit SlidesChanged();
}

void TfrmPhoto::AddAll() {
  for (const auto& view : album_.PhotoViews.Items) album_.AddSlide(view->FileName);
  RefreshButtons();
  emit SlidesChanged();
}

void TfrmPhoto::Remove() {
  album_.RemoveSlide();
  RefreshButtons();
  emit SlidesChanged();
}

void TfrmPhoto::RemoveAll() {
  album_.ClearSlides();
  RefreshButtons();
  emit SlidesChanged();
}

}  // namespace yel::app
