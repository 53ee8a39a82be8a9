// Bitmap filters of placed objects, applied to the object's layer: blur,
// drop shadow and glow (outer and inner, knockout), and the colour matrix.
#pragma once

#include <cstdint>

namespace yel::swf {
class TSWFFilterList;
}

namespace yel::swf::render {

// How far the filters reach beyond the object, in device pixels;
// pixelScale is device pixels per stage pixel.
void FilterMargins(const TSWFFilterList& filters, double pixelScale, double& x, double& y);

// Filters premultiplied ARGB pixels (rows of stride words) in place.
void ApplyFilters(const TSWFFilterList& filters, std::uint32_t* pixels, int width, int height, int stride,
                  double pixelScale);

}  // namespace yel::swf::render
