// The player's frame loop: each frame the main timeline and then every clip
// that was already on stage moves on one frame (running that frame's
// placements and removals), clips placed in this frame show their first
// frame, and then the queued frame scripts that are plain timeline controls
// run in order.
#include "swf/render/player.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <variant>

#include "swf/format/actions/action_records.h"
#include "swf/format/actions/do_action_tags.h"
#include "swf/format/button_tags.h"
#include "swf/format/display_list_tags.h"
#include "swf/format/place_object_tags.h"

namespace yel::swf::render {
namespace {

// Frame scripts run per frame at most; a pair of frames whose scripts send
// the playhead to each other ends there.
constexpr int kMaxActionsPerFrame = 10'000;

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

TMatrix TMatrix::FromSWF(const TSWFMatrixRec& m) {
  TMatrix r;
  if (m.HasScale) {
    r.A = m.ScaleX / 65536.0;
    r.D = m.ScaleY / 65536.0;
  }
  if (m.HasSkew) {
    r.B = m.SkewY / 65536.0;  // RotateSkew0
    r.C = m.SkewX / 65536.0;  // RotateSkew1
  }
  r.TX = m.TranslateX;
  r.TY = m.TranslateY;
  return r;
}

TMatrix TMatrix::operator*(const TMatrix& m) const {
  TMatrix r;
  r.A = A * m.A + C * m.B;
  r.B = B * m.A + D * m.B;
  r.C = A * m.C + C * m.D;
  r.D = B * m.C + D * m.D;
  r.TX = A * m.TX + C * m.TY + TX;
  r.TY = B * m.TX + D * m.TY + TY;
  return r;
}

TColorTransform TColorTransform::FromSWF(const TSWFColorTransformRec& c) {
  TColorTransform t;
  if (c.HasMult) {
    t.MR = c.MultR / 256.0f;
    t.MG = c.MultG / 256.0f;
    t.MB = c.MultB / 256.0f;
    if (c.HasAlpha) t.MA = c.MultA / 256.0f;
  }
  if (c.HasAdd) {
    t.AR = c.AddR;
    t.AG = c.AddG;
    t.AB = c.AddB;
    if (c.HasAlpha) t.AA = c.AddA;
  }
  return t;
}

TColorTransform TColorTransform::operator*(const TColorTransform& c) const {
  TColorTransform t;
  t.MR = MR * c.MR;
  t.MG = MG * c.MG;
  t.MB = MB * c.MB;
  t.MA = MA * c.MA;
  t.AR = MR * c.AR + AR;
  t.AG = MG * c.AG + AG;
  t.AB = MB * c.AB + AB;
  t.AA = MA * c.AA + AA;
  return t;
}

TPackedColor TColorTransform::Apply(TPackedColor rgba) const {
  auto ch = [](std::uint32_t v, float m, float a) {
    const float r = std::floor(float(v) * m + a);
    return std::uint32_t(std::clamp(r, 0.0f, 255.0f));
  };
  return ch(rgba & 255, MR, AR) | ch((rgba >> 8) & 255, MG, AG) << 8 | ch((rgba >> 16) & 255, MB, AB) << 16 |
         ch(rgba >> 24, MA, AA) << 24;
}

TPlayer::TPlayer(TMovie& movie) : movie_(movie) {
  root_ = std::make_shared<TDisplayObject>(&live_);
  root_->Timeline = &movie_.MainTimeline();
}

int TPlayer::FrameCount(const TDisplayObject& clip, int wanted) {
  if (clip.Timeline == &movie_.MainTimeline()) return movie_.LoadFrames(wanted);
  return clip.Timeline ? clip.Timeline->FrameCount() : 0;
}

void TPlayer::Advance() {
  ++shown_;
  if (shown_ == 1) {
    Goto(root_, 1);
  } else {
    AdvanceClip(root_);
  }
  RunActions();
  movie_.ReleaseBefore(root_->CurrentFrame);
}

void TPlayer::AdvanceTo(int n) {
  while (shown_ < n) Advance();
}

void TPlayer::AdvanceClip(const Clip& clip) {
  if (clip->Timeline && clip->Playing) {
    const int next = clip->CurrentFrame + 1;
    const int total = FrameCount(*clip, next);
    if (next <= total) {
      RunFrameTags(clip, next, true);
      clip->CurrentFrame = next;
    } else if (total > 1 && !(clip == root_ && movie_.Released())) {
      // The end of a timeline loops to its start (not the main timeline's
      // once characters it needs again were let go).
      Goto(clip, 1);
    }
  }
  // Clips that were on stage before this frame move on; new ones showed
  // their first frame when placed.
  std::vector<Clip> children;
  children.reserve(clip->Children.size());
  for (const auto& [depth, child] : clip->Children)
    if (child->PlacedInTick != shown_ && (child->Timeline || !child->Children.empty()))
      children.push_back(child);
  for (const Clip& child : children) AdvanceClip(child);
}

void TPlayer::Goto(const Clip& clip, int frame) {
  if (!clip->Timeline) return;
  const int total = FrameCount(*clip, frame);
  if (total == 0) return;
  frame = std::clamp(frame, 1, total);
  if (frame == clip->CurrentFrame) return;
  if (frame < clip->CurrentFrame) {
    if (clip == root_ && movie_.Released()) return;
    clip->Children.clear();
    clip->CurrentFrame = 0;
  }
  for (int f = clip->CurrentFrame + 1; f < frame; ++f) RunFrameTags(clip, f, false);
  RunFrameTags(clip, frame, true);
  clip->CurrentFrame = frame;
}

void TPlayer::RunFrameTags(const Clip& clip, int frame, bool queueActions) {
  const auto& tags = clip->Timeline->Frames[std::size_t(frame - 1)];
  for (const TSWFObject* tag : tags) {
    switch (tag->TagID) {
      case tag::RemoveObject:
        clip->Children.erase(static_cast<const TSWFRemoveObject*>(tag)->Depth);
        break;
      case tag::RemoveObject2:
        clip->Children.erase(static_cast<const TSWFRemoveObject2*>(tag)->Depth);
        break;
      case tag::DoAction:
        if (queueActions) queue_.push_back({clip, static_cast<const TSWFDoAction*>(tag)});
        break;
      default: Place(clip, *tag, queueActions); break;
    }
  }
}

TPlayer::Clip TPlayer::NewObject(const TDisplayObject& parent, std::uint16_t depth, std::uint16_t id) {
  const TSWFObject* definition = movie_.Character(id);
  if (!definition) {
    movie_.Warn("character " + std::to_string(id) + " is placed but not defined; it is skipped");
    return nullptr;
  }
  if (live_ >= kMaxDisplayObjects) {
    movie_.Warn("the movie places more than " + std::to_string(kMaxDisplayObjects) +
                " objects at once; the rest are skipped");
    return nullptr;
  }
  if (parent.Nesting >= kMaxSpriteNesting) {
    movie_.Warn("sprites are nested more than " + std::to_string(kMaxSpriteNesting) +
                " deep (a sprite that places itself?); the deeper ones are skipped");
    return nullptr;
  }
  auto object = std::make_shared<TDisplayObject>(&live_);
  object->Depth = depth;
  object->CharacterId = id;
  object->Definition = definition;
  object->Nesting = parent.Nesting + 1;
  object->PlacedInTick = shown_;
  return object;
}

void TPlayer::Instantiate(const Clip& object, bool queueActions) {
  const TSWFObject& definition = *object->Definition;
  if (definition.TagID == tag::DefineSprite) {
    object->Timeline = movie_.SpriteTimeline(object->CharacterId);
    if (object->Timeline && object->Timeline->FrameCount() > 0) {
      RunFrameTags(object, 1, queueActions);
      object->CurrentFrame = 1;
    }
  } else if (const auto* button = dynamic_cast<const TSWFBasedButton*>(&definition)) {
    // A button shows its up state: its records become children.
    const TSWFObject* cxform = movie_.ButtonCxform(button->ButtonId);
    for (const auto& record : button->ButtonRecords) {
      if (!record->ButtonStateUp) continue;
      Clip child = NewObject(*object, record->PlaceDepth, record->CharacterId);
      if (!child) continue;
      child->Matrix = TMatrix::FromSWF(record->Matrix.Rec());
      if (record->HasColorTransform())
        child->ColorTransform = TColorTransform::FromSWF(record->ColorTransform().Rec());
      else if (cxform)
        child->ColorTransform =
            TColorTransform::FromSWF(static_cast<const TSWFDefineButtonCxform*>(cxform)->ColorTransform.Rec());
      if (record->HasBlendMode) child->BlendMode = record->BlendMode;
      if (record->HasFilterList) child->Filters = &record->FilterList();
      Instantiate(child, queueActions);
      object->Children[record->PlaceDepth] = child;
    }
  }
}

void TPlayer::Place(const Clip& clip, const TSWFObject& tag, bool queueActions) {
  if (tag.TagID == tag::PlaceObject) {
    const auto& place = static_cast<const TSWFPlaceObject&>(tag);
    Clip object = NewObject(*clip, place.Depth, place.CharacterId);
    if (!object) return;
    object->Matrix = TMatrix::FromSWF(place.Matrix.Rec());
    if (place.ColorTransformPresent()) object->ColorTransform = TColorTransform::FromSWF(place.ColorTransform.Rec());
    clip->Children[place.Depth] = object;
    Instantiate(object, queueActions);
    return;
  }
  const auto& place = static_cast<const TSWFPlaceObject2&>(tag);
  auto it = clip->Children.find(place.Depth);
  Clip object;
  if (place.HasCharacter && (!place.Move || it == clip->Children.end() || it->second->CharacterId != place.CharacterId)) {
    object = NewObject(*clip, place.Depth, place.CharacterId);
    if (!object) return;
    if (place.Move && it != clip->Children.end()) {
      // A replaced character keeps the placement's other properties.
      const TDisplayObject& old = *it->second;
      object->Matrix = old.Matrix;
      object->ColorTransform = old.ColorTransform;
      object->Ratio = old.Ratio;
      object->ClipDepth = old.ClipDepth;
      object->Name = old.Name;
      object->BlendMode = old.BlendMode;
      object->Filters = old.Filters;
    }
  } else if (it != clip->Children.end()) {
    object = it->second;
  } else {
    return;  // moves nothing
  }
  if (place.HasMatrix) object->Matrix = TMatrix::FromSWF(place.Matrix().Rec());
  if (place.HasColorTransform) object->ColorTransform = TColorTransform::FromSWF(place.ColorTransform().Rec());
  if (place.HasRatio) object->Ratio = place.Ratio;
  if (place.HasClipDepth) object->ClipDepth = place.ClipDepth;
  if (place.HasName) object->Name = place.Name;
  if (place.HasClipActions) movie_.Warn("scripts were not run (clip event actions)");
  if (const auto* place3 = dynamic_cast<const TSWFPlaceObject3*>(&place)) {
    if (place3->HasBlendMode) object->BlendMode = place3->BlendMode;
    if (place3->HasFilterList) object->Filters = &place3->FilterList();
  }
  if (object != (it == clip->Children.end() ? nullptr : it->second)) {
    clip->Children[place.Depth] = object;
    Instantiate(object, queueActions);
  }
}

bool TPlayer::IsPlainControl(const TSWFDoAction& actions) {
  const TSWFActionList& list = actions.Actions();
  for (std::size_t i = 0; i < list.Count(); ++i) {
    const TSWFAction* action = list[i];
    switch (action->ActionCode) {
      case 0x00: case 0x04: case 0x05: case 0x06: case 0x07: case 0x81: case 0x8C: case 0x9F: break;
      case 0x96: {
        // A constant pushed for the GotoFrame2 that follows.
        const auto* push = dynamic_cast<const TSWFActionPush*>(action);
        if (!push || push->ValueCount() != 1 || i + 1 >= list.Count() || list[i + 1]->ActionCode != 0x9F) return false;
        const std::uint8_t type = push->Values[0].ValueType;
        if (type != kPushString && type != kPushFloat && type != kPushDouble && type != kPushInteger) return false;
        break;
      }
      default: return false;
    }
    if (action->ActionCode == 0x9F && (i == 0 || list[i - 1]->ActionCode != 0x96)) return false;
  }
  return true;
}

void TPlayer::RunActions() {
  int ran = 0;
  for (std::size_t i = 0; i < queue_.size() && ran < kMaxActionsPerFrame; ++i, ++ran) {
    Clip clip = queue_[i].Target.lock();
    if (!clip) continue;
    RunActionList(clip, *queue_[i].Actions);
  }
  queue_.clear();
}

void TPlayer::RunActionList(const Clip& clip, const TSWFDoAction& actions) {
  if (!IsPlainControl(actions)) {
    movie_.Warn("scripts were not run (only plain timeline controls are)");
    return;
  }
  const TSWFActionList& list = actions.Actions();
  const TSWFActionPush* pushed = nullptr;
  auto gotoLabel = [&](const std::string& label) {
    const auto& labels = clip->Timeline->Labels;
    auto found = labels.find(Lower(label));
    if (found != labels.end()) Goto(clip, found->second);
  };
  for (const auto& action : list) {
    switch (action->ActionCode) {
      case 0x07: clip->Playing = false; break;
      case 0x06: clip->Playing = true; break;
      case 0x04:
        Goto(clip, clip->CurrentFrame + 1);
        clip->Playing = false;
        break;
      case 0x05:
        Goto(clip, clip->CurrentFrame - 1);
        clip->Playing = false;
        break;
      case 0x81:
        Goto(clip, static_cast<const TSWFActionGotoFrame&>(*action).Frame + 1);
        clip->Playing = false;
        break;
      case 0x8C:
        gotoLabel(static_cast<const TSWFActionGoToLabel&>(*action).Label);
        clip->Playing = false;
        break;
      case 0x96: pushed = static_cast<const TSWFActionPush*>(action.get()); break;
      case 0x9F: {
        const auto& go = static_cast<const TSWFActionGotoFrame2&>(*action);
        const int bias = go.SceneBiasFlag ? go.SceneBias : 0;
        if (pushed) {
          const TPushValue& value = pushed->Values[0].Value;
          double number = std::nan("");
          if (const auto* s = std::get_if<std::string>(&value)) {
            char* end = nullptr;
            const double parsed = std::strtod(s->c_str(), &end);
            if (!s->empty() && end && *end == 0) number = parsed;
            else gotoLabel(*s);
          } else if (const auto* i = std::get_if<std::int64_t>(&value)) {
            number = double(*i);
          } else if (const auto* f = std::get_if<float>(&value)) {
            number = *f;
          } else if (const auto* d = std::get_if<double>(&value)) {
            number = *d;
          }
          if (std::isfinite(number)) Goto(clip, int(std::clamp(number, -1.0, 1e6)) + bias);
        }
        clip->Playing = go.PlayFlag;
        break;
      }
      default: break;
    }
    if (!clip->Timeline) break;
  }
}

}  // namespace yel::swf::render
