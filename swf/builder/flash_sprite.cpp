// Sprites: their timeline and its writing as DefineSprite and DoInitAction,
// with the frames of the videos placed in it.
#include "swf/builder/flash_sprite.h"

#include <algorithm>
#include <stdexcept>

#include "base/error.h"
#include "swf/builder/flash_action_script.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_video.h"
#include "swf/format/actions/do_action_tags.h"
#include "swf/format/control_tags.h"
#include "swf/format/place_object_tags.h"
#include "swf/format/sound_tags.h"

namespace yel::swf {

TFlashSprite::TFlashSprite(TFlashMovie* owner) : TFlashVisualObject(owner) {}

TFlashSprite::~TFlashSprite() = default;

int TFlashSprite::MinVersion() const {
  int version = 3;
  for (const auto& tag : record_.ControlTags) version = std::max(version, tag->MinVersion());
  // Pending frame actions are written only by the frame a frameless sprite gets.
  if (frame_actions_ && record_.FrameCount == 0) version = std::max(version, frame_actions_->MinVersion());
  // DoInitAction needs SWF 6.
  if (init_actions_) version = std::max({version, 6, init_actions_->MinVersion()});
  for (const auto& video : place_videos_) version = std::max(version, video->MinVersion());
  return version;
}

void TFlashSprite::SetCharacterId(std::uint16_t id) {
  TFlashVisualObject::SetCharacterId(id);
  record_.SpriteId = id;
}

TBasedSWFObject* TFlashSprite::AddObject(std::unique_ptr<TBasedSWFObject> object) {
  record_.ControlTags.push_back(std::move(object));
  return record_.ControlTags.back().get();
}

TFlashPlaceObject* TFlashSprite::PlaceObject(TFlashVisualObject* character, std::uint16_t depth) {
  auto place = std::make_unique<TFlashPlaceObject>(Owner(), depth, character);
  TFlashPlaceObject* raw = place.get();
  AddObject(std::move(place));
  DefineBefore(character);
  MaxDepth = std::max(MaxDepth, depth);
  return raw;
}

TFlashPlaceObject* TFlashSprite::PlaceObject(std::uint16_t depth) { return PlaceObject(nullptr, depth); }

TFlashPlaceVideo* TFlashSprite::PlaceVideo(TFlashVideo* video, std::uint16_t depth) {
  if (!video) throw std::invalid_argument("PlaceVideo needs a video");
  place_videos_.push_back(std::make_unique<TFlashPlaceVideo>(Owner(), *video, depth, record_.FrameCount));
  DefineBefore(video);
  MaxDepth = std::max(MaxDepth, depth);
  return place_videos_.back().get();
}

void TFlashSprite::DefineBefore(TFlashVisualObject* character) {
  TFlashMovie* movie = Owner();
  if (!movie || !character) return;
  movie->DefineBefore(character, this);
}

void TFlashSprite::AppendUsedIDs(std::vector<std::uint16_t>& ids) const {
  for (const auto& tag : record_.ControlTags) {
    const auto* place = dynamic_cast<const TFlashPlaceObject*>(tag.get());
    if (place && place->Character()) ids.push_back(place->Character()->CharacterId());
  }
  for (const auto& video : place_videos_) ids.push_back(video->Video().CharacterId());
}

TSWFObject* TFlashSprite::RemoveObject(std::uint16_t depth, TFlashIDObject* character) {
  if (character) {
    auto remove = std::make_unique<TSWFRemoveObject>();
    remove->CharacterId = character->CharacterId();
    remove->Depth = depth;
    return static_cast<TSWFObject*>(AddObject(std::move(remove)));
  }
  auto remove = std::make_unique<TSWFRemoveObject2>();
  remove->Depth = depth;
  return static_cast<TSWFObject*>(AddObject(std::move(remove)));
}

TSWFStartSound* TFlashSprite::StartSound(std::uint16_t soundId) {
  auto start = std::make_unique<TSWFStartSound>();
  start->SoundId = soundId;
  return static_cast<TSWFStartSound*>(AddObject(std::move(start)));
}

void TFlashSprite::ShowFrame(std::uint16_t count) {
  if (count == 0) count = 1;
  record_.FrameCount = static_cast<std::uint16_t>(record_.FrameCount + count);
  if (frame_actions_) AddObject(std::move(frame_actions_));
  if (!FrameLabel.empty()) {
    AddObject(std::make_unique<TSWFFrameLabel>(FrameLabel));
    FrameLabel.clear();
  }
  for (std::uint16_t i = 0; i < count; ++i) AddObject(std::make_unique<TSWFShowFrame>());
  CurrentFrameNum = record_.FrameCount - 1;
}

TFlashActionScript& TFlashSprite::FrameActions() {
  if (!frame_actions_) frame_actions_ = std::make_unique<TFlashActionScript>(Owner());
  return *frame_actions_;
}

TFlashActionScript& TFlashSprite::InitActions() {
  if (!init_actions_) init_actions_ = std::make_unique<TFlashActionScript>(Owner());
  return *init_actions_;
}

void TFlashSprite::WriteBody(TStream& out) {
  TBitsEngine sprite(out);
  sprite.WriteWord(record_.SpriteId);
  sprite.WriteWord(record_.FrameCount);
  std::uint8_t version = Owner() ? Owner()->Version() : 5;
  std::uint32_t frame = 0;
  for (auto& tag : record_.ControlTags) {
    if (auto* place = dynamic_cast<TFlashPlaceObject*>(tag.get())) {
      place->SetSWFVersion(version);
    } else if (tag->LibraryLevel() == 0 && static_cast<const TSWFObject&>(*tag).TagID == tag::ShowFrame) {
      for (const auto& video : place_videos_) video->WriteFrame(sprite, frame);
      ++frame;
    }
    tag->WriteToStream(sprite);
  }
  const auto& tags = record_.ControlTags;
  bool ended = !tags.empty() && tags.back()->LibraryLevel() == 0 &&
               static_cast<const TSWFObject&>(*tags.back()).TagID == tag::End;
  if (!ended) sprite.WriteWord(0);  // the End tag's header
}

void TFlashSprite::WriteToStream(TBitsEngine& be) {
  if (record_.FrameCount == 0) ShowFrame(1);
  if (place_videos_.empty()) {
    TMemoryStream body;
    WriteBody(body);
    WriteTagHeader(be.Stream(), tag::DefineSprite, body.Size(), false);
    be.Stream().Write(body.Data(), body.Size());
  } else {
    // Video frames are read from their files as they are written: the body
    // is measured first and then written straight out, never held whole.
    TCountingStream counted;
    WriteBody(counted);
    WriteTagHeader(be.Stream(), tag::DefineSprite, counted.Size(), false);
    const std::uint64_t start = be.Stream().Position();
    WriteBody(be.Stream());
    if (be.Stream().Position() - start != counted.Size())
      throw Error("internal: the sprite's body came out differently when it was written again");
  }

  if (init_actions_) {
    TSWFDoInitAction init;
    init.SpriteID = CharacterId();
    CopyActionList(init_actions_->Actions(), init.Actions());
    init.WriteToStream(be);
  }
}

}  // namespace yel::swf
