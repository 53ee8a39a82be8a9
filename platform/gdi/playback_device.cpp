// Playing EMF records on a work bitmap: GDI state, geometry, and pixels.
#include "platform/gdi/playback_device.h"

#include <cairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/gdi/dib.h"
#include "platform/gdi/logical_font.h"
#include "platform/gdi/mapping.h"

namespace yel::gdi {
namespace {

// ---- reading record fields -------------------------------------------------

using Fields = RecordFields;

// ---- colours and raster operations -----------------------------------------

std::uint32_t ToPixel(ColorRef c) {
  return 0xFF000000u | std::uint32_t(RedOf(c)) << 16 | std::uint32_t(GreenOf(c)) << 8 |
         std::uint32_t(BlueOf(c));
}
void SetSource(cairo_t* cr, ColorRef c) {
  cairo_set_source_rgb(cr, RedOf(c) / 255.0, GreenOf(c) / 255.0, BlueOf(c) / 255.0);
}

// A mix mode applied to one byte: bit (P, D) of the 4-bit truth table
// (mode - 1) gives the result bit.
std::uint8_t Rop2Byte(int mode, std::uint8_t p, std::uint8_t d) {
  int t = (mode - 1) & 15;
  std::uint8_t r = 0;
  if (t & 1) r |= std::uint8_t(~p & ~d);
  if (t & 2) r |= std::uint8_t(~p & d);
  if (t & 4) r |= std::uint8_t(p & ~d);
  if (t & 8) r |= std::uint8_t(p & d);
  return r;
}

// A ternary raster operation applied to one byte: bit (P, S, D) of the
// operation's truth table gives the result bit.
std::uint8_t Rop3Byte(std::uint8_t code, std::uint8_t p, std::uint8_t s, std::uint8_t d) {
  std::uint8_t r = 0;
  for (int i = 0; i < 8; ++i)
    if (code >> i & 1)
      r |= std::uint8_t(((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d));
  return r;
}

std::uint32_t ApplyBytes(std::uint32_t p, std::uint32_t d, int mode) {
  std::uint32_t out = 0;
  for (int k = 0; k < 24; k += 8)
    out |= std::uint32_t(Rop2Byte(mode, std::uint8_t(p >> k), std::uint8_t(d >> k))) << k;
  return out;
}

// ---- objects ----------------------------------------------------------------

struct Pen {
  std::uint32_t style = PS_SOLID;
  double width = 0;  // logical units; cosmetic pens draw one pixel
  bool geometric = false;
  ColorRef color = 0;
  std::vector<double> user_dashes;
  bool IsNull() const { return (style & PS_STYLE_MASK) == PS_NULL; }
};

struct Brush {
  std::uint32_t style = BS_SOLID;
  ColorRef color = 0xFFFFFF;
  std::uint32_t hatch = 0;
  std::shared_ptr<const Picture> pattern;
  bool monochrome = false;  // pattern colours come from the text and background colours
};

struct GdiObject {
  enum Kind { kEmpty, kPen, kBrush, kFont, kOther } kind = kEmpty;
  Pen pen;
  Brush brush;
  LogFont font;
};

Brush StockBrush(int n) {
  Brush b;
  switch (n) {
    case WHITE_BRUSH: b.color = 0xFFFFFF; break;
    case LTGRAY_BRUSH: b.color = 0xC0C0C0; break;
    case GRAY_BRUSH: b.color = 0x808080; break;
    case DKGRAY_BRUSH: b.color = 0x404040; break;
    case BLACK_BRUSH: b.color = 0; break;
    case NULL_BRUSH: b.style = BS_NULL; break;
    default: b.color = 0xFFFFFF; break;  // DC_BRUSH starts white
  }
  return b;
}

Pen StockPen(int n) {
  Pen p;
  if (n == WHITE_PEN) p.color = 0xFFFFFF;
  if (n == NULL_PEN) p.style = PS_NULL;
  return p;
}

// ---- paths --------------------------------------------------------------------

struct DevicePath {
  std::vector<PointD> points;
  std::vector<std::uint8_t> types;
  void MoveTo(PointD p) {
    points.push_back(p);
    types.push_back(PT_MOVETO);
  }
  void LineTo(PointD p) {
    points.push_back(p);
    types.push_back(PT_LINETO);
  }
  void BezierTo(PointD a, PointD b, PointD c) {
    points.insert(points.end(), {a, b, c});
    types.insert(types.end(), {PT_BEZIERTO, PT_BEZIERTO, PT_BEZIERTO});
  }
  void Close() {
    if (!types.empty()) types.back() |= PT_CLOSEFIGURE;
  }
  void Append(const DevicePath& o) {
    points.insert(points.end(), o.points.begin(), o.points.end());
    types.insert(types.end(), o.types.begin(), o.types.end());
  }
  bool Empty() const { return points.empty(); }
};

void ToCairo(cairo_t* cr, const DevicePath& p, double offset) {
  cairo_new_path(cr);
  for (std::size_t i = 0; i < p.points.size(); ++i) {
    std::uint8_t t = p.types[i] & ~PT_CLOSEFIGURE;
    const PointD& q = p.points[i];
    if (t == PT_MOVETO) {
      cairo_move_to(cr, q.x + offset, q.y + offset);
    } else if (t == PT_BEZIERTO && i + 2 < p.points.size()) {
      const PointD& b = p.points[i + 1];
      const PointD& c = p.points[i + 2];
      if (!cairo_has_current_point(cr)) cairo_move_to(cr, q.x + offset, q.y + offset);
      cairo_curve_to(cr, q.x + offset, q.y + offset, b.x + offset, b.y + offset, c.x + offset,
                     c.y + offset);
      i += 2;
      if (p.types[i] & PT_CLOSEFIGURE) cairo_close_path(cr);
      continue;
    } else {
      if (!cairo_has_current_point(cr)) cairo_move_to(cr, q.x + offset, q.y + offset);
      else cairo_line_to(cr, q.x + offset, q.y + offset);
    }
    if (p.types[i] & PT_CLOSEFIGURE) cairo_close_path(cr);
  }
}

bool Usable(double v) { return std::isfinite(v) && std::fabs(v) < 1e7; }

// A new image surface, or null when cairo cannot make it (too large, out of
// memory); callers then draw nothing.
cairo_surface_t* NewSurface(cairo_format_t format, int w, int h) {
  cairo_surface_t* s = cairo_image_surface_create(format, w, h);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return nullptr;
  }
  return s;
}

}  // namespace

std::uint8_t HatchRow(std::uint32_t hatch, int row) {
  row &= 7;
  std::uint8_t diag_f = std::uint8_t(0x80 >> row);        // top-left to bottom-right
  std::uint8_t diag_b = std::uint8_t(0x01 << row);        // bottom-left to top-right
  switch (hatch) {
    case HS_HORIZONTAL: return row == 7 ? 0xFF : 0;
    case HS_VERTICAL: return 0x01;
    case HS_FDIAGONAL: return diag_f;
    case HS_BDIAGONAL: return diag_b;
    case HS_CROSS: return row == 7 ? 0xFF : 0x01;
    case HS_DIAGCROSS: return std::uint8_t(diag_f | diag_b);
    default: return 0;
  }
}

// ---- the device -------------------------------------------------------------------

struct PlaybackDevice::Impl {
  struct State {
    Mapping mapping;
    Pen pen;
    Brush brush;
    LogFont font = StockFontDescription(SYSTEM_FONT);
    ColorRef bk_color = 0xFFFFFF, text_color = 0;
    int bk_mode = OPAQUE, rop2 = R2_COPYPEN, fill_mode = ALTERNATE,
        arc_direction = AD_COUNTERCLOCKWISE;
    std::uint32_t text_align = 0;
    PointD position;  // logical
    std::shared_ptr<const std::vector<std::uint8_t>> clip;  // one byte per pixel; null: none
  };

  cairo_surface_t* surface = nullptr;
  int width = 0, height = 0;
  // Pixels visited by drawing, blits and clip operations since Begin.
  std::uint64_t pixel_work = 0;
  XForm playback;  // reference device pixels to work-bitmap pixels
  State state;
  std::vector<State> saved;
  std::vector<GdiObject> table;
  DevicePath path;
  bool in_path = false;
  bool path_valid = false;
  // The font of the last text record, kept while the same one is selected.
  std::unique_ptr<LogicalFont> text_font;

  ~Impl() {
    if (surface) cairo_surface_destroy(surface);
  }

  XForm Total() const { return state.mapping.LogicalToDevice().Then(playback); }
  PointD Dev(double x, double y) const { return Total().Apply(x, y); }
  PointD Dev(Point p) const { return Dev(p.x, p.y); }

