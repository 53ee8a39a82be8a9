// Fonts and texts of the builder: character lists, outlines from the font
// engine, glyph indices matched to the written glyphs, static text records,
// text fields and their HTML, and the fonts the system resolves names to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "base/error.h"
#include "builder_test_util.h"
#include "platform/gdi/font_engine.h"
#include "swf/builder/flash_text.h"
#include "swf/format/font_tags.h"
#include "swf/format/text_tags.h"
#include "tests/testing/corpus.h"

namespace yel::swf {
namespace {

using testing::ReadMovie;
using testing::SaveMovie;

template <class T>
std::vector<T*> TagsOf(TSWFStreamReader& reader) {
  std::vector<T*> out;
  for (std::size_t i = 0; i < reader.TagCount(); ++i)
    if (auto* tag = dynamic_cast<T*>(reader.TagInfo(i).TagObject)) out.push_back(tag);
  return out;
}

TEST(FontTest, CharactersKeepCodeOrderAndVersion) {
  TFlashMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  TFlashFont* font = movie.AddFont("Arial", false, false, 12, false);
  font->AddChars(std::string("abca"));
  ASSERT_EQ(font->Chars().size(), 3u);
  EXPECT_EQ(font->Chars()[0]->Code, 'a');
  EXPECT_EQ(font->Chars()[2]->Code, 'c');
  EXPECT_FALSE(font->Wide);
  EXPECT_FALSE(font->AddChar('b')) << "present already";
  // The euro sign of Windows-1252 is ordered by its Unicode value.
  font->AddChar(0x80);
  EXPECT_EQ(font->Chars().back()->WideCode, 0x20AC);
  EXPECT_EQ(movie.Version(), 5);
  font->AddChars(std::u16string(u"\u03A9"));
  EXPECT_TRUE(font->Wide);
  EXPECT_EQ(movie.Version(), 6);
}

TEST(FontTest, OutlinesFromTheResolvedFaces) {
  // The three classic names resolve to the metric-compatible faces.
  for (auto [name, face] : {std::pair{"Arial", "Liberation Sans"}, {"Times New Roman", "Liberation Serif"},
                            {"Courier New", "Liberation Mono"}}) {
    auto resolved = gdi::FontFace::Open(name, false, false);
    EXPECT_EQ(resolved->FamilyName(), face);
  }
  // An unknown name falls back to the system's default face.
  EXPECT_FALSE(gdi::FontFace::Open("No Such Font Family", false, false)->FamilyName().empty());

  TFlashMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  TFlashFont* font = movie.AddFont("Arial", false, false, 24, false);
  font->AddChars(std::u16string(u"l \u0416"));
  font->MakeGlyphs();
  TFlashChar* l = font->FindChar('l');
  ASSERT_NE(l, nullptr);
  // Liberation Sans: 'l' advances 455/2048 of the em, the same as Arial.
  EXPECT_EQ(l->Advance, 228);
  // The stem of 'l' stands on the baseline and rises to about 0.73 em
  // (y runs downward in the movie).
  int y = 0, minY = 0, maxY = 0;
  for (const auto& record : l->Edges) {
    if (record->RecordKind == TSWFShapeRecordKind::StyleChange) {
      const auto& move = static_cast<const TSWFStyleChangeRecord&>(*record);
      if (move.StateMoveTo) y = move.DeltaY;
    } else if (record->RecordKind == TSWFShapeRecordKind::StraightEdge) {
      y += static_cast<const TSWFStraightEdgeRecord&>(*record).DeltaY;
    } else if (record->RecordKind == TSWFShapeRecordKind::CurvedEdge) {
      const auto& curve = static_cast<const TSWFCurvedEdgeRecord&>(*record);
      y += curve.ControlY + curve.AnchorY;
    }
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  }
  EXPECT_NEAR(minY, -742, 1);
  EXPECT_EQ(maxY, 0);
  EXPECT_TRUE(font->FindChar(' ')->GlyphMade);
  EXPECT_GT(font->FindChar(' ')->Advance, 200);
  EXPECT_FALSE(font->FindChar(0x416)->Edges.empty()) << "Cyrillic from the same face";
  EXPECT_GT(font->Ascent, 800);
  EXPECT_GT(font->Descent, 150);
}

// A font described with a CJK character set whose face name is not
// installed takes its glyphs from a face of that language (full-width kana,
// not the default face's missing glyph).
TEST(FontTest, CjkCharacterSetFallsBackToAFaceOfItsLanguage) {
  gdi::LogFont description;
  description.lfHeight = -24;
  description.lfWeight = 400;
  description.lfCharSet = 128;  // ShiftJIS
  const std::u16string name = u"No Such Font Family";
  std::copy(name.begin(), name.end(), description.lfFaceName);
  TFlashMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  TFlashFont* font = movie.AddFont(description, false);
  EXPECT_EQ(font->LanguageCode, 2);
  font->AddChars(std::u16string(u"\u3042"));
  font->MakeGlyphs();
  const TFlashChar* kana = font->Chars()[0].get();
  EXPECT_EQ(kana->Advance, 1024);
  EXPECT_GT(kana->Edges.size(), 10u);
}

// Static text glyph entries name the glyph written for their character,
// also where Windows-1252 codes and Unicode order differ.
TEST(TextTest, GlyphIndicesMatchTheWrittenGlyphs) {
  for (bool wide : {false, true}) {
    TFlashMovie movie(0, 0, 400, 100, 12, TSWFSystemCoord::Pix);
    movie.SetVersion(wide ? 6 : 5);
    TFlashFont* font = movie.AddFont("Arial", false, false, 20, false);
    TFlashText* text = movie.AddText();
    text->SetFont(font);
    // 0x80 is the euro sign (U+20AC), ordered after 0x9C (U+0153) by its
    // Unicode value but before it by its byte.
    if (wide) text->SetWideText(u"z\u20AC\u0153a\u03A9");
    else text->SetText("z\x80\x9C" "a");
    text->SetHeight(20);
    text->Positioned = true;
    movie.PlaceObject(text, 1);
    movie.ShowFrame();
    auto read = ReadMovie(SaveMovie(movie, wide ? "_wide" : "_ansi"));
    auto fonts = TagsOf<TSWFDefineFont2>(*read);
    auto texts = TagsOf<TSWFDefineText>(*read);
    ASSERT_EQ(fonts.size(), 1u);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(fonts[0]->WideCodes, wide);
    std::vector<std::uint16_t> expected =
        wide ? std::vector<std::uint16_t>{'z', 0x20AC, 0x153, 'a', 0x3A9} : std::vector<std::uint16_t>{'z', 0x80, 0x9C, 'a'};
    const auto& entries = texts[0]->TextRecords[0]->GlyphEntries;
    ASSERT_EQ(entries.size(), expected.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      ASSERT_LT(entries[i].GlyphIndex, fonts[0]->Codes.size());
      EXPECT_EQ(fonts[0]->Codes[entries[i].GlyphIndex], expected[i]) << i;
    }
    EXPECT_TRUE(std::is_sorted(fonts[0]->Codes.begin(), fonts[0]->Codes.end()));
  }
}

TEST(TextTest, AdvancesBoundsAndRecord) {
  TFlashMovie movie(0, 0, 400, 100, 12, TSWFSystemCoord::Twips);
  TFlashFont* font = movie.AddFont("Arial", false, false, 400, false);
  TFlashText* text = movie.AddText(u"ll", SWFRGBA(255, 0, 0, 255), font, TRect{3000, 1000, 0, 0}, 1);
  text->SetCharSpacing(7);
  font->MakeGlyphs();
  font->FindChar('l')->Advance = 600;
  TSWFRectRec bounds = text->TextBounds();
  EXPECT_EQ(bounds.XMax, 3000) << "right-aligned text ends at its position";
  EXPECT_EQ(bounds.YMin, 1000);
  movie.PlaceObject(text, 1);
  movie.ShowFrame();
  auto read = ReadMovie(SaveMovie(movie));
  auto texts = TagsOf<TSWFDefineText>(*read);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0]->TagID, tag::DefineText);
  const TSWFTextRecord& record = *texts[0]->TextRecords[0];
  EXPECT_EQ(record.GlyphEntries[0].GlyphAdvance, 234 + 7) << "round(600 / 1024 * 400) + spacing";
  EXPECT_EQ(record.TextHeight(), 400);
  EXPECT_EQ(record.XOffset(), bounds.XMin);
  EXPECT_EQ(record.YOffset(), std::lround(font->Ascent / 1024.0 * 400) + 1000);
  EXPECT_EQ(record.ColorIfAny()->RGBA(), SWFRGBA(255, 0, 0, 255));

