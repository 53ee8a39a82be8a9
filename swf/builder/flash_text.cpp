// Fonts and texts: characters and their outlines from the platform font
// engine, the DefineFont2 of a font, static texts as DefineText/DefineText2
// and text fields as DefineEditText, and the movie's font and text
// operations.
#include "swf/builder/flash_text.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "base/error.h"
#include "base/files.h"
#include "platform/gdi/font_engine.h"
#include "swf/builder/flash_edges.h"
#include "swf/builder/flash_movie.h"
#include "swf/format/shape_records.h"
#include "swf/format/swf_stream.h"
#include "swf/format/swf_strings.h"
#include "swf/format/tag_codes.h"
#include "swf/format/text_tags.h"

namespace yel::swf {
namespace {

// DefineFont3 draws its glyphs on an em square of 20480 units, twenty times
// the 1024 of DefineFont2, in which this font keeps them.
constexpr int kFont3Scale = 20;

std::int32_t ScaledDown(std::int64_t value, int divisor) {
  return static_cast<std::int32_t>(std::llround(double(value) / divisor));
}

// Divides the outline's coordinates by divisor. The points are rounded where
// they stand, not edge by edge, so that rounding never adds up along a path
// and closed figures stay closed.
void ScaleDownRecords(TSWFShapeRecords& records, int divisor) {
  std::int64_t x = 0, y = 0;          // where the pen stands, as read
  std::int32_t sx = 0, sy = 0;        // the same, scaled
  for (auto& record : records) {
    switch (record->RecordKind) {
      case TSWFShapeRecordKind::StyleChange: {
        auto& s = static_cast<TSWFStyleChangeRecord&>(*record);
        if (!s.StateMoveTo) break;
        x = s.DeltaX, y = s.DeltaY;
        sx = ScaledDown(x, divisor), sy = ScaledDown(y, divisor);
        s.DeltaX = sx, s.DeltaY = sy;
        break;
      }
      case TSWFShapeRecordKind::StraightEdge: {
        auto& e = static_cast<TSWFStraightEdgeRecord&>(*record);
        x += e.DeltaX, y += e.DeltaY;
        const std::int32_t nx = ScaledDown(x, divisor), ny = ScaledDown(y, divisor);
        e.DeltaX = nx - sx, e.DeltaY = ny - sy;
        sx = nx, sy = ny;
        break;
      }
      case TSWFShapeRecordKind::CurvedEdge: {
        auto& c = static_cast<TSWFCurvedEdgeRecord&>(*record);
        const std::int64_t cx = x + c.ControlX, cy = y + c.ControlY;
        x = cx + c.AnchorX, y = cy + c.AnchorY;
        const std::int32_t scx = ScaledDown(cx, divisor), scy = ScaledDown(cy, divisor);
        const std::int32_t nx = ScaledDown(x, divisor), ny = ScaledDown(y, divisor);
        c.ControlX = scx - sx, c.ControlY = scy - sy;
        c.AnchorX = nx - scx, c.AnchorY = ny - scy;
        sx = nx, sy = ny;
        break;
      }
      case TSWFShapeRecordKind::End:
        break;
    }
  }
}

std::int32_t Round(double v) { return static_cast<std::int32_t>(std::lround(v)); }

std::string FaceNameOf(const gdi::LogFont& description) {
  std::u16string name;
  for (char16_t c : description.lfFaceName) {
    if (c == 0) break;
    name += c;
  }
  return Utf16ToUtf8(name);
}

// UTF-16 text as code units for the font (one character per unit; a
// character outside the 16-bit range cannot be a font code and is skipped).
std::vector<std::uint16_t> Units(const std::u16string& text) {
  std::vector<std::uint16_t> out;
  out.reserve(text.size());
  for (char16_t c : text)
    if (c < 0xD800 || c > 0xDFFF) out.push_back(c);
  return out;
}

}  // namespace

// --- TFlashFont

TFlashFont::TFlashFont(TFlashMovie* owner) : TFlashIDObject(owner) {}
TFlashFont::~TFlashFont() = default;

int TFlashFont::UnitFactor() const { return Owner() ? Owner()->UnitMultiplier() : 1; }

std::uint16_t TFlashFont::Size() const { return static_cast<std::uint16_t>(size_ / UnitFactor()); }
void TFlashFont::SetSize(std::uint16_t size) {
  size_ = static_cast<std::uint16_t>(std::min<std::int32_t>(ScaleUnits(size, UnitFactor()), 0xFFFF));
}

void TFlashFont::SetHasLayout(bool value) {
  has_layout_ = value;
  if (value && Ascent == 0 && Descent == 0 && Leading == 0) TakeMetrics();
}

void TFlashFont::Assign(const TBasedSWFObject& source) {
  TFlashIDObject::Assign(source);
  const auto& src = AssignSource<TFlashFont>(source);
  Name = src.Name;
  Bold = src.Bold;
  Italic = src.Italic;
  Device = src.Device;
  EncodingType = src.EncodingType;
  LanguageCode = src.LanguageCode;
  SmallText = src.SmallText;
  Wide = src.Wide;
  HasKerning = src.HasKerning;
  Ascent = src.Ascent;
  Descent = src.Descent;
  Leading = src.Leading;
  UsedBy = src.UsedBy;
  loaded_kerning_ = src.loaded_kerning_;
  description_ = src.description_;
  size_ = src.size_;
  has_layout_ = src.has_layout_;
  face_.reset();
  chars_.clear();
  for (const auto& c : src.chars_) {
    auto copy = std::make_unique<TFlashChar>();
    copy->Code = c->Code;
    copy->WideCode = c->WideCode;
    copy->Wide = c->Wide;
    CopyShapeRecords(c->Edges, copy->Edges);
    copy->Advance = c->Advance;
    copy->Used = c->Used;
    copy->GlyphMade = c->GlyphMade;
    copy->Kerning = c->Kerning;
    chars_.push_back(std::move(copy));
  }
}

void TFlashFont::RaiseVersionForWide() {
  if (Wide && Owner() && Owner()->Version() < 6) Owner()->SetVersion(6);
}

void TFlashFont::AddChars(const std::string& ansiText) {
  for (char c : ansiText) AddChar(static_cast<std::uint8_t>(c));
}

void TFlashFont::AddChars(const std::u16string& wideText) {
  if (wideText.empty()) return;
  Wide = true;
  for (std::uint16_t code : Units(wideText)) AddChar(code);
}

bool TFlashFont::AddChar(std::uint16_t code) {
  if (code >= 256) Wide = true;
  // Characters are kept in the order of their Unicode values.
  const std::uint16_t key = code < 256 && !Wide ? Windows1252ToUnicode(static_cast<std::uint8_t>(code)) : code;
  auto at = chars_.begin();
  for (; at != chars_.end(); ++at) {
    const std::uint16_t other = code >= 128 ? (*at)->WideCode : (*at)->Code;
    if (other == key) {
      (*at)->Used = true;
      RaiseVersionForWide();
      return false;
    }
    if ((*at)->WideCode > key) break;
  }
  auto c = std::make_unique<TFlashChar>();
  c->Code = code;
  c->WideCode = key;
  c->Wide = Wide;
  chars_.insert(at, std::move(c));
  RaiseVersionForWide();
  return true;
}

TFlashChar* TFlashFont::FindChar(std::uint16_t code) {
  for (auto& c : chars_)
    if (c->Code == code) return c.get();
  return nullptr;
}

void TFlashFont::SetFromDescription(const gdi::LogFont& description) {
  description_ = description;
  Bold = description.lfWeight == 700;
  Name = FaceNameOf(description);
  Italic = description.lfItalic != 0;
  SetSize(static_cast<std::uint16_t>(std::min(std::abs(description.lfHeight), 0xFFFF)));
  SetCharset(description.lfCharSet);
  description_.lfHeight = -1024;
  description_.lfWidth = description_.lfEscapement = description_.lfOrientation = 0;
  face_.reset();
}

void TFlashFont::SetCharset(std::uint8_t charset) {
  face_.reset();
  switch (charset) {
    case 0: case 2: LanguageCode = 0; EncodingType = encANSI; break;
    case 1: LanguageCode = 0; EncodingType = encUnicode; break;
    case 128: LanguageCode = 2; EncodingType = encShiftJIS; break;
    case 129: LanguageCode = 3; break;
    case 134: LanguageCode = 4; break;
    case 136: LanguageCode = 5; break;
    default: LanguageCode = 64; EncodingType = encUnicode; break;
  }
}

std::string TFlashFont::FaceName() const { return HasDescription() ? FaceNameOf(description_) : Name; }

gdi::FontFace& TFlashFont::Face() {
  if (!face_) {
    bool bold = HasDescription() ? description_.lfWeight >= 600 : Bold;
    bool italic = HasDescription() ? description_.lfItalic != 0 : Italic;
    // A name that matches no installed face falls back to one of the font's
    // language (the character set its language code comes from), as the
    // drawing context does.
    static const std::uint8_t kCharsets[] = {0, 0, 128, 129, 134, 136};
    const std::uint8_t charset = LanguageCode < std::size(kCharsets) ? kCharsets[LanguageCode] : 0;
    face_ = gdi::FontFace::Open(FaceName(), bold, italic, 1024, gdi::LanguageOfCharset(charset));
  }
  return *face_;
}

void TFlashFont::TakeMetrics() {
  const gdi::FontMetrics& m = Face().Metrics();
  Ascent = Round(m.Ascent);
  Descent = Round(m.Descent);
  Leading = Round(m.InternalLeading);
}

void TFlashFont::MakeGlyphs() {
  if (chars_.empty()) return;
  if (Ascent == 0 && Descent == 0 && Leading == 0) TakeMetrics();
  for (auto& c : chars_) {
    if (!c->Used || c->GlyphMade) continue;
    c->GlyphMade = true;
    gdi::GlyphOutline outline = Face().Outline(c->WideCode);
    c->Advance = Round(outline.Advance);
    c->Edges.clear();
    if (outline.Contours.empty()) continue;
    // Font units have y upward; glyphs in the movie have it downward.
    TFlashEdges pen(c->Edges, nullptr);
    for (const auto& contour : outline.Contours) {
      if (contour.empty()) continue;
      pen.MoveTo(Round(contour[0].x), -Round(contour[0].y));
      for (std::size_t i = 1; i < contour.size(); ++i) {
        const gdi::OutlinePoint& p = contour[i];
        if (p.onCurve || i + 1 >= contour.size()) {
          pen.LineTo(Round(p.x), -Round(p.y));
        } else {
          const gdi::OutlinePoint& to = contour[++i];
          pen.CurveTo(Round(p.x), -Round(p.y), Round(to.x), -Round(to.y));
        }
      }
      pen.CloseShape();
    }
  }
}

bool TFlashFont::WritesWideCodes() const {
  if (EncodingType == encUnicode || Wide) return true;
  if (Device) return false;
  return std::any_of(chars_.begin(), chars_.end(), [](const auto& c) { return c->Wide; });
}

int TFlashFont::GlyphIndex(const TFlashChar& c) const {
  if (!c.Used) return -1;
  // Glyphs are written in the order of their codes, so the code table is
  // ascending and each glyph keeps its code.
  const bool wide = WritesWideCodes();
  const std::uint16_t mine = wide ? c.WideCode : c.Code;
  int index = 0;
  for (const auto& other : chars_)
    if (other->Used && (wide ? other->WideCode : other->Code) < mine) ++index;
  return index;
}

void TFlashFont::WriteToStream(TBitsEngine& be) {
  TSWFDefineFont2 font;
  font.SWFVersion = Owner() ? Owner()->Version() : 6;
  font.FontID = CharacterId();
  const bool layout = has_layout_ || (UsedBy & 2);
  font.HasLayout = layout;
  font.ShiftJIS = EncodingType == encShiftJIS;
  font.SmallText = SmallText;
  font.ANSI = EncodingType == encANSI;
  font.WideCodes = WritesWideCodes();
  font.Italic = Italic;
  font.Bold = Bold;
  font.LanguageCode = LanguageCode;
  font.FontName = Name;
  if ((layout || !chars_.empty()) && Ascent == 0 && Descent == 0 && Leading == 0) TakeMetrics();
  if (layout) {
    font.Ascent = static_cast<std::uint16_t>(std::clamp(Ascent, 0, 0xFFFF));
    font.Descent = static_cast<std::uint16_t>(std::clamp(Descent, 0, 0xFFFF));
    font.Leading = static_cast<std::int16_t>(std::clamp(Leading, -0x8000, 0x7FFF));
  }
  if ((!Device || (UsedBy & 1)) && !chars_.empty()) {
    MakeGlyphs();
    std::vector<const TFlashChar*> written;
    for (const auto& c : chars_)
      if (c->Used) written.push_back(c.get());
    const bool wide = font.WideCodes;
    std::stable_sort(written.begin(), written.end(), [wide](const TFlashChar* a, const TFlashChar* b) {
      return (wide ? a->WideCode : a->Code) < (wide ? b->WideCode : b->Code);
    });
    if (written.size() > 0xFFFF)
      throw Error("font \"" + Name + "\": " + std::to_string(written.size()) +
                  " characters, a font can hold at most 65535");
    for (const TFlashChar* c : written) {
      CopyShapeRecords(c->Edges, font.Glyphs.emplace_back());
      font.Codes.push_back(wide ? c->WideCode : c->Code);
      if (layout) {
        font.Bounds.emplace_back();
        font.Advances.push_back(static_cast<std::int16_t>(std::clamp(c->Advance, -0x8000, 0x7FFF)));
      }
    }
    if (layout && HasKerning) {
      // Kerning pairs among the written characters: those taken from a movie,
      // or every pair the font engine kerns.
      std::map<std::uint16_t, std::size_t> at;
      for (std::size_t i = 0; i < written.size(); ++i) at[written[i]->WideCode] = i;
      auto add = [&](std::size_t l, std::size_t r, std::int32_t adjust) {
        if (adjust != 0) font.Kerning.push_back({font.Codes[l], font.Codes[r], static_cast<std::int16_t>(adjust)});
      };
      if (!loaded_kerning_.empty()) {
        for (auto [pair, adjust] : loaded_kerning_) {
          auto l = at.find(static_cast<std::uint16_t>(pair >> 16)), r = at.find(static_cast<std::uint16_t>(pair));
          if (l != at.end() && r != at.end()) add(l->second, r->second, adjust);
        }
      } else {
        for (std::size_t l = 0; l < written.size(); ++l)
          for (std::size_t r = 0; r < written.size(); ++r)
            add(l, r, KerningOf(written[l]->WideCode, written[r]->WideCode));
      }
    }
  }
  font.WriteToStream(be);
}

std::int32_t TFlashFont::KerningOf(std::uint16_t left, std::uint16_t right) {
  if (!loaded_kerning_.empty()) {
    auto found = loaded_kerning_.find(std::uint32_t{left} << 16 | right);
    return found == loaded_kerning_.end() ? 0 : found->second;
  }
  return std::clamp(Round(Face().Kerning(left, right)), -0x8000, 0x7FFF);
}

TTextSize TFlashFont::TextExtent(const std::u16string& text) {
  double width = 0;
  const std::vector<std::uint16_t> codes = Units(text);
  for (std::size_t i = 0; i < codes.size(); ++i) {
    width += Face().Advance(codes[i]);
    if (HasKerning && i + 1 < codes.size()) width += KerningOf(codes[i], codes[i + 1]);
  }
  const gdi::FontMetrics& m = Face().Metrics();
  return {Round(width * size_ / 1024.0), Round((m.Ascent + m.Descent) * size_ / 1024.0)};
}

bool TFlashFont::LoadFromFile(const std::string& fileName) {
  std::vector<std::uint8_t> bytes = ReadFileBytes(fileName);
  if (bytes.size() >= 3 && (bytes[0] == 'F' || bytes[0] == 'C') && bytes[1] == 'W' && bytes[2] == 'S') {
    TSWFStreamReader reader;
    reader.LoadFromBytes(bytes.data(), bytes.size(), fileName);
    reader.ParseTags(true, false);
    for (std::size_t i = 0; i < reader.TagCount(); ++i) {
      auto* font = dynamic_cast<TSWFDefineFont2*>(reader.TagInfo(i).TagObject);
      if (!font) continue;
      std::string name = font->FontName.substr(0, font->FontName.find('\0'));
      if (!Name.empty() && (name != Name || font->Bold != Bold || font->Italic != Italic)) continue;
      SetFromDefineFont2(*font);
      return true;
    }
    return false;
  }
  // A file of one DefineFont2 body.
  TSWFDefineFont2 font;
  font.BodySize = static_cast<std::uint32_t>(bytes.size());
  TBufferStream stream(bytes.data(), bytes.size());
  TBitsEngine engine(stream);
  try {
    ReadTagBody(engine, font, font.BodySize);
  } catch (const std::exception&) {
    return false;
  }
  SetFromDefineFont2(font);
  return true;
}

void TFlashFont::SetFromDefineFont2(const TSWFDefineFont2& font) {
  // A DefineFont3 is brought to the DefineFont2 scale in which this font
  // writes its glyphs and layout.
  const int divisor = font.TagID == tag::DefineFont3 ? kFont3Scale : 1;
  const auto layout = [divisor](std::int64_t value) { return ScaledDown(value, divisor); };
  has_layout_ = font.HasLayout;
  EncodingType = font.ShiftJIS ? encShiftJIS : font.ANSI ? encANSI : encUnicode;
  if (font.WideCodes) EncodingType = encUnicode;
  SmallText = font.SmallText;
  Italic = font.Italic;
  Bold = font.Bold;
  LanguageCode = font.LanguageCode;
  Name = font.FontName.substr(0, font.FontName.find('\0'));
  if (font.HasLayout) {
    Ascent = static_cast<decltype(Ascent)>(layout(font.Ascent));
    Descent = static_cast<decltype(Descent)>(layout(font.Descent));
    Leading = static_cast<decltype(Leading)>(layout(font.Leading));
  }
  Device = false;
  for (std::size_t i = 0; i < font.Glyphs.size() && i < font.Codes.size(); ++i) {
    AddChar(font.Codes[i]);
    TFlashChar* c = FindChar(font.Codes[i]);
    if (!c) continue;
    CopyShapeRecords(font.Glyphs[i], c->Edges);
    if (divisor != 1) ScaleDownRecords(c->Edges, divisor);
    c->Used = false;
    c->GlyphMade = true;
    if (font.HasLayout && i < font.Advances.size())
      c->Advance = static_cast<decltype(c->Advance)>(layout(font.Advances[i]));
  }
  // The kerning records, by the Unicode values of their characters.
  loaded_kerning_.clear();
  if (font.HasLayout)
    for (const TSWFKerningRecord& k : font.Kerning) {
      const TFlashChar* left = FindChar(k.KerningCode1);
      const TFlashChar* right = FindChar(k.KerningCode2);
      if (left && right && k.KerningAdjustment != 0)
        loaded_kerning_[std::uint32_t{left->WideCode} << 16 | right->WideCode] =
            static_cast<std::int16_t>(layout(k.KerningAdjustment));
    }
  HasKerning = !loaded_kerning_.empty();
}

// --- TFlashText

TFlashText::TFlashText(TFlashMovie* owner) : TFlashVisualObject(owner) {}
TFlashText::~TFlashText() = default;

void TFlashText::Assign(const TBasedSWFObject& source) {
  TFlashVisualObject::Assign(source);
  const auto& src = AssignSource<TFlashText>(source);
  text_ = src.text_;
  wide_text_ = src.wide_text_;
  font_ = src.font_;
  height_ = src.height_;
  color_.reset();
  if (src.color_) Color().SetRGBA(src.color_->RGBA());
  HasColor = src.HasColor;
  Positioned = src.Positioned;
  x_ = src.x_;
  y_ = src.y_;
  Bounds = src.Bounds;
  matrix_.reset();
  if (src.matrix_) matrix_ = std::make_unique<TSWFMatrix>(*src.matrix_);
  char_spacing_ = src.char_spacing_;
  dynamic_ = src.dynamic_;
  html_ = src.html_;
  align_ = src.align_;
  has_layout_ = src.has_layout_;
  indent_ = src.indent_;
  leading_ = src.leading_;
  left_margin_ = src.left_margin_;
  right_margin_ = src.right_margin_;
  max_length_ = src.max_length_;
  HasMaxLength = src.HasMaxLength;
  use_outlines_ = src.use_outlines_;
  AutoSize = src.AutoSize;
  Border = src.Border;
  Multiline = src.Multiline;
  NoSelect = src.NoSelect;
  Password = src.Password;
  ReadOnly = src.ReadOnly;
  WordWrap = src.WordWrap;
  VariableName = src.VariableName;
}

void TFlashText::AppendUsedIDs(std::vector<std::uint16_t>& ids) const {
  if (font_) ids.push_back(font_->CharacterId());
}

int TFlashText::MinVersion() const {
  if (!dynamic_) return 3;
  return AutoSize ? 6 : 4;
}

void TFlashText::AddCharsToFont() {
  if (!font_) return;
  if (!wide_text_.empty()) font_->AddChars(wide_text_);
  else font_->AddChars(text_);
}

void TFlashText::SetText(const std::string& ansiText) {
  text_ = ansiText;
  if (font_) font_->AddChars(text_);
}

void TFlashText::SetWideText(const std::u16string& text) {
  wide_text_ = text;
  if (font_) font_->AddChars(wide_text_);
}

void TFlashText::SetFont(TFlashFont* font) {
  font_ = font;
  if (!font_) return;
  font_->UsedBy |= dynamic_ ? 2 : 1;
  AddCharsToFont();
}

std::int32_t TFlashText::Height() const { return height_ / UnitFactor(); }
void TFlashText::SetHeight(std::int32_t height) {
  height_ = static_cast<std::uint16_t>(std::clamp(ScaleUnits(height, UnitFactor()), 0, 0xFFFF));
}

TSWFRGBA& TFlashText::Color() {
  if (!color_) {
    color_ = std::make_unique<TSWFRGBA>();
    color_->SetRGBA(SWFRGBA(0, 0, 0, 255));
  }
  HasColor = true;
  return *color_;
}

std::int32_t TFlashText::X() const { return x_ / UnitFactor(); }
std::int32_t TFlashText::Y() const { return y_ / UnitFactor(); }
void TFlashText::SetPosition(std::int32_t x, std::int32_t y) {
  x_ = ScaleUnits(x, UnitFactor());
  y_ = ScaleUnits(y, UnitFactor());
}

void TFlashText::SetBounds(const TRect& rect) {
  const int f = UnitFactor();
  Bounds.SetRect(
      TRect{ScaleUnits(rect.Left, f), ScaleUnits(rect.Top, f), ScaleUnits(rect.Right, f), ScaleUnits(rect.Bottom, f)});
}

TSWFMatrix& TFlashText::Matrix() {
  if (!matrix_) matrix_ = std::make_unique<TSWFMatrix>();
  return *matrix_;
}

std::int32_t TFlashText::CharSpacing() const { return char_spacing_ / UnitFactor(); }
void TFlashText::SetCharSpacing(std::int32_t spacing) { char_spacing_ = ScaleUnits(spacing, UnitFactor()); }

void TFlashText::SetDynamic(bool value) {
  dynamic_ = value;
  if (value) ReadOnly = NoSelect = false;
}

void TFlashText::SetHTML(bool value) {
  html_ = value;
  if (value) SetDynamic(true);
}

void TFlashText::SetAlign(std::uint8_t align) {
  align_ = align;
  SetHasLayout(true);
}

void TFlashText::SetHasLayout(bool value) {
  has_layout_ = value;
  if (value && font_) font_->SetHasLayout(true);
}

void TFlashText::SetIndent(std::int32_t v) {
  indent_ = ScaleUnits(v, UnitFactor());
  SetHasLayout(true);
}
void TFlashText::SetLeading(std::int32_t v) {
  leading_ = ScaleUnits(v, UnitFactor());
  SetHasLayout(true);
}
void TFlashText::SetLeftMargin(std::int32_t v) {
  left_margin_ = ScaleUnits(v, UnitFactor());
  SetHasLayout(true);
}
void TFlashText::SetRightMargin(std::int32_t v) {
  right_margin_ = ScaleUnits(v, UnitFactor());
  SetHasLayout(true);
}
void TFlashText::SetMaxLength(std::uint16_t length) {
  max_length_ = length;
  HasMaxLength = true;
}

void TFlashText::SetUseOutlines(bool value) {
  use_outlines_ = value;
  if (value && font_) font_->Device = false;
}

TSWFRectRec TFlashText::TextBounds() {
  if (!Positioned || !font_) return Bounds.SWFRect();
  TTextSize extent = font_->TextExtent(wide_text_.empty() ? Windows1252ToUtf16(text_) : wide_text_);
  const double scale = font_->SizeTwips() ? double(height_) / font_->SizeTwips() : 0;
  std::int32_t w = Round(extent.Width * scale), h = Round(extent.Height * scale);
  std::int32_t left = x_;
  if (align_ == 1) left -= w;
  else if (align_ == 2 || align_ == 3) left -= w / 2;
  return {left, left + w, y_, y_ + h};
}

void TFlashText::WriteToStream(TBitsEngine& be) {
  if (dynamic_) WriteDynamic(be);
  else WriteStatic(be);
}

void TFlashText::WriteStatic(TBitsEngine& be) {
  if (!font_) return;
  std::vector<std::uint16_t> codes;
  if (!wide_text_.empty()) {
    codes = Units(wide_text_);
  } else {
    for (char c : text_) codes.push_back(static_cast<std::uint8_t>(c));
  }
  if (codes.empty()) return;
  font_->MakeGlyphs();
  const bool opaque = !color_ || color_->A() == 255;
  std::unique_ptr<TSWFDefineText> text =
      opaque ? std::make_unique<TSWFDefineText>() : std::unique_ptr<TSWFDefineText>(new TSWFDefineText2());
  text->CharacterID = CharacterId();
  TSWFRectRec bounds = TextBounds();
  text->TextBounds.SetRect(bounds);
  if (matrix_) text->TextMatrix = *matrix_;
  TSWFTextRecord& record = text->AddRecord();
  record.SetFontID(font_->CharacterId());
  record.Color().SetRGBA(color_ ? color_->RGBA() : SWFRGBA(0, 0, 0, 255));
  record.SetTextHeight(height_);
  record.SetYOffset(Round(font_->Ascent / 1024.0 * height_) + bounds.YMin);
  if (bounds.XMin != 0) record.SetXOffset(bounds.XMin);
  std::uint32_t maxIndex = 0;
  std::int32_t maxAdvance = 0;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    TFlashChar* c = font_->FindChar(codes[i]);
    if (!c) continue;
    const int index = std::max(0, font_->GlyphIndex(*c));
    std::int32_t kerning = 0;
    if (font_->HasKerning && i + 1 < codes.size())
      if (const TFlashChar* next = font_->FindChar(codes[i + 1]))
        kerning = font_->KerningOf(c->WideCode, next->WideCode);
    const std::int32_t advance = Round((c->Advance + kerning) / 1024.0 * height_) + char_spacing_;
    record.GlyphEntries.push_back({static_cast<std::uint32_t>(index), advance});
    maxIndex = std::max<std::uint32_t>(maxIndex, index);
    maxAdvance = std::max(maxAdvance, std::abs(advance));
  }
  text->GlyphBits = static_cast<std::uint8_t>(std::max(1, GetBitsCount(maxIndex)));
  text->AdvanceBits = static_cast<std::uint8_t>(std::max(1, GetSignedBitsCount(maxAdvance)));
  text->WriteToStream(be);
}