  std::uint32_t* Row(int y) {
    return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface) +
                                            std::size_t(y) * cairo_image_surface_get_stride(surface));
  }
  const std::uint32_t* Row(int y) const {
    return reinterpret_cast<const std::uint32_t*>(
        cairo_image_surface_get_data(surface) + std::size_t(y) * cairo_image_surface_get_stride(surface));
  }
  bool Clipped(int x, int y) const {
    return state.clip && (*state.clip)[std::size_t(y) * width + x] == 0;
  }

  // ---- geometry -----------------------------------------------------------

  // An elliptical arc in logical space from angle a0 sweeping `sweep`
  // radians (positive: counterclockwise on screen), appended as Béziers.
  void ArcSegments(DevicePath& out, double cx, double cy, double rx, double ry, double a0,
                   double sweep, bool move_first, bool line_first) {
    auto E = [&](double t) { return PointD{cx + rx * std::cos(t), cy - ry * std::sin(t)}; };
    auto D = [&](double t) { return PointD{-rx * std::sin(t), -ry * std::cos(t)}; };
    PointD s = E(a0);
    if (move_first) out.MoveTo(Dev(s.x, s.y));
    else if (line_first) out.LineTo(Dev(s.x, s.y));
    int n = std::max(1, int(std::ceil(std::fabs(sweep) / (M_PI / 2) - 1e-9)));
    n = std::min(n, 64);
    double step = sweep / n;
    double k = 4.0 / 3.0 * std::tan(step / 4);
    for (int i = 0; i < n; ++i) {
      double t0 = a0 + i * step, t1 = t0 + step;
      PointD p0 = E(t0), p3 = E(t1), d0 = D(t0), d1 = D(t1);
      PointD p1{p0.x + k * d0.x, p0.y + k * d0.y}, p2{p3.x - k * d1.x, p3.y - k * d1.y};
      out.BezierTo(Dev(p1.x, p1.y), Dev(p2.x, p2.y), Dev(p3.x, p3.y));
    }
  }

  // True when "counterclockwise" in logical space appears clockwise on the
  // device (the mapping flips one axis).
  bool Flipped() const { return Total().Determinant() < 0; }

  // Angles of an ARC/CHORD/PIE record: the radial lines through the two
  // points, and the signed sweep in the current arc direction.
  void ArcAngles(const Rect& box, Point ps, Point pe, double& a0, double& sweep, double& cx,
                 double& cy, double& rx, double& ry) const {
    cx = (double(box.left) + box.right) / 2;
    cy = (double(box.top) + box.bottom) / 2;
    rx = std::fabs(double(box.right) - box.left) / 2;
    ry = std::fabs(double(box.bottom) - box.top) / 2;
    double sx = rx > 0 ? rx : 1, sy = ry > 0 ? ry : 1;
    a0 = std::atan2(-(ps.y - cy) / sy, (ps.x - cx) / sx);
    double a1 = std::atan2(-(pe.y - cy) / sy, (pe.x - cx) / sx);
    bool ccw = state.arc_direction != AD_CLOCKWISE;
    if (Flipped()) ccw = !ccw;
    if (ccw) {
      sweep = a1 - a0;
      while (sweep <= 0) sweep += 2 * M_PI;
    } else {
      sweep = a1 - a0;
      while (sweep >= 0) sweep -= 2 * M_PI;
    }
  }

  DevicePath RectanglePath(const Rect& r) {
    DevicePath p;
    bool ccw = (state.arc_direction != AD_CLOCKWISE) != Flipped();
    p.MoveTo(Dev(r.left, r.top));
    if (ccw) {
      p.LineTo(Dev(r.left, r.bottom));
      p.LineTo(Dev(r.right, r.bottom));
      p.LineTo(Dev(r.right, r.top));
    } else {
      p.LineTo(Dev(r.right, r.top));
      p.LineTo(Dev(r.right, r.bottom));
      p.LineTo(Dev(r.left, r.bottom));
    }
    p.Close();
    return p;
  }

  DevicePath EllipsePath(const Rect& r) {
    DevicePath p;
    double cx = (double(r.left) + r.right) / 2, cy = (double(r.top) + r.bottom) / 2;
    double rx = std::fabs(double(r.right) - r.left) / 2, ry = std::fabs(double(r.bottom) - r.top) / 2;
    bool ccw = (state.arc_direction != AD_CLOCKWISE) != Flipped();
    ArcSegments(p, cx, cy, rx, ry, 0, ccw ? 2 * M_PI : -2 * M_PI, true, false);
    p.Close();
    return p;
  }

  DevicePath RoundRectPath(const Rect& r, Point corner) {
    DevicePath p;
    double l = std::min(r.left, r.right), t = std::min(r.top, r.bottom);
    double rr = std::max(r.left, r.right), b = std::max(r.top, r.bottom);
    double ex = std::min(std::fabs(double(corner.x)) / 2, (rr - l) / 2);
    double ey = std::min(std::fabs(double(corner.y)) / 2, (b - t) / 2);
    // Clockwise on screen from the top edge; corners as quarter ellipses.
    p.MoveTo(Dev(l + ex, t));
    p.LineTo(Dev(rr - ex, t));
    ArcSegments(p, rr - ex, t + ey, ex, ey, M_PI / 2, -M_PI / 2, false, false);
    p.LineTo(Dev(rr, b - ey));
    ArcSegments(p, rr - ex, b - ey, ex, ey, 0, -M_PI / 2, false, false);
    p.LineTo(Dev(l + ex, b));
    ArcSegments(p, l + ex, b - ey, ex, ey, -M_PI / 2, -M_PI / 2, false, false);
    p.LineTo(Dev(l, t + ey));
    ArcSegments(p, l + ex, t + ey, ex, ey, M_PI, -M_PI / 2, false, false);
    p.Close();
    return p;
  }

  // ---- drawing -------------------------------------------------------------

  double PenWidthDevice() const {
    if (state.pen.IsNull()) return 0;
    if (!state.pen.geometric && state.pen.width <= 1) return 1;
    double w = state.pen.width * std::sqrt(std::fabs(Total().Determinant()));
    return std::clamp(w, 1.0, 4096.0);
  }

  // A cairo source for the selected brush, in device space; null for a
  // null brush. The caller destroys it.
  cairo_pattern_t* BrushPattern(const Brush& b, bool opaque_background) const {
    switch (b.style) {
      case BS_NULL: return nullptr;
      case BS_SOLID:
        return cairo_pattern_create_rgb(RedOf(b.color) / 255.0, GreenOf(b.color) / 255.0,
                                        BlueOf(b.color) / 255.0);
      case BS_HATCHED: {
        cairo_surface_t* s = NewSurface(CAIRO_FORMAT_ARGB32, 8, 8);
        if (!s) return nullptr;
        cairo_surface_flush(s);
        unsigned char* data = cairo_image_surface_get_data(s);
        int stride = cairo_image_surface_get_stride(s);
        for (int y = 0; y < 8; ++y) {
          std::uint8_t bits = HatchRow(b.hatch, y);
          auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
          for (int x = 0; x < 8; ++x)
            row[x] = (bits >> (7 - x) & 1) ? ToPixel(b.color)
                     : opaque_background   ? ToPixel(state.bk_color)
                                           : 0;
        }
        cairo_surface_mark_dirty(s);
        return RepeatPattern(s);
      }
      default: {
        if (!b.pattern || b.pattern->width <= 0) return nullptr;
        const Picture& pic = *b.pattern;
        cairo_surface_t* s = NewSurface(CAIRO_FORMAT_ARGB32, pic.width, pic.height);
        if (!s) return nullptr;
        cairo_surface_flush(s);
        unsigned char* data = cairo_image_surface_get_data(s);
        int stride = cairo_image_surface_get_stride(s);
        for (int y = 0; y < pic.height; ++y) {
          auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
          for (int x = 0; x < pic.width; ++x) {
            std::uint32_t v = pic.At(x, y);
            if (b.monochrome)  // clear bits draw in the text colour, set bits in the background colour
              v = (v & 0xFFFFFF) ? ToPixel(state.bk_color) : ToPixel(state.text_color);
            row[x] = v;
          }
        }
        cairo_surface_mark_dirty(s);
        return RepeatPattern(s);
      }
    }
  }

  static cairo_pattern_t* RepeatPattern(cairo_surface_t* s) {
    cairo_pattern_t* p = cairo_pattern_create_for_surface(s);
    cairo_surface_destroy(s);
    cairo_pattern_set_extend(p, CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(p, CAIRO_FILTER_NEAREST);
    return p;
  }

  // The pixel box of a device path (plus a margin), clipped to the bitmap.
  bool LayerBox(const DevicePath& p, double margin, int& x0, int& y0, int& x1, int& y1) const {
    double minx = std::numeric_limits<double>::max(), miny = minx, maxx = -minx, maxy = -minx;
    for (const PointD& q : p.points) {
      if (!Usable(q.x) || !Usable(q.y)) return false;
      minx = std::min(minx, q.x);
      miny = std::min(miny, q.y);
      maxx = std::max(maxx, q.x);
      maxy = std::max(maxy, q.y);
    }
    x0 = std::max(0, int(std::floor(minx - margin)) - 1);
    y0 = std::max(0, int(std::floor(miny - margin)) - 1);
    x1 = std::min(width, int(std::ceil(maxx + margin)) + 2);
    y1 = std::min(height, int(std::ceil(maxy + margin)) + 2);
    return x0 < x1 && y0 < y1;
  }

  // A box shape (rectangle, ellipse, rounded rectangle, chord, pie) keeps
  // its outline inside the box: GDI draws it on the first and last pixel
  // rows and columns, the right and bottom coordinates being exclusive.
  static DevicePath InsetHalfPixel(const DevicePath& p) {
    double x0 = std::numeric_limits<double>::max(), y0 = x0, x1 = -x0, y1 = -x0;
    for (const PointD& q : p.points) {
      x0 = std::min(x0, q.x);
      y0 = std::min(y0, q.y);
      x1 = std::max(x1, q.x);
      y1 = std::max(y1, q.y);
    }
    DevicePath out = p;
    if (x1 - x0 < 1 || y1 - y0 < 1) return out;
    for (PointD& q : out.points) {
      q.x = x0 + 0.5 + (q.x - x0) * (x1 - x0 - 1) / (x1 - x0);
      q.y = y0 + 0.5 + (q.y - y0) * (y1 - y0 - 1) / (y1 - y0);
    }
    return out;
  }

  void StrokeOn(cairo_t* cr, const DevicePath& p, bool box) {
    double w = PenWidthDevice();
    if (w <= 0) return;
    // Odd widths centre on pixel centres, as GDI lights the pixel whose
    // top-left corner the coordinate names.
    double offset = (int(std::lround(w)) % 2 == 1) ? 0.5 : 0;
    if (box) ToCairo(cr, InsetHalfPixel(p), offset - 0.5);
    else ToCairo(cr, p, offset);
    cairo_set_line_width(cr, w);
    std::uint32_t cap = state.pen.style & PS_ENDCAP_MASK, join = state.pen.style & PS_JOIN_MASK;
    bool cosmetic = !state.pen.geometric || w <= 1;
    cairo_set_line_cap(cr, cosmetic ? CAIRO_LINE_CAP_BUTT
                           : cap == PS_ENDCAP_FLAT ? CAIRO_LINE_CAP_BUTT
                           : cap == PS_ENDCAP_SQUARE ? CAIRO_LINE_CAP_SQUARE
                                                     : CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, cosmetic ? CAIRO_LINE_JOIN_MITER
                            : join == PS_JOIN_BEVEL ? CAIRO_LINE_JOIN_BEVEL
                            : join == PS_JOIN_MITER ? CAIRO_LINE_JOIN_MITER
                                                    : CAIRO_LINE_JOIN_ROUND);
    std::vector<double> dashes;
    switch (state.pen.style & PS_STYLE_MASK) {
      case PS_DASH: dashes = {18, 6}; break;
      case PS_DOT: dashes = {3, 3}; break;
      case PS_DASHDOT: dashes = {9, 6, 3, 6}; break;
      case PS_DASHDOTDOT: dashes = {9, 3, 3, 3, 3, 3}; break;
      case PS_ALTERNATE: dashes = {1, 1}; break;
      case PS_USERSTYLE: dashes = state.pen.user_dashes; break;
      default: break;
    }
    if (!state.pen.geometric && w > 1) dashes.clear();  // wide cosmetic pens draw solid
    if (!dashes.empty()) {
      if (state.bk_mode == OPAQUE) {
        SetSource(cr, state.bk_color);
        cairo_set_dash(cr, nullptr, 0, 0);
        cairo_stroke_preserve(cr);
      }
      cairo_set_dash(cr, dashes.data(), int(dashes.size()), 0);
    }
    SetSource(cr, state.pen.color);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
  }

  // Draws a figure (filled with the brush and/or outlined with the pen) in
  // a layer, then composes the layer onto the bitmap with the mix mode and
  // the clip.
  void Draw(const DevicePath& p, bool fill, bool stroke, bool box = false) {
    if (p.Empty() || state.rop2 == R2_NOP) return;
    if (fill && state.brush.style == BS_NULL) fill = false;
    if (stroke && state.pen.IsNull()) stroke = false;
    if (!fill && !stroke) return;
    int x0, y0, x1, y1;
    if (!LayerBox(p, stroke ? PenWidthDevice() : 0, x0, y0, x1, y1)) return;
    cairo_surface_t* layer = NewSurface(CAIRO_FORMAT_ARGB32, x1 - x0, y1 - y0);
    if (!layer) return;
    cairo_t* cr = cairo_create(layer);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_translate(cr, -x0, -y0);
    if (fill) {
      ToCairo(cr, p, 0);
      cairo_set_fill_rule(cr, state.fill_mode == WINDING ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
      if (cairo_pattern_t* src = BrushPattern(state.brush, state.bk_mode == OPAQUE)) {
        cairo_set_source(cr, src);
        cairo_fill(cr);
        cairo_pattern_destroy(src);
      }
    }
    if (stroke) StrokeOn(cr, p, box);
    cairo_destroy(cr);
    Compose(layer, x0, y0, state.rop2);
    cairo_surface_destroy(layer);
  }

  // Puts a premultiplied layer onto the bitmap at (x0, y0) through the mix
  // mode and the clip.
  void Compose(cairo_surface_t* layer, int x0, int y0, int mode) {
    cairo_surface_flush(layer);
    cairo_surface_flush(surface);
    int w = cairo_image_surface_get_width(layer), h = cairo_image_surface_get_height(layer);
    pixel_work += std::uint64_t(w) * h;
    const unsigned char* data = cairo_image_surface_get_data(layer);
    int stride = cairo_image_surface_get_stride(layer);
    for (int y = 0; y < h; ++y) {
      int dy = y0 + y;
      if (dy < 0 || dy >= height) continue;
      const auto* src = reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * stride);
      std::uint32_t* dst = Row(dy);
      for (int x = 0; x < w; ++x) {
        int dx = x0 + x;
        std::uint32_t s = src[x];
        std::uint32_t a = s >> 24;
        if (a == 0 || dx < 0 || dx >= width || Clipped(dx, dy)) continue;
        std::uint32_t d = dst[dx];
        if (mode == R2_COPYPEN || a < 255) {
          if (a == 255) {
            dst[dx] = s | 0xFF000000u;
          } else {
            std::uint32_t out = 0xFF000000u;
            for (int k = 0; k < 24; k += 8) {
              std::uint32_t sc = s >> k & 255, dc = d >> k & 255;
              out |= std::min<std::uint32_t>(255, sc + dc * (255 - a) / 255) << k;
            }
            dst[dx] = out;
          }
        } else {
          dst[dx] = 0xFF000000u | ApplyBytes(s, d, mode);
        }
      }
    }
    cairo_surface_mark_dirty(surface);
  }

  // Adds a figure to the open path, or draws it.
  void Emit(const DevicePath& p, bool fill, bool stroke, bool box = false) {
    if (in_path) {
      // A figure that continues from the current position starts there.
      bool starts_figure = !p.Empty() && (p.types[0] & ~PT_CLOSEFIGURE) == PT_MOVETO;
      if (!p.Empty() && !starts_figure && (path.Empty() || (path.types.back() & PT_CLOSEFIGURE)))
        path.MoveTo(Dev(state.position.x, state.position.y));
      path.Append(p);
      return;
    }
    Draw(p, fill, stroke, box);
  }

  // ---- clipping --------------------------------------------------------------

  // A mask of the bitmap's size from a device path (one byte per pixel).
  std::vector<std::uint8_t> MaskOf(const DevicePath& p, int fill_mode) {
    std::vector<std::uint8_t> mask(std::size_t(width) * height, 0);
    pixel_work += mask.size();
    if (p.Empty() || width == 0 || height == 0) return mask;
    for (const PointD& q : p.points)
      if (!Usable(q.x) || !Usable(q.y)) return mask;
    cairo_surface_t* s = NewSurface(CAIRO_FORMAT_A8, width, height);
    if (!s) return mask;
    cairo_t* cr = cairo_create(s);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    ToCairo(cr, p, 0);
    cairo_set_fill_rule(cr, fill_mode == WINDING ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) mask[std::size_t(y) * width + x] = data[y * stride + x] ? 255 : 0;
    cairo_surface_destroy(s);
    return mask;
  }

  // A mask from device rectangles.
  std::vector<std::uint8_t> MaskOfRects(const std::vector<std::array<double, 4>>& rects) {
    std::vector<std::uint8_t> mask(std::size_t(width) * height, 0);
    pixel_work += mask.size();
    for (const auto& r : rects) {
      int l = std::max(0, int(std::lround(std::clamp(r[0], -1e7, 1e7))));
      int t = std::max(0, int(std::lround(std::clamp(r[1], -1e7, 1e7))));
      int rr = std::min(width, int(std::lround(std::clamp(r[2], -1e7, 1e7))));
      int b = std::min(height, int(std::lround(std::clamp(r[3], -1e7, 1e7))));
      for (int y = t; y < b; ++y) std::memset(&mask[std::size_t(y) * width + l], 255, std::size_t(std::max(0, rr - l)));
    }
    return mask;
  }

  void CombineClip(const std::vector<std::uint8_t>& region, int mode) {
    if (mode == RGN_COPY) {
      state.clip = std::make_shared<const std::vector<std::uint8_t>>(region);
      return;
    }
    std::vector<std::uint8_t> current =
        state.clip ? *state.clip : std::vector<std::uint8_t>(std::size_t(width) * height, 255);
    pixel_work += current.size();
    // Masks hold only 0 and 255, so the region operations are bitwise ones
    // (which the compiler vectorises).
    std::size_t n = std::min(current.size(), region.size());
    std::uint8_t* a = current.data();
    const std::uint8_t* b = region.data();
    switch (mode) {
      case RGN_AND: for (std::size_t i = 0; i < n; ++i) a[i] &= b[i]; break;
      case RGN_OR: for (std::size_t i = 0; i < n; ++i) a[i] |= b[i]; break;
      case RGN_XOR: for (std::size_t i = 0; i < n; ++i) a[i] ^= b[i]; break;
      default: for (std::size_t i = 0; i < n; ++i) a[i] &= std::uint8_t(~b[i]); break;
    }
    state.clip = std::make_shared<const std::vector<std::uint8_t>>(std::move(current));
  }

  // Rectangles of region data at `at` in the record, in the record's units.
  bool RegionRects(Fields& f, std::size_t at, std::uint32_t byte_count, std::vector<Rect>& out) {
    out.clear();
    if (byte_count < 32 || !f.Has(at, byte_count)) return false;
    std::uint32_t count = f.U(at + 8);
    if (count > (byte_count - 32) / 16) return false;
    for (std::uint32_t i = 0; i < count; ++i) out.push_back(f.R(at + 32 + 16 * std::size_t(i)));
    return !f.Bad();
  }

  // ---- bitmaps -----------------------------------------------------------------

  // Decodes a bitmap held in the record at (offBmi, cbBmi, offBits, cbBits).
  bool RecordBitmap(Fields& f, std::uint32_t off_bmi, std::uint32_t cb_bmi, std::uint32_t off_bits,
                    std::uint32_t cb_bits, Picture& out, bool alpha) {
    if (cb_bmi == 0) return false;
    if (!f.Has(off_bmi, cb_bmi) || !f.Has(off_bits, cb_bits)) return false;
    return DecodeDib(f.Ptr(off_bmi), cb_bmi, f.Ptr(off_bits), cb_bits, out, alpha);
  }

  // A layer of the destination box holding `pic`'s part (sx, sy, sw, sh)
  // stretched over the device rectangle whose corners are d0 and d1.
  cairo_surface_t* SourceLayer(const Picture& pic, double sx, double sy, double sw, double sh,
                               PointD d0, PointD d1, int x0, int y0, int w, int h) {
    cairo_surface_t* layer = NewSurface(CAIRO_FORMAT_ARGB32, w, h);
    if (!layer) return nullptr;
    if (sw == 0 || sh == 0 || d1.x == d0.x || d1.y == d0.y) return layer;
    cairo_surface_t* src = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(pic.pixels.data())),
        CAIRO_FORMAT_ARGB32, pic.width, pic.height, pic.width * 4);
    cairo_t* cr = cairo_create(layer);
    cairo_translate(cr, -x0, -y0);
    cairo_translate(cr, d0.x, d0.y);
    cairo_scale(cr, (d1.x - d0.x) / sw, (d1.y - d0.y) / sh);
    cairo_translate(cr, -sx, -sy);
    cairo_set_source_surface(cr, src, 0, 0);
    bool one_to_one = std::fabs(std::fabs(d1.x - d0.x) - std::fabs(sw)) < 1e-6 &&
                      std::fabs(std::fabs(d1.y - d0.y) - std::fabs(sh)) < 1e-6;
    cairo_pattern_set_filter(cairo_get_source(cr), one_to_one ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_rectangle(cr, std::min(sx, sx + sw), std::min(sy, sy + sh), std::fabs(sw), std::fabs(sh));
    cairo_clip(cr);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(src);
    cairo_surface_flush(layer);
    return layer;
  }

  struct BlitBox {
    PointD d0, d1;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  };

  bool DestBox(Point dest, Point size, BlitBox& b) const {
    b.d0 = Dev(dest.x, dest.y);
    b.d1 = Dev(double(dest.x) + size.x, double(dest.y) + size.y);
    if (!Usable(b.d0.x) || !Usable(b.d0.y) || !Usable(b.d1.x) || !Usable(b.d1.y)) return false;
    b.x0 = std::max(0, int(std::lround(std::min(b.d0.x, b.d1.x))));
    b.y0 = std::max(0, int(std::lround(std::min(b.d0.y, b.d1.y))));
    b.x1 = std::min(width, int(std::lround(std::max(b.d0.x, b.d1.x))));
    b.y1 = std::min(height, int(std::lround(std::max(b.d0.y, b.d1.y))));
    return b.x0 < b.x1 && b.y0 < b.y1;
  }

  // The raster operation on the destination box with an optional source
  // layer, an optional mask layer (set pixels use `rop`, clear ones
  // `back_rop`), the selected brush as pattern, and the clip.
  void Raster(const BlitBox& b, cairo_surface_t* source, cairo_surface_t* mask, std::uint8_t rop,
              std::uint8_t back_rop, bool transparent_colour = false, std::uint32_t key = 0) {
    int w = b.x1 - b.x0, h = b.y1 - b.y0;
    pixel_work += std::uint64_t(std::max(0, w)) * std::max(0, h);
    cairo_surface_t* pattern = nullptr;
    auto uses_pattern = [](std::uint8_t r) { return (r >> 4 & 0x0F) != (r & 0x0F); };
    if (uses_pattern(rop) || (mask && uses_pattern(back_rop))) {
      pattern = NewSurface(CAIRO_FORMAT_ARGB32, w, h);
      if (!pattern) return;
      cairo_t* cr = cairo_create(pattern);
      cairo_set_source_rgb(cr, 0, 0, 0);
      cairo_paint(cr);
      cairo_translate(cr, -b.x0, -b.y0);
      if (cairo_pattern_t* p = BrushPattern(state.brush, true)) {
        cairo_set_source(cr, p);
        cairo_paint(cr);
        cairo_pattern_destroy(p);
      }
      cairo_destroy(cr);
      cairo_surface_flush(pattern);
    }
    auto pixel = [](cairo_surface_t* s, int x, int y) {
      return reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(s) +
                                                    std::size_t(y) * cairo_image_surface_get_stride(s))[x];
    };
    cairo_surface_flush(surface);
    for (int y = 0; y < h; ++y) {
      std::uint32_t* dst = Row(b.y0 + y);
      for (int x = 0; x < w; ++x) {
        int dx = b.x0 + x, dy = b.y0 + y;
        if (Clipped(dx, dy)) continue;
        std::uint32_t s = source ? pixel(source, x, y) : 0;
        if (transparent_colour && (s & 0xFFFFFF) == key) continue;
        std::uint8_t code = rop;
        if (mask) code = (pixel(mask, x, y) & 0xFFFFFF) ? rop : back_rop;
        std::uint32_t p = pattern ? pixel(pattern, x, y) : 0;
        std::uint32_t d = dst[dx];
        std::uint32_t out;
        if (code == 0xCC) out = s;
        else if (code == 0xF0) out = p;
        else if (code == 0xAA) out = d;
        else {
          out = 0;
          for (int k = 0; k < 24; k += 8)
            out |= std::uint32_t(Rop3Byte(code, std::uint8_t(p >> k), std::uint8_t(s >> k), std::uint8_t(d >> k))) << k;
        }
        dst[dx] = 0xFF000000u | out;
      }
    }
    cairo_surface_mark_dirty(surface);
    if (pattern) cairo_surface_destroy(pattern);
  }

  void AlphaCompose(const BlitBox& b, cairo_surface_t* source, int constant_alpha) {
    pixel_work += std::uint64_t(std::max(0, b.x1 - b.x0)) * std::max(0, b.y1 - b.y0);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(source);
    int stride = cairo_image_surface_get_stride(source);
    for (int y = b.y0; y < b.y1; ++y) {
      const auto* src = reinterpret_cast<const std::uint32_t*>(data + std::size_t(y - b.y0) * stride);
      std::uint32_t* dst = Row(y);
      for (int x = b.x0; x < b.x1; ++x) {
        if (Clipped(x, y)) continue;
        std::uint32_t s = src[x - b.x0], d = dst[x];
        std::uint32_t a = (s >> 24) * std::uint32_t(constant_alpha) / 255;
        std::uint32_t out = 0xFF000000u;
        for (int k = 0; k < 24; k += 8) {
          std::uint32_t sc = (s >> k & 255) * std::uint32_t(constant_alpha) / 255, dc = d >> k & 255;
          out |= std::min<std::uint32_t>(255, sc + dc * (255 - a) / 255) << k;
        }
        dst[x] = out;
      }
    }
    cairo_surface_mark_dirty(surface);
  }

  // ---- records -------------------------------------------------------------------

  bool Play(const MetafileRecord& r);
  bool PlayPoly(Fields& f, std::uint32_t type);
  bool PlayObject(Fields& f, std::uint32_t type);
  bool PlayBitmap(Fields& f, std::uint32_t type);
  bool PlayState(Fields& f, const MetafileRecord& r);
  bool PlaySelection(Fields& f, const MetafileRecord& r);
  bool PlayShape(Fields& f, const MetafileRecord& r);
  bool PlayPath(Fields& f, const MetafileRecord& r);
  bool PlayClip(Fields& f, const MetafileRecord& r);
  bool PlayRegion(Fields& f, const MetafileRecord& r);
  bool PlayText(const MetafileRecord& r);
};

