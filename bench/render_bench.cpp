// The native renderer on albums, release build. Makes (once, kept beside the
// program in render-album/) albums of generated 1600 × 1200 photo-like JPEG
// photos, published at 720 × 540, 24 fps, with the installed template when
// the program's folder has one, then measures:
//  - an album frame (slide photo under a transition mask inside the
//    template) at 720 × 540 and at 1920 × 1080: CPU per frame, bitmaps
//    already decoded (as they are for all but a slide's first frame);
//  - every frame of an album in sequence, decoding included, on one thread;
//  - the first 200 frames of a 40-photo album written as PNG files by
//    `yel render --frames 1-200` (wall, process included);
//  - a thumbnail (`yel render --fit 256`) of each of a few corpus movies,
//    wall with the process start;
//  - the whole 200-photo album rendered on two threads (no PNG files): wall
//    time and peak memory, in a child process of its own.
// Usage: render_bench [--photos N] [google benchmark flags]; N (default 200)
// is the size of the long album.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/files.h"
#include "swf/render/frame_renderer.h"
#include "swf/render/movie.h"
#include "swf/render/player.h"
#include "tests/testing/photo_fixture.h"
#include "tools/yel/cli.h"

namespace fs = std::filesystem;
using namespace yel;
using namespace yel::swf::render;

namespace {

fs::path g_dir;
std::string g_program;  // the yel program beside this one
int g_photos = 200;

int Yel(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = cli::Main(args, out, err);
  if (status != 0) std::cerr << err.str();
  return status;
}

// An album of n photos, published once.
std::string Album(int n) {
  const fs::path photos = g_dir / "photos";
  fs::create_directories(photos);
  for (int i = 0; i < n; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "photo-%03d.jpg", i);
    if (!fs::exists(photos / name)) WriteFileAtomically(photos / name, testing::PhotoLikeJpeg(1600, 1200, std::uint32_t(i + 1)));
  }
  const fs::path folder = g_dir / ("album" + std::to_string(n));
  const fs::path swf = g_dir / ("album" + std::to_string(n) + ".swf");
  if (fs::exists(swf)) return swf;
  fs::create_directories(folder);
  for (int i = 0; i < n; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "photo-%03d.jpg", i);
    fs::copy_file(photos / name, folder / name, fs::copy_options::overwrite_existing);
  }
  const std::string project = (g_dir / ("album" + std::to_string(n) + ".yel")).string();
  if (Yel({"project", "new", "--photos", folder.string(), "-o", project, "--seed", "1"}) != 0 ||
      Yel({"publish", project, "--swf", swf.string(), "--app-folder", fs::path(g_program).parent_path().string()}) != 0)
    std::exit(1);
  return swf;
}

// A frame in the middle of the second slide's transition: photo, mask and
// template.
constexpr int kTransitionFrame = 2 + 97 + 24;

void AlbumFrame(benchmark::State& state) {
  const std::string file = Album(40);
  auto movie = TMovie::OpenFile(file);
  TPlayer player(*movie);
  player.AdvanceTo(kTransitionFrame);
  TFrameRenderer renderer(*movie);
  TBitmap image;
  image.Width = int(state.range(0));
  image.Height = int(state.range(1));
  renderer.Render(player.Root(), image);  // decodes the bitmaps
  for (auto _ : state) {
    renderer.Render(player.Root(), image);
    benchmark::DoNotOptimize(image.Pixels.data());
  }
}
BENCHMARK(AlbumFrame)->Args({720, 540})->Args({1920, 1080})->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// Frames 1..N of the 40-photo album in order, decoding and all, one thread.
void AlbumSequence(benchmark::State& state) {
  const std::string file = Album(40);
  int frames = 0;
  for (auto _ : state) {
    auto movie = TMovie::OpenFile(file);
    movie->PlanReleases();
    TPlayer player(*movie);
    TFrameRenderer renderer(*movie);
    TBitmap image;
    image.Width = 720;
    image.Height = 540;
    const int count = movie->LoadFrames(1000);
    for (int f = 1; f <= count; ++f) {
      player.AdvanceTo(f);
      renderer.Render(player.Root(), image);
    }
    frames = count;
  }
  state.counters["frames"] = frames;
}
BENCHMARK(AlbumSequence)->Unit(benchmark::kSecond)->Iterations(1)->MeasureProcessCPUTime();

double RunProgram(const std::vector<std::string>& args) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::cerr << "failed: " << args[1] << " " << args[2] << "\n";
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// `yel render --frames 1-200` to PNG files, process included.
void FramesToPng(benchmark::State& state) {
  const std::string file = Album(40);
  const fs::path out = g_dir / "frames";
  fs::create_directories(out);
  double total = 0;
  for (auto _ : state) {
    const double seconds = RunProgram({g_program, "render", file, "--frames", "1-200", "-o", out.string() + "/", "-q"});
    state.SetIterationTime(seconds);
    total += seconds;
  }
  state.counters["ms_per_frame"] = total * 1000 / (200.0 * double(state.iterations()));
}
BENCHMARK(FramesToPng)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// A thumbnail of a corpus movie, process start included.
void Thumbnail(benchmark::State& state) {
  static const char* kMovies[] = {"avm1__edittext_bullet__test.swf", "avm1__add_swf5__test.swf", "avm1__focusrect_focuslost__test.swf"};
  const std::string movie = (fs::path(YEL_CORPUS_DIR) / kMovies[state.range(0)]).string();
  const std::string out = (g_dir / "thumb.png").string();
  for (auto _ : state) state.SetIterationTime(RunProgram({g_program, "render", movie, "-o", out, "--fit", "256", "-q"}));
}
BENCHMARK(Thumbnail)->DenseRange(0, 2)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// The whole long album on two threads, each drawing half of it, in a child
// process: wall time, CPU time and peak memory.
void WholeAlbum() {
  const std::string file = Album(g_photos);
  const pid_t pid = fork();
  if (pid == 0) {
    const auto start = std::chrono::steady_clock::now();
    int count = 0;
    {
      auto movie = TMovie::OpenFile(file);
      count = movie->LoadFrames(0x7FFFFFFF);
    }
    auto work = [&](int from, int to) {
      auto movie = TMovie::OpenFile(file);
      movie->PlanReleases();
      TPlayer player(*movie);
      TFrameRenderer renderer(*movie);
      TBitmap image;
      image.Width = 720;
      image.Height = 540;
      player.AdvanceTo(from - 1);
      for (int f = from; f <= to; ++f) {
        player.AdvanceTo(f);
        renderer.Render(player.Root(), image);
      }
    };
    std::thread a(work, 1, count / 2), b(work, count / 2 + 1, count);
    a.join();
    b.join();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("Whole album of %d photos (%s, %.1f MB): %d frames at 720 x 540 on 2 threads: %.1f s wall, %.1f s CPU, "
                "%.2f ms CPU a frame, peak memory %ld MB\n",
                g_photos, file.c_str(), fs::file_size(file) / 1e6, count, wall, cpu, cpu * 1000 / count,
                usage.ru_maxrss / 1024);
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
}

}  // namespace

int main(int argc, char** argv) {
  g_program = (fs::canonical("/proc/self/exe").parent_path().parent_path() / "bin" / "yel").string();
  g_dir = fs::canonical("/proc/self/exe").parent_path() / "render-album";
  fs::create_directories(g_dir);
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::string(argv[i]) == "--photos" && i + 1 < argc) {
      g_photos = std::atoi(argv[++i]);
      continue;
    }
    rest.push_back(argv[i]);
  }
  int count = int(rest.size());
  benchmark::Initialize(&count, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  WholeAlbum();
  return 0;
}