  // A translucent colour makes a DefineText2.
  TFlashText* faint = movie.AddText(u"l", SWFRGBA(0, 0, 0, 100), font, TRect{0, 0, 0, 0});
  faint->SetFont(font);
  EXPECT_EQ(faint->MinVersion(), 3);
}

// Kerning: off, advances are the glyphs' own; on, each advance takes the
// pair it starts (Liberation Sans kerns "AV" by -152 and "To" by -227 of its
// 2048 units), the right-aligned text still ends at its position, and the
// font carries the pairs among its written characters.
TEST(TextTest, KerningOfAdvancesAndFontRecords) {
  for (bool kerned : {false, true}) {
    SCOPED_TRACE(kerned ? "kerned" : "not kerned");
    TFlashMovie movie(0, 0, 400, 100, 12, TSWFSystemCoord::Twips);
    movie.SetVersion(8);
    TFlashFont* font = movie.AddFont("Arial", false, false, 2048, false);
    font->HasKerning = kerned;
    TFlashText* text = movie.AddText(u"AVTo", SWFRGBA(0, 0, 0, 255), font, TRect{6000, 0, 0, 0}, 1);
    font->SetHasLayout(true);
    font->MakeGlyphs();
    const std::int32_t a = font->FindChar('A')->Advance, v = font->FindChar('V')->Advance,
                       t = font->FindChar('T')->Advance, o = font->FindChar('o')->Advance;
    TSWFRectRec bounds = text->TextBounds();
    movie.PlaceObject(text, 1);
    movie.ShowFrame();
    auto read = ReadMovie(SaveMovie(movie, kerned ? "_kerned" : "_plain"));
    auto texts = TagsOf<TSWFDefineText>(*read);
    auto fonts = TagsOf<TSWFDefineFont2>(*read);
    ASSERT_EQ(texts.size(), 1u);
    ASSERT_EQ(fonts.size(), 1u);
    std::vector<std::int32_t> advances;
    std::int32_t width = 0;
    for (const auto& entry : texts[0]->TextRecords[0]->GlyphEntries) {
      advances.push_back(entry.GlyphAdvance);
      width += entry.GlyphAdvance;
    }
    // Text height 2048 twips: two twips to an em unit.
    const std::vector<std::int32_t> expected =
        kerned ? std::vector<std::int32_t>{2 * (a - 76), 2 * v, 2 * (t - 114), 2 * o}
               : std::vector<std::int32_t>{2 * a, 2 * v, 2 * t, 2 * o};
    EXPECT_EQ(advances, expected);
    EXPECT_EQ(bounds.XMax, 6000);
    EXPECT_NEAR(bounds.XMax - bounds.XMin, width, 4) << "the bounds measure the kerned text";
    const std::vector<TSWFKerningRecord> wanted = {{'A', 'V', -76}, {'T', 'o', -114}};
    for (const TSWFKerningRecord& k : wanted) {
      const bool present = std::find(fonts[0]->Kerning.begin(), fonts[0]->Kerning.end(), k) != fonts[0]->Kerning.end();
      EXPECT_EQ(present, kerned) << char(k.KerningCode1) << char(k.KerningCode2);
    }
    for (const TSWFKerningRecord& k : fonts[0]->Kerning) {
      EXPECT_NE(std::find(fonts[0]->Codes.begin(), fonts[0]->Codes.end(), k.KerningCode1), fonts[0]->Codes.end());
      EXPECT_NE(std::find(fonts[0]->Codes.begin(), fonts[0]->Codes.end(), k.KerningCode2), fonts[0]->Codes.end());
    }
  }
}

