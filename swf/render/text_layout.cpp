// Text field layout: one run of text in the field's font, size and colour
// (the first <font> and <p align> of HTML text apply to the whole field).
#include "swf/render/text_layout.h"

#include <cmath>

#include "base/error.h"
#include "platform/gdi/font_engine.h"
#include "swf/format/font_tags.h"
#include "swf/format/text_tags.h"
#include "swf/render/movie.h"

namespace yel::swf::render {
namespace {

std::u32string DecodeUTF8(const std::string& s) {
  std::u32string out;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int n = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (n < 0 || i + n >= s.size() + (n == 0 ? 1 : 0)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    char32_t v = n == 0 ? c : c & (0x3F >> n);
    bool ok = true;
    for (int k = 1; k <= n; ++k) {
      if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      v = v << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    if (!ok) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    out.push_back(v);
    i += std::size_t(n) + 1;
  }
  return out;
}

std::u32string Decode1252(const std::string& s) {
  static const char16_t k80[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  std::u32string out;
  for (char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    out.push_back(c >= 0x80 && c < 0xA0 ? k80[c - 0x80] : c);
  }
  return out;
}

std::string Attribute(const std::u32string& tag, const std::string& name) {
  std::string t(tag.begin(), tag.end());
  for (char& c : t) c = char(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t at = t.find(name + "=");
  if (at == std::string::npos) return {};
  std::size_t start = at + name.size() + 1;
  if (start < t.size() && (t[start] == '"' || t[start] == '\'')) {
    const char quote = t[start++];
    const std::size_t end = t.find(quote, start);
    return t.substr(start, end == std::string::npos ? std::string::npos : end - start);
  }
  const std::size_t end = t.find_first_of(" >", start);
  return t.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

struct HtmlFormat {
  std::u32string Text;
  std::string Color, Size, Face, Align;
};

HtmlFormat ParseHtml(const std::u32string& html) {
  HtmlFormat f;
  for (std::size_t i = 0; i < html.size(); ++i) {
    if (html[i] == '<') {
      const std::size_t end = html.find('>', i);
      if (end == std::u32string::npos) break;
      const std::u32string tag = html.substr(i + 1, end - i - 1);
      std::string name;
      for (char32_t c : tag) {
        if (c == ' ' || c == '/' ) {
          if (!name.empty()) break;
          if (c == '/') {
            name += '/';
            continue;
          }
        }
        name += char(std::tolower(int(c < 128 ? c : '?')));
      }
      if (name == "br" || name == "/p" || name == "br/" || name == "/li") f.Text.push_back('\n');
      if (name == "font") {
        if (f.Color.empty()) f.Color = Attribute(tag, "color");
        if (f.Size.empty()) f.Size = Attribute(tag, "size");
        if (f.Face.empty()) f.Face = Attribute(tag, "face");
      }
      if (name == "p" && f.Align.empty()) f.Align = Attribute(tag, "align");
      i = end;
    } else if (html[i] == '&') {
      const std::size_t end = html.find(';', i);
      const std::u32string entity = end == std::u32string::npos ? U"" : html.substr(i + 1, end - i - 1);
      char32_t c = 0;
      if (entity == U"lt") c = '<';
      else if (entity == U"gt") c = '>';
      else if (entity == U"amp") c = '&';
      else if (entity == U"quot") c = '"';
      else if (entity == U"apos") c = '\'';
      else if (entity == U"nbsp") c = 0xA0;
      else if (entity.size() > 1 && entity[0] == '#') {
        std::string digits(entity.begin() + 1, entity.end());
        c = char32_t(std::strtoul(digits.c_str() + (digits[0] == 'x' ? 1 : 0), nullptr, digits[0] == 'x' ? 16 : 10));
      }
      if (c && entity.size() < 10) {
        f.Text.push_back(c);
        i = end;
      } else {
        f.Text.push_back('&');
      }
    } else {
      f.Text.push_back(html[i]);
    }
  }
  // A last paragraph's end adds no empty line.
  if (!f.Text.empty() && f.Text.back() == '\n') f.Text.pop_back();
  return f;
}

TPath OutlineToPath(const gdi::GlyphOutline& outline) {
  TPath path;
  for (const auto& contour : outline.Contours) {
    if (contour.empty()) continue;
    path.push_back({TPathOp::Move, float(contour[0].x), float(-contour[0].y), 0, 0});
    for (std::size_t i = 1; i < contour.size(); ++i) {
      const auto& p = contour[i];
      if (!p.onCurve && i + 1 < contour.size()) {
        const auto& q = contour[i + 1];
        path.push_back({TPathOp::Quad, float(q.x), float(-q.y), float(p.x), float(-p.y)});
        ++i;
      } else {
        path.push_back({TPathOp::Line, float(p.x), float(-p.y), 0, 0});
      }
    }
  }
  return path;
}

}  // namespace

TTextFonts::TTextFonts() = default;
TTextFonts::~TTextFonts() = default;

gdi::FontFace* TTextFonts::Face(const std::string& name, bool bold, bool italic) {
  const std::string key = name + (bold ? "|b" : "|") + (italic ? "i" : "");
  auto it = faces_.find(key);
  if (it != faces_.end()) return it->second.get();
  std::unique_ptr<gdi::FontFace> face;
  try {
    face = gdi::FontFace::Open(name.empty() ? "Times New Roman" : name, bold, italic, 1024);
  } catch (const Error&) {
  }
  return (faces_[key] = std::move(face)).get();
}

const TPath* TTextFonts::DeviceGlyph(gdi::FontFace& face, char32_t c) {
  auto key = std::make_pair(static_cast<const void*>(&face), std::uint32_t(c));
  auto it = glyphs_.find(key);
  if (it != glyphs_.end()) return &it->second;
  return &(glyphs_[key] = OutlineToPath(face.Outline(c)));
}

const TPath* TTextFonts::EmbeddedGlyph(const TMovie& movie, std::uint16_t fontId, std::size_t index) {
  const auto* font = dynamic_cast<const TSWFDefineFont*>(movie.Character(fontId));
  if (!font || index >= font->Glyphs.size()) return nullptr;
  auto key = std::make_pair(static_cast<const void*>(font), std::uint32_t(index));
  auto it = glyphs_.find(key);
  if (it != glyphs_.end()) return &it->second;
  static const TSWFFillStyles kNoFills;
  static const TSWFLineStyles kNoLines;
  static const TSWFColorFill kFill;
  TConvertedShape shape = ConvertShape(font->Glyphs[index], kNoFills, kNoLines, &kFill);
  TPath& path = glyphs_[key];
  if (!shape.Layers.empty()) path = std::move(shape.Layers[0].Path);
  return &path;
}

std::u32string FieldText(const TSWFDefineEditText& field, int version) {
  std::u32string text;
  if (!field.WideInitialText.empty()) {
    text.assign(field.WideInitialText.begin(), field.WideInitialText.end());
  } else {
    text = version >= 6 ? DecodeUTF8(field.InitialText) : Decode1252(field.InitialText);
  }
  if (field.HTML) return ParseHtml(text).Text;
  return text;
}

TTextLayout LayoutEditText(const TMovie& movie, const TSWFDefineEditText& field, TTextFonts& fonts) {
  TTextLayout layout;
  if (!field.HasText) return layout;
  std::u32string raw;
  if (!field.WideInitialText.empty()) raw.assign(field.WideInitialText.begin(), field.WideInitialText.end());
  else raw = movie.Version() >= 6 ? DecodeUTF8(field.InitialText) : Decode1252(field.InitialText);
  HtmlFormat html;
  if (field.HTML) html = ParseHtml(raw);
  else html.Text = raw;
  const std::u32string& text = html.Text;

  TPackedColor color = field.TextColorIfAny() ? field.TextColorIfAny()->RGBA() : 0xFF000000u;
  if (html.Color.size() == 7 && html.Color[0] == '#') {
    const unsigned long v = std::strtoul(html.Color.c_str() + 1, nullptr, 16);
    color = SWFRGBA(std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v), color >> 24);
  }
  double size = field.FontHeight;
  if (!html.Size.empty() && html.Size[0] != '+' && html.Size[0] != '-') size = std::atof(html.Size.c_str()) * 20;
  int align = field.HasLayout ? field.Align : 0;
  if (html.Align == "center") align = 2;
  else if (html.Align == "right") align = 1;
  else if (html.Align == "left") align = 0;

  // The font: embedded outlines, or a device face of the font's name.
  const auto* font = field.HasFont ? dynamic_cast<const TSWFDefineFont*>(movie.Character(field.FontID)) : nullptr;
  const auto* font2 = dynamic_cast<const TSWFDefineFont2*>(font);
  const bool embedded = font && field.UseOutlines && !font->Glyphs.empty();
  double em = 1024;
  double ascent = 0.9 * size, descent = 0.25 * size;
  gdi::FontFace* face = nullptr;
  std::map<char32_t, std::size_t> codes;
  if (embedded) {
    if (font2) {
      em = font2->TagID == tag::DefineFont3 ? 20480 : 1024;
      for (std::size_t i = 0; i < font2->Codes.size(); ++i) codes.emplace(font2->Codes[i], i);
      if (font2->HasLayout) {
        ascent = font2->Ascent * size / em;
        descent = font2->Descent * size / em;
      }
    } else if (const auto* info = dynamic_cast<const TSWFDefineFontInfo*>(movie.FontInfo(field.FontID))) {
      for (std::size_t i = 0; i < info->Codes.size(); ++i) codes.emplace(info->Codes[i], i);
    }
  } else {
    std::string name = font2 ? font2->FontName : std::string();
    if (!html.Face.empty()) name = html.Face;
    while (!name.empty() && name.back() == 0) name.pop_back();
    if (name == "_sans") name = "Arial";
    else if (name == "_serif") name = "Times New Roman";
    else if (name == "_typewriter") name = "Courier New";
    face = fonts.Face(name, font2 && font2->Bold, font2 && font2->Italic);
    if (!face) return layout;
    em = face->EmSize();
    ascent = face->Metrics().Ascent * size / em;
    descent = face->Metrics().Descent * size / em;
  }
  const double scale = size / em;

  struct Placed {
    const TPath* Path;
    double X, Advance;
    char32_t Code;
  };
  auto glyphOf = [&](char32_t c, double& advance) -> const TPath* {
    if (embedded) {
      auto it = codes.find(c);
      if (it == codes.end()) {
        advance = 0;
        return nullptr;
      }
      advance = font2 && font2->HasLayout && it->second < font2->Advances.size()
                    ? font2->Advances[it->second] * scale
                    : size * 0.5;
      return fonts.EmbeddedGlyph(movie, field.FontID, it->second);
    }
    advance = face->Advance(c) * scale;
    return fonts.DeviceGlyph(*face, c);
  };

  const auto& b = field.Bounds;
  const double left = b.XMin() + 40 + field.LeftMargin;
  const double width = std::max(0.0, double(b.Width()) - 80 - field.LeftMargin - field.RightMargin);
  const double lineHeight = ascent + descent + field.Leading;
  double baseline = b.YMin() + 40 + ascent;
  const bool wrap = field.WordWrap;

  std::vector<Placed> line;
  auto flush = [&](bool firstLine) {
    (void)firstLine;
    // Trailing spaces take no room when aligning.
    double lineWidth = 0;
    for (const Placed& p : line)
      if (p.Code != ' ') lineWidth = std::max(lineWidth, p.X + p.Advance);
    double shift = 0;
    if (align == 1) shift = width - lineWidth;
    else if (align == 2) shift = (width - lineWidth) / 2;
    for (const Placed& p : line)
      if (p.Path) layout.Glyphs.push_back({p.Path, left + shift + p.X, baseline, scale, scale, color});
    line.clear();
    baseline += lineHeight;
  };

  double x = field.Indent;
  bool first = true;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\n' || text[i] == '\r') {
      if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      flush(first);
      first = false;
      x = 0;
      if (i == text.size()) break;
      if (!field.Multiline && !wrap) break;
      continue;
    }
    double advance = 0;
    const TPath* path = glyphOf(text[i], advance);
    if (wrap && x + advance > width && text[i] != ' ' && !line.empty()) {
      // Break after the last space of the line, or here when there is none.
      std::size_t cut = line.size();
      while (cut > 0 && line[cut - 1].Code != ' ') --cut;
      std::vector<Placed> rest;
      if (cut > 0) {
        rest.assign(line.begin() + long(cut), line.end());
        line.resize(cut);
      }
      flush(first);
      first = false;
      const double offset = rest.empty() ? 0 : rest.front().X;
      for (Placed& p : rest) p.X -= offset;
      line = std::move(rest);
      x = line.empty() ? 0 : line.back().X + line.back().Advance;
    }
    line.push_back({path, x, advance, text[i]});
    x += advance;
  }
  return layout;
}

}  // namespace yel::swf::render
