// Fonts made from font descriptions: em size, stretch and metrics.
#include "platform/gdi/logical_font.h"

#include <cmath>
#include <cstdlib>
#include <algorithm>

namespace yel::gdi {

std::string FaceNameOf(const LogFont& description) {
  // Face names are UTF-16 (pairs of surrogates for characters beyond the
  // first plane; a lone surrogate becomes U+FFFD).
  std::string out;
  const std::size_t n = sizeof description.lfFaceName / sizeof description.lfFaceName[0];
  for (std::size_t i = 0; i < n && description.lfFaceName[i] != 0; ++i) {
    char32_t c = description.lfFaceName[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && description.lfFaceName[i + 1] >= 0xDC00 &&
        description.lfFaceName[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (description.lfFaceName[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | c >> 6);
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | c >> 12);
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | c >> 18);
      out += char(0x80 | (c >> 12 & 0x3F));
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

LogicalFont::LogicalFont(const LogFont& description) : description_(description) {
  face_ = FontFace::Open(FaceNameOf(description), description.lfWeight >= 600, description.lfItalic != 0, 1024,
                         LanguageOfCharset(description.lfCharSet));
  const FontMetrics& m = face_->Metrics();
  // Heights beyond any drawable size are kept at 2^20 units.
  const double h = std::min(std::fabs(double(description.lfHeight)), double(1 << 20));
  if (description.lfHeight < 0) em_ = h;
  else if (description.lfHeight > 0 && m.Ascent + m.Descent > 0) em_ = h * 1024 / (m.Ascent + m.Descent);
  if (description.lfWidth != 0 && m.AverageWidth > 0) {
    const double natural = m.AverageWidth * em_ / 1024;
    width_scale_ = std::min(std::fabs(double(description.lfWidth)), double(1 << 20)) / natural;
  }
}

double LogicalFont::Advance(char32_t c) const { return face_->Advance(c) * em_ / 1024 * width_scale_; }

OutlineTextMetrics LogicalFont::Metrics() const {
  const FontMetrics& m = face_->Metrics();
  const double k = em_ / 1024;
  auto r = [](double v) { return std::int32_t(std::lround(v)); };
  OutlineTextMetrics out;
  out.Ascent = r(m.Ascent * k);
  out.Descent = r(m.Descent * k);
  out.Height = out.Ascent + out.Descent;
  out.AverageWidth = r(m.AverageWidth * k * width_scale_);
  out.StrikeoutSize = std::max(1, r(m.StrikeoutThickness * k));
  out.StrikeoutPosition = r(m.StrikeoutPosition * k);
  out.UnderscoreSize = std::max(1, r(m.UnderlineThickness * k));
  out.UnderscorePosition = r(m.UnderlinePosition * k);
  return out;
}

LogFont StockFontDescription(int n) {
  LogFont f;
  f.lfHeight = 16;
  f.lfWeight = 700;
  const char* name = "System";
  if (n == ANSI_FIXED_FONT || n == OEM_FIXED_FONT || n == SYSTEM_FIXED_FONT) {
    name = "Courier";
    f.lfWeight = 400;
    f.lfPitchAndFamily = 1;
  } else if (n == ANSI_VAR_FONT || n == DEFAULT_GUI_FONT) {
    name = "MS Sans Serif";
    f.lfHeight = -11;
    f.lfWeight = 400;
  }
  for (int i = 0; name[i] && i < 31; ++i) f.lfFaceName[i] = char16_t(name[i]);
  return f;
}

char32_t AnsiCharacter(std::uint8_t byte) {
  // Windows-1252 differs from Latin-1 in 0x80..0x9F only.
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char32_t(byte);
}

std::u32string TextRecord::Characters() const {
  std::u32string out;
  for (std::uint16_t c : Codes) {
    if (Options & ETO_GLYPH_INDEX) out += char32_t(c) + 29;
    else out += Wide ? char32_t(c) : AnsiCharacter(std::uint8_t(c));
  }
  return out;
}

bool ReadTextRecord(const MetafileRecord& r, TextRecord* out) {
  RecordFields f(r);
  *out = TextRecord{};
  std::size_t text_at = 0;
  std::uint32_t count = 0;
  if (r.type == EMR_SMALLTEXTOUT) {
    out->Reference = f.P(8);
    count = f.U(16);
    out->Options = f.U(20);
    out->GraphicsMode = f.I(24);
    text_at = 36;
    if (!(out->Options & ETO_NO_RECT)) {
      out->Rectangle = f.R(36);
      text_at = 52;
    }
    out->Wide = !(out->Options & ETO_SMALL_CHARS);
    out->Bounds = {0, 0, -1, -1};
  } else if (r.type == EMR_EXTTEXTOUTA || r.type == EMR_EXTTEXTOUTW) {
    out->Bounds = f.R(8);
    out->GraphicsMode = f.I(24);
    out->Reference = f.P(36);
    count = f.U(44);
    text_at = f.U(48);
    out->Options = f.U(52);
    std::size_t dx_field = 56;
    if (!(out->Options & ETO_NO_RECT)) {
      out->Rectangle = f.R(56);
      dx_field = 72;
    }
    std::uint32_t dx_at = f.U(dx_field);
    out->Wide = r.type == EMR_EXTTEXTOUTW;
    if (dx_at != 0 && count > 0) {
      if (!f.Has(dx_at, 0) || count > (f.Size() - dx_at) / 4) return false;
      for (std::uint32_t i = 0; i < count; ++i) out->Advances.push_back(f.I(dx_at + 4 * std::size_t(i)));
    }
  } else {
    return false;
  }
  if (f.Bad()) return false;
  const std::size_t each = out->Wide ? 2 : 1;
  if (count > 0 && (!f.Has(text_at, 0) || count > (f.Size() - text_at) / each)) return false;
  const std::uint8_t* p = f.Ptr(text_at);
  for (std::uint32_t i = 0; i < count; ++i)
    out->Codes.push_back(out->Wide ? std::uint16_t(p[2 * i] | p[2 * i + 1] << 8) : p[i]);
  return true;
}

TextLayout LayOutText(const LogicalFont& font, const XForm& t, PointD reference, std::uint32_t align,
                      const std::vector<double>& advances) {
  TextLayout out;
  const double sx = std::hypot(t.eM11, t.eM12), sy = std::hypot(t.eM21, t.eM22);
  const double e = font.Description().lfEscapement / 10.0 * M_PI / 180;
  const PointD u{std::cos(e), -std::sin(e)};  // along the baseline
  const PointD up{u.y, -u.x};                 // towards the top of the glyphs
  const OutlineTextMetrics m = font.Metrics();
  double total = 0;
  for (double a : advances) total += a;
  const PointD origin = t.Apply(reference.x, reference.y);
  double along = 0, above = 0;  // device offsets of the run's start from the reference
  switch (align & TA_CENTER) {
    case TA_RIGHT: along = -total * sx; break;
    case TA_CENTER: along = -total * sx / 2; break;
    default: break;
  }
  switch (align & TA_BASELINE) {
    case TA_BASELINE: break;
    case TA_BOTTOM: above = m.Descent * sy; break;
    default: above = -m.Ascent * sy; break;
  }
  const PointD start{origin.x + along * u.x + above * up.x, origin.y + along * u.y + above * up.y};
  double run = 0;
  for (double a : advances) {
    out.Origins.push_back({start.x + run * sx * u.x, start.y + run * sx * u.y});
    run += a;
  }
  const double k = font.EmSize() * sy / 1024;
  out.Glyph = XForm{k * font.WidthScale() * u.x, k * font.WidthScale() * u.y, k * up.x, k * up.y, 0, 0};
  const double w = total * sx, a = m.Ascent * sy, d = m.Descent * sy;
  out.Cell[0] = {start.x + a * up.x, start.y + a * up.y};
  out.Cell[1] = {out.Cell[0].x + w * u.x, out.Cell[0].y + w * u.y};
  out.Cell[3] = {start.x - d * up.x, start.y - d * up.y};
  out.Cell[2] = {out.Cell[3].x + w * u.x, out.Cell[3].y + w * u.y};
  // The current position moves to the end of a left-aligned run and to
  // the start of a right-aligned one; centred text leaves it.
  out.End = reference;
  if ((align & TA_CENTER) == TA_LEFT) out.End = {reference.x + total, reference.y};
  else if ((align & TA_CENTER) == TA_RIGHT) out.End = {reference.x - total, reference.y};
  out.Usable = std::isfinite(total) && std::isfinite(k) && std::fabs(total * sx) < 1e7 && std::fabs(k) < 1e5 &&
               std::fabs(start.x) < 1e7 && std::fabs(start.y) < 1e7;
  return out;
}

}  // namespace yel::gdi
