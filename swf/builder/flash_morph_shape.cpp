// The morph shape builder: bounds, start/end styles, the two pens, and the
// choice between the two tag forms at writing time.
#include "swf/builder/flash_morph_shape.h"

#include <algorithm>
#include <cmath>

#include "swf/builder/flash_image.h"
#include "swf/builder/flash_movie.h"

namespace yel::swf {
namespace {

// The widening of morph bounds on every side, in twips.
constexpr std::int32_t kBoundMargin = 10;

TSWFRectRec WidenedBounds(std::int32_t xMin, std::int32_t yMin, std::int32_t xMax, std::int32_t yMax, int factor) {
  auto scaled = [&](std::int64_t v, std::int64_t margin) {
    std::int64_t t = std::int64_t{ScaleUnits(static_cast<std::int32_t>(v), factor)} + margin;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(t, INT32_MIN, INT32_MAX));
  };
  return {scaled(std::min(xMin, xMax), -kBoundMargin), scaled(std::max(xMin, xMax), kBoundMargin),
          scaled(std::min(yMin, yMax), -kBoundMargin), scaled(std::max(yMin, yMax), kBoundMargin)};
}

}  // namespace

TFlashMorphShape::TFlashMorphShape(TFlashMovie* owner)
    : TFlashVisualObject(owner),
      start_edges_(std::make_unique<TFlashEdges>(record_.StartEdges, owner)),
      end_edges_(std::make_unique<TFlashEdges>(record_.EndEdges, owner)) {}

TFlashMorphShape::~TFlashMorphShape() = default;

void TFlashMorphShape::OwnerChanged() {
  start_edges_->SetMovie(Owner());
  end_edges_->SetMovie(Owner());
}

void TFlashMorphShape::SetCharacterId(std::uint16_t id) {
  TFlashVisualObject::SetCharacterId(id);
  record_.CharacterId = id;
}

void TFlashMorphShape::SetStartBound(std::int32_t xMin, std::int32_t yMin, std::int32_t xMax, std::int32_t yMax) {
  record_.StartBounds.SetRect(WidenedBounds(xMin, yMin, xMax, yMax, UnitFactor()));
}

void TFlashMorphShape::SetEndBound(std::int32_t xMin, std::int32_t yMin, std::int32_t xMax, std::int32_t yMax) {
  record_.EndBounds.SetRect(WidenedBounds(xMin, yMin, xMax, yMax, UnitFactor()));
}

TSWFStyleChangeRecord* TFlashMorphShape::StyleRecord() {
  auto& records = record_.StartEdges;
  if (record_.MorphFillStyles.size() == 1) {
    if (!records.empty() && records.front()->RecordKind == TSWFShapeRecordKind::StyleChange)
      return static_cast<TSWFStyleChangeRecord*>(records.front().get());
    return nullptr;
  }
  for (auto it = records.rbegin(); it != records.rend(); ++it)
    if ((*it)->RecordKind == TSWFShapeRecordKind::StyleChange) return static_cast<TSWFStyleChangeRecord*>(it->get());
  return nullptr;
}

void TFlashMorphShape::SetFill0Num(std::uint16_t index) {
  TSWFStyleChangeRecord* record = StyleRecord();
  fill0_num_ = record ? index : 0;
  if (record) record->SetFill0(index);
}

void TFlashMorphShape::SetLineStyleNum(std::uint16_t index) {
  TSWFStyleChangeRecord* record = StyleRecord();
  line_style_num_ = record ? index : 0;
  if (record) record->SetLineStyle(index);
}

TSWFMorphFillStyle* TFlashMorphShape::AddFillStyle(std::unique_ptr<TSWFMorphFillStyle> fill) {
  TSWFMorphFillStyle* raw = fill.get();
  record_.MorphFillStyles.push_back(std::move(fill));
  SetFill0Num(static_cast<std::uint16_t>(record_.MorphFillStyles.size()));
  return raw;
}

TSWFMorphLineStyle* TFlashMorphShape::AddLineStyle(std::unique_ptr<TSWFMorphLineStyle> line) {
  if (!line) line = std::make_unique<TSWFMorphLineStyle>();
  TSWFMorphLineStyle* raw = line.get();
  record_.MorphLineStyles.push_back(std::move(line));
  SetLineStyleNum(static_cast<std::uint16_t>(record_.MorphLineStyles.size()));
  return raw;
}

TSWFMorphColorFill* TFlashMorphShape::SetSolidColor(TPackedColor startColor, TPackedColor endColor) {
  auto fill = std::make_unique<TSWFMorphColorFill>();
  fill->StartColor = startColor;
  fill->EndColor = endColor;
  return static_cast<TSWFMorphColorFill*>(AddFillStyle(std::move(fill)));
}

TSWFMorphLineStyle* TFlashMorphShape::SetLineStyle(std::uint16_t startWidth, std::uint16_t endWidth,
                                                   TPackedColor startColor, TPackedColor endColor) {
  auto line = std::make_unique<TSWFMorphLineStyle>();
  auto width = [&](std::uint16_t w) { return static_cast<std::uint16_t>(std::min(w * UnitFactor(), 0xFFFF)); };
  line->StartWidth = width(startWidth);
  line->EndWidth = width(endWidth);
  line->StartColor = startColor;
  line->EndColor = endColor;
  return AddLineStyle(std::move(line));
}

