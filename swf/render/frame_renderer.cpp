// The cairo back end. Every character is drawn in twips under the matrix
// of its placement times the stage's scale; fills are even-odd paths; masks
// are drawn into an alpha group that masks the group of the objects they
// clip; blend modes and filters draw their object into a layer of its own
// first.
#include "swf/render/frame_renderer.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "base/error.h"
#include "swf/format/bitmap_tags.h"
#include "swf/format/filters.h"
#include "swf/format/font_tags.h"
#include "swf/format/morph_shape_tags.h"
#include "swf/format/shape_tags.h"
#include "swf/format/text_tags.h"
#include "swf/render/filters.h"
#include "swf/render/morph.h"
#include "swf/render/movie.h"
#include "swf/render/player.h"
#include "swf/render/shape_converter.h"
#include "swf/render/text_layout.h"

namespace yel::swf::render {
namespace {

struct Box {
  double X0 = 0, Y0 = 0, X1 = -1, Y1 = -1;
  bool Empty() const { return X1 <= X0 || Y1 <= Y0; }
  void Add(double x, double y) {
    if (X1 < X0) {
      X0 = X1 = x;
      Y0 = Y1 = y;
      return;
    }
    X0 = std::min(X0, x);
    Y0 = std::min(Y0, y);
    X1 = std::max(X1, x);
    Y1 = std::max(Y1, y);
  }
  void Add(const Box& b) {
    if (b.X1 < b.X0) return;
    Add(b.X0, b.Y0);
    Add(b.X1, b.Y1);
  }
  Box Intersect(const Box& b) const {
    return {std::max(X0, b.X0), std::max(Y0, b.Y0), std::min(X1, b.X1), std::min(Y1, b.Y1)};
  }
};

Box Transformed(const TMatrix& m, double x0, double y0, double x1, double y1) {
  Box b;
  for (double x : {x0, x1})
    for (double y : {y0, y1}) b.Add(m.A * x + m.C * y + m.TX, m.B * x + m.D * y + m.TY);
  return b;
}

bool Usable(const TMatrix& m) {
  const double det = m.A * m.D - m.B * m.C;
  return std::isfinite(det) && std::isfinite(m.TX) && std::isfinite(m.TY) && std::fabs(det) > 1e-12 &&
         std::fabs(m.TX) < 1e9 && std::fabs(m.TY) < 1e9 && std::fabs(m.A) < 1e7 && std::fabs(m.B) < 1e7 &&
         std::fabs(m.C) < 1e7 && std::fabs(m.D) < 1e7;
}

cairo_matrix_t ToCairo(const TMatrix& m) {
  cairo_matrix_t c;
  cairo_matrix_init(&c, m.A, m.B, m.C, m.D, m.TX, m.TY);
  return c;
}

void AppendPath(cairo_t* cr, const TPath& path) {
  double lastX = 0, lastY = 0;
  for (const TPathOp& op : path) {
    switch (op.Op) {
      case TPathOp::Move: cairo_move_to(cr, op.X, op.Y); break;
      case TPathOp::Line: cairo_line_to(cr, op.X, op.Y); break;
      case TPathOp::Quad:
        cairo_curve_to(cr, lastX + 2.0 / 3.0 * (op.CX - lastX), lastY + 2.0 / 3.0 * (op.CY - lastY),
                       op.X + 2.0 / 3.0 * (op.CX - op.X), op.Y + 2.0 / 3.0 * (op.CY - op.Y), op.X, op.Y);
        break;
    }
    lastX = op.X;
    lastY = op.Y;
  }
}

void SetColor(cairo_t* cr, TPackedColor c) {
  cairo_set_source_rgba(cr, (c & 255) / 255.0, ((c >> 8) & 255) / 255.0, ((c >> 16) & 255) / 255.0,
                        (c >> 24) / 255.0);
}

cairo_operator_t BlendOperator(std::uint8_t mode, bool inLayer) {
  switch (mode) {
    case 3: return CAIRO_OPERATOR_MULTIPLY;
    case 4: return CAIRO_OPERATOR_SCREEN;
    case 5: return CAIRO_OPERATOR_LIGHTEN;
    case 6: return CAIRO_OPERATOR_DARKEN;
    case 7: return CAIRO_OPERATOR_DIFFERENCE;
    case 8: return CAIRO_OPERATOR_ADD;
    case 10: return CAIRO_OPERATOR_DIFFERENCE;  // the layer is made white first
    case 11: return inLayer ? CAIRO_OPERATOR_DEST_IN : CAIRO_OPERATOR_OVER;
    case 12: return inLayer ? CAIRO_OPERATOR_DEST_OUT : CAIRO_OPERATOR_OVER;
    case 13: return CAIRO_OPERATOR_OVERLAY;
    case 14: return CAIRO_OPERATOR_HARD_LIGHT;
    default: return CAIRO_OPERATOR_OVER;
  }
}

// A bitmap's pixels with a colour transform applied (premultiplied in and
// out).
std::vector<std::uint32_t> TransformPixels(const TBitmap& bitmap, const TColorTransform& cx) {
  std::vector<std::uint32_t> out(bitmap.Pixels.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    const std::uint32_t p = bitmap.Pixels[i];
    const std::uint32_t a = p >> 24;
    std::uint32_t r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
    if (a != 0 && a != 255) {
      r = std::min(255u, r * 255 / a);
      g = std::min(255u, g * 255 / a);
      b = std::min(255u, b * 255 / a);
    }
    const TPackedColor c = cx.Apply(r | g << 8 | b << 16 | a << 24);
    const std::uint32_t na = c >> 24;
    auto pm = [na](std::uint32_t v) { return (v * na + 127) / 255; };
    out[i] = na << 24 | pm(c & 255) << 16 | pm((c >> 8) & 255) << 8 | pm((c >> 16) & 255);
  }
  return out;
}

}  // namespace

struct TFrameRenderer::Impl {
  explicit Impl(TMovie& m) : movie(m) {}

