// The movie builder: characters and ids, the object list, frames, the
// writing of the tag body and the moving of resource definitions.
#include "swf/builder/flash_movie.h"

#include <algorithm>
#include <cmath>

#include "base/error.h"
#include "swf/builder/compile_context_base.h"
#include "swf/builder/flash_action_script.h"
#include "swf/builder/flash_canvas.h"
#include "swf/builder/flash_image.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"
#include "swf/builder/flash_sound.h"
#include "swf/builder/flash_sprite.h"
#include "swf/builder/flash_video.h"
#include "swf/format/control_tags.h"
#include "swf/format/place_object_tags.h"
#include "swf/format/sound_tags.h"
#include "swf/format/tag_factory.h"

namespace yel::swf {
namespace {

bool IsTag(const TBasedSWFObject& object, std::uint16_t code) {
  return object.LibraryLevel() == 0 && static_cast<const TSWFObject&>(object).TagID == code;
}

// Bitmaps, JPEG tables, fonts and sounds: the definitions that MoveResource
// brings forward.
bool IsResource(const TBasedSWFObject& object) {
  if (object.LibraryLevel() != 0) return static_cast<const TFlashObject&>(object).IsResourceDefinition();
  return IsResourceTag(static_cast<const TSWFObject&>(object).TagID);
}

}  // namespace

TFlashMovie::TFlashMovie(std::int32_t xMin, std::int32_t yMin, std::int32_t xMax, std::int32_t yMax, float fps,
                         TSWFSystemCoord coord)
    : TBasedSWFStream(xMin, yMin, xMax, yMax, fps, coord) {}

TFlashMovie::~TFlashMovie() = default;

TFlashCanvas& TFlashMovie::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TFlashCanvas>(this);
  return *canvas_;
}

void TFlashMovie::Changed() {
  if (Version() > 7) CorrectImageFill = false;
}

// --- characters

namespace {

// The builder character with the id among objects[first..last], or -1.
int FindCharacter(const std::vector<std::unique_ptr<TBasedSWFObject>>& objects, int first, int last,
                  std::uint16_t id) {
  for (int k = first; k <= last; ++k) {
    if (objects[k]->LibraryLevel() == 0) continue;
    const auto* character = dynamic_cast<const TFlashIDObject*>(objects[k].get());
    if (character && character->CharacterId() == id) return k;
  }
  return -1;
}

}  // namespace

void TFlashMovie::DefineBefore(TFlashIDObject* character, const TBasedSWFObject* user) {
  if (!character) return;
  const int to = IndexOfObject(user);
  const int from = IndexOfObject(character);
  if (to < 0 || from <= to) return;
  // Moves the object at `at` to `place` and then, in front of it, what it
  // uses among the objects it passed (now at place + 1 .. at); returns how
  // many objects were moved.
  const std::function<int(int, int)> hoist = [&](int at, int place) -> int {
    MoveObject(at, place);
    int moved = 1, self = place;
    std::vector<std::uint16_t> used;
    static_cast<const TFlashIDObject&>(*objects_[self]).AppendUsedIDs(used);
    for (std::uint16_t id : used) {
      const int k = FindCharacter(objects_, self + 1, at, id);
      if (k < 0) continue;
      const int n = hoist(k, self);
      moved += n;
      self += n;
    }
    return moved;
  };
  hoist(from, to);
}

void TFlashMovie::CheckIDsLeft(std::uint32_t count) const {
  const std::uint32_t first = ids_exhausted_ && NextID == 0 ? 65536u : NextID;
  if (std::uint64_t(first) + count <= 65536u) return;
  throw Error("the movie has run out of character ids: " + std::to_string(count) +
              (count == 1 ? " more is" : " more are") + " needed after id " + std::to_string(first - 1) +
              ", and a movie can hold no id above 65535");
}

std::uint16_t TFlashMovie::TakeIDs(std::uint32_t count) {
  CheckIDsLeft(count);
  const std::uint16_t first = NextID;
  const std::uint32_t next = std::uint32_t(first) + count;
  ids_exhausted_ = next == 65536u;
  NextID = static_cast<std::uint16_t>(next);
  return first;
}

void TFlashMovie::RegisterCharacter(std::unique_ptr<TFlashIDObject> character, TFlashObjectList& typedList) {
  TFlashIDObject* raw = character.get();
  raw->SetOwner(this);
  raw->SetCharacterId(TakeIDs(1));
  AddObject(std::move(character));
  typedList.Add(raw);
}

TFlashShape* TFlashMovie::AddShape(std::unique_ptr<TFlashShape> shape) {
  if (!shape) shape = std::make_unique<TFlashShape>(this);
  return AddCharacter(std::move(shape), Shapes());
}

