// The album's music as the movie's streaming background sound.
#include "publish/album_music.h"

#include "base/error.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_sound.h"

namespace yel::publish {

void AttachMusic(swf::TFlashMovie& movie, const std::string& musicFile) {
  movie.EnableBgSound = true;
  swf::TFlashSound& sound = movie.BackgroundSound();
  sound.LoadFromFile(musicFile);
  // A file that the readers cannot describe would publish as silence.
  if (!sound.HasData()) ThrowFileError(musicFile, "no sound the program can read (MP3 or WAV expected)");
  sound.Loop = true;
}

}  // namespace yel::publish
