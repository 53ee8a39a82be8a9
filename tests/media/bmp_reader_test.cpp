#include "media/bmp_reader.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/error.h"
#include "tests/testing/picture_fixtures.h"

namespace yel::media {
namespace {

using testing::BmpSpec;
using testing::MakeBmp;

using Bytes = std::vector<std::uint8_t>;
const TRGBQuad kRed{0, 0, 255, 0}, kGreen{0, 255, 0, 0}, kBlue{255, 0, 0, 0}, kWhite{255, 255, 255, 0};
const std::vector<std::array<std::uint8_t, 4>> kFourColours = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0},
                                                               {255, 255, 255, 0}};

void Load(TBMPReader& r, const std::string& file) {
  r.LoadFromStream(std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()), "pic.bmp");
}

TRGBQuad Opaque(TRGBQuad q) { return {q.Blue, q.Green, q.Red, 0}; }

// A 2 × 2 picture, red and green on top, blue and white below, in every
// depth and header form; rows are given bottom row first, as stored.
struct Case {
  const char* name;
  BmpSpec spec;
};

std::vector<Case> Cases() {
  std::vector<Case> c;
  c.push_back({"1-bit", {40, 2, 2, 1, 0, {}, {{0, 0, 0, 0}, {255, 255, 255, 0}}, 0, {0x40, 0, 0, 0, 0x80, 0, 0, 0}}});
  c.push_back({"4-bit", {40, 2, 2, 4, 0, {}, kFourColours, 4, {0x23, 0, 0, 0, 0x01, 0, 0, 0}}});
  c.push_back({"8-bit", {40, 2, 2, 8, 0, {}, kFourColours, 0, {2, 3, 0, 0, 0, 1, 0, 0}}});
  c.back().spec.palette.resize(256);
  c.push_back({"8-bit old header", {12, 2, 2, 8, 0, {}, kFourColours, 0, {2, 3, 0, 0, 0, 1, 0, 0}}});
  c.back().spec.palette.resize(256);
  c.push_back({"16-bit 5-5-5", {40, 2, 2, 16, 0, {}, {}, 0, {0x1F, 0, 0xFF, 0x7F, 0, 0x7C, 0xE0, 0x03}}});
  c.push_back({"16-bit 5-6-5", {40, 2, 2, 16, 3, {0xF800, 0x07E0, 0x001F}, {}, 0,
                                {0x1F, 0, 0xFF, 0xFF, 0, 0xF8, 0xE0, 0x07}}});
  c.push_back({"16-bit 5-6-5 in V4 header", {108, 2, 2, 16, 3, {0xF800, 0x07E0, 0x001F}, {}, 0,
                                             {0x1F, 0, 0xFF, 0xFF, 0, 0xF8, 0xE0, 0x07}}});
  c.push_back({"24-bit", {40, 2, 2, 24, 0, {}, {}, 0,
                          {255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0}}});
  c.push_back({"32-bit", {40, 2, 2, 32, 0, {}, {}, 0,
                          {255, 0, 0, 0, 255, 255, 255, 0, 0, 0, 255, 0, 0, 255, 0, 0}}});
  // Red, green, blue, alpha in memory order: masks other than the usual ones.
  c.push_back({"32-bit RGBA masks in V5 header", {124, 2, 2, 32, 3, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, {}, 0,
                                                  {0, 0, 255, 255, 255, 255, 255, 255, 255, 0, 0, 255, 0, 255, 0, 255}}});
  return c;
}

TEST(TBMPReader, LoadsEveryDepthAndHeaderTheRightWayUp) {
  for (const Case& k : Cases()) {
    for (bool top_down : {false, true}) {
      SCOPED_TRACE(std::string(k.name) + (top_down ? " top-down" : ""));
      BmpSpec spec = k.spec;
      if (top_down && spec.header == 12) continue;  // the old header's height is unsigned
      if (top_down) {
        // Same picture stored top row first.
        const std::size_t half = spec.pixels.size() / 2;
        std::rotate(spec.pixels.begin(), spec.pixels.begin() + half, spec.pixels.end());
        spec.height = -spec.height;
      }
      TBMPReader r;
      Load(r, MakeBmp(spec));
      EXPECT_EQ(r.Width(), 2);
      EXPECT_EQ(r.Height(), 2);
      // Row 0 is the bottom row.
      if (spec.bits == 1) {
        EXPECT_EQ(Opaque(r.GetPixel(1, 0)), Opaque(kWhite));
        EXPECT_EQ(Opaque(r.GetPixel(1, 1)), TRGBQuad{});
        EXPECT_EQ(Opaque(r.GetPixel(0, 1)), Opaque(kWhite));
        continue;
      }
      EXPECT_EQ(Opaque(r.GetPixel(1, 0)), kRed);
      EXPECT_EQ(Opaque(r.GetPixel(1, 1)), kGreen);
      EXPECT_EQ(Opaque(r.GetPixel(0, 0)), kBlue);
      EXPECT_EQ(Opaque(r.GetPixel(0, 1)), kWhite);
      EXPECT_EQ(r.RowFromTop(0), r.Row(1));
    }
  }
}

