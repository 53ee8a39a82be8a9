// The movies of the theme editor: its stages (a movie of the album's size
// running the stage script taken from the resource library "YEL.dll"), and
// the wrappers in which a template keeps its photo frame and decorative
// shapes (the clip's library with a script that attaches the clip at the
// wanted size).
#pragma once

#include <map>
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
// "mc_PhotoFrame" at that size. Left and Top are the values of the source's
// own variables (0 when it has none). The clip is scaled so that its design
// rectangle, the source's frame size (or the DesignWidth and DesignHeight an
// earlier wrapper noted), becomes width × height: a frame drawn around that
// rectangle, beyond it, keeps its place around the photo window. Written
// uncompressed to dest (atomically; dest may be the source).
void MakePhotoFrameWrapper(const std::string& source, const std::string& dest, const std::string& name, double width,
                           double height, double fps);

// The initial values of the variables that a movie's first frame script
// sets from constants (var Name = "text"; var Width = 540; ...), as text;
// what a player would answer for them before anything else ran.
std::map<std::string, std::string> ReadMovieVariables(const std::string& file);

// The shape wrapper: the same for "mc_Shape", named after the source file.
void MakeShapeWrapper(const std::string& source, const std::string& dest, double width, double height, double fps);

// The frame size of an SWF file in pixels; throws naming the file when it
// is not a movie.
void MovieFrameSize(const std::string& file, double& width, double& height);

}  // namespace yel
