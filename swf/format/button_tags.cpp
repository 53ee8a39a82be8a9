// Bodies of the button tags: button records, the release actions of
// DefineButton, the condition actions of DefineButton2 with their size
// chain, and the sound and colour-transform companions.
#include "swf/format/button_tags.h"

#include <algorithm>

#include "base/error.h"

namespace yel::swf {
namespace {

const char* const kConditionNames[kButtonConditionCount] = {
    "IdleToOverUp",      "OverUpToIdle",      "OverUpToOverDown", "OverDownToOverUp", "OutDownToOverDown",
    "OverDownToOutDown", "OutDownToIdle",     "IdleToOverDown",   "OverDownToIdle",
};

// The condition byte of the file lists bits 7, 6, 4, 5, 3, 2, 1, 0 of the
// condition set, most significant first.
constexpr int kConditionBitOrder[8] = {7, 6, 4, 5, 3, 2, 1, 0};

std::uint8_t ConditionByte(std::uint16_t conditions) {
  std::uint8_t out = 0;
  for (int i = 0; i < 8; ++i)
    if (conditions >> kConditionBitOrder[i] & 1u) out |= static_cast<std::uint8_t>(0x80 >> i);
  return out;
}

std::uint16_t ConditionsOf(std::uint8_t fileByte) {
  std::uint16_t set = 0;
  for (int i = 0; i < 8; ++i)
    if (fileByte & (0x80 >> i)) set |= static_cast<std::uint16_t>(1u << kConditionBitOrder[i]);
  return set;
}

std::string ActionCountText(const TSWFActionList& list) {
  std::size_t records = 0;
  for (const auto& action : list)
    if (action->ActionCode != kActionOffsetMarker) ++records;
  return std::to_string(records) + (records == 1 ? " action" : " actions");
}

// Reads an action list of `size` bytes (its End byte included) into list:
// decoded, or kept as one raw block without the End byte, which the list
// writer adds again.
void ReadButtonActions(TBitsEngine& be, TSWFActionList& list, std::uint64_t size, bool parse) {
  size = std::min<std::uint64_t>(size, be.Stream().Remaining());
  if (size == 0) return;
  if (parse) {
    ReadActionList(be, list, size);
    return;
  }
  auto raw = std::make_unique<TSWFActionByteCode>();
  raw->Bytes.resize(static_cast<std::size_t>(size - 1));
  be.ReadBytes(raw->Bytes.data(), raw->Bytes.size());
  be.ReadByte();
  list.Add(std::move(raw));
}

void CopyCondAction(const TSWFButtonCondAction& source, TSWFButtonCondAction& target) {
  target.ActionConditions = source.ActionConditions;
  target.KeyPress = source.KeyPress;
  CopyActionList(source, target);
}

}  // namespace

const char* ButtonConditionName(int bit) {
  return bit >= 0 && bit < kButtonConditionCount ? kConditionNames[bit] : "";
}

std::string ButtonConditionsText(std::uint16_t conditions) {
  std::string text;
  for (int bit = 0; bit < kButtonConditionCount; ++bit) {
    if (!(conditions >> bit & 1u)) continue;
    if (!text.empty()) text += '+';
    text += kConditionNames[bit];
  }
  return text;
}

// --- TSWFButtonRecord

void TSWFButtonRecord::Assign(const TSWFButtonRecord& source) {
  ButtonStateUp = source.ButtonStateUp;
  ButtonStateOver = source.ButtonStateOver;
  ButtonStateDown = source.ButtonStateDown;
  ButtonStateHitTest = source.ButtonStateHitTest;
  HasBlendMode = source.HasBlendMode;
  HasFilterList = source.HasFilterList;
  CharacterId = source.CharacterId;
  PlaceDepth = source.PlaceDepth;
  Matrix.Assign(source.Matrix);
  BlendMode = source.BlendMode;
  ReservedFlags = source.ReservedFlags;
  cxform_.Assign(source.cxform_);
  cxform_.HasAlpha = source.cxform_.HasAlpha;
  filters_.Assign(source.filters_);
  has_cxform_ = source.has_cxform_;
}

TSWFColorTransform& TSWFButtonRecord::ColorTransform() {
  has_cxform_ = true;
  return cxform_;
}

TSWFFilterList& TSWFButtonRecord::FilterList() {
  HasFilterList = true;
  return filters_;
}

void TSWFButtonRecord::WriteToStream(TBitsEngine& be, bool secondForm) {
  const bool filters = secondForm && HasFilterList;
  const bool blend = secondForm && HasBlendMode;
  const std::uint8_t reserved = ReservedFlags & (secondForm ? 0xC0 : 0xF0);
  be.WriteBits(reserved >> 6, 2);
  be.WriteBit(blend || (reserved & 0x20));
  be.WriteBit(filters || (reserved & 0x10));
  be.WriteBit(ButtonStateHitTest);
  be.WriteBit(ButtonStateDown);
  be.WriteBit(ButtonStateOver);
  be.WriteBit(ButtonStateUp);
  be.WriteWord(CharacterId);
  be.WriteWord(PlaceDepth);
  be.WriteMatrix(Matrix.Rec());
  if (!secondForm) return;
  TSWFColorTransformRec cxform = cxform_.Rec();
  cxform.HasAlpha = true;
  be.WriteColorTransform(cxform);
  if (filters) filters_.WriteToStream(be);
  if (blend) be.WriteByte(BlendMode);
}

void TSWFButtonRecord::ReadFromStream(TBitsEngine& be, std::uint8_t flags, bool secondForm) {
  ButtonStateUp = flags & 0x01;
  ButtonStateOver = flags & 0x02;
  ButtonStateDown = flags & 0x04;
  ButtonStateHitTest = flags & 0x08;
  HasFilterList = secondForm && (flags & 0x10);
  HasBlendMode = secondForm && (flags & 0x20);
  ReservedFlags = flags & (secondForm ? 0xC0 : 0xF0);
  CharacterId = be.ReadWord();
  PlaceDepth = be.ReadWord();
  Matrix.SetRec(be.ReadMatrix());
  if (!secondForm) return;
  cxform_.SetRec(be.ReadColorTransform(true));
  cxform_.HasAlpha = true;
  has_cxform_ = true;
  filters_.Filters.clear();
  if (HasFilterList) filters_.ReadFromStream(be);
  if (HasBlendMode) BlendMode = be.ReadByte();
}

// --- TSWFBasedButton

void TSWFBasedButton::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFBasedButton>(source);
  if (&src == this) return;
  ButtonId = src.ButtonId;
  ParseActions = src.ParseActions;
  ButtonRecords.clear();
  for (const auto& record : src.ButtonRecords) {
    auto copy = std::make_unique<TSWFButtonRecord>();
    copy->Assign(*record);
    ButtonRecords.push_back(std::move(copy));
  }
}

