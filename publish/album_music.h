// The album's music: one streaming sound under the whole published movie.
#pragma once

#include <string>

namespace yel::swf {
class TFlashMovie;
}

namespace yel::publish {

// Switches the movie's background sound on and loads the music file (MP3 or
// WAV) into it, looping for as long as the movie has frames. The stream
// starts with the first frame. A file that gives no sound data (one the
// sound readers cannot describe) or a damaged WAV file throws yel::Error
// naming it.
void AttachMusic(swf::TFlashMovie& movie, const std::string& musicFile);

}  // namespace yel::publish
