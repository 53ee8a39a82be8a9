// Reading, writing and copying action lists: markers placed at branch
// targets, round trips of every record kind, and damaged input.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "swf/format/actions/action_disassembly.h"
#include "tests/swf/format/actions/action_test_support.h"

namespace yel::swf {
namespace {

using testing::Bytes;
using testing::ReadList;
using testing::WriteList;
using ::testing::HasSubstr;

TEST(ActionList, EveryRecordKindRoundTrips) {
  auto built = testing::EveryRecordKind();
  Bytes bytes = WriteList(*built);
  auto read = ReadList(bytes);
  EXPECT_EQ(WriteList(*read), bytes);
  // Same records and fields, same branch targets.
  EXPECT_EQ(DisassembleActionList(*read), DisassembleActionList(*built));
  EXPECT_EQ(ActionListMinVersion(*read), 7);
}

TEST(ActionList, ReadingPlacesInactiveMarkersAtBranchTargets) {
  // Stop; Jump +1 over Stop; Stop; If -12 back to the start.
  Bytes bytes{0x07, 0x99, 0x02, 0x00, 0x01, 0x00, 0x07, 0x9D, 0x02, 0x00, 0xF4, 0xFF, 0x00};
  auto list = ReadList(bytes);
  ASSERT_EQ(list->Count(), 6u);
  auto* back = dynamic_cast<TSWFOffsetMarker*>(list->At(0));
  auto* jump = dynamic_cast<TSWFActionJump*>(list->At(2));
  auto* forward = dynamic_cast<TSWFOffsetMarker*>(list->At(4));
  auto* branch = dynamic_cast<TSWFActionIf*>(list->At(5));
  ASSERT_TRUE(back && jump && forward && branch);
  EXPECT_EQ(jump->CurrentMarker(), forward);
  EXPECT_EQ(branch->CurrentMarker(), back);
  EXPECT_TRUE(jump->StaticOffset);
  EXPECT_EQ(jump->BranchOffset(), 1);
  EXPECT_FALSE(forward->JumpBack);
  EXPECT_TRUE(back->JumpBack);
  EXPECT_FALSE(forward->Active);
  EXPECT_TRUE(forward->InList);
  EXPECT_EQ(forward->Label, "label 1");
  EXPECT_EQ(back->Label, "label 2");
  EXPECT_EQ(WriteList(*list), bytes);
  EXPECT_EQ(DisassembleActionList(*list),
            "L1:\n"
            "    0  Stop\n"
            "    1  Jump L2\n"
            "    6  Stop\n"
            "L2:\n"
            "    7  If L1\n"
            "   12  End\n");
}

TEST(ActionList, TargetsBetweenRecordBoundariesKeepTheirNumbers) {
  // Push "ab"; Jump -3 lands inside the Jump itself.
  Bytes bytes{0x96, 0x04, 0x00, 0x00, 'a', 'b', 0x00, 0x99, 0x02, 0x00, 0xFD, 0xFF, 0x00};
  auto list = ReadList(bytes);
  ASSERT_EQ(list->Count(), 2u);
  auto* jump = dynamic_cast<TSWFActionJump*>(list->At(1));
  ASSERT_NE(jump->CurrentMarker(), nullptr);
  EXPECT_FALSE(jump->CurrentMarker()->InList);
  EXPECT_EQ(jump->CurrentMarker()->Label, "Error Size offset: -3");
  EXPECT_EQ(WriteList(*list), bytes);
  EXPECT_THAT(DisassembleActionList(*list), HasSubstr("Jump offset -3 (no record starts there)"));
}

TEST(ActionList, TryBlocksGetNamedMarkers) {
  // try { Stop } catch (r2) { Stop Stop } finally { Play }
  Bytes bytes{0x8F, 0x08, 0x00, 0x07, 0x01, 0x00, 0x02, 0x00, 0x01, 0x00, 0x02,
              0x07, 0x07, 0x07, 0x06, 0x00};
  auto list = ReadList(bytes);
  auto* t = dynamic_cast<TSWFActionTry*>(list->At(0));
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(t->SizesKnown);
  ASSERT_TRUE(t->CurrentTryMarker() && t->CurrentCatchMarker() && t->CurrentFinallyMarker());
  EXPECT_EQ(t->CurrentTryMarker()->Label, "Try 1");
  EXPECT_EQ(t->CurrentCatchMarker()->Label, "Catch 1");
  EXPECT_EQ(t->CurrentFinallyMarker()->Label, "Finally 1");
  EXPECT_EQ(list->IndexOf(t->CurrentTryMarker()), 2);
  EXPECT_EQ(list->IndexOf(t->CurrentCatchMarker()), 5);
  EXPECT_EQ(list->IndexOf(t->CurrentFinallyMarker()), 7);
  EXPECT_EQ(WriteList(*list), bytes);
  EXPECT_THAT(DisassembleActionList(*list),
              HasSubstr("Try try size 1 to L1; catch register 2 size 2 to L2; finally size 1 to L3"));
}

TEST(ActionList, UnknownCodesAndExtraBodyBytesAreKept) {
  // An unknown short code, an unknown long code, the two pseudo codes as
  // they might appear in a file, and a GotoFrame with two bytes too many
  // that a Jump crosses.
  Bytes bytes{0x16, 0x89, 0x01, 0x00, 0x01, 0xFF, 0x00, 0x00, 0xFE, 0x01, 0x00, 0x07,
              0x99, 0x02, 0x00, 0x07, 0x00, 0x81, 0x04, 0x00, 0x01, 0x00, 0xAA, 0xBB, 0x00};
  auto list = ReadList(bytes);
  EXPECT_EQ(WriteList(*list), bytes);
  auto* gotoFrame = dynamic_cast<TSWFActionGotoFrame*>(list->At(list->Count() - 2));
  ASSERT_NE(gotoFrame, nullptr);
  EXPECT_EQ(gotoFrame->Frame, 1);
  EXPECT_EQ(gotoFrame->ExtraBytes, (Bytes{0xAA, 0xBB}));
  std::string listing = DisassembleActionList(*list);
  EXPECT_THAT(listing, HasSubstr("Unknown 0x16\n"));
  EXPECT_THAT(listing, HasSubstr("Unknown 0x89: 89 01 00 01\n"));
  EXPECT_THAT(listing, HasSubstr("GotoFrame 1 + 2 extra bytes"));
}

TEST(ActionList, ReadingStopsAtMaxBytesOrTheEndByte) {
  Bytes bytes{0x07, 0x06, 0x07, 0x00, 0x06};
  TBufferStream stream(bytes.data(), bytes.size());
  TBitsEngine be(stream);
  TSWFActionList list;
  ReadActionList(be, list, 2);
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(stream.Position(), 2u);
  TSWFActionList rest;
  ReadActionList(be, rest, 100);
  EXPECT_EQ(rest.Count(), 1u);
  EXPECT_EQ(stream.Position(), 4u);
}

TEST(ActionList, DamagedListsAreRefused) {
  struct Case {
    const char* what;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"length past the end", {0x96, 0x05, 0x00, 0x07, 0x01}, "runs past the end of the list"},
      {"header cut short", {0x96, 0x01}, "header runs past"},
      {"unknown push type", {0x96, 0x02, 0x00, 0x0B, 0x00, 0x00}, "unknown type 11"},
      {"push integer cut short", {0x96, 0x02, 0x00, 0x07, 0x01, 0x00}, "Push integer"},
      {"push string without zero", {0x96, 0x02, 0x00, 0x00, 'a', 0x00}, "terminating zero"},
      {"pool longer than its record", {0x88, 0x04, 0x00, 0x03, 0x00, 'a', 0x00, 0x00}, "ConstantPool string"},
      {"jump past the end", {0x99, 0x02, 0x00, 0x05, 0x00, 0x00}, "points outside"},
      {"jump before the start", {0x07, 0x99, 0x02, 0x00, 0xF0, 0xFF, 0x00}, "points outside"},
      {"function past the end", {0x9B, 0x05, 0x00, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00}, "block size 9"},
      {"try past the end", {0x8F, 0x08, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, "Try at"},
      {"parameters past the record", {0x9B, 0x04, 0x00, 'f', 0x00, 0x09, 0x00, 0x00}, "parameter"},
  };
  for (const auto& c : cases) {
    try {
      ReadList(c.bytes);
      ADD_FAILURE() << c.what << ": no error";
    } catch (const std::runtime_error& e) {
      EXPECT_THAT(e.what(), HasSubstr(c.message)) << c.what;
    }
  }
}

TEST(ActionList, DamagedBytesNeverCrashAndReadBackStably) {
  Bytes good = WriteList(*testing::EveryRecordKind());
  std::mt19937 random(12345);
  int readable = 0;
  for (int round = 0; round < 3000; ++round) {
    Bytes bytes = good;
    int changes = 1 + static_cast<int>(random() % 4);
    for (int k = 0; k < changes; ++k) bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
    if (round % 5 == 0) bytes.resize(random() % bytes.size());
    std::unique_ptr<TSWFActionList> list;
    try {
      list = ReadList(bytes);
    } catch (const std::runtime_error&) {
      continue;
    }
    ++readable;
    DisassembleActionList(*list);
    Bytes once = WriteList(*list);
    Bytes twice = WriteList(*ReadList(once));
    ASSERT_EQ(once, twice) << "round " << round;
  }
  EXPECT_GT(readable, 100);
}

TEST(ActionList, CopyRelinksMarkersToTheCopiedOnes) {
  TSWFActionList source;
  auto* jump = testing::Add<TSWFActionJump>(source);
  testing::Add<TSWFActionStop>(source);
  jump->Marker()->JumpBack = false;
  source.AddMarker(jump->Marker());
  TSWFActionList copy;
  CopyActionList(source, copy);
  ASSERT_EQ(copy.Count(), 3u);
  auto* copiedJump = dynamic_cast<TSWFActionJump*>(copy[0]);
  ASSERT_NE(copiedJump, nullptr);
  EXPECT_EQ(copiedJump->CurrentMarker(), copy[2]);
  EXPECT_NE(copiedJump->CurrentMarker(), source[2]);
  EXPECT_EQ(WriteList(copy), WriteList(source));

  // Every kind, built with markers and read from bytes.
  auto built = testing::EveryRecordKind();
  TSWFActionList builtCopy;
  CopyActionList(*built, builtCopy);
  Bytes bytes = WriteList(*built);
  EXPECT_EQ(WriteList(builtCopy), bytes);
  auto read = ReadList(bytes);
  TSWFActionList readCopy;
  CopyActionList(*read, readCopy);
  EXPECT_EQ(WriteList(readCopy), bytes);
  // The copied try markers measure from the copied markers.
  for (const auto& action : builtCopy) {
    if (auto* marker = dynamic_cast<TSWFTryOffsetMarker*>(action.get()); marker && marker->PrevMarker) {
      EXPECT_GE(builtCopy.IndexOf(marker->PrevMarker), 0);
    }
  }
}

TEST(ActionList, FindActionListEnd) {
  // A Push whose body holds zero bytes, then Stop and End, then more.
  Bytes bytes{0x96, 0x02, 0x00, 0x00, 0x00, 0x07, 0x00, 0x55};
  TBufferStream stream(bytes.data(), bytes.size());
  TBitsEngine be(stream);
  EXPECT_EQ(FindActionListEnd(be), 7u);
  EXPECT_EQ(stream.Position(), 0u);
  Bytes noEnd{0x07, 0x96, 0x05, 0x00};
  TBufferStream cut(noEnd.data(), noEnd.size());
  TBitsEngine cutEngine(cut);
  EXPECT_EQ(FindActionListEnd(cutEngine), 0u);
}

TEST(ActionList, ListingIndentsBlocksAndResolvesConstants) {
  TSWFActionList list;
  testing::Add<TSWFActionConstantPool>(list)->ConstantPool = {"go"};
  auto* f = testing::Add<TSWFActionDefineFunction>(list);
  f->Name = "f";
  f->Params = {"a"};
  auto* push = testing::Add<TSWFActionPush>(list);
  push->SetValueType(static_cast<std::size_t>(push->AddValue(std::int64_t{0})), kPushConstant8);
  push->AddValue(0.5);
  testing::Add<TSWFActionReturn>(list);
  f->Marker()->JumpBack = false;
  list.AddMarker(f->Marker());
  testing::Add<TSWFActionStop>(list);
  WriteList(list);  // the listing needs the lengths
  EXPECT_EQ(DisassembleActionList(list, "  "),
            "      0  ConstantPool 1: \"go\"\n"
            "      8  DefineFunction \"f\" (a) code size 15, ends at L1\n"
            "     19    Push const8 0 (\"go\"), double 0.5\n"
            "     33    Return\n"
            "  L1:\n"
            "     34  Stop\n"
            "     35  End\n");
}

}  // namespace
}  // namespace yel::swf