bool PlaybackDevice::Impl::PlayPoly(Fields& f, std::uint32_t type) {
  std::vector<Point> pts;
  bool sixteen = type >= EMR_POLYBEZIER16 && type <= EMR_POLYDRAW16;
  std::uint32_t base = sixteen ? type - EMR_POLYBEZIER16 + EMR_POLYBEZIER : type;
  if (type == EMR_POLYDRAW16) base = EMR_POLYDRAW;
  if (base == EMR_POLYPOLYLINE || base == EMR_POLYPOLYGON) {
    std::uint32_t npolys = f.U(24), count = f.U(28);
    if (f.Bad() || npolys > (f.Size() - 32) / 4) return false;
    std::vector<std::uint32_t> counts(npolys);
    std::uint64_t total = 0;
    for (std::uint32_t i = 0; i < npolys; ++i) total += counts[i] = f.U(32 + 4 * std::size_t(i));
    if (total != count || !f.Points(32 + 4 * std::size_t(npolys), count, sixteen, pts)) return false;
    DevicePath p;
    std::size_t k = 0;
    for (std::uint32_t c : counts) {
      for (std::uint32_t i = 0; i < c; ++i, ++k)
        i == 0 ? p.MoveTo(Dev(pts[k])) : p.LineTo(Dev(pts[k]));
      if (base == EMR_POLYPOLYGON && c > 0) p.Close();
    }
    Emit(p, base == EMR_POLYPOLYGON, true);
    return true;
  }
  std::uint32_t count = f.U(24);
  if (f.Bad() || !f.Points(28, count, sixteen, pts)) return false;
  DevicePath p;
  PointD cur = Dev(state.position.x, state.position.y);
  switch (base) {
    case EMR_POLYGON:
    case EMR_POLYLINE:
      for (std::size_t i = 0; i < pts.size(); ++i) i == 0 ? p.MoveTo(Dev(pts[i])) : p.LineTo(Dev(pts[i]));
      if (base == EMR_POLYGON) p.Close();
      Emit(p, base == EMR_POLYGON, true);
      break;
    case EMR_POLYLINETO:
      if (!in_path) p.MoveTo(cur);
      for (const Point& q : pts) p.LineTo(Dev(q));
      Emit(p, false, true);
      if (!pts.empty()) state.position = {double(pts.back().x), double(pts.back().y)};
      break;
    case EMR_POLYBEZIER:
      if (pts.empty()) break;
      p.MoveTo(Dev(pts[0]));
      for (std::size_t i = 1; i + 2 < pts.size(); i += 3) p.BezierTo(Dev(pts[i]), Dev(pts[i + 1]), Dev(pts[i + 2]));
      Emit(p, false, true);
      break;
    case EMR_POLYBEZIERTO:
      if (!in_path) p.MoveTo(cur);
      for (std::size_t i = 0; i + 2 < pts.size(); i += 3) p.BezierTo(Dev(pts[i]), Dev(pts[i + 1]), Dev(pts[i + 2]));
      Emit(p, false, true);
      if (pts.size() >= 3) {
        const Point& last = pts[(pts.size() / 3) * 3 - 1];
        state.position = {double(last.x), double(last.y)};
      }
      break;
    case EMR_POLYDRAW: {
      std::size_t at = 28 + pts.size() * (sixteen ? 4 : 8);
      if (!f.Has(at, pts.size())) return false;
      const std::uint8_t* types = f.Ptr(at);
      if (!in_path) p.MoveTo(cur);
      for (std::size_t i = 0; i < pts.size(); ++i) {
        std::uint8_t t = types[i] & ~PT_CLOSEFIGURE;
        if (t == PT_MOVETO) p.MoveTo(Dev(pts[i]));
        else if (t == PT_BEZIERTO && i + 2 < pts.size()) {
          p.BezierTo(Dev(pts[i]), Dev(pts[i + 1]), Dev(pts[i + 2]));
          i += 2;
        } else p.LineTo(Dev(pts[i]));
        if (types[i] & PT_CLOSEFIGURE) p.Close();
      }
      Emit(p, false, true);
      if (!pts.empty()) state.position = {double(pts.back().x), double(pts.back().y)};
      break;
    }
  }
  return true;
}