// A font taken from a movie keeps its kerning records: its static texts are
// kerned by them and it writes them again, in its own code width (a font of
// single-byte codes finds its pairs by their Unicode values: 0x80 is the euro
// sign).
TEST(TextTest, KerningOfAFontFromAMovie) {
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "wide codes" : "single-byte codes");
    const std::uint16_t euro = wide ? 0x20AC : 0x80;
    TSWFDefineFont2 source;
    source.HasLayout = true;
    source.ANSI = !wide;
    source.WideCodes = wide;
    source.FontName = "Loaded";
    source.Codes = {'A', 'V', euro};
    source.Glyphs.resize(3);
    source.Advances = {600, 600, 700};
    source.Bounds.resize(3);
    source.Kerning = {{'A', 'V', -100}, {'V', euro, 50}};
    TFlashMovie movie(0, 0, 400, 100, 12, TSWFSystemCoord::Twips);
    movie.SetVersion(8);
    TFlashFont* font = movie.AddFont();
    font->SetFromDefineFont2(source);
    EXPECT_TRUE(font->HasKerning);
    EXPECT_EQ(font->KerningOf('V', 0x20AC), 50);
    TFlashText* text = movie.AddText();
    text->SetFont(font);
    if (wide) text->SetWideText(u"AV\u20AC");
    else text->SetText("AV\x80");
    text->SetHeight(1024);
    movie.PlaceObject(text, 1);
    movie.ShowFrame();
    // swf-parser reads kerning codes as 16-bit whatever the font's code
    // width, so only the wide font's movie goes to its check.
    std::vector<std::uint8_t> bytes;
    if (wide) {
      bytes = SaveMovie(movie);
    } else {
      movie.MakeStream();
      TMemoryStream out;
      movie.SaveToStream(out);
      bytes = out.TakeBytes();
    }
    auto read = ReadMovie(bytes);
    auto texts = TagsOf<TSWFDefineText>(*read);
    auto fonts = TagsOf<TSWFDefineFont2>(*read);
    ASSERT_EQ(texts.size(), 1u);
    ASSERT_EQ(fonts.size(), 1u);
    const auto& entries = texts[0]->TextRecords[0]->GlyphEntries;
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].GlyphAdvance, 500);
    EXPECT_EQ(entries[1].GlyphAdvance, 650);
    EXPECT_EQ(entries[2].GlyphAdvance, 700);
    EXPECT_EQ(fonts[0]->WideCodes, wide);
    EXPECT_EQ(fonts[0]->Kerning, source.Kerning);
  }
}

