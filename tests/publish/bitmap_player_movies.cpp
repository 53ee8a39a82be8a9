// Writes one movie per kind of bitmap into a folder, for bitmap_player_check.mjs:
// each shows a 40 × 40 picture of four flat quadrants (red, green, blue,
// white from top-left) stretched over an 80 × 80 stage on a grey background;
// some quadrants are transparent or half transparent.
//
// Usage: bitmap_player_movies OUTPUT_FOLDER
#include <cstdio>
#include <functional>
#include <string>

#include "base/error.h"
#include "base/files.h"
#include "media/bmp_reader.h"
#include "publish/photo_preparation.h"
#include "swf/builder/flash_image.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_shape.h"
#include "tests/testing/picture_fixtures.h"
#include "tests/testing/picture_writers.h"

namespace {

using namespace yel;
using Bytes = std::vector<std::uint8_t>;
constexpr int kSide = 40;
const std::array<std::array<std::uint8_t, 3>, 4> kColours = {{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}}};

int Quadrant(int x, int y) { return (y >= kSide / 2 ? 2 : 0) + (x >= kSide / 2 ? 1 : 0); }

std::string folder;

std::string Put(const std::string& name, const std::string& bytes) {
  const std::string path = folder + "/" + name;
  WriteFileAtomically(path, bytes);
  return path;
}

