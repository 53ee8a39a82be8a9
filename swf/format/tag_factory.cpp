// Tag table and factory.
#include "swf/format/tag_factory.h"

#include <charconv>

#include "base/text.h"
#include "swf/format/actions/do_action_tags.h"
#include "swf/format/bitmap_tags.h"
#include "swf/format/button_tags.h"
#include "swf/format/control_tags.h"
#include "swf/format/display_list_tags.h"
#include "swf/format/font_tags.h"
#include "swf/format/morph_shape_tags.h"
#include "swf/format/place_object_tags.h"
#include "swf/format/shape_tags.h"
#include "swf/format/sound_tags.h"
#include "swf/format/text_tags.h"
#include "swf/format/video_tags.h"

namespace yel::swf {
namespace {

using Maker = std::unique_ptr<TSWFObject> (*)();

template <class T>
std::unique_ptr<TSWFObject> Make() {
  return std::make_unique<T>();
}

struct TagEntry {
  tag::Code code;
  const char* name;
  // Null while the tag's class does not exist: it is kept as a raw tag.
  Maker make;
};

constexpr TagEntry kTags[] = {
    {tag::End, "End", Make<TSWFEnd>},
    {tag::ShowFrame, "ShowFrame", Make<TSWFShowFrame>},
    {tag::DefineShape, "DefineShape", Make<TSWFDefineShape>},
    {tag::PlaceObject, "PlaceObject", Make<TSWFPlaceObject>},
    {tag::RemoveObject, "RemoveObject", Make<TSWFRemoveObject>},
    {tag::DefineBits, "DefineBits", Make<TSWFDefineBits>},
    {tag::DefineButton, "DefineButton", Make<TSWFDefineButton>},
    {tag::JPEGTables, "JPEGTables", Make<TSWFJPEGTables>},
    {tag::SetBackgroundColor, "SetBackgroundColor", Make<TSWFSetBackgroundColor>},
    {tag::DefineFont, "DefineFont", Make<TSWFDefineFont>},
    {tag::DefineText, "DefineText", Make<TSWFDefineText>},
    {tag::DoAction, "DoAction", Make<TSWFDoAction>},
    {tag::DefineFontInfo, "DefineFontInfo", Make<TSWFDefineFontInfo>},
    {tag::DefineSound, "DefineSound", Make<TSWFDefineSound>},
    {tag::StartSound, "StartSound", Make<TSWFStartSound>},
    {tag::DefineButtonSound, "DefineButtonSound", Make<TSWFDefineButtonSound>},
    {tag::SoundStreamHead, "SoundStreamHead", Make<TSWFSoundStreamHead>},
    {tag::SoundStreamBlock, "SoundStreamBlock", Make<TSWFSoundStreamBlock>},
    {tag::DefineBitsLossless, "DefineBitsLossless", Make<TSWFDefineBitsLossless>},
    {tag::DefineBitsJPEG2, "DefineBitsJPEG2", Make<TSWFDefineBitsJPEG2>},
    {tag::DefineShape2, "DefineShape2", Make<TSWFDefineShape2>},
    {tag::DefineButtonCxform, "DefineButtonCxform", Make<TSWFDefineButtonCxform>},
    {tag::Protect, "Protect", Make<TSWFProtect>},
    {tag::PlaceObject2, "PlaceObject2", Make<TSWFPlaceObject2>},
    {tag::RemoveObject2, "RemoveObject2", Make<TSWFRemoveObject2>},
    {tag::DefineShape3, "DefineShape3", Make<TSWFDefineShape3>},
    {tag::DefineText2, "DefineText2", Make<TSWFDefineText2>},
    {tag::DefineButton2, "DefineButton2", Make<TSWFDefineButton2>},
    {tag::DefineBitsJPEG3, "DefineBitsJPEG3", Make<TSWFDefineBitsJPEG3>},
    {tag::DefineBitsLossless2, "DefineBitsLossless2", Make<TSWFDefineBitsLossless2>},
    {tag::DefineEditText, "DefineEditText", Make<TSWFDefineEditText>},
    {tag::DefineSprite, "DefineSprite", Make<TSWFDefineSprite>},
    {tag::NameCharacter, "NameCharacter", nullptr},
    {tag::FrameLabel, "FrameLabel", Make<TSWFFrameLabel>},
    {tag::SoundStreamHead2, "SoundStreamHead2", Make<TSWFSoundStreamHead2>},
    {tag::DefineMorphShape, "DefineMorphShape", Make<TSWFDefineMorphShape>},
    {tag::DefineFont2, "DefineFont2", Make<TSWFDefineFont2>},
    {tag::ExportAssets, "ExportAssets", Make<TSWFExportAssets>},
    {tag::ImportAssets, "ImportAssets", Make<TSWFImportAssets>},
    {tag::EnableDebugger, "EnableDebugger", Make<TSWFEnableDebugger>},
    {tag::DoInitAction, "DoInitAction", Make<TSWFDoInitAction>},
    {tag::DefineVideoStream, "DefineVideoStream", Make<TSWFDefineVideoStream>},
    {tag::VideoFrame, "VideoFrame", Make<TSWFVideoFrame>},
    {tag::DefineFontInfo2, "DefineFontInfo2", Make<TSWFDefineFontInfo2>},
    {tag::EnableDebugger2, "EnableDebugger2", Make<TSWFEnableDebugger2>},
    {tag::ScriptLimits, "ScriptLimits", Make<TSWFScriptLimits>},
    {tag::SetTabIndex, "SetTabIndex", Make<TSWFSetTabIndex>},
    {tag::FileAttributes, "FileAttributes", Make<TSWFFileAttributes>},
    {tag::PlaceObject3, "PlaceObject3", Make<TSWFPlaceObject3>},
    {tag::ImportAssets2, "ImportAssets2", Make<TSWFImportAssets2>},
    {tag::DefineFontAlignZones, "DefineFontAlignZones", Make<TSWFDefineFontAlignZones>},
    {tag::CSMTextSettings, "CSMTextSettings", Make<TSWFCSMTextSettings>},
    {tag::DefineFont3, "DefineFont3", Make<TSWFDefineFont3>},
    {tag::Metadata, "Metadata", Make<TSWFMetadata>},
    {tag::DefineScalingGrid, "DefineScalingGrid", Make<TSWFDefineScalingGrid>},
    {tag::DefineShape4, "DefineShape4", Make<TSWFDefineShape4>},
    {tag::DefineMorphShape2, "DefineMorphShape2", Make<TSWFDefineMorphShape2>},
    {tag::DefineFontName, "DefineFontName", Make<TSWFDefineFontName>},
    // The raw tag's own code: a tag with this code in a file is kept raw
    // under it, like any code without a class.
    {tag::ErrorTag, "Error Tag", nullptr},
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

bool IsResourceTag(std::uint16_t code) {
  switch (code) {
    case tag::DefineBits: case tag::JPEGTables: case tag::DefineFont: case tag::DefineSound:
    case tag::DefineBitsLossless: case tag::DefineBitsJPEG2: case tag::DefineBitsJPEG3:
    case tag::DefineBitsLossless2: case tag::DefineFont2: case tag::DefineFont3:
      return true;
    default:
      return false;
  }
}

bool TagNeedsReadContext(std::uint16_t code) {
  switch (code) {
    case tag::DefineButton: case tag::DefineButton2: case tag::DoAction: case tag::DoInitAction:
    case tag::DefineFontInfo: case tag::PlaceObject2: case tag::PlaceObject3: case tag::DefineSprite:
    case tag::DefineFont2: case tag::DefineFont3: case tag::DefineEditText:
      return true;
    default:
      return false;
  }
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
  return code == tag::ErrorTag ? -1 : code;
}

}  // namespace yel::swf
