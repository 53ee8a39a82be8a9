// Text tag bodies: the text records of DefineText and DefineText2, the text
// field of DefineEditText and the CSMTextSettings record.
#include "swf/format/text_tags.h"

#include <algorithm>

#include "base/error.h"
#include "swf/format/swf_strings.h"

namespace yel::swf {
namespace {

std::uint64_t BitsLeft(TBitsEngine& be) { return be.Stream().Remaining() * 8 + be.BitCount(); }

// A zero-terminated string that must end inside the tag.
std::string ReadTerminated(TBitsEngine& be, const char* what) {
  TStream& stream = be.Stream();
  std::uint64_t start = stream.Position();
  std::string text = be.ReadString();
  if (stream.Position() - start != text.size() + 1)
    throw Error(std::string(what) + " is not terminated inside the tag");
  return text;
}

std::string Quoted(const std::string& text, std::size_t limit = 40) {
  if (text.size() <= limit) return "\"" + text + "\"";
  return "\"" + text.substr(0, limit) + "...\"";
}

}  // namespace

// --- text record

void TSWFTextRecord::Assign(const TSWFTextRecord& source) {
  HasFont = source.HasFont;
  HasColor = source.HasColor;
  HasXOffset = source.HasXOffset;
  HasYOffset = source.HasYOffset;
  GlyphEntries = source.GlyphEntries;
  font_id_ = source.font_id_;
  text_height_ = source.text_height_;
  x_offset_ = source.x_offset_;
  y_offset_ = source.y_offset_;
  color_.reset();
  if (source.color_) {
    color_ = std::make_unique<TSWFRGBA>();
    color_->SetRGBA(source.color_->RGBA());
  }
}

void TSWFTextRecord::SetFontID(std::uint16_t id) {
  font_id_ = id;
  HasFont = true;
}

void TSWFTextRecord::SetTextHeight(std::uint16_t height) {
  text_height_ = height;
  HasFont = true;
}

void TSWFTextRecord::SetXOffset(std::int32_t x) {
  x_offset_ = x;
  HasXOffset = true;
}

void TSWFTextRecord::SetYOffset(std::int32_t y) {
  y_offset_ = y;
  HasYOffset = true;
}

TSWFRGBA& TSWFTextRecord::Color() {
  if (!color_) {
    color_ = std::make_unique<TSWFRGBA>();
    color_->SetRGBA(SWFRGBA(0, 0, 0, 255));
  }
  HasColor = true;
  return *color_;
}

void TSWFTextRecord::Write(TBitsEngine& be, int glyphBits, int advanceBits, bool hasAlpha) {
  const bool color = HasColor && color_;
  be.WriteByte(static_cast<std::uint8_t>(0x80 | HasFont << 3 | color << 2 | HasYOffset << 1 | HasXOffset));
  if (HasFont) be.WriteWord(font_id_);
  if (color) {
    if (hasAlpha) be.WriteRGBA(color_->RGBA());
    else be.WriteRGB(color_->RGB());
  }
  if (HasXOffset) be.WriteWord(static_cast<std::uint16_t>(x_offset_));
  if (HasYOffset) be.WriteWord(static_cast<std::uint16_t>(y_offset_));
  if (HasFont) be.WriteWord(text_height_);
  // The glyph count is a byte: longer runs go on in records without style,
  // which continue where the run stopped.
  std::size_t at = 0;
  do {
    if (at > 0) be.WriteByte(0x80);
    const std::size_t count = std::min<std::size_t>(GlyphEntries.size() - at, 255);
    be.WriteByte(static_cast<std::uint8_t>(count));
    for (std::size_t i = at; i < at + count; ++i) {
      be.WriteBits(GlyphEntries[i].GlyphIndex, glyphBits);
      be.WriteBits(static_cast<std::uint32_t>(GlyphEntries[i].GlyphAdvance), advanceBits);
    }
    be.FlushLastByte(true);
    at += count;
  } while (at < GlyphEntries.size());
}

void TSWFTextRecord::Read(TBitsEngine& be, std::uint8_t flags, int glyphBits, int advanceBits, bool hasAlpha) {
  HasFont = flags & 0x08;
  HasColor = flags & 0x04;
  HasYOffset = flags & 0x02;
  HasXOffset = flags & 0x01;
  std::uint64_t fixed =
      (HasFont ? 4 : 0) + (HasColor ? (hasAlpha ? 4 : 3) : 0) + (HasXOffset ? 2 : 0) + (HasYOffset ? 2 : 0) + 1;
  if (be.Stream().Remaining() < fixed) throw Error("a text record runs past the tag");
  if (HasFont) font_id_ = be.ReadWord();
  if (HasColor) {
    color_ = std::make_unique<TSWFRGBA>();
    if (hasAlpha) {
      color_->SetRGBA(be.ReadRGBA());
    } else {
      TSWFRGBRec rgb = be.ReadRGB();
      color_->SetRGB(SWFRGBA(rgb.R, rgb.G, rgb.B, 255));
    }
  }
  // Offsets are signed: text may start left of or above its origin.
  if (HasXOffset) x_offset_ = static_cast<std::int16_t>(be.ReadWord());
  if (HasYOffset) y_offset_ = static_cast<std::int16_t>(be.ReadWord());
  if (HasFont) text_height_ = be.ReadWord();
  std::uint8_t count = be.ReadByte();
  if (BitsLeft(be) < std::uint64_t{count} * (glyphBits + advanceBits))
    throw Error("a text record of " + std::to_string(count) + " glyphs runs past the tag");
  GlyphEntries.resize(count);
  for (auto& entry : GlyphEntries) {
    entry.GlyphIndex = be.ReadBits(glyphBits);
    entry.GlyphAdvance = be.ReadSBits(advanceBits);
  }
  be.FlushLastByte(false);
}

// --- DefineText / DefineText2

void TSWFDefineText::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFDefineText>(source);
  CharacterID = src.CharacterID;
  TextBounds = src.TextBounds;
  TextMatrix = src.TextMatrix;
  GlyphBits = src.GlyphBits;
  AdvanceBits = src.AdvanceBits;
  TextRecords.clear();
  for (const auto& record : src.TextRecords) AddRecord().Assign(*record);
}

