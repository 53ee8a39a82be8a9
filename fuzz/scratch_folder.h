// A folder for fuzz targets that read their input through files: made once
// per process (in memory under /dev/shm where there is one), removed at exit.
// Files are written plainly (no temporary name, no flush): speed matters
// here, and nothing else reads them.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace yel::fuzz {

inline const std::string& ScratchFolder() {
  static const std::string folder = [] {
    std::error_code ec;
    const std::string base = std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/yel-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    static const std::string made = pattern;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(made, ignored);
    });
    return pattern + "/";
  }();
  return folder;
}

inline void WriteScratchFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  if (!out) std::abort();
}

}  // namespace yel::fuzz
