// Exact pixels where anti-aliasing has no say: solid rectangles on pixel
// edges, bitmaps drawn one to one, colour transforms and alpha.
#include <gtest/gtest.h>

#include <functional>

#include "tests/swf/render/render_fixtures.h"

namespace yel::swf::render {
namespace {

using namespace testing;

struct Pixel {
  int x, y;
  TPackedColor rgba;
};

struct Case {
  const char* name;
  std::function<void(Movie&)> build;
  std::vector<Pixel> expected;
};

const TPackedColor kWhite = Rgba(255, 255, 255);

TEST(RenderExactness, Table) {
  const std::vector<Case> cases = {
      {"opaque rectangle on pixel edges",
       [](Movie& m) {
         m.Add(RectShape(1, 100, 100, 300, 300, Solid(Rgba(10, 200, 30))));
         m.Add(Place(1, 1));
       },
       {{5, 5, Rgba(10, 200, 30)}, {14, 14, Rgba(10, 200, 30)}, {4, 5, kWhite}, {15, 15, kWhite}, {5, 15, kWhite}}},
      {"translucent fill over the background",
       [](Movie& m) {
         m.Add(RectShape(1, 0, 0, 400, 400, Solid(Rgba(255, 0, 0, 128))));
         m.Add(Place(1, 1));
       },
       {{3, 3, Rgba(255, 127, 127)}}},
      {"colour transform: multiply and add",
       [](Movie& m) {
         m.Add(RectShape(1, 0, 0, 400, 400, Solid(Rgba(200, 100, 50))));
         auto place = Place(1, 1);
         place->ColorTransform().SetMultR(128);
         place->ColorTransform().SetAddG(20);
         place->ColorTransform().SetAddB(-60);
         m.Add(std::move(place));
       },
       {{3, 3, Rgba(100, 120, 0)}}},
      {"alpha transform on an opaque fill",
       [](Movie& m) {
         m.Add(RectShape(1, 0, 0, 400, 400, Solid(Rgba(0, 0, 0))));
         auto place = Place(1, 1);
         place->ColorTransform().SetMultA(128);
         m.Add(std::move(place));
       },
       {{3, 3, Rgba(128, 128, 128)}}},
      {"transforms of a sprite and its child combine",
       [](Movie& m) {
         m.Add(RectShape(1, 0, 0, 400, 400, Solid(Rgba(200, 200, 200))));
         auto sprite = std::make_unique<TSWFDefineSprite>();
         sprite->SpriteId = 2;
         sprite->FrameCount = 1;
         auto inner = Place(1, 1);
         inner->ColorTransform().SetMultR(128);  // 200 -> 100
         sprite->ControlTags.push_back(std::move(inner));
         sprite->ControlTags.push_back(std::make_unique<TSWFShowFrame>());
         sprite->ControlTags.push_back(std::make_unique<TSWFEnd>());
         m.Add(std::move(sprite));
         auto outer = Place(1, 2);
         outer->ColorTransform().SetMultR(128);  // 100 -> 50
         outer->ColorTransform().SetAddB(10);
         m.Add(std::move(outer));
       },
       {{3, 3, Rgba(50, 200, 210)}}},
      {"bitmap drawn one to one",
       [](Movie& m) {
         m.Add(Lossless(5, 3, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF102030, 0xFFFFFFFF, 0xFF000000}, false));
         m.Add(RectShape(1, 80, 80, 140, 120, BitmapFill(5, 4, 4)));
         m.Add(Place(1, 1));
       },
       {{4, 4, Rgba(255, 0, 0)},
        {5, 4, Rgba(0, 255, 0)},
        {6, 4, Rgba(0, 0, 255)},
        {4, 5, Rgba(0x10, 0x20, 0x30)},
        {5, 5, kWhite},
        {6, 5, Rgba(0, 0, 0)},
        {7, 4, kWhite},
        {3, 4, kWhite}}},
      {"bitmap with alpha",
       [](Movie& m) {
         m.Add(Lossless(5, 2, 1, {0x80800000, 0x00000000}, true));
         m.Add(RectShape(1, 40, 40, 80, 60, BitmapFill(5, 2, 2)));
         m.Add(Place(1, 1));
       },
       {{2, 2, Rgba(255, 127, 127)}, {3, 2, kWhite}}},
      {"repeating bitmap, not smoothed",
       [](Movie& m) {
         m.Add(Lossless(5, 2, 1, {0xFFFF0000, 0xFF0000FF}, false));
         m.Add(RectShape(1, 0, 0, 120, 20, BitmapFill(5, 0, 0, kFillNonSmoothTileBitmap)));
         m.Add(Place(1, 1));
       },
       {{0, 0, Rgba(255, 0, 0)}, {1, 0, Rgba(0, 0, 255)}, {4, 0, Rgba(255, 0, 0)}, {5, 0, Rgba(0, 0, 255)}}},
      {"bitmap under an alpha transform",
       [](Movie& m) {
         m.Add(Lossless(5, 1, 1, {0xFF000000}, false));
         m.Add(RectShape(1, 0, 0, 20, 20, BitmapFill(5, 0, 0)));
         auto place = Place(1, 1);
         place->ColorTransform().SetMultA(128);
         m.Add(std::move(place));
       },
       {{0, 0, Rgba(128, 128, 128)}}},
      {"bitmap under a colour transform",
       [](Movie& m) {
         m.Add(Lossless(5, 1, 1, {0xFF808080}, false));
         m.Add(RectShape(1, 0, 0, 20, 20, BitmapFill(5, 0, 0)));
         auto place = Place(1, 1);
         place->ColorTransform().SetMultG(0);
         place->ColorTransform().SetAddB(100);
         m.Add(std::move(place));
       },
       {{0, 0, Rgba(128, 0, 228)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Movie movie(20, 20, kWhite);
    c.build(movie);
    movie.ShowFrame();
    const Rendered r = Render(movie.Save());
    EXPECT_TRUE(r.Warnings.empty()) << r.Warnings.front();
    for (const Pixel& p : c.expected)
      EXPECT_EQ(r.At(p.x, p.y), p.rgba) << "pixel " << p.x << "," << p.y << ": got " << std::hex << r.At(p.x, p.y)
                                        << ", want " << p.rgba;
  }
}

// The stage scaled to twice its size: a rectangle on pixel edges stays on
// pixel edges, exactly.
TEST(RenderExactness, ScaledStageKeepsAlignedEdgesExact) {
  Movie movie(20, 10, kWhite);
  movie.Add(RectShape(1, 100, 60, 200, 140, Solid(Rgba(0, 0, 255))));
  movie.Add(Place(1, 1));
  movie.ShowFrame();
  const Rendered r = Render(movie.Save(), 1, 40, 20);
  EXPECT_EQ(r.At(10, 6), Rgba(0, 0, 255));
  EXPECT_EQ(r.At(19, 13), Rgba(0, 0, 255));
  EXPECT_EQ(r.At(9, 6), kWhite);
  EXPECT_EQ(r.At(20, 13), kWhite);
  EXPECT_EQ(r.At(10, 5), kWhite);
  EXPECT_EQ(r.At(10, 14), kWhite);
}

}  // namespace
}  // namespace yel::swf::render
