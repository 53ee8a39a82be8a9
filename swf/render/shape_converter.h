// The shape converter: turns the edge records of a shape (each edge with the
// fill on its left, fill0, and on its right, fill1, and a line style) into
// closed paths, one per fill style, and stroke paths, one per line style, in
// the order a player paints them. It knows nothing of drawing; shapes, glyphs
// and morph shapes at a ratio all come through here once per character.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "swf/format/fill_line_styles.h"
#include "swf/format/shape_records.h"

namespace yel::swf::render {

// One step of a path, in twips.
struct TPathOp {
  enum Kind : std::uint8_t { Move, Line, Quad };
  Kind Op = Move;
  float X = 0, Y = 0;    // end point
  float CX = 0, CY = 0;  // control point of a quadratic curve
};
using TPath = std::vector<TPathOp>;

// A line style as the back end needs it.
struct TStroke {
  float Width = 0;  // twips; 0 is a hairline
  std::uint8_t Cap = 0;   // 0 round, 1 none, 2 square
  std::uint8_t Join = 0;  // 0 round, 1 bevel, 2 miter
  float MiterLimit = 3;
  bool NoHScale = false, NoVScale = false;
  bool NoClose = false;
};

// A fill path (even-odd, every contour closed) or a stroke path.
struct TShapeLayer {
  bool IsStroke = false;
  // The paint of a fill, or of a stroke (a solid colour fill for plain line
  // styles, the LINESTYLE2 fill otherwise). Never null.
  std::unique_ptr<TSWFFillStyle> Paint;
  TStroke Stroke;
  TPath Path;
};

struct TConvertedShape {
  std::vector<TShapeLayer> Layers;
  // Bounds of every point, in twips (empty when there is none).
  float XMin = 0, YMin = 0, XMax = 0, YMax = 0;
  bool Empty() const { return Layers.empty(); }
  // Bitmap ids its fills use.
  std::vector<std::uint16_t> BitmapIds() const;
};

// Converts records against the initial style arrays (records with new
// styles bring their own). Indices that name no style are skipped. With
// glyphFill set, the records form a glyph: any fill index means that fill,
// and no line style is drawn.
TConvertedShape ConvertShape(const TSWFShapeRecords& records, const TSWFFillStyles& fills,
                             const TSWFLineStyles& lines, const TSWFFillStyle* glyphFill = nullptr);

}  // namespace yel::swf::render
