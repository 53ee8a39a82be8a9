// The Effect page's preview movie, built in memory: one slide entering over
// black with its transition, then held for a second. GUI-free.
#pragma once

#include <cstdint>
#include <vector>

namespace yel {
class TFlashAlbum;
class TSlideView;
}  // namespace yel

namespace yel::app {

// The compressed SWF bytes of the preview of `slide`: the album's size and
// frame rate, the slide drawn over the whole stage, its entry transition at
// its own speed from a black rectangle, its frame, then Round(frame rate)
// frames. The movie loops, so the transition plays again and again.
std::vector<std::uint8_t> BuildEffectPreview(const TFlashAlbum& album, const TSlideView& slide);

}  // namespace yel::app
