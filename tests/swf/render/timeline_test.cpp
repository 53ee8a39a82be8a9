// The player: sprites start at their own first frame when placed and move
// on with the main timeline; stop, play and go-to run at the end of a
// frame; other scripts are not run; masks clip the depths they cover.
#include <gtest/gtest.h>

#include "tests/swf/render/render_fixtures.h"

namespace yel::swf::render {
namespace {

using namespace testing;

const TPackedColor kWhite = Rgba(255, 255, 255);
const TPackedColor kRed = Rgba(255, 0, 0);

// Where a 1 × 1 pixel red square stands in a 10 × 1 image: its column, or
// -1.
int RedColumn(const Rendered& r) {
  for (int x = 0; x < r.Image.Width; ++x)
    if (r.At(x, 0) == kRed) return x;
  return -1;
}

// A movie whose red square (depth 1) steps one pixel right per frame, for
// `frames` frames; extra(frame, movie) adds tags to a frame.
Bytes Stepping(int frames, const std::function<void(int, Movie&)>& extra = {}) {
  Movie movie(10, 1, kWhite);
  movie.Add(RectShape(1, 0, 0, 20, 20, Solid(kRed)));
  for (int f = 1; f <= frames; ++f) {
    if (f == 1) movie.Add(Place(1, 1));
    else movie.Add(Move(1, (f - 1) * 20, 0));
    if (extra) extra(f, movie);
    movie.ShowFrame();
  }
  return movie.Save();
}

TEST(RenderTimeline, FrameNIsTheStateAfterNFrames) {
  const Bytes movie = Stepping(5);
  for (int f = 1; f <= 5; ++f) EXPECT_EQ(RedColumn(Render(movie, f)), f - 1) << "frame " << f;
}

TEST(RenderTimeline, ASpriteStartsAtItsFirstFrameWhenPlaced) {
  Movie movie(10, 1, kWhite);
  movie.Add(RectShape(1, 0, 0, 20, 20, Solid(kRed)));
  auto sprite = std::make_unique<TSWFDefineSprite>();
  sprite->SpriteId = 2;
  sprite->FrameCount = 3;
  for (int f = 0; f < 3; ++f) {
    if (f == 0) sprite->ControlTags.push_back(Place(1, 1));
    else sprite->ControlTags.push_back(Move(1, f * 20, 0));
    sprite->ControlTags.push_back(std::make_unique<TSWFShowFrame>());
  }
  sprite->ControlTags.push_back(std::make_unique<TSWFEnd>());
  movie.Add(std::move(sprite));
  movie.ShowFrame();                  // frame 1: nothing
  movie.Add(Place(1, 2, 100, 0));     // frame 2: the sprite at x = 5
  for (int f = 2; f <= 6; ++f) movie.ShowFrame();
  const Bytes bytes = movie.Save();
  EXPECT_EQ(RedColumn(Render(bytes, 1)), -1);
  EXPECT_EQ(RedColumn(Render(bytes, 2)), 5);
  EXPECT_EQ(RedColumn(Render(bytes, 3)), 6);
  EXPECT_EQ(RedColumn(Render(bytes, 4)), 7);
  EXPECT_EQ(RedColumn(Render(bytes, 5)), 5);  // the sprite loops
}

TEST(RenderTimeline, StopAndGotoRunAtTheEndOfTheFrame) {
  const Bytes stopping = Stepping(5, [](int f, Movie& m) {
    if (f == 2) m.Add(StopScript());
  });
  EXPECT_EQ(RedColumn(Render(stopping, 2)), 1);
  EXPECT_EQ(RedColumn(Render(stopping, 4)), 1);

  const Bytes looping = Stepping(5, [](int f, Movie& m) {
    if (f == 3) m.Add(GotoAndPlayScript(1));
  });
  EXPECT_EQ(RedColumn(Render(looping, 3)), 0);  // the go-to shows frame 1 at once
  EXPECT_EQ(RedColumn(Render(looping, 4)), 1);
  EXPECT_EQ(RedColumn(Render(looping, 5)), 0);  // frame 3 again, and its go-to
}

TEST(RenderTimeline, OtherScriptsAreNotRunAndSaidOnce) {
  const Bytes movie = Stepping(4, [](int f, Movie& m) {
    if (f <= 2) m.Add(TraceAndStopScript());
  });
  const Rendered r = Render(movie, 3);
  EXPECT_EQ(RedColumn(r), 2);
  ASSERT_EQ(r.Warnings.size(), 1u);
  EXPECT_NE(r.Warnings[0].find("scripts were not run"), std::string::npos);
}

TEST(RenderTimeline, MasksClipTheDepthsTheyCover) {
  Movie movie(10, 10, kWhite);
  movie.Add(RectShape(1, 0, 0, 200, 200, Solid(kRed)));
  movie.Add(RectShape(2, 40, 40, 100, 100, Solid(Rgba(0, 0, 0))));  // the mask: pixels 2..4
  movie.Add(RectShape(3, 0, 0, 200, 20, Solid(Rgba(0, 0, 255))));   // above the masked range
  auto mask = Place(1, 2);
  mask->SetClipDepth(2);
  movie.Add(std::move(mask));
  movie.Add(Place(2, 1));
  movie.Add(Place(3, 3));
  movie.ShowFrame();
  const Rendered r = Render(movie.Save());
  EXPECT_EQ(r.At(3, 3), kRed);
  EXPECT_EQ(r.At(6, 6), kWhite);
  EXPECT_EQ(r.At(1, 3), kWhite);
  EXPECT_EQ(r.At(6, 0), Rgba(0, 0, 255));  // not masked
}

TEST(RenderTimeline, AMaskInsideAMaskedSpriteClipsToBoth) {
  Movie movie(10, 10, kWhite);
  movie.Add(RectShape(1, 0, 0, 200, 200, Solid(kRed)));
  movie.Add(RectShape(2, 0, 0, 120, 200, Solid(Rgba(0, 0, 0))));  // columns 0..5
  movie.Add(RectShape(3, 0, 0, 200, 120, Solid(Rgba(0, 0, 0))));  // rows 0..5
  auto sprite = std::make_unique<TSWFDefineSprite>();
  sprite->SpriteId = 4;
  sprite->FrameCount = 1;
  auto inner = Place(1, 3);
  inner->SetClipDepth(2);
  sprite->ControlTags.push_back(std::move(inner));
  sprite->ControlTags.push_back(Place(2, 1));
  sprite->ControlTags.push_back(std::make_unique<TSWFShowFrame>());
  sprite->ControlTags.push_back(std::make_unique<TSWFEnd>());
  movie.Add(std::move(sprite));
  auto outer = Place(1, 2);
  outer->SetClipDepth(5);
  movie.Add(std::move(outer));
  movie.Add(Place(2, 4));
  movie.ShowFrame();
  const Rendered r = Render(movie.Save());
  EXPECT_EQ(r.At(2, 2), kRed);
  EXPECT_EQ(r.At(8, 2), kWhite);
  EXPECT_EQ(r.At(2, 8), kWhite);
  EXPECT_EQ(r.At(8, 8), kWhite);
}

}  // namespace
}  // namespace yel::swf::render

