// Bodies of the action records, the offset markers and the action table.
#include "swf/format/actions/action_records.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <typeinfo>

#include "base/byte_stream.h"
#include "base/text.h"

namespace yel::swf {
namespace {

template <class T>
const T& ActionSource(const TSWFAction& source) {
  const T* typed = dynamic_cast<const T*>(&source);
  if (!typed) throw std::logic_error("Assign from an action record of another class");
  return *typed;
}

// Field readers that refuse to read past the body: a record whose fields do
// not fit its length is damaged, and the tag holding it is kept as raw bytes.
void Need(TBitsEngine& be, std::uint64_t bytes, const char* what) {
  if (be.Stream().Remaining() < bytes) throw std::runtime_error(std::string(what) + " runs past the end of the record");
}

std::uint8_t ReadU8(TBitsEngine& be, const char* what) {
  Need(be, 1, what);
  return be.ReadByte();
}

std::uint16_t ReadU16(TBitsEngine& be, const char* what) {
  Need(be, 2, what);
  return be.ReadWord();
}

std::string ReadText(TBitsEngine& be, const char* what) {
  TStream& stream = be.Stream();
  std::uint64_t start = stream.Position();
  if (stream.Remaining() == 0) throw std::runtime_error(std::string(what) + " runs past the end of the record");
  std::string text = be.ReadString();
  if (stream.Position() - start != text.size() + 1)
    throw std::runtime_error(std::string(what) + " has no terminating zero byte");
  return text;
}

void WriteText(TBitsEngine& be, const std::string& text) { be.WriteString(text, true, false); }

// --- push value conversions

std::string NumberText(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string ValueText(const TPushValue& value) {
  switch (value.index()) {
    case 0: return "undefined";
    case 1: return "null";
    case 2: return std::get<bool>(value) ? "true" : "false";
    case 3: return std::to_string(std::get<std::int64_t>(value));
    case 4: return NumberText(std::get<float>(value));
    case 5: return NumberText(std::get<double>(value));
    default: return std::get<std::string>(value);
  }
}

double ValueNumber(const TPushValue& value) {
  switch (value.index()) {
    case 2: return std::get<bool>(value) ? 1 : 0;
    case 3: return static_cast<double>(std::get<std::int64_t>(value));
    case 4: return std::get<float>(value);
    case 5: return std::get<double>(value);
    case 6: return std::strtod(std::get<std::string>(value).c_str(), nullptr);
    default: return 0;
  }
}

std::int64_t ValueInteger(const TPushValue& value) {
  if (const auto* i = std::get_if<std::int64_t>(&value)) return *i;
  double d = ValueNumber(value);
  if (!std::isfinite(d)) return 0;
  constexpr double kLimit = 9.0e18;
  if (d > kLimit) return static_cast<std::int64_t>(kLimit);
  if (d < -kLimit) return static_cast<std::int64_t>(-kLimit);
  return static_cast<std::int64_t>(d);
}

// 16-bit field written for a branch offset or block size.
void WriteField16(TBitsEngine& be, std::int64_t value) { be.WriteWord(static_cast<std::uint16_t>(value)); }

void CheckRange(std::int64_t value, bool isSigned) {
  if (isSigned ? (value < -32768 || value > 32767) : (value < 0 || value > 65535))
    throw std::length_error((isSigned ? "branch offset " : "block size ") + std::to_string(value) +
                            " does not fit its 16-bit field");
}

}  // namespace

// --- TSWFAction

void TSWFAction::Assign(const TSWFAction& source) {
  if (typeid(*this) != typeid(source)) throw std::logic_error("Assign from an action record of another class");
  BodyLength = source.BodyLength;
  ExtraBytes = source.ExtraBytes;
}

// The list reader hands every record exactly its body; bytes that the fields
// leave over are kept by the reader as ExtraBytes.
void TSWFAction::ReadData(TBitsEngine&) {}

void TSWFAction::WriteData(TBitsEngine&) {}

void TSWFAction::WriteToStream(TBitsEngine& be) {
  if (ActionCode == kActionByteCode || ActionCode == kActionOffsetMarker) {
    WriteData(be);
    return;
  }
  be.WriteByte(ActionCode);
  if (ActionCode < 0x80) return;
  TMemoryStream body;
  {
    TBitsEngine bodyEngine(body);
    WriteData(bodyEngine);
    bodyEngine.FlushLastByte(true);
    if (!ExtraBytes.empty()) bodyEngine.WriteBytes(ExtraBytes.data(), ExtraBytes.size());
  }
  if (body.Size() > 0xFFFF)
    throw std::length_error(ActionNameOf(ActionCode) + " record of " + std::to_string(body.Size()) +
                            " bytes is longer than the 65535 an action can hold");
  BodyLength = static_cast<std::uint16_t>(body.Size());
  be.WriteWord(BodyLength);
  if (BodyLength > 0) be.WriteBytes(body.Data(), BodyLength);
}

std::uint32_t TSWFAction::GetFullSize() const {
  if (ActionCode == kActionOffsetMarker) return 0;
  if (ActionCode == kActionByteCode) return static_cast<std::uint32_t>(static_cast<const TSWFActionByteCode*>(this)->Bytes.size());
  return ActionCode >= 0x80 ? BodyLength + 3u : 1u;
}

// --- markers

void TSWFOffsetMarker::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  const auto& src = ActionSource<TSWFOffsetMarker>(source);
  JumpBack = src.JumpBack;
  Active = src.Active;
  Label = src.Label;
  OffsetSize = src.OffsetSize;
}

std::int64_t TSWFOffsetMarker::Refer(std::uint64_t field, std::uint64_t blockStart, bool isSigned) {
  FieldPos = static_cast<std::uint32_t>(field);
  if (JumpBack) {
    if (!placed_)
      throw std::logic_error("the backward branch marker \"" + Label +
                             "\" must be written before the records that refer to it");
    std::int64_t value = static_cast<std::int64_t>(writtenPos_) - static_cast<std::int64_t>(blockStart);
    CheckRange(value, isSigned);
    return value;
  }
  if (pending_)
    throw std::logic_error("the forward marker \"" + Label + "\" is referred to by more than one record");
  StoredPos = static_cast<std::uint32_t>(field);
  blockStart_ = blockStart;
  signed_ = isSigned;
  pending_ = true;
  return 0;
}

void TSWFOffsetMarker::WriteData(TBitsEngine& be) {
  InList = true;
  if (!Active) return;
  TStream& stream = be.Stream();
  std::uint64_t here = stream.Position();
  placed_ = true;
  writtenPos_ = here;
  if (JumpBack) {
    StoredPos = static_cast<std::uint32_t>(here);
    return;
  }
  if (!pending_) return;
  std::int64_t value = static_cast<std::int64_t>(here) - static_cast<std::int64_t>(BlockStart());
  CheckRange(value, signed_);
  std::uint8_t bytes[2] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
  stream.Seek(StoredPos);
  stream.Write(bytes, 2);
  stream.Seek(here);
  pending_ = false;
}

std::uint64_t TSWFTryOffsetMarker::BlockStart() const {
  if (!PrevMarker) return TSWFOffsetMarker::BlockStart();
  if (!PrevMarker->placed_)
    throw std::logic_error("the try marker \"" + Label + "\" comes before the marker of the block before it");
  return PrevMarker->writtenPos_;
}

// --- TSWFBranchLink

TSWFOffsetMarker* TSWFBranchLink::Marker() {
  if (!marker_) {
    owned_ = std::make_unique<TSWFOffsetMarker>();
    owned_->holder_ = &owned_;
    marker_ = owned_.get();
  }
  return marker_;
}

void TSWFBranchLink::SetMarker(TSWFOffsetMarker* marker) {
  if (marker == marker_) return;
  owned_.reset();
  marker_ = marker;
}

void TSWFBranchLink::WriteLinkedField(TBitsEngine& body, std::int32_t stored) {
  // A missing or inactive marker leaves the stored value in place.
  if (StaticOffset || !marker_ || !marker_->Active) {
    if (marker_) marker_->FieldPos = static_cast<std::uint32_t>(StartPos + 3 + body.Stream().Position());
    WriteField16(body, stored);
    return;
  }
  std::uint64_t field = StartPos + 3 + body.Stream().Position();
  const auto* record = dynamic_cast<const TSWFAction*>(this);
  std::uint64_t extra = record ? record->ExtraBytes.size() : 0;
  WriteField16(body, marker_->Refer(field, field + 2 + extra, OffsetIsSigned()));
}

// --- SWF 3 records

void TSWFActionGotoFrame::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  Frame = ActionSource<TSWFActionGotoFrame>(source).Frame;
}
void TSWFActionGotoFrame::ReadData(TBitsEngine& be) { Frame = ReadU16(be, "GotoFrame frame"); }
void TSWFActionGotoFrame::WriteData(TBitsEngine& be) { be.WriteWord(Frame); }

