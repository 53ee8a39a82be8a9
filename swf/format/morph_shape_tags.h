// Morph shape tags DefineMorphShape and DefineMorphShape2: a start and an
// end shape with the same records, whose fill and line styles come in
// start/end pairs; the player blends them by the placement's ratio.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "swf/format/fill_line_styles.h"
#include "swf/format/shape_records.h"
#include "swf/format/swf_object.h"

namespace yel::swf {

class TSWFMorphFillStyle {
 public:
  virtual ~TSWFMorphFillStyle() = default;
  virtual void Assign(const TSWFMorphFillStyle& source);
  // Reads the body; the type byte has already been consumed.
  virtual void ReadFromStream(TBitsEngine& be) = 0;
  // Writes the type byte and the body.
  virtual void WriteToStream(TBitsEngine& be) = 0;

  std::uint8_t FillType = 0;

 protected:
  explicit TSWFMorphFillStyle(std::uint8_t type) : FillType(type) {}
};

using TSWFMorphFillStyles = std::vector<std::unique_ptr<TSWFMorphFillStyle>>;

// New morph fill of the class for a type byte (null for an unknown type).
std::unique_ptr<TSWFMorphFillStyle> CreateMorphFillStyle(std::uint8_t type);
std::unique_ptr<TSWFMorphFillStyle> CloneMorphFillStyle(const TSWFMorphFillStyle& source);
// Reads a type byte and the body; fails with yel::Error on an unknown type.
std::unique_ptr<TSWFMorphFillStyle> ReadMorphFillStyle(TBitsEngine& be);

class TSWFMorphColorFill : public TSWFMorphFillStyle {
 public:
  TSWFMorphColorFill() : TSWFMorphFillStyle(0x00) {}
  void Assign(const TSWFMorphFillStyle& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;

  TPackedColor StartColor = 0xFF000000;
  TPackedColor EndColor = 0xFF000000;
};

struct TSWFMorphGradientRec {
  std::uint8_t StartRatio = 0;
  TPackedColor StartColor = 0xFF000000;
  std::uint8_t EndRatio = 0;
  TPackedColor EndColor = 0xFF000000;
  bool operator==(const TSWFMorphGradientRec&) const = default;
};

// Linear (0x10) and radial (0x12) gradients.
class TSWFMorphGradientFill : public TSWFMorphFillStyle {
 public:
  static constexpr int kMaxEntries = 15;

  TSWFMorphGradientFill() : TSWFMorphFillStyle(0x10) {}
  void Assign(const TSWFMorphFillStyle& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;

  TSWFMatrix StartMatrix;
  TSWFMatrix EndMatrix;
  // The upper bits of the count byte, kept as read so that a file comes back
  // unchanged; the builder leaves them 0.
  std::uint8_t SpreadMode = 0;
  std::uint8_t InterpolationMode = 0;
  // At most kMaxEntries are written.
  std::vector<TSWFMorphGradientRec> Gradient;

 protected:
  explicit TSWFMorphGradientFill(std::uint8_t type) : TSWFMorphFillStyle(type) {}
};

class TSWFMorphFocalGradientFill : public TSWFMorphGradientFill {
 public:
  TSWFMorphFocalGradientFill() : TSWFMorphGradientFill(0x13) {}
  void Assign(const TSWFMorphFillStyle& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;

  // round(f * 255), -255..255, as read.
  std::int16_t StartFocalPoint = 0;
  std::int16_t EndFocalPoint = 0;
};

class TSWFMorphImageFill : public TSWFMorphFillStyle {
 public:
  TSWFMorphImageFill() : TSWFMorphFillStyle(0x41) {}
  void Assign(const TSWFMorphFillStyle& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;

  std::uint16_t BitmapId = 0;
  TSWFMatrix StartMatrix;
  TSWFMatrix EndMatrix;
};

class TSWFMorphLineStyle {
 public:
  virtual ~TSWFMorphLineStyle() = default;
  // Copies widths and colours from either form (and the rest from the same).
  virtual void Assign(const TSWFMorphLineStyle& source);
  virtual void ReadFromStream(TBitsEngine& be);
  virtual void WriteToStream(TBitsEngine& be);

  std::uint16_t StartWidth = 0;
  std::uint16_t EndWidth = 0;
  TPackedColor StartColor = 0xFF000000;
  TPackedColor EndColor = 0xFF000000;
};

// The second form of DefineMorphShape2: caps, joins, scaling flags and an
// optional morph fill used instead of the colours.
class TSWFMorphLineStyle2 : public TSWFMorphLineStyle, public TSWFLineStyle2Flags {
 public:
  void Assign(const TSWFMorphLineStyle& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;

  TSWFMorphFillStyle* FillStyle() const { return fill_.get(); }
  // Sets the fill (and HasFillFlag); null clears both.
  void SetFillStyle(std::unique_ptr<TSWFMorphFillStyle> fill);

 private:
  std::unique_ptr<TSWFMorphFillStyle> fill_;
};

using TSWFMorphLineStyles = std::vector<std::unique_ptr<TSWFMorphLineStyle>>;

class TSWFDefineMorphShape : public TSWFObject {
 public:
  TSWFDefineMorphShape() : TSWFObject(tag::DefineMorphShape) {}
  // Copies from either form; line styles keep the form they have (the
  // second form converts them when it is written).
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 3; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t CharacterId = 0;
  TSWFRect StartBounds;
  TSWFRect EndBounds;
  TSWFMorphFillStyles MorphFillStyles;
  TSWFMorphLineStyles MorphLineStyles;
  TSWFShapeRecords StartEdges;
  TSWFShapeRecords EndEdges;

 protected:
  explicit TSWFDefineMorphShape(std::uint16_t tagId) : TSWFObject(tagId) {}
  // The fields between the bounds and the offset (DefineMorphShape2 only).
  virtual void ReadAddonFromStream(TBitsEngine&) {}
  virtual void WriteAddonToStream(TBitsEngine&) {}
  bool SecondForm() const { return TagID == tag::DefineMorphShape2; }
};

class TSWFDefineMorphShape2 : public TSWFDefineMorphShape {
 public:
  TSWFDefineMorphShape2() : TSWFDefineMorphShape(tag::DefineMorphShape2) {}
  void Assign(const TBasedSWFObject& source) override;

  TSWFRect StartEdgeBounds;
  TSWFRect EndEdgeBounds;
  // Recomputed from the line styles before every write.
  bool UsesNonScalingStrokes = false;
  bool UsesScalingStrokes = false;

 protected:
  void ReadAddonFromStream(TBitsEngine& be) override;
  void WriteAddonToStream(TBitsEngine& be) override;
};

// Calls fn with the bitmap id of every bitmap fill of the morph shape.
void ForEachBitmapId(TSWFDefineMorphShape& shape, const std::function<void(std::uint16_t&)>& fn);

}  // namespace yel::swf