void TSWFBasedButton::SetReadContext(const TSWFReadContext& context) { ParseActions = context.ParseActions; }

TSWFButtonRecord& TSWFBasedButton::AddRecord(std::uint16_t characterId, std::uint16_t depth, bool up, bool over,
                                             bool down, bool hitTest) {
  auto record = std::make_unique<TSWFButtonRecord>();
  record->CharacterId = characterId;
  record->PlaceDepth = depth;
  record->ButtonStateUp = up;
  record->ButtonStateOver = over;
  record->ButtonStateDown = down;
  record->ButtonStateHitTest = hitTest;
  ButtonRecords.push_back(std::move(record));
  return *ButtonRecords.back();
}

void TSWFBasedButton::WriteRecords(TBitsEngine& be, bool secondForm) {
  for (auto& record : ButtonRecords) {
    // Every record of a DefineButton2 carries a colour transform.
    if (secondForm) record->ColorTransform();
    record->WriteToStream(be, secondForm);
  }
  be.WriteByte(0);
}

void TSWFBasedButton::ReadRecords(TBitsEngine& be, bool secondForm) {
  ButtonRecords.clear();
  for (;;) {
    if (be.Stream().Remaining() == 0)
      throw Error("the button record list of button " + std::to_string(ButtonId) +
                  " runs past the end of the tag");
    std::uint8_t flags = be.ReadByte();
    if (flags == 0) break;
    // A record needs at least its id, depth and the matrix's flag byte.
    if (be.Stream().Remaining() < 5)
      throw Error("button record " + std::to_string(ButtonRecords.size() + 1) + " of button " +
                  std::to_string(ButtonId) + " is cut off by the end of the tag");
    auto record = std::make_unique<TSWFButtonRecord>();
    record->ReadFromStream(be, flags, secondForm);
    ButtonRecords.push_back(std::move(record));
  }
}

std::string TSWFBasedButton::RecordsSummary() const {
  return "button " + std::to_string(ButtonId) + ", " + std::to_string(ButtonRecords.size()) +
         (ButtonRecords.size() == 1 ? " record" : " records");
}

// --- TSWFDefineButton