  TMovie& movie;
  cairo_t* cr = nullptr;
  double stageScale = 1;  // pixels per twip
  int layerDepth = 0;
  int nesting = 0;

  struct BitmapEntry {
    TBitmap Bitmap;
    cairo_surface_t* Surface = nullptr;
    bool Failed = false;
    bool Used = true;
  };
  struct ShapeEntry {
    TConvertedShape Shape;
    int Ratio = -1;  // morph shapes: the ratio converted
    bool Used = true;
  };
  struct FontEntry {
    std::vector<TPath> Glyphs;
    std::vector<bool> Converted;
    bool Used = true;
  };
  std::unordered_map<std::uint16_t, BitmapEntry> bitmaps;
  std::unordered_map<std::uint16_t, ShapeEntry> shapes;
  std::unordered_map<std::uint16_t, FontEntry> fonts;
  TTextFonts textFonts;

  ~Impl() {
    for (auto& [id, entry] : bitmaps)
      if (entry.Surface) cairo_surface_destroy(entry.Surface);
  }

  BitmapEntry* Bitmap(std::uint16_t id) {
    auto it = bitmaps.find(id);
    if (it != bitmaps.end()) {
      it->second.Used = true;
      return it->second.Failed ? nullptr : &it->second;
    }
    BitmapEntry& entry = bitmaps[id];
    const TSWFObject* tag = movie.Character(id);
    if (!tag || !IsBitmapTag(tag->TagID)) {
      movie.Warn("bitmap " + std::to_string(id) + " is used but not defined; its fill is skipped");
      entry.Failed = true;
      return nullptr;
    }
    try {
      entry.Bitmap = DecodeBitmap(*tag, movie.JPEGTables(), movie.Name() + ": bitmap " + std::to_string(id));
    } catch (const Error& e) {
      movie.Warn(std::string(e.what()) + "; it is skipped");
      entry.Failed = true;
      return nullptr;
    }
    entry.Surface = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(entry.Bitmap.Pixels.data()),
                                                        CAIRO_FORMAT_ARGB32, entry.Bitmap.Width,
                                                        entry.Bitmap.Height, entry.Bitmap.Width * 4);
    return &entry;
  }