TFlashShape* TFlashMovie::AddRectangle(std::int32_t xMin, std::int32_t yMin, std::int32_t xMax, std::int32_t yMax) {
  TFlashShape* shape = AddShape();
  shape->SetShapeBound(xMin, yMin, xMax, yMax);
  shape->Edges().MoveTo(xMin, yMin);
  shape->Edges().MakeRectangle(xMax - xMin, yMax - yMin);
  shape->Edges().EndEdges();
  return shape;
}

TFlashShape* TFlashMovie::AddRectangle(const TRect& rect) {
  return AddRectangle(rect.Left, rect.Top, rect.Right, rect.Bottom);
}

TFlashShape* TFlashMovie::AddEllipse(std::int32_t xMin, std::int32_t yMin, std::int32_t xMax, std::int32_t yMax) {
  TFlashShape* shape = AddShape();
  shape->SetShapeBound(xMin, yMin, xMax, yMax);
  shape->Edges().MoveTo(xMin, yMin);
  shape->Edges().MakeEllipse(xMax - xMin, yMax - yMin);
  shape->Edges().EndEdges();
  return shape;
}

TFlashShape* TFlashMovie::AddEllipse(const TRect& rect) {
  return AddEllipse(rect.Left, rect.Top, rect.Right, rect.Bottom);
}

TFlashShape* TFlashMovie::AddLine(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
  TFlashShape* shape = AddShape();
  shape->SetShapeBound(x1, y1, x2, y2);
  shape->Edges().MoveTo(x1, y1);
  shape->Edges().LineTo(x2, y2);
  return shape;
}

TFlashShape* TFlashMovie::AddCubicBezier(TPoint p0, TPoint p1, TPoint p2, TPoint p3) {
  TFlashShape* shape = AddShape();
  shape->SetShapeBound(std::min({p0.X, p1.X, p2.X, p3.X}), std::min({p0.Y, p1.Y, p2.Y, p3.Y}),
                       std::max({p0.X, p1.X, p2.X, p3.X}), std::max({p0.Y, p1.Y, p2.Y, p3.Y}));
  shape->Edges().MoveTo(p0.X, p0.Y);
  shape->Edges().MakeCubicBezier(p1, p2, p3, 4);
  shape->Edges().EndEdges();
  return shape;
}

TFlashSound* TFlashMovie::AddSound(const std::string& fileName) {
  return AddCharacter(std::make_unique<TFlashSound>(this, fileName), Sounds());
}

TFlashSprite* TFlashMovie::AddSprite(TFlashVisualObject* visual) {
  TFlashSprite* sprite = AddCharacter(std::make_unique<TFlashSprite>(this), Sprites());
  if (visual) sprite->PlaceObject(visual, 1);
  return sprite;
}

// --- display list and frames

void TFlashMovie::RaiseMaxDepth(std::uint16_t depth) { MaxDepth = std::max(MaxDepth, depth); }

TFlashPlaceObject* TFlashMovie::PlaceObject(TFlashVisualObject* visual, std::uint16_t depth) {
  TFlashPlaceObject* place = Add(std::make_unique<TFlashPlaceObject>(this, depth, visual));
  RaiseMaxDepth(depth);
  return place;
}

TFlashPlaceObject* TFlashMovie::PlaceObject(std::uint16_t depth) { return PlaceObject(nullptr, depth); }

TFlashPlaceObject* TFlashMovie::PlaceObject(TFlashVisualObject* visual, TFlashShape* mask, std::uint16_t depth) {
  TFlashSprite* sprite = AddSprite();
  sprite->PlaceObject(mask, 1)->SetClipDepth(2);
  sprite->PlaceObject(visual, 2);
  return PlaceObject(sprite, depth);
}

TSWFObject* TFlashMovie::RemoveObject(std::uint16_t depth, TFlashIDObject* character) {
  if (character) {
    auto remove = std::make_unique<TSWFRemoveObject>();
    remove->CharacterId = character->CharacterId();
    remove->Depth = depth;
    return Add(std::move(remove));
  }
  auto remove = std::make_unique<TSWFRemoveObject2>();
  remove->Depth = depth;
  return Add(std::move(remove));
}

void TFlashMovie::ShowFrame(std::uint16_t count) {
  if (count == 0) count = 1;
  if (!FrameLabel.empty()) {
    Add(std::make_unique<TSWFFrameLabel>(FrameLabel));
    FrameLabel.clear();
  }
  if (frame_actions_) AddObject(std::move(frame_actions_));
  for (std::uint16_t i = 0; i < count; ++i) {
    ++FrameCount;
    Add(std::make_unique<TSWFShowFrame>());
  }
  CurrentFrameNum = FrameCount - 1;
}

