// Run-length encoded bitmap data (BI_RLE8 and BI_RLE4 of BMP files and
// device-independent bitmaps): the one decoder that the BMP reader and the
// metafile player share. It hands each pixel's palette index to a callback,
// so that each caller stores it its own way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace yel::media {

// Calls put(x, y, index) for every decoded pixel inside width x height, in
// the file's row order (row 0 is the first row stored, the bottom one of a
// bottom-up bitmap). Runs are clipped at the row end; decoding stops at the
// end-of-bitmap mark, after the last row, or where the data ends (an
// absolute run cut short gives the pixels that are there).
template <class Put>
void DecodeRleBitmap(std::span<const std::uint8_t> data, bool rle4, int width, int height, Put&& put) {
  std::size_t p = 0;
  int x = 0, y = 0;
  auto pixel = [&](int value) {
    if (x < width && y < height) put(x, y, static_cast<std::uint8_t>(value));
    ++x;
  };
  while (p + 1 < data.size() && y < height) {
    const int count = data[p], value = data[p + 1];
    p += 2;
    if (count > 0) {  // encoded run: count pixels of one value (two alternating for RLE4)
      for (int i = 0; i < count && x < width; ++i) pixel(rle4 ? ((i & 1) ? value & 0x0F : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of row
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // delta
      if (p + 1 >= data.size()) break;
      x += data[p];
      y += data[p + 1];
      p += 2;
    } else {  // absolute run of `value` pixels, padded to 16 bits
      const std::size_t bytes = rle4 ? (static_cast<std::size_t>(value) + 1) / 2 : static_cast<std::size_t>(value);
      for (int i = 0; i < value; ++i) {
        const std::size_t at = p + (rle4 ? i / 2 : i);
        if (at >= data.size()) break;
        pixel(rle4 ? ((i & 1) ? data[at] & 0x0F : data[at] >> 4) : data[at]);
      }
      p += bytes + (bytes & 1);
    }
  }
}

}  // namespace yel::media
