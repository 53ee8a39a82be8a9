#include "app/studio/main_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QUndoCommand>
#include <QUndoStack>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>

#include "album/album_model.h"
#include "album/project_file.h"
#include "app/pages/effect_page.h"
#include "app/pages/publish_page.h"
#include "app/pages/setting_page.h"
#include "app/pages/window_frame.h"
#include "app/player/flash_player.h"
#include "app/studio/about_box.h"
#include "app/studio/icons.h"
#include "app/studio/photo_page.h"
#include "app/studio/slide_strip.h"
#include "app/studio/theme_page.h"
#include "app/studio/thumbnails.h"

namespace yel::app {

QString VersionCaption(const QString& file_version) {
  const qsizetype stop = file_version.lastIndexOf(QLatin1Char('.'));
  return QStringLiteral("Ver: ") + (stop < 0 ? QString() : file_version.left(stop));
}

QString FileVersion() { return QStringLiteral(YEL_FILE_VERSION); }
QString HomepageAddress() { return QStringLiteral(YEL_HOMEPAGE_URL); }
QString SupportAddress() { return QStringLiteral(YEL_SUPPORT_URL); }

namespace {

constexpr int kMaxRecentProjects = 8;

const char* const kStyleSheet = R"(
#MainBody { background: #F4F6F9; }
#TopBand { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #1E293B, stop:1 #111827); }
#TopBand QToolButton { color: #E2E8F0; border: none; border-radius: 6px; padding: 6px 12px; font-size: 10pt; }
#TopBand QToolButton:hover { background: rgba(255, 255, 255, 0.10); }
#TopBand QToolButton:pressed { background: rgba(255, 255, 255, 0.18); }
#TopBand QToolButton:checked { background: #2563EB; color: white; }
#TopBand QToolButton#WindowButton { padding: 6px 8px; border-radius: 4px; }
#TopBand QToolButton#CloseButton { padding: 6px 8px; border-radius: 4px; }
#TopBand QToolButton#CloseButton:hover { background: #DC2626; }
#TopBand QToolButton::menu-indicator { image: none; width: 0; }
#BandSeparator { background: rgba(255, 255, 255, 0.15); }
#TitleLabel { color: white; font-size: 11pt; font-weight: 600; padding: 0 10px 0 4px; }
#SlideStrip { background: white; border-top: 1px solid #D5DAE1; }
#StripHeader { color: #5B6573; font-size: 9pt; }
#StripArea, #StripContent { background: white; }
#DropMarker { background: #2563EB; border: none; }
#PhotoPanel, #PhotoArea, #PhotoContent, #ThemeArea, #ThemeContent { background: #F4F6F9; }
#FolderTree { background: white; border: none; border-right: 1px solid #D5DAE1; padding: 6px 0; }
#FolderTree::item { padding: 3px 0; }
#FolderLabel { color: #333D4A; font-weight: 600; }
QPushButton#ToolButton { background: white; border: 1px solid #CBD2DB; border-radius: 6px; padding: 6px 14px;
                         color: #1F2933; }
QPushButton#ToolButton:hover { border-color: #2563EB; }
QPushButton#ToolButton:pressed { background: #E8EEFC; }
QPushButton#ToolButton:disabled { color: #A0A8B3; background: #F0F2F5; border-color: #DDE2E8; }
#PageTitle { font-size: 16pt; font-weight: 600; color: #1F2933; }
#SectionTitle { font-size: 11pt; font-weight: 600; color: #333D4A; }
#PageHint, #EmptyLabel { color: #5B6573; }
)";

// One step of the album's history: the states before and after an edit
// that was already made (so the first redo does nothing).
class TAlbumEdit : public QUndoCommand {
 public:
  TAlbumEdit(std::function<void(const TAlbumState&)> restore, TAlbumState before, TAlbumState after,
             const QString& text)
      : QUndoCommand(text), restore_(std::move(restore)), before_(std::move(before)), after_(std::move(after)) {}
  void undo() override { restore_(before_); }
  void redo() override {
    if (done_) restore_(after_);
    done_ = true;
  }

