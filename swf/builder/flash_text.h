// Fonts and texts of the builder. A TFlashFont embeds the outlines of exactly
// the characters its texts use, taken from the platform font engine at an em
// of 1024 units; a TFlashText is a static text (DefineText/DefineText2, one
// glyph entry per character) or a text field (DefineEditText).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/gdi_types.h"
#include "swf/builder/flash_object.h"
#include "swf/format/font_tags.h"
#include "swf/format/swf_records.h"

namespace yel::gdi {
class FontFace;
}

namespace yel::swf {

class TSWFDefineFont2;

// One character of a font: its code, outline (em units, y downward) and
// advance.
class TFlashChar {
 public:
  std::uint16_t Code = 0;
  // Code above 255 or added as wide; otherwise the Unicode value of the
  // Windows-1252 byte.
  std::uint16_t WideCode = 0;
  bool Wide = false;
  TSWFShapeRecords Edges;
  std::int32_t Advance = 0;
  bool Used = true;
  bool GlyphMade = false;
  TSWFKerningRecord Kerning;
};

struct TTextSize {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
};

enum TFontEncoding : std::uint8_t { encANSI = 0, encShiftJIS = 1, encUnicode = 2 };

class TFlashFont : public TFlashIDObject {
 public:
  explicit TFlashFont(TFlashMovie* owner = nullptr);
  ~TFlashFont() override;
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 3; }
  bool IsResourceDefinition() const override { return true; }
  // A DefineFont2 with the used characters (glyphs only when the font is
  // not a device font or a static text uses it).
  void WriteToStream(TBitsEngine& be) override;

  // --- characters
  void AddChars(const std::string& ansiText);
  void AddChars(const std::u16string& wideText);
  // False when the character was there already (it is marked used again).
  bool AddChar(std::uint16_t code);
  TFlashChar* FindChar(std::uint16_t code);
  const std::vector<std::unique_ptr<TFlashChar>>& Chars() const { return chars_; }
  // Outlines and advances of the used characters that have none yet.
  void MakeGlyphs();
  // Index of the character's glyph among the glyphs written (the used
  // characters in the order of their written codes); -1 when not written.
  int GlyphIndex(const TFlashChar& c) const;

  // --- description
  void SetFromDescription(const gdi::LogFont& description);
  void SetCharset(std::uint8_t charset);
  // The face name of the description the outlines come from.
  std::string FaceName() const;
  // Metrics at the 1024 em (taken on first need).
  void TakeMetrics();
  // Width and height of the text at the font's Size, in twips (kerned when
  // the font has kerning).
  TTextSize TextExtent(const std::u16string& text);
  // The kerning between two characters given by their Unicode values, em
  // units: from the kerning records of a font taken from a movie, else from
  // the font engine.
  std::int32_t KerningOf(std::uint16_t left, std::uint16_t right);
  // Takes the first DefineFont2/3 of a movie file (matching name and
  // style, any when the font has no name) or a file holding one DefineFont2
  // body; false (font unchanged) when there is none.
  bool LoadFromFile(const std::string& fileName);
  void SetFromDefineFont2(const TSWFDefineFont2& font);

  std::string Name;
  bool Bold = false;
  bool Italic = false;
  bool Device = true;
  TFontEncoding EncodingType = encANSI;
  std::uint8_t LanguageCode = 0;
  bool SmallText = false;
  bool Wide = false;
  // Kerning records are written with the layout, and static texts have
  // kerned advances.
  bool HasKerning = false;
  std::int32_t Ascent = 0, Descent = 0, Leading = 0;
  // Bit 0: a static text uses the font; bit 1: a text field does.
  std::uint8_t UsedBy = 0;

  std::uint16_t Size() const;
  void SetSize(std::uint16_t size);
  std::uint16_t SizeTwips() const { return size_; }
  bool HasLayout() const { return has_layout_; }
  void SetHasLayout(bool value);
  bool HasDescription() const { return description_.lfFaceName[0] != 0; }
  const gdi::LogFont& Description() const { return description_; }

