// Text fields (DefineEditText) laid out into glyphs: the text (plain, or
// HTML with its simple formatting) split into lines at line breaks and, when
// the field wraps, at spaces, aligned, with the field's embedded font, or a
// device font through the font engine.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "swf/format/swf_records.h"
#include "swf/render/shape_converter.h"

namespace yel::gdi {
class FontFace;
}
namespace yel::swf {
class TSWFDefineEditText;
}

namespace yel::swf::render {

class TMovie;

struct TLaidGlyph {
  const TPath* Path = nullptr;  // y downward, in glyph units
  double X = 0, Y = 0;          // baseline origin, twips
  double Scale = 1, YScale = 1;  // glyph units to twips
  TPackedColor Color = 0xFF000000u;
};

// Device faces and converted glyphs of text fields, kept between frames.
class TTextFonts {
 public:
  TTextFonts();
  ~TTextFonts();
  // The face for a name (null when no face can be opened).
  gdi::FontFace* Face(const std::string& name, bool bold, bool italic);
  const TPath* DeviceGlyph(gdi::FontFace& face, char32_t c);
  const TPath* EmbeddedGlyph(const TMovie& movie, std::uint16_t font, std::size_t index);

 private:
  std::map<std::string, std::unique_ptr<gdi::FontFace>> faces_;
  std::map<std::pair<const void*, std::uint32_t>, TPath> glyphs_;
};

struct TTextLayout {
  std::vector<TLaidGlyph> Glyphs;
};

TTextLayout LayoutEditText(const TMovie& movie, const TSWFDefineEditText& field, TTextFonts& fonts);

// The text of a field as shown: HTML tags dropped (line and paragraph ends
// kept as line breaks), entities decoded; plain text as it is.
std::u32string FieldText(const TSWFDefineEditText& field, int version);

}  // namespace yel::swf::render
