// Slide photos: premultiplied 0xAARRGGBB pixels of the drawing context from
// the picture decoder, JPEG photos decoded at a reduced DCT scale.
#include "publish/slide_photo.h"

#include "media/picture_decoder.h"

namespace yel::publish {

TSlidePhoto LoadFittedPhoto(const std::string& file, int box_width, int box_height) {
  media::TFittedPhoto decoded = media::DecodePhotoFileFitted(file, box_width, box_height);
  TSlidePhoto photo;
  photo.Picture.width = decoded.Image.Width;
  photo.Picture.height = decoded.Image.Height;
  photo.Picture.pixels = std::move(decoded.Image.Pixels);
  photo.FullWidth = decoded.FullWidth;
  photo.FullHeight = decoded.FullHeight;
  return photo;
}

gdi::Picture LoadPhotoPicture(const std::string& file) { return LoadFittedPhoto(file, 0, 0).Picture; }

}  // namespace yel::publish
