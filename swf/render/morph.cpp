// Morph blending: edges are paired in order (a straight edge becomes a
// curve with its control point halfway), pen positions are blended as
// absolute points, styles field by field.
#include "swf/render/morph.h"

#include <cmath>

#include "swf/format/morph_shape_tags.h"

namespace yel::swf::render {
namespace {

std::int32_t Mix(double a, double b, double t) { return std::int32_t(std::lround(a + (b - a) * t)); }

TPackedColor MixColor(TPackedColor a, TPackedColor b, double t) {
  TPackedColor out = 0;
  for (int shift = 0; shift < 32; shift += 8)
    out |= TPackedColor(Mix((a >> shift) & 255, (b >> shift) & 255, t) & 255) << shift;
  return out;
}

TSWFMatrixRec MixMatrix(const TSWFMatrixRec& a, const TSWFMatrixRec& b, double t) {
  TSWFMatrixRec r;
  r.HasScale = true;
  r.HasSkew = true;
  r.ScaleX = Mix(a.HasScale ? a.ScaleX : 65536, b.HasScale ? b.ScaleX : 65536, t);
  r.ScaleY = Mix(a.HasScale ? a.ScaleY : 65536, b.HasScale ? b.ScaleY : 65536, t);
  r.SkewX = Mix(a.HasSkew ? a.SkewX : 0, b.HasSkew ? b.SkewX : 0, t);
  r.SkewY = Mix(a.HasSkew ? a.SkewY : 0, b.HasSkew ? b.SkewY : 0, t);
  r.TranslateX = Mix(a.TranslateX, b.TranslateX, t);
  r.TranslateY = Mix(a.TranslateY, b.TranslateY, t);
  return r;
}

std::unique_ptr<TSWFFillStyle> MixFill(const TSWFMorphFillStyle& fill, double t) {
  if (const auto* solid = dynamic_cast<const TSWFMorphColorFill*>(&fill)) {
    auto out = std::make_unique<TSWFColorFill>();
    out->Color.SetRGBA(MixColor(solid->StartColor, solid->EndColor, t));
    return out;
  }
  if (const auto* gradient = dynamic_cast<const TSWFMorphGradientFill*>(&fill)) {
    std::unique_ptr<TSWFGradientFill> out;
    if (const auto* focal = dynamic_cast<const TSWFMorphFocalGradientFill*>(&fill)) {
      auto f = std::make_unique<TSWFFocalGradientFill>();
      f->FocalPoint = std::int16_t(Mix(focal->StartFocalPoint, focal->EndFocalPoint, t));
      out = std::move(f);
    } else {
      out = std::make_unique<TSWFGradientFill>();
      out->FillType = fill.FillType == kFillRadialGradient ? kFillRadialGradient : kFillLinearGradient;
    }
    out->Matrix.SetRec(MixMatrix(gradient->StartMatrix.Rec(), gradient->EndMatrix.Rec(), t));
    out->SpreadMode = gradient->SpreadMode;
    out->InterpolationMode = gradient->InterpolationMode;
    for (const auto& rec : gradient->Gradient) {
      TSWFGradientRec g;
      g.Ratio = std::uint8_t(Mix(rec.StartRatio, rec.EndRatio, t));
      g.Color.SetRGBA(MixColor(rec.StartColor, rec.EndColor, t));
      out->Gradient.push_back(g);
    }
    return out;
  }
  if (const auto* image = dynamic_cast<const TSWFMorphImageFill*>(&fill)) {
    auto out = std::make_unique<TSWFImageFill>();
    out->FillType = fill.FillType;
    out->BitmapId = image->BitmapId;
    out->Matrix.SetRec(MixMatrix(image->StartMatrix.Rec(), image->EndMatrix.Rec(), t));
    return out;
  }
  return nullptr;
}

std::unique_ptr<TSWFLineStyle> MixLine(const TSWFMorphLineStyle& line, double t) {
  std::unique_ptr<TSWFLineStyle> out;
  if (const auto* line2 = dynamic_cast<const TSWFMorphLineStyle2*>(&line)) {
    auto l = std::make_unique<TSWFLineStyle2>();
    static_cast<TSWFLineStyle2Flags&>(*l) = static_cast<const TSWFLineStyle2Flags&>(*line2);
    if (line2->HasFillFlag && line2->FillStyle()) {
      if (auto fill = MixFill(*line2->FillStyle(), t)) {
        TSWFFillStyle* slot = l->SetFillStyleType(fill->FillType);
        if (slot) slot->Assign(*fill);
      }
    }
    out = std::move(l);
  } else {
    out = std::make_unique<TSWFLineStyle>();
  }
  out->Width = std::uint16_t(Mix(line.StartWidth, line.EndWidth, t));
  out->Color.SetRGBA(MixColor(line.StartColor, line.EndColor, t));
  return out;
}

// An edge as absolute points: start, control, end.
struct QuadEdge {
  double CX, CY, X, Y;
};

}  // namespace

TConvertedShape ConvertMorphShape(const TSWFDefineMorphShape& morph, double t) {
  TSWFFillStyles fills;
  for (const auto& f : morph.MorphFillStyles) fills.push_back(f ? MixFill(*f, t) : nullptr);
  TSWFLineStyles lines;
  for (const auto& l : morph.MorphLineStyles) lines.push_back(l ? MixLine(*l, t) : nullptr);

  TSWFShapeRecords records;
  const TSWFShapeRecords& start = morph.StartEdges;
  const TSWFShapeRecords& end = morph.EndEdges;
  double sx = 0, sy = 0, ex = 0, ey = 0;  // pens of the two shapes
  std::int32_t px = 0, py = 0;            // pen of the blend
  std::size_t e = 0;
  auto endEdge = [&](double& cx, double& cy, double& x, double& y) {
    // The next edge of the end shape; its style changes only move the pen.
    while (e < end.size()) {
      const auto& rec = *end[e++];
      if (rec.RecordKind == TSWFShapeRecordKind::StyleChange) {
        const auto& change = static_cast<const TSWFStyleChangeRecord&>(rec);
        if (change.StateMoveTo) {
          ex = change.DeltaX;
          ey = change.DeltaY;
        }
        continue;
      }
      if (rec.RecordKind == TSWFShapeRecordKind::StraightEdge) {
        const auto& s = static_cast<const TSWFStraightEdgeRecord&>(rec);
        x = ex + s.DeltaX;
        y = ey + s.DeltaY;
        cx = (ex + x) / 2;
        cy = (ey + y) / 2;
      } else if (rec.RecordKind == TSWFShapeRecordKind::CurvedEdge) {
        const auto& c = static_cast<const TSWFCurvedEdgeRecord&>(rec);
        cx = ex + c.ControlX;
        cy = ey + c.ControlY;
        x = cx + c.AnchorX;
        y = cy + c.AnchorY;
      } else {
        continue;
      }
      ex = x;
      ey = y;
      return true;
    }
    cx = x = ex;
    cy = y = ey;
    return false;
  };
  // The end shape's pen moves with the start shape's moves: a move in the
  // start shape is matched by the next move of the end shape, if it is the
  // next record there.
  for (const auto& rec : start) {
    switch (rec->RecordKind) {
      case TSWFShapeRecordKind::End: break;
      case TSWFShapeRecordKind::StyleChange: {
        const auto& change = static_cast<const TSWFStyleChangeRecord&>(*rec);
        auto out = std::make_unique<TSWFStyleChangeRecord>();
        if (change.StateFillStyle0) out->SetFill0(change.Fill0());
        if (change.StateFillStyle1) out->SetFill1(change.Fill1());
        if (change.StateLineStyle) out->SetLineStyle(change.LineStyle());
        if (change.StateMoveTo) {
          sx = change.DeltaX;
          sy = change.DeltaY;
          if (e < end.size() && end[e]->RecordKind == TSWFShapeRecordKind::StyleChange) {
            const auto& endChange = static_cast<const TSWFStyleChangeRecord&>(*end[e]);
            if (endChange.StateMoveTo) {
              ex = endChange.DeltaX;
              ey = endChange.DeltaY;
            }
            ++e;
          }
          out->StateMoveTo = true;
          px = Mix(sx, ex, t);
          py = Mix(sy, ey, t);
          out->DeltaX = px;
          out->DeltaY = py;
        }
        records.push_back(std::move(out));
        break;
      }
      case TSWFShapeRecordKind::StraightEdge:
      case TSWFShapeRecordKind::CurvedEdge: {
        QuadEdge a;
        if (rec->RecordKind == TSWFShapeRecordKind::StraightEdge) {
          const auto& s = static_cast<const TSWFStraightEdgeRecord&>(*rec);
          a.X = sx + s.DeltaX;
          a.Y = sy + s.DeltaY;
          a.CX = (sx + a.X) / 2;
          a.CY = (sy + a.Y) / 2;
        } else {
          const auto& c = static_cast<const TSWFCurvedEdgeRecord&>(*rec);
          a.CX = sx + c.ControlX;
          a.CY = sy + c.ControlY;
          a.X = a.CX + c.AnchorX;
          a.Y = a.CY + c.AnchorY;
        }
        sx = a.X;
        sy = a.Y;
        QuadEdge b;
        endEdge(b.CX, b.CY, b.X, b.Y);
        const std::int32_t cx = Mix(a.CX, b.CX, t), cy = Mix(a.CY, b.CY, t);
        const std::int32_t x = Mix(a.X, b.X, t), y = Mix(a.Y, b.Y, t);
        records.push_back(std::make_unique<TSWFCurvedEdgeRecord>(cx - px, cy - py, x - cx, y - cy));
        px = x;
        py = y;
        break;
      }
    }
  }
  return ConvertShape(records, fills, lines);
}

}  // namespace yel::swf::render
