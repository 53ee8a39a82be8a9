// libFuzzer target for project files: any bytes are opened as a ".yel"
// project (through a file, as the program opens them). A file that opens
// must save and open again to the same album; refusals must be yel::Error.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "album/album_model.h"
#include "album/project_file.h"
#include "base/error.h"
#include "fuzz/scratch_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = yel::fuzz::ScratchFolder() + "album.yel";
  yel::fuzz::WriteScratchFile(path, std::string_view(reinterpret_cast<const char*>(data), size));
  yel::TFlashAlbum album;
  try {
    yel::OpenProjectFile(album, path);
  } catch (const yel::Error&) {
    return 0;
  }
  // What we write of it must read back the same.
  const std::string text = yel::ProjectFileText(album);
  yel::fuzz::WriteScratchFile(path, text);
  yel::TFlashAlbum again;
  yel::OpenProjectFile(again, path);
  if (yel::ProjectFileText(again) != text) std::abort();
  return 0;
}
