// TfrmMain: the editor's single window. It owns the album for the whole run
// and shows one of five pages (Photo, Effect, Theme, Setting, Publish) chosen
// by the page buttons of its own top band, the slide strip under the Photo
// and Effect pages, and the file commands. The window has no system frame:
// the band holds the icon, the title label that moves the window, "File",
// "Save", "Internet" and the minimise, maximise and close buttons.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

class QAbstractButton;
class QButtonGroup;
class QMenu;
class QStackedWidget;
class QToolButton;
class QTemporaryDir;
class QUndoStack;

namespace yel {
class TFlashAlbum;
struct TAlbumState;
}

namespace yel::app {

class TfrmEffect;
class TfrmPhoto;
class TfrmPublish;
class TfrmSetting;
class TfrmSlides;
class TfrmTheme;
class TThumbnails;
class TTitleLabel;

// The product name: the application title and the title label.
inline constexpr const char* kApplicationTitle = "Yel Album Studio";

class TfrmMain : public QWidget {
  Q_OBJECT

 public:
  // app_folder: where the themes and the effect library are (the program's
  // folder when empty).
  explicit TfrmMain(const std::string& app_folder = {}, QWidget* parent = nullptr);
  ~TfrmMain() override;

  TFlashAlbum& Album() { return *album_; }

  // Presses the page's button (0 Photo ... 4 Publish).
  void SetActivePage(int page);
  int ActivePage() const;
  QAbstractButton* PageButton(int page) const;
  QWidget* Page(int page) const;
  TfrmPhoto* PhotoPage() const { return photo_; }
  TfrmSlides* SlideStrip() const { return slides_; }
  TfrmTheme* ThemePage() const { return theme_; }
  TfrmEffect* EffectPage() const { return effect_; }
  TfrmSetting* SettingPage() const { return setting_; }
  TfrmPublish* PublishPage() const { return publish_; }
  TThumbnails& Thumbnails() { return *thumbnails_; }

  // File commands. Each returns whether it was carried out (false when the
  // user cancelled or it failed; failures are shown in an error box).
  bool NewAlbum();
  bool OpenAlbum(const QString& file = {});  // asks for the file when empty
  bool SaveAlbum(bool save_as);
  // Whether the album differs from what was last opened or saved (or from
  // the new album): what a project file would keep.
  bool IsModified() const;
  // Asks whether to save unsaved changes; true to go on (saved or
  // discarded), false when the user cancelled.
  bool ConfirmUnsaved();

  // Every album edit (slides added, removed, moved; effects and timing;
  // settings and music; the theme choice) is a step here: Undo (Ctrl+Z) and
  // Redo (Ctrl+Shift+Z) in the File menu. New and Open start a new history.
  QUndoStack& UndoStack() const { return *undo_; }

  QMenu* FileMenu() const { return file_menu_; }
  void ShowFileMenu();
  void ShowAbout();
  void OpenSupportPage();

  // Limits the window to the screen's work area, moves it there and shows
  // it maximised.
  void StartUp();
  // The window at `size` with the current page in front, rendered without
  // being shown on screen (thumbnails are waited for).
  QImage Screenshot(const QSize& size);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private slots:
  // The window's title: the project's name, marked when it has unsaved
  // changes (pages that change the album say so with AlbumModified()).
  void UpdateTitle();

 private:
  // What the main window asks of a page besides showing it.
  struct TPageHooks {
    QWidget* Widget = nullptr;
    std::function<void()> Shown, Hidden, Reloaded, SlideSelected;
  };

  void CreatePages();
  QWidget* CreateTopBand();
  void CreateFileMenu();
  void SlideSelected();
  void SlidesChanged();
  void AlbumReloaded();
  // An album edit happened (a page said so): one undo step from the state
  // before it, unless nothing a step keeps changed.
  void AlbumEdited();
  // Puts the album back into a state of its history and the pages with it.
  void RestoreState(const TAlbumState& state);
  // The history starts again at the album as it is (New, Open).
  void ResetHistory();
  void RememberSaved();
  void AddRecentProject(const QString& file);
  void FillRecentMenu();
  void ToggleMaximized();
  // Runs a command, showing what it throws in an error box.
  bool Guarded(const std::function<void()>& command);
  QString AskProjectFile(bool save);

  // The album's TempFolder: this user's own, removed with the window.
  std::unique_ptr<QTemporaryDir> temp_folder_;
  std::unique_ptr<TFlashAlbum> album_;
  std::unique_ptr<TThumbnails> thumbnails_;
  std::string saved_text_;  // the project text when last saved or opened
  QUndoStack* undo_ = nullptr;
  std::unique_ptr<TAlbumState> state_;  // the album after the last step
  bool restoring_ = false;
  QWidget* body_ = nullptr;  // every child widget; freed before the album
  TTitleLabel* title_ = nullptr;
  QButtonGroup* page_group_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  QToolButton* file_button_ = nullptr;
  QToolButton* maximize_button_ = nullptr;
  QMenu* file_menu_ = nullptr;
  QMenu* recent_menu_ = nullptr;
  TfrmPhoto* photo_ = nullptr;
  TfrmSlides* slides_ = nullptr;
  TfrmTheme* theme_ = nullptr;
  TfrmEffect* effect_ = nullptr;
  TfrmSetting* setting_ = nullptr;
  TfrmPublish* publish_ = nullptr;
  std::array<TPageHooks, 5> pages_;
};

// "Ver: " and the file version cut before its last full stop (1.2.3.4 shows
// as 1.2.3; a version without a full stop shows "Ver: " alone).
QString VersionCaption(const QString& file_version);
// The program's file version (four numbers, from the build).
QString FileVersion();
// The maker's homepage and support page addresses (from the build).
QString HomepageAddress();
QString SupportAddress();

}  // namespace yel::app
