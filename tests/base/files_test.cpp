#include "base/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/error.h"
#include "tests/testing/temp_dir.h"

namespace yel {
namespace {

using testing::ReadAll;
using testing::TempDir;

TEST(WriteFileAtomically, ReplacesContentAndKeepsPermissions) {
  TempDir dir;
  std::string path = dir.Write("a.txt", "old content that is longer");
  ::chmod(path.c_str(), 0640);
  WriteFileAtomically(path, std::string_view("new"));
  EXPECT_EQ(ReadAll(path), "new");
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(WriteFileAtomically, FailingProducerLeavesTargetUntouched) {
  TempDir dir;
  std::string path = dir.Write("a.txt", "precious");
  EXPECT_THROW(WriteFileAtomically(path, [](std::string& out) {
                 out = "half";
                 throw Error("disk full");
               }),
               Error);
  EXPECT_EQ(ReadAll(path), "precious");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(WriteFileAtomically, ErrorsNameTheFile) {
  TempDir dir;
  std::string missing_folder = dir / "no/such/folder/a.txt";
  try {
    WriteFileAtomically(missing_folder, std::string_view("x"));
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find(missing_folder), std::string::npos) << e.what();
  }
  EXPECT_THROW(WriteFileAtomically(dir.path(), std::string_view("x")), Error);  // a folder
}

// Pieces written (and patched) in place become the file only at Commit; a
// writer given up before that leaves the old file and no temporary file.
TEST(AtomicFileWriter, TargetChangesOnlyAtCommit) {
  TempDir dir;
  std::string path = dir.Write("movie.swf", "old movie");
  ::chmod(path.c_str(), 0640);
  auto files = [&] { return std::distance(std::filesystem::directory_iterator(dir.path()), {}); };
  {
    AtomicFileWriter file(path);
    file.Write("abandoned", 9);
    EXPECT_EQ(ReadAll(path), "old movie");
  }
  EXPECT_EQ(ReadAll(path), "old movie");
  EXPECT_EQ(files(), 1);
  {
    AtomicFileWriter file(path);
    file.Write("CWS?", 4);
    file.Write("body", 4);
    file.WriteAt(3, "\x08", 1);
    EXPECT_EQ(file.Size(), 8u);
    EXPECT_EQ(ReadAll(path), "old movie");
    file.Commit();
    EXPECT_THROW(file.Write("late", 4), Error);
  }
  EXPECT_EQ(ReadAll(path), "CWS\x08" "body");
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(files(), 1);
  try {
    AtomicFileWriter file(dir / "no/such/folder/a.swf");
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("no/such/folder/a.swf"), std::string::npos) << e.what();
  }
}

TEST(ReadFileBytes, MissingFileAndFolderAreErrors) {
  TempDir dir;
  EXPECT_THROW(ReadFileBytes(dir / "missing"), Error);
  EXPECT_THROW(ReadFileBytes(dir.path()), Error);
  dir.Write("b.bin", std::string("\0\1\2", 3));
  EXPECT_EQ(ReadFileBytes(dir / "b.bin"), (std::vector<std::uint8_t>{0, 1, 2}));
}

}  // namespace
}  // namespace yel
