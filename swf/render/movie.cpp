// Reading a movie for the renderer: tags arrive one at a time from the
// scanner; definitions go into the dictionary, control tags into the frame
// being read, and everything else (sounds, metadata) is let go at once.
#include "swf/render/movie.h"

#include <algorithm>
#include <cctype>

#include "base/error.h"
#include "swf/format/bitmap_tags.h"
#include "swf/format/button_tags.h"
#include "swf/format/control_tags.h"
#include "swf/format/display_list_tags.h"
#include "swf/format/font_tags.h"
#include "swf/format/morph_shape_tags.h"
#include "swf/format/shape_tags.h"
#include "swf/format/swf_stream.h"
#include "swf/format/tag_factory.h"
#include "swf/format/text_tags.h"
#include "swf/format/video_tags.h"
#include "swf/format/actions/do_action_tags.h"
#include "swf/format/place_object_tags.h"

namespace yel::swf::render {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool IsControlTag(std::uint16_t code) {
  switch (code) {
    case tag::PlaceObject: case tag::PlaceObject2: case tag::PlaceObject3:
    case tag::RemoveObject: case tag::RemoveObject2: case tag::DoAction:
      return true;
    default: return false;
  }
}

// The character id a definition tag defines, or -1.
int DefinedId(const TSWFObject& tag) {
  if (auto* t = dynamic_cast<const TSWFDefineShape*>(&tag)) return t->ShapeId;
  if (auto* t = dynamic_cast<const TSWFImageTag*>(&tag)) return t->ID;
  if (auto* t = dynamic_cast<const TSWFDefineMorphShape*>(&tag)) return t->CharacterId;
  if (auto* t = dynamic_cast<const TSWFDefineSprite*>(&tag)) return t->SpriteId;
  if (auto* t = dynamic_cast<const TSWFDefineFont*>(&tag)) return t->FontID;
  if (auto* t = dynamic_cast<const TSWFDefineText*>(&tag)) return t->CharacterID;
  if (auto* t = dynamic_cast<const TSWFDefineEditText*>(&tag)) return t->CharacterID;
  if (auto* t = dynamic_cast<const TSWFBasedButton*>(&tag)) return t->ButtonId;
  if (auto* t = dynamic_cast<const TSWFDefineVideoStream*>(&tag)) return t->CharacterId;
  return -1;
}

}  // namespace

TMovie::~TMovie() = default;

std::unique_ptr<TMovie> TMovie::OpenFile(const std::string& fileName) {
  std::unique_ptr<TMovie> movie(new TMovie);
  movie->name_ = fileName;
  movie->file_name_ = fileName;
  movie->scanner_ = std::make_unique<TSWFTagScanner>(fileName);
  movie->ReadHeader();
  return movie;
}

std::unique_ptr<TMovie> TMovie::OpenBytes(const std::uint8_t* data, std::size_t size, const std::string& name) {
  std::unique_ptr<TMovie> movie(new TMovie);
  movie->name_ = name;
  movie->bytes_ = data;
  movie->size_ = size;
  movie->scanner_ = std::make_unique<TSWFTagScanner>(data, size, name);
  movie->ReadHeader();
  return movie;
}

void TMovie::ReadHeader() {
  const TSWFBodyReader& body = scanner_->Body();
  if (!body.IsSWF()) throw Error(name_ + ": not an SWF file");
  const TRect& r = body.MovieRect();
  stage_ = r;
  if (stage_.Right <= stage_.Left || stage_.Bottom <= stage_.Top)
    throw Error(name_ + ": the movie's stage is empty");
  fps_ = body.FPS();
  version_ = body.Version();
  declared_frames_ = std::max<int>(1, body.FrameCount());
}

void TMovie::Warn(const std::string& message) {
  if (!warned_.insert(message).second) return;
  if (OnWarning) OnWarning(message);
}

const TSWFObject* TMovie::Character(std::uint16_t id) const {
  auto it = characters_.find(id);
  return it == characters_.end() ? nullptr : it->second;
}

