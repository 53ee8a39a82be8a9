// TResourceLibrary: a resource library of the program ("YEL_Effect.dll",
// "YEL_Links.dll", "YEL.dll"). It keeps its Windows file name but is a zip
// archive whose entries are named TYPE/NAME (INI/YEL_Resource,
// BMP/YEL_Eff_Blinds1, ...).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace yel {

class TResourceLibrary {
 public:
  // Opens the archive; throws an error naming the file when it is missing
  // or not a zip archive.
  explicit TResourceLibrary(const std::string& path);
  ~TResourceLibrary();
  TResourceLibrary(const TResourceLibrary&) = delete;
  TResourceLibrary& operator=(const TResourceLibrary&) = delete;

  bool HasResource(const std::string& type, const std::string& name) const;
  // The resource's bytes; a missing or damaged resource throws an error
  // naming the library and the resource.
  std::vector<std::uint8_t> ReadResource(const std::string& type, const std::string& name) const;
  const std::string& FileName() const { return path_; }

 private:
  struct Archive;
  std::string path_;
  std::unique_ptr<Archive> archive_;
};

// Writes a library with the given resources ((type, name), bytes); the file
// appears complete or not at all. Used by the build's content generators
// and by tests.
struct TResourceEntry {
  std::string Type;
  std::string Name;
  std::vector<std::uint8_t> Data;
};
void WriteResourceLibrary(const std::string& path, const std::vector<TResourceEntry>& entries);

}  // namespace yel
