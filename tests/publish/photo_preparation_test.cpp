// Photo preparation: DrawPhoto on cairo, the custom loader's PNG premultiplication and
// intermediate file, and picture movies.
#include <cairo.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "base/error.h"
#include "base/files.h"
#include "base/paths.h"
#include "media/bmp_reader.h"
#include "publish/photo_preparation.h"
#include "swf/builder/flash_image.h"
#include "swf/builder/flash_movie.h"
#include "swf/format/swf_stream.h"
#include "tests/testing/picture_writers.h"
#include "tests/testing/largest_allocation.h"
#include "tests/testing/picture_fixtures.h"
#include "tests/testing/temp_dir.h"

namespace yel::publish {
namespace {

using Bytes = std::vector<std::uint8_t>;
using yel::testing::LargestAllocation;
using yel::testing::MakeGif;
using yel::testing::MakePng;
using yel::testing::TempDir;

TEST(DrawPhoto, FitsThePhotoIntoTheBox) {
  TempDir dir;
  const std::string photo =
      dir.Write("p.jpg", yel::testing::MakeJpeg({400, 400}, yel::testing::Quadrants(400, 400, {{{255, 0, 0}, {0, 255, 0},
                                                                                               {0, 0, 255}, {255, 255, 255}}})));
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 70, 50);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
  cairo_paint(cr);
  // Box (10, 5, 60 × 40): the square photo is scaled to 40 × 40 and centred.
  DrawPhoto(cr, {10, 5, 60, 40}, photo);
  DrawPhoto(cr, {0, 0, 70, 50}, dir / "missing.jpg");  // draws nothing
  EXPECT_THROW(DrawPhoto(cr, {0, 0, 70, 50}, dir.Write("bad.png", "\x89PNG\r\n\x1a\nbroken")), Error);
  cairo_surface_flush(surface);
  auto pixel = [&](int x, int y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface) +
                                                              y * cairo_image_surface_get_stride(surface));
    return row[x] & 0xFFFFFF;
  };
  const struct {
    int x, y;
    std::uint32_t rgb;
  } checks[] = {{30, 15, 0xFF0000}, {50, 15, 0x00FF00}, {30, 35, 0x0000FF}, {50, 35, 0xFFFFFF},
                {15, 25, 0x7F7F7F}, {65, 25, 0x7F7F7F}};
  for (const auto& c : checks) {
    const std::uint32_t p = pixel(c.x, c.y);
    for (int shift : {0, 8, 16})
      EXPECT_NEAR(int(p >> shift & 0xFF), int(c.rgb >> shift & 0xFF), 8) << c.x << "," << c.y;
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

int TemporaryPictures() {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path()))
    if (entry.path().filename().string().rfind("yel-picture-", 0) == 0) ++n;
  return n;
}

TEST(CustomImageLoader, PremultipliesPngAndLeavesNoFileBehind) {
  TempDir dir;
  // A BMP beside the PNG with the same base name must survive.
  const std::string beside = dir.Write("logo.bmp", "precious");
  const std::string png = dir.Write(
      "logo.png", MakePng({3, 1, PNG_COLOR_TYPE_RGBA, 8, false, {255, 255, 255, 0, 200, 100, 0, 128, 10, 20, 30, 255}, {}, {}}));
  const int before = TemporaryPictures();
  StartImaging();
  swf::TFlashMovie movie(0, 0, 10, 10, 12, swf::TSWFSystemCoord::Pix);
  swf::TFlashImage* image = movie.AddImage(png);
  swf::CustomImageLoader = nullptr;
  EXPECT_EQ(yel::testing::ReadAll(beside), "precious");
  EXPECT_EQ(TemporaryPictures(), before);
  ASSERT_TRUE(image->HasBMPReader());
  const media::TBMPReader& r = image->BMPReader();
  EXPECT_EQ(r.GetPixel(0, 0), (media::TRGBQuad{1, 1, 1, 0}));
  // (c × A + c + 256 − A) div 256 with A = 128: 200 → 101, 100 → 50, 0 → 0.
  EXPECT_EQ(r.GetPixel(0, 1), (media::TRGBQuad{0, 50, 101, 128}));
  EXPECT_EQ(r.GetPixel(0, 2), (media::TRGBQuad{30, 20, 10, 255}));
  EXPECT_TRUE(image->HasAlpha);
  EXPECT_EQ(image->LosslessFormat, swf::kLossless32Bit);

  // Wholly transparent pictures stay transparent.
  StartImaging();
  swf::TFlashImage* clear_png = movie.AddImage(
      dir.Write("clear.png", MakePng({2, 1, PNG_COLOR_TYPE_RGBA, 8, false, {255, 0, 0, 0, 0, 0, 0, 0}, {}, {}})));
  const std::vector<std::uint8_t> gif_indices(4, 1);
  swf::TFlashImage* clear_gif =
      movie.AddImage(dir.Write("clear.gif", MakeGif(2, 2, {{9, 9, 9}, {10, 20, 30}}, gif_indices, 1, true)));
  swf::CustomImageLoader = nullptr;
  for (swf::TFlashImage* clear : {clear_png, clear_gif}) {
    ASSERT_TRUE(clear->HasBMPReader());
    EXPECT_TRUE(clear->HasAlpha);
    EXPECT_EQ(clear->BMPReader().GetPixel(0, 1).Reserved, 0);
  }
  EXPECT_EQ(clear_png->BMPReader().GetPixel(0, 0), (media::TRGBQuad{1, 1, 1, 0}));

  // A picture that cannot be decoded is an error, not an empty image.
  StartImaging();
  EXPECT_THROW(movie.AddImage(dir.Write("broken.png", "\x89PNG\r\n\x1a\n")), Error);
  EXPECT_THROW(movie.AddImage(dir.Write("clip.gif", "GIF89a")), Error);
  swf::CustomImageLoader = nullptr;
  EXPECT_EQ(TemporaryPictures(), before);
}

