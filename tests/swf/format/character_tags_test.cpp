// Button, morph shape and video tags: their encodings at the points where
// they are easy to get wrong (condition bits, the size chains and offsets,
// index widths, flag bytes), damaged bodies, renumbering, and the real
// movies that hold them coming back byte for byte.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

#include "swf/format/actions/action_records.h"
#include "swf/format/button_tags.h"
#include "swf/format/control_tags.h"
#include "swf/format/morph_shape_tags.h"
#include "swf/format/swf_stream.h"
#include "swf/format/tag_factory.h"
#include "swf/format/video_tags.h"
#include "tests/swf/format/tag_bodies.h"
#include "tests/swf/format/test_movie.h"
#include "tests/testing/corpus.h"

namespace yel::swf {
namespace {

using testing::As;
using testing::Body;
using testing::Bytes;
using testing::ReadAs;
using testing::ReadBody;

void AddStop(TSWFActionList& list) { list.Add(std::make_unique<TSWFActionStop>()); }

// --- buttons

TEST(ButtonTagsTest, Button2WithoutConditionActionsHasOffsetZero) {
  TSWFDefineButton2 button;
  button.ButtonId = 3;
  button.AddRecord(1, 1, true, false, false, true);
  Bytes body = Body(button);
  // id, menu byte, offset 0, one record: flags, id, depth, empty matrix,
  // empty colour transform; then the end byte and nothing more.
  EXPECT_EQ(body, (Bytes{3, 0, 0, 0, 0, 0x09, 1, 0, 1, 0, 0x00, 0x00, 0}));
  auto back = ReadAs<TSWFDefineButton2>(tag::DefineButton2, body);
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->CondActions.empty());
  ASSERT_EQ(back->ButtonRecords.size(), 1u);
  EXPECT_TRUE(back->ButtonRecords[0]->ButtonStateHitTest);
  EXPECT_TRUE(back->ButtonRecords[0]->HasColorTransform());
}

TEST(ButtonTagsTest, ConditionActionsChainTheirSizesAndMapTheConditionBits) {
  TSWFDefineButton2 button;
  button.ButtonId = 1;
  button.TrackAsMenu = true;
  button.AddRecord(2, 1, true, true, true, true);
  AddStop(button.AddCondAction(kCondOutDownToOverDown));
  AddStop(button.AddCondAction(kCondOverDownToOutDown | kCondOverDownToIdle, 13));
  Bytes body = Body(button);
  EXPECT_EQ(body[2], 1);  // TrackAsMenu
  std::size_t offset = body[3] | body[4] << 8;
  std::size_t first = 3 + offset;
  // first action: size 6 (size word, two condition bytes, Stop, End), 0x20
  EXPECT_EQ(Bytes(body.begin() + first, body.begin() + first + 6), (Bytes{6, 0, 0x20, 0x00, 0x07, 0}));
  // second (last): size 0, 0x10, key 13 << 1 | OverDownToIdle
  EXPECT_EQ(Bytes(body.begin() + first + 6, body.end()), (Bytes{0, 0, 0x10, 13 << 1 | 1, 0x07, 0}));

  auto back = ReadAs<TSWFDefineButton2>(tag::DefineButton2, body);
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->TrackAsMenu);
  ASSERT_EQ(back->CondActions.size(), 2u);
  EXPECT_EQ(back->CondActions[0]->ActionConditions, kCondOutDownToOverDown);
  EXPECT_EQ(back->CondActions[1]->ActionConditions, kCondOverDownToOutDown | kCondOverDownToIdle);
  EXPECT_EQ(back->CondActions[1]->KeyPress, 13);
  EXPECT_EQ(back->CondActions[1]->Count(), 1u);
  EXPECT_EQ(Body(*back), body);

  // Unparsed, the actions are kept as bytes and written back the same.
  auto raw = ReadAs<TSWFDefineButton2>(tag::DefineButton2, body, false);
  ASSERT_NE(raw, nullptr);
  EXPECT_NE(dynamic_cast<TSWFActionByteCode*>((*raw->CondActions[0])[0]), nullptr);
  EXPECT_EQ(Body(*raw), body);
}