TSWFStartSound* TFlashMovie::StartSound(std::uint16_t soundId) {
  auto start = std::make_unique<TSWFStartSound>();
  start->SoundId = soundId;
  return Add(std::move(start));
}

TBasedSWFObject* TFlashMovie::AddObject(std::unique_ptr<TBasedSWFObject> object) {
  objects_.push_back(std::move(object));
  return objects_.back().get();
}

int TFlashMovie::IndexOfObject(const TBasedSWFObject* object) const {
  for (int i = static_cast<int>(objects_.size()) - 1; i >= 0; --i) {
    if (objects_[i].get() == object) return i;
  }
  return -1;
}

void TFlashMovie::MoveObject(int from, int to) {
  if (from == to) return;
  auto first = objects_.begin();
  if (from > to) {
    std::rotate(first + to, first + from, first + from + 1);
  } else {
    std::rotate(first + from, first + from + 1, first + to + 1);
  }
}

// --- writing

void TFlashMovie::MakeStream() {
  TMemoryStream& body = BodyStream();
  body.Clear();
  // Room for the whole body at once: growing it step by step would copy it
  // each time and hold two copies meanwhile. Room that stays unused costs
  // no memory, so the guess is generous; the bitmap data, known by now for
  // lossless bitmaps, is most of a body.
  std::uint64_t room = 65536 + 256 * static_cast<std::uint64_t>(objects_.size());
  if (images_) {
    for (std::uint16_t k = 0; k < images_->Count(); ++k) {
      const TFlashImage& image = *images_->Items(k);
      if (!image.IsJPEG && image.DataState == kImageLossless) room += image.LosslessDataSize() + 64;
    }
  }
  body.Reserve(static_cast<std::size_t>(std::min<std::uint64_t>(room, std::uint64_t{1} << 32)));
  WriteBody(body, true);
}

void TFlashMovie::MakeStreamToFile(const std::string& fileName) {
  // The first writing settles the length, the frame count and the version
  // for the header; the second goes straight to the file.
  const std::uint64_t size = CountBody();
  const std::uint16_t frames = FrameCount;
  SaveBodyToFile(fileName, size, [this](TStream& out) { WriteBody(out, false); });
  if (FrameCount != frames) throw Error("internal: the movie's frames came out differently when it was written again");
}

void TFlashMovie::MakeStreamInto(TStream& destination) {
  const std::uint64_t size = CountBody();
  const std::uint16_t frames = FrameCount;
  // Room for the whole file at once (deflate leaves data that is already
  // compressed, most of an album, at about its size; room that stays unused
  // costs no memory), so the file is not copied while it grows.
  if (auto* memory = dynamic_cast<TMemoryStream*>(&destination))
    memory->Reserve(static_cast<std::size_t>(memory->Position() + size + size / 64 + 65536));
  SaveBody(destination, size, [this](TStream& out) { WriteBody(out, false); });
  if (FrameCount != frames) throw Error("internal: the movie's frames came out differently when it was written again");
}

std::uint64_t TFlashMovie::CountBody() {
  TCountingStream counted;
  WriteBody(counted, true);
  return counted.Size();
}