 private:
  std::function<void(const TAlbumState&)> restore_;
  TAlbumState before_, after_;
  bool done_ = false;
};

// What a step did, for "Undo ..." and "Redo ...".
QString DescribeEdit(const TAlbumState& before, const TAlbumState& after) {
  if (after.Slides.size() > before.Slides.size()) return QObject::tr("Add Slides");
  if (after.Slides.size() < before.Slides.size()) return QObject::tr("Remove Slides");
  if (before.Slides != after.Slides) {
    std::vector<std::string> a, b;
    for (const auto& slide : before.Slides) a.push_back(slide.ImageFile);
    for (const auto& slide : after.Slides) b.push_back(slide.ImageFile);
    return a != b ? QObject::tr("Move Slide") : QObject::tr("Change Transitions");
  }
  const AlbumSettings &x = before.Settings, &y = after.Settings;
  if (x.Width != y.Width || x.Height != y.Height || x.FrameRate != y.FrameRate || x.Background != y.Background ||
      before.MusicFile != after.MusicFile)
    return QObject::tr("Change Settings");
  return QObject::tr("Choose Theme");
}

QToolButton* BandButton(const QString& text, const QIcon& icon, const QString& name = QString()) {
  auto* button = new QToolButton;
  button->setText(text);
  button->setIcon(icon);
  button->setIconSize(QSize(20, 20));
  button->setToolButtonStyle(text.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
  button->setCursor(Qt::PointingHandCursor);
  button->setFocusPolicy(Qt::NoFocus);
  if (!name.isEmpty()) button->setObjectName(name);
  return button;
}

}  // namespace

namespace {

// A new folder of mode 0700 under XDG_RUNTIME_DIR (the user's own), else the
// temporary folder: the stage movies and converted backgrounds are written
// there, never into the program's folder, which may be read-only or shared.
std::unique_ptr<QTemporaryDir> PrivateTempFolder() {
  QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (base.isEmpty() || !QFileInfo(base).isDir() || !QFileInfo(base).isWritable()) base = QDir::tempPath();
  auto folder = std::make_unique<QTemporaryDir>(base + QStringLiteral("/yel-studio-XXXXXX"));
  if (!folder->isValid()) folder = std::make_unique<QTemporaryDir>();
  return folder;
}

}  // namespace

TfrmMain::TfrmMain(const std::string& app_folder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      temp_folder_(PrivateTempFolder()),
      album_(std::make_unique<TFlashAlbum>(app_folder)),
      thumbnails_(std::make_unique<TThumbnails>()) {
  if (temp_folder_->isValid()) {
    album_->TempFolder = temp_folder_->path().toStdString() + "/";
    album_->Template.TempFolder = album_->TempFolder;
  }
  // Before any child exists: the shape helper looks among the children for
  // its own resize watcher.
  ApplyCutCornerShape(*this);
  setObjectName("MainWindow");
  setWindowTitle(QString::fromLatin1(kApplicationTitle));
  setWindowIcon(DrawIcon(TIconKind::Program));
  setStyleSheet(kStyleSheet);
  album_->SlideViews.OnSlideSelected = [this](TSlideView&) { SlideSelected(); };
  undo_ = new QUndoStack(this);
  state_ = std::make_unique<TAlbumState>();
  connect(undo_, &QUndoStack::indexChanged, this, &TfrmMain::UpdateTitle);

  body_ = new QWidget(this);
  body_->setObjectName("MainBody");
  body_->setAttribute(Qt::WA_StyledBackground);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(body_);

  stack_ = new QStackedWidget;
  photo_ = new TfrmPhoto(*album_, *thumbnails_);
  slides_ = new TfrmSlides(*album_, *thumbnails_);
  CreatePages();
  for (const TPageHooks& page : pages_) stack_->addWidget(page.Widget);

  auto* layout = new QVBoxLayout(body_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(CreateTopBand());
  layout->addWidget(stack_, 1);
  layout->addWidget(slides_);
  CreateFileMenu();

  connect(photo_, &TfrmPhoto::SlidesChanged, this, &TfrmMain::SlidesChanged);
  connect(slides_, &TfrmSlides::SlidesChanged, this, &TfrmMain::SlidesChanged);

  // The photo page starts in the folder used last (else the pictures folder).
  QString folder = QSettings().value("Photo/LastFolder").toString();
  if (folder.isEmpty() || !QFileInfo(folder).isDir())
    folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (!QFileInfo(folder).isDir()) folder = QDir::homePath();
  photo_->ShowFolder(folder);

  RememberSaved();
  ResetHistory();
  SetActivePage(TFlashAlbum::PhotoPage);
  resize(1280, 800);
}

TfrmMain::~TfrmMain() {
  // The history is cleared as the window's children go: the title is no
  // longer told.
  undo_->disconnect(this);
  // The pages use the album: they go first.
  delete body_;
  body_ = nullptr;
  album_->SlideViews.OnSlideSelected = nullptr;
  // Stage files that theme editing and publishing leave in the temporary folder.
  for (const char* name : {"~LoadingBar.swf", "~Template.swf", "Background.swf", "PhotoFrame.swf"})
    std::remove((album_->TempFolder + name).c_str());
}

void TfrmMain::CreatePages() {
  pages_[TFlashAlbum::PhotoPage].Widget = photo_;
  pages_[TFlashAlbum::PhotoPage].Shown = [this] { photo_->RefreshButtons(); };
  pages_[TFlashAlbum::PhotoPage].SlideSelected = [this] { photo_->RefreshButtons(); };

  effect_ = new TfrmEffect(*album_);
  pages_[TFlashAlbum::EffectPage] = {effect_,
                                     [this] {
                                       effect_->ShowSelectedSlide();
                                       effect_->PageShown();
                                     },
                                     [this] { effect_->PageHidden(); }, [this] { effect_->AlbumReloaded(); },
                                     [this] { effect_->ShowSelectedSlide(); }};
  connect(effect_, &TfrmEffect::AlbumModified, this, &TfrmMain::AlbumEdited);

  theme_ = new TfrmTheme(*album_);
  pages_[TFlashAlbum::ThemePage] = {theme_, [this] { theme_->PageShown(); }, [this] { theme_->PageHidden(); },
                                    [this] { theme_->AlbumReloaded(); }, {}};
  connect(theme_, &TfrmTheme::AlbumModified, this, &TfrmMain::AlbumEdited);

  setting_ = new TfrmSetting(*album_);
  pages_[TFlashAlbum::SettingPage].Widget = setting_;
  pages_[TFlashAlbum::SettingPage].Shown = [this] { setting_->LoadControls(); };
  pages_[TFlashAlbum::SettingPage].Reloaded = [this] { setting_->AlbumReloaded(); };
  connect(setting_, &TfrmSetting::AlbumModified, this, &TfrmMain::AlbumEdited);

  publish_ = new TfrmPublish(*album_);
  pages_[TFlashAlbum::PublishPage] = {publish_, [this] { publish_->PageShown(); },
                                      [this] { publish_->PageHidden(); }, [this] { publish_->AlbumReloaded(); }, {}};
}

QWidget* TfrmMain::CreateTopBand() {
  auto* band = new QWidget;
  band->setObjectName("TopBand");
  band->setAttribute(Qt::WA_StyledBackground);
  band->setFixedHeight(52);
  auto* layout = new QHBoxLayout(band);
  layout->setContentsMargins(14, 0, 8, 0);
  layout->setSpacing(4);

  auto* icon = new QLabel;
  icon->setPixmap(DrawIcon(TIconKind::Program).pixmap(28, 28));
  layout->addWidget(icon);
  title_ = new TTitleLabel(QString::fromLatin1(kApplicationTitle));
  title_->setObjectName("TitleLabel");
  // A project's name may be long: the band cuts it short rather than widen the window.
  title_->setMinimumWidth(1);
  connect(title_, &TTitleLabel::doubleClicked, this, &TfrmMain::ToggleMaximized);
  layout->addWidget(title_);
  layout->addSpacing(18);

  page_group_ = new QButtonGroup(this);
  page_group_->setExclusive(true);
  const struct {
    const char* caption;
    TIconKind icon;
  } pages[] = {{"  Photo", TIconKind::Photo},
               {" Effect", TIconKind::Effect},
               {"Theme", TIconKind::Theme},
               {" Setting", TIconKind::Setting},
               {" Publish", TIconKind::Publish}};
  for (int page = 0; page < 5; ++page) {
    QToolButton* button = BandButton(QString::fromLatin1(pages[page].caption), DrawIcon(pages[page].icon));
    button->setCheckable(true);
    page_group_->addButton(button, page);
    layout->addWidget(button);
  }
  connect(page_group_, &QButtonGroup::idClicked, this, &TfrmMain::SetActivePage);
  layout->addStretch(1);

  file_button_ = BandButton(tr("File"), DrawIcon(TIconKind::File), "FileButton");
  connect(file_button_, &QToolButton::clicked, this, &TfrmMain::ShowFileMenu);
  QToolButton* save = BandButton(tr("Save"), DrawIcon(TIconKind::Save));
  save->setToolTip(tr("Save (Ctrl+S)"));
  connect(save, &QToolButton::clicked, this, [this] { SaveAlbum(false); });
  QToolButton* internet = BandButton(tr("Internet"), DrawIcon(TIconKind::Internet));
  internet->setToolTip(tr("Support"));
  connect(internet, &QToolButton::clicked, this, &TfrmMain::OpenSupportPage);
  for (QToolButton* button : {file_button_, save, internet}) layout->addWidget(button);

  auto* separator = new QWidget;
  separator->setObjectName("BandSeparator");
  separator->setAttribute(Qt::WA_StyledBackground);
  separator->setFixedSize(1, 26);
  layout->addSpacing(8);
  layout->addWidget(separator);
  layout->addSpacing(8);

  QToolButton* minimize = BandButton(QString(), DrawIcon(TIconKind::Minimize), "WindowButton");
  minimize->setToolTip(tr("Minimize"));
  connect(minimize, &QToolButton::clicked, this, &QWidget::showMinimized);
  maximize_button_ = BandButton(QString(), DrawIcon(TIconKind::Maximize), "WindowButton");
  maximize_button_->setToolTip(tr("Maximize"));
  connect(maximize_button_, &QToolButton::clicked, this, &TfrmMain::ToggleMaximized);
  QToolButton* close = BandButton(QString(), DrawIcon(TIconKind::Close), "CloseButton");
  close->setToolTip(tr("Close"));
  connect(close, &QToolButton::clicked, this, &QWidget::close);
  for (QToolButton* button : {minimize, maximize_button_, close}) layout->addWidget(button);
  return band;
}

void TfrmMain::CreateFileMenu() {
  file_menu_ = new QMenu(this);
  file_menu_->setObjectName("FileMenu");
  auto add = [this](const QString& text, const QKeySequence& keys, auto slot) {
    QAction* action = file_menu_->addAction(text, this, slot);
    if (!keys.isEmpty()) {
      action->setShortcut(keys);
      action->setShortcutContext(Qt::WindowShortcut);
      addAction(action);  // the keys work with the menu closed
    }
    return action;
  };
  add(tr("New"), QKeySequence::New, [this] { NewAlbum(); });
  add(tr("Open"), QKeySequence::Open, [this] { OpenAlbum(); });
  recent_menu_ = file_menu_->addMenu(tr("Open Recent"));
  connect(file_menu_, &QMenu::aboutToShow, this, &TfrmMain::FillRecentMenu);
  add(tr("Save"), QKeySequence(Qt::CTRL | Qt::Key_S), [this] { SaveAlbum(false); });
  add(tr("Save as..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { SaveAlbum(true); });
  file_menu_->addSeparator();
  QAction* undo = undo_->createUndoAction(this, tr("Undo"));
  QAction* redo = undo_->createRedoAction(this, tr("Redo"));
  undo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z)});
  redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  for (QAction* action : {undo, redo}) {
    action->setShortcutContext(Qt::WindowShortcut);
    file_menu_->addAction(action);
    addAction(action);
  }
  file_menu_->addSeparator();
  add(tr("About"), QKeySequence(), [this] { ShowAbout(); });
  file_menu_->addSeparator();
  add(tr("Exit"), QKeySequence(), [this] { close(); });
  FillRecentMenu();
}

void TfrmMain::FillRecentMenu() {
  recent_menu_->clear();
  const QStringList files = QSettings().value("RecentProjects").toStringList();
  for (const QString& file : files) {
    if (!QFileInfo(file).isFile()) continue;
    QAction* action = recent_menu_->addAction(QFileInfo(file).fileName(), this, [this, file] { OpenAlbum(file); });
    action->setToolTip(file);
    action->setStatusTip(file);
  }
  recent_menu_->setEnabled(!recent_menu_->isEmpty());
}

void TfrmMain::AddRecentProject(const QString& file) {
  QSettings settings;
  QStringList files = settings.value("RecentProjects").toStringList();
  const QString path = QFileInfo(file).absoluteFilePath();
  files.removeAll(path);
  files.prepend(path);
  while (files.size() > kMaxRecentProjects) files.removeLast();
  settings.setValue("RecentProjects", files);
  settings.setValue("LastProjectFolder", QFileInfo(path).absolutePath());
}

void TfrmMain::ShowFileMenu() {
  // Below the button, 100 pixels to the left of its left edge.
  file_menu_->popup(file_button_->mapToGlobal(QPoint(-100, file_button_->height())));
}

int TfrmMain::ActivePage() const { return album_->ActivePage; }
QAbstractButton* TfrmMain::PageButton(int page) const { return page_group_->button(page); }
QWidget* TfrmMain::Page(int page) const { return pages_.at(std::size_t(page)).Widget; }

void TfrmMain::SetActivePage(int page) {
  if (page < 0 || page >= int(pages_.size())) return;
  const int previous = album_->ActivePage;
  if (previous != page && pages_[std::size_t(previous)].Hidden) Guarded(pages_[std::size_t(previous)].Hidden);
  album_->ActivePage = static_cast<std::uint8_t>(page);
  page_group_->button(page)->setChecked(true);
  stack_->setCurrentWidget(pages_[std::size_t(page)].Widget);
  slides_->setVisible(page == TFlashAlbum::PhotoPage || page == TFlashAlbum::EffectPage);
  // The album's size may have changed since the loading bar was placed.
  if (page == TFlashAlbum::PublishPage) theme_->ApplyChosenLoadingBar();
  if (pages_[std::size_t(page)].Shown) Guarded(pages_[std::size_t(page)].Shown);
}

void TfrmMain::SlideSelected() {
  // Undoing the next step selects this slide again.
  if (!restoring_) state_->SelectedSlide = album_->State().SelectedSlide;
  slides_->ShowSelection();
  // Only the Photo and Effect pages follow the slide selection.
  const TPageHooks& page = pages_[album_->ActivePage];
  if ((album_->ActivePage == TFlashAlbum::PhotoPage || album_->ActivePage == TFlashAlbum::EffectPage) &&
      page.SlideSelected)
    Guarded(page.SlideSelected);
}

void TfrmMain::SlidesChanged() {
  slides_->Rebuild();
  photo_->RefreshButtons();
  AlbumEdited();
  // The effect page shows the selected slide, which may have gone.
  const TPageHooks& effect = pages_[TFlashAlbum::EffectPage];
  if (album_->ActivePage == TFlashAlbum::EffectPage && effect.SlideSelected) Guarded(effect.SlideSelected);
}

void TfrmMain::AlbumReloaded() {
  slides_->Rebuild();
  photo_->RefreshButtons();
  for (const TPageHooks& page : pages_)
    if (page.Reloaded) Guarded(page.Reloaded);
  if (pages_[album_->ActivePage].Shown) Guarded(pages_[album_->ActivePage].Shown);
  UpdateTitle();
}

void TfrmMain::AlbumEdited() {
  UpdateTitle();
  if (restoring_) return;
  TAlbumState now = album_->State();
  if (now == *state_) {
    state_->SelectedSlide = now.SelectedSlide;
    return;
  }
  const QString text = DescribeEdit(*state_, now);
  TAlbumState before = std::move(*state_);
  *state_ = now;
  undo_->push(new TAlbumEdit([this](const TAlbumState& state) { RestoreState(state); }, std::move(before),
                             std::move(now), text));
}

void TfrmMain::RestoreState(const TAlbumState& state) {
  restoring_ = true;
  const bool themes = state.TemplateName != album_->TemplateName || state.LoadingBarName != album_->LoadingBarName;
  album_->SetState(state);
  *state_ = state;
  slides_->Rebuild();
  photo_->RefreshButtons();
  // The theme page reads its catalogues and stage again only when the
  // choice itself changed: a stage edit under way stays otherwise.
  for (int page = 0; page < int(pages_.size()); ++page)
    if (pages_[std::size_t(page)].Reloaded && (page != TFlashAlbum::ThemePage || themes))
      Guarded(pages_[std::size_t(page)].Reloaded);
  if (state.SelectedSlide >= 0 && std::size_t(state.SelectedSlide) < album_->SlideViews.Count())
    album_->SelectSlide(album_->SlideViews[std::size_t(state.SelectedSlide)]);
  if (pages_[album_->ActivePage].Shown && album_->ActivePage != TFlashAlbum::ThemePage)
    Guarded(pages_[album_->ActivePage].Shown);
  restoring_ = false;
  UpdateTitle();
}

void TfrmMain::ResetHistory() {
  undo_->clear();
  *state_ = album_->State();
}

void TfrmMain::RememberSaved() {
  saved_text_ = ProjectFileText(*album_);
  UpdateTitle();
}

bool TfrmMain::IsModified() const { return ProjectFileText(*album_) != saved_text_; }

void TfrmMain::UpdateTitle() {
  const QString name = album_->ProjectFileName.empty()
                           ? tr("Untitled")
                           : QFileInfo(QString::fromStdString(album_->ProjectFileName)).fileName();
  setWindowTitle(
      QStringLiteral("%1%2 - %3").arg(name, IsModified() ? QStringLiteral("*") : QString(), kApplicationTitle));
  // The band shows it too: the window has no system frame of its own.
  title_->setText(windowTitle());
  title_->setToolTip(QString::fromStdString(album_->ProjectFileName));
}

bool TfrmMain::Guarded(const std::function<void()>& command) {
  try {
    command();
    return true;
  } catch (const std::exception& error) {
    QMessageBox::critical(this, QString::fromLatin1(kApplicationTitle), QString::fromStdString(error.what()));
  }
  return false;
}

bool TfrmMain::ConfirmUnsaved() {
  if (!IsModified()) return true;
  const QString name = album_->ProjectFileName.empty()
                           ? tr("The new album")
                           : tr("The album \"%1\"").arg(QFileInfo(QString::fromStdString(album_->ProjectFileName)).fileName());
  QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kApplicationTitle),
                  tr("%1 has changes that are not saved.").arg(name),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setObjectName("UnsavedQuestion");
  box.setInformativeText(tr("Save them first?"));
  box.setDefaultButton(QMessageBox::Save);
  switch (box.exec()) {
    case QMessageBox::Save:
      return SaveAlbum(false);
    case QMessageBox::Discard:
      return true;
    default:
      return false;
  }
}

QString TfrmMain::AskProjectFile(bool save) {
  QSettings settings;
  QString folder = settings.value("LastProjectFolder").toString();
  if (folder.isEmpty() || !QFileInfo(folder).isDir())
    folder = QString::fromStdString(album_->Publish.Folder.empty() ? QDir::homePath().toStdString()
                                                                   : album_->Publish.Folder);
  QFileDialog dialog(this, save ? tr("Save Album") : tr("Open Album"), folder,
                     tr("Yel albums (*.yel);;All files (*)"));
  dialog.setObjectName(save ? "SaveDialog" : "OpenDialog");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix("yel");
    const QString current = QString::fromStdString(album_->ProjectFileName);
    dialog.selectFile(current.isEmpty() ? QString::fromStdString(album_->Publish.Name) + ".yel" : current);
  } else {
    dialog.setFileMode(QFileDialog::ExistingFile);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

bool TfrmMain::NewAlbum() {
  if (!ConfirmUnsaved()) return false;
  album_->ClearSlides();
  // The new album is not the file opened before: "Save" asks for a name
  // instead of overwriting that project.
  album_->ProjectFileName.clear();
  AlbumReloaded();
  RememberSaved();
  ResetHistory();
  return true;
}

bool TfrmMain::OpenAlbum(const QString& file) {
  if (!ConfirmUnsaved()) return false;
  const QString path = file.isEmpty() ? AskProjectFile(false) : file;
  if (path.isEmpty()) return false;
  if (!Guarded([&] { OpenProjectFile(*album_, QFileInfo(path).absoluteFilePath().toStdString()); })) return false;
  AddRecentProject(path);
  AlbumReloaded();
  RememberSaved();
  ResetHistory();
  return true;
}

bool TfrmMain::SaveAlbum(bool save_as) {
  std::string path = album_->ProjectFileName;
  if (SaveNeedsFileName(*album_, save_as)) {
    const QString chosen = AskProjectFile(true);
    if (chosen.isEmpty()) return false;
    path = QFileInfo(chosen).absoluteFilePath().toStdString();
  }
  if (!Guarded([&] { SaveProjectFile(*album_, path); })) return false;
  AddRecentProject(QString::fromStdString(path));
  RememberSaved();
  return true;
}

void TfrmMain::ShowAbout() {
  TAboutBox about(this);
  about.exec();
}

void TfrmMain::OpenSupportPage() {
  if (!QDesktopServices::openUrl(QUrl(SupportAddress())))
    QMessageBox::critical(this, QString::fromLatin1(kApplicationTitle),
                          tr("No web browser could be started for %1.").arg(SupportAddress()));
}

void TfrmMain::ToggleMaximized() {
  if (isMaximized())
    showNormal();
  else
    showMaximized();
}

void TfrmMain::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange && maximize_button_) {
    maximize_button_->setIcon(DrawIcon(isMaximized() ? TIconKind::Restore : TIconKind::Maximize));
    maximize_button_->setToolTip(isMaximized() ? tr("Restore") : tr("Maximize"));
  }
  QWidget::changeEvent(event);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (!ConfirmUnsaved()) {
    event->ignore();
    return;
  }
  if (pages_[album_->ActivePage].Hidden) Guarded(pages_[album_->ActivePage].Hidden);
  event->accept();
}

