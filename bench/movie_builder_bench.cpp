// The movie builder on the shape of a long transition sequence: every frame
// adds one shape of 20 figures, one sprite holding it and one placement.
// Measures building and making the movie (time and peak heap) for several
// lengths; growth has to be linear in the number of frames.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"
#include "swf/builder/flash_sprite.h"

// Counting allocator: live and peak heap bytes of the whole program.
namespace {

std::atomic<std::size_t> g_live{0};
std::atomic<std::size_t> g_peak{0};
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* CountedAlloc(std::size_t size) {
  void* block = std::malloc(size + kHeader);
  if (!block) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = size;
  std::size_t live = g_live.fetch_add(size) + size;
  std::size_t peak = g_peak.load();
  while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
  }
  return static_cast<char*>(block) + kHeader;
}

void CountedFree(void* pointer) {
  if (!pointer) return;
  void* block = static_cast<char*>(pointer) - kHeader;
  g_live.fetch_sub(*static_cast<std::size_t*>(block));
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return CountedAlloc(size); }
void* operator new[](std::size_t size) { return CountedAlloc(size); }
void operator delete(void* pointer) noexcept { CountedFree(pointer); }
void operator delete[](void* pointer) noexcept { CountedFree(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { CountedFree(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { CountedFree(pointer); }

namespace {

using namespace yel::swf;

// 20 figures in a 640 x 480 pixel frame: rectangles, ellipses, stars, pies
// and rounded rectangles, moved a little every frame.
void DrawFigures(TFlashEdges& pen, int frame) {
  for (int i = 0; i < 20; ++i) {
    int x = (i % 5) * 120 + frame % 17, y = (i / 5) * 110 + frame % 13;
    pen.MoveTo(x, y);
    switch (i % 5) {
      case 0: pen.MakeRectangle(90, 70); break;
      case 1: pen.MakeEllipse(90, 70); break;
      case 2: pen.MakeStar(x + 45, y + 35, 40, 18, 5, false); break;
      case 3: pen.MoveTo(x + 45, y + 35); pen.MakePie(35, 0, 300); break;
      case 4: pen.MakeRoundRect(90, 70, 12, 12); break;
    }
  }
  pen.EndEdges();
}

// Builds and makes the movie; returns the body size.
std::size_t BuildAndMake(int frames) {
  TFlashMovie movie(0, 0, 640, 480, 25, TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  for (int frame = 0; frame < frames; ++frame) {
    TFlashShape* mask = movie.AddShape();
    DrawFigures(mask->Edges(), frame);
    mask->CalcBounds();
    mask->SetSolidColor(0x000000);
    TFlashSprite* sprite = movie.AddSprite(mask);
    TFlashPlaceObject* place = movie.PlaceObject(sprite, static_cast<std::uint16_t>(frame % 100 + 1));
    place->SetTranslate(frame % 7, frame % 5);
    movie.ShowFrame();
  }
  movie.MakeStream();
  return movie.BodyStream().Size();
}

void BM_BuildAndMakeMovie(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  std::size_t body = 0;
  std::size_t peak = 0;
  for (auto _ : state) {
    std::size_t before = g_live.load();
    g_peak.store(before);
    body = BuildAndMake(frames);
    peak = std::max(peak, g_peak.load() - before);
  }
  state.SetComplexityN(frames);
  state.counters["frames"] = frames;
  state.counters["body_MB"] = static_cast<double>(body) / (1 << 20);
  state.counters["peak_heap_MB"] = static_cast<double>(peak) / (1 << 20);
  state.counters["heap_per_frame_KB"] = static_cast<double>(peak) / frames / 1024;
  state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_BuildAndMakeMovie)->Arg(500)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
