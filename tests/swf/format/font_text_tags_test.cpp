// Font and text tags: glyph tables and their offset widths, font info codes,
// text records, text fields, renumbering of fonts and the texts that use
// them, damaged tags, and the real movies' font and text tags byte for byte.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

#include "base/error.h"
#include "swf/format/font_tags.h"
#include "swf/format/swf_stream.h"
#include "swf/format/tag_factory.h"
#include "swf/format/text_tags.h"
#include "tests/swf/format/tag_bodies.h"
#include "tests/testing/corpus.h"

namespace yel::swf {
namespace {

using testing::As;
using testing::Body;
using testing::Bytes;
using testing::ReadAs;
using testing::ReadBody;

// A square glyph of side `size` em units, its sides cut in `pieces` edges.
TSWFGlyph Square(int size, int pieces = 1) {
  TSWFGlyph glyph;
  auto move = std::make_unique<TSWFStyleChangeRecord>();
  move->StateMoveTo = true;
  move->SetFill1(1);
  glyph.push_back(std::move(move));
  const int step = size / pieces;
  for (auto [dx, dy] : {std::pair{step, 0}, {0, step}, {-step, 0}, {0, -step}})
    for (int i = 0; i < pieces; ++i) glyph.push_back(std::make_unique<TSWFStraightEdgeRecord>(dx, dy));
  return glyph;
}

TSWFDefineFont2 FontOf(std::size_t glyphs, int pieces = 1) {
  TSWFDefineFont2 font;
  font.FontID = 3;
  font.FontName = "Test";
  font.WideCodes = true;
  for (std::size_t i = 0; i < glyphs; ++i) {
    font.Glyphs.push_back(Square(30000, pieces));
    font.Codes.push_back(static_cast<std::uint16_t>(0x400 + i));
  }
  return font;
}

TEST(DefineFont2Test, OffsetWidthFollowsGlyphCountAndDataSize) {
  struct Case {
    std::size_t glyphs;
    int pieces;
    bool wide;
  } cases[] = {{100, 1, false}, {128, 1, false}, {129, 1, true}, {200, 1, true},
               // 100 glyphs of 400 edges: more than 64 KB of glyph data
               {100, 100, true}};
  for (const Case& c : cases) {
    TSWFDefineFont2 font = FontOf(c.glyphs, c.pieces);
    Bytes body = Body(font);
    EXPECT_EQ(body[2] & 0x08, c.wide ? 0x08 : 0) << c.glyphs << " glyphs of " << c.pieces * 4 << " edges";
    auto back = ReadBody(tag::DefineFont2, body);
    auto& read = As<TSWFDefineFont2>(back);
    ASSERT_EQ(read.Glyphs.size(), c.glyphs);
    EXPECT_EQ(read.Codes, font.Codes);
    EXPECT_EQ(read.FontName, "Test");
    EXPECT_EQ(Body(read), body);
  }
}

TEST(DefineFont2Test, LayoutKerningAndTheAnsiFlagWithoutCodes) {
  TSWFDefineFont2 font = FontOf(2);
  font.HasLayout = true;
  font.Ascent = 900;
  font.Descent = 200;
  font.Leading = -10;
  font.Advances = {500, -20};
  font.Bounds = {{0, 500, -700, 0}, {0x3FFFFFFF, 0, 0x3FFFFFFF, 0}};
  font.Kerning = {{0x400, 0x401, -30}};
  font.Italic = font.Bold = true;
  auto back = ReadBody(tag::DefineFont3, Body(font));
  auto& read = As<TSWFDefineFont2>(back);
  EXPECT_EQ(read.TagID, tag::DefineFont3);
  EXPECT_TRUE(read.HasLayout && read.Italic && read.Bold && read.WideCodes);
  EXPECT_EQ(read.Ascent, 900);
  EXPECT_EQ(read.Descent, 200);
  EXPECT_EQ(read.Leading, -10);
  EXPECT_EQ(read.Advances, font.Advances);
  EXPECT_EQ(read.Bounds, font.Bounds) << "an empty box as producers mark it stays";
  EXPECT_EQ(read.Kerning, font.Kerning);

  // A font without glyphs: the layout alone, with or without a code table
  // offset before it.
  for (bool offset : {false, true}) {
    TSWFDefineFont2 empty;
    empty.FontName = "Device";
    empty.HasLayout = true;
    empty.Ascent = 5;
    empty.Kerning = {{1, 2, 3}};
    empty.EmptyCodeTableOffset = offset;
    Bytes body = Body(empty);
    EXPECT_EQ(body.size(), 13 + (offset ? 2 : 0) + 8 + 4u);
    auto again = ReadBody(tag::DefineFont2, body);
    EXPECT_EQ(As<TSWFDefineFont2>(again).Ascent, 5);
    EXPECT_EQ(As<TSWFDefineFont2>(again).Kerning, empty.Kerning);
    EXPECT_EQ(Body(*again), body);
  }
}

TEST(DefineFont2Test, NamesAreUtf8FromVersion6) {
  TSWFDefineFont2 font;
  font.FontName = "Caf\xE9";  // Windows-1252
  font.SWFVersion = 5;
  EXPECT_EQ(Body(font)[4], 4);
  font.SWFVersion = 6;
  Bytes body = Body(font);
  EXPECT_EQ(body[4], 5);
  EXPECT_EQ(As<TSWFDefineFont2>(ReadBody(tag::DefineFont2, body)).FontName, "Caf\xC3\xA9");
}

TEST(DefineFontTest, GlyphsAndFontInfoCodes) {
  TSWFDefineFont font;
  font.FontID = 7;
  for (int i = 0; i < 5; ++i) font.Glyphs.push_back(Square(10 + i));
  Bytes body = Body(font);
  EXPECT_EQ(body[2], 10);  // the first offset: 5 offsets of 2 bytes
  auto back = ReadBody(tag::DefineFont, body);
  EXPECT_EQ(As<TSWFDefineFont>(back).Glyphs.size(), 5u);
  EXPECT_EQ(Body(*back), body);

  for (bool wide : {false, true}) {
    TSWFDefineFontInfo info;
    info.FontID = 7;
    info.FontName = "Arial";
    info.WideCodes = wide;
    info.Bold = true;
    info.Codes = {'a', 'b', 'c', 'd', wide ? std::uint16_t{0x3A9} : std::uint16_t{'e'}};
    Bytes infoBody = Body(info);
    EXPECT_EQ(infoBody.size(), 2 + 6 + 1 + 5u * (wide ? 2 : 1));
    auto read = ReadBody(tag::DefineFontInfo, infoBody);
    EXPECT_EQ(As<TSWFDefineFontInfo>(read).Codes, info.Codes);
    EXPECT_TRUE(As<TSWFDefineFontInfo>(read).Bold);
  }
  TSWFDefineFontInfo2 info2;
  info2.LanguageCode = 2;
  info2.Codes = {0x3A9};
  Bytes body2 = Body(info2);
  EXPECT_EQ(body2[3], 0x01) << "always wide";
  auto read2 = ReadBody(tag::DefineFontInfo2, body2);
  EXPECT_EQ(As<TSWFDefineFontInfo2>(read2).LanguageCode, 2);
  EXPECT_EQ(As<TSWFDefineFontInfo2>(read2).Codes, info2.Codes);
}

TEST(DefineFontAlignZonesTest, MasksInTheLowestBits) {
  TSWFDefineFontAlignZones zones;
  zones.FontID = 4;
  zones.CSMTableHint = 1;
  zones.ZoneTable.push_back({{{0x1234, 0x5678}, {1, 2}}, true, false});
  zones.ZoneTable.push_back({{{3, 4}, {5, 6}}, false, true});
  Bytes body = Body(zones);
  EXPECT_EQ(body[2], 0x40);
  EXPECT_EQ(body[3 + 9], 0x01) << "MaskX";
  EXPECT_EQ(body[3 + 10 + 9], 0x02) << "MaskY";
  auto back = ReadBody(tag::DefineFontAlignZones, body);
  EXPECT_EQ(As<TSWFDefineFontAlignZones>(back).ZoneTable, zones.ZoneTable);
}

TEST(DefineTextTest, RecordsColoursOffsetsAndLongRuns) {
  for (bool alpha : {false, true}) {
    auto text = alpha ? std::unique_ptr<TSWFDefineText>(new TSWFDefineText2) : std::make_unique<TSWFDefineText>();
    text->CharacterID = 9;
    text->TextBounds.SetRect(TRect{-100, -200, 3000, 400});
    text->GlyphBits = 9;
    text->AdvanceBits = 8;
    TSWFTextRecord& record = text->AddRecord();
    record.SetFontID(3);
    record.SetTextHeight(480);
    record.Color().SetRGBA(SWFRGBA(10, 20, 30, 128));
    record.SetXOffset(-40);
    record.SetYOffset(300);
    for (int i = 0; i < 300; ++i) record.GlyphEntries.push_back({static_cast<std::uint32_t>(i), i % 2 ? -50 : 100});
    Bytes body = Body(*text);
    auto back = ReadBody(text->TagID, body);
    auto& read = As<TSWFDefineText>(back);
    ASSERT_EQ(read.TextRecords.size(), 2u) << "300 glyphs: a record of 255 and one of 45";
    const TSWFTextRecord& first = *read.TextRecords[0];
    EXPECT_EQ(first.FontID(), 3);
    EXPECT_EQ(first.TextHeight(), 480);
    EXPECT_EQ(first.XOffset(), -40);
    EXPECT_EQ(first.YOffset(), 300);
    EXPECT_EQ(first.ColorIfAny()->A(), alpha ? 128 : 255);
    EXPECT_EQ(first.GlyphEntries.size(), 255u);
    EXPECT_EQ(read.TextRecords[1]->GlyphEntries.back(), (TSWFGlyphEntry{299, -50}));
    EXPECT_FALSE(read.TextRecords[1]->HasFont || read.TextRecords[1]->HasColor);
    EXPECT_EQ(read.TextBounds.Rect(), (TRect{-100, -200, 3000, 400}));
    EXPECT_EQ(Body(read), body);
  }
  // The colour takes 3 bytes in DefineText, 4 in DefineText2.
  TSWFDefineText plain;
  TSWFDefineText2 withAlpha;
  plain.AddRecord().Color();
  withAlpha.AddRecord().Color();
  EXPECT_EQ(Body(withAlpha).size(), Body(plain).size() + 1);
}

TEST(DefineEditTextTest, FieldsStringsAndVersion) {
  TSWFDefineEditText field;
  field.CharacterID = 5;
  field.Bounds.SetRect(TRect{0, 0, 2000, 400});
  field.VariableName = "v";
  field.HasFont = true;
  field.FontID = 3;
  field.FontHeight = 240;
  field.TextColor().SetRGBA(SWFRGBA(255, 0, 0, 255));
  field.HasLayout = true;
  field.Align = 2;
  field.Leading = -20;
  field.HasMaxLength = true;
  field.MaxLength = 12;
  EXPECT_EQ(field.MinVersion(), 4);
  Bytes noText = Body(field);
  EXPECT_EQ(noText.back(), 0) << "the variable name ends the tag";
  EXPECT_EQ(noText[noText.size() - 2], 'v');

  field.HasText = true;
  field.AutoSize = true;
  EXPECT_EQ(field.MinVersion(), 6);
  field.WideInitialText = u"\u03A9 \u0416 \u00E9";
  Bytes body = Body(field);
  auto back = ReadBody(tag::DefineEditText, body);
  auto& read = As<TSWFDefineEditText>(back);
  EXPECT_EQ(read.InitialText, "\xCE\xA9 \xD0\x96 \xC3\xA9");
  EXPECT_EQ(read.TextColorIfAny()->RGBA(), SWFRGBA(255, 0, 0, 255));
  EXPECT_EQ(read.Align, 2);
  EXPECT_EQ(read.Leading, -20);
  EXPECT_EQ(read.MaxLength, 12);
  EXPECT_EQ(read.VariableName, "v");
  EXPECT_EQ(Body(read), body);

  // Single-byte text becomes UTF-8 from version 6 on, HTML text stays.
  field.WideInitialText.clear();
  field.InitialText = "caf\xE9";
  field.SWFVersion = 5;
  EXPECT_EQ(As<TSWFDefineEditText>(ReadBody(37, Body(field))).InitialText, "caf\xE9");
  field.SWFVersion = 6;
  EXPECT_EQ(As<TSWFDefineEditText>(ReadBody(37, Body(field))).InitialText, "caf\xC3\xA9");
  field.HTML = true;
  EXPECT_EQ(As<TSWFDefineEditText>(ReadBody(37, Body(field))).InitialText, "caf\xE9");
}

TEST(CSMTextSettingsTest, Fields) {
  TSWFCSMTextSettings settings;
  settings.TextID = 4;
  settings.UseFlashType = 1;
  settings.GridFit = 2;
  settings.Thickness = -1.5f;
  settings.Sharpness = 100;
  Bytes body = Body(settings);
  EXPECT_EQ(body.size(), 12u);
  EXPECT_EQ(body[2], 0x50);
  auto back = ReadBody(tag::CSMTextSettings, body);
  auto& read = As<TSWFCSMTextSettings>(back);
  EXPECT_EQ(read.Thickness, -1.5f);
  EXPECT_EQ(read.Sharpness, 100);
  EXPECT_EQ(read.GridFit, 2);
}

// Damaged bodies become error tags (the reader keeps their bytes) instead
// of reading out of bounds or allocating what a count claims.
TEST(FontTextDamageTest, DamagedTagsFailToRead) {
  TSWFDefineFont2 good = FontOf(3);
  Bytes font2 = Body(good);
  Bytes pastTheTag = font2;
  pastTheTag[14] = 0xF0;  // the second glyph offset, high byte
  Bytes manyGlyphs = {1, 0, 0x04, 0, 0, 0xFF, 0xFF, 0, 0};  // 65,535 glyphs in nine bytes
  Bytes codeTable = font2;
  codeTable[18] = 0xFF;  // the code table offset, high byte
  TSWFDefineText text;
  text.GlyphBits = 8;
  text.AdvanceBits = 8;
  text.AddRecord().GlyphEntries.resize(10);
  Bytes shortText = Body(text);
  shortText.resize(shortText.size() - 6);
  Bytes unterminated = {1, 0, 0, 0x80, 0, 'v', 0, 'a', 'b', 'c'};
  Bytes noVariable = {1, 0, 0, 0x00, 0, 'v'};
  Bytes font1 = {1, 0, 4, 0, 0x10, 0};  // two offsets, the second past the tag
  struct Case {
    const char* what;
    std::uint16_t code;
    Bytes body;
  } cases[] = {
      {"glyph offset past the tag", tag::DefineFont2, pastTheTag},
      {"65,535 glyphs claimed", tag::DefineFont2, manyGlyphs},
      {"code table past the tag", tag::DefineFont2, codeTable},
      {"DefineFont offset past the tag", tag::DefineFont, font1},
      {"glyph count larger than the record", tag::DefineText, shortText},
      {"unterminated initial text", tag::DefineEditText, unterminated},
      {"unterminated variable name", tag::DefineEditText, noVariable},
  };
  for (const Case& c : cases) EXPECT_THROW(ReadBody(c.code, c.body), Error) << c.what;

  // In a file: an error tag with the bytes kept, the next tag read as usual.
  TMemoryStream file;
  {
    Bytes movie = {'F', 'W', 'S', 8, 0, 0, 0, 0, 0x00, 0, 12, 1, 0};
    auto tagBytes = [&](std::uint16_t code, const Bytes& body) {
      std::uint16_t word = static_cast<std::uint16_t>(code << 6 | 0x3F);
      movie.insert(movie.end(), {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
                                 static_cast<std::uint8_t>(body.size()), 0, 0, 0});
      movie.insert(movie.end(), body.begin(), body.end());
    };
    tagBytes(tag::DefineFont2, manyGlyphs);
    tagBytes(tag::DefineFont2, font2);
    tagBytes(tag::End, {});
    for (int i = 0; i < 4; ++i) movie[4 + i] = static_cast<std::uint8_t>(movie.size() >> (8 * i));
    file.Write(movie.data(), movie.size());
  }
  TSWFStreamReader reader;
  reader.LoadFromStream(file, "damaged.swf");
  reader.ParseTags();
  ASSERT_EQ(reader.TagCount(), 3u);
  auto& error = dynamic_cast<TSWFByteCodeTag&>(*reader.TagInfo(0).TagObject);
  EXPECT_EQ(error.TagCode, tag::DefineFont2);
  EXPECT_EQ(Bytes(error.Data(), error.Data() + error.DataSize()), manyGlyphs);
  EXPECT_NE(error.Description.find("glyph offsets"), std::string::npos) << error.Description;
  EXPECT_NE(dynamic_cast<TSWFDefineFont2*>(reader.TagInfo(1).TagObject), nullptr);
}

// Fonts and texts get new ids, and every tag that names them follows.
TEST(FontTextRenumberTest, ReferencesFollowTheirFonts) {
  TSWFStreamReader reader;
  {
    TMemoryStream file;
    Bytes movie = {'F', 'W', 'S', 8, 0, 0, 0, 0, 0x00, 0, 12, 1, 0};
    auto add = [&](TSWFObject& tag) {
      TMemoryStream one;
      TBitsEngine be(one);
      tag.WriteToStream(be);
      movie.insert(movie.end(), one.Bytes().begin(), one.Bytes().end());
    };
    TSWFDefineFont2 font = FontOf(1);
    font.FontID = 40;
    TSWFDefineFontAlignZones zones;
    zones.FontID = 40;
    TSWFDefineFontName name;
    name.FontID = 40;
    TSWFDefineText text;
    text.CharacterID = 41;
    text.AddRecord().SetFontID(40);
    TSWFCSMTextSettings settings;
    settings.TextID = 41;
    TSWFDefineEditText field;
    field.CharacterID = 42;
    field.HasFont = true;
    field.FontID = 40;
    TSWFDefineFont old;
    old.FontID = 43;
    TSWFDefineFontInfo info;
    info.FontID = 43;
    for (TSWFObject* tag : std::initializer_list<TSWFObject*>{&font, &zones, &name, &text, &settings, &field, &old,
                                                              &info})
      add(*tag);
    for (int i = 0; i < 4; ++i) movie[4 + i] = static_cast<std::uint8_t>(movie.size() >> (8 * i));
    file.Write(movie.data(), movie.size());
    reader.LoadFromStream(file, "fonts.swf");
  }
  reader.ParseTags();
  EXPECT_EQ(reader.RenumberCharacters(100), 104);
  auto at = [&](std::size_t i) { return reader.TagInfo(i).TagObject; };
  EXPECT_EQ(dynamic_cast<TSWFDefineFont2&>(*at(0)).FontID, 100);
  EXPECT_EQ(dynamic_cast<TSWFDefineFontAlignZones&>(*at(1)).FontID, 100);
  EXPECT_EQ(dynamic_cast<TSWFDefineFontName&>(*at(2)).FontID, 100);
  EXPECT_EQ(dynamic_cast<TSWFDefineText&>(*at(3)).CharacterID, 101);
  EXPECT_EQ(dynamic_cast<TSWFDefineText&>(*at(3)).TextRecords[0]->FontID(), 100);
  EXPECT_EQ(dynamic_cast<TSWFCSMTextSettings&>(*at(4)).TextID, 101);
  EXPECT_EQ(dynamic_cast<TSWFDefineEditText&>(*at(5)).CharacterID, 102);
  EXPECT_EQ(dynamic_cast<TSWFDefineEditText&>(*at(5)).FontID, 100);
  EXPECT_EQ(dynamic_cast<TSWFDefineFont&>(*at(6)).FontID, 103);
  EXPECT_EQ(dynamic_cast<TSWFDefineFontInfo&>(*at(7)).FontID, 103);
}

// Real movies: every font and text tag reads without error and writes back
// byte for byte; glyph outlines and empty glyph bounds, which producers
// encode with wider fields than we do, come back with the same values and
// a second pass gives the same bytes (swf-parser compares the values of the
// written movies too).
TEST(FontTextCorpusTest, TagsComeBackByteForByte) {
  auto mine = [](int code) {
    switch (code) {
      case tag::DefineFont: case tag::DefineText: case tag::DefineFontInfo: case tag::DefineText2:
      case tag::DefineEditText: case tag::DefineFont2: case tag::DefineFontInfo2: case tag::DefineFontAlignZones:
      case tag::CSMTextSettings: case tag::DefineFont3: case tag::DefineFontName:
        return true;
      default:
        return false;
    }
  };
  std::map<int, int> tags;
  for (const auto& path : yel::testing::CorpusMovies()) {
    const std::string name = path.filename().string();
    TSWFStreamReader reader(path.string());
    reader.ParseTags();
    const Bytes& body = reader.BodyStream().Bytes();
    for (std::size_t i = 0; i < reader.TagCount(); ++i) {
      const TSWFTagInfo& entry = reader.TagInfo(i);
      if (entry.TagID == tag::ErrorTag) {
        auto& error = dynamic_cast<TSWFByteCodeTag&>(*entry.TagObject);
        EXPECT_FALSE(mine(error.TagCode)) << name << ": " << error.Description;
      }
      if (!mine(entry.TagID)) continue;
      ++tags[entry.TagID];
      std::uint64_t start = entry.Position + (entry.IsLongHeader ? 6 : 2);
      Bytes original(body.begin() + start, body.begin() + start + entry.Length);
      Bytes written = Body(*entry.TagObject);
      if (auto* font = dynamic_cast<TSWFDefineFont*>(entry.TagObject)) {
        auto again = ReadBody(entry.TagID, written, reader.Version());
        EXPECT_EQ(As<TSWFDefineFont>(again).Glyphs.size(), font->Glyphs.size()) << name << " tag " << i;
        EXPECT_EQ(Body(*again), written) << name << " tag " << i;
        if (auto* font2 = dynamic_cast<TSWFDefineFont2*>(font)) {
          EXPECT_EQ(As<TSWFDefineFont2>(again).Codes, font2->Codes) << name << " tag " << i;
          EXPECT_EQ(As<TSWFDefineFont2>(again).Advances, font2->Advances) << name << " tag " << i;
        }
        continue;
      }
      if (written != original) {
        std::size_t at = 0;
        while (at < written.size() && at < original.size() && written[at] == original[at]) ++at;
        ADD_FAILURE() << name << " tag " << i << " (" << TagName(entry.TagID) << "): " << written.size()
                      << " bytes written, " << original.size() << " read; first difference at " << at;
      }
    }
  }
  EXPECT_GE(tags[tag::DefineEditText], 20);
  EXPECT_GE(tags[tag::DefineFont2] + tags[tag::DefineFont3], 15);
  EXPECT_GE(tags[tag::DefineFontAlignZones], 3);
}

}  // namespace
}  // namespace yel::swf
