// yel project: create a project from a folder of photos, show a project, or
// set its template, loading bar and music.
#include <iomanip>
#include <optional>
#include <ostream>
#include <sstream>

#include "album/album_model.h"
#include "album/effect_codes.h"
#include "album/locale_numbers.h"
#include "album/photo_files.h"
#include "album/project_file.h"
#include "album/theme_catalogue.h"
#include "base/error.h"
#include "base/paths.h"
#include "base/text.h"
#include "tools/yel/cli.h"

namespace yel::cli {
namespace {

constexpr const char* kProjectHelp =
    "Usage: yel project new --photos DIR [-o FILE.yel] [--seed N]\n"
    "       yel project show FILE.yel\n"
    "       yel project set FILE.yel [--template NAME] [--loading-bar NAME]\n"
    "                       [--music FILE | --no-music] [--app-folder DIR]\n"
    "\n"
    "new   makes an album with one slide per photo of DIR (.bmp, .jpg, .jpeg,\n"
    "      .png), in name order, each with a random entry transition, and saves\n"
    "      it as FILE.yel (to standard output without -o).\n"
    "      --seed N  draws the transitions from seed N, for repeatable results\n"
    "show  prints the album settings, its template, loading bar and music, and\n"
    "      one line per slide.\n"
    "set   changes the project's template and loading bar (installed ones, see\n"
    "      yel themes; an empty NAME names none, so the first is used) and its\n"
    "      music (an MP3 or WAV file, kept as an absolute path), which yel\n"
    "      publish and the editor then use. --app-folder DIR reads the themes\n"
    "      under DIR instead of the program's folder.\n";

std::string ColourText(TColor colour) {
  std::ostringstream text;
  text << static_cast<std::int32_t>(colour);
  if (colour >> 24) {
    text << " (system colour)";
  } else {
    // Platform colours are 0x00BBGGRR; show them as #RRGGBB.
    text << " (#" << std::hex << std::uppercase << std::setfill('0') << std::setw(2) << (colour & 0xFF)
         << std::setw(2) << ((colour >> 8) & 0xFF) << std::setw(2) << ((colour >> 16) & 0xFF) << ")";
  }
  return text.str();
}

int RunNew(const Args& args) {
  ArgReader reader(args);
  std::string photos, output;
  std::optional<std::uint32_t> seed;
  while (!reader.AtEnd()) {
    if (reader.TakeFlag({"--photos"})) {
      photos = reader.TakeValue();
    } else if (reader.TakeFlag({"-o", "--output"})) {
      output = reader.TakeValue();
    } else if (reader.TakeFlag({"--seed"})) {
      std::string text = reader.TakeValue();
      auto value = ParseInteger(text);
      if (!value || *value < 0 || *value > UINT32_MAX) throw UsageError{"--seed needs a number, not '" + text + "'"};
      seed = static_cast<std::uint32_t>(*value);
    } else {
      throw UsageError{"unexpected argument '" + reader.Peek() + "'"};
    }
  }
  if (photos.empty()) throw UsageError{"--photos DIR is required"};

  auto files = ListPhotoFiles(AbsolutePath(photos));
  if (files.empty()) ThrowFileError(photos, "no photo files (.bmp, .jpg, .jpeg, .png) in this folder");

  TFlashAlbum album;
  if (seed) album.SeedRandom(*seed);
  for (const auto& file : files) album.AddSlide(file);

  if (output.empty()) {
    Out() << ProjectFileText(album);
  } else {
    SaveProjectFile(album, output);
    Err() << "Saved " << output << " with " << album.SlideViews.Count() << " slides.\n";
  }
  return 0;
}

int RunShow(const Args& args) {
  ArgReader reader(args);
  if (reader.AtEnd()) throw UsageError{"which project file? Give FILE.yel"};
  std::string path = reader.TakePositional();
  if (!reader.AtEnd()) throw UsageError{"unexpected argument '" + reader.Peek() + "'"};

  TFlashAlbum album;
  OpenProjectFile(album, path);
  std::ostream& out = Out();
  out << "Project     " << path << "\n"
      << "Size        " << album.Width << " x " << album.Height << "\n"
      << "Frame rate  " << album.FrameRate << "\n"
      << "Background  " << ColourText(album.Background) << "\n"
      << "Template    " << (album.TemplateName.empty() ? "(the first installed)" : album.TemplateName) << "\n"
      << "Loading bar " << (album.LoadingBarName.empty() ? "(the first installed)" : album.LoadingBarName) << "\n"
      << "Music       " << (album.MusicFile.empty() ? "(none)" : album.MusicFile) << "\n"
      << "Slides      " << album.SlideViews.Count() << "\n";
  for (std::size_t i = 0; i < album.SlideViews.Count(); ++i) {
    const TSlideView& slide = album.SlideViews[i];
    std::string effect = EffectName(slide.Transition.EntryEffect);
    if (effect.empty()) effect = "none";
    effect += " (" + std::to_string(slide.Transition.EntryEffect) + ")";
    out << std::setw(4) << slide.SlideIndex << "  " << std::left << std::setw(15) << effect << std::right << "  speed " << FormatDecimal(slide.Transition.Speed) << " s  duration "
        << FormatDecimal(slide.Transition.Duration) << " s  sound " << slide.Transition.SoundFile << "  "
        << slide.ImageFile << "\n";
  }
  return 0;
}

// An installed entry of the catalogue, or a usage error listing them.
void CheckInstalled(const std::string& what, const std::string& name, const TViews& views) {
  if (views.Selected && views.Selected->Name == name) return;
  std::string names;
  for (const auto& view : views.Items) names += (names.empty() ? "" : ", ") + view->Name;
  throw UsageError{"no " + what + " named '" + name + "' is installed" +
                   (names.empty() ? std::string(" (none are)") : " (installed: " + names + ")")};
}

int RunSet(const Args& args) {
  ArgReader reader(args);
  std::string path, appFolder;
  std::optional<std::string> templateName, barName, music;
  while (!reader.AtEnd()) {
    if (reader.TakeFlag({"--template"})) {
      templateName = reader.TakeValue();
    } else if (reader.TakeFlag({"--loading-bar"})) {
      barName = reader.TakeValue();
    } else if (reader.TakeFlag({"--music"})) {
      music = reader.TakeValue();
      if (music->empty()) throw UsageError{"--music needs a file; --no-music removes the music"};
    } else if (reader.TakeFlag({"--no-music"})) {
      music = std::string();
    } else if (reader.TakeFlag({"--app-folder"})) {
      appFolder = reader.TakeValue();
      if (!FolderExists(appFolder)) throw UsageError{"no folder " + appFolder};
    } else if (path.empty()) {
      path = reader.TakePositional();
    } else {
      throw UsageError{"unexpected argument '" + reader.Peek() + "'"};
    }
  }
  if (path.empty()) throw UsageError{"which project file? Give FILE.yel"};
  if (!templateName && !barName && !music)
    throw UsageError{"nothing to set: give --template, --loading-bar, --music or --no-music"};

  TFlashAlbum album(appFolder);
  OpenProjectFile(album, path);
  if (templateName && !templateName->empty()) {
    LoadTemplates(album, *templateName);
    CheckInstalled("template", *templateName, album.Templates);
  }
  if (barName && !barName->empty()) {
    LoadLoadingBars(album, *barName);
    CheckInstalled("loading bar", *barName, album.LoadingBars);
  }
  if (music && !music->empty()) {
    if (!FileExists(*music)) ThrowFileError(*music, "the music file does not exist or is not a regular file");
    const std::string kind = AsciiLower(ExtensionOf(*music));
    if (kind != ".mp3" && kind != ".wav") ThrowFileError(*music, "the music must be an MP3 or WAV file (.mp3, .wav)");
  }
  if (templateName) album.TemplateName = *templateName;
  if (barName) album.LoadingBarName = *barName;
  if (music) album.MusicFile = music->empty() ? std::string() : AbsolutePath(*music);
  SaveProjectFile(album, path);
  Err() << "Saved " << path << "\n";
  return 0;
}

}  // namespace

int RunProject(const Args& args) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    (args.empty() ? Err() : Out()) << kProjectHelp;
    return args.empty() ? 2 : 0;
  }
  if (WantsHelp(args)) {
    Out() << kProjectHelp;
    return 0;
  }
  Args rest(args.begin() + 1, args.end());
  if (args[0] == "new") return RunNew(rest);
  if (args[0] == "show") return RunShow(rest);
  if (args[0] == "set") return RunSet(rest);
  throw UsageError{"unknown subcommand '" + args[0] + "' (new, show or set)"};
}

}  // namespace yel::cli
