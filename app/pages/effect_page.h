// The Effect page: the effect tiles of the album's catalogue, the preview
// player, the selected slide's speed and duration, and "Apply to Selected"
// and "Apply to All". Clicking a tile gives the selected slide that entry
// effect at once and plays its preview, built in memory.
#pragma once

#include <QWidget>

#include "album/album_model.h"

class QComboBox;
class QDoubleSpinBox;
class QPushButton;

namespace yel::app {

class TFlashPlayer;
class TTileView;

class TfrmEffect : public QWidget {
  Q_OBJECT

 public:
  explicit TfrmEffect(TFlashAlbum& album, QWidget* parent = nullptr);
  // The page was chosen, or a slide selected while the page is in front:
  // shows the selected slide's transition and plays its preview.
  void ShowSelectedSlide();
  void PageShown();   // recreates the player's window and plays
  void PageHidden();  // stops the player
  void AlbumReloaded();  // after New/Open

  TFlashPlayer& Player() const { return *player_; }
  TTileView& Tiles() const { return *tiles_; }

 signals:
  void AlbumModified();

 private:
  void TileClicked(TView& view);
  void PlayPreview();
  void Apply(bool all);
  void LoadCatalogue();

  TFlashAlbum& album_;
  TTileView* tiles_;
  TFlashPlayer* player_;
  QDoubleSpinBox* speed_;
  QDoubleSpinBox* duration_;
  QComboBox* sound_;
  QPushButton* apply_selected_;
  QPushButton* apply_all_;
};

}  // namespace yel::app
