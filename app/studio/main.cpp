// yel-studio: the album editor. Opens the project given as its argument (a
// double click on a .yel file), or a new album. With --screenshot it renders
// the window with one page in front into a PNG file without showing it.
#include <QApplication>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/player/flash_player.h"
#include "app/studio/about_box.h"
#include "album/album_model.h"
#include "app/studio/main_window.h"
#include "app/studio/photo_page.h"
#include "app/studio/studio_options.h"
#include "app/studio/unattended_boxes.h"
#include <memory>

int main(int argc, char** argv) {
  using namespace yel::app;
  TStudioOptions options;
  std::string problem;
  if (!ParseStudioOptions(argc, argv, options, problem)) {
    std::fprintf(stderr, "yel-studio: %s\n%s", problem.c_str(), kStudioUsage);
    return 2;
  }
  if (options.Help) {
    std::fputs(kStudioUsage, stdout);
    return 0;
  }
  // A screenshot needs no display: without one, Qt draws off screen.
  const bool has_display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
  if (!options.Screenshot.isEmpty() && !has_display && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

  SetUpFlashPlayer();
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
  QApplication::setOrganizationName(QStringLiteral("Yel"));
  QApplication::setApplicationVersion(FileVersion());
  QApplication::setDesktopFileName(QStringLiteral("yel-studio"));
  QApplication::setStyle(QStringLiteral("Fusion"));

  if (options.Screenshot.isEmpty() && !options.NoSplash) {
    TSplashWindow splash;
    splash.exec();
  }

  // A screenshot leaves the user's settings alone: it reads and writes its own.
  QTemporaryDir screenshot_settings;
  if (!options.Screenshot.isEmpty()) {
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, screenshot_settings.path());
  }

  // Nobody answers a box in screenshot mode: each goes to stderr and is
  // closed, and an error or warning makes the run fail.
  std::unique_ptr<TUnattendedBoxes> unattended;
  if (!options.Screenshot.isEmpty()) unattended = std::make_unique<TUnattendedBoxes>();

  TfrmMain window;
  if (!options.Screenshot.isEmpty()) {
    window.PhotoPage()->SetRememberFolder(false);
    if (!options.Project.isEmpty() && !window.OpenAlbum(options.Project)) {
      std::fprintf(stderr, "yel-studio: could not open %s\n", qPrintable(options.Project));
      return 1;
    }
    // The photo page shows where the album's photos are; the first slide is
    // selected, as a user would have it.
    if (!window.Album().SlideViews.Empty()) {
      window.PhotoPage()->ShowFolder(
          QFileInfo(QString::fromStdString(window.Album().SlideViews[0].ImageFile)).absolutePath());
      window.Album().SelectSlide(window.Album().SlideViews[0]);
    }
  } else if (!options.Project.isEmpty()) {
    window.OpenAlbum(options.Project);
  }
  window.SetActivePage(options.Page);

  if (!options.Screenshot.isEmpty()) {
    const QImage picture = window.Screenshot(options.Size);
    if (!unattended->Errors().isEmpty()) return 1;
    if (!WriteScreenshot(picture, options.Screenshot, problem)) {
      std::fprintf(stderr, "yel-studio: could not write %s\n", problem.c_str());
      return 1;
    }
    return 0;
  }
  window.StartUp();
  return application.exec();
}
