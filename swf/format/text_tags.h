// Text tags: DefineText and DefineText2 (static text: text records of glyph
// entries that index a font's glyphs), DefineEditText (text fields) and
// CSMTextSettings (the anti-aliasing settings of a text).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "swf/format/swf_object.h"

namespace yel::swf {

struct TSWFGlyphEntry {
  std::uint32_t GlyphIndex = 0;
  std::int32_t GlyphAdvance = 0;
  bool operator==(const TSWFGlyphEntry&) const = default;
};

// One run of glyphs in one font, colour and position. The setters set the
// flag of what they set; asking for the colour creates it.
class TSWFTextRecord {
 public:
  void Assign(const TSWFTextRecord& source);
  // Writes the record (and, past 255 glyphs, continuation records with the
  // rest of them), byte-aligned at the end.
  void Write(TBitsEngine& be, int glyphBits, int advanceBits, bool hasAlpha);
  // Reads the record whose first byte, flags, has been read already.
  void Read(TBitsEngine& be, std::uint8_t flags, int glyphBits, int advanceBits, bool hasAlpha);

  std::uint16_t FontID() const { return font_id_; }
  void SetFontID(std::uint16_t id);
  std::uint16_t TextHeight() const { return text_height_; }
  void SetTextHeight(std::uint16_t height);
  std::int32_t XOffset() const { return x_offset_; }
  void SetXOffset(std::int32_t x);
  std::int32_t YOffset() const { return y_offset_; }
  void SetYOffset(std::int32_t y);
  TSWFRGBA& Color();
  const TSWFRGBA* ColorIfAny() const { return color_.get(); }

  bool HasFont = false;
  bool HasColor = false;
  bool HasXOffset = false;
  bool HasYOffset = false;
  std::vector<TSWFGlyphEntry> GlyphEntries;

 private:
  std::uint16_t font_id_ = 0;
  std::uint16_t text_height_ = 0;
  std::int32_t x_offset_ = 0;
  std::int32_t y_offset_ = 0;
  std::unique_ptr<TSWFRGBA> color_;
};

class TSWFDefineText : public TSWFObject {
 public:
  TSWFDefineText() : TSWFObject(tag::DefineText) {}
  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t CharacterID = 0;
  TSWFRect TextBounds;
  TSWFMatrix TextMatrix;
  // Widths of the glyph index and advance fields, as set (the builder
  // computes them from the whole text).
  std::uint8_t GlyphBits = 0;
  std::uint8_t AdvanceBits = 0;
  std::vector<std::unique_ptr<TSWFTextRecord>> TextRecords;
  bool HasAlpha = false;

  TSWFTextRecord& AddRecord();

 protected:
  TSWFDefineText(std::uint16_t tagId, bool hasAlpha) : TSWFObject(tagId), HasAlpha(hasAlpha) {}
};

class TSWFDefineText2 : public TSWFDefineText {
 public:
  TSWFDefineText2() : TSWFDefineText(tag::DefineText2, true) {}
  int MinVersion() const override { return 3; }
};

class TSWFDefineEditText : public TSWFObject {
 public:
  TSWFDefineEditText() : TSWFObject(tag::DefineEditText) {}
  void Assign(const TBasedSWFObject& source) override;
  // 6 with AutoSize, else 4.
  int MinVersion() const override { return AutoSize ? 6 : 4; }
  // Fails with yel::Error when a string is not terminated inside the tag.
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void SetReadContext(const TSWFReadContext& context) override;
  std::string Summary() const override;

  std::uint16_t CharacterID = 0;
  TSWFRect Bounds;
  bool HasText = false;
  bool WordWrap = false;
  bool Multiline = false;
  bool Password = false;
  bool ReadOnly = false;
  bool HasTextColor = false;
  bool HasMaxLength = false;
  bool HasFont = false;
  // The font is named by class (from version 9 on): FontClass replaces FontID.
  bool HasFontClass = false;
  bool AutoSize = false;
  bool HasLayout = false;
  bool NoSelect = false;
  bool Border = false;
  // Set by the authoring tool on fields made from static text.
  bool WasStatic = false;
  bool HTML = false;
  bool UseOutlines = false;
  std::uint16_t FontID = 0;
  std::string FontClass;
  std::uint16_t FontHeight = 0;
  std::uint16_t MaxLength = 0;
  std::uint8_t Align = 0;  // 0 left, 1 right, 2 center, 3 justify
  std::uint16_t LeftMargin = 0;
  std::uint16_t RightMargin = 0;
  std::uint16_t Indent = 0;
  std::int16_t Leading = 0;
  std::string VariableName;
  // Single-byte text as read or set; when WideInitialText is not empty it
  // is written in its place (as UTF-8).
  std::string InitialText;
  std::u16string WideInitialText;
  std::uint8_t SWFVersion = 6;

  // Creates the colour (black, opaque) on first access and sets HasTextColor.
  TSWFRGBA& TextColor();
  const TSWFRGBA* TextColorIfAny() const { return color_.get(); }

 private:
  std::unique_ptr<TSWFRGBA> color_;
};

class TSWFCSMTextSettings : public TSWFObject {
 public:
  TSWFCSMTextSettings() : TSWFObject(tag::CSMTextSettings) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 8; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t TextID = 0;
  std::uint8_t UseFlashType = 0;  // 2 bits
  std::uint8_t GridFit = 0;       // 3 bits
  float Thickness = 0;
  float Sharpness = 0;
};

}  // namespace yel::swf
