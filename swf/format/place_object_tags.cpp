// Bodies of the placement tags, the clip event actions of PlaceObject2 and 3,
// and the remove tags.
#include "swf/format/place_object_tags.h"

#include <algorithm>

#include "base/error.h"

namespace yel::swf {
namespace {

const char* const kClipEventNames[kClipEventCount] = {
    "KeyUp",    "KeyDown",   "MouseUp",        "MouseDown", "MouseMove", "Unload",     "EnterFrame",
    "Load",     "DragOver",  "RollOut",        "RollOver",  "ReleaseOutside", "Release", "Press",
    "Initialize", "Data",    "Construct",      "KeyPress",  "DragOut",
};

// Events that fit the 16-bit event field of SWF 5; the others (Construct,
// KeyPress, DragOut) need the 32-bit field of SWF 6 and later.
constexpr std::uint32_t kShortFieldEvents = 0xFFFF;

// A record read from a file with no action bytes at all (not even the End
// byte) holds one empty raw block, so that it is written back the same way.
bool HasNoActionBytes(const TSWFActionList& list) {
  if (list.Count() != 1) return false;
  const auto* raw = dynamic_cast<const TSWFActionByteCode*>(list[0]);
  return raw && raw->Bytes.empty();
}

bool EndsWithZeroByteBlock(const TSWFActionList& list) {
  if (list.Empty()) return false;
  const auto* raw = dynamic_cast<const TSWFActionByteCode*>(list[list.Count() - 1]);
  return raw && !raw->Bytes.empty() && raw->Bytes.back() == 0;
}

// Writes the number of bytes after the 32-bit size field at sizeAt.
void PatchSize(TBitsEngine& be, std::uint64_t sizeAt) {
  TStream& stream = be.Stream();
  std::uint64_t end = stream.Position();
  stream.Seek(sizeAt);
  be.WriteDWord(static_cast<std::uint32_t>(end - sizeAt - 4));
  stream.Seek(end);
}

}  // namespace

const char* ClipEventName(int bit) { return bit >= 0 && bit < kClipEventCount ? kClipEventNames[bit] : ""; }

std::string ClipEventsText(std::uint32_t events) {
  std::string text;
  for (int bit = 0; bit < 32; ++bit) {
    if (!(events >> bit & 1u)) continue;
    if (!text.empty()) text += '+';
    text += bit < kClipEventCount ? kClipEventNames[bit] : "bit" + std::to_string(bit);
  }
  return text;
}

// --- clip actions

void TSWFClipActionRecord::SetKeyCode(std::uint8_t code) {
  key_code_ = code;
  if (code != 0)
    EventFlags |= kClipEventKeyPress;
  else
    EventFlags &= ~static_cast<std::uint32_t>(kClipEventKeyPress);
}

void TSWFClipActions::Assign(const TSWFClipActions& source) {
  Records.clear();
  AllEventFlags = source.AllEventFlags;
  for (const auto& record : source.Records) {
    auto copy = std::make_unique<TSWFClipActionRecord>();
    copy->SetKeyCode(record->KeyCode());
    copy->EventFlags = record->EventFlags;
    CopyActionList(*record, *copy);
    Records.push_back(std::move(copy));
  }
}

TSWFClipActionRecord& TSWFClipActions::AddActions(std::uint32_t events, std::uint8_t keyCode) {
  auto record = std::make_unique<TSWFClipActionRecord>();
  record->EventFlags = events;
  if (keyCode != 0) record->SetKeyCode(keyCode);
  AllEventFlags |= events;
  Records.push_back(std::move(record));
  return *Records.back();
}

// --- TSWFBasedPlaceObject and PlaceObject

void TSWFBasedPlaceObject::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFBasedPlaceObject>(source);
  CharacterId = src.CharacterId;
  Depth = src.Depth;
}

