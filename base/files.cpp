#include "base/files.h"

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

  std::string temp = FolderOf(path) + "/.yel-write-XXXXXX";
  FdGuard file{::mkstemp(temp.data())};
  if (file.fd < 0) ThrowFileError(path, "cannot write: " + SystemErrorText(errno));
  auto fail = [&](const std::string& what) {
    int saved = errno;
    ::unlink(temp.c_str());
    ThrowFileError(path, what + ": " + SystemErrorText(saved));
  };

  // Keep the permission bits of a file we replace; new files get the usual
  // 0666 less the process umask (mkstemp creates 0600).
  struct stat existing {};
  mode_t mode;
  if (::stat(path.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) {
      errno = EISDIR;
      fail("cannot write");
    }
    mode = existing.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(file.fd, mode) != 0) fail("cannot write");

  std::size_t done = 0;
  while (done < content.size()) {
    ssize_t put = ::write(file.fd, content.data() + done, content.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      fail("cannot write");
    }
    done += static_cast<std::size_t>(put);
  }
  if (::fsync(file.fd) != 0) fail("cannot write");
  int fd = file.fd;
  file.fd = -1;
  if (::close(fd) != 0) fail("cannot write");
  if (::rename(temp.c_str(), path.c_str()) != 0) fail("cannot replace");
}

}  // namespace yel
