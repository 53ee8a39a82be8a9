// The movie builder core: ids, frames and labels, the body that MakeStream
// writes, frame lookup, moving resources, clearing, versions and progress.
#include <gtest/gtest.h>

#include "base/error.h"
#include "swf/builder/flash_external_movie.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"
#include "swf/builder/flash_sprite.h"
#include "swf/format/control_tags.h"
#include "swf/format/swf_stream.h"
#include "tests/swf/builder/builder_test_util.h"

namespace yel::swf {
namespace {

using testing::ReadMovie;
using testing::SaveMovie;
using testing::TagCodes;

// A resource character (as a bitmap or sound would be) that writes a
// recognisable tag: a raw tag whose code is the character id + 200.
class StandInResource : public TFlashIDObject {
 public:
  void WriteToStream(TBitsEngine& be) override {
    TSWFByteCodeTag tag;
    tag.TagCode = static_cast<std::uint16_t>(200 + CharacterId());
    tag.WriteToStream(be);
  }
  bool IsResourceDefinition() const override { return true; }
};

TEST(MovieTest, EmptyMovieIsBackgroundAndEnd) {
  TFlashMovie plain(0, 0, 550, 400, 12, TSWFSystemCoord::Pix);
  auto reader = ReadMovie(SaveMovie(plain, "plain"));
  EXPECT_EQ(TagCodes(*reader), (std::vector<int>{0}));
  EXPECT_EQ(plain.FrameCount, 0);
  EXPECT_EQ(reader->MovieRect(), (TRect{0, 0, 11000, 8000}));

  TFlashMovie coloured(0, 0, 550, 400, 12, TSWFSystemCoord::Pix);
  coloured.BackgroundColor().SetRGB(0x336699);
  reader = ReadMovie(SaveMovie(coloured, "coloured"));
  EXPECT_EQ(TagCodes(*reader), (std::vector<int>{9, 0}));
  auto* background = static_cast<TSWFSetBackgroundColor*>(reader->TagInfo(0).TagObject);
  EXPECT_EQ(background->Color.RGB(), (TSWFRGBRec{0x99, 0x66, 0x33}));
}

TEST(MovieTest, IdsAreDenseInCreationOrder) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  TFlashObjectList others;
  EXPECT_EQ(movie.AddShape()->CharacterId(), 1);
  movie.ShowFrame();
  EXPECT_EQ(movie.AddCharacter(std::make_unique<StandInResource>(), others)->CharacterId(), 2);
  EXPECT_EQ(movie.AddRectangle(0, 0, 10, 10)->CharacterId(), 3);
  EXPECT_EQ(movie.NextID, 4);
  EXPECT_EQ(movie.Shapes().Count(), 2);
  EXPECT_EQ(movie.Shapes().FindByID(3), movie.Shapes().Last());
  EXPECT_EQ(movie.Shapes().FindByID(2), nullptr);
  EXPECT_EQ(others.Count(), 1);
}

// Ids are 16-bit: the builder hands out 65535 and then refuses, taking
// nothing, where NextID used to wrap to 0 and hand out ids already taken.
// An import needing more ids than are left is refused before it is added.
TEST(MovieTest, CharacterIdsStopAt65535) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  movie.NextID = 65534;
  EXPECT_EQ(movie.AddShape()->CharacterId(), 65534);
  EXPECT_EQ(movie.AddSprite()->CharacterId(), 65535);
  const std::size_t objects = movie.ObjectList().size();
  EXPECT_THROW(movie.AddShape(), Error);
  EXPECT_THROW(movie.AddSprite(), Error);
  EXPECT_THROW(movie.AddRectangle(0, 0, 10, 10), Error);
  EXPECT_EQ(movie.ObjectList().size(), objects);
  EXPECT_EQ(movie.Shapes().Count(), 1);

  TFlashMovie source(0, 0, 100, 100, 12);
  for (int i = 0; i < 8; ++i) source.PlaceObject(source.AddRectangle(0, 0, 10, 10), std::uint16_t(i + 1));
  source.ShowFrame();
  source.MakeStream();
  TMemoryStream bytes;
  source.SaveToStream(bytes);
  TFlashMovie host(0, 0, 100, 100, 12);
  host.NextID = 65530;
  bytes.Seek(0);
  EXPECT_THROW(host.AddExternalMovie(bytes, eimSprite, true), Error);
  EXPECT_TRUE(host.ObjectList().empty());
  EXPECT_EQ(host.NextID, 65530);
  host.NextID = 100;
  bytes.Seek(0);
  EXPECT_NE(host.AddExternalMovie(bytes, eimSprite, true), nullptr);
}

TEST(MovieTest, ShowFrameWritesLabelAndCountsFrames) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  movie.ShowFrame(0);
  EXPECT_EQ(movie.FrameCount, 1);
  EXPECT_EQ(movie.CurrentFrameNum, 0);
  movie.FrameLabel = "intro";
  movie.ShowFrame(3);
  EXPECT_EQ(movie.CurrentFrameNum, 3);
  EXPECT_TRUE(movie.FrameLabel.empty());
  auto reader = ReadMovie(SaveMovie(movie));
  EXPECT_EQ(TagCodes(*reader), (std::vector<int>{1, 43, 1, 1, 1, 0}));
  EXPECT_EQ(movie.FrameCount, 4);
  EXPECT_EQ(reader->FrameCount, 4);
}

TEST(MovieTest, AnEndObjectOfTheCallerIsTheOnlyEnd) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  movie.AddRectangle(0, 0, 10, 10)->SetSolidColor(0xFF);
  movie.ShowFrame();
  movie.Add(std::make_unique<TSWFEnd>());
  auto reader = ReadMovie(SaveMovie(movie));
  EXPECT_EQ(TagCodes(*reader), (std::vector<int>{22, 1, 0}));
}