void TSWFActionGetUrl::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  const auto& src = ActionSource<TSWFActionGetUrl>(source);
  Target = src.Target;
  URL = src.URL;
}
void TSWFActionGetUrl::ReadData(TBitsEngine& be) {
  URL = ReadText(be, "GetURL URL");
  Target = ReadText(be, "GetURL target");
}
void TSWFActionGetUrl::WriteData(TBitsEngine& be) {
  be.WriteString(URL, true, true);
  WriteText(be, Target);
}

void TSWFActionWaitForFrame::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  const auto& src = ActionSource<TSWFActionWaitForFrame>(source);
  Frame = src.Frame;
  SkipCount = src.SkipCount;
}
void TSWFActionWaitForFrame::ReadData(TBitsEngine& be) {
  Frame = ReadU16(be, "WaitForFrame frame");
  SkipCount = ReadU8(be, "WaitForFrame skip count");
}
void TSWFActionWaitForFrame::WriteData(TBitsEngine& be) {
  be.WriteWord(Frame);
  be.WriteByte(SkipCount);
}

void TSWFActionSetTarget::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  TargetName = ActionSource<TSWFActionSetTarget>(source).TargetName;
}
void TSWFActionSetTarget::ReadData(TBitsEngine& be) { TargetName = ReadText(be, "SetTarget name"); }
void TSWFActionSetTarget::WriteData(TBitsEngine& be) { WriteText(be, TargetName); }

