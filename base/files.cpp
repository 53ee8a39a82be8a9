#include "base/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>

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

constexpr const char* kTemporaryPrefix = ".yel-write-";

std::string RandomSuffix() {
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static thread_local std::mt19937_64 random{std::random_device{}() ^
                                             std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count())};
  std::string suffix(6, ' ');
  for (char& c : suffix) c = kChars[random() % (sizeof kChars - 1)];
  return suffix;
}

}  // namespace

void CheckReplaceable(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return;  // nothing there (or a dangling link): created anew
  if (S_ISDIR(info.st_mode)) ThrowFileError(path, "cannot write: it is a folder");
  if (!S_ISREG(info.st_mode))
    ThrowFileError(path, "is not a regular file (a device, pipe or socket); refusing to replace it");
}

void CheckNotAnInput(const std::string& output, const std::vector<std::string>& inputs) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path outputPath = fs::absolute(output, ec).lexically_normal();
  struct stat outputInfo {};
  const bool outputExists = ::stat(output.c_str(), &outputInfo) == 0;
  for (const std::string& input : inputs) {
    if (input.empty()) continue;
    struct stat inputInfo {};
    std::error_code inputEc;
    const fs::path inputPath = fs::absolute(input, inputEc).lexically_normal();
    const bool samePath = !ec && !inputEc && inputPath == outputPath;
    const bool sameFile = outputExists && ::stat(input.c_str(), &inputInfo) == 0 &&
                          inputInfo.st_dev == outputInfo.st_dev && inputInfo.st_ino == outputInfo.st_ino;
    if (samePath || sameFile)
      ThrowFileError(output, "is the input " + input + "; writing it would destroy it (choose another output)");
  }
}

void RemoveStaleTemporaries(const std::string& folder) {
  // Temporary files of writers that were killed: ours by name and owner,
  // older than a minute, and not locked by a writer that is still running.
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const int dir_fd = ::dirfd(dir);
  const auto now = std::chrono::system_clock::now();
  for (dirent* entry; (entry = ::readdir(dir)) != nullptr;) {
    const std::string_view name = entry->d_name;
    if (!name.starts_with(".yel-write-") && !name.starts_with(".yel-exe-") && !name.starts_with(".yel-zip-"))
      continue;
    struct stat info {};
    if (::fstatat(dir_fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode) ||
        info.st_uid != ::geteuid())
      continue;
    const auto modified = std::chrono::system_clock::from_time_t(info.st_mtime);
    if (now - modified < std::chrono::minutes(1)) continue;
    FdGuard file{::openat(dir_fd, entry->d_name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK)};
    if (file.fd < 0 || ::flock(file.fd, LOCK_EX | LOCK_NB) != 0) continue;
    struct stat still {};
    if (::fstat(file.fd, &still) == 0 && still.st_ino == info.st_ino && still.st_dev == info.st_dev)
      ::unlinkat(dir_fd, entry->d_name, 0);
  }
  ::closedir(dir);
}

namespace {

// Opens a regular file for reading, without waiting, so that a pipe put
// where a file was expected is refused instead of blocking; returns the
// descriptor (blocking again) and the file's size.
int OpenRegularFile(const std::string& path, std::uint64_t& size) {
  FdGuard file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  if (file.fd < 0) ThrowFileError(path, "cannot open: " + SystemErrorText(errno));
  struct stat info {};
  if (::fstat(file.fd, &info) != 0) ThrowFileError(path, "cannot read: " + SystemErrorText(errno));
  if (S_ISDIR(info.st_mode)) ThrowFileError(path, "is a folder, not a file");
  if (!S_ISREG(info.st_mode)) ThrowFileError(path, "is not a regular file (a device, pipe or socket)");
  ::fcntl(file.fd, F_SETFL, ::fcntl(file.fd, F_GETFL) & ~O_NONBLOCK);
  size = static_cast<std::uint64_t>(info.st_size);
  const int fd = file.fd;
  file.fd = -1;
  return fd;
}

}  // namespace

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  FileReader file(path);
  std::vector<std::uint8_t> bytes;
  if (file.Size() > 0) bytes.reserve(static_cast<std::size_t>(file.Size()));
  std::uint8_t chunk[65536];
  while (const std::size_t got = file.Read(chunk, sizeof chunk)) bytes.insert(bytes.end(), chunk, chunk + got);
  return bytes;
}

