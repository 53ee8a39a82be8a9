// The album's music as the movie's streaming background sound.
#include "publish/album_music.h"

#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_sound.h"

namespace yel::publish {

void AttachMusic(swf::TFlashMovie& movie, const std::string& musicFile) {
  movie.EnableBgSound = true;
  swf::TFlashSound& sound = movie.BackgroundSound();
  sound.LoadFromFile(musicFile);
  sound.Loop = true;
}

}  // namespace yel::publish