TEST(MakePictureMovie, CopiesMoviesAndWrapsPictures) {
  TempDir dir;
  EXPECT_FALSE(MakePictureMovie(dir / "missing.png", dir / "out.swf", 100, 80, 12));
  EXPECT_FALSE(FileExists(dir / "out.swf"));

  const std::string swf = dir.Write("bg.swf", "FWS\x05 any bytes");
  dir.Write("out.swf", "old");
  EXPECT_TRUE(MakePictureMovie(swf, dir / "out.swf", 100, 80, 12));
  EXPECT_EQ(yel::testing::ReadAll(dir / "out.swf"), "FWS\x05 any bytes");

  const std::string png = dir.Write("bg.png", MakePng({2, 2, PNG_COLOR_TYPE_RGBA, 8, false, Bytes(16, 255), {}, {}}));
  EXPECT_TRUE(MakePictureMovie(png, dir / "bg-movie.swf", 100, 80, 12));
  swf::CustomImageLoader = nullptr;
  const Bytes movie = ReadFileBytes(dir / "bg-movie.swf");
  ASSERT_GE(movie.size(), 4u);
  EXPECT_EQ(std::string(movie.begin(), movie.begin() + 4), std::string("FWS\x08", 4));
  swf::TSWFStreamReader reader;
  reader.LoadFromBytes(movie.data(), movie.size(), "bg-movie.swf");
  reader.ParseTags();
  std::vector<int> codes;
  for (std::size_t i = 0; i < reader.TagCount(); ++i) codes.push_back(reader.TagInfo(i).TagID);
  EXPECT_EQ(codes, (std::vector<int>{36, 22, 26, 1, 0}));
  EXPECT_EQ(reader.FrameCount, 1);
  EXPECT_EQ(reader.MovieRect().Right, 2000);

  EXPECT_THROW(MakePictureMovie(dir.Write("bad.png", "nothing"), dir / "x.swf", 10, 10, 12), Error);
}

// A large file named .swf is judged by its head and copied in pieces: 1.5 GB
// of zeros (sparse) is refused, naming the file, and a 40 MB movie is copied
// whole, neither taking more than a piece of memory.
TEST(MakePictureMovie, LargeMoviesAreCopiedInPiecesAfterTheirHead) {
  TempDir dir;
  const std::string zeros = dir.Write("zeros.swf", "");
  ASSERT_EQ(::truncate(zeros.c_str(), 1536ll << 20), 0);
  const std::string movie = dir.Write("big.swf", "CWS\x08");
  ASSERT_EQ(::truncate(movie.c_str(), 40ll << 20), 0);
  const auto largest = LargestAllocation([&] {
    try {
      MakePictureMovie(zeros, dir / "out.swf", 10, 10, 12);
      ADD_FAILURE() << "a file of zeros was copied";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(zeros), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("not an SWF movie"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(MakePictureMovie(movie, dir / "big-copy.swf", 10, 10, 12));
  });
  EXPECT_FALSE(FileExists(dir / "out.swf"));
  EXPECT_EQ(std::filesystem::file_size(dir / "big-copy.swf"), 40ull << 20);
  if (largest) EXPECT_LT(*largest, 4u << 20);
}

}  // namespace
}  // namespace yel::publish
