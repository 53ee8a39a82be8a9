// The font engine: cubic segments become quadratics within the tolerance, a
// CFF face (Noto Sans CJK, many glyphs, cubic outlines) gives outlines whose
// extent is FreeType's own exact extent of the glyph, and unknown names fall
// back to a face of the language asked for.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BBOX_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/gdi/font_engine.h"
#include "platform/gdi/logical_font.h"

namespace yel::gdi {
namespace {

struct Cubic {
  const char* what;
  OutlinePoint p0, c1, c2, p3;
};

OutlinePoint CubicAt(const Cubic& k, double t) {
  const double u = 1 - t;
  return {u * u * u * k.p0.x + 3 * u * u * t * k.c1.x + 3 * u * t * t * k.c2.x + t * t * t * k.p3.x,
          u * u * u * k.p0.y + 3 * u * u * t * k.c1.y + 3 * u * t * t * k.c2.y + t * t * t * k.p3.y};
}

// Points along the quadratic segments of a contour that starts at `start`.
std::vector<OutlinePoint> QuadraticSamples(OutlinePoint start, const OutlineContour& segments) {
  std::vector<OutlinePoint> out;
  OutlinePoint from = start;
  for (std::size_t i = 0; i + 1 < segments.size(); i += 2) {
    const OutlinePoint c = segments[i], to = segments[i + 1];
    for (int s = 0; s <= 64; ++s) {
      const double t = s / 64.0, u = 1 - t;
      out.push_back({u * u * from.x + 2 * u * t * c.x + t * t * to.x, u * u * from.y + 2 * u * t * c.y + t * t * to.y});
    }
    from = to;
  }
  return out;
}

// Distance from a point to a curve given as a fine polyline.
double Distance(OutlinePoint p, const std::vector<OutlinePoint>& curve) {
  double best = 1e300;
  for (std::size_t i = 0; i + 1 < curve.size(); ++i) {
    const OutlinePoint a = curve[i], b = curve[i + 1];
    const double dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy;
    const double t = length2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0) : 0;
    best = std::min(best, std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy));
  }
  return best;
}

TEST(FontEngineTest, CubicsBecomeQuadraticsWithinTheTolerance) {
  const Cubic cubics[] = {
      {"S-curve with an inflection", {0, 0}, {600, 0}, {0, 900}, {700, 900}},
      {"quarter circle of radius 500", {500, 0}, {500, 276}, {276, 500}, {0, 500}},
      {"loop", {0, 0}, {900, 600}, {-300, 600}, {600, 0}},
      {"tiny", {10, 10}, {10.5, 10.2}, {11, 10.6}, {11.2, 11}},
  };
  constexpr double kTolerance = 0.5;
  for (const Cubic& k : cubics) {
    SCOPED_TRACE(k.what);
    OutlineContour segments;
    AppendCubicAsQuadratics(segments, k.p0, k.c1, k.c2, k.p3, kTolerance);
    ASSERT_FALSE(segments.empty());
    ASSERT_EQ(segments.size() % 2, 0u);
    for (std::size_t i = 0; i < segments.size(); ++i) EXPECT_EQ(segments[i].onCurve, i % 2 == 1);
    EXPECT_EQ(segments.back().x, k.p3.x);
    EXPECT_EQ(segments.back().y, k.p3.y);
    EXPECT_LE(segments.size() / 2, 32u) << "a few quadratics per cubic, not a polyline";
    // Both ways: the quadratics near the cubic and the cubic near them.
    std::vector<OutlinePoint> cubic;
    for (int s = 0; s <= 2048; ++s) cubic.push_back(CubicAt(k, s / 2048.0));
    std::vector<OutlinePoint> quadratic = QuadraticSamples(k.p0, segments);
    double worst = 0;
    for (const OutlinePoint& p : quadratic) worst = std::max(worst, Distance(p, cubic));
    for (std::size_t i = 0; i < cubic.size(); i += 16) worst = std::max(worst, Distance(cubic[i], quadratic));
    EXPECT_LE(worst, kTolerance + 0.05);
  }

  // A quadratic written as a cubic comes back as that one quadratic.
  OutlineContour one;
  AppendCubicAsQuadratics(one, {0, 0}, {200, 400}, {400, 400}, {600, 0}, 0.5);
  ASSERT_EQ(one.size(), 2u);
  EXPECT_DOUBLE_EQ(one[0].x, 300);
  EXPECT_DOUBLE_EQ(one[0].y, 600);
}

