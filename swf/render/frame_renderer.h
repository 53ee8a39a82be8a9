// The back end: draws a player's display list with cairo into premultiplied
// ARGB pixels at any size. Paths, bitmaps and masks are all it draws; it
// keeps the converted shapes, glyphs and decoded bitmaps of the characters
// it drew and lets go of those the last frame did not draw.
#pragma once

#include <cstdint>
#include <memory>

#include "swf/render/bitmap_decoder.h"

namespace yel::swf::render {

class TMovie;
class TDisplayObject;

class TFrameRenderer {
 public:
  explicit TFrameRenderer(TMovie& movie);
  ~TFrameRenderer();
  TFrameRenderer(const TFrameRenderer&) = delete;
  TFrameRenderer& operator=(const TFrameRenderer&) = delete;

  // Draws the display list under root into image (whose Width and Height
  // are set; the pixels are resized to them): the stage scaled to show all
  // of it, centred, on the movie's background colour.
  void Render(const TDisplayObject& root, TBitmap& image);

  // Characters cached now (shapes, glyph sets and bitmaps), for tests and
  // benchmarks.
  std::size_t CachedCharacters() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The size of the stage in pixels at a scale (at least 1 × 1).
struct TFrameSize {
  int Width = 0, Height = 0;
};
TFrameSize StageSize(const TMovie& movie, double scale = 1.0);

}  // namespace yel::swf::render
