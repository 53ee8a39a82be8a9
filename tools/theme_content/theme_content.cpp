// theme-content: writes the theme content that is installed with the
// program into its folder: the template and loading-bar catalogues, the
// theme-editor resources, "YEL_Effect.dll" and "YEL_Links.dll". Every clip
// and picture is drawn here.
//
//   theme-content PROGRAM_FOLDER [STAMP_FILE]
//   theme-content --previews FOLDER   (full-size pictures of the templates)
//
// The stamp file lists the files written, relative to the program folder.
// A file that the previous run listed and this run did not write (a design
// renamed or dropped) is removed, with the folders it leaves empty, so that
// it is neither installed nor shown by the theme editor; files the generator
// never wrote (a template the user saved) are left alone.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "base/files.h"
#include "tools/theme_content/content.h"

namespace {

namespace fs = std::filesystem;

std::set<std::string> ReadStamp(const std::string& stamp) {
  std::set<std::string> files;
  std::ifstream in(stamp);
  std::string line;
  while (std::getline(in, line)) {
    // Only plain relative paths below the program folder count.
    const fs::path path(line);
    bool safe = !line.empty() && path.is_relative();
    for (const auto& part : path) safe = safe && part != ".." && part != ".";
    if (safe) files.insert(line);
  }
  return files;
}

void RemoveStale(const std::string& folder, const std::set<std::string>& before, const std::set<std::string>& now) {
  const fs::path root = fs::path(folder).parent_path();  // folder ends in '/'
  for (const std::string& relative : before) {
    if (now.count(relative)) continue;
    std::error_code ec;
    const fs::path file = root / relative;
    if (!fs::is_regular_file(fs::symlink_status(file, ec))) continue;
    fs::remove(file, ec);
    for (fs::path dir = file.parent_path(); dir != root && fs::is_empty(dir, ec) && !ec;
         dir = dir.parent_path())
      fs::remove(dir, ec);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4 || std::string(argv[1]) == "--help") {
    std::fprintf(stderr,
                 "usage: theme-content PROGRAM_FOLDER [STAMP_FILE]\n"
                 "       theme-content --links PROGRAM_FOLDER [PLAYER]  (YEL_Links.dll only)\n"
                 "       theme-content --stage PROGRAM_FOLDER SCRIPT_FOLDER  (YEL.dll only)\n"
                 "       theme-content --previews FOLDER\n");
    return argc >= 2 ? 0 : 2;
  }
  try {
    if (argc >= 3 && std::string(argv[1]) == "--links") {
      std::string folder = argv[2];
      if (folder.back() != '/') folder += '/';
      yel::content::WriteLinksLibrary(folder, argc == 4 ? argv[3] : "");
      return 0;
    }
    if (argc == 4 && std::string(argv[1]) == "--stage") {
      std::string folder = argv[2];
      if (folder.back() != '/') folder += '/';
      yel::content::WriteStageLibrary(folder, argv[3]);
      return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "--previews") {
      yel::content::WriteTemplatePreviews(argv[2]);
      return 0;
    }
    std::string folder = argv[1];
    if (folder.back() != '/') folder += '/';
    yel::content::WriteTemplates(folder);
    yel::content::WriteLoadingBars(folder);
    yel::content::WriteResources(folder);
    yel::content::WriteEffectLibrary(folder);
    yel::content::WriteLinksLibrary(folder);
    if (argc == 3) {
      std::set<std::string> written;
      std::string list;
      for (const std::string& file : yel::content::WrittenFiles()) {
        const std::string relative = fs::path(file).lexically_relative(folder).generic_string();
        if (written.insert(relative).second) list += relative + "\n";
      }
      RemoveStale(folder, ReadStamp(argv[2]), written);
      yel::WriteFileAtomically(argv[2], list);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "theme-content: %s\n", error.what());
    return 1;
  }
  return 0;
}
