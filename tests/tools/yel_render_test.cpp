// yel render run in-process: one frame at a size, a range of frames into a
// folder, and the errors (missing file, frame past the end, bad sizes).
#include <gtest/gtest.h>

#include <filesystem>

#include "media/picture_decoder.h"
#include "tests/swf/render/render_fixtures.h"
#include "tests/testing/temp_dir.h"
#include "tests/tools/yel_run.h"

namespace yel {
namespace {

using testing::Yel;
using testing::YelRun;
namespace rt = swf::render::testing;

// A 20 × 10 movie of three frames: a red square one pixel right each frame.
std::string WriteMovie(const testing::TempDir& dir) {
  rt::Movie movie(20, 10, rt::Rgba(0, 0, 255));
  movie.Add(rt::RectShape(1, 0, 0, 20, 20, rt::Solid(rt::Rgba(255, 0, 0))));
  movie.Add(rt::Place(1, 1));
  movie.ShowFrame();
  movie.Add(rt::Move(1, 20, 0));
  movie.ShowFrame();
  movie.Add(rt::Move(1, 40, 0));
  movie.ShowFrame();
  const auto bytes = movie.Save();
  return dir.Write("movie.swf", std::string(bytes.begin(), bytes.end()));
}

media::TRGBAPicture ReadPng(const std::string& path) {
  const std::string bytes = testing::ReadAll(path);
  return media::DecodePicture({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, path);
}

bool RedAt(const media::TRGBAPicture& p, int x, int y) {
  const std::uint8_t* px = &p.Pixels[(std::size_t(y) * p.Width + x) * 4];
  return px[0] == 255 && px[1] == 0 && px[2] == 0 && px[3] == 255;
}

TEST(YelRender, OneFrameAtAScale) {
  testing::TempDir dir;
  const std::string movie = WriteMovie(dir);
  YelRun run = Yel({"render", movie, "-o", dir / "f.png", "--frame", "2", "--scale", "2"});
  ASSERT_EQ(run.status, 0) << run.err;
  const media::TRGBAPicture picture = ReadPng(dir / "f.png");
  EXPECT_EQ(picture.Width, 40);
  EXPECT_EQ(picture.Height, 20);
  EXPECT_TRUE(RedAt(picture, 2, 0));
  EXPECT_TRUE(RedAt(picture, 3, 1));
  EXPECT_FALSE(RedAt(picture, 1, 0));

  ASSERT_EQ(Yel({"render", movie, "-o", dir / "t.png", "--fit", "10"}).status, 0);
  EXPECT_EQ(ReadPng(dir / "t.png").Width, 10);
  EXPECT_EQ(ReadPng(dir / "t.png").Height, 5);
}

TEST(YelRender, ARangeIsNumberedByFrame) {
  testing::TempDir dir;
  const std::string movie = WriteMovie(dir);
  std::filesystem::create_directory(dir / "out");
  YelRun run = Yel({"render", movie, "--frames", "2-3", "-o", dir / "out/", "--jobs", "2"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "out/frame-00001.png"));
  EXPECT_TRUE(RedAt(ReadPng(dir / "out/frame-00002.png"), 1, 0));
  EXPECT_TRUE(RedAt(ReadPng(dir / "out/frame-00003.png"), 2, 0));
}

TEST(YelRender, ErrorsNameTheFile) {
  testing::TempDir dir;
  const std::string movie = WriteMovie(dir);
  YelRun missing = Yel({"render", dir / "none.swf", "-o", dir / "f.png"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("none.swf"), std::string::npos) << missing.err;

  YelRun past = Yel({"render", movie, "-o", dir / "f.png", "--frame", "9"});
  EXPECT_EQ(past.status, 1);
  EXPECT_NE(past.err.find("movie.swf: the movie has 3 frames; there is no frame 9"), std::string::npos) << past.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "f.png"));

  YelRun noFolder = Yel({"render", movie, "--frames", "1-2", "-o", dir / "nowhere/"});
  EXPECT_EQ(noFolder.status, 1);
  EXPECT_NE(noFolder.err.find("nowhere"), std::string::npos) << noFolder.err;

  EXPECT_EQ(Yel({"render", movie, "-o", dir / "f.png", "--size", "10"}).status, 2);
  EXPECT_EQ(Yel({"render", movie, "-o", dir / "f.png", "--size", "10x10", "--scale", "2"}).status, 2);
  EXPECT_EQ(Yel({"render", movie, "-o", dir / "f.png", "--scale", "80000"}).status, 2);
  EXPECT_EQ(Yel({"render", movie, "--frames", "3-1", "-o", dir.path()}).status, 2);
  EXPECT_EQ(Yel({"render", movie}).status, 2);
}

}  // namespace
}  // namespace yel
