// Placements: the matrix, colour and clip settings of a display-list entry,
// its filters and clip events, and the choice between PlaceObject2 and 3.
#include "swf/builder/flash_place_object.h"

#include <algorithm>

#include "base/files.h"
#include "swf/builder/compile_context_base.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_sprite.h"

namespace yel::swf {
namespace {

// Events that only the 32-bit event field of SWF 6 and later can carry.
constexpr std::uint32_t kLongEvents = kClipEventConstruct | kClipEventKeyPress | kClipEventDragOut;

}  // namespace

TFlashPlaceObject::TFlashPlaceObject(TFlashMovie* owner, std::uint16_t depth, TFlashVisualObject* character)
    : TFlashObject(owner), record_(std::make_unique<TSWFPlaceObject3>()), character_(character) {
  record_->Depth = depth;
  record_->SWFVersion = owner ? owner->Version() : 5;
  if (character) record_->SetCharacterId(character->CharacterId());
}

TFlashPlaceObject::~TFlashPlaceObject() = default;

void TFlashPlaceObject::Assign(const TBasedSWFObject& source) {
  const auto& place = AssignSource<TFlashPlaceObject>(source);
  record_->Assign(*place.record_);
  character_ = place.character_;
}

// Reading through a const record: the non-const accessors set flags.
bool TFlashPlaceObject::UsesPlaceObject3() const {
  const TSWFPlaceObject3& r = *record_;
  return r.BlendMode > 1 || r.HasCacheAsBitmap || (r.HasFilterList && !r.FilterList().Filters.empty());
}

int TFlashPlaceObject::MinVersion() const {
  if (UsesPlaceObject3()) return 8;
  const TSWFPlaceObject3& r = *record_;
  const TSWFClipActions& actions = r.ClipActions();
  if (r.HasClipActions && !actions.Records.empty()) {
    bool longEvents = (actions.AllEventFlags & kLongEvents) != 0;
    for (const auto& record : actions.Records) longEvents = longEvents || (record->EventFlags & kLongEvents) != 0;
    return longEvents ? 6 : 5;
  }
  return 3;
}

void TFlashPlaceObject::WriteToStream(TBitsEngine& be) {
  bool third = UsesPlaceObject3();
  record_->TagID = third ? tag::PlaceObject3 : tag::PlaceObject2;
  record_->AsPlaceObject2 = !third;
  record_->WriteToStream(be);
}

// --- matrix

void TFlashPlaceObject::SetTranslate(std::int32_t x, std::int32_t y) {
  if (x == 0 && y == 0 && !record_->HasMatrix && !record_->Move) return;
  int f = Owner() ? Owner()->UnitMultiplier() : 1;
  record_->Matrix().SetTranslate(ScaleUnits(x, f), ScaleUnits(y, f));
}

void TFlashPlaceObject::TranslateX(std::int32_t value) {
  // Without a character the movie's unit applies.
  int f = character_ ? character_->UnitFactor() : (Owner() ? Owner()->UnitMultiplier() : 1);
  record_->Matrix().TranslateX = ScaleUnits(value, f);
}

void TFlashPlaceObject::TranslateY(std::int32_t value) {
  int f = character_ ? character_->UnitFactor() : (Owner() ? Owner()->UnitMultiplier() : 1);
  record_->Matrix().TranslateY = ScaleUnits(value, f);
}

void TFlashPlaceObject::SetScale(float scaleX, float scaleY) { record_->Matrix().SetScale(scaleX, scaleY); }

void TFlashPlaceObject::SetRotate(float angle) { record_->Matrix().SetRotate(angle); }

// --- other fields

TSWFColorTransform& TFlashPlaceObject::ColorTransform() { return record_->ColorTransform(); }

void TFlashPlaceObject::SetClipDepth(std::uint16_t depth) { record_->SetClipDepth(depth); }

void TFlashPlaceObject::SetRatio(std::uint16_t ratio) { record_->SetRatio(ratio); }

void TFlashPlaceObject::SetName(const std::string& name) { record_->SetName(name); }

void TFlashPlaceObject::SetBlendMode(std::uint8_t mode) {
  record_->BlendMode = mode;
  record_->HasBlendMode = mode > 1;
}

// --- filters

TSWFFilter* TFlashPlaceObject::FindFilter(std::uint8_t filterType) const {
  for (const auto& filter : static_cast<const TSWFPlaceObject3&>(*record_).FilterList().Filters) {
    if (filter->FilterType == filterType) return filter.get();
  }
  return nullptr;
}

TSWFGlowFilter& TFlashPlaceObject::GlowFilter() {
  if (auto* found = static_cast<TSWFGlowFilter*>(FindFilter(kFilterGlow))) return *found;
  auto* glow = static_cast<TSWFGlowFilter*>(record_->FilterList().AddFilter(kFilterGlow));
  if (Owner()) {
    const TFlashFilterSettings& settings = Owner()->FilterSettings();
    glow->Color.SetRGBA(settings.GlowColor);
    glow->BlurX = settings.BlurX;
    glow->BlurY = settings.BlurY;
    glow->Strength = static_cast<float>(settings.Strength) / 100.0f;
    glow->InnerGlow = settings.InnerGlow;
    glow->Knockout = settings.Knockout;
    glow->Passes = static_cast<std::uint8_t>(std::min(1 + settings.ExtraPasses, 31));
    glow->CompositeSource = !settings.CompositeSourceOff;
  }
  return *glow;
}

// --- clip events

TSWFClipActionRecord& TFlashPlaceObject::OnClipEvent(std::uint32_t events) {
  return record_->ClipActions().AddActions(events);
}

TSWFClipActionRecord* TFlashPlaceObject::FindActionEvent(std::uint32_t event, bool create) {
  if (!dynamic_cast<TFlashSprite*>(character_)) return nullptr;
  for (const auto& record : static_cast<const TSWFPlaceObject3&>(*record_).ClipActions().Records) {
    if (record->EventFlags & event) return record.get();
  }
  return create ? &OnClipEvent(event) : nullptr;
}

bool TFlashPlaceObject::CompileActions(TStream& source) {
  if (!Owner()) throw Error("Clip actions can only be compiled for a placement in a movie");
  try {
    source.Seek(0);
    Owner()->CompileContext().CompileClip(source, *this);
    record_->HasClipActions = true;
    return true;
  } catch (const EActionCompileError& error) {
    LogCompileError(*Owner(), error.what());
    return false;
  }
}

bool TFlashPlaceObject::CompileActions(std::string_view text) {
  TBufferStream stream(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  return CompileActions(stream);
}

bool TFlashPlaceObject::CompileActionsFile(const std::string& fileName) {
  std::vector<std::uint8_t> bytes = ReadFileBytes(fileName);
  TBufferStream stream(bytes.data(), bytes.size());
  return CompileActions(stream);
}

}  // namespace yel::swf