// The largest absolute coordinate an outline reaches.
std::int64_t OutlineReach(const TSWFShapeRecords& records) {
  std::int64_t x = 0, y = 0, reach = 0;
  for (const auto& record : records) {
    if (record->RecordKind == TSWFShapeRecordKind::StyleChange) {
      const auto& s = static_cast<const TSWFStyleChangeRecord&>(*record);
      if (s.StateMoveTo) x = s.DeltaX, y = s.DeltaY;
    } else if (record->RecordKind == TSWFShapeRecordKind::StraightEdge) {
      const auto& e = static_cast<const TSWFStraightEdgeRecord&>(*record);
      x += e.DeltaX, y += e.DeltaY;
    } else if (record->RecordKind == TSWFShapeRecordKind::CurvedEdge) {
      const auto& c = static_cast<const TSWFCurvedEdgeRecord&>(*record);
      x += c.ControlX + c.AnchorX, y += c.ControlY + c.AnchorY;
    }
    reach = std::max({reach, x < 0 ? -x : x, y < 0 ? -y : y});
  }
  return reach;
}

// A DefineFont3 (em square 20480) loaded from a real movie comes to the
// DefineFont2 scale (1024) in which the font writes its glyphs: outlines,
// advances, ascent and descent divided by 20.
TEST(FontTest, DefineFont3FromAMovieIsScaledToTheDefineFont2Em) {
  const std::string file = yel::testing::CorpusMovie("avm1__edittext_bullet__test.swf");
  const std::vector<std::uint8_t> bytes = ReadFileBytes(file);
  TSWFStreamReader source;
  source.LoadFromBytes(bytes.data(), bytes.size(), file);
  source.ParseTags(true, false);
  auto font3s = TagsOf<TSWFDefineFont3>(source);
  ASSERT_EQ(font3s.size(), 1u);
  const TSWFDefineFont3& font3 = *font3s[0];
  ASSERT_TRUE(font3.HasLayout);
  ASSERT_FALSE(font3.Glyphs.empty());

  TFlashMovie movie(0, 0, 400, 100, 12, TSWFSystemCoord::Twips);
  movie.SetVersion(8);
  TFlashFont* font = movie.AddFont();
  ASSERT_TRUE(font->LoadFromFile(file));
  EXPECT_EQ(font->Ascent, std::lround(font3.Ascent / 20.0));
  EXPECT_EQ(font->Descent, std::lround(font3.Descent / 20.0));
  std::int64_t widest = 0;
  for (std::size_t i = 0; i < font3.Glyphs.size(); ++i) {
    SCOPED_TRACE("glyph " + std::to_string(font3.Codes[i]));
    const TFlashChar* c = font->FindChar(font3.Codes[i]);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Advance, std::lround(font3.Advances[i] / 20.0));
    const std::int64_t reach = OutlineReach(c->Edges);
    EXPECT_NEAR(double(reach), OutlineReach(font3.Glyphs[i]) / 20.0, 1.0);
    widest = std::max(widest, reach);
  }
  // Outlines of a 1024 em, not of 20 times that.
  EXPECT_GT(widest, 100);
  EXPECT_LT(widest, 2048);
}

