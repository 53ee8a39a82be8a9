// The yel front end run in-process: project new and show, help and errors.
#include <gtest/gtest.h>

#include <filesystem>

#include <sstream>

#include "tests/testing/temp_dir.h"
#include "tests/tools/yel_run.h"

namespace yel {
namespace {

using testing::Yel;
using testing::YelRun;

TEST(YelProject, NewThenShowListsSlidesInNameOrder) {
  testing::TempDir dir;
  std::filesystem::create_directory(dir / "photos");
  for (const char* name : {"b.JPG", "a.png", "c.bmp", "readme.txt"}) dir.Write(std::string("photos/") + name, "x");
  std::string project = dir / "a.yel";

  YelRun made = Yel({"project", "new", "--photos", dir / "photos", "-o", project, "--seed", "5"});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_NE(testing::ReadAll(project).find("<Document xmlns=\"Quenlo\">"), std::string::npos);

  YelRun shown = Yel({"project", "show", project});
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.out.find("Size        720 x 540\n"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("Slides      3\n"), std::string::npos) << shown.out;
  auto a = shown.out.find("/photos/a.png"), b = shown.out.find("/photos/b.JPG"), c = shown.out.find("/photos/c.bmp");
  ASSERT_NE(a, std::string::npos);
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
  EXPECT_NE(shown.out.find("speed 2 s  duration 2 s  sound None"), std::string::npos) << shown.out;

  // The same seed gives the same transitions.
  YelRun again = Yel({"project", "new", "--photos", dir / "photos", "--seed", "5"});
  ASSERT_EQ(again.status, 0);
  EXPECT_EQ(again.out, testing::ReadAll(project));
}

TEST(YelProject, HelpAndErrors) {
  testing::TempDir dir;
  struct Case {
    cli::Args args;
    int status;
    const char* text;  // expected in stdout for 0, in stderr otherwise
  } cases[] = {
      {{"--help"}, 0, "project"},
      {{"project", "--help"}, 0, "yel project new --photos DIR"},
      {{"project", "new", "--help"}, 0, "yel project new --photos DIR"},
      {{}, 2, "Usage: yel"},
      {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
      {{"project", "new"}, 2, "--photos DIR is required"},
      {{"project", "new", "--photos"}, 2, "option --photos needs a value"},
      {{"project", "new", "--photos", dir / "missing"}, 1, "no such folder"},
      {{"project", "new", "--photos", dir.path()}, 1, "no photo files"},
      {{"project", "show"}, 2, "which project file"},
      {{"project", "show", dir / "missing.yel"}, 1, "missing.yel: no such file"},
      {{"project", "show", dir.Write("bad.yel", "<x>")}, 1, "bad.yel: not a well-formed XML document"},
  };
  for (const auto& c : cases) {
    YelRun run = Yel(c.args);
    EXPECT_EQ(run.status, c.status) << run.err;
    const std::string& where = c.status == 0 ? run.out : run.err;
    EXPECT_NE(where.find(c.text), std::string::npos) << where;
  }
}

}  // namespace
}  // namespace yel
