// TfrmTheme: the Theme page as the editor has it for now: the installed
// templates and loading bars as tiles with their pictures. Choosing a tile
// makes that template or loading bar the album's for publishing.
#pragma once

#include <QWidget>
#include <vector>

class QLabel;
class QScrollArea;

namespace yel {
class TFlashAlbum;
struct TView;
}

namespace yel::app {

class TThemeTile;

class TfrmTheme : public QWidget {
  Q_OBJECT

 public:
  explicit TfrmTheme(TFlashAlbum& album, QWidget* parent = nullptr);

  // Reads both catalogues again, keeping the chosen template and loading bar
  // (after New/Open: the loading bar's place depends on the album size).
  void AlbumReloaded();
  // Places the chosen loading bar again for the album's current size (its
  // place is given in fractions of the size); before publishing.
  void ApplyChosenLoadingBar();

  // Chooses a tile as a click does.
  void ChooseTemplate(std::size_t index);
  void ChooseLoadingBar(std::size_t index);
  std::size_t TemplateTileCount() const { return template_tiles_.size(); }
  std::size_t LoadingBarTileCount() const { return bar_tiles_.size(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LoadCatalogues();
  void MakeTiles();
  void LayoutTiles();
  void ShowChoice();

  TFlashAlbum& album_;
  QLabel* choice_;
  QScrollArea* area_;
  QWidget* content_;
  QLabel* templates_header_;
  QLabel* bars_header_;
  QLabel* empty_;
  std::vector<TThemeTile*> template_tiles_;
  std::vector<TThemeTile*> bar_tiles_;
};

}  // namespace yel::app