void TSWFDefineButton::Assign(const TBasedSWFObject& source) {
  TSWFBasedButton::Assign(source);
  const auto& src = AssignSource<TSWFDefineButton>(source);
  if (&src == this) return;
  Actions.Clear();
  CopyActionList(src.Actions, Actions);
}

int TSWFDefineButton::MinVersion() const { return ActionListMinVersion(Actions, 3); }

void TSWFDefineButton::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ButtonId);
  WriteRecords(be, false);
  WriteActionList(be, Actions);
}

void TSWFDefineButton::ReadFromStream(TBitsEngine& be) {
  std::uint64_t start = be.Stream().Position();
  ButtonId = be.ReadWord();
  ReadRecords(be, false);
  Actions.Clear();
  std::uint64_t used = be.Stream().Position() - start;
  ReadButtonActions(be, Actions, BodySize > used ? BodySize - used : 0, ParseActions);
  be.Stream().Seek(start + BodySize);
}

std::string TSWFDefineButton::Summary() const { return RecordsSummary() + ", " + ActionCountText(Actions); }

// --- TSWFDefineButton2

void TSWFDefineButton2::Assign(const TBasedSWFObject& source) {
  TSWFBasedButton::Assign(source);
  const auto& src = AssignSource<TSWFDefineButton2>(source);
  if (&src == this) return;
  TrackAsMenu = src.TrackAsMenu;
  CondActions.clear();
  for (const auto& action : src.CondActions) {
    auto copy = std::make_unique<TSWFButtonCondAction>();
    CopyCondAction(*action, *copy);
    CondActions.push_back(std::move(copy));
  }
}

TSWFButtonCondAction& TSWFDefineButton2::AddCondAction(std::uint16_t conditions, std::uint8_t keyPress) {
  auto action = std::make_unique<TSWFButtonCondAction>();
  action->ActionConditions = conditions;
  action->KeyPress = keyPress & 0x7F;
  CondActions.push_back(std::move(action));
  return *CondActions.back();
}

void TSWFDefineButton2::WriteTagBody(TBitsEngine& be) {
  TStream& stream = be.Stream();
  be.WriteWord(ButtonId);
  be.WriteByte(TrackAsMenu ? 1 : 0);
  std::uint64_t offsetAt = stream.Position();
  be.WriteWord(0);
  WriteRecords(be, true);
  if (CondActions.empty()) return;
  auto patch = [&](std::uint64_t at) {
    std::uint64_t end = stream.Position();
    if (end - at > 0xFFFF) throw Error("a button condition action is longer than 65535 bytes");
    stream.Seek(at);
    be.WriteWord(static_cast<std::uint16_t>(end - at));
    stream.Seek(end);
  };
  patch(offsetAt);
  for (std::size_t i = 0; i < CondActions.size(); ++i) {
    TSWFButtonCondAction& action = *CondActions[i];
    std::uint64_t sizeAt = stream.Position();
    be.WriteWord(0);
    be.WriteByte(ConditionByte(action.ActionConditions));
    be.WriteByte(static_cast<std::uint8_t>((action.KeyPress & 0x7F) << 1 | (action.ActionConditions >> 8 & 1u)));
    WriteActionList(be, action);
    if (i + 1 < CondActions.size()) patch(sizeAt);
  }
}

void TSWFDefineButton2::ReadFromStream(TBitsEngine& be) {
  TStream& stream = be.Stream();
  std::uint64_t start = stream.Position();
  std::uint64_t end = start + BodySize;
  ButtonId = be.ReadWord();
  TrackAsMenu = be.ReadByte() & 1;
  std::uint16_t actionOffset = be.ReadWord();
  ReadRecords(be, true);
  CondActions.clear();
  if (actionOffset != 0) {
    // The first condition action starts where the offset says.
    std::uint64_t at = start + 3 + actionOffset;
    if (at > end)
      throw Error("the condition actions of button " + std::to_string(ButtonId) + " start at offset " +
                  std::to_string(3 + actionOffset) + ", past the end of the tag");
    stream.Seek(at);
    while (stream.Position() < end) {
      if (end - stream.Position() < 4)
        throw Error("condition action " + std::to_string(CondActions.size() + 1) + " of button " +
                    std::to_string(ButtonId) + " is cut off by the end of the tag");
      std::uint64_t actionStart = stream.Position();
      std::uint16_t size = be.ReadWord();
      std::uint8_t conditions = be.ReadByte();
      std::uint8_t keyByte = be.ReadByte();
      auto action = std::make_unique<TSWFButtonCondAction>();
      action->ActionConditions = static_cast<std::uint16_t>(ConditionsOf(conditions) | (keyByte & 1u) << 8);
      action->KeyPress = keyByte >> 1;
      std::uint64_t next = size == 0 ? end : actionStart + size;
      if (size != 0 && (size < 4 || next > end))
        throw Error("condition action " + std::to_string(CondActions.size() + 1) + " of button " +
                    std::to_string(ButtonId) + " claims " + std::to_string(size) + " bytes, but only " +
                    std::to_string(end - actionStart) + " are left");
      ReadButtonActions(be, *action, next - stream.Position(), ParseActions);
      CondActions.push_back(std::move(action));
      stream.Seek(next);
      if (size == 0) break;
    }
  }
  stream.Seek(end);
}

