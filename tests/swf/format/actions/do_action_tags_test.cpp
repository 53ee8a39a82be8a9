// DoAction and DoInitAction: bodies, versions, unparsed bodies, and damaged
// action tags inside a movie.
#include "swf/format/actions/do_action_tags.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "swf/format/control_tags.h"
#include "swf/format/swf_stream.h"
#include "swf/format/tag_factory.h"
#include "tests/swf/format/actions/action_test_support.h"

namespace yel::swf {
namespace {

using testing::Bytes;
using ::testing::HasSubstr;

Bytes WriteTag(TSWFObject& tag) {
  TMemoryStream stream;
  TBitsEngine be(stream);
  tag.WriteToStream(be);
  return stream.TakeBytes();
}

// Reads body bytes into a fresh tag of the factory's class for code.
std::unique_ptr<TSWFObject> ReadTag(std::uint16_t code, const Bytes& body, bool parseActions = true) {
  auto tag = CreateTag(code);
  tag->SetReadContext(TSWFReadContext{8, parseActions});
  tag->BodySize = static_cast<std::uint32_t>(body.size());
  TBufferStream stream(body.data(), body.size());
  TBitsEngine be(stream);
  tag->ReadFromStream(be);
  return tag;
}

TEST(DoActionTags, BodiesAndVersions) {
  TSWFDoAction doAction;
  EXPECT_EQ(doAction.MinVersion(), 3);
  EXPECT_TRUE(doAction.OwnsList());
  testing::Add<TSWFActionStop>(doAction.Actions());
  EXPECT_EQ(WriteTag(doAction), (Bytes{0x02, 0x03, 0x07, 0x00}));
  testing::Add<TSWFActionPush>(doAction.Actions())->AddValue(std::int64_t{1});
  EXPECT_EQ(doAction.MinVersion(), 5);
  EXPECT_EQ(doAction.Summary(), "2 actions");

  TSWFDoInitAction init;
  init.SpriteID = 0x0102;
  testing::Add<TSWFActionPlay>(init.Actions());
  EXPECT_EQ(init.MinVersion(), 6);
  EXPECT_EQ(WriteTag(init), (Bytes{0xC4, 0x0E, 0x02, 0x01, 0x06, 0x00}));
  EXPECT_EQ(init.Summary(), "sprite 258, 1 action");

  TSWFActionList list;
  TSWFDoAction borrowing(list);
  EXPECT_FALSE(borrowing.OwnsList());
  EXPECT_EQ(&borrowing.Actions(), &list);
}

TEST(DoActionTags, TheFactoryMakesThemAndTheyReadTheirBodies) {
  auto doAction = ReadTag(12, {0x96, 0x02, 0x00, 0x08, 0x01, 0x07, 0x00});
  auto* typed = dynamic_cast<TSWFDoAction*>(doAction.get());
  ASSERT_NE(typed, nullptr);
  EXPECT_EQ(typed->Actions().Count(), 2u);

  auto init = ReadTag(59, {0x05, 0x00, 0x07, 0x00});
  auto* typedInit = dynamic_cast<TSWFDoInitAction*>(init.get());
  ASSERT_NE(typedInit, nullptr);
  EXPECT_EQ(typedInit->SpriteID, 5);
  EXPECT_EQ(typedInit->Actions().Count(), 1u);
}

TEST(DoActionTags, UnparsedBodiesAreOneRawRecord) {
  Bytes body{0x96, 0x05, 0x00, 0x07, 0x01, 0x00, 0x00, 0x00, 0x17, 0x00};
  auto tag = ReadTag(12, body, false);
  auto& list = static_cast<TSWFDoAction&>(*tag).Actions();
  ASSERT_EQ(list.Count(), 1u);
  auto* raw = dynamic_cast<TSWFActionByteCode*>(list[0]);
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(raw->Bytes.size(), body.size() - 1);
  Bytes written = WriteTag(*tag);
  EXPECT_EQ(Bytes(written.begin() + 2, written.end()), body);

  Bytes initBody{0x03, 0x00, 0x07, 0x06, 0x00};
  auto init = ReadTag(59, initBody, false);
  written = WriteTag(*init);
  EXPECT_EQ(Bytes(written.begin() + 2, written.end()), initBody);
  EXPECT_EQ(static_cast<TSWFDoInitAction&>(*init).Actions().Count(), 1u);
}

TEST(DoActionTags, AssignCopiesTheRecords) {
  TSWFDoInitAction source;
  source.SpriteID = 9;
  auto every = testing::EveryRecordKind();
  CopyActionList(*every, source.Actions());
  auto copy = CloneTag(source);
  auto* typed = dynamic_cast<TSWFDoInitAction*>(copy.get());
  ASSERT_NE(typed, nullptr);
  EXPECT_TRUE(typed->OwnsList());
  EXPECT_EQ(typed->SpriteID, 9);
  EXPECT_EQ(WriteTag(*typed), WriteTag(source));
}

// A movie with a damaged DoAction between two good ones.
TEST(DoActionTags, ADamagedActionTagBecomesAnErrorTagAndTheMovieStillReads) {
  Bytes body;
  auto append = [&](TSWFObject& tag) {
    Bytes bytes = WriteTag(tag);
    body.insert(body.end(), bytes.begin(), bytes.end());
  };
  TSWFDoAction first;
  testing::Add<TSWFActionPlay>(first.Actions());
  append(first);
  Bytes bad{0x06, 0x03, 0x96, 0x09, 0x00, 0x07, 0x01, 0x00};  // length past its tag
  body.insert(body.end(), bad.begin(), bad.end());
  TSWFDoInitAction second;
  second.SpriteID = 1;
  testing::Add<TSWFActionStop>(second.Actions());
  append(second);
  TSWFShowFrame show;
  append(show);

  Bytes file = {'F', 'W', 'S', 8, 0, 0, 0, 0, 0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00, 0x00, 0x0C, 1, 0};
  file.insert(file.end(), body.begin(), body.end());
  for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<std::uint8_t>(file.size() >> (8 * i));

  TSWFStreamReader reader;
  reader.LoadFromBytes(file.data(), file.size(), "movie.swf");
  reader.ParseTags();
  ASSERT_EQ(reader.TagCount(), 4u);
  EXPECT_EQ(reader.TagInfo(0).TagID, tag::DoAction);
  EXPECT_EQ(reader.TagInfo(1).TagID, tag::ErrorTag);
  auto* raw = dynamic_cast<TSWFByteCodeTag*>(reader.TagInfo(1).TagObject);
  ASSERT_NE(raw, nullptr);
  EXPECT_THAT(raw->Description, HasSubstr("runs past the end of the list"));
  EXPECT_EQ(reader.TagInfo(2).TagID, tag::DoInitAction);
  EXPECT_EQ(reader.TagInfo(3).TagID, tag::ShowFrame);
  reader.MakeStream();
  TMemoryStream out;
  reader.SaveToStream(out);
  EXPECT_EQ(out.Bytes(), file);
}

}  // namespace
}  // namespace yel::swf