  const TConvertedShape* Shape(const TDisplayObject& object) {
    const TSWFObject& tag = *object.Definition;
    auto it = shapes.find(object.CharacterId);
    const bool morph = dynamic_cast<const TSWFDefineMorphShape*>(&tag) != nullptr;
    if (it != shapes.end() && (!morph || it->second.Ratio == object.Ratio)) {
      it->second.Used = true;
      return &it->second.Shape;
    }
    ShapeEntry& entry = shapes[object.CharacterId];
    entry.Used = true;
    if (const auto* shape = dynamic_cast<const TSWFDefineShape*>(&tag)) {
      entry.Shape = ConvertShape(shape->Edges, shape->FillStyles, shape->LineStyles);
    } else if (const auto* morphTag = dynamic_cast<const TSWFDefineMorphShape*>(&tag)) {
      entry.Shape = ConvertMorphShape(*morphTag, object.Ratio / 65535.0);
      entry.Ratio = object.Ratio;
    }
    return &entry.Shape;
  }

  const TPath* Glyph(std::uint16_t fontId, std::uint32_t index) {
    const auto* font = dynamic_cast<const TSWFDefineFont*>(movie.Character(fontId));
    if (!font || index >= font->Glyphs.size()) return nullptr;
    FontEntry& entry = fonts[fontId];
    entry.Used = true;
    if (entry.Glyphs.empty()) {
      entry.Glyphs.resize(font->Glyphs.size());
      entry.Converted.assign(font->Glyphs.size(), false);
    }
    if (!entry.Converted[index]) {
      static const TSWFFillStyles kNoFills;
      static const TSWFLineStyles kNoLines;
      static const TSWFColorFill kGlyphFill;
      TConvertedShape glyph = ConvertShape(font->Glyphs[index], kNoFills, kNoLines, &kGlyphFill);
      if (!glyph.Layers.empty()) entry.Glyphs[index] = std::move(glyph.Layers[0].Path);
      entry.Converted[index] = true;
    }
    return &entry.Glyphs[index];
  }

