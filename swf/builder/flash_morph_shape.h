// TFlashMorphShape: a shape drawn twice, as a start and an end shape with two
// TFlashEdges pens, whose styles come in start/end pairs; the player blends
// the two by the placement's ratio. Written as DefineMorphShape, or as
// DefineMorphShape2 in its second form.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "swf/builder/flash_edges.h"
#include "swf/builder/flash_object.h"
#include "swf/builder/flash_shape.h"
#include "swf/format/morph_shape_tags.h"

namespace yel::swf {

class TFlashImage;

class TFlashMorphShape : public TFlashVisualObject {
 public:
  explicit TFlashMorphShape(TFlashMovie* owner = nullptr);
  ~TFlashMorphShape() override;

  // 3; 8 in the second form (DefineMorphShape2 came with SWF 8).
  int MinVersion() const override { return SecondForm ? 8 : 3; }
  void WriteToStream(TBitsEngine& be) override;
  void OwnerChanged() override;
  void SetCharacterId(std::uint16_t id) override;

  TSWFDefineMorphShape& MorphRecord() { return record_; }
  TFlashEdges& StartEdges() { return *start_edges_; }
  TFlashEdges& EndEdges() { return *end_edges_; }

  // Bounds in movie units, widened by 10 twips on every side.
  void SetStartBound(std::int32_t xMin, std::int32_t yMin, std::int32_t xMax, std::int32_t yMax);
  void SetEndBound(std::int32_t xMin, std::int32_t yMin, std::int32_t xMax, std::int32_t yMax);

  // Appends a style and selects it.
  TSWFMorphFillStyle* AddFillStyle(std::unique_ptr<TSWFMorphFillStyle> fill);
  TSWFMorphLineStyle* AddLineStyle(std::unique_ptr<TSWFMorphLineStyle> line = nullptr);
  std::uint16_t Fill0Num() const { return fill0_num_; }
  std::uint16_t LineStyleNum() const { return line_style_num_; }
  // The index goes into the start edges' style-change record: the first
  // record when there is exactly one fill style, else the last style-change
  // record; without such a record it becomes 0.
  void SetFill0Num(std::uint16_t index);
  void SetLineStyleNum(std::uint16_t index);

  // Colours are packed RGBA.
  TSWFMorphColorFill* SetSolidColor(TPackedColor startColor, TPackedColor endColor);
  // Widths in movie units.
  TSWFMorphLineStyle* SetLineStyle(std::uint16_t startWidth, std::uint16_t endWidth, TPackedColor startColor,
                                   TPackedColor endColor);
  // Gradients across each end's bounds; entry i of n gets ratio
  // round(i / (n - 1) * 255) at both ends. At most 8 entries.
  TSWFMorphGradientFill* SetLinearGradient(const std::vector<TPackedColor>& startColors,
                                           const std::vector<TPackedColor>& endColors, float startAngle,
                                           float endAngle);
  TSWFMorphGradientFill* SetRadialGradient(const std::vector<TPackedColor>& startColors,
                                           const std::vector<TPackedColor>& endColors, std::uint8_t startX,
                                           std::uint8_t startY, std::uint8_t endX, std::uint8_t endY);
  // The image over each end's bounds: fitted, or at the given scales
  // (Scale clips, Tile repeats). The image moves in front of this shape in
  // the movie's object list when it stands behind it.
  TSWFMorphImageFill* SetImageFill(TFlashImage& image, TFlashImageFillMode mode, float startScale = 1,
                                   float endScale = 1);

  // Write DefineMorphShape2.
  bool SecondForm = false;

 private:
  TSWFMorphGradientFill* AddGradient(std::unique_ptr<TSWFMorphGradientFill> fill,
                                     const std::vector<TPackedColor>& startColors,
                                     const std::vector<TPackedColor>& endColors);
  TSWFStyleChangeRecord* StyleRecord();

  TSWFDefineMorphShape record_;
  std::unique_ptr<TFlashEdges> start_edges_;
  std::unique_ptr<TFlashEdges> end_edges_;
  std::uint16_t fill0_num_ = 0;
  std::uint16_t line_style_num_ = 0;
};

}  // namespace yel::swf
