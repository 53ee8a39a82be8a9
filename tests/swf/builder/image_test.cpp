// TFlashImage: JPEG pass-through and re-encoding, lossless data of every
// format, alpha, the movie's AddImage and AddShapeImage, bad files.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "base/error.h"
#include "media/bmp_reader.h"
#include "media/jpeg_file.h"
#include "swf/builder/flash_image.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"
#include "swf/format/bitmap_tags.h"
#include "swf/format/shape_tags.h"
#include "tests/swf/builder/builder_test_util.h"
#include "tests/testing/picture_fixtures.h"
#include "tests/testing/temp_dir.h"

namespace yel::swf {
namespace {

using Bytes = std::vector<std::uint8_t>;
using yel::testing::BmpSpec;
using yel::testing::JpegSpec;
using yel::testing::MakeBmp;
using yel::testing::MakeJpeg;
using yel::testing::Quadrants;
using yel::testing::TempDir;

const std::array<std::array<std::uint8_t, 3>, 4> kQuadrants = {
    {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}}};

Bytes Inflate(const std::uint8_t* data, std::size_t size) {
  Bytes out(1 << 20);
  uLongf length = out.size();
  EXPECT_EQ(uncompress(out.data(), &length, data, size), Z_OK);
  out.resize(length);
  return out;
}

// A movie showing the image through AddShapeImage, saved (and kept for the
// swf-parser check) and read back; `bitmap` is its bitmap tag.
struct Written {
  std::unique_ptr<TSWFStreamReader> reader;
  TSWFImageTag* bitmap = nullptr;
  TSWFDefineShape* shape = nullptr;
};

Written WriteMovie(TFlashMovie& movie, TFlashImage* image, const std::string& suffix = "") {
  TFlashShape* shape = movie.AddShapeImage(image);
  movie.PlaceObject(shape, 1);
  movie.ShowFrame();
  Written w;
  w.reader = testing::ReadMovie(testing::SaveMovie(movie, suffix));
  for (std::size_t i = 0; i < w.reader->TagCount(); ++i) {
    TSWFObject* tag = w.reader->TagInfo(i).TagObject;
    if (auto* b = dynamic_cast<TSWFImageTag*>(tag)) w.bitmap = b;
    if (auto* s = dynamic_cast<TSWFDefineShape*>(tag)) w.shape = s;
  }
  EXPECT_NE(w.bitmap, nullptr);
  return w;
}

class ImageTest : public ::testing::Test {
 protected:
  TFlashMovie movie{0, 0, 100, 100, 12, TSWFSystemCoord::Pix};
  TempDir dir;
  std::string Jpeg(const std::string& name, const JpegSpec& spec) {
    const std::size_t pixels = static_cast<std::size_t>(spec.width) * spec.height;
    return dir.Write(name, MakeJpeg(spec, spec.components == 3 ? Quadrants(spec.width, spec.height, kQuadrants)
                                                               : Bytes(pixels * spec.components, 100)));
  }
};

TEST_F(ImageTest, BaselineJpegIsWrittenAsItIs) {
  const std::string path = Jpeg("photo.JPG", {40, 24});
  TFlashImage* image = movie.AddImage(path);
  EXPECT_EQ(image->DataState, kImageJPEGFile);
  EXPECT_EQ(image->Width(), 40);
  EXPECT_EQ(image->Height(), 24);
  EXPECT_EQ(image->MinVersion(), 2);
  Written w = WriteMovie(movie, image);
  EXPECT_EQ(w.bitmap->TagID, 21);
  EXPECT_EQ(w.bitmap->ID, image->CharacterId());
  const Bytes file = yel::ReadFileBytes(path);
  EXPECT_EQ(Bytes(w.bitmap->Data(), w.bitmap->Data() + w.bitmap->DataSize()), file);
  // The bitmap is defined before the shape that shows it, fitted to it.
  EXPECT_LT(w.bitmap->ID, w.shape->ShapeId);

  // From SWF 8 on the JPEG stream comes without FF D9 FF D8 in front.
  TFlashMovie v8(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  v8.SetVersion(8);
  Written w8 = WriteMovie(v8, v8.AddImage(path), "_v8");
  Bytes interior(file.begin() + 2, file.end() - 2);
  EXPECT_EQ(Bytes(w8.bitmap->Data(), w8.bitmap->Data() + w8.bitmap->DataSize()), interior);
}

TEST_F(ImageTest, JpegsThatThePlayerWouldShowWronglyAreReencoded) {
  JpegSpec progressive{24, 16};
  progressive.progressive = true;
  JpegSpec turned{24, 16};
  turned.orientation = 6;
  JpegSpec cmyk{24, 16, 4};
  JpegSpec grey{24, 16, 1};
  const struct {
    const char* name;
    JpegSpec spec;
    std::uint8_t state;
    int width, height;
  } cases[] = {
      {"progressive.jpg", progressive, kImageJPEGInMemory, 24, 16},
      {"turned.jpeg", turned, kImageJPEGInMemory, 16, 24},
      {"cmyk.jpg", cmyk, kImageJPEGInMemory, 24, 16},
      {"grey.jpg", grey, kImageJPEGFile, 24, 16},  // the player shows grey baseline files as they are
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TFlashImage image(&movie, Jpeg(c.name, c.spec));
    EXPECT_EQ(image.DataState, c.state);
    EXPECT_EQ(image.Width(), c.width);
    EXPECT_EQ(image.Height(), c.height);
    if (c.state == kImageJPEGInMemory) {
      const media::TJPEGProbe probe = media::ProbeJPEG(image.DataStream().Bytes());
      EXPECT_EQ(probe.FrameMarker, 0xC0);
      EXPECT_EQ(probe.Components, 3);
      EXPECT_EQ(probe.Orientation, 1);
    }
  }
  // With the conversion off a progressive file is kept as it is, 0 × 0;
  // switching it on converts it.
  TFlashImage kept(&movie);
  kept.SetConvertProgressiveJPEG(false);
  kept.LoadDataFromFile(Jpeg("kept.jpg", progressive));
  EXPECT_EQ(kept.DataState, kImageJPEGFile);
  EXPECT_EQ(kept.Width(), 0);
  kept.SetConvertProgressiveJPEG(true);
  EXPECT_EQ(kept.DataState, kImageJPEGInMemory);
  EXPECT_EQ(kept.Width(), 24);
}

// The uncompressed lossless block of the image's bitmap tag.
Bytes LosslessBlock(const Written& w) { return Inflate(w.bitmap->Data(), w.bitmap->DataSize()); }

TEST_F(ImageTest, LosslessDataOfEveryFormat) {
  // Small pictures (rows stored bottom first) whose rows every format pads.
  std::vector<std::array<std::uint8_t, 4>> palette(7);
  for (int i = 0; i < 7; ++i) palette[i] = {std::uint8_t(10 * i), std::uint8_t(10 * i + 1), std::uint8_t(10 * i + 2), 0};
  const struct {
    const char* name;
    BmpSpec spec;
    int tag, format, table;
    Bytes block;
  } cases[] = {
      {"8-bit, 7 colours", {40, 5, 2, 8, 0, {}, palette, 7, {4, 5, 6, 6, 6, 0, 0, 0, 0, 1, 2, 3, 0, 9, 9, 9}}, 20, 3, 6,
       {2, 1, 0, 12, 11, 10, 22, 21, 20, 32, 31, 30, 42, 41, 40, 52, 51, 50, 62, 61, 60,  // colour table
        0, 1, 2, 3, 0, 0, 0, 0, 4, 5, 6, 6, 6, 0, 0, 0}},                                 // top row first
      {"16-bit 5-5-5", {40, 3, 2, 16, 0, {}, {}, 0, {1, 0, 2, 0, 3, 0, 0, 0, 0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x80, 0, 0}},
       20, 4, 0, {0x7C, 0x00, 0x03, 0xE0, 0x00, 0x1F, 0, 0, 0, 1, 0, 2, 0, 3, 0, 0}},
      {"16-bit 5-6-5 is repacked", {40, 1, 1, 16, 3, {0xF800, 0x07E0, 0x001F}, {}, 0, {0xE0, 0x07, 0, 0}}, 20, 4, 0,
       {0x03, 0xE0, 0, 0}},
      {"24-bit", {40, 3, 1, 24, 0, {}, {}, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}}, 20, 5, 0,
       {255, 3, 2, 1, 255, 6, 5, 4, 255, 9, 8, 7}},
      {"32-bit with a transparent pixel", {40, 2, 1, 32, 0, {}, {}, 0, {1, 2, 3, 255, 9, 9, 9, 0}}, 36, 5, 0,
       {255, 3, 2, 1, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TFlashMovie m(0, 0, 10, 10, 12, TSWFSystemCoord::Pix);
    TFlashImage* image = m.AddImage(dir.Write("pic.bmp", MakeBmp(c.spec)));
    Written w = WriteMovie(m, image, std::string("_") + std::to_string(&c - cases));
    ASSERT_NE(w.bitmap, nullptr);
    auto& tag = dynamic_cast<TSWFDefineBitsLossless&>(*w.bitmap);
    EXPECT_EQ(tag.TagID, c.tag);
    EXPECT_EQ(tag.BitmapFormat, c.format);
    EXPECT_EQ(tag.Width, c.spec.width);
    EXPECT_EQ(tag.BitmapColorTableSize, c.table);
    EXPECT_EQ(LosslessBlock(w), c.block);
  }
}

TEST_F(ImageTest, TransparentPaletteEntryFollowsTheCompaction) {
  // Entries 2 (opaque) and 5 (alpha 0) are used: after compaction they are
  // 0 and 1, and entry 1 is the transparent one, written black.
  BmpSpec spec{40, 2, 1, 8, 0, {}, {}, 0, {2, 5, 0, 0}};
  spec.palette.assign(256, {0, 0, 0, 255});
  spec.palette[2] = {30, 20, 10, 255};
  spec.palette[5] = {60, 50, 40, 0};
  TFlashImage* image = movie.AddImage(dir.Write("t.bmp", MakeBmp(spec)));
  EXPECT_TRUE(image->HasAlpha);
  EXPECT_EQ(image->ColorCount, 2);
  Written w = WriteMovie(movie, image);
  EXPECT_EQ(w.bitmap->TagID, 36);
  EXPECT_EQ(LosslessBlock(w), (Bytes{10, 20, 30, 255, 0, 0, 0, 0, 0, 1, 0, 0}));

  // SetAlphaColor on an opaque picture: the matching entry gets the alpha
  // (and black, at alpha 0), and lossless data made before is made again.
  TFlashMovie m(0, 0, 10, 10, 12, TSWFSystemCoord::Pix);
  spec.palette[5][3] = 255;
  TFlashImage* opaque = m.AddImage(dir.Write("o.bmp", MakeBmp(spec)));
  EXPECT_FALSE(opaque->HasAlpha);
  opaque->MakeLosslessData();
  opaque->SetAlphaColor(0x003C3228);  // red 40, green 50, blue 60, alpha 0
  EXPECT_TRUE(opaque->HasAlpha);
  Written o = WriteMovie(m, opaque, "_alpha_colour");
  EXPECT_EQ(o.bitmap->TagID, 36);
  EXPECT_EQ(LosslessBlock(o), (Bytes{10, 20, 30, 255, 0, 0, 0, 0, 0, 1, 0, 0}));
}

TEST_F(ImageTest, AlphaForJpegAndLosslessData) {
  // An 8-bit mask whose index is the alpha: 0 on the left, 200 on the right.
  BmpSpec mask{40, 2, 2, 8, 0, {}, {}, 0, {0, 200, 0, 0, 0, 200, 0, 0}};
  const std::string mask_path = dir.Write("mask.bmp", MakeBmp(mask));
  TFlashImage* jpeg = movie.AddImage(Jpeg("a.jpg", {2, 2}));
  jpeg->LoadAlphaDataFromFile(mask_path);
  EXPECT_EQ(jpeg->AlphaData().Bytes(), (Bytes{0, 200, 0, 200}));
  EXPECT_EQ(jpeg->MinVersion(), 3);
  Written w = WriteMovie(movie, jpeg);
  auto& tag = dynamic_cast<TSWFDefineBitsJPEG3&>(*w.bitmap);
  EXPECT_EQ(Inflate(tag.AlphaData(), tag.AlphaDataSize()), (Bytes{0, 200, 0, 200}));
  EXPECT_EQ(tag.DataSize(), yel::ReadFileBytes(dir / "a.jpg").size());

  // A 24-bit bitmap takes the mask as 32-bit pixels, premultiplied.
  TFlashMovie m(0, 0, 10, 10, 12, TSWFSystemCoord::Pix);
  BmpSpec rgb{40, 2, 2, 24, 0, {}, {}, 0, {100, 100, 100, 100, 100, 100, 0, 0, 100, 100, 100, 100, 100, 100, 0, 0}};
  TFlashImage* lossless = m.AddImage(dir.Write("rgb.bmp", MakeBmp(rgb)));
  lossless->LoadAlphaDataFromFile(mask_path);
  Written l = WriteMovie(m, lossless, "_lossless");
  EXPECT_EQ(l.bitmap->TagID, 36);
  const Bytes block = LosslessBlock(l);
  EXPECT_EQ(Bytes(block.begin(), block.begin() + 8), (Bytes{0, 0, 0, 0, 200, 78, 78, 78}));

  try {
    jpeg->LoadAlphaDataFromFile(dir / "mask.png");
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("Image format \"PNG\" for alpha not supported!"), std::string::npos);
  }
}

// Once the lossless data is made, the decoded pixels of 24- and 32-bit
// bitmaps are let go when the data gives them back exactly; whatever uses
// them later (a copy, the reader, alpha, new data) sees them as they were.
TEST_F(ImageTest, PixelsLetGoComeBackUnchanged) {
  media::TBMPReader top_down;  // rows stored top first, as canvas work areas are
  top_down.SetFormat(2, -2, 32);
  for (int i = 0; i < 4; ++i) top_down.SetPixel(i / 2, i % 2, {std::uint8_t(10 * i), 20, 30, std::uint8_t(60 * i + 10)});
  const struct {
    const char* name;
    BmpSpec spec;  // or, without pixels, the top-down reader
    bool released;
  } cases[] = {
      {"24-bit, padded rows", {40, 3, 2, 24, 0, {}, {}, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 11, 12, 13, 14, 15, 16,
                                                             17, 18, 19, 0, 0, 0}}, true},
      {"32-bit, transparent black", {40, 2, 1, 32, 0, {}, {}, 0, {1, 2, 3, 255, 0, 0, 0, 0}}, true},
      {"32-bit top-down", {}, true},
      {"32-bit, transparent colour", {40, 2, 1, 32, 0, {}, {}, 0, {1, 2, 3, 255, 9, 9, 9, 0}}, false},
      {"8-bit", {40, 2, 1, 8, 0, {}, {{1, 2, 3, 0}, {4, 5, 6, 0}}, 2, {0, 1, 0, 0}}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto load = [&](TFlashImage& image) {
      if (c.spec.pixels.empty()) {
        image.LoadDataFromBMPReader(top_down);
      } else {
        const std::string bmp = MakeBmp(c.spec);
        image.LoadDataFromStream(Bytes(bmp.begin(), bmp.end()));
      }
    };
    auto pixels = [](const media::TBMPReader& r) {
      return std::make_pair(r.BitmapInfo().Header.Height, Bytes(r.Bits(), r.Bits() + r.ImageSize()));
    };
    TFlashImage image(nullptr), copy(nullptr), alpha(nullptr), alpha_kept(nullptr);
    load(image);
    const auto original = pixels(image.BMPReader());
    image.MakeLosslessData();
    EXPECT_EQ(image.PixelsReleased(), c.released);
    EXPECT_TRUE(image.HasBMPReader());
    copy.Assign(image);
    const Bytes data = image.DataStream().Bytes();
    EXPECT_FALSE(image.PixelsReleased());
    EXPECT_EQ(pixels(image.BMPReader()), original);
    image.MakeLosslessData();
    EXPECT_EQ(image.DataStream().Bytes(), data);
    EXPECT_EQ(pixels(copy.BMPReader()), original);

    // Alpha taken after the pixels were let go, and without that.
    media::TBMPReader mask;
    mask.SetFormat(3, 2, 32);
    mask.Fill({0, 0, 0, 128});
    load(alpha), load(alpha_kept);
    alpha.MakeLosslessData();
    alpha.LoadAlphaDataFromBMPReader(mask);
    alpha_kept.LoadAlphaDataFromBMPReader(mask);
    alpha.MakeLosslessData(), alpha_kept.MakeLosslessData();
    EXPECT_EQ(alpha.DataStream().Bytes(), alpha_kept.DataStream().Bytes());
  }
}

// In a compressed movie the lossless data, which is deflate data already,
// lies in stored blocks as it is; inflated, the movie is the uncompressed
// one byte for byte.
TEST_F(ImageTest, CompressedMovieKeepsBitmapDataAsItIs) {
  media::TBMPReader noise;
  noise.SetFormat(300, 200, 24);
  std::uint32_t seed = 1;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300 * 3; ++x) noise.Row(y)[x] = std::uint8_t((seed = seed * 1664525u + 1013904223u) >> 24);
  auto write = [&](bool compressed, Bytes* data) {
    TFlashMovie m(0, 0, 300, 200, 12, TSWFSystemCoord::Pix);
    m.SetCompressed(compressed);
    TFlashImage* image = m.AddImage("");
    image->LoadDataFromBMPReader(noise);
    m.PlaceObject(m.AddShapeImage(image), 1);
    m.ShowFrame();
    TMemoryStream out;
    m.MakeStreamInto(out);
    if (data) *data = image->DataStream().Bytes();
    return out.TakeBytes();
  };
  Bytes data;
  const Bytes cws = write(true, &data), fws = write(false, nullptr);
  ASSERT_GT(data.size(), 150000u);
  EXPECT_NE(std::search(cws.begin(), cws.end(), data.begin(), data.begin() + 20000), cws.end());
  EXPECT_LT(cws.size(), data.size() + 1000);
  ASSERT_EQ(std::string(cws.begin(), cws.begin() + 3), "CWS");
  Bytes body(fws.size() - 8);
  uLongf length = body.size();
  ASSERT_EQ(uncompress(body.data(), &length, cws.data() + 8, cws.size() - 8), Z_OK);
  EXPECT_EQ(length, body.size());
  EXPECT_TRUE(std::equal(body.begin(), body.end(), fws.begin() + 8));
  EXPECT_EQ(testing::ReadMovie(cws)->TagCount(), testing::ReadMovie(fws)->TagCount());
  if (const char* folder = std::getenv("YEL_BUILDER_MOVIES"))
    WriteFileAtomically(std::string(folder) + "/ImageTest.CompressedMovieKeepsBitmapDataAsItIs.swf", cws);
}

// Opaque bitmaps become JPEG data that decodes close to the pixels; a
// bitmap with a transparent pixel, or a palette one, stays lossless.
TEST_F(ImageTest, JpegDataOfOpaqueBitmapsOnly) {
  media::TBMPReader opaque, see_through, palette;
  opaque.SetFormat(16, 16, 32);
  opaque.Fill({40, 120, 200, 255});
  see_through.Assign(opaque, true);
  see_through.SetPixel(3, 3, {0, 0, 0, 0});
  palette.SetFormat(4, 4, 8);
  const struct {
    const char* name;
    const media::TBMPReader& bitmap;
    bool jpeg;
  } cases[] = {{"opaque", opaque, true}, {"transparent pixel", see_through, false}, {"palette", palette, false}};
  for (const auto& c : cases) {
    TFlashMovie m(0, 0, 16, 16, 12, TSWFSystemCoord::Pix);
    TFlashImage* image = m.AddImage("");
    image->LoadDataFromBMPReader(c.bitmap);
    EXPECT_EQ(image->MakeJPEGData(85), c.jpeg) << c.name;
    Written w = WriteMovie(m, image, std::string("-") + c.name);
    ASSERT_NE(w.bitmap, nullptr);
    EXPECT_EQ(w.bitmap->TagID, c.jpeg ? tag::DefineBitsJPEG2 : c.name == std::string("palette") ? tag::DefineBitsLossless
                                                                                                 : tag::DefineBitsLossless2)
        << c.name;
    if (c.jpeg) {
      const media::TDecodedImage back = media::DecodeJPEG(image->DataStream().Bytes(), "slide", false);
      ASSERT_EQ(back.Width, 16);
      EXPECT_NEAR(back.Pixels[0], 200, 3);  // red of blue 40, green 120, red 200
      EXPECT_NEAR(back.Pixels[2], 40, 3);
    }
  }
}

TEST_F(ImageTest, BadFilesAddNothing) {
  const std::string garbage = dir.Write("broken.jpg", "\xFF\xD8\xFF\xE0 not really a JPEG");
  const struct {
    std::string path;
    const char* message;
  } cases[] = {
      {dir.Write("clip.gif", "GIF89a"), "Image format \"GIF\" not supported!"},
      {dir / "missing.jpg", "missing.jpg"},
      {garbage, "broken.jpg: cannot decode"},
      {dir.Write("broken.bmp", "BM"), "broken.bmp: not a BMP file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    try {
      movie.AddImage(c.path);
      ADD_FAILURE() << "expected an error";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(movie.NextID, 1);
  EXPECT_TRUE(movie.ObjectList().empty());
}

TEST_F(ImageTest, ShapeImageFillsTheImageSize) {
  TFlashImage* image = movie.AddImage(Jpeg("b.jpg", {100, 50}));
  TFlashShape* shape = movie.AddShapeImage(image);
  EXPECT_EQ(shape->Width(), 100);
  EXPECT_EQ(shape->Height(), 50);
  auto* fill = dynamic_cast<TSWFImageFill*>(shape->FillStyles().at(0).get());
  ASSERT_NE(fill, nullptr);
  EXPECT_EQ(fill->BitmapId, image->CharacterId());
  EXPECT_NEAR(fill->Matrix.GetScaleX(), 20.0036621, 1e-4);
  EXPECT_NEAR(fill->Matrix.GetScaleY(), 20.0036621, 1e-4);
}

TEST_F(ImageTest, CustomLoaderAndMovieHook) {
  CustomImageLoader = [](TFlashImage& image, const std::string&) {
    media::TBMPReader r;
    r.SetFormat(1, 1, 24);
    image.LoadDataFromBMPReader(r);
  };
  TFlashImage* other = movie.AddImage(dir.Write("x.tif", "II*"));
  CustomImageLoader = nullptr;
  EXPECT_EQ(other->DataState, kImageLossless);
  EXPECT_EQ(other->Width(), 1);

  bool asked = false;
  movie.OnLoadCustomImage = [&](TFlashImage&, const std::string&, bool& proceed) {
    asked = true;
    proceed = false;
  };
  TFlashImage* handled = movie.AddImage(dir / "anything.gif");
  EXPECT_TRUE(asked);
  EXPECT_EQ(handled->DataState, kImageNoData);
}

}  // namespace
}  // namespace yel::swf
