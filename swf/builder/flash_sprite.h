// TFlashSprite: the builder's movie clip, a character with a timeline of its
// own (placements, removals, frames, frame and init actions), written as one
// DefineSprite tag followed by its DoInitAction.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "swf/builder/flash_object.h"
#include "swf/format/display_list_tags.h"

namespace yel::swf {

class TFlashActionScript;
class TFlashPlaceObject;
class TSWFStartSound;

class TFlashSprite : public TFlashVisualObject {
 public:
  explicit TFlashSprite(TFlashMovie* owner = nullptr);
  ~TFlashSprite() override;

  // The largest MinVersion of the timeline's tags, at least 3 (6 with init
  // actions).
  int MinVersion() const override;
  // A sprite without a frame gets one first.
  void WriteToStream(TBitsEngine& be) override;
  // Also the record's SpriteId.
  void SetCharacterId(std::uint16_t id) override;

  // Places character at depth in the sprite's timeline. A character that
  // stands after the sprite in the movie's object list is moved in front of
  // it, as its definition must come first.
  TFlashPlaceObject* PlaceObject(TFlashVisualObject* character, std::uint16_t depth);
  // Changes whatever stands at the depth.
  TFlashPlaceObject* PlaceObject(std::uint16_t depth);
  // RemoveObject2 for the depth, or RemoveObject when a character is given.
  TSWFObject* RemoveObject(std::uint16_t depth, TFlashIDObject* character = nullptr);
  // Appends a StartSound record for the sound id to the timeline.
  TSWFStartSound* StartSound(std::uint16_t soundId);
  // Ends the sprite's frame: frame actions, label, then count ShowFrame tags
  // (0 means 1).
  void ShowFrame(std::uint16_t count = 1);

  // Created on first access.
  TFlashActionScript& FrameActions();
  TFlashActionScript& InitActions();
  bool HasInitActions() const { return init_actions_ != nullptr; }

  std::uint16_t FrameCount() const { return record_.FrameCount; }
  // For imported sprites whose frames are counted elsewhere.
  void SetFrameCount(std::uint16_t count) { record_.FrameCount = count; }
  TSWFDefineSprite& SpriteRecord() { return record_; }

  // Appends an object (tag or builder object) to the timeline.
  TBasedSWFObject* AddObject(std::unique_ptr<TBasedSWFObject> object);

  std::uint16_t MaxDepth = 0;
  std::int32_t CurrentFrameNum = 0;
  std::string FrameLabel;

 private:
  TSWFDefineSprite record_;
  std::unique_ptr<TFlashActionScript> frame_actions_;
  std::unique_ptr<TFlashActionScript> init_actions_;
};

}  // namespace yel::swf