bool PlaybackDevice::Impl::PlayObject(Fields& f, std::uint32_t type) {
  std::uint32_t index = f.U(8);
  if (f.Bad() || index == 0 || index >= table.size()) return false;
  GdiObject o;
  switch (type) {
    case EMR_CREATEPEN: {
      o.kind = GdiObject::kPen;
      o.pen.style = f.U(12);
      o.pen.width = std::abs(f.I(16));
      o.pen.color = f.C(24);
      if ((o.pen.style & PS_STYLE_MASK) == PS_INSIDEFRAME) o.pen.style &= ~PS_STYLE_MASK;
      o.pen.geometric = o.pen.width > 1;
      break;
    }
    case EMR_EXTCREATEPEN: {
      o.kind = GdiObject::kPen;
      o.pen.style = f.U(28);
      o.pen.width = f.U(32);
      o.pen.color = f.C(40);
      o.pen.geometric = (o.pen.style & PS_GEOMETRIC) != 0;
      std::uint32_t entries = f.U(48);
      if (!f.Bad() && entries <= 64 && f.Has(52, 4 * std::size_t(entries)))
        for (std::uint32_t i = 0; i < entries; ++i)
          o.pen.user_dashes.push_back(std::max(1u, std::min(f.U(52 + 4 * i), 4096u)));
      if (f.U(36) == BS_NULL) o.pen.style = (o.pen.style & ~PS_STYLE_MASK) | PS_NULL;
      break;
    }
    case EMR_CREATEBRUSHINDIRECT: {
      o.kind = GdiObject::kBrush;
      o.brush.style = f.U(12);
      o.brush.color = f.C(16);
      o.brush.hatch = f.U(20);
      if (o.brush.style != BS_SOLID && o.brush.style != BS_NULL && o.brush.style != BS_HATCHED)
        o.brush.style = BS_SOLID;
      break;
    }
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT: {
      o.kind = GdiObject::kBrush;
      auto pic = std::make_shared<Picture>();
      if (!RecordBitmap(f, f.U(16), f.U(20), f.U(24), f.U(28), *pic, false)) return false;
      o.brush.style = type == EMR_CREATEMONOBRUSH ? BS_PATTERN : BS_DIBPATTERNPT;
      o.brush.monochrome = type == EMR_CREATEMONOBRUSH;
      o.brush.pattern = pic;
      break;
    }
    case EMR_EXTCREATEFONTINDIRECTW: {
      if (!f.Has(12, sizeof(LogFont))) return false;
      o.kind = GdiObject::kFont;
      std::memcpy(&o.font, f.Ptr(12), sizeof(LogFont));
      break;
    }
    default:  // palettes and colour spaces take a slot and nothing else
      o.kind = GdiObject::kOther;
      break;
  }
  if (f.Bad()) return false;
  table[index] = std::move(o);
  return true;
}

