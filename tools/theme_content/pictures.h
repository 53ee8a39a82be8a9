// Pictures of the installed content: a cairo drawing surface and the file
// forms the catalogue reads (JPEG tile pictures, 24-bit BMP effect tiles, a
// 32-bit icon).
#pragma once

#include <cstdint>
#include <vector>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace yel::content {

// A width × height ARGB surface with its drawing context, transparent at
// first.
class TSurface {
 public:
  TSurface(int width, int height);
  ~TSurface();
  TSurface(const TSurface&) = delete;
  TSurface& operator=(const TSurface&) = delete;

  cairo_t* Context() const { return cr_; }
  cairo_surface_t* Surface() const { return surface_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Straight (not premultiplied) red, green, blue and alpha of a pixel.
  void Pixel(int x, int y, std::uint8_t rgba[4]) const;

 private:
  int width_, height_;
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

// The surface over white as a baseline JPEG.
std::vector<std::uint8_t> EncodeJPEGPicture(const TSurface& surface, int quality = 90);
// The surface over white as a 24-bit BMP file.
std::vector<std::uint8_t> EncodeBMPPicture(const TSurface& surface);
// An icon file with one 32-bit image (alpha) per surface; surfaces are
// square and at most 256 pixels.
std::vector<std::uint8_t> EncodeIcon(const std::vector<const TSurface*>& images);

}  // namespace yel::content