TEST(ButtonTagsTest, SecondFormRecordsKeepTransformFiltersAndBlendMode) {
  TSWFDefineButton2 button;
  TSWFButtonRecord& record = button.AddRecord(5, 2, true, false, false, false);
  record.Matrix.SetTranslate(100, -40);
  record.ColorTransform().SetMultA(128);
  record.ColorTransform().SetAddR(-20);
  record.FilterList().AddFilter(kFilterBlur);
  record.HasBlendMode = true;
  record.BlendMode = 3;
  Bytes body = Body(button);
  auto back = ReadAs<TSWFDefineButton2>(tag::DefineButton2, body);
  ASSERT_NE(back, nullptr);
  const TSWFButtonRecord& r = *back->ButtonRecords[0];
  EXPECT_EQ(r.ColorTransform().MultA(), 128);
  EXPECT_EQ(r.ColorTransform().AddR(), -20);
  EXPECT_TRUE(r.ColorTransform().HasAlpha);
  ASSERT_EQ(r.FilterList().Filters.size(), 1u);
  EXPECT_EQ(r.BlendMode, 3);
  EXPECT_EQ(r.Matrix.TranslateX, 100);
  EXPECT_EQ(Body(*back), body);

  // The first form carries neither of them.
  TSWFDefineButton first;
  first.ButtonId = 9;
  first.ButtonRecords.push_back(std::make_unique<TSWFButtonRecord>());
  first.ButtonRecords[0]->Assign(record);
  AddStop(first.Actions);
  TMemoryStream matrix;
  TBitsEngine matrixEngine(matrix);
  matrixEngine.WriteMatrix(record.Matrix.Rec());
  Bytes expected = {9, 0, 0x01, 5, 0, 2, 0};
  expected.insert(expected.end(), matrix.Bytes().begin(), matrix.Bytes().end());
  expected.insert(expected.end(), {0, 0x07, 0});
  EXPECT_EQ(Body(first), expected);
}

// Flag bits a record's form does not use come back as they were: a record
// with no state bit but such a bit set stays a record (written as 0 it
// would end the list, and the records after it were lost on the next read).
TEST(ButtonTagsTest, UnusedRecordFlagBitsAreKept) {
  struct Case {
    bool secondForm;
    std::uint8_t flags;
  };
  for (const Case& c : {Case{false, 0x10}, Case{false, 0xA1}, Case{true, 0x40}, Case{true, 0x82}}) {
    SCOPED_TRACE(::testing::Message() << c.secondForm << " " << int{c.flags});
    std::unique_ptr<TSWFBasedButton> built;
    if (c.secondForm) {
      built = std::make_unique<TSWFDefineButton2>();
    } else {
      built = std::make_unique<TSWFDefineButton>();
    }
    built->AddRecord(5, 2, true, false, false, false);
    built->AddRecord(6, 3, true, false, false, false);
    Bytes body = Body(*built);
    body[c.secondForm ? 5 : 2] = c.flags;  // the first record's flag byte
    const std::uint16_t code = c.secondForm ? tag::DefineButton2 : tag::DefineButton;
    std::unique_ptr<TSWFBasedButton> back;
    if (c.secondForm) {
      back = ReadAs<TSWFDefineButton2>(code, body);
    } else {
      back = ReadAs<TSWFDefineButton>(code, body);
    }
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->ButtonRecords.size(), 2u);
    EXPECT_EQ(back->ButtonRecords[1]->CharacterId, 6);
    EXPECT_EQ(Body(*back), body);
  }
}

