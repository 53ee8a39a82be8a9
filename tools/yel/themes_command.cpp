// yel themes: lists the installed templates and loading bars (the catalogue
// under the program's folder, or under --app-folder), with the default ones
// that a project naming none is published with.
#include <ostream>

#include "album/album_model.h"
#include "album/theme_catalogue.h"
#include "base/paths.h"
#include "tools/yel/cli.h"

namespace yel::cli {
namespace {

constexpr const char* kThemesHelp =
    "Usage: yel themes [--app-folder DIR]\n"
    "\n"
    "Lists the installed templates and loading bars in the order of their\n"
    "catalogue lists. The first of each (marked *) is the default that a\n"
    "project naming none is published with.\n"
    "\n"
    "  --app-folder DIR   read the themes under DIR instead of the program's\n"
    "                     folder\n";

void PrintCatalogue(const char* title, const TViews& views, const std::string& folder) {
  std::ostream& out = Out();
  const std::string list = ResolvePathIgnoreCase(folder + "Config.xml");
  if (!FileExists(list)) {
    out << title << ": none installed (no " << folder << "Config.xml)\n";
    return;
  }
  if (views.Items.empty()) {
    out << title << ": none installed (" << list << " lists none with a View.jpg)\n";
    return;
  }
  out << title << " (" << folder << "):\n";
  for (const auto& view : views.Items) out << (view->Selected ? "  * " : "    ") << view->Name << "\n";
}

}  // namespace

int RunThemes(const Args& args) {
  if (WantsHelp(args)) {
    Out() << kThemesHelp;
    return 0;
  }
  std::string appFolder;
  ArgReader reader(args);
  while (!reader.AtEnd()) {
    if (reader.TakeFlag({"--app-folder"})) {
      appFolder = reader.TakeValue();
      if (!FolderExists(appFolder)) throw UsageError{"no folder " + appFolder};
    } else {
      throw UsageError{"unexpected argument '" + reader.TakePositional() + "'"};
    }
  }
  TFlashAlbum album(appFolder);
  std::vector<std::string> rejected;
  LoadTemplates(album, "", &rejected);
  LoadLoadingBars(album, "", &rejected);
  for (const auto& message : rejected) Err() << "yel themes: " << message << "\n";
  PrintCatalogue("Templates", album.Templates, ThemeFolderPath(album.AppFolder, kTemplateFolder));
  PrintCatalogue("Loading bars", album.LoadingBars, ThemeFolderPath(album.AppFolder, kLoadingBarFolder));
  return 0;
}

}  // namespace yel::cli