 private:
  int UnitFactor() const;
  gdi::FontFace& Face();
  // The written code of a character: WideCode with wide codes, else Code.
  bool WritesWideCodes() const;
  void RaiseVersionForWide();

  std::vector<std::unique_ptr<TFlashChar>> chars_;
  // Kerning of a font taken from a movie: the adjustment by the Unicode
  // values of the pair (left << 16 | right).
  std::map<std::uint32_t, std::int16_t> loaded_kerning_;
  gdi::LogFont description_;
  std::uint16_t size_ = 0;
  bool has_layout_ = false;
  std::unique_ptr<gdi::FontFace> face_;
};

class TFlashText : public TFlashVisualObject {
 public:
  explicit TFlashText(TFlashMovie* owner = nullptr);
  ~TFlashText() override;
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override;
  // Its font.
  void AppendUsedIDs(std::vector<std::uint16_t>& ids) const override;
  void WriteToStream(TBitsEngine& be) override;

  // Setting a text adds its characters to the font.
  const std::string& Text() const { return text_; }
  void SetText(const std::string& ansiText);
  const std::u16string& WideText() const { return wide_text_; }
  void SetWideText(const std::u16string& text);
  TFlashFont* Font() const { return font_; }
  void SetFont(TFlashFont* font);
  // Text height in movie units (kept in twips).
  std::int32_t Height() const;
  void SetHeight(std::int32_t height);
  std::uint16_t HeightTwips() const { return height_; }
  // Black until set; asking for it sets HasColor.
  TSWFRGBA& Color();
  bool HasColor = false;
  bool Positioned = false;
  std::int32_t X() const;
  std::int32_t Y() const;
  void SetPosition(std::int32_t x, std::int32_t y);
  TSWFRect Bounds;                    // twips
  void SetBounds(const TRect& rect);  // movie units
  TSWFMatrix& Matrix();
  std::int32_t CharSpacing() const;
  void SetCharSpacing(std::int32_t spacing);

  bool Dynamic() const { return dynamic_; }
  void SetDynamic(bool value);
  bool HTML() const { return html_; }
  void SetHTML(bool value);
  std::uint8_t Align() const { return align_; }
  void SetAlign(std::uint8_t align);
  bool HasLayout() const { return has_layout_; }
  void SetHasLayout(bool value);
  void SetIndent(std::int32_t v);
  void SetLeading(std::int32_t v);
  void SetLeftMargin(std::int32_t v);
  void SetRightMargin(std::int32_t v);
  void SetMaxLength(std::uint16_t length);
  bool HasMaxLength = false;
  bool UseOutlines() const { return use_outlines_; }
  void SetUseOutlines(bool value);

  bool AutoSize = false, Border = false, Multiline = false, NoSelect = false, Password = false, ReadOnly = false,
       WordWrap = false;
  std::string VariableName;

  // The bounds the text is written with (twips).
  TSWFRectRec TextBounds();

 private:
  void AddCharsToFont();
  void WriteStatic(TBitsEngine& be);
  void WriteDynamic(TBitsEngine& be);

  std::string text_;
  std::u16string wide_text_;
  TFlashFont* font_ = nullptr;
  std::uint16_t height_ = 0;
  std::unique_ptr<TSWFRGBA> color_;
  std::int32_t x_ = 0, y_ = 0;  // twips
  std::unique_ptr<TSWFMatrix> matrix_;
  std::int32_t char_spacing_ = 0;
  bool dynamic_ = false;
  bool html_ = false;
  std::uint8_t align_ = 0;
  bool has_layout_ = false;
  std::int32_t indent_ = 0, leading_ = 0, left_margin_ = 0, right_margin_ = 0;
  std::uint16_t max_length_ = 0;
  bool use_outlines_ = false;
};

}  // namespace yel::swf
