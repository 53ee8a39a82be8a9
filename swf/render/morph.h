// Morph shapes at a ratio: the start and end edges and styles blended into
// an ordinary shape, which the shape converter then turns into paths.
#pragma once

#include "swf/render/shape_converter.h"

namespace yel::swf {
class TSWFDefineMorphShape;
}

namespace yel::swf::render {

// ratio runs from 0 (the start shape) to 1 (the end shape).
TConvertedShape ConvertMorphShape(const TSWFDefineMorphShape& morph, double ratio);

}  // namespace yel::swf::render
