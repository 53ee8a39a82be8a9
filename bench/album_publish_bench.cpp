// Publishing an album of generated 1600 × 1200 JPEG photos at 720 × 540,
// 24 frames per second, Speed 2, Duration 2 (Blinds1 on every slide).
//
// For each album size (default 25, 50 and 100 photos) a child process
//  1. runs the bare per-photo library work: libjpeg decode, cairo scale to
//     720 × 540, zlib deflate of the scaled pixels; then the final deflate
//     of a body of the movie's size;
//  2. runs the build phase by phase on one thread (decode, scale and record,
//     canvas conversion, transition frames, stream building, compression);
// and further children run BuildMovie itself (photos decoded and bitmaps
// compressed on a second thread), once writing the movie to a file as
// `yel publish` does and once for the preview (the bytes in memory); both
// must give the bytes of the phased build. Reported: times, the movie size
// and BuildMovie's peak resident memory in both runs.
// Usage: album_publish_bench [--photos DIR] [N ...]   (run it from a release
// build). With --photos the photos are kept in DIR (and taken from there when
// they are already made), so that other tools can be run on the same album.
#include <cairo.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "album/album_model.h"
#include "base/byte_stream.h"
#include "base/files.h"
#include "media/jpeg_file.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/recording_context.h"
#include "publish/album_movie.h"
#include "publish/slide_photo.h"
#include "swf/builder/flash_canvas.h"
#include "swf/builder/flash_movie.h"

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

// A photo-like picture: smooth gradients with some texture, different per
// index, encoded at quality 85.
std::string MakePhoto(const fs::path& dir, int index) {
  media::TDecodedImage image;
  image.Width = 1600, image.Height = 1200, image.Components = 3;
  image.Pixels.resize(std::size_t(image.Width) * image.Height * 3);
  std::uint32_t seed = 977u * (index + 1);
  for (int y = 0; y < image.Height; ++y)
    for (int x = 0; x < image.Width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = int(seed >> 28) - 8;
      std::uint8_t* p = &image.Pixels[(std::size_t(y) * image.Width + x) * 3];
      p[0] = std::uint8_t(std::clamp((x * 255 / image.Width + index * 37) % 256 + noise, 0, 255));
      p[1] = std::uint8_t(std::clamp((y * 255 / image.Height + index * 11) % 256 + noise, 0, 255));
      p[2] = std::uint8_t(std::clamp(((x + y) * 128 / image.Width + index * 53) % 256 + noise, 0, 255));
    }
  const std::string file = (dir / ("photo" + std::to_string(1000 + index) + ".jpg")).string();
  WriteFileAtomically(file, media::EncodeJPEG(image, 85));
  return file;
}

struct Report {
  int photos = 0;
  double bare_decode = 0, bare_scale = 0, bare_deflate = 0, bare_final = 0;
  double decode = 0, record = 0, convert = 0, transitions = 0, stream = 0, compress = 0;
  double build_movie = 0;
  double bare_cpu = 0, build_cpu = 0;  // CPU seconds of the bare work and of BuildMovie
  double movie_mb = 0, peak_mb = 0;
  std::uint32_t checksum = 0;  // of the movie bytes
};

std::uint32_t Checksum(const std::vector<std::uint8_t>& bytes) {
  return std::uint32_t(adler32(adler32(0, nullptr, 0), bytes.data(), uInt(bytes.size())));
}

