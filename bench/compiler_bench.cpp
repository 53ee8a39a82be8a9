// The ActionScript compiler on realistic scripts of 5,000 and 20,000 lines
// (functions, loops, object and array literals, string work, switch, a
// class): whole compilations into a movie's frame actions, with the bytes of
// source per second and the process's peak resident memory afterwards.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>

#include "swf/actionscript/compile_context.h"
#include "swf/builder/flash_action_script.h"
#include "swf/builder/flash_movie.h"

namespace {

using namespace yel::swf;

// One block of 26 lines; names carry the block number.
std::string Block(int i) {
  std::string n = std::to_string(i);
  return "function update" + n + "(items, factor) {\n"
         "  var total = 0;\n"
         "  for (var k = 0; k < items.length; k++) {\n"
         "    var item = items[k];\n"
         "    if (item.visible && item.value > factor) {\n"
         "      total += item.value * factor;\n"
         "    } else {\n"
         "      total -= 1;\n"
         "    }\n"
         "  }\n"
         "  return total;\n"
         "}\n"
         "var data" + n + " = {name: \"block" + n + "\", count: " + n + ", tags: [\"a\", \"b\", \"c\"]};\n"
         "var label" + n + " = \"Item \" + data" + n + ".name + \" (\" + data" + n + ".count + \")\";\n"
         "while (data" + n + ".count > 0) {\n"
         "  data" + n + ".count--;\n"
         "  label" + n + " = label" + n + ".toUpperCase().substr(0, 10) + data" + n + ".count;\n"
         "}\n"
         "switch (data" + n + ".count % 3) {\n"
         "  case 0: trace(label" + n + "); break;\n"
         "  case 1: trace(update" + n + "([data" + n + "], 2)); break;\n"
         "  default: trace(\"other\");\n"
         "}\n"
         "for (var key in data" + n + ") {\n"
         "  if (typeof data" + n + "[key] == \"string\") label" + n + " += key.charAt(0);\n"
         "}\n";
}

std::string Script(int lines) {
  std::string source =
      "class Point {\n"
      "  var x:Number = 0;\n"
      "  var y:Number = 0;\n"
      "  static var count:Number = 0;\n"
      "  function Point(px:Number, py:Number) { x = px; y = py; count++; }\n"
      "  function get length():Number { return Math.sqrt(x * x + y * y); }\n"
      "  function plus(other:Point):Point { return new Point(x + other.x, y + other.y); }\n"
      "}\n";
  int written = 8;
  for (int i = 0; written < lines; ++i, written += 26) source += Block(i);
  return source;
}

void BM_Compile(benchmark::State& state) {
  InstallActionCompiler();
  const std::string source = Script(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TFlashMovie movie(0, 0, 550, 400, 24, TSWFSystemCoord::Pix);
    movie.SetVersion(8);
    if (!movie.FrameActions().CompileText(source)) state.SkipWithError("the script does not compile");
    benchmark::DoNotOptimize(movie.FrameActions().Actions().Count());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
  state.counters["lines"] = static_cast<double>(state.range(0));
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_Compile)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
