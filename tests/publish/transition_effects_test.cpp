// Transition generators: frame counts, the mended zero-step case, the
// emptied transition depth, and the figures of chosen frames read back from
// the mask shapes.
#include "publish/transition_effects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "album/effect_codes.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"
#include "swf/format/place_object_tags.h"
#include "swf/format/shape_records.h"
#include "tests/testing/shape_paths.h"

namespace yel::publish {
namespace {

using swf::TFlashMovie;

// Axis-aligned box of one subpath, in pixels: x0, y0, x1, y1.
using Box = std::array<int, 4>;

// The boxes of the subpaths of a shape (each figure starts with a move).
std::vector<Box> Subpaths(const swf::TFlashShape& shape) {
  std::vector<Box> boxes;
  int x = 0, y = 0;
  for (const auto& record : shape.Records()) {
    if (record->RecordKind == swf::TSWFShapeRecordKind::StyleChange) {
      const auto& s = static_cast<const swf::TSWFStyleChangeRecord&>(*record);
      if (!s.StateMoveTo) continue;
      x = s.DeltaX, y = s.DeltaY;
      boxes.push_back({x, y, x, y});
    } else if (record->RecordKind == swf::TSWFShapeRecordKind::StraightEdge) {
      const auto& e = static_cast<const swf::TSWFStraightEdgeRecord&>(*record);
      // The pen starts at (0, 0): a first figure there needs no move.
      if (boxes.empty()) boxes.push_back({x, y, x, y});
      x += e.DeltaX, y += e.DeltaY;
      Box& b = boxes.back();
      b = {std::min(b[0], x), std::min(b[1], y), std::max(b[2], x), std::max(b[3], y)};
    }
  }
  for (Box& b : boxes)
    for (int& v : b) v /= 20;
  return boxes;
}

struct Generated {
  std::unique_ptr<TFlashMovie> movie;
  std::vector<swf::TFlashShape*> masks;  // shapes added by the generator
  bool ran = false;
};

Generated Generate(std::int32_t code, float speed, float fps, int w = 720, int h = 540) {
  Generated r;
  r.movie = std::make_unique<TFlashMovie>(0, 0, w, h, fps, swf::TSWFSystemCoord::Pix);
  swf::TFlashShape* black = r.movie->AddRectangle(0, 0, w, h);
  black->SetSolidColor(0);
  TTransitionParams p;
  p.Movie = r.movie.get();
  p.W = w, p.H = h, p.FrameRate = fps, p.Speed = speed, p.X = 10, p.Y = 20;
  p.Outgoing = black;
  const auto before = r.movie->Shapes().Count();
  r.ran = TSlideShowEffect().Run(code, p);
  for (auto i = before; i < r.movie->Shapes().Count(); ++i) r.masks.push_back(r.movie->Shapes().Items(i));
  return r;
}

TEST(TransitionEffects, RoundsHalvesToEven) {
  EXPECT_EQ(RoundEven(360.5), 360);
  EXPECT_EQ(RoundEven(361.5), 362);
  EXPECT_EQ(RoundEven(-0.5), 0);
  EXPECT_EQ(RoundEven(-90.01), -90);
  EXPECT_EQ(RoundEven(1e12), INT32_MAX);
}

TEST(TransitionEffects, EveryEffectWritesItsFramesAndEmptiesItsDepth) {
  // Speed 0.5 at 12 frames per second: E = 6.
  ASSERT_EQ(AllEffects().size(), 35u);
  for (const EffectInfo& effect : AllEffects()) {
    SCOPED_TRACE(effect.Name);
    Generated r = Generate(effect.Code, 0.5f, 12);
    ASSERT_TRUE(r.ran);
    const int expected = effect.Name == "Wedge1" ? 6 : 7;
    EXPECT_EQ(r.movie->FrameCount, expected);
    EXPECT_EQ(TransitionFrameCount(effect.Code, 0.5f, 12), expected);
    // One mask per frame ("Fade1" reuses one), one masking sprite per frame.
    EXPECT_EQ(r.masks.size(), effect.Name == "Fade1" ? 1u : std::size_t(expected));
    EXPECT_EQ(r.movie->Sprites().Count(), expected);
    const auto* last = dynamic_cast<const swf::TSWFRemoveObject2*>(r.movie->ObjectList().back().get());
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->Depth, 102);
  }
}

TEST(TransitionEffects, CodesWithoutGeneratorAndZeroStepsWriteNothing) {
  struct Case {
    std::int32_t code;
    float speed;
  };
  // 0 and unknown codes; a speed below half a frame (E = 0) would divide by
  // zero in every generator and writes nothing instead.
  for (Case c : {Case{0, 2}, Case{256, 2}, Case{4358, 2}, Case{257, 0.02f}, Case{1537, 0}, Case{4097, 0.01f}}) {
    SCOPED_TRACE(c.code);
    Generated r = Generate(c.code, c.speed, 24);
    EXPECT_FALSE(r.ran);
    EXPECT_EQ(r.movie->FrameCount, 0);
    EXPECT_EQ(r.movie->ObjectList().size(), 1u);  // only the outgoing rectangle
    EXPECT_EQ(TransitionFrameCount(c.code, c.speed, 24), 0);
  }
}

TEST(TransitionEffects, BlindsOpenSixBandsAsTheWorkedExampleSays) {
  Generated r = Generate(257, 2, 24);
  ASSERT_EQ(r.masks.size(), 49u);
  for (auto [t, height] : {std::pair{1, 2}, {24, 45}, {48, 90}}) {
    SCOPED_TRACE(t);
    std::vector<Box> boxes = Subpaths(*r.masks[t]);
    ASSERT_EQ(boxes.size(), 7u);
    EXPECT_EQ(boxes[0], (Box{0, 0, 720, 540}));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(boxes[i + 1], (Box{0, 90 * i, 720, 90 * i + height}));
  }
}

TEST(TransitionEffects, FiguresOfChosenFrames) {
  struct Case {
    const char* name;
    int t;
    std::vector<Box> boxes;
  };
  // 720 x 540, E = 48. Down-counting rows start from n = E.
  const std::vector<Case> cases = {
      {"Box1", 0, {{0, 0, 720, 540}}},
      {"Box1", 48, {{360, 270, 360, 270}}},
      {"Box2", 24, {{0, 0, 720, 540}, {180, 135, 540, 405}}},
      {"Pull1", 0, {{0, 0, 720, 540}}},
      {"Pull3", 12, {{180, 135, 720, 540}}},
      {"Split2", 0, {{0, 0, 720, 540}, {0, 270, 720, 270}}},
      {"Split3", 12, {{90, 0, 630, 540}}},
      {"Plus1", 0, {{0, 0, 360, 270}, {360, 0, 720, 270}, {0, 270, 360, 540}, {360, 270, 720, 540}}},
      {"Plus2", 48, {{-1, -1, 719, 539}}},
      {"Wipe2", 12, {{0, 0, 720, 540}, {540, 0, 720, 540}}},
      {"Wipe3", 24, {{0, 0, 720, 540}, {0, 270, 720, 540}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " t=" + std::to_string(c.t));
    Generated r = Generate(EffectCodeByName(c.name), 2, 24);
    ASSERT_GT(r.masks.size(), std::size_t(c.t));
    EXPECT_EQ(Subpaths(*r.masks[c.t]), c.boxes);
  }
}

TEST(TransitionEffects, HolesRunAgainstTheFullRectangle) {
  // Masks that start with the full rectangle: every other figure is a hole
  // and runs the other way, so the even-odd and the non-zero fill rules
  // open the same holes.
  for (const char* name : {"Blinds1", "Blinds2", "Circle1", "Box2", "Diamond2", "Split2", "Split4", "Strips1",
                           "Strips2", "Strips3", "Strips4", "Wedge1", "Wheel1", "Wheel2", "Wheel3", "Wheel4",
                           "Wheel5", "Wipe1", "Wipe2", "Wipe3", "Wipe4"}) {
    SCOPED_TRACE(name);
    Generated r = Generate(EffectCodeByName(name), 0.5f, 14, 721, 541);  // E = 7
    for (std::size_t t = 0; t < r.masks.size(); ++t) {
      const std::vector<double> areas = testing::SubpathAreas(r.masks[t]->Records());
      ASSERT_FALSE(areas.empty()) << t;
      EXPECT_DOUBLE_EQ(areas[0], 2.0 * 721 * 541 * 400) << t;
      for (std::size_t i = 1; i < areas.size(); ++i) EXPECT_LE(areas[i], 0) << "frame " << t << " figure " << i;
    }
  }
}

// The anchor points of each subpath of a shape, in twips (curves by their
// anchors only), whatever the direction the subpath runs.
std::vector<std::vector<std::array<double, 2>>> Anchors(const swf::TFlashShape& shape) {
  std::vector<std::vector<std::array<double, 2>>> paths;
  double x = 0, y = 0;
  for (const auto& record : shape.Records()) {
    switch (record->RecordKind) {
      case swf::TSWFShapeRecordKind::StyleChange: {
        const auto& s = static_cast<const swf::TSWFStyleChangeRecord&>(*record);
        if (!s.StateMoveTo) continue;
        x = s.DeltaX, y = s.DeltaY;
        paths.push_back({{x, y}});
        break;
      }
      case swf::TSWFShapeRecordKind::StraightEdge: {
        const auto& e = static_cast<const swf::TSWFStraightEdgeRecord&>(*record);
        if (paths.empty()) paths.push_back({{x, y}});
        x += e.DeltaX, y += e.DeltaY;
        paths.back().push_back({x, y});
        break;
      }
      case swf::TSWFShapeRecordKind::CurvedEdge: {
        const auto& c = static_cast<const swf::TSWFCurvedEdgeRecord&>(*record);
        if (paths.empty()) paths.push_back({{x, y}});
        x += c.ControlX + c.AnchorX, y += c.ControlY + c.AnchorY;
        paths.back().push_back({x, y});
        break;
      }
      case swf::TSWFShapeRecordKind::End:
        break;
    }
  }
  return paths;
}

// Recorded figures at an odd album size (721 x 541), where halves of the
// size round to even and rounding of the per-step values matters. Boxes are
// in pixels; the figure index counts the mask's subpaths from 0 (the full
// rectangle, where there is one).
TEST(TransitionEffects, FiguresAtAnOddAlbumSize) {
  struct BoxCase {
    const char* name;
    int E, t, figure;
    std::array<double, 4> box;  // x0, y0, x1, y1
  };
  const std::vector<BoxCase> boxes = {
      {"Circle1", 7, 3, 1, {52, 39, 670, 503}},
      {"Circle1", 7, 5, 1, {-154, -116, 876, 657}},
      {"Circle2", 7, 2, 0, {-3, -2, 725, 544}},
      {"Circle2", 7, 5, 0, {215, 161, 506, 380}},
      {"Diamond1", 7, 3, 0, {-52, -39, 772, 579}},
      {"Diamond2", 7, 3, 1, {51, 39, 669, 503}},  // top vertex at Round(360.5) = 360
      {"Strips1", 7, 2, 6, {575, 283, 1872, 326}},
      {"Strips2", 7, 2, 6, {-1151, 283, 146, 326}},
      {"Strips3", 7, 2, 6, {575, 215, 1872, 258}},
      {"Strips4", 7, 2, 6, {-1151, 215, 146, 258}},
      // Chess1 with m = 3: at t = 1 the first odd row starts with the
      // right-hand half cell, then its left-hand half, then column 1.
      {"Chess1", 7, 1, 7, {684, 55, 721, 110}},
      {"Chess1", 7, 1, 8, {0, 55, 52, 110}},
      {"Chess1", 7, 1, 10, {66, 55, 154, 110}},
      {"Chess1", 7, 1, 2, {221, 0, 309, 55}},
      {"Chess1", 7, 5, 7, {29, 55, 51, 110}},  // past m the left half shrinks
      {"Chess2", 7, 1, 9, {51, 147, 103, 218}},
      {"Chess2", 7, 1, 31, {207, 282, 259, 353}},
  };
  for (const BoxCase& c : boxes) {
    SCOPED_TRACE(std::string(c.name) + " t=" + std::to_string(c.t) + " figure " + std::to_string(c.figure));
    Generated r = Generate(EffectCodeByName(c.name), 1, float(c.E), 721, 541);
    ASSERT_GT(r.masks.size(), std::size_t(c.t));
    const auto paths = Anchors(*r.masks[c.t]);
    ASSERT_GT(paths.size(), std::size_t(c.figure));
    std::array<double, 4> got = {1e9, 1e9, -1e9, -1e9};
    for (const auto& [px, py] : paths[c.figure])
      got = {std::min(got[0], px), std::min(got[1], py), std::max(got[2], px), std::max(got[3], py)};
    // Ellipse anchors come from the pen's curve approximation, a few twips
    // off the box; a rounding fault is a whole pixel.
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i] / 20, c.box[i], 0.25) << i;
  }

