// Action records of SWF 1 to 8: the base TSWFAction, one class per action
// code with its fields, the offset markers that stand for branch targets and
// block ends while a list is built, and the table of action names.
//
// A record is one code byte; codes of 0x80 and above add a 16-bit length and a
// body. Every field goes through TBitsEngine. Records are heap objects owned
// by a TSWFActionList (action_list.h); they are not copyable, Assign copies
// the fields of a record of the same class.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "swf/format/bits_engine.h"

namespace yel::swf {

class TSWFActionList;
class TSWFOffsetMarker;

// Code of the raw byte-code pseudo record and of the offset marker.
inline constexpr std::uint8_t kActionByteCode = 0xFE;
inline constexpr std::uint8_t kActionOffsetMarker = 0xFF;

class TSWFAction {
 public:
  virtual ~TSWFAction() = default;
  TSWFAction(const TSWFAction&) = delete;
  TSWFAction& operator=(const TSWFAction&) = delete;

  // Copies the fields of source, which must be of the same class. Markers are
  // not copied; CopyActionList relinks them.
  virtual void Assign(const TSWFAction& source);
  // Lowest SWF version that knows the record.
  virtual int MinVersion() const { return 3; }
  // Reads the body; the engine's stream holds exactly BodyLength bytes.
  virtual void ReadData(TBitsEngine& be);
  // Writes the body (for 0xFE and 0xFF: everything the record writes).
  virtual void WriteData(TBitsEngine& be);
  // Writes the whole record: code, then for long codes the length computed
  // from the encoded body and the body.
  virtual void WriteToStream(TBitsEngine& be);
  // Bytes the record occupies once written (markers 0, raw records their
  // buffer), valid after reading or writing.
  std::uint32_t GetFullSize() const;

  const std::uint8_t ActionCode;
  // Length field of a long record: set when read, recomputed on every write.
  std::uint16_t BodyLength = 0;
  // Body bytes that followed the fields of a record read from a file (a
  // length larger than the fields need); written back after the fields so
  // that offsets across the record stay right.
  std::vector<std::uint8_t> ExtraBytes;

 protected:
  explicit TSWFAction(std::uint8_t code) : ActionCode(code) {}
};

// Version classes: they only raise MinVersion.
class TSWFAction4 : public TSWFAction {
 public:
  int MinVersion() const override { return 4; }

 protected:
  using TSWFAction::TSWFAction;
};

class TSWFAction5 : public TSWFAction {
 public:
  int MinVersion() const override { return 5; }

 protected:
  using TSWFAction::TSWFAction;
};

class TSWFAction6 : public TSWFAction {
 public:
  int MinVersion() const override { return 6; }

 protected:
  using TSWFAction::TSWFAction;
};

class TSWFAction7 : public TSWFAction {
 public:
  int MinVersion() const override { return 7; }

