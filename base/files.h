// Reading and writing whole files. Writing always goes to a temporary file in
// the target's folder that is renamed over the target, so a failed write never
// leaves a truncated or lost file behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace yel {

// Reads the whole file; throws Error naming the file when it cannot.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
std::string ReadFileText(const std::string& path);

// A regular file's bytes mapped read-only into memory, for files too large
// to copy (a movie of a hundred megabytes): the pages come from the file
// system's cache as they are read, and nothing is zeroed or copied. The
// mapping is private to the process; a file that shrinks while it is mapped
// is not supported. Throws Error naming the file when it cannot be mapped.
class MappedFile {
 public:
  explicit MappedFile(const std::string& path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  const std::uint8_t* Data() const { return data_; }
  std::size_t Size() const { return size_; }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

// A regular file read front to back in pieces of the caller's size, for
// files too large to hold whole: only the caller's buffer takes memory (the
// file system's cache keeps the pages, which are not the process's own).
// Folders, pipes and devices are refused as ReadFileBytes refuses them.
// Throws Error naming the file.
class FileReader {
 public:
  explicit FileReader(const std::string& path);
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // Reads up to n bytes; fewer only at the end of the file.
  std::size_t Read(void* dst, std::size_t n);
  // The size when the file was opened.
  std::uint64_t Size() const { return size_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// Opens a new file without a name in the temporary folder, for reading and
// writing data too large to keep in memory; it disappears when the returned
// descriptor is closed. Throws Error naming the folder.
int OpenTemporaryFile();

// Writes bytes to path atomically (temporary file, flush, rename). An existing
// target keeps its permission bits. A target that exists and is not a regular
// file (a device, a pipe) is refused. Throws Error naming the file on failure;
// the target is then untouched.
void WriteFileAtomically(const std::string& path, std::string_view bytes);
void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);

// As above, with the content produced by a callback that appends to the
// buffer; the callback may throw, in which case nothing is written.
void WriteFileAtomically(const std::string& path,
                         const std::function<void(std::string& out)>& produce);

// Throws Error naming path when something exists there that a written file
// must not replace: a folder, a device, a pipe or a socket (also through a
// symbolic link).
void CheckReplaceable(const std::string& path);

// Throws Error naming both when output is one of the inputs a run reads:
// the same path (after making both absolute and normal), or the same file
// (device and inode, through symbolic links). Writing it would destroy the
// input. Empty inputs are skipped.
void CheckNotAnInput(const std::string& output, const std::vector<std::string>& inputs);

// Removes the temporary files of writers that were killed (named
// ".yel-write-*", ".yel-exe-*" or ".yel-zip-*", owned by this user, at least
// a minute old and not held by a running writer). Every writer does this in
// its folder.
void RemoveStaleTemporaries(const std::string& folder);

// A file written piece by piece and put in place atomically, for content too
// large to gather in memory first: the pieces go to an unnamed file in the
// target's folder (a named ".yel-write-*" one where the file system has no
// unnamed files), which Commit flushes and renames over the target. An
// existing target keeps its permission bits; a new file gets newFileMode
// less the umask. A symbolic link at the target is replaced, never written
// through. Until Commit the target is untouched; a writer destroyed without
// Commit (an error, a cancel) leaves nothing behind. Errors throw Error
// naming the target.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(const std::string& path, unsigned newFileMode = 0666);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Appends at the end of what was written.
  void Write(const void* data, std::size_t size);
  // Overwrites bytes already written, from offset on.
  void WriteAt(std::uint64_t offset, const void* data, std::size_t size);
  std::uint64_t Size() const { return size_; }
  void Commit();

 private:
  [[noreturn]] void Fail(const std::string& what);

  std::string path_;
  std::string temp_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
  unsigned mode_ = 0;
};

}  // namespace yel
