// libFuzzer target for yel-player's own reading of a movie before it goes
// to the player: the header and tag check (ReadMovieInfo), the copy that
// marks a frame (MarkFrame) and the trailer of an appended movie. Any bytes
// must give a result or yel::Error, and a marked copy must pass the check
// again.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/player/movie_bytes.h"
#include "base/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> movie(data, data + size);
  try {
    yel::app::ReadMovieInfo(movie, "fuzz.swf");
  } catch (const yel::Error&) {
    return 0;
  }
  const int frame = size > 0 ? 1 + data[size - 1] % 4 : 1;
  std::vector<std::uint8_t> marked;
  try {
    marked = yel::app::MarkFrame(movie, frame, true, "fuzz.swf");
  } catch (const yel::Error&) {
    return 0;
  }
  try {
    yel::app::ReadMovieInfo(marked, "marked.swf");
  } catch (const yel::Error&) {
    std::abort();  // a copy we made must pass the same check
  }
  return 0;
}
