// Encodings of single action records, offsets through markers, and the
// action table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "swf/format/actions/action_disassembly.h"
#include "tests/swf/format/actions/action_test_support.h"

namespace yel::swf {
namespace {

using testing::Bytes;
using testing::ReadList;
using testing::WriteList;
using testing::WriteRecord;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(ActionRecords, ShortAndLongRecordsHaveTheirHeaders) {
  TSWFActionStop stop;
  EXPECT_EQ(WriteRecord(stop), (Bytes{0x07}));
  EXPECT_EQ(stop.GetFullSize(), 1u);
  // A long code without fields still has a length of 0.
  TSWFActionCall call;
  EXPECT_EQ(WriteRecord(call), (Bytes{0x9E, 0x00, 0x00}));
  EXPECT_EQ(call.GetFullSize(), 3u);
  TSWFActionGotoFrame gotoFrame;
  gotoFrame.Frame = 0x0102;
  EXPECT_EQ(WriteRecord(gotoFrame), (Bytes{0x81, 0x02, 0x00, 0x02, 0x01}));
  EXPECT_EQ(gotoFrame.BodyLength, 2);
}

TEST(ActionRecords, PushValuesAndTheirVersions) {
  TSWFActionPush push;
  EXPECT_EQ(push.MinVersion(), 4);
  push.AddValue(std::int64_t{1});
  push.AddValue(std::string("a"));
  EXPECT_EQ(WriteRecord(push), (Bytes{0x96, 0x08, 0x00, 0x07, 0x01, 0x00, 0x00, 0x00, 0x00, 0x61, 0x00}));
  EXPECT_EQ(push.MinVersion(), 5);

  TSWFActionPush swf4;
  swf4.AddValue(std::string("x"));
  swf4.AddValue(2.5f);
  EXPECT_EQ(swf4.MinVersion(), 4);

  TSWFActionPush one;
  one.AddValue(1.0);
  EXPECT_EQ(WriteRecord(one), (Bytes{0x96, 0x09, 0x00, 0x06, 0x00, 0x00, 0xF0, 0x3F, 0x00, 0x00, 0x00, 0x00}));
}

TEST(ActionRecords, PushChoosesTypesFromTheValue) {
  TSWFActionPush push;
  struct Case {
    TPushValue value;
    std::uint8_t type;
  } cases[] = {
      {std::monostate{}, kPushUndefined},
      {nullptr, kPushNull},
      {std::int64_t{5}, kPushInteger},
      {1.5f, kPushFloat},
      {2.5, kPushDouble},
      {true, kPushBoolean},
      {std::string("s"), kPushString},
      {std::string("FlashVar_null"), kPushNull},
      {std::string("FlashVar_undefined"), kPushUndefined},
  };
  for (const auto& c : cases) {
    int index = push.AddValue(c.value);
    EXPECT_EQ(push.Values[static_cast<std::size_t>(index)].ValueType, c.type) << index;
  }
  // The marker strings keep their text from the tenth character on.
  EXPECT_EQ(std::get<std::string>(push.GetValue(7)), "null");
  EXPECT_EQ(std::get<std::string>(push.GetValue(8)), "undefined");
  // The pseudo type leaves the type alone; values made from integers become
  // registers and constants by setting their type.
  push.SetValueType(2, kPushDefault);
  EXPECT_EQ(push.Values[2].ValueType, kPushInteger);
  push.SetValueType(2, kPushConstant16);
  EXPECT_EQ(push.Values[2].ValueType, kPushConstant16);
  // Invalid values are kept but not written.
  TSWFActionPush invalid;
  invalid.AddValue(std::int64_t{1});
  invalid.Values[0].IsValid = false;
  EXPECT_EQ(WriteRecord(invalid), (Bytes{0x96, 0x00, 0x00}));
}

TEST(ActionRecords, FlagBytes) {
  TSWFActionGetUrl2 get;
  get.SendVarsMethod = 2;
  get.LoadTargetFlag = true;
  get.LoadVariablesFlag = true;
  EXPECT_EQ(WriteRecord(get), (Bytes{0x9A, 0x01, 0x00, 0xC2}));

  TSWFActionGotoFrame2 play;
  play.PlayFlag = true;
  EXPECT_EQ(WriteRecord(play), (Bytes{0x9F, 0x01, 0x00, 0x01}));
  play.SceneBiasFlag = true;
  play.SceneBias = 0x0203;
  EXPECT_EQ(WriteRecord(play), (Bytes{0x9F, 0x03, 0x00, 0x03, 0x03, 0x02}));

  TSWFActionDefineFunction2 f;
  f.Name = "f";
  f.RegisterCount = 3;
  f.PreloadParent = true;
  f.PreloadThis = true;
  f.PreloadGlobal = true;
  f.AddParam("p", 2);
  f.SetCodeSize(0x0105);
  EXPECT_EQ(WriteRecord(f), (Bytes{0x8E, 0x0C, 0x00, 'f', 0, 0x01, 0x00, 0x03, 0x81, 0x01, 0x02, 'p', 0, 0x05,
                                   0x01}));
}

TEST(ActionRecords, GetUrlConvertsItsUrlToUtf8) {
  TSWFActionGetUrl url;
  url.URL = "caf\xE9";  // Windows-1252
  url.Target = "t\xE9";  // written as stored
  EXPECT_EQ(WriteRecord(url), (Bytes{0x83, 0x09, 0x00, 'c', 'a', 'f', 0xC3, 0xA9, 0, 't', 0xE9, 0}));
}

TEST(ActionMarkers, ForwardJumpOverOneRecord) {
  TSWFActionList list;
  auto* jump = testing::Add<TSWFActionJump>(list);
  testing::Add<TSWFActionStop>(list);
  jump->Marker()->JumpBack = false;
  list.AddMarker(jump->Marker());
  EXPECT_EQ(WriteList(list), (Bytes{0x99, 0x02, 0x00, 0x01, 0x00, 0x07, 0x00}));
  EXPECT_EQ(jump->StartPos, 0u);
  EXPECT_EQ(jump->Marker()->FieldPos, 3u);
  EXPECT_TRUE(jump->Marker()->InList);
  // Writing again gives the same bytes.
  EXPECT_EQ(WriteList(list), (Bytes{0x99, 0x02, 0x00, 0x01, 0x00, 0x07, 0x00}));
}

TEST(ActionMarkers, BackwardJumpToTheMarkerRightBeforeIt) {
  TSWFActionList list;
  auto jump = std::make_unique<TSWFActionJump>();
  list.AddMarker(jump->Marker());  // JumpBack is the default
  TSWFActionJump* j = list.Add(std::move(jump));
  EXPECT_EQ(WriteList(list), (Bytes{0x99, 0x02, 0x00, 0xFB, 0xFF, 0x00}));
  EXPECT_EQ(j->Marker()->StoredPos, 0u);
}

TEST(ActionMarkers, OneBackwardMarkerServesManyBranches) {
  TSWFActionList list;
  auto first = std::make_unique<TSWFActionIf>();
  auto second = std::make_unique<TSWFActionJump>();
  TSWFOffsetMarker* top = list.AddMarker(first->Marker());
  second->SetMarker(top);
  list.Add(std::move(first));
  list.Add(std::move(second));
  EXPECT_EQ(WriteList(list), (Bytes{0x9D, 0x02, 0x00, 0xFB, 0xFF, 0x99, 0x02, 0x00, 0xF6, 0xFF, 0x00}));
}

TEST(ActionMarkers, BlockSizesOfWithAndFunctions) {
  TSWFActionList list;
  auto* with = testing::Add<TSWFActionWith>(list);
  testing::Add<TSWFActionPush>(list)->AddValue(std::string("ab"));  // 7 bytes
  testing::Add<TSWFActionPop>(list);
  with->Marker()->JumpBack = false;
  list.AddMarker(with->Marker());
  auto* f = testing::Add<TSWFActionDefineFunction>(list);
  f->Name = "f";
  testing::Add<TSWFActionReturn>(list);
  f->Marker()->JumpBack = false;
  list.AddMarker(f->Marker());
  Bytes bytes = WriteList(list);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 5), (Bytes{0x94, 0x02, 0x00, 0x08, 0x00}));
  // DefineFunction "f", 0 parameters, code size 1.
  EXPECT_EQ(Bytes(bytes.begin() + 13, bytes.end()),
            (Bytes{0x9B, 0x06, 0x00, 'f', 0, 0x00, 0x00, 0x01, 0x00, 0x3E, 0x00}));
}