 protected:
  using TSWFAction::TSWFAction;
};

// A record without fields: the code byte (and for Call a length of 0).
template <std::uint8_t Code, class Version>
class TSWFSimpleAction final : public Version {
 public:
  TSWFSimpleAction() : Version(Code) {}
};

// --- records without fields

using TSWFActionNextFrame = TSWFSimpleAction<0x04, TSWFAction>;
using TSWFActionPreviousFrame = TSWFSimpleAction<0x05, TSWFAction>;
using TSWFActionPlay = TSWFSimpleAction<0x06, TSWFAction>;
using TSWFActionStop = TSWFSimpleAction<0x07, TSWFAction>;
using TSWFActionToggleQuality = TSWFSimpleAction<0x08, TSWFAction>;
using TSWFActionStopSounds = TSWFSimpleAction<0x09, TSWFAction>;

using TSWFActionAdd = TSWFSimpleAction<0x0A, TSWFAction4>;
using TSWFActionSubtract = TSWFSimpleAction<0x0B, TSWFAction4>;
using TSWFActionMultiply = TSWFSimpleAction<0x0C, TSWFAction4>;
using TSWFActionDivide = TSWFSimpleAction<0x0D, TSWFAction4>;
using TSWFActionEquals = TSWFSimpleAction<0x0E, TSWFAction4>;
using TSWFActionLess = TSWFSimpleAction<0x0F, TSWFAction4>;
using TSWFActionAnd = TSWFSimpleAction<0x10, TSWFAction4>;
using TSWFActionOr = TSWFSimpleAction<0x11, TSWFAction4>;
using TSWFActionNot = TSWFSimpleAction<0x12, TSWFAction4>;
using TSWFActionStringEquals = TSWFSimpleAction<0x13, TSWFAction4>;
using TSWFActionStringLength = TSWFSimpleAction<0x14, TSWFAction4>;
using TSWFActionStringExtract = TSWFSimpleAction<0x15, TSWFAction4>;
using TSWFActionPop = TSWFSimpleAction<0x17, TSWFAction4>;
using TSWFActionToInteger = TSWFSimpleAction<0x18, TSWFAction4>;
using TSWFActionGetVariable = TSWFSimpleAction<0x1C, TSWFAction4>;
using TSWFActionSetVariable = TSWFSimpleAction<0x1D, TSWFAction4>;
using TSWFActionSetTarget2 = TSWFSimpleAction<0x20, TSWFAction4>;
using TSWFActionStringAdd = TSWFSimpleAction<0x21, TSWFAction4>;
using TSWFActionGetProperty = TSWFSimpleAction<0x22, TSWFAction4>;
using TSWFActionSetProperty = TSWFSimpleAction<0x23, TSWFAction4>;
using TSWFActionCloneSprite = TSWFSimpleAction<0x24, TSWFAction4>;
using TSWFActionRemoveSprite = TSWFSimpleAction<0x25, TSWFAction4>;
using TSWFActionTrace = TSWFSimpleAction<0x26, TSWFAction4>;
using TSWFActionStartDrag = TSWFSimpleAction<0x27, TSWFAction4>;
using TSWFActionEndDrag = TSWFSimpleAction<0x28, TSWFAction4>;
using TSWFActionStringLess = TSWFSimpleAction<0x29, TSWFAction4>;
using TSWFActionFSCommand2 = TSWFSimpleAction<0x2D, TSWFAction4>;
using TSWFActionRandomNumber = TSWFSimpleAction<0x30, TSWFAction4>;
using TSWFActionMBStringLength = TSWFSimpleAction<0x31, TSWFAction4>;
using TSWFActionCharToAscii = TSWFSimpleAction<0x32, TSWFAction4>;
using TSWFActionAsciiToChar = TSWFSimpleAction<0x33, TSWFAction4>;
using TSWFActionGetTime = TSWFSimpleAction<0x34, TSWFAction4>;
using TSWFActionMBStringExtract = TSWFSimpleAction<0x35, TSWFAction4>;
using TSWFActionMBCharToAscii = TSWFSimpleAction<0x36, TSWFAction4>;
using TSWFActionMBAsciiToChar = TSWFSimpleAction<0x37, TSWFAction4>;
// Call has no fields but, its code being above 0x80, a length of 0.
using TSWFActionCall = TSWFSimpleAction<0x9E, TSWFAction4>;

using TSWFActionDelete = TSWFSimpleAction<0x3A, TSWFAction5>;
using TSWFActionDelete2 = TSWFSimpleAction<0x3B, TSWFAction5>;
using TSWFActionDefineLocal = TSWFSimpleAction<0x3C, TSWFAction5>;
using TSWFActionCallFunction = TSWFSimpleAction<0x3D, TSWFAction5>;
using TSWFActionReturn = TSWFSimpleAction<0x3E, TSWFAction5>;
using TSWFActionModulo = TSWFSimpleAction<0x3F, TSWFAction5>;
using TSWFActionNewObject = TSWFSimpleAction<0x40, TSWFAction5>;
using TSWFActionDefineLocal2 = TSWFSimpleAction<0x41, TSWFAction5>;
using TSWFActionInitArray = TSWFSimpleAction<0x42, TSWFAction5>;
using TSWFActionInitObject = TSWFSimpleAction<0x43, TSWFAction5>;
using TSWFActionTypeOf = TSWFSimpleAction<0x44, TSWFAction5>;
using TSWFActionTargetPath = TSWFSimpleAction<0x45, TSWFAction5>;
using TSWFActionEnumerate = TSWFSimpleAction<0x46, TSWFAction5>;
using TSWFActionAdd2 = TSWFSimpleAction<0x47, TSWFAction5>;
using TSWFActionLess2 = TSWFSimpleAction<0x48, TSWFAction5>;
using TSWFActionEquals2 = TSWFSimpleAction<0x49, TSWFAction5>;
using TSWFActionToNumber = TSWFSimpleAction<0x4A, TSWFAction5>;
using TSWFActionToString = TSWFSimpleAction<0x4B, TSWFAction5>;
using TSWFActionPushDuplicate = TSWFSimpleAction<0x4C, TSWFAction5>;
using TSWFActionStackSwap = TSWFSimpleAction<0x4D, TSWFAction5>;
using TSWFActionGetMember = TSWFSimpleAction<0x4E, TSWFAction5>;
using TSWFActionSetMember = TSWFSimpleAction<0x4F, TSWFAction5>;
using TSWFActionIncrement = TSWFSimpleAction<0x50, TSWFAction5>;
using TSWFActionDecrement = TSWFSimpleAction<0x51, TSWFAction5>;
using TSWFActionCallMethod = TSWFSimpleAction<0x52, TSWFAction5>;
using TSWFActionNewMethod = TSWFSimpleAction<0x53, TSWFAction5>;
using TSWFActionBitAnd = TSWFSimpleAction<0x60, TSWFAction5>;
using TSWFActionBitOr = TSWFSimpleAction<0x61, TSWFAction5>;
using TSWFActionBitXor = TSWFSimpleAction<0x62, TSWFAction5>;
using TSWFActionBitLShift = TSWFSimpleAction<0x63, TSWFAction5>;
using TSWFActionBitRShift = TSWFSimpleAction<0x64, TSWFAction5>;
using TSWFActionBitURShift = TSWFSimpleAction<0x65, TSWFAction5>;

using TSWFActionInstanceOf = TSWFSimpleAction<0x54, TSWFAction6>;
using TSWFActionEnumerate2 = TSWFSimpleAction<0x55, TSWFAction6>;
using TSWFActionStrictEquals = TSWFSimpleAction<0x66, TSWFAction6>;
using TSWFActionGreater = TSWFSimpleAction<0x67, TSWFAction6>;
using TSWFActionStringGreater = TSWFSimpleAction<0x68, TSWFAction6>;

using TSWFActionThrow = TSWFSimpleAction<0x2A, TSWFAction7>;
using TSWFActionCastOp = TSWFSimpleAction<0x2B, TSWFAction7>;
using TSWFActionImplementsOp = TSWFSimpleAction<0x2C, TSWFAction7>;
using TSWFActionExtends = TSWFSimpleAction<0x69, TSWFAction7>;

// --- offset markers

// A pseudo record that writes no bytes. It marks the target of a branch or
// the end of a block; when the list is written it either records its own
// position (a backward target, JumpBack) so that later branches compute
// their offsets from it, or patches the placeholder that the one record
// referring to it left (a forward target).
class TSWFOffsetMarker : public TSWFAction {
 public:
  TSWFOffsetMarker() : TSWFAction(kActionOffsetMarker) {}
  // Copies JumpBack, Active and Label; positions belong to one write.
  void Assign(const TSWFAction& source) override;
  void WriteData(TBitsEngine& be) override;