TEST(ButtonTagsTest, ButtonSoundWritesZeroWordsForEmptySlots) {
  TSWFDefineButtonSound sounds;
  sounds.ButtonId = 4;
  sounds.SoundSlot(TSWFDefineButtonSound::kIdleToOverUp).SoundId = 7;
  EXPECT_EQ(Body(sounds), (Bytes{4, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0}));
  auto back = ReadAs<TSWFDefineButtonSound>(tag::DefineButtonSound, Body(sounds));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Sound(TSWFDefineButtonSound::kOverUpToIdle), nullptr);
  ASSERT_NE(back->Sound(TSWFDefineButtonSound::kIdleToOverUp), nullptr);
  EXPECT_EQ(back->Sound(TSWFDefineButtonSound::kIdleToOverUp)->SoundId, 7);

  TSWFDefineButtonCxform cxform;
  cxform.ButtonId = 4;
  cxform.ColorTransform.SetAddG(10);
  auto cx = ReadAs<TSWFDefineButtonCxform>(tag::DefineButtonCxform, Body(cxform));
  ASSERT_NE(cx, nullptr);
  EXPECT_EQ(cx->ColorTransform.AddG(), 10);
  EXPECT_FALSE(cx->ColorTransform.HasAlpha);
}

// Damaged bodies throw (the stream reader keeps them as error tags with their
// bytes: see the reader test below).
TEST(ButtonTagsTest, DamagedButtonsAreRefused) {
  struct Case {
    const char* what;
    std::uint16_t code;
    Bytes body;
  };
  const Case cases[] = {
      {"records without their end byte", tag::DefineButton, {1, 0, 0x01, 2, 0, 1, 0, 0}},
      {"a record cut short", tag::DefineButton2, {1, 0, 0, 0, 0, 0x01, 2}},
      {"offset past the end", tag::DefineButton2, {1, 0, 0, 0x40, 0, 0}},
      {"condition size past the end", tag::DefineButton2, {1, 0, 0, 3, 0, 0, 0x20, 0, 0x01, 0, 0}},
      {"sounds cut short", tag::DefineButtonSound, {1, 0, 0, 0, 7}},
      {"a morph gradient of unknown type", tag::DefineMorphShape,
       {1, 0, 0, 0, 0, 0, 0, 0, 1, 0x07}},
      {"a video stream of 6 bytes", tag::DefineVideoStream, {1, 0, 2, 0, 1, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto tag = CreateTag(c.code);
    tag->BodySize = static_cast<std::uint32_t>(c.body.size());
    TBufferStream stream(c.body.data(), c.body.size());
    TBitsEngine be(stream);
    EXPECT_THROW(ReadTagBody(be, *tag, tag->BodySize), std::exception);
  }
}

// --- morph shapes

// A square whose right edge moves: one fill, one line, two edges.
void DrawMorph(TSWFDefineMorphShape& morph, bool withFill = true) {
  morph.CharacterId = 2;
  morph.StartBounds.SetRect(TRect{0, 0, 200, 200});
  morph.EndBounds.SetRect(TRect{0, 0, 400, 200});
  if (withFill) {
    auto fill = std::make_unique<TSWFMorphColorFill>();
    fill->StartColor = 0xFF0000FF;
    fill->EndColor = 0xFFFF0000;
    morph.MorphFillStyles.push_back(std::move(fill));
  }
  auto line = std::make_unique<TSWFMorphLineStyle2>();
  line->StartWidth = 20;
  line->EndWidth = 40;
  line->NoHScaleFlag = true;
  morph.MorphLineStyles.push_back(std::move(line));
  auto start = std::make_unique<TSWFStyleChangeRecord>();
  start->SetFill0(1);
  start->SetLineStyle(1);
  start->StateMoveTo = true;
  morph.StartEdges.push_back(std::move(start));
  morph.StartEdges.push_back(std::make_unique<TSWFStraightEdgeRecord>(200, 0));
  morph.StartEdges.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, 200));
  auto end = std::make_unique<TSWFStyleChangeRecord>();
  end->StateMoveTo = true;
  morph.EndEdges.push_back(std::move(end));
  morph.EndEdges.push_back(std::make_unique<TSWFStraightEdgeRecord>(400, 0));
  morph.EndEdges.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, 200));
}

