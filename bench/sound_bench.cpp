// Streaming five minutes of music into a 24 fps movie (7200 frames), as the
// album does with its background music:
//   a 44.1 kHz stereo MP3 at 192 kbit/s, its frames copied into the blocks,
//     beside reading the same file into memory (file-copy speed);
//   a 44.1 kHz 16-bit stereo PCM WAV compressed to 4-bit SWF ADPCM;
// and a minute's song with a LAME tag (whose delay and padding make the loop
// join without a gap: its loop cycle is encoded again) looped under albums
// of 10, 20 and 100 slides (4.04 s each, as slides last at Speed 2,
// Duration 2): 10 slides end before the song does; 20 and 100 slides encode
// the cycle once and should differ by the writing of the blocks only.
// The files are made on the first run (the MP3 with libmp3lame) and kept in
// the temporary folder. Real-time factors (CPU time) and peak resident memory
// are reported as counters; run one benchmark alone (--benchmark_filter) for
// the peak memory of its work.
#include <benchmark/benchmark.h>
#include <lame/lame.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "base/files.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_sound.h"

namespace {

using namespace yel;
constexpr int kSeconds = 300, kRate = 44100, kFps = 24;

std::vector<short> Music() {
  std::vector<short> pcm(std::size_t(kSeconds) * kRate * 2);
  for (std::size_t i = 0; i < pcm.size() / 2; ++i) {
    const double t = double(i) / kRate;
    const double v = 6000 * std::sin(2 * std::numbers::pi * 220 * t) + 3000 * std::sin(2 * std::numbers::pi * 331 * t) +
                     1500 * std::sin(2 * std::numbers::pi * 1250 * t * (1 + 0.01 * std::sin(t)));
    pcm[2 * i] = static_cast<short>(v);
    pcm[2 * i + 1] = static_cast<short>(-v);
  }
  return pcm;
}

const std::string& Folder() {
  static const std::string folder = [] {
    std::string f = (std::filesystem::temp_directory_path() / "yel-sound-bench").string();
    std::filesystem::create_directories(f);
    // Made once and kept, so that a run of one benchmark alone reports the
    // peak memory of that work only.
    if (std::filesystem::exists(f + "/music.wav") && std::filesystem::exists(f + "/music.mp3")) return f + "/";
    const std::vector<short> pcm = Music();
    std::string wav = "RIFF";
    auto le = [](std::string& s, std::uint32_t v, int n) {
      for (int i = 0; i < n; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
    };
    const std::uint32_t data = static_cast<std::uint32_t>(pcm.size() * 2);
    le(wav, 36 + data, 4);
    wav += "WAVEfmt ";
    le(wav, 16, 4);
    le(wav, 1, 2);
    le(wav, 2, 2);
    le(wav, kRate, 4);
    le(wav, kRate * 4, 4);
    le(wav, 4, 2);
    le(wav, 16, 2);
    wav += "data";
    le(wav, data, 4);
    wav.append(reinterpret_cast<const char*>(pcm.data()), data);
    WriteFileAtomically(f + "/music.wav", wav);

    lame_global_flags* gf = lame_init();
    lame_set_in_samplerate(gf, kRate);
    lame_set_num_channels(gf, 2);
    lame_set_brate(gf, 192);
    lame_set_quality(gf, 7);
    lame_init_params(gf);
    std::vector<unsigned char> out(pcm.size() + 7200);
    const int frames = static_cast<int>(pcm.size() / 2);
    std::vector<short> copy = pcm;
    int n = lame_encode_buffer_interleaved(gf, copy.data(), frames, out.data(), static_cast<int>(out.size()));
    n += lame_encode_flush(gf, out.data() + n, static_cast<int>(out.size()) - n);
    lame_close(gf);
    WriteFileAtomically(f + "/music.mp3", std::string_view(reinterpret_cast<char*>(out.data()), n));
    return f + "/";
  }();
  return folder;
}

void StreamMusic(benchmark::State& state, const char* name) {
  const std::string file = Folder() + name;
  std::size_t bytes = 0;
  for (auto _ : state) {
    swf::TFlashMovie movie(0, 0, 720, 540, kFps, swf::TSWFSystemCoord::Pix);
    movie.SetVersion(8);
    movie.BackgroundSound().LoadFromFile(file);
    movie.BackgroundSound().Loop = true;
    for (int i = 0; i < kSeconds * kFps; ++i) movie.ShowFrame();
    movie.MakeStream();
    bytes = movie.BodyStream().Size();
    benchmark::DoNotOptimize(bytes);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["body_MB"] = double(bytes) / 1e6;
  state.counters["x_realtime"] = benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["peak_RSS_MB"] = double(usage.ru_maxrss) / 1024;
}

void BM_StreamMp3(benchmark::State& state) { StreamMusic(state, "music.mp3"); }
void BM_StreamWavAsAdpcm4(benchmark::State& state) { StreamMusic(state, "music.wav"); }

// A minute of the music as an MP3 file with its LAME tag (the Info frame
// first), made once beside the others.
const std::string& TaggedSong() {
  static const std::string file = [] {
    const std::string f = Folder() + "song.mp3";
    if (std::filesystem::exists(f)) return f;
    std::vector<short> pcm = Music();
    pcm.resize(std::size_t(60) * kRate * 2);
    lame_global_flags* gf = lame_init();
    lame_set_in_samplerate(gf, kRate);
    lame_set_num_channels(gf, 2);
    lame_set_brate(gf, 192);
    lame_set_quality(gf, 7);
    lame_set_bWriteVbrTag(gf, 1);
    lame_init_params(gf);
    std::vector<unsigned char> out(pcm.size() + 7200);
    int n = lame_encode_buffer_interleaved(gf, pcm.data(), static_cast<int>(pcm.size() / 2), out.data(),
                                           static_cast<int>(out.size()));
    n += lame_encode_flush(gf, out.data() + n, static_cast<int>(out.size()) - n);
    // The tag frame replaces the empty frame the encoder left at the start.
    std::vector<unsigned char> tag(2880);
    const std::size_t tagBytes = lame_get_lametag_frame(gf, tag.data(), tag.size());
    std::copy(tag.begin(), tag.begin() + static_cast<long>(std::min<std::size_t>(tagBytes, n)), out.begin());
    lame_close(gf);
    WriteFileAtomically(f, std::string_view(reinterpret_cast<char*>(out.data()), n));
    return f;
  }();
  return file;
}

void BM_AlbumMusicLoop(benchmark::State& state) {
  const std::string file = TaggedSong();
  const int frames = static_cast<int>(state.range(0) * 4.04 * kFps);
  for (auto _ : state) {
    swf::TFlashMovie movie(0, 0, 720, 540, kFps, swf::TSWFSystemCoord::Pix);
    movie.SetVersion(8);
    movie.BackgroundSound().LoadFromFile(file);
    movie.BackgroundSound().Loop = true;
    for (int i = 0; i < frames; ++i) movie.ShowFrame();
    movie.MakeStream();
    benchmark::DoNotOptimize(movie.BodyStream().Size());
  }
  state.counters["album_s"] = frames / double(kFps);
}

void BM_ReadMp3File(benchmark::State& state) {
  const std::string file = Folder() + "music.mp3";
  for (auto _ : state) benchmark::DoNotOptimize(ReadFileBytes(file));
  state.counters["x_realtime"] = benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_ReadMp3File)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamMp3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamWavAsAdpcm4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AlbumMusicLoop)->Arg(10)->Arg(20)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
