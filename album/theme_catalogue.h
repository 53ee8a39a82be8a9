// The catalogue of installed themes and effects: the folder layout under
// AppFolder, the list files ("Config.xml"), the template and loading-bar
// configuration files, the effect library, the filling of the album's
// Templates, LoadingBars and Effects, and the colour text of theme files.
//
// Names from list and configuration files become folder and file names; a
// name that could lead outside the theme folders (a path separator, "..", a
// control character) is rejected with a message and the others go on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "album/album_model.h"

namespace yel {

// Folders and files, relative to AppFolder (which ends in '/').
inline constexpr const char* kTemplateFolder = "Theme/Template/";
inline constexpr const char* kLoadingBarFolder = "Theme/LoadingBar/";
inline constexpr const char* kBackgroundResourceFolder = "Theme/Resource/Background/";
inline constexpr const char* kPhotoFrameResourceFolder = "Theme/Resource/PhotoFrame/";
inline constexpr const char* kAdornmentResourceFolder = "Theme/Resource/Adornment/";
inline constexpr const char* kEffectLibrary = "YEL_Effect.dll";
// appFolder + folder, each folder name matched without regard to case.
std::string ThemeFolderPath(const std::string& appFolder, const char* folder);

// "0x" + RR + GG + BB, upper-case, of a platform colour (0x00BBGGRR).
std::string FormatHexColour(TColor colour);
// Characters 3-4, 5-6 and 7-8 as hexadecimal red, green and blue (the first
// two are not examined); a shorter or non-hexadecimal text throws
// std::invalid_argument.
TColor ParseHexColour(std::string_view text);

// Why name cannot be a catalogue entry or theme file name; empty when it can.
std::string ThemeNameProblem(std::string_view name);
// folder + name, matched without regard to case; throws std::runtime_error
// naming `source` when name is not a safe file name or is a symbolic link
// (or lies in a linked folder) that leads outside folder.
std::string ThemeFilePath(const std::string& folder, const std::string& name, const std::string& source);

// Whether path, with its symbolic links followed, lies outside folder (with
// its own links followed). A path that does not exist is judged by the part
// that does.
bool LeadsOutside(const std::string& path, const std::string& folder);

// The names of a list file in order. Unsafe names are left out, each with a
// message in `rejected`. A file that is not well-formed XML throws an error
// naming it.
std::vector<std::string> ReadListFile(const std::string& path, std::vector<std::string>* rejected = nullptr);
// Appends an entry `Name` with id = the new number of entries; saves.
void AddListEntry(const std::string& path, const std::string& name);
// Removes the last entry with that name and renumbers the ones after it
// (when none matched, only the last entry); saves.
void RemoveListEntry(const std::string& path, const std::string& name);

// Places catalogue tiles (110 x 110 on a pitch of 118) row by row in a
// scroll area of the given width.
class TTileLayout {
 public:
  static constexpr int kTileSize = 110;
  static constexpr int kPitch = 118;
  explicit TTileLayout(int areaWidth) : width_(areaWidth) {}
  void Place(TView& tile);

 private:
  int width_;
  int column_ = 0;
  int row_ = 0;
};

// The catalogue page's scroll area width when none is given.
inline constexpr int kCatalogueAreaWidth = 400;

// Rebuild album.Templates (album.LoadingBars) from the list file; the entry
// named `wanted`, or with an empty wanted name the first, is selected.
// Missing folders or files leave the catalogue as it is; unsafe names go to
// `rejected`.
void LoadTemplates(TFlashAlbum& album, const std::string& wanted, std::vector<std::string>* rejected = nullptr,
                   int areaWidth = kCatalogueAreaWidth);
void LoadLoadingBars(TFlashAlbum& album, const std::string& wanted, std::vector<std::string>* rejected = nullptr,
                     int areaWidth = kCatalogueAreaWidth);
// Fills album.Effects from the effect library; without the library nothing
// happens. A missing tile picture throws (tiles made before it remain).
void LoadEffectCatalogue(TFlashAlbum& album, std::vector<std::string>* rejected = nullptr,
                         int areaWidth = kCatalogueAreaWidth);

// Makes the loading bar `name` the album's (Template.Loading) as the theme
// page does when it is chosen: Shape from [Size] of its "Config.ini" (Left
// and Top fractions of the album size, Width and Height in pixels), the
// background colour from [Background] Color, and Name. Only when both
// "Config.ini" and the bar movie name + ".swf" exist; returns whether it was
// applied. A bad colour or a number that is not finite throws an error
// naming "Config.ini".
bool ApplyLoadingBar(TFlashAlbum& album, const std::string& name);

// A template's "config.ini". File names are as written; resolve them with
// ThemeFilePath before use.
struct TTemplateShape {
  std::string FileName;
  double Left = 0, Top = 0, Width = 0, Height = 0;
};
struct TTemplateConfig {
  std::string Name;
  int BackgroundType = 1;  // 1 colour, 2 image
  std::string BackgroundColor;
  std::string BackgroundImage;
  std::string PhotoFrameName;
  std::string PhotoFrameFile;
  double Left = 0.2, Top = 0.15, Width = 0, Height = 0;
  std::vector<TTemplateShape> Shapes;

  // Reads with the defaults publishing uses for missing keys.
  static TTemplateConfig Load(const std::string& path);
  void Save(const std::string& path) const;
};

// A loading bar's "Config.ini".
struct TLoadingBarConfig {
  std::string Name;
  int BackgroundType = 1;
  std::string BackgroundColor;
  std::string BackgroundImage;
  double Left = 0, Top = 0, Width = 0, Height = 0;

  static TLoadingBarConfig Load(const std::string& path);
  void Save(const std::string& path) const;
};

}  // namespace yel
