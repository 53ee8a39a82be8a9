// Font faces through fontconfig and FreeType. Outlines are taken unhinted at
// a pixel size equal to the em, so that FreeType's 26.6 coordinates are em
// units with six fraction bits; cubic segments (CFF fonts) are approximated
// by quadratic ones within half an em unit.
#include "platform/gdi/font_engine.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <mutex>

#include "base/error.h"

namespace yel::gdi {
namespace {

// FreeType's library object, shared by every face and guarded by one mutex
// (faces are opened from worker threads too).
std::mutex& LibraryMutex() {
  static std::mutex mutex;
  return mutex;
}

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) throw Error("the FreeType font engine cannot be started");
    return lib;
  }();
  return library;
}

// fontconfig's configuration of our own (the library's default one is
// never freed), released when the program ends.
FcConfig* Config() {
  struct Holder {
    FcConfig* config = FcInitLoadConfigAndFonts();
    ~Holder() {
      if (config) FcConfigDestroy(config);
    }
  };
  static Holder holder;
  return holder.config;
}

constexpr double k26_6 = 64.0;
// Cubic segments (CFF outlines) become quadratics that stay within this
// distance of them, in em units: half of the unit that points are rounded to.
constexpr double kCubicTolerance = 0.5;

void AppendCubic(OutlineContour& contour, OutlinePoint p0, OutlinePoint p1, OutlinePoint p2, OutlinePoint p3,
                 double tolerance, int depth);

struct Decomposer {
  GlyphOutline* out;
  OutlinePoint last;

  static OutlinePoint Point(const FT_Vector* v) { return {v->x / k26_6, v->y / k26_6, true}; }
  static int MoveTo(const FT_Vector* to, void* user) {
    auto* self = static_cast<Decomposer*>(user);
    self->out->Contours.emplace_back().push_back(Point(to));
    self->last = Point(to);
    return 0;
  }
  static int LineTo(const FT_Vector* to, void* user) {
    auto* self = static_cast<Decomposer*>(user);
    if (self->out->Contours.empty()) return 0;
    self->out->Contours.back().push_back(Point(to));
    self->last = Point(to);
    return 0;
  }
  static int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* self = static_cast<Decomposer*>(user);
    if (self->out->Contours.empty()) return 0;
    OutlinePoint c = Point(control);
    c.onCurve = false;
    self->out->Contours.back().push_back(c);
    self->out->Contours.back().push_back(Point(to));
    self->last = Point(to);
    return 0;
  }
  static int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    auto* self = static_cast<Decomposer*>(user);
    if (self->out->Contours.empty()) return 0;
    AppendCubic(self->out->Contours.back(), self->last, Point(c1), Point(c2), Point(to), kCubicTolerance, 0);
    self->last = Point(to);
    return 0;
  }
};

// The quadratics of one cubic, halved until each lies within the tolerance.
void AppendCubic(OutlineContour& contour, OutlinePoint p0, OutlinePoint p1, OutlinePoint p2, OutlinePoint p3,
                 double tolerance, int depth) {
  // The quadratic whose control point is the mean of the two that the end
  // tangents suggest, (3 p1 - p0) / 2 and (3 p2 - p3) / 2, departs from the
  // cubic by at most sqrt(3) / 36 of |p3 - 3 p2 + 3 p1 - p0|.
  const double dx = p3.x - 3 * p2.x + 3 * p1.x - p0.x, dy = p3.y - 3 * p2.y + 3 * p1.y - p0.y;
  if (depth >= 10 || std::sqrt(3.0) / 36 * std::hypot(dx, dy) <= tolerance) {
    contour.push_back({(3 * (p1.x + p2.x) - p0.x - p3.x) / 4, (3 * (p1.y + p2.y) - p0.y - p3.y) / 4, false});
    contour.push_back({p3.x, p3.y, true});
    return;
  }
  auto mid = [](OutlinePoint a, OutlinePoint b) { return OutlinePoint{(a.x + b.x) / 2, (a.y + b.y) / 2, true}; };
  OutlinePoint a = mid(p0, p1), b = mid(p1, p2), c = mid(p2, p3);
  OutlinePoint ab = mid(a, b), bc = mid(b, c), m = mid(ab, bc);
  AppendCubic(contour, p0, a, ab, m, tolerance, depth + 1);
  AppendCubic(contour, m, bc, c, p3, tolerance, depth + 1);
}

std::string Utf8(const FcChar8* text) { return text ? reinterpret_cast<const char*>(text) : std::string(); }

}  // namespace

void AppendCubicAsQuadratics(OutlineContour& contour, OutlinePoint p0, OutlinePoint c1, OutlinePoint c2,
                             OutlinePoint p3, double tolerance) {
  AppendCubic(contour, p0, c1, c2, p3, std::max(tolerance, 1e-6), 0);
}

