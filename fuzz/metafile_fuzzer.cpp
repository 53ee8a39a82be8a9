// libFuzzer target for enhanced metafiles: any bytes are drawn through the
// drawing canvas (record enumeration, playback on the work bitmap and the
// conversion into shapes, bitmaps and sprites), stretched or not by the
// first byte, and the resulting movie is written. Besides the sanitizers'
// checks, nothing may throw except the error for bytes that are not a
// metafile at all.
#include <cstdint>
#include <vector>

#include "base/error.h"
#include "swf/builder/flash_canvas.h"
#include "swf/builder/flash_movie.h"
#include "swf/format/swf_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace yel::swf;
  TFlashMovie movie(0, 0, 160, 120, 12, TSWFSystemCoord::Pix);
  std::vector<std::uint8_t> bytes(data, data + size);
  bool stretch = size > 40 && (data[size - 1] & 1);
  try {
    movie.Canvas().DrawMetafile({10, 10, 150, 110}, bytes, stretch, "fuzz.emf");
  } catch (const yel::Error&) {
    return 0;
  }
  if (movie.Canvas().RootSprite()) movie.PlaceObject(movie.Canvas().RootSprite(), 1);
  movie.ShowFrame();
  movie.MakeStream();
  return 0;
}
