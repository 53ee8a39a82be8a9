// The drawing pen of shapes: straight and curved edge emission, figures,
// cubic-to-quadratic approximation, mirroring, offsets and bounds.
#include "swf/builder/flash_edges.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "swf/builder/flash_movie.h"

namespace yel::swf {
namespace {

constexpr std::int64_t kMaxEdge = 65535;  // longest offset one record takes here
constexpr double kPi = std::numbers::pi;

std::int32_t Saturate(std::int64_t v) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Round half to even, held to the 32-bit range (NaN gives 0).
std::int32_t RoundInt(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<std::int32_t>(std::clamp(std::nearbyint(v), -2147483648.0, 2147483647.0));
}

std::int32_t TruncInt(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<std::int32_t>(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0));
}

TPoint Add(TPoint a, TPoint b) {
  return {Saturate(std::int64_t{a.X} + b.X), Saturate(std::int64_t{a.Y} + b.Y)};
}
TPoint Sub(TPoint a, TPoint b) {
  return {Saturate(std::int64_t{a.X} - b.X), Saturate(std::int64_t{a.Y} - b.Y)};
}

std::int32_t Negate(std::int32_t v) { return v == std::numeric_limits<std::int32_t>::min() ? std::numeric_limits<std::int32_t>::max() : -v; }

bool SameSign(std::int64_t a, std::int64_t b) { return (a < 0 && b < 0) || (a > 0 && b > 0); }

double Radians(double degrees) { return degrees * kPi / 180.0; }

// The ellipse segments: signs of the control and anchor offsets.
struct EllipseSigns {
  int sx, sy, ax, ay;
};
constexpr EllipseSigns kEllipse[8] = {
    {0, 1, -1, 1}, {-1, 1, -1, 0}, {-1, 0, -1, -1}, {-1, -1, 0, -1},
    {0, -1, 1, -1}, {1, -1, 1, 0}, {1, 0, 1, 1},    {1, 1, 0, 1},
};
constexpr double kEllipseK1 = 0.207;
constexpr double kEllipseK2 = 0.1465;

// A point of a cubic with its tangent, for the quadratic approximation.
struct Tangent {
  double t = 0;
  TPoint p;
  double slope = 0;
  bool vertical = false;
};

struct Cubic {
  double x[4];
  double y[4];

  TPoint At(double t) const {
    return {RoundInt(CubicBezierValue(x[0], x[1], x[2], x[3], t)),
            RoundInt(CubicBezierValue(y[0], y[1], y[2], y[3], t))};
  }
  void Derivative(double t, double& dx, double& dy) const {
    double u = 1 - t;
    dx = 3 * u * u * (x[1] - x[0]) + 6 * u * t * (x[2] - x[1]) + 3 * t * t * (x[3] - x[2]);
    dy = 3 * u * u * (y[1] - y[0]) + 6 * u * t * (y[2] - y[1]) + 3 * t * t * (y[3] - y[2]);
  }
  Tangent TangentAt(double t) const {
    double dx, dy;
    Derivative(t, dx, dy);
    if (dx == 0 && dy == 0) {
      // A control point on its end point: the direction is that of a point
      // just inside the curve.
      Derivative(t < 0.5 ? t + 1e-4 : t - 1e-4, dx, dy);
    }
    return Direction(t, At(t), dx, dy);
  }
  static Tangent Direction(double t, TPoint p, double dx, double dy) {
    Tangent line;
    line.t = t;
    line.p = p;
    if (dx == 0) {
      line.vertical = true;
    } else {
      line.slope = dy / dx;
    }
    return line;
  }
};

double Distance(double x1, double y1, double x2, double y2) { return std::hypot(x2 - x1, y2 - y1); }

}  // namespace

TFlashEdges::TFlashEdges(TSWFShapeRecords& records, TFlashMovie* movie) : records_(&records), movie_(movie) {
  TSWFStyleChangeRecord* first = nullptr;
  if (!records.empty() && records.back()->RecordKind == TSWFShapeRecordKind::StyleChange) {
    first = static_cast<TSWFStyleChangeRecord*>(records.back().get());
  } else {
    auto created = std::make_unique<TSWFStyleChangeRecord>();
    first = created.get();
    records.push_back(std::move(created));
  }
  first->SetFill1(first->Fill1());
}

