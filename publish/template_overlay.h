// The template overlay of a published album (frame 2): the template's
// background with the photo window cut out, the photo-frame clip and the
// decorative clips, built from the template's "config.ini"; and the copies of
// decorative clips that give each one its own linkage name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace yel {
class TFlashAlbum;
class TMemoryStream;
}  // namespace yel

namespace yel::swf {
class TFlashMovie;
}

namespace yel::publish {

// The rectangle every slide is drawn into, in album pixels.
struct TPhotoRect {
  float X = 0, Y = 0, W = 0, H = 0;
};

// Depth of the overlay sprite on the main timeline, above the slides.
constexpr std::uint16_t kTemplateDepth = 200;

// Depths inside the overlay sprite.
constexpr std::uint16_t kOverlayMaskDepth = 1;
constexpr std::uint16_t kOverlayBackgroundDepth = 2;
constexpr std::uint16_t kOverlayFrameDepth = 3;

// folder (ending in '/') with each component matched without regard to case.
std::string ResolveFolderIgnoreCase(const std::string& folder);

// A copy of the SWF clip `fileName` whose linkage name is "mc_Shape_" + k:
// every "mc_Shape" of the constant pools of its DoAction tags and the first
// name of its ExportAssets tags become "mc_Shape_" + k. The copy is a whole
// SWF file (compressed when the clip is), positioned at its start. Null when
// the file does not exist; a file that is not an SWF movie throws an error
// naming it.
std::unique_ptr<TMemoryStream> RenameShapeClip(const std::string& fileName, int k);

// Adds the selected template's overlay sprite to the movie's current frame
// at kTemplateDepth and returns the photo rectangle of its configuration.
// Without a template, or when it has no "config.ini", nothing is added and
// the photo rectangle is the whole album. Errors name the file (a refused
// file name: the configuration).
TPhotoRect AddTemplateOverlay(swf::TFlashMovie& movie, const TFlashAlbum& album);

}  // namespace yel::publish