  // Sectors: centre (Round(360.5), Round(270.5)) = (360, 270), radius
  // Round(sqrt(360.5^2 + 270.5^2)) = 451; end angles carry the 0.01 nudge
  // away from the start (o = 22.5 or 67.5 here, so without it the halves
  // would round to even the other way).
  struct PieCase {
    const char* name;
    int E, t, figure;
    int start, end;  // degrees, clockwise from the right
  };
  const std::vector<PieCase> pies = {
      {"Wheel1", 16, 3, 1, -90, -23},  {"Wheel2", 16, 2, 1, -90, -68}, {"Wheel2", 16, 2, 2, 90, 113},
      {"Wheel3", 16, 3, 1, -90, -68},  {"Wheel3", 16, 3, 2, 30, 53},   {"Wheel3", 16, 3, 3, 150, 173},
      {"Wheel4", 16, 4, 1, -90, -68},  {"Wheel4", 16, 4, 2, 0, 23},    {"Wheel4", 16, 4, 3, 90, 113},
      {"Wheel4", 16, 4, 4, 180, 203},  {"Wheel5", 16, 8, 1, -90, -68}, {"Wheel5", 16, 8, 2, -45, -23},
      {"Wheel5", 16, 8, 3, 0, 23},     {"Wheel5", 16, 8, 4, 45, 68},   {"Wheel5", 16, 8, 5, 90, 113},
      {"Wheel5", 16, 8, 6, 135, 158},  {"Wheel5", 16, 8, 7, 180, 203}, {"Wheel5", 16, 8, 8, 225, 248},
      {"Wedge1", 16, 2, 1, 248, -68},  // Round(247.5) = 248, Round(-67.51) = -68
  };
  for (const PieCase& c : pies) {
    SCOPED_TRACE(std::string(c.name) + " t=" + std::to_string(c.t) + " figure " + std::to_string(c.figure));
    Generated r = Generate(EffectCodeByName(c.name), 1, float(c.E), 721, 541);
    ASSERT_GT(r.masks.size(), std::size_t(c.t));
    const auto paths = Anchors(*r.masks[c.t]);
    ASSERT_GT(paths.size(), std::size_t(c.figure));
    // The angles of the arc's anchors; the sector runs clockwise from the
    // one after the widest gap to the one before it.
    std::vector<double> angles;
    for (const auto& [px, py] : paths[c.figure]) {
      const double dx = px - 360 * 20, dy = py - 270 * 20;
      if (std::hypot(dx, dy) < 400 * 20) continue;  // the centre
      EXPECT_NEAR(std::hypot(dx, dy), 451 * 20, 3);
      angles.push_back(std::fmod(std::atan2(dy, dx) * 180 / std::numbers::pi + 360, 360));
    }
    ASSERT_FALSE(angles.empty());
    std::sort(angles.begin(), angles.end());
    std::size_t after = 0;
    double widest = -1;
    for (std::size_t i = 0; i < angles.size(); ++i) {
      const double next = i + 1 < angles.size() ? angles[i + 1] : angles[0] + 360;
      if (next - angles[i] > widest) widest = next - angles[i], after = (i + 1) % angles.size();
    }
    const double start = angles[after], end = angles[(after + angles.size() - 1) % angles.size()];
    EXPECT_NEAR(start, (c.start + 360) % 360, 0.05);
    EXPECT_NEAR(end, (c.end + 360) % 360, 0.05);
  }
}