  // The marker sits in an action list, which owns it.
  bool InList = false;
  // The marker comes before the records that refer to it.
  bool JumpBack = true;
  // Patches offsets when written; markers placed while reading are inactive.
  bool Active = true;
  std::string Label;
  // Absolute position of the referring record's offset field.
  std::uint32_t FieldPos = 0;
  std::uint8_t OffsetSize = 2;
  // Backward: the marker's own position; forward: the placeholder to patch.
  std::uint32_t StoredPos = 0;

 protected:
  explicit TSWFOffsetMarker(std::uint8_t code) : TSWFAction(code) {}
  // Where the block measured by a forward patch starts.
  virtual std::uint64_t BlockStart() const { return blockStart_; }

 private:
  friend class TSWFActionList;
  friend class TSWFBranchLink;
  friend class TSWFActionTry;
  friend class TSWFTryOffsetMarker;
  friend void WriteActionList(TBitsEngine& be, TSWFActionList& list);

  // Forgets the state of a previous write.
  void ResetWriteState() {
    pending_ = false;
    placed_ = false;
  }
  // Called by the referring record while it writes its field at absolute
  // position field; returns the value to write now (the placeholder 0 for a
  // forward marker).
  std::int64_t Refer(std::uint64_t field, std::uint64_t blockStart, bool isSigned);

