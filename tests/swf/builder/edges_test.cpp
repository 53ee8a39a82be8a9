// The edges pen: records for moves, lines and curves, the splitting and
// merging of straight edges, every figure, the cubic approximation,
// mirroring, offsets and bounds.
#include <gtest/gtest.h>

#include <cmath>

#include "swf/builder/flash_edges.h"
#include "swf/builder/flash_movie.h"
#include "tests/swf/builder/builder_test_util.h"
#include "tests/testing/shape_paths.h"

namespace yel::swf {
namespace {

using testing::Describe;
using testing::EndPoint;

// A pen in twips (no movie) on its own record list.
struct Pen {
  TSWFShapeRecords records;
  TFlashEdges edges{records, nullptr};
  std::string Text() const { return Describe(records); }
};

TEST(EdgesTest, StartsWithAStyleChangeNamingFillOne) {
  Pen pen;
  EXPECT_EQ(pen.Text(), "Sf1=0");
  // A move to where the pen already is adds nothing.
  pen.edges.MoveTo(0, 0);
  EXPECT_EQ(pen.Text(), "Sf1=0");
  // The first move uses the record that is there; a later one after edges
  // appends a new record.
  pen.edges.MoveTo(10, 20);
  pen.edges.LineTo(30, 20);
  pen.edges.MoveTo(30, 20);
  pen.edges.MoveDelta(0, 0);
  pen.edges.MoveDelta(5, 5);
  EXPECT_EQ(pen.Text(), "SM10,20f1=0 L20,0 SM35,25");
  EXPECT_EQ(pen.edges.LastStart, (TPoint{35, 25}));
}

TEST(EdgesTest, ZeroLengthLinesAddNothing) {
  Pen pen;
  EXPECT_EQ(pen.edges.LineTo(0, 0), nullptr);
  EXPECT_EQ(pen.edges.LineDelta(0, 0), nullptr);
  EXPECT_EQ(pen.edges.CurveTo(50, 50, 0, 0), nullptr);
  EXPECT_EQ(pen.Text(), "Sf1=0");
}

TEST(EdgesTest, LongEdgesAreSplitIntoPiecesThatAddUp) {
  Pen pen;
  pen.edges.LineDelta(0, 200000);
  EXPECT_EQ(pen.Text(), "Sf1=0 L0,50000 L0,50000 L0,50000 L0,50000");
  Pen odd;
  odd.edges.LineDelta(131069, -70001);  // two pieces, rounded to add up exactly
  EXPECT_EQ(odd.Text(), "Sf1=0 L65534,-35000 L65535,-35001");
  EXPECT_EQ(EndPoint(odd.records), (TPoint{131069, -70001}));
}

TEST(EdgesTest, CurvesOnALineBecomeStraightEdges) {
  struct Case {
    std::int32_t cx, cy, ax, ay;
    const char* records;
  };
  const Case cases[] = {
      {0, 0, 10, 10, "L10,10"},    {10, 10, 0, 0, "L10,10"}, {10, 0, 5, 0, "L15,0"},
      {0, 10, 0, -3, "L0,7"},      {10, 0, -10, 0, ""},      {10, 5, 3, 4, "C10,5,3,4"},
  };
  for (const Case& c : cases) {
    Pen pen;
    pen.edges.CurveDelta(c.cx, c.cy, c.ax, c.ay);
    std::string expected = std::string("Sf1=0") + (*c.records ? " " : "") + c.records;
    EXPECT_EQ(pen.Text(), expected) << c.cx << "," << c.cy << "," << c.ax << "," << c.ay;
    EXPECT_EQ(pen.edges.CurrentPos, (TPoint{c.cx + c.ax, c.cy + c.ay}));
  }
  Pen absolute;
  absolute.edges.MoveTo(100, 100);
  EXPECT_NE(absolute.edges.CurveTo(150, 100, 150, 150), nullptr);
  EXPECT_EQ(absolute.Text(), "SM100,100f1=0 C50,0,0,50");
}

TEST(EdgesTest, OptimizeModeMergesContinuingEdges) {
  Pen pen;
  pen.edges.OptimizeMode = true;
  pen.edges.LineDelta(10, 0);
  pen.edges.LineDelta(20, 0);    // same direction: merged
  pen.edges.LineDelta(0, 5);
  pen.edges.LineDelta(0, -5);    // turns back: kept
  pen.edges.LineDelta(7, 7);
  pen.edges.LineDelta(7, 7);     // the same offset again: merged
  pen.edges.LineDelta(40000, 0);
  pen.edges.LineDelta(30000, 0); // the sum would not fit: kept
  EXPECT_EQ(pen.Text(), "Sf1=0 L30,0 L0,5 L0,-5 L14,14 L40000,0 L30000,0");
}

TEST(EdgesTest, PixelMoviesScaleEveryCoordinate) {
  TFlashMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  TSWFShapeRecords records;
  TFlashEdges edges(records, &movie);
  edges.MoveTo(1, 2);
  edges.MakeRectangle(10, 5);
  EXPECT_EQ(Describe(records), "SM20,40f1=0 L200,0 L0,100 L-200,0 L0,-100");
  edges.IgnoreMovieSettings = true;
  edges.LineDelta(3, 0);
  EXPECT_EQ(Describe(records).substr(Describe(records).rfind(' ') + 1), "L3,0");
}

TEST(EdgesTest, DiamondAndRoundedRectangle) {
  Pen diamond;
  diamond.edges.MoveTo(50, 0);
  diamond.edges.MakeDiamond(100, 61);
  EXPECT_EQ(diamond.Text(), "SM50,0f1=0 L50,30 L-50,30 L-50,-30 L50,-30");

  Pen round;
  round.edges.MakeRoundRect(1000, 600, 100, 80);
  // A move to the right side, then per side a line and two quarter-curves.
  EXPECT_EQ(round.records.size(), 1u + 4 + 8);
  EXPECT_EQ(EndPoint(round.records), (TPoint{1000, 80}));
  TRect bounds = round.edges.GetBoundsRect();
  EXPECT_NEAR(bounds.Left, 0, 2);
  EXPECT_NEAR(bounds.Top, 0, 2);
  EXPECT_NEAR(bounds.Right, 1000, 2);
  EXPECT_NEAR(bounds.Bottom, 600, 2);
}

TEST(EdgesTest, EllipseIsEightClosedCurvesInsideItsBox) {
  Pen pen;
  pen.edges.MoveTo(100, 200);
  pen.edges.MakeEllipse(1000, 600);
  ASSERT_EQ(pen.records.size(), 9u);
  EXPECT_EQ(Describe(pen.records).substr(0, 15), "SM1100,500f1=0 ");
  EXPECT_EQ(EndPoint(pen.records), (TPoint{1100, 500}));
  // The anchors lie on the ellipse.
  TPoint p{1100, 500};
  for (std::size_t i = 1; i < pen.records.size(); ++i) {
    const auto& c = static_cast<const TSWFCurvedEdgeRecord&>(*pen.records[i]);
    p.X += c.ControlX + c.AnchorX;
    p.Y += c.ControlY + c.AnchorY;
    double nx = (p.X - 600) / 500.0, ny = (p.Y - 500) / 300.0;
    EXPECT_NEAR(nx * nx + ny * ny, 1.0, 0.02) << "segment " << i - 1;
  }
  TRect bounds = pen.edges.GetBoundsRect();
  EXPECT_NEAR(bounds.Left, 100, 3);
  EXPECT_NEAR(bounds.Right, 1100, 3);
  EXPECT_NEAR(bounds.Top, 200, 3);
  EXPECT_NEAR(bounds.Bottom, 800, 3);
}

TEST(EdgesTest, PieOverTheZeroAngleSweepsTheShortWay) {
  Pen pen;
  pen.edges.MoveTo(1000, 1000);
  TSWFStraightEdgeRecord* last = pen.edges.MakePie(100, 350, 10);
  EXPECT_EQ(pen.Text(), "SM1000,1000f1=0 L98,-17 C3,17,-3,17 L-98,-17");
  EXPECT_EQ(last, pen.records.back().get());
  EXPECT_EQ(pen.edges.CurrentPos, (TPoint{1000, 1000}));
}

TEST(EdgesTest, PieSegmentsFollowTheCircle) {
  for (bool clockwise : {true, false}) {
    Pen pen;
    pen.edges.MakePie(1000, 500, 0, 270, clockwise);
    // 270 degrees: six 45-degree curves between the two radii.
    ASSERT_EQ(pen.records.size(), 1u + 1 + 6 + 1);
    const auto& first = static_cast<const TSWFStraightEdgeRecord&>(*pen.records[1]);
    EXPECT_EQ(first.DeltaX, 1000);
    TPoint end{first.DeltaX, first.DeltaY};
    for (int i = 2; i < 8; ++i) {
      const auto& c = static_cast<const TSWFCurvedEdgeRecord&>(*pen.records[i]);
      end.X += c.ControlX + c.AnchorX;
      end.Y += c.ControlY + c.AnchorY;
    }
    // At 270 degrees: straight up on screen clockwise (y grows downward), down otherwise.
    EXPECT_NEAR(end.X, 0, 1);
    EXPECT_NEAR(end.Y, clockwise ? -500 : 500, 1);
    EXPECT_EQ(EndPoint(pen.records), (TPoint{0, 0}));
  }
}

TEST(EdgesTest, ArcMovesToItsStartAndClosesWithAChord) {
  Pen open;
  open.edges.MakeArc(500, 500, 100, 100, 0, 90, false, true);
  // Two 45-degree curves from (600, 500) down to (500, 600).
  ASSERT_EQ(open.records.size(), 3u);
  EXPECT_EQ(open.Text().substr(0, 14), "SM600,500f1=0 ");
  EXPECT_EQ(EndPoint(open.records), (TPoint{500, 600}));
  Pen closed;
  closed.edges.MakeArc(500, 500, 100, 100, 0, 90, true, true);
  ASSERT_EQ(closed.records.size(), 4u);
  EXPECT_EQ(closed.Text().substr(closed.Text().rfind(' ') + 1), "L100,-100");
  // Equal angles draw nothing; the pen only moves to the start point.
  Pen empty;
  empty.edges.MakeArc(0, 0, 100, 100, 0, 0, true, true);
  EXPECT_EQ(empty.Text(), "SM100,0f1=0");
}

TEST(EdgesTest, StarPointsAndTheirClamping) {
  struct Case {
    std::uint16_t points;
    bool curved;
    std::size_t edges;
  };
  for (const Case& c : {Case{5, false, 10}, Case{5, true, 5}, Case{1, false, 4}, Case{1000, false, 720}}) {
    Pen pen;
    pen.edges.MakeStar(0, 0, 1000, 400, c.points, c.curved);
    EXPECT_EQ(pen.records.size(), 1 + c.edges) << c.points;
    EXPECT_EQ(EndPoint(pen.records), (TPoint{0, -1000})) << c.points;
  }
  Pen five;
  five.edges.MakeStar(0, 0, 1000, 400, 5, false);
  // The first inner point lies 36 degrees clockwise of the top.
  const auto& toInner = static_cast<const TSWFStraightEdgeRecord&>(*five.records[1]);
  EXPECT_EQ(toInner.DeltaX, 235);
  EXPECT_EQ(toInner.DeltaY, 1000 - 324);
}

double CubicAt(double p0, double p1, double p2, double p3, double t) {
  double u = 1 - t;
  return u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
}

TEST(EdgesTest, CubicBezierIsFollowedByQuadraticCurves) {
  Pen pen;
  pen.edges.MoveTo(0, 0);
  pen.edges.MakeCubicBezier({0, 3000}, {4000, 3000}, {4000, 0}, 4);
  EXPECT_EQ(pen.edges.CurrentPos, (TPoint{4000, 0}));
  EXPECT_EQ(EndPoint(pen.records), (TPoint{4000, 0}));
  // Every point of every quadratic piece is close to the cubic.
  std::vector<std::pair<double, double>> cubic;
  for (int i = 0; i <= 2000; ++i) {
    double t = i / 2000.0;
    cubic.emplace_back(CubicAt(0, 0, 4000, 4000, t), CubicAt(0, 3000, 3000, 0, t));
  }
  auto nearest = [&](double x, double y) {
    double best = 1e18;
    for (auto [cx, cy] : cubic) best = std::min(best, std::hypot(cx - x, cy - y));
    return best;
  };
  double x = 0, y = 0;
  int curves = 0;
  for (std::size_t i = 1; i < pen.records.size(); ++i) {
    ASSERT_EQ(pen.records[i]->RecordKind, TSWFShapeRecordKind::CurvedEdge);
    const auto& c = static_cast<const TSWFCurvedEdgeRecord&>(*pen.records[i]);
    ++curves;
    for (double t : {0.25, 0.5, 0.75}) {
      double qx = (1 - t) * (1 - t) * x + 2 * (1 - t) * t * (x + c.ControlX) + t * t * (x + c.ControlX + c.AnchorX);
      double qy = (1 - t) * (1 - t) * y + 2 * (1 - t) * t * (y + c.ControlY) + t * t * (y + c.ControlY + c.AnchorY);
      EXPECT_LT(nearest(qx, qy), 40) << "piece " << i << " at " << t;
    }
    x += c.ControlX + c.AnchorX;
    y += c.ControlY + c.AnchorY;
  }
  EXPECT_GE(curves, 4);
}

TEST(EdgesTest, StraightCubicIsAFewLinesNotAHalvingCascade) {
  Pen pen;
  pen.edges.MakeCubicBezier({100, 0}, {200, 0}, {300, 0}, 4);
  EXPECT_EQ(pen.Text(), "Sf1=0 L75,0 L75,0 L75,0 L75,0");
  Pen single;
  single.edges.MakeCubicBezier({0, 0}, {300, 300}, {300, 300}, 0);  // 0 parts means 1
  EXPECT_EQ(EndPoint(single.records), (TPoint{300, 300}));
}

TEST(EdgesTest, PolyBezierTakesGroupsOfThreeAndJoinsTheRestWithLines) {
  const std::vector<TPoint> points = {{0, 0}, {0, 100}, {100, 100}, {100, 0}, {200, 0}};
  Pen fromFirst;
  fromFirst.edges.MoveTo(5, 5);
  fromFirst.edges.MakePolyBezier(points);
  // Moved to p0; p1..p3 make one cubic; p4 is reached with a line.
  EXPECT_EQ(Describe(fromFirst.records).substr(0, 5), "SM0,0");
  EXPECT_EQ(fromFirst.Text().substr(fromFirst.Text().rfind(' ') + 1), "L100,0");
  EXPECT_EQ(EndPoint(fromFirst.records), (TPoint{200, 0}));

  Pen fromStart;
  fromStart.edges.MakePolyBezier(points, {0, 0});  // the pen is already there: no move
  EXPECT_EQ(fromStart.Text().substr(0, 6), "Sf1=0 ");
  // p0..p2 make a cubic (ending at p2), p3 and p4 are lines.
  EXPECT_EQ(fromStart.Text().substr(fromStart.Text().size() - 14), "L0,-100 L100,0");
}

TEST(EdgesTest, MirrorNegatesTheChosenAxesAndThePen) {
  Pen pen;
  pen.edges.MoveTo(10, 20);
  pen.edges.LineTo(30, 20);
  pen.edges.CurveDelta(5, 6, 7, 8);
  pen.edges.MakeMirror(true, false);
  EXPECT_EQ(pen.Text(), "SM-10,20f1=0 L-20,0 C-5,6,-7,8");
  EXPECT_EQ(pen.edges.CurrentPos, (TPoint{-42, 34}));
  pen.edges.MakeMirror(false, true);
  EXPECT_EQ(pen.Text(), "SM-10,-20f1=0 L-20,0 C-5,-6,-7,-8");
  pen.edges.LineTo(0, 0);
  EXPECT_EQ(EndPoint(pen.records), (TPoint{0, 0}));
}

TEST(EdgesTest, OrientSubpathsTurnsFiguresAgainstTheirOutline) {
  Pen pen;
  pen.edges.MakeRectangle(1000, 800);  // clockwise on screen
  const std::size_t holes = pen.records.size();
  pen.edges.MoveTo(100, 100);
  pen.edges.MakeRectangle(200, 100);
  pen.edges.MoveTo(500, 400);
  pen.edges.MakeEllipse(300, 200);
  pen.edges.MoveTo(500, 400);
  pen.edges.MakePie(300, -90, 30);
  pen.edges.MoveTo(700, 100);
  pen.edges.MakeRectangle(-100, 100);  // already counter-clockwise
  pen.edges.MoveTo(10, 10);
  pen.edges.LineDelta(50, 0);  // no area: left as drawn
  const TRect bounds = pen.edges.GetBoundsRect();
  const std::vector<double> before = yel::testing::SubpathAreas(pen.records);
  ASSERT_EQ(before.size(), 6u);

  pen.edges.OrientSubpaths(holes, false);
  const std::vector<double> after = yel::testing::SubpathAreas(pen.records);
  ASSERT_EQ(after.size(), 6u);
  EXPECT_GT(after[0], 0);
  for (std::size_t i = 1; i < 5; ++i) EXPECT_NEAR(after[i], -std::abs(before[i]), 1e-6 * std::abs(before[i])) << i;
  EXPECT_EQ(after[5], 0);
  EXPECT_EQ(pen.edges.GetBoundsRect(), bounds);
  // Every figure still closes where it starts; the pen ends where the last
  // subpath now ends.
  EXPECT_EQ(pen.edges.CurrentPos, (TPoint{60, 10}));
  const std::string text = pen.Text();
  pen.edges.OrientSubpaths(holes, false);
  EXPECT_EQ(pen.Text(), text) << "already oriented";
  pen.edges.OrientSubpaths(0, true);
  for (double area : yel::testing::SubpathAreas(pen.records)) EXPECT_GE(area, 0);
}

TEST(EdgesTest, OffsetMovesEverySubpathIncludingOneThatStartsAtTheOrigin) {
  Pen pen;
  pen.edges.LineDelta(100, 0);
  pen.edges.MoveTo(500, 500);
  pen.edges.LineDelta(0, 100);
  pen.edges.OffsetEdges(5, 7);
  EXPECT_EQ(pen.Text(), "SM5,7f1=0 L100,0 SM505,507 L0,100");
  EXPECT_EQ(pen.edges.CurrentPos, (TPoint{505, 607}));

  TFlashMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  TSWFShapeRecords records;
  TFlashEdges edges(records, &movie);
  edges.MoveTo(1, 1);
  edges.OffsetEdges(1, 2);
  edges.OffsetEdges(1, 2, false);
  EXPECT_EQ(Describe(records), "SM41,62f1=0");
}

TEST(EdgesTest, BoundsIncludeControlPoints) {
  Pen empty;
  empty.records.clear();
  EXPECT_EQ(empty.edges.GetBoundsRect(), TRect{});
  Pen single;
  single.edges.MoveTo(30, 40);
  EXPECT_EQ(single.edges.GetBoundsRect(), (TRect{30, 40, 30, 40}));
  Pen pen;
  pen.edges.MoveTo(100, 100);
  pen.edges.CurveDelta(50, -100, 50, 100);
  pen.edges.MoveTo(-20, 300);
  EXPECT_EQ(pen.edges.GetBoundsRect(), (TRect{-20, 0, 200, 300}));
}

TEST(EdgesTest, ExtremeInputSaturatesInsteadOfOverflowing) {
  constexpr std::int32_t kBig = 2147483647;
  // In a pixel movie every coordinate is multiplied by 20 on the way in.
  TFlashMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  TSWFShapeRecords scaled;
  TFlashEdges pixels(scaled, &movie);
  pixels.MoveTo(kBig, -kBig);
  pixels.CurveDelta(kBig, kBig, kBig, -kBig);
  pixels.MakeEllipse(kBig, kBig);
  pixels.OffsetEdges(kBig, kBig);
  pixels.MakeMirror(true, true);
  EXPECT_EQ(pixels.CurrentPos.X, -kBig);

  Pen pen;
  pen.edges.MoveTo(kBig, -kBig);
  pen.edges.LineTo(-kBig, kBig);
  pen.edges.MakeRoundRect(kBig, -kBig, kBig, kBig);
  pen.edges.MakePie(kBig, kBig, 0, 1e30f, true);
  pen.edges.MakePie(100, std::nanf(""), 90);
  pen.edges.MakeArc(kBig, kBig, kBig, kBig, -1e30f, 1e30f, true, false);
  pen.edges.MakeStar(kBig, -kBig, kBig, kBig, 7, true);
  pen.edges.MakeCubicBezier({kBig, kBig}, {-kBig, kBig}, {kBig, -kBig}, 2);
  pen.edges.MakeMirror(true, true);
  TRect bounds = pen.edges.GetBoundsRect();
  EXPECT_LE(bounds.Left, bounds.Right);
  EXPECT_GT(pen.records.size(), 10u);
}

}  // namespace
}  // namespace yel::swf