TEST(TransitionEffects, ChessAddsTheWrappingHalfCellsUntilHalfway) {
  // Chess1: 70 cells, plus one right-hand half cell per column of the five
  // odd rows while t < E div 2.
  Generated r = Generate(1025, 2, 24);
  EXPECT_EQ(Subpaths(*r.masks[0]).size(), 105u);
  EXPECT_EQ(Subpaths(*r.masks[23]).size(), 105u);
  EXPECT_EQ(Subpaths(*r.masks[24]).size(), 70u);
  // Chess2: 98 cells in every frame, bounds one pixel larger.
  Generated r2 = Generate(1026, 2, 24);
  EXPECT_EQ(Subpaths(*r2.masks[10]).size(), 98u);
  EXPECT_EQ(r2.masks[0]->XMax(), 721);
  EXPECT_EQ(r2.masks[0]->YMax(), 541);
}

TEST(TransitionEffects, FadeLowersTheAlphaOfOneMask) {
  Generated r = Generate(1537, 0.5f, 12);  // E = 6
  std::vector<int> adds;
  for (const auto& object : r.movie->ObjectList())
    if (auto* place = dynamic_cast<swf::TFlashPlaceObject*>(object.get()); place && place->Depth() == 102)
      adds.push_back(place->ColorTransform().AddA());
  EXPECT_EQ(adds, (std::vector<int>{0, -42, -85, -127, -169, -212, -254}));
}

TEST(TransitionEffects, WheelCentreRoundsHalvesToEven) {
  // w = 721: the centre is Round(360.5) = 360; the first frame of Wheel1 is
  // the full rectangle and an empty sector, a vertical line up
  // from the centre.
  Generated r = Generate(4353, 0.5f, 12, 721, 541);
  std::vector<Box> boxes = Subpaths(*r.masks[0]);
  ASSERT_GE(boxes.size(), 2u);
  EXPECT_EQ(boxes[1][0], 360);
  EXPECT_EQ(boxes[1][2], 360);
  EXPECT_EQ(boxes[1][3], 270);
}

}  // namespace
}  // namespace yel::publish
