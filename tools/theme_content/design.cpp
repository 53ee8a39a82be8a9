// Vector designs: path figures, the SWF clip writer and the cairo painter.
#include "tools/theme_content/design.h"
#include "tools/theme_content/content.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <stdexcept>

#include "swf/actionscript/compile_context.h"
#include "swf/builder/flash_action_script.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"
#include "swf/builder/flash_sprite.h"
#include "swf/format/control_tags.h"

namespace yel::content {
namespace {

constexpr double kDegree = std::numbers::pi / 180;

std::int32_t Twips(double pixels) { return static_cast<std::int32_t>(std::lround(pixels * 20)); }

// Appends quadratic curves along the ellipse arc around (cx, cy) from angle
// a0 to a1 (degrees, clockwise on screen from the +x axis); the current point
// is the arc's start. Steps of at most 45 degrees keep the curves close to
// the ellipse.
void ArcTo(TPath& path, double cx, double cy, double rx, double ry, double a0, double a1) {
  const int steps = std::max(1, static_cast<int>(std::ceil(std::abs(a1 - a0) / 45.0 - 1e-9)));
  const double step = (a1 - a0) / steps;
  for (int i = 0; i < steps; ++i) {
    const double s = (a0 + step * i) * kDegree, e = (a0 + step * (i + 1)) * kDegree;
    const double m = (s + e) / 2, k = 1 / std::cos((e - s) / 2);
    path.CurveTo(cx + rx * k * std::cos(m), cy + ry * k * std::sin(m), cx + rx * std::cos(e), cy + ry * std::sin(e));
  }
}

void ApplyPaint(swf::TFlashShape& shape, const TPaint& paint) {
  switch (paint.kind) {
    case TPaint::Kind::Solid: {
      const std::uint32_t colour = paint.Colours.empty() ? Rgba(0, 0, 0) : paint.Colours[0];
      if ((colour >> 24) == 255) {
        shape.SetSolidColor(colour & 0xFFFFFFu);
      } else {
        shape.SetSolidColorRGBA(colour);
      }
      break;
    }
    case TPaint::Kind::Linear:
      shape.SetLinearGradient(paint.Colours, paint.Angle);
      break;
    case TPaint::Kind::Radial:
      shape.SetRadialGradient(paint.Colours, paint.XPercent, paint.YPercent);
      break;
  }
}

void AddStops(cairo_pattern_t* pattern, const std::vector<std::uint32_t>& colours) {
  const std::size_t n = colours.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t c = colours[i];
    // The same ratios the builder writes (0..255).
    const double offset = n > 1 ? std::nearbyint(double(i) / double(n - 1) * 255.0) / 255.0 : 0;
    cairo_pattern_add_color_stop_rgba(pattern, offset, (c & 255) / 255.0, ((c >> 8) & 255) / 255.0,
                                      ((c >> 16) & 255) / 255.0, ((c >> 24) & 255) / 255.0);
  }
}

// Gradients span the path's bounds as the builder's gradient matrices do:
// linear ones along the angle across the box, radial ones as the ellipse
// inscribed in the box, centred at the given percentages.
void SetCairoPaint(cairo_t* cr, const TLayer& layer) {
  const TPaint& paint = layer.Paint;
  if (paint.kind == TPaint::Kind::Solid || paint.Colours.size() < 2) {
    const std::uint32_t c = paint.Colours.empty() ? Rgba(0, 0, 0) : paint.Colours[0];
    cairo_set_source_rgba(cr, (c & 255) / 255.0, ((c >> 8) & 255) / 255.0, ((c >> 16) & 255) / 255.0,
                          ((c >> 24) & 255) / 255.0);
    return;
  }
  double x0, y0, x1, y1;
  layer.Path.Bounds(x0, y0, x1, y1);
  const double w = x1 - x0, h = y1 - y0;
  cairo_pattern_t* pattern = nullptr;
  if (paint.kind == TPaint::Kind::Linear) {
    const double a = paint.Angle * kDegree, cx = x0 + w / 2, cy = y0 + h / 2;
    const double dx = std::cos(a) * w / 2, dy = -std::sin(a) * h / 2;
    pattern = cairo_pattern_create_linear(cx - dx, cy - dy, cx + dx, cy + dy);
  } else {
    pattern = cairo_pattern_create_radial(0, 0, 0, 0, 0, 1);
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, 2 / std::max(w, 1e-6), 2 / std::max(h, 1e-6));
    cairo_matrix_translate(&m, -(x0 + w * paint.XPercent / 100.0), -(y0 + h * paint.YPercent / 100.0));
    cairo_pattern_set_matrix(pattern, &m);
  }
  AddStops(pattern, paint.Colours);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_set_source(cr, pattern);
  cairo_pattern_destroy(pattern);
}

}  // namespace

