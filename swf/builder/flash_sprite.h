// TFlashSprite: the builder's movie clip, a character with a timeline of its
// own (placements, removals, frames, frame and init actions, video
// placements), written as one DefineSprite tag followed by its DoInitAction.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "swf/builder/flash_object.h"
#include "swf/format/display_list_tags.h"

namespace yel::swf {

class TFlashActionScript;
class TFlashPlaceObject;
class TFlashPlaceVideo;
class TFlashVideo;
class TSWFStartSound;

class TFlashSprite : public TFlashVisualObject {
 public:
  explicit TFlashSprite(TFlashMovie* owner = nullptr);
  ~TFlashSprite() override;

  // The largest MinVersion of the timeline's tags and video placements, at
  // least 3 (6 with init actions).
  int MinVersion() const override;
  // A sprite without a frame gets one first.
  void WriteToStream(TBitsEngine& be) override;
  // Also the record's SpriteId.
  void SetCharacterId(std::uint16_t id) override;
  // The characters its timeline places and its videos.
  void AppendUsedIDs(std::vector<std::uint16_t>& ids) const override;

  // Places character at depth in the sprite's timeline. A character that
  // stands after the sprite in the movie's object list is moved in front of
  // it, as its definition must come first.
  TFlashPlaceObject* PlaceObject(TFlashVisualObject* character, std::uint16_t depth);
  // Changes whatever stands at the depth.
  TFlashPlaceObject* PlaceObject(std::uint16_t depth);
  // Shows the video at depth from the sprite's current frame on: one video
  // frame per sprite frame (see TFlashPlaceVideo). The video is moved in
  // front of the sprite in the movie's object list when it stands after it.
  TFlashPlaceVideo* PlaceVideo(TFlashVideo* video, std::uint16_t depth);
  const std::vector<std::unique_ptr<TFlashPlaceVideo>>& PlaceVideos() const { return place_videos_; }
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
  // Moves character in front of the sprite in the movie's object list when
  // it stands after it, and with it what it uses (see
  // TFlashMovie::DefineBefore): a definition must come before its use.
  void DefineBefore(TFlashVisualObject* character);
  // SpriteId, FrameCount and the control tags, with the video placements'
  // frames before each ShowFrame, and the End tag.
  void WriteBody(TStream& out);

  std::unique_ptr<TFlashActionScript> init_actions_;
  std::vector<std::unique_ptr<TFlashPlaceVideo>> place_videos_;
};

}  // namespace yel::swf
