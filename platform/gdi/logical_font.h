// A font made from a font description (LOGFONTW) the way a drawing context
// makes one: the face fontconfig finds for the face name, weight and italic
// flag; an em size in logical units from the description's height (negative:
// the character height, positive: the cell height, 0: a default); a
// horizontal stretch from its width; and the outline text metrics the
// context reports for it, in logical units. Shared by the recording context
// (advances and bounds of text records) and the playback device (drawing
// them).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/font_engine.h"
#include "platform/gdi/gdi_types.h"
#include "platform/gdi/metafile.h"

namespace yel::gdi {

// What GetOutlineTextMetrics reports of a font, rounded to logical units:
// the cell height and its parts, and the bars (positions above the
// baseline, negative below).
struct OutlineTextMetrics {
  std::int32_t Height = 0, Ascent = 0, Descent = 0, AverageWidth = 0;
  std::int32_t StrikeoutSize = 0, StrikeoutPosition = 0;
  std::int32_t UnderscoreSize = 0, UnderscorePosition = 0;
};

// Text alignment flags (SetTextAlign) and text output options.
enum TextAlignFlag : std::uint32_t {
  TA_NOUPDATECP = 0, TA_UPDATECP = 1, TA_LEFT = 0, TA_RIGHT = 2, TA_CENTER = 6,
  TA_TOP = 0, TA_BOTTOM = 8, TA_BASELINE = 24,
};
enum TextOutOption : std::uint32_t {
  ETO_OPAQUE = 2, ETO_CLIPPED = 4, ETO_GLYPH_INDEX = 0x10, ETO_NO_RECT = 0x100,
  ETO_SMALL_CHARS = 0x200,
};

// The face name of a description as UTF-8.
std::string FaceNameOf(const LogFont& description);
// The description of a stock font (SYSTEM_FONT, ANSI_FIXED_FONT, ...).
LogFont StockFontDescription(int n);
// The character of a single-byte (Windows-1252) text byte.
char32_t AnsiCharacter(std::uint8_t byte);

class LogicalFont {
 public:
  // Throws yel::Error when no face can be opened at all.
  explicit LogicalFont(const LogFont& description);

  const LogFont& Description() const { return description_; }
  const FontFace& Face() const { return *face_; }
  // The em size in logical units.
  double EmSize() const { return em_; }
  // The horizontal stretch of an explicit width (1 without one).
  double WidthScale() const { return width_scale_; }
  // A character's advance in logical units, stretched.
  double Advance(char32_t c) const;
  OutlineTextMetrics Metrics() const;

 private:
  LogFont description_;
  std::unique_ptr<FontFace> face_;
  double em_ = 16;
  double width_scale_ = 1;
};

// The fields of a text output record (EXTTEXTOUTA, EXTTEXTOUTW,
// SMALLTEXTOUT).
struct TextRecord {
  Rect Bounds;  // device units of the reference device (SMALLTEXTOUT: none)
  int GraphicsMode = GM_COMPATIBLE;
  Point Reference;
  std::uint32_t Options = 0;
  Rect Rectangle;  // logical; empty when the record has none
  bool Wide = false;
  std::vector<std::uint16_t> Codes;     // bytes or 16-bit units
  std::vector<std::int32_t> Advances;   // logical units; empty when the record has none
  // The characters: glyph indices + 29 with ETO_GLYPH_INDEX, Windows-1252
  // for bytes.
  std::u32string Characters() const;
};
// False when the record is damaged (counts or offsets outside it) or not a
// text record.
bool ReadTextRecord(const MetafileRecord& record, TextRecord* out);

// Where a run of text goes on the device: the origin (on the baseline) of
// each character, the transform of glyph outlines (em units of the 1024 em,
// y upward) to device directions, and the text's cell. The baseline runs at
// the font's escapement, counterclockwise on the device; the mapping scales
// the text (its rotation and skew do not turn the glyphs).
struct TextLayout {
  std::vector<PointD> Origins;     // device
  XForm Glyph;                     // linear part only
  PointD Cell[4];                  // device corners: start top, end top, end bottom, start bottom
  PointD End;                      // logical position after the run (for TA_UPDATECP)
  bool Usable = false;             // false when the numbers are out of range
};

// `reference` is the logical point the alignment refers to; `advances` are
// logical units per character.
TextLayout LayOutText(const LogicalFont& font, const XForm& logical_to_device, PointD reference,
                      std::uint32_t align, const std::vector<double>& advances);

}  // namespace yel::gdi
