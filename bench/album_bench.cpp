// Saving and opening a large project (1000 slides), and loading a template
// catalogue whose list is long (a damaged or hostile list of up to a
// million entries, of which few have folders): the time should grow with
// the list, not with the list times the folder.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "album/album_model.h"
#include "album/project_file.h"
#include "album/theme_catalogue.h"
#include "base/files.h"

namespace {

void FillAlbum(yel::TFlashAlbum& album, int slides) {
  album.SeedRandom(1);
  for (int i = 0; i < slides; ++i) album.AddSlide("/home/user/Pictures/holiday/photo-" + std::to_string(i) + ".jpg");
}

void BM_ProjectFileText(benchmark::State& state) {
  yel::TFlashAlbum album;
  FillAlbum(album, static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(yel::ProjectFileText(album));
}
BENCHMARK(BM_ProjectFileText)->Arg(1000);

void BM_OpenProjectFile(benchmark::State& state) {
  yel::TFlashAlbum album;
  FillAlbum(album, static_cast<int>(state.range(0)));
  std::string path = (std::filesystem::temp_directory_path() / "yel-bench.yel").string();
  yel::SaveProjectFile(album, path);
  for (auto _ : state) {
    yel::TFlashAlbum loaded;
    yel::OpenProjectFile(loaded, path);
    benchmark::DoNotOptimize(loaded.SlideViews.Count());
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_OpenProjectFile)->Arg(1000);

void BM_LoadLongTemplateList(benchmark::State& state) {
  namespace fs = std::filesystem;
  const fs::path app = fs::temp_directory_path() / "yel-bench-themes";
  const fs::path folder = app / "Theme/Template";
  fs::create_directories(folder);
  std::string list = "<?xml version=\"1.0\"?>\n<Templates>";
  for (std::int64_t i = 0; i < state.range(0); ++i)
    list += "<Name id=\"" + std::to_string(i + 1) + "\">T" + std::to_string(i) + "</Name>";
  yel::WriteFileAtomically((folder / "Config.xml").string(), list + "</Templates>");
  for (int i = 0; i < 50; ++i) {
    fs::create_directories(folder / ("T" + std::to_string(i * 7)));
    yel::WriteFileAtomically((folder / ("T" + std::to_string(i * 7)) / "View.jpg").string(), std::string_view("jpeg"));
  }
  for (auto _ : state) {
    yel::TFlashAlbum album(app.string());
    yel::LoadTemplates(album, "");
    benchmark::DoNotOptimize(album.Templates.Items.size());
  }
  state.SetComplexityN(state.range(0));
  fs::remove_all(app);
}
BENCHMARK(BM_LoadLongTemplateList)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

BENCHMARK_MAIN();
