// Picture decoding: every kind as a viewer shows it, bad files as errors
// naming the file, and the header checked before a file is read whole.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <string>
#include <vector>

#include "base/error.h"
#include "media/bmp_reader.h"
#include "media/picture_decoder.h"
#include "tests/testing/largest_allocation.h"
#include "tests/testing/picture_fixtures.h"
#include "tests/testing/picture_writers.h"
#include "tests/testing/temp_dir.h"

namespace yel::media {
namespace {

using Bytes = std::vector<std::uint8_t>;
using RGBA = std::array<std::uint8_t, 4>;
using yel::testing::MakeGif;
using yel::testing::MakePng;
using yel::testing::PngSpec;
using yel::testing::TempDir;

RGBA At(const TRGBAPicture& p, int x, int y) {
  const std::uint8_t* q = &p.Pixels[(std::size_t(y) * p.Width + x) * 4];
  return {q[0], q[1], q[2], q[3]};
}

Bytes AsBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(DecodePicture, EveryKindAsAViewerShowsIt) {
  PngSpec rgb16{2, 1, PNG_COLOR_TYPE_RGB, 16, false, {0x80, 0x80, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF}, {}, {}};
  PngSpec palette{2, 1, PNG_COLOR_TYPE_PALETTE, 8, false, {0, 1}, {{255, 0, 0}, {0, 0, 255}}, {255, 0}};
  PngSpec grey_alpha{2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {50, 255, 200, 128}, {}, {}};
  PngSpec interlaced{9, 9, PNG_COLOR_TYPE_RGBA, 8, true, Bytes(9 * 9 * 4, 0), {}, {}};
  interlaced.rows[(8 * 9 + 8) * 4] = 255;  // bottom-right red, opaque
  interlaced.rows[(8 * 9 + 8) * 4 + 3] = 255;
  Bytes gif_indices(9 * 9, 1);
  gif_indices[0] = 0;
  gif_indices[9 * 9 - 1] = 2;
  const struct {
    const char* name;
    std::string file;
    int x, y;
    RGBA expected;
  } cases[] = {
      {"16-bit PNG scaled to 8 bits", MakePng(rgb16), 0, 0, {128, 0, 255, 255}},
      {"palette PNG, opaque entry", MakePng(palette), 0, 0, {255, 0, 0, 255}},
      {"palette PNG, transparent entry", MakePng(palette), 1, 0, {0, 0, 255, 0}},
      {"grey PNG with alpha", MakePng(grey_alpha), 1, 0, {200, 200, 200, 128}},
      {"interlaced PNG", MakePng(interlaced), 8, 8, {255, 0, 0, 255}},
      {"GIF, transparent index", MakeGif(9, 9, {{9, 9, 9}, {10, 20, 30}, {0, 0, 0}, {0, 0, 0}}, gif_indices, 0, true), 0,
       0, {0, 0, 0, 0}},
      {"GIF, colour", MakeGif(9, 9, {{9, 9, 9}, {10, 20, 30}, {0, 0, 0}, {0, 0, 0}}, gif_indices, 0, true), 4, 4,
       {10, 20, 30, 255}},
      {"GIF, interlaced last row", MakeGif(9, 9, {{9, 9, 9}, {10, 20, 30}, {1, 2, 3}, {0, 0, 0}}, gif_indices, -1, true),
       8, 8, {1, 2, 3, 255}},
      {"BMP", yel::testing::MakeBmp({40, 1, 1, 24, 0, {}, {}, 0, {3, 2, 1, 0}}), 0, 0, {1, 2, 3, 255}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TRGBAPicture p = DecodePicture(AsBytes(c.file), "pic");
    EXPECT_EQ(At(p, c.x, c.y), c.expected);
  }
}

TEST(DecodePicture, BadFilesAreErrorsNamingTheFile) {
  const std::string png = MakePng({4, 4, PNG_COLOR_TYPE_RGBA, 8, false, Bytes(64, 7), {}, {}});
  const std::string gif = MakeGif(4, 4, {{1, 1, 1}, {2, 2, 2}}, Bytes(16, 1), -1);
  std::string huge_gif = gif;
  huge_gif[6] = huge_gif[7] = huge_gif[8] = huge_gif[9] = '\xEA';  // 60138 x 60138
  const struct {
    const char* name;
    std::string file;
    const char* message;
  } cases[] = {
      {"unknown kind", "II*\0 a TIFF", "not a picture this program reads"},
      {"PNG cut short", png.substr(0, png.size() - 30), "PNG picture is damaged"},
      {"PNG claiming 60000 x 60000", yel::testing::WithPngSize(png, 60000, 60000),
       "is 60000 x 60000 pixels (3600 megapixels), more than the 150 megapixels a photo may have"},
      {"PNG claiming 11000 x 11000", yel::testing::WithPngSize(png, 11000, 11000), "claims 11000 x 11000"},
      {"PNG claiming 70000 wide", yel::testing::WithPngSize(png, 70000, 1), "PNG picture is damaged"},
      {"GIF cut short", gif.substr(0, gif.size() - 8), "GIF picture is damaged"},
      {"GIF claiming 60138 x 60138", huge_gif, "is 60138 x 60138 pixels"},
      {"JPEG header only", "\xFF\xD8\xFF", "cannot decode"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      DecodePicture(AsBytes(c.file), "bad.pic");
      ADD_FAILURE() << "expected an error";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()).rfind("bad.pic: ", 0), 0u) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

// Photo files are judged by their header before they are read whole: more
// pixels than the budget (a 20000 x 20000 PNG whose padding lets its size
// pass for real), padding no photo needs, and pipes are refused, naming the
// file.
TEST(DecodePictureFile, HeaderIsCheckedBeforeTheFileIsRead) {
  TempDir dir;
  const std::string png = MakePng({4, 4, PNG_COLOR_TYPE_RGBA, 8, false, Bytes(64, 7), {}, {}});
  // A private ancillary chunk of 2 MB before the image data.
  std::string padding(2u << 20, 'x');
  std::string chunk;
  for (int i = 3; i >= 0; --i) chunk += char((padding.size() >> (8 * i)) & 0xFF);
  chunk += "zzZz" + padding + std::string(4, '\0');
  std::string big = yel::testing::WithPngSize(png, 20000, 20000);
  big.insert(33, chunk);
  const std::string jpeg = yel::testing::MakeJpeg({8, 8, 3, false, 90}, Bytes(8 * 8 * 3, 128));
  ASSERT_EQ(::mkfifo((dir / "pipe.jpg").c_str(), 0600), 0);
  const struct {
    std::string file;
    const char* message;
  } cases[] = {
      {dir.Write("big.png", big), "is 20000 x 20000 pixels (400 megapixels), more than the 150 megapixels"},
      {dir.Write("padded.jpg", jpeg + std::string(40u << 20, '\0')), "MB, far more than a 8 x 8 picture needs"},
      {dir / "pipe.jpg", "is not a regular file"},
  };
  for (const auto& c : cases) {
    try {
      DecodePictureFile(c.file);
      ADD_FAILURE() << c.file;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.file + ": ", 0), 0u) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
  // The same JPEG without the padding decodes.
  EXPECT_EQ(DecodePictureFile(dir.Write("photo.jpg", jpeg)).Width, 8);
}

// A file of 1.5 GB (sparse: it takes no disk) named as a photo is judged by
// its head: what is not a picture, and a bitmap whose header gives it one
// pixel, are refused without the file ever being read whole.
TEST(DecodePictureFile, HugeFilesAreRefusedFromTheirHead) {
  TempDir dir;
  auto sparse = [&](const std::string& name, const std::string& head) {
    const std::string path = dir.Write(name, head);
    EXPECT_EQ(::truncate(path.c_str(), 1536ll << 20), 0);
    return path;
  };
  std::string bmp =
      "BM" + std::string(8, '\0') + std::string("\x36\0\0\0\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\x18\0", 20);
  bmp += std::string(54 - bmp.size(), '\0');
  const struct {
    std::string file;
    const char* message;
    bool bmpReader;
  } cases[] = {
      {sparse("junk.jpg", "not a picture at all"), "not a picture this program reads", false},
      {sparse("header-only.jpg", "\xFF\xD8\xFF\xE1"), "size is not in the first 1 MB", false},
      {sparse("dot.bmp", bmp), "far more than a 1 x 1", false},
      {dir / "dot.bmp", "far more than a 1 x 1 bitmap needs", true},
      {dir / "junk.jpg", "not a BMP file", true},
  };
  for (const auto& c : cases) {
    const auto largest = yel::testing::LargestAllocation([&] {
      try {
        if (c.bmpReader) TBMPReader().LoadFromFile(c.file);
        else DecodePictureFile(c.file);
        ADD_FAILURE() << c.file;
      } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind(c.file + ": ", 0), 0u) << e.what();
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
      }
    });
    if (largest) {
      EXPECT_LT(*largest, 4u << 20) << c.file;
    }
  }
}

}  // namespace
}  // namespace yel::media