void TFlashMovie::WriteBody(TStream& out, bool report) {
  TBitsEngine be(out);
  int frames = 0;
  bool placed = false;

  // The file's version is settled before anything is written: placements
  // encode their clip events for it, so every one must see the final value.
  int version = Version();
  for (const auto& object : objects_) version = std::max(version, object->MinVersion());
  for (const auto& video : place_videos_) version = std::max(version, video->MinVersion());
  TFlashSound* streamSound = EnableBgSound ? background_sound_.get() : nullptr;
  if (streamSound) version = std::max(version, streamSound->MinVersion());
  if (Version() < version) SetVersion(static_cast<std::uint8_t>(std::min(version, 255)));
  const std::uint8_t fileVersion = Version();

  if (background_set_) {
    TSWFSetBackgroundColor tag;
    tag.Color.Assign(*background_color_);
    tag.WriteToStream(be);
  }
  if (streamSound) {
    TSWFSoundStreamHead2 head;
    streamSound->FillStreamHead(head, FPS());
    head.WriteToStream(be);
  }

  const std::size_t count = objects_.size();
  for (std::size_t i = 0; i < count; ++i) {
    TBasedSWFObject& object = *objects_[i];
    if (OnProgress && report) {
      DoProgress(static_cast<int>(std::nearbyint(static_cast<double>(i + 1) / count * 100.0)), kProgressWriting);
    }
    if (object.LibraryLevel() == 0) {
      switch (static_cast<TSWFObject&>(object).TagID) {
        case tag::ShowFrame:
          for (const auto& video : place_videos_) video->WriteFrame(be, static_cast<std::uint32_t>(frames));
          if (streamSound) streamSound->WriteStreamBlock(be);
          ++frames;
          break;
        case tag::PlaceObject: case tag::PlaceObject2: case tag::PlaceObject3:
          placed = true;
          break;
        default:
          break;
      }
    } else {
      if (auto* place = dynamic_cast<TFlashPlaceObject*>(&object)) {
        place->SetSWFVersion(fileVersion);
        placed = true;
      }
    }
    object.WriteToStream(be);
    // Known once the object has written itself (an import may leave frames out).
    if (object.LibraryLevel() != 0) frames += static_cast<TFlashObject&>(object).TimelineFrames();
  }

  if (frames == 0 && (placed || !place_videos_.empty())) {
    for (const auto& video : place_videos_) video->WriteFrame(be, 0);
    if (streamSound) streamSound->WriteStreamBlock(be);
    TSWFShowFrame().WriteToStream(be);
    frames = 1;
  }
  if (objects_.empty() || !IsTag(*objects_.back(), tag::End)) TSWFEnd().WriteToStream(be);
  FrameCount = static_cast<std::uint16_t>(frames);
}

int TFlashMovie::FindFrameIndex(int frame) {
  if (frame == 0 || objects_.empty()) return 0;
  int shown = 0;
  for (std::size_t i = 0; i < objects_.size(); ++i) {
    if (IsTag(*objects_[i], tag::ShowFrame) && ++shown == frame) return static_cast<int>(i);
  }
  return static_cast<int>(objects_.size()) - 1;
}

void TFlashMovie::MoveResource(int to, int from, int upTo) {
  if (objects_.empty()) return;
  if (from < to) to = from;
  if (upTo == -1) {
    upTo = FrameCount;
  } else if (upTo == 0 || upTo < from) {
    upTo = from;
  }
  int target = FindFrameIndex(to);
  int d = IsTag(*objects_[target], tag::ShowFrame) ? 1 : 0;
  int start = from == to ? target + d + 1 : FindFrameIndex(from) + 1;
  int end = FindFrameIndex(upTo + 1);
  if (IsTag(*objects_[end], tag::ShowFrame)) --end;
  if (start >= end) return;
  int moved = 0;
  for (int k = start; k <= end && k < static_cast<int>(objects_.size()); ++k) {
    if (IsResource(*objects_[k])) {
      MoveObject(k, target + d + moved);
      ++moved;
    }
  }
}

void TFlashMovie::Clear() {
  background_set_ = false;
  for (TFlashObjectList* list : std::initializer_list<TFlashObjectList*>{
           shapes_.get(), images_.get(), sounds_.get(), sprites_.get(), texts_.get(), fonts_.get(), buttons_.get(),
           morph_shapes_.get(), videos_.get()}) {
    if (list) list->Clear();
  }
  place_videos_.clear();
  objects_.clear();
  NextID = 0;
  ids_exhausted_ = false;
}

// --- parts created on first access

TSWFRGB& TFlashMovie::BackgroundColor() {
  if (!background_color_) background_color_ = std::make_unique<TSWFRGB>();
  background_set_ = true;
  return *background_color_;
}

TFlashActionScript& TFlashMovie::FrameActions() {
  if (!frame_actions_) frame_actions_ = std::make_unique<TFlashActionScript>(this);
  return *frame_actions_;
}

TFlashFilterSettings& TFlashMovie::FilterSettings() {
  if (!filter_settings_) filter_settings_ = std::make_unique<TFlashFilterSettings>();
  return *filter_settings_;
}

TFlashSound& TFlashMovie::BackgroundSound() {
  if (!background_sound_) {
    background_sound_ = std::make_unique<TFlashSound>(this);
    EnableBgSound = true;
  }
  return *background_sound_;
}

TBaseCompileContext& TFlashMovie::CompileContext() {
  if (!compile_context_) {
    TCompileContextFactory factory = CompileContextFactory();
    if (!factory) throw Error("No ActionScript compiler is installed");
    compile_context_ = factory(this);
  }
  return *compile_context_;
}

TMemoryStream& TFlashMovie::CompileErrors() {
  if (!compile_errors_) compile_errors_ = std::make_unique<TMemoryStream>();
  return *compile_errors_;
}

}  // namespace yel::swf
