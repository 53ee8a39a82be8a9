// PNG encoding with libpng into memory; rows are converted from
// premultiplied ARGB one at a time.
#include "swf/render/png_writer.h"

#include <png.h>

#include "base/error.h"
#include "base/files.h"

namespace yel::swf::render {

namespace {

bool Opaque(const TBitmap& image) {
  for (std::uint32_t p : image.Pixels)
    if ((p >> 24) != 255) return false;
  return true;
}

}  // namespace

std::vector<std::uint8_t> EncodePNG(const TBitmap& image, int compression) {
  std::vector<std::uint8_t> out;
  // volatile: read after libpng may longjmp back.
  const volatile bool opaque = Opaque(image);
  std::vector<std::uint8_t> row(std::size_t(image.Width) * 4);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) throw Error("cannot start the PNG encoder");
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw Error("the PNG encoder failed");
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t length) {
        auto* v = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
        v->insert(v->end(), data, data + length);
      },
      nullptr);
  png_set_IHDR(png, info, png_uint_32(image.Width), png_uint_32(image.Height), 8,
               opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, compression);
  // Fast levels pay off with a cheap filter.
  if (compression <= 3) png_set_filter(png, 0, PNG_FILTER_SUB);
  png_write_info(png, info);
  for (int y = 0; y < image.Height; ++y) {
    const std::uint32_t* src = image.Pixels.data() + std::size_t(y) * image.Width;
    std::uint8_t* dst = row.data();
    for (int x = 0; x < image.Width; ++x) {
      const std::uint32_t p = src[x];
      const std::uint32_t a = p >> 24;
      std::uint32_t r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
      if (a != 255 && a != 0) {
        r = std::min<std::uint32_t>(255, (r * 255 + a / 2) / a);
        g = std::min<std::uint32_t>(255, (g * 255 + a / 2) / a);
        b = std::min<std::uint32_t>(255, (b * 255 + a / 2) / a);
      }
      *dst++ = std::uint8_t(r);
      *dst++ = std::uint8_t(g);
      *dst++ = std::uint8_t(b);
      if (!opaque) *dst++ = std::uint8_t(a);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

void WritePNG(const std::string& path, const TBitmap& image, int compression) {
  WriteFileAtomically(path, EncodePNG(image, compression));
}

}  // namespace yel::swf::render
