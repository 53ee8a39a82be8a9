// Stand-in for the Windows font engine: fontconfig finds the face for a name
// and style (Arial, Times New Roman and Courier New resolve to the
// metric-compatible Liberation faces through fontconfig's aliases; a name
// that matches nothing falls back to fontconfig's default face, or to a face
// of the font's language), FreeType
// gives glyph outlines, advances, kerning and metrics at a chosen em size.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace yel::gdi {

// One point of a glyph contour, in em units with y upward (as fonts have
// them); quadratic control points are off the curve.
struct OutlinePoint {
  double x = 0, y = 0;
  bool onCurve = true;
};

// A closed contour: it starts on the curve; after each off-curve point comes
// the on-curve point that ends its quadratic segment.
using OutlineContour = std::vector<OutlinePoint>;

// Appends the cubic segment from p0 (the contour's last point) through the
// control points c1 and c2 to p3 as quadratic segments that stay within the
// tolerance (em units) of it. CFF and CFF2 fonts have cubic outlines; glyphs in
// a movie are quadratic.
void AppendCubicAsQuadratics(OutlineContour& contour, OutlinePoint p0, OutlinePoint c1, OutlinePoint c2,
                             OutlinePoint p3, double tolerance);

struct GlyphOutline {
  std::vector<OutlineContour> Contours;
  double Advance = 0;  // em units
};

// Metrics at the face's em size (ascent and descent both positive).
struct FontMetrics {
  double Ascent = 0;
  double Descent = 0;
  double InternalLeading = 0;  // ascent + descent - em
  double AverageWidth = 0;
  double UnderlinePosition = 0;  // above the baseline, negative below
  double UnderlineThickness = 0;
  double StrikeoutPosition = 0;
  double StrikeoutThickness = 0;
};

// The language whose faces stand in for a font of the Windows character set
// (Japanese, Korean, simplified or traditional Chinese; empty for others).
std::string LanguageOfCharset(std::uint8_t charset);

class FontFace {
 public:
  ~FontFace();
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  // The face fontconfig chooses for the family name (UTF-8) and style, at an
  // em of emSize units. A language ("ja", "ko", "zh-cn", "zh-tw") makes a
  // name that matches no installed family fall back to a face for that
  // language rather than the default one. Throws yel::Error when no font can
  // be found or opened at all.
  static std::unique_ptr<FontFace> Open(const std::string& family, bool bold, bool italic, int emSize = 1024,
                                        const std::string& language = {});

  const std::string& FamilyName() const { return family_; }
  const std::string& FileName() const { return file_; }
  // The face's index within its file (collections such as .ttc hold several).
  int FaceIndex() const { return index_; }
  int EmSize() const { return em_; }
  const FontMetrics& Metrics() const { return metrics_; }
  bool HasGlyph(char32_t c) const;
  // The outline and advance of the character (an empty outline for a space
  // or a character the face lacks, which gets the face's missing glyph).
  GlyphOutline Outline(char32_t c) const;
  double Advance(char32_t c) const;
  // Kerning adjustment between two characters, em units.
  double Kerning(char32_t left, char32_t right) const;

 private:
  struct Impl;
  explicit FontFace(std::unique_ptr<Impl> impl);

  std::unique_ptr<Impl> impl_;
  std::string family_;
  std::string file_;
  int index_ = 0;
  int em_ = 1024;
  FontMetrics metrics_;
};

}  // namespace yel::gdi