void TSWFActionGoToLabel::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  Label = ActionSource<TSWFActionGoToLabel>(source).Label;
}
void TSWFActionGoToLabel::ReadData(TBitsEngine& be) { Label = ReadText(be, "GoToLabel label"); }
void TSWFActionGoToLabel::WriteData(TBitsEngine& be) { WriteText(be, Label); }

// --- SWF 4 records

void TSWFActionWaitForFrame2::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  SkipCount = ActionSource<TSWFActionWaitForFrame2>(source).SkipCount;
}
void TSWFActionWaitForFrame2::ReadData(TBitsEngine& be) { SkipCount = ReadU8(be, "WaitForFrame2 skip count"); }
void TSWFActionWaitForFrame2::WriteData(TBitsEngine& be) { be.WriteByte(SkipCount); }

std::string PushValueTypeName(int type) {
  static const char* const kNames[] = {"str", "float", "null", "undef", "reg", "bool",
                                       "double", "int", "const8", "const16", "def"};
  return type >= 0 && type <= 10 ? kNames[type] : "";
}

void TSWFActionPush::Assign(const TSWFAction& source) {
  TSWFAction4::Assign(source);
  Values = ActionSource<TSWFActionPush>(source).Values;
}

int TSWFActionPush::MinVersion() const {
  for (const auto& value : Values)
    if (value.ValueType > kPushFloat) return 5;
  return 4;
}

int TSWFActionPush::AddValue(TPushValue value) {
  TPushValueInfo info;
  switch (value.index()) {
    case 0:
      info.ValueType = kPushUndefined;
      value = std::string("undefined");
      break;
    case 1:
      info.ValueType = kPushNull;
      value = std::string("null");
      break;
    case 2: info.ValueType = kPushBoolean; break;
    case 3: info.ValueType = kPushInteger; break;
    case 4: info.ValueType = kPushFloat; break;
    case 5: info.ValueType = kPushDouble; break;
    default: {
      const std::string text = std::get<std::string>(value);
      if (text == "FlashVar_undefined") {
        info.ValueType = kPushUndefined;
      } else if (text == "FlashVar_null") {
        info.ValueType = kPushNull;
      } else {
        info.ValueType = kPushString;
      }
      // The marker strings keep their text from the tenth character on.
      if (info.ValueType != kPushString) value = text.substr(9);
      break;
    }
  }
  info.Value = std::move(value);
  Values.push_back(std::move(info));
  return static_cast<int>(Values.size()) - 1;
}

void TSWFActionPush::SetValueType(std::size_t index, std::uint8_t type) {
  if (type == kPushDefault) return;
  Values.at(index).ValueType = type;
}

void TSWFActionPush::ReadData(TBitsEngine& be) {
  TStream& stream = be.Stream();
  std::uint64_t start = stream.Position();
  while (stream.Position() - start < BodyLength && stream.Remaining() > 0) {
    std::uint8_t type = be.ReadByte();
    TPushValue value;
    switch (type) {
      case kPushString: value = ReadText(be, "Push string"); break;
      case kPushFloat:
        Need(be, 4, "Push float");
        value = be.ReadSingle();
        break;
      case kPushNull: value = std::string("FlashVar_null"); break;
      case kPushUndefined: value = std::string("FlashVar_undefined"); break;
      case kPushRegister:
      case kPushBoolean:
      case kPushConstant8: value = std::int64_t{ReadU8(be, "Push value")}; break;
      case kPushDouble: {
        Need(be, 8, "Push double");
        std::uint64_t high = be.ReadDWord();
        std::uint64_t low = be.ReadDWord();
        std::uint64_t bits = high << 32 | low;
        double d;
        std::memcpy(&d, &bits, sizeof d);
        value = d;
        break;
      }
      case kPushInteger:
        Need(be, 4, "Push integer");
        value = std::int64_t{static_cast<std::int32_t>(be.ReadDWord())};
        break;
      case kPushConstant16: value = std::int64_t{ReadU16(be, "Push constant")}; break;
      default: throw std::runtime_error("Push value of unknown type " + std::to_string(type));
    }
    SetValueType(static_cast<std::size_t>(AddValue(std::move(value))), type);
  }
}

void TSWFActionPush::WriteData(TBitsEngine& be) {
  for (const auto& info : Values) {
    if (!info.IsValid) continue;
    be.WriteByte(info.ValueType);
    const TPushValue& value = info.Value;
    switch (info.ValueType) {
      case kPushString: WriteText(be, ValueText(value)); break;
      case kPushFloat: be.WriteSingle(static_cast<float>(ValueNumber(value))); break;
      case kPushNull:
      case kPushUndefined: break;
      case kPushBoolean:
        if (const auto* flag = std::get_if<bool>(&value)) {
          be.WriteByte(*flag ? 1 : 0);
        } else {
          be.WriteByte(static_cast<std::uint8_t>(ValueInteger(value)));
        }
        break;
      case kPushRegister:
      case kPushConstant8: be.WriteByte(static_cast<std::uint8_t>(ValueInteger(value))); break;
      case kPushDouble: {
        double d = ValueNumber(value);
        std::uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        be.WriteDWord(static_cast<std::uint32_t>(bits >> 32));
        be.WriteDWord(static_cast<std::uint32_t>(bits));
        break;
      }
      case kPushInteger: be.WriteDWord(static_cast<std::uint32_t>(ValueInteger(value))); break;
      case kPushConstant16: be.WriteWord(static_cast<std::uint16_t>(ValueInteger(value))); break;
      default:
        throw std::logic_error("Push value of type " + std::to_string(info.ValueType) + " cannot be written");
    }
  }
}

