// Where a picture goes inside a box, keeping its aspect ratio.
#include "album/fit_rect.h"

#include <cmath>

namespace yel {

FloatRect FitRect(float margin, float box_width, float box_height, float image_width, float image_height) {
  float w = box_width;
  float h = box_height;
  // The picture is scaled, up or down, until it touches the box in the
  // limiting direction; its shape is always kept (stretching a small picture
  // to the whole box would distort it).
  if (image_width > 0 && image_height > 0) {
    if (static_cast<double>(box_width) / box_height > static_cast<double>(image_width) / image_height) {
      h = box_height;
      w = static_cast<float>(static_cast<double>(image_width) * box_height / image_height);
    } else {
      w = box_width;
      h = static_cast<float>(static_cast<double>(image_height) * box_width / image_width);
    }
  }
  if (w > box_width) w = box_width;
  if (h > box_height) h = box_height;
  // Round half to even at double precision (the default rounding mode).
  float x = static_cast<float>(std::nearbyint((static_cast<double>(box_width) - w) / 2)) + margin;
  float y = static_cast<float>(std::nearbyint((static_cast<double>(box_height) - h) / 2)) + margin;
  if (x <= 0) x = margin;
  if (y <= 0) y = margin;
  return {x, y, w, h};
}

}  // namespace yel