TEST(ActionMarkers, TrySizesDoNotDependOnTheCatchName) {
  for (std::string name : {"e", "a much longer name"}) {
    TSWFActionList list;
    auto* t = testing::Add<TSWFActionTry>(list);
    t->CatchBlockFlag = true;
    t->CatchName = name;
    testing::Add<TSWFActionPush>(list)->AddValue(std::string(""));  // 5 bytes
    list.AddMarker(t->TryMarker());
    testing::Add<TSWFActionPush>(list)->AddValue(std::string("bc"));  // 7 bytes
    list.AddMarker(t->CatchMarker());
    Bytes bytes = WriteList(list);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 10), (Bytes{0x8F, static_cast<std::uint8_t>(8 + name.size()),
                                                               0x00, 0x01, 0x05, 0x00, 0x07, 0x00, 0x00, 0x00}))
        << name;
  }
}

TEST(ActionMarkers, FinallyBlockStartsAfterTheCatchBlockOrTheTryBlock) {
  for (bool withCatch : {true, false}) {
    TSWFActionList list;
    auto* t = testing::Add<TSWFActionTry>(list);
    t->CatchBlockFlag = withCatch;
    t->FinallyBlockFlag = true;
    testing::Add<TSWFActionStop>(list);
    list.AddMarker(t->TryMarker());
    if (withCatch) {
      testing::Add<TSWFActionStop>(list);
      testing::Add<TSWFActionStop>(list);
      list.AddMarker(t->CatchMarker());
    }
    testing::Add<TSWFActionPlay>(list);
    testing::Add<TSWFActionPlay>(list);
    testing::Add<TSWFActionPlay>(list);
    list.AddMarker(t->FinallyMarker());
    Bytes bytes = WriteList(list);
    EXPECT_EQ(bytes[3], withCatch ? 0x03 : 0x02);
    EXPECT_EQ(bytes[4], 1);               // try
    EXPECT_EQ(bytes[6], withCatch ? 2 : 0);  // catch
    EXPECT_EQ(bytes[8], 3);               // finally
  }
}

