// Writes the albums that fidelity_check.mjs renders with Ruffle and with
// `yel render`: one album with no theme at all, and one per installed
// template (with the loading bars taken in turn), each of 35 photo-like
// slides entering with the 35 transitions in order at a short timing, and
// OUTDIR/albums.json, which names the frames to compare: the loading frame
// and each transition's first, middle and last frame.
//
// Usage: fidelity_albums APP_FOLDER OUTDIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "album/album_model.h"
#include "album/effect_codes.h"
#include "album/theme_catalogue.h"
#include "base/files.h"
#include "publish/album_movie.h"
#include "publish/transition_effects.h"
#include "tests/testing/photo_fixture.h"

namespace {

using namespace yel;
namespace fs = std::filesystem;

// 24 frames a second; a transition of 4 steps (5 frames, the middle one half
// way) and one hold frame keep each album near 200 frames.
constexpr int kFrameRate = 24;
constexpr float kSpeed = 4.0f / kFrameRate;
constexpr float kDuration = 0;

class Silent : public publish::TfrmConvert {
 public:
  void Show(const std::string&) override {}
  bool ConvertProgress(const std::string&, int) override { return true; }
  void Close() override {}
};

// One album: its movie and the frames to compare, as a JSON object.
std::string WriteAlbum(const std::string& appFolder, const std::string& templateName, const std::string& loadingBar,
                       const std::vector<std::string>& photos, const fs::path& out) {
  TFlashAlbum album(appFolder);
  album.Width = 720, album.Height = 540, album.FrameRate = kFrameRate;
  album.Background = 0x303030;
  if (!templateName.empty()) {
    LoadTemplates(album, templateName);
    LoadLoadingBars(album, loadingBar);
    if (!album.Templates.Selected || album.Templates.Selected->Name != templateName)
      throw std::runtime_error("no template " + templateName);
    if (album.LoadingBars.Selected) ApplyLoadingBar(album, album.LoadingBars.Selected->Name);
  }
  const std::vector<EffectInfo>& effects = AllEffects();
  for (std::size_t i = 0; i < effects.size(); ++i) {
    TSlideView& slide = album.AddSlide(photos[i % photos.size()]);
    slide.Transition.EntryEffect = effects[i].Code;
    slide.Transition.Speed = kSpeed;
    slide.Transition.Duration = kDuration;
  }
  const std::string name = "album-" + (templateName.empty() ? std::string("none") : templateName);
  Silent progress;
  if (!publish::BuildMovie(album, (out / (name + ".swf")).string(), "", progress))
    throw std::runtime_error("publishing " + name + " failed");

  std::ostringstream json;
  json << "{\"movie\": \"" << name << ".swf\", \"template\": \"" << templateName << "\", \"loadingBar\": \""
       << (album.LoadingBars.Selected ? album.LoadingBars.Selected->Name : std::string()) << "\", \"frames\": [\n"
       << "  {\"frame\": 1, \"what\": \"loading frame\"}";
  std::uint64_t frame = album.Templates.Selected ? 2 : 1;
  for (const EffectInfo& effect : effects) {
    const std::int32_t count = publish::TransitionFrameCount(effect.Code, kSpeed, float(kFrameRate));
    const std::uint64_t first = frame + 1;
    const std::pair<std::uint64_t, const char*> picks[] = {
        {first, "first"}, {first + std::uint64_t(count / 2), "middle"}, {first + std::uint64_t(count - 1), "last"}};
    for (const auto& [at, what] : picks)
      json << ",\n  {\"frame\": " << at << ", \"what\": \"" << effect.Name << " " << what << "\"}";
    frame += std::uint64_t(count) + std::uint64_t(std::max(1, publish::RoundEven(double(kFrameRate) * kDuration)));
  }
  json << "], \"frameCount\": " << frame << "}";
  if (frame != publish::AlbumFrameCount(album)) throw std::runtime_error("frame count mismatch in " + name);
  return json.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fidelity_albums APP_FOLDER OUTDIR\n");
    return 2;
  }
  try {
    const std::string appFolder = argv[1];
    const fs::path out = argv[2];
    fs::create_directories(out / "photos");
    // Seven photo-like photos, landscape, portrait and square, so that the
    // slides fit them into the photo window in each way.
    std::vector<std::string> photos;
    const int sizes[][2] = {{480, 360}, {300, 400}, {400, 400}, {640, 320}, {360, 480}, {500, 375}, {240, 180}};
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
      const std::string path = (out / "photos" / ("photo" + std::to_string(i) + ".jpg")).string();
      WriteFileAtomically(path, yel::testing::PhotoLikeJpeg(sizes[i][0], sizes[i][1], std::uint32_t(i + 1)));
      photos.push_back(path);
    }

    // The installed templates and loading bars, read as the editor lists them.
    TFlashAlbum catalogue(appFolder);
    LoadTemplates(catalogue, "");
    LoadLoadingBars(catalogue, "");
    std::vector<std::string> bars;
    for (const auto& bar : catalogue.LoadingBars.Items) bars.push_back(bar->Name);

    std::string json = "[\n" + WriteAlbum("", "", "", photos, out);
    std::size_t index = 0;
    for (const auto& view : catalogue.Templates.Items) {
      const std::string bar = bars.empty() ? std::string() : bars[index++ % bars.size()];
      json += ",\n" + WriteAlbum(appFolder, view->Name, bar, photos, out);
    }
    json += "\n]\n";
    WriteFileAtomically((out / "albums.json").string(), std::vector<std::uint8_t>(json.begin(), json.end()));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fidelity_albums: %s\n", e.what());
    return 1;
  }
  return 0;
}