void TSWFPlaceObject::Assign(const TBasedSWFObject& source) {
  TSWFBasedPlaceObject::Assign(source);
  const auto& src = AssignSource<TSWFPlaceObject>(source);
  Matrix.Assign(src.Matrix);
  ColorTransform.Assign(src.ColorTransform);
  HasColorTransform = src.HasColorTransform;
}

bool TSWFPlaceObject::ColorTransformPresent() const {
  return HasColorTransform || ColorTransform.HasAdd || ColorTransform.HasMult;
}

void TSWFPlaceObject::ReadFromStream(TBitsEngine& be) {
  CharacterId = be.ReadWord();
  Depth = be.ReadWord();
  Matrix.SetRec(be.ReadMatrix());
  if (be.Stream().Remaining() > 0) {
    ColorTransform.SetRec(be.ReadColorTransform(false));
    HasColorTransform = true;
  }
}

void TSWFPlaceObject::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(CharacterId);
  be.WriteWord(Depth);
  be.WriteMatrix(Matrix.Rec());
  if (ColorTransformPresent()) {
    TSWFColorTransformRec rec = ColorTransform.Rec();
    rec.HasAlpha = false;
    be.WriteColorTransform(rec);
  }
}

std::string TSWFPlaceObject::Summary() const {
  std::string text = "character " + std::to_string(CharacterId) + " at depth " + std::to_string(Depth);
  if (ColorTransformPresent()) text += ", colour transform";
  return text;
}

// --- PlaceObject2

void TSWFPlaceObject2::Assign(const TBasedSWFObject& source) {
  TSWFBasedPlaceObject::Assign(source);
  const auto& src = AssignSource<TSWFPlaceObject2>(source);
  HasCharacter = src.HasCharacter;
  HasClipActions = src.HasClipActions;
  HasClipDepth = src.HasClipDepth;
  HasColorTransform = src.HasColorTransform;
  HasMatrix = src.HasMatrix;
  HasName = src.HasName;
  HasRatio = src.HasRatio;
  Move = src.Move;
  ClipDepth = src.ClipDepth;
  Ratio = src.Ratio;
  Name = src.Name;
  ParseActions = src.ParseActions;
  SWFVersion = src.SWFVersion;
  matrix_.Assign(src.matrix_);
  cxform_.Assign(src.cxform_);
  clip_actions_.Assign(src.clip_actions_);
}

int TSWFPlaceObject2::MinVersion() const {
  if (!HasClipActions || clip_actions_.Records.empty()) return 3;
  int version = std::max<int>(5, SWFVersion);
  std::uint32_t events = clip_actions_.AllEventFlags;
  for (const auto& record : clip_actions_.Records) events |= record->EventFlags;
  if (events & ~kShortFieldEvents) version = std::max(version, 6);
  return version;
}

void TSWFPlaceObject2::SetReadContext(const TSWFReadContext& context) {
  SWFVersion = context.Version;
  ParseActions = context.ParseActions;
}

void TSWFPlaceObject2::SetCharacterId(std::uint16_t id) {
  CharacterId = id;
  HasCharacter = true;
}

void TSWFPlaceObject2::SetClipDepth(std::uint16_t depth) {
  ClipDepth = depth;
  HasClipDepth = true;
}

void TSWFPlaceObject2::SetRatio(std::uint16_t ratio) {
  Ratio = ratio;
  HasRatio = true;
}

void TSWFPlaceObject2::SetName(const std::string& name) {
  Name = name;
  HasName = !name.empty();
}

TSWFMatrix& TSWFPlaceObject2::Matrix() {
  HasMatrix = true;
  return matrix_;
}

TSWFColorTransform& TSWFPlaceObject2::ColorTransform() {
  HasColorTransform = true;
  return cxform_;
}

TSWFClipActions& TSWFPlaceObject2::ClipActions() {
  HasClipActions = true;
  return clip_actions_;
}