const TTimeline* TMovie::SpriteTimeline(std::uint16_t id) const {
  auto it = sprites_.find(id);
  return it == sprites_.end() ? nullptr : &it->second;
}

const TSWFObject* TMovie::FontInfo(std::uint16_t id) const {
  auto it = font_infos_.find(id);
  return it == font_infos_.end() ? nullptr : it->second;
}

const TSWFObject* TMovie::ButtonCxform(std::uint16_t id) const {
  auto it = button_cxforms_.find(id);
  return it == button_cxforms_.end() ? nullptr : it->second;
}

void TMovie::Define(std::uint16_t id, const TSWFObject* tag) {
  // A player keeps the first definition of an id.
  characters_.emplace(id, tag);
}

TTimeline TMovie::BuildSpriteTimeline(const TSWFObject& spriteTag) {
  const auto& sprite = static_cast<const TSWFDefineSprite&>(spriteTag);
  TTimeline timeline;
  std::vector<const TSWFObject*> frame;
  for (const auto& child : sprite.ControlTags) {
    const auto* tag = dynamic_cast<const TSWFObject*>(child.get());
    if (!tag) continue;
    if (tag->TagID == tag::ShowFrame) {
      timeline.Frames.push_back(std::move(frame));
      frame.clear();
    } else if (tag->TagID == tag::FrameLabel) {
      const auto& label = static_cast<const TSWFFrameLabel&>(*tag);
      timeline.Labels.emplace(Lower(label.Name), timeline.FrameCount() + 1);
    } else if (IsControlTag(tag->TagID)) {
      frame.push_back(tag);
    }
  }
  // Tags after the last ShowFrame make a last frame of their own.
  if (!frame.empty()) timeline.Frames.push_back(std::move(frame));
  return timeline;
}

void TMovie::AddTag(std::unique_ptr<TSWFTagInfo> info) {
  TSWFObject* tag = info->TagObject;
  if (!tag) return;
  const std::uint16_t code = tag->TagID;
  if (code == tag::ErrorTag) {
    const auto* raw = dynamic_cast<const TSWFByteCodeTag*>(tag);
    if (raw && !raw->Description.empty())
      Warn("a " + TagName(raw->TagCode) + " tag could not be read (" + raw->Description + "); it is skipped");
    return;
  }
  if (code == tag::ShowFrame) {
    main_.Frames.push_back(std::move(pending_));
    pending_.clear();
    return;
  }
  if (code == tag::SetBackgroundColor) {
    const auto& bg = static_cast<const TSWFSetBackgroundColor&>(*tag);
    background_ = SWFRGBA(bg.Color.R, bg.Color.G, bg.Color.B, 255);
    return;
  }
  if (code == tag::FrameLabel) {
    main_.Labels.emplace(Lower(static_cast<const TSWFFrameLabel&>(*tag).Name), main_.FrameCount() + 1);
    return;
  }
  if (IsControlTag(code)) {
    pending_.push_back(tag);
    kept_.push_back(std::move(info));
    return;
  }
  if (code == tag::JPEGTables) {
    if (!jpeg_tables_) {
      jpeg_tables_ = static_cast<const TSWFJPEGTables*>(tag);
      kept_.push_back(std::move(info));
    }
    return;
  }
  if (code == tag::DefineFontInfo || code == tag::DefineFontInfo2) {
    font_infos_.emplace(static_cast<const TSWFDefineFontInfo&>(*tag).FontID, tag);
    kept_.push_back(std::move(info));
    return;
  }
  if (code == tag::DefineButtonCxform) {
    button_cxforms_.emplace(static_cast<const TSWFDefineButtonCxform&>(*tag).ButtonId, tag);
    kept_.push_back(std::move(info));
    return;
  }
  const int id = DefinedId(*tag);
  if (id < 0) return;
  if (characters_.count(std::uint16_t(id))) return;
  Define(std::uint16_t(id), tag);
  if (code == tag::DefineSprite) sprites_.emplace(std::uint16_t(id), BuildSpriteTimeline(*tag));
  definitions_[std::uint16_t(id)] = std::move(info);
}

