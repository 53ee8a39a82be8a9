// The Theme page: catalogues, stage, properties, resources and the saving of
// templates and loading bars.
#include "app/studio/theme_page.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include "album/ini_file.h"
#include "album/theme_catalogue.h"
#include "app/pages/page_support.h"
#include "app/pages/tile_view.h"
#include "app/player/flash_player.h"
#include "base/error.h"
#include "base/files.h"
#include "base/paths.h"
#include "publish/photo_preparation.h"
#include "publish/theme_movies.h"

namespace yel::app {

namespace {

constexpr char kResourceMime[] = "application/x-yel-theme-resource";
constexpr TColor kStageGrey = 0x808080;
constexpr int kMaxShapes = 1000;  // more shapes than a configuration may ask for
const char* const kSpinKeys[] = {"Left", "Top", "Width", "Height"};

QString ColourText(TColor colour) { return ToQ(FormatHexColour(colour)); }

TColor FromQColor(const QColor& c) { return TColor(c.red()) | TColor(c.green()) << 8 | TColor(c.blue()) << 16; }
QColor ToQColor(TColor c) { return QColor(int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF)); }

// A file in a theme folder, its name matched without regard to case.
std::string Find(const std::string& path) { return ResolvePathIgnoreCase(path); }

bool IsFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// A number the stage sends or answers ("." decimals); fallback when it is not one.
double StageNumber(const QString& text, double fallback) {
  bool ok = false;
  const double value = text.trimmed().toDouble(&ok);
  return ok && std::isfinite(value) ? value : fallback;
}

// The folder of a path, with its trailing '/'.
std::string FolderOfPath(const std::string& path) {
  return std::filesystem::path(path).parent_path().lexically_normal().string() + "/";
}

bool SameFolder(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec);
}

// The name under which a file from elsewhere is saved into folder d: its
// own, unless d already holds a different file of that name (which other
// parts of the template use); then the first free "name_N.ext".
std::string FreeNameIn(const std::string& d, const std::string& source) {
  std::string name = FileNameOf(source);
  std::string target = Find(d + name);
  if (!IsFile(target) || ReadFileBytes(target) == ReadFileBytes(source)) return name;
  const std::filesystem::path base(name);
  for (int n = 2; IsFile(target); ++n) {
    name = base.stem().string() + "_" + std::to_string(n) + base.extension().string();
    target = Find(d + name);
  }
  return name;
}

}  // namespace

void TThemeSpinBox::stepBy(int steps) {
  QDoubleSpinBox::stepBy(steps);
  emit Stepped();
}

// The resource tree: dragging a node that carries a resource gives its kind
// and file.
class TResourceTree : public QTreeWidget {
 public:
  using QTreeWidget::QTreeWidget;
  std::vector<TMFResource> Resources;

  // The resource of a node, or none.
  const TMFResource* ResourceOf(const QTreeWidgetItem* item) const {
    if (!item) return nullptr;
    bool ok = false;
    const int index = item->data(0, Qt::UserRole).toInt(&ok);
    return ok && index >= 0 && std::size_t(index) < Resources.size() ? &Resources[std::size_t(index)] : nullptr;
  }

  static std::optional<TMFResource> Decode(const QMimeData* data) {
    if (!data || !data->hasFormat(kResourceMime)) return std::nullopt;
    const QStringList parts = QString::fromUtf8(data->data(kResourceMime)).split(QLatin1Char('\n'));
    if (parts.size() != 3) return std::nullopt;
    TMFResource resource;
    resource.Kind = static_cast<std::uint8_t>(parts[0].toInt());
    resource.Name = FromQ(parts[1]);
    resource.FileName = FromQ(parts[2]);
    return resource;
  }

 protected:
  QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override {
    const TMFResource* resource = items.isEmpty() ? nullptr : ResourceOf(items.first());
    if (!resource) return nullptr;
    auto* data = new QMimeData;
    data->setData(kResourceMime, QStringLiteral("%1\n%2\n%3")
                                     .arg(resource->Kind)
                                     .arg(ToQ(resource->Name), ToQ(resource->FileName))
                                     .toUtf8());
    return data;
  }
  QStringList mimeTypes() const override { return {QString::fromLatin1(kResourceMime)}; }
};

TfrmTheme::TfrmTheme(TFlashAlbum& album, QWidget* parent) : QWidget(parent), album_(album) {
  setObjectName("ThemePage");
  BuildLayout();
  LoadCatalogues();
  FillResourceTree();
}

QTreeWidget& TfrmTheme::ResourceTree() const { return *tree_; }
QWidget* TfrmTheme::PropertiesPage() const { return properties_->currentWidget(); }

