// yel render: draws frames of a movie with the native renderer and writes
// them as PNG files: one frame, or a range of frames into a folder (on
// several threads, each drawing a stretch of the range), with a progress bar
// on stderr.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <mutex>
#include <ostream>
#include <thread>

#include "base/error.h"
#include "base/files.h"
#include "base/paths.h"
#include "swf/render/frame_renderer.h"
#include "swf/render/movie.h"
#include "swf/render/player.h"
#include "swf/render/png_writer.h"
#include "tools/yel/cli.h"

namespace yel::cli {
namespace {

constexpr const char* kRenderHelp =
    "Usage: yel render MOVIE.swf -o OUT.png [--frame N | --at-ms T] [SIZE]\n"
    "       yel render MOVIE.swf --frames A-B -o DIR/ [SIZE] [--jobs N]\n"
    "\n"
    "Draws frames of a movie natively (no browser) and writes them as PNG\n"
    "files. Frame N is the picture a player shows after N frames (frame 1\n"
    "is the first); only plain timeline controls of frame scripts (stop,\n"
    "play, go to a frame) are run. A range is written as DIR/frame-00001.png\n"
    "... numbered by frame, with a progress bar on stderr.\n"
    "\n"
    "SIZE (the stage's own size by default; the stage is scaled to show all\n"
    "of it, centred, on the movie's background colour):\n"
    "  --size WxH        an image of W x H pixels\n"
    "  --scale S         the stage times S\n"
    "  --fit N           the largest side N pixels (thumbnails)\n"
    "\n"
    "  --at-ms T         the frame shown T milliseconds after frame 1 (the\n"
    "                    last one when the movie is shorter)\n"
    "  --compression L   PNG compression level 0-9 (default 6 for one frame,\n"
    "                    1 for a range)\n"
    "  --jobs N          threads for a range (default: the cores, at most 8)\n"
    "  --max-seconds S   give up after S seconds of CPU time\n"
    "  --max-memory MB   give up beyond MB megabytes of memory\n"
    "  --quiet           no warnings about what could not be drawn\n";

struct RenderOptions {
  std::string movie, output;
  int frame = 1, first = 0, last = 0;
  int atMs = -1;
  bool range = false;
  int width = 0, height = 0, fit = 0;
  double scale = 0;
  int compression = -1;
  int jobs = 0;
  bool quiet = false;
};

int ParseInt(const std::string& text, const std::string& what, int low, int high) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
    throw UsageError{what + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                     ", not '" + text + "'"};
  return value;
}

void LimitResources(const std::string& seconds, const std::string& megabytes) {
  if (!seconds.empty()) {
    const int s = ParseInt(seconds, "--max-seconds", 1, 86400);
    rlimit limit{rlim_t(s), rlim_t(s) + 1};
    setrlimit(RLIMIT_CPU, &limit);
  }
  if (!megabytes.empty()) {
    const int mb = ParseInt(megabytes, "--max-memory", 16, 1 << 20);
    rlimit limit{rlim_t(mb) << 20, rlim_t(mb) << 20};
    setrlimit(RLIMIT_AS, &limit);
  }
}

swf::render::TFrameSize OutputSize(const swf::render::TMovie& movie, const RenderOptions& o) {
  if (o.width > 0) return {o.width, o.height};
  if (o.scale > 0) return swf::render::StageSize(movie, o.scale);
  swf::render::TFrameSize size = swf::render::StageSize(movie);
  if (o.fit > 0) {
    const double s = double(o.fit) / std::max(size.Width, size.Height);
    size = swf::render::StageSize(movie, s);
  }
  return size;
}

constexpr int kMaxPixels = 16384 * 16384;

void CheckSize(const swf::render::TFrameSize& size) {
  if (std::int64_t(size.Width) * size.Height > kMaxPixels || size.Width > 32767 || size.Height > 32767)
    throw UsageError{"the image would be " + std::to_string(size.Width) + " x " + std::to_string(size.Height) +
                     " pixels; at most 32767 a side and 16384 x 16384 in all"};
}

std::unique_ptr<swf::render::TMovie> Open(const RenderOptions& o, std::mutex& errLock) {
  auto movie = swf::render::TMovie::OpenFile(o.movie);
  if (!o.quiet) {
    const std::string name = o.movie;
    movie->OnWarning = [name, &errLock](const std::string& message) {
      std::lock_guard<std::mutex> lock(errLock);
      Err() << "yel render: " << name << ": " << message << "\n";
    };
  }
  return movie;
}

std::string FrameFile(const std::string& dir, int frame) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%05d.png", frame);
  return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

int RenderOne(const RenderOptions& o) {
  std::mutex errLock;
  auto movie = Open(o, errLock);
  int frame = o.frame;
  if (o.atMs >= 0) {
    frame = 1 + int(std::floor(o.atMs * double(movie->FrameRate()) / 1000.0));
    frame = std::min(frame, movie->LoadFrames(frame));
  }
  const int frames = movie->LoadFrames(frame);
  if (frame > frames)
    throw Error(o.movie + ": the movie has " + std::to_string(frames) + " frame" + (frames == 1 ? "" : "s") +
                "; there is no frame " + std::to_string(frame));
  const auto size = OutputSize(*movie, o);
  CheckSize(size);
  // A late frame of a long movie need not hold every earlier character.
  if (frame > 100) movie->PlanReleases();
  swf::render::TPlayer player(*movie);
  player.AdvanceTo(frame);
  swf::render::TFrameRenderer renderer(*movie);
  swf::render::TBitmap image;
  image.Width = size.Width;
  image.Height = size.Height;
  renderer.Render(player.Root(), image);
  swf::render::WritePNG(o.output, image, o.compression < 0 ? 6 : o.compression);
  return 0;
}

int RenderRange(const RenderOptions& o) {
  if (!FolderExists(o.output)) throw Error(o.output + ": no such folder");
  std::mutex errLock;
  auto movie = Open(o, errLock);
  const int frames = movie->LoadFrames(o.last);
  if (o.last > frames)
    throw Error(o.movie + ": the movie has " + std::to_string(frames) + " frame" + (frames == 1 ? "" : "s") +
                "; there is no frame " + std::to_string(o.last));
  const auto size = OutputSize(*movie, o);
  CheckSize(size);
  movie.reset();

  const int count = o.last - o.first + 1;
  int jobs = o.jobs > 0 ? o.jobs : int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
  jobs = std::clamp(jobs, 1, std::max(1, count / 8));
  std::atomic<int> done{0};
  std::atomic<bool> failed{false};
  std::string failure;
  const bool tty = isatty(STDERR_FILENO) && &Err() == &std::cerr;
  auto report = [&](bool final) {
    const int n = done.load();
    const int percent = n * 100 / count;
    std::lock_guard<std::mutex> lock(errLock);
    if (tty) {
      const int filled = percent * 30 / 100;
      Err() << "\r[" << std::string(filled, '#') << std::string(30 - filled, ' ') << "] " << std::setw(3) << percent
            << "%  frame " << n << " of " << count << (final ? "\n" : "") << std::flush;
    } else if (final) {
      Err() << count << " frames written to " << o.output << "\n";
    }
  };

  auto work = [&](int from, int to) {
    try {
      auto own = Open(o, errLock);
      own->PlanReleases();
      swf::render::TPlayer player(*own);
      swf::render::TFrameRenderer renderer(*own);
      player.AdvanceTo(from - 1);
      swf::render::TBitmap image;
      image.Width = size.Width;
      image.Height = size.Height;
      for (int f = from; f <= to && !failed; ++f) {
        player.AdvanceTo(f);
        renderer.Render(player.Root(), image);
        swf::render::WritePNG(FrameFile(o.output, f), image, o.compression < 0 ? 1 : o.compression);
        if (++done % 8 == 0) report(false);
      }
    } catch (const std::exception& e) {
      std::lock_guard<std::mutex> lock(errLock);
      if (!failed.exchange(true)) failure = e.what();
    }
  };
  std::vector<std::thread> threads;
  for (int j = 0; j < jobs; ++j) {
    const int from = o.first + int(std::int64_t(count) * j / jobs);
    const int to = o.first + int(std::int64_t(count) * (j + 1) / jobs) - 1;
    threads.emplace_back(work, from, to);
  }
  for (auto& t : threads) t.join();
  if (failed) throw Error(failure);
  report(true);
  return 0;
}

}  // namespace

