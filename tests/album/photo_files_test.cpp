#include "album/photo_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/error.h"
#include "tests/testing/temp_dir.h"

namespace yel {
namespace {

TEST(PhotoFiles, AcceptedExtensions) {
  for (const char* name : {"holiday.JPG", "scan.Bmp", "logo.png", "old.jpe", "a.jpeg", "b.jp", "c.bm", "d.pn"})
    EXPECT_TRUE(IsAcceptedPhotoFile(name)) << name;
  for (const char* name : {"clip.gif", "raw.tif", "a.p", "noext", "x.jpgx", "x.pg", "dir.jpg/readme"})
    EXPECT_FALSE(IsAcceptedPhotoFile(name)) << name;
}

TEST(PhotoFiles, ListsPhotosInNameOrder) {
  testing::TempDir dir;
  for (const char* name : {"b.jpg", "A.png", "c.BMP", "notes.txt", "clip.gif"}) dir.Write(name, "x");
  std::filesystem::create_directory(dir / "folder.jpg");
  auto files = ListPhotoFiles(dir.path());
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0], dir / "A.png");
  EXPECT_EQ(files[1], dir / "b.jpg");
  EXPECT_EQ(files[2], dir / "c.BMP");
  EXPECT_THROW(ListPhotoFiles(dir / "missing"), Error);
}

}  // namespace
}  // namespace yel