void TfrmTheme::BuildLayout() {
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("ThemeTabs");
  tabs_->setTabPosition(QTabWidget::South);
  template_tiles_ = new TTileView(tabs_);
  template_tiles_->setObjectName("TemplateTiles");
  template_tiles_->setContextMenuPolicy(Qt::CustomContextMenu);
  bar_tiles_ = new TTileView(tabs_);
  bar_tiles_->setObjectName("LoadingBarTiles");
  tabs_->addTab(template_tiles_, QStringLiteral("Template"));
  tabs_->addTab(bar_tiles_, QStringLiteral("Loading Bar"));
  tabs_->setMinimumWidth(2 * TTileLayout::kPitch + 34);
  connect(template_tiles_, &TTileView::TileClicked, this, &TfrmTheme::TemplateClicked);
  connect(bar_tiles_, &TTileView::TileClicked, this, &TfrmTheme::LoadingBarClicked);
  connect(tabs_, &QTabWidget::currentChanged, this, &TfrmTheme::TabChanged);
  connect(template_tiles_, &QWidget::customContextMenuRequested, this, &TfrmTheme::TemplateMenu);

  template_menu_ = new QMenu(this);
  template_menu_->setObjectName("TemplateMenu");
  template_menu_->addAction(QStringLiteral("New Template"), this, &TfrmTheme::NewTemplateClicked);
  template_menu_->addAction(QStringLiteral("Remove Template"), this, &TfrmTheme::RemoveTemplateClicked);
  stage_menu_ = new QMenu(this);
  stage_menu_->setObjectName("StageMenu");
  stage_menu_->addAction(QStringLiteral("Delete"), this, &TfrmTheme::DeleteSelectedShape);

  // The stage keeps the album's proportions inside its area.
  stage_area_ = new QWidget(this);
  stage_area_->setObjectName("StageArea");
  stage_area_->setAttribute(Qt::WA_StyledBackground);
  stage_area_->setStyleSheet(QStringLiteral("#StageArea { background: #DDE2E8; border-radius: 4px; }"));
  stage_area_->setMinimumSize(360, 270);
  stage_area_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  stage_area_->installEventFilter(this);
  stage_ = new TFlashPlayer(stage_area_);
  stage_->setObjectName("Stage");
  stage_->setAcceptDrops(true);
  stage_->installEventFilter(this);
  stage_->InputWidget()->installEventFilter(this);
  // Queued: the handlers read the stage's variables, which cannot be
  // answered while the command's own message is being delivered.
  connect(
      stage_, &TFlashPlayer::FSCommand, this,
      [this](const QString& command, const QString& args) {
        // In order, one at a time: a handler that waits for the stage lets
        // later commands arrive, which wait their turn.
        commands_.append({command, args});
        if (handling_commands_) return;
        handling_commands_ = true;
        while (!commands_.isEmpty()) {
          const auto [name, value] = commands_.takeFirst();
          StageCommand(name, value);
        }
        handling_commands_ = false;
      },
      Qt::QueuedConnection);
  // The web engine makes the widget that takes the view's input once the
  // view shows: the page watches it for the right button and for drops.
  connect(stage_, &TFlashPlayer::MovieLoaded, this, [this] { stage_->InputWidget()->installEventFilter(this); });
  no_stage_ = new QLabel(QStringLiteral("The stage (YEL.dll) is not installed beside the program."), stage_area_);
  no_stage_->setObjectName("PageHint");
  no_stage_->setAlignment(Qt::AlignCenter);
  no_stage_->hide();

  save_ = new QPushButton(QStringLiteral("Save"), this);
  save_->setObjectName("SaveTheme");
  save_as_ = new QPushButton(QStringLiteral("Save as ..."), this);
  save_as_->setObjectName("SaveThemeAs");
  connect(save_, &QPushButton::clicked, this, &TfrmTheme::Save);
  connect(save_as_, &QPushButton::clicked, this, &TfrmTheme::SaveAsClicked);

  auto* centre = new QVBoxLayout;
  centre->setSpacing(8);
  centre->addWidget(stage_area_, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(BuildPropertiesArea(), 1);
  auto* buttons = new QVBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save_);
  buttons->addWidget(save_as_);
  bottom->addLayout(buttons);
  centre->addLayout(bottom);

  resource_panel_ = new QWidget(this);
  resource_panel_->setObjectName("ResourcePanel");
  preview_ = new TFlashPlayer(resource_panel_);
  preview_->setObjectName("ResourcePreview");
  preview_->setFixedSize(200, 150);
  tree_ = new TResourceTree(resource_panel_);
  tree_->setObjectName("ResourceTree");
  tree_->setHeaderHidden(true);
  tree_->setDragEnabled(true);
  tree_->setDragDropMode(QAbstractItemView::DragOnly);
  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { ResourceSelected(item); });
  auto* resources = new QVBoxLayout(resource_panel_);
  resources->setContentsMargins(0, 0, 0, 0);
  resources->addWidget(NewHeading(QStringLiteral("  Resource"), resource_panel_));
  resources->addWidget(preview_, 0, Qt::AlignHCenter);
  resources->addWidget(tree_, 1);
  resource_panel_->setFixedWidth(216);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(14);
  layout->addWidget(tabs_);
  layout->addLayout(centre, 1);
  layout->addWidget(resource_panel_);
}

QWidget* TfrmTheme::BuildPropertiesArea() {
  auto* area = new QWidget(this);
  area->setObjectName("PropertiesArea");
  properties_ = new QStackedWidget(area);

  background_page_ = new QWidget(properties_);
  background_page_->setObjectName("BackgroundPage");
  colour_radio_ = new QRadioButton(QStringLiteral("Background Color"), background_page_);
  image_radio_ = new QRadioButton(QStringLiteral("Background Image"), background_page_);
  colour_radio_->setChecked(true);
  swatch_ = new QToolButton(background_page_);
  swatch_->setObjectName("ColourSwatch");
  swatch_->setFixedSize(48, 22);
  image_box_ = new QLineEdit(background_page_);
  image_box_->setObjectName("ImageBox");
  image_box_->setReadOnly(true);
  browse_ = new QPushButton(QStringLiteral("..."), background_page_);
  browse_->setObjectName("BrowseImage");
  browse_->setFixedWidth(32);
  connect(colour_radio_, &QRadioButton::clicked, this, &TfrmTheme::RadioClicked);
  connect(image_radio_, &QRadioButton::clicked, this, &TfrmTheme::RadioClicked);
  connect(swatch_, &QToolButton::clicked, this, &TfrmTheme::ChooseColour);
  connect(browse_, &QPushButton::clicked, this, &TfrmTheme::BrowsePicture);
  auto* grid = new QGridLayout(background_page_);
  grid->addWidget(colour_radio_, 0, 0);
  grid->addWidget(swatch_, 0, 1, Qt::AlignLeft);
  grid->addWidget(image_radio_, 1, 0);
  grid->addWidget(image_box_, 1, 1);
  grid->addWidget(browse_, 1, 2);
  grid->setColumnStretch(1, 1);

  shape_page_ = new QWidget(properties_);
  shape_page_->setObjectName("ShapePage");
  auto* shapeGrid = new QGridLayout(shape_page_);
  // Width, Height, Left, Top with the tags 3, 4, 1, 2.
  const std::pair<const char*, int> boxes[] = {{"Width:", WidthTag}, {"Height:", HeightTag},
                                               {"Left:", LeftTag}, {"Top:", TopTag}};
  for (int i = 0; i < 4; ++i) {
    const int tag = boxes[i].second;
    auto* box = new TThemeSpinBox(shape_page_);
    box->setObjectName(QStringLiteral("Spin%1").arg(kSpinKeys[tag - 1]));
    box->setRange(tag <= TopTag ? -1024 : 0, 1024);
    box->setDecimals(2);
    box->setKeyboardTracking(false);
    spins_[std::size_t(tag - 1)] = box;
    connect(box, &QDoubleSpinBox::editingFinished, this, [this, tag] { ApplySpin(tag); });
    connect(box, &TThemeSpinBox::Stepped, this, [this, tag] { ApplySpin(tag); });
    shapeGrid->addWidget(new QLabel(QString::fromLatin1(boxes[i].first), shape_page_), i / 2, (i % 2) * 2);
    shapeGrid->addWidget(box, i / 2, (i % 2) * 2 + 1);
  }
  shapeGrid->setColumnStretch(1, 1);
  shapeGrid->setColumnStretch(3, 1);

  properties_->addWidget(background_page_);
  properties_->addWidget(shape_page_);
  auto* layout = new QVBoxLayout(area);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(NewHeading(QStringLiteral("  Properties"), area));
  layout->addWidget(properties_);
  SetBackgroundColour(album_.Template.PhotoFrame.Background.Color);
  return area;
}

// ---- Catalogues and resources ----