int TMovie::LoadFrames(int n) {
  while (!complete_ && main_.FrameCount() < n) {
    std::unique_ptr<TSWFTagInfo> info;
    try {
      info = scanner_->Next();
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception& e) {
      // A damaged or cut-off body: what was read so far is the movie.
      Warn(std::string("the movie is damaged after frame ") + std::to_string(main_.FrameCount()) + " (" + e.what() +
           ")");
      info = nullptr;
    }
    if (!info || info->TagID == tag::End) {
      complete_ = true;
      // Control tags after the last ShowFrame make a last frame.
      if (!pending_.empty() || main_.Frames.empty()) {
        main_.Frames.push_back(std::move(pending_));
        pending_.clear();
      }
      break;
    }
    AddTag(std::move(info));
  }
  return main_.FrameCount();
}

namespace {

// The characters a definition draws with: placed characters of a sprite or
// button, bitmaps of fills, fonts of texts.
void Dependencies(const TSWFObject& tag, std::vector<std::uint16_t>& out) {
  auto fills = [&](const TSWFFillStyles& styles) {
    for (const auto& f : styles)
      if (const auto* image = dynamic_cast<const TSWFImageFill*>(f.get())) out.push_back(image->BitmapId);
  };
  auto lines = [&](const TSWFLineStyles& styles) {
    for (const auto& l : styles)
      if (const auto* l2 = dynamic_cast<const TSWFLineStyle2*>(l.get()))
        if (const auto* image = dynamic_cast<const TSWFImageFill*>(l2->FillStyle())) out.push_back(image->BitmapId);
  };
  if (const auto* shape = dynamic_cast<const TSWFDefineShape*>(&tag)) {
    fills(shape->FillStyles);
    lines(shape->LineStyles);
    for (const auto& r : shape->Edges)
      if (r->RecordKind == TSWFShapeRecordKind::StyleChange) {
        const auto& change = static_cast<const TSWFStyleChangeRecord&>(*r);
        if (change.StateNewStyles) {
          fills(change.NewFillStyles());
          lines(change.NewLineStyles());
        }
      }
  } else if (const auto* morph = dynamic_cast<const TSWFDefineMorphShape*>(&tag)) {
    for (const auto& f : morph->MorphFillStyles)
      if (const auto* image = dynamic_cast<const TSWFMorphImageFill*>(f.get())) out.push_back(image->BitmapId);
  } else if (const auto* sprite = dynamic_cast<const TSWFDefineSprite*>(&tag)) {
    for (const auto& child : sprite->ControlTags)
      if (const auto* place = dynamic_cast<const TSWFBasedPlaceObject*>(child.get()))
        if (place->CharacterId) out.push_back(place->CharacterId);
  } else if (const auto* button = dynamic_cast<const TSWFBasedButton*>(&tag)) {
    for (const auto& r : button->ButtonRecords) out.push_back(r->CharacterId);
  } else if (const auto* text = dynamic_cast<const TSWFDefineText*>(&tag)) {
    for (const auto& r : text->TextRecords)
      if (r->HasFont) out.push_back(r->FontID());
  } else if (const auto* field = dynamic_cast<const TSWFDefineEditText*>(&tag)) {
    if (field->HasFont) out.push_back(field->FontID);
  }
}

// A frame script that the player runs (plain timeline controls only) and
// that sends its timeline to another frame.
bool MayGoTo(const TSWFObject& tag) {
  const auto* actions = dynamic_cast<const TSWFDoAction*>(&tag);
  if (!actions) return false;
  bool goes = false;
  for (const auto& a : actions->Actions()) {
    switch (a->ActionCode) {
      case 0x00: case 0x06: case 0x07: case 0x96: break;
      case 0x04: case 0x05: case 0x81: case 0x8C: case 0x9F: goes = true; break;
      default: return false;  // not run at all
    }
  }
  return goes;
}

}  // namespace