void TFlashText::WriteDynamic(TBitsEngine& be) {
  TSWFDefineEditText field;
  field.SWFVersion = Owner() ? Owner()->Version() : 6;
  field.CharacterID = CharacterId();
  if (Positioned) field.Bounds.SetRect(TSWFRectRec{x_, x_, y_, y_});
  else field.Bounds = Bounds;
  field.AutoSize = AutoSize;
  field.Border = Border;
  field.HTML = html_;
  field.Multiline = Multiline;
  field.NoSelect = NoSelect;
  field.Password = Password;
  field.ReadOnly = ReadOnly;
  field.WordWrap = WordWrap;
  field.UseOutlines = use_outlines_ || (font_ && !font_->Device);
  if (font_) {
    field.HasFont = true;
    field.FontID = font_->CharacterId();
    field.FontHeight = height_;
  }
  if (HasColor && color_) field.TextColor().SetRGBA(color_->RGBA());
  if (HasMaxLength) {
    field.HasMaxLength = true;
    field.MaxLength = max_length_;
  }
  if (has_layout_) {
    field.HasLayout = true;
    field.Align = align_;
    field.LeftMargin = static_cast<std::uint16_t>(std::clamp(left_margin_, 0, 0xFFFF));
    field.RightMargin = static_cast<std::uint16_t>(std::clamp(right_margin_, 0, 0xFFFF));
    field.Indent = static_cast<std::uint16_t>(std::clamp(indent_, 0, 0xFFFF));
    field.Leading = static_cast<std::int16_t>(std::clamp(leading_, -0x8000, 0x7FFF));
  }
  field.VariableName = VariableName;
  std::u16string prefix, suffix;
  if (html_ && font_) {
    prefix = u"<font face=\"" + Utf8ToUtf16(font_->Name) + u"\">";
    if (font_->Bold) prefix += u"<b>";
    if (font_->Italic) prefix += u"<i>";
    if (font_->Italic) suffix += u"</i>";
    if (font_->Bold) suffix += u"</b>";
    suffix += u"</font>";
  }
  const bool wideFont = font_ && font_->Wide;
  if ((wideFont || !font_) && !wide_text_.empty()) {
    field.WideInitialText = prefix + wide_text_ + suffix;
    field.HasText = true;
  } else if (!text_.empty()) {
    field.InitialText = Utf16ToUtf8(prefix) + text_ + Utf16ToUtf8(suffix);
    field.HasText = true;
  } else if (!wide_text_.empty()) {
    field.WideInitialText = prefix + wide_text_ + suffix;
    field.HasText = true;
  }
  field.WriteToStream(be);
}