  // The record whose pointer owns this marker until a list adopts it.
  std::unique_ptr<TSWFOffsetMarker>* holder_ = nullptr;
  bool pending_ = false;  // a forward placeholder waits at StoredPos
  bool placed_ = false;   // written in the current write of the list
  bool signed_ = false;   // the patched field is a signed branch offset
  std::uint64_t blockStart_ = 0;
  std::uint64_t writtenPos_ = 0;
};

// Marker of a Try block. The catch block starts where the try marker was
// written and the finally block where its PrevMarker was written.
class TSWFTryOffsetMarker : public TSWFOffsetMarker {
 public:
  TSWFTryOffsetMarker() { JumpBack = false; }

  TSWFTryOffsetMarker* PrevMarker = nullptr;

 protected:
  std::uint64_t BlockStart() const override;
};

// Records whose last field (a branch offset or a block size) may be computed
// from a marker when the list is written: Jump, If, With, DefineFunction and
// DefineFunction2.
class TSWFBranchLink {
 public:
  virtual ~TSWFBranchLink() = default;

  // The marker, created on first use; the record owns it until it is put
  // into a list.
  TSWFOffsetMarker* Marker();
  // The marker if there is one, else null.
  TSWFOffsetMarker* CurrentMarker() const { return marker_; }
  // Refers to a marker owned by a list (null: no marker); an owned marker is
  // freed.
  void SetMarker(TSWFOffsetMarker* marker);
  // The stored offset or size, in bytes from the end of the record.
  virtual std::int32_t TargetOffset() const = 0;
  virtual bool OffsetIsSigned() const = 0;

  // True when the stored offset or size is written (always after reading);
  // false when the marker decides it.
  bool StaticOffset = false;
  // Absolute position at which the record began in its last write.
  std::uint32_t StartPos = 0;

 protected:
  // Writes the offset or size field at the current end of body, whose first
  // byte lies at StartPos + 3 of the target stream.
  void WriteLinkedField(TBitsEngine& body, std::int32_t stored);

 private:
  std::unique_ptr<TSWFOffsetMarker> owned_;
  TSWFOffsetMarker* marker_ = nullptr;
};

// --- records with fields, SWF 3

class TSWFActionGotoFrame : public TSWFAction {
 public:
  TSWFActionGotoFrame() : TSWFAction(0x81) {}
  void Assign(const TSWFAction& source) override;
  void ReadData(TBitsEngine& be) override;
  void WriteData(TBitsEngine& be) override;

  std::uint16_t Frame = 0;
};

// The URL is converted to UTF-8 when written; both strings are read back as
// stored.
class TSWFActionGetUrl : public TSWFAction {
 public:
  TSWFActionGetUrl() : TSWFAction(0x83) {}
  void Assign(const TSWFAction& source) override;
  void ReadData(TBitsEngine& be) override;
  void WriteData(TBitsEngine& be) override;

  std::string Target;
  std::string URL;
};

class TSWFActionWaitForFrame : public TSWFAction {
 public:
  TSWFActionWaitForFrame() : TSWFAction(0x8A) {}
  void Assign(const TSWFAction& source) override;
  void ReadData(TBitsEngine& be) override;
  void WriteData(TBitsEngine& be) override;

  std::uint16_t Frame = 0;
  std::uint8_t SkipCount = 0;
};

class TSWFActionSetTarget : public TSWFAction {
 public:
  TSWFActionSetTarget() : TSWFAction(0x8B) {}
  void Assign(const TSWFAction& source) override;
  void ReadData(TBitsEngine& be) override;
  void WriteData(TBitsEngine& be) override;

