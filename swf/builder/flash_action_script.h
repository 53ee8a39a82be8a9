// TFlashActionScript: the builder object through which frame actions, sprite
// init actions, clip actions and the compiler's output are assembled as an
// action list, one record per call. Consecutive pushes merge into one Push
// record; markers stand for branch targets; script source compiles into the
// same list through the movie's compile context. Written as one DoAction tag
// when it stands in a timeline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "swf/builder/flash_object.h"
#include "swf/format/actions/action_list.h"

namespace yel {
class TStream;
}

namespace yel::swf {

class TFlashActionScript : public TFlashObject {
 public:
  // Appends to list when given (which then stays its holder's), otherwise to
  // a list of its own.
  explicit TFlashActionScript(TFlashMovie* owner, TSWFActionList* list = nullptr);
  ~TFlashActionScript() override;

  // Appends copies of the source's records (markers relinked to the copies).
  void Assign(const TBasedSWFObject& source) override;
  // The highest MinVersion of the records, at least 1.
  int MinVersion() const override;
  // Writes the list as one DoAction tag.
  void WriteToStream(TBitsEngine& be) override;

  TSWFActionList& Actions() { return *actions_; }
  const TSWFActionList& Actions() const { return *actions_; }
  bool OwnsList() const { return owned_ != nullptr; }
  TSWFAction* GetAction(std::size_t index) const { return actions_->At(index); }

  // Appends any record.
  template <class T>
  T* Add(std::unique_ptr<T> action) {
    return actions_->Add(std::move(action));
  }

  // --- records without fields
  void Add2();
  void Add();
  void And();
  void AsciiToChar();
  void BitAnd();
  void BitLShift();
  void BitOr();
  void BitRShift();
  void BitURShift();
  void BitXor();
  void Call();
  void CallFunction();
  void CallMethod();
  void CastOp();
  void CharToAscii();
  void CloneSprite();
  void Decrement();
  void DefineLocal();
  void DefineLocal2();
  void Delete();
  void Delete2();
  void Divide();
  void EndDrag();
  void Enumerate2();
  void Equals();
  void Equals2();
  void Extends();
  void GetMember();
  void GetProperty();
  void GetTime();
  void GetVariable();
  void ImplementsOp();
  void Increment();
  void InitArray();
  void InitObject();
  void InstanceOf();
  void Less();
  void Less2();
  void MBAsciiToChar();
  void MBCharToAscii();
  void MBStringLength();
  void Modulo();
  void Multiply();
  void NewMethod();
  void NewObject();
  void NextFrame();
  void Not();
  void Or();
  void Play();
  void Pop();
  void PreviousFrame();
  void PushDuplicate();
  void RandomNumber();
  void RemoveSprite();
  void Return();
  void SetMember();
  void SetProperty();
  void SetTarget2();
  void SetVariable();
  void StackSwap();
  void StartDrag();
  void Stop();
  void StopSounds();
  void StrictEquals();
  void StringAdd();
  void StringEquals();
  void StringExtract();
  void StringLength();
  void StringLess();
  void Subtract();
  void Throw();
  void ToInteger();
  void ToNumber();
  void ToString();
  void TypeOf();

  // --- records with fields
  TSWFActionJump* Jump();
  TSWFActionIf* If();
  TSWFActionTry* Try();
  TSWFActionWith* With();
  // Two hexadecimal digits per byte; throws std::invalid_argument otherwise.
  TSWFActionByteCode* ByteCode(std::string_view hex);
  TSWFActionConstantPool* ConstantPool(const std::vector<std::string>& strings);
  TSWFActionDefineFunction* DefineFunction(const std::string& name, const std::vector<std::string>& params);
  // Every parameter in register 0.
  TSWFActionDefineFunction2* DefineFunction2(const std::string& name, const std::vector<std::string>& params,
                                             std::uint8_t registerCount);
  // A GetURL to "FSCommand:" + command with the arguments as target.
  TSWFActionGetUrl* FSCommand(const std::string& command, const std::string& arguments);
  TSWFActionGetUrl* GetURL(const std::string& url, const std::string& target);
  TSWFActionGetUrl2* GetURL2(bool loadTarget, bool loadVariables, std::uint8_t method);
  TSWFActionGotoFrame* GotoFrame(std::uint16_t frame);
  // SceneBiasFlag is set exactly when the bias is not 0.
  TSWFActionGotoFrame2* GotoFrame2(bool play, std::uint16_t sceneBias = 0);
  TSWFActionStoreRegister* StoreRegister(std::uint8_t reg);
  TSWFActionWaitForFrame* WaitForFrame(std::uint16_t frame, std::uint8_t skipCount);

  // Adds values to the trailing Push record (a new one when the last record
  // is not a Push); types holds one type per value, kPushDefault choosing it
  // from the value. Returns the Push used.
  TSWFActionPush* PushValues(const std::vector<TPushValue>& values, const std::vector<std::uint8_t>& types = {});
  TSWFActionPush* PushValue(TPushValue value, std::uint8_t type = kPushDefault);
  // Constant-pool indexes: const8 below 256, const16 from 256.
  TSWFActionPush* PushConstant(std::uint16_t index);
  TSWFActionPush* PushConstants(const std::vector<std::uint16_t>& indexes);
  // Puts a marker into the list: with a marker made by a branch record for a
  // forward reference, its JumpBack becomes back; with none, a new backward
  // target. Returns the marker.
  TSWFOffsetMarker* PlaceMarker(TSWFOffsetMarker* marker = nullptr, bool back = true);

  // --- compiling script source into the list. False after a compile error,
  // whose message is appended to the movie's compile-error log; records
  // appended before the error stay.
  // The lines joined with CR LF after every line.
  bool CompileStrings(const std::vector<std::string>& lines);
  bool CompileText(std::string_view text);
  bool CompileFile(const std::string& fileName);
  bool CompileStream(TStream& source);

 private:
  TSWFActionPush* TrailingPush();

  std::unique_ptr<TSWFActionList> owned_;
  TSWFActionList* actions_;
};

}  // namespace yel::swf
