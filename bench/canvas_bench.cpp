// Cost of the drawing canvas for a slide: a rectangle fill and a 1600 × 1200
// photo drawn into 720 × 540, converted to a sprite and written, beside the
// bare cost of scaling the photo with cairo and deflating the result.
// peak_rss_MB is the process's peak; run one benchmark per process
// (--benchmark_filter) to read it for that benchmark alone.
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <sys/resource.h>
#include <zlib.h>

#include <cstdint>
#include <vector>

#include "platform/gdi/dib.h"
#include "platform/gdi/recording_context.h"
#include "swf/builder/flash_canvas.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_sprite.h"
#include "swf/format/swf_stream.h"

namespace {

using namespace yel;

gdi::Picture Photo() {
  gdi::Picture p;
  p.width = 1600;
  p.height = 1200;
  p.pixels.resize(std::size_t(p.width) * p.height);
  std::uint32_t seed = 12345;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      seed = seed * 1103515245 + 12345;  // some noise, as photos have
      std::uint32_t n = (seed >> 16) & 15;
      p.pixels[std::size_t(y) * p.width + x] =
          0xFF000000u | std::uint32_t((x * 255 / 1599 + n) & 255) << 16 |
          std::uint32_t((y * 255 / 1199 + n) & 255) << 8 | std::uint32_t(((x + y) / 7 + n) & 255);
    }
  return p;
}

double PeakMegabytes() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024.0;
}

void BM_SlideDrawingToSprite(benchmark::State& state) {
  const gdi::Picture photo = Photo();
  std::size_t bytes = 0;
  for (auto _ : state) {
    swf::TFlashMovie movie(0, 0, 720, 540, 12, swf::TSWFSystemCoord::Pix);
    movie.SetVersion(8);
    gdi::RecordingContext& dc = movie.Canvas().Handle();
    dc.FillRectangle({0, 0, 720, 540}, gdi::Rgb(0, 0, 0));
    dc.DrawPicture(photo, {0, 0, 720, 540});
    swf::TFlashSprite* sprite = movie.Canvas().MakeSprite();
    movie.PlaceObject(sprite, 1);
    movie.ShowFrame();
    movie.MakeStream();
    TMemoryStream out;
    movie.SaveToStream(out);
    bytes = out.TakeBytes().size();
  }
  state.counters["movie_KB"] = double(bytes) / 1024;
  state.counters["peak_rss_MB"] = PeakMegabytes();
}
BENCHMARK(BM_SlideDrawingToSprite)->Unit(benchmark::kMillisecond);

void BM_BareScaleAndDeflate(benchmark::State& state) {
  gdi::Picture photo = Photo();
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::vector<std::uint32_t> scaled(720 * 540);
    cairo_surface_t* src = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(photo.pixels.data()),
                                                               CAIRO_FORMAT_ARGB32, 1600, 1200, 1600 * 4);
    cairo_surface_t* dst = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(scaled.data()),
                                                               CAIRO_FORMAT_ARGB32, 720, 540, 720 * 4);
    cairo_t* cr = cairo_create(dst);
    cairo_scale(cr, 720.0 / 1600, 540.0 / 1200);
    cairo_set_source_surface(cr, src, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(dst);
    cairo_surface_destroy(src);
    uLongf size = compressBound(uLong(scaled.size() * 4));
    std::vector<Bytef> packed(size);
    compress2(packed.data(), &size, reinterpret_cast<const Bytef*>(scaled.data()), uLong(scaled.size() * 4),
              Z_DEFAULT_COMPRESSION);
    bytes = size;
  }
  state.counters["deflated_KB"] = double(bytes) / 1024;
  state.counters["peak_rss_MB"] = PeakMegabytes();
}
BENCHMARK(BM_BareScaleAndDeflate)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