// --- the movie's font and text operations

TFlashFont* TFlashMovie::AddFont() { return AddCharacter(std::make_unique<TFlashFont>(this), Fonts()); }

TFlashFont* TFlashMovie::AddFont(const gdi::LogFont& description, bool device) {
  TFlashFont* font = AddFont();
  font->Device = device;
  font->SetFromDescription(description);
  return font;
}

TFlashFont* TFlashMovie::AddFont(const std::string& name, bool bold, bool italic, std::uint16_t size, bool device) {
  TFlashFont* font = AddFont();
  font->Name = name;
  font->Bold = bold;
  font->Italic = italic;
  font->SetSize(size);
  font->Device = device;
  return font;
}

TFlashText* TFlashMovie::AddText() { return AddCharacter(std::make_unique<TFlashText>(this), Texts()); }

TFlashText* TFlashMovie::AddText(const std::u16string& text, TPackedColor color, TFlashFont* font,
                                 const TRect& position, std::uint8_t align) {
  TFlashText* out = AddText();
  out->SetFont(font);
  out->SetWideText(text);
  out->SetText(Utf16ToWindows1252(text));
  out->Color().SetRGBA(color);
  out->SetPosition(position.Left, position.Top);
  out->SetAlign(align);
  out->AutoSize = true;
  out->Positioned = true;
  if (font) {
    out->SetHeight(font->Size());
    out->SetUseOutlines(!font->Device);
  }
  return out;
}

TFlashText* TFlashMovie::AddTextInRect(const std::u16string& text, TPackedColor color, const TRect& rect,
                                       TFlashFont* font) {
  TFlashText* out = AddText();
  out->SetFont(font);
  out->SetWideText(text);
  out->Color().SetRGBA(color);
  out->SetBounds(rect);
  out->SetPosition(rect.Left, rect.Top);
  out->Positioned = false;
  if (font) {
    out->SetHeight(font->Size());
    out->SetUseOutlines(!font->Device);
  }
  return out;
}

TFlashText* TFlashMovie::AddDynamicText(const std::string& variableName, const std::u16string& text, const TRect& rect,
                                        TFlashFont* font, TPackedColor color) {
  TFlashText* out = AddTextInRect(text, color, rect, font);
  out->SetDynamic(true);
  out->VariableName = variableName;
  if (font) {
    font->UsedBy = static_cast<std::uint8_t>((font->UsedBy | 2) & ~1);
    // Static texts made with the font before keep it marked as theirs.
    for (std::uint16_t i = 0; i < Texts().Count(); ++i)
      if (Texts().Items(i)->Font() == font && !Texts().Items(i)->Dynamic()) font->UsedBy |= 1;
  }
  return out;
}

}  // namespace yel::swf