TSWFMorphGradientFill* TFlashMorphShape::AddGradient(std::unique_ptr<TSWFMorphGradientFill> fill,
                                                     const std::vector<TPackedColor>& startColors,
                                                     const std::vector<TPackedColor>& endColors) {
  const std::size_t n = std::min<std::size_t>(startColors.size(), 8);
  if (n == 0) return nullptr;
  for (std::size_t i = 0; i < n; ++i) {
    TSWFMorphGradientRec entry;
    entry.StartRatio = entry.EndRatio =
        n > 1 ? static_cast<std::uint8_t>(std::nearbyint(double(i) / double(n - 1) * 255.0)) : 0;
    entry.StartColor = startColors[i];
    // The end colours go in step with the start colours; missing ones repeat
    // the last.
    entry.EndColor = endColors.empty() ? startColors[i] : endColors[std::min(i, endColors.size() - 1)];
    fill->Gradient.push_back(entry);
  }
  return static_cast<TSWFMorphGradientFill*>(AddFillStyle(std::move(fill)));
}

TSWFMorphGradientFill* TFlashMorphShape::SetLinearGradient(const std::vector<TPackedColor>& startColors,
                                                           const std::vector<TPackedColor>& endColors,
                                                           float startAngle, float endAngle) {
  auto fill = std::make_unique<TSWFMorphGradientFill>();
  fill->StartMatrix = LinearGradientMatrix(record_.StartBounds, startAngle);
  fill->EndMatrix = LinearGradientMatrix(record_.EndBounds, endAngle);
  return AddGradient(std::move(fill), startColors, endColors);
}

TSWFMorphGradientFill* TFlashMorphShape::SetRadialGradient(const std::vector<TPackedColor>& startColors,
                                                           const std::vector<TPackedColor>& endColors,
                                                           std::uint8_t startX, std::uint8_t startY,
                                                           std::uint8_t endX, std::uint8_t endY) {
  auto fill = std::make_unique<TSWFMorphGradientFill>();
  fill->FillType = kFillRadialGradient;
  fill->StartMatrix = RadialGradientMatrix(record_.StartBounds, startX, startY);
  fill->EndMatrix = RadialGradientMatrix(record_.EndBounds, endX, endY);
  return AddGradient(std::move(fill), startColors, endColors);
}

TSWFMorphImageFill* TFlashMorphShape::SetImageFill(TFlashImage& image, TFlashImageFillMode mode, float startScale,
                                                   float endScale) {
  constexpr double kMaxScale = 16383;
  // Keeps the bitmap's edge pixels from bleeding in.
  constexpr double kCorrection = 0.0036621094;
  auto fill = std::make_unique<TSWFMorphImageFill>();
  fill->BitmapId = image.CharacterId();
  fill->FillType = mode == TFlashImageFillMode::Tile ? kFillTileBitmap : kFillClipBitmap;
  auto place = [&](TSWFMatrix& m, const TSWFRect& bounds, float scale) {
    m.SetTranslate(bounds.XMin() - 5, bounds.YMin() - 5);
    if (mode == TFlashImageFillMode::Fit) {
      auto fit = [&](double size, int pixels) {
        return static_cast<float>(pixels > 0 ? std::min(size / pixels + kCorrection, kMaxScale) : kMaxScale);
      };
      m.SetScale(fit(static_cast<double>(bounds.Width()), image.Width()),
                 fit(static_cast<double>(bounds.Height()), image.Height()));
    } else {
      m.SetScale(scale * 20, scale * 20);
    }
  };
  place(fill->StartMatrix, record_.StartBounds, startScale);
  place(fill->EndMatrix, record_.EndBounds, endScale);
  auto* raw = static_cast<TSWFMorphImageFill*>(AddFillStyle(std::move(fill)));
  if (TFlashMovie* movie = Owner()) {
    int shapeIndex = movie->IndexOfObject(this);
    int imageIndex = movie->IndexOfObject(&image);
    if (shapeIndex >= 0 && imageIndex > shapeIndex) movie->MoveObject(imageIndex, shapeIndex);
  }
  return raw;
}

void TFlashMorphShape::WriteToStream(TBitsEngine& be) {
  record_.CharacterId = CharacterId();
  if (!SecondForm) {
    record_.WriteToStream(be);
    return;
  }
  TSWFDefineMorphShape2 second;
  second.Assign(record_);
  second.StartEdgeBounds.Assign(record_.StartBounds);
  second.EndEdgeBounds.Assign(record_.EndBounds);
  second.WriteToStream(be);
}

TFlashMorphShape* TFlashMovie::AddMorphShape(std::unique_ptr<TFlashMorphShape> shape) {
  if (!shape) shape = std::make_unique<TFlashMorphShape>(this);
  return AddCharacter(std::move(shape), MorphShapes());
}

}  // namespace yel::swf
