// Decoding picture files of the kinds the album takes (JPEG, PNG, GIF, BMP)
// into straight RGBA pixels, the kind found from the file's content:
// libjpeg-turbo and the BMP reader of this folder, libpng, giflib.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "media/jpeg_file.h"

namespace yel::media {

// Rows top to bottom, four bytes per pixel: red, green, blue, alpha (not
// premultiplied). The pixels are as an image viewer shows them: JPEG turned
// by its EXIF orientation, CMYK converted, grey widened, 16-bit channels
// scaled to 8 bits, palette transparency as alpha, the first GIF frame.
struct TRGBAPicture {
  int Width = 0, Height = 0;
  std::vector<std::uint8_t> Pixels;
  bool HasAlpha() const;
};

// Decoded photos are held to this many pixels (a 150-megapixel RGBA
// picture takes 600 MB).
inline constexpr std::uint64_t kMaxPhotoPixels = 150'000'000;

// The width and height a picture's header claims (JPEG frame header, PNG
// IHDR, GIF screen, BMP header); 0 x 0 when the header is not there (yet).
struct TPictureSize {
  std::int64_t Width = 0, Height = 0;
};
TPictureSize PictureHeaderSize(std::span<const std::uint8_t> bytes);

// Throws yel::Error naming `name` for unknown kinds, damaged data, sizes
// the data could not hold and pictures over kMaxPhotoPixels (checked from
// the header, before anything is decoded).
TRGBAPicture DecodePicture(std::span<const std::uint8_t> bytes, const std::string& name);
// The file's header is read first: a file that is not a regular file, a
// picture over the pixel budget, or a file far larger than its picture
// could need (padding) is refused before the file is read whole. Running
// out of memory is an error naming the file.
TRGBAPicture DecodePictureFile(const std::string& file);

// A photo to be drawn fitted into a box, as premultiplied ARGB words. JPEG
// photos are decoded with the DCT scaled down as far as the fitted size
// allows (never below it), in one pass; other kinds at full size. FullWidth
// and FullHeight are the upright picture's own size, the one to fit. The
// file is checked and errors are reported as by DecodePictureFile.
struct TFittedPhoto {
  TARGBImage Image;
  int FullWidth = 0, FullHeight = 0;
};
TFittedPhoto DecodePhotoFileFitted(const std::string& file, int box_width, int box_height);

}  // namespace yel::media