TEST(TextTest, TextFields) {
  TFlashMovie movie(0, 0, 400, 100, 12, TSWFSystemCoord::Pix);
  movie.SetVersion(6);
  TFlashFont* device = movie.AddFont("Arial", true, true, 12, true);
  TFlashText* field = movie.AddDynamicText("v", u"Hi \u00E9", TRect{10, 10, 200, 40}, device, SWFRGBA(0, 0, 255, 255));
  field->SetHTML(true);
  EXPECT_EQ(field->MinVersion(), 4);
  EXPECT_EQ(device->UsedBy, 2);
  movie.PlaceObject(field, 1);
  movie.ShowFrame();
  auto read = ReadMovie(SaveMovie(movie));
  auto fonts = TagsOf<TSWFDefineFont2>(*read);
  auto fields = TagsOf<TSWFDefineEditText>(*read);
  ASSERT_EQ(fonts.size(), 1u);
  ASSERT_EQ(fields.size(), 1u);
  EXPECT_TRUE(fonts[0]->HasLayout) << "a device font of a text field has its layout";
  EXPECT_TRUE(fonts[0]->Glyphs.empty());
  EXPECT_EQ(fields[0]->InitialText, "<font face=\"Arial\"><b><i>Hi \xC3\xA9</i></b></font>");
  EXPECT_EQ(fields[0]->VariableName, "v");
  EXPECT_EQ(fields[0]->Bounds.Rect(), (TRect{200, 200, 4000, 800}));
  EXPECT_FALSE(fields[0]->UseOutlines);
  EXPECT_EQ(fields[0]->FontHeight, 240);
}

TEST(TextTest, StaticTextWithoutCharactersWritesNothing) {
  TFlashMovie movie(0, 0, 400, 100, 12, TSWFSystemCoord::Pix);
  TFlashFont* font = movie.AddFont("Arial", false, false, 12, false);
  TFlashText* text = movie.AddText(u"", SWFRGBA(0, 0, 0, 255), font, TRect{});
  (void)text;
  movie.ShowFrame();
  auto read = ReadMovie(SaveMovie(movie));
  EXPECT_TRUE(TagsOf<TSWFDefineText>(*read).empty());
}

}  // namespace
}  // namespace yel::swf
