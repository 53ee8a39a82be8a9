// TfrmSlides: the slide strip under the Photo and Effect pages. One 128 x 96
// tile per slide of the album at the slide's own position, the selected one
// marked. Clicking selects (the album notifies the main window); dragging a
// tile moves the slide; photo files or folders dropped from a file manager
// become slides where they are dropped; Delete removes the selected slide.
#pragma once

#include <QFrame>
#include <QStringList>
#include <vector>

class QLabel;
class QScrollArea;

namespace yel {
class TFlashAlbum;
}

namespace yel::app {

class TPictureTile;
class TThumbnails;

class TfrmSlides : public QFrame {
  Q_OBJECT

 public:
  static constexpr int kHeight = 168;
  // Drag data of a slide moved within the strip: its 0-based position.
  static constexpr const char* kSlideMimeType = "application/x-yel-slide";

  TfrmSlides(TFlashAlbum& album, TThumbnails& thumbnails, QWidget* parent = nullptr);

  // Makes the tiles again from the album's slides (after any change to them).
  void Rebuild();
  // Marks the album's selected slide and scrolls it into view.
  void ShowSelection();

  std::size_t TileCount() const { return tiles_.size(); }
  TPictureTile* Tile(std::size_t position) const { return tiles_.at(position); }
  QWidget* TileArea() const;

  // The 0-based slide position a drop at x (in this widget) inserts before.
  std::size_t DropPosition(int x) const;
  // Adds the photos among `paths` (folders give their photos) as slides
  // inserted at `position`; returns how many were added.
  int AddPhotosAt(const QStringList& paths, std::size_t position);
  // Moves the slide at `from` so that it lands before the slide now at
  // `before` (as a drop there does).
  void MoveSlide(std::size_t from, std::size_t before);

 signals:
  // Slides were added, removed or moved here.
  void SlidesChanged();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void StartDrag(std::size_t position);
  void ShowDropMarker(int x);
  void UpdateHeader();

  TFlashAlbum& album_;
  TThumbnails& thumbnails_;
  QLabel* header_;
  QScrollArea* scroll_;
  QWidget* content_;
  QFrame* marker_;
  std::vector<TPictureTile*> tiles_;
};

}  // namespace yel::app
