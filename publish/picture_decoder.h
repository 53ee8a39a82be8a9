// Decoding picture files of the kinds the album takes (JPEG, PNG, GIF, BMP)
// into straight RGBA pixels, the kind found from the file's content:
// libjpeg-turbo and our BMP reader through the media layer, libpng, giflib.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace yel::publish {

// Rows top to bottom, four bytes per pixel: red, green, blue, alpha (not
// premultiplied). The pixels are as an image viewer shows them: JPEG turned
// by its EXIF orientation, CMYK converted, grey widened, 16-bit channels
// scaled to 8 bits, palette transparency as alpha, the first GIF frame.
struct TRGBAPicture {
  int Width = 0, Height = 0;
  std::vector<std::uint8_t> Pixels;
  bool HasAlpha() const;
};

// Throws yel::Error naming `name` for unknown kinds, damaged data and sizes
// the data could not hold.
TRGBAPicture DecodePicture(std::span<const std::uint8_t> bytes, const std::string& name);
TRGBAPicture DecodePictureFile(const std::string& file);

}  // namespace yel::publish
