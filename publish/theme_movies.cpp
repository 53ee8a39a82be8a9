// Stage movies and the photo-frame and shape wrappers of the theme editor.
#include "publish/theme_movies.h"

#include <cmath>
#include <filesystem>
#include <vector>

#include "album/locale_numbers.h"
#include "album/resource_library.h"
#include "base/byte_stream.h"
#include "base/error.h"
#include "base/files.h"
#include "swf/actionscript/compile_context.h"
#include "swf/builder/flash_action_script.h"
#include "swf/builder/flash_external_movie.h"
#include "swf/builder/flash_movie.h"
#include "swf/format/swf_stream.h"
#include "swf/format/tag_codes.h"

namespace yel {

namespace {

constexpr std::uint32_t kStageGrey = 0x808080;
constexpr double kMaxSide = 8191;  // pixels a movie's frame can hold

// A number as ActionScript source (general format, full stop).
std::string ScriptNumber(double value) { return FormatDecimal(value, '.'); }

// An ActionScript string literal.
std::string ScriptString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    if (c == '\r') {
      out += "\\r";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

std::uint16_t Side(double pixels, const std::string& dest) {
  const double rounded = std::round(pixels);
  if (!std::isfinite(rounded) || rounded < 1 || rounded > kMaxSide)
    ThrowFileError(dest, "a size of " + FormatDecimal(pixels) + " pixels cannot be a movie's frame");
  return static_cast<std::uint16_t>(rounded);
}

// A wrapper: source's library without frame scripts, then script.
void MakeWrapper(const std::string& source, const std::string& dest, double width, double height, double fps,
                 const std::vector<std::string>& script) {
  // Read the source first: dest may be the same file.
  const std::vector<std::uint8_t> bytes = ReadFileBytes(source);
  swf::InstallActionCompiler();
  swf::TFlashMovie movie(0, 0, Side(width, dest), Side(height, dest), static_cast<float>(fps),
                         swf::TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  movie.SetCompressed(false);
  TBufferStream stream(bytes.data(), bytes.size());
  auto* import = movie.AddExternalMovie(stream, swf::eimResource, true);
  if (!import->Reader().IsSWF) ThrowFileError(source, "not an SWF movie");
  import->OnImportTag = [](swf::TSWFObject& tag, bool& include) {
    if (tag.TagID == swf::tag::DoAction) include = false;
  };
  if (!movie.FrameActions().CompileStrings(script)) {
    TMemoryStream& log = movie.CompileErrors();
    ThrowFileError(dest, "the wrapper's script does not compile: " +
                             std::string(reinterpret_cast<const char*>(log.Data()), log.Size()));
  }
  movie.ShowFrame(1);
  movie.MakeStreamToFile(dest);
}

}  // namespace

bool BuildStageMovie(const std::string& libraryPath, const std::string& resourceName, int width, int height,
                     double fps, const std::string& outFile) {
  std::vector<std::uint8_t> bytes;
  try {
    TResourceLibrary library(libraryPath);
    if (!library.HasResource("SWF", resourceName)) return false;
    bytes = library.ReadResource("SWF", resourceName);
  } catch (const std::exception&) {
    return false;
  }
  swf::InstallActionCompiler();
  swf::TFlashMovie movie(0, 0, width, height, static_cast<float>(fps), swf::TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  movie.BackgroundColor().SetRGB(kStageGrey);  // grey on every byte order
  TBufferStream stream(bytes.data(), bytes.size());
  movie.AddExternalMovie(stream, swf::eimResource, true);
  movie.ShowFrame(1);
  movie.MakeStreamToFile(outFile);
  return true;
}

void MakePhotoFrameWrapper(const std::string& source, const std::string& dest, const std::string& name, double left,
                           double top, double width, double height, double fps) {
  MakeWrapper(source, dest, width, height, fps,
              {"var Name:String = " + ScriptString(name) + ";", "var Left:Number = " + ScriptNumber(left) + ";",
               "var Top:Number = " + ScriptNumber(top) + ";", "var Width:Number = " + ScriptNumber(width) + ";",
               "var Height:Number = " + ScriptNumber(height) + ";",
               "var nFrame = this.attachMovie(\"mc_PhotoFrame\", \"mc_Frame\", 1);", "nFrame._width = Width;",
               "nFrame._height = Height;"});
}

void MakeShapeWrapper(const std::string& source, const std::string& dest, double width, double height, double fps) {
  const std::string name = std::filesystem::path(source).filename().string();
  MakeWrapper(source, dest, width, height, fps,
              {"var Name:String = " + ScriptString(name) + ";", "var Left:Number = 0;", "var Top:Number = 0;",
               "var Width:Number = " + ScriptNumber(width) + ";", "var Height:Number = " + ScriptNumber(height) + ";",
               "var nShape = this.attachMovie(\"mc_Shape\", \"mcShape\", 1);", "nShape._width = Width;",
               "nShape._height = Height;"});
}

void MovieFrameSize(const std::string& file, double& width, double& height) {
  swf::TSWFStreamReader reader(file);
  if (!reader.IsSWF) ThrowFileError(file, "not an SWF movie");
  const swf::TRect& r = reader.MovieRect();
  width = (double(r.Right) - r.Left) / 20.0;
  height = (double(r.Bottom) - r.Top) / 20.0;
}

}  // namespace yel
