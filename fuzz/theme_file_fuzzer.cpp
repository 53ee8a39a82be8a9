// libFuzzer target for theme files: the same bytes are read as a template's
// and a loading bar's configuration file (INI), as a catalogue list file
// (XML) and as the effect library (a zip archive holding the effect list
// and tiles), each through a file as the program reads them. Refusals must
// be exceptions carrying a message; the sanitizers check the rest.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "album/album_model.h"
#include "album/theme_catalogue.h"
#include "fuzz/scratch_folder.h"

namespace {

using yel::fuzz::WriteScratchFile;

// The program's folder: a loading bar "Bar" whose Config.ini is the input.
const std::string& Folder() {
  static const std::string folder = [] {
    const std::string app = yel::fuzz::ScratchFolder();
    std::filesystem::create_directories(app + "Theme/LoadingBar/Bar");
    WriteScratchFile(app + "Theme/LoadingBar/Bar/Bar.swf", "FWS");
    return app;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string& app = Folder();
  try {
    WriteScratchFile(app + "config.ini", bytes);
    yel::TTemplateConfig config = yel::TTemplateConfig::Load(app + "config.ini");
    for (const yel::TTemplateShape& shape : config.Shapes) (void)yel::ThemeNameProblem(shape.FileName);
    (void)yel::TLoadingBarConfig::Load(app + "config.ini");
  } catch (const std::exception&) {
  }
  try {
    WriteScratchFile(app + "Theme/LoadingBar/Bar/Config.ini", bytes);
    yel::TFlashAlbum album(app);
    (void)yel::ApplyLoadingBar(album, "Bar");
  } catch (const std::exception&) {
  }
  try {
    WriteScratchFile(app + "Config.xml", bytes);
    std::vector<std::string> rejected;
    (void)yel::ReadListFile(app + "Config.xml", &rejected);
  } catch (const std::exception&) {
  }
  try {
    WriteScratchFile(app + "YEL_Effect.dll", bytes);
    yel::TFlashAlbum album(app);
    std::vector<std::string> rejected;
    yel::LoadEffectCatalogue(album, &rejected);
  } catch (const std::exception&) {
  }
  return 0;
}