int RunRender(const Args& args) {
  if (WantsHelp(args)) {
    Out() << kRenderHelp;
    return 0;
  }
  RenderOptions o;
  std::string maxSeconds, maxMemory;
  bool haveFrame = false;
  int sizeOptions = 0;
  ArgReader reader(args);
  while (!reader.AtEnd()) {
    if (reader.TakeFlag({"-o", "--output"})) {
      o.output = reader.TakeValue();
    } else if (reader.TakeFlag({"--frame"})) {
      if (haveFrame) throw UsageError{"give --frame or --at-ms, not both"};
      o.frame = ParseInt(reader.TakeValue(), "--frame", 1, 65535);
      haveFrame = true;
    } else if (reader.TakeFlag({"--at-ms"})) {
      if (haveFrame) throw UsageError{"give --frame or --at-ms, not both"};
      o.atMs = ParseInt(reader.TakeValue(), "--at-ms", 0, 3600000);
      haveFrame = true;
    } else if (reader.TakeFlag({"--frames"})) {
      const std::string value = reader.TakeValue();
      const std::size_t dash = value.find('-');
      if (dash == std::string::npos) throw UsageError{"--frames takes a range A-B, not '" + value + "'"};
      o.first = ParseInt(value.substr(0, dash), "the first frame of --frames", 1, 65535);
      o.last = ParseInt(value.substr(dash + 1), "the last frame of --frames", 1, 65535);
      if (o.last < o.first) throw UsageError{"--frames " + value + " ends before it starts"};
      o.range = true;
    } else if (reader.TakeFlag({"--size"})) {
      const std::string value = reader.TakeValue();
      const std::size_t x = value.find_first_of("xX");
      if (x == std::string::npos) throw UsageError{"--size takes WxH, not '" + value + "'"};
      o.width = ParseInt(value.substr(0, x), "the width of --size", 1, 32767);
      o.height = ParseInt(value.substr(x + 1), "the height of --size", 1, 32767);
      ++sizeOptions;
    } else if (reader.TakeFlag({"--scale"})) {
      const std::string value = reader.TakeValue();
      char* end = nullptr;
      o.scale = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != 0 || !(o.scale > 0) || o.scale > 100)
        throw UsageError{"--scale must be a number above 0 and at most 100, not '" + value + "'"};
      ++sizeOptions;
    } else if (reader.TakeFlag({"--fit"})) {
      o.fit = ParseInt(reader.TakeValue(), "--fit", 1, 32767);
      ++sizeOptions;
    } else if (reader.TakeFlag({"--compression"})) {
      o.compression = ParseInt(reader.TakeValue(), "--compression", 0, 9);
    } else if (reader.TakeFlag({"--jobs"})) {
      o.jobs = ParseInt(reader.TakeValue(), "--jobs", 1, 64);
    } else if (reader.TakeFlag({"--max-seconds"})) {
      maxSeconds = reader.TakeValue();
    } else if (reader.TakeFlag({"--max-memory"})) {
      maxMemory = reader.TakeValue();
    } else if (reader.TakeFlag({"--quiet", "-q"})) {
      o.quiet = true;
    } else {
      if (!o.movie.empty()) throw UsageError{"one movie at a time; '" + reader.Peek() + "' is extra"};
      o.movie = reader.TakePositional();
    }
  }
  if (o.movie.empty()) throw UsageError{"which movie? Give MOVIE.swf"};
  if (o.output.empty()) throw UsageError{o.range ? "where to? Give -o DIR/" : "where to? Give -o OUT.png"};
  if (sizeOptions > 1) throw UsageError{"give one of --size, --scale and --fit"};
  if (o.range && haveFrame) throw UsageError{"give --frame, --at-ms or --frames, not one with another"};
  LimitResources(maxSeconds, maxMemory);
  return o.range ? RenderRange(o) : RenderOne(o);
}

}  // namespace yel::cli