bool TMovie::PlanReleases() {
  if (plan_) return true;
  std::unique_ptr<TSWFTagScanner> scanner =
      bytes_ ? std::make_unique<TSWFTagScanner>(bytes_, size_, name_) : std::make_unique<TSWFTagScanner>(file_name_);
  constexpr int kForever = 0x7FFFFFFF;
  std::unordered_map<std::uint16_t, std::vector<std::uint16_t>> uses;
  std::vector<std::uint16_t> order;  // definitions in file order
  std::unordered_map<std::uint16_t, std::uint16_t> onStage;  // depth -> character
  std::unordered_map<std::uint16_t, int> last;
  int frame = 1;
  auto leave = [&](std::uint16_t depth) {
    auto it = onStage.find(depth);
    if (it == onStage.end()) return;
    int& l = last[it->second];
    l = std::max(l, frame);
    onStage.erase(it);
  };
  try {
    while (auto info = scanner->Next(true)) {
      const TSWFObject* tag = info->TagObject;
      if (!tag || info->TagID == tag::End) break;
      switch (tag->TagID) {
        case tag::ShowFrame: ++frame; break;
        case tag::DoAction:
          // A main-timeline script that sends the timeline back would need
          // released characters again.
          if (MayGoTo(*tag)) return false;
          break;
        case tag::RemoveObject: leave(static_cast<const TSWFRemoveObject&>(*tag).Depth); break;
        case tag::RemoveObject2: leave(static_cast<const TSWFRemoveObject2&>(*tag).Depth); break;
        case tag::PlaceObject: {
          const auto& place = static_cast<const TSWFPlaceObject&>(*tag);
          leave(place.Depth);
          onStage[place.Depth] = place.CharacterId;
          break;
        }
        case tag::PlaceObject2: case tag::PlaceObject3: {
          const auto& place = static_cast<const TSWFPlaceObject2&>(*tag);
          if (place.HasCharacter) {
            leave(place.Depth);
            onStage[place.Depth] = place.CharacterId;
          }
          break;
        }
        default: break;
      }
      const int id = DefinedId(*tag);
      if (id >= 0 && !uses.count(std::uint16_t(id))) {
        Dependencies(*tag, uses[std::uint16_t(id)]);
        order.push_back(std::uint16_t(id));
      }
    }
  } catch (const std::exception&) {
    return false;  // a damaged file keeps everything
  }
  for (const auto& [depth, id] : onStage) last[id] = kForever;
  // A character lives as long as the latest user of it; users come after
  // what they use, so one pass from the end settles chains, and a second
  // pass catches the rest.
  for (int pass = 0; pass < 2; ++pass)
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
      const int l = last.count(*it) ? last[*it] : 0;
      for (std::uint16_t dep : uses[*it]) {
        int& d = last[dep];
        d = std::max(d, l);
      }
    }
  for (std::uint16_t id : order) {
    const int l = last.count(id) ? last[id] : 0;
    if (l == kForever) continue;
    // Never-placed characters stay (scripts might have used them elsewhere;
    // they cost nothing to keep drawn-off).
    if (l == 0) continue;
    last_use_[id] = l;
    release_order_.emplace(l, id);
  }
  plan_ = true;
  return true;
}

void TMovie::ReleaseBefore(int frame) {
  if (!plan_) return;
  while (!release_order_.empty() && release_order_.begin()->first < frame) {
    const std::uint16_t id = release_order_.begin()->second;
    release_order_.erase(release_order_.begin());
    auto it = definitions_.find(id);
    if (it == definitions_.end()) continue;
    characters_.erase(id);
    sprites_.erase(id);
    definitions_.erase(it);
    ++released_;
  }
}

}  // namespace yel::swf::render