int TFlashEdges::UnitFactor() const {
  if (IgnoreMovieSettings || !movie_) return 1;
  return movie_->UnitMultiplier();
}

// --- moves and single edges

TSWFStyleChangeRecord* TFlashEdges::MoveToTwips(TPoint target) {
  TSWFStyleChangeRecord* record = nullptr;
  if (!records_->empty() && records_->back()->RecordKind == TSWFShapeRecordKind::StyleChange) {
    record = static_cast<TSWFStyleChangeRecord*>(records_->back().get());
  } else {
    auto created = std::make_unique<TSWFStyleChangeRecord>();
    record = created.get();
    records_->push_back(std::move(created));
  }
  if (target == CurrentPos && records_->size() <= 1) return record;
  CurrentPos = LastStart = target;
  record->DeltaX = target.X;
  record->DeltaY = target.Y;
  record->StateMoveTo = true;
  return record;
}

TSWFStyleChangeRecord* TFlashEdges::MoveTo(std::int32_t x, std::int32_t y) {
  int f = UnitFactor();
  return MoveToTwips({Saturate(std::int64_t{x} * f), Saturate(std::int64_t{y} * f)});
}

TSWFStyleChangeRecord* TFlashEdges::MoveDelta(std::int32_t dx, std::int32_t dy) {
  if (dx == 0 && dy == 0) return nullptr;
  int f = UnitFactor();
  return MoveToTwips({Saturate(CurrentPos.X + std::int64_t{dx} * f), Saturate(CurrentPos.Y + std::int64_t{dy} * f)});
}

TSWFStraightEdgeRecord* TFlashEdges::EmitStraight(std::int64_t dx, std::int64_t dy) {
  if (dx == 0 && dy == 0) return nullptr;
  if (OptimizeMode && !records_->empty() && records_->back()->RecordKind == TSWFShapeRecordKind::StraightEdge) {
    auto* last = static_cast<TSWFStraightEdgeRecord*>(records_->back().get());
    std::int64_t lx = last->DeltaX, ly = last->DeltaY;
    if (lx == 0 && dx == 0 && SameSign(ly, dy) && std::llabs(ly + dy) < kMaxEdge) {
      last->DeltaY = static_cast<std::int32_t>(ly + dy);
      return last;
    }
    if (ly == 0 && dy == 0 && SameSign(lx, dx) && std::llabs(lx + dx) < kMaxEdge) {
      last->DeltaX = static_cast<std::int32_t>(lx + dx);
      return last;
    }
    if (dx == lx && dy == ly && std::nearbyint(std::hypot(2.0 * dx, 2.0 * dy)) < kMaxEdge) {
      last->DeltaX = static_cast<std::int32_t>(lx + dx);
      last->DeltaY = static_cast<std::int32_t>(ly + dy);
      return last;
    }
  }
  // Pieces of at most 65535 twips on either axis that add up exactly.
  std::int64_t n = std::max((std::llabs(dx) + kMaxEdge - 1) / kMaxEdge, (std::llabs(dy) + kMaxEdge - 1) / kMaxEdge);
  TSWFStraightEdgeRecord* edge = nullptr;
  double px = 0, py = 0;
  for (std::int64_t k = 1; k <= n; ++k) {
    double x = std::nearbyint(static_cast<double>(dx) * k / n);
    double y = std::nearbyint(static_cast<double>(dy) * k / n);
    auto created = std::make_unique<TSWFStraightEdgeRecord>(static_cast<std::int32_t>(x - px),
                                                            static_cast<std::int32_t>(y - py));
    edge = created.get();
    records_->push_back(std::move(created));
    px = x;
    py = y;
  }
  return edge;
}

TSWFStraightEdgeRecord* TFlashEdges::LineToTwips(TPoint target) {
  if (target == CurrentPos) return nullptr;
  TSWFStraightEdgeRecord* edge =
      EmitStraight(std::int64_t{target.X} - CurrentPos.X, std::int64_t{target.Y} - CurrentPos.Y);
  CurrentPos = target;
  return edge;
}

