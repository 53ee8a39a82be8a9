#include "base/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/error.h"

namespace yel {
namespace {

// Closes a descriptor on scope exit unless released.
struct FdGuard {
  int fd = -1;
  ~FdGuard() {
    if (fd >= 0) ::close(fd);
  }
};

std::string FolderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  FdGuard file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) ThrowFileError(path, "cannot open: " + SystemErrorText(errno));
  struct stat info {};
  if (::fstat(file.fd, &info) != 0) ThrowFileError(path, "cannot read: " + SystemErrorText(errno));
  if (S_ISDIR(info.st_mode)) ThrowFileError(path, "is a folder, not a file");
  std::vector<std::uint8_t> bytes;
  if (info.st_size > 0) bytes.reserve(static_cast<std::size_t>(info.st_size));
  std::uint8_t chunk[65536];
  for (;;) {
    ssize_t got = ::read(file.fd, chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      ThrowFileError(path, "cannot read: " + SystemErrorText(errno));
    }
    if (got == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  return bytes;
}

std::string ReadFileText(const std::string& path) {
  auto bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  WriteFileAtomically(path, [&](std::string& out) { out.assign(bytes); });
}

void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  WriteFileAtomically(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void WriteFileAtomically(const std::string& path,
                         const std::function<void(std::string& out)>& produce) {
  std::string content;
  produce(content);
  AtomicFileWriter file(path);
  file.Write(content.data(), content.size());
  file.Commit();
}

AtomicFileWriter::AtomicFileWriter(const std::string& path) : path_(path), temp_(FolderOf(path) + "/.yel-write-XXXXXX") {
  fd_ = ::mkstemp(temp_.data());
  if (fd_ < 0) ThrowFileError(path_, "cannot write: " + SystemErrorText(errno));
  // Keep the permission bits of a file we replace; new files get the usual
  // 0666 less the process umask (mkstemp creates 0600).
  struct stat existing {};
  if (::stat(path_.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) {
      errno = EISDIR;
      Fail("cannot write");
    }
    mode_ = existing.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode_ = 0666 & ~mask;
  }
  if (::fchmod(fd_, mode_) != 0) Fail("cannot write");
}

AtomicFileWriter::~AtomicFileWriter() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

void AtomicFileWriter::Fail(const std::string& what) {
  const int saved = errno;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  ::unlink(temp_.c_str());
  temp_.clear();
  ThrowFileError(path_, what + ": " + SystemErrorText(saved));
}

void AtomicFileWriter::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
  if (fd_ < 0) throw Error("internal: writing to " + path_ + " after it was committed or failed");
  const auto* bytes = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < size) {
    ssize_t put = ::pwrite(fd_, bytes + done, size - done, static_cast<off_t>(offset + done));
    if (put < 0) {
      if (errno == EINTR) continue;
      Fail("cannot write");
    }
    done += static_cast<std::size_t>(put);
  }
  size_ = std::max<std::uint64_t>(size_, offset + size);
}

void AtomicFileWriter::Write(const void* data, std::size_t size) { WriteAt(size_, data, size); }

void AtomicFileWriter::Commit() {
  if (fd_ < 0) throw Error("internal: " + path_ + " committed twice");
  if (::fsync(fd_) != 0) Fail("cannot write");
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) Fail("cannot write");
  if (::rename(temp_.c_str(), path_.c_str()) != 0) Fail("cannot replace");
  temp_.clear();
}

}  // namespace yel
