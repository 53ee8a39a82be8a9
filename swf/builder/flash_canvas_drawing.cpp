// The drawing records of the canvas: lines, polygons, Béziers, boxes, arcs,
// paths and gradients become shapes with the selected pen and brush;
// bit-block transfers, masked transfers and region fills become lossless
// bitmaps filling rectangles, with blend modes for the raster operations
// that have one, or the composed pixels of the work bitmap when vectors
// cannot express them.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/error.h"
#include "media/bmp_reader.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/playback_device.h"
#include "swf/builder/flash_canvas.h"
#include "swf/builder/flash_image.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"

namespace yel::swf {

using gdi::RecordFields;

namespace {

TPoint T(gdi::Point p) { return {p.x, p.y}; }

// A device coordinate in whole pixels, within the canvas's limits.
std::int32_t Px(double v) {
  constexpr double kMax = double(std::int64_t(1) << 16);
  return std::int32_t(std::llround(std::isfinite(v) ? std::clamp(v, -kMax, kMax) : 0.0));
}

media::TRGBQuad Quad(gdi::ColorRef c, std::uint8_t alpha = 255) {
  return {std::uint8_t(gdi::BlueOf(c)), std::uint8_t(gdi::GreenOf(c)), std::uint8_t(gdi::RedOf(c)), alpha};
}

// Positive when the polygon runs clockwise on the screen (y down).
double SignedArea(const std::vector<gdi::Point>& p) {
  double a = 0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const gdi::Point& u = p[i];
    const gdi::Point& v = p[(i + 1) % p.size()];
    a += double(u.x) * v.y - double(v.x) * u.y;
  }
  return a;
}

double AngleOf(gdi::Point centre, gdi::Point p) {
  return std::ceil(std::atan2(double(centre.y) - p.y, double(p.x) - centre.x) * 180 / M_PI);
}

// A dashed outline is written as one record per dash; an outline that
// would need more than this many keeps its pen solid.
constexpr double kMaxDashes = 100000;

// Length of a shape's path in twips (curves measured along their control
// polygon, which is never shorter).
double OutlineTwips(const TFlashShape& shape) {
  double total = 0;
  for (const auto& r : shape.Records()) {
    if (r->RecordKind == TSWFShapeRecordKind::StraightEdge) {
      auto& e = static_cast<const TSWFStraightEdgeRecord&>(*r);
      total += std::hypot(double(e.DeltaX), double(e.DeltaY));
    } else if (r->RecordKind == TSWFShapeRecordKind::CurvedEdge) {
      auto& c = static_cast<const TSWFCurvedEdgeRecord&>(*r);
      total += std::hypot(double(c.ControlX), double(c.ControlY)) + std::hypot(double(c.AnchorX), double(c.AnchorY));
    }
  }
  return total;
}

// A bitmap from a BMP stream, or null when the stream is damaged.
std::unique_ptr<media::TBMPReader> ReaderOf(const std::vector<std::uint8_t>& bmp) {
  if (bmp.empty()) return nullptr;
  auto reader = std::make_unique<media::TBMPReader>();
  try {
    reader->LoadFromStream(bmp, "metafile bitmap");
  } catch (const Error&) {
    return nullptr;
  }
  return reader;
}

// A 32-bit copy of a bitmap.
std::unique_ptr<media::TBMPReader> As32(const media::TBMPReader& b) {
  auto out = std::make_unique<media::TBMPReader>();
  out->SetFormat(b.Width(), std::abs(b.Height()), 32);
  for (int y = 0; y < b.RowCount(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      media::TRGBQuad q = b.GetPixel(y, x);
      q.Reserved = 0;
      out->SetPixel(y, x, q);
    }
  return out;
}

}  // namespace

// ---- pens and brushes ---------------------------------------------------------------

TFlashImage* TFlashCanvas::ImageOf(const media::TBMPReader& reader) {
  TFlashImage* image = owner_->AddImage("");
  image->BMPReader().Assign(reader, true);
  image->GetBMPInfo();
  return image;
}

TFlashImage* TFlashCanvas::PatternImage(TGDIHandleInfo& handle, bool opaque) {
  if (handle.HandleKind == 1) {
    auto& brush = static_cast<TGDIHandleBrush&>(handle);
    media::TBMPReader p;
    if (brush.Style == gdi::BS_HATCHED) {
      p.SetFormat(8, 8, 1);
      p.Palette()[0] = Quad(state_.BkColor);
      p.Palette()[1] = Quad(brush.Color);
      for (int y = 0; y < 8; ++y) {
        std::uint8_t bits = gdi::HatchRow(brush.Hatch, y);
        for (int x = 0; x < 8; ++x) p.SetIndex(7 - y, x, bits >> (7 - x) & 1);
      }
      TFlashImage* image = ImageOf(p);
      if (!opaque) image->SetAlphaIndex(0, 0);
      return image;
    }
    p.SetFormat(8, 8, 24);
    p.Fill(Quad(brush.Color));
    return ImageOf(p);
  }
  if (handle.HandleKind == 3) {
    auto& brush = static_cast<TGDIHandleMonoBrush&>(handle);
    if (!brush.Image) {
      brush.Image = owner_->AddImage("");
      brush.Image->LoadDataFromStream(brush.Stream);
      brush.Image->BMPReader().Palette()[0] = Quad(work_->GetBkColor());
      brush.Image->BMPReader().Palette()[1] = Quad(work_->GetTextColor());
    }
    return brush.Image;
  }
  if (handle.HandleKind == 4) {
    auto& brush = static_cast<TGDIHandleDibBrush&>(handle);
    if (!brush.Image) {
      brush.Image = owner_->AddImage("");
      brush.Image->LoadDataFromStream(brush.Stream);
      media::TBMPReader& r = brush.Image->BMPReader();
      if (r.BitCount() == 1) {
        int mode = work_->GetROP2();
        for (int k = 0; k < 2; ++k) {
          media::TRGBQuad& q = r.Palette()[k];
          bool white = q.Red == 255 && q.Green == 255 && q.Blue == 255;
          bool black = q.Red == 0 && q.Green == 0 && q.Blue == 0;
          if (mode == gdi::R2_MASKPEN && black && state_.PreviousBrush > 0 &&
              std::size_t(state_.PreviousBrush) < state_.HandleTable.size() && state_.HandleTable[state_.PreviousBrush] &&
              state_.HandleTable[state_.PreviousBrush]->HandleKind == 1)
            q = Quad(static_cast<TGDIHandleBrush&>(*state_.HandleTable[state_.PreviousBrush]).Color);
          if ((mode == gdi::R2_MASKPEN || mode == gdi::R2_COPYPEN) && white) brush.Image->SetAlphaIndex(k, 0);
        }
      } else if (r.BitCount() == 32) {
        r.SetAlpha(255);
      }
    }
    return brush.Image;
  }
  return nullptr;
}

void TFlashCanvas::ApplyPenAndBrush(TFlashShape* shape, bool pen, bool brush, bool opaque_brush) {
  if (brush) {
    if (state_.CurrentBrush <= 0) {
      static const std::int32_t kStock[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0};
      std::int32_t n = -state_.CurrentBrush;
      if (n >= 0 && n <= 4) shape->SetSolidColor(std::uint32_t(kStock[n]));
    } else if (std::size_t(state_.CurrentBrush) < state_.HandleTable.size() && state_.HandleTable[state_.CurrentBrush]) {
      TGDIHandleInfo& h = *state_.HandleTable[state_.CurrentBrush];
      TFlashImage* pattern = nullptr;
      if (h.HandleKind == 1) {
        auto& b = static_cast<TGDIHandleBrush&>(h);
        if (b.Style == gdi::BS_SOLID) shape->SetSolidColor(b.Color);
        else if (b.Style != gdi::BS_NULL) pattern = PatternImage(h, opaque_brush || !state_.BkTransparent);
      } else if (h.HandleKind == 3 || h.HandleKind == 4) {
        pattern = PatternImage(h, opaque_brush || !state_.BkTransparent);
      }
      if (pattern)
        shape->SetImageFill(*pattern, pattern->Width(), pattern->Height(), TFlashImageFillMode::Tile,
                            float(1 / state_.MetafileScaleX), float(1 / state_.MetafileScaleY));
    }
  }
  if (pen) {
    if (state_.CurrentPen < 0) {
      std::int32_t n = -state_.CurrentPen;
      if (n == 6) shape->SetLineStyle(1, 0xFFFFFF);
      if (n == 7) shape->SetLineStyle(1, 0);
    } else if (std::size_t(state_.CurrentPen) < state_.HandleTable.size() && state_.HandleTable[state_.CurrentPen] &&
               state_.HandleTable[state_.CurrentPen]->HandleKind == 0) {
      auto& p = static_cast<TGDIHandlePen&>(*state_.HandleTable[state_.CurrentPen]);
      static const std::vector<std::uint8_t> kDashes[] = {{}, {18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}};
      if (p.Style <= 4) {
        if (p.Style >= 1 && OutlineTwips(*shape) / (20.0 * 3) < kMaxDashes) {
          shape->DashStyle().SetPattern(kDashes[p.Style]);
          if (!state_.BkTransparent) {
            TSWFRGBA& gap = shape->DashGapColor();
            gap.SetRGB(state_.BkColor);
          }
        }
        shape->SetLineStyle(std::uint16_t(std::clamp(p.WidthX, 0, 65535)), p.Color);
      }
    }
  }
}

TFlashShape* TFlashCanvas::PathCopy() {
  TFlashShape* copy = owner_->AddShape();
  copy->Assign(*state_.PathShape);
  copy->FillStyles().clear();
  copy->LineStyles().clear();
  return copy;
}

std::unique_ptr<media::TBMPReader> TFlashCanvas::WorkPixels(TRect& r) {
  r.Left = std::max(r.Left, 0);
  r.Top = std::max(r.Top, 0);
  r.Right = std::min(r.Right, work_->Width());
  r.Bottom = std::min(r.Bottom, work_->Height());
  if (r.Right <= r.Left || r.Bottom <= r.Top) return nullptr;
  int w = r.Right - r.Left, h = r.Bottom - r.Top;
  auto reader = std::make_unique<media::TBMPReader>();
  reader->SetFormat(w, h, 24);
  std::vector<std::uint8_t> px = work_->GetPixels({r.Left, r.Top, r.Right, r.Bottom});
  if (px.size() != std::size_t(w) * h * 3) return nullptr;
  for (int y = 0; y < h; ++y) std::memcpy(reader->Row(h - 1 - y), &px[std::size_t(y) * w * 3], std::size_t(w) * 3);
  return reader;
}

// ---- vector records -------------------------------------------------------------------

void TFlashCanvas::VectorRecord(const gdi::MetafileRecord& r) {
  RecordFields f(r);
  switch (r.type) {
    case gdi::EMR_BEGINPATH: case gdi::EMR_ENDPATH: case gdi::EMR_FILLPATH:
    case gdi::EMR_STROKEANDFILLPATH: case gdi::EMR_STROKEPATH: case gdi::EMR_ABORTPATH:
      PathRecord(r);
      return;
    case gdi::EMR_SETPIXELV: {
      gdi::Point p = Convert(f.P(8));
      TFlashShape* s = owner_->AddShape();
      s->Edges().MoveTo(p.x, p.y);
      s->Edges().IgnoreMovieSettings = true;
      s->Edges().LineDelta(9, 9);
      s->Edges().IgnoreMovieSettings = false;
      s->SetLineStyle(1, f.C(16));
      s->CalcBounds();
      Place(s);
      return;
    }
    case gdi::EMR_GRADIENTFILL: {
      gdi::Rect b = f.R(8);
      std::uint32_t nv = f.U(24), mode = f.U(32);
      if (f.Bad() || nv < 2 || !f.Has(36, 32)) return;
      TFlashShape* s = owner_->AddRectangle(Limit(b.left), Limit(b.top), Limit(b.right), Limit(b.bottom));
      ApplyPenAndBrush(s, false, true);
      auto colour = [&](std::size_t at) {
        std::uint32_t red = f.Ptr(at + 9)[0], green = f.Ptr(at + 11)[0], blue = f.Ptr(at + 13)[0];
        return red | green << 8 | blue << 16 | 0xFF000000u;
      };
      std::uint32_t c0 = colour(36), c1 = colour(52);
      if (mode == gdi::GRADIENT_FILL_RECT_H) s->SetLinearGradient(c0, c1, 0);
      else s->SetLinearGradient(c1, c0, 90);
      Place(s);
      return;
    }
    default:
      break;
  }
  if (state_.InPath) return;  // the work context records the path
  if (work_->MappingRotates()) {
    // Under a rotating or skewing mapping a box is no longer a box: the
    // figure is drawn from its outline on the work context instead.
    std::vector<gdi::PointD> pts;
    std::vector<std::uint8_t> types;
    if (work_->GetFigure(r, &pts, &types)) {
      TFlashShape* s = owner_->AddShape();
      TFlashEdges& e = s->Edges();
      auto at = [&](std::size_t i) {
        return TPoint{Px(pts[i].x), Px(pts[i].y)};
      };
      for (std::size_t i = 0; i < pts.size(); ++i) {
        std::uint8_t t = types[i] & 6;
        bool close = types[i] & gdi::PT_CLOSEFIGURE;
        if (t == gdi::PT_MOVETO) {
          e.MoveTo(at(i).X, at(i).Y);
        } else if (t == gdi::PT_BEZIERTO && i + 2 < pts.size()) {
          e.MakeCubicBezier(at(i), at(i + 1), at(i + 2), 4);
          close = types[i + 2] & gdi::PT_CLOSEFIGURE;
          i += 2;
        } else {
          e.LineTo(at(i).X, at(i).Y);
        }
        if (close) e.CloseShape();
      }
      s->CalcBounds();
      ApplyPenAndBrush(s, true, r.type != gdi::EMR_ARC);
      Place(s);
      return;
    }
  }
  switch (r.type) {
    case gdi::EMR_MOVETOEX: {
      state_.CurrentPos = Convert(f.P(8));
      if (state_.PendingLine) state_.PendingLine->Edges().MoveTo(state_.CurrentPos.x, state_.CurrentPos.y);
      return;
    }
    case gdi::EMR_LINETO: {
      gdi::Point p = Convert(f.P(8));
      if (state_.PendingLine) {
        state_.PendingLine->Edges().LineTo(p.x, p.y);
      } else {
        // The pen is applied when the line is complete (FlushPendingLine):
        // any record that could change it ends the line first.
        state_.PendingLine = owner_->AddLine(state_.CurrentPos.x, state_.CurrentPos.y, p.x, p.y);
      }
      state_.CurrentPos = p;
      return;
    }
    case gdi::EMR_RECTANGLE: {
      TFlashShape* s = owner_->AddRectangle(ConvertRect(f.R(8)));
      ApplyPenAndBrush(s, true, true);
      Place(s);
      return;
    }
    case gdi::EMR_ELLIPSE: {
      TRect b = ConvertRect(f.R(8));
      if (b.Left > b.Right) std::swap(b.Left, b.Right);
      if (b.Top > b.Bottom) std::swap(b.Top, b.Bottom);
      if (b.Right == b.Left) b.Right = b.Left + 1;
      if (b.Bottom == b.Top) b.Bottom = b.Top + 1;
      TFlashShape* s = owner_->AddEllipse(b);
      ApplyPenAndBrush(s, true, true);
      Place(s);
      return;
    }
    case gdi::EMR_ROUNDRECT: {
      gdi::Rect box = f.R(8);
      gdi::Point corner = f.P(24);
      TRect b = ConvertRect(box);
      TFlashShape* s = owner_->AddShape();
      s->SetShapeBound(b.Left, b.Top, b.Right, b.Bottom);
      s->Edges().MoveTo(b.Left, b.Top);
      s->Edges().MakeRoundRect(b.Right - b.Left, b.Bottom - b.Top, HorizontalLength(corner.x / 2),
                               VerticalLength(corner.y / 2));
      ApplyPenAndBrush(s, true, true);
      s->CalcBounds();
      Place(s);
      return;
    }
    case gdi::EMR_ANGLEARC: {
      gdi::Point c = Convert(f.P(8));
      double radius = f.U(16);
      double start = f.F(20), sweep = f.F(24);
      if (f.Bad() || radius > 1e6) return;
      TFlashShape* s = owner_->AddShape();
      TFlashEdges& e = s->Edges();
      e.IgnoreMovieSettings = true;
      double sr = start * M_PI / 180;
      TPoint begin{std::int32_t(c.x * 20 + std::trunc(std::cos(sr) * radius * 20)),
                   std::int32_t(c.y * 20 - std::trunc(std::sin(sr) * radius * 20))};
      TPoint cur{state_.CurrentPos.x * 20, state_.CurrentPos.y * 20};
      if (!(cur == begin)) {
        e.MoveTo(cur.X, cur.Y);
        e.LineTo(begin.X, begin.Y);
      }
      std::int32_t r20 = std::int32_t(radius * 20);
      e.MakeArc(c.x * 20, c.y * 20, r20, r20, float(start), float(start + sweep), false, false);
      e.IgnoreMovieSettings = false;
      ApplyPenAndBrush(s, true, false);
      s->CalcBounds();
      Place(s);
      state_.CurrentPos = {e.CurrentPos.X / 20, e.CurrentPos.Y / 20};
      return;
    }
    case gdi::EMR_ARC: case gdi::EMR_ARCTO: case gdi::EMR_CHORD: case gdi::EMR_PIE:
      ArcRecord(r);
      return;
    default:
      PolyRecord(r);
      return;
  }
}

void TFlashCanvas::ArcRecord(const gdi::MetafileRecord& r) {
  RecordFields f(r);
  gdi::Rect box = f.R(8);
  gdi::Point ps = f.P(24), pe = f.P(32);
  if (f.Bad()) return;
  if (state_.ArcClockwise) std::swap(ps, pe);
  if (r.type == gdi::EMR_CHORD) {
    // In twips from the record's logical values.
    box = {Limit(box.left), Limit(box.top), Limit(box.right), Limit(box.bottom)};
    ps = {Limit(ps.x), Limit(ps.y)};
    pe = {Limit(pe.x), Limit(pe.y)};
    std::int32_t a = std::int32_t((std::int64_t(box.left) + box.right) * 20 / 2);
    std::int32_t b = std::int32_t((std::int64_t(box.top) + box.bottom) * 20 / 2);
    gdi::Point centre{a, b};
    double start = AngleOf(centre, {ps.x * 20, ps.y * 20});
    double end = AngleOf(centre, {pe.x * 20, pe.y * 20});
    std::int32_t rx = a - box.left * 20, ry = b - box.top * 20;
    TFlashShape* s = owner_->AddShape();
    TFlashEdges& e = s->Edges();
    e.IgnoreMovieSettings = true;
    e.MakeArc(a, b, rx, ry, float(start), float(end), false, false);
    s->CalcBounds();
    double sr = start * M_PI / 180;
    e.LineTo(a + std::int32_t(std::trunc(std::cos(sr) * rx)), b - std::int32_t(std::trunc(std::sin(sr) * ry)));
    e.IgnoreMovieSettings = false;
    ApplyPenAndBrush(s, true, true);
    Place(s);
    return;
  }
  TRect b = ConvertRect(box);
  std::int32_t rx = HorizontalLength((box.right - box.left) / 2);
  std::int32_t ry = VerticalLength((box.bottom - box.top) / 2);
  if (r.type != gdi::EMR_PIE && (rx == 0 || ry == 0)) return;
  gdi::Point centre{b.Left + rx, b.Top + ry};
  double start = AngleOf(centre, Convert(ps)), end = AngleOf(centre, Convert(pe));
  TFlashShape* s = owner_->AddShape();
  if (r.type == gdi::EMR_PIE) {
    s->Edges().MoveTo(centre.x, centre.y);
    s->Edges().MakePie(rx, ry, float(start), float(end), false);
    s->CalcBounds();
    ApplyPenAndBrush(s, true, true);
  } else {
    s->Edges().MakeArc(centre.x, centre.y, rx, ry, float(start), float(end), false, false);
    ApplyPenAndBrush(s, true, false);
    s->CalcBounds();
    if (r.type == gdi::EMR_ARCTO) {
      int unit = s->Edges().UnitFactor();
      state_.CurrentPos = {s->Edges().CurrentPos.X / unit, s->Edges().CurrentPos.Y / unit};
    }
  }
  Place(s);
}

void TFlashCanvas::PolyRecord(const gdi::MetafileRecord& r) {
  RecordFields f(r);
  bool sixteen = r.type >= gdi::EMR_POLYBEZIER16 && r.type <= gdi::EMR_POLYPOLYGON16;
  std::uint32_t base = sixteen ? r.type - 83 : r.type;  // the 32-bit record of the same kind
  std::vector<gdi::Point> pts;
  if (base == gdi::EMR_POLYPOLYLINE || base == gdi::EMR_POLYPOLYGON) {
    std::uint32_t npolys = f.U(24), count = f.U(28);
    if (f.Bad() || npolys > (f.Size() - 32) / 4) return;
    std::vector<std::uint32_t> counts(npolys);
    std::uint64_t total = 0;
    for (std::uint32_t i = 0; i < npolys; ++i) total += counts[i] = f.U(32 + 4 * std::size_t(i));
    if (total != count || !f.Points(32 + 4 * std::size_t(npolys), count, sixteen, pts)) return;
    for (gdi::Point& p : pts) p = Convert(p);
    TFlashShape* s = nullptr;
    std::size_t k = 0;
    for (std::uint32_t c : counts) {
      if (c < 2) {
        k += c;
        continue;
      }
      gdi::Point p0 = pts[k], p1 = pts[k + 1];
      if (!s) {
        s = owner_->AddLine(p0.x, p0.y, p1.x, p1.y);
      } else {
        s->Edges().MoveTo(p0.x, p0.y);
        s->Edges().LineTo(p1.x, p1.y);
      }
      for (std::uint32_t i = 2; i < c; ++i) s->Edges().LineTo(pts[k + i].x, pts[k + i].y);
      if (base == gdi::EMR_POLYPOLYGON && !(pts[k + c - 1] == p0)) s->Edges().LineTo(p0.x, p0.y);
      k += c;
    }
    if (base == gdi::EMR_POLYPOLYLINE && !pts.empty()) state_.CurrentPos = pts.back();
    if (!s) return;
    s->CalcBounds();
    ApplyPenAndBrush(s, true, base == gdi::EMR_POLYPOLYGON);
    Place(s);
    return;
  }
  std::uint32_t count = f.U(24);
  if (f.Bad() || !f.Points(28, count, sixteen, pts) || pts.empty()) return;
  for (gdi::Point& p : pts) p = Convert(p);

  if (r.type == gdi::EMR_POLYBEZIER16 || r.type == gdi::EMR_POLYBEZIERTO16) {
    std::vector<TPoint> tp;
    for (const gdi::Point& p : pts) tp.push_back(T(p));
    TFlashShape* s = owner_->AddShape();
    bool to = r.type == gdi::EMR_POLYBEZIERTO16;
    s->Edges().MakePolyBezier(tp, to ? T(state_.CurrentPos) : TPoint{-1, -1});
    if (to) state_.CurrentPos = pts.back();
    s->CalcBounds();
    ApplyPenAndBrush(s, true, false);
    Place(s);
    return;
  }
  if (base == gdi::EMR_POLYBEZIER || base == gdi::EMR_POLYBEZIERTO) {
    // Every group of three points after the start is its own curve shape.
    gdi::Point start = base == gdi::EMR_POLYBEZIERTO ? state_.CurrentPos : pts[0];
    std::size_t first = base == gdi::EMR_POLYBEZIERTO ? 0 : 1;
    for (std::size_t i = first; i + 2 < pts.size(); i += 3) {
      TFlashShape* s = owner_->AddCubicBezier(T(start), T(pts[i]), T(pts[i + 1]), T(pts[i + 2]));
      s->CalcBounds();
      ApplyPenAndBrush(s, true, base == gdi::EMR_POLYBEZIER);
      Place(s);
      start = pts[i + 2];
    }
    if (base == gdi::EMR_POLYBEZIERTO) state_.CurrentPos = start;
    return;
  }
  // Polygons and polylines.
  bool polygon = base == gdi::EMR_POLYGON, to = base == gdi::EMR_POLYLINETO;
  if (to) pts.insert(pts.begin(), state_.CurrentPos);  // the first line starts at the current position
  if (pts.size() == 1) {
    state_.CurrentPos = pts[0];
    return;
  }
  if (to) state_.CurrentPos = pts.back();
  if (sixteen && (Options & RasterFallback) && state_.RecordIndex >= 1 && state_.RecordIndex - 1 < state_.Records.size() &&
      state_.Records[state_.RecordIndex - 1].NeedsRaster) {
    gdi::Rect b = f.R(8);
    gdi::PointD a = work_->ReferenceToBitmap({double(b.left), double(b.top)});
    gdi::PointD z = work_->ReferenceToBitmap({double(b.right) + 1, double(b.bottom) + 1});
    TRect dest{Px(a.x), Px(a.y), Px(z.x), Px(z.y)};
    std::unique_ptr<media::TBMPReader> pixels = WorkPixels(dest);
    if (!pixels) return;
    TFlashImage* image = ImageOf(*pixels);
    TFlashShape* s = owner_->AddRectangle(dest);
    s->SetImageFill(*image, image->Width(), image->Height(), TFlashImageFillMode::Fit);
    Place(s);
    return;
  }
  TFlashShape* s = owner_->AddLine(pts[0].x, pts[0].y, pts[1].x, pts[1].y);
  for (std::size_t i = 2; i < pts.size(); ++i) s->Edges().LineTo(pts[i].x, pts[i].y);
  if (polygon && !(pts.back() == pts[0])) s->Edges().LineTo(pts[0].x, pts[0].y);
  s->CalcBounds();
  ApplyPenAndBrush(s, true, polygon);
  if (polygon && sixteen && SignedArea(pts) < 0 && s->Fill1Num() != 0) {
    s->SetFill0Num(s->Fill1Num());
    s->SetFill1Num(0);
  }
  Place(s);
}

void TFlashCanvas::PathRecord(const gdi::MetafileRecord& r) {
  switch (r.type) {
    case gdi::EMR_BEGINPATH:
      state_.InPath = true;
      state_.PathShape = nullptr;
      return;
    case gdi::EMR_ABORTPATH:
      state_.InPath = false;
      state_.PathShape = nullptr;
      return;
    case gdi::EMR_ENDPATH: {
      state_.InPath = false;
      std::vector<gdi::Point> pts;
      std::vector<std::uint8_t> types;
      int announced = work_->GetPath(nullptr, nullptr);
      if (announced <= 0 || work_->GetPath(&pts, &types) < announced || int(pts.size()) < announced) return;
      state_.PathUsed = false;
      state_.PathFigureCount = 0;
      state_.PathShape = owner_->AddShape();
      TFlashEdges& e = state_.PathShape->Edges();
      e.OptimizeMode = true;
      std::size_t records_at_move = 0;
      for (std::size_t i = 0; i < pts.size(); ++i) {
        std::uint8_t t = types[i] & 6;
        gdi::Point p = Convert(pts[i]);
        bool close = types[i] & gdi::PT_CLOSEFIGURE;
        if (t == gdi::PT_LINETO) {
          e.LineTo(p.x, p.y);
        } else if (t == gdi::PT_BEZIERTO) {
          if (i + 2 >= pts.size()) break;
          e.MakeCubicBezier(T(p), T(Convert(pts[i + 1])), T(Convert(pts[i + 2])), 4);
          close = types[i + 2] & gdi::PT_CLOSEFIGURE;
          i += 2;
        } else {
          TSWFStyleChangeRecord* move = e.MoveTo(p.x, p.y);
          if (state_.PolyFillMode == gdi::WINDING && state_.PathFigureCount < 63) {
            if (i == 0 || e.Records().size() - records_at_move > 2) ++state_.PathFigureCount;
            if (move) move->SetFill1(std::uint16_t(state_.PathFigureCount));
          }
          records_at_move = e.Records().size();
        }
        if (close) e.CloseShape();
      }
      e.CloseShape();
      state_.PathShape->CalcBounds();
      return;
    }
    default: {  // fill, stroke, stroke and fill
      if (!state_.PathShape) return;
      TFlashShape* s = state_.PathUsed ? PathCopy() : state_.PathShape;
      bool pen = r.type != gdi::EMR_FILLPATH, brush = r.type != gdi::EMR_STROKEPATH;
      std::size_t fills_before = s->FillStyles().size();
      ApplyPenAndBrush(s, pen, brush);
      if (brush && s->FillStyles().size() > fills_before && state_.PathFigureCount > 1) {
        const TSWFFillStyle& first = *s->FillStyles()[0];
        for (std::int32_t k = 1; k < state_.PathFigureCount; ++k) s->FillStyles().push_back(CloneFillStyle(first));
      }
      state_.PathUsed = true;
      Place(s);
      return;
    }
  }
}

// ---- bitmaps and regions -------------------------------------------------------------------

namespace {

// The rectangle of a transfer at dest of size, its far edges held to the
// 32-bit range (a damaged record may give any position and size).
gdi::Rect DestinationRect(gdi::Point dest, gdi::Point size) {
  auto end = [](std::int32_t at, std::int32_t length) {
    return std::int32_t(std::clamp<std::int64_t>(std::int64_t(at) + length, INT32_MIN, INT32_MAX));
  };
  return {dest.x, dest.y, end(dest.x, size.x), end(dest.y, size.y)};
}

}  // namespace

void TFlashCanvas::BitmapRecord(const gdi::MetafileRecord& r) {
  if (r.type == gdi::EMR_FILLRGN) return FillRgnRecord(r);
  if (r.type == gdi::EMR_MASKBLT) return MaskBltRecord(r);
  RecordFields f(r);
  gdi::Point dest = f.P(24), size;
  std::uint32_t op, off_bmi, cb_bmi, off_bits, cb_bits;
  gdi::Point src, ssize;
  gdi::ColorRef colour = 0;
  if (r.type == gdi::EMR_STRETCHDIBITS) {
    src = f.P(32);
    ssize = f.P(40);
    off_bmi = f.U(48), cb_bmi = f.U(52), off_bits = f.U(56), cb_bits = f.U(60);
    op = f.U(68);
    size = f.P(72);
  } else {
    size = f.P(32);
    op = f.U(40);
    src = f.P(44);
    colour = f.C(76);
    off_bmi = f.U(84), cb_bmi = f.U(88), off_bits = f.U(92), cb_bits = f.U(96);
    ssize = r.type == gdi::EMR_BITBLT ? size : f.P(100);
  }
  if (f.Bad()) return;
  TRect R = ConvertRect(DestinationRect(dest, size));
  if (R.Left > R.Right) std::swap(R.Left, R.Right);
  if (R.Top > R.Bottom) std::swap(R.Top, R.Bottom);
  if (R.Bottom == R.Top) R.Bottom = R.Top + 1;
  const TObjMFRecord* entry = state_.RecordIndex >= 1 && state_.RecordIndex - 1 < state_.Records.size() ? &state_.Records[state_.RecordIndex - 1] : nullptr;
  bool raster = (Options & RasterFallback) && entry && entry->NeedsRaster;

  std::unique_ptr<media::TBMPReader> bitmap;
  if (raster) {
    bitmap = WorkPixels(R);
    if (!bitmap) return;  // nothing of it lies on the work bitmap
  } else if (cb_bmi != 0) {
    bitmap = ReaderOf(gdi::RecordBitmapAsBmp(f, off_bmi, cb_bmi, off_bits, cb_bits));
    if (!bitmap) return;  // a damaged bitmap: the record draws nothing
    if (r.type != gdi::EMR_BITBLT) {
      int bw = bitmap->Width(), bh = bitmap->RowCount();
      int sx = src.x, sy = src.y, sw = std::abs(ssize.x), sh = std::abs(ssize.y);
      // StretchDIBits counts rows from the first stored one: the bottom row
      // of a bottom-up bitmap.
      if (r.type == gdi::EMR_STRETCHDIBITS) {
        gdi::DibHeader h;
        if (gdi::ReadDibHeader(f.Ptr(off_bmi), cb_bmi, h) && !h.top_down) sy = bh - sy - sh;
      }
      if ((sx != 0 || sy != 0 || sw != bw || sh != bh) && sw > 0 && sh > 0) {
        auto part = std::make_unique<media::TBMPReader>();
        part->SetFormat(sw, sh, bitmap->BitCount() <= 8 ? 24 : bitmap->BitCount());
        part->CopyRect(*bitmap, 0, 0, sx, sy, sw, sh);
        bitmap = std::move(part);
      }
    }
  }
  if (r.type == gdi::EMR_STRETCHDIBITS) colour = 0;
  if (r.type == gdi::EMR_BITBLT && entry && entry->PatternTriple) {
    // The three-blit pattern sequence as one rectangle of the brush, made
    // as transparent as the pattern has set bits.
    TFlashShape* s = owner_->AddRectangle(R);
    ApplyPenAndBrush(s, false, true);
    Place(s);
    if (last_placement_)
      last_placement_->ColorTransform().SetAddA(-std::int32_t(std::nearbyint(dib_brush_ones_ / 64.0 * 255)));
    return;
  }
  Transfer(bitmap.get(), R, colour, op);
}

void TFlashCanvas::Transfer(media::TBMPReader* bitmap, const TRect& dest,
                            gdi::ColorRef colour, std::uint32_t op) {
  const TObjMFRecord* entry = state_.RecordIndex >= 1 && state_.RecordIndex - 1 < state_.Records.size() ? &state_.Records[state_.RecordIndex - 1] : nullptr;
  bool raster = (Options & RasterFallback) && entry && entry->NeedsRaster;
  std::unique_ptr<media::TBMPReader> converted;
  if (op == gdi::BLACKNESS) colour = 0;
  if (op == gdi::WHITENESS) colour = 0xFFFFFF;
  if (bitmap && bitmap->Width() == 1 && bitmap->RowCount() == 1) {
    media::TRGBQuad q = bitmap->GetPixel(0, 0);
    colour = gdi::Rgb(q.Red, q.Green, q.Blue);
    bitmap = nullptr;
  } else if (bitmap) {
    if (op == gdi::NOTSRCCOPY) {
      for (int y = 0; y < bitmap->RowCount(); ++y)
        for (int x = 0; x < bitmap->Width(); ++x) {
          media::TRGBQuad q = bitmap->GetPixel(y, x);
          q.Red = std::uint8_t(~q.Red);
          q.Green = std::uint8_t(~q.Green);
          q.Blue = std::uint8_t(~q.Blue);
          bitmap->SetPixel(y, x, q);
        }
      op = gdi::SRCCOPY;
    } else if (op == gdi::SRCPAINT) {
      converted = As32(*bitmap);
      converted->SetAlphaNonBlack(255);
      bitmap = converted.get();
    } else if (bitmap->BitCount() == 32 && !bitmap->HasAlphaChannel()) {
      bitmap->SetAlpha(255);
    }
  }
  TFlashShape* s = owner_->AddRectangle(dest);
  state_.LastShape = s;
  std::uint8_t blend = 1;
  if (raster) {
    // A single pixel of the work bitmap became a colour above.
    if (bitmap) {
      TFlashImage* image = ImageOf(*bitmap);
      s->SetImageFill(*image, image->Width(), image->Height(), TFlashImageFillMode::Fit);
    } else {
      s->SetSolidColor(colour);
    }
  } else {
    bool pattern_op = op == gdi::PATINVERT || op == gdi::PATAND || op == gdi::PATCOPY || op == gdi::PATPAINT;
    if (pattern_op) {
      ApplyPenAndBrush(s, false, true, true);
    } else if (bitmap) {
      TFlashImage* image = ImageOf(*bitmap);
      s->SetImageFill(*image, image->Width(), image->Height(), TFlashImageFillMode::Fit);
    } else {
      s->SetSolidColor(colour);
    }
    switch (op) {
      case gdi::DSTINVERT: blend = 10; break;
      case gdi::PATINVERT: case gdi::SRCINVERT: blend = 7; break;
      case gdi::SRCAND: case gdi::PATAND: blend = 6; break;
      case gdi::SRCPAINT: case gdi::PATPAINT: blend = 5; break;
      default: blend = 1; break;
    }
  }
  Place(s);
  if (blend > 1 && last_placement_) last_placement_->SetBlendMode(blend);
}

void TFlashCanvas::MaskBltRecord(const gdi::MetafileRecord& r) {
  RecordFields f(r);
  gdi::Point dest = f.P(24), size = f.P(32);
  std::uint32_t rop4 = f.U(40);
  if (f.Bad()) return;
  std::unique_ptr<media::TBMPReader> source = ReaderOf(gdi::RecordBitmapAsBmp(f, f.U(84), f.U(88), f.U(92), f.U(96)));
  if (!source) return;
  std::unique_ptr<media::TBMPReader> mask = ReaderOf(gdi::RecordBitmapAsBmp(f, f.U(112), f.U(116), f.U(120), f.U(124)));
  std::unique_ptr<media::TBMPReader> image = As32(*source);
  // Where the mask is set the foreground operation applies, elsewhere the
  // background one; a pixel is shown unless its operation keeps the
  // destination.
  std::uint8_t fore = std::uint8_t(rop4 >> 16), back = std::uint8_t(rop4 >> 24);
  for (int y = 0; y < image->RowCount(); ++y)
    for (int x = 0; x < image->Width(); ++x) {
      bool set = mask && y < mask->RowCount() && x < mask->Width() &&
                 (mask->GetPixel(y, x).Red | mask->GetPixel(y, x).Green | mask->GetPixel(y, x).Blue) != 0;
      media::TRGBQuad q = image->GetPixel(y, x);
      q.Reserved = (set ? fore : back) == 0xAA ? 0 : 255;
      if (q.Reserved == 0) q.Red = q.Green = q.Blue = 0;
      image->SetPixel(y, x, q);
    }
  TRect R = ConvertRect(DestinationRect(dest, size));
  TFlashImage* picture = ImageOf(*image);
  TFlashShape* s = owner_->AddRectangle(R);
  s->SetImageFill(*picture, picture->Width(), picture->Height(), TFlashImageFillMode::Fit);
  Place(s);
}

void TFlashCanvas::FillRgnRecord(const gdi::MetafileRecord& r) {
  RecordFields f(r);
  std::uint32_t cb = f.U(24), index = f.U(28);
  if (f.Bad() || cb < 32 || !f.Has(32, cb)) return;
  std::uint32_t count = f.U(32 + 8);
  if (count == 0 || count > (cb - 32) / 16) return;
  // The region's colour is that of the brush it is filled with.
  gdi::ColorRef colour = state_.BkColor;
  if (index & gdi::kStockFlag) {
    static const gdi::ColorRef kStock[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0};
    std::uint32_t n = index & 0xFF;
    if (n > 4) return;
    colour = kStock[n];
  } else if (index < state_.HandleTable.size() && state_.HandleTable[index] && state_.HandleTable[index]->HandleKind == 1) {
    auto& b = static_cast<TGDIHandleBrush&>(*state_.HandleTable[index]);
    if (b.Style == gdi::BS_NULL) return;
    colour = b.Color;
  }
  std::vector<TRect> rects;
  TRect bounds{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (std::uint32_t i = 0; i < count; ++i) {
    TRect q = ConvertRect(f.R(32 + 32 + 16 * std::size_t(i)));
    if (q.Left > q.Right) std::swap(q.Left, q.Right);
    if (q.Top > q.Bottom) std::swap(q.Top, q.Bottom);
    rects.push_back(q);
    bounds.Left = std::min(bounds.Left, q.Left);
    bounds.Top = std::min(bounds.Top, q.Top);
    bounds.Right = std::max(bounds.Right, q.Right);
    bounds.Bottom = std::max(bounds.Bottom, q.Bottom);
  }
  std::int64_t w = std::int64_t(bounds.Right) - bounds.Left, h = std::int64_t(bounds.Bottom) - bounds.Top;
  if (w <= 0 || h <= 0 || w > 16384 || h > 16384 || w * h > (std::int64_t(1) << 24)) return;
  media::TBMPReader region;
  region.SetFormat(std::int32_t(w), std::int32_t(h), 32);
  media::TRGBQuad inside = Quad(colour);
  for (const TRect& q : rects)
    for (int y = q.Top; y < q.Bottom; ++y)
      for (int x = q.Left; x < q.Right; ++x)
        region.SetPixel(std::int32_t(h) - 1 - (y - bounds.Top), x - bounds.Left, inside);
  TFlashImage* image = ImageOf(region);
  TFlashShape* s = owner_->AddRectangle(bounds);
  s->SetImageFill(*image, image->Width(), image->Height(), TFlashImageFillMode::Fit);
  Place(s);
}

}  // namespace yel::swf