// Position of the end edges' width byte: the 32-bit offset names it.
std::size_t EndEdgesAt(const Bytes& body, std::size_t offsetAt) {
  std::uint32_t offset = body[offsetAt] | body[offsetAt + 1] << 8 | body[offsetAt + 2] << 16 | body[offsetAt + 3] << 24;
  return offsetAt + 4 + offset;
}

TEST(MorphShapeTagsTest, FirstFormWritesAZeroByteBeforeItsEndEdges) {
  TSWFDefineMorphShape morph;
  DrawMorph(morph);
  Bytes body = Body(morph);
  // id (2) and the two bounds (1 + 4 * 10 bits rounded up: 6 bytes each)
  const std::size_t offsetAt = 2 + 6 + 6;
  std::size_t fills = offsetAt + 4;
  EXPECT_EQ(body[fills], 1);
  EXPECT_EQ(body[fills + 1], 0x00);  // solid
  std::size_t lines = fills + 10;
  EXPECT_EQ(body[lines], 1);
  EXPECT_EQ(body[lines + 13], 0x11);  // start widths: one fill bit, one line bit
  EXPECT_EQ(body[EndEdgesAt(body, offsetAt)], 0x00);
  auto back = ReadAs<TSWFDefineMorphShape>(tag::DefineMorphShape, body);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->StartEdges.size(), 4u);  // three and the end record
  EXPECT_EQ(back->EndEdges.size(), 4u);
  EXPECT_EQ(dynamic_cast<TSWFStraightEdgeRecord&>(*back->EndEdges[1]).DeltaX, 400);
  EXPECT_EQ(back->MorphLineStyles[0]->EndWidth, 40);
  EXPECT_EQ(Body(*back), body);
}

TEST(MorphShapeTagsTest, SecondFormRepeatsTheWidthsAndKeepsLineFlags) {
  TSWFDefineMorphShape2 morph;
  DrawMorph(morph);
  auto* line = dynamic_cast<TSWFMorphLineStyle2*>(morph.MorphLineStyles[0].get());
  line->JoinStyle = 2;
  line->MiterLimitFactor = 3.5f;
  line->EndCapStyle = 1;
  line->NoClose = true;
  morph.StartEdgeBounds.SetRect(TRect{10, 10, 190, 190});
  morph.EndEdgeBounds.SetRect(TRect{10, 10, 390, 190});
  Bytes body = Body(morph);
  const std::size_t offsetAt = 2 + 6 + 6 + 6 + 6 + 1;
  EXPECT_EQ(body[offsetAt - 1], 0x02);  // UsesNonScalingStrokes only
  EXPECT_EQ(body[EndEdgesAt(body, offsetAt)], 0x11);
  auto back = ReadAs<TSWFDefineMorphShape2>(tag::DefineMorphShape2, body);
  ASSERT_NE(back, nullptr);
  auto* backLine = dynamic_cast<TSWFMorphLineStyle2*>(back->MorphLineStyles[0].get());
  ASSERT_NE(backLine, nullptr);
  EXPECT_TRUE(backLine->NoHScaleFlag);
  EXPECT_TRUE(backLine->NoClose);
  EXPECT_EQ(backLine->EndCapStyle, 1);
  EXPECT_FLOAT_EQ(backLine->MiterLimitFactor, 3.5f);
  EXPECT_EQ(Body(*back), body);

  // The second form copied from the first converts its line styles.
  TSWFDefineMorphShape first;
  DrawMorph(first);
  first.MorphLineStyles[0] = std::make_unique<TSWFMorphLineStyle>();
  first.MorphLineStyles[0]->StartWidth = 60;
  TSWFDefineMorphShape2 converted;
  converted.Assign(first);
  auto again = ReadAs<TSWFDefineMorphShape2>(tag::DefineMorphShape2, Body(converted));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->MorphLineStyles[0]->StartWidth, 60);
  EXPECT_FALSE(again->UsesNonScalingStrokes);
  EXPECT_TRUE(again->UsesScalingStrokes);
}

