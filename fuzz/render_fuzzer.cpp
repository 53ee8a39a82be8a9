// libFuzzer target for the renderer: any bytes as a movie, its first frames
// played (display lists, sprites, timeline controls) and drawn into a small
// image, once with the release plan on. Damaged movies may be refused with
// yel::Error or drawn in part; nothing else may happen.
#include <cstdint>
#include <memory>

#include "base/error.h"
#include "swf/render/frame_renderer.h"
#include "swf/render/movie.h"
#include "swf/render/player.h"

namespace {

void Play(const std::uint8_t* data, std::size_t size, bool plan) {
  std::unique_ptr<yel::swf::render::TMovie> movie;
  try {
    movie = yel::swf::render::TMovie::OpenBytes(data, size, "fuzz.swf");
  } catch (const yel::Error&) {
    return;
  }
  if (plan) movie->PlanReleases();
  yel::swf::render::TPlayer player(*movie);
  yel::swf::render::TFrameRenderer renderer(*movie);
  yel::swf::render::TBitmap image;
  image.Width = 24;
  image.Height = 18;
  const int frames = std::min(movie->LoadFrames(4), 4);
  for (int f = 1; f <= frames; ++f) {
    player.AdvanceTo(f);
    renderer.Render(player.Root(), image);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Play(data, size, false);
  Play(data, size, true);
  return 0;
}
