// TFlashPlaceObject: the builder's display-list entry (translation, scale,
// rotation, colour transform, clip depth, ratio, name, blend mode, filters
// and clip events), written as PlaceObject2 or, when it needs one,
// PlaceObject3; and TFlashFilterSettings, the movie's defaults for filters.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "swf/builder/flash_object.h"
#include "swf/format/place_object_tags.h"

namespace yel {
class TStream;
}

namespace yel::swf {

class TFlashVisualObject;

// Defaults of the filters added through placements.
class TFlashFilterSettings {
 public:
  double BlurX = 5;
  double BlurY = 5;
  TPackedColor GlowColor = 0xFFFFFFFFu;  // opaque white
  int Strength = 100;                    // percent
  bool InnerGlow = false;
  bool Knockout = false;
  std::uint8_t ExtraPasses = 0;  // passes beyond the first
  bool CompositeSourceOff = false;
  float Angle = 45;
  int Distance = 5;
  TPackedColor Color = 0xFF000000u;  // opaque black
};

class TFlashPlaceObject : public TFlashObject {
 public:
  // With a character its id goes into the record.
  TFlashPlaceObject(TFlashMovie* owner, std::uint16_t depth, TFlashVisualObject* character = nullptr);
  ~TFlashPlaceObject() override;

  void Assign(const TBasedSWFObject& source) override;
  // 8 when it is written as PlaceObject3, else 5 with clip actions (6 when
  // an event needs the long event field), else 3.
  int MinVersion() const override;
  void WriteToStream(TBitsEngine& be) override;

  virtual std::uint16_t CharacterId() const { return record_->CharacterId; }
  void SetCharacterId(std::uint16_t id) { record_->SetCharacterId(id); }
  std::uint16_t Depth() const { return record_->Depth; }
  TFlashVisualObject* Character() const { return character_; }
  TSWFPlaceObject3& PlaceRecord() { return *record_; }
  const TSWFPlaceObject3& PlaceRecord() const { return *record_; }

  // In movie units. A zero translation adds no matrix unless there is one
  // already or the placement moves a character.
  void SetTranslate(std::int32_t x, std::int32_t y);
  // One component, in the placed character's units.
  void TranslateX(std::int32_t value);
  void TranslateY(std::int32_t value);
  void SetScale(float scaleX, float scaleY);
  // Degrees, on top of the present scale and skew.
  void SetRotate(float angle);
  // Created on first access.
  TSWFColorTransform& ColorTransform();
  // The placed character masks the depths above it up to depth.
  void SetClipDepth(std::uint16_t depth);
  void SetRatio(std::uint16_t ratio);
  void SetName(const std::string& name);
  bool Move() const { return record_->Move; }
  void SetMove(bool move) { record_->Move = move; }
  std::uint8_t BlendMode() const { return record_->BlendMode; }
  // Modes above 1 (normal) make the record a PlaceObject3.
  void SetBlendMode(std::uint8_t mode);

  // The first filter of the type, or null.
  TSWFFilter* FindFilter(std::uint8_t filterType) const;
  // The glow filter, added on first access with the movie's FilterSettings.
  TSWFGlowFilter& GlowFilter();

  // Appends a clip-action record for the events.
  TSWFClipActionRecord& OnClipEvent(std::uint32_t events);
  // For a placed sprite: the first record whose events include event; with
  // create, a new one for that event when there is none. Null otherwise.
  TSWFClipActionRecord* FindActionEvent(std::uint32_t event, bool create);

  // Compiles clip actions ("onClipEvent" handlers) for this placement
  // through the movie's compile context. On success the record gets its
  // clip actions and the result is true; a compile error's message goes to
  // the movie's compile-error log and the result is false.
  bool CompileActions(TStream& source);
  bool CompileActions(std::string_view text);
  bool CompileActionsFile(const std::string& fileName);

  // Set by the movie and sprites before writing: the file's SWF version,
  // which decides how clip events are encoded.
  void SetSWFVersion(std::uint8_t version) { record_->SWFVersion = version; }
  // Whether the record needs PlaceObject3.
  bool UsesPlaceObject3() const;

 private:
  std::unique_ptr<TSWFPlaceObject3> record_;
  TFlashVisualObject* character_;
};

}  // namespace yel::swf