void TfrmTheme::LoadCatalogues() {
  // The project's choice, else the one shown until now, else the first.
  const std::string chosenTemplate = album_.TemplateName.empty() ? SelectedTemplate() : album_.TemplateName;
  const std::string chosenBar = album_.LoadingBarName.empty() ? SelectedLoadingBar() : album_.LoadingBarName;
  QStringList gone;
  Guarded(this, [&] {
    LoadTemplates(album_, chosenTemplate);
    LoadLoadingBars(album_, chosenBar);
    // A choice that is no longer installed gives way to the first.
    const std::pair<const char*, const std::string&> wanted[] = {{"template", chosenTemplate},
                                                                 {"loading bar", chosenBar}};
    TViews* catalogues[] = {&album_.Templates, &album_.LoadingBars};
    for (int i = 0; i < 2; ++i) {
      TViews& views = *catalogues[i];
      if (wanted[i].second.empty() || views.Selected || views.Items.empty()) continue;
      views.Select(*views.Items.front());
      gone << QStringLiteral("The %1 \"%2\" is not installed; \"%3\" is used instead.")
                  .arg(QLatin1String(wanted[i].first), ToQ(wanted[i].second), ToQ(views.Selected->Name));
    }
    if (album_.LoadingBars.Selected && ApplyLoadingBar(album_, album_.LoadingBars.Selected->Name))
      bar_placed_for_ = QSize(album_.Width, album_.Height);
  });
  RememberChoice();
  template_tiles_->Reload(album_.Templates);
  bar_tiles_->Reload(album_.LoadingBars);
  if (!gone.isEmpty()) ShowInformation(gone.join(QLatin1Char('\n')));
}

void TfrmTheme::RememberChoice() {
  album_.TemplateName = SelectedTemplate();
  album_.LoadingBarName = SelectedLoadingBar();
}

void TfrmTheme::ChoiceChanged() {
  RememberChoice();
  emit AlbumModified();
}

void TfrmTheme::FillResourceTree() {
  tree_->clear();
  tree_->Resources.clear();
  album_.BackgroundResources.clear();
  album_.PhotoFrameResources.clear();
  const std::pair<const char*, const char*> roots[] = {{"Background", kBackgroundResourceFolder},
                                                       {"PhotoFrame", kPhotoFrameResourceFolder},
                                                       {"Adornment", kAdornmentResourceFolder}};
  for (std::uint8_t kind = 0; kind < 3; ++kind) {
    auto* root = new QTreeWidgetItem(tree_, {QString::fromLatin1(roots[kind].first)});
    const std::string folder = ThemeFolderPath(album_.AppFolder, roots[kind].second);
    const std::string list = Find(folder + "config.xml");
    if (!IsFile(list)) continue;
    std::vector<std::string> entries;
    try {
      entries = ReadListFile(list);
    } catch (const std::exception&) {
      continue;  // a damaged list leaves its branch empty
    }
    for (const std::string& entry : entries) {
      auto* node = new QTreeWidgetItem(root, {ToQ(entry)});
      QStringList files = QDir(ToQ(Find(folder + entry))).entryList(QDir::Files, QDir::Name);
      for (const QString& file : files) {
        const QString extension = file.mid(file.lastIndexOf(QLatin1Char('.'))).toLower();
        if (file.lastIndexOf(QLatin1Char('.')) < 0 || extension.size() <= 2 || !extension.contains(".swf")) continue;
        TMFResource resource;
        resource.Name = FromQ(QFileInfo(file).completeBaseName());
        resource.FileName = Find(folder + entry) + "/" + FromQ(file);
        resource.Kind = kind;
        if (kind == TMFResource::Background) album_.BackgroundResources.push_back(resource);
        if (kind == TMFResource::PhotoFrame) album_.PhotoFrameResources.push_back(resource);
        auto* leaf = new QTreeWidgetItem(node, {ToQ(resource.Name)});
        leaf->setData(0, Qt::UserRole, int(tree_->Resources.size()));
        leaf->setToolTip(0, ToQ(resource.FileName));
        tree_->Resources.push_back(std::move(resource));
      }
    }
  }
  tree_->expandToDepth(0);
}

void TfrmTheme::ResourceSelected(QTreeWidgetItem* item) {
  const TMFResource* resource = tree_->ResourceOf(item);
  if (!resource || !IsFile(resource->FileName)) return;
  preview_->SetMovie(QStringLiteral(" "));
  preview_->SetMovie(ToQ(resource->FileName));
  preview_->Play();
}

std::string TfrmTheme::SelectedTemplate() const {
  return album_.Templates.Selected ? album_.Templates.Selected->Name : std::string();
}
std::string TfrmTheme::SelectedLoadingBar() const {
  return album_.LoadingBars.Selected ? album_.LoadingBars.Selected->Name : std::string();
}

void TfrmTheme::AlbumReloaded() {
  LoadCatalogues();
  stage_built_ = false;
  if (shown_ && isVisible()) TabChanged(tabs_->currentIndex());
}

void TfrmTheme::ApplyChosenLoadingBar() {
  if (!album_.LoadingBars.Selected) return;
  const QSize now(album_.Width, album_.Height);
  if (bar_placed_for_.isEmpty() || bar_placed_for_ == now) return;
  // Left and Top keep their fractions of the album's size; edits on the
  // stage that are not saved yet stay.
  TMFShape& shape = album_.Template.Loading.Shape;
  shape.Left = float(shape.Left * now.width() / bar_placed_for_.width());
  shape.Top = float(shape.Top * now.height() / bar_placed_for_.height());
  bar_placed_for_ = now;
}

void TfrmTheme::PageShown() {
  shown_ = true;
  // A page not on the screen yet builds its stage once it shows.
  if (!isVisible()) return;
  if (!stage_built_) {
    TabChanged(tabs_->currentIndex());
  } else {
    stage_->RecreateWindow();
    stage_->Play();
  }
  PlaceStage();
}

void TfrmTheme::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_ && !stage_built_)
    QTimer::singleShot(0, this, [this] {
      if (!stage_built_ && isVisible()) TabChanged(tabs_->currentIndex());
    });
}

void TfrmTheme::PageHidden() {
  stage_->Stop();
  preview_->Stop();
}

void TfrmTheme::ShowTemplateTab() {
  if (tabs_->currentIndex() == 0)
    TabChanged(0);
  else
    tabs_->setCurrentIndex(0);
}

void TfrmTheme::ShowLoadingBarTab() {
  if (tabs_->currentIndex() == 1)
    TabChanged(1);
  else
    tabs_->setCurrentIndex(1);
}

void TfrmTheme::TabChanged(int index) {
  mode_ = index == 0;
  resource_panel_->setVisible(mode_);
  if (!shown_ || !isVisible()) return;
  stage_built_ = true;
  ShowBackgroundPage();
  image_box_->setText(ToQ(CurrentBackground().ImageFile));
  if (mode_) {
    if (album_.Templates.Selected && BuildStage(true)) LoadTemplateIntoEditor(SelectedTemplate());
  } else if (album_.LoadingBars.Selected && BuildStage(false)) {
    album_.Template.Loading.Background.Color = kStageGrey;
    LoadLoadingBarIntoEditor(SelectedLoadingBar());
  }
}

bool TfrmTheme::ConfirmStageEdit() {
  if (!stage_edited_) return true;
  const std::string name = mode_ ? SelectedTemplate() : SelectedLoadingBar();
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Theme"),
                  QStringLiteral("The %1 \"%2\" has changes on the stage that are not saved.")
                      .arg(mode_ ? QStringLiteral("template") : QStringLiteral("loading bar"), ToQ(name)),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setObjectName(QStringLiteral("StageEditQuestion"));
  box.setInformativeText(QStringLiteral("Save them first?"));
  box.setDefaultButton(QMessageBox::Save);
  switch (box.exec()) {
    case QMessageBox::Save:
      Save();
      return !stage_edited_;  // a failed save keeps the stage as it is
    case QMessageBox::Discard:
      stage_edited_ = false;
      return true;
    default:
      return false;
  }
}

