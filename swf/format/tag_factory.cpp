// Tag table and factory.
#include "swf/format/tag_factory.h"

#include <charconv>

#include "base/text.h"
#include "swf/format/actions/do_action_tags.h"
#include "swf/format/bitmap_tags.h"
#include "swf/format/control_tags.h"
#include "swf/format/display_list_tags.h"
#include "swf/format/place_object_tags.h"
#include "swf/format/shape_tags.h"
#include "swf/format/sound_tags.h"

namespace yel::swf {
namespace {

using Maker = std::unique_ptr<TSWFObject> (*)();

template <class T>
std::unique_ptr<TSWFObject> Make() {
  return std::make_unique<T>();
}

struct TagEntry {
  std::uint16_t code;
  const char* name;
  // Null while the tag's class does not exist: it is kept as a raw tag.
  Maker make;
};

constexpr TagEntry kTags[] = {
    {0, "End", Make<TSWFEnd>},
    {1, "ShowFrame", Make<TSWFShowFrame>},
    {2, "DefineShape", Make<TSWFDefineShape>},
    {4, "PlaceObject", Make<TSWFPlaceObject>},
    {5, "RemoveObject", Make<TSWFRemoveObject>},
    {6, "DefineBits", Make<TSWFDefineBits>},
    {7, "DefineButton", nullptr},
    {8, "JPEGTables", Make<TSWFJPEGTables>},
    {9, "SetBackgroundColor", Make<TSWFSetBackgroundColor>},
    {10, "DefineFont", nullptr},
    {11, "DefineText", nullptr},
    {12, "DoAction", Make<TSWFDoAction>},
    {13, "DefineFontInfo", nullptr},
    {14, "DefineSound", Make<TSWFDefineSound>},
    {15, "StartSound", Make<TSWFStartSound>},
    {17, "DefineButtonSound", nullptr},
    {18, "SoundStreamHead", Make<TSWFSoundStreamHead>},
    {19, "SoundStreamBlock", Make<TSWFSoundStreamBlock>},
    {20, "DefineBitsLossless", Make<TSWFDefineBitsLossless>},
    {21, "DefineBitsJPEG2", Make<TSWFDefineBitsJPEG2>},
    {22, "DefineShape2", Make<TSWFDefineShape2>},
    {23, "DefineButtonCxform", nullptr},
    {24, "Protect", Make<TSWFProtect>},
    {26, "PlaceObject2", Make<TSWFPlaceObject2>},
    {28, "RemoveObject2", Make<TSWFRemoveObject2>},
    {32, "DefineShape3", Make<TSWFDefineShape3>},
    {33, "DefineText2", nullptr},
    {34, "DefineButton2", nullptr},
    {35, "DefineBitsJPEG3", Make<TSWFDefineBitsJPEG3>},
    {36, "DefineBitsLossless2", Make<TSWFDefineBitsLossless2>},
    {37, "DefineEditText", nullptr},
    {39, "DefineSprite", Make<TSWFDefineSprite>},
    {40, "NameCharacter", nullptr},
    {43, "FrameLabel", Make<TSWFFrameLabel>},
    {45, "SoundStreamHead2", Make<TSWFSoundStreamHead2>},
    {46, "DefineMorphShape", nullptr},
    {48, "DefineFont2", nullptr},
    {56, "ExportAssets", Make<TSWFExportAssets>},
    {57, "ImportAssets", Make<TSWFImportAssets>},
    {58, "EnableDebugger", Make<TSWFEnableDebugger>},
    {59, "DoInitAction", Make<TSWFDoInitAction>},
    {60, "DefineVideoStream", nullptr},
    {61, "VideoFrame", nullptr},
    {62, "DefineFontInfo2", nullptr},
    {64, "EnableDebugger2", Make<TSWFEnableDebugger2>},
    {65, "ScriptLimits", Make<TSWFScriptLimits>},
    {66, "SetTabIndex", Make<TSWFSetTabIndex>},
    {69, "FileAttributes", Make<TSWFFileAttributes>},
    {70, "PlaceObject3", Make<TSWFPlaceObject3>},
    {71, "ImportAssets2", Make<TSWFImportAssets2>},
    {73, "DefineFontAlignZones", nullptr},
    {74, "CSMTextSettings", nullptr},
    {75, "DefineFont3", nullptr},
    {77, "Metadata", Make<TSWFMetadata>},
    {78, "DefineScalingGrid", Make<TSWFDefineScalingGrid>},
    {83, "DefineShape4", Make<TSWFDefineShape4>},
    {84, "DefineMorphShape2", nullptr},
    // The raw tag's own code: a tag with this code in a file is kept raw
    // under it, like any code without a class.
    {240, "Error Tag", nullptr},
};

const TagEntry* FindEntry(int code) {
  for (const auto& entry : kTags)
    if (entry.code == code) return &entry;
  return nullptr;
}

}  // namespace

std::unique_ptr<TSWFObject> CreateTag(std::uint16_t code) {
  const TagEntry* entry = FindEntry(code);
  if (entry && entry->make) return entry->make();
  auto raw = std::make_unique<TSWFByteCodeTag>();
  raw->TagCode = code;
  if (!entry) raw->Description = "Uniknow tag";
  return raw;
}

std::unique_ptr<TSWFObject> CloneTag(const TSWFObject& tag) {
  auto copy = CreateTag(tag.TagID);
  copy->Assign(tag);
  return copy;
}

std::string TagName(int code) {
  const TagEntry* entry = FindEntry(code);
  return entry ? entry->name : "Unknown " + std::to_string(code);
}

int TagCodeByName(std::string_view name) {
  int code = -1;
  bool found = false;
  for (const auto& entry : kTags) {
    if (EqualsIgnoreCase(name, entry.name)) {
      code = entry.code;
      found = true;
      break;
    }
  }
  if (!found && name.size() > 3 && EqualsIgnoreCase(name.substr(0, 3), "tag")) {
    std::string_view digits = name.substr(3);
    int value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error == std::errc() && end == digits.data() + digits.size() && value >= 0) code = value;
  }
  return code == kRawTagCode ? -1 : code;
}

}  // namespace yel::swf
