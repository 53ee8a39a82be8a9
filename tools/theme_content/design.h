// Vector designs of the installed theme content. A design is a stack of
// layers, each one filled path (even-odd rule) with a solid colour or a
// gradient. The same design is written as SWF shapes with the movie builder
// and painted with cairo, so a tile picture shows exactly what the clip
// shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;

namespace yel::content {

// Packed like the movie builder's colours: red | green << 8 | blue << 16 |
// alpha << 24.
constexpr std::uint32_t Rgba(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a = 255) {
  return r | g << 8 | b << 16 | a << 24;
}
// The same colour with another alpha.
constexpr std::uint32_t WithAlpha(std::uint32_t colour, std::uint32_t a) { return (colour & 0xFFFFFFu) | a << 24; }

// A path in pixels: moves, lines and quadratic curves, as SWF shapes hold
// them.
class TPath {
 public:
  enum class OpKind { Move, Line, Curve };
  struct Op {
    OpKind Kind;
    double X, Y;    // end point
    double CX, CY;  // control point of a curve
  };

  TPath& MoveTo(double x, double y);
  TPath& LineTo(double x, double y);
  TPath& CurveTo(double cx, double cy, double x, double y);
  // Quadratic curves along the ellipse arc around (cx, cy) from angle a0 to
  // a1 (degrees, clockwise on screen from the +x axis; a1 < a0 goes the
  // other way). The current point is the arc's start.
  TPath& ArcTo(double cx, double cy, double rx, double ry, double a0, double a1);
  // A line back to the start of the current subpath.
  TPath& Close();

  // Closed figures, each a subpath of its own.
  TPath& Rect(double x, double y, double w, double h);
  TPath& RoundRect(double x, double y, double w, double h, double r);
  TPath& Ellipse(double x, double y, double w, double h);
  TPath& Circle(double cx, double cy, double r) { return Ellipse(cx - r, cy - r, 2 * r, 2 * r); }
  TPath& Polygon(const std::vector<std::pair<double, double>>& points);
  // A star with its first point `rotation` degrees clockwise from the top.
  TPath& Star(double cx, double cy, double outer, double inner, int points, double rotation = 0);
  // A heart whose box is w × h with its top-left corner at (x, y).
  TPath& Heart(double x, double y, double w, double h);
  // A crescent: the disc of radius r around (cx, cy) without the disc of
  // the same radius moved right by `offset` (less than 2r).
  TPath& Crescent(double cx, double cy, double r, double offset);
  // A ring: the outer rectangle with the inner one cut out (even-odd).
  TPath& Frame(double x, double y, double w, double h, double thickness);
  // Another path moved by (dx, dy) and scaled by s around the origin first.
  TPath& Append(const TPath& other, double dx = 0, double dy = 0, double s = 1);

  const std::vector<Op>& Ops() const { return ops_; }
  bool Empty() const { return ops_.empty(); }
  // Bounds of every point, control points included (as the builder's
  // CalcBounds), in pixels.
  void Bounds(double& x0, double& y0, double& x1, double& y1) const;

 private:
  std::vector<Op> ops_;
  double start_x_ = 0, start_y_ = 0, x_ = 0, y_ = 0;
};

struct TPaint {
  enum class Kind { Solid, Linear, Radial };
  Kind kind = Kind::Solid;
  std::vector<std::uint32_t> Colours;  // evenly spread for gradients
  float Angle = 0;                     // linear: 0 left to right, 90 bottom to top
  std::uint8_t XPercent = 50, YPercent = 50;  // radial centre within the bounds

  static TPaint Solid(std::uint32_t colour) { return {Kind::Solid, {colour}}; }
  static TPaint Linear(std::vector<std::uint32_t> colours, float angle) {
    return {Kind::Linear, std::move(colours), angle};
  }
  static TPaint Radial(std::vector<std::uint32_t> colours, std::uint8_t x = 50, std::uint8_t y = 50) {
    return {Kind::Radial, std::move(colours), 0, x, y};
  }
};

struct TLayer {
  TPath Path;
  TPaint Paint;
};

// A clip's drawing: its frame size in pixels and its layers, bottom first.
struct TDrawing {
  double Width = 0, Height = 0;
  std::vector<TLayer> Layers;

  TDrawing() = default;
  TDrawing(double w, double h) : Width(w), Height(h) {}
  TDrawing& Add(const TPaint& paint, const TPath& path) {
    Layers.push_back({path, paint});
    return *this;
  }
  // Another drawing's layers moved by (dx, dy) and scaled by s.
  TDrawing& Add(const TDrawing& other, double dx = 0, double dy = 0, double s = 1);
};

// Writes the drawing as a compressed SWF 8 movie of one frame with the
// drawing's frame size. With an export name the layers form a sprite that is
// exported under that linkage name and shown on the movie's timeline;
// without one they stand on the timeline themselves.
void WriteClipMovie(const TDrawing& drawing, const std::string& exportName, const std::string& file);

// Writes a loading bar: the track, and over it the fill uncovered from the
// left by a mask clip named "reveal" whose width a frame script keeps at the
// share of the enclosing movie (_root) that has loaded.
void WriteLoadingBarMovie(const TDrawing& track, const TDrawing& fill, const std::string& file);
// That frame script.
const std::vector<std::string>& LoadingBarScript();

// Paints the drawing with cairo in the context's current user space.
void Paint(cairo_t* cr, const TDrawing& drawing);

}  // namespace yel::content