void TfrmTheme::StageEdited() { stage_edited_ = true; }

void TfrmTheme::TemplateClicked(TView& view) {
  // Another template on the stage replaces what was edited there.
  if (mode_ && &view != album_.Templates.Selected && !ConfirmStageEdit()) {
    template_tiles_->ShowSelection();
    return;
  }
  album_.Templates.Select(view);
  template_tiles_->ShowSelection();
  ChoiceChanged();
  if (mode_) LoadTemplateIntoEditor(view.Name);
}

void TfrmTheme::LoadingBarClicked(TView& view) {
  if (!mode_ && &view != album_.LoadingBars.Selected && !ConfirmStageEdit()) {
    bar_tiles_->ShowSelection();
    return;
  }
  Guarded(this, [&] {
    if (!ApplyLoadingBar(album_, view.Name)) return;
    album_.LoadingBars.Select(view);
    bar_placed_for_ = QSize(album_.Width, album_.Height);
  });
  bar_tiles_->ShowSelection();
  ChoiceChanged();
  if (!mode_ && album_.LoadingBars.Selected == &view) LoadLoadingBarIntoEditor(view.Name);
}

// ---- The stage ----

bool TfrmTheme::BuildStage(bool templateStage) {
  const std::string file = album_.TempFolder + (templateStage ? "~Template.swf" : "~LoadingBar.swf");
  bool built = false;
  Guarded(this, [&] {
    std::filesystem::create_directories(album_.TempFolder);
    built = BuildStageMovie(album_.AppFolder + "YEL.dll", templateStage ? "YEL_Template" : "YEL_LoadingBar",
                            album_.Width, album_.Height, album_.FrameRate, file);
  });
  no_stage_->setVisible(!built);
  stage_->setVisible(built);
  stage_->SetMovie(QStringLiteral(" "));
  if (!built) return false;
  stage_->SetMovie(ToQ(file));
  stage_->Play();
  PlaceStage();
  return true;
}

bool TfrmTheme::HasStage() const { return stage_->Movie() != QLatin1String(" "); }

void TfrmTheme::ReloadStage() {
  const QString movie = stage_->Movie();
  stage_->SetMovie(QStringLiteral(" "));
  stage_->SetMovie(movie);
  stage_->Play();
}

void TfrmTheme::PlaceStage() {
  const QSize area = stage_area_->size();
  const double scale = std::min(double(area.width()) / album_.Width, double(area.height()) / album_.Height);
  const QSize size(int(album_.Width * scale), int(album_.Height * scale));
  stage_->setGeometry(QRect(QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2), size));
  no_stage_->setGeometry(QRect(QPoint(0, 0), area));
}

QPointF TfrmTheme::StagePoint(QPoint controlPoint) const {
  const double scale = std::min(double(stage_->width()) / album_.Width, double(stage_->height()) / album_.Height);
  if (scale <= 0) return {};
  const double x0 = (stage_->width() - album_.Width * scale) / 2, y0 = (stage_->height() - album_.Height * scale) / 2;
  return {std::round((controlPoint.x() - x0) / scale), std::round((controlPoint.y() - y0) / scale)};
}

QPoint TfrmTheme::ControlPoint(QPointF stagePoint) const {
  const double scale = std::min(double(stage_->width()) / album_.Width, double(stage_->height()) / album_.Height);
  const double x0 = (stage_->width() - album_.Width * scale) / 2, y0 = (stage_->height() - album_.Height * scale) / 2;
  return QPoint(int(std::lround(x0 + stagePoint.x() * scale)), int(std::lround(y0 + stagePoint.y() * scale)));
}

void TfrmTheme::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceStage();
}

void TfrmTheme::StageCall(const QString& function, const QVariantList& args) {
  if (HasStage()) stage_->CallFunction(TFlashPlayer::InvokeString(function, args));  // errors are ignored
}

QString TfrmTheme::StageGet(const QString& name) {
  return HasStage() ? stage_->GetVariable(name).value_or(QString()) : QString();
}

void TfrmTheme::StageSet(const QString& name, double value) {
  if (HasStage()) stage_->SetVariable(name, QString::number(value, 'g', 15));
}

bool TfrmTheme::SelectedIsPhotoFrame() {
  return StageGet(QStringLiteral("PTemplate.SelectObject.IsPhotoFrame")) == QLatin1String("true");
}

TBackground& TfrmTheme::CurrentBackground() {
  return mode_ ? album_.Template.PhotoFrame.Background : album_.Template.Loading.Background;
}

void TfrmTheme::SetSpins(double width, double height, double left, double top) {
  const double values[] = {left, top, width, height};
  for (int i = 0; i < 4; ++i) {
    const QSignalBlocker block(spins_[std::size_t(i)]);
    spins_[std::size_t(i)]->setValue(values[i]);
  }
}

void TfrmTheme::ShowBackgroundPage() { properties_->setCurrentWidget(background_page_); }
void TfrmTheme::ShowShapePage() { properties_->setCurrentWidget(shape_page_); }

void TfrmTheme::StageCommand(const QString& command, const QString& args) {
  if (command == QLatin1String("CMD_MENU")) {
    const bool right = right_pressed_;
    right_pressed_ = false;
    if (args == QLatin1String("0")) {
      ShowBackgroundPage();
      frame_selected_ = false;
    } else if (args == QLatin1String("1")) {
      // A press reports the chosen object's place: that is no edit.
      place_reports_ = 4;
      ShowShapePage();
      // Asked once per selection: the moves that follow come many at a time.
      frame_selected_ = mode_ && SelectedIsPhotoFrame();
      // The stage's popup menu: "Delete" for a decorative shape.
      if (right && mode_ && !frame_selected_) stage_menu_->popup(QCursor::pos());
    }
    return;
  }
  const double value = StageNumber(args, 0);
  int tag = 0;
  if (command == QLatin1String("CMD_ShapeMove_Left")) tag = LeftTag;
  if (command == QLatin1String("CMD_ShapeMove_Top")) tag = TopTag;
  if (command == QLatin1String("CMD_Shape_Width")) tag = WidthTag;
  if (command == QLatin1String("CMD_Shape_Height")) tag = HeightTag;
  if (tag == 0) return;
  if (place_reports_ > 0)
    --place_reports_;
  else if (value != Spin(tag).value())
    StageEdited();
  {
    const QSignalBlocker block(Spin(tag));
    Spin(tag).setValue(value);
  }
  // The photo frame and the loading bar are album records; a decorative
  // shape lives on the stage until the template is saved. A size changed
  // by a handle is kept too (and the frame rebuilt at that size once the
  // handle rests), or saving would lose it.
  TMFShape& shape = mode_ ? album_.Template.PhotoFrame.Shape : album_.Template.Loading.Shape;
  if (mode_ && !frame_selected_) return;
  float* fields[] = {&shape.Left, &shape.Top, &shape.Width, &shape.Height};
  *fields[tag - 1] = float(value);
  if (mode_ && tag >= WidthTag && !frame_rebuild_pending_) {
    frame_rebuild_pending_ = true;
    QTimer::singleShot(400, this, [this] {
      frame_rebuild_pending_ = false;
      if (QApplication::mouseButtons() != Qt::NoButton) {
        frame_rebuild_pending_ = true;
        QTimer::singleShot(400, this, [this] {
          frame_rebuild_pending_ = false;
          SetPhotoFrame();
        });
        return;
      }
      SetPhotoFrame();
    });
  }
}