FileReader::FileReader(const std::string& path) : path_(path) {
  fd_ = OpenRegularFile(path, size_);
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

FileReader::~FileReader() { ::close(fd_); }

std::size_t FileReader::Read(void* dst, std::size_t n) {
  auto* out = static_cast<std::uint8_t*>(dst);
  std::size_t done = 0;
  while (done < n) {
    const ssize_t got = ::read(fd_, out + done, std::min<std::size_t>(n - done, 1 << 30));
    if (got < 0) {
      if (errno == EINTR) continue;
      ThrowFileError(path_, "cannot read: " + SystemErrorText(errno));
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

int OpenTemporaryFile() {
  const std::string folder = std::filesystem::temp_directory_path().string();
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    // A file system without unnamed files: a named one, removed at once.
    std::string pattern = folder + "/.yel-temp-XXXXXX";
    fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) ThrowFileError(folder, "cannot make a temporary file: " + SystemErrorText(errno));
    ::unlink(pattern.c_str());
  }
  return fd;
}

MappedFile::MappedFile(const std::string& path) {
  std::uint64_t size = 0;
  FdGuard file{OpenRegularFile(path, size)};
  if (size == 0) return;
  void* at = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, file.fd, 0);
  if (at == MAP_FAILED) ThrowFileError(path, "cannot read: " + SystemErrorText(errno));
  // Read front to back: the kernel reads ahead and drops what was read.
  ::madvise(at, static_cast<std::size_t>(size), MADV_SEQUENTIAL);
  data_ = static_cast<const std::uint8_t*>(at);
  size_ = static_cast<std::size_t>(size);
}

MappedFile::~MappedFile() {
  if (data_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
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

AtomicFileWriter::AtomicFileWriter(const std::string& path, unsigned newFileMode) : path_(path) {
  CheckReplaceable(path_);
  const std::string folder = FolderOf(path_);
  RemoveStaleTemporaries(folder);
  // Keep the permission bits of a file we replace (a symbolic link is itself
  // replaced, so its target's bits are not copied); new files get the wanted
  // bits less the process umask.
  struct stat existing {};
  if (::lstat(path_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    mode_ = existing.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode_ = newFileMode & ~mask;
  }
  // An unnamed file in the folder leaves nothing behind when the process is
  // killed; file systems without O_TMPFILE get a named temporary file, which
  // the lock marks as in use until the writer ends.
  // (The unnamed file is given its name through /proc, so without /proc the
  // named one is used from the start.)
  static const bool proc = ::access("/proc/self/fd", X_OK) == 0;
  fd_ = proc ? ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600) : -1;
  if (fd_ < 0) {
    if (proc && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
      ThrowFileError(path_, "cannot write: " + SystemErrorText(errno));
    temp_ = folder + "/" + kTemporaryPrefix + "XXXXXX";
    fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) {
      temp_.clear();
      ThrowFileError(path_, "cannot write: " + SystemErrorText(errno));
    }
  }
  ::flock(fd_, LOCK_EX | LOCK_NB);
  if (::fchmod(fd_, mode_) != 0) Fail("cannot write");
}

AtomicFileWriter::~AtomicFileWriter() {
  if (!temp_.empty()) ::unlink(temp_.c_str());
  if (fd_ >= 0) ::close(fd_);
}

void AtomicFileWriter::Fail(const std::string& what) {
  const int saved = errno;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
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
  if (temp_.empty()) {
    // The unnamed file gets a name of its own first (a link cannot replace
    // an existing file), which is then renamed over the target.
    const std::string folder = FolderOf(path_);
    const std::string proc = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; temp_.empty(); ++attempt) {
      std::string name = folder + "/" + kTemporaryPrefix + RandomSuffix();
      if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        temp_ = std::move(name);
      } else if (errno != EEXIST || attempt > 100) {
        Fail("cannot write");
      }
    }
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) Fail("cannot write");
  if (::rename(temp_.c_str(), path_.c_str()) != 0) Fail("cannot replace");
  temp_.clear();
}

}  // namespace yel
