// Frames as PNG files: premultiplied ARGB pixels written as 8-bit RGBA (or
// RGB when every pixel is opaque) through libpng, at a chosen zlib level.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "swf/render/bitmap_decoder.h"

namespace yel::swf::render {

// compression: zlib level 0..9; 1 is fast for frame sequences.
std::vector<std::uint8_t> EncodePNG(const TBitmap& image, int compression = 6);
// Written to a temporary name and renamed into place; errors name the file.
void WritePNG(const std::string& path, const TBitmap& image, int compression = 6);

}  // namespace yel::swf::render
