#include "base/paths.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "tests/testing/temp_dir.h"

namespace yel {
namespace {

TEST(Paths, ResolvesNamesWithoutRegardToCase) {
  testing::TempDir dir;
  dir.Write("config.ini", "x");
  EXPECT_EQ(ResolvePathIgnoreCase(dir / "Config.INI"), dir / "config.ini");
  EXPECT_EQ(ResolvePathIgnoreCase(dir / "config.ini"), dir / "config.ini");
  EXPECT_EQ(ResolvePathIgnoreCase(dir / "other.ini"), dir / "other.ini");  // nothing matches
}

TEST(Paths, FileNameAndExtension) {
  EXPECT_EQ(FileNameOf("/a/b.c/photo.JPG"), "photo.JPG");
  EXPECT_EQ(ExtensionOf("/a/b.c/photo.JPG"), ".JPG");
  EXPECT_EQ(ExtensionOf("/a/b.c/photo"), "");
  EXPECT_EQ(ExtensionOf("archive.tar.gz"), ".gz");
}

TEST(Text, CaseFoldingAndOrder) {
  EXPECT_TRUE(EqualsIgnoreCase("Split3", "SPLIT3"));
  EXPECT_FALSE(EqualsIgnoreCase("Split3", "Split"));
  EXPECT_TRUE(LessIgnoreCase("apple", "Banana"));
  EXPECT_TRUE(LessIgnoreCase("B", "b"));  // ties by byte order
  EXPECT_EQ(Trim(" \t 12 \r\n"), "12");
}

}  // namespace
}  // namespace yel
