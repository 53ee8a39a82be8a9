// Helpers of the action tests: writing a list to bytes, reading bytes into
// a list, and a list with one record of every kind.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/byte_stream.h"
#include "swf/format/actions/action_list.h"

namespace yel::swf::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes WriteList(TSWFActionList& list) {
  TMemoryStream stream;
  TBitsEngine be(stream);
  WriteActionList(be, list);
  return stream.TakeBytes();
}

inline Bytes WriteRecord(TSWFAction& action) {
  TMemoryStream stream;
  TBitsEngine be(stream);
  action.WriteToStream(be);
  return stream.TakeBytes();
}

inline std::unique_ptr<TSWFActionList> ReadList(const Bytes& bytes) {
  auto list = std::make_unique<TSWFActionList>();
  TBufferStream stream(bytes.data(), bytes.size());
  TBitsEngine be(stream);
  ReadActionList(be, *list, bytes.size());
  return list;
}

template <class T>
T* Add(TSWFActionList& list) {
  return list.Add(std::make_unique<T>());
}

// A list with every record kind of the action table, fields set to values
// that are not the defaults, and branches and blocks that take their sizes
// from markers (the markers are placed so that every block is well formed).
inline std::unique_ptr<TSWFActionList> EveryRecordKind() {
  auto list = std::make_unique<TSWFActionList>();
  TSWFActionList& l = *list;

  auto* pool = Add<TSWFActionConstantPool>(l);
  pool->ConstantPool = {"alpha", "beta", "", "gamma delta"};

  auto* push = Add<TSWFActionPush>(l);
  push->AddValue(std::string("text"));
  push->AddValue(1.5f);
  push->AddValue(nullptr);
  push->AddValue(std::monostate{});
  push->SetValueType(static_cast<std::size_t>(push->AddValue(std::int64_t{3})), kPushRegister);
  push->AddValue(true);
  push->AddValue(false);
  push->AddValue(-2.25e300);
  push->AddValue(std::int64_t{-123456});
  push->SetValueType(static_cast<std::size_t>(push->AddValue(std::int64_t{2})), kPushConstant8);
  push->SetValueType(static_cast<std::size_t>(push->AddValue(std::int64_t{300})), kPushConstant16);
  push->AddValue(std::string("FlashVar_null"));
  push->AddValue(std::string("FlashVar_undefined"));

  // Every record without fields, in code order.
  for (int code = 1; code < 0x80; ++code) {
    auto action = CreateAction(static_cast<std::uint8_t>(code));
    if (action) l.Add(std::move(action));
  }
  Add<TSWFActionCall>(l);

  Add<TSWFActionGotoFrame>(l)->Frame = 513;
  auto* url = Add<TSWFActionGetUrl>(l);
  url->URL = "http://example.com/a?b=c";
  url->Target = "_blank";
  auto* wait = Add<TSWFActionWaitForFrame>(l);
  wait->Frame = 7;
  wait->SkipCount = 2;
  Add<TSWFActionSetTarget>(l)->TargetName = "/clip";
  Add<TSWFActionGoToLabel>(l)->Label = "scene one";
  Add<TSWFActionWaitForFrame2>(l)->SkipCount = 4;
  Add<TSWFActionStoreRegister>(l)->RegisterNumber = 3;
  auto* get2 = Add<TSWFActionGetUrl2>(l);
  get2->SendVarsMethod = 2;
  get2->LoadVariablesFlag = true;
  auto* get2b = Add<TSWFActionGetUrl2>(l);
  get2b->SendVarsMethod = 1;
  get2b->LoadTargetFlag = true;
  auto* goto2 = Add<TSWFActionGotoFrame2>(l);
  goto2->PlayFlag = true;
  goto2->SceneBiasFlag = true;
  goto2->SceneBias = 9;
  Add<TSWFActionGotoFrame2>(l);

  // A backward loop: marker, Play, Jump back to the marker.
  auto back = std::make_unique<TSWFActionJump>();
  back->Marker()->JumpBack = true;
  l.AddMarker(back->Marker());
  Add<TSWFActionPlay>(l);
  l.Add(std::move(back));

  // A forward If over two records.
  auto* skip = Add<TSWFActionIf>(l);
  Add<TSWFActionNextFrame>(l);
  Add<TSWFActionPreviousFrame>(l);
  skip->Marker()->JumpBack = false;
  l.AddMarker(skip->Marker());

  // with (o) { Stop }
  auto* with = Add<TSWFActionWith>(l);
  Add<TSWFActionStop>(l);
  with->Marker()->JumpBack = false;
  l.AddMarker(with->Marker());

  // function f(a, b) { Return }
  auto* f = Add<TSWFActionDefineFunction>(l);
  f->Name = "f";
  f->Params = {"a", "b"};
  Add<TSWFActionReturn>(l);
  f->Marker()->JumpBack = false;
  l.AddMarker(f->Marker());

  // function g(x in r1, y) with flags { Push 1; Return }
  auto* g = Add<TSWFActionDefineFunction2>(l);
  g->Name = "g";
  g->RegisterCount = 4;
  g->PreloadParent = g->PreloadRoot = g->SuppressSuper = g->PreloadThis = g->PreloadGlobal = true;
  g->AddParam("x", 1);
  g->AddParam("y", 0);
  Add<TSWFActionPush>(l)->AddValue(std::int64_t{1});
  Add<TSWFActionReturn>(l);
  g->Marker()->JumpBack = false;
  l.AddMarker(g->Marker());

  // try { Stop } catch (e) { Play } finally { NextFrame }
  auto* t = Add<TSWFActionTry>(l);
  t->CatchBlockFlag = true;
  t->FinallyBlockFlag = true;
  t->CatchName = "e";
  Add<TSWFActionStop>(l);
  l.AddMarker(t->TryMarker());
  Add<TSWFActionPlay>(l);
  l.AddMarker(t->CatchMarker());
  Add<TSWFActionNextFrame>(l);
  l.AddMarker(t->FinallyMarker());

  // try { Stop } catch in register 2 { }
  auto* t2 = Add<TSWFActionTry>(l);
  t2->CatchBlockFlag = true;
  t2->CatchInRegisterFlag = true;
  t2->CatchRegister = 2;
  t2->SetTrySize(1);
  t2->SetCatchSize(0);
  Add<TSWFActionStop>(l);

  // Raw bytes of a record the table does not know.
  Add<TSWFActionByteCode>(l)->Bytes = {0xA0, 0x01, 0x00, 0x05};
  return list;
}

}  // namespace yel::swf::testing
