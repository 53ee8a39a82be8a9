// Stage movies and the photo-frame and shape wrappers of the theme editor.
#include "publish/theme_movies.h"

#include <cmath>
#include <filesystem>
#include <optional>
#include <variant>
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
#include "swf/format/actions/action_records.h"
#include "swf/format/actions/do_action_tags.h"
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

void MakePhotoFrameWrapper(const std::string& source, const std::string& dest, const std::string& name, double width,
                           double height, double fps) {
  const std::map<std::string, std::string> variables = ReadMovieVariables(source);
  auto number = [&](const char* key, double fallback) {
    const auto found = variables.find(key);
    const std::optional<double> value =
        found == variables.end() ? std::nullopt : ParseDecimal(found->second, '.');
    return value && std::isfinite(*value) ? *value : fallback;
  };
  double frameWidth = 0, frameHeight = 0;
  MovieFrameSize(source, frameWidth, frameHeight);
  const double designWidth = number("DesignWidth", frameWidth), designHeight = number("DesignHeight", frameHeight);
  std::vector<std::string> script = {
      "var Name:String = " + ScriptString(name) + ";", "var Left:Number = " + ScriptNumber(number("Left", 0)) + ";",
      "var Top:Number = " + ScriptNumber(number("Top", 0)) + ";", "var Width:Number = " + ScriptNumber(width) + ";",
      "var Height:Number = " + ScriptNumber(height) + ";",
      "var nFrame = this.attachMovie(\"mc_PhotoFrame\", \"mc_Frame\", 1);", "nFrame._width = Width;",
      "nFrame._height = Height;"};
  if (designWidth > 0 && designHeight > 0) {
    script.push_back("var DesignWidth:Number = " + ScriptNumber(designWidth) + ";");
    script.push_back("var DesignHeight:Number = " + ScriptNumber(designHeight) + ";");
    script.push_back("nFrame._xscale = 100 * Width / DesignWidth;");
    script.push_back("nFrame._yscale = 100 * Height / DesignHeight;");
  }
  MakeWrapper(source, dest, width, height, fps, script);
}

std::map<std::string, std::string> ReadMovieVariables(const std::string& file) {
  swf::TSWFStreamReader reader(file);
  if (!reader.IsSWF) ThrowFileError(file, "not an SWF movie");
  reader.ParseTags(true, true);
  std::map<std::string, std::string> variables;
  for (std::size_t i = 0; i < reader.TagCount(); ++i) {
    swf::TSWFObject* tag = reader.TagInfo(i).TagObject;
    if (tag && tag->TagID == swf::tag::ShowFrame) break;
    auto* actions = dynamic_cast<swf::TSWFDoAction*>(tag);
    if (!actions) continue;
    // A small stack machine for constants pushed and stored; any other
    // action forgets what the stack held.
    std::vector<std::string> pool;
    std::vector<std::optional<std::string>> stack;
    const swf::TSWFActionList& list = actions->Actions();
    for (std::size_t a = 0; a < list.Count(); ++a) {
      const swf::TSWFAction* action = list[a];
      if (const auto* constants = dynamic_cast<const swf::TSWFActionConstantPool*>(action)) {
        pool = constants->ConstantPool;
      } else if (const auto* push = dynamic_cast<const swf::TSWFActionPush*>(action)) {
        for (const swf::TPushValueInfo& value : push->Values) {
          std::optional<std::string> text;
          if (value.ValueType == swf::kPushConstant8 || value.ValueType == swf::kPushConstant16) {
            const auto* index = std::get_if<std::int64_t>(&value.Value);
            if (index && *index >= 0 && std::size_t(*index) < pool.size()) text = pool[std::size_t(*index)];
          } else if (const auto* s = std::get_if<std::string>(&value.Value)) {
            text = *s;
          } else if (const auto* n = std::get_if<std::int64_t>(&value.Value)) {
            text = std::to_string(*n);
          } else if (const auto* f = std::get_if<float>(&value.Value)) {
            text = ScriptNumber(*f);
          } else if (const auto* d = std::get_if<double>(&value.Value)) {
            text = ScriptNumber(*d);
          }
          stack.push_back(text);
        }
      } else if ((action->ActionCode == 0x3C || action->ActionCode == 0x1D) && stack.size() >= 2) {
        // DefineLocal, SetVariable: name and value.
        const std::optional<std::string> value = stack.back();
        stack.pop_back();
        const std::optional<std::string> name = stack.back();
        stack.pop_back();
        if (name && value) variables[*name] = *value;
      } else {
        stack.clear();
      }
    }
  }
  return variables;
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