void TSWFPlaceObject2::WriteTagBody(TBitsEngine& be) {
  bool clipActions = HasClipActions && !clip_actions_.Records.empty();
  be.WriteBit(clipActions);
  be.WriteBit(HasClipDepth);
  be.WriteBit(HasName);
  be.WriteBit(HasRatio);
  be.WriteBit(HasColorTransform);
  be.WriteBit(HasMatrix);
  be.WriteBit(HasCharacter);
  be.WriteBit(Move);
  WritePlaceFlags3(be);
  be.WriteWord(Depth);
  if (HasCharacter) be.WriteWord(CharacterId);
  if (HasMatrix) be.WriteMatrix(matrix_.Rec());
  if (HasColorTransform) {
    // Readers of these tags always expect the form with alpha terms.
    cxform_.HasAlpha = true;
    be.WriteColorTransform(cxform_.Rec());
  }
  if (HasRatio) be.WriteWord(Ratio);
  if (HasName) be.WriteString(Name);
  if (HasClipDepth) be.WriteWord(ClipDepth);
  WritePlaceFields3(be);
  if (clipActions) WriteClipActions(be);
}

void TSWFPlaceObject2::WriteEventFlags(TBitsEngine& be, std::uint32_t events) const {
  for (int bit = 0; bit < 16; ++bit) be.WriteBit(static_cast<std::uint8_t>(events >> bit & 1u));
  if (SWFVersion >= 6) {
    be.WriteBits(0, 5);
    for (int bit = 16; bit < 19; ++bit) be.WriteBit(static_cast<std::uint8_t>(events >> bit & 1u));
    be.WriteByte(0);
  }
}

std::uint32_t TSWFPlaceObject2::ReadEventFlags(TBitsEngine& be) const {
  std::uint32_t events = 0;
  for (int bit = 0; bit < 16; ++bit) events |= be.ReadBits(1) << bit;
  if (SWFVersion >= 6) {
    be.ReadBits(5);
    for (int bit = 16; bit < 19; ++bit) events |= be.ReadBits(1) << bit;
    be.ReadByte();
  }
  return events;
}

void TSWFPlaceObject2::WriteClipActions(TBitsEngine& be) {
  SWFVersion = static_cast<std::uint8_t>(MinVersion());
  be.WriteWord(0);
  WriteEventFlags(be, clip_actions_.AllEventFlags);
  TStream& stream = be.Stream();
  for (const auto& record : clip_actions_.Records) {
    WriteEventFlags(be, record->EventFlags);
    std::uint64_t sizeAt = stream.Position();
    be.WriteDWord(0);
    if (record->EventFlags & kClipEventKeyPress) be.WriteByte(record->KeyCode());
    if (HasNoActionBytes(*record)) {
      PatchSize(be, sizeAt);
      continue;
    }
    // Branch offsets are differences of positions, so the list can be
    // encoded on its own; a raw block read from a file already carries the
    // End byte that closes the list.
    TMemoryStream actions;
    {
      TBitsEngine actionEngine(actions);
      WriteActionList(actionEngine, *record);
    }
    std::size_t length = actions.Size();
    if (EndsWithZeroByteBlock(*record)) --length;
    be.WriteBytes(actions.Data(), length);
    PatchSize(be, sizeAt);
  }
  if (SWFVersion < 6)
    be.WriteWord(0);
  else
    be.WriteDWord(0);
}

void TSWFPlaceObject2::ReadFromStream(TBitsEngine& be) {
  std::uint64_t start = be.Stream().Position();
  std::uint8_t flags = be.ReadByte();
  HasClipActions = flags & 0x80;
  HasClipDepth = flags & 0x40;
  HasName = flags & 0x20;
  HasRatio = flags & 0x10;
  HasColorTransform = flags & 0x08;
  HasMatrix = flags & 0x04;
  HasCharacter = flags & 0x02;
  Move = flags & 0x01;
  ReadPlaceFlags3(be);
  Depth = be.ReadWord();
  if (HasCharacter) CharacterId = be.ReadWord();
  if (HasMatrix) matrix_.SetRec(be.ReadMatrix());
  if (HasColorTransform) cxform_.SetRec(be.ReadColorTransform(true));
  if (HasRatio) Ratio = be.ReadWord();
  if (HasName) Name = be.ReadString();
  if (HasClipDepth) ClipDepth = be.ReadWord();
  ReadPlaceFields3(be);
  clip_actions_.Records.clear();
  clip_actions_.AllEventFlags = 0;
  if (HasClipActions) ReadClipActions(be);
  if (be.Stream().Position() < start + BodySize) be.Stream().Seek(start + BodySize);
}

