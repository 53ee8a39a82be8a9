// Writing and reading a 50 MB movie of data-carrying tags, plain and
// compressed, beside zlib's own deflate and inflate of the same tag bytes.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <memory>
#include <vector>

#include "swf/format/control_tags.h"
#include "swf/format/swf_stream.h"

namespace {

using namespace yel::swf;
using yel::TMemoryStream;

constexpr std::size_t kMovieBytes = 50u << 20;
constexpr std::size_t kTagBytes = 64u << 10;

// A movie that writes its list of tags in order.
class BenchMovie : public TBasedSWFStream {
 public:
  BenchMovie() : TBasedSWFStream(0, 0, 800, 600, 25, TSWFSystemCoord::Pix) { SetVersion(8); }
  int FindFrameIndex(int) override { return 0; }
  void MoveResource(int, int, int) override {}
  void MakeStream() override {
    TMemoryStream& body = BodyStream();
    body.Clear();
    TBitsEngine be(body);
    for (auto& tag : tags) tag->WriteToStream(be);
  }
  std::vector<std::unique_ptr<TSWFObject>> tags;
};

// Tag data like an album's: half of it photo data that does not compress
// (JPEG), half picture data that does (lossless bitmaps, sound).
std::vector<std::uint8_t> TagData(std::size_t index) {
  std::vector<std::uint8_t> data(kTagBytes);
  std::uint32_t state = 0x9E3779B9u * static_cast<std::uint32_t>(index + 1);
  bool noisy = index % 2 == 0;
  for (std::size_t i = 0; i < data.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    data[i] = noisy ? static_cast<std::uint8_t>(state >> 24)
                    : static_cast<std::uint8_t>((i / 7) + ((state >> 29) & 3));
  }
  return data;
}

BenchMovie& Movie(bool compressed) {
  static std::unique_ptr<BenchMovie> movies[2];
  auto& movie = movies[compressed];
  if (!movie) {
    movie = std::make_unique<BenchMovie>();
    movie->SetCompressed(compressed);
    auto bg = std::make_unique<TSWFSetBackgroundColor>();
    movie->tags.push_back(std::move(bg));
    for (std::size_t i = 0; i < kMovieBytes / kTagBytes; ++i) {
      auto tag = std::make_unique<TSWFByteCodeTag>();
      tag->TagCode = i % 2 == 0 ? tag::DefineBitsJPEG2 : tag::DefineBitsLossless2;
      tag->SetData(TagData(i));
      movie->tags.push_back(std::move(tag));
      movie->tags.push_back(std::make_unique<TSWFShowFrame>());
    }
    movie->tags.push_back(std::make_unique<TSWFEnd>());
    movie->FrameCount = static_cast<std::uint16_t>(kMovieBytes / kTagBytes);
  }
  return *movie;
}

const std::vector<std::uint8_t>& SavedMovie(bool compressed) {
  static std::vector<std::uint8_t> files[2];
  auto& file = files[compressed];
  if (file.empty()) {
    BenchMovie& movie = Movie(compressed);
    movie.MakeStream();
    TMemoryStream out;
    movie.SaveToStream(out);
    file = out.TakeBytes();
  }
  return file;
}

const std::vector<std::uint8_t>& Body() {
  static std::vector<std::uint8_t> body;
  if (body.empty()) {
    BenchMovie& movie = Movie(false);
    movie.MakeStream();
    body = movie.BodyStream().Bytes();
  }
  return body;
}

void BM_WriteMovie(benchmark::State& state) {
  BenchMovie& movie = Movie(state.range(0) != 0);
  for (auto _ : state) {
    movie.MakeStream();
    TMemoryStream out;
    movie.SaveToStream(out);
    benchmark::DoNotOptimize(out.Data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * movie.BodyStream().Size()));
}
BENCHMARK(BM_WriteMovie)->ArgName("compressed")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ReadMovie(benchmark::State& state) {
  const auto& file = SavedMovie(state.range(0) != 0);
  std::size_t tags = 0;
  for (auto _ : state) {
    TSWFStreamReader reader;
    reader.LoadFromBytes(file.data(), file.size(), "bench.swf");
    reader.ParseTags();
    tags = reader.TagCount();
  }
  state.counters["tags"] = static_cast<double>(tags);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Body().size()));
}
BENCHMARK(BM_ReadMovie)->ArgName("compressed")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ZlibDeflate(benchmark::State& state) {
  const auto& body = Body();
  std::vector<std::uint8_t> out(compressBound(body.size()));
  for (auto _ : state) {
    uLongf size = out.size();
    compress2(out.data(), &size, body.data(), body.size(), Z_DEFAULT_COMPRESSION);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_ZlibDeflate)->Unit(benchmark::kMillisecond);

void BM_ZlibInflate(benchmark::State& state) {
  const auto& body = Body();
  std::vector<std::uint8_t> packed(compressBound(body.size()));
  uLongf packedSize = packed.size();
  compress2(packed.data(), &packedSize, body.data(), body.size(), Z_DEFAULT_COMPRESSION);
  std::vector<std::uint8_t> out(body.size());
  for (auto _ : state) {
    uLongf size = out.size();
    uncompress(out.data(), &size, packed.data(), packedSize);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_ZlibInflate)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