TEST(ActionMarkers, MisplacedMarkersAreProgrammingErrors) {
  {
    // A forward marker before its branch.
    TSWFActionList list;
    auto jump = std::make_unique<TSWFActionJump>();
    jump->Marker()->JumpBack = false;
    list.AddMarker(jump->Marker());
    list.Add(std::move(jump));
    EXPECT_THROW(WriteList(list), std::logic_error);
  }
  {
    // A backward marker after its branch.
    TSWFActionList list;
    auto* jump = testing::Add<TSWFActionJump>(list);
    list.AddMarker(jump->Marker());
    EXPECT_THROW(WriteList(list), std::logic_error);
  }
  {
    // A forward marker never put into the list.
    TSWFActionList list;
    testing::Add<TSWFActionJump>(list)->Marker()->JumpBack = false;
    EXPECT_THROW(WriteList(list), std::logic_error);
  }
  {
    // A branch longer than its 16-bit field.
    TSWFActionList list;
    auto* jump = testing::Add<TSWFActionJump>(list);
    for (int i = 0; i < 40000; ++i) testing::Add<TSWFActionStop>(list);
    jump->Marker()->JumpBack = false;
    list.AddMarker(jump->Marker());
    EXPECT_THROW(WriteList(list), std::length_error);
  }
}

TEST(ActionMarkers, StaticOffsetsAndMissingMarkersWriteTheStoredNumbers) {
  TSWFActionList list;
  auto* jump = testing::Add<TSWFActionJump>(list);
  jump->SetBranchOffset(-7);
  EXPECT_TRUE(jump->StaticOffset);
  auto* with = testing::Add<TSWFActionWith>(list);
  with->SetSize(3);
  with->StaticOffset = false;  // no marker: the stored size stays
  EXPECT_EQ(WriteList(list), (Bytes{0x99, 0x02, 0x00, 0xF9, 0xFF, 0x94, 0x02, 0x00, 0x03, 0x00, 0x00}));
}

