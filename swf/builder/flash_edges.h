// TFlashEdges: the pen that turns drawing calls (moves, lines, quadratic and
// cubic curves, rectangles, ellipses, pies, arcs, stars) into shape records
// in twips, splitting what the format cannot hold in one record.
#pragma once

#include <cstdint>
#include <vector>

#include "swf/format/shape_records.h"

namespace yel::swf {

class TFlashMovie;

struct TPoint {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  bool operator==(const TPoint&) const = default;
};

class TFlashEdges {
 public:
  // Draws into records (which stay the caller's). Makes sure the list ends
  // with a style-change record that names fill style 1, so every path
  // starts with one.
  TFlashEdges(TSWFShapeRecords& records, TFlashMovie* movie);

  void SetMovie(TFlashMovie* movie) { movie_ = movie; }
  TFlashMovie* Movie() const { return movie_; }
  // 20 in a pixel movie, 1 in a twip movie, without a movie or when
  // IgnoreMovieSettings is set. Every coordinate passed in is multiplied by it.
  int UnitFactor() const;

  // --- moves and single edges (movie units)
  TSWFStyleChangeRecord* MoveTo(std::int32_t x, std::int32_t y);
  // Nothing for a (0, 0) offset (returns null).
  TSWFStyleChangeRecord* MoveDelta(std::int32_t dx, std::int32_t dy);
  // Return the last straight edge written, or null when nothing was drawn.
  TSWFStraightEdgeRecord* LineTo(std::int32_t x, std::int32_t y);
  TSWFStraightEdgeRecord* LineDelta(std::int32_t dx, std::int32_t dy);
  // Return the curved edge, or null when the curve was drawn as a straight
  // edge (it lies on a line) or not at all.
  TSWFCurvedEdgeRecord* CurveTo(std::int32_t controlX, std::int32_t controlY, std::int32_t anchorX,
                                std::int32_t anchorY);
  TSWFCurvedEdgeRecord* CurveDelta(std::int32_t controlDX, std::int32_t controlDY, std::int32_t anchorDX,
                                   std::int32_t anchorDY);
  // A line back to where the current subpath began, if the pen is elsewhere.
  void CloseShape();
  TSWFEndShapeRecord* EndEdges();

  // --- figures; the current point is the top-left corner of the box
  void MakeRectangle(std::int32_t w, std::int32_t h);
  void MakeRoundRect(std::int32_t w, std::int32_t h, std::int32_t rx, std::int32_t ry);
  void MakeEllipse(std::int32_t w, std::int32_t h);
  // The current point is the top vertex.
  void MakeDiamond(std::int32_t w, std::int32_t h);
  // The current point is the centre; angles in degrees, clockwise on screen
  // from the +x axis when clockwise is set.
  TSWFStraightEdgeRecord* MakePie(std::int32_t rx, std::int32_t ry, float startAngle, float endAngle,
                                  bool clockwise);
  TSWFStraightEdgeRecord* MakePie(std::int32_t radius, float startAngle, float endAngle);
  // Arc around (x, y); closed adds the chord. Equal angles only move the pen
  // to the start point.
  void MakeArc(std::int32_t x, std::int32_t y, std::int32_t rx, std::int32_t ry, float startAngle, float endAngle,
               bool closed, bool clockwise);
  // Star around (x, y) with its first point on top; numPoints is held to
  // 2..360. Curved stars use the inner points as control points.
  void MakeStar(std::int32_t x, std::int32_t y, std::int32_t r1, std::int32_t r2, std::uint16_t numPoints,
                bool curved);
  // Cubic Bézier from the current point, approximated by quadratic curves
  // over `parts` equal parameter steps (0 means 1).
  void MakeCubicBezier(TPoint p1, TPoint p2, TPoint p3, std::uint8_t parts = 4);
  // Consecutive cubic curves through the points. With start (-1, -1) the
  // first point is the start; otherwise start is. Points left after the last
  // group of three are joined with lines.
  void MakePolyBezier(const std::vector<TPoint>& points, TPoint start = {-1, -1});

  // --- whole path
  // Negates the x (horizontal) or y (vertical) offsets of every record.
  void MakeMirror(bool horizontal, bool vertical);
  // Turns every subpath drawn from record `first` on to run clockwise on
  // screen (or counter-clockwise), reversing those that run the other way.
  // A hole drawn against its outline is a hole under the non-zero fill rule
  // as well as under the even-odd one. Subpaths without area stay as drawn.
  void OrientSubpaths(std::size_t first, bool clockwise);
  // Moves every subpath by the offset (times the unit factor when scale).
  void OffsetEdges(std::int32_t dx, std::int32_t dy, bool scale = true);
  // Bounds of the path, control points included, in twips.
  TRect GetBoundsRect() const;

  TSWFShapeRecords& Records() { return *records_; }

  TPoint CurrentPos;  // twips
  TPoint LastStart;   // twips: where the current subpath began
  bool IgnoreMovieSettings = false;
  // Merge a straight edge into the previous one when it continues it.
  bool OptimizeMode = false;

 private:
  TSWFStyleChangeRecord* MoveToTwips(TPoint target);
  TSWFStraightEdgeRecord* LineToTwips(TPoint target);
  TSWFCurvedEdgeRecord* CurveToTwips(TPoint control, TPoint anchor);
  TSWFCurvedEdgeRecord* CurveDeltaTwips(TPoint control, TPoint anchor);
  // Appends straight edges for an offset, merging or splitting as needed.
  TSWFStraightEdgeRecord* EmitStraight(std::int64_t dx, std::int64_t dy);
  TSWFCurvedEdgeRecord* EmitCurve(TPoint control, TPoint anchor);
  void EllipseSegment(int i, std::int32_t w, std::int32_t h);
  // Draws the arc points of a pie or arc; returns the first and last point
  // relative to the centre.
  struct ArcResult {
    TPoint first;
    TPoint last;
    bool drawn = false;
  };
  ArcResult ArcPoints(double rx, double ry, double start, double end, bool clockwise, bool atLeastOne,
                      bool lineFromCentre, TPoint centre);

  TSWFShapeRecords* records_;
  TFlashMovie* movie_;
};

}  // namespace yel::swf
