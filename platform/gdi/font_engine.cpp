// Font faces through fontconfig and FreeType. Outlines are taken unhinted at
// a pixel size equal to the em, so that FreeType's 26.6 coordinates are em
// units with six fraction bits; cubic segments (CFF fonts) are split into
// quadratic ones.
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
  // A cubic as four quadratics: each quarter's control point is where the
  // tangents at its ends meet, approximated by the midpoint rule.
  static int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    auto* self = static_cast<Decomposer*>(user);
    if (self->out->Contours.empty()) return 0;
    OutlinePoint p0 = self->last, p1 = Point(c1), p2 = Point(c2), p3 = Point(to);
    auto at = [&](double t) {
      double u = 1 - t;
      return OutlinePoint{u * u * u * p0.x + 3 * u * u * t * p1.x + 3 * u * t * t * p2.x + t * t * t * p3.x,
                          u * u * u * p0.y + 3 * u * u * t * p1.y + 3 * u * t * t * p2.y + t * t * t * p3.y, true};
    };
    constexpr int kParts = 4;
    for (int i = 0; i < kParts; ++i) {
      double t0 = double(i) / kParts, t1 = double(i + 1) / kParts, tm = (t0 + t1) / 2;
      OutlinePoint a = at(t0), b = at(t1), m = at(tm);
      // The quadratic through a, m, b has its control point at 2m - (a+b)/2.
      OutlinePoint c{2 * m.x - (a.x + b.x) / 2, 2 * m.y - (a.y + b.y) / 2, false};
      self->out->Contours.back().push_back(c);
      self->out->Contours.back().push_back(b);
    }
    self->last = p3;
    return 0;
  }
};

std::string Utf8(const FcChar8* text) { return text ? reinterpret_cast<const char*>(text) : std::string(); }

}  // namespace

struct FontFace::Impl {
  FT_Face face = nullptr;
  ~Impl() {
    std::lock_guard<std::mutex> lock(LibraryMutex());
    if (face) FT_Done_Face(face);
  }
};

FontFace::FontFace(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
FontFace::~FontFace() = default;

std::unique_ptr<FontFace> FontFace::Open(const std::string& family, bool bold, bool italic, int emSize) {
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
