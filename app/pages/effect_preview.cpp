// The Effect page's preview movie.
#include "app/pages/effect_preview.h"

#include "album/album_model.h"
#include "base/byte_stream.h"
#include "publish/album_movie.h"
#include "publish/transition_effects.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_sprite.h"

namespace yel::app {

std::vector<std::uint8_t> BuildEffectPreview(const TFlashAlbum& album, const TSlideView& slide) {
  // The stage is the album size in pixels; the player scales it to its
  // control.
  publish::TAlbumMovie build(album);
  build.PhotoRect = {0, 0, float(album.Width), float(album.Height)};
  swf::TFlashSprite* sprite = build.BuildSlideSprite(slide);
  build.AddTransition(nullptr, sprite, slide);
  swf::TFlashMovie& movie = build.Movie();
  movie.ShowFrame(1);
  const std::int32_t second = publish::RoundEven(double(album.FrameRate));
  movie.ShowFrame(static_cast<std::uint16_t>(second < 1 ? 1 : second));
  TMemoryStream stream;
  movie.MakeStreamInto(stream);
  return stream.TakeBytes();
}

}  // namespace yel::app