TSWFTextRecord& TSWFDefineText::AddRecord() { return *TextRecords.emplace_back(std::make_unique<TSWFTextRecord>()); }

void TSWFDefineText::ReadFromStream(TBitsEngine& be) {
  CharacterID = be.ReadWord();
  TextBounds.SetRect(be.ReadRect());
  TextMatrix.SetRec(be.ReadMatrix());
  GlyphBits = be.ReadByte();
  AdvanceBits = be.ReadByte();
  if (GlyphBits > 32 || AdvanceBits > 32)
    throw Error("glyph fields of " + std::to_string(GlyphBits) + " and " + std::to_string(AdvanceBits) +
                " bits (at most 32)");
  TextRecords.clear();
  while (be.Stream().Remaining() > 0) {
    std::uint8_t flags = be.ReadByte();
    if (flags == 0) break;
    AddRecord().Read(be, flags, GlyphBits, AdvanceBits, HasAlpha);
  }
}

void TSWFDefineText::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(CharacterID);
  be.WriteRect(TextBounds.Rect());
  be.WriteMatrix(TextMatrix.Rec());
  be.WriteByte(GlyphBits);
  be.WriteByte(AdvanceBits);
  for (auto& record : TextRecords) record->Write(be, GlyphBits, AdvanceBits, HasAlpha);
  be.WriteByte(0);
}

std::string TSWFDefineText::Summary() const {
  std::size_t glyphs = 0;
  for (const auto& record : TextRecords) glyphs += record->GlyphEntries.size();
  return "text " + std::to_string(CharacterID) + ", " + std::to_string(TextRecords.size()) + " records, " +
         std::to_string(glyphs) + " glyphs";
}

// --- DefineEditText

void TSWFDefineEditText::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFDefineEditText>(source);
  CharacterID = src.CharacterID;
  Bounds = src.Bounds;
  HasText = src.HasText;
  WordWrap = src.WordWrap;
  Multiline = src.Multiline;
  Password = src.Password;
  ReadOnly = src.ReadOnly;
  HasTextColor = src.HasTextColor;
  HasMaxLength = src.HasMaxLength;
  HasFont = src.HasFont;
  HasFontClass = src.HasFontClass;
  AutoSize = src.AutoSize;
  HasLayout = src.HasLayout;
  NoSelect = src.NoSelect;
  Border = src.Border;
  WasStatic = src.WasStatic;
  HTML = src.HTML;
  UseOutlines = src.UseOutlines;
  FontID = src.FontID;
  FontClass = src.FontClass;
  FontHeight = src.FontHeight;
  MaxLength = src.MaxLength;
  Align = src.Align;
  LeftMargin = src.LeftMargin;
  RightMargin = src.RightMargin;
  Indent = src.Indent;
  Leading = src.Leading;
  VariableName = src.VariableName;
  InitialText = src.InitialText;
  WideInitialText = src.WideInitialText;
  SWFVersion = src.SWFVersion;
  color_.reset();
  if (src.color_) TextColor().SetRGBA(src.color_->RGBA());
  HasTextColor = src.HasTextColor;
}

TSWFRGBA& TSWFDefineEditText::TextColor() {
  if (!color_) {
    color_ = std::make_unique<TSWFRGBA>();
    color_->SetRGBA(SWFRGBA(0, 0, 0, 255));
  }
  HasTextColor = true;
  return *color_;
}

void TSWFDefineEditText::SetReadContext(const TSWFReadContext& context) { SWFVersion = context.Version; }

