// yel project: create a project from a folder of photos, or show a project.
#include <iomanip>
#include <ostream>
#include <sstream>

#include "album/album_model.h"
#include "album/effect_codes.h"
#include "album/locale_numbers.h"
#include "album/photo_files.h"
#include "album/project_file.h"
#include "base/error.h"
#include "base/paths.h"
#include "tools/yel/cli.h"

namespace yel::cli {
namespace {

constexpr const char* kProjectHelp =
    "Usage: yel project new --photos DIR [-o FILE.yel] [--seed N]\n"
    "       yel project show FILE.yel\n"
    "\n"
    "new   makes an album with one slide per photo of DIR (.bmp, .jpg, .jpeg,\n"
    "      .png), in name order, each with a random entry transition, and saves\n"
    "      it as FILE.yel (to standard output without -o).\n"
    "      --seed N  draws the transitions from seed N, for repeatable results\n"
    "show  prints the album settings and one line per slide.\n";

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
  throw UsageError{"unknown subcommand '" + args[0] + "' (new or show)"};
}

}  // namespace yel::cli