  std::string TargetName;
};

class TSWFActionGoToLabel : public TSWFAction {
 public:
  TSWFActionGoToLabel() : TSWFAction(0x8C) {}
  void Assign(const TSWFAction& source) override;
  void ReadData(TBitsEngine& be) override;
  void WriteData(TBitsEngine& be) override;

  std::string Label;
};

// --- SWF 4

// The frame is taken from the stack at run time.
class TSWFActionWaitForFrame2 : public TSWFAction4 {
 public:
  TSWFActionWaitForFrame2() : TSWFAction4(0x8D) {}
  void Assign(const TSWFAction& source) override;
  void ReadData(TBitsEngine& be) override;
  void WriteData(TBitsEngine& be) override;

  std::uint8_t SkipCount = 0;
};

// Push value types.
enum TPushValueType : std::uint8_t {
  kPushString = 0,
  kPushFloat = 1,
  kPushNull = 2,
  kPushUndefined = 3,
  kPushRegister = 4,
  kPushBoolean = 5,
  kPushDouble = 6,
  kPushInteger = 7,
  kPushConstant8 = 8,
  kPushConstant16 = 9,
  // Pseudo type: choose the type from the value; never stored.
  kPushDefault = 10,
};

// A variant of the kinds a push value is made from: empty, null, boolean,
// integer, single, double, string.
using TPushValue = std::variant<std::monostate, std::nullptr_t, bool, std::int64_t, float, double, std::string>;

struct TPushValueInfo {
  TPushValue Value;
  std::uint8_t ValueType = kPushUndefined;
  // Invalid values are kept but never written.
  bool IsValid = true;
};

// "str", "float", ... "def" for the types 0 to 10; "" for others.
std::string PushValueTypeName(int type);

class TSWFActionPush : public TSWFAction4 {
 public:
  TSWFActionPush() : TSWFAction4(0x96) {}
  void Assign(const TSWFAction& source) override;
  // 5 when a value has a type above 1 (SWF 5 types), else 4.
  int MinVersion() const override;
  // Throws on an unknown type or a value that runs past the body.
  void ReadData(TBitsEngine& be) override;
  void WriteData(TBitsEngine& be) override;

  // Appends a value whose type is chosen from its kind: empty undefined, null
  // null, integers int, single float, double double, boolean bool, strings
  // str (but "FlashVar_null" null and "FlashVar_undefined" undefined).
  // Returns its index.
  int AddValue(TPushValue value);
  // Any type but kPushDefault, which leaves the type as it is.
  void SetValueType(std::size_t index, std::uint8_t type);
  const TPushValue& GetValue(std::size_t index) const { return Values.at(index).Value; }
  std::size_t ValueCount() const { return Values.size(); }

  std::vector<TPushValueInfo> Values;
};

class TSWFActionJump : public TSWFAction4, public TSWFBranchLink {
 public:
  TSWFActionJump() : TSWFAction4(0x99) {}
  void Assign(const TSWFAction& source) override;
  void ReadData(TBitsEngine& be) override;
  void WriteData(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;
  std::int32_t TargetOffset() const override { return branchOffset_; }
  bool OffsetIsSigned() const override { return true; }

  // Bytes from the end of this record to the target.
  std::int16_t BranchOffset() const { return branchOffset_; }
  void SetBranchOffset(std::int16_t offset) {
    branchOffset_ = offset;
    StaticOffset = true;
  }

 protected:
  explicit TSWFActionJump(std::uint8_t code) : TSWFAction4(code) {}

 private:
  std::int16_t branchOffset_ = 0;
};

class TSWFActionIf : public TSWFActionJump {
 public:
  TSWFActionIf() : TSWFActionJump(0x9D) {}
};

class TSWFActionGetUrl2 : public TSWFAction4 {
 public:
  TSWFActionGetUrl2() : TSWFAction4(0x9A) {}
  void Assign(const TSWFAction& source) override;
  void ReadData(TBitsEngine& be) override;
  void WriteData(TBitsEngine& be) override;