TPath& TPath::MoveTo(double x, double y) {
  ops_.push_back({OpKind::Move, x, y, 0, 0});
  start_x_ = x_ = x;
  start_y_ = y_ = y;
  return *this;
}

TPath& TPath::LineTo(double x, double y) {
  ops_.push_back({OpKind::Line, x, y, 0, 0});
  x_ = x;
  y_ = y;
  return *this;
}

TPath& TPath::CurveTo(double cx, double cy, double x, double y) {
  ops_.push_back({OpKind::Curve, x, y, cx, cy});
  x_ = x;
  y_ = y;
  return *this;
}

TPath& TPath::ArcTo(double cx, double cy, double rx, double ry, double a0, double a1) {
  content::ArcTo(*this, cx, cy, rx, ry, a0, a1);
  return *this;
}

TPath& TPath::Crescent(double cx, double cy, double r, double offset) {
  // The circles meet at x = cx + offset / 2, half a chord above and below.
  const double alpha = std::atan2(std::sqrt(r * r - offset * offset / 4), offset / 2) / kDegree;
  const double beta = 180 - alpha;  // the same points seen from the moved circle
  MoveTo(cx + r * std::cos(-alpha * kDegree), cy + r * std::sin(-alpha * kDegree));
  ArcTo(cx, cy, r, r, -alpha, -360 + alpha);
  ArcTo(cx + offset, cy, r, r, beta, 360 - beta);
  return Close();
}

TPath& TPath::Close() {
  if (x_ != start_x_ || y_ != start_y_) LineTo(start_x_, start_y_);
  return *this;
}

TPath& TPath::Rect(double x, double y, double w, double h) {
  return MoveTo(x, y).LineTo(x + w, y).LineTo(x + w, y + h).LineTo(x, y + h).Close();
}

TPath& TPath::RoundRect(double x, double y, double w, double h, double r) {
  r = std::clamp(r, 0.0, std::min(w, h) / 2);
  if (r <= 0) return Rect(x, y, w, h);
  MoveTo(x + r, y).LineTo(x + w - r, y);
  ArcTo(x + w - r, y + r, r, r, -90, 0);
  LineTo(x + w, y + h - r);
  ArcTo(x + w - r, y + h - r, r, r, 0, 90);
  LineTo(x + r, y + h);
  ArcTo(x + r, y + h - r, r, r, 90, 180);
  LineTo(x, y + r);
  ArcTo(x + r, y + r, r, r, 180, 270);
  return Close();
}

TPath& TPath::Ellipse(double x, double y, double w, double h) {
  const double rx = w / 2, ry = h / 2, cx = x + rx, cy = y + ry;
  MoveTo(cx + rx, cy);
  ArcTo(cx, cy, rx, ry, 0, 360);
  return Close();
}

TPath& TPath::Polygon(const std::vector<std::pair<double, double>>& points) {
  if (points.empty()) return *this;
  MoveTo(points[0].first, points[0].second);
  for (std::size_t i = 1; i < points.size(); ++i) LineTo(points[i].first, points[i].second);
  return Close();
}

TPath& TPath::Star(double cx, double cy, double outer, double inner, int points, double rotation) {
  std::vector<std::pair<double, double>> corners;
  for (int i = 0; i < 2 * points; ++i) {
    const double a = (rotation - 90 + 180.0 * i / points) * kDegree, r = i % 2 == 0 ? outer : inner;
    corners.emplace_back(cx + r * std::cos(a), cy + r * std::sin(a));
  }
  return Polygon(corners);
}

