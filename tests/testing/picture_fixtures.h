// Small pictures made in code for tests: BMP files of every header form and
// JPEG files (baseline, progressive, grey, CMYK, with an EXIF orientation)
// encoded with libjpeg-turbo. Link JPEG::JPEG where the JPEG makers are used.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace yel::testing {

struct BmpSpec {
  int header = 40;  // 12, 40, 52, 56, 108 or 124
  int width = 0, height = 0, bits = 24;
  std::uint32_t compression = 0;
  std::vector<std::uint32_t> masks;  // red, green, blue (, alpha)
  std::vector<std::array<std::uint8_t, 4>> palette;  // blue, green, red, reserved
  std::uint32_t clr_used = 0;
  std::vector<std::uint8_t> pixels;  // stored rows, exactly as in the file
};

inline void Put(std::string& s, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}

inline std::string MakeBmp(const BmpSpec& b) {
  std::string body;
  if (b.header == 12) {
    Put(body, 12, 4), Put(body, b.width, 2), Put(body, b.height, 2), Put(body, 1, 2), Put(body, b.bits, 2);
  } else {
    Put(body, b.header, 4), Put(body, b.width, 4), Put(body, static_cast<std::uint32_t>(b.height), 4);
    Put(body, 1, 2), Put(body, b.bits, 2), Put(body, b.compression, 4), Put(body, 0, 4);
    Put(body, 2835, 4), Put(body, 2835, 4), Put(body, b.clr_used, 4), Put(body, 0, 4);
    for (int i = 0; i < 4 && b.header > 40 && 40 + 4 * i < b.header; ++i)
      Put(body, i < static_cast<int>(b.masks.size()) ? b.masks[i] : 0, 4);
    while (static_cast<int>(body.size()) < b.header) body.push_back(0);
    if (b.header == 40)
      for (std::uint32_t m : b.masks) Put(body, m, 4);
  }
  for (const auto& e : b.palette) {
    body.append({static_cast<char>(e[0]), static_cast<char>(e[1]), static_cast<char>(e[2])});
    if (b.header != 12) body.push_back(static_cast<char>(e[3]));
  }
  std::string file = "BM";
  Put(file, static_cast<std::uint32_t>(14 + body.size() + b.pixels.size()), 4);
  Put(file, 0, 4);
  Put(file, static_cast<std::uint32_t>(14 + body.size()), 4);
  return file + body + std::string(b.pixels.begin(), b.pixels.end());
}

// A 24-bit BMP file of w x h pixels of one colour.
inline std::string SolidBmp(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  const std::size_t stride = (static_cast<std::size_t>(w) * 3 + 3) & ~std::size_t{3};
  BmpSpec spec;
  spec.width = w, spec.height = h;
  spec.pixels.assign(stride * static_cast<std::size_t>(h), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::size_t at = y * stride + static_cast<std::size_t>(x) * 3;
      spec.pixels[at] = b, spec.pixels[at + 1] = g, spec.pixels[at + 2] = r;
    }
  return MakeBmp(spec);
}

struct JpegSpec {
  int width = 16, height = 16;
  int components = 3;  // 1 grey, 3 RGB, 4 CMYK (stored inverted with the Adobe marker)
  bool progressive = false;
  int quality = 95;
  int orientation = 0;  // EXIF orientation to record, 0 for none
};

// Pixels: components bytes per pixel, rows top to bottom. For CMYK the values
// are the ink amounts (0 = no ink).
inline std::string MakeJpeg(const JpegSpec& s, const std::vector<std::uint8_t>& pixels) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = s.width;
  c.image_height = s.height;
  c.input_components = s.components;
  c.in_color_space = s.components == 1 ? JCS_GRAYSCALE : s.components == 4 ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, s.quality, TRUE);
  if (s.progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  if (s.orientation) {
    // A little-endian TIFF header with one IFD0 entry: Orientation (SHORT).
    const unsigned char exif[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                                  0x12, 0x01, 3, 0, 1, 0, 0, 0, static_cast<unsigned char>(s.orientation), 0, 0, 0,
                                  0, 0, 0, 0};
    jpeg_write_marker(&c, JPEG_APP0 + 1, exif, sizeof exif);
  }
  std::vector<std::uint8_t> row(static_cast<std::size_t>(s.width) * s.components);
  while (c.next_scanline < c.image_height) {
    const std::uint8_t* src = pixels.data() + row.size() * c.next_scanline;
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = s.components == 4 ? 255 - src[i] : src[i];
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::string out(reinterpret_cast<char*>(buffer), size);
  std::free(buffer);
  return out;
}

// A picture of four flat quadrants (top-left, top-right, bottom-left,
// bottom-right colours, RGB), the test pattern that shows a wrong channel
// order, a mirror or an upside-down image at once.
inline std::vector<std::uint8_t> Quadrants(int w, int h, const std::array<std::array<std::uint8_t, 3>, 4>& q) {
  std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const auto& c = q[(y >= h / 2 ? 2 : 0) + (x >= w / 2 ? 1 : 0)];
      for (int i = 0; i < 3; ++i) px[(static_cast<std::size_t>(y) * w + x) * 3 + i] = c[i];
    }
  return px;
}

}  // namespace yel::testing
