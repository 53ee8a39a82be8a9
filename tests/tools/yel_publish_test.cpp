// yel publish and yel preview run in-process: the written movie, the preview
// folder, and the errors for bad arguments, projects and photos.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "album/album_model.h"
#include "album/project_file.h"
#include "album/resource_library.h"
#include "swf/format/sound_tags.h"
#include "tests/testing/photo_fixture.h"
#include "tests/testing/sound_fixtures.h"
#include "tests/testing/temp_dir.h"
#include "tests/testing/theme_fixtures.h"
#include "tests/tools/yel_run.h"

namespace yel {
namespace {

using testing::Yel;
using CliRun = testing::YelRun;

// A project of two slides whose photos do not exist (they show the album
// background) and, optionally, one damaged photo.
std::string Project(const testing::TempDir& dir, bool damaged = false, const std::string& name = "album.yel") {
  TFlashAlbum album;
  album.Width = 64, album.Height = 48, album.FrameRate = 12;
  album.AddSlide(dir / "missing1.jpg").Transition.EntryEffect = 257;
  album.AddSlide(dir / "missing2.jpg").Transition.EntryEffect = 4609;
  if (damaged) album.AddSlide(dir.Write("broken.jpg", "\xFF\xD8 broken"));
  const std::string path = dir / name;
  SaveProjectFile(album, path);
  return path;
}

TEST(YelPublish, WritesTheMovie) {
  testing::TempDir dir;
  const std::string out = dir / "album.swf";
  CliRun run = Yel({"publish", Project(dir), "--swf", out});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string movie = testing::ReadAll(out);
  EXPECT_EQ(movie.substr(0, 4), std::string("CWS\x08"));
  EXPECT_NE(run.out.find("Wrote " + out), std::string::npos);
  // The steps appear on stderr.
  for (const char* step : {"Processing [1/3]...", "Processing [2/4]...", "Processing [4/4]...", "Save to file..."})
    EXPECT_NE(run.err.find(step), std::string::npos) << step << "\n" << run.err;
  // The same album again gives the same bytes.
  ASSERT_EQ(Yel({"publish", dir / "album.yel", "--swf", dir / "again.swf"}).status, 0);
  EXPECT_EQ(testing::ReadAll(dir / "again.swf"), movie);
}

// --music streams the file under the movie; the project file is not changed.
TEST(YelPublish, MusicGoesIntoTheMovieNotTheProject) {
  testing::TempDir dir;
  const std::string project = Project(dir);
  const std::string before = testing::ReadAll(project);
  const std::string music = dir.Write("music.wav", testing::PcmWav(testing::Sine(2205, 1, 22050, 440), 1, 22050));
  ASSERT_EQ(Yel({"publish", project, "--swf", dir / "quiet.swf"}).status, 0);
  CliRun run = Yel({"publish", project, "--swf", dir / "music.swf", "--music", music});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_GT(testing::ReadAll(dir / "music.swf").size(), testing::ReadAll(dir / "quiet.swf").size() + 500);
  EXPECT_EQ(testing::ReadAll(project), before);
  run = Yel({"publish", project, "--swf", dir / "none.swf", "--music", dir / "nope.mp3"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(dir / "nope.mp3"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "none.swf"));
  run = Yel({"publish", project, "--swf", dir / "none.swf", "--music", dir.Write("music.ogg", "OggS")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("MP3 or WAV"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "none.swf"));
}

// The published album's music, a LAME MP3 tone with its Info frame,
// decoded by ffmpeg from the movie: no silence over 5 ms where it loops.
TEST(YelPublish, MusicLoopsWithoutAGap) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg missing";
  testing::TempDir dir;
  const std::string tone = dir / "tone.mp3";
  ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=44100:duration=0.9 -ac 2 "
                         "-c:a libmp3lame -b:a 128k " + tone).c_str()),
            0);
  CliRun run = Yel({"publish", Project(dir), "--swf", dir / "music.swf", "--music", tone});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(std::system(("ffmpeg -v error -y -i " + dir / "music.swf" + " -ac 1 -f s16le " + dir / "music.raw").c_str()), 0);
  const std::string decoded = testing::ReadAll(dir / "music.raw");
  EXPECT_GT(decoded.size() / 2, 44100u * 3);  // several loops
  const testing::TSilence silence = testing::LongestSilence(decoded, 4410, 2205);
  EXPECT_LE(silence.Length, 220u) << "silent samples before " << silence.EndsAt;
}