TPath& TPath::Heart(double x, double y, double w, double h) {
  auto X = [&](double u) { return x + u * w; };
  auto Y = [&](double v) { return y + v * h; };
  MoveTo(X(0.5), Y(1.0));
  CurveTo(X(0.0), Y(0.62), X(0.0), Y(0.3));
  CurveTo(X(0.0), Y(0.0), X(0.25), Y(0.0));
  CurveTo(X(0.47), Y(0.0), X(0.5), Y(0.24));
  CurveTo(X(0.53), Y(0.0), X(0.75), Y(0.0));
  CurveTo(X(1.0), Y(0.0), X(1.0), Y(0.3));
  CurveTo(X(1.0), Y(0.62), X(0.5), Y(1.0));
  return Close();
}

TPath& TPath::Frame(double x, double y, double w, double h, double thickness) {
  Rect(x, y, w, h);
  return Rect(x + thickness, y + thickness, w - 2 * thickness, h - 2 * thickness);
}

TPath& TPath::Append(const TPath& other, double dx, double dy, double s) {
  for (const Op& op : other.ops_) {
    switch (op.Kind) {
      case OpKind::Move:
        MoveTo(op.X * s + dx, op.Y * s + dy);
        break;
      case OpKind::Line:
        LineTo(op.X * s + dx, op.Y * s + dy);
        break;
      case OpKind::Curve:
        CurveTo(op.CX * s + dx, op.CY * s + dy, op.X * s + dx, op.Y * s + dy);
        break;
    }
  }
  return *this;
}

void TPath::Bounds(double& x0, double& y0, double& x1, double& y1) const {
  if (ops_.empty()) {
    x0 = y0 = x1 = y1 = 0;
    return;
  }
  x0 = y0 = std::numeric_limits<double>::max();
  x1 = y1 = std::numeric_limits<double>::lowest();
  auto take = [&](double x, double y) {
    x0 = std::min(x0, x);
    y0 = std::min(y0, y);
    x1 = std::max(x1, x);
    y1 = std::max(y1, y);
  };
  for (const Op& op : ops_) {
    take(op.X, op.Y);
    if (op.Kind == OpKind::Curve) take(op.CX, op.CY);
  }
}

TDrawing& TDrawing::Add(const TDrawing& other, double dx, double dy, double s) {
  for (const TLayer& layer : other.Layers) {
    TPath moved;
    moved.Append(layer.Path, dx, dy, s);
    Layers.push_back({moved, layer.Paint});
  }
  return *this;
}

namespace {

// The layers of a drawing as shapes of the movie (twips).
std::vector<yel::swf::TFlashShape*> AddShapes(yel::swf::TFlashMovie& movie, const TDrawing& drawing) {
  using namespace yel::swf;
  std::vector<TFlashShape*> shapes;
  for (const TLayer& layer : drawing.Layers) {
    if (layer.Path.Empty()) continue;
    TFlashShape* shape = movie.AddShape();
    TFlashEdges& pen = shape->Edges();
    for (const TPath::Op& op : layer.Path.Ops()) {
      switch (op.Kind) {
        case TPath::OpKind::Move:
          pen.MoveTo(Twips(op.X), Twips(op.Y));
          break;
        case TPath::OpKind::Line:
          pen.LineTo(Twips(op.X), Twips(op.Y));
          break;
        case TPath::OpKind::Curve:
          pen.CurveTo(Twips(op.CX), Twips(op.CY), Twips(op.X), Twips(op.Y));
          break;
      }
    }
    pen.EndEdges();
    shape->CalcBounds();
    ApplyPaint(*shape, layer.Paint);
    shapes.push_back(shape);
  }
  return shapes;
}

void Save(yel::swf::TFlashMovie& movie, const std::string& file) {
  movie.ShowFrame();
  movie.MakeStream();
  movie.SaveToFile(file);
  WrittenFiles().push_back(file);
}

}  // namespace