TEST(ActionMarkers, MarkersOwnedByTheirRecordUntilListed) {
  // Under the sanitizer a leak or double free shows here.
  auto jump = std::make_unique<TSWFActionJump>();
  TSWFOffsetMarker* marker = jump->Marker();
  EXPECT_FALSE(marker->InList);
  jump.reset();
  TSWFActionList list;
  auto* kept = testing::Add<TSWFActionIf>(list);
  list.AddMarker(kept->Marker());
  list.Delete(1);  // the marker: the If forgets it
  EXPECT_EQ(kept->CurrentMarker(), nullptr);
  TSWFActionTry t;
  t.TryMarker();
  t.CatchMarker();
  EXPECT_EQ(t.CurrentCatchMarker()->PrevMarker, t.CurrentTryMarker());
}

TEST(ActionTable, NamesAndCodes) {
  EXPECT_EQ(ActionNameOf(0x96), "Push");
  EXPECT_EQ(ActionNameOf(0x96, true), "ActionPush");
  EXPECT_EQ(ActionNameOf(0x83, true), "ActionGetURL");
  EXPECT_EQ(ActionNameOf(0xFF, true), "Offset marker (only for work)");
  EXPECT_EQ(ActionNameOf(0x01), "Unknown 1");
  EXPECT_EQ(ActionCodeOf("push"), 0x96);
  EXPECT_EQ(ActionCodeOf("GOTOLABEL"), 0x8C);
  EXPECT_EQ(ActionCodeOf("Offset"), 0xFF);
  EXPECT_EQ(ActionCodeOf("Nothing"), -1);
  EXPECT_EQ(CreateAction(0x00), nullptr);
  EXPECT_EQ(CreateAction(0x16), nullptr);

  // Every class knows its code, name and version group.
  int counted = 0;
  for (int code = 0; code < 256; ++code) {
    auto action = CreateAction(static_cast<std::uint8_t>(code));
    if (!action) continue;
    ++counted;
    EXPECT_EQ(action->ActionCode, code);
    EXPECT_EQ(ActionCodeOf(ActionNameOf(code)), code);
  }
  EXPECT_EQ(counted, 102);
  EXPECT_EQ(CreateAction(0x07)->MinVersion(), 3);
  EXPECT_EQ(CreateAction(0x9E)->MinVersion(), 4);
  EXPECT_EQ(CreateAction(0x9B)->MinVersion(), 5);
  EXPECT_EQ(CreateAction(0x55)->MinVersion(), 6);
  EXPECT_EQ(CreateAction(0x8F)->MinVersion(), 7);
  EXPECT_EQ(CreateAction(0xFE)->MinVersion(), 4);
  EXPECT_EQ(CreateAction(0xFF)->MinVersion(), 3);
  EXPECT_NE(dynamic_cast<TSWFActionJump*>(CreateAction(0x9D).get()), nullptr);
}

TEST(ActionRecords, ByteCodeHexText) {
  TSWFActionByteCode raw;
  raw.SetHexText("0a9Eff");
  EXPECT_THAT(raw.Bytes, ElementsAre(0x0A, 0x9E, 0xFF));
  EXPECT_EQ(raw.HexText(), "0A9EFF");
  EXPECT_EQ(raw.GetFullSize(), 3u);
  EXPECT_THROW(raw.SetHexText("abc"), std::invalid_argument);
  EXPECT_THROW(raw.SetHexText("zz"), std::invalid_argument);
  EXPECT_EQ(WriteRecord(raw), (Bytes{0x0A, 0x9E, 0xFF}));
}

TEST(ActionRecords, AssignCopiesFieldsOfTheSameClassOnly) {
  TSWFActionDefineFunction2 f;
  f.Name = "n";
  f.AddParam("a", 1);
  f.SetCodeSize(12);
  f.PreloadRoot = true;
  TSWFActionDefineFunction2 g;
  g.Assign(f);
  EXPECT_EQ(DescribeAction(g), DescribeAction(f));
  EXPECT_TRUE(g.StaticOffset);
  TSWFActionStop stop;
  EXPECT_THROW(stop.Assign(f), std::logic_error);
  TSWFActionIf branch;
  TSWFActionJump jump;
  EXPECT_THROW(jump.Assign(branch), std::logic_error);
}

}  // namespace
}  // namespace yel::swf
