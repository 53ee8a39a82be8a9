// TfrmTheme: the Theme page, the theme editor. Two tabs choose the album's
// template ("Template") or loading bar ("Loading Bar") and edit it on a
// stage, an interactive movie in the page's player control built from the
// stage resources of "YEL.dll": the background (colour or picture), the
// photo frame and photo rectangle, decorative shapes dragged from the
// resource tree, the loading bar's place and size. The page keeps the
// album's Template record in step with the stage and writes templates and
// loading bars back to their folders ("Save", "Save as ...", "New
// Template", "Remove Template").
#pragma once

#include <QDoubleSpinBox>
#include <QList>
#include <QPair>
#include <QPointF>
#include <QStringList>
#include <QWidget>
#include <array>
#include <string>

#include "album/album_model.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace yel::app {

class TFlashPlayer;
class TTileView;
class TResourceTree;

// A spin box of the properties area: Stepped() when its arrows (or the
// arrow keys) changed the value, besides editingFinished when it is left.
class TThemeSpinBox : public QDoubleSpinBox {
  Q_OBJECT

 public:
  using QDoubleSpinBox::QDoubleSpinBox;
  void stepBy(int steps) override;

 signals:
  void Stepped();
};

class TfrmTheme : public QWidget {
  Q_OBJECT

 public:
  // The spin boxes' tags.
  enum SpinTag { LeftTag = 1, TopTag = 2, WidthTag = 3, HeightTag = 4 };

  explicit TfrmTheme(TFlashAlbum& album, QWidget* parent = nullptr);

  // Reads both catalogues again, keeping the chosen template and loading bar
  // (after New/Open), and loads the shown one onto the stage.
  void AlbumReloaded();
  // Places the chosen loading bar again when the album's size changed since
  // it was placed (its place is kept as fractions of the size); before
  // publishing.
  void ApplyChosenLoadingBar();
  void PageShown();   // builds the stage on first show, draws and plays
  void PageHidden();  // stops the players

  // True while the "Template" tab is shown.
  bool Mode() const { return mode_; }
  void ShowTemplateTab();
  void ShowLoadingBarTab();

  bool HasStageEdit() const { return stage_edited_; }

  // Operations of the page (the Part's names; public for the GUI tests).
  void LoadTemplateIntoEditor(const std::string& name);
  void LoadLoadingBarIntoEditor(const std::string& name);
  void SetBackgroundColour(TColor colour);
  void SetBackgroundImage(const std::string& file);
  // Converts a picture into the background movie and shows it; false when
  // the picture could not be used (an error box said why).
  bool ChooseBackgroundPicture(const std::string& picture);
  void SetPhotoFrame(const TMFResource* resource = nullptr);
  void AddStageShape(const std::string& file, double left, double top, double width, double height);
  void ApplySpin(int tag);
  void DeleteSelectedShape();
  void SaveTemplate(const std::string& name);
  void SaveLoadingBar(const std::string& name, bool reload);
  void SaveAs(const QString& newName);
  void NewTemplate(const QString& name);
  void RemoveTemplate(bool confirmed);  // the selected template
  void RemoveTemplate(bool confirmed, const std::string& name);
  // A resource dropped on the stage at a point in album pixels.
  void DropResource(const TMFResource& resource, QPointF stagePoint);
  // What the stage's command events do.
  void StageCommand(const QString& command, const QString& args);

  // The buttons' and menus' actions, with their dialogs.
  void Save();
  void SaveAsClicked();
  void NewTemplateClicked();
  void RemoveTemplateClicked();

