// Action lists of the builder: one record per call, push merging, markers,
// compiling source into the list, and writing it as a DoAction tag.
#include "swf/builder/flash_action_script.h"

#include <algorithm>

#include "base/byte_stream.h"
#include "base/files.h"
#include "swf/builder/compile_context_base.h"
#include "swf/builder/flash_movie.h"
#include "swf/format/actions/do_action_tags.h"

namespace yel::swf {

TFlashActionScript::TFlashActionScript(TFlashMovie* owner, TSWFActionList* list) : TFlashObject(owner) {
  if (!list) {
    owned_ = std::make_unique<TSWFActionList>();
    list = owned_.get();
  }
  actions_ = list;
}

TFlashActionScript::~TFlashActionScript() = default;

void TFlashActionScript::Assign(const TBasedSWFObject& source) {
  CopyActionList(AssignSource<TFlashActionScript>(source).Actions(), *actions_);
}

int TFlashActionScript::MinVersion() const { return ActionListMinVersion(*actions_, 1); }

void TFlashActionScript::WriteToStream(TBitsEngine& be) {
  TSWFDoAction tag(*actions_);
  tag.WriteToStream(be);
}

#define YEL_SIMPLE_ACTION(name) \
  void TFlashActionScript::name() { actions_->Add(std::make_unique<TSWFAction##name>()); }
YEL_SIMPLE_ACTION(Add)
YEL_SIMPLE_ACTION(Add2)
YEL_SIMPLE_ACTION(And)
YEL_SIMPLE_ACTION(AsciiToChar)
YEL_SIMPLE_ACTION(BitAnd)
YEL_SIMPLE_ACTION(BitLShift)
YEL_SIMPLE_ACTION(BitOr)
YEL_SIMPLE_ACTION(BitRShift)
YEL_SIMPLE_ACTION(BitURShift)
YEL_SIMPLE_ACTION(BitXor)
YEL_SIMPLE_ACTION(Call)
YEL_SIMPLE_ACTION(CallFunction)
YEL_SIMPLE_ACTION(CallMethod)
YEL_SIMPLE_ACTION(CastOp)
YEL_SIMPLE_ACTION(CharToAscii)
YEL_SIMPLE_ACTION(CloneSprite)
YEL_SIMPLE_ACTION(Decrement)
YEL_SIMPLE_ACTION(DefineLocal)
YEL_SIMPLE_ACTION(DefineLocal2)
YEL_SIMPLE_ACTION(Delete)
YEL_SIMPLE_ACTION(Delete2)
YEL_SIMPLE_ACTION(Divide)
YEL_SIMPLE_ACTION(EndDrag)
YEL_SIMPLE_ACTION(Enumerate2)
YEL_SIMPLE_ACTION(Equals)
YEL_SIMPLE_ACTION(Equals2)
YEL_SIMPLE_ACTION(Extends)
YEL_SIMPLE_ACTION(GetMember)
YEL_SIMPLE_ACTION(GetProperty)
YEL_SIMPLE_ACTION(GetTime)
YEL_SIMPLE_ACTION(GetVariable)
YEL_SIMPLE_ACTION(ImplementsOp)
YEL_SIMPLE_ACTION(Increment)
YEL_SIMPLE_ACTION(InitArray)
YEL_SIMPLE_ACTION(InitObject)
YEL_SIMPLE_ACTION(InstanceOf)
YEL_SIMPLE_ACTION(Less)
YEL_SIMPLE_ACTION(Less2)
YEL_SIMPLE_ACTION(MBAsciiToChar)
YEL_SIMPLE_ACTION(MBCharToAscii)
YEL_SIMPLE_ACTION(MBStringLength)
YEL_SIMPLE_ACTION(Modulo)
YEL_SIMPLE_ACTION(Multiply)
YEL_SIMPLE_ACTION(NewMethod)
YEL_SIMPLE_ACTION(NewObject)
YEL_SIMPLE_ACTION(NextFrame)
YEL_SIMPLE_ACTION(Not)
YEL_SIMPLE_ACTION(Or)
YEL_SIMPLE_ACTION(Play)
YEL_SIMPLE_ACTION(Pop)
YEL_SIMPLE_ACTION(PreviousFrame)
YEL_SIMPLE_ACTION(PushDuplicate)
YEL_SIMPLE_ACTION(RandomNumber)
YEL_SIMPLE_ACTION(RemoveSprite)
YEL_SIMPLE_ACTION(Return)
YEL_SIMPLE_ACTION(SetMember)
YEL_SIMPLE_ACTION(SetProperty)
YEL_SIMPLE_ACTION(SetTarget2)
YEL_SIMPLE_ACTION(SetVariable)
YEL_SIMPLE_ACTION(StackSwap)
YEL_SIMPLE_ACTION(StartDrag)
YEL_SIMPLE_ACTION(Stop)
YEL_SIMPLE_ACTION(StopSounds)
YEL_SIMPLE_ACTION(StrictEquals)
YEL_SIMPLE_ACTION(StringAdd)
YEL_SIMPLE_ACTION(StringEquals)
YEL_SIMPLE_ACTION(StringExtract)
YEL_SIMPLE_ACTION(StringLength)
YEL_SIMPLE_ACTION(StringLess)
YEL_SIMPLE_ACTION(Subtract)
YEL_SIMPLE_ACTION(Throw)
YEL_SIMPLE_ACTION(ToInteger)
YEL_SIMPLE_ACTION(ToNumber)
YEL_SIMPLE_ACTION(ToString)
YEL_SIMPLE_ACTION(TypeOf)
#undef YEL_SIMPLE_ACTION

TSWFActionJump* TFlashActionScript::Jump() { return actions_->Add(std::make_unique<TSWFActionJump>()); }
TSWFActionIf* TFlashActionScript::If() { return actions_->Add(std::make_unique<TSWFActionIf>()); }
TSWFActionTry* TFlashActionScript::Try() { return actions_->Add(std::make_unique<TSWFActionTry>()); }
TSWFActionWith* TFlashActionScript::With() { return actions_->Add(std::make_unique<TSWFActionWith>()); }

TSWFActionByteCode* TFlashActionScript::ByteCode(std::string_view hex) {
  auto record = std::make_unique<TSWFActionByteCode>();
  record->SetHexText(hex);
  return actions_->Add(std::move(record));
}

TSWFActionConstantPool* TFlashActionScript::ConstantPool(const std::vector<std::string>& strings) {
  auto* record = actions_->Add(std::make_unique<TSWFActionConstantPool>());
  record->ConstantPool = strings;
  return record;
}

TSWFActionDefineFunction* TFlashActionScript::DefineFunction(const std::string& name,
                                                             const std::vector<std::string>& params) {
  auto* record = actions_->Add(std::make_unique<TSWFActionDefineFunction>());
  record->Name = name;
  record->Params = params;
  return record;
}

TSWFActionDefineFunction2* TFlashActionScript::DefineFunction2(const std::string& name,
                                                               const std::vector<std::string>& params,
                                                               std::uint8_t registerCount) {
  auto* record = actions_->Add(std::make_unique<TSWFActionDefineFunction2>());
  record->Name = name;
  record->RegisterCount = registerCount;
  for (const auto& param : params) record->AddParam(param, 0);
  return record;
}

TSWFActionGetUrl* TFlashActionScript::FSCommand(const std::string& command, const std::string& arguments) {
  return GetURL("FSCommand:" + command, arguments);
}

TSWFActionGetUrl* TFlashActionScript::GetURL(const std::string& url, const std::string& target) {
  auto* record = actions_->Add(std::make_unique<TSWFActionGetUrl>());
  record->URL = url;
  record->Target = target;
  return record;
}

TSWFActionGetUrl2* TFlashActionScript::GetURL2(bool loadTarget, bool loadVariables, std::uint8_t method) {
  auto* record = actions_->Add(std::make_unique<TSWFActionGetUrl2>());
  record->LoadTargetFlag = loadTarget;
  record->LoadVariablesFlag = loadVariables;
  record->SendVarsMethod = method;
  return record;
}

TSWFActionGotoFrame* TFlashActionScript::GotoFrame(std::uint16_t frame) {
  auto* record = actions_->Add(std::make_unique<TSWFActionGotoFrame>());
  record->Frame = frame;
  return record;
}

TSWFActionGotoFrame2* TFlashActionScript::GotoFrame2(bool play, std::uint16_t sceneBias) {
  auto* record = actions_->Add(std::make_unique<TSWFActionGotoFrame2>());
  record->PlayFlag = play;
  record->SceneBias = sceneBias;
  record->SceneBiasFlag = sceneBias != 0;
  return record;
}

TSWFActionStoreRegister* TFlashActionScript::StoreRegister(std::uint8_t reg) {
  auto* record = actions_->Add(std::make_unique<TSWFActionStoreRegister>());
  record->RegisterNumber = reg;
  return record;
}

TSWFActionWaitForFrame* TFlashActionScript::WaitForFrame(std::uint16_t frame, std::uint8_t skipCount) {
  auto* record = actions_->Add(std::make_unique<TSWFActionWaitForFrame>());
  record->Frame = frame;
  record->SkipCount = skipCount;
  return record;
}

TSWFActionPush* TFlashActionScript::TrailingPush() {
  if (!actions_->Empty()) {
    TSWFAction* last = (*actions_)[actions_->Count() - 1];
    if (last->ActionCode == 0x96) return static_cast<TSWFActionPush*>(last);
  }
  return actions_->Add(std::make_unique<TSWFActionPush>());
}

TSWFActionPush* TFlashActionScript::PushValues(const std::vector<TPushValue>& values,
                                               const std::vector<std::uint8_t>& types) {
  TSWFActionPush* push = TrailingPush();
  for (std::size_t i = 0; i < values.size(); ++i) {
    int index = push->AddValue(values[i]);
    push->SetValueType(static_cast<std::size_t>(index), i < types.size() ? types[i] : std::uint8_t{kPushDefault});
  }
  return push;
}

TSWFActionPush* TFlashActionScript::PushValue(TPushValue value, std::uint8_t type) {
  TSWFActionPush* push = TrailingPush();
  int index = push->AddValue(std::move(value));
  push->SetValueType(static_cast<std::size_t>(index), type);
  return push;
}

TSWFActionPush* TFlashActionScript::PushConstant(std::uint16_t index) {
  return PushValue(std::int64_t{index}, index >= 256 ? kPushConstant16 : kPushConstant8);
}

TSWFActionPush* TFlashActionScript::PushConstants(const std::vector<std::uint16_t>& indexes) {
  TSWFActionPush* push = TrailingPush();
  for (std::uint16_t index : indexes) PushConstant(index);
  return push;
}

TSWFOffsetMarker* TFlashActionScript::PlaceMarker(TSWFOffsetMarker* marker, bool back) {
  if (marker) {
    marker->JumpBack = back;
    return actions_->AddMarker(marker);
  }
  auto* made = actions_->Add(std::make_unique<TSWFOffsetMarker>());
  made->JumpBack = true;
  return made;
}

bool TFlashActionScript::CompileStrings(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return CompileText(text);
}

bool TFlashActionScript::CompileText(std::string_view text) {
  TBufferStream stream(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  return CompileStream(stream);
}

bool TFlashActionScript::CompileFile(const std::string& fileName) {
  try {
    std::vector<std::uint8_t> bytes = ReadFileBytes(fileName);
    TBufferStream stream(bytes.data(), bytes.size());
    return CompileStream(stream);
  } catch (const Error& error) {
    if (!Owner()) throw;
    LogCompileError(*Owner(), error.what());
    return false;
  }
}

bool TFlashActionScript::CompileStream(TStream& source) {
  if (!Owner()) throw Error("A script can only be compiled into the actions of a movie");
  try {
    source.Seek(0);
    Owner()->CompileContext().CompileScript(source, *this);
    return true;
  } catch (const Error& error) {
    LogCompileError(*Owner(), error.what());
    return false;
  }
}

}  // namespace yel::swf
