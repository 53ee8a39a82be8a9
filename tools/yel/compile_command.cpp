// yel compile: compiles an ActionScript file into a movie whose first frame
// runs it. Compile errors are printed as FILE:LINE:COLUMN: message (the
// include or class file's name when the error is inside one); no movie is
// written then.
#include <charconv>
#include <ostream>

#include "base/byte_stream.h"
#include "base/files.h"
#include "base/paths.h"
#include "swf/actionscript/compile_context.h"
#include "swf/builder/flash_action_script.h"
#include "swf/builder/flash_button.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"
#include "swf/builder/flash_sprite.h"
#include "swf/builder/flash_movie.h"
#include "tools/yel/cli.h"

namespace yel::cli {
namespace {

constexpr const char* kCompileHelp =
    "Usage: yel compile SCRIPT.as -o OUT.swf [--swf-version N] [--size WxH]\n"
    "                   [--fps F] [--frames N] [--class-path DIR]...\n"
    "                   [--include-path DIR]... [--button SCRIPT.as]...\n"
    "                   [--clip SCRIPT.as]...\n"
    "\n"
    "Compiles the script into the actions of the first frame of a new movie\n"
    "and writes the movie (SWF version 8, 550 x 400 pixels, 24 frames per\n"
    "second and 1 frame unless told otherwise). Class files are looked up on\n"
    "the class paths and in the script's folder; include files on the include\n"
    "paths and in the script's folder. A compile error is printed as\n"
    "FILE:LINE:COLUMN: message and no movie is written.\n"
    "\n"
    "  --button SCRIPT.as  also place a button (a grey square of 100 x 100\n"
    "                      pixels, light grey under the pointer) whose\n"
    "                      on (...) handlers are the script's\n"
    "  --clip SCRIPT.as    also place a clip (a blue square of 100 x 100\n"
    "                      pixels) whose onClipEvent (...) handlers are the\n"
    "                      script's\n"
    "Buttons and clips stand in a row from the top left corner, 10 pixels\n"
    "apart, in the order given, above the frame script's drawings.\n";

int ParseInt(const std::string& text, const std::string& what, int low, int high) {
  int value = 0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || value < low || value > high)
    throw UsageError{what + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                     ", not '" + text + "'"};
  return value;
}

// A button or clip script of the command line.
struct THandlerScript {
  bool Button;
  std::string File;
};

// A square of 100 x 100 pixels at the origin.
swf::TFlashShape* Square(swf::TFlashMovie& movie, std::uint32_t rgb) {
  swf::TFlashShape* shape = movie.AddRectangle(0, 0, 100, 100);
  shape->SetSolidColor(rgb);
  return shape;
}

std::string FolderOf(const std::string& path) {
  std::string absolute = AbsolutePath(path);
  return absolute.substr(0, absolute.rfind('/') + 1);
}

}  // namespace

