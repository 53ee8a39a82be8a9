// FLV video: indexing a file of 20,000 H.263 frames with an MP3 frame after
// each (about 100 MB with frames of 4.8 KB, 200 MB with 9.6 KB), and
// embedding a 1,000-frame video with its MP3 sound into a movie written to a
// file (frames of 50 KB or 100 KB, on the movie's timeline or in a sprite).
// The FLV files are generated (frame data is noise: only the layout matters
// here) on the first run and kept in the temporary folder. Peak resident
// memory is reported as a counter; run one benchmark alone
// (--benchmark_filter=NAME$) for the peak of its work: the index holds a few
// numbers per tag, and embedding holds one frame at a time, so neither grows
// with the size of the frames.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/flv_data.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_sprite.h"
#include "swf/builder/flash_video.h"

namespace {

using namespace yel;

// An FLV of `frames` H.263 frames of frameBytes each (160 x 120), each
// followed by one MP3 frame of 44.1 kHz; written once.
std::string MakeFlv(const std::string& name, int frames, std::size_t frameBytes) {
  const std::string folder = (std::filesystem::temp_directory_path() / "yel-video-bench").string();
  std::filesystem::create_directories(folder);
  const std::string path = folder + "/" + name;
  if (std::filesystem::exists(path)) return path;
  std::ofstream out(path + ".part", std::ios::binary);
  const char header[13] = {'F', 'L', 'V', 1, 5, 0, 0, 0, 9, 0, 0, 0, 0};
  out.write(header, sizeof header);
  std::vector<char> payload(frameBytes);
  std::uint32_t state = 12345;
  auto tag = [&](char type, std::uint32_t time, std::size_t size) {
    const char head[11] = {type, char(size >> 16), char(size >> 8), char(size), char(time >> 16), char(time >> 8),
                           char(time), 0, 0, 0, 0};
    out.write(head, sizeof head);
    out.write(payload.data(), static_cast<std::streamsize>(size));
    const std::uint32_t total = static_cast<std::uint32_t>(size + 11);
    const char back[4] = {char(total >> 24), char(total >> 16), char(total >> 8), char(total)};
    out.write(back, 4);
  };
  for (int f = 0; f < frames; ++f) {
    for (char& c : payload) c = static_cast<char>((state = state * 1664525u + 1013904223u) >> 24);
    // H.263 header byte and picture header for 160 x 120 (size code 6).
    const char picture[5] = {char(f % 25 == 0 ? 0x12 : 0x22), 0x00, 0x00, char(0x84), 0x03};
    std::copy(picture, picture + 5, payload.begin());
    tag(9, static_cast<std::uint32_t>(f * 40), frameBytes);
    // MP3 format byte (44.1 kHz, 16-bit, stereo), an MPEG-1 layer III frame
    // header at 128 kbit/s, 417 bytes in all.
    const char mp3[5] = {0x2F, char(0xFF), char(0xFB), char(0x90), 0x64};
    std::copy(mp3, mp3 + 5, payload.begin());
    tag(8, static_cast<std::uint32_t>(f * 40), 418);
  }
  out.close();
  std::filesystem::rename(path + ".part", path);
  return path;
}

double PeakMB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024;
}

// Argument: the video frame's size in units of 4.8 KB.
void IndexFlv(benchmark::State& state) {
  const std::size_t frameBytes = static_cast<std::size_t>(state.range(0)) * (4 * 1024 + 800);
  const std::string path = MakeFlv("index-" + std::to_string(state.range(0)) + ".flv", 20000, frameBytes);
  std::size_t frames = 0;
  for (auto _ : state) {
    media::TFLVData flv(path);
    frames = flv.FrameCount + flv.AudioFrameCount();
    benchmark::DoNotOptimize(frames);
  }
  state.counters["file_MB"] = double(std::filesystem::file_size(path)) / 1e6;
  state.counters["tags"] = double(frames);
  state.counters["peak_RSS_MB"] = PeakMB();
}
BENCHMARK(IndexFlv)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Arguments: the video frame's size in KB; 1 to place the video in a sprite
// (shown in the movie's one frame) rather than on the movie's timeline.
void EmbedVideo(benchmark::State& state) {
  const std::size_t frameKB = static_cast<std::size_t>(state.range(0));
  const bool inSprite = state.range(1) != 0;
  const std::string path = MakeFlv("embed-" + std::to_string(frameKB) + ".flv", 1000, frameKB * 1024);
  const std::string out = (std::filesystem::temp_directory_path() / "yel-video-bench" / "embed.swf").string();
  for (auto _ : state) {
    swf::TFlashMovie movie(0, 0, 160, 120, 25, swf::TSWFSystemCoord::Pix);
    swf::TFlashVideo* video = movie.AddVideo(path);
    if (inSprite) {
      swf::TFlashSprite* sprite = movie.AddSprite();
      sprite->PlaceVideo(video, 1)->WithSound = true;
      for (int i = 0; i < 1000; ++i) sprite->ShowFrame();
      movie.PlaceObject(sprite, 1);
      movie.ShowFrame();
    } else {
      movie.PlaceVideo(video, 1)->WithSound = true;
      for (int i = 0; i < 1000; ++i) movie.ShowFrame();
    }
    movie.MakeStreamToFile(out);
  }
  state.counters["flv_MB"] = double(std::filesystem::file_size(path)) / 1e6;
  state.counters["swf_MB"] = double(std::filesystem::file_size(out)) / 1e6;
  state.counters["peak_RSS_MB"] = PeakMB();
  std::filesystem::remove(out);
}
BENCHMARK(EmbedVideo)->ArgsProduct({{50, 100}, {0, 1}})->ArgNames({"frame_KB", "sprite"})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