bool TfrmTheme::eventFilter(QObject* watched, QEvent* event) {
  if (watched == stage_area_ && event->type() == QEvent::Resize) PlaceStage();
  if (stage_ && (watched == stage_->InputWidget() || watched == stage_)) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
        right_pressed_ = static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
        break;
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (mode_ && TResourceTree::Decode(drag->mimeData())) {
          drag->acceptProposedAction();
          return true;
        }
        break;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (const auto resource = TResourceTree::Decode(drop->mimeData())) {
          QPoint at = drop->position().toPoint();
          if (watched != stage_) at = static_cast<QWidget*>(watched)->mapTo(stage_, at);
          drop->acceptProposedAction();
          DropResource(*resource, StagePoint(at));
          return true;
        }
        break;
      }
      default: break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TfrmTheme::DropResource(const TMFResource& resource, QPointF stagePoint) {
  if (!mode_) return;
  StageEdited();
  Guarded(this, [&] {
    switch (resource.Kind) {
      case TMFResource::Background: SetBackgroundImage(resource.FileName); break;
      case TMFResource::PhotoFrame: SetPhotoFrame(&resource); break;
      default: AddStageShape(resource.FileName, stagePoint.x(), stagePoint.y(), 0, 0); break;
    }
  });
}

// ---- Operations ----

void TfrmTheme::SetBackgroundColour(TColor colour) {
  if (HasStage()) {
    const QString hex = ColourText(colour).mid(2);
    stage_->CallFunction(QStringLiteral("<invoke name=\"Background_FillColor\" returntype =\"xml\"><arguments>"
                                        "<number>0x%1</number></arguments></invoke>")
                             .arg(hex));
  }
  QPixmap swatch(40, 14);
  swatch.fill(ToQColor(colour));
  swatch_->setIcon(QIcon(swatch));
  swatch_->setIconSize(swatch.size());
  swatch_->setToolTip(ColourText(colour));
  TBackground& background = CurrentBackground();
  background.Color = colour;
  background.FillType = 1;
  colour_radio_->setChecked(true);
  swatch_->setEnabled(true);
  image_box_->setEnabled(false);
  browse_->setEnabled(false);
}

void TfrmTheme::SetBackgroundImage(const std::string& file) {
  StageCall(QStringLiteral("Background_FillImage"), {ToQ(file)});
  TBackground& background = CurrentBackground();
  background.ImageFile = file;
  background.FillType = 2;
  image_box_->setText(ToQ(file));
  image_radio_->setChecked(true);
  swatch_->setEnabled(false);
  image_box_->setEnabled(true);
  browse_->setEnabled(true);
}

bool TfrmTheme::ChooseBackgroundPicture(const std::string& picture) {
  const std::string movie = album_.TempFolder + "Background.swf";
  bool made = false;
  Guarded(this, [&] {
    std::filesystem::create_directories(album_.TempFolder);
    made = publish::MakePictureMovie(picture, movie, album_.Width, album_.Height, float(album_.FrameRate));
  });
  if (!made) return false;
  StageEdited();
  SetBackgroundImage(movie);
  image_box_->setText(ToQ(picture));
  return true;
}

void TfrmTheme::RadioClicked() {
  StageEdited();
  const bool colour = colour_radio_->isChecked();
  swatch_->setEnabled(colour);
  image_box_->setEnabled(!colour);
  browse_->setEnabled(!colour);
  TBackground& background = CurrentBackground();
  if (colour)
    SetBackgroundColour(background.Color);
  else if (!background.ImageFile.empty())
    SetBackgroundImage(background.ImageFile);
}

void TfrmTheme::ChooseColour() {
  const QColor chosen = QColorDialog::getColor(ToQColor(CurrentBackground().Color), this);
  if (chosen.isValid()) {
    StageEdited();
    SetBackgroundColour(FromQColor(chosen));
  }
}

void TfrmTheme::BrowsePicture() {
  const QString file = QFileDialog::getOpenFileName(
      this, QString(), QString(),
      QStringLiteral("All (*.gif *.jpg *.jpeg *.bmp *.swf *.emf *.wmf);; (*.gif);;JPEG Image File (*.jpg);;"
                     "JPEG Image File (*.jpeg);;Bitmaps (*.bmp);;Swf File(*.swf);;Enhanced Metafiles (*.emf);;"
                     "Metafiles (*.wmf)"));
  if (!file.isEmpty()) ChooseBackgroundPicture(FromQ(file));
}

void TfrmTheme::LoadTemplateIntoEditor(const std::string& name) {
  if (!HasStage() || name.empty()) return;
  const std::string d = album_.Template.PhotoFrame.Folder + name + "/";
  const std::string config = Find(d + "Config.ini");
  if (!IsFile(config)) return;
  pending_.clear();
  stage_edited_ = false;
  place_reports_ = 0;
  ReloadStage();
  ShowBackgroundPage();
  Guarded(this, [&] {
    const TIniFile ini = TIniFile::Load(config);
    TPhotoFrame& frame = album_.Template.PhotoFrame;
    const std::string colour = ini.ReadString("Background", "Color");
    const std::int64_t type = ini.ReadInteger("Background", "Type", 1);
    const std::string image = ini.ReadString("Background", "Image");
    const std::string frameFile = ini.ReadString("PhotoFrame", "FileName");
    frame.Name = ini.ReadString("PhotoFrame", "Name");
    // Width and Height are read as decimals: a size changed on the stage
    // may have a fraction, and reading it as 0 would lose the frame.
    const double left = ini.ReadFloat("Size", "Left", 0) * album_.Width;
    const double top = ini.ReadFloat("Size", "Top", 0) * album_.Height;
    const double width = ini.ReadFloat("Size", "Width", 0), height = ini.ReadFloat("Size", "Height", 0);
    SetSpins(width, height, left, top);
    frame.Shape = {float(left), float(top), float(width), float(height)};
    // The picture the template names, also while it shows its colour.
    frame.Background.ImageFile = image.empty() ? std::string() : ThemeFilePath(d, image, config);
    image_box_->setText(ToQ(frame.Background.ImageFile));
    if (type == 1) {
      try {
        SetBackgroundColour(ParseHexColour(colour));
      } catch (const std::exception&) {
        throw Error(config + ": the background colour \"" + colour + "\" is not 0x and six hexadecimal digits");
      }
    } else if (!image.empty()) {
      SetBackgroundImage(ThemeFilePath(d, image, config));
    }
    frame.SourceFile.clear();
    if (!frameFile.empty()) {
      const std::string source = ThemeFilePath(d, frameFile, config);
      if (IsFile(source)) {
        frame.SourceFile = source;
        SetPhotoFrame();
      }
    }
    const std::int64_t count = std::clamp<std::int64_t>(ini.ReadInteger("Shapes", "Count", 0), 0, kMaxShapes);
    for (std::int64_t k = 1; k <= count; ++k) {
      const std::string section = "Shape_" + std::to_string(k);
      const std::string file = ini.ReadString(section, "FileName");
      if (file.empty()) continue;
      const std::string path = ThemeFilePath(d, file, config);
      if (!IsFile(path)) continue;
      AddStageShape(path, ini.ReadFloat(section, "Left", 0) * album_.Width,
                    ini.ReadFloat(section, "Top", 0) * album_.Height, ini.ReadFloat(section, "Width", 0),
                    ini.ReadFloat(section, "Height", 0));
    }
  });
}

