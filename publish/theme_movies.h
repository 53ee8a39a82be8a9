// The movies of the theme editor: its stages (a movie of the album's size
// running the stage script taken from the resource library "YEL.dll"), and
// the wrappers in which a template keeps its photo frame and decorative
// shapes (the clip's library with a script that attaches the clip at the
// wanted size).
#pragma once

#include <string>

namespace yel {

// Builds the stage movie: width × height pixels at fps, grey, with the
// resource SWF/resourceName of the library (definitions and scripts, no
// frames) as its own content, written to outFile. False when the library
// cannot be opened or lacks the resource (the editor then has no stage);
// other failures throw.
bool BuildStageMovie(const std::string& libraryPath, const std::string& resourceName, int width, int height,
                     double fps, const std::string& outFile);

// The photo-frame wrapper: a movie of Round(width) × Round(height) holding
// the source's library without its frame scripts, whose script attaches
// "mc_PhotoFrame" at that size. left and top are the values the source's
// own variables gave. Written uncompressed to dest (atomically; dest may be
// the source).
void MakePhotoFrameWrapper(const std::string& source, const std::string& dest, const std::string& name, double left,
                           double top, double width, double height, double fps);

// The shape wrapper: the same for "mc_Shape", named after the source file.
void MakeShapeWrapper(const std::string& source, const std::string& dest, double width, double height, double fps);

// The frame size of an SWF file in pixels; throws naming the file when it
// is not a movie.
void MovieFrameSize(const std::string& file, double& width, double& height);

}  // namespace yel