void TSWFActionJump::Assign(const TSWFAction& source) {
  TSWFAction4::Assign(source);
  const auto& src = ActionSource<TSWFActionJump>(source);
  branchOffset_ = src.branchOffset_;
  StaticOffset = src.StaticOffset;
}
void TSWFActionJump::ReadData(TBitsEngine& be) {
  SetBranchOffset(static_cast<std::int16_t>(ReadU16(be, "branch offset")));
}
void TSWFActionJump::WriteData(TBitsEngine& be) { WriteLinkedField(be, branchOffset_); }
void TSWFActionJump::WriteToStream(TBitsEngine& be) {
  StartPos = static_cast<std::uint32_t>(be.Stream().Position());
  TSWFAction4::WriteToStream(be);
}

void TSWFActionGetUrl2::Assign(const TSWFAction& source) {
  TSWFAction4::Assign(source);
  const auto& src = ActionSource<TSWFActionGetUrl2>(source);
  LoadVariablesFlag = src.LoadVariablesFlag;
  LoadTargetFlag = src.LoadTargetFlag;
  SendVarsMethod = src.SendVarsMethod;
}
void TSWFActionGetUrl2::ReadData(TBitsEngine& be) {
  std::uint8_t flags = ReadU8(be, "GetURL2 flags");
  LoadVariablesFlag = (flags & 0x80) != 0;
  LoadTargetFlag = (flags & 0x40) != 0;
  SendVarsMethod = flags & 0x03;
}
void TSWFActionGetUrl2::WriteData(TBitsEngine& be) {
  be.WriteByte(static_cast<std::uint8_t>((LoadVariablesFlag ? 0x80 : 0) | (LoadTargetFlag ? 0x40 : 0) |
                                         (SendVarsMethod & 0x03)));
}

void TSWFActionGotoFrame2::Assign(const TSWFAction& source) {
  TSWFAction4::Assign(source);
  const auto& src = ActionSource<TSWFActionGotoFrame2>(source);
  SceneBiasFlag = src.SceneBiasFlag;
  PlayFlag = src.PlayFlag;
  SceneBias = src.SceneBias;
}
void TSWFActionGotoFrame2::ReadData(TBitsEngine& be) {
  std::uint8_t flags = ReadU8(be, "GotoFrame2 flags");
  SceneBiasFlag = (flags & 0x02) != 0;
  PlayFlag = (flags & 0x01) != 0;
  if (SceneBiasFlag) SceneBias = ReadU16(be, "GotoFrame2 scene bias");
}
void TSWFActionGotoFrame2::WriteData(TBitsEngine& be) {
  be.WriteByte(static_cast<std::uint8_t>((SceneBiasFlag ? 0x02 : 0) | (PlayFlag ? 0x01 : 0)));
  if (SceneBiasFlag) be.WriteWord(SceneBias);
}

void TSWFActionByteCode::Assign(const TSWFAction& source) {
  TSWFAction4::Assign(source);
  Bytes = ActionSource<TSWFActionByteCode>(source).Bytes;
}
void TSWFActionByteCode::ReadData(TBitsEngine& be) {
  auto take = static_cast<std::size_t>(std::min<std::uint64_t>(BodyLength, be.Stream().Remaining()));
  Bytes.resize(take);
  Bytes.resize(be.ReadBytes(Bytes.data(), take));
}
void TSWFActionByteCode::WriteData(TBitsEngine& be) {
  if (!Bytes.empty()) be.WriteBytes(Bytes.data(), Bytes.size());
}