void TfrmTheme::LoadLoadingBarIntoEditor(const std::string& name) {
  if (!HasStage() || name.empty()) return;
  const std::string folder = album_.Template.Loading.Folder;
  if (!FolderExists(folder)) return;
  const std::string config = Find(folder + name + "/Config.ini");
  const std::string bar = Find(folder + name + "/" + name + ".swf");
  if (!IsFile(config) || !IsFile(bar)) return;
  stage_edited_ = false;
  place_reports_ = 0;
  ReloadStage();
  ShowBackgroundPage();
  Guarded(this, [&] {
    const TIniFile ini = TIniFile::Load(config);
    const double left = ini.ReadFloat("Size", "Left", 0) * album_.Width;
    const double top = ini.ReadFloat("Size", "Top", 0) * album_.Height;
    const double width = ini.ReadFloat("Size", "Width", 0), height = ini.ReadFloat("Size", "Height", 0);
    const std::string colour = ini.ReadString("Background", "Color");
    try {
      SetBackgroundColour(ParseHexColour(colour));
    } catch (const std::exception&) {
      throw Error(config + ": the background colour \"" + colour + "\" is not 0x and six hexadecimal digits");
    }
    StageCall(QStringLiteral("AddLoadingBar"), {ToQ(bar), left, top, 20});
    // The stage shows the bar at the size publishing gives it.
    if (width > 0) StageSet(QStringLiteral("PLoadingBar.SelectObject.Width"), width);
    if (height > 0) StageSet(QStringLiteral("PLoadingBar.SelectObject.Height"), height);
    SetSpins(width, height, left, top);
    TLoading& loading = album_.Template.Loading;
    loading.Name = name;
    loading.Shape = {float(left), float(top), float(width), float(height)};
    bar_placed_for_ = QSize(album_.Width, album_.Height);
  });
}

void TfrmTheme::SetPhotoFrame(const TMFResource* resource) {
  TPhotoFrame& frame = album_.Template.PhotoFrame;
  if (resource && IsFile(resource->FileName)) {
    frame.Name = resource->Name;
    frame.SourceFile = resource->FileName;
  }
  if (!IsFile(frame.SourceFile)) return;
  // A rectangle of no size takes the frame movie's own.
  if (frame.Shape.Width <= 0 || frame.Shape.Height <= 0) {
    double width = 0, height = 0;
    MovieFrameSize(frame.SourceFile, width, height);
    if (frame.Shape.Width <= 0) frame.Shape.Width = float(width);
    if (frame.Shape.Height <= 0) frame.Shape.Height = float(height);
  }
  const std::string dest = album_.TempFolder + "PhotoFrame.swf";
  std::filesystem::create_directories(album_.TempFolder);
  MakePhotoFrameWrapper(frame.SourceFile, dest, frame.Name, frame.Shape.Width, frame.Shape.Height,
                        album_.FrameRate);
  StageCall(QStringLiteral("Create_PhotoFrame"),
            {ToQ(dest), double(frame.Shape.Left), double(frame.Shape.Top), double(frame.Shape.Width),
             double(frame.Shape.Height)});
  SetSpins(frame.Shape.Width, frame.Shape.Height, frame.Shape.Left, frame.Shape.Top);
  frame_selected_ = true;  // the stage selects the new frame
}

void TfrmTheme::AddStageShape(const std::string& file, double left, double top, double width, double height) {
  if (!IsFile(file)) return;
  if (width == 0 || height == 0) MovieFrameSize(file, width, height);
  SetSpins(width, height, left, top);
  StageCall(QStringLiteral("Create_Shape"), {ToQ(file), left, top, width, height});
  frame_selected_ = false;  // the stage selects the new shape
}

void TfrmTheme::ApplySpin(int tag) {
  if (tag < LeftTag || tag > HeightTag) return;
  const double value = Spin(tag).value();
  const QString key = QString::fromLatin1(kSpinKeys[tag - 1]);
  StageEdited();
  Guarded(this, [&] {
    if (mode_) {
      TMFShape& shape = album_.Template.PhotoFrame.Shape;
      const bool frame = frame_selected_ = SelectedIsPhotoFrame();
      if (tag <= TopTag) {
        if (frame) (tag == LeftTag ? shape.Left : shape.Top) = float(value);
        StageSet(QStringLiteral("PTemplate.SelectObject.") + key, value);
      } else if (frame) {
        (tag == WidthTag ? shape.Width : shape.Height) = float(value);
        SetPhotoFrame();
      } else {
        StageSet(QStringLiteral("PTemplate.SelectObject.") + key, value);
      }
    } else {
      TMFShape& shape = album_.Template.Loading.Shape;
      float* fields[] = {&shape.Left, &shape.Top, &shape.Width, &shape.Height};
      *fields[tag - 1] = float(value);
      StageSet(QStringLiteral("PLoadingBar.SelectObject.") + key, value);
    }
  });
}

void TfrmTheme::DeleteSelectedShape() {
  if (!mode_) return;
  StageEdited();
  const QString file = StageGet(QStringLiteral("PTemplate.SelectObject.FileName"));
  const std::string folder = album_.Template.PhotoFrame.Folder + SelectedTemplate() + "/";
  if (!SelectedTemplate().empty() && file.contains(ToQ(folder))) pending_ << file;
  bool ok = false;
  const int index = StageGet(QStringLiteral("PTemplate.SelectObject.Index")).toInt(&ok);
  if (ok && index >= 0) StageCall(QStringLiteral("Delete_Shape"), {index});
  frame_selected_ = false;
  ShowBackgroundPage();
}

void TfrmTheme::Save() {
  if (mode_) {
    if (!SelectedTemplate().empty()) SaveTemplate(SelectedTemplate());
  } else if (!SelectedLoadingBar().empty()) {
    SaveLoadingBar(SelectedLoadingBar(), false);
  }
}

