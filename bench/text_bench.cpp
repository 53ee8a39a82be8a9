// Fonts and texts: a font with the 95 printable ASCII characters and 200
// static texts of 40 characters each, written as a movie (time, and the
// process's peak resident memory afterwards); and the cost of one glyph
// outline conversion (font engine outline to the character's edges), for a
// TrueType and a CFF face; and a movie with 1,000 CJK characters.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <string>
#include <vector>

#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_text.h"

namespace {

using namespace yel::swf;

double PeakResidentMB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

// Builds and writes a movie of `texts` in one font (its characters added
// first when `chars` is not empty, else as the texts need them), each text
// placed on its own depth; reports the file size and the peak memory.
void WriteTextMovie(benchmark::State& state, const char* face, const std::u16string& chars,
                    const std::vector<std::u16string>& texts) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    TFlashMovie movie(0, 0, 800, 600, 24, TSWFSystemCoord::Pix);
    movie.SetVersion(8);
    TFlashFont* font = movie.AddFont(face, false, false, 16, false);
    if (!chars.empty()) font->AddChars(chars);
    for (std::size_t i = 0; i < texts.size(); ++i) {
      const int row = static_cast<int>(i % 30);
      TFlashText* item = movie.AddText(texts[i], 0xFF000000, font, TRect{10, 10 + row * 19, 0, 0});
      movie.PlaceObject(item, static_cast<std::uint16_t>(i + 1));
    }
    movie.ShowFrame();
    yel::TMemoryStream file;
    movie.MakeStreamInto(file);
    bytes = file.Size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["file_KB"] = bytes / 1024.0;
  state.counters["peak_rss_MB"] = PeakResidentMB();
}

void BM_TextMovie(benchmark::State& state) {
  std::u16string printable;
  for (char16_t c = 32; c < 127; ++c) printable += c;
  std::vector<std::u16string> texts;
  for (int i = 0; i < 200; ++i) {
    std::u16string text;
    for (int k = 0; k < 40; ++k) text += printable[(i * 7 + k * 13) % printable.size()];
    texts.push_back(text);
  }
  WriteTextMovie(state, "Arial", printable, texts);
}
BENCHMARK(BM_TextMovie)->Unit(benchmark::kMillisecond);

// A CJK movie: 1,000 different ideographs from a CFF face of 65535 glyphs
// in 50 static texts of 20 characters (the font's glyph data far above the
// 64 KB that 16-bit offsets reach).
void BM_CjkTextMovie(benchmark::State& state) {
  std::vector<std::u16string> texts;
  for (int i = 0; i < 50; ++i) {
    std::u16string text;
    for (int k = 0; k < 20; ++k) text += static_cast<char16_t>(0x4E00 + i * 20 + k);
    texts.push_back(text);
  }
  WriteTextMovie(state, "Noto Sans CJK SC", {}, texts);
}
BENCHMARK(BM_CjkTextMovie)->Unit(benchmark::kMillisecond);

// One character's outline, fetched and converted again each time: a
// TrueType glyph (quadratic outline) and a CFF one (cubic outline,
// approximated by quadratics) of a face with 65535 glyphs.
void BM_GlyphOutline(benchmark::State& state) {
  const bool cff = state.range(0) == 1;
  TFlashMovie movie(0, 0, 800, 600, 24, TSWFSystemCoord::Pix);
  TFlashFont* font = movie.AddFont(cff ? "Noto Sans CJK SC" : "Arial", false, false, 16, false);
  const std::uint16_t code = cff ? 0x9F8D : 'g';  // the dragon ideograph has many curves
  font->AddChar(code);
  font->MakeGlyphs();  // opens the face once
  TFlashChar* c = font->FindChar(code);
  for (auto _ : state) {
    c->GlyphMade = false;
    font->MakeGlyphs();
    benchmark::DoNotOptimize(c->Edges.size());
  }
  state.SetLabel(cff ? "CFF (Noto Sans CJK SC)" : "TrueType (Liberation Sans)");
  state.counters["edges"] = static_cast<double>(c->Edges.size());
}
BENCHMARK(BM_GlyphOutline)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
