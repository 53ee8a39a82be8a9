// TFlashShape: the builder's shape character (fill and line styles, bounds
// and a path drawn with its TFlashEdges pen), written as DefineShape2 or
// DefineShape3, with optional dashed outlines; and TFlashLineStyle, the dash
// pattern.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "swf/builder/flash_edges.h"
#include "swf/builder/flash_object.h"
#include "swf/format/fill_line_styles.h"

namespace yel::swf {

// A dash pattern: lengths in pixels, alternately dash and gap, starting with
// a dash; at most 255 entries.
class TFlashLineStyle {
 public:
  static constexpr int kMaxCount = 255;

  int Count() const { return static_cast<int>(items_.size()); }
  std::uint8_t Items(int index) const { return items_.at(index); }
  // Grows with zeros or shrinks from the end.
  void SetCount(int count);
  void SetItem(int index, std::uint8_t value) { items_.at(index) = value; }
  // Sets the whole pattern (at most kMaxCount entries are kept).
  void SetPattern(const std::vector<std::uint8_t>& pattern);

 private:
  std::vector<std::uint8_t> items_;
};

enum class TFlashImageFillMode { Scale, Fit, Tile };

// Gradient matrices over bounds in twips: a linear gradient across the
// bounds at angle degrees, a radial one around the point at xPercent,
// yPercent of them.
TSWFMatrix LinearGradientMatrix(const TSWFRect& bounds, float angle);
TSWFMatrix RadialGradientMatrix(const TSWFRect& bounds, std::uint8_t xPercent, std::uint8_t yPercent);

class TFlashShape : public TFlashVisualObject {
 public:
  explicit TFlashShape(TFlashMovie* owner = nullptr);
  ~TFlashShape() override;

  // Copies the path, styles, bounds and dash settings (and, through the
  // base, owner and id).
  void Assign(const TBasedSWFObject& source) override;
  void OwnerChanged() override;
  int MinVersion() const override;
  // The bitmaps it is filled with.
  void AppendUsedIDs(std::vector<std::uint16_t>& ids) const override;
  // Writes a DefineShape3 when some colour has alpha, else a DefineShape2.
  void WriteToStream(TBitsEngine& be) override;

  TFlashEdges& Edges() { return *edges_; }
  const TSWFShapeRecords& Records() const { return records_; }

  // --- bounds, in movie units
  void SetShapeBound(std::int32_t xMin, std::int32_t yMin, std::int32_t xMax, std::int32_t yMax);
  // Bounds from the path (control points included).
  void CalcBounds();
  std::int32_t XMin() const;
  std::int32_t YMin() const;
  std::int32_t XMax() const;
  std::int32_t YMax() const;
  std::int32_t Width(bool inTwips = false) const;
  std::int32_t Height(bool inTwips = false) const;
  // Bounds in twips, before the line-width margin.
  const TSWFRect& Bounds() const { return bounds_; }

  // --- styles
  // Appends the fill (unless it is already there) and selects it as fill 1.
  TSWFFillStyle* AddFillStyle(std::unique_ptr<TSWFFillStyle> fill);
  // Selects a fill that is already in FillStyles (nothing otherwise).
  void AddFillStyle(TSWFFillStyle* fill);
  // Appends the line style (a new default one when null) and selects it.
  TSWFLineStyle* AddLineStyle(std::unique_ptr<TSWFLineStyle> line = nullptr);
  void AddLineStyle(TSWFLineStyle* line);
  // Colours are packed red | green << 8 | blue << 16 | alpha << 24; the RGB
  // forms use the low three bytes with alpha 255.
  TSWFColorFill* SetSolidColor(std::uint32_t rgb);
  TSWFColorFill* SetSolidColorRGBA(std::uint32_t rgba);
  // Width in movie units.
  TSWFLineStyle* SetLineStyle(std::uint16_t width, std::uint32_t rgb);
  TSWFLineStyle* SetLineStyleRGBA(std::uint16_t width, std::uint32_t rgba);
  // Gradient across the bounds at angle degrees; at most 15 colours.
  TSWFGradientFill* SetLinearGradient(const std::vector<std::uint32_t>& colors, float angle);
  TSWFGradientFill* SetLinearGradient(std::uint32_t color1, std::uint32_t color2, float angle);
  // Gradient around the point at xPercent, yPercent of the bounds; at most 8
  // colours (further ones are dropped).
  TSWFGradientFill* SetRadialGradient(const std::vector<std::uint32_t>& colors, std::uint8_t xPercent,
                                      std::uint8_t yPercent);
  TSWFGradientFill* SetRadialGradient(std::uint32_t color1, std::uint32_t color2, std::uint8_t xPercent,
                                      std::uint8_t yPercent);
  // Bitmap fill of the character `image` (imageWidth x imageHeight pixels):
  // scale and tile use scaleX, scaleY; fit stretches it over the bounds.
  // The bitmap's definition is moved in front of the shape when needed.
  TSWFImageFill* SetImageFill(TFlashIDObject& image, std::int32_t imageWidth, std::int32_t imageHeight,
                              TFlashImageFillMode mode, float scaleX = 1, float scaleY = 1);
  // The same with the image's own pixel size.
  TSWFImageFill* SetImageFill(TFlashImage& image, TFlashImageFillMode mode, float scaleX = 1, float scaleY = 1);

  std::int16_t Fill0Num() const { return fill0_num_; }
  std::int16_t Fill1Num() const { return fill1_num_; }
  std::int16_t LineStyleNum() const { return line_style_num_; }
  // Store the index and write it into the first record of the path.
  void SetFill0Num(std::int16_t index);
  void SetFill1Num(std::int16_t index);
  void SetLineStyleNum(std::int16_t index);

  TSWFFillStyles& FillStyles() { return fill_styles_; }
  TSWFLineStyles& LineStyles() { return line_styles_; }

  // --- dashing: the first access switches dashed outlines on; the first
  // access of DashGapColor makes the gaps visible in that colour.
  TFlashLineStyle& DashStyle();
  TSWFRGBA& DashGapColor();
  bool HasDashStyle() const { return dash_style_ != nullptr; }
  bool TransparentGaps() const { return dash_gap_color_ == nullptr; }

  bool HasAlpha = false;

 private:
  // The records written for a dashed outline.
  TSWFShapeRecords DashedRecords(std::uint16_t gapStyle) const;
  bool WriteAlpha() const;

  TSWFShapeRecords records_;
  std::unique_ptr<TFlashEdges> edges_;
  TSWFRect bounds_;
  TSWFFillStyles fill_styles_;
  TSWFLineStyles line_styles_;
  void SetStyleNum(std::int16_t& slot, std::int16_t index, void (TSWFStyleChangeRecord::*select)(std::uint16_t));

  std::int16_t fill0_num_ = 0;
  std::int16_t fill1_num_ = 0;
  std::int16_t line_style_num_ = 0;
  std::unique_ptr<TFlashLineStyle> dash_style_;
  std::unique_ptr<TSWFRGBA> dash_gap_color_;
};

}  // namespace yel::swf