TEST(TBMPReader, StrideAndRowGap) {
  TBMPReader r;
  r.SetFormat(3, 2, 24);
  EXPECT_EQ(r.Stride(), 12);
  EXPECT_EQ(r.RowGap(), 3);
  EXPECT_EQ(r.RowCount(), 2);
  r.SetFormat(3, -2, 1);
  EXPECT_EQ(r.Stride(), 4);
  EXPECT_EQ(r.RowCount(), 2);
}

TEST(TBMPReader, OldHeaderWidensThreeBytePaletteOf4BitImage) {
  BmpSpec spec{12, 2, 1, 4, 0, {}, {}, 0, {0xF1, 0, 0, 0}};
  for (int i = 0; i < 16; ++i) spec.palette.push_back({std::uint8_t(i), std::uint8_t(2 * i), std::uint8_t(3 * i), 0});
  TBMPReader r;
  Load(r, MakeBmp(spec));
  EXPECT_EQ(r.GetPixel(0, 0), (TRGBQuad{15, 30, 45, 255}));
  EXPECT_EQ(r.GetPixel(0, 1), (TRGBQuad{1, 2, 3, 255}));
  EXPECT_EQ(r.TransparentIndex, -1);
}

TEST(TBMPReader, RunLengthEscapes) {
  // RLE8 4 × 3: bottom row a run of 3 then end of row; a delta of (1, 1)
  // skips to the top row, leaving the middle row and pixel 0 of the top row
  // untouched; an absolute run of 3 (padded) then a run past the row end.
  BmpSpec rle8{40, 4, 3, 8, 1, {}, kFourColours, 4,
               {3, 2, 0, 0, 0, 2, 1, 1, 0, 3, 1, 2, 3, 0, 9, 3, 0, 1}};
  TBMPReader r;
  Load(r, MakeBmp(rle8));
  EXPECT_EQ(r.GetIndex(0, 0), 2);
  EXPECT_EQ(r.GetIndex(0, 2), 2);
  EXPECT_EQ(r.GetIndex(0, 3), 0);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(r.GetIndex(1, x), 0);
  EXPECT_EQ(r.GetIndex(1 + 1, 0), 0);
  EXPECT_EQ(r.GetIndex(2, 1), 1);
  EXPECT_EQ(r.GetIndex(2, 2), 2);
  EXPECT_EQ(r.GetIndex(2, 3), 3);  // the run of 9 is clipped at the row end

  // RLE4 7 × 1: a run of 3 alternating nibbles, then an absolute run of 3
  // starting at an odd pixel (two bytes, no padding).
  BmpSpec rle4{40, 7, 1, 4, 2, {}, kFourColours, 4, {3, 0x12, 0, 3, 0x30, 0x10, 0, 1}};
  Load(r, MakeBmp(rle4));
  const int expected[] = {1, 2, 1, 3, 0, 1, 0};
  for (int x = 0; x < 7; ++x) EXPECT_EQ(r.GetIndex(0, x), expected[x]) << x;

  // Data that runs past the last row and ends without an escape stops there.
  BmpSpec runaway{40, 2, 1, 8, 1, {}, kFourColours, 4, {2, 1, 0, 0, 2, 3, 0, 2, 200, 200, 5}};
  Load(r, MakeBmp(runaway));
  EXPECT_EQ(r.GetIndex(0, 1), 1);
}

TEST(TBMPReader, PaletteAlpha) {
  BmpSpec spec{40, 1, 1, 8, 0, {}, {}, 3, {1, 0, 0, 0}};
  spec.palette = {{1, 1, 1, 0}, {2, 2, 2, 0}, {3, 3, 3, 0}};
  TBMPReader r;
  Load(r, MakeBmp(spec));
  EXPECT_EQ(r.TransparentIndex, -1);
  EXPECT_EQ(r.Palette()[1].Reserved, 255);  // all zero: the usual, opaque palette

  spec.palette = {{1, 1, 1, 255}, {2, 2, 2, 0}, {3, 3, 3, 0}};
  TBMPReader t;
  Load(t, MakeBmp(spec));
  EXPECT_EQ(t.TransparentIndex, 1);
  EXPECT_EQ(t.Palette()[0].Reserved, 255);
}

