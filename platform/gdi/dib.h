// Device-independent bitmaps as metafile records carry them (a BITMAPINFO
// header with its colour table, then the pixel rows), decoded into 32-bit
// pictures for drawing, and built from pictures for recording.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace yel::gdi {

// A picture in cairo's ARGB32 layout: premultiplied 0xAARRGGBB per pixel,
// rows from the top.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};

// A bitmap info header with its colour table and the pixel bits.
struct Dib {
  std::vector<std::uint8_t> info;
  std::vector<std::uint8_t> bits;
};

// Largest bitmap the stand-in decodes; anything larger is treated as bad input.
constexpr std::int64_t kMaxDibPixels = std::int64_t(1) << 26;
constexpr int kMaxDibSide = 32767;  // cairo's largest surface side

// Header fields read from a BITMAPINFOHEADER, checked for sanity.
struct DibHeader {
  int width = 0;
  int height = 0;  // absolute value
  bool top_down = false;
  int bit_count = 0;
  std::uint32_t compression = 0;
  std::uint32_t colors_used = 0;  // palette entries in the table
  std::size_t header_size = 0;
  std::size_t stride = 0;
};

// Reads and checks the header of `info`; false when it is malformed, too
// large, or uses a format the stand-in does not know.
bool ReadDibHeader(const std::uint8_t* info, std::size_t info_size, DibHeader& out);

// Decodes a bitmap into a picture. `alpha_channel` keeps the fourth byte of
// 32-bit pixels as alpha (AlphaBlend with per-pixel alpha); otherwise every
// pixel is opaque. Returns false (and leaves `out` empty) for bad input: a header that lies
// about its size, bits too short for the rows, a colour table past the end.
bool DecodeDib(const std::uint8_t* info, std::size_t info_size, const std::uint8_t* bits,
               std::size_t bits_size, Picture& out, bool alpha_channel = false);

// A bottom-up 32-bit (premultiplied alpha kept, as AlphaBlend wants it) or
// 24-bit (transparent parts flattened onto white) bitmap of the picture.
Dib MakeDib(const Picture& picture, int bit_count = 24);

// A bottom-up 1-bit bitmap from rows of bits (most significant bit first),
// with colour table entries 0 = black and 1 = white.
Dib MakeMonoDib(int width, int height, const std::vector<std::uint8_t>& rows_top_down);

}  // namespace yel::gdi