namespace yel::swf::render {
namespace {

using namespace testing;

// Slides as an album has them: each frame a new bitmap and shape replace
// the last at one depth; with the release plan, definitions that no later
// frame can use are let go and the frames look the same.
TEST(RenderTimeline, ReleasedDefinitionsDoNotChangeTheFrames) {
  Movie movie(4, 4, Rgba(255, 255, 255));
  for (int f = 0; f < 20; ++f) {
    const std::uint16_t bitmap = std::uint16_t(100 + f), shape = std::uint16_t(200 + f);
    movie.Add(Lossless(bitmap, 1, 1, {0xFF000000u | std::uint32_t(f * 10) << 16}, false));
    movie.Add(RectShape(shape, 0, 0, 80, 80, BitmapFill(bitmap, 0, 0)));
    if (f > 0) {
      auto remove = std::make_unique<TSWFRemoveObject2>();
      remove->Depth = 1;
      movie.Add(std::move(remove));
    }
    movie.Add(Place(1, shape));
    movie.ShowFrame();
  }
  const Bytes bytes = movie.Save();
  auto planned = TMovie::OpenBytes(bytes.data(), bytes.size(), "slides.swf");
  ASSERT_TRUE(planned->PlanReleases());
  TPlayer player(*planned);
  TFrameRenderer renderer(*planned);
  for (int f = 1; f <= 20; ++f) {
    player.AdvanceTo(f);
    TBitmap image;
    image.Width = image.Height = 4;
    renderer.Render(player.Root(), image);
    EXPECT_EQ(image.Pixels[5], Render(bytes, f).Image.Pixels[5]) << "frame " << f;
    EXPECT_LE(planned->DefinitionCount(), 4u) << "frame " << f;
  }
  EXPECT_LE(renderer.CachedCharacters(), 2u);
}

TEST(RenderTimeline, AMovieThatGoesBackKeepsItsDefinitions) {
  Movie movie(4, 4);
  movie.Add(RectShape(1, 0, 0, 80, 80, Solid(Rgba(0, 0, 0))));
  movie.Add(Place(1, 1));
  movie.ShowFrame();
  movie.ShowFrame();
  movie.Add(GotoAndPlayScript(1));
  movie.ShowFrame();
  const Bytes bytes = movie.Save();
  auto m = TMovie::OpenBytes(bytes.data(), bytes.size(), "loop.swf");
  EXPECT_FALSE(m->PlanReleases());
}

}  // namespace
}  // namespace yel::swf::render