TEST(YelPublish, ErrorsNameTheProblemAndWriteNothing) {
  testing::TempDir dir;
  const std::string out = dir / "out.swf";
  struct Case {
    cli::Args args;
    int status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"publish"}, 2, "which album?"},
      {{"publish", dir / "album.yel"}, 2, "which output? Give --swf OUT.swf"},
      {{"publish", dir / "album.yel", "--swf", out, "--html", dir / "out.html"}, 2, "one output per run"},
      {{"publish", dir / "album.yel", "--swf", out, "--cd"}, 2, "--cd goes with --exe"},
      {{"publish", dir / "album.yel", "--swf", out, "--html-plain"}, 2, "--html-plain goes with --html"},
      {{"publish", dir / "album.yel", "--swf", out, "--html-folder"}, 2, "--html-folder goes with --html"},
      {{"publish", dir / "album.yel", "--html", out, "--html-folder", "--html-plain"}, 2, "not both"},
      {{"publish", dir / "album.yel", "--swf", out, "--folder", dir.path()}, 2, "--folder goes with --email"},
      {{"publish", dir / "album.yel", "--email", "x"}, 2, "--email NAME needs --folder DIR"},
      {{"publish", dir / "nope.yel", "--swf", out}, 1, dir / "nope.yel"},
      {{"publish", Project(dir, true), "--swf", out}, 1, dir / "broken.jpg"},
      {{"publish", Project(dir, false, "good.yel"), "--swf", dir / "no/such/folder/out.swf"}, 1, "no/such/folder"},
      {{"publish", dir / "album.yel", "--swf", out, "--slide-format", "png"}, 2, "--slide-format is lossless or jpeg"},
      {{"publish", dir / "album.yel", "--swf", out, "--slide-format", "jpeg", "--jpeg-quality", "0"}, 2, "1 to 100"},
      {{"publish", dir / "album.yel", "--swf", out, "--slide-format", "jpeg", "--jpeg-quality", "9x"}, 2, "not '9x'"},
      {{"publish", dir / "album.yel", "--swf", out, "--jpeg-quality", "50"}, 2, "goes with --slide-format jpeg"},
      {{"preview"}, 2, "which album?"},
  };
  for (const Case& c : cases) {
    CliRun run = Yel(c.args);
    EXPECT_EQ(run.status, c.status) << c.args.size() << ": " << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

// An output that is one of the run's inputs (the same path, or the same
// file through a link) is refused before anything is written: the input
// keeps its bytes.
TEST(YelPublish, OutputsThatAreInputsAreRefused) {
  testing::TempDir dir;
  TFlashAlbum album;
  album.Width = 64, album.Height = 48, album.FrameRate = 12;
  const std::string photo = dir.Write("photo.jpg", "the only copy of a photo");
  album.AddSlide(photo);
  const std::string project = dir / "x.yel";
  SaveProjectFile(album, project);
  const std::string projectBytes = testing::ReadAll(project);
  const std::string script = dir.Write("b.as", "x = 1;");
  const std::string music = dir.Write("song.mp3", "the only copy of a song");
  std::filesystem::create_directories(dir / "sub");
  std::filesystem::create_symlink(project, dir / "link.swf");
  const std::vector<cli::Args> cases = {
      {"publish", project, "--swf", project},
      {"publish", project, "--swf", dir / "sub/../x.yel"},
      {"publish", project, "--swf", photo},
      {"publish", project, "--swf", dir / "link.swf"},
      {"publish", project, "--swf", music, "--music", music},
      {"compile", script, "-o", script},
      {"compile", script, "-o", dir / "sub/../b.as"},
  };
  for (const cli::Args& args : cases) {
    const CliRun run = Yel(args);
    EXPECT_EQ(run.status, 1) << args[3] << ": " << run.err;
    EXPECT_NE(run.err.find("writing it would destroy it"), std::string::npos) << run.err;
  }
  EXPECT_EQ(testing::ReadAll(project), projectBytes);
  EXPECT_EQ(testing::ReadAll(photo), "the only copy of a photo");
  EXPECT_EQ(testing::ReadAll(music), "the only copy of a song");
  EXPECT_EQ(testing::ReadAll(script), "x = 1;");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.swf"));
}

// --slide-format jpeg writes the photos as JPEG data: a smaller movie whose
// bitmaps are DefineBitsJPEG2 tags (code 21).
TEST(YelPublish, JpegSlidesMakeASmallerMovie) {
  testing::TempDir dir;
  TFlashAlbum album;
  album.Width = 320, album.Height = 240;
  const std::string photo = dir / "photo.jpg";
  const std::vector<std::uint8_t> jpeg = testing::PhotoLikeJpeg(800, 600, 3);
  dir.Write("photo.jpg", std::string(jpeg.begin(), jpeg.end()));
  album.AddSlide(photo);
  SaveProjectFile(album, dir / "album.yel");
  ASSERT_EQ(Yel({"publish", dir / "album.yel", "--swf", dir / "lossless.swf"}).status, 0);
  CliRun run = Yel({"publish", dir / "album.yel", "--swf", dir / "jpeg.swf", "--slide-format", "jpeg"});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(Yel({"publish", dir / "album.yel", "--swf", dir / "q30.swf", "--slide-format", "jpeg", "--jpeg-quality",
                 "30"}).status, 0);
  const auto lossless = std::filesystem::file_size(dir / "lossless.swf");
  const auto at85 = std::filesystem::file_size(dir / "jpeg.swf"), at30 = std::filesystem::file_size(dir / "q30.swf");
  EXPECT_LT(at85 * 3, lossless);
  EXPECT_LT(at30, at85);
  CliRun dump = Yel({"dump", dir / "jpeg.swf"});
  EXPECT_NE(dump.out.find("DefineBitsJPEG2"), std::string::npos) << dump.out;
  EXPECT_EQ(dump.out.find("DefineBitsLossless"), std::string::npos) << dump.out;
}

// A player folder for the pages of --exe --cd and --email, named by
// YEL_RUFFLE_DIR while it lives (the test program's folder has none).
struct PlayerFolder {
  explicit PlayerFolder(const testing::TempDir& dir) {
    std::filesystem::create_directories(dir / "ruffle-fixture");
    dir.Write("ruffle-fixture/ruffle.js", "// player");
    dir.Write("ruffle-fixture/core.wasm", "wasm");
    ::setenv("YEL_RUFFLE_DIR", (dir / "ruffle-fixture").c_str(), 1);
  }
  ~PlayerFolder() { ::unsetenv("YEL_RUFFLE_DIR"); }
};

// The page that carries the player and the movie; with --html-folder the
// page, its movie and the player beside it; --html-plain leaves the player
// out (and needs none).
TEST(YelPublish, HtmlPageBesideTheMovie) {
  testing::TempDir dir;
  std::filesystem::create_directories(dir / "player");
  std::filesystem::create_directories(dir / "plain");
  std::filesystem::create_directories(dir / "offline");
  dir.Write("player/ruffle.js", "// player");
  dir.Write("player/core.wasm", "wasm");
  ::setenv("YEL_RUFFLE_DIR", (dir / "player").c_str(), 1);
  CliRun offline = Yel({"publish", Project(dir), "--html", dir / "offline/show.html"});
  CliRun run = Yel({"publish", Project(dir), "--html", dir / "show.htm", "--html-folder"});
  ::setenv("YEL_RUFFLE_DIR", (dir / "nowhere").c_str(), 1);
  CliRun plain = Yel({"publish", Project(dir), "--html", dir / "plain/show.html", "--html-plain"});
  ::unsetenv("YEL_RUFFLE_DIR");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Wrote " + dir / "show.swf"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Wrote " + dir / "ruffle/core.wasm"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Wrote " + dir / "show.html"), std::string::npos) << run.out;
  const std::string page = testing::ReadAll(dir / "show.html");
  EXPECT_NE(page.find("<embed name=\"YEL\" src=\"show.swf\""), std::string::npos);
  EXPECT_NE(page.find("<script src=\"ruffle/ruffle.js\"></script>"), std::string::npos);
  EXPECT_EQ(testing::ReadAll(dir / "ruffle/ruffle.js"), "// player");
  EXPECT_NE(run.err.find("Publish HTML File ..."), std::string::npos);

  ASSERT_EQ(offline.status, 0) << offline.err;
  EXPECT_NE(testing::ReadAll(dir / "offline/show.html").find("// player"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "offline/ruffle"));

  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(testing::ReadAll(dir / "plain/show.html").find("ruffle"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "plain/ruffle"));
}

// The program's folder of the test has no resource library: no executable
// is written (an earlier one stays), the movie is kept, and the message says
// both.
TEST(YelPublish, ExecutableWithoutPlayerSaysWhatIsLeft) {
  testing::TempDir dir;
  const PlayerFolder ruffle(dir);
  dir.Write("trip.exe", "earlier executable");
  CliRun run = Yel({"publish", Project(dir), "--exe", dir / "trip", "--cd"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("YEL_Links.dll"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("the movie is kept as " + dir / "trip.swf"), std::string::npos) << run.err;
  EXPECT_EQ(testing::ReadAll(dir / "trip.exe"), "earlier executable");
  EXPECT_EQ(testing::ReadAll(dir / "trip.swf").substr(0, 3), "CWS");
  EXPECT_FALSE(std::filesystem::exists(dir / "autorun.inf"));
}

// A slide whose photo is missing, a folder or a pipe shows the background
// with a warning naming the file; --strict makes that an error and writes
// nothing.
TEST(YelPublish, MissingPhotosAreWarnedAboutOrRefusedWhenStrict) {
  testing::TempDir dir;
  std::filesystem::create_directories(dir / "folder.jpg");
  ASSERT_EQ(::mkfifo((dir / "pipe.jpg").c_str(), 0600), 0);
  TFlashAlbum album;
  album.Width = 64, album.Height = 48, album.FrameRate = 12;
  for (const char* name : {"missing.jpg", "folder.jpg", "pipe.jpg"}) album.AddSlide(dir / name);
  SaveProjectFile(album, dir / "album.yel");
  CliRun run = Yel({"publish", dir / "album.yel", "--swf", dir / "out.swf"});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* name : {"missing.jpg: the photo is missing", "folder.jpg: the photo is a folder",
                           "pipe.jpg: the photo is not a regular file"})
    EXPECT_NE(run.err.find("warning: " + dir / name), std::string::npos) << run.err;
  std::filesystem::remove(dir / "out.swf");
  run = Yel({"publish", dir / "album.yel", "--swf", dir / "out.swf", "--strict"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(dir / "missing.jpg"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("3 photos are missing or unreadable (--strict)"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "out.swf"));
}

// A movie counts its frames in 16 bits: an album that needs more is refused
// before anything is built, saying how many frames it needs and the limit.
TEST(YelPublish, AlbumsBeyondTheFrameLimitAreRefused) {
  testing::TempDir dir;
  TFlashAlbum album;
  album.Width = 64, album.Height = 48;  // 24 frames per second
  for (int i = 0; i < 676; ++i) album.AddSlide("").Transition.EntryEffect = 257;  // 97 frames each
  SaveProjectFile(album, dir / "long.yel");
  CliRun run = Yel({"publish", dir / "long.yel", "--swf", dir / "out.swf"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("the album needs 65573 frames, more than the 65535 a movie can hold"), std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("Processing"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "out.swf"));
}

// A program folder whose library has a player: the executable is the player,
// the movie, the marker and the movie's length; --cd adds the CD files.
TEST(YelPublish, ExecutableFromTheProgramFolder) {
  testing::TempDir dir;
  const PlayerFolder ruffle(dir);
  std::filesystem::create_directories(dir / "app");
  std::filesystem::create_directories(dir / "out");
  const std::string player = "#!/bin/sh\nexit 0\n", icon = "icon";
  WriteResourceLibrary(dir / "app/YEL_Links.dll", {{"EXE", "YEL_Player", {player.begin(), player.end()}},
                                                    {"ICO", "YEL_CD", {icon.begin(), icon.end()}}});
  CliRun run = Yel({"publish", Project(dir), "--app-folder", dir / "app", "--exe", dir / "out/trip", "--cd"});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* name : {"trip.exe", "Shell.ico", "autorun.inf"})
    EXPECT_NE(run.out.find("Wrote " + dir / "out/" + name), std::string::npos) << run.out;
  const std::string exe = testing::ReadAll(dir / "out/trip.exe");
  ASSERT_GT(exe.size(), player.size() + 8);
  const std::size_t movie = exe.size() - player.size() - 8;
  EXPECT_EQ(exe.substr(0, player.size()), player);
  EXPECT_EQ(exe.substr(player.size(), 4), std::string("CWS\x08"));
  std::string tail = "\x56\x34\x12\xFA";
  for (int i = 0; i < 4; ++i) tail += char((movie >> (8 * i)) & 0xFF);
  EXPECT_EQ(exe.substr(exe.size() - 8), tail);
  EXPECT_FALSE(std::filesystem::exists(dir / "out/trip.swf"));
  // The file is executable: this player is a script that stops before the movie.
  EXPECT_EQ(std::system(("'" + dir / "out/trip.exe" + "'").c_str()), 0);
  EXPECT_EQ(testing::ReadAll(dir / "out/autorun.inf"), "[AutoRun]\r\nOpen=trip.exe\r\nIcon=shell.ico\r\n");
  EXPECT_EQ(testing::ReadAll(dir / "out/Shell.ico"), icon);
}

TEST(YelPublish, EMailOpensAMessageWithTheArchive) {
  testing::TempDir dir;
  const PlayerFolder ruffle(dir);
  const std::string project = Project(dir);
  const std::string fake = dir.Write("fake-email", "#!/bin/sh\nprintf '%s|' \"$@\" > '" + dir / "args.part" +
                                                       "' && mv '" + dir / "args.part" + "' '" + dir / "args" + "'\n");
  ::chmod(fake.c_str(), 0755);
  ::setenv("YEL_MAIL_PROGRAM", fake.c_str(), 1);
  CliRun run = Yel({"publish", project, "--email", "my Album", "--folder", dir / "Out"});
  const std::string zip = dir / "Out/my Album/my Album.zip";
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Wrote " + dir / "Out/my Album/my Album.swf"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Wrote " + zip), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(fake), std::string::npos) << run.out;
  for (int i = 0; i < 200 && !std::filesystem::exists(dir / "args"); ++i) ::usleep(50000);
  const std::string args = testing::ReadAll(dir / "args");
  EXPECT_EQ(args.substr(0, 21), "--subject|my Album|--");
  EXPECT_NE(args.find("|--attach|" + zip + "|"), std::string::npos) << args;

  // Without the mail program the archive is removed and the user told.
  ::setenv("YEL_MAIL_PROGRAM", (dir / "no-mail-program").c_str(), 1);
  run = Yel({"publish", project, "--email", "trip", "--folder", dir / "Out"});
  ::unsetenv("YEL_MAIL_PROGRAM");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Can not launch the mail program"), std::string::npos) << run.err;
  EXPECT_TRUE(std::filesystem::exists(dir / "Out/trip/trip.swf"));
  EXPECT_FALSE(std::filesystem::exists(dir / "Out/trip/trip.zip"));
}

// The installed themes: the first template and loading bar by default,
// others by name; an unknown name is a usage error listing the installed
// ones; without themes the movie has no template frame.
TEST(YelPublish, UsesTheInstalledThemes) {
  testing::TempDir dir;
  const std::string app = dir / "app";
  const std::string project = Project(dir);  // 64 x 48, two slides
  testing::InstallTemplate(app, "Plain", "[Background]\nColor=0x112233\n[Size]\nLeft=0.25\nTop=0.25\nWidth=32\nHeight=24\n");
  testing::InstallTemplate(app, "Framed", "[Background]\nColor=0x112233\n[PhotoFrame]\nFileName=frame.swf\n",
                           {{"frame.swf", testing::RingClip(40, 30, 2, testing::Rgb(255, 255, 255))}});
  testing::InstallLoadingBar(app, "Bar", "[Background]\nColor=0x00FF00\n[Size]\nLeft=0.25\nTop=0.5\nWidth=32\nHeight=4\n",
                             testing::SolidClip(16, 8, testing::Rgb(255, 0, 0)));
  auto publish = [&](cli::Args more) {
    cli::Args args = {"publish", project, "--swf", dir / "out.swf"};
    args.insert(args.end(), more.begin(), more.end());
    return Yel(args);
  };
  auto movie = [&] {
    const std::string bytes = testing::ReadAll(dir / "out.swf");
    return std::make_unique<testing::ParsedMovie>(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  };

  CliRun run = publish({"--app-folder", app});
  ASSERT_EQ(run.status, 0) << run.err;
  auto first = movie();
  EXPECT_EQ(first->Layers(200).size(), 2u) << "Plain: mask and background";
  auto loading = first->Layers(1);
  ASSERT_EQ(loading.size(), 2u);
  EXPECT_FLOAT_EQ(loading[2]->Matrix().GetScaleX(), 2.0f);
  EXPECT_FLOAT_EQ(loading[2]->Matrix().GetScaleY(), 0.5f);
  EXPECT_EQ(loading[2]->Matrix().TranslateX, 16 * 20);
  EXPECT_EQ(loading[2]->Matrix().TranslateY, 24 * 20);

  run = publish({"--template", "Framed", "--app-folder", app, "--loading-bar", "Bar"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(movie()->Layers(200).size(), 3u) << "Framed: with its photo frame";

  run = publish({"--app-folder", app, "--template", "Nope"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("no template named 'Nope' is installed (installed: Plain, Framed)"), std::string::npos)
      << run.err;
  run = publish({"--app-folder", app, "--loading-bar", "Nope"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("(installed: Bar)"), std::string::npos) << run.err;

  std::filesystem::create_directories(dir / "empty");
  run = publish({"--app-folder", dir / "empty"});
  ASSERT_EQ(run.status, 0) << run.err;
  auto plain = movie();
  EXPECT_TRUE(plain->Layers(200).empty());
  EXPECT_EQ(plain->Layers(1).size(), 1u);
  EXPECT_EQ(publish({"--app-folder", dir / "nowhere"}).status, 2);
}

// yel project set keeps the template, loading bar and music in the project;
// show lists them; publish uses them unless an option overrides, and a
// kept theme that is no longer installed gives way to the first.
TEST(YelProject, SetKeepsTheThemeAndMusicThatPublishUses) {
  testing::TempDir dir;
  const std::string app = dir / "app";
  const std::string project = Project(dir);
  testing::InstallTemplate(app, "Plain", "[Background]\nColor=0x112233\n[Size]\nLeft=0.25\nTop=0.25\nWidth=32\nHeight=24\n");
  testing::InstallTemplate(app, "Framed", "[Background]\nColor=0x112233\n[PhotoFrame]\nFileName=frame.swf\n",
                           {{"frame.swf", testing::RingClip(40, 30, 2, testing::Rgb(255, 255, 255))}});
  testing::InstallLoadingBar(app, "Bar", "[Background]\nColor=0x00FF00\n[Size]\nLeft=0.25\nTop=0.5\nWidth=32\nHeight=4\n",
                             testing::SolidClip(16, 8, testing::Rgb(255, 0, 0)));
  testing::InstallLoadingBar(app, "Wide", "[Background]\nColor=0x00FF00\n[Size]\nLeft=0\nTop=0.5\nWidth=64\nHeight=4\n",
                             testing::SolidClip(16, 8, testing::Rgb(0, 0, 255)));
  const std::string music = dir.Write("song.wav", testing::PcmWav(testing::Sine(11025, 1, 11025, 440), 1, 11025));
  const std::string before = testing::ReadAll(project);

  // Errors leave the file as it was.
  struct Case {
    cli::Args args;
    int status;
    const char* text;
  } errors[] = {
      {{"project", "set", project}, 2, "nothing to set"},
      {{"project", "set", project, "--app-folder", app, "--template", "Nope"}, 2,
       "no template named 'Nope' is installed (installed: Plain, Framed)"},
      {{"project", "set", project, "--app-folder", app, "--loading-bar", "Nope"}, 2, "(installed: Bar, Wide)"},
      {{"project", "set", project, "--music", dir / "none.mp3"}, 1, "none.mp3: the music file does not exist"},
      {{"project", "set", project, "--music", dir.Write("notes.txt", "x")}, 1, "must be an MP3 or WAV"},
      {{"project", "set", project, "--music", dir.path()}, 1, "is not a regular file"},
  };
  for (const auto& c : errors) {
    CliRun run = Yel(c.args);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.text), std::string::npos) << run.err;
    EXPECT_EQ(testing::ReadAll(project), before);
  }

  CliRun run = Yel({"project", "show", project});
  EXPECT_NE(run.out.find("Template    (the first installed)\nLoading bar (the first installed)\nMusic       (none)\n"),
            std::string::npos)
      << run.out;
  run = Yel({"project", "set", project, "--app-folder", app, "--template", "Framed", "--loading-bar", "Wide", "--music",
             music});
  ASSERT_EQ(run.status, 0) << run.err;
  run = Yel({"project", "show", project});
  EXPECT_NE(run.out.find("Template    Framed\nLoading bar Wide\nMusic       " + music + "\n"), std::string::npos)
      << run.out;

  auto publish = [&](cli::Args more) {
    cli::Args args = {"publish", project, "--swf", dir / "out.swf", "--app-folder", app};
    args.insert(args.end(), more.begin(), more.end());
    CliRun published = Yel(args);
    EXPECT_EQ(published.status, 0) << published.err;
    const std::string bytes = testing::ReadAll(dir / "out.swf");
    return std::make_pair(std::make_unique<testing::ParsedMovie>(std::vector<std::uint8_t>(bytes.begin(), bytes.end())),
                          published.err);
  };
  auto streams = [](testing::ParsedMovie& movie) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < movie.reader.TagCount(); ++i)
      count += dynamic_cast<swf::TSWFSoundStreamHead*>(movie.Tag(i)) != nullptr;
    return count;
  };
  auto [kept, keptErr] = publish({});
  EXPECT_EQ(kept->Layers(200).size(), 3u) << "Framed: with its photo frame";
  EXPECT_EQ(kept->Layers(1).at(2)->Matrix().TranslateX, 0) << "Wide sits at the left edge";
  EXPECT_EQ(streams(*kept), 1u) << "the project's music";
  auto [chosen, chosenErr] = publish({"--template", "Plain", "--loading-bar", "Bar"});
  EXPECT_EQ(chosen->Layers(200).size(), 2u) << "Plain: the option wins";
  EXPECT_EQ(chosen->Layers(1).at(2)->Matrix().TranslateX, 16 * 20);

  // A kept theme that was removed, and music that went away: warnings, the
  // first theme, no music.
  std::filesystem::remove_all(app + "/Theme/Template/Framed");
  std::filesystem::remove(music);
  auto [fallen, fallenErr] = publish({});
  EXPECT_NE(fallenErr.find("the project's template 'Framed' is not installed; using 'Plain'"), std::string::npos)
      << fallenErr;
  EXPECT_NE(fallenErr.find(music + ": the project's music file does not exist"), std::string::npos) << fallenErr;
  EXPECT_EQ(fallen->Layers(200).size(), 2u);
  EXPECT_EQ(streams(*fallen), 0u);

  // Empty names and --no-music take the choice back out of the file.
  run = Yel({"project", "set", project, "--template", "", "--loading-bar", "", "--no-music"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(testing::ReadAll(project), before);
}

TEST(YelPreview, WritesThePageTheMovieAndThePlayer) {
  testing::TempDir dir;
  std::filesystem::create_directories(dir / "ruffle");
  dir.Write("ruffle/ruffle.js", "// player");
  dir.Write("ruffle/core.wasm", "wasm");
  dir.Write("ruffle/README.md", "not copied");
  ::setenv("YEL_RUFFLE_DIR", (dir / "ruffle").c_str(), 1);
  const std::string page = dir / "page";
  CliRun run = Yel({"preview", Project(dir), "--dir", page, "--no-serve"});
  ::unsetenv("YEL_RUFFLE_DIR");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string html = testing::ReadAll(page + "/index.html");
  EXPECT_NE(html.find("ruffle/ruffle.js"), std::string::npos);
  EXPECT_NE(html.find("album.swf"), std::string::npos);
  EXPECT_NE(html.find("64px"), std::string::npos);
  EXPECT_EQ(testing::ReadAll(page + "/album.swf").substr(0, 3), "CWS");
  EXPECT_TRUE(std::filesystem::exists(page + "/ruffle/core.wasm"));
  EXPECT_FALSE(std::filesystem::exists(page + "/ruffle/README.md"));
  EXPECT_NE(run.out.find(page + "/index.html"), std::string::npos);
  EXPECT_NE(run.err.find("Preview ..."), std::string::npos);
}

TEST(YelPreview, WithoutThePlayerFilesSaysWhereItLooked) {
  testing::TempDir dir;
  ::setenv("YEL_RUFFLE_DIR", (dir / "empty").c_str(), 1);
  CliRun run = Yel({"preview", Project(dir), "--no-serve", "--dir", dir / "page"});
  ::unsetenv("YEL_RUFFLE_DIR");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(dir / "empty"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Ruffle"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace yel