  bool LoadVariablesFlag = false;
  bool LoadTargetFlag = false;
  // 0 none, 1 GET, 2 POST.
  std::uint8_t SendVarsMethod = 0;
};

class TSWFActionGotoFrame2 : public TSWFAction4 {
 public:
  TSWFActionGotoFrame2() : TSWFAction4(0x9F) {}
  void Assign(const TSWFAction& source) override;
  void ReadData(TBitsEngine& be) override;
  void WriteData(TBitsEngine& be) override;

  bool SceneBiasFlag = false;
  bool PlayFlag = false;
  std::uint16_t SceneBias = 0;
};

// Raw action bytes written verbatim, code bytes included: unknown records
// read from a file, or a whole list kept unparsed.
class TSWFActionByteCode : public TSWFAction4 {
 public:
  TSWFActionByteCode() : TSWFAction4(kActionByteCode) {}
  void Assign(const TSWFAction& source) override;
  void ReadData(TBitsEngine& be) override;
  void WriteData(TBitsEngine& be) override;

  void SetLength(std::size_t length) { Bytes.assign(length, 0); }
  std::uint8_t Byte(std::size_t index) const { return Bytes.at(index); }
  void SetByte(std::size_t index, std::uint8_t value) { Bytes.at(index) = value; }
  // Two hexadecimal digits per byte.
  std::string HexText() const;
  // Throws std::invalid_argument on an odd length or a non-hex digit.
  void SetHexText(std::string_view text);

  std::vector<std::uint8_t> Bytes;
};

// --- SWF 5

class TSWFActionStoreRegister : public TSWFAction5 {
 public:
  TSWFActionStoreRegister() : TSWFAction5(0x87) {}
  void Assign(const TSWFAction& source) override;
  void ReadData(TBitsEngine& be) override;
  void WriteData(TBitsEngine& be) override;

  std::uint8_t RegisterNumber = 0;
};

class TSWFActionConstantPool : public TSWFAction5 {
 public:
  TSWFActionConstantPool() : TSWFAction5(0x88) {}
  void Assign(const TSWFAction& source) override;
  // Throws when the count asks for more strings than the body holds.
  void ReadData(TBitsEngine& be) override;
  void WriteData(TBitsEngine& be) override;

