// Cost per photo of the bitmap paths, each beside the bare library work it
// rests on, measured in the same run:
//   pass-through of a JPEG file into a DefineBitsJPEG2 tag  vs  reading the file into a memory stream;
//   decoding a JPEG (DecodeJPEG)                            vs  bare libjpeg-turbo decoding;
//   lossless data of a 720 × 540 picture (MakeLosslessData) vs  zlib deflate of the same pixels.
// Photos of 4000 × 3000 and 1600 × 1200 pixels are made at start (smooth
// colour with fine noise, quality 85, like a camera picture).
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/files.h"
#include "media/bmp_reader.h"
#include "media/jpeg_file.h"
#include "swf/builder/flash_image.h"
#include "swf/builder/flash_movie.h"

namespace {

using namespace yel;
using Bytes = std::vector<std::uint8_t>;

std::vector<std::uint8_t> PhotoPixels(int w, int h) {
  std::vector<std::uint8_t> px(std::size_t(w) * h * 3);
  std::uint32_t seed = 12345;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = static_cast<int>(seed >> 28) - 8;
      std::uint8_t* p = &px[(std::size_t(y) * w + x) * 3];
      p[0] = static_cast<std::uint8_t>(std::clamp(255 * x / w + noise, 0, 255));
      p[1] = static_cast<std::uint8_t>(std::clamp(255 * y / h + noise, 0, 255));
      p[2] = static_cast<std::uint8_t>(std::clamp(128 + 100 * ((x / 97 + y / 61) % 2) + noise, 0, 255));
    }
  return px;
}

// Photo files in a temporary folder, made once.
const std::string& PhotoFile(int w, int h) {
  static std::map<int, std::string> files;
  static const std::string folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "yel-bitmap-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    return pattern;
  }();
  auto& file = files[w];
  if (file.empty()) {
    media::TDecodedImage image{w, h, 3, PhotoPixels(w, h)};
    const Bytes jpeg = media::EncodeJPEG(image, 85);
    file = folder + "/photo-" + std::to_string(w) + ".jpg";
    WriteFileAtomically(file, jpeg);
  }
  return file;
}

void PassThrough(benchmark::State& state) {
  const std::string& file = PhotoFile(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    swf::TFlashMovie movie(0, 0, 720, 540, 12, swf::TSWFSystemCoord::Pix);
    swf::TFlashImage image(&movie, file);
    TMemoryStream body;
    swf::TBitsEngine be(body);
    image.WriteToStream(be);
    benchmark::DoNotOptimize(body.Size());
  }
}

// The least any pass-through does: read the file and append it to the
// movie's body.
void BareReadFile(benchmark::State& state) {
  const std::string& file = PhotoFile(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    const Bytes bytes = ReadFileBytes(file);
    TMemoryStream body;
    body.Write(bytes.data(), bytes.size());
    benchmark::DoNotOptimize(body.Size());
  }
}

void Decode(benchmark::State& state) {
  const Bytes jpeg = ReadFileBytes(PhotoFile(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
  for (auto _ : state) benchmark::DoNotOptimize(media::DecodeJPEG(jpeg, "photo.jpg", true).Pixels.data());
}

void BareLibjpegDecode(benchmark::State& state) {
  const Bytes jpeg = ReadFileBytes(PhotoFile(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
  for (auto _ : state) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    std::vector<std::uint8_t> pixels(std::size_t(cinfo.output_width) * cinfo.output_height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW row = pixels.data() + std::size_t(cinfo.output_scanline) * cinfo.output_width * 3;
      jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    benchmark::DoNotOptimize(pixels.data());
  }
}

// The 720 × 540 picture as a 24-bit bitmap, and the ARGB block the lossless
// data compresses.
media::TBMPReader& SlidePicture() {
  static media::TBMPReader reader;
  if (reader.Width() == 0) {
    reader.SetFormat(720, 540, 24);
    const std::vector<std::uint8_t> px = PhotoPixels(720, 540);
    for (int y = 0; y < 540; ++y)
      for (int x = 0; x < 720; ++x) {
        const std::uint8_t* p = &px[(std::size_t(y) * 720 + x) * 3];
        reader.SetPixel(539 - y, x, {p[2], p[1], p[0], 0});
      }
  }
  return reader;
}

void LosslessData(benchmark::State& state) {
  swf::TFlashImage image(nullptr);
  for (auto _ : state) {
    // Making the data lets the pixels go, so each round starts from a
    // freshly loaded picture.
    state.PauseTiming();
    image.LoadDataFromBMPReader(SlidePicture());
    state.ResumeTiming();
    image.MakeLosslessData();
    benchmark::DoNotOptimize(image);
  }
}

void BareZlibDeflate(benchmark::State& state) {
  const media::TBMPReader& r = SlidePicture();
  std::vector<std::uint8_t> block;
  for (int y = 0; y < 540; ++y) {
    const std::uint8_t* p = r.RowFromTop(y);
    for (int x = 0; x < 720; ++x, p += 3) block.insert(block.end(), {255, p[2], p[1], p[0]});
  }
  for (auto _ : state) {
    uLongf size = compressBound(static_cast<uLong>(block.size()));
    std::vector<std::uint8_t> out(size);
    compress2(out.data(), &size, block.data(), static_cast<uLong>(block.size()), Z_DEFAULT_COMPRESSION);
    benchmark::DoNotOptimize(out.data());
  }
}

BENCHMARK(PassThrough)->Args({4000, 3000})->Args({1600, 1200})->Unit(benchmark::kMillisecond);
BENCHMARK(BareReadFile)->Args({4000, 3000})->Args({1600, 1200})->Unit(benchmark::kMillisecond);
BENCHMARK(Decode)->Args({4000, 3000})->Args({1600, 1200})->Unit(benchmark::kMillisecond);
BENCHMARK(BareLibjpegDecode)->Args({4000, 3000})->Args({1600, 1200})->Unit(benchmark::kMillisecond);
BENCHMARK(LosslessData)->Unit(benchmark::kMillisecond);
BENCHMARK(BareZlibDeflate)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
