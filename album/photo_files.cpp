#include "album/photo_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/error.h"
#include "base/paths.h"
#include "base/text.h"

namespace yel {

bool IsAcceptedPhotoFile(const std::string& file_name) {
  std::string ext = AsciiLower(ExtensionOf(file_name));
  return ext.size() >= 3 && std::string_view(".bmp.jpg.jpeg.png").find(ext) != std::string_view::npos;
}

std::vector<std::string> ListPhotoFiles(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) ThrowFileError(folder, "no such folder");
  std::vector<std::string> names;
  fs::directory_iterator it(folder, ec);
  if (ec) ThrowFileError(folder, "cannot read the folder: " + ec.message());
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) ThrowFileError(folder, "cannot read the folder: " + ec.message());
    std::string name = it->path().filename().string();
    if (IsAcceptedPhotoFile(name) && it->is_regular_file(ec)) names.push_back(name);
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return LessIgnoreCase(a, b); });
  std::string base = folder;
  if (!base.empty() && base.back() != '/') base += '/';
  for (auto& name : names) name = base + name;
  return names;
}

}  // namespace yel
