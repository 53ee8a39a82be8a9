// Slide photos as the drawing canvas's context draws them: decoded by the
// album's picture decoder straight into premultiplied ARGB pictures.
#pragma once

#include <string>

#include "platform/gdi/dib.h"

namespace yel::publish {

// A decoded photo and the size of the whole upright picture, which is what
// gets fitted (the pixels may be fewer: see LoadFittedPhoto).
struct TSlidePhoto {
  gdi::Picture Picture;
  int FullWidth = 0, FullHeight = 0;
};

// Decodes the photo (any kind the picture decoder takes) to be drawn fitted
// into a box_width × box_height box: a JPEG photo comes at the smallest DCT
// scale that still covers its fitted size (at full size when the box is
// 0 × 0). Throws yel::Error naming the file when it cannot be read or
// decoded.
TSlidePhoto LoadFittedPhoto(const std::string& file, int box_width, int box_height);

// The photo at full size.
gdi::Picture LoadPhotoPicture(const std::string& file);

}  // namespace yel::publish