// The exact extent of quadratic contours: their points on the curve and the
// extremes of each segment.
FT_BBox ExtentOf(const GlyphOutline& outline) {
  double left = 1e300, bottom = 1e300, right = -1e300, top = -1e300;
  auto take = [&](double x, double y) {
    left = std::min(left, x), right = std::max(right, x), bottom = std::min(bottom, y), top = std::max(top, y);
  };
  for (const OutlineContour& contour : outline.Contours) {
    for (std::size_t i = 0; i < contour.size(); ++i) {
      const OutlinePoint& p = contour[i];
      if (p.onCurve || i == 0 || i + 1 >= contour.size()) {
        take(p.x, p.y);
        continue;
      }
      const OutlinePoint& a = contour[i - 1];
      const OutlinePoint& b = contour[i + 1];
      for (int axis = 0; axis < 2; ++axis) {
        const double pa = axis ? a.y : a.x, pc = axis ? p.y : p.x, pb = axis ? b.y : b.x;
        const double d = pa - 2 * pc + pb;
        if (d == 0) continue;
        const double t = (pa - pc) / d;
        if (t <= 0 || t >= 1) continue;
        const double u = 1 - t;
        take(u * u * a.x + 2 * u * t * p.x + t * t * b.x, u * u * a.y + 2 * u * t * p.y + t * t * b.y);
      }
    }
  }
  return {static_cast<FT_Pos>(std::lround(left * 64)), static_cast<FT_Pos>(std::lround(bottom * 64)),
          static_cast<FT_Pos>(std::lround(right * 64)), static_cast<FT_Pos>(std::lround(top * 64))};
}

TEST(FontEngineTest, CffFaceWithManyGlyphs) {
  // scripts/setup installs the Noto CJK fonts (OpenType CFF, 65535 glyphs).
  auto face = FontFace::Open("Noto Sans CJK SC", false, false, 1024);
  ASSERT_EQ(face->FamilyName().rfind("Noto Sans CJK", 0), 0u) << "got " << face->FamilyName();
  FT_Library library;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  FT_Face ft;
  ASSERT_EQ(FT_New_Face(library, face->FileName().c_str(), face->FaceIndex(), &ft), 0);
  EXPECT_STREQ(ft->family_name, face->FamilyName().c_str()) << "the face fontconfig chose within the collection";
  FT_Set_Pixel_Sizes(ft, 0, 1024);
  // Chinese, Japanese kana and Korean hangul.
  for (char32_t c : {U'\u6C38', U'\u9F8D', U'\u3042', U'\u30AB', U'\uD55C'}) {
    SCOPED_TRACE(static_cast<unsigned>(c));
    EXPECT_TRUE(face->HasGlyph(c));
    GlyphOutline outline = face->Outline(c);
    ASSERT_FALSE(outline.Contours.empty());
    for (const OutlineContour& contour : outline.Contours) {
      ASSERT_GE(contour.size(), 2u);
      EXPECT_TRUE(contour.front().onCurve);
      for (std::size_t i = 1; i < contour.size(); ++i)
        EXPECT_FALSE(!contour[i].onCurve && !contour[i - 1].onCurve) << "one control point per segment";
    }
    if (c < 0xAC00) {
      EXPECT_NEAR(outline.Advance, 1024, 0.5) << "ideographs and kana are full width";
    }
    ASSERT_EQ(FT_Load_Char(ft, c, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP), 0);
    FT_BBox exact;
    FT_Outline_Get_BBox(&ft->glyph->outline, &exact);
    FT_BBox ours = ExtentOf(outline);
    // Within the tolerance of half an em unit (32 in 26.6), and a little.
    EXPECT_NEAR(ours.xMin, exact.xMin, 36);
    EXPECT_NEAR(ours.yMin, exact.yMin, 36);
    EXPECT_NEAR(ours.xMax, exact.xMax, 36);
    EXPECT_NEAR(ours.yMax, exact.yMax, 36);
  }
  FT_Done_Face(ft);
  FT_Done_FreeType(library);
}

// A name that matches no family falls back to a face of the language asked
// for; a name that matches keeps its family whatever the language.
TEST(FontEngineTest, LanguageOfTheFallback) {
  const struct {
    std::uint8_t charset;
    const char* family;
    char32_t sample;
  } cases[] = {{128, "Noto Sans CJK JP", U'\u3042'},
               {129, "Noto Sans CJK KR", U'\uD55C'},
               {134, "Noto Sans CJK SC", U'\u6C49'},
               {136, "Noto Sans CJK TC", U'\u6F22'}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.family);
    const std::string language = LanguageOfCharset(c.charset);
    auto face = FontFace::Open("No Such Font Family", false, false, 1024, language);
    EXPECT_EQ(face->FamilyName(), c.family);
    EXPECT_TRUE(face->HasGlyph(c.sample));
    EXPECT_EQ(FontFace::Open("Arial", false, false, 1024, language)->FamilyName(), "Liberation Sans");
    // The drawing context's fonts fall back the same way.
    LogFont description;
    description.lfHeight = -20;
    description.lfCharSet = c.charset;
    const std::u16string name = u"No Such Font Family";
    std::copy(name.begin(), name.end(), description.lfFaceName);
    EXPECT_EQ(LogicalFont(description).Face().FamilyName(), c.family);
  }
  EXPECT_EQ(LanguageOfCharset(0), "");
}

}  // namespace
}  // namespace yel::gdi
