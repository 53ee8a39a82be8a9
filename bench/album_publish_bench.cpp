// Publishing an album of generated 1600 × 1200 photo-like JPEGs (1/f
// texture, colour and sensor noise, quality 85; deterministic, made once and
// kept under the build folder) at 720 × 540, 24 frames per second, Speed 2,
// Duration 2 (Blinds1 on every slide).
//
// For each album size (default 50, 100 and 200 photos) a child process
//  1. times each step of the per-photo work the old way and the new way on
//     one thread, so that each change's speed-up shows on its own:
//     decoding (whole picture to RGB, then to ARGB / DCT-scaled straight to
//     ARGB), scaling to the slide with cairo (from the whole picture / from
//     the scaled one), deflating the slide's pixels (zlib at level 6 /
//     libdeflate at level 1, as the build uses them), and the final
//     compression of the movie (all of the body
//     deflated again / bitmap data passed through in stored blocks);
//  2. runs the build phase by phase on one thread (decode, record, canvas
//     conversion, transition frames, bitmap compression, writing);
// and further children run BuildMovie itself (bitmaps compressed on one
// thread per core), once writing the movie to a file as `yel publish` does,
// once for the preview (the bytes in memory) and once with one compression
// thread; all must give the bytes of the phased build. Reported: times per
// photo, the movie size and each BuildMovie's peak resident memory.
// Usage: album_publish_bench [--photos DIR] [--music FILE] [N ...]   (run it
// from a release build). The photos are kept in DIR (default: album-photos
// beside the program), so that other tools (bench/publish_compare) use the
// same album. With --music the BuildMovie runs stream that MP3 or WAV file
// under the album, looping, as `yel publish --music` does (the phased build
// has none; bench/publish_compare --music makes such a file).
#include <cairo.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <libdeflate.h>
#include <zlib.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "album/album_model.h"
#include "base/byte_stream.h"
#include "base/files.h"
#include "media/jpeg_file.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/recording_context.h"
#include "publish/album_movie.h"
#include "publish/slide_photo.h"
#include "swf/builder/flash_image.h"
#include "swf/builder/flash_canvas.h"
#include "swf/builder/flash_movie.h"
#include "tests/testing/photo_fixture.h"

namespace {

using namespace yel;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// CPU seconds of the process so far (all threads, user and system); the
// figure to compare when other work on the machine disturbs wall times.
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

class Silent : public publish::TfrmConvert {
 public:
  void Show(const std::string&) override {}
  bool ConvertProgress(const std::string&, int) override { return true; }
  void Close() override {}
};

std::string MakePhoto(const fs::path& dir, int index) {
  const std::string file = (dir / ("photo" + std::to_string(1000 + index) + ".jpg")).string();
  WriteFileAtomically(file, yel::testing::PhotoLikeJpeg(1600, 1200, std::uint32_t(index + 1)));
  return file;
}

struct Report {
  int photos = 0;
  // Old way, new way.
  double old_decode = 0, new_decode = 0, old_scale = 0, new_scale = 0, old_deflate = 0, new_deflate = 0;
  double old_final = 0, new_final = 0;
  double decode = 0, record = 0, convert = 0, transitions = 0, compress = 0, write = 0;
  double build_movie = 0;
  double build_cpu = 0;  // CPU seconds of BuildMovie
  double movie_mb = 0, peak_mb = 0;
  std::uint32_t checksum = 0;  // of the movie bytes
};

std::uint32_t Checksum(const std::vector<std::uint8_t>& bytes) {
  return std::uint32_t(adler32(adler32(0, nullptr, 0), bytes.data(), uInt(bytes.size())));
}

std::unique_ptr<TFlashAlbum> MakeAlbum(const std::vector<std::string>& files, const std::string& music = "") {
  auto album = std::make_unique<TFlashAlbum>();
  album->MusicFile = music;
  for (const std::string& f : files) {
    TSlideView& slide = album->AddSlide(f);
    slide.Transition.EntryEffect = 257;
    slide.Transition.Speed = 2;
    slide.Transition.Duration = 2;
  }
  return album;
}

// BuildMovie as the program runs it, alone in its process for the peak:
// into a file (`yel publish`) or, without a file name, into memory (the
// preview).
void RunBuildMovie(const std::vector<std::string>& files, const std::string& music, const std::string& out, int threads,
                   Report& r) {
  std::unique_ptr<TFlashAlbum> album = MakeAlbum(files, music);
  Silent progress;
  std::vector<std::uint8_t> bytes;
  publish::TBuildOptions options;
  options.CompressionThreads = threads;
  auto t = Clock::now();
  const double cpu = CpuSeconds();
  const bool built = out.empty() ? publish::BuildMovie(*album, "", "", progress, &bytes, options)
                                 : publish::BuildMovie(*album, out, "", progress, nullptr, options);
  r.build_movie = Seconds(t);
  r.build_cpu = CpuSeconds() - cpu;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  r.peak_mb = double(usage.ru_maxrss) / 1024;
  if (built && !out.empty()) bytes = ReadFileBytes(out);
  r.movie_mb = double(bytes.size()) / 1e6;
  r.checksum = built ? Checksum(bytes) : 0;
}

// 720 × 540 ARGB of a picture, scaled by cairo as the slide's drawing does.
std::vector<std::uint32_t> ScaleToSlide(std::vector<std::uint32_t>& argb, int w, int h) {
  std::vector<std::uint32_t> slide(720 * 540);
  cairo_surface_t* src = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(argb.data()),
                                                             CAIRO_FORMAT_ARGB32, w, h, w * 4);
  cairo_surface_t* dst = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(slide.data()),
                                                             CAIRO_FORMAT_ARGB32, 720, 540, 720 * 4);
  cairo_t* cr = cairo_create(dst);
  cairo_scale(cr, 720.0 / w, 540.0 / h);
  cairo_set_source_surface(cr, src, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_destroy(dst);
  cairo_surface_destroy(src);
  return slide;
}