  // Sets the source for a fill; false when there is nothing to draw. alpha
  // is the opacity still to apply (bitmaps under an alpha-only transform).
  bool SetPaint(const TSWFFillStyle& paint, const TColorTransform& cx, bool mask, double& alpha) {
    alpha = 1;
    if (mask) {
      cairo_set_source_rgba(cr, 0, 0, 0, 1);
      return true;
    }
    if (const auto* solid = dynamic_cast<const TSWFColorFill*>(&paint)) {
      const TPackedColor c = cx.Apply(solid->Color.RGBA());
      if ((c >> 24) == 0) return false;
      SetColor(cr, c);
      return true;
    }
    if (const auto* gradient = dynamic_cast<const TSWFBaseGradientFill*>(&paint)) {
      if (gradient->Gradient.empty()) return false;
      const TMatrix gm = TMatrix::FromSWF(gradient->Matrix.Rec());
      cairo_pattern_t* pattern;
      if (!Usable(gm)) {
        SetColor(cr, cx.Apply(gradient->Gradient.back().Color.RGBA()));
        return true;
      }
      if (paint.FillType == kFillLinearGradient) {
        pattern = cairo_pattern_create_linear(-16384, 0, 16384, 0);
      } else {
        double focal = 0;
        if (const auto* f = dynamic_cast<const TSWFFocalGradientFill*>(&paint))
          focal = std::clamp(f->GetFocalPoint(), -0.98f, 0.98f);
        pattern = cairo_pattern_create_radial(focal * 16384, 0, 0, 0, 0, 16384);
      }
      AddStops(pattern, gradient->Gradient, gradient->InterpolationMode == 1, cx);
      cairo_matrix_t pm = ToCairo(gm);
      cairo_matrix_invert(&pm);
      cairo_pattern_set_matrix(pattern, &pm);
      cairo_pattern_set_extend(pattern, gradient->SpreadMode == 1   ? CAIRO_EXTEND_REFLECT
                                        : gradient->SpreadMode == 2 ? CAIRO_EXTEND_REPEAT
                                                                    : CAIRO_EXTEND_PAD);
      cairo_set_source(cr, pattern);
      cairo_pattern_destroy(pattern);
      return true;
    }
    if (const auto* image = dynamic_cast<const TSWFImageFill*>(&paint)) {
      BitmapEntry* entry = Bitmap(image->BitmapId);
      if (!entry) return false;
      const TMatrix bm = TMatrix::FromSWF(image->Matrix.Rec());
      if (!Usable(bm)) return false;
      cairo_surface_t* surface = entry->Surface;
      std::vector<std::uint32_t>* owned = nullptr;
      if (!cx.IsIdentity() && !cx.AlphaOnly()) {
        owned = new std::vector<std::uint32_t>(TransformPixels(entry->Bitmap, cx));
        surface = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(owned->data()),
                                                      CAIRO_FORMAT_ARGB32, entry->Bitmap.Width,
                                                      entry->Bitmap.Height, entry->Bitmap.Width * 4);
        static cairo_user_data_key_t key;
        cairo_surface_set_user_data(surface, &key, owned,
                                    [](void* p) { delete static_cast<std::vector<std::uint32_t>*>(p); });
      } else {
        // The alpha a player gives an opaque pixel: 8 bits, rounded down.
        alpha = ((cx.Apply(0xFF000000u) >> 24) & 255) / 255.0;
        if (alpha <= 0) return false;
      }
      cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface);
      if (owned) cairo_surface_destroy(surface);
      cairo_matrix_t pm = ToCairo(bm);
      cairo_matrix_invert(&pm);
      cairo_pattern_set_matrix(pattern, &pm);
      const bool repeat = paint.FillType == kFillTileBitmap || paint.FillType == kFillNonSmoothTileBitmap;
      const bool smooth = paint.FillType == kFillTileBitmap || paint.FillType == kFillClipBitmap;
      cairo_pattern_set_extend(pattern, repeat ? CAIRO_EXTEND_REPEAT : CAIRO_EXTEND_PAD);
      cairo_pattern_set_filter(pattern, smooth ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
      cairo_set_source(cr, pattern);
      cairo_pattern_destroy(pattern);
      return true;
    }
    return false;
  }

  static void AddStops(cairo_pattern_t* pattern, const std::vector<TSWFGradientRec>& stops, bool linearRGB,
                       const TColorTransform& cx) {
    auto add = [&](double offset, TPackedColor c) {
      cairo_pattern_add_color_stop_rgba(pattern, offset, (c & 255) / 255.0, ((c >> 8) & 255) / 255.0,
                                        ((c >> 16) & 255) / 255.0, (c >> 24) / 255.0);
    };
    for (std::size_t i = 0; i < stops.size() && i < 15; ++i) {
      const TPackedColor c = cx.Apply(stops[i].Color.RGBA());
      if (linearRGB && i > 0) {
        // Linear-light interpolation, approximated with stops between.
        const TPackedColor p = cx.Apply(stops[i - 1].Color.RGBA());
        for (int k = 1; k < 8; ++k) {
          const double t = k / 8.0;
          auto mix = [&](int shift) {
            auto toLinear = [](double v) { return std::pow(v / 255.0, 2.2); };
            const double v = toLinear((p >> shift) & 255) * (1 - t) + toLinear((c >> shift) & 255) * t;
            return std::uint32_t(std::lround(std::pow(v, 1 / 2.2) * 255)) << shift;
          };
          const std::uint32_t a = std::uint32_t(std::lround(((p >> 24) * (1 - t) + (c >> 24) * t))) << 24;
          add((stops[i - 1].Ratio + (stops[i].Ratio - stops[i - 1].Ratio) * t) / 255.0, mix(0) | mix(8) | mix(16) | a);
        }
      }
      add(stops[i].Ratio / 255.0, c);
    }
  }

  void FillPath(const TPath& path, const cairo_matrix_t& cm, const TSWFFillStyle& paint, const TColorTransform& cx,
                bool mask) {
    cairo_set_matrix(cr, &cm);
    double alpha;
    if (!SetPaint(paint, cx, mask, alpha)) return;
    cairo_new_path(cr);
    AppendPath(cr, path);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    if (alpha < 1) {
      cairo_save(cr);
      cairo_clip(cr);
      cairo_paint_with_alpha(cr, alpha);
      cairo_restore(cr);
    } else {
      cairo_fill(cr);
    }
  }

  void DrawShape(const TConvertedShape& shape, const TMatrix& m, const TColorTransform& cx, bool mask) {
    if (!Usable(m)) return;
    const cairo_matrix_t cm = ToCairo(m);
    for (const TShapeLayer& layer : shape.Layers) {
      if (!layer.IsStroke) {
        FillPath(layer.Path, cm, *layer.Paint, cx, mask);
        continue;
      }
      cairo_set_matrix(cr, &cm);
      double alpha;
      if (!SetPaint(*layer.Paint, cx, mask, alpha)) continue;
      cairo_new_path(cr);
      AppendPath(cr, layer.Path);
      // Strokes are round pens whatever the matrix: the width scales with
      // the matrix's mean scale, never below one pixel (hairlines are one).
      const double scale = std::sqrt((m.A * m.A + m.B * m.B + m.C * m.C + m.D * m.D) / 2);
      const bool noScale = layer.Stroke.NoHScale || layer.Stroke.NoVScale;
      double width = layer.Stroke.Width * (noScale ? stageScale : scale);
      width = std::max(width, 1.0);
      cairo_identity_matrix(cr);
      cairo_set_line_width(cr, width);
      cairo_set_line_cap(cr, layer.Stroke.Cap == 1   ? CAIRO_LINE_CAP_BUTT
                             : layer.Stroke.Cap == 2 ? CAIRO_LINE_CAP_SQUARE
                                                     : CAIRO_LINE_CAP_ROUND);
      cairo_set_line_join(cr, layer.Stroke.Join == 1   ? CAIRO_LINE_JOIN_BEVEL
                              : layer.Stroke.Join == 2 ? CAIRO_LINE_JOIN_MITER
                                                       : CAIRO_LINE_JOIN_ROUND);
      cairo_set_miter_limit(cr, std::max(1.0f, layer.Stroke.MiterLimit));
      if (alpha < 1) {
        cairo_push_group(cr);
        cairo_stroke(cr);
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, alpha);
      } else {
        cairo_stroke(cr);
      }
    }
  }

  void DrawText(const TSWFDefineText& text, const TMatrix& m, const TColorTransform& cx, bool mask) {
    const TMatrix tm = m * TMatrix::FromSWF(text.TextMatrix.Rec());
    std::uint16_t font = 0;
    double height = 0, x = 0, y = 0;
    TPackedColor color = 0xFF000000u;
    TSWFColorFill fill;
    for (const auto& record : text.TextRecords) {
      if (record->HasFont) {
        font = record->FontID();
        height = record->TextHeight();
      }
      if (record->HasColor && record->ColorIfAny()) color = record->ColorIfAny()->RGBA();
      if (record->HasXOffset) x = record->XOffset();
      if (record->HasYOffset) y = record->YOffset();
      const auto* fontTag = dynamic_cast<const TSWFDefineFont*>(movie.Character(font));
      const double em = fontTag && fontTag->TagID == tag::DefineFont3 ? 20480.0 : 1024.0;
      fill.Color.SetRGBA(color);
      for (const TSWFGlyphEntry& glyph : record->GlyphEntries) {
        if (const TPath* path = Glyph(font, glyph.GlyphIndex); path && !path->empty()) {
          TMatrix gm;
          gm.A = gm.D = height / em;
          gm.TX = x;
          gm.TY = y;
          const TMatrix full = tm * gm;
          if (Usable(full)) FillPath(*path, ToCairo(full), fill, cx, mask);
        }
        x += glyph.GlyphAdvance;
      }
    }
  }

  void DrawEditText(const TSWFDefineEditText& field, const TMatrix& m, const TColorTransform& cx, bool mask) {
    if (!Usable(m)) return;
    const TTextLayout layout = LayoutEditText(movie, field, textFonts);
    const cairo_matrix_t cm = ToCairo(m);
    cairo_save(cr);
    cairo_set_matrix(cr, &cm);
    const auto& b = field.Bounds;
    if (field.Border && !mask) {
      cairo_rectangle(cr, b.XMin(), b.YMin(), b.Width(), b.Height());
      SetColor(cr, cx.Apply(0xFFFFFFFFu));
      cairo_fill_preserve(cr);
      SetColor(cr, cx.Apply(0xFF000000u));
      cairo_identity_matrix(cr);
      cairo_set_line_width(cr, 1);
      cairo_stroke(cr);
      cairo_set_matrix(cr, &cm);
    }
    cairo_rectangle(cr, b.XMin(), b.YMin(), b.Width(), b.Height());
    cairo_clip(cr);
    TSWFColorFill fill;
    for (const TLaidGlyph& glyph : layout.Glyphs) {
      if (!glyph.Path || glyph.Path->empty()) continue;
      fill.Color.SetRGBA(glyph.Color);
      TMatrix gm;
      gm.A = glyph.Scale;
      gm.D = glyph.YScale;
      gm.TX = glyph.X;
      gm.TY = glyph.Y;
      const TMatrix full = m * gm;
      if (Usable(full)) FillPath(*glyph.Path, ToCairo(full), fill, cx, mask);
    }
    cairo_restore(cr);
  }

  // Bounds of an object in device pixels under m (empty when unknown).
  Box Bounds(const TDisplayObject& object, const TMatrix& m, int depth = 0) {
    if (depth > kMaxSpriteNesting) return {};
    const TSWFObject* tag = object.Definition;
    if (!tag) return {};
    if (const auto* shape = dynamic_cast<const TSWFDefineShape*>(tag)) {
      const auto& r = shape->ShapeBounds;
      return Transformed(m, r.XMin(), r.YMin(), r.XMax(), r.YMax());
    }
    if (const auto* morph = dynamic_cast<const TSWFDefineMorphShape*>(tag)) {
      Box b = Transformed(m, morph->StartBounds.XMin(), morph->StartBounds.YMin(), morph->StartBounds.XMax(),
                          morph->StartBounds.YMax());
      b.Add(Transformed(m, morph->EndBounds.XMin(), morph->EndBounds.YMin(), morph->EndBounds.XMax(),
                        morph->EndBounds.YMax()));
      return b;
    }
    if (const auto* text = dynamic_cast<const TSWFDefineText*>(tag)) {
      const auto& r = text->TextBounds;
      return Transformed(m * TMatrix::FromSWF(text->TextMatrix.Rec()), r.XMin(), r.YMin(), r.XMax(), r.YMax());
    }
    if (const auto* field = dynamic_cast<const TSWFDefineEditText*>(tag)) {
      const auto& r = field->Bounds;
      return Transformed(m, r.XMin(), r.YMin(), r.XMax(), r.YMax());
    }
    Box b;
    for (const auto& [d, child] : object.Children) b.Add(Bounds(*child, m * child->Matrix, depth + 1));
    return b;
  }

  Box ClipBox() {
    double x0, y0, x1, y1;
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
    cairo_restore(cr);
    return {x0, y0, x1, y1};
  }

  void DrawList(const std::vector<const TDisplayObject*>& list, const TMatrix& m, const TColorTransform& cx,
                bool mask) {
    for (std::size_t i = 0; i < list.size(); ++i) {
      const TDisplayObject& object = *list[i];
      if (object.ClipDepth == 0) {
        DrawObject(object, m, cx, mask);
        continue;
      }
      // A mask: the objects above it up to its clip depth are drawn
      // through it.
      std::vector<const TDisplayObject*> clipped;
      while (i + 1 < list.size() && list[i + 1]->Depth <= object.ClipDepth) clipped.push_back(list[++i]);
      if (clipped.empty() || !object.Visible) continue;
      const TMatrix om = m * object.Matrix;
      Box box = Bounds(object, om);
      box = Box{std::floor(box.X0) - 1, std::floor(box.Y0) - 1, std::ceil(box.X1) + 1, std::ceil(box.Y1) + 1}
                .Intersect(ClipBox());
      if (box.Empty()) continue;
      cairo_save(cr);
      cairo_identity_matrix(cr);
      cairo_rectangle(cr, box.X0, box.Y0, box.X1 - box.X0, box.Y1 - box.Y0);
      cairo_clip(cr);
      cairo_push_group(cr);
      ++layerDepth;
      DrawList(clipped, m, cx, mask);
      --layerDepth;
      cairo_pattern_t* content = cairo_pop_group(cr);
      cairo_push_group_with_content(cr, CAIRO_CONTENT_ALPHA);
      DrawContent(object, om, TColorTransform{}, true);
      cairo_pattern_t* maskPattern = cairo_pop_group(cr);
      cairo_identity_matrix(cr);
      cairo_set_source(cr, content);
      cairo_mask(cr, maskPattern);
      cairo_pattern_destroy(content);
      cairo_pattern_destroy(maskPattern);
      cairo_restore(cr);
    }
  }

  void DrawChildren(const TDisplayObject& parent, const TMatrix& m, const TColorTransform& cx, bool mask) {
    std::vector<const TDisplayObject*> list;
    list.reserve(parent.Children.size());
    for (const auto& [depth, child] : parent.Children) list.push_back(child.get());
    DrawList(list, m, cx, mask);
  }

  void DrawContent(const TDisplayObject& object, const TMatrix& m, const TColorTransform& cx, bool mask) {
    const TSWFObject* tag = object.Definition;
    if (!tag) return;
    if (++nesting > kMaxSpriteNesting + 2) {
      --nesting;
      return;
    }
    switch (tag->TagID) {
      case tag::DefineShape: case tag::DefineShape2: case tag::DefineShape3: case tag::DefineShape4:
      case tag::DefineMorphShape: case tag::DefineMorphShape2:
        DrawShape(*Shape(object), m, cx, mask);
        break;
      case tag::DefineText: case tag::DefineText2:
        DrawText(static_cast<const TSWFDefineText&>(*tag), m, cx, mask);
        break;
      case tag::DefineEditText:
        DrawEditText(static_cast<const TSWFDefineEditText&>(*tag), m, cx, mask);
        break;
      case tag::DefineVideoStream:
        movie.Warn("video is not drawn (no decoder); its area stays empty");
        break;
      default: DrawChildren(object, m, cx, mask); break;
    }
    --nesting;
  }

  void DrawObject(const TDisplayObject& object, const TMatrix& parent, const TColorTransform& parentCx, bool mask) {
    if (!object.Visible) return;
    const TMatrix m = parent * object.Matrix;
    const TColorTransform cx = parentCx * object.ColorTransform;
    if (!mask && cx.MA * 255 + cx.AA <= 0 && cx.AA <= 0) return;  // fully transparent
    const bool filtered = object.Filters && !object.Filters->Filters.empty();
    const std::uint8_t blend = object.BlendMode;
    if (mask || (!filtered && blend <= 1)) {
      DrawContent(object, m, cx, mask);
      return;
    }
    DrawLayer(object, m, cx, filtered);
  }

  // Draws the object into a layer of its own, filters it and composites it
  // with its blend mode.
  void DrawLayer(const TDisplayObject& object, const TMatrix& m, const TColorTransform& cx, bool filtered) {
    Box box = Bounds(object, m);
    double marginX = 0, marginY = 0;
    if (filtered) FilterMargins(*object.Filters, stageScale * 20, marginX, marginY);
    box = Box{std::floor(box.X0 - marginX) - 1, std::floor(box.Y0 - marginY) - 1, std::ceil(box.X1 + marginX) + 1,
              std::ceil(box.Y1 + marginY) + 1};
    Box clip = ClipBox();
    clip = Box{clip.X0 - marginX, clip.Y0 - marginY, clip.X1 + marginX, clip.Y1 + marginY};
    box = box.Intersect(clip);
    if (box.Empty()) return;
    const int w = int(box.X1 - box.X0), h = int(box.Y1 - box.Y0);
    cairo_surface_t* layer = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(layer) != CAIRO_STATUS_SUCCESS) {
      cairo_surface_destroy(layer);
      return;
    }
    cairo_t* outer = cr;
    cr = cairo_create(layer);
    TMatrix shifted = m;
    shifted.TX -= box.X0;
    shifted.TY -= box.Y0;
    ++layerDepth;
    DrawContent(object, shifted, cx, false);
    --layerDepth;
    cairo_destroy(cr);
    cr = outer;
    cairo_surface_flush(layer);
    auto* pixels = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(layer));
    const int stride = cairo_image_surface_get_stride(layer) / 4;
    if (filtered) ApplyFilters(*object.Filters, pixels, w, h, stride, stageScale * 20);
    if (object.BlendMode == 10) {
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const std::uint32_t a = pixels[y * stride + x] >> 24;
          pixels[y * stride + x] = a << 24 | a << 16 | a << 8 | a;
        }
    }
    cairo_surface_mark_dirty(layer);
    cairo_save(cr);
    cairo_identity_matrix(cr);
    if (object.BlendMode == 9) {
      SubtractLayer(layer, int(box.X0), int(box.Y0));
    } else {
      cairo_set_operator(cr, BlendOperator(object.BlendMode, layerDepth > 0));
      cairo_set_source_surface(cr, layer, box.X0, box.Y0);
      cairo_paint(cr);
    }
    cairo_restore(cr);
    cairo_surface_destroy(layer);
  }

  // Subtract: the layer's colour is taken off what lies below it.
  void SubtractLayer(cairo_surface_t* layer, int x0, int y0) {
    cairo_surface_t* target = cairo_get_group_target(cr);
    if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE) return;
    double dx = 0, dy = 0;
    cairo_surface_get_device_offset(target, &dx, &dy);
    cairo_surface_flush(target);
    auto* dst = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(target));
    const int dw = cairo_image_surface_get_width(target), dh = cairo_image_surface_get_height(target);
    const int ds = cairo_image_surface_get_stride(target) / 4;
    const auto* src = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(layer));
    const int sw = cairo_image_surface_get_width(layer), sh = cairo_image_surface_get_height(layer);
    const int ss = cairo_image_surface_get_stride(layer) / 4;
    for (int y = 0; y < sh; ++y) {
      const int ty = y + y0 + int(dy);
      if (ty < 0 || ty >= dh) continue;
      for (int x = 0; x < sw; ++x) {
        const int tx = x + x0 + int(dx);
        if (tx < 0 || tx >= dw) continue;
        const std::uint32_t s = src[y * ss + x];
        std::uint32_t& d = dst[ty * ds + tx];
        const std::uint32_t da = d >> 24;
        auto sub = [&](int shift) {
          const int v = int((d >> shift) & 255) - int((s >> shift) & 255);
          return std::uint32_t(std::clamp(v, 0, int(da))) << shift;
        };
        d = (d & 0xFF000000u) | sub(16) | sub(8) | sub(0);
      }
    }
    cairo_surface_mark_dirty(target);
  }

  void Release() {
    for (auto it = bitmaps.begin(); it != bitmaps.end();) {
      if (!it->second.Used) {
        if (it->second.Surface) cairo_surface_destroy(it->second.Surface);
        it = bitmaps.erase(it);
      } else {
        it->second.Used = false;
        ++it;
      }
    }
    for (auto it = shapes.begin(); it != shapes.end();) {
      if (!it->second.Used) {
        it = shapes.erase(it);
      } else {
        it->second.Used = false;
        ++it;
      }
    }
    for (auto it = fonts.begin(); it != fonts.end();) {
      if (!it->second.Used) {
        it = fonts.erase(it);
      } else {
        it->second.Used = false;
        ++it;
      }
    }
  }
};