TSWFStraightEdgeRecord* TFlashEdges::LineTo(std::int32_t x, std::int32_t y) {
  int f = UnitFactor();
  return LineToTwips({Saturate(std::int64_t{x} * f), Saturate(std::int64_t{y} * f)});
}

TSWFStraightEdgeRecord* TFlashEdges::LineDelta(std::int32_t dx, std::int32_t dy) {
  if (dx == 0 && dy == 0) return nullptr;
  int f = UnitFactor();
  return LineToTwips({Saturate(CurrentPos.X + std::int64_t{dx} * f), Saturate(CurrentPos.Y + std::int64_t{dy} * f)});
}

TSWFCurvedEdgeRecord* TFlashEdges::EmitCurve(TPoint c, TPoint a) {
  if (c.X == 0 && c.Y == 0) {
    EmitStraight(a.X, a.Y);
    return nullptr;
  }
  if (a.X == 0 && a.Y == 0) {
    EmitStraight(c.X, c.Y);
    return nullptr;
  }
  if (c.Y == 0 && a.Y == 0) {
    EmitStraight(std::int64_t{c.X} + a.X, 0);
    return nullptr;
  }
  if (c.X == 0 && a.X == 0) {
    EmitStraight(0, std::int64_t{c.Y} + a.Y);
    return nullptr;
  }
  auto created = std::make_unique<TSWFCurvedEdgeRecord>(c.X, c.Y, a.X, a.Y);
  TSWFCurvedEdgeRecord* edge = created.get();
  records_->push_back(std::move(created));
  return edge;
}

TSWFCurvedEdgeRecord* TFlashEdges::CurveToTwips(TPoint control, TPoint anchor) {
  if (anchor == CurrentPos) return nullptr;
  TSWFCurvedEdgeRecord* edge = EmitCurve(Sub(control, CurrentPos), Sub(anchor, control));
  CurrentPos = anchor;
  return edge;
}

TSWFCurvedEdgeRecord* TFlashEdges::CurveDeltaTwips(TPoint control, TPoint anchor) {
  TSWFCurvedEdgeRecord* edge = EmitCurve(control, anchor);
  CurrentPos = Add(Add(CurrentPos, control), anchor);
  return edge;
}

TSWFCurvedEdgeRecord* TFlashEdges::CurveTo(std::int32_t controlX, std::int32_t controlY, std::int32_t anchorX,
                                           std::int32_t anchorY) {
  int f = UnitFactor();
  return CurveToTwips({Saturate(std::int64_t{controlX} * f), Saturate(std::int64_t{controlY} * f)},
                      {Saturate(std::int64_t{anchorX} * f), Saturate(std::int64_t{anchorY} * f)});
}

TSWFCurvedEdgeRecord* TFlashEdges::CurveDelta(std::int32_t controlDX, std::int32_t controlDY, std::int32_t anchorDX,
                                              std::int32_t anchorDY) {
  int f = UnitFactor();
  return CurveDeltaTwips({Saturate(std::int64_t{controlDX} * f), Saturate(std::int64_t{controlDY} * f)},
                         {Saturate(std::int64_t{anchorDX} * f), Saturate(std::int64_t{anchorDY} * f)});
}

void TFlashEdges::CloseShape() {
  if (CurrentPos != LastStart) LineToTwips(LastStart);
}

TSWFEndShapeRecord* TFlashEdges::EndEdges() {
  auto created = std::make_unique<TSWFEndShapeRecord>();
  TSWFEndShapeRecord* end = created.get();
  records_->push_back(std::move(created));
  return end;
}

// --- figures

void TFlashEdges::MakeRectangle(std::int32_t w, std::int32_t h) {
  int f = UnitFactor();
  std::int32_t tw = Saturate(std::int64_t{w} * f), th = Saturate(std::int64_t{h} * f);
  LineToTwips(Add(CurrentPos, {tw, 0}));
  LineToTwips(Add(CurrentPos, {0, th}));
  LineToTwips(Sub(CurrentPos, {tw, 0}));
  LineToTwips(Sub(CurrentPos, {0, th}));
}