void TSWFPlaceObject2::ReadClipActions(TBitsEngine& be) {
  TStream& stream = be.Stream();
  const unsigned eventBytes = SWFVersion >= 6 ? 4 : 2;
  NeedBytes(be, 2 + eventBytes, "clip action header");
  be.ReadWord();
  clip_actions_.AllEventFlags = ReadEventFlags(be);
  for (;;) {
    // A list that stops without its terminator ends there.
    if (stream.Remaining() < eventBytes) break;
    std::uint32_t events = ReadEventFlags(be);
    if (events == 0) break;
    NeedBytes(be, 4, "clip action record");
    std::uint32_t size = be.ReadDWord();
    std::uint64_t body = stream.Position();
    if (size > stream.Remaining())
      throw Error("clip action record at offset " + std::to_string(body - 4) + " claims " + std::to_string(size) +
                  " bytes, but only " + std::to_string(stream.Remaining()) + " are left");
    auto record = std::make_unique<TSWFClipActionRecord>();
    record->EventFlags = events;
    std::uint32_t actionBytes = size;
    if (events & kClipEventKeyPress) {
      if (size == 0) throw Error("KeyPress clip action record at offset " + std::to_string(body - 4) + " has no key code");
      std::uint8_t key = be.ReadByte();
      record->SetKeyCode(key);
      record->EventFlags = events;
      --actionBytes;
    }
    if (actionBytes == 0) {
      record->Add(std::make_unique<TSWFActionByteCode>());
    } else if (ParseActions) {
      ReadActionList(be, *record, actionBytes);
    } else {
      auto raw = std::make_unique<TSWFActionByteCode>();
      raw->SetLength(actionBytes);
      if (actionBytes > 0) be.ReadBytes(raw->Bytes.data(), actionBytes);
      record->Add(std::move(raw));
    }
    // The next record starts where the size says, whatever the list used.
    stream.Seek(body + size);
    clip_actions_.Records.push_back(std::move(record));
  }
  if (clip_actions_.Records.empty()) HasClipActions = false;
}

std::string TSWFPlaceObject2::Summary() const {
  std::string text = (Move ? "move depth " : "place at depth ") + std::to_string(Depth);
  if (HasCharacter) text += ", character " + std::to_string(CharacterId);
  if (HasMatrix) text += ", matrix";
  if (HasColorTransform) text += ", colour transform";
  if (HasRatio) text += ", ratio " + std::to_string(Ratio);
  if (HasName) text += ", name \"" + Name + "\"";
  if (HasClipDepth) text += ", clip depth " + std::to_string(ClipDepth);
  if (HasClipActions && !clip_actions_.Records.empty()) {
    text += ", clip actions";
    for (const auto& record : clip_actions_.Records) text += " " + ClipEventsText(record->EventFlags);
  }
  return text;
}

// --- PlaceObject3

void TSWFPlaceObject3::Assign(const TBasedSWFObject& source) {
  TSWFPlaceObject2::Assign(source);
  const auto& src = AssignSource<TSWFPlaceObject3>(source);
  BlendMode = src.BlendMode;
  HasCacheAsBitmap = src.HasCacheAsBitmap;
  HasBlendMode = src.HasBlendMode;
  HasFilterList = src.HasFilterList;
  AsPlaceObject2 = src.AsPlaceObject2;
  BitmapCache = src.BitmapCache;
  filters_.Assign(src.filters_);
}