void TSWFDefineEditText::ReadFromStream(TBitsEngine& be) {
  CharacterID = be.ReadWord();
  Bounds.SetRect(be.ReadRect());
  std::uint8_t flags1 = be.ReadByte();
  std::uint8_t flags2 = be.ReadByte();
  HasText = flags1 & 0x80;
  WordWrap = flags1 & 0x40;
  Multiline = flags1 & 0x20;
  Password = flags1 & 0x10;
  ReadOnly = flags1 & 0x08;
  HasTextColor = flags1 & 0x04;
  HasMaxLength = flags1 & 0x02;
  HasFont = flags1 & 0x01;
  HasFontClass = flags2 & 0x80;
  AutoSize = flags2 & 0x40;
  HasLayout = flags2 & 0x20;
  NoSelect = flags2 & 0x10;
  Border = flags2 & 0x08;
  WasStatic = flags2 & 0x04;
  HTML = flags2 & 0x02;
  UseOutlines = flags2 & 0x01;
  if (HasFont) FontID = be.ReadWord();
  if (HasFontClass) FontClass = ReadTerminated(be, "the font class");
  if (HasFont || HasFontClass) FontHeight = be.ReadWord();
  color_.reset();
  if (HasTextColor) {
    TextColor().SetRGBA(be.ReadRGBA());
  }
  if (HasMaxLength) MaxLength = be.ReadWord();
  if (HasLayout) {
    Align = be.ReadByte();
    LeftMargin = be.ReadWord();
    RightMargin = be.ReadWord();
    Indent = be.ReadWord();
    Leading = static_cast<std::int16_t>(be.ReadWord());
  }
  VariableName = ReadTerminated(be, "the variable name");
  WideInitialText.clear();
  InitialText = HasText ? ReadTerminated(be, "the initial text") : std::string();
}

void TSWFDefineEditText::WriteTagBody(TBitsEngine& be) {
  const bool color = HasTextColor && color_;
  be.WriteWord(CharacterID);
  be.WriteRect(Bounds.Rect());
  be.WriteByte(static_cast<std::uint8_t>(HasText << 7 | WordWrap << 6 | Multiline << 5 | Password << 4 | ReadOnly << 3 |
                                         color << 2 | HasMaxLength << 1 | HasFont));
  be.WriteByte(static_cast<std::uint8_t>(HasFontClass << 7 | AutoSize << 6 | HasLayout << 5 | NoSelect << 4 |
                                         Border << 3 | WasStatic << 2 | HTML << 1 | UseOutlines));
  if (HasFont) be.WriteWord(FontID);
  if (HasFontClass) be.WriteString(FontClass);
  if (HasFont || HasFontClass) be.WriteWord(FontHeight);
  if (color) be.WriteRGBA(color_->RGBA());
  if (HasMaxLength) be.WriteWord(MaxLength);
  if (HasLayout) {
    be.WriteByte(Align);
    be.WriteWord(LeftMargin);
    be.WriteWord(RightMargin);
    be.WriteWord(Indent);
    be.WriteWord(static_cast<std::uint16_t>(Leading));
  }
  be.WriteString(VariableName, true, SWFVersion > 5);
  if (!HasText) return;
  if (!WideInitialText.empty()) {
    be.WriteString(Utf16ToUtf8(WideInitialText));
  } else {
    be.WriteString(InitialText, true, !HTML && SWFVersion > 5);
  }
}

std::string TSWFDefineEditText::Summary() const {
  std::string out = "text field " + std::to_string(CharacterID);
  if (HasFont) out += ", font " + std::to_string(FontID) + " height " + std::to_string(FontHeight);
  if (!VariableName.empty()) out += ", variable " + Quoted(VariableName);
  if (HTML) out += ", HTML";
  if (HasText) out += ", text " + Quoted(WideInitialText.empty() ? InitialText : Utf16ToUtf8(WideInitialText));
  return out;
}

// --- CSMTextSettings

void TSWFCSMTextSettings::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFCSMTextSettings>(source);
  TextID = src.TextID;
  UseFlashType = src.UseFlashType;
  GridFit = src.GridFit;
  Thickness = src.Thickness;
  Sharpness = src.Sharpness;
}

void TSWFCSMTextSettings::ReadFromStream(TBitsEngine& be) {
  TextID = be.ReadWord();
  std::uint8_t flags = be.ReadByte();
  UseFlashType = flags >> 6;
  GridFit = (flags >> 3) & 7;
  Thickness = be.ReadSingle();
  Sharpness = be.ReadSingle();
}

void TSWFCSMTextSettings::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(TextID);
  be.WriteByte(static_cast<std::uint8_t>((UseFlashType & 3) << 6 | (GridFit & 7) << 3));
  be.WriteSingle(Thickness);
  be.WriteSingle(Sharpness);
  be.WriteByte(0);
}

std::string TSWFCSMTextSettings::Summary() const {
  return "text " + std::to_string(TextID) + ", flash type " + std::to_string(UseFlashType) + ", grid fit " +
         std::to_string(GridFit) + ", thickness " + std::to_string(Thickness) + ", sharpness " +
         std::to_string(Sharpness);
}

}  // namespace yel::swf
