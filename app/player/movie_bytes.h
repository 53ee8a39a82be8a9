// What the player programs need to know of SWF bytes before playing them,
// without Qt: the movie's header (checked by reading the whole movie), a
// copy that stops on a chosen frame and tells so, and the movie appended to
// a published executable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace yel::app {

struct TMovieInfo {
  int Width = 0;   // stage size in pixels
  int Height = 0;
  double FrameRate = 0;
  int FrameCount = 0;
  int Version = 0;
};

// Reads the header and unpacks the whole movie, so that a movie that is not
// an SWF file, is truncated or whose compressed body is damaged is refused
// with an error naming `name`.
TMovieInfo ReadMovieInfo(const std::vector<std::uint8_t>& bytes, const std::string& name);

// The fscommand that the copy made by MarkFrame sends on its frame.
inline constexpr const char* kFrameReachedCommand = "yel_frame_reached";

// An uncompressed copy of the movie with a frame script before the
// frame-th ShowFrame (1-based) of the main timeline that sends
// fscommand(kFrameReachedCommand, frame) and, with `stop`, stops there.
// Throws when the movie has fewer frames.
std::vector<std::uint8_t> MarkFrame(const std::vector<std::uint8_t>& bytes, int frame, bool stop,
                                    const std::string& name);

// The trailer of a published executable: the movie, the marker bytes
// 56 34 12 FA (publish::kExecutableMarker) and the movie's length (32-bit
// little-endian).
// True when the file ends in the marker and a length.
bool HasAppendedMovie(const std::string& path);
// The movie appended to the file; throws an error naming the file when it
// has none or the length does not fit the file.
std::vector<std::uint8_t> ReadAppendedMovie(const std::string& path);

}  // namespace yel::app
