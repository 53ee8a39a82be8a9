// PNG and GIF files made in code for the picture decoding and photo
// preparation tests (libpng and giflib), so every test picture is small and
// exactly known.
#pragma once

#include <gif_lib.h>
#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace yel::testing {

struct PngSpec {
  int width = 2, height = 2;
  int color_type = PNG_COLOR_TYPE_RGBA;
  int bit_depth = 8;
  bool interlaced = false;
  std::vector<std::uint8_t> rows;  // packed rows, top first, as libpng takes them
  std::vector<png_color> palette;
  std::vector<std::uint8_t> trns;  // palette alpha
};

inline std::string MakePng(const PngSpec& s) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t n) {
        static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<char*>(data), n);
      },
      nullptr);
  png_set_IHDR(png, info, s.width, s.height, s.bit_depth, s.color_type,
               s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
  if (!s.trns.empty()) png_set_tRNS(png, info, s.trns.data(), static_cast<int>(s.trns.size()), nullptr);
  png_write_info(png, info);
  const std::size_t row_bytes = png_get_rowbytes(png, info);
  std::vector<png_bytep> rows(s.height);
  for (int y = 0; y < s.height; ++y) rows[y] = const_cast<png_bytep>(s.rows.data() + row_bytes * y);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// Rewrites the IHDR size of a PNG (with a correct CRC), for size claims.
inline std::string WithPngSize(std::string png, std::uint32_t w, std::uint32_t h) {
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = static_cast<char>(w >> (24 - 8 * i));
    png[20 + i] = static_cast<char>(h >> (24 - 8 * i));
  }
  const std::uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17);
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
  return png;
}

// A GIF of width × height with a colour table and one index per pixel (rows
// top first); `transparent` is the transparent index or -1.
inline std::string MakeGif(int width, int height, const std::vector<GifColorType>& colours,
                           const std::vector<std::uint8_t>& indices, int transparent, bool interlaced = false) {
  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out,
                              [](GifFileType* g, const GifByteType* data, int n) {
                                static_cast<std::string*>(g->UserData)->append(reinterpret_cast<const char*>(data), n);
                                return n;
                              },
                              &error);
  EGifSetGifVersion(gif, true);
  int bits = 1;
  while ((1 << bits) < static_cast<int>(colours.size())) ++bits;
  std::vector<GifColorType> table(colours);
  table.resize(std::size_t(1) << bits);
  ColorMapObject* map = GifMakeMapObject(1 << bits, table.data());
  EGifPutScreenDesc(gif, width, height, bits, 0, map);
  if (transparent >= 0) {
    GifByteType gce[4] = {1, 0, 0, static_cast<GifByteType>(transparent)};
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce);
  }
  EGifPutImageDesc(gif, 0, 0, width, height, interlaced, nullptr);
  static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
  std::vector<int> order;
  for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass)
    for (int y = interlaced ? kStart[pass] : 0; y < height; y += interlaced ? kStep[pass] : 1) order.push_back(y);
  for (int y : order) EGifPutLine(gif, const_cast<GifPixelType*>(indices.data() + std::size_t(y) * width), width);
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

}  // namespace yel::testing