// Players pair each move of the end shape with a move of the start shape
// and know no other style change there.
TEST(MorphShapeTagsTest, EndShapeStyleChangesOnlyMove) {
  TSWFDefineMorphShape2 morph;
  DrawMorph(morph);
  static_cast<TSWFStyleChangeRecord&>(*morph.EndEdges[0]).SetFill0(1);
  morph.EndEdges.insert(morph.EndEdges.begin() + 2, std::make_unique<TSWFStyleChangeRecord>());
  auto back = ReadAs<TSWFDefineMorphShape2>(tag::DefineMorphShape2, Body(morph));
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->EndEdges.size(), 4u);  // the style change without a move is gone
  auto& start = dynamic_cast<TSWFStyleChangeRecord&>(*back->EndEdges[0]);
  EXPECT_TRUE(start.StateMoveTo);
  EXPECT_FALSE(start.StateFillStyle0);
  EXPECT_EQ(back->EndEdges[1]->RecordKind, TSWFShapeRecordKind::StraightEdge);
  EXPECT_EQ(back->EndEdges[2]->RecordKind, TSWFShapeRecordKind::StraightEdge);
}

TEST(MorphShapeTagsTest, WithoutFillStylesTheFillIndexIsDropped) {
  TSWFDefineMorphShape morph;
  DrawMorph(morph, false);
  Bytes body = Body(morph);
  const std::size_t widthsAt = 2 + 6 + 6 + 4 + 1 + 1 + 12;
  EXPECT_EQ(body[widthsAt], 0x01);  // fill width 0, line width 1
  auto back = ReadAs<TSWFDefineMorphShape>(tag::DefineMorphShape, body);
  ASSERT_NE(back, nullptr);
  auto& change = dynamic_cast<TSWFStyleChangeRecord&>(*back->StartEdges[0]);
  EXPECT_FALSE(change.StateFillStyle0);
  EXPECT_EQ(change.LineStyle(), 1);
}

TEST(MorphShapeTagsTest, GradientAndBitmapFillsComeBack) {
  TSWFDefineMorphShape2 morph;
  DrawMorph(morph);
  auto focal = std::make_unique<TSWFMorphFocalGradientFill>();
  focal->StartMatrix.SetScale(2.0f, 2.0f);
  focal->EndMatrix.SetRotate(45);
  focal->Gradient = {{0, 0xFF0000FF, 0, 0xFF00FF00}, {255, 0x80FFFFFF, 128, 0xFF000000}};
  focal->StartFocalPoint = -100;
  focal->EndFocalPoint = 255;
  morph.MorphFillStyles.push_back(std::move(focal));
  auto image = std::make_unique<TSWFMorphImageFill>();
  image->BitmapId = 12;
  image->EndMatrix.SetTranslate(50, 60);
  morph.MorphFillStyles.push_back(std::move(image));
  Bytes body = Body(morph);
  auto back = ReadAs<TSWFDefineMorphShape2>(tag::DefineMorphShape2, body);
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->MorphFillStyles.size(), 3u);
  auto& g = dynamic_cast<TSWFMorphFocalGradientFill&>(*back->MorphFillStyles[1]);
  EXPECT_EQ(g.Gradient[1], (TSWFMorphGradientRec{255, 0x80FFFFFF, 128, 0xFF000000}));
  EXPECT_EQ(g.StartFocalPoint, -100);
  EXPECT_EQ(g.EndFocalPoint, 255);
  EXPECT_EQ(dynamic_cast<TSWFMorphImageFill&>(*back->MorphFillStyles[2]).BitmapId, 12);
  EXPECT_EQ(Body(*back), body);
}

// --- video