void TFlashEdges::EllipseSegment(int i, std::int32_t w, std::int32_t h) {
  const EllipseSigns& s = kEllipse[i];
  double kc = i % 2 == 0 ? kEllipseK1 : kEllipseK2;
  double ka = i % 2 == 0 ? kEllipseK2 : kEllipseK1;
  TPoint control{TruncInt(kc * s.sx * w), TruncInt(kc * s.sy * h)};
  TPoint anchor{TruncInt(ka * s.ax * w), TruncInt(ka * s.ay * h)};
  CurveDeltaTwips(control, anchor);
}

void TFlashEdges::MakeEllipse(std::int32_t w, std::int32_t h) {
  int f = UnitFactor();
  std::int32_t tw = Saturate(std::int64_t{w} * f), th = Saturate(std::int64_t{h} * f);
  if (tw != 0 || th / 2 != 0) MoveToTwips(Add(CurrentPos, {tw, th / 2}));
  for (int i = 0; i < 8; ++i) EllipseSegment(i, tw, th);
}

void TFlashEdges::MakeRoundRect(std::int32_t w, std::int32_t h, std::int32_t rx, std::int32_t ry) {
  int f = UnitFactor();
  std::int64_t tw = std::int64_t{w} * f, th = std::int64_t{h} * f;
  std::int64_t trx = std::int64_t{rx} * f, try_ = std::int64_t{ry} * f;
  if (tw != 0 || try_ != 0) MoveToTwips(Add(CurrentPos, {Saturate(tw), Saturate(try_)}));
  const TPoint sides[4] = {{0, Saturate(th - 2 * try_)},
                           {Saturate(2 * trx - tw), 0},
                           {0, Saturate(2 * try_ - th)},
                           {Saturate(tw - 2 * trx), 0}};
  for (int i = 0; i < 8; ++i) {
    if (i % 2 == 0) LineToTwips(Add(CurrentPos, sides[i / 2]));
    EllipseSegment(i, Saturate(2 * trx), Saturate(2 * try_));
  }
}

void TFlashEdges::MakeDiamond(std::int32_t w, std::int32_t h) {
  int f = UnitFactor();
  std::int32_t hw = Saturate(std::int64_t{w} * f) / 2, hh = Saturate(std::int64_t{h} * f) / 2;
  LineToTwips(Add(CurrentPos, {hw, hh}));
  LineToTwips(Add(CurrentPos, {-hw, hh}));
  LineToTwips(Add(CurrentPos, {-hw, -hh}));
  LineToTwips(Add(CurrentPos, {hw, -hh}));
}

TFlashEdges::ArcResult TFlashEdges::ArcPoints(double rx, double ry, double start, double end, bool clockwise,
                                              bool atLeastOne, bool lineFromCentre, TPoint centre) {
  ArcResult result;
  if (!std::isfinite(start) || !std::isfinite(end)) return result;
  if (end < start) end += 360;
  // The segment count is a byte: a sweep beyond 255 segments of 45 degrees
  // is not drawn further.
  double sweep = std::min(end - start, 255.0 * 45.0);
  int n = static_cast<int>(std::ceil(sweep / 45.0));
  if (atLeastOne && n < 1) n = 1;
  double sign = clockwise ? 1.0 : -1.0;
  double step = n > 0 ? sweep / n : 0;
  double q = std::cos(Radians(step / 2));
  auto point = [&](int i) {
    double a = Radians(start + i * step) * sign;
    return TPoint{TruncInt(rx * std::cos(a)), TruncInt(ry * std::sin(a))};
  };
  TPoint previous = point(0);
  result.first = previous;
  if (lineFromCentre) {
    LineToTwips(Add(CurrentPos, previous));
  } else {
    MoveToTwips(Add(centre, previous));
  }
  for (int i = 1; i <= n; ++i) {
    TPoint p = point(i);
    double b = Radians(start + i * step) * sign - sign * Radians(step / 2);
    TPoint c{TruncInt(std::cos(b) * rx / q), TruncInt(std::sin(b) * ry / q)};
    CurveDeltaTwips(Sub(c, previous), Sub(p, c));
    previous = p;
  }
  result.last = previous;
  result.drawn = true;
  return result;
}