std::string TSWFDefineButton2::Summary() const {
  std::string text = RecordsSummary();
  if (TrackAsMenu) text += ", tracked as menu";
  for (const auto& action : CondActions) {
    text += ", on " + ButtonConditionsText(action->ActionConditions);
    if (action->KeyPress) text += (action->ActionConditions ? "+key " : "key ") + std::to_string(action->KeyPress);
    text += ": " + ActionCountText(*action);
  }
  return text;
}

// --- TSWFDefineButtonSound

void TSWFDefineButtonSound::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFDefineButtonSound>(source);
  if (&src == this) return;
  ButtonId = src.ButtonId;
  for (int i = 0; i < 4; ++i) {
    sounds_[i].reset();
    if (src.sounds_[i]) {
      sounds_[i] = std::make_unique<TSWFStartSound>();
      sounds_[i]->Assign(*src.sounds_[i]);
    }
  }
}

TSWFStartSound& TSWFDefineButtonSound::SoundSlot(Slot slot) {
  if (!sounds_[slot]) sounds_[slot] = std::make_unique<TSWFStartSound>();
  return *sounds_[slot];
}

bool TSWFDefineButtonSound::HasSound() const {
  return std::any_of(std::begin(sounds_), std::end(sounds_), [](const auto& s) { return s && s->SoundId != 0; });
}

void TSWFDefineButtonSound::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ButtonId);
  for (auto& sound : sounds_) {
    if (sound && sound->SoundId != 0)
      sound->WriteTagBody(be);
    else
      be.WriteWord(0);
  }
}

void TSWFDefineButtonSound::ReadFromStream(TBitsEngine& be) {
  std::uint64_t end = be.Stream().Position() + BodySize;
  ButtonId = be.ReadWord();
  for (auto& sound : sounds_) {
    sound.reset();
    if (be.Stream().Remaining() < 2)
      throw Error("the sounds of button " + std::to_string(ButtonId) + " are cut off by the end of the tag");
    std::uint16_t id = be.ReadWord();
    if (id == 0) continue;
    if (be.Stream().Remaining() < 1)
      throw Error("the sound information of button " + std::to_string(ButtonId) +
                  " is cut off by the end of the tag");
    be.Stream().Seek(be.Stream().Position() - 2);
    sound = std::make_unique<TSWFStartSound>();
    sound->ReadFromStream(be);
  }
  be.Stream().Seek(end);
}

std::string TSWFDefineButtonSound::Summary() const {
  static const char* const kSlotNames[4] = {"OverUpToIdle", "IdleToOverUp", "OverUpToOverDown", "OverDownToOverUp"};
  std::string text = "button " + std::to_string(ButtonId);
  for (int i = 0; i < 4; ++i)
    if (sounds_[i] && sounds_[i]->SoundId) text += std::string(", ") + kSlotNames[i] + " sound " + std::to_string(sounds_[i]->SoundId);
  return text;
}

// --- TSWFDefineButtonCxform

void TSWFDefineButtonCxform::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFDefineButtonCxform>(source);
  ButtonId = src.ButtonId;
  ColorTransform.Assign(src.ColorTransform);
  ColorTransform.HasAlpha = false;
}

void TSWFDefineButtonCxform::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ButtonId);
  TSWFColorTransformRec cxform = ColorTransform.Rec();
  cxform.HasAlpha = false;
  be.WriteColorTransform(cxform);
}

void TSWFDefineButtonCxform::ReadFromStream(TBitsEngine& be) {
  std::uint64_t end = be.Stream().Position() + BodySize;
  ButtonId = be.ReadWord();
  ColorTransform.SetRec(be.ReadColorTransform(false));
  ColorTransform.HasAlpha = false;
  be.Stream().Seek(end);
}

std::string TSWFDefineButtonCxform::Summary() const { return "button " + std::to_string(ButtonId) + ", colour transform"; }

}  // namespace yel::swf
