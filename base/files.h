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

// Writes bytes to path atomically (temporary file, flush, rename). An existing
// target keeps its permission bits. Throws Error naming the file on failure;
// the target is then untouched.
void WriteFileAtomically(const std::string& path, std::string_view bytes);
void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);

// As above, with the content produced by a callback that appends to the
// buffer; the callback may throw, in which case nothing is written.
void WriteFileAtomically(const std::string& path,
                         const std::function<void(std::string& out)>& produce);

// A file written piece by piece and put in place atomically, for content too
// large to gather in memory first: the pieces go to a temporary file in the
// target's folder, which Commit flushes and renames over the target (keeping
// an existing target's permission bits). Until Commit the target is
// untouched; a writer destroyed without Commit (an error, a cancel) removes
// its temporary file. Errors throw Error naming the target.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(const std::string& path);
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
