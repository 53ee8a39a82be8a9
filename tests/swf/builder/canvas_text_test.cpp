// Text drawn on the canvas: what text records become (fonts, static texts,
// the sprites carrying alignment and escapement, background and options
// rectangles, bars), the compact and single-byte records, and the records
// that are skipped.
#include <gtest/gtest.h>

#include <cstring>

#include "builder_test_util.h"
#include "platform/gdi/logical_font.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/recording_context.h"
#include "swf/builder/flash_canvas.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"
#include "swf/builder/flash_sprite.h"
#include "swf/builder/flash_text.h"
#include "swf/format/fill_line_styles.h"

namespace yel::swf {
namespace {

using gdi::RecordingContext;
using testing::Placements;

// Movie units (pixels here) of a placement's translation.
gdi::Point At(const TFlashPlaceObject* p) {
  const TSWFMatrix& m = const_cast<TFlashPlaceObject*>(p)->PlaceRecord().Matrix();
  return {m.TranslateX / 20, m.TranslateY / 20};
}

gdi::LogFont Font(const char16_t* face, int height) {
  gdi::LogFont f;
  f.lfHeight = height;
  f.lfWeight = 400;
  for (int i = 0; face[i] && i < 31; ++i) f.lfFaceName[i] = face[i];
  return f;
}

// One run of text as converted: its placement in the drawing level, the
// outer sprite, the text sprite (the same without options or escapement)
// and the text placements inside it.
struct TextRun {
  TFlashPlaceObject* place = nullptr;
  TFlashSprite* outer = nullptr;
  TFlashSprite* inner = nullptr;
  TFlashPlaceObject* inner_place = nullptr;
  std::vector<TFlashPlaceObject*> texts;
  TFlashText* Text(std::size_t i = 0) const { return static_cast<TFlashText*>(texts.at(i)->Character()); }
  TFlashPlaceObject* AtDepth(TFlashSprite* s, std::uint16_t depth) const {
    for (TFlashPlaceObject* p : Placements(s))
      if (p->Depth() == depth) return p;
    return nullptr;
  }
};

struct TextDrawing {
  TFlashMovie movie{0, 0, 400, 300, 12, TSWFSystemCoord::Pix};
  TFlashCanvas& canvas = movie.Canvas();
  RecordingContext& dc() { return canvas.Handle(); }
  std::vector<TextRun> Convert() {
    canvas.ConvertDrawing();
    std::vector<TextRun> runs;
    if (!canvas.TopSprite()) return runs;
    for (TFlashPlaceObject* p : Placements(canvas.TopSprite())) {
      TextRun r;
      r.place = p;
      r.outer = r.inner = dynamic_cast<TFlashSprite*>(p->Character());
      if (!r.outer) continue;
      if (TFlashPlaceObject* five = r.AtDepth(r.outer, 5); five && dynamic_cast<TFlashSprite*>(five->Character())) {
        r.inner_place = five;
        r.inner = static_cast<TFlashSprite*>(five->Character());
      }
      for (TFlashPlaceObject* q : Placements(r.inner))
        if (dynamic_cast<TFlashText*>(q->Character())) r.texts.push_back(q);
      runs.push_back(r);
    }
    return runs;
  }
  void Save() {
    if (canvas.RootSprite()) {
      canvas.RootSprite()->ShowFrame();
      movie.PlaceObject(canvas.RootSprite(), 1);
    }
    movie.ShowFrame();
    testing::SaveMovie(movie);
  }
};

std::uint32_t Colour(TFlashShape* s) {
  auto* fill = dynamic_cast<TSWFColorFill*>(s->FillStyles().at(0).get());
  return fill ? (std::uint32_t(fill->Color.R) | std::uint32_t(fill->Color.G) << 8 | std::uint32_t(fill->Color.B) << 16)
              : 0xFFFFFFFFu;
}

TEST(CanvasText, AdvancesNearTheNaturalWidthGiveOneTextWiderOnesOneTextPerCharacter) {
  gdi::LogicalFont font(Font(u"Liberation Sans", -30));
  double natural = 0;
  for (char32_t c : std::u32string(U"Quay")) natural += font.Advance(c);
  const std::int32_t n = std::int32_t(std::lround(natural));
  const std::vector<std::int32_t> near{n / 4, n / 4, n / 4, n - 3 * (n / 4) + 2};  // 2 px wider in all
  const std::vector<std::int32_t> wide{30, 30, 30, 30};
  struct Case {
    const char* name;
    const std::vector<std::int32_t>* advances;
    std::size_t texts;
  } cases[] = {{"the font's own", nullptr, 1}, {"within 2 px", &near, 1}, {"spread", &wide, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TextDrawing d;
    d.dc().SetBkMode(gdi::TRANSPARENT);
    d.dc().SelectObject(d.dc().CreateFontIndirect(Font(u"Liberation Sans", -30)));
    d.dc().ExtTextOutW(50, 60, 0, nullptr, u"Quay", c.advances);
    std::vector<TextRun> runs = d.Convert();
    ASSERT_EQ(runs.size(), 1u);
    const TextRun& r = runs[0];
    EXPECT_EQ(At(r.place).x, 50);
    EXPECT_EQ(At(r.place).y, 60);
    ASSERT_EQ(r.texts.size(), c.texts);
    if (c.texts == 1) {
      EXPECT_EQ(r.Text()->WideText(), u"Quay");
    } else {
      for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(r.Text(i)->WideText(), std::u16string(1, u"Quay"[i]));
        EXPECT_EQ(At(r.texts[i]).x, 30 * std::int32_t(i));
      }
    }
    EXPECT_EQ(r.Text()->HeightTwips(), 30 * 20);
    EXPECT_FALSE(r.Text()->Font()->Device);
    d.Save();
  }
}

TEST(CanvasText, AlignmentMovesTheTextFromTheReferencePoint) {
  const gdi::OutlineTextMetrics m = gdi::LogicalFont(Font(u"Liberation Serif", -40)).Metrics();
  const std::vector<std::int32_t> advances{20, 20, 20};  // T = 60
  struct Case {
    std::uint32_t align;
    gdi::Point text;
  } cases[] = {
      {gdi::TA_LEFT | gdi::TA_TOP, {0, 0}},
      {gdi::TA_RIGHT | gdi::TA_BASELINE, {-60, -m.Ascent}},
      {gdi::TA_CENTER | gdi::TA_BOTTOM, {-30, -m.Height}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.align);
    TextDrawing d;
    d.dc().SetBkMode(gdi::TRANSPARENT);
    d.dc().SelectObject(d.dc().CreateFontIndirect(Font(u"Liberation Serif", -40)));
    d.dc().SetTextAlign(c.align);
    d.dc().ExtTextOutW(200, 100, 0, nullptr, u"abc", &advances);
    std::vector<TextRun> runs = d.Convert();
    ASSERT_EQ(runs.size(), 1u);
    ASSERT_EQ(runs[0].texts.size(), 3u);  // the advances differ from the natural width
    EXPECT_EQ(At(runs[0].texts[0]).x, c.text.x);
    EXPECT_EQ(At(runs[0].texts[0]).y, c.text.y);
    EXPECT_EQ(At(runs[0].texts[2]).x, c.text.x + 40);
  }
}

TEST(CanvasText, UpdatedCurrentPositionContinuesTheText) {
  TextDrawing d;
  d.dc().SetBkMode(gdi::TRANSPARENT);
  d.dc().SelectObject(d.dc().CreateFontIndirect(Font(u"Liberation Sans", -20)));
  d.dc().SetTextAlign(gdi::TA_UPDATECP);
  d.dc().MoveToEx(10, 30);
  const std::vector<std::int32_t> first{12, 12, 12};
  d.dc().ExtTextOutW(0, 0, 0, nullptr, u"abc", &first);
  d.dc().ExtTextOutW(0, 0, 0, nullptr, u"de", nullptr);
  std::vector<TextRun> runs = d.Convert();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(At(runs[0].place).x, 10);
  EXPECT_EQ(At(runs[1].place).x, 46);
  EXPECT_EQ(At(runs[1].place).y, 30);
}

TEST(CanvasText, FontsAreSharedByNameAndStyleAndSizedByTheRun) {
  TextDrawing d;
  d.dc().SetBkMode(gdi::TRANSPARENT);
  gdi::ObjectHandle small = d.dc().CreateFontIndirect(Font(u"Liberation Mono", -20));
  gdi::ObjectHandle large = d.dc().CreateFontIndirect(Font(u"Liberation Mono", -50));
  gdi::LogFont bold_description = Font(u"Liberation Mono", -20);
  bold_description.lfWeight = 700;
  gdi::ObjectHandle bold = d.dc().CreateFontIndirect(bold_description);
  gdi::LogFont cell_description = Font(u"Liberation Mono", 40);  // a cell height
  gdi::ObjectHandle cell = d.dc().CreateFontIndirect(cell_description);
  for (gdi::ObjectHandle f : {small, large, bold, cell}) {
    d.dc().SelectObject(f);
    d.dc().TextOut(10, 10, u"ab cd");
  }
  std::vector<TextRun> runs = d.Convert();
  ASSERT_EQ(runs.size(), 4u);
  for (const TextRun& r : runs) ASSERT_EQ(r.texts.size(), 1u);  // natural advances: one text each
  EXPECT_EQ(runs[0].Text()->Font(), runs[1].Text()->Font());
  EXPECT_NE(runs[2].Text()->Font(), runs[0].Text()->Font());
  EXPECT_TRUE(runs[2].Text()->Font()->Bold);
  EXPECT_EQ(runs[3].Text()->Font(), runs[0].Text()->Font());
  EXPECT_EQ(d.movie.Fonts().Count(), 2);
  EXPECT_EQ(runs[0].Text()->HeightTwips(), 20 * 20);
  EXPECT_EQ(runs[1].Text()->HeightTwips(), 50 * 20);
  // A cell of 40 pixels holds an em of 40 × em / (ascent + descent).
  const std::int32_t em = std::int32_t(std::lround(gdi::LogicalFont(cell_description).EmSize()));
  EXPECT_LT(em, 40);
  EXPECT_EQ(runs[3].Text()->HeightTwips(), em * 20);
  EXPECT_EQ(runs[0].Text()->Font()->Name, "Liberation Mono");
  d.Save();
}

TEST(CanvasText, BackgroundsOptionRectanglesBarsAndEscapement) {
  TextDrawing d;
  gdi::LogFont f = Font(u"Liberation Sans", -30);
  f.lfEscapement = 450;
  f.lfUnderline = f.lfStrikeOut = 1;
  d.dc().SetBkMode(gdi::OPAQUE);
  d.dc().SetBkColor(gdi::Rgb(10, 20, 30));
  d.dc().SetTextColor(gdi::Rgb(200, 0, 0));
  d.dc().SelectObject(d.dc().CreateFontIndirect(f));
  gdi::Rect rect{100, 80, 220, 130};
  d.dc().ExtTextOutW(110, 90, gdi::ETO_OPAQUE | gdi::ETO_CLIPPED, &rect, u"Kiel", nullptr);
  d.dc().SelectObject(d.dc().CreateFontIndirect(Font(u"Liberation Sans", -30)));
  d.dc().SetBkMode(gdi::TRANSPARENT);
  d.dc().ExtTextOutW(10, 200, gdi::ETO_CLIPPED, &rect, u"Sylt", nullptr);
  std::vector<TextRun> runs = d.Convert();
  ASSERT_EQ(runs.size(), 2u);

  const TextRun& a = runs[0];
  ASSERT_NE(a.inner, a.outer);
  EXPECT_EQ(At(a.place).x, 110);
  EXPECT_EQ(At(a.place).y, 90);
  // The text sprite turns by the escapement (45 degrees counterclockwise).
  const TSWFMatrix& turn = a.inner_place->PlaceRecord().Matrix();
  EXPECT_NEAR(turn.GetScaleX(), std::sqrt(0.5), 1e-3);
  EXPECT_NEAR(turn.GetSkewX(), std::sqrt(0.5), 1e-3);
  // The options rectangle, filled and clipping, relative to the reference.
  TFlashPlaceObject* fill = a.AtDepth(a.outer, 3);
  TFlashPlaceObject* clip = a.AtDepth(a.outer, 4);
  ASSERT_TRUE(fill && clip);
  auto* box = static_cast<TFlashShape*>(fill->Character());
  EXPECT_EQ(Colour(box), gdi::Rgb(10, 20, 30));
  EXPECT_EQ(box->XMin(), -10);
  EXPECT_EQ(box->YMax(), 40);
  EXPECT_EQ(clip->Character(), box);
  EXPECT_EQ(clip->PlaceRecord().ClipDepth, 5);
  // The opaque background box at depth 1, the text, then the two bars in
  // the text colour.
  TFlashPlaceObject* background = a.AtDepth(a.inner, 1);
  ASSERT_TRUE(background);
  EXPECT_EQ(Colour(static_cast<TFlashShape*>(background->Character())), gdi::Rgb(10, 20, 30));
  std::vector<TFlashPlaceObject*> inner = Placements(a.inner);
  ASSERT_EQ(inner.size(), 4u);
  ASSERT_TRUE(dynamic_cast<TFlashText*>(inner[1]->Character()));
  ASSERT_TRUE(dynamic_cast<TFlashShape*>(inner[2]->Character()) && dynamic_cast<TFlashShape*>(inner[3]->Character()));
  EXPECT_EQ(Colour(static_cast<TFlashShape*>(inner[2]->Character())), gdi::Rgb(200, 0, 0));
  EXPECT_GT(At(inner[2]).y, At(inner[3]).y);  // the underline below the strike-out

  // Clipping alone: the rectangle only clips, made yellow, nothing filled.
  const TextRun& b = runs[1];
  ASSERT_NE(b.inner, b.outer);
  EXPECT_EQ(b.AtDepth(b.outer, 3), nullptr);
  ASSERT_TRUE(b.AtDepth(b.outer, 4));
  EXPECT_EQ(Colour(static_cast<TFlashShape*>(b.AtDepth(b.outer, 4)->Character())), gdi::Rgb(255, 255, 0));
  EXPECT_EQ(b.AtDepth(b.inner, 1), b.texts[0]);  // transparent: no background box
  d.Save();
}

TEST(CanvasText, CompactSingleByteAndGlyphIndexRecordsGiveTheirCharacters) {
  TextDrawing d;
  d.dc().SetBkMode(gdi::TRANSPARENT);
  d.dc().SelectObject(d.dc().CreateFontIndirect(Font(u"Liberation Sans", -24)));
  gdi::Rect rect{0, 0, 100, 40};
  d.dc().SmallTextOut(10, 10, 0, &rect, u"Wide");
  d.dc().SmallTextOut(10, 40, 0, nullptr, u"Bare");
  d.dc().SmallTextOut(10, 70, gdi::ETO_SMALL_CHARS, nullptr, u"Byte");
  d.dc().SmallTextOut(10, 100, gdi::ETO_SMALL_CHARS | gdi::ETO_CLIPPED, &rect, u"Clip");
  d.dc().ExtTextOutA(10, 130, 0, nullptr, "\x80 5", nullptr);
  d.dc().ExtTextOutW(10, 160, gdi::ETO_GLYPH_INDEX, nullptr, std::u16string{u'A' - 29, u'b' - 29}, nullptr);
  std::vector<TextRun> runs = d.Convert();
  ASSERT_EQ(runs.size(), 6u);
  const char16_t* expected[] = {u"Wide", u"Bare", u"Byte", u"Clip", u"\u20AC 5", u"Ab"};
  for (std::size_t i = 0; i < runs.size(); ++i) {
    ASSERT_EQ(runs[i].texts.size(), 1u) << i;
    EXPECT_EQ(runs[i].Text()->WideText(), expected[i]);
    EXPECT_EQ(At(runs[i].place).y, 10 + 30 * std::int32_t(i));
  }
  d.Save();
}

TEST(CanvasText, BlankHugeDamagedAndPathTextsMakeNothing) {
  TextDrawing d;
  d.dc().SetBkMode(gdi::TRANSPARENT);
  d.dc().SelectObject(d.dc().CreateFontIndirect(Font(u"Liberation Sans", -24)));
  d.dc().TextOut(10, 10, u"  \t");
  d.dc().BeginPath();
  d.dc().TextOut(10, 10, u"in a path");
  d.dc().EndPath();
  d.dc().SelectObject(d.dc().CreateFontIndirect(Font(u"Liberation Sans", -5000)));
  d.dc().TextOut(10, 10, u"huge");
  d.dc().SelectObject(d.dc().CreateFontIndirect(Font(u"Liberation Sans", -24)));
  d.dc().TextOut(10, 50, u"kept");
  d.dc().TextOut(10, 90, u"damaged");
  std::vector<std::uint8_t> bytes = d.dc().Close();
  // The last text claims a million characters.
  gdi::MetafileRecords mf(bytes.data(), bytes.size(), "x");
  const gdi::MetafileRecord* last = nullptr;
  for (const gdi::MetafileRecord& r : mf.Records())
    if (r.type == gdi::EMR_EXTTEXTOUTW) last = &r;
  ASSERT_TRUE(last);
  std::uint32_t lie = 1000000;
  std::memcpy(&bytes[std::size_t(last->data - bytes.data()) + 44], &lie, 4);
  d.canvas.DrawMetafile({0, 0, 400, 300}, bytes, false, "text.emf");
  ASSERT_TRUE(d.canvas.TopSprite());
  std::vector<TFlashPlaceObject*> placed = Placements(d.canvas.TopSprite());
  ASSERT_EQ(placed.size(), 1u);
  EXPECT_EQ(At(placed[0]).y, 50);
  d.Save();
}

}  // namespace
}  // namespace yel::swf
