// Damaged and hostile movies: clear errors, or the damaged part skipped
// with a warning, and always a bounded amount of work and memory.
#include <gtest/gtest.h>

#include "base/error.h"
#include "tests/swf/render/render_fixtures.h"

namespace yel::swf::render {
namespace {

using namespace testing;

const TPackedColor kWhite = Rgba(255, 255, 255);

bool Mentions(const Rendered& r, const std::string& text) {
  for (const auto& w : r.Warnings)
    if (w.find(text) != std::string::npos) return true;
  return false;
}

std::unique_ptr<TSWFDefineSprite> Sprite(std::uint16_t id, std::vector<std::unique_ptr<TSWFPlaceObject2>> places) {
  auto sprite = std::make_unique<TSWFDefineSprite>();
  sprite->SpriteId = id;
  sprite->FrameCount = 1;
  for (auto& p : places) sprite->ControlTags.push_back(std::move(p));
  sprite->ControlTags.push_back(std::make_unique<TSWFShowFrame>());
  sprite->ControlTags.push_back(std::make_unique<TSWFEnd>());
  return sprite;
}

TEST(RenderBadInput, NotAMovieNamesTheFile) {
  const Bytes junk = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0};
  try {
    TMovie::OpenBytes(junk.data(), junk.size(), "junk.swf");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("junk.swf"), std::string::npos) << e.what();
  }
}

TEST(RenderBadInput, MissingCharactersAreSkippedWithAWarning) {
  Movie movie(10, 10, kWhite);
  movie.Add(Place(1, 99));
  movie.Add(RectShape(1, 0, 0, 200, 200, BitmapFill(77, 0, 0)));  // an undefined bitmap
  movie.Add(Place(2, 1));
  movie.ShowFrame();
  const Rendered r = Render(movie.Save());
  EXPECT_TRUE(Mentions(r, "character 99 is placed but not defined")) << ::testing::PrintToString(r.Warnings);
  EXPECT_TRUE(Mentions(r, "bitmap 77 is used but not defined"));
  EXPECT_EQ(r.At(5, 5), kWhite);
}

TEST(RenderBadInput, DamagedAndHugeBitmapsAreSkipped) {
  Movie movie(10, 10, kWhite);
  auto huge = Lossless(5, 1, 1, {0xFF000000}, false);
  huge->Width = huge->Height = 65535;  // claims 4 billion pixels
  movie.Add(std::move(huge));
  auto damaged = Lossless(6, 2, 2, {0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000}, false);
  damaged->SetData(Bytes{0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF});
  movie.Add(std::move(damaged));
  movie.Add(RectShape(1, 0, 0, 100, 200, BitmapFill(5, 0, 0)));
  movie.Add(RectShape(2, 100, 0, 200, 200, BitmapFill(6, 5, 0)));
  movie.Add(Place(1, 1));
  movie.Add(Place(2, 2));
  movie.ShowFrame();
  const Rendered r = Render(movie.Save());
  EXPECT_TRUE(Mentions(r, "65535 x 65535 pixels")) << ::testing::PrintToString(r.Warnings);
  EXPECT_TRUE(Mentions(r, "bitmap 6: the bitmap data is damaged")) << ::testing::PrintToString(r.Warnings);
  EXPECT_EQ(r.At(2, 2), kWhite);
}

TEST(RenderBadInput, AbsurdMatricesDrawNothingAndEndQuickly) {
  Movie movie(10, 10, kWhite);
  movie.Add(RectShape(1, 0, 0, 200, 200, Solid(Rgba(255, 0, 0))));
  auto flat = Place(1, 1);
  flat->Matrix().SetScale(0, 0);
  movie.Add(std::move(flat));
  auto huge = Place(2, 1);
  huge->Matrix().SetRec(MakeMatrix(true, true, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, -0x7FFFFFFF, -1000000000,
                                   1000000000));
  movie.Add(std::move(huge));
  movie.ShowFrame();
  const Rendered r = Render(movie.Save());
  EXPECT_EQ(r.Image.Pixels.size(), 100u);
}