bool PlaybackDevice::Impl::PlayBitmap(Fields& f, std::uint32_t type) {
  BlitBox box;
  Picture pic;
  switch (type) {
    case EMR_BITBLT:
    case EMR_STRETCHBLT: {
      Point dest = f.P(24), size = f.P(32);
      std::uint32_t rop = f.U(40);
      Point src = f.P(44);
      bool has_bits = RecordBitmap(f, f.U(84), f.U(88), f.U(92), f.U(96), pic, false);
      Point ssize = type == EMR_STRETCHBLT ? f.P(100) : size;
      if (f.Bad()) return false;
      if (!DestBox(dest, size, box)) return true;
      std::uint8_t code = std::uint8_t(rop >> 16);
      bool uses_source = ((code >> 2) & 0x33) != (code & 0x33);
      if (uses_source && !has_bits) return false;
      cairo_surface_t* layer = nullptr;
      if (uses_source)
        layer = SourceLayer(pic, src.x, src.y, ssize.x, ssize.y, box.d0, box.d1, box.x0, box.y0,
                            box.x1 - box.x0, box.y1 - box.y0);
      if (uses_source && !layer) return true;
      Raster(box, layer, nullptr, code, code);
      if (layer) cairo_surface_destroy(layer);
      return true;
    }
    case EMR_STRETCHDIBITS:
    case EMR_SETDIBITSTODEVICE: {
      Point dest = f.P(24), src = f.P(32), ssize = f.P(40);
      Point size = ssize;
      std::uint32_t rop = SRCCOPY;
      if (type == EMR_STRETCHDIBITS) {
        rop = f.U(68);
        size = f.P(72);
      }
      if (f.Bad()) return false;
      if (!RecordBitmap(f, f.U(48), f.U(52), f.U(56), f.U(60), pic, false)) return false;
      if (!DestBox(dest, size, box)) return true;
      // Source coordinates count from the first stored row: the bottom row
      // of a bottom-up bitmap.
      DibHeader h;
      ReadDibHeader(f.Ptr(f.U(48)), f.U(52), h);
      double sy = h.top_down ? src.y : double(pic.height) - src.y - ssize.y;
      cairo_surface_t* layer = SourceLayer(pic, src.x, sy, ssize.x, ssize.y, box.d0, box.d1, box.x0,
                                           box.y0, box.x1 - box.x0, box.y1 - box.y0);
      if (!layer) return true;
      Raster(box, layer, nullptr, std::uint8_t(rop >> 16), std::uint8_t(rop >> 16));
      cairo_surface_destroy(layer);
      return true;
    }
    case EMR_MASKBLT: {
      Point dest = f.P(24), size = f.P(32), src = f.P(44);
      std::uint32_t rop4 = f.U(40);
      Point mask_at = f.P(100);
      if (f.Bad()) return false;
      if (!RecordBitmap(f, f.U(84), f.U(88), f.U(92), f.U(96), pic, false)) return false;
      Picture mask;
      bool has_mask = RecordBitmap(f, f.U(112), f.U(116), f.U(120), f.U(124), mask, false);
      if (!DestBox(dest, size, box)) return true;
      int w = box.x1 - box.x0, h = box.y1 - box.y0;
      cairo_surface_t* layer = SourceLayer(pic, src.x, src.y, size.x, size.y, box.d0, box.d1, box.x0, box.y0, w, h);
      if (!layer) return true;
      cairo_surface_t* mlayer = has_mask ? SourceLayer(mask, mask_at.x, mask_at.y, size.x, size.y, box.d0,
                                                       box.d1, box.x0, box.y0, w, h)
                                         : nullptr;
      Raster(box, layer, mlayer, std::uint8_t(rop4 >> 16), std::uint8_t(rop4 >> 24));
      cairo_surface_destroy(layer);
      if (mlayer) cairo_surface_destroy(mlayer);
      return true;
    }
    case EMR_ALPHABLEND:
    case EMR_TRANSPARENTBLT: {
      Point dest = f.P(24), size = f.P(32);
      std::uint32_t word = f.U(40);
      Point src = f.P(44);
      Point ssize = f.P(100);
      if (f.Bad()) return false;
      bool alpha = type == EMR_ALPHABLEND && (word >> 24 & AC_SRC_ALPHA);
      if (!RecordBitmap(f, f.U(84), f.U(88), f.U(92), f.U(96), pic, alpha)) return false;
      if (!DestBox(dest, size, box)) return true;
      cairo_surface_t* layer = SourceLayer(pic, src.x, src.y, ssize.x, ssize.y, box.d0, box.d1, box.x0,
                                           box.y0, box.x1 - box.x0, box.y1 - box.y0);
      if (!layer) return true;
      if (type == EMR_ALPHABLEND) AlphaCompose(box, layer, int(word >> 16 & 255));
      else Raster(box, layer, nullptr, 0xCC, 0xCC, true, ToPixel(word & 0xFFFFFF) & 0xFFFFFF);
      cairo_surface_destroy(layer);
      return true;
    }
  }
  return false;
}

// Mapping, modes, the current position and saved states.
bool PlaybackDevice::Impl::PlayState(Fields& f, const MetafileRecord& r) {
  switch (r.type) {
    case EMR_SETMAPMODE: state.mapping.SetMapMode(f.I(8)); break;
    case EMR_SETWINDOWEXTEX: state.mapping.SetWindowExt(f.P(8)); break;
    case EMR_SETWINDOWORGEX: state.mapping.SetWindowOrg(f.P(8)); break;
    case EMR_SETVIEWPORTEXTEX: state.mapping.SetViewportExt(f.P(8)); break;
    case EMR_SETVIEWPORTORGEX: state.mapping.SetViewportOrg(f.P(8)); break;
    case EMR_SCALEVIEWPORTEXTEX: state.mapping.ScaleViewportExt(f.I(8), f.I(12), f.I(16), f.I(20)); break;
    case EMR_SCALEWINDOWEXTEX: state.mapping.ScaleWindowExt(f.I(8), f.I(12), f.I(16), f.I(20)); break;
    case EMR_SETWORLDTRANSFORM: {
      XForm x = f.X(8);
      if (f.Bad()) return false;
      state.mapping.SetWorld(x);
      break;
    }
    case EMR_MODIFYWORLDTRANSFORM: {
      XForm x = f.X(8);
      int mode = f.I(32);
      if (f.Bad()) return false;
      if (!state.mapping.ModifyWorld(x, mode)) return false;
      break;
    }

    // Plain state.
    case EMR_SETBKMODE: state.bk_mode = f.I(8) == TRANSPARENT ? TRANSPARENT : OPAQUE; break;
    case EMR_SETPOLYFILLMODE: state.fill_mode = f.I(8) == WINDING ? WINDING : ALTERNATE; break;
    case EMR_SETROP2: {
      int m = f.I(8);
      if (m < R2_BLACK || m > R2_WHITE) return false;
      state.rop2 = m;
      break;
    }
    case EMR_SETTEXTALIGN: state.text_align = f.U(8); break;
    case EMR_SETTEXTCOLOR: state.text_color = f.C(8); break;
    case EMR_SETBKCOLOR: state.bk_color = f.C(8); break;
    case EMR_SETARCDIRECTION:
      state.arc_direction = f.I(8) == AD_CLOCKWISE ? AD_CLOCKWISE : AD_COUNTERCLOCKWISE;
      break;
    case EMR_MOVETOEX: {
      Point p = f.P(8);
      if (f.Bad()) return false;
      state.position = {double(p.x), double(p.y)};
      if (in_path) path.MoveTo(Dev(p));
      break;
    }
    case EMR_SAVEDC: saved.push_back(state); break;
    case EMR_RESTOREDC: {
      int rel = f.I(8);
      int level = rel < 0 ? int(saved.size()) + rel + 1 : rel;
      if (level < 1 || level > int(saved.size())) return false;
      state = saved[std::size_t(level - 1)];
      saved.resize(std::size_t(level - 1));
      break;
    }
    default:
      break;
  }
  return !f.Bad();
}

// Selecting and deleting objects of the table.
bool PlaybackDevice::Impl::PlaySelection(Fields& f, const MetafileRecord& r) {
  switch (r.type) {
    case EMR_SELECTOBJECT: {
      std::uint32_t index = f.U(8);
      if (index & kStockFlag) {
        int n = int(index & 0x7FFFFFFF);
        if (n <= NULL_BRUSH || n == DC_BRUSH) state.brush = StockBrush(n);
        else if (n <= NULL_PEN || n == DC_PEN) state.pen = StockPen(n);
        else if (n >= OEM_FIXED_FONT && n <= DEFAULT_GUI_FONT && n != DEFAULT_PALETTE) state.font = StockFontDescription(n);
        else if (n != DEFAULT_PALETTE) return false;
        break;
      }
      if (index == 0 || index >= table.size()) return false;
      const GdiObject& o = table[index];
      if (o.kind == GdiObject::kPen) state.pen = o.pen;
      else if (o.kind == GdiObject::kBrush) state.brush = o.brush;
      else if (o.kind == GdiObject::kFont) state.font = o.font;
      else if (o.kind == GdiObject::kEmpty) return false;
      break;
    }
    case EMR_DELETEOBJECT: {
      std::uint32_t index = f.U(8);
      if (index == 0 || index >= table.size()) return false;
      table[index] = GdiObject{};
      break;
    }
    default:
      break;
  }
  return !f.Bad();
}