void TfrmTheme::WriteViewPicture(const std::string& file) {
  QImage picture;
  if (HasStage() && stage_->WaitForMovie()) {
    stage_->WaitForDrawing();
    picture = stage_->CurrentPicture();
  }
  if (picture.isNull()) {
    picture = QImage(80, 60, QImage::Format_RGB888);
    picture.fill(Qt::black);
  }
  const QImage view = picture.convertToFormat(QImage::Format_RGB888)
                          .scaled(80, 60, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  QSaveFile out(ToQ(file));
  if (!out.open(QIODevice::WriteOnly) || !view.save(&out, "JPG", 90) || !out.commit())
    throw Error(file + ": cannot write the picture (" + FromQ(out.errorString()) + ")");
}

void TfrmTheme::ShowInformation(const QString& message) {
  QMessageBox::information(this, QStringLiteral("Information"), message);
}

void TfrmTheme::SaveTemplate(const std::string& name) {
  const std::string d = album_.Template.PhotoFrame.Folder + name + "/";
  const double albumWidth = album_.Width, albumHeight = album_.Height;
  // The shapes on the stage, read before anything is deleted.
  struct TStageShape {
    std::string File;
    double Left, Top, Width, Height;
  };
  std::vector<TStageShape> shapes;
  const int count = std::clamp(int(StageNumber(StageGet(QStringLiteral("PTemplate.ShapeCount")), 0)), 0, kMaxShapes);
  for (int i = 0; i < count; ++i) {
    StageSet(QStringLiteral("PTemplate.Index"), i);
    shapes.push_back({FromQ(StageGet(QStringLiteral("PTemplate.ShapeFileName"))),
                      StageNumber(StageGet(QStringLiteral("PTemplate.ShapeLeft")), 0),
                      StageNumber(StageGet(QStringLiteral("PTemplate.ShapeTop")), 0),
                      StageNumber(StageGet(QStringLiteral("PTemplate.ShapeWidth")), 100),
                      StageNumber(StageGet(QStringLiteral("PTemplate.ShapeHeight")), 100)});
  }
  // Files of deleted shapes go, last first; but only from the folder being
  // saved, and only when no shape left on the stage still uses the file
  // (several shapes may share one).
  std::set<std::string> inUse;
  for (const TStageShape& s : shapes) inUse.insert(s.File);
  for (auto it = pending_.crbegin(); it != pending_.crend(); ++it) {
    const std::string file = FromQ(*it);
    if (inUse.count(file) || !SameFolder(FolderOfPath(file), d)) continue;
    std::error_code ec;
    std::filesystem::remove(file, ec);
  }
  pending_.clear();
  try {
    std::filesystem::create_directories(d);
    WriteViewPicture(d + "View.jpg");
    const std::string existing = Find(d + "Config.ini");
    if (IsFile(existing)) std::filesystem::remove(existing);
    TIniFile ini;
    const TPhotoFrame& frame = album_.Template.PhotoFrame;
    ini.WriteString("System", "Name", name);
    ini.WriteInteger("Background", "Type", frame.Background.FillType);
    ini.WriteString("Background", "Color", FormatHexColour(frame.Background.Color));
    std::string image = FileNameOf(frame.Background.ImageFile);
    if (IsFile(frame.Background.ImageFile) && !SameFolder(FolderOfPath(frame.Background.ImageFile), d)) {
      // The folder's own file of that name is kept; a different picture
      // goes beside it under a free name, so that the new choice is saved.
      image = FreeNameIn(d, frame.Background.ImageFile);
      if (!IsFile(Find(d + image))) std::filesystem::copy_file(frame.Background.ImageFile, d + image);
    }
    ini.WriteString("Background", "Image", image);
    if (IsFile(frame.SourceFile))
      MakePhotoFrameWrapper(frame.SourceFile, d + "PhotoFrame.swf", frame.Name, frame.Shape.Width,
                            frame.Shape.Height, album_.FrameRate);
    ini.WriteString("PhotoFrame", "Name", frame.Name);
    ini.WriteString("PhotoFrame", "FileName", IsFile(Find(d + "PhotoFrame.swf")) ? "PhotoFrame.swf" : "");
    ini.WriteFloat("Size", "Left", frame.Shape.Left / albumWidth);
    ini.WriteFloat("Size", "Top", frame.Shape.Top / albumHeight);
    ini.WriteFloat("Size", "Width", frame.Shape.Width);
    ini.WriteFloat("Size", "Height", frame.Shape.Height);
    ini.WriteInteger("Shapes", "Count", count);
    int k = 0;
    // A shape from elsewhere (the resource tree) must not replace a
    // different file of the same name that the template's own shapes use;
    // shapes dropped from one source share one saved file.
    std::map<std::string, std::string> placed;
    for (const TStageShape& s : shapes) {
      if (!IsFile(s.File)) continue;
      const std::string section = "Shape_" + std::to_string(++k);
      std::string file = FileNameOf(s.File);
      if (!SameFolder(FolderOfPath(s.File), d)) {
        auto [at, added] = placed.try_emplace(s.File);
        if (added) at->second = FreeNameIn(d, s.File);
        file = at->second;
      }
      ini.WriteString(section, "FileName", file);
      MakeShapeWrapper(s.File, d + file, s.Width, s.Height, album_.FrameRate);
      ini.WriteFloat(section, "Left", s.Left / albumWidth);
      ini.WriteFloat(section, "Top", s.Top / albumHeight);
      ini.WriteFloat(section, "Width", s.Width);
      ini.WriteFloat(section, "Height", s.Height);
    }
    ini.SaveToFile(d + "Config.ini");
    LoadTemplates(album_, name);
    template_tiles_->Reload(album_.Templates);
    stage_edited_ = false;
    ChoiceChanged();
    ShowInformation(QStringLiteral("Preservation complete!"));
  } catch (const std::exception& error) {
    ShowInformation(QString::fromStdString(error.what()));
  }
}

void TfrmTheme::SaveLoadingBar(const std::string& name, bool reload) {
  const std::string d = album_.Template.Loading.Folder + name + "/";
  try {
    const TLoading& loading = album_.Template.Loading;
    TIniFile ini;
    ini.WriteString("System", "Name", name);
    ini.WriteInteger("Background", "Type", loading.Background.FillType);
    ini.WriteString("Background", "Color", FormatHexColour(loading.Background.Color));
    ini.WriteString("Background", "Image", loading.Background.ImageFile);
    const std::string image = FileNameOf(loading.Background.ImageFile);
    if (IsFile(loading.Background.ImageFile) && !IsFile(Find(d + image)))
      std::filesystem::copy_file(loading.Background.ImageFile, d + image);
    ini.WriteFloat("Size", "Left", loading.Shape.Left / double(album_.Width));
    ini.WriteFloat("Size", "Top", loading.Shape.Top / double(album_.Height));
    ini.WriteFloat("Size", "Width", loading.Shape.Width);
    ini.WriteFloat("Size", "Height", loading.Shape.Height);
    const std::string existing = Find(d + "Config.ini");
    ini.SaveToFile(IsFile(existing) ? existing : d + "Config.ini");
    if (reload) {
      LoadLoadingBars(album_, name);
      bar_tiles_->Reload(album_.LoadingBars);
      ChoiceChanged();
    }
    stage_edited_ = false;
    ShowInformation(QStringLiteral("Preservation complete!"));
  } catch (const std::exception& error) {
    ShowInformation(QString::fromStdString(error.what()));
  }
}

void TfrmTheme::SaveAsClicked() {
  bool ok = false;
  const QString name = QInputDialog::getText(this, QStringLiteral("Save as"), QStringLiteral("Please enter the new name:"),
                                             QLineEdit::Normal, QString(), &ok);
  if (ok) SaveAs(name);
}

void TfrmTheme::SaveAs(const QString& newName) {
  const std::string name = FromQ(newName.trimmed());
  if (name.empty()) return;
  const std::string folder = mode_ ? album_.Template.PhotoFrame.Folder : album_.Template.Loading.Folder;
  const std::string old = mode_ ? SelectedTemplate() : SelectedLoadingBar();
  if (FolderExists(Find(folder + name))) {
    ShowInformation(QStringLiteral("This name already exists!"));
    return;
  }
  const std::string problem = ThemeNameProblem(name);
  if (!problem.empty()) {
    ShowInformation(ToQ("\"" + name + "\" cannot be a name: " + problem));
    return;
  }
  try {
    const std::string d = folder + name + "/";
    std::filesystem::create_directories(d);
    if (!old.empty()) {
      if (mode_) {
        for (const auto& entry : std::filesystem::directory_iterator(folder + old))
          if (entry.is_regular_file() && !IsFile(Find(d + entry.path().filename().string())))
            std::filesystem::copy_file(entry.path(), d + entry.path().filename().string());
      } else if (IsFile(Find(folder + old + "/" + old + ".swf"))) {
        std::filesystem::copy_file(Find(folder + old + "/" + old + ".swf"), d + name + ".swf");
      }
    }
    WriteViewPicture(d + "View.jpg");
    AddListEntry(Find(folder + "Config.xml"), name);
  } catch (const std::exception& error) {
    ShowInformation(QString::fromStdString(error.what()));
    return;
  }
  if (mode_) {
    SaveTemplate(name);
  } else {
    album_.Template.Loading.Name = name;
    SaveLoadingBar(name, true);
  }
}

void TfrmTheme::TemplateMenu(const QPoint& at) {
  // The menu acts on the tile that was right-clicked (the selected one when
  // the click was beside the tiles).
  menu_template_ = SelectedTemplate();
  for (QWidget* widget = template_tiles_->childAt(at); widget && widget != template_tiles_;
       widget = widget->parentWidget())
    if (auto* tile = qobject_cast<TTile*>(widget)) {
      menu_template_ = tile->View().Name;
      break;
    }
  template_menu_->actions().at(1)->setEnabled(!menu_template_.empty());
  template_menu_->popup(template_tiles_->mapToGlobal(at));
}

void TfrmTheme::NewTemplateClicked() {
  // A cancelled box gives the default name too.
  const QString name = QInputDialog::getText(this, QStringLiteral("New Template"),
                                             QStringLiteral("Please enter the new name:"), QLineEdit::Normal,
                                             QStringLiteral("NewTemplate"));
  NewTemplate(name.isEmpty() ? QStringLiteral("NewTemplate") : name);
}

void TfrmTheme::NewTemplate(const QString& newName) {
  const std::string name = FromQ(newName.trimmed());
  const std::string folder = album_.Template.PhotoFrame.Folder;
  const std::string d = folder + name + "/";
  const std::string problem = ThemeNameProblem(name);
  if (name.empty() || !problem.empty()) {
    ShowInformation(ToQ("\"" + name + "\" cannot be a name: " + (problem.empty() ? "it is empty" : problem)));
    return;
  }
  // An existing template of that name is not overwritten.
  if (IsFile(Find(d + "Config.ini"))) {
    ShowInformation(QStringLiteral("This name already exists!"));
    return;
  }
  try {
    std::filesystem::create_directories(d);
    QImage black(80, 60, QImage::Format_RGB888);
    black.fill(Qt::black);
    QSaveFile view(ToQ(d + "View.jpg"));
    if (!view.open(QIODevice::WriteOnly) || !black.save(&view, "JPG") || !view.commit())
      throw Error(d + "View.jpg: cannot write the picture");
    TIniFile ini;
    ini.WriteString("System", "Name", name);
    ini.WriteInteger("Background", "Type", 1);
    ini.WriteString("Background", "Color", "0xFFFFFF");
    ini.WriteFloat("Size", "Left", 0.18);
    ini.WriteFloat("Size", "Top", 0.18);
    ini.WriteFloat("Size", "Width", 400);
    ini.WriteFloat("Size", "Height", 300);
    ini.SaveToFile(d + "Config.ini");
    AddListEntry(Find(folder + "Config.xml"), name);
  } catch (const std::exception& error) {
    ShowInformation(QString::fromStdString(error.what()));
    return;
  }
  TPhotoFrame& frame = album_.Template.PhotoFrame;
  frame.Background = TBackground{};
  frame.Background.Color = 0xFFFFFF;
  frame.Shape = {72, 54, 400, 300};
  frame.SourceFile.clear();
  frame.Name = name;
  Guarded(this, [&] { LoadTemplates(album_, name); });
  template_tiles_->Reload(album_.Templates);
  ChoiceChanged();
  if (mode_) LoadTemplateIntoEditor(name);
}

void TfrmTheme::RemoveTemplateClicked() {
  const std::string name = menu_template_.empty() ? SelectedTemplate() : menu_template_;
  menu_template_.clear();
  if (name.empty()) return;
  const auto answer = QMessageBox::question(this, QStringLiteral("Remove Template"),
                                            ToQ("Are you sure you want to remove the \"" + name + "\" template?"),
                                            QMessageBox::Yes | QMessageBox::No);
  RemoveTemplate(answer == QMessageBox::Yes, name);
}

void TfrmTheme::RemoveTemplate(bool confirmed) { RemoveTemplate(confirmed, SelectedTemplate()); }

void TfrmTheme::RemoveTemplate(bool confirmed, const std::string& name) {
  if (!confirmed || name.empty()) return;
  // Another template than the one shown: the shown one stays.
  const bool shown = name == SelectedTemplate();
  const std::string folder = album_.Template.PhotoFrame.Folder;
  try {
    RemoveListEntry(Find(folder + "Config.xml"), name);
    const std::string d = Find(folder + name);
    if (FolderExists(d)) {
      for (const auto& entry : std::filesystem::directory_iterator(d))
        if (!entry.is_directory()) std::filesystem::remove(entry.path());
      std::error_code ec;
      std::filesystem::remove(d, ec);  // stays when it holds folders
    }
  } catch (const std::exception& error) {
    ShowInformation(QString::fromStdString(error.what()));
  }
  const std::string keep = shown ? std::string() : SelectedTemplate();
  if (album_.Templates.Selected) album_.Templates.Selected->Selected = false;
  album_.Templates.Selected = nullptr;
  Guarded(this, [&] { LoadTemplates(album_, keep); });
  template_tiles_->Reload(album_.Templates);
  ChoiceChanged();
  if (mode_ && shown) LoadTemplateIntoEditor(SelectedTemplate());
}

}  // namespace yel::app