TEST(VideoTagsTest, StreamFlagsAndHeader) {
  TSWFDefineVideoStream stream;
  stream.CharacterId = 1;
  stream.NumFrames = 10;
  stream.Width = 320;
  stream.Height = 240;
  stream.Codec = kVideoH263;
  struct Case {
    std::uint8_t deblocking;
    bool smoothing;
    std::uint8_t flags;
  };
  for (Case c : {Case{2, true, 0x05}, Case{5, false, 0x0A}}) {
    stream.VideoFlagsDeblocking = c.deblocking;
    stream.VideoFlagsSmoothing = c.smoothing;
    Bytes body = Body(stream);
    ASSERT_EQ(body.size(), 10u);
    EXPECT_EQ(body[8], c.flags);
    auto back = ReadAs<TSWFDefineVideoStream>(tag::DefineVideoStream, body);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->VideoFlagsDeblocking, c.deblocking);
    EXPECT_EQ(back->VideoFlagsSmoothing, c.smoothing);
    EXPECT_EQ(back->Width, 320);
  }
  // The short body still takes the long header.
  EXPECT_EQ(testing::WriteTag(stream).size(), 16u);
  EXPECT_EQ(stream.MinVersion(), 6);
  stream.Codec = kVideoScreen;
  EXPECT_EQ(stream.MinVersion(), 7);

  TSWFVideoFrame frame;
  frame.StreamID = 1;
  frame.FrameNum = 3;
  frame.SetData(Bytes{0xAA, 0xBB});
  EXPECT_EQ(Body(frame), (Bytes{1, 0, 3, 0, 0xAA, 0xBB}));
  auto back = ReadAs<TSWFVideoFrame>(tag::VideoFrame, Body(frame));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->FrameNum, 3);
  EXPECT_EQ(back->DataSize(), 2u);
}

// --- in a movie: reading, damaged tags, renumbering

Bytes MovieOf(std::vector<std::unique_ptr<TSWFObject>> tags) {
  testing::TestMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  for (auto& t : tags) movie.Add(std::move(t));
  movie.Add(std::make_unique<TSWFShowFrame>());
  movie.Add(std::make_unique<TSWFEnd>());
  return movie.Save();
}

TEST(CharacterTagsReaderTest, CharactersAndTheirReferencesAreRenumbered) {
  std::vector<std::unique_ptr<TSWFObject>> tags;
  auto button = std::make_unique<TSWFDefineButton2>();
  button->ButtonId = 1;
  button->AddRecord(2, 1, true, true, true, true);
  tags.push_back(std::move(button));
  auto sounds = std::make_unique<TSWFDefineButtonSound>();
  sounds->ButtonId = 1;
  sounds->SoundSlot(TSWFDefineButtonSound::kOverDownToOverUp).SoundId = 5;
  tags.push_back(std::move(sounds));
  auto morph = std::make_unique<TSWFDefineMorphShape>();
  DrawMorph(*morph);
  auto image = std::make_unique<TSWFMorphImageFill>();
  image->BitmapId = 4;
  morph->MorphFillStyles.push_back(std::move(image));
  tags.push_back(std::move(morph));  // id 2
  auto video = std::make_unique<TSWFDefineVideoStream>();
  video->CharacterId = 3;
  tags.push_back(std::move(video));
  auto frame = std::make_unique<TSWFVideoFrame>();
  frame->StreamID = 3;
  tags.push_back(std::move(frame));
  TMemoryStream file;
  Bytes bytes = MovieOf(std::move(tags));
  file.Write(bytes.data(), bytes.size());
  file.Seek(0);

  TSWFStreamReader reader;
  reader.LoadFromStream(file, "buttons.swf");
  reader.ParseTags();
  EXPECT_EQ(reader.RenumberCharacters(50), 53);
  auto& b = dynamic_cast<TSWFDefineButton2&>(*reader.TagInfo(0).TagObject);
  EXPECT_EQ(b.ButtonId, 50);
  EXPECT_EQ(b.ButtonRecords[0]->CharacterId, 51);
  auto& s = dynamic_cast<TSWFDefineButtonSound&>(*reader.TagInfo(1).TagObject);
  EXPECT_EQ(s.ButtonId, 50);
  EXPECT_EQ(s.Sound(TSWFDefineButtonSound::kOverDownToOverUp)->SoundId, 5);  // not defined here
  auto& m = dynamic_cast<TSWFDefineMorphShape&>(*reader.TagInfo(2).TagObject);
  EXPECT_EQ(m.CharacterId, 51);
  EXPECT_EQ(dynamic_cast<TSWFMorphImageFill&>(*m.MorphFillStyles[1]).BitmapId, 4);
  EXPECT_EQ(dynamic_cast<TSWFDefineVideoStream&>(*reader.TagInfo(3).TagObject).CharacterId, 52);
  EXPECT_EQ(dynamic_cast<TSWFVideoFrame&>(*reader.TagInfo(4).TagObject).StreamID, 52);
}