TEST(RenderBadInput, SpritesThatPlaceThemselvesStayBounded) {
  Movie movie(10, 10, kWhite);
  movie.Add(RectShape(1, 0, 0, 20, 20, Solid(Rgba(255, 0, 0))));
  std::vector<std::unique_ptr<TSWFPlaceObject2>> places;
  places.push_back(Place(1, 1));
  places.push_back(Place(2, 2));  // itself, twice: growth doubles per level
  places.push_back(Place(3, 2, 20, 0));
  movie.Add(Sprite(2, std::move(places)));
  movie.Add(Place(1, 2));
  movie.ShowFrame();
  movie.ShowFrame();
  const Rendered r = Render(movie.Save(), 2);
  EXPECT_TRUE(Mentions(r, "objects at once") || Mentions(r, "nested more than"))
      << ::testing::PrintToString(r.Warnings);
  EXPECT_EQ(r.At(0, 0), Rgba(255, 0, 0));
}

TEST(RenderBadInput, DeepNestingIsCut) {
  Movie movie(10, 10, kWhite);
  movie.Add(RectShape(1, 0, 0, 200, 200, Solid(Rgba(255, 0, 0))));
  for (std::uint16_t id = 2; id < 200; ++id) {
    std::vector<std::unique_ptr<TSWFPlaceObject2>> places;
    places.push_back(Place(1, std::uint16_t(id - 1)));
    movie.Add(Sprite(id, std::move(places)));
  }
  movie.Add(Place(1, 199));
  movie.ShowFrame();
  const Rendered r = Render(movie.Save());
  EXPECT_TRUE(Mentions(r, "nested more than")) << ::testing::PrintToString(r.Warnings);
}

TEST(RenderBadInput, TheLastOf65535FramesRenders) {
  Movie movie(10, 1, kWhite);
  movie.Add(RectShape(1, 0, 0, 20, 20, Solid(Rgba(255, 0, 0))));
  movie.Add(Place(1, 1));
  for (int f = 1; f <= 65535; ++f) {
    if (f > 1 && f % 1000 == 0) movie.Add(Move(1, (f / 1000 % 10) * 20, 0));
    movie.ShowFrame();
  }
  const Rendered r = Render(movie.Save(), 65535);
  EXPECT_EQ(r.At(5, 0), Rgba(255, 0, 0));  // moved at frame 65000
}

TEST(RenderBadInput, ACutOffMovieShowsWhatArrived) {
  Movie movie(10, 10, kWhite);
  movie.Add(RectShape(1, 0, 0, 200, 200, Solid(Rgba(255, 0, 0))));
  movie.Add(Place(1, 1));
  movie.ShowFrame();
  movie.Add(RectShape(2, 0, 0, 200, 200, Solid(Rgba(0, 0, 255))));
  movie.Add(Place(2, 2));
  movie.ShowFrame();
  Bytes bytes = movie.Save();
  bytes.resize(bytes.size() - 30);  // into the second shape
  const Rendered r = Render(bytes, 1);
  EXPECT_EQ(r.At(5, 5), Rgba(255, 0, 0));
}

TEST(RenderBadInput, AnUnreadableShapeIsSkipped) {
  Movie movie(10, 10, kWhite);
  auto shape = RectShape(1, 0, 0, 200, 200, Solid(Rgba(255, 0, 0)));
  movie.Add(std::move(shape));
  movie.Add(Place(1, 1));
  movie.ShowFrame();
  Bytes bytes = movie.Save();
  // The shape's style array claims a fill type that does not exist.
  bool patched = false;
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0x01 && bytes[i + 1] == 0x00 && i > 30) {  // one fill, solid
      bytes[i + 1] = 0x77;
      patched = true;
      break;
    }
  ASSERT_TRUE(patched);
  const Rendered r = Render(bytes);
  EXPECT_FALSE(r.Warnings.empty());
  EXPECT_EQ(r.At(5, 5), kWhite);
}

}  // namespace
}  // namespace yel::swf::render
