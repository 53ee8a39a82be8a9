// Tag codes: the one list of names for the codes in tag headers. The tag
// table, the tag classes and every test of a code use these names. An
// unscoped enum in a namespace of its own, so that the names read
// tag::DefineSprite and compare with the std::uint16_t codes of TagID and of
// files as they are.
#pragma once

#include <cstdint>

namespace yel::swf::tag {

enum Code : std::uint16_t {
  End = 0,
  ShowFrame = 1,
  DefineShape = 2,
  PlaceObject = 4,
  RemoveObject = 5,
  DefineBits = 6,
  DefineButton = 7,
  JPEGTables = 8,
  SetBackgroundColor = 9,
  DefineFont = 10,
  DefineText = 11,
  DoAction = 12,
  DefineFontInfo = 13,
  DefineSound = 14,
  StartSound = 15,
  DefineButtonSound = 17,
  SoundStreamHead = 18,
  SoundStreamBlock = 19,
  DefineBitsLossless = 20,
  DefineBitsJPEG2 = 21,
  DefineShape2 = 22,
  DefineButtonCxform = 23,
  Protect = 24,
  PlaceObject2 = 26,
  RemoveObject2 = 28,
  DefineShape3 = 32,
  DefineText2 = 33,
  DefineButton2 = 34,
  DefineBitsJPEG3 = 35,
  DefineBitsLossless2 = 36,
  DefineEditText = 37,
  DefineSprite = 39,
  NameCharacter = 40,
  FrameLabel = 43,
  SoundStreamHead2 = 45,
  DefineMorphShape = 46,
  DefineFont2 = 48,
  ExportAssets = 56,
  ImportAssets = 57,
  EnableDebugger = 58,
  DoInitAction = 59,
  DefineVideoStream = 60,
  VideoFrame = 61,
  DefineFontInfo2 = 62,
  EnableDebugger2 = 64,
  ScriptLimits = 65,
  SetTabIndex = 66,
  FileAttributes = 69,
  PlaceObject3 = 70,
  ImportAssets2 = 71,
  DefineFontAlignZones = 73,
  CSMTextSettings = 74,
  DefineFont3 = 75,
  Metadata = 77,
  DefineScalingGrid = 78,
  DefineShape4 = 83,
  DefineMorphShape2 = 84,
  DefineFontName = 88,  // SWF 9, but version 8 tools write it; imports renumber it
  StartSound2 = 89,  // SWF 9; its class exists, the SWF 1-8 table leaves it raw
  // The raw tag's own code ("Error Tag"): a tag with this code in a file is
  // kept raw under it, like any code without a class.
  ErrorTag = 240,
};

}  // namespace yel::swf::tag
