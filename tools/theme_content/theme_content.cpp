// theme-content: writes the theme content that is installed with the
// program into its folder: the template and loading-bar catalogues, the
// theme-editor resources, "YEL_Effect.dll" and "YEL_Links.dll". Every clip
// and picture is drawn here; the build runs it and then touches the stamp.
//
//   theme-content PROGRAM_FOLDER [STAMP_FILE]
//   theme-content --previews FOLDER   (full-size pictures of the templates)
#include <cstdio>
#include <exception>
#include <string>

#include "base/files.h"
#include "tools/theme_content/content.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3 || std::string(argv[1]) == "--help") {
    std::fprintf(stderr, "usage: theme-content PROGRAM_FOLDER [STAMP_FILE]\n");
    return argc >= 2 ? 0 : 2;
  }
  if (argc == 3 && std::string(argv[1]) == "--previews") {
    try {
      yel::content::WriteTemplatePreviews(argv[2]);
    } catch (const std::exception& error) {
      std::fprintf(stderr, "theme-content: %s\n", error.what());
      return 1;
    }
    return 0;
  }
  std::string folder = argv[1];
  if (folder.back() != '/') folder += '/';
  try {
    yel::content::WriteTemplates(folder);
    yel::content::WriteLoadingBars(folder);
    yel::content::WriteResources(folder);
    yel::content::WriteEffectLibrary(folder);
    yel::content::WriteLinksLibrary(folder);
    if (argc == 3) yel::WriteFileAtomically(argv[2], std::string("theme content written\n"));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "theme-content: %s\n", error.what());
    return 1;
  }
  return 0;
}