int RunCompile(const Args& args) {
  if (WantsHelp(args)) {
    Out() << kCompileHelp;
    return 0;
  }
  std::string script, output;
  int version = 8, width = 550, height = 400, frames = 1;
  float fps = 24;
  std::vector<std::string> classPaths, includePaths;
  std::vector<THandlerScript> handlers;
  ArgReader reader(args);
  while (!reader.AtEnd()) {
    if (reader.TakeFlag({"-o", "--output"})) {
      output = reader.TakeValue();
    } else if (reader.TakeFlag({"--swf-version"})) {
      version = ParseInt(reader.TakeValue(), "--swf-version", 1, 8);
    } else if (reader.TakeFlag({"--size"})) {
      std::string size = reader.TakeValue();
      std::size_t x = size.find_first_of("xX");
      if (x == std::string::npos) throw UsageError{"--size must be WIDTHxHEIGHT, not '" + size + "'"};
      width = ParseInt(size.substr(0, x), "the width", 1, 8191);
      height = ParseInt(size.substr(x + 1), "the height", 1, 8191);
    } else if (reader.TakeFlag({"--fps"})) {
      std::string text = reader.TakeValue();
      auto result = std::from_chars(text.data(), text.data() + text.size(), fps);
      if (result.ec != std::errc() || result.ptr != text.data() + text.size() || !(fps >= 1 && fps <= 120))
        throw UsageError{"--fps must be a number from 1 to 120, not '" + text + "'"};
    } else if (reader.TakeFlag({"--frames"})) {
      frames = ParseInt(reader.TakeValue(), "--frames", 1, 16000);
    } else if (reader.TakeFlag({"--class-path"})) {
      classPaths.push_back(reader.TakeValue());
    } else if (reader.TakeFlag({"--include-path"})) {
      includePaths.push_back(reader.TakeValue());
    } else if (reader.TakeFlag({"--button"})) {
      handlers.push_back({true, reader.TakeValue()});
    } else if (reader.TakeFlag({"--clip"})) {
      handlers.push_back({false, reader.TakeValue()});
    } else if (script.empty()) {
      script = reader.TakePositional();
    } else {
      throw UsageError{"unexpected argument '" + reader.TakePositional() + "'"};
    }
  }
  if (script.empty()) throw UsageError{"no script given"};
  if (output.empty()) throw UsageError{"no output file given (-o OUT.swf)"};
  for (const auto& folder : classPaths)
    if (!FolderExists(folder)) throw UsageError{"no class folder " + folder};
  for (const auto& folder : includePaths)
    if (!FolderExists(folder)) throw UsageError{"no include folder " + folder};

  CheckNotAnInput(output, {script});
  std::vector<std::uint8_t> source = ReadFileBytes(script);
  std::vector<std::vector<std::uint8_t>> handlerSources;
  for (const auto& handler : handlers) handlerSources.push_back(ReadFileBytes(handler.File));
  swf::InstallActionCompiler();
  swf::TFlashMovie movie(0, 0, width, height, fps, swf::TSWFSystemCoord::Pix);
  movie.SetVersion(static_cast<std::uint8_t>(version));
  std::string compiling = script;
  try {
    swf::TBaseCompileContext& context = movie.CompileContext();
    // The script itself is never one of the class files of its folder.
    if (auto* compiler = dynamic_cast<swf::TCompileContext*>(&context)) compiler->SetMainScript(script);
    for (const auto& folder : includePaths) context.AddIncludePath(folder);
    context.AddIncludePath(FolderOf(script));
    for (const auto& folder : classPaths) context.AddClassPath(folder);
    context.AddClassPath(FolderOf(script));
    TBufferStream stream(source.data(), source.size());
    context.CompileScript(stream, movie.FrameActions());
    // Buttons and clips, each with its handlers, in a row.
    for (std::size_t i = 0; i < handlers.size(); ++i) {
      compiling = handlers[i].File;
      const auto depth = static_cast<std::uint16_t>(i + 1);
      const auto x = static_cast<std::int32_t>(i * 110);
      TBufferStream handlerStream(handlerSources[i].data(), handlerSources[i].size());
      swf::TFlashPlaceObject* place = nullptr;
      if (handlers[i].Button) {
        // The looks first: a character is defined before what uses it.
        swf::TFlashShape* up = Square(movie, 0x808080);
        swf::TFlashShape* over = Square(movie, 0xC0C0C0);
        swf::TFlashButton* button = movie.AddButton(false, true);
        button->AddRecord(*up, swf::kButtonUp | swf::kButtonHitTest, 1);
        button->AddRecord(*over, swf::kButtonOver | swf::kButtonDown, 2);
        context.CompileButton(handlerStream, *button);
        place = movie.PlaceObject(button, depth);
      } else {
        swf::TFlashShape* square = Square(movie, 0xFF0000);  // blue: the builder's colours are BGR
        swf::TFlashSprite* clip = movie.AddSprite();
        clip->PlaceObject(square, 1);
        clip->ShowFrame();
        place = movie.PlaceObject(clip, depth);
        context.CompileClip(handlerStream, *place);
      }
      place->SetTranslate(x, 0);
    }
  } catch (const swf::EActionCompileError& error) {
    std::string file = error.File.empty() ? compiling : error.File;
    Err() << file << ":" << error.Line << ":" << error.Column << ": " << error.what() << "\n";
    return 1;
  }
  movie.ShowFrame(1);
  if (frames > 1) movie.ShowFrame(static_cast<std::uint16_t>(frames - 1));
  movie.MakeStreamToFile(output);
  return 0;
}

}  // namespace yel::cli