void Movie(const std::string& name, const std::string& picture,
           const std::function<void(swf::TFlashImage&)>& extra = nullptr) {
  swf::TFlashMovie movie(0, 0, 2 * kSide, 2 * kSide, 12, swf::TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  movie.BackgroundColor().SetRGB(0x808080);
  swf::TFlashImage* image = movie.AddImage(picture);
  if (extra) extra(*image);
  swf::TFlashShape* shape = movie.AddRectangle(0, 0, 2 * kSide, 2 * kSide);
  shape->SetImageFill(*image, swf::TFlashImageFillMode::Fit);
  movie.PlaceObject(shape, 1);
  movie.ShowFrame();
  movie.MakeStream();
  TMemoryStream out;
  movie.SaveToStream(out);
  WriteFileAtomically(folder + "/" + name + ".swf", out.Bytes());
}

// A BMP of the quadrants: bits per pixel, and how one pixel of quadrant q
// is stored (bytes appended to the row).
std::string QuadrantBmp(int header, int bits, std::uint32_t compression, std::vector<std::uint32_t> masks,
                        std::vector<std::array<std::uint8_t, 4>> palette, bool top_down,
                        const std::function<void(Bytes& row, int x, int q)>& pixel) {
  const int stride = ((kSide * bits + 31) / 32) * 4;
  Bytes pixels;
  for (int r = 0; r < kSide; ++r) {
    const int y = top_down ? r : kSide - 1 - r;
    Bytes row;
    for (int x = 0; x < kSide; ++x) pixel(row, x, Quadrant(x, y));
    row.resize(stride, 0);
    pixels.insert(pixels.end(), row.begin(), row.end());
  }
  return testing::MakeBmp({header, kSide, top_down ? -kSide : kSide, bits, compression, masks, palette, 0, pixels});
}

std::vector<std::uint8_t> QuadrantRGB() { return testing::Quadrants(kSide, kSide, kColours); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bitmap_player_movies OUTPUT_FOLDER\n");
    return 2;
  }
  folder = argv[1];
  try {
    publish::StartImaging();
    const std::vector<std::array<std::uint8_t, 4>> palette = {{0, 0, 255, 255}, {0, 255, 0, 255}, {255, 0, 0, 255},
                                                              {255, 255, 255, 255}};
    // JPEG, and JPEG with an alpha mask that hides the left half.
    const std::string jpeg = Put("photo.jpg", testing::MakeJpeg({kSide, kSide, 3, false, 95, 0}, QuadrantRGB()));
    Movie("jpeg", jpeg);
    Movie("jpeg-alpha", jpeg, [](swf::TFlashImage& image) {
      media::TBMPReader mask;
      mask.SetFormat(kSide, kSide, 8);
      for (int y = 0; y < kSide; ++y)
        for (int x = kSide / 2; x < kSide; ++x) mask.SetIndex(y, x, 255);
      image.LoadAlphaDataFromBMPReader(mask);
    });
    testing::JpegSpec progressive{kSide, kSide, 3, true, 95, 0};
    Movie("jpeg-progressive", Put("progressive.jpg", testing::MakeJpeg(progressive, QuadrantRGB())));

    // Lossless: colour-mapped (8 and 4 bits, with a transparent entry), 15-bit,
    // 24-bit (also top-down), 32-bit with alpha.
    auto index = [](Bytes& row, int, int q) { row.push_back(static_cast<std::uint8_t>(q)); };
    Movie("lossless-8bit", Put("p8.bmp", QuadrantBmp(40, 8, 0, {}, palette, false, index)));
    auto transparent_red = palette;
    transparent_red[0][3] = 0;
    Movie("lossless-8bit-alpha", Put("p8a.bmp", QuadrantBmp(40, 8, 0, {}, transparent_red, false, index)));
    Movie("lossless-4bit", Put("p4.bmp", QuadrantBmp(40, 4, 0, {}, palette, false, [](Bytes& row, int x, int q) {
            if (x % 2 == 0) row.push_back(static_cast<std::uint8_t>(q << 4));
            else row.back() |= static_cast<std::uint8_t>(q);
          })));
    Movie("lossless-15bit", Put("p15.bmp", QuadrantBmp(40, 16, 0, {}, {}, false, [](Bytes& row, int, int q) {
            const std::uint16_t v[] = {0x7C00, 0x03E0, 0x001F, 0x7FFF};
            row.push_back(static_cast<std::uint8_t>(v[q])), row.push_back(static_cast<std::uint8_t>(v[q] >> 8));
          })));
    Movie("lossless-15bit-from-565",
          Put("p565.bmp", QuadrantBmp(40, 16, 3, {0xF800, 0x07E0, 0x001F}, {}, false, [](Bytes& row, int, int q) {
            const std::uint16_t v[] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
            row.push_back(static_cast<std::uint8_t>(v[q])), row.push_back(static_cast<std::uint8_t>(v[q] >> 8));
          })));
    auto bgr = [](Bytes& row, int, int q) { row.insert(row.end(), {kColours[q][2], kColours[q][1], kColours[q][0]}); };
    Movie("lossless-24bit", Put("p24.bmp", QuadrantBmp(40, 24, 0, {}, {}, false, bgr)));
    Movie("lossless-24bit-topdown", Put("p24t.bmp", QuadrantBmp(40, 24, 0, {}, {}, true, bgr)));
    // Straight alpha as BMP files keep it: red invisible, green half.
    Movie("lossless-32bit-alpha",
          Put("p32.bmp", QuadrantBmp(124, 32, 3, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {}, false,
                                     [](Bytes& row, int, int q) {
                                       const std::uint8_t alpha[] = {0, 128, 255, 255};
                                       row.insert(row.end(), {kColours[q][2], kColours[q][1], kColours[q][0], alpha[q]});
                                     })));

    // Pictures through the custom loader: PNG with alpha, 16-bit PNG, palette
    // PNG with a transparent entry, GIF with a transparent index.
    Bytes rgba;
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) {
        const int q = Quadrant(x, y);
        const std::uint8_t alpha[] = {0, 128, 255, 255};
        rgba.insert(rgba.end(), {kColours[q][0], kColours[q][1], kColours[q][2], alpha[q]});
      }
    Movie("png-alpha", Put("alpha.png", testing::MakePng({kSide, kSide, PNG_COLOR_TYPE_RGBA, 8, false, rgba, {}, {}})));
    Bytes rgb16;
    for (std::uint8_t v : QuadrantRGB()) rgb16.insert(rgb16.end(), {v, v});
    Movie("png-16bit", Put("deep.png", testing::MakePng({kSide, kSide, PNG_COLOR_TYPE_RGB, 16, false, rgb16, {}, {}})));
    Bytes indices;
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) indices.push_back(static_cast<std::uint8_t>(Quadrant(x, y)));
    Movie("png-palette-transparent",
          Put("palette.png", testing::MakePng({kSide, kSide, PNG_COLOR_TYPE_PALETTE, 8, false, indices,
                                               {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}}, {0}})));
    Movie("gif-transparent",
          Put("anim.gif", testing::MakeGif(kSide, kSide, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}},
                                           indices, 0, true)));

    // JPEGs an image viewer shows differently from their bytes: CMYK, turned
    // by EXIF (orientation 6: a quarter turn clockwise), grey.
    Bytes inks;
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) {
        const std::array<std::uint8_t, 4> ink[] = {{0, 255, 255, 0}, {255, 0, 255, 0}, {255, 255, 0, 0}, {0, 0, 0, 0}};
        const auto& k = ink[Quadrant(x, y)];
        inks.insert(inks.end(), k.begin(), k.end());
      }
    Movie("jpeg-cmyk", Put("cmyk.jpg", testing::MakeJpeg({kSide, kSide, 4, false, 95, 0}, inks)));
    Movie("jpeg-exif-turned", Put("turned.jpg", testing::MakeJpeg({kSide, kSide, 3, false, 95, 6}, QuadrantRGB())));
    Bytes greys;
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) greys.push_back(std::array<std::uint8_t, 4>{30, 90, 160, 230}[Quadrant(x, y)]);
    Movie("jpeg-grey", Put("grey.jpg", testing::MakeJpeg({kSide, kSide, 1, false, 95, 0}, greys)));

    // The background-movie path of themes.
    if (!publish::MakePictureMovie(folder + "/deep.png", folder + "/picture-movie.swf", 2 * kSide, 2 * kSide, 12))
      throw Error("picture movie: source missing");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bitmap_player_movies: %s\n", e.what());
    return 1;
  }
  return 0;
}
