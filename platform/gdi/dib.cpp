// Decoding and building device-independent bitmaps.
#include "platform/gdi/dib.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "media/rle_bitmap.h"

namespace yel::gdi {
namespace {

std::uint32_t U32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
std::uint16_t U16(const std::uint8_t* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

constexpr std::uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3;

std::uint32_t Opaque(int r, int g, int b) {
  return 0xFF000000u | std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b);
}

// Width of a channel mask and the shift of its lowest bit.
void MaskShape(std::uint32_t mask, int& shift, int& width) {
  shift = 0;
  width = 0;
  if (mask == 0) return;
  while (!(mask >> shift & 1)) ++shift;
  while (shift + width < 32 && (mask >> (shift + width) & 1)) ++width;
}

int Channel(std::uint32_t pixel, int shift, int width) {
  if (width == 0) return 0;
  std::uint32_t v = pixel >> shift & ((width >= 32) ? 0xFFFFFFFFu : ((1u << width) - 1));
  if (width >= 8) return int(v >> (width - 8));
  // Widen by repeating the bits, so full scale stays full scale.
  std::uint32_t out = 0;
  int filled = 0;
  while (filled < 8) {
    out = out << width | v;
    filled += width;
  }
  return int(out >> (filled - 8));
}

// Expands run-length data into 8-bit indexes, one byte per pixel, rows
// bottom-up as the file stores them.
void DecodeRle(const std::uint8_t* data, std::size_t size, bool rle4, int width, int height,
               std::vector<std::uint8_t>& indexes) {
  indexes.assign(std::size_t(width) * height, 0);
  media::DecodeRleBitmap(std::span<const std::uint8_t>(data, size), rle4, width, height,
                         [&](int x, int y, std::uint8_t index) { indexes[std::size_t(y) * width + x] = index; });
}

}  // namespace

bool ReadDibHeader(const std::uint8_t* info, std::size_t info_size, DibHeader& out) {
  out = DibHeader{};
  if (!info || info_size < 12) return false;
  std::uint32_t header_size = U32(info);
  if (header_size == 12) {  // BITMAPCOREHEADER
    out.width = U16(info + 4);
    out.height = U16(info + 6);
    out.bit_count = U16(info + 10);
    out.header_size = 12;
  } else {
    if (header_size < 40 || header_size > info_size) return false;
    std::int32_t w = std::int32_t(U32(info + 4)), h = std::int32_t(U32(info + 8));
    if (w <= 0 || h == 0 || h == INT32_MIN) return false;
    out.width = w;
    out.top_down = h < 0;
    out.height = h < 0 ? -h : h;
    out.bit_count = U16(info + 14);
    out.compression = U32(info + 16);
    out.colors_used = U32(info + 32);
    out.header_size = header_size;
  }
  if (out.width <= 0 || out.height <= 0 || out.width > kMaxDibSide || out.height > kMaxDibSide ||
      std::int64_t(out.width) * out.height > kMaxDibPixels)
    return false;
  switch (out.bit_count) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  if (out.compression == BI_RLE8 && out.bit_count != 8) return false;
  if (out.compression == BI_RLE4 && out.bit_count != 4) return false;
  if (out.compression == BI_BITFIELDS && out.bit_count != 16 && out.bit_count != 32) return false;
  if (out.compression > BI_BITFIELDS) return false;
  if ((out.compression == BI_RLE8 || out.compression == BI_RLE4) && out.top_down) return false;
  if (out.bit_count <= 8) {
    std::uint32_t max_colors = 1u << out.bit_count;
    if (out.colors_used == 0 || out.colors_used > max_colors) out.colors_used = max_colors;
  } else {
    out.colors_used = 0;
  }
  out.stride = ((std::size_t(out.width) * out.bit_count + 31) / 32) * 4;
  return true;
}

bool DecodeDib(const std::uint8_t* info, std::size_t info_size, const std::uint8_t* bits,
               std::size_t bits_size, Picture& out, bool alpha_channel) {
  out = Picture{};
  DibHeader h;
  if (!ReadDibHeader(info, info_size, h) || !bits) return false;
  const bool core = h.header_size == 12;
  const std::size_t entry = core ? 3 : 4;
  std::size_t table = h.header_size;
  std::uint32_t masks[3] = {0, 0, 0};
  if (h.compression == BI_BITFIELDS) {
    // The masks follow a 40-byte header; larger headers hold them at the
    // same place.
    std::size_t at = 40;
    if (at + 12 > info_size) return false;
    for (int k = 0; k < 3; ++k) masks[k] = U32(info + at + 4 * k);
  } else if (h.bit_count == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  } else if (h.bit_count == 32) {
    masks[0] = 0xFF0000;
    masks[1] = 0xFF00;
    masks[2] = 0xFF;
  }
  std::vector<std::uint32_t> palette;
  if (h.bit_count <= 8) {
    if (table + std::size_t(h.colors_used) * entry > info_size) return false;
    palette.resize(std::size_t(1) << h.bit_count, 0xFF000000u);
    for (std::uint32_t k = 0; k < h.colors_used; ++k) {
      const std::uint8_t* q = info + table + k * entry;
      palette[k] = Opaque(q[2], q[1], q[0]);
    }
  }

  std::vector<std::uint8_t> rle;
  if (h.compression == BI_RLE8 || h.compression == BI_RLE4) {
    DecodeRle(bits, bits_size, h.compression == BI_RLE4, h.width, h.height, rle);
  } else if (bits_size / h.stride < std::size_t(h.height)) {
    return false;  // the bits do not hold every row
  }

  int shifts[3], widths[3];
  for (int k = 0; k < 3; ++k) MaskShape(masks[k], shifts[k], widths[k]);

  out.width = h.width;
  out.height = h.height;
  out.pixels.resize(std::size_t(h.width) * h.height);
  for (int y = 0; y < h.height; ++y) {
    int file_row = h.top_down ? y : h.height - 1 - y;
    std::uint32_t* dst = &out.pixels[std::size_t(y) * h.width];
    if (!rle.empty()) {
      const std::uint8_t* src = &rle[std::size_t(file_row) * h.width];
      for (int x = 0; x < h.width; ++x) dst[x] = palette[src[x] & (palette.size() - 1)];
      continue;
    }
    const std::uint8_t* src = bits + std::size_t(file_row) * h.stride;
    switch (h.bit_count) {
      case 1:
        for (int x = 0; x < h.width; ++x) dst[x] = palette[src[x >> 3] >> (7 - (x & 7)) & 1];
        break;
      case 4:
        for (int x = 0; x < h.width; ++x)
          dst[x] = palette[(x & 1) ? (src[x >> 1] & 15) : (src[x >> 1] >> 4)];
        break;
      case 8:
        for (int x = 0; x < h.width; ++x) dst[x] = palette[src[x]];
        break;
      case 16:
        for (int x = 0; x < h.width; ++x) {
          std::uint32_t v = U16(src + 2 * x);
          dst[x] = Opaque(Channel(v, shifts[0], widths[0]), Channel(v, shifts[1], widths[1]),
                          Channel(v, shifts[2], widths[2]));
        }
        break;
      case 24:
        for (int x = 0; x < h.width; ++x)
          dst[x] = Opaque(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
        break;
      case 32:
        for (int x = 0; x < h.width; ++x) {
          std::uint32_t v = U32(src + 4 * x);
          int r = Channel(v, shifts[0], widths[0]), g = Channel(v, shifts[1], widths[1]),
              b = Channel(v, shifts[2], widths[2]);
          if (alpha_channel && h.compression == BI_RGB) {
            // AlphaBlend sources are premultiplied already; clamp colours that
            // exceed their alpha so the picture stays valid for cairo.
            std::uint32_t a = v >> 24;
            r = std::min<int>(r, int(a));
            g = std::min<int>(g, int(a));
            b = std::min<int>(b, int(a));
            dst[x] = a << 24 | std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b);
          } else {
            dst[x] = Opaque(r, g, b);
          }
        }
        break;
    }
  }
  return true;
}

Dib MakeDib(const Picture& picture, int bit_count) {
  Dib dib;
  const int bytes = bit_count == 32 ? 4 : 3;
  const std::size_t stride = ((std::size_t(picture.width) * bytes * 8 + 31) / 32) * 4;
  dib.info.assign(40, 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&dib.info[at], &v, 4); };
  put32(0, 40);
  put32(4, std::uint32_t(picture.width));
  put32(8, std::uint32_t(picture.height));
  dib.info[12] = 1;
  dib.info[14] = std::uint8_t(bytes * 8);
  put32(20, std::uint32_t(stride * picture.height));
  dib.bits.assign(stride * picture.height, 0);
  for (int y = 0; y < picture.height; ++y) {
    std::uint8_t* row = &dib.bits[std::size_t(picture.height - 1 - y) * stride];
    for (int x = 0; x < picture.width; ++x) {
      std::uint32_t p = picture.At(x, y);
      std::uint32_t a = p >> 24;
      std::uint32_t r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
      if (bytes == 3 && a != 255 && a != 0) {  // flatten onto white
        r = r + (255 - a);
        g = g + (255 - a);
        b = b + (255 - a);
      } else if (bytes == 3 && a == 0) {
        r = g = b = 255;
      }
      row[bytes * x] = std::uint8_t(b);
      row[bytes * x + 1] = std::uint8_t(g);
      row[bytes * x + 2] = std::uint8_t(r);
      if (bytes == 4) row[4 * x + 3] = std::uint8_t(a);
    }
  }
  return dib;
}

Dib MakeMonoDib(int width, int height, const std::vector<std::uint8_t>& rows_top_down) {
  Dib dib;
  const std::size_t stride = ((std::size_t(width) + 31) / 32) * 4;
  const std::size_t src_stride = (std::size_t(width) + 7) / 8;
  dib.info.assign(48, 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&dib.info[at], &v, 4); };
  put32(0, 40);
  put32(4, std::uint32_t(width));
  put32(8, std::uint32_t(height));
  dib.info[12] = 1;
  dib.info[14] = 1;
  put32(20, std::uint32_t(stride * height));
  put32(32, 2);
  put32(44, 0x00FFFFFF);  // entry 1 white, entry 0 black
  dib.bits.assign(stride * height, 0);
  for (int y = 0; y < height; ++y)
    for (std::size_t k = 0; k < src_stride && y * src_stride + k < rows_top_down.size(); ++k)
      dib.bits[std::size_t(height - 1 - y) * stride + k] = rows_top_down[y * src_stride + k];
  return dib;
}

}  // namespace yel::gdi