TSWFStraightEdgeRecord* TFlashEdges::MakePie(std::int32_t rx, std::int32_t ry, float startAngle, float endAngle,
                                             bool clockwise) {
  int f = UnitFactor();
  ArcResult arc = ArcPoints(static_cast<double>(rx) * f, static_cast<double>(ry) * f, startAngle, endAngle, clockwise,
                            true, true, CurrentPos);
  if (!arc.drawn) return nullptr;
  return LineToTwips(Sub(CurrentPos, arc.last));
}

TSWFStraightEdgeRecord* TFlashEdges::MakePie(std::int32_t radius, float startAngle, float endAngle) {
  return MakePie(radius, radius, startAngle, endAngle, true);
}

void TFlashEdges::MakeArc(std::int32_t x, std::int32_t y, std::int32_t rx, std::int32_t ry, float startAngle,
                          float endAngle, bool closed, bool clockwise) {
  int f = UnitFactor();
  TPoint centre{Saturate(std::int64_t{x} * f), Saturate(std::int64_t{y} * f)};
  ArcResult arc = ArcPoints(static_cast<double>(rx) * f, static_cast<double>(ry) * f, startAngle, endAngle, clockwise,
                            false, false, centre);
  if (arc.drawn && closed) LineToTwips(Add(CurrentPos, Sub(arc.first, arc.last)));
}

void TFlashEdges::MakeStar(std::int32_t x, std::int32_t y, std::int32_t r1, std::int32_t r2, std::uint16_t numPoints,
                           bool curved) {
  int f = UnitFactor();
  int n = std::clamp<int>(numPoints, 2, 360);
  double cx = static_cast<double>(x) * f, cy = static_cast<double>(y) * f;
  double outer = static_cast<double>(r1) * f, inner = static_cast<double>(r2) * f;
  auto at = [&](double angle, double radius) {
    return TPoint{RoundInt(cx + std::nearbyint(radius * std::cos(angle))),
                  RoundInt(cy + std::nearbyint(radius * std::sin(angle)))};
  };
  double h = -kPi / 2;
  double s = 2 * kPi / n;
  MoveToTwips(at(h, outer));
  for (int i = 0; i < n; ++i) {
    TPoint innerPoint = at(h + s / 2, inner);
    TPoint outerPoint = at(h + s, outer);
    if (curved) {
      CurveToTwips(innerPoint, outerPoint);
    } else {
      LineToTwips(innerPoint);
      LineToTwips(outerPoint);
    }
    h += s;
  }
}

