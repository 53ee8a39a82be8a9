// Slide photos as the drawing canvas's context draws them: decoded by the
// album's picture decoder and turned into premultiplied ARGB pictures.
#pragma once

#include <string>

#include "platform/gdi/dib.h"

namespace yel::publish {

// Decodes the photo (any kind the picture decoder takes). Throws yel::Error
// naming the file when it cannot be read or decoded.
gdi::Picture LoadPhotoPicture(const std::string& file);

}  // namespace yel::publish
