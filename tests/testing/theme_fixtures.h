// Small theme content made with our movie builder, for tests: clip movies
// (a solid rectangle, a ring-shaped photo frame, a decorative clip that
// attaches its exported symbol "mc_Shape" by script), installed templates
// and loading bars under an application folder, and a parsed movie that
// tells what the sprites of its main timeline place.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/byte_stream.h"
#include "base/files.h"
#include "swf/builder/flash_action_script.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_shape.h"
#include "swf/builder/flash_sprite.h"
#include "swf/format/actions/action_records.h"
#include "swf/format/control_tags.h"
#include "swf/format/display_list_tags.h"
#include "swf/format/place_object_tags.h"
#include "swf/format/shape_tags.h"
#include "swf/format/swf_stream.h"

namespace yel::testing {

// Packed builder colour of r, g, b.
inline std::uint32_t Rgb(int r, int g, int b) { return std::uint32_t(r) | std::uint32_t(g) << 8 | std::uint32_t(b) << 16; }

inline std::vector<std::uint8_t> MovieBytes(swf::TFlashMovie& movie) {
  movie.MakeStream();
  TMemoryStream out;
  movie.SaveToStream(out);
  return out.TakeBytes();
}

// A w x h movie filled with one colour.
inline std::vector<std::uint8_t> SolidClip(int w, int h, std::uint32_t rgb) {
  swf::TFlashMovie movie(0, 0, w, h, 12, swf::TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  swf::TFlashShape* shape = movie.AddRectangle(0, 0, w, h);
  shape->SetSolidColor(rgb);
  movie.PlaceObject(shape, 1);
  movie.ShowFrame();
  return MovieBytes(movie);
}

// A w x h photo frame: a ring `border` pixels wide, empty inside.
inline std::vector<std::uint8_t> RingClip(int w, int h, int border, std::uint32_t rgb) {
  swf::TFlashMovie movie(0, 0, w, h, 12, swf::TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  swf::TFlashShape* ring = movie.AddShape();
  ring->SetShapeBound(0, 0, w, h);
  ring->Edges().MoveTo(0, 0);
  ring->Edges().MakeRectangle(w, h);
  ring->Edges().MoveTo(border, border);
  ring->Edges().MakeRectangle(w - 2 * border, h - 2 * border);
  ring->Edges().EndEdges();
  ring->SetSolidColor(rgb);
  movie.PlaceObject(ring, 1);
  movie.ShowFrame();
  return MovieBytes(movie);
}

// A w x h decorative clip in the form the theme editor writes: a sprite
// exported as "mc_Shape" (a rectangle of the colour) and a frame script
// this.attachMovie("mc_Shape", "s", 1) whose names stand in a constant pool.
inline std::vector<std::uint8_t> ShapeClip(int w, int h, std::uint32_t rgb, bool compressed = true) {
  swf::TFlashMovie movie(0, 0, w, h, 12, swf::TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  movie.SetCompressed(compressed);
  swf::TFlashShape* shape = movie.AddRectangle(0, 0, w, h);
  shape->SetSolidColor(rgb);
  swf::TFlashSprite* symbol = movie.AddSprite(shape);
  symbol->ShowFrame();
  auto exports = std::make_unique<swf::TSWFExportAssets>();
  exports->AddAsset("mc_Shape", symbol->CharacterId());
  movie.Add(std::move(exports));
  swf::TFlashActionScript& script = movie.FrameActions();
  auto pool = std::make_unique<swf::TSWFActionConstantPool>();
  pool->ConstantPool = {"mc_Shape", "s", "this", "attachMovie"};
  script.Add(std::move(pool));
  auto args = std::make_unique<swf::TSWFActionPush>();
  args->AddValue(std::int64_t{1});
  args->SetValueType(args->AddValue(std::int64_t{1}), swf::kPushConstant8);  // "s"
  args->SetValueType(args->AddValue(std::int64_t{0}), swf::kPushConstant8);  // "mc_Shape"
  args->AddValue(std::int64_t{3});
  args->SetValueType(args->AddValue(std::int64_t{2}), swf::kPushConstant8);  // "this"
  script.Add(std::move(args));
  script.Add(swf::CreateAction(0x1C));  // GetVariable
  auto method = std::make_unique<swf::TSWFActionPush>();
  method->SetValueType(method->AddValue(std::int64_t{3}), swf::kPushConstant8);  // "attachMovie"
  script.Add(std::move(method));
  script.Add(swf::CreateAction(0x52));  // CallMethod
  script.Add(swf::CreateAction(0x17));  // Pop
  movie.ShowFrame();
  return MovieBytes(movie);
}

// Writes an installed template `name` under appFolder: the catalogue list
// (created or extended), "View.jpg", "config.ini" with the given text, and
// the given files of the template's folder.
inline void InstallTemplate(const std::filesystem::path& appFolder, const std::string& name,
                            const std::string& configText,
                            const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& files = {},
                            const char* catalogue = "Theme/Template", const char* configName = "config.ini") {
  const std::filesystem::path root = appFolder / catalogue;
  std::filesystem::create_directories(root / name);
  const std::string list = (root / "Config.xml").string();
  std::string text = std::filesystem::exists(list) ? ReadFileText(list) : "<List></List>";
  text.insert(text.rfind("</List>"), "<Name>" + name + "</Name>");
  WriteFileAtomically(list, text);
  WriteFileAtomically((root / name / "View.jpg").string(), std::string("picture"));
  WriteFileAtomically((root / name / configName).string(), configText);
  for (const auto& [file, bytes] : files) WriteFileAtomically((root / name / file).string(), bytes);
}

// The same for a loading bar: "Config.ini" and the bar movie name + ".swf".
inline void InstallLoadingBar(const std::filesystem::path& appFolder, const std::string& name,
                              const std::string& configText, const std::vector<std::uint8_t>& bar) {
  InstallTemplate(appFolder, name, configText, {{name + ".swf", bar}}, "Theme/LoadingBar", "Config.ini");
}

// A movie read back with our reader.
struct ParsedMovie {
  explicit ParsedMovie(const std::vector<std::uint8_t>& bytes) {
    reader.LoadFromBytes(bytes.data(), bytes.size(), "movie");
    reader.ParseTags();
  }
  swf::TSWFObject* Tag(std::size_t i) { return reader.TagInfo(i).TagObject; }
  // The sprite or shape defining id, as T.
  template <class T>
  T* Defined(std::uint16_t id) {
    for (std::size_t i = 0; i < reader.TagCount(); ++i) {
      if (auto* sprite = dynamic_cast<swf::TSWFDefineSprite*>(Tag(i)); sprite && sprite->SpriteId == id)
        return dynamic_cast<T*>(sprite);
      if (auto* shape = dynamic_cast<swf::TSWFDefineShape*>(Tag(i)); shape && shape->ShapeId == id)
        return dynamic_cast<T*>(shape);
    }
    return nullptr;
  }
  // The placements, by depth, of the sprite placed at `depth` of the main
  // timeline.
  std::map<std::uint16_t, swf::TSWFPlaceObject2*> Layers(std::uint16_t depth) {
    std::map<std::uint16_t, swf::TSWFPlaceObject2*> layers;
    for (std::size_t i = 0; i < reader.TagCount(); ++i) {
      auto* place = dynamic_cast<swf::TSWFPlaceObject2*>(Tag(i));
      if (!place || place->Depth != depth || !place->HasCharacter) continue;
      auto* sprite = Defined<swf::TSWFDefineSprite>(place->CharacterId);
      if (!sprite) continue;
      for (auto& item : sprite->ControlTags)
        if (auto* inner = dynamic_cast<swf::TSWFPlaceObject2*>(item.get()); inner && inner->HasCharacter)
          layers[inner->Depth] = inner;
    }
    return layers;
  }
  std::vector<std::string> ExportedNames() {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < reader.TagCount(); ++i)
      if (auto* exports = dynamic_cast<swf::TSWFExportAssets*>(Tag(i)))
        for (const auto& asset : exports->Assets) names.push_back(asset.Name);
    return names;
  }
  swf::TSWFStreamReader reader;
};

}  // namespace yel::testing
