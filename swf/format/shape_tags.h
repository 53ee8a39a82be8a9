// The shape definition tags DefineShape, DefineShape2, DefineShape3 and
// DefineShape4: bounds, style arrays and the shape records.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "swf/format/shape_records.h"
#include "swf/format/swf_object.h"

namespace yel::swf {

class TSWFDefineShape : public TSWFObject {
 public:
  TSWFDefineShape() : TSWFObject(tag::DefineShape) {}
  // Copies from any shape version (line styles keep their own form).
  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t ShapeId = 0;
  TSWFRect ShapeBounds;
  TSWFFillStyles FillStyles;
  TSWFLineStyles LineStyles;
  TSWFShapeRecords Edges;
  bool HasAlpha = false;

 protected:
  TSWFDefineShape(std::uint16_t tagId, bool hasAlpha) : TSWFObject(tagId), HasAlpha(hasAlpha) {}
  // The fields between the bounds and the style arrays (DefineShape4 only).
  virtual void ReadAddonFromStream(TBitsEngine&) {}
  virtual void WriteAddonToStream(TBitsEngine&) {}
  // Line styles are LINESTYLE2 (DefineShape4 only).
  virtual bool UsesLineStyle2() const { return false; }
};

class TSWFDefineShape2 : public TSWFDefineShape {
 public:
  TSWFDefineShape2() : TSWFDefineShape(tag::DefineShape2, false) {}
  int MinVersion() const override { return 2; }
};

class TSWFDefineShape3 : public TSWFDefineShape {
 public:
  TSWFDefineShape3() : TSWFDefineShape(tag::DefineShape3, true) {}
  int MinVersion() const override { return 3; }
};

class TSWFDefineShape4 : public TSWFDefineShape {
 public:
  TSWFDefineShape4() : TSWFDefineShape(tag::DefineShape4, true) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 8; }

  TSWFRect EdgeBounds;
  // Recomputed from LineStyles before every write.
  bool UsesNonScalingStrokes = false;
  bool UsesScalingStrokes = false;

 protected:
  void ReadAddonFromStream(TBitsEngine& be) override;
  void WriteAddonToStream(TBitsEngine& be) override;
  bool UsesLineStyle2() const override { return true; }
};

// Calls fn with the bitmap id of every bitmap fill of the shape: its style
// arrays, the new styles of its records and the fills of LINESTYLE2 entries.
void ForEachBitmapId(TSWFDefineShape& shape, const std::function<void(std::uint16_t&)>& fn);

}  // namespace yel::swf