void TFlashEdges::MakeCubicBezier(TPoint p1, TPoint p2, TPoint p3, std::uint8_t parts) {
  int f = UnitFactor();
  auto scale = [f](TPoint p) { return TPoint{Saturate(std::int64_t{p.X} * f), Saturate(std::int64_t{p.Y} * f)}; };
  TPoint p0 = CurrentPos;
  p1 = scale(p1);
  p2 = scale(p2);
  p3 = scale(p3);
  Cubic cubic{{double(p0.X), double(p1.X), double(p2.X), double(p3.X)},
              {double(p0.Y), double(p1.Y), double(p2.Y), double(p3.Y)}};
  int count = parts == 0 ? 1 : parts;

  // The tangent at the start runs from P0 through the first control point
  // that differs from it.
  TPoint toward = p1 != p0 ? p1 : (p2 != p0 ? p2 : p3);
  Tangent startLine = Cubic::Direction(0, p0, double(toward.X) - p0.X, double(toward.Y) - p0.Y);

  auto approximate = [&](auto&& self, const Tangent& a, const Tangent& b, int depth) -> void {
    if (depth > 10) {
      LineToTwips(b.p);
      return;
    }
    double chord = std::nearbyint(Distance(a.p.X, a.p.Y, b.p.X, b.p.Y));
    bool found = false;
    double ix = 0, iy = 0;
    if (!(a.vertical && b.vertical) && (a.vertical || b.vertical || a.slope != b.slope)) {
      if (a.vertical) {
        ix = a.p.X;
        iy = b.p.Y + b.slope * (ix - b.p.X);
      } else if (b.vertical) {
        ix = b.p.X;
        iy = a.p.Y + a.slope * (ix - a.p.X);
      } else {
        ix = (a.slope * a.p.X - b.slope * b.p.X + b.p.Y - a.p.Y) / (a.slope - b.slope);
        iy = a.p.Y + a.slope * (ix - a.p.X);
      }
      found = std::isfinite(ix) && std::isfinite(iy) && std::fabs(ix) < 1e9 && std::fabs(iy) < 1e9;
    } else {
      // Parallel tangents: when the end lies on the start tangent the piece
      // is straight, and halving it would never find a control point.
      double off = a.vertical ? std::fabs(double(b.p.X) - a.p.X)
                              : std::fabs(b.p.Y - (a.p.Y + a.slope * (double(b.p.X) - a.p.X))) /
                                    std::sqrt(1 + a.slope * a.slope);
      if (off <= 1.0) {
        LineToTwips(b.p);
        return;
      }
    }
    if (found) {
      TPoint control{RoundInt(ix), RoundInt(iy)};
      if (Distance(a.p.X, a.p.Y, control.X, control.Y) <= chord &&
          Distance(b.p.X, b.p.Y, control.X, control.Y) <= chord) {
        CurveToTwips(control, b.p);
        return;
      }
    }
    Tangent middle = cubic.TangentAt((a.t + b.t) / 2);
    self(self, a, middle, depth + 1);
    self(self, middle, b, depth + 1);
  };

  for (int h = 1; h <= count; ++h) {
    Tangent endLine = cubic.TangentAt(static_cast<double>(h) / count);
    if (h == count) endLine.p = p3;
    approximate(approximate, startLine, endLine, 0);
    startLine = endLine;
  }
}

void TFlashEdges::MakePolyBezier(const std::vector<TPoint>& points, TPoint start) {
  if (points.empty()) return;
  int f = UnitFactor();
  auto twips = [f](TPoint p) { return TPoint{Saturate(std::int64_t{p.X} * f), Saturate(std::int64_t{p.Y} * f)}; };
  std::size_t first = 0;
  TPoint origin = start;
  if (start == TPoint{-1, -1}) {
    origin = points[0];
    first = 1;
  }
  if (twips(origin) != CurrentPos) MoveToTwips(twips(origin));
  std::size_t i = first;
  for (; i + 3 <= points.size(); i += 3) MakeCubicBezier(points[i], points[i + 1], points[i + 2], 4);
  for (; i < points.size(); ++i) LineToTwips(twips(points[i]));
}

// --- whole path

void TFlashEdges::MakeMirror(bool horizontal, bool vertical) {
  for (auto& record : *records_) {
    switch (record->RecordKind) {
      case TSWFShapeRecordKind::StyleChange:
      case TSWFShapeRecordKind::StraightEdge: {
        auto* edge = static_cast<TSWFStraightEdgeRecord*>(record.get());
        if (horizontal) edge->DeltaX = Negate(edge->DeltaX);
        if (vertical) edge->DeltaY = Negate(edge->DeltaY);
        break;
      }
      case TSWFShapeRecordKind::CurvedEdge: {
        auto* curve = static_cast<TSWFCurvedEdgeRecord*>(record.get());
        if (horizontal) {
          curve->ControlX = Negate(curve->ControlX);
          curve->AnchorX = Negate(curve->AnchorX);
        }
        if (vertical) {
          curve->ControlY = Negate(curve->ControlY);
          curve->AnchorY = Negate(curve->AnchorY);
        }
        break;
      }
      case TSWFShapeRecordKind::End:
        break;
    }
  }
  // The pen is mirrored with the path, so drawing can go on from where the
  // mirrored path ends.
  if (horizontal) {
    CurrentPos.X = Negate(CurrentPos.X);
    LastStart.X = Negate(LastStart.X);
  }
  if (vertical) {
    CurrentPos.Y = Negate(CurrentPos.Y);
    LastStart.Y = Negate(LastStart.Y);
  }
}