int TSWFPlaceObject3::MinVersion() const { return AsPlaceObject2 ? TSWFPlaceObject2::MinVersion() : 8; }

TSWFFilterList& TSWFPlaceObject3::FilterList() {
  HasFilterList = true;
  return filters_;
}

void TSWFPlaceObject3::ReadPlaceFlags3(TBitsEngine& be) {
  std::uint8_t flags = be.ReadByte();
  // Later versions add fields (class name, visibility, background) that
  // this reader does not know; such a tag is kept as it is.
  if (flags & 0xF8)
    throw Error("PlaceObject3 flag byte " + std::to_string(flags) + " names fields of a later SWF version");
  HasCacheAsBitmap = flags & 0x04;
  HasBlendMode = flags & 0x02;
  HasFilterList = flags & 0x01;
}

void TSWFPlaceObject3::ReadPlaceFields3(TBitsEngine& be) {
  if (HasFilterList) filters_.ReadFromStream(be);
  if (HasBlendMode) BlendMode = be.ReadByte();
  BitmapCache = 1;
  if (HasCacheAsBitmap) {
    // The bitmap-cache byte that players read here is missing from some
    // files: without clip actions it is taken when a byte is left, before
    // clip actions only when it is not 0 (their block starts with a 0 word).
    TStream& stream = be.Stream();
    if (stream.Remaining() > 0) {
      std::uint64_t at = stream.Position();
      std::uint8_t next = be.ReadByte();
      if (HasClipActions && next == 0)
        stream.Seek(at);
      else
        BitmapCache = next;
    }
  }
}

void TSWFPlaceObject3::WritePlaceFlags3(TBitsEngine& be) {
  if (AsPlaceObject2) return;
  bool filters = HasFilterList && !filters_.Filters.empty();
  be.WriteByte(static_cast<std::uint8_t>((HasCacheAsBitmap ? 0x04 : 0) | (HasBlendMode ? 0x02 : 0) |
                                         (filters ? 0x01 : 0)));
}

void TSWFPlaceObject3::WritePlaceFields3(TBitsEngine& be) {
  if (AsPlaceObject2) return;
  if (HasFilterList && !filters_.Filters.empty()) filters_.WriteToStream(be);
  if (HasBlendMode) be.WriteByte(BlendMode);
  // Players read a bitmap-cache byte (non-zero: cache on) after the blend mode.
  if (HasCacheAsBitmap) be.WriteByte(BitmapCache);
}

std::string TSWFPlaceObject3::Summary() const {
  std::string text = TSWFPlaceObject2::Summary();
  if (AsPlaceObject2) return text;
  if (HasFilterList && !filters_.Filters.empty()) {
    text += ", filters";
    for (const auto& filter : filters_.Filters) text += std::string(" ") + FilterName(filter->FilterType);
  }
  if (HasBlendMode) text += ", blend mode " + std::to_string(BlendMode);
  if (HasCacheAsBitmap) text += ", cached as bitmap";
  return text;
}

// --- remove tags

void TSWFRemoveObject::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFRemoveObject>(source);
  CharacterId = src.CharacterId;
  Depth = src.Depth;
}

void TSWFRemoveObject::ReadFromStream(TBitsEngine& be) {
  CharacterId = be.ReadWord();
  Depth = be.ReadWord();
}

void TSWFRemoveObject::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(CharacterId);
  be.WriteWord(Depth);
}

std::string TSWFRemoveObject::Summary() const {
  return "character " + std::to_string(CharacterId) + " from depth " + std::to_string(Depth);
}

void TSWFRemoveObject2::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  Depth = AssignSource<TSWFRemoveObject2>(source).Depth;
}

void TSWFRemoveObject2::ReadFromStream(TBitsEngine& be) { Depth = be.ReadWord(); }

void TSWFRemoveObject2::WriteTagBody(TBitsEngine& be) { be.WriteWord(Depth); }

std::string TSWFRemoveObject2::Summary() const { return "depth " + std::to_string(Depth); }

}  // namespace yel::swf