TEST(MovieTest, VersionRisesToWhatTheObjectsNeed) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  movie.SetVersion(1);
  movie.AddRectangle(0, 0, 10, 10)->SetSolidColorRGBA(0x800000FF);
  movie.ShowFrame();
  auto bytes = SaveMovie(movie);
  EXPECT_EQ(movie.Version(), 3);
  EXPECT_EQ(bytes[3], 3);
  // A compressed movie is at least version 6, which keeps the fill correction.
  TFlashMovie compressed(0, 0, 100, 100, 12);
  compressed.SetCompressed(true);
  EXPECT_EQ(compressed.Version(), 6);
  EXPECT_TRUE(compressed.CorrectImageFill);
  compressed.SetVersion(8);
  EXPECT_FALSE(compressed.CorrectImageFill);
  compressed.AddEllipse(0, 0, 50, 50)->SetSolidColor(0xFF00);
  auto reader = ReadMovie(SaveMovie(compressed, "compressed"));
  EXPECT_TRUE(reader->Compressed());
  EXPECT_EQ(TagCodes(*reader), (std::vector<int>{22, 0}));
}

TEST(MovieTest, FindFrameIndexCountsShowFrames) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  EXPECT_EQ(movie.FindFrameIndex(1), 0);  // empty list
  movie.AddShape();
  movie.ShowFrame();
  movie.AddShape();
  movie.ShowFrame();
  movie.AddShape();
  EXPECT_EQ(movie.FindFrameIndex(0), 0);
  EXPECT_EQ(movie.FindFrameIndex(1), 1);
  EXPECT_EQ(movie.FindFrameIndex(2), 3);
  EXPECT_EQ(movie.FindFrameIndex(5), 4);
}

TEST(MovieTest, MoveResourceBringsDefinitionsForwardInOrder) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  TFlashObjectList resources;
  TFlashShape* first = movie.AddShape();
  movie.ShowFrame();
  auto* a = movie.AddCharacter(std::make_unique<StandInResource>(), resources);
  TFlashShape* second = movie.AddShape();
  movie.ShowFrame();
  auto* b = movie.AddCharacter(std::make_unique<StandInResource>(), resources);
  movie.ShowFrame();
  movie.MoveResource(0, 1, -1);
  EXPECT_EQ(movie.IndexOfObject(a), 0);
  EXPECT_EQ(movie.IndexOfObject(b), 1);
  EXPECT_EQ(movie.IndexOfObject(first), 2);
  EXPECT_EQ(movie.IndexOfObject(second), 4);
  auto reader = ReadMovie(SaveMovie(movie));
  EXPECT_EQ(TagCodes(*reader), (std::vector<int>{202, 204, 22, 1, 22, 1, 1, 0}));

  // Within one frame: the resource moves to the start of the frame after the
  // first ShowFrame.
  TFlashMovie within(0, 0, 100, 100, 12);
  within.ShowFrame();
  TFlashShape* shape = within.AddShape();
  auto* c = within.AddCharacter(std::make_unique<StandInResource>(), resources);
  within.AddShape();
  within.ShowFrame();
  within.MoveResource(1, 1, 1);
  EXPECT_EQ(within.IndexOfObject(c), 1);
  EXPECT_EQ(within.IndexOfObject(shape), 2);
}

TEST(MovieTest, ClearEmptiesTheListsAndRestartsIdsAtZero) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  movie.BackgroundColor().SetRGB(0xFFFFFF);
  movie.AddRectangle(0, 0, 10, 10);
  movie.ShowFrame();
  movie.Clear();
  EXPECT_TRUE(movie.ObjectList().empty());
  EXPECT_EQ(movie.Shapes().Count(), 0);
  EXPECT_EQ(movie.NextID, 0);
  EXPECT_FALSE(movie.HasBackgroundColor());
  auto reader = ReadMovie(SaveMovie(movie));
  EXPECT_EQ(TagCodes(*reader), (std::vector<int>{0}));
}

TEST(MovieTest, MakingTwiceGivesTheSameMovie) {
  TFlashMovie movie(0, 0, 200, 200, 12, TSWFSystemCoord::Pix);
  movie.BackgroundColor().SetRGB(0x202020);
  TFlashShape* dashed = movie.AddEllipse(10, 10, 90, 60);
  dashed->SetSolidColor(0xFF);
  dashed->SetLineStyle(2, 0xFF00);
  dashed->DashStyle().SetPattern({6, 3});
  dashed->DashGapColor().SetRGB(0xFF0000);
  TFlashShape* given = movie.AddShape(std::make_unique<TFlashShape>());
  given->Edges().MakeRectangle(5, 5);  // the movie's unit reaches a shape made without it
  EXPECT_EQ(testing::Describe(given->Records()), "Sf1=0 L100,0 L0,100 L-100,0 L0,-100");
  movie.PlaceObject(movie.AddSprite(dashed), 1)->SetTranslate(5, 5);
  movie.ShowFrame();
  auto first = SaveMovie(movie, "1");
  auto second = SaveMovie(movie, "2");
  EXPECT_EQ(first, second);
}

TEST(MovieTest, ProgressIsReportedPerObject) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  movie.AddShape();
  movie.ShowFrame();
  movie.AddShape();
  movie.ShowFrame();
  std::vector<int> percents;
  movie.OnProgress = [&](TBasedSWFStream& sender, int percent, int kind) {
    EXPECT_EQ(&sender, &movie);
    if (kind == kProgressWriting) percents.push_back(percent);
  };
  movie.MakeStream();
  EXPECT_EQ(percents, (std::vector<int>{25, 50, 75, 100}));
}

}  // namespace
}  // namespace yel::swf