// Pixels, lines, rectangles, ellipses, arcs and gradients.
bool PlaybackDevice::Impl::PlayShape(Fields& f, const MetafileRecord& r) {
  switch (r.type) {
    case EMR_SETPIXELV: {
      Point p = f.P(8);
      ColorRef c = f.C(16);
      if (f.Bad()) return false;
      PointD d = Dev(p);
      if (!Usable(d.x) || !Usable(d.y)) return true;
      int x = int(std::lround(d.x)), y = int(std::lround(d.y));
      if (x >= 0 && y >= 0 && x < width && y < height && !Clipped(x, y)) {
        cairo_surface_flush(surface);
        Row(y)[x] = ToPixel(c);
        cairo_surface_mark_dirty(surface);
      }
      break;
    }
    case EMR_LINETO: {
      Point p = f.P(8);
      if (f.Bad()) return false;
      DevicePath path_piece;
      if (!in_path) path_piece.MoveTo(Dev(state.position.x, state.position.y));
      path_piece.LineTo(Dev(p));
      Emit(path_piece, false, true);
      state.position = {double(p.x), double(p.y)};
      break;
    }
    case EMR_RECTANGLE: Emit(RectanglePath(f.R(8)), true, true, true); break;
    case EMR_ELLIPSE: Emit(EllipsePath(f.R(8)), true, true, true); break;
    case EMR_ROUNDRECT: Emit(RoundRectPath(f.R(8), f.P(24)), true, true, true); break;
    case EMR_ARC: case EMR_ARCTO: case EMR_CHORD: case EMR_PIE: {
      Rect box = f.R(8);
      Point ps = f.P(24), pe = f.P(32);
      if (f.Bad()) return false;
      double a0, sweep, cx, cy, rx, ry;
      ArcAngles(box, ps, pe, a0, sweep, cx, cy, rx, ry);
      DevicePath p;
      if (r.type == EMR_ARCTO) {
        if (!in_path) p.MoveTo(Dev(state.position.x, state.position.y));
        ArcSegments(p, cx, cy, rx, ry, a0, sweep, false, true);
        double e = a0 + sweep;
        state.position = {cx + rx * std::cos(e), cy - ry * std::sin(e)};
      } else if (r.type == EMR_PIE) {
        p.MoveTo(Dev(cx, cy));
        ArcSegments(p, cx, cy, rx, ry, a0, sweep, false, true);
        p.Close();
      } else {
        ArcSegments(p, cx, cy, rx, ry, a0, sweep, true, false);
        if (r.type == EMR_CHORD) p.Close();
      }
      Emit(p, r.type == EMR_CHORD || r.type == EMR_PIE, true, false);
      break;
    }
    case EMR_ANGLEARC: {
      Point c = f.P(8);
      double radius = f.U(16);
      double start = f.F(20) * M_PI / 180, sweep = f.F(24) * M_PI / 180;
      if (f.Bad() || std::fabs(sweep) > 720 * M_PI) return false;
      DevicePath p;
      if (!in_path) p.MoveTo(Dev(state.position.x, state.position.y));
      ArcSegments(p, c.x, c.y, radius, radius, start, sweep, false, true);
      Emit(p, false, true);
      double e = start + sweep;
      state.position = {c.x + radius * std::cos(e), c.y - radius * std::sin(e)};
      break;
    }
    case EMR_GRADIENTFILL: {
      std::uint32_t nv = f.U(24), no = f.U(28), mode = f.U(32);
      if (f.Bad() || nv > (f.Size() - 36) / 16) return false;
      std::size_t per = mode == GRADIENT_FILL_TRIANGLE ? 3 : 2;
      if (mode > GRADIENT_FILL_TRIANGLE || no > (f.Size() - 36 - 16 * std::size_t(nv)) / (4 * per)) return false;
      std::vector<TriVertex> v(nv);
      std::memcpy(v.data(), f.Ptr(36), 16 * std::size_t(nv));
      std::size_t at = 36 + 16 * std::size_t(nv);
      for (std::uint32_t i = 0; i < no; ++i) {
        std::uint32_t idx[3] = {0, 0, 0};
        for (std::size_t k = 0; k < per; ++k) idx[k] = f.U(at + 4 * (i * per + k));
        bool ok = true;
        for (std::size_t k = 0; k < per; ++k) ok = ok && idx[k] < nv;
        if (!ok) continue;
        auto col = [](const TriVertex& t, double& r, double& g, double& b) {
          r = (t.red >> 8) / 255.0;
          g = (t.green >> 8) / 255.0;
          b = (t.blue >> 8) / 255.0;
        };
        DevicePath p;
        cairo_pattern_t* pat;
        double r0, g0, b0, r1, g1, b1;
        if (per == 2) {
          const TriVertex &a = v[idx[0]], &b = v[idx[1]];
          Rect box{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
          PointD d0 = Dev(a.x, a.y), d1 = Dev(b.x, b.y);
          p.MoveTo(Dev(box.left, box.top));
          p.LineTo(Dev(box.right, box.top));
          p.LineTo(Dev(box.right, box.bottom));
          p.LineTo(Dev(box.left, box.bottom));
          p.Close();
          pat = mode == GRADIENT_FILL_RECT_H ? cairo_pattern_create_linear(d0.x, 0, d1.x, 0)
                                             : cairo_pattern_create_linear(0, d0.y, 0, d1.y);
          col(a, r0, g0, b0);
          col(b, r1, g1, b1);
          cairo_pattern_add_color_stop_rgb(pat, 0, r0, g0, b0);
          cairo_pattern_add_color_stop_rgb(pat, 1, r1, g1, b1);
        } else {
          pat = cairo_pattern_create_mesh();
          cairo_mesh_pattern_begin_patch(pat);
          for (int k = 0; k < 3; ++k) {
            PointD d = Dev(v[idx[k]].x, v[idx[k]].y);
            k == 0 ? cairo_mesh_pattern_move_to(pat, d.x, d.y) : cairo_mesh_pattern_line_to(pat, d.x, d.y);
            k == 0 ? p.MoveTo(d) : p.LineTo(d);
          }
          p.Close();
          for (int k = 0; k < 3; ++k) {
            col(v[idx[k]], r0, g0, b0);
            cairo_mesh_pattern_set_corner_color_rgb(pat, k, r0, g0, b0);
          }
          cairo_mesh_pattern_end_patch(pat);
        }
        int x0, y0, x1, y1;
        if (LayerBox(p, 0, x0, y0, x1, y1)) {
          cairo_surface_t* layer = NewSurface(CAIRO_FORMAT_ARGB32, x1 - x0, y1 - y0);
          if (!layer) {
            cairo_pattern_destroy(pat);
            continue;
          }
          cairo_t* cr = cairo_create(layer);
          cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
          cairo_translate(cr, -x0, -y0);
          ToCairo(cr, p, 0);
          cairo_set_source(cr, pat);
          cairo_fill(cr);
          cairo_destroy(cr);
          Compose(layer, x0, y0, R2_COPYPEN);
          cairo_surface_destroy(layer);
        }
        cairo_pattern_destroy(pat);
      }
      break;
    }
    default:
      break;
  }
  return !f.Bad();
}

// Path brackets, drawing a path and the path as the clip.
bool PlaybackDevice::Impl::PlayPath(Fields& f, const MetafileRecord& r) {
  switch (r.type) {
    case EMR_BEGINPATH:
      path = DevicePath{};
      in_path = true;
      path_valid = false;
      break;
    case EMR_ENDPATH:
      if (!in_path) return false;
      in_path = false;
      path_valid = true;
      break;
    case EMR_ABORTPATH:
      path = DevicePath{};
      in_path = false;
      path_valid = false;
      break;
    case EMR_CLOSEFIGURE:
      if (in_path) path.Close();
      break;
    case EMR_FLATTENPATH:
      if (path_valid) {
        DevicePath flat;
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
        cairo_t* cr = cairo_create(s);
        ToCairo(cr, path, 0);
        cairo_path_t* cp = cairo_copy_path_flat(cr);
        for (int i = 0; i < cp->num_data; i += cp->data[i].header.length) {
          const cairo_path_data_t& d = cp->data[i];
          if (d.header.type == CAIRO_PATH_MOVE_TO) flat.MoveTo({cp->data[i + 1].point.x, cp->data[i + 1].point.y});
          else if (d.header.type == CAIRO_PATH_LINE_TO) flat.LineTo({cp->data[i + 1].point.x, cp->data[i + 1].point.y});
          else if (d.header.type == CAIRO_PATH_CLOSE_PATH) flat.Close();
        }
        cairo_path_destroy(cp);
        cairo_destroy(cr);
        cairo_surface_destroy(s);
        path = flat;
      }
      break;
    case EMR_WIDENPATH:
      break;
    case EMR_FILLPATH:
    case EMR_STROKEPATH:
    case EMR_STROKEANDFILLPATH:
      if (!path_valid) return false;
      Draw(path, r.type != EMR_STROKEPATH, r.type != EMR_FILLPATH);
      path = DevicePath{};
      path_valid = false;
      break;
    case EMR_SELECTCLIPPATH: {
      int mode = f.I(8);
      if (!path_valid || mode < RGN_AND || mode > RGN_COPY) return false;
      CombineClip(MaskOf(path, state.fill_mode), mode);
      path = DevicePath{};
      path_valid = false;
      break;
    }
    default:
      break;
  }
  return !f.Bad();
}

// Clip rectangles and regions.
bool PlaybackDevice::Impl::PlayClip(Fields& f, const MetafileRecord& r) {
  switch (r.type) {
    case EMR_INTERSECTCLIPRECT:
    case EMR_EXCLUDECLIPRECT: {
      Rect c = f.R(8);
      if (f.Bad()) return false;
      DevicePath p;
      p.MoveTo(Dev(c.left, c.top));
      p.LineTo(Dev(c.right, c.top));
      p.LineTo(Dev(c.right, c.bottom));
      p.LineTo(Dev(c.left, c.bottom));
      p.Close();
      CombineClip(MaskOf(p, ALTERNATE), r.type == EMR_INTERSECTCLIPRECT ? RGN_AND : RGN_DIFF);
      break;
    }
    case EMR_EXTSELECTCLIPRGN: {
      std::uint32_t cb = f.U(8);
      int mode = f.I(12);
      if (f.Bad() || mode < RGN_AND || mode > RGN_COPY) return false;
      if (cb == 0) {
        if (mode != RGN_COPY) return false;
        state.clip.reset();
        break;
      }
      std::vector<Rect> rects;
      if (!RegionRects(f, 16, cb, rects)) return false;
      // Region rectangles are in device units of the reference device.
      std::vector<std::array<double, 4>> dev;
      for (const Rect& q : rects) {
        PointD a = playback.Apply(q.left, q.top), b = playback.Apply(q.right, q.bottom);
        dev.push_back({std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)});
      }
      CombineClip(MaskOfRects(dev), mode);
      break;
    }
    case EMR_OFFSETCLIPRGN: {
      Point o = f.P(8);
      if (f.Bad()) return false;
      if (!state.clip) break;
      PointD a = Dev(0, 0), b = Dev(o.x, o.y);
      int dx = int(std::lround(b.x - a.x)), dy = int(std::lround(b.y - a.y));
      std::vector<std::uint8_t> moved(state.clip->size(), 0);
      pixel_work += moved.size();
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          int sx = x - dx, sy = y - dy;
          if (sx >= 0 && sy >= 0 && sx < width && sy < height)
            moved[std::size_t(y) * width + x] = (*state.clip)[std::size_t(sy) * width + sx];
        }
      state.clip = std::make_shared<const std::vector<std::uint8_t>>(std::move(moved));
      break;
    }
    default:
      break;
  }
  return !f.Bad();
}

