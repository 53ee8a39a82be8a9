#include "base/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "base/error.h"
#include "tests/testing/temp_dir.h"

namespace yel {
namespace {

using testing::ReadAll;
using testing::TempDir;

// A mapped file, and a file read in pieces, show the file's bytes (none for
// an empty file); folders, pipes and missing files are errors naming them.
TEST(MappedFile, BytesOfRegularFilesOnly) {
  TempDir dir;
  const std::string content(100000, 'x');
  const MappedFile mapped(dir.Write("a.bin", content + "end"));
  ASSERT_EQ(mapped.Size(), content.size() + 3);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(mapped.Data()) + content.size(), 3), "end");
  const MappedFile empty(dir.Write("empty.bin", ""));
  EXPECT_EQ(empty.Size(), 0u);

  FileReader pieces(dir / "a.bin");
  EXPECT_EQ(pieces.Size(), content.size() + 3);
  std::string read;
  char chunk[4096];
  while (const std::size_t got = pieces.Read(chunk, sizeof chunk)) read.append(chunk, got);
  EXPECT_EQ(read, content + "end");
  EXPECT_EQ(FileReader(dir / "empty.bin").Read(chunk, sizeof chunk), 0u);

  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  for (const std::string& bad : {dir.path(), dir / "pipe", dir / "missing.bin"}) {
    for (int reader = 0; reader < 2; ++reader) {
      try {
        if (reader == 0) MappedFile refused(bad);
        if (reader == 1) FileReader refused(bad);
        ADD_FAILURE() << bad << " with reader " << reader;
      } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
      }
    }
  }
}

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

// While a writer works, no named temporary file is in the folder (a
// process killed then leaves nothing); a file system without unnamed files
// would show one ".yel-write-" file, which the writer removes itself.
TEST(AtomicFileWriter, WritesThroughAnUnnamedFile) {
  TempDir dir;
  AtomicFileWriter file(dir / "movie.swf");
  file.Write("body", 4);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  file.Commit();
  EXPECT_EQ(ReadAll(dir / "movie.swf"), "body");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// Temporary files that killed writers left behind are removed at the next
// write into the folder: only ours by name, older than a minute and not
// held by a running writer.
TEST(AtomicFileWriter, RemovesStaleTemporariesOfItsOwn) {
  TempDir dir;
  auto age = [&](const std::string& name) {
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(5);
    std::filesystem::last_write_time(dir / name, old);
  };
  for (const char* name : {".yel-write-AbC123", ".yel-exe-AbC123", ".yel-zip-AbC123", ".yel-other", "keep.swf",
                           ".yel-write-fresh", ".yel-write-held"}) {
    dir.Write(name, "left behind");
    if (std::string(name) != ".yel-write-fresh") age(name);
  }
  const int held = ::open((dir / ".yel-write-held").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  std::filesystem::create_symlink(dir / "keep.swf", dir / ".yel-write-link");
  WriteFileAtomically(dir / "new.swf", std::string_view("new"));
  ::close(held);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{".yel-other", ".yel-write-fresh", ".yel-write-held", ".yel-write-link",
                                            "keep.swf", "new.swf"}));
}

// A target that exists and is not a regular file (a pipe, a link to one) is
// refused and stays as it is; a link to a regular file is itself replaced,
// never written through.
TEST(AtomicFileWriter, RefusesDevicesAndPipesAndReplacesLinks) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir / "pipe", dir / "to-pipe");
  std::filesystem::create_symlink("/dev/null", dir / "to-null");
  for (const char* name : {"pipe", "to-pipe", "to-null"}) {
    try {
      WriteFileAtomically(dir / name, std::string_view("x"));
      ADD_FAILURE() << name;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(dir / name), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("not a regular file"), std::string::npos) << e.what();
    }
  }
  EXPECT_TRUE(std::filesystem::is_fifo(dir / "pipe"));
  const std::string victim = dir.Write("victim", "untouched");
  ::chmod(victim.c_str(), 0600);
  std::filesystem::create_symlink(victim, dir / "link");
  WriteFileAtomically(dir / "link", std::string_view("new"));
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "link"));
  EXPECT_EQ(ReadAll(dir / "link"), "new");
  EXPECT_EQ(ReadAll(victim), "untouched");
  struct stat info {};
  ASSERT_EQ(::stat(victim.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
}

TEST(ReadFileBytes, MissingFileAndFolderAreErrors) {
  TempDir dir;
  EXPECT_THROW(ReadFileBytes(dir / "missing"), Error);
  EXPECT_THROW(ReadFileBytes(dir.path()), Error);
  // A pipe is refused at once instead of waiting for a writer.
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  EXPECT_THROW(ReadFileBytes(dir / "pipe"), Error);
  dir.Write("b.bin", std::string("\0\1\2", 3));
  EXPECT_EQ(ReadFileBytes(dir / "b.bin"), (std::vector<std::uint8_t>{0, 1, 2}));
}

}  // namespace
}  // namespace yel
