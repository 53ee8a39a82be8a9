// Photo preparation: drawing a photo fitted into a box on a cairo surface,
// the loader through which the movie builder takes pictures that are
// neither JPEG nor BMP, and one-picture movies for theme backgrounds.
#pragma once

#include <string>

#include "album/fit_rect.h"

typedef struct _cairo cairo_t;

namespace yel::swf {
class TFlashImage;
}

namespace yel::publish {

// Decodes the photo and draws it into FitRect(0, box) offset by the box's
// position. A missing file draws nothing; a picture that cannot be decoded
// throws yel::Error naming the file.
void DrawPhoto(cairo_t* cr, const FloatRect& box, const std::string& file);

// Gives the image the picture as lossless data. PNG colours are
// premultiplied by their alpha, (c × A + c + 256 − A) div 256, and pass
// through an intermediate BMP file in the temporary folder that never
// replaces an existing file and is removed afterwards. Throws yel::Error
// naming the file when the picture cannot be decoded.
void CustomImageLoader(swf::TFlashImage& image, const std::string& file);

// Installs CustomImageLoader as the movie builder's loader; returns true.
bool StartImaging();

// A one-frame SWF 8 movie (not compressed) of width × height pixels whose
// only content is the picture stretched over it, written to dst; an .swf
// source is copied instead (in pieces, after its head is checked). Returns
// false only when src does not exist; decoding, copying and writing errors
// (a source that is no movie) throw yel::Error.
bool MakePictureMovie(const std::string& src, const std::string& dst, int width, int height, float frameRate);

}  // namespace yel::publish
