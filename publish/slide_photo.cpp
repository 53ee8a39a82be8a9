// Slide photos: straight RGBA from the picture decoder to the premultiplied
// 0xAARRGGBB pixels of the drawing context.
#include "publish/slide_photo.h"

#include "media/picture_decoder.h"

namespace yel::publish {

gdi::Picture LoadPhotoPicture(const std::string& file) {
  const media::TRGBAPicture decoded = media::DecodePictureFile(file);
  gdi::Picture picture;
  picture.width = decoded.Width;
  picture.height = decoded.Height;
  picture.pixels.resize(std::size_t(decoded.Width) * decoded.Height);
  const std::uint8_t* p = decoded.Pixels.data();
  for (std::uint32_t& out : picture.pixels) {
    const std::uint32_t a = p[3];
    auto channel = [a](std::uint32_t c) { return a == 255 ? c : (c * a + 127) / 255; };
    out = a << 24 | channel(p[0]) << 16 | channel(p[1]) << 8 | channel(p[2]);
    p += 4;
  }
  return picture;
}

}  // namespace yel::publish
