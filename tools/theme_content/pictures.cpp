// Surfaces and picture encoders of the content generator.
#include "tools/theme_content/pictures.h"

#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "media/bmp_reader.h"
#include "media/jpeg_file.h"

namespace yel::content {
namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(v & 255);
  out.push_back((v >> 8) & 255);
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// Red, green and blue of a pixel composed over white.
void OverWhite(const TSurface& surface, int x, int y, std::uint8_t rgb[3]) {
  std::uint8_t p[4];
  surface.Pixel(x, y, p);
  for (int i = 0; i < 3; ++i) rgb[i] = static_cast<std::uint8_t>((p[i] * p[3] + 255 * (255 - p[3]) + 127) / 255);
}

}  // namespace

TSurface::TSurface(int width, int height)
    : width_(width),
      height_(height),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
      cr_(cairo_create(surface_)) {
  if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS || cairo_status(cr_) != CAIRO_STATUS_SUCCESS) {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
    throw std::runtime_error("cannot create a " + std::to_string(width) + " x " + std::to_string(height) +
                             " drawing surface");
  }
}

TSurface::~TSurface() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

void TSurface::Pixel(int x, int y, std::uint8_t rgba[4]) const {
  cairo_surface_flush(surface_);
  const unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  std::uint32_t v;
  const unsigned char* p = data + static_cast<std::size_t>(y) * stride + 4 * static_cast<std::size_t>(x);
  std::memcpy(&v, p, 4);  // one native-endian ARGB word, colours premultiplied
  const std::uint32_t a = v >> 24;
  auto straight = [a](std::uint32_t c) {
    return static_cast<std::uint8_t>(a == 0 ? 0 : std::min<std::uint32_t>(255, (c * 255 + a / 2) / a));
  };
  rgba[0] = straight((v >> 16) & 255);
  rgba[1] = straight((v >> 8) & 255);
  rgba[2] = straight(v & 255);
  rgba[3] = static_cast<std::uint8_t>(a);
}

std::vector<std::uint8_t> EncodeJPEGPicture(const TSurface& surface, int quality) {
  media::TDecodedImage image;
  image.Width = surface.Width();
  image.Height = surface.Height();
  image.Components = 3;
  image.Pixels.resize(static_cast<std::size_t>(image.Width) * image.Height * 3);
  for (int y = 0; y < image.Height; ++y)
    for (int x = 0; x < image.Width; ++x) OverWhite(surface, x, y, &image.Pixels[(std::size_t(y) * image.Width + x) * 3]);
  return media::EncodeJPEG(image, quality);
}

std::vector<std::uint8_t> EncodeBMPPicture(const TSurface& surface) {
  media::TBMPReader bitmap;
  bitmap.SetFormat(surface.Width(), surface.Height(), 24);
  for (int y = 0; y < surface.Height(); ++y) {
    // Rows are stored bottom-up.
    std::uint8_t* row = bitmap.Row(surface.Height() - 1 - y);
    for (int x = 0; x < surface.Width(); ++x) {
      std::uint8_t rgb[3];
      OverWhite(surface, x, y, rgb);
      row[3 * x] = rgb[2];
      row[3 * x + 1] = rgb[1];
      row[3 * x + 2] = rgb[0];
    }
  }
  return bitmap.SaveToStream();
}

// The icon directory, one 16-byte entry per image, then each image as a
// bitmap header (height doubled for the mask), the 32-bit blue, green, red,
// alpha rows bottom-up, and the 1-bit AND mask (all zero: alpha decides).
std::vector<std::uint8_t> EncodeIcon(const std::vector<const TSurface*>& images) {
  std::vector<std::vector<std::uint8_t>> bodies;
  for (const TSurface* image : images) {
    const int size = image->Width();
    if (size != image->Height() || size < 1 || size > 256) throw std::invalid_argument("icon images are square, 1 to 256 pixels");
    const int maskStride = ((size + 31) / 32) * 4;
    std::vector<std::uint8_t> body;
    Put32(body, 40);
    Put32(body, static_cast<std::uint32_t>(size));
    Put32(body, static_cast<std::uint32_t>(size * 2));
    Put16(body, 1);
    Put16(body, 32);
    Put32(body, 0);
    Put32(body, static_cast<std::uint32_t>(size * size * 4 + maskStride * size));
    for (int i = 0; i < 4; ++i) Put32(body, 0);
    for (int y = size - 1; y >= 0; --y) {
      for (int x = 0; x < size; ++x) {
        std::uint8_t p[4];
        image->Pixel(x, y, p);
        body.push_back(p[2]);
        body.push_back(p[1]);
        body.push_back(p[0]);
        body.push_back(p[3]);
      }
    }
    body.insert(body.end(), static_cast<std::size_t>(maskStride) * size, 0);
    bodies.push_back(std::move(body));
  }
  std::vector<std::uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);  // icon
  Put16(out, static_cast<std::uint32_t>(bodies.size()));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(bodies.size());
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    const int size = images[i]->Width();
    out.push_back(size == 256 ? 0 : static_cast<std::uint8_t>(size));
    out.push_back(size == 256 ? 0 : static_cast<std::uint8_t>(size));
    out.push_back(0);  // no palette
    out.push_back(0);
    Put16(out, 1);   // planes
    Put16(out, 32);  // bits per pixel
    Put32(out, static_cast<std::uint32_t>(bodies[i].size()));
    Put32(out, offset);
    offset += static_cast<std::uint32_t>(bodies[i].size());
  }
  for (const auto& body : bodies) out.insert(out.end(), body.begin(), body.end());
  return out;
}

}  // namespace yel::content