std::string TSWFActionByteCode::HexText() const {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(Bytes.size() * 2);
  for (std::uint8_t b : Bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

void TSWFActionByteCode::SetHexText(std::string_view text) {
  if (text.size() % 2 != 0) throw std::invalid_argument("hexadecimal byte text of odd length");
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw std::invalid_argument(std::string("not a hexadecimal digit: ") + c);
  };
  std::vector<std::uint8_t> bytes(text.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>(digit(text[2 * i]) << 4 | digit(text[2 * i + 1]));
  Bytes = std::move(bytes);
}

// --- SWF 5 records

void TSWFActionStoreRegister::Assign(const TSWFAction& source) {
  TSWFAction5::Assign(source);
  RegisterNumber = ActionSource<TSWFActionStoreRegister>(source).RegisterNumber;
}
void TSWFActionStoreRegister::ReadData(TBitsEngine& be) { RegisterNumber = ReadU8(be, "StoreRegister register"); }
void TSWFActionStoreRegister::WriteData(TBitsEngine& be) { be.WriteByte(RegisterNumber); }

void TSWFActionConstantPool::Assign(const TSWFAction& source) {
  TSWFAction5::Assign(source);
  ConstantPool = ActionSource<TSWFActionConstantPool>(source).ConstantPool;
}
void TSWFActionConstantPool::ReadData(TBitsEngine& be) {
  std::uint16_t count = ReadU16(be, "ConstantPool count");
  ConstantPool.clear();
  for (std::uint16_t i = 0; i < count; ++i) ConstantPool.push_back(ReadText(be, "ConstantPool string"));
}
void TSWFActionConstantPool::WriteData(TBitsEngine& be) {
  if (ConstantPool.size() > 0xFFFF) throw std::length_error("a constant pool holds at most 65535 strings");
  be.WriteWord(static_cast<std::uint16_t>(ConstantPool.size()));
  for (const auto& text : ConstantPool) WriteText(be, text);
}

void TSWFActionWith::Assign(const TSWFAction& source) {
  TSWFAction5::Assign(source);
  const auto& src = ActionSource<TSWFActionWith>(source);
  size_ = src.size_;
  StaticOffset = src.StaticOffset;
}
void TSWFActionWith::ReadData(TBitsEngine& be) { SetSize(ReadU16(be, "With size")); }
void TSWFActionWith::WriteData(TBitsEngine& be) { WriteLinkedField(be, size_); }
void TSWFActionWith::WriteToStream(TBitsEngine& be) {
  StartPos = static_cast<std::uint32_t>(be.Stream().Position());
  TSWFAction5::WriteToStream(be);
}

void TSWFActionDefineFunction::Assign(const TSWFAction& source) {
  TSWFAction5::Assign(source);
  const auto& src = ActionSource<TSWFActionDefineFunction>(source);
  Name = src.Name;
  Params = src.Params;
  codeSize_ = src.codeSize_;
  StaticOffset = src.StaticOffset;
}
void TSWFActionDefineFunction::ReadData(TBitsEngine& be) {
  Name = ReadText(be, "DefineFunction name");
  std::uint16_t count = ReadU16(be, "DefineFunction parameter count");
  Params.clear();
  for (std::uint16_t i = 0; i < count; ++i) Params.push_back(ReadText(be, "DefineFunction parameter"));
  SetCodeSize(ReadU16(be, "DefineFunction code size"));
}
void TSWFActionDefineFunction::WriteData(TBitsEngine& be) {
  if (Params.size() > 0xFFFF) throw std::length_error("a function takes at most 65535 parameters");
  WriteText(be, Name);
  be.WriteWord(static_cast<std::uint16_t>(Params.size()));
  for (const auto& param : Params) WriteText(be, param);
  WriteLinkedField(be, codeSize_);
}
void TSWFActionDefineFunction::WriteToStream(TBitsEngine& be) {
  StartPos = static_cast<std::uint32_t>(be.Stream().Position());
  TSWFAction5::WriteToStream(be);
}

// --- SWF 7 records

void TSWFActionDefineFunction2::Assign(const TSWFAction& source) {
  TSWFAction7::Assign(source);
  const auto& src = ActionSource<TSWFActionDefineFunction2>(source);
  Name = src.Name;
  RegisterCount = src.RegisterCount;
  PreloadParent = src.PreloadParent;
  PreloadRoot = src.PreloadRoot;
  SuppressSuper = src.SuppressSuper;
  PreloadSuper = src.PreloadSuper;
  SuppressArguments = src.SuppressArguments;
  PreloadArguments = src.PreloadArguments;
  SuppressThis = src.SuppressThis;
  PreloadThis = src.PreloadThis;
  PreloadGlobal = src.PreloadGlobal;
  Parameters = src.Parameters;
  codeSize_ = src.codeSize_;
  StaticOffset = src.StaticOffset;
}
void TSWFActionDefineFunction2::ReadData(TBitsEngine& be) {
  Name = ReadText(be, "DefineFunction2 name");
  std::uint16_t count = ReadU16(be, "DefineFunction2 parameter count");
  RegisterCount = ReadU8(be, "DefineFunction2 register count");
  std::uint8_t flags1 = ReadU8(be, "DefineFunction2 flags");
  std::uint8_t flags2 = ReadU8(be, "DefineFunction2 flags");
  PreloadParent = (flags1 & 0x80) != 0;
  PreloadRoot = (flags1 & 0x40) != 0;
  SuppressSuper = (flags1 & 0x20) != 0;
  PreloadSuper = (flags1 & 0x10) != 0;
  SuppressArguments = (flags1 & 0x08) != 0;
  PreloadArguments = (flags1 & 0x04) != 0;
  SuppressThis = (flags1 & 0x02) != 0;
  PreloadThis = (flags1 & 0x01) != 0;
  PreloadGlobal = (flags2 & 0x01) != 0;
  Parameters.clear();
  for (std::uint16_t i = 0; i < count; ++i) {
    TSWFRegisterParam param;
    param.Register = ReadU8(be, "DefineFunction2 parameter register");
    param.Name = ReadText(be, "DefineFunction2 parameter");
    Parameters.push_back(std::move(param));
  }
  SetCodeSize(ReadU16(be, "DefineFunction2 code size"));
}
void TSWFActionDefineFunction2::WriteData(TBitsEngine& be) {
  if (Parameters.size() > 0xFFFF) throw std::length_error("a function takes at most 65535 parameters");
  WriteText(be, Name);
  be.WriteWord(static_cast<std::uint16_t>(Parameters.size()));
  be.WriteByte(RegisterCount);
  be.WriteByte(static_cast<std::uint8_t>((PreloadParent ? 0x80 : 0) | (PreloadRoot ? 0x40 : 0) |
                                         (SuppressSuper ? 0x20 : 0) | (PreloadSuper ? 0x10 : 0) |
                                         (SuppressArguments ? 0x08 : 0) | (PreloadArguments ? 0x04 : 0) |
                                         (SuppressThis ? 0x02 : 0) | (PreloadThis ? 0x01 : 0)));
  be.WriteByte(PreloadGlobal ? 0x01 : 0);
  for (const auto& param : Parameters) {
    be.WriteByte(param.Register);
    WriteText(be, param.Name);
  }
  WriteLinkedField(be, codeSize_);
}
void TSWFActionDefineFunction2::WriteToStream(TBitsEngine& be) {
  StartPos = static_cast<std::uint32_t>(be.Stream().Position());
  TSWFAction7::WriteToStream(be);
}

TSWFTryOffsetMarker* TSWFActionTry::MarkerAt(int slot) {
  Slot& s = markers_[slot];
  if (!s.marker) {
    auto marker = std::make_unique<TSWFTryOffsetMarker>();
    s.marker = marker.get();
    s.owned = std::move(marker);
    s.owned->holder_ = &s.owned;
    LinkPrevMarkers();
  }
  return s.marker;
}

TSWFTryOffsetMarker* TSWFActionTry::TryMarker() { return MarkerAt(0); }
TSWFTryOffsetMarker* TSWFActionTry::CatchMarker() { return MarkerAt(1); }
TSWFTryOffsetMarker* TSWFActionTry::FinallyMarker() { return MarkerAt(2); }

void TSWFActionTry::SetMarkerAt(int slot, TSWFTryOffsetMarker* marker) {
  Slot& s = markers_[slot];
  if (s.marker == marker) return;
  s.owned.reset();
  s.marker = marker;
}

void TSWFActionTry::SetMarkers(TSWFTryOffsetMarker* tryMarker, TSWFTryOffsetMarker* catchMarker,
                               TSWFTryOffsetMarker* finallyMarker) {
  SetMarkerAt(0, tryMarker);
  SetMarkerAt(1, catchMarker);
  SetMarkerAt(2, finallyMarker);
  LinkPrevMarkers();
}

void TSWFActionTry::LinkPrevMarkers() {
  TSWFTryOffsetMarker* tryMarker = markers_[0].marker;
  TSWFTryOffsetMarker* catchMarker = markers_[1].marker;
  TSWFTryOffsetMarker* finallyMarker = markers_[2].marker;
  if (tryMarker) tryMarker->PrevMarker = nullptr;
  if (catchMarker) catchMarker->PrevMarker = tryMarker;
  if (finallyMarker) finallyMarker->PrevMarker = CatchBlockFlag && catchMarker ? catchMarker : tryMarker;
}

void TSWFActionTry::Assign(const TSWFAction& source) {
  TSWFAction7::Assign(source);
  const auto& src = ActionSource<TSWFActionTry>(source);
  CatchInRegisterFlag = src.CatchInRegisterFlag;
  FinallyBlockFlag = src.FinallyBlockFlag;
  CatchBlockFlag = src.CatchBlockFlag;
  CatchRegister = src.CatchRegister;
  CatchName = src.CatchName;
  SizesKnown = src.SizesKnown;
  trySize_ = src.trySize_;
  catchSize_ = src.catchSize_;
  finallySize_ = src.finallySize_;
}

void TSWFActionTry::ReadData(TBitsEngine& be) {
  std::uint8_t flags = ReadU8(be, "Try flags");
  CatchInRegisterFlag = (flags & 0x04) != 0;
  FinallyBlockFlag = (flags & 0x02) != 0;
  CatchBlockFlag = (flags & 0x01) != 0;
  SetTrySize(ReadU16(be, "Try size"));
  SetCatchSize(ReadU16(be, "Try catch size"));
  SetFinallySize(ReadU16(be, "Try finally size"));
  if (CatchInRegisterFlag) {
    CatchRegister = ReadU8(be, "Try catch register");
  } else {
    CatchName = ReadText(be, "Try catch name");
  }
}

void TSWFActionTry::WriteData(TBitsEngine& be) {
  be.WriteByte(static_cast<std::uint8_t>((CatchInRegisterFlag ? 0x04 : 0) | (FinallyBlockFlag ? 0x02 : 0) |
                                         (CatchBlockFlag ? 0x01 : 0)));
  TSWFTryOffsetMarker* tryMarker = markers_[0].marker;
  auto sizeField = [&](TSWFTryOffsetMarker* marker, bool present, std::uint16_t stored) {
    if (SizesKnown) {
      be.WriteWord(stored);
    } else if (!present) {
      be.WriteWord(0);
    } else if (marker && marker->Active) {
      // Try markers always measure forward, whatever JumpBack says.
      marker->JumpBack = false;
      WriteField16(be, marker->Refer(StartPos + 3 + be.Stream().Position(), 0, false));
    } else {
      be.WriteWord(stored);
    }
  };
  if (!SizesKnown) LinkPrevMarkers();
  sizeField(tryMarker, true, trySize_);
  sizeField(markers_[1].marker, CatchBlockFlag, catchSize_);
  sizeField(markers_[2].marker, FinallyBlockFlag, finallySize_);
  if (CatchInRegisterFlag) {
    be.WriteByte(CatchRegister);
  } else {
    WriteText(be, CatchName);
  }
  // The try block starts at the end of this record.
  if (!SizesKnown && tryMarker)
    tryMarker->blockStart_ = StartPos + 3 + be.Stream().Position() + ExtraBytes.size();
}

void TSWFActionTry::WriteToStream(TBitsEngine& be) {
  StartPos = static_cast<std::uint32_t>(be.Stream().Position());
  TSWFAction7::WriteToStream(be);
}

// --- the action table

namespace {

using ActionMaker = std::unique_ptr<TSWFAction> (*)();

template <class T>
std::unique_ptr<TSWFAction> MakeAction() {
  return std::make_unique<T>();
}

struct ActionEntry {
  std::uint8_t code;
  const char* name;
  ActionMaker make;
};

constexpr ActionEntry kActions[] = {
    {0x04, "NextFrame", MakeAction<TSWFActionNextFrame>},
    {0x05, "PreviousFrame", MakeAction<TSWFActionPreviousFrame>},
    {0x06, "Play", MakeAction<TSWFActionPlay>},
    {0x07, "Stop", MakeAction<TSWFActionStop>},
    {0x08, "ToggleQuality", MakeAction<TSWFActionToggleQuality>},
    {0x09, "StopSounds", MakeAction<TSWFActionStopSounds>},
    {0x0A, "Add", MakeAction<TSWFActionAdd>},
    {0x0B, "Subtract", MakeAction<TSWFActionSubtract>},
    {0x0C, "Multiply", MakeAction<TSWFActionMultiply>},
    {0x0D, "Divide", MakeAction<TSWFActionDivide>},
    {0x0E, "Equals", MakeAction<TSWFActionEquals>},
    {0x0F, "Less", MakeAction<TSWFActionLess>},
    {0x10, "And", MakeAction<TSWFActionAnd>},
    {0x11, "Or", MakeAction<TSWFActionOr>},
    {0x12, "Not", MakeAction<TSWFActionNot>},
    {0x13, "StringEquals", MakeAction<TSWFActionStringEquals>},
    {0x14, "StringLength", MakeAction<TSWFActionStringLength>},
    {0x15, "StringExtract", MakeAction<TSWFActionStringExtract>},
    {0x17, "Pop", MakeAction<TSWFActionPop>},
    {0x18, "ToInteger", MakeAction<TSWFActionToInteger>},
    {0x1C, "GetVariable", MakeAction<TSWFActionGetVariable>},
    {0x1D, "SetVariable", MakeAction<TSWFActionSetVariable>},
    {0x20, "SetTarget2", MakeAction<TSWFActionSetTarget2>},
    {0x21, "StringAdd", MakeAction<TSWFActionStringAdd>},
    {0x22, "GetProperty", MakeAction<TSWFActionGetProperty>},
    {0x23, "SetProperty", MakeAction<TSWFActionSetProperty>},
    {0x24, "CloneSprite", MakeAction<TSWFActionCloneSprite>},
    {0x25, "RemoveSprite", MakeAction<TSWFActionRemoveSprite>},
    {0x26, "Trace", MakeAction<TSWFActionTrace>},
    {0x27, "StartDrag", MakeAction<TSWFActionStartDrag>},
    {0x28, "EndDrag", MakeAction<TSWFActionEndDrag>},
    {0x29, "StringLess", MakeAction<TSWFActionStringLess>},
    {0x2A, "Throw", MakeAction<TSWFActionThrow>},
    {0x2B, "CastOp", MakeAction<TSWFActionCastOp>},
    {0x2C, "ImplementsOp", MakeAction<TSWFActionImplementsOp>},
    {0x2D, "FSCommand2", MakeAction<TSWFActionFSCommand2>},
    {0x30, "RandomNumber", MakeAction<TSWFActionRandomNumber>},
    {0x31, "MBStringLength", MakeAction<TSWFActionMBStringLength>},
    {0x32, "CharToAscii", MakeAction<TSWFActionCharToAscii>},
    {0x33, "AsciiToChar", MakeAction<TSWFActionAsciiToChar>},
    {0x34, "GetTime", MakeAction<TSWFActionGetTime>},
    {0x35, "MBStringExtract", MakeAction<TSWFActionMBStringExtract>},
    {0x36, "MBCharToAscii", MakeAction<TSWFActionMBCharToAscii>},
    {0x37, "MBAsciiToChar", MakeAction<TSWFActionMBAsciiToChar>},
    {0x3A, "Delete", MakeAction<TSWFActionDelete>},
    {0x3B, "Delete2", MakeAction<TSWFActionDelete2>},
    {0x3C, "DefineLocal", MakeAction<TSWFActionDefineLocal>},
    {0x3D, "CallFunction", MakeAction<TSWFActionCallFunction>},
    {0x3E, "Return", MakeAction<TSWFActionReturn>},
    {0x3F, "Modulo", MakeAction<TSWFActionModulo>},
    {0x40, "NewObject", MakeAction<TSWFActionNewObject>},
    {0x41, "DefineLocal2", MakeAction<TSWFActionDefineLocal2>},
    {0x42, "InitArray", MakeAction<TSWFActionInitArray>},
    {0x43, "InitObject", MakeAction<TSWFActionInitObject>},
    {0x44, "TypeOf", MakeAction<TSWFActionTypeOf>},
    {0x45, "TargetPath", MakeAction<TSWFActionTargetPath>},
    {0x46, "Enumerate", MakeAction<TSWFActionEnumerate>},
    {0x47, "Add2", MakeAction<TSWFActionAdd2>},
    {0x48, "Less2", MakeAction<TSWFActionLess2>},
    {0x49, "Equals2", MakeAction<TSWFActionEquals2>},
    {0x4A, "ToNumber", MakeAction<TSWFActionToNumber>},
    {0x4B, "ToString", MakeAction<TSWFActionToString>},
    {0x4C, "PushDuplicate", MakeAction<TSWFActionPushDuplicate>},
    {0x4D, "StackSwap", MakeAction<TSWFActionStackSwap>},
    {0x4E, "GetMember", MakeAction<TSWFActionGetMember>},
    {0x4F, "SetMember", MakeAction<TSWFActionSetMember>},
    {0x50, "Increment", MakeAction<TSWFActionIncrement>},
    {0x51, "Decrement", MakeAction<TSWFActionDecrement>},
    {0x52, "CallMethod", MakeAction<TSWFActionCallMethod>},
    {0x53, "NewMethod", MakeAction<TSWFActionNewMethod>},
    {0x54, "InstanceOf", MakeAction<TSWFActionInstanceOf>},
    {0x55, "Enumerate2", MakeAction<TSWFActionEnumerate2>},
    {0x60, "BitAnd", MakeAction<TSWFActionBitAnd>},
    {0x61, "BitOr", MakeAction<TSWFActionBitOr>},
    {0x62, "BitXor", MakeAction<TSWFActionBitXor>},
    {0x63, "BitLShift", MakeAction<TSWFActionBitLShift>},
    {0x64, "BitRShift", MakeAction<TSWFActionBitRShift>},
    {0x65, "BitURShift", MakeAction<TSWFActionBitURShift>},
    {0x66, "StrictEquals", MakeAction<TSWFActionStrictEquals>},
    {0x67, "Greater", MakeAction<TSWFActionGreater>},
    {0x68, "StringGreater", MakeAction<TSWFActionStringGreater>},
    {0x69, "Extends", MakeAction<TSWFActionExtends>},
    {0x81, "GotoFrame", MakeAction<TSWFActionGotoFrame>},
    {0x83, "GetURL", MakeAction<TSWFActionGetUrl>},
    {0x87, "StoreRegister", MakeAction<TSWFActionStoreRegister>},
    {0x88, "ConstantPool", MakeAction<TSWFActionConstantPool>},
    {0x8A, "WaitForFrame", MakeAction<TSWFActionWaitForFrame>},
    {0x8B, "SetTarget", MakeAction<TSWFActionSetTarget>},
    {0x8C, "GoToLabel", MakeAction<TSWFActionGoToLabel>},
    {0x8D, "WaitForFrame2", MakeAction<TSWFActionWaitForFrame2>},
    {0x8E, "DefineFunction2", MakeAction<TSWFActionDefineFunction2>},
    {0x8F, "Try", MakeAction<TSWFActionTry>},
    {0x94, "With", MakeAction<TSWFActionWith>},
    {0x96, "Push", MakeAction<TSWFActionPush>},
    {0x99, "Jump", MakeAction<TSWFActionJump>},
    {0x9A, "GetURL2", MakeAction<TSWFActionGetUrl2>},
    {0x9B, "DefineFunction", MakeAction<TSWFActionDefineFunction>},
    {0x9D, "If", MakeAction<TSWFActionIf>},
    {0x9E, "Call", MakeAction<TSWFActionCall>},
    {0x9F, "GotoFrame2", MakeAction<TSWFActionGotoFrame2>},
    {0xFE, "ByteCode", MakeAction<TSWFActionByteCode>},
    {0xFF, "Offset marker (only for work)", MakeAction<TSWFOffsetMarker>},
};

static_assert(std::size(kActions) == 102);

const ActionEntry* FindAction(int code) {
  for (const auto& entry : kActions)
    if (entry.code == code) return &entry;
  return nullptr;
}

}  // namespace

std::unique_ptr<TSWFAction> CreateAction(std::uint8_t code) {
  const ActionEntry* entry = FindAction(code);
  return entry ? entry->make() : nullptr;
}

std::string ActionNameOf(int code, bool prefixed) {
  const ActionEntry* entry = FindAction(code);
  if (!entry) return "Unknown " + std::to_string(code);
  if (prefixed && code != kActionOffsetMarker) return std::string("Action") + entry->name;
  return entry->name;
}

int ActionCodeOf(std::string_view name) {
  if (EqualsIgnoreCase(name, "Offset")) return kActionOffsetMarker;
  for (const auto& entry : kActions)
    if (EqualsIgnoreCase(name, entry.name)) return entry.code;
  return -1;
}

}  // namespace yel::swf
