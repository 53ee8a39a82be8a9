#include "media/jpeg_file.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "tests/testing/picture_fixtures.h"
#include "tests/testing/temp_dir.h"

namespace yel::media {
namespace {

using testing::JpegSpec;
using testing::MakeJpeg;
using testing::Quadrants;
using Bytes = std::vector<std::uint8_t>;

Bytes AsBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

const std::array<std::array<std::uint8_t, 3>, 4> kQuadrants = {
    {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}}};

// RGB at (x, y) of a decoded picture, compared with a JPEG tolerance.
void ExpectNear(const TDecodedImage& img, int x, int y, std::array<std::uint8_t, 3> rgb) {
  const std::uint8_t* p = &img.Pixels[(static_cast<std::size_t>(y) * img.Width + x) * img.Components];
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(p[img.Components == 1 ? 0 : c], rgb[c], 12) << x << "," << y << " c" << c;
}

TEST(GetJPEGSize, WalksMarkers) {
  const Bytes baseline = AsBytes(MakeJpeg({40, 24}, Quadrants(40, 24, kQuadrants)));
  JpegSpec progressive_spec{40, 24};
  progressive_spec.progressive = true;
  const Bytes progressive = AsBytes(MakeJpeg(progressive_spec, Quadrants(40, 24, kQuadrants)));
  // Fill bytes before a marker, a stand-alone marker, then a segment and SOF1.
  const Bytes handmade = {0xFF, 0xD8, 0xFF, 0xFF, 0xD0, 0xFF, 0xE0, 0, 4, 9, 9,
                          0xFF, 0xC1, 0, 11, 8, 0x01, 0x02, 0x03, 0x04, 1, 0, 0, 0};
  Bytes cut_sof(handmade.begin(), handmade.begin() + 18);
  const struct {
    const char* name;
    Bytes bytes;
    int width, height;
  } cases[] = {
      {"baseline", baseline, 40, 24},
      {"progressive", progressive, 0, 0},
      {"handmade SOF1", handmade, 0x0304, 0x0102},
      {"SOF cut short", cut_sof, 0, 0},
      {"no SOI", Bytes(baseline.begin() + 2, baseline.end()), 0, 0},
      {"empty", {}, 0, 0},
      {"walk ends on a non-marker byte", {0xFF, 0xD8, 0x00, 0xFF, 0xC0}, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TJPEGSize size = GetJPEGSize(c.bytes);
    EXPECT_EQ(size.Width, c.width);
    EXPECT_EQ(size.Height, c.height);
  }
}

TEST(GetJPEGSize, FileWithFrameHeaderBeyondTheFirstBlock) {
  // Two 65533-byte segments put the frame header past the first 64 KB read.
  Bytes file = {0xFF, 0xD8};
  for (int i = 0; i < 2; ++i) {
    file.insert(file.end(), {0xFF, 0xE2, 0xFF, 0xFF});
    file.resize(file.size() + 65533, 0x55);
  }
  const Bytes jpeg = AsBytes(MakeJpeg({8, 8}, Quadrants(8, 8, kQuadrants)));
  file.insert(file.end(), jpeg.begin() + 2, jpeg.end());
  testing::TempDir dir;
  const std::string path = dir.Write("big.jpg", std::string(file.begin(), file.end()));
  TJPEGSize size = GetJPEGSize(path);
  EXPECT_EQ(size.Width, 8);
  EXPECT_EQ(size.Height, 8);
  EXPECT_THROW(GetJPEGSize(dir / "missing.jpg"), Error);
}

TEST(ProbeJPEG, FrameKindComponentsAndOrientation) {
  JpegSpec grey{8, 8, 1};
  JpegSpec cmyk{8, 8, 4};
  JpegSpec turned{8, 8};
  turned.orientation = 6;
  turned.progressive = true;
  TJPEGProbe p = ProbeJPEG(AsBytes(MakeJpeg(grey, Bytes(64, 128))));
  EXPECT_EQ(p.FrameMarker, 0xC0);
  EXPECT_EQ(p.Components, 1);
  p = ProbeJPEG(AsBytes(MakeJpeg(cmyk, Bytes(256, 0))));
  EXPECT_EQ(p.Components, 4);
  p = ProbeJPEG(AsBytes(MakeJpeg(turned, Quadrants(8, 8, kQuadrants))));
  EXPECT_EQ(p.FrameMarker, 0xC2);
  EXPECT_EQ(p.Orientation, 6);
  EXPECT_EQ(p.Width, 8);
  EXPECT_FALSE(ProbeJPEG(Bytes{0x89, 'P', 'N', 'G'}).IsJPEG);
}

TEST(DecodeJPEG, ColourGreyCmykAndOrientation) {
  const TDecodedImage rgb = DecodeJPEG(AsBytes(MakeJpeg({16, 16}, Quadrants(16, 16, kQuadrants))), "a.jpg", true);
  ASSERT_EQ(rgb.Components, 3);
  ExpectNear(rgb, 2, 2, kQuadrants[0]);
  ExpectNear(rgb, 13, 2, kQuadrants[1]);
  ExpectNear(rgb, 2, 13, kQuadrants[2]);
  ExpectNear(rgb, 13, 13, kQuadrants[3]);

  // Cyan ink only is cyan; full black ink is black.
  Bytes inks(16 * 16 * 4, 0);
  for (int i = 0; i < 16 * 8; ++i) inks[4 * i] = 255;
  for (int i = 16 * 8; i < 16 * 16; ++i) inks[4 * i + 3] = 255;
  JpegSpec cmyk{16, 16, 4};
  const TDecodedImage from_cmyk = DecodeJPEG(AsBytes(MakeJpeg(cmyk, inks)), "c.jpg", true);
  ASSERT_EQ(from_cmyk.Components, 3);
  ExpectNear(from_cmyk, 4, 2, {0, 255, 255});
  ExpectNear(from_cmyk, 4, 13, {0, 0, 0});

  JpegSpec grey{16, 16, 1};
  const std::string grey_file = MakeJpeg(grey, Bytes(256, 100));
  EXPECT_EQ(DecodeJPEG(AsBytes(grey_file), "g.jpg", true).Components, 1);
  EXPECT_EQ(DecodeJPEG(AsBytes(grey_file), "g.jpg", true, true).Components, 3);

  // Orientation 6: the stored picture is shown turned a quarter clockwise,
  // so the stored bottom-left (blue) corner ends up top-left.
  JpegSpec turned{24, 16};
  turned.orientation = 6;
  const TDecodedImage upright = DecodeJPEG(AsBytes(MakeJpeg(turned, Quadrants(24, 16, kQuadrants))), "t.jpg", true);
  EXPECT_EQ(upright.Width, 16);
  EXPECT_EQ(upright.Height, 24);
  ExpectNear(upright, 2, 2, kQuadrants[2]);
  ExpectNear(upright, 13, 2, kQuadrants[0]);
  ExpectNear(upright, 2, 21, kQuadrants[3]);
  ExpectNear(upright, 13, 21, kQuadrants[1]);
}

// The one-pass ARGB decode at full scale gives the colours of the byte
// decode (widened to RGB, CMYK converted, EXIF orientation applied); scaled,
// it is the smallest n/8 size that still covers the asked size.
TEST(DecodeJPEGScaledARGB, FullScaleMatchesTheByteDecodeAndScalesCoverTheAskedSize) {
  Bytes inks(24 * 16 * 4, 0);
  for (std::size_t i = 0; i < inks.size(); i += 4) inks[i] = std::uint8_t(i % 251), inks[i + 3] = std::uint8_t(i % 97);
  JpegSpec turned{24, 16};
  turned.orientation = 6;
  const struct {
    const char* name;
    std::string file;
  } files[] = {{"colour", MakeJpeg({24, 16}, Quadrants(24, 16, kQuadrants))},
               {"grey", MakeJpeg({24, 16, 1}, Bytes(24 * 16, 100))},
               {"cmyk", MakeJpeg({24, 16, 4}, inks)},
               {"turned", MakeJpeg(turned, Quadrants(24, 16, kQuadrants))}};
  for (const auto& f : files) {
    const Bytes bytes = AsBytes(f.file);
    const TDecodedImage rgb = DecodeJPEG(bytes, f.name, true, true);
    const TARGBImage argb = DecodeJPEGScaledARGB(bytes, f.name, 0, 0);
    ASSERT_EQ(argb.Width, rgb.Width) << f.name;
    ASSERT_EQ(argb.Height, rgb.Height) << f.name;
    for (std::size_t i = 0; i < argb.Pixels.size(); ++i) {
      const std::uint8_t* p = &rgb.Pixels[3 * i];
      ASSERT_EQ(argb.Pixels[i], 0xFF000000u | p[0] << 16 | p[1] << 8 | p[2]) << f.name << " pixel " << i;
    }
  }
  // 24 x 16 stored, 16 x 24 upright: 5 x 7 needs 4/8 (12 x 8 stored).
  const TARGBImage small = DecodeJPEGScaledARGB(AsBytes(files[3].file), "t.jpg", 5, 7);
  EXPECT_EQ(small.Width, 8);
  EXPECT_EQ(small.Height, 12);

  const struct {
    int w, h, min_w, min_h, scale;
  } cases[] = {{1600, 1200, 720, 540, 4}, {1600, 1200, 801, 540, 8}, {1600, 1200, 1601, 1, 8}, {1600, 1200, 0, 0, 1},
               {9, 9, 3, 3, 2},           {3000, 2000, 401, 267, 2},  {1600, 1200, 200, 150, 1}, {1203, 801, 401, 268, 4}};
  for (const auto& c : cases)
    EXPECT_EQ(JPEGScaleFor(c.w, c.h, c.min_w, c.min_h), c.scale) << c.w << "x" << c.h << " to " << c.min_w << "x" << c.min_h;
}

TEST(ApplyOrientation, EveryOrientationOfATwoByThreePicture) {
  // Pixels numbered 0..5 in reading order; the expected layout after each
  // orientation as an image viewer shows it.
  const struct {
    int orientation, width;
    Bytes pixels;
  } cases[] = {
      {2, 2, {1, 0, 3, 2, 5, 4}}, {3, 2, {5, 4, 3, 2, 1, 0}}, {4, 2, {4, 5, 2, 3, 0, 1}},
      {5, 3, {0, 2, 4, 1, 3, 5}}, {6, 3, {4, 2, 0, 5, 3, 1}}, {7, 3, {5, 3, 1, 4, 2, 0}},
      {8, 3, {1, 3, 5, 0, 2, 4}},
  };
  for (const auto& c : cases) {
    TDecodedImage img{2, 3, 1, {0, 1, 2, 3, 4, 5}};
    ApplyOrientation(img, c.orientation);
    EXPECT_EQ(img.Width, c.width) << c.orientation;
    EXPECT_EQ(img.Pixels, c.pixels) << c.orientation;
  }
}

TEST(DecodeJPEG, BadDataIsAnErrorNamingTheFile) {
  const Bytes good = AsBytes(MakeJpeg({16, 16}, Quadrants(16, 16, kQuadrants)));
  // A frame header claiming 60000 × 60000 pixels in a file of a few hundred bytes.
  Bytes huge = good;
  for (std::size_t i = 2; i + 8 < huge.size(); ++i)
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = 0xEA, huge[i + 6] = 0x60, huge[i + 7] = 0xEA, huge[i + 8] = 0x60;
      break;
    }
  auto sized = [&](int w, int h) {
    Bytes b = good;
    for (std::size_t i = 2; i + 8 < b.size(); ++i)
      if (b[i] == 0xFF && b[i + 1] == 0xC0) {
        b[i + 5] = std::uint8_t(h >> 8), b[i + 6] = std::uint8_t(h), b[i + 7] = std::uint8_t(w >> 8), b[i + 8] = std::uint8_t(w);
        break;
      }
    return b;
  };
  const struct {
    const char* name;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"empty", {}, "cannot decode"},
      {"not a JPEG", {'G', 'I', 'F', '8', '9', 'a'}, "cannot decode"},
      {"header only", Bytes(good.begin(), good.begin() + 20), "cannot decode"},
      {"60000 x 60000", huge, "is 60000 x 60000 pixels, more than the 250 megapixels this program decodes"},
      {"12000 x 12000", sized(12000, 12000), "claims 12000 x 12000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      DecodeJPEG(c.bytes, "bad.jpg", true);
      ADD_FAILURE() << "expected an error";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()).rfind("bad.jpg: ", 0), 0u) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
  // Data cut in the middle of the scan decodes what is there, as viewers do.
  EXPECT_EQ(DecodeJPEG(Bytes(good.begin(), good.end() - 40), "cut.jpg", false).Width, 16);
}

TEST(EncodeJPEG, WritesBaselineThatDecodesBack) {
  TDecodedImage img{16, 16, 3, Quadrants(16, 16, kQuadrants)};
  const Bytes jpeg = EncodeJPEG(img);
  EXPECT_EQ(ProbeJPEG(jpeg).FrameMarker, 0xC0);
  const TDecodedImage back = DecodeJPEG(jpeg, "x.jpg", false);
  ExpectNear(back, 13, 13, kQuadrants[3]);
}

}  // namespace
}  // namespace yel::media
