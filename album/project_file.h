// The project file (".yel"): an XML document with the root "Document" in the
// namespace "Quenlo" that stores the album size, frame rate, background colour
// and the slides with their photo, background and transition, and after the
// slides the chosen template, loading bar and music, each only when set. The
// template's own state, publish settings and the selection are not stored.
#pragma once

#include <string>

namespace yel {

class TFlashAlbum;

// Reads the project file into the album. The whole file is read into a new
// album state first; the album's slides and settings are replaced only when
// that succeeded, and ProjectFileName is then set to path. Throws Error naming
// the file, and where known the element and line, when the file is missing,
// not XML, not a project, or holds a value that does not convert or lies
// outside its bounds (see the bounds below); the album is then unchanged.
void OpenProjectFile(TFlashAlbum& album, const std::string& path);

// Writes the album to path through a temporary file in the same folder that
// replaces the target only when complete, then sets ProjectFileName. Throws
// Error naming the file on failure; an existing file is then untouched.
void SaveProjectFile(TFlashAlbum& album, const std::string& path);

// The document SaveProjectFile writes.
std::string ProjectFileText(const TFlashAlbum& album);

// True when "Save" must ask for a file name first: for "Save as..." and when
// ProjectFileName does not name an existing file.
bool SaveNeedsFileName(const TFlashAlbum& album, bool save_as);

// Bounds enforced when reading (a file outside them is refused).
struct ProjectLimits {
  static constexpr int kMinSize = 1, kMaxSize = 8191;         // width and height, pixels
  static constexpr int kMinFrameRate = 1, kMaxFrameRate = 120;  // frames per second
  static constexpr double kMaxSeconds = 3600;                 // Speed and Duration, 0..1 hour
  static constexpr int kMaxDepth = 64;                        // nesting of elements
};

}  // namespace yel