  // Widgets for the tests.
  TFlashPlayer& Stage() const { return *stage_; }
  TFlashPlayer& Preview() const { return *preview_; }
  TTileView& TemplateTiles() const { return *template_tiles_; }
  TTileView& LoadingBarTiles() const { return *bar_tiles_; }
  QTreeWidget& ResourceTree() const;
  QDoubleSpinBox& Spin(int tag) const { return *spins_[std::size_t(tag - 1)]; }
  QWidget* PropertiesPage() const;  // the background or the shape page shown
  QWidget* BackgroundPage() const { return background_page_; }
  QWidget* ShapePage() const { return shape_page_; }
  QWidget* ResourcePanel() const { return resource_panel_; }
  QMenu* StageMenu() const { return stage_menu_; }
  const QStringList& PendingDeletions() const { return pending_; }
  std::size_t TemplateTileCount() const { return album_.Templates.Items.size(); }
  std::size_t LoadingBarTileCount() const { return album_.LoadingBars.Items.size(); }
  // The stage point (album pixels) under a point of the stage control.
  QPointF StagePoint(QPoint controlPoint) const;
  QPoint ControlPoint(QPointF stagePoint) const;

 signals:
  // The album's template or loading bar choice changed.
  void AlbumModified();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildLayout();
  QWidget* BuildPropertiesArea();
  void LoadCatalogues();
  // The album's TemplateName and LoadingBarName follow the tiles chosen
  // (ChoiceChanged also says the album changed).
  void RememberChoice();
  void ChoiceChanged();
  // Something on the stage was changed by the user (not by loading). Before
  // another template or loading bar replaces it, the user is asked to save,
  // discard or stay; true to go on.
  void StageEdited();
  bool ConfirmStageEdit();
  void FillResourceTree();
  void TabChanged(int index);
  void TemplateClicked(TView& view);
  void LoadingBarClicked(TView& view);
  bool BuildStage(bool templateStage);
  void ReloadStage();
  bool HasStage() const;
  void SetSpins(double width, double height, double left, double top);
  void ShowBackgroundPage();
  void ShowShapePage();
  void RadioClicked();
  void ChooseColour();
  void BrowsePicture();
  void ResourceSelected(QTreeWidgetItem* item);
  void TemplateMenu(const QPoint& at);
  void PlaceStage();
  void ShowError(const QString& message);
  void ShowInformation(const QString& message);
  void WriteViewPicture(const std::string& file);
  // The call helpers of the stage contract.
  void StageCall(const QString& function, const QVariantList& args);
  QString StageGet(const QString& name);
  void StageSet(const QString& name, double value);
  bool SelectedIsPhotoFrame();
  TBackground& CurrentBackground();
  std::string SelectedTemplate() const;
  std::string SelectedLoadingBar() const;

  TFlashAlbum& album_;
  bool mode_ = true;
  bool stage_built_ = false;  // the stage of the current mode was built
  bool shown_ = false;
  QStringList pending_;
  QSize bar_placed_for_;  // the album size the loading bar was placed for

  QTabWidget* tabs_ = nullptr;
  TTileView* template_tiles_ = nullptr;
  TTileView* bar_tiles_ = nullptr;
  QWidget* stage_area_ = nullptr;
  TFlashPlayer* stage_ = nullptr;
  QLabel* no_stage_ = nullptr;
  QStackedWidget* properties_ = nullptr;
  QWidget* background_page_ = nullptr;
  QWidget* shape_page_ = nullptr;
  QRadioButton* colour_radio_ = nullptr;
  QRadioButton* image_radio_ = nullptr;
  QToolButton* swatch_ = nullptr;
  QLineEdit* image_box_ = nullptr;
  QPushButton* browse_ = nullptr;
  std::array<TThemeSpinBox*, 4> spins_{};
  QPushButton* save_ = nullptr;
  QPushButton* save_as_ = nullptr;
  QWidget* resource_panel_ = nullptr;
  TFlashPlayer* preview_ = nullptr;
  TResourceTree* tree_ = nullptr;
  QMenu* stage_menu_ = nullptr;
  QMenu* template_menu_ = nullptr;
  QList<QPair<QString, QString>> commands_;  // stage commands waiting
  bool handling_commands_ = false;
  bool right_pressed_ = false;
  bool frame_selected_ = false;  // the stage's selected object is the photo frame
  bool frame_rebuild_pending_ = false;
  bool stage_edited_ = false;  // a stage edit not saved yet
  std::string menu_template_;  // the tile the template menu was opened on
  int place_reports_ = 0;      // place commands still due from a press
};

}  // namespace yel::app