void TFlashEdges::OrientSubpaths(std::size_t first, bool clockwise) {
  TSWFShapeRecords& list = *records_;
  auto isMove = [&](std::size_t i) {
    return list[i]->RecordKind == TSWFShapeRecordKind::StyleChange &&
           static_cast<TSWFStyleChangeRecord&>(*list[i]).StateMoveTo;
  };
  // A figure's move may sit in the style-change record just before `first`.
  if (first > 0 && first <= list.size() && list[first - 1]->RecordKind == TSWFShapeRecordKind::StyleChange) --first;
  // The pen position where `first` begins.
  TPoint pos{0, 0};
  auto advance = [](TPoint p, const TSWFShapeRecord& record) {
    switch (record.RecordKind) {
      case TSWFShapeRecordKind::StyleChange: {
        const auto& move = static_cast<const TSWFStyleChangeRecord&>(record);
        return move.StateMoveTo ? TPoint{move.DeltaX, move.DeltaY} : p;
      }
      case TSWFShapeRecordKind::StraightEdge: {
        const auto& edge = static_cast<const TSWFStraightEdgeRecord&>(record);
        return Add(p, {edge.DeltaX, edge.DeltaY});
      }
      case TSWFShapeRecordKind::CurvedEdge: {
        const auto& curve = static_cast<const TSWFCurvedEdgeRecord&>(record);
        return Add(Add(p, {curve.ControlX, curve.ControlY}), {curve.AnchorX, curve.AnchorY});
      }
      case TSWFShapeRecordKind::End:
        break;
    }
    return p;
  };
  for (std::size_t i = 0; i < first && i < list.size(); ++i) pos = advance(pos, *list[i]);

  auto cross = [](double ax, double ay, double bx, double by) { return ax * by - bx * ay; };
  TPoint lastStart = LastStart;
  std::size_t i = first;
  while (i < list.size() && list[i]->RecordKind != TSWFShapeRecordKind::End) {
    TSWFStyleChangeRecord* move = nullptr;
    if (list[i]->RecordKind == TSWFShapeRecordKind::StyleChange) {
      if (isMove(i)) move = static_cast<TSWFStyleChangeRecord*>(list[i].get());
      pos = advance(pos, *list[i]);
      ++i;
      if (!move) continue;
    }
    // The edges of one subpath, with twice its signed area (y grows down,
    // so a positive area runs clockwise on screen).
    const std::size_t begin = i;
    const TPoint start = pos;
    double area = 0;
    for (; i < list.size(); ++i) {
      const TSWFShapeRecord& record = *list[i];
      if (record.RecordKind == TSWFShapeRecordKind::StraightEdge) {
        TPoint next = advance(pos, record);
        area += cross(pos.X, pos.Y, next.X, next.Y);
        pos = next;
      } else if (record.RecordKind == TSWFShapeRecordKind::CurvedEdge) {
        const auto& curve = static_cast<const TSWFCurvedEdgeRecord&>(record);
        TPoint control = Add(pos, {curve.ControlX, curve.ControlY});
        TPoint next = advance(pos, record);
        area += cross(pos.X, pos.Y, next.X, next.Y) +
                2.0 / 3 * (cross(pos.X, pos.Y, control.X, control.Y) + cross(control.X, control.Y, next.X, next.Y) +
                           cross(next.X, next.Y, pos.X, pos.Y));
        pos = next;
      } else {
        break;
      }
    }
    area += cross(pos.X, pos.Y, start.X, start.Y);  // closes an open subpath
    lastStart = start;
    if (i == begin || area == 0 || (area > 0) == clockwise) continue;
    // Reverse: the same edges backwards from the old end to the old start.
    std::reverse(list.begin() + static_cast<std::ptrdiff_t>(begin), list.begin() + static_cast<std::ptrdiff_t>(i));
    for (std::size_t k = begin; k < i; ++k) {
      if (list[k]->RecordKind == TSWFShapeRecordKind::StraightEdge) {
        auto& edge = static_cast<TSWFStraightEdgeRecord&>(*list[k]);
        edge.DeltaX = Negate(edge.DeltaX), edge.DeltaY = Negate(edge.DeltaY);
      } else {
        auto& curve = static_cast<TSWFCurvedEdgeRecord&>(*list[k]);
        std::int32_t cx = curve.ControlX, cy = curve.ControlY;
        curve.ControlX = Negate(curve.AnchorX), curve.ControlY = Negate(curve.AnchorY);
        curve.AnchorX = Negate(cx), curve.AnchorY = Negate(cy);
      }
    }
    if (!move) {
      auto created = std::make_unique<TSWFStyleChangeRecord>();
      move = created.get();
      move->StateMoveTo = true;
      list.insert(list.begin() + static_cast<std::ptrdiff_t>(begin), std::move(created));
      ++i;
    }
    move->DeltaX = pos.X, move->DeltaY = pos.Y;
    lastStart = pos;
    pos = start;
  }
  CurrentPos = pos;
  LastStart = lastStart;
}