std::string LanguageOfCharset(std::uint8_t charset) {
  switch (charset) {
    case 128: return "ja";  // ShiftJIS
    case 129:
    case 130: return "ko";     // Hangul, Johab
    case 134: return "zh-cn";  // GB2312
    case 136: return "zh-tw";  // Big5
    default: return {};
  }
}

struct FontFace::Impl {
  FT_Face face = nullptr;
  ~Impl() {
    std::lock_guard<std::mutex> lock(LibraryMutex());
    if (face) FT_Done_Face(face);
  }
};

FontFace::FontFace(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
FontFace::~FontFace() = default;

std::unique_ptr<FontFace> FontFace::Open(const std::string& family, bool bold, bool italic, int emSize,
                                         const std::string& language) {
  std::string file;
  int index = 0;
  {
    std::lock_guard<std::mutex> lock(LibraryMutex());
    FcConfig* config = Config();
    if (!config) throw Error("font \"" + family + "\": the font configuration (fontconfig) cannot be loaded");
    FcPattern* pattern = FcPatternCreate();
    if (!family.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    // The language ranks below a family that matches and above the default
    // families that fontconfig adds.
    if (!language.empty()) FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(language.c_str()));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (match) {
      FcChar8* path = nullptr;
      if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) file = Utf8(path);
      FcPatternGetInteger(match, FC_INDEX, 0, &index);
      FcPatternDestroy(match);
    }
  }
  if (file.empty()) throw Error("font \"" + family + "\": no font is installed that could stand in for it");
  auto impl = std::make_unique<Impl>();
  {
    std::lock_guard<std::mutex> lock(LibraryMutex());
    if (FT_New_Face(Library(), file.c_str(), index, &impl->face) != 0 || !FT_IS_SCALABLE(impl->face)) {
      if (impl->face) FT_Done_Face(impl->face);
      impl->face = nullptr;
      throw Error(file + ": the font file for \"" + family + "\" cannot be read as an outline font");
    }
  }
  FT_Face face = impl->face;
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(emSize));
  std::unique_ptr<FontFace> out(new FontFace(std::move(impl)));
  out->file_ = file;
  out->index_ = index;
  out->family_ = face->family_name ? face->family_name : family;
  out->em_ = emSize;
  const double scale = double(emSize) / face->units_per_EM;
  FontMetrics& m = out->metrics_;
  // The Windows metrics come from the OS/2 table's win ascent and descent.
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
    m.Ascent = os2->usWinAscent * scale;
    m.Descent = os2->usWinDescent * scale;
    m.AverageWidth = os2->xAvgCharWidth * scale;
    m.StrikeoutPosition = os2->yStrikeoutPosition * scale;
    m.StrikeoutThickness = os2->yStrikeoutSize * scale;
  } else {
    m.Ascent = face->ascender * scale;
    m.Descent = -face->descender * scale;
    m.StrikeoutPosition = m.Ascent / 3;
    m.StrikeoutThickness = face->underline_thickness * scale;
  }
  m.InternalLeading = std::max(0.0, m.Ascent + m.Descent - emSize);
  m.UnderlinePosition = face->underline_position * scale;
  m.UnderlineThickness = std::max(1.0, face->underline_thickness * scale);
  if (m.AverageWidth <= 0) m.AverageWidth = out->Advance(U'x');
  return out;
}

bool FontFace::HasGlyph(char32_t c) const { return FT_Get_Char_Index(impl_->face, c) != 0; }

GlyphOutline FontFace::Outline(char32_t c) const {
  GlyphOutline out;
  FT_Face face = impl_->face;
  if (FT_Load_Char(face, c, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return out;
  out.Advance = face->glyph->linearHoriAdvance / 65536.0;
  if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return out;
  FT_Outline_Funcs funcs{};
  funcs.move_to = &Decomposer::MoveTo;
  funcs.line_to = &Decomposer::LineTo;
  funcs.conic_to = &Decomposer::ConicTo;
  funcs.cubic_to = &Decomposer::CubicTo;
  Decomposer decomposer{&out, {}};
  FT_Outline_Decompose(&face->glyph->outline, &funcs, &decomposer);
  return out;
}

double FontFace::Advance(char32_t c) const {
  FT_Face face = impl_->face;
  if (FT_Load_Char(face, c, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return 0;
  return face->glyph->linearHoriAdvance / 65536.0;
}

double FontFace::Kerning(char32_t left, char32_t right) const {
  FT_Face face = impl_->face;
  if (!FT_HAS_KERNING(face)) return 0;
  FT_Vector delta{};
  if (FT_Get_Kerning(face, FT_Get_Char_Index(face, left), FT_Get_Char_Index(face, right), FT_KERNING_UNSCALED,
                     &delta) != 0)
    return 0;
  return delta.x * double(em_) / face->units_per_EM;
}

}  // namespace yel::gdi