std::unique_ptr<TFlashAlbum> MakeAlbum(const std::vector<std::string>& files) {
  auto album = std::make_unique<TFlashAlbum>();
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
void RunBuildMovie(const std::vector<std::string>& files, const std::string& out, Report& r) {
  std::unique_ptr<TFlashAlbum> album = MakeAlbum(files);
  Silent progress;
  std::vector<std::uint8_t> bytes;
  auto t = Clock::now();
  const double cpu = CpuSeconds();
  const bool built = out.empty() ? publish::BuildMovie(*album, "", "", progress, &bytes)
                                 : publish::BuildMovie(*album, out, "", progress);
  r.build_movie = Seconds(t);
  r.build_cpu = CpuSeconds() - cpu;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  r.peak_mb = double(usage.ru_maxrss) / 1024;
  if (built && !out.empty()) bytes = ReadFileBytes(out);
  r.movie_mb = double(bytes.size()) / 1e6;
  r.checksum = built ? Checksum(bytes) : 0;
}

void Run(const std::vector<std::string>& files, Report& r) {
  r.photos = int(files.size());
  std::unique_ptr<TFlashAlbum> owned = MakeAlbum(files);
  const TFlashAlbum& album = *owned;

  // 1. Bare library work.
  double cpu = CpuSeconds();
  for (const std::string& f : files) {
    auto t = Clock::now();
    const std::vector<std::uint8_t> bytes = ReadFileBytes(f);
    media::TDecodedImage image = media::DecodeJPEG(bytes, f, false, true);
    r.bare_decode += Seconds(t);
    t = Clock::now();
    std::vector<std::uint32_t> argb(std::size_t(image.Width) * image.Height);
    for (std::size_t i = 0; i < argb.size(); ++i)
      argb[i] = 0xFF000000u | std::uint32_t(image.Pixels[3 * i]) << 16 | std::uint32_t(image.Pixels[3 * i + 1]) << 8 |
                image.Pixels[3 * i + 2];
    cairo_surface_t* src = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(argb.data()),
                                                               CAIRO_FORMAT_RGB24, image.Width, image.Height,
                                                               image.Width * 4);
    cairo_surface_t* dst = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 720, 540);
    cairo_t* cr = cairo_create(dst);
    cairo_scale(cr, 720.0 / image.Width, 540.0 / image.Height);
    cairo_set_source_surface(cr, src, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(dst);
    r.bare_scale += Seconds(t);
    t = Clock::now();
    uLongf size = compressBound(720 * 540 * 4);
    std::vector<Bytef> out(size);
    compress2(out.data(), &size, cairo_image_surface_get_data(dst), 720 * 540 * 4, Z_DEFAULT_COMPRESSION);
    r.bare_deflate += Seconds(t);
    cairo_surface_destroy(dst);
    cairo_surface_destroy(src);
  }

  r.bare_cpu = CpuSeconds() - cpu;

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
      gdi::Picture photo = publish::LoadPhotoPicture(slide.ImageFile);
      r.decode += Seconds(t);
      t = Clock::now();
      gdi::RecordingContext& dc = build.Canvas().Handle();
      dc.FillRectangle({0, 0, 720, 540}, 0);
      dc.DrawPicture(photo, {0, 0, 720, 540});
      r.record += Seconds(t);
      t = Clock::now();
      swf::TFlashSprite* sprite = build.Canvas().MakeSprite();
      r.convert += Seconds(t);
      t = Clock::now();
      build.AddTransition(previous, sprite, slide);
      build.ShowHoldFrames(slide);
      previous = sprite;
      r.transitions += Seconds(t);
    }
    auto t = Clock::now();
    movie.MakeStream();
    r.stream = Seconds(t);
    t = Clock::now();
    TMemoryStream stream;
    movie.SaveToStream(stream);
    r.compress = Seconds(t);
    phased = stream.TakeBytes();
    // The bare final deflate: the body the movie compressed.
    t = Clock::now();
    cpu = CpuSeconds();
    const auto& body = movie.BodyStream().Bytes();
    uLongf size = compressBound(uLong(body.size()));
    std::vector<Bytef> out(size);
    compress2(out.data(), &size, body.data(), uLong(body.size()), Z_DEFAULT_COMPRESSION);
    r.bare_final = Seconds(t);
    r.bare_cpu += CpuSeconds() - cpu;
  }

  r.checksum = Checksum(phased);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  fs::path dir;
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--photos" && i + 1 < argc) {
      dir = argv[++i];
      keep = true;
    } else {
      sizes.push_back(std::atoi(argv[i]));
    }
  }
  if (sizes.empty()) sizes = {25, 50, 100};
  int most = 0;
  for (int n : sizes) most = std::max(most, n);

  if (dir.empty()) dir = fs::temp_directory_path() / ("yel-publish-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::vector<std::string> files;
  for (int i = 0; i < most; ++i) {
    const fs::path made = dir / ("photo" + std::to_string(1000 + i) + ".jpg");
    files.push_back(fs::exists(made) ? made.string() : MakePhoto(dir, i));
  }
  const std::string out = (dir / "album.swf").string();

  std::printf("%6s %8s %8s | %7s %7s %7s %7s %7s %7s | %8s %8s %6s %8s %8s %s\n", "photos", "bare s", "phased s",
              "decode", "scale", "convert", "trans", "stream", "deflate", "build s", "ratio", "MB", "peak MB",
              "peak-out", "same");
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
  for (int n : sizes) {
    const std::vector<std::string> some(files.begin(), files.begin() + n);
    Report r, b, p;
    const bool got = in_child([&](Report& report) { Run(some, report); }, r) &&
                     in_child([&](Report& report) { RunBuildMovie(some, out, report); }, b) &&
                     in_child([&](Report& report) { RunBuildMovie(some, "", report); }, p);
    r.build_movie = b.build_movie, r.movie_mb = b.movie_mb, r.peak_mb = b.peak_mb;
    const bool identical = b.checksum == r.checksum && p.checksum == r.checksum;
    if (!got) {
      std::fprintf(stderr, "the run with %d photos failed\n", n);
      continue;
    }
    const double bare = r.bare_decode + r.bare_scale + r.bare_deflate + r.bare_final;
    const double phased = r.decode + r.record + r.convert + r.transitions + r.stream + r.compress;
    // Per-photo phases in milliseconds.
    const double k = 1000.0 / r.photos;
    std::printf("%6d %8.2f %8.2f | %7.1f %7.1f %7.1f %7.1f %7.1f %7.1f | %8.2f %8.2f %6.1f %8.0f %8.0f %s\n", r.photos,
                bare, phased, r.decode * k, r.record * k, r.convert * k, r.transitions * k, r.stream * k,
                r.compress * k, r.build_movie, r.build_movie / bare, r.movie_mb, r.peak_mb, r.peak_mb - r.movie_mb,
                identical ? "yes" : "NO");
    std::printf("%6s bare per photo: decode %.1f ms, scale %.1f ms, deflate %.1f ms; final deflate %.2f s\n", "",
                r.bare_decode * k, r.bare_scale * k, r.bare_deflate * k, r.bare_final);
    std::printf("%6s CPU: bare %.2f s, BuildMovie %.2f s (both threads), ratio %.2f\n", "", r.bare_cpu, b.build_cpu,
                b.build_cpu / r.bare_cpu);
    std::printf("%6s preview (bytes in memory): %.2f s, CPU %.2f s, peak %.0f MB, peak-out %.0f MB\n", "",
                p.build_movie, p.build_cpu, p.peak_mb, p.peak_mb - p.movie_mb);
  }
  fs::remove(out);
  if (!keep) fs::remove_all(dir);
  return 0;
}