void TFlashEdges::OffsetEdges(std::int32_t dx, std::int32_t dy, bool scale) {
  int f = scale ? UnitFactor() : 1;
  TPoint offset{Saturate(std::int64_t{dx} * f), Saturate(std::int64_t{dy} * f)};
  if (offset == TPoint{}) return;
  bool first = true;
  for (auto& record : *records_) {
    if (record->RecordKind != TSWFShapeRecordKind::StyleChange) {
      first = false;
      continue;
    }
    auto* change = static_cast<TSWFStyleChangeRecord*>(record.get());
    // A path that starts without a move starts at the origin; it needs a
    // move to be offset. Later records without a move continue from the
    // (already offset) pen and stay as they are.
    if (change->StateMoveTo || first) {
      change->DeltaX = Saturate(std::int64_t{change->DeltaX} + offset.X);
      change->DeltaY = Saturate(std::int64_t{change->DeltaY} + offset.Y);
      change->StateMoveTo = true;
    }
    first = false;
  }
  CurrentPos = Add(CurrentPos, offset);
  LastStart = Add(LastStart, offset);
}

TRect TFlashEdges::GetBoundsRect() const {
  if (records_->empty()) return {};
  std::int64_t x = 0, y = 0;
  const TSWFShapeRecord& front = *records_->front();
  if (front.RecordKind == TSWFShapeRecordKind::StyleChange || front.RecordKind == TSWFShapeRecordKind::StraightEdge) {
    const auto& edge = static_cast<const TSWFStraightEdgeRecord&>(front);
    x = edge.DeltaX;
    y = edge.DeltaY;
  }
  std::int64_t left = x, right = x, top = y, bottom = y;
  if (records_->size() < 2) return {Saturate(left), Saturate(top), Saturate(right), Saturate(bottom)};
  auto widen = [&] {
    left = std::min(left, x);
    right = std::max(right, x);
    top = std::min(top, y);
    bottom = std::max(bottom, y);
  };
  for (const auto& record : *records_) {
    switch (record->RecordKind) {
      case TSWFShapeRecordKind::StyleChange: {
        const auto& change = static_cast<const TSWFStyleChangeRecord&>(*record);
        // A style change without a move leaves the pen where it is.
        if (!change.StateMoveTo) continue;
        x = change.DeltaX;
        y = change.DeltaY;
        widen();
        break;
      }
      case TSWFShapeRecordKind::StraightEdge: {
        const auto& edge = static_cast<const TSWFStraightEdgeRecord&>(*record);
        x += edge.DeltaX;
        y += edge.DeltaY;
        widen();
        break;
      }
      case TSWFShapeRecordKind::CurvedEdge: {
        const auto& curve = static_cast<const TSWFCurvedEdgeRecord&>(*record);
        x += curve.ControlX;
        y += curve.ControlY;
        widen();
        x += curve.AnchorX;
        y += curve.AnchorY;
        widen();
        break;
      }
      case TSWFShapeRecordKind::End:
        break;
    }
  }
  return {Saturate(left), Saturate(top), Saturate(right), Saturate(bottom)};
}

}  // namespace yel::swf
