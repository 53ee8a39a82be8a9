// FLV video: indexing a 100 MB file (20,000 H.263 frames of 4 KB with an MP3
// frame after each), and embedding a 1,000-frame video of 50 KB frames with
// its MP3 sound into a movie written to a file. The FLV files are generated
// (frame data is noise: only the layout matters here) on the first run and
// kept in the temporary folder. Peak resident memory is reported as a
// counter; run one benchmark alone (--benchmark_filter) for the peak of its
// work: embedding holds one frame at a time, so it stays far below the
// video's size.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/flv_data.h"
#include "swf/builder/flash_movie.h"
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

void IndexFlv(benchmark::State& state) {
  const std::string path = MakeFlv("index.flv", 20000, 4 * 1024 + 800);
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
BENCHMARK(IndexFlv)->Unit(benchmark::kMillisecond);

void EmbedVideo(benchmark::State& state) {
  const std::string path = MakeFlv("embed.flv", 1000, 50 * 1024);
  const std::string out = (std::filesystem::temp_directory_path() / "yel-video-bench" / "embed.swf").string();
  for (auto _ : state) {
    swf::TFlashMovie movie(0, 0, 160, 120, 25, swf::TSWFSystemCoord::Pix);
    swf::TFlashVideo* video = movie.AddVideo(path);
    movie.PlaceVideo(video, 1)->WithSound = true;
    for (int i = 0; i < 1000; ++i) movie.ShowFrame();
    movie.MakeStreamToFile(out);
  }
  state.counters["flv_MB"] = double(std::filesystem::file_size(path)) / 1e6;
  state.counters["swf_MB"] = double(std::filesystem::file_size(out)) / 1e6;
  state.counters["peak_RSS_MB"] = PeakMB();
  std::filesystem::remove(out);
}
BENCHMARK(EmbedVideo)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
