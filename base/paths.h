// Paths as the program uses them: folders end in '/', and file names are
// matched without regard to case (a theme folder may hold "config.ini" where
// "Config.ini" is asked for).
#pragma once

#include <string>

namespace yel {

// Folder of the running executable, ending in '/'.
std::string ExecutableFolder();

// The user's documents folder (XDG_DOCUMENTS_DIR, else the home folder),
// ending in '/'; empty when neither can be found.
std::string UserDocumentsFolder();

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

// Resolves path so that its last component matches an entry of its folder
// without regard to case. Returns the path of the entry found, or path
// itself when the exact name exists or nothing matches.
std::string ResolvePathIgnoreCase(const std::string& path);

// The last component of a path, and that component's extension from its last
// full stop (with the stop), e.g. ".JPG"; empty when there is none.
std::string FileNameOf(const std::string& path);
std::string ExtensionOf(const std::string& path);

// The path made absolute against the current folder (no symlink resolution).
std::string AbsolutePath(const std::string& path);

}  // namespace yel
