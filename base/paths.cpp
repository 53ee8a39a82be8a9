#include "base/paths.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/text.h"

namespace fs = std::filesystem;

namespace yel {

std::string ExecutableFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "./";
  std::string folder = exe.parent_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

namespace {

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// Value of XDG_DOCUMENTS_DIR in user-dirs.dirs, with $HOME expanded.
std::string XdgDocumentsFolder(const std::string& home) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string dirs = (config && *config) ? std::string(config) : home + "/.config";
  std::ifstream in(dirs + "/user-dirs.dirs");
  std::string line;
  while (std::getline(in, line)) {
    line = Trim(line);
    const std::string key = "XDG_DOCUMENTS_DIR=";
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    return value;
  }
  return {};
}

}  // namespace

std::string UserDocumentsFolder() {
  const char* home_env = std::getenv("HOME");
  std::string home = home_env ? home_env : "";
  if (home.empty()) return {};
  std::string documents = XdgDocumentsFolder(home);
  if (!documents.empty() && FolderExists(documents)) return WithSlash(documents);
  return WithSlash(home);
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

bool FolderExists(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

std::string ResolvePathIgnoreCase(const std::string& path) {
  std::error_code ec;
  if (fs::exists(path, ec)) return path;
  fs::path p(path);
  fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
  std::string wanted = p.filename().string();
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (EqualsIgnoreCase(name, wanted))
      return p.has_parent_path() ? (p.parent_path() / name).string() : name;
  }
  return path;
}

std::string FileNameOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtensionOf(const std::string& path) {
  std::string name = FileNameOf(path);
  auto dot = name.find_last_of('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

}  // namespace yel
