// The installed theme content: template, loading-bar and theme-editor
// resource designs, and the writers that turn them into the folders and
// resource libraries of the program's folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/theme_content/design.h"

namespace yel::content {

// Designs are laid out for the default album of 720 × 540; positions become
// fractions of the album size in the configuration files, sizes stay pixels.
inline constexpr double kAlbumWidth = 720, kAlbumHeight = 540;

struct TShapeDesign {
  std::string FileName;
  TDrawing Drawing;              // its frame size is the clip's own size
  double X, Y, Width, Height;    // where the overlay puts it, album pixels
};

struct TTemplateDesign {
  std::string Name;
  int BackgroundType = 1;        // 1 colour, 2 clip
  std::uint32_t BackgroundColour = 0;  // packed RGB; also the editor's colour for type 2
  TDrawing Background;           // type 2: the clip, placed unscaled at the origin
  double X, Y, Width, Height;    // the photo rectangle
  std::string FrameName;
  // Drawn around the photo rectangle's top-left corner, placed unscaled
  // there: a border whose inner edge covers the photo's outer band.
  TDrawing Frame;
  std::vector<TShapeDesign> Shapes;
};

struct TLoadingBarDesign {
  std::string Name;
  std::uint32_t BackgroundColour;  // packed RGB
  TDrawing Track;                  // its frame size is the bar's size
  TDrawing Fill;                   // the progress part at its full length
  double Shown;                    // how much of the fill the catalogue picture shows
};

// A theme-editor resource: a sub-folder of one of the resource folders and
// its clips.
struct TResourceClip {
  std::string FileName;
  TDrawing Drawing;
};
struct TResourceGroup {
  std::string Name;
  std::vector<TResourceClip> Clips;
};

std::vector<TTemplateDesign> TemplateDesigns();
std::vector<TLoadingBarDesign> LoadingBarDesigns();
std::vector<TResourceGroup> BackgroundResources();
std::vector<TResourceGroup> PhotoFrameResources();
std::vector<TResourceGroup> AdornmentResources();

// Paints what the published overlay shows at the album size: a sample
// photo in the photo rectangle, the background outside the window 4 pixels
// inside it, the frame and the shapes.
void PaintTemplate(cairo_t* cr, const TTemplateDesign& design);
// A landscape standing in for a photo, filling the box.
void PaintSamplePhoto(cairo_t* cr, double x, double y, double w, double h);

// Every file the writers below have written in this run, in order.
std::vector<std::string>& WrittenFiles();

// Writers; appFolder ends in '/'.
void WriteTemplates(const std::string& appFolder);
void WriteLoadingBars(const std::string& appFolder);
void WriteResources(const std::string& appFolder);
void WriteEffectLibrary(const std::string& appFolder);
// "YEL_Links.dll": the CD icon and, when `player` names the player program,
// that program as EXE/YEL_Player.
void WriteLinksLibrary(const std::string& appFolder, const std::string& player = "");
// "YEL.dll": the theme editor's stage movies SWF/YEL_Template and
// SWF/YEL_LoadingBar, compiled from the scripts of scriptFolder.
void WriteStageLibrary(const std::string& appFolder, const std::string& scriptFolder);
// Full-size PNG pictures of each template as PaintTemplate shows it, for
// looking at the designs.
void WriteTemplatePreviews(const std::string& folder);

}  // namespace yel::content