TEST(TBMPReader, ColorsUsedCompactsPaletteAndKeepsTransparentEntry) {
  TBitmapInfo info;
  info.Header.Width = 3;
  info.Header.Height = 1;
  info.Header.BitCount = 8;
  for (int i = 0; i < 256; ++i) info.Palette[i] = {std::uint8_t(i), 0, 0, 255};
  info.Palette[7].Reserved = 0;  // some 0 and some 255: entry 7 is transparent
  TBMPReader r;
  r.SetBitmapInfo(info);
  EXPECT_EQ(r.TransparentIndex, 7);
  r.SetIndex(0, 0, 3), r.SetIndex(0, 1, 7), r.SetIndex(0, 2, 3);
  EXPECT_EQ(r.ColorsUsed(), 2);
  EXPECT_EQ(r.GetIndex(0, 0), 0);
  EXPECT_EQ(r.GetIndex(0, 1), 1);
  EXPECT_EQ(r.Palette()[0].Blue, 3);
  EXPECT_EQ(r.Palette()[1].Blue, 7);
  EXPECT_EQ(r.TransparentIndex, 1);

  // A single value 1 counts as two colours and is not moved.
  r.SetIndex(0, 0, 1), r.SetIndex(0, 2, 1);
  EXPECT_EQ(r.ColorsUsed(), 2);
  EXPECT_EQ(r.GetIndex(0, 0), 1);

  TBMPReader deep;
  deep.SetFormat(3, 1, 24);
  deep.SetPixel(0, 0, kRed), deep.SetPixel(0, 1, kRed);
  EXPECT_EQ(deep.ColorsUsed(), 2);
}

TEST(TBMPReader, ThirtyTwoBitAlpha) {
  // A 40-byte header whose fourth bytes are all 0 is opaque; with some
  // non-zero they are alpha.
  BmpSpec spec{40, 2, 1, 32, 0, {}, {}, 0, {1, 2, 3, 0, 4, 5, 6, 0}};
  TBMPReader r;
  Load(r, MakeBmp(spec));
  EXPECT_EQ(r.GetPixel(0, 0), (TRGBQuad{1, 2, 3, 255}));
  spec.pixels[7] = 128;
  Load(r, MakeBmp(spec));
  EXPECT_EQ(r.GetPixel(0, 0).Reserved, 0);
  EXPECT_EQ(r.GetPixel(0, 1).Reserved, 128);
  // A V5 header without an alpha mask: the fourth byte is padding.
  BmpSpec v5{124, 1, 1, 32, 3, {0xFF0000, 0xFF00, 0xFF, 0}, {}, 0, {1, 2, 3, 9}};
  Load(r, MakeBmp(v5));
  EXPECT_EQ(r.GetPixel(0, 0), (TRGBQuad{1, 2, 3, 255}));
  // 16-bit with an alpha bit (ARGB 1555) becomes 32-bit with alpha.
  BmpSpec argb{56, 2, 1, 16, 3, {0x7C00, 0x03E0, 0x001F, 0x8000}, {}, 0, {0x1F, 0x80, 0x00, 0x7C}};
  Load(r, MakeBmp(argb));
  EXPECT_EQ(r.BitCount(), 32);
  EXPECT_EQ(r.GetPixel(0, 0), (TRGBQuad{255, 0, 0, 255}));
  EXPECT_EQ(r.GetPixel(0, 1), (TRGBQuad{0, 0, 255, 0}));
}

TEST(TBMPReader, TruncatedPixelsLeaveTheRestZero) {
  BmpSpec spec{40, 2, 2, 24, 0, {}, {}, 0, {10, 20, 30}};
  TBMPReader r;
  Load(r, MakeBmp(spec));
  EXPECT_EQ(r.GetPixel(0, 0), (TRGBQuad{10, 20, 30, 0}));
  EXPECT_EQ(r.GetPixel(1, 1), TRGBQuad{});
}

