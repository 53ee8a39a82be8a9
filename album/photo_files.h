// Which files count as photos, and listing them.
#pragma once

#include <string>
#include <vector>

namespace yel {

// True when the extension (from the last full stop, lower-cased, the stop
// included) has at least three characters and occurs in ".bmp.jpg.jpeg.png":
// ".bmp", ".jpg", ".jpeg", ".png" and the shortened ".bm", ".jp", ".jpe", ".pn".
bool IsAcceptedPhotoFile(const std::string& file_name);

// The accepted photo files of a folder (regular files only), as full paths in
// name order (case-insensitive). Throws Error naming the folder when it
// cannot be read.
std::vector<std::string> ListPhotoFiles(const std::string& folder);

}  // namespace yel