TFrameRenderer::TFrameRenderer(TMovie& movie) : impl_(std::make_unique<Impl>(movie)) {}
TFrameRenderer::~TFrameRenderer() = default;

std::size_t TFrameRenderer::CachedCharacters() const {
  return impl_->bitmaps.size() + impl_->shapes.size() + impl_->fonts.size();
}

TFrameSize StageSize(const TMovie& movie, double scale) {
  const TRect& r = movie.StageRect();
  const double w = (double(r.Right) - r.Left) / 20.0 * scale, h = (double(r.Bottom) - r.Top) / 20.0 * scale;
  return {std::max(1, int(std::lround(std::min(w, 1e6)))), std::max(1, int(std::lround(std::min(h, 1e6))))};
}

void TFrameRenderer::Render(const TDisplayObject& root, TBitmap& image) {
  Impl& d = *impl_;
  image.Pixels.assign(std::size_t(image.Width) * image.Height, 0);
  cairo_surface_t* surface =
      cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(image.Pixels.data()), CAIRO_FORMAT_ARGB32,
                                          image.Width, image.Height, image.Width * 4);
  d.cr = cairo_create(surface);
  const TRect& r = d.movie.StageRect();
  const double sw = double(r.Right) - r.Left, sh = double(r.Bottom) - r.Top;
  const double scale = std::min(image.Width / sw, image.Height / sh);
  d.stageScale = scale;
  TMatrix base;
  base.A = base.D = scale;
  base.TX = (image.Width - sw * scale) / 2 - r.Left * scale;
  base.TY = (image.Height - sh * scale) / 2 - r.Top * scale;
  SetColor(d.cr, d.movie.Background() | 0xFF000000u);
  cairo_paint(d.cr);
  d.layerDepth = 0;
  d.nesting = 0;
  d.DrawChildren(root, base, TColorTransform{}, false);
  cairo_destroy(d.cr);
  d.cr = nullptr;
  cairo_surface_flush(surface);
  cairo_surface_destroy(surface);
  d.Release();
}

}  // namespace yel::swf::render
