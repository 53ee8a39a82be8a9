// Saving and opening a large project (1000 slides).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "album/album_model.h"
#include "album/project_file.h"

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

}  // namespace

BENCHMARK_MAIN();