  std::vector<std::string> ConstantPool;
};

class TSWFActionWith : public TSWFAction5, public TSWFBranchLink {
 public:
  TSWFActionWith() : TSWFAction5(0x94) {}
  void Assign(const TSWFAction& source) override;
  void ReadData(TBitsEngine& be) override;
  void WriteData(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;
  std::int32_t TargetOffset() const override { return size_; }
  bool OffsetIsSigned() const override { return false; }

  // Bytes of the with-block that follows this record.
  std::uint16_t Size() const { return size_; }
  void SetSize(std::uint16_t size) {
    size_ = size;
    StaticOffset = true;
  }

 private:
  std::uint16_t size_ = 0;
};

class TSWFActionDefineFunction : public TSWFAction5, public TSWFBranchLink {
 public:
  TSWFActionDefineFunction() : TSWFAction5(0x9B) {}
  void Assign(const TSWFAction& source) override;
  void ReadData(TBitsEngine& be) override;
  void WriteData(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;
  std::int32_t TargetOffset() const override { return codeSize_; }
  bool OffsetIsSigned() const override { return false; }

  // Bytes of the function body that follows this record.
  std::uint16_t CodeSize() const { return codeSize_; }
  void SetCodeSize(std::uint16_t size) {
    codeSize_ = size;
    StaticOffset = true;
  }

  std::string Name;
  std::vector<std::string> Params;

 private:
  std::uint16_t codeSize_ = 0;
};

// --- SWF 7

struct TSWFRegisterParam {
  // 0: the parameter is not kept in a register.
  std::uint8_t Register = 0;
  std::string Name;
};

class TSWFActionDefineFunction2 : public TSWFAction7, public TSWFBranchLink {
 public:
  TSWFActionDefineFunction2() : TSWFAction7(0x8E) {}
  void Assign(const TSWFAction& source) override;
  void ReadData(TBitsEngine& be) override;
  void WriteData(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;
  std::int32_t TargetOffset() const override { return codeSize_; }
  bool OffsetIsSigned() const override { return false; }

  std::uint16_t CodeSize() const { return codeSize_; }
  void SetCodeSize(std::uint16_t size) {
    codeSize_ = size;
    StaticOffset = true;
  }
  void AddParam(std::string name, std::uint8_t reg) { Parameters.push_back({reg, std::move(name)}); }
  std::uint8_t ParamRegister(std::size_t index) const { return Parameters.at(index).Register; }
  void SetParamRegister(std::size_t index, std::uint8_t reg) { Parameters.at(index).Register = reg; }

  std::string Name;
  std::uint8_t RegisterCount = 0;
  bool PreloadParent = false;
  bool PreloadRoot = false;
  bool SuppressSuper = false;
  bool PreloadSuper = false;
  bool SuppressArguments = false;
  bool PreloadArguments = false;
  bool SuppressThis = false;
  bool PreloadThis = false;
  bool PreloadGlobal = false;
  std::vector<TSWFRegisterParam> Parameters;

 private:
  std::uint16_t codeSize_ = 0;
};

// try { ... } catch (name or register) { ... } finally { ... }: the three
// block sizes are stored numbers (SizesKnown) or come from three markers
// placed at the ends of the blocks.
class TSWFActionTry : public TSWFAction7 {
 public:
  TSWFActionTry() : TSWFAction7(0x8F) {}
  void Assign(const TSWFAction& source) override;
  void ReadData(TBitsEngine& be) override;
  void WriteData(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;

  std::uint16_t TrySize() const { return trySize_; }
  std::uint16_t CatchSize() const { return catchSize_; }
  std::uint16_t FinallySize() const { return finallySize_; }
  void SetTrySize(std::uint16_t size) {
    trySize_ = size;
    SizesKnown = true;
  }
  void SetCatchSize(std::uint16_t size) {
    catchSize_ = size;
    SizesKnown = true;
  }
  void SetFinallySize(std::uint16_t size) {
    finallySize_ = size;
    SizesKnown = true;
  }

  // The markers at the ends of the blocks, created on first use and owned
  // until put into a list.
  TSWFTryOffsetMarker* TryMarker();
  TSWFTryOffsetMarker* CatchMarker();
  TSWFTryOffsetMarker* FinallyMarker();
  // The markers if they exist, else null.
  TSWFTryOffsetMarker* CurrentTryMarker() const { return markers_[0].marker; }
  TSWFTryOffsetMarker* CurrentCatchMarker() const { return markers_[1].marker; }
  TSWFTryOffsetMarker* CurrentFinallyMarker() const { return markers_[2].marker; }
  // Refer to markers owned by a list (null: none); owned ones are freed.
  void SetMarkers(TSWFTryOffsetMarker* tryMarker, TSWFTryOffsetMarker* catchMarker,
                  TSWFTryOffsetMarker* finallyMarker);

  bool CatchInRegisterFlag = false;
  bool FinallyBlockFlag = false;
  bool CatchBlockFlag = false;
  std::uint8_t CatchRegister = 0;
  std::string CatchName;
  bool SizesKnown = false;
  std::uint32_t StartPos = 0;

 private:
  struct Slot {
    std::unique_ptr<TSWFOffsetMarker> owned;
    TSWFTryOffsetMarker* marker = nullptr;
  };
  TSWFTryOffsetMarker* MarkerAt(int slot);
  void SetMarkerAt(int slot, TSWFTryOffsetMarker* marker);
  void LinkPrevMarkers();

  std::uint16_t trySize_ = 0;
  std::uint16_t catchSize_ = 0;
  std::uint16_t finallySize_ = 0;
  Slot markers_[3];
};

// --- the action table

// New record of the class for code (0xFE raw byte code, 0xFF an offset
// marker); null for codes without a class, 0x00 included.
std::unique_ptr<TSWFAction> CreateAction(std::uint8_t code);
// Table name; prefixed gives "Action" + name except for the marker; an
// unknown code gives "Unknown " + the decimal code.
std::string ActionNameOf(int code, bool prefixed = false);
// Case-insensitive lookup of the table name ("Offset" gives 0xFF); -1 when
// nothing matches.
int ActionCodeOf(std::string_view name);

}  // namespace yel::swf