// Filled, painted and inverted regions.
// Text: the glyph outlines of the selected font filled (antialiased) in the
// text colour, over the text cell in the background colour when the
// background mode is opaque and over the record's rectangle with
// ETO_OPAQUE, clipped to that rectangle with ETO_CLIPPED.
bool PlaybackDevice::Impl::PlayText(const MetafileRecord& r) {
  TextRecord text;
  if (!ReadTextRecord(r, &text)) return false;
  if (!text_font || std::memcmp(&text_font->Description(), &state.font, sizeof(LogFont)) != 0) {
    try {
      text_font = std::make_unique<LogicalFont>(state.font);
    } catch (const std::exception&) {
      text_font.reset();
      return false;
    }
  }
  const LogicalFont& font = *text_font;
  std::u32string chars = text.Characters();
  std::vector<double> advances;
  for (std::size_t i = 0; i < chars.size(); ++i)
    advances.push_back(i < text.Advances.size() ? double(text.Advances[i]) : font.Advance(chars[i]));
  PointD reference{double(text.Reference.x), double(text.Reference.y)};
  if (state.text_align & TA_UPDATECP) reference = state.position;
  TextLayout layout = LayOutText(font, Total(), reference, state.text_align, advances);
  if (state.text_align & TA_UPDATECP) state.position = layout.End;
  if (in_path || !layout.Usable || font.EmSize() * std::hypot(Total().eM21, Total().eM22) > 4096) return true;

  DevicePath cell, box;
  for (const PointD& p : layout.Cell) cell.types.empty() ? cell.MoveTo(p) : cell.LineTo(p);
  cell.Close();
  const bool has_box = !(text.Options & ETO_NO_RECT) && (text.Options & (ETO_OPAQUE | ETO_CLIPPED));
  if (has_box) box = RectanglePath(text.Rectangle);
  DevicePath extent = cell;
  if (has_box) extent.Append(box);
  int x0, y0, x1, y1;
  if (!LayerBox(extent, 2, x0, y0, x1, y1)) return true;
  cairo_surface_t* layer = NewSurface(CAIRO_FORMAT_ARGB32, x1 - x0, y1 - y0);
  if (!layer) return true;
  cairo_t* cr = cairo_create(layer);
  cairo_translate(cr, -x0, -y0);
  if (has_box && (text.Options & ETO_OPAQUE)) {
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    ToCairo(cr, box, 0);
    SetSource(cr, state.bk_color);
    cairo_fill(cr);
  }
  if (has_box && (text.Options & ETO_CLIPPED)) {
    ToCairo(cr, box, 0);
    cairo_clip(cr);
  }
  if (state.bk_mode == OPAQUE && !chars.empty()) {
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    ToCairo(cr, cell, 0);
    SetSource(cr, state.bk_color);
    cairo_fill(cr);
  }
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
  cairo_new_path(cr);
  const XForm& g = layout.Glyph;
  for (std::size_t i = 0; i < chars.size(); ++i) {
    GlyphOutline outline = font.Face().Outline(chars[i]);
    const PointD o = layout.Origins[i];
    auto at = [&](const OutlinePoint& q) { return PointD{o.x + g.eM11 * q.x + g.eM21 * q.y, o.y + g.eM12 * q.x + g.eM22 * q.y}; };
    for (const OutlineContour& contour : outline.Contours) {
      if (contour.empty()) continue;
      PointD last = at(contour[0]);
      cairo_move_to(cr, last.x, last.y);
      for (std::size_t k = 1; k < contour.size(); ++k) {
        if (contour[k].onCurve || k + 1 >= contour.size()) {
          last = at(contour[k]);
          cairo_line_to(cr, last.x, last.y);
        } else {
          // A quadratic segment as the cubic with the same curve.
          PointD c = at(contour[k]), e = at(contour[++k]);
          cairo_curve_to(cr, last.x + 2.0 / 3 * (c.x - last.x), last.y + 2.0 / 3 * (c.y - last.y),
                         e.x + 2.0 / 3 * (c.x - e.x), e.y + 2.0 / 3 * (c.y - e.y), e.x, e.y);
          last = e;
        }
      }
      cairo_close_path(cr);
    }
  }
  // Underline and strike-out bars along the baseline.
  const OutlineTextMetrics m = font.Metrics();
  const double sy = std::hypot(Total().eM21, Total().eM22);
  auto bar = [&](double position, double size) {
    if (layout.Origins.empty()) return;
    const PointD up{g.eM21 / std::hypot(g.eM21, g.eM22), g.eM22 / std::hypot(g.eM21, g.eM22)};
    const PointD start = layout.Origins[0];
    const PointD width{layout.Cell[1].x - layout.Cell[0].x, layout.Cell[1].y - layout.Cell[0].y};
    const double top = position * sy, bottom = (position - size) * sy;
    cairo_move_to(cr, start.x + top * up.x, start.y + top * up.y);
    cairo_rel_line_to(cr, width.x, width.y);
    cairo_line_to(cr, start.x + width.x + bottom * up.x, start.y + width.y + bottom * up.y);
    cairo_line_to(cr, start.x + bottom * up.x, start.y + bottom * up.y);
    cairo_close_path(cr);
  };
  if (font.Description().lfUnderline) bar(m.UnderscorePosition, m.UnderscoreSize);
  if (font.Description().lfStrikeOut) bar(m.StrikeoutPosition, m.StrikeoutSize);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  SetSource(cr, state.text_color);
  cairo_fill(cr);
  cairo_destroy(cr);
  Compose(layer, x0, y0, R2_COPYPEN);
  cairo_surface_destroy(layer);
  return true;
}

bool PlaybackDevice::Impl::PlayRegion(Fields& f, const MetafileRecord& r) {
  switch (r.type) {
    case EMR_FILLRGN:
    case EMR_PAINTRGN:
    case EMR_INVERTRGN: {
      std::uint32_t cb = f.U(24);
      std::size_t at = r.type == EMR_FILLRGN ? 32 : 28;
      Brush brush = state.brush;
      if (r.type == EMR_FILLRGN) {
        std::uint32_t index = f.U(28);
        if (index & kStockFlag) {
          brush = StockBrush(int(index & 0xFF));
        } else {
          if (index == 0 || index >= table.size() || table[index].kind != GdiObject::kBrush) return false;
          brush = table[index].brush;
        }
      }
      std::vector<Rect> rects;
      if (f.Bad() || !RegionRects(f, at, cb, rects)) return false;
      DevicePath p;
      for (const Rect& q : rects) {
        p.MoveTo(Dev(q.left, q.top));
        p.LineTo(Dev(q.right, q.top));
        p.LineTo(Dev(q.right, q.bottom));
        p.LineTo(Dev(q.left, q.bottom));
        p.Close();
      }
      Brush saved_brush = state.brush;
      Pen saved_pen = state.pen;
      int saved_rop = state.rop2, saved_fill = state.fill_mode;
      state.brush = brush;
      state.pen = StockPen(NULL_PEN);
      state.fill_mode = WINDING;
      if (r.type == EMR_INVERTRGN) {
        state.brush = StockBrush(BLACK_BRUSH);
        state.rop2 = R2_NOT;
      }
      Draw(p, true, false);
      state.brush = saved_brush;
      state.pen = saved_pen;
      state.rop2 = saved_rop;
      state.fill_mode = saved_fill;
      break;
    }
    default:
      break;
  }
  return !f.Bad();
}

bool PlaybackDevice::Impl::Play(const MetafileRecord& r) {
  if (!r.sound || !r.data || r.size < 8 || !surface) return false;
  Fields f(r);
  switch (r.type) {
    case EMR_HEADER:
    case EMR_EOF:
    case EMR_COMMENT:
      return true;
    case EMR_POLYBEZIER: case EMR_POLYGON: case EMR_POLYLINE: case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO: case EMR_POLYPOLYLINE: case EMR_POLYPOLYGON: case EMR_POLYDRAW:
    case EMR_POLYBEZIER16: case EMR_POLYGON16: case EMR_POLYLINE16: case EMR_POLYBEZIERTO16:
    case EMR_POLYLINETO16: case EMR_POLYPOLYLINE16: case EMR_POLYPOLYGON16: case EMR_POLYDRAW16:
      return PlayPoly(f, r.type);
    case EMR_SETMAPMODE: case EMR_SETWINDOWEXTEX: case EMR_SETWINDOWORGEX: case EMR_SETVIEWPORTEXTEX:
    case EMR_SETVIEWPORTORGEX: case EMR_SCALEVIEWPORTEXTEX: case EMR_SCALEWINDOWEXTEX:
    case EMR_SETWORLDTRANSFORM: case EMR_MODIFYWORLDTRANSFORM: case EMR_SETBKMODE: case EMR_SETPOLYFILLMODE:
    case EMR_SETROP2: case EMR_SETTEXTALIGN: case EMR_SETTEXTCOLOR: case EMR_SETBKCOLOR:
    case EMR_SETARCDIRECTION: case EMR_MOVETOEX: case EMR_SAVEDC: case EMR_RESTOREDC:
      return PlayState(f, r);
    case EMR_CREATEPEN: case EMR_EXTCREATEPEN: case EMR_CREATEBRUSHINDIRECT:
    case EMR_CREATEMONOBRUSH: case EMR_CREATEDIBPATTERNBRUSHPT: case EMR_EXTCREATEFONTINDIRECTW:
    case 49 /* CREATEPALETTE */: case 99 /* CREATECOLORSPACE */: case 122 /* CREATECOLORSPACEW */:
      return PlayObject(f, r.type);
    case EMR_SELECTOBJECT: case EMR_DELETEOBJECT:
      return PlaySelection(f, r);
    case EMR_SETPIXELV: case EMR_LINETO: case EMR_RECTANGLE: case EMR_ELLIPSE: case EMR_ROUNDRECT:
    case EMR_ARC: case EMR_ARCTO: case EMR_CHORD: case EMR_PIE: case EMR_ANGLEARC: case EMR_GRADIENTFILL:
      return PlayShape(f, r);
    case EMR_BEGINPATH: case EMR_ENDPATH: case EMR_ABORTPATH: case EMR_CLOSEFIGURE: case EMR_FLATTENPATH:
    case EMR_WIDENPATH: case EMR_FILLPATH: case EMR_STROKEPATH: case EMR_STROKEANDFILLPATH:
    case EMR_SELECTCLIPPATH:
      return PlayPath(f, r);
    case EMR_INTERSECTCLIPRECT: case EMR_EXCLUDECLIPRECT: case EMR_EXTSELECTCLIPRGN: case EMR_OFFSETCLIPRGN:
      return PlayClip(f, r);
    case EMR_FILLRGN: case EMR_PAINTRGN: case EMR_INVERTRGN:
      return PlayRegion(f, r);
    case EMR_BITBLT: case EMR_STRETCHBLT: case EMR_STRETCHDIBITS: case EMR_SETDIBITSTODEVICE:
    case EMR_MASKBLT: case EMR_ALPHABLEND: case EMR_TRANSPARENTBLT:
      return PlayBitmap(f, r.type);
    case EMR_EXTTEXTOUTA: case EMR_EXTTEXTOUTW: case EMR_SMALLTEXTOUT:
      return PlayText(r);

    default:
      // Palettes, colour management and the rest change nothing this
      // device draws or reports.
      break;
  }
  return !f.Bad();
}

