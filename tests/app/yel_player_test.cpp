// yel-player as a program, run headless: the movie appended to its own file
// (and what is wrong with a bad trailer), --snapshot at a frame or a time,
// --size, a window that quits on the movie's fscommand("quit"), and the
// movie helpers behind them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "app/player/movie_bytes.h"
#include "base/files.h"
#include "tests/app/player_movies.h"
#include "tests/testing/temp_dir.h"

namespace yel::app {
namespace {

using testing::Rgb;

const std::uint32_t kRed = Rgb(220, 30, 30), kGreen = Rgb(30, 200, 60);

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct TRun {
  int Status = -1;
  std::string Err;
};

// Runs a program headless with a generous time limit.
TRun RunPlayer(const testing::TempDir& dir, const std::string& program, const std::vector<std::string>& args) {
  std::string command = "QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 timeout 240 " + Quote(program);
  for (const std::string& arg : args) command += " " + Quote(arg);
  const std::string err = dir / "stderr.txt";
  command += " </dev/null >/dev/null 2>" + Quote(err);
  const int status = std::system(command.c_str());
  TRun run;
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Err = testing::ReadAll(err);
  return run;
}

std::vector<std::uint8_t> Le32(std::uint32_t v) {
  return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

// The player program followed by `tail` (as `yel publish --exe` writes it).
std::string Executable(const testing::TempDir& dir, const std::string& name, const std::vector<std::uint8_t>& tail) {
  std::vector<std::uint8_t> bytes = ReadFileBytes(YEL_PLAYER_PROGRAM);
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  const std::string path = dir / name;
  WriteFileAtomically(path, bytes);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  return path;
}

std::vector<std::uint8_t> Appended(std::vector<std::uint8_t> movie, std::uint32_t length) {
  for (std::uint8_t b : Le32(0xFA123456)) movie.push_back(b);
  for (std::uint8_t b : Le32(length)) movie.push_back(b);
  return movie;
}

bool Near(const QColor& c, std::uint32_t rgb, int tolerance = 24) {
  return std::abs(c.red() - int(rgb & 0xFF)) <= tolerance && std::abs(c.green() - int(rgb >> 8 & 0xFF)) <= tolerance &&
         std::abs(c.blue() - int(rgb >> 16 & 0xFF)) <= tolerance;
}

TEST(MovieBytes, ReadsTheHeaderAndRefusesWhatIsNotAMovie) {
  const TMovieInfo info = ReadMovieInfo(testing::AlternatingMovie(321, 123, 8, 5, kRed, kGreen), "m.swf");
  EXPECT_EQ(info.Width, 321);
  EXPECT_EQ(info.Height, 123);
  EXPECT_EQ(info.FrameRate, 8);
  EXPECT_EQ(info.FrameCount, 5);
  EXPECT_EQ(info.Version, 8);

  const std::vector<std::uint8_t> whole = testing::SolidClip(100, 100, kRed);
  const std::vector<std::uint8_t> truncated(whole.begin(), whole.end() - 10);
  for (const auto& bytes : {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>{'G', 'I', 'F', '8', '9'}, truncated}) {
    try {
      ReadMovieInfo(bytes, "bad.swf");
      ADD_FAILURE() << "accepted " << bytes.size() << " bytes";
    } catch (const std::exception& error) {
      EXPECT_NE(std::string(error.what()).find("bad.swf"), std::string::npos) << error.what();
    }
  }
}

TEST(MovieBytes, MarkFrameInsertsAScriptBeforeThatShowFrame) {
  const auto movie = testing::AlternatingMovie(50, 50, 12, 4, kRed, kGreen);
  const auto stopped = MarkFrame(movie, 3, true, "m.swf");
  EXPECT_EQ(std::string(stopped.begin(), stopped.begin() + 3), "FWS");
  EXPECT_EQ(ReadMovieInfo(stopped, "stopped").FrameCount, 4);
  const std::string text(stopped.begin(), stopped.end());
  const std::string script = std::string("FSCommand:") + kFrameReachedCommand + '\0' + "3" + '\0';
  EXPECT_NE(text.find(script + "\x07"), std::string::npos);  // then Stop
  const auto marked = MarkFrame(movie, 3, false, "m.swf");
  EXPECT_EQ(marked.size() + 1, stopped.size());
  EXPECT_THROW(MarkFrame(movie, 5, true, "m.swf"), std::exception);
}

// Bad trailers: each gives a clear message and exit status 1, no crash.
TEST(YelPlayer, RefusesBadAppendedMovies) {
  testing::TempDir dir;
  const auto movie = testing::SolidClip(80, 60, kRed);
  std::vector<std::uint8_t> truncated(movie.begin(), movie.begin() + static_cast<std::ptrdiff_t>(movie.size() / 2));
  const struct {
    const char* name;
    std::vector<std::uint8_t> tail;
    const char* message;
  } cases[] = {
      {"nothing appended", {}, "no movie is appended"},
      {"length outside the file", Appended(movie, 0x7FFFFFF0), "larger than the file"},
      {"marker without a movie", Appended({}, 0), "empty (length 0)"},
      {"zero-length movie", Appended(movie, 0), "empty (length 0)"},
      {"truncated movie", Appended(truncated, static_cast<std::uint32_t>(truncated.size())), "cut off"},
      {"not a movie", Appended({'h', 'e', 'l', 'l', 'o'}, 5), "not an SWF movie"},
  };
  for (const auto& c : cases) {
    const std::string exe = Executable(dir, "album.exe", c.tail);
    const TRun run = RunPlayer(dir, exe, {"--snapshot", dir / "out.png"});
    EXPECT_EQ(run.Status, 1) << c.name << ": " << run.Err;
    EXPECT_NE(run.Err.find(c.message), std::string::npos) << c.name << ": " << run.Err;
    EXPECT_EQ(run.Err.find("AddressSanitizer"), std::string::npos) << c.name << ": " << run.Err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.png")) << c.name;
  }
  const TRun usage = RunPlayer(dir, YEL_PLAYER_PROGRAM, {"--frame", "0"});
  EXPECT_EQ(usage.Status, 2) << usage.Err;
}

// The executable's own movie and a movie argument, at a frame, a time and
// a size.
TEST(YelPlayer, SnapshotsShowTheChosenFrame) {
  testing::TempDir dir;
  const auto movie = testing::AlternatingMovie(160, 120, 6, 12, kRed, kGreen);
  const std::string exe = Executable(dir, "album.exe", Appended(movie, static_cast<std::uint32_t>(movie.size())));
  const std::string swf = dir / "plain movie.swf";
  WriteFileAtomically(swf, movie);
  const struct {
    std::vector<std::string> args;
    int width, height;
    std::uint32_t color;  // 0: red or green
  } cases[] = {
      {{"--frame", "2"}, 160, 120, kGreen},
      {{"--frame", "5"}, 160, 120, kRed},
      {{swf, "--frame", "4"}, 160, 120, kGreen},
      {{swf, "--frame", "3", "--size", "400x300"}, 400, 300, kRed},
      {{swf, "--size", "80"}, 80, 60, kRed},  // frame 1
      {{swf, "--at-ms", "1500"}, 160, 120, 0},
  };
  int index = 0;
  for (const auto& c : cases) {
    const std::string png = std::string(YEL_BINARY_DIR) + "/test-output/player/yel-player-" + std::to_string(++index) + ".png";
    std::filesystem::create_directories(std::filesystem::path(png).parent_path());
    std::vector<std::string> args = c.args;
    args.insert(args.begin() + (args[0] == swf ? 1 : 0), {"--snapshot", png});
    const TRun run = RunPlayer(dir, exe, args);
    ASSERT_EQ(run.Status, 0) << index << ": " << run.Err;
    QImage picture(QString::fromStdString(png));
    ASSERT_FALSE(picture.isNull()) << png;
    EXPECT_EQ(picture.width(), c.width) << index;
    EXPECT_EQ(picture.height(), c.height) << index;
    for (QPoint at : {QPoint(c.width / 2, c.height / 2), QPoint(c.width / 5, c.height / 5)}) {
      const QColor got = picture.pixelColor(at);
      if (c.color)
        EXPECT_TRUE(Near(got, c.color)) << index << ": " << got.name().toStdString();
      else
        EXPECT_TRUE(Near(got, kRed) || Near(got, kGreen)) << index << ": " << got.name().toStdString();
    }
  }
  const TRun beyond = RunPlayer(dir, exe, {"--snapshot", dir / "x.png", "--frame", "13"});
  EXPECT_EQ(beyond.Status, 1);
  EXPECT_NE(beyond.Err.find("has 12 frames, not 13"), std::string::npos) << beyond.Err;
}

// A snapshot runs under limits for the whole process tree (the player's
// page included): a 33-byte movie whose script jumps to itself stops at
// the wall-clock limit, and a memory limit below what the page needs stops
// the snapshot; either fails with the reason and writes no picture. A
// picture named by a symbolic link replaces the link, never writing
// through it.
TEST(YelPlayer, SnapshotsRunUnderLimitsAndWriteNoLinkTarget) {
  testing::TempDir dir;
  // A 100 x 100 pixel stage and a DoAction of one Jump to itself.
  const std::string stage("\x60\x00\x3e\x80\x00\x3e\x80\x00\x0c\x01\x00", 11);
  const std::string tags = std::string("\x06\x03\x99\x02\x00\xfb\xff\x00", 8) + std::string("\x40\x00\x00\x00", 4);
  std::string loop = "FWS\x08" + std::string(4, '\0') + stage + tags;
  loop[4] = char(loop.size());
  ASSERT_EQ(loop.size(), 31u);
  const std::string loopFile = dir.Write("loop.swf", loop);
  const std::string movie = dir / "movie.swf";
  WriteFileAtomically(movie, testing::SolidClip(80, 60, kRed));
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{loopFile, "--snapshot", dir / "out.png", "--time-limit", "5"}, "did not finish within 5 s"},
      {{movie, "--snapshot", dir / "out.png", "--memory-limit", "40"}, "needed more than 40 MB of memory"},
  };
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const TRun run = RunPlayer(dir, YEL_PLAYER_PROGRAM, c.args);
    EXPECT_EQ(run.Status, 1) << run.Err;
    EXPECT_NE(run.Err.find(c.args[0] + ": the snapshot " + c.message), std::string::npos) << run.Err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(90));
    EXPECT_FALSE(std::filesystem::exists(dir / "out.png"));
  }

  const std::string victim = dir.Write("victim.txt", "not a picture");
  std::filesystem::create_symlink(victim, dir / "linked.png");
  const TRun run = RunPlayer(dir, YEL_PLAYER_PROGRAM, {movie, "--snapshot", dir / "linked.png"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(testing::ReadAll(victim), "not a picture");
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "linked.png"));
  EXPECT_FALSE(QImage(QString::fromStdString(dir / "linked.png")).isNull());
}

// A window plays the movie until the movie's fscommand("quit").
TEST(YelPlayer, WindowPlaysUntilTheMovieQuits) {
  testing::TempDir dir;
  const auto movie = testing::AlternatingMovie(120, 90, 12, 10, kRed, kGreen, 6);
  const std::string exe = Executable(dir, "quitting.exe", Appended(movie, static_cast<std::uint32_t>(movie.size())));
  const TRun own = RunPlayer(dir, exe, {});
  EXPECT_EQ(own.Status, 0) << own.Err;
  const std::string swf = dir / "quitting.swf";
  WriteFileAtomically(swf, movie);
  const TRun plain = RunPlayer(dir, YEL_PLAYER_PROGRAM, {swf});
  EXPECT_EQ(plain.Status, 0) << plain.Err;
}

}  // namespace
}  // namespace yel::app