void TfrmMain::StartUp() {
  if (QScreen* screen = this->screen()) {
    const QRect work = screen->availableGeometry();
    setMaximumSize(work.size());
    move(work.topLeft());
  }
  showMaximized();
}

QImage TfrmMain::Screenshot(const QSize& size) {
  setAttribute(Qt::WA_DontShowOnScreen);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  resize(size);
  show();
  // Let the folder tree list its folders, then wait for the thumbnails.
  QElapsedTimer settle;
  settle.start();
  while (settle.elapsed() < 400) {
    QApplication::processEvents();
    QThread::msleep(10);
  }
  thumbnails_->WaitIdle(30000);
  QApplication::processEvents();
  QImage picture = grab().toImage();
  // A grab of the widgets does not reach what the players draw through the
  // web engine: each shown player's current picture is painted in, after its
  // movie has run for a moment (a transition under way, the album past its
  // loading frame).
  QPainter painter(&picture);
  for (TFlashPlayer* player : findChildren<TFlashPlayer*>()) {
    if (!player->isVisibleTo(this) || !player->WaitForMovie(20000)) continue;
    settle.restart();
    while (settle.elapsed() < 1500) {
      QApplication::processEvents();
      QThread::msleep(10);
    }
    player->WaitForDrawing();
    const QImage shown = player->CurrentPicture();
    if (!shown.isNull()) painter.drawImage(player->mapTo(this, QPoint(0, 0)), shown);
  }
  return picture;
}

}  // namespace yel::app