void WriteClipMovie(const TDrawing& drawing, const std::string& exportName, const std::string& file) {
  using namespace yel::swf;
  // Twips, so that designs keep their fractions of a pixel.
  TFlashMovie movie(0, 0, Twips(drawing.Width), Twips(drawing.Height), 24, TSWFSystemCoord::Twips);
  movie.SetVersion(8);
  movie.SetCompressed(true);
  std::vector<TFlashShape*> shapes = AddShapes(movie, drawing);
  if (exportName.empty()) {
    for (std::size_t i = 0; i < shapes.size(); ++i) movie.PlaceObject(shapes[i], static_cast<std::uint16_t>(i + 1));
  } else {
    TFlashSprite* sprite = movie.AddSprite();
    for (std::size_t i = 0; i < shapes.size(); ++i) sprite->PlaceObject(shapes[i], static_cast<std::uint16_t>(i + 1));
    sprite->ShowFrame();
    auto exports = std::make_unique<TSWFExportAssets>();
    exports->AddAsset(exportName, sprite->CharacterId());
    movie.Add(std::move(exports));
    movie.PlaceObject(sprite, 1);
  }
  Save(movie, file);
}

const std::vector<std::string>& LoadingBarScript() {
  static const std::vector<std::string> script = {
      "reveal._xscale = 0;",
      "this.onEnterFrame = function ()",
      "{",
      "  var total = _root.getBytesTotal();",
      "  reveal._xscale = total > 0 ? 100 * _root.getBytesLoaded() / total : 100;",
      "}"};
  return script;
}

void WriteLoadingBarMovie(const TDrawing& track, const TDrawing& fill, const std::string& file) {
  using namespace yel::swf;
  TFlashMovie movie(0, 0, Twips(track.Width), Twips(track.Height), 24, TSWFSystemCoord::Twips);
  movie.SetVersion(8);
  movie.SetCompressed(true);
  std::uint16_t depth = 1;
  for (TFlashShape* shape : AddShapes(movie, track)) movie.PlaceObject(shape, depth++);
  // The fill, masked by a rectangle whose width the script sets.
  TFlashSprite* fillSprite = movie.AddSprite();
  std::uint16_t inner = 1;
  for (TFlashShape* shape : AddShapes(movie, fill)) fillSprite->PlaceObject(shape, inner++);
  fillSprite->ShowFrame();
  TFlashShape* cover = movie.AddRectangle(0, 0, Twips(fill.Width), Twips(fill.Height));
  cover->SetSolidColor(0xFFFFFF);
  TFlashSprite* reveal = movie.AddSprite(cover);
  reveal->ShowFrame();
  TFlashPlaceObject* mask = movie.PlaceObject(reveal, depth);
  mask->SetName("reveal");
  // Placed at zero width, as the script's first line sets it: the bar shows
  // empty before any script runs too (in renderers that run none).
  mask->SetScale(0, 1);
  mask->SetClipDepth(static_cast<std::uint16_t>(depth + 1));
  movie.PlaceObject(fillSprite, static_cast<std::uint16_t>(depth + 1));
  InstallActionCompiler();
  if (!movie.FrameActions().CompileStrings(LoadingBarScript()))
    throw std::runtime_error(file + ": the loading bar's script does not compile");
  Save(movie, file);
}

void Paint(cairo_t* cr, const TDrawing& drawing) {
  cairo_save(cr);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  for (const TLayer& layer : drawing.Layers) {
    cairo_new_path(cr);
    double x = 0, y = 0;
    for (const TPath::Op& op : layer.Path.Ops()) {
      switch (op.Kind) {
        case TPath::OpKind::Move:
          cairo_move_to(cr, op.X, op.Y);
          break;
        case TPath::OpKind::Line:
          cairo_line_to(cr, op.X, op.Y);
          break;
        case TPath::OpKind::Curve:
          // The quadratic curve as the cubic that traces it exactly.
          cairo_curve_to(cr, x + 2.0 / 3 * (op.CX - x), y + 2.0 / 3 * (op.CY - y), op.X + 2.0 / 3 * (op.CX - op.X),
                         op.Y + 2.0 / 3 * (op.CY - op.Y), op.X, op.Y);
          break;
      }
      x = op.X;
      y = op.Y;
    }
    SetCairoPaint(cr, layer);
    cairo_fill(cr);
  }
  cairo_restore(cr);
}

}  // namespace yel::content