// ---- public interface ---------------------------------------------------------------

PlaybackDevice::PlaybackDevice() : impl_(std::make_unique<Impl>()) {}
PlaybackDevice::~PlaybackDevice() = default;

void PlaybackDevice::Begin(const MetafileHeader& header, int width, int height,
                           const Rect& destination, ColorRef background) {
  Impl& d = *impl_;
  if (d.surface) cairo_surface_destroy(d.surface);
  // A work bitmap is at most 16384 pixels on a side and 2^24 pixels in all
  // (64 MB); a larger frame is cut, never scaled.
  constexpr int kMaxSide = 16384;
  constexpr std::int64_t kMaxPixels = std::int64_t(1) << 24;
  d.width = std::clamp(width, 1, kMaxSide);
  d.height = std::clamp(height, 1, kMaxSide);
  if (std::int64_t(d.width) * d.height > kMaxPixels) d.height = int(kMaxPixels / d.width);
  d.surface = NewSurface(CAIRO_FORMAT_RGB24, d.width, d.height);
  if (!d.surface) {
    d.width = d.height = 1;
    d.surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
  }
  cairo_t* cr = cairo_create(d.surface);
  SetSource(cr, background);
  cairo_paint(cr);
  cairo_destroy(cr);

  d.pixel_work = 0;
  d.state = Impl::State{};
  d.state.mapping.SetResolution(double(header.device_pixels.x) / header.device_millimeters.x,
                                double(header.device_pixels.y) / header.device_millimeters.y);
  d.state.pen = StockPen(BLACK_PEN);
  d.state.brush = StockBrush(WHITE_BRUSH);
  d.saved.clear();
  d.table.assign(std::max<std::size_t>(1, header.handles), GdiObject{});
  d.path = DevicePath{};
  d.in_path = d.path_valid = false;

  Rect frame = header.FramePixels();
  XForm p;
  double fw = double(frame.right) - frame.left, fh = double(frame.bottom) - frame.top;
  p.eM11 = fw > 0 ? (double(destination.right) - destination.left) / fw : 1;
  p.eM22 = fh > 0 ? (double(destination.bottom) - destination.top) / fh : 1;
  p.eDx = destination.left - frame.left * p.eM11;
  p.eDy = destination.top - frame.top * p.eM22;
  d.playback = p;
}

bool PlaybackDevice::Play(const MetafileRecord& record) { return impl_->Play(record); }

std::uint64_t PlaybackDevice::PixelWork() const { return impl_->pixel_work; }

void PlaybackDevice::PlayAll(const MetafileRecords& metafile) {
  for (const MetafileRecord& r : metafile.Records()) Play(r);
}

PointD PlaybackDevice::LPtoDPExact(PointD p) const { return impl_->Dev(p.x, p.y); }

Point PlaybackDevice::LPtoDP(Point p) const {
  PointD d = impl_->Dev(p.x, p.y);
  auto round = [](double v) {
    return std::int32_t(std::clamp(std::floor(v + 0.5), double(INT32_MIN), double(INT32_MAX)));
  };
  return {round(d.x), round(d.y)};
}

PointD PlaybackDevice::ReferenceToBitmap(PointD p) const { return impl_->playback.Apply(p.x, p.y); }

XForm PlaybackDevice::GetWorldTransform() const { return impl_->state.mapping.World(); }
int PlaybackDevice::GetMapMode() const { return impl_->state.mapping.MapMode(); }
Point PlaybackDevice::GetWindowOrgEx() const { return impl_->state.mapping.WindowOrg(); }
Point PlaybackDevice::GetWindowExtEx() const { return impl_->state.mapping.WindowExt(); }
Point PlaybackDevice::GetViewportOrgEx() const { return impl_->state.mapping.ViewportOrg(); }
Point PlaybackDevice::GetViewportExtEx() const { return impl_->state.mapping.ViewportExt(); }
Point PlaybackDevice::GetCurrentPositionEx() const {
  return {std::int32_t(std::lround(impl_->state.position.x)), std::int32_t(std::lround(impl_->state.position.y))};
}
ColorRef PlaybackDevice::GetBkColor() const { return impl_->state.bk_color; }
ColorRef PlaybackDevice::GetTextColor() const { return impl_->state.text_color; }
int PlaybackDevice::GetBkMode() const { return impl_->state.bk_mode; }
int PlaybackDevice::GetROP2() const { return impl_->state.rop2; }
int PlaybackDevice::GetPolyFillMode() const { return impl_->state.fill_mode; }
int PlaybackDevice::GetArcDirection() const { return impl_->state.arc_direction; }
std::uint32_t PlaybackDevice::GetTextAlign() const { return impl_->state.text_align; }
LogFont PlaybackDevice::GetSelectedFont() const { return impl_->state.font; }

int PlaybackDevice::GetPath(std::vector<Point>* points, std::vector<std::uint8_t>* types) const {
  const Impl& d = *impl_;
  if (!d.path_valid) return -1;
  // The path is kept in device space; GetPath answers in logical units.
  XForm inverse = d.Total().Inverse();
  if (points) {
    points->clear();
    for (const PointD& q : d.path.points) {
      PointD l = inverse.Apply(q.x, q.y);
      points->push_back({std::int32_t(std::lround(std::clamp(l.x, -2e9, 2e9))),
                         std::int32_t(std::lround(std::clamp(l.y, -2e9, 2e9)))});
    }
  }
  if (types) *types = d.path.types;
  return int(d.path.points.size());
}

bool PlaybackDevice::GetFigure(const MetafileRecord& r, std::vector<PointD>* points,
                               std::vector<std::uint8_t>* types) const {
  if (!r.sound) return false;
  Impl& d = *impl_;
  Fields f(r);
  DevicePath p;
  switch (r.type) {
    case EMR_RECTANGLE: p = d.RectanglePath(f.R(8)); break;
    case EMR_ELLIPSE: p = d.EllipsePath(f.R(8)); break;
    case EMR_ROUNDRECT: p = d.RoundRectPath(f.R(8), f.P(24)); break;
    case EMR_ARC:
    case EMR_CHORD:
    case EMR_PIE: {
      Rect box = f.R(8);
      Point ps = f.P(24), pe = f.P(32);
      double a0, sweep, cx, cy, rx, ry;
      d.ArcAngles(box, ps, pe, a0, sweep, cx, cy, rx, ry);
      if (r.type == EMR_PIE) {
        p.MoveTo(d.Dev(cx, cy));
        d.ArcSegments(p, cx, cy, rx, ry, a0, sweep, false, true);
        p.Close();
      } else {
        d.ArcSegments(p, cx, cy, rx, ry, a0, sweep, true, false);
        if (r.type == EMR_CHORD) p.Close();
      }
      break;
    }
    default:
      return false;
  }
  if (f.Bad()) return false;
  if (points) *points = p.points;
  if (types) *types = p.types;
  return true;
}

bool PlaybackDevice::MappingRotates() const {
  XForm t = impl_->Total();
  return t.eM12 != 0 || t.eM21 != 0;
}

int PlaybackDevice::Width() const { return impl_->width; }
int PlaybackDevice::Height() const { return impl_->height; }

std::vector<std::uint8_t> PlaybackDevice::GetPixels(const Rect& r) const {
  const Impl& d = *impl_;
  int w = std::max(0, r.Width()), h = std::max(0, r.Height());
  if (std::int64_t(w) * h > kMaxDibPixels) return {};
  std::vector<std::uint8_t> out(std::size_t(w) * h * 3, 255);
  if (!d.surface) return out;
  cairo_surface_flush(d.surface);
  for (int y = 0; y < h; ++y) {
    int sy = r.top + y;
    if (sy < 0 || sy >= d.height) continue;
    const std::uint32_t* row = d.Row(sy);
    for (int x = 0; x < w; ++x) {
      int sx = r.left + x;
      if (sx < 0 || sx >= d.width) continue;
      std::uint32_t p = row[sx];
      std::uint8_t* o = &out[(std::size_t(y) * w + x) * 3];
      o[0] = std::uint8_t(p);
      o[1] = std::uint8_t(p >> 8);
      o[2] = std::uint8_t(p >> 16);
    }
  }
  return out;
}

ColorRef PlaybackDevice::GetPixel(int x, int y) const {
  const Impl& d = *impl_;
  if (!d.surface || x < 0 || y < 0 || x >= d.width || y >= d.height) return 0xFFFFFFFF;
  cairo_surface_flush(d.surface);
  std::uint32_t p = d.Row(y)[x];
  return Rgb(int(p >> 16 & 255), int(p >> 8 & 255), int(p & 255));
}

bool PlaybackDevice::WritePng(const std::string& path) const {
  if (!impl_->surface) return false;
  return cairo_surface_write_to_png(impl_->surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace yel::gdi