TEST(CharacterTagsReaderTest, ADamagedButtonBecomesAnErrorTagWithItsBytes) {
  Bytes body = {1, 0, 0, 0x40, 0, 0x01, 2, 0, 1, 0, 0, 0, 0};  // the offset points past the end
  testing::TestMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  auto raw = std::make_unique<TSWFByteCodeTag>();
  raw->TagCode = tag::DefineButton2;
  raw->SetData(body.data(), body.size());
  movie.Add(std::move(raw));
  Bytes bytes = movie.Save();
  TMemoryStream file;
  file.Write(bytes.data(), bytes.size());
  file.Seek(0);
  TSWFStreamReader reader;
  reader.LoadFromStream(file, "damaged.swf");
  reader.ParseTags();
  ASSERT_EQ(reader.TagCount(), 1u);
  EXPECT_EQ(reader.TagInfo(0).TagID, tag::ErrorTag);
  auto& error = dynamic_cast<TSWFByteCodeTag&>(*reader.TagInfo(0).TagObject);
  EXPECT_NE(error.Description.find("DefineButton2"), std::string::npos) << error.Description;
  EXPECT_NE(error.Description.find("past the end"), std::string::npos) << error.Description;
  EXPECT_EQ(Bytes(error.Data(), error.Data() + error.DataSize()), body);
}

// Real movies: every button and video tag reads and writes back byte for
// byte, except where the producer chose a non-canonical encoding.
TEST(CharacterTagsCorpusTest, TagsComeBackByteForByte) {
  const std::map<std::string, int> expectedDifferences = {
      // button records whose empty colour transforms carry a field width of 1
      {"avm1__focus_mouse_rollout__test.swf", 1},
      {"avm1__focusrect_property_swf6__test.swf", 1},
  };
  auto mine = [](int code) {
    switch (code) {
      case tag::DefineButton: case tag::DefineButton2: case tag::DefineButtonSound: case tag::DefineButtonCxform:
      case tag::DefineMorphShape: case tag::DefineMorphShape2: case tag::DefineVideoStream: case tag::VideoFrame:
        return true;
      default:
        return false;
    }
  };
  int tags = 0;
  for (const auto& path : yel::testing::CorpusMovies()) {
    const std::string name = path.filename().string();
    TSWFStreamReader reader(path.string());
    reader.ParseTags();
    const Bytes& body = reader.BodyStream().Bytes();
    int differences = 0;
    std::function<void(const TSWFTagInfo&)> check = [&](const TSWFTagInfo& entry) {
      for (const auto& sub : entry.SubTags) check(*sub);
      if (!mine(entry.TagID)) return;
      ++tags;
      ASSERT_NE(entry.TagObject, nullptr);
      std::uint64_t start = entry.Position + (entry.IsLongHeader ? 6 : 2);
      Bytes original(body.begin() + start, body.begin() + start + entry.Length);
      if (Body(*entry.TagObject) != original) ++differences;
    };
    for (std::size_t i = 0; i < reader.TagCount(); ++i) {
      const TSWFTagInfo& entry = reader.TagInfo(i);
      if (entry.TagID == tag::ErrorTag) {
        EXPECT_FALSE(mine(dynamic_cast<TSWFByteCodeTag&>(*entry.TagObject).TagCode)) << name << " tag " << i;
      }
      check(entry);
    }
    auto expected = expectedDifferences.find(name);
    EXPECT_EQ(differences, expected == expectedDifferences.end() ? 0 : expected->second) << name;
  }
  EXPECT_GE(tags, 4);
}

}  // namespace
}  // namespace yel::swf