void Run(const std::vector<std::string>& files, Report& r) {
  r.photos = int(files.size());
  std::unique_ptr<TFlashAlbum> owned = MakeAlbum(files);
  const TFlashAlbum& album = *owned;

  // 1. Each step the old way and the new way.
  for (const std::string& f : files) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(f);
    auto t = Clock::now();
    media::TDecodedImage image = media::DecodeJPEG(bytes, f, true, true);
    std::vector<std::uint32_t> whole(std::size_t(image.Width) * image.Height);
    for (std::size_t i = 0; i < whole.size(); ++i)
      whole[i] = 0xFF000000u | std::uint32_t(image.Pixels[3 * i]) << 16 | std::uint32_t(image.Pixels[3 * i + 1]) << 8 |
                 image.Pixels[3 * i + 2];
    r.old_decode += Seconds(t);
    t = Clock::now();
    media::TARGBImage scaled = media::DecodeJPEGScaledARGB(bytes, f, 721, 541);
    r.new_decode += Seconds(t);
    t = Clock::now();
    std::vector<std::uint32_t> slide = ScaleToSlide(whole, image.Width, image.Height);
    r.old_scale += Seconds(t);
    t = Clock::now();
    slide = ScaleToSlide(scaled.Pixels, scaled.Width, scaled.Height);
    r.new_scale += Seconds(t);
    const auto* pixels = reinterpret_cast<const std::uint8_t*>(slide.data());
    const std::size_t size = slide.size() * 4;
    t = Clock::now();
    uLongf zsize = compressBound(uLong(size));
    std::vector<Bytef> out(zsize);
    compress2(out.data(), &zsize, pixels, uLong(size), Z_DEFAULT_COMPRESSION);
    r.old_deflate += Seconds(t);
    t = Clock::now();
    libdeflate_compressor* c = libdeflate_alloc_compressor(1);
    out.resize(libdeflate_zlib_compress_bound(c, size));
    libdeflate_zlib_compress(c, pixels, size, out.data(), out.size());
    libdeflate_free_compressor(c);
    r.new_deflate += Seconds(t);
  }

  // 2. The build, phase by phase, on one thread.
  std::vector<std::uint8_t> phased;
  {
    publish::TAlbumMovie build(album);
    build.BuildLoadingFrame();
    build.BuildTemplateOverlay();
    swf::TFlashSprite* previous = nullptr;
    swf::TFlashMovie& movie = build.Movie();
    for (std::size_t i = 0; i < album.SlideViews.Count(); ++i) {
      const TSlideView& slide = album.SlideViews[i];
      auto t = Clock::now();
      const publish::TSlidePhoto photo = publish::LoadFittedPhoto(slide.ImageFile, 720, 540);
      r.decode += Seconds(t);
      t = Clock::now();
      gdi::RecordingContext& dc = build.Canvas().Handle();
      dc.FillRectangle({0, 0, 720, 540}, 0);
      dc.DrawPicture(photo.Picture, {0, 0, 720, 540});
      r.record += Seconds(t);
      t = Clock::now();
      const std::uint16_t images = movie.Images().Count();
      swf::TFlashSprite* sprite = build.Canvas().MakeSprite();
      r.convert += Seconds(t);
      t = Clock::now();
      // At the build's level (1), so that the bytes are those of BuildMovie.
      for (std::uint16_t k = images; k < movie.Images().Count(); ++k) movie.Images().Items(k)->MakeLosslessData(1);
      r.compress += Seconds(t);
      t = Clock::now();
      build.AddTransition(previous, sprite, slide);
      build.ShowHoldFrames(slide);
      previous = sprite;
      r.transitions += Seconds(t);
    }
    auto t = Clock::now();
    TMemoryStream stream;
    movie.MakeStreamInto(stream);
    r.write = Seconds(t);
    phased = stream.TakeBytes();
    // The final compression alone: the body deflated as a whole (as before)
    // and written with the bitmap data passed through.
    movie.MakeStream();
    t = Clock::now();
    TCountingStream counted;
    movie.SaveToStream(counted);
    r.old_final = Seconds(t);
    t = Clock::now();
    TCountingStream passed;
    movie.MakeStreamInto(passed);
    r.new_final = Seconds(t);
  }

  r.checksum = Checksum(phased);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  fs::path dir;
  std::string music;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--photos" && i + 1 < argc) {
      dir = argv[++i];
    } else if (std::string(argv[i]) == "--music" && i + 1 < argc) {
      music = fs::absolute(argv[++i]).string();
      if (!fs::is_regular_file(music)) {
        std::fprintf(stderr, "no music file %s\n", music.c_str());
        return 2;
      }
    } else {
      sizes.push_back(std::atoi(argv[i]));
    }
  }
  if (sizes.empty()) sizes = {50, 100, 200};
  int most = 0;
  for (int n : sizes) most = std::max(most, n);

  if (dir.empty()) dir = fs::absolute(argv[0]).parent_path() / "album-photos";
  fs::create_directories(dir);
  std::vector<std::string> files;
  for (int i = 0; i < most; ++i) {
    const fs::path made = dir / ("photo" + std::to_string(1000 + i) + ".jpg");
    files.push_back(fs::exists(made) ? made.string() : MakePhoto(dir, i));
  }
  const std::string out = (fs::temp_directory_path() / ("yel-publish-bench-" + std::to_string(getpid()) + ".swf")).string();

  // Runs fn in a child process and returns its report.
  auto in_child = [](auto fn, Report& r) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return false;
    pid_t child = fork();
    if (child == 0) {
      close(pipe_fds[0]);
      Report mine;
      fn(mine);
      if (write(pipe_fds[1], &mine, sizeof mine) != ssize_t(sizeof mine)) _exit(1);
      _exit(0);
    }
    close(pipe_fds[1]);
    const bool got = read(pipe_fds[0], &r, sizeof r) == ssize_t(sizeof r);
    close(pipe_fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return got;
  };
  std::printf("%u cores; load average at the start: ", std::thread::hardware_concurrency());
  if (std::FILE* load = std::fopen("/proc/loadavg", "r")) {
    char text[64] = {};
    if (std::fgets(text, sizeof text, load)) std::printf("%s", text);
    std::fclose(load);
  }
  for (int n : sizes) {
    const std::vector<std::string> some(files.begin(), files.begin() + n);
    Report r, b, p, one;
    const bool got = in_child([&](Report& report) { Run(some, report); }, r) &&
                     in_child([&](Report& report) { RunBuildMovie(some, music, out, 0, report); }, b) &&
                     in_child([&](Report& report) { RunBuildMovie(some, music, "", 0, report); }, p) &&
                     in_child([&](Report& report) { RunBuildMovie(some, music, "", 1, report); }, one);
    if (!got) {
      std::fprintf(stderr, "the run with %d photos failed\n", n);
      continue;
    }
    const bool identical =
        (music.empty() ? b.checksum == r.checksum : true) && p.checksum == b.checksum && one.checksum == b.checksum;
    const double k = 1000.0 / r.photos;  // per photo, in milliseconds
    std::printf("\n%d photos%s, movie %.1f MB, same bytes in every build: %s\n", n, music.empty() ? "" : " with music",
                b.movie_mb, identical ? "yes" : "NO");
    std::printf("  per photo, old way -> new way (speed-up):\n");
    auto step = [&](const char* name, double before, double after) {
      std::printf("    %-40s %8.1f -> %7.1f ms  (%.2fx)\n", name, before * k, after * k, before / after);
    };
    step("decode (whole / DCT-scaled, ARGB)", r.old_decode, r.new_decode);
    step("scale to the slide (cairo)", r.old_scale, r.new_scale);
    step("deflate the slide (zlib 6 / libdeflate 1)", r.old_deflate, r.new_deflate);
    step("final compression (deflated / stored)", r.old_final, r.new_final);
    std::printf("  phased build on one thread, per photo: decode %.1f, record %.1f, convert %.1f, compress %.1f, "
                "transitions %.1f ms; writing the movie %.2f s\n",
                r.decode * k, r.record * k, r.convert * k, r.compress * k, r.transitions * k, r.write);
    std::printf("  BuildMovie to a file:   %6.2f s (%.1f ms a photo), CPU %6.2f s, peak %5.0f MB (%.2f x output + %.0f MB)\n",
                b.build_movie, b.build_movie * k, b.build_cpu, b.peak_mb, b.peak_mb / b.movie_mb,
                b.peak_mb - b.movie_mb);
    std::printf("  BuildMovie to memory:   %6.2f s, CPU %6.2f s, peak %5.0f MB (output + %.0f MB)\n", p.build_movie,
                p.build_cpu, p.peak_mb, p.peak_mb - p.movie_mb);
    std::printf("  one compression thread: %6.2f s, CPU %6.2f s\n", one.build_movie, one.build_cpu);
  }
  fs::remove(out);
  return 0;
}
