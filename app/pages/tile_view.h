// A scroll area of catalogue tiles (pictures with a caption, one of them
// selected) laid out row by row as the album's tile layout places them.
#pragma once

#include <QAbstractButton>
#include <QScrollArea>
#include <QImage>
#include <vector>

#include "album/album_model.h"

namespace yel::app {

// One tile: the picture, the name under it, a frame when selected.
class TTile : public QAbstractButton {
  Q_OBJECT

 public:
  TTile(TView& view, QWidget* parent);
  TView& View() const { return view_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  TView& view_;
  QImage picture_;
  bool hover_ = false;
};

// The tiles of a TViews list. Clicking a tile emits TileClicked; the list's
// selection is shown, not changed, by the view.
class TTileView : public QScrollArea {
  Q_OBJECT

 public:
  explicit TTileView(QWidget* parent = nullptr);
  // Makes one tile per item of views (after the list was refilled).
  void Reload(TViews& views);
  // Repaints the tiles after the list's selection changed.
  void ShowSelection();
  const std::vector<TTile*>& Tiles() const { return tiles_; }

 signals:
  void TileClicked(yel::TView& view);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Layout();
  std::vector<TTile*> tiles_;
};

}  // namespace yel::app
