// TfrmPhoto: the Photo page. A folder tree on the left; on the right the
// photo tiles of the chosen folder (the album's PhotoViews, thumbnails made
// in the background) under a tool bar with "Add Photo", "Add All", "Remove"
// and "Remove All".
#pragma once

#include <QPoint>
#include <QString>
#include <QWidget>
#include <vector>

class QFileSystemModel;
class QLabel;
class QPushButton;
class QScrollArea;
class QTreeView;

namespace yel {
class TFlashAlbum;
}

namespace yel::app {

class TPictureTile;
class TThumbnails;

// Top-left corners of `count` photo tiles (128 x 96) in a tile area `width`
// pixels wide: rows of tiles 4 pixels apart; a tile that would reach the
// area's right edge starts the next row.
std::vector<QPoint> PhotoTilePositions(std::size_t count, int width);

class TfrmPhoto : public QWidget {
  Q_OBJECT

 public:
  TfrmPhoto(TFlashAlbum& album, TThumbnails& thumbnails, QWidget* parent = nullptr);

  // Shows the photos of `folder` (an existing folder; others are ignored)
  // and selects it in the tree.
  void ShowFolder(const QString& folder);
  QString Folder() const { return folder_; }
  // Whether the chosen folder is remembered for the next run (not for
  // screenshots).
  void SetRememberFolder(bool remember) { remember_ = remember; }
  // Enables the four buttons as the album and the photo selection allow.
  void RefreshButtons();

  QPushButton* AddPhotoButton() const { return add_photo_; }
  QPushButton* AddAllButton() const { return add_all_; }
  QPushButton* RemoveButton() const { return remove_; }
  QPushButton* RemoveAllButton() const { return remove_all_; }
  QScrollArea* TileArea() const { return area_; }
  std::size_t TileCount() const { return tiles_.size(); }
  TPictureTile* Tile(std::size_t i) const { return tiles_.at(i); }

 signals:
  // Slides were added or removed by this page.
  void SlidesChanged();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FolderChosen(const QString& folder);
  // Opens the tree down to the shown folder and selects it there (again
  // whenever the tree has listed more folders).
  void RevealFolder();
  void LayoutTiles();
  void SelectTile(std::size_t index);
  void AddPhoto();
  void AddAll();
  void Remove();
  void RemoveAll();

  TFlashAlbum& album_;
  TThumbnails& thumbnails_;
  QString folder_;
  bool remember_ = true;
  QFileSystemModel* model_;
  QTreeView* tree_;
  QLabel* folder_label_;
  QLabel* empty_label_;
  QScrollArea* area_;
  QWidget* content_;
  QPushButton* add_photo_;
  QPushButton* add_all_;
  QPushButton* remove_;
  QPushButton* remove_all_;
  std::vector<TPictureTile*> tiles_;
};

}  // namespace yel::app