TEST(TBMPReader, BadFilesAreErrorsNamingTheFile) {
  auto with = [](std::function<void(BmpSpec&)> change) {
    BmpSpec s{40, 2, 2, 24, 0, {}, {}, 0, Bytes(16)};
    change(s);
    return MakeBmp(s);
  };
  const std::string good = with([](BmpSpec&) {});
  std::string not_bm = good;
  not_bm[0] = 'X';
  std::string header_64 = good;
  header_64[14] = 64;
  const struct {
    const char* name;
    std::string file;
    const char* message;
  } cases[] = {
      {"empty", "", "not a BMP file"},
      {"not BM", not_bm, "not a BMP file"},
      {"header cut short", good.substr(0, 30), "header is cut short"},
      {"unknown header", header_64, "unsupported bitmap header of 64 bytes"},
      {"2 bits", with([](BmpSpec& s) { s.bits = 2; }), "2 bits per pixel"},
      {"JPEG inside", with([](BmpSpec& s) { s.compression = 4; }), "JPEG data"},
      {"RLE8 at 24 bits", with([](BmpSpec& s) { s.compression = 1; }), "RLE8 compression needs 8 bits"},
      {"no width", with([](BmpSpec& s) { s.width = 0; }), "no pixels"},
      {"60000 x 60000", with([](BmpSpec& s) { s.width = s.height = 60000; }), "claims 60000 x 60000 pixels"},
      {"huge RLE", with([](BmpSpec& s) { s.bits = 8, s.compression = 1, s.width = s.height = 30000; }), "claims"},
      {"overlapping masks", with([](BmpSpec& s) { s.bits = 16, s.compression = 3, s.masks = {0xFF, 0xF0, 0x0F}; }),
       "masks are invalid"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TBMPReader r;
    try {
      Load(r, c.file);
      ADD_FAILURE() << "expected an error";
    } catch (const Error& e) {
      const std::string what = e.what();
      EXPECT_EQ(what.rfind("pic.bmp: ", 0), 0u) << what;
      EXPECT_NE(what.find(c.message), std::string::npos) << what;
    }
  }
}

TEST(TBMPReader, SaveToStreamRoundTrips) {
  for (const Case& k : Cases()) {
    SCOPED_TRACE(k.name);
    TBMPReader r, back;
    Load(r, MakeBmp(k.spec));
    const Bytes saved = r.SaveToStream();
    back.LoadFromStream(saved, "saved.bmp");
    ASSERT_EQ(back.BitCount(), r.BitCount());
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 2; ++x) EXPECT_EQ(back.GetPixel(y, x), r.GetPixel(y, x));
  }
  TBMPReader pal;
  pal.SetFormat(1, 1, 8);
  EXPECT_EQ(pal.SaveToStream().size(), 54u + 1024 + 4);  // pixel offset 54 + 4 × 256
  TBMPReader fields;
  fields.SetFormat(1, 1, 16, 5, 6, 5);
  EXPECT_EQ(fields.SaveToStream()[10], 54 + 12);
}

TEST(TBMPReader, PixelConversions) {
  TBMPReader pal;
  pal.SetFormat(2, 1, 4);
  pal.Palette()[0] = {0, 0, 0, 255};
  pal.Palette()[5] = {200, 10, 10, 255};
  pal.SetPixel(0, 1, {190, 20, 0, 0});
  EXPECT_EQ(pal.GetIndex(0, 1), 5);  // nearest entry

  TBMPReader rgb565;
  rgb565.SetFormat(2, 2, 16, 5, 6, 5);
  EXPECT_EQ(rgb565.Compression(), kBI_BITFIELDS);
  rgb565.SetPixel(0, 0, {0x40, 0x84, 0xFF, 0});
  // Channels are narrowed by dropping low bits and widened by repeating them.
  EXPECT_EQ(rgb565.GetPixel(0, 0), (TRGBQuad{0x42, 0x86, 0xFF, 0}));

  TBMPReader colour;
  colour.SetFormat(2, 2, 32);
  colour.Fill(kGreen);
  colour.CopyRect(rgb565, 1, 0, 0, 1, 5, 5);  // source (0, 1) from the top is row 0
  EXPECT_EQ(Opaque(colour.GetPixel(1, 1)), (TRGBQuad{0x42, 0x86, 0xFF, 0}));
  EXPECT_EQ(Opaque(colour.GetPixel(0, 1)), kGreen);  // outside the clipped rectangle
  EXPECT_EQ(Opaque(colour.GetPixel(1, 0)), kGreen);

  TBMPReader mask;
  mask.SetFormat(2, 2, 8);
  mask.SetIndex(1, 0, 77);  // top-left
  colour.CopyAlphaFrom(mask);
  EXPECT_EQ(colour.GetPixel(1, 0).Reserved, 77);
  EXPECT_TRUE(colour.HasAlphaChannel());
  colour.SetPixel(0, 1, {0, 0, 0, 50});
  colour.SetAlphaNonBlack(9);
  EXPECT_EQ(colour.GetPixel(0, 1).Reserved, 0);  // black
  EXPECT_EQ(colour.GetPixel(1, 1).Reserved, 9);
}

}  // namespace
}  // namespace yel::media
