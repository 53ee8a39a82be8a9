// yel themes run in-process: an empty program folder, a small catalogue,
// refused entries and a broken list.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "tests/testing/temp_dir.h"
#include "tests/tools/yel_run.h"

namespace yel {
namespace {

using testing::Yel;
using testing::YelRun;

void Entry(const testing::TempDir& app, const std::string& folder, const std::string& name) {
  std::filesystem::create_directories(app / (folder + name));
  app.Write(folder + name + "/View.jpg", "jpeg");
}

TEST(YelThemes, WithoutInstalledContentSaysSo) {
  testing::TempDir app;
  YelRun run = Yel({"themes", "--app-folder", app.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Templates: none installed"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Loading bars: none installed"), std::string::npos) << run.out;
}

TEST(YelThemes, ListsEntriesInOrderWithTheDefaultMarked) {
  testing::TempDir app;
  std::filesystem::create_directories(app / "Theme/Template");
  std::filesystem::create_directories(app / "Theme/LoadingBar");
  app.Write("Theme/Template/Config.xml",
            "<T><Name id=\"1\">Polaroid</Name><Name id=\"2\">../../etc</Name><Name id=\"3\">Classic</Name></T>");
  app.Write("Theme/LoadingBar/config.xml", "<L><Name id=\"1\">Dots</Name></L>");
  Entry(app, "Theme/Template/", "Polaroid");
  Entry(app, "Theme/Template/", "Classic");
  Entry(app, "Theme/LoadingBar/", "Dots");
  YelRun run = Yel({"themes", "--app-folder", app.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(":\n  * Polaroid\n    Classic\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(":\n  * Dots\n"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("\"../../etc\" is left out"), std::string::npos) << run.err;
}

TEST(YelThemes, BrokenListsAndBadArgumentsAreErrors) {
  testing::TempDir app;
  std::filesystem::create_directories(app / "Theme/Template");
  app.Write("Theme/Template/Config.xml", "<T><Name>unclosed");
  YelRun broken = Yel({"themes", "--app-folder", app.path()});
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.err.find("Config.xml: the list file is not well-formed XML"), std::string::npos) << broken.err;

  EXPECT_EQ(Yel({"themes", "extra"}).status, 2);
  EXPECT_EQ(Yel({"themes", "--app-folder", app / "missing"}).status, 2);
  EXPECT_EQ(Yel({"themes", "--help"}).status, 0);
}

}  // namespace
}  // namespace yel
