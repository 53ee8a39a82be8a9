// Writes the albums that album_player_check.mjs plays in Ruffle:
//   photos.swf   four slides of one-colour photos of different shapes (a
//                wide one, a small one, a missing one, a tall one) on a
//                coloured album background;
//   effect-NAME.swf  for each transition effect: a slide of colour A, then a
//                slide of colour B entering with the effect, E = 12.
// With "slides": only lossless-slides.swf and jpeg-slides.swf, one album of
// three photo-like JPEG photos published both ways (JPEG quality 85).
// Usage: album_player_movies OUTDIR [slides]
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "album/album_model.h"
#include "album/effect_codes.h"
#include "base/error.h"
#include "base/files.h"
#include "publish/album_movie.h"
#include "tests/testing/photo_fixture.h"
#include "tests/testing/picture_fixtures.h"

namespace {

using namespace yel;
namespace fs = std::filesystem;

class Silent : public publish::TfrmConvert {
 public:
  void Show(const std::string&) override {}
  bool ConvertProgress(const std::string&, int) override { return true; }
  void Close() override {}
};

std::string Photo(const fs::path& dir, const std::string& name, int w, int h, int r, int g, int b) {
  const std::string bmp = yel::testing::SolidBmp(w, h, std::uint8_t(r), std::uint8_t(g), std::uint8_t(b));
  const std::string path = (dir / name).string();
  WriteFileAtomically(path, std::vector<std::uint8_t>(bmp.begin(), bmp.end()));
  return path;
}

void Add(TFlashAlbum& album, const std::string& photo, std::int32_t effect, float speed, float duration) {
  TSlideView& slide = album.AddSlide(photo);
  slide.Transition.EntryEffect = effect;
  slide.Transition.Speed = speed;
  slide.Transition.Duration = duration;
}

void Publish(const TFlashAlbum& album, const fs::path& file) {
  Silent progress;
  publish::BuildMovie(album, file.string(), "", progress);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 3 && std::string(argv[2]) == "slides")) {
    std::fprintf(stderr, "usage: album_player_movies OUTDIR [slides]\n");
    return 2;
  }
  try {
    const fs::path out = argv[1];
    const fs::path photos = out / "photos";
    fs::create_directories(photos);
    if (argc == 3) {
      TFlashAlbum album;
      album.Width = 360, album.Height = 270, album.FrameRate = 24;
      album.Background = 0x204060;
      for (int i = 0; i < 3; ++i) {
        const std::string photo = (photos / ("photo" + std::to_string(i) + ".jpg")).string();
        WriteFileAtomically(photo, yel::testing::PhotoLikeJpeg(1200, 900 - 150 * i, std::uint32_t(i + 1)));
        Add(album, photo, 0, 0.5f, 0.5f);
      }
      Publish(album, out / "lossless-slides.swf");
      album.Publish.JPEGSlides = true;
      Publish(album, out / "jpeg-slides.swf");
      return 0;
    }

    TFlashAlbum album;
    album.Width = 240, album.Height = 180, album.FrameRate = 24;
    album.Background = 0x804000;  // platform colour: red 0, green 0x40, blue 0x80
    Add(album, Photo(photos, "wide.bmp", 480, 180, 255, 0, 0), 0, 0.5f, 0.5f);
    Add(album, Photo(photos, "small.bmp", 60, 40, 0, 255, 0), EffectCodeByName("Wipe1"), 0.5f, 0.5f);
    Add(album, (photos / "missing.bmp").string(), 0, 0.5f, 0.5f);
    Add(album, Photo(photos, "tall.bmp", 90, 360, 255, 255, 0), 0, 0.5f, 0.5f);
    Publish(album, out / "photos.swf");

    // One short movie per effect (frames are played in real time by the
    // player): slide A, then slide B entering with the effect, E = 12.
    const std::string a = Photo(photos, "a.bmp", 24, 18, 230, 40, 40);
    const std::string b = Photo(photos, "b.bmp", 24, 18, 40, 60, 220);
    for (const EffectInfo& effect : AllEffects()) {
      TFlashAlbum effects;
      effects.Width = 240, effects.Height = 180, effects.FrameRate = 120;
      Add(effects, a, 0, 0.1f, 1.0f / 120);
      Add(effects, b, effect.Code, 0.1f, 1.0f / 120);
      Publish(effects, out / ("effect-" + effect.Name + ".swf"));
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "album_player_movies: %s\n", e.what());
    return 1;
  }
  return 0;
}
