// The album document: size, frame rate, background colour, the ordered
// slides with their backgrounds and entry transitions, and the state the
// editor and publishing share (music, publish settings, template state,
// catalogues). Free of any GUI: tile positions and selection are plain data,
// notifications are callbacks.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace yel {

// Platform colour: red in the low byte, then green, then blue (0x00BBGGRR);
// a value with the top byte set names a system colour.
using TColor = std::uint32_t;

class TFlashAlbum;
class TSlideViews;
class TSlideView;

struct TBackground {
  TColor Color = 0xFFFFFF;
  std::uint8_t FillType = 1;  // 1 = colour, 2 = image
  std::string ImageFile;
};

class TTransition {
 public:
  // Draws the entry effect at random from the owner's random source.
  TTransition(TSlideView* owner, std::mt19937& random);

  TSlideView* Owner() const { return owner_; }

  std::int32_t EntryEffect = 0;  // 0 or an unknown code: no transition
  float Speed = 2.0f;            // seconds the transition lasts
  float Duration = 2.0f;         // seconds the slide stays after it
  std::string SoundFile = "None";

 private:
  TSlideView* owner_;
};

// A slide, and the tile that shows it in the slide strip.
class TSlideView {
 public:
  static constexpr int kTileWidth = 128;
  static constexpr int kTileHeight = 96;
  static constexpr int kTileGap = 4;

  TSlideView(TSlideViews* owner, std::int32_t slide_index, std::mt19937& random);

  TSlideViews* Owner() const { return owner_; }

  // Stores the photo and makes it the slide background (FillType 2).
  void SetSlideImage(const std::string& file, int tile_width, int tile_height);

  std::string ImageFile;
  std::int32_t SlideIndex;
  TBackground Background;
  TTransition Transition;
  bool Selected = false;
  std::function<void(TSlideView&)> OnSlideSelected;

  // Tile geometry in the strip.
  int Left = 0;
  int Top = TSlideView::kTileGap;
  int TileWidth = kTileWidth;
  int TileHeight = kTileHeight;

 private:
  TSlideViews* owner_;
};

// The album's slides in album order; owns them.
class TSlideViews {
 public:
  explicit TSlideViews(TFlashAlbum* album) : album_(album) {}
  TSlideViews(const TSlideViews&) = delete;
  TSlideViews& operator=(const TSlideViews&) = delete;

  TFlashAlbum* Album() const { return album_; }
  std::size_t Count() const { return slides_.size(); }
  bool Empty() const { return slides_.empty(); }
  TSlideView& operator[](std::size_t i) const { return *slides_[i]; }
  TSlideView* Selected() const { return selected_; }

  // Left edge of the tile at 0-based position p in the strip.
  static int TileLeft(std::size_t position);

  // Creates a slide (not yet in the list) numbered and placed as the next one
  // after `loaded` slides, connected to OnSlideSelected.
  std::unique_ptr<TSlideView> CreateSlide(std::size_t loaded);
  // Appends a slide created by CreateSlide.
  void Append(std::unique_ptr<TSlideView> slide);
  // Frees every slide and clears the selection.
  void Clear();
  // Removes the slide at 0-based position and renumbers and moves the
  // following ones; clears the selection.
  void RemoveAt(std::size_t position);
  // Moves the slide at 0-based position `from` to position `to` (clamped to
  // the last), renumbering and placing every slide; the selection stays.
  void Move(std::size_t from, std::size_t to);
  // Selects a slide of this list (deselecting the previous one) and notifies.
  void Select(TSlideView& slide);

  // Handler given to every new slide (the main window's).
  std::function<void(TSlideView&)> OnSlideSelected;

 private:
  TFlashAlbum* album_;
  std::vector<std::unique_ptr<TSlideView>> slides_;
  TSlideView* selected_ = nullptr;
};

// A placement rectangle in album pixels.
struct TMFShape {
  float Left = 0, Top = 0, Width = 0, Height = 0;
};

struct TMFResource {
  enum Kinds : std::uint8_t { Background = 0, PhotoFrame = 1, Adornment = 2 };
  std::string Name;      // file name without extension
  std::string FileName;  // full path
  std::uint8_t Kind = Background;
};
using TMFResources = std::vector<TMFResource>;

struct TPhExe {
  bool CreateCDFiles = false;
};

struct TPublish {
  std::string Name = "my Album";  // base name of published files
  std::string Folder;             // defaults to the user's documents folder
  TPhExe Exe;
  bool HtmlPlain = false;  // "Publish HTML File" writes the page without the Ruffle player
  // Each slide's photo as JPEG data of this quality (1..100) instead of a
  // lossless bitmap: albums several times smaller. The project file does
  // not keep these; the editor remembers them.
  bool JPEGSlides = false;
  int JPEGQuality = 85;
};

class TTemplate;

struct TLoading {
  explicit TLoading(TTemplate* owner);
  TTemplate* Owner;
  TBackground Background;
  TMFShape Shape;
  std::string Folder;  // ThemeFolder + "LoadingBar/"
  std::string Name;    // the selected loading bar; empty until one is selected
};

struct TPhotoFrame {
  explicit TPhotoFrame(TTemplate* owner);
  TTemplate* Owner;
  std::string Name;
  TBackground Background;
  std::string Folder;  // ThemeFolder + "Template/"
  TMFShape Shape{100, 100, 400, 300};
  std::string SourceFile;
};

class TTemplate {
 public:
  explicit TTemplate(TFlashAlbum* album);
  TTemplate(const TTemplate&) = delete;
  TTemplate& operator=(const TTemplate&) = delete;

  TFlashAlbum* Album;
  std::string ThemeFolder;  // AppFolder + "Theme/"
  std::string TempFolder;   // ThemeFolder + "Temp/"
  TLoading Loading;
  TPhotoFrame PhotoFrame;
};

// A photo file shown by the photo browser.
struct TPhotoView {
  std::string FileName;
  bool Selected = false;
};

// A catalogue tile: a template, a loading bar or an effect.
struct TView {
  std::string Name = "Theme";
  std::string SourceFile;
  std::string PictureFile;  // thumbnail picture
  std::vector<std::uint8_t> PictureData;  // a picture held in memory (effect tiles)
  int Left = 8;  // position in the catalogue's scroll area
  int Top = 8;
  bool Selected = false;
};

// A list of tiles with one selected item and a selection callback.
template <typename Item>
class TTileList {
 public:
  std::vector<std::unique_ptr<Item>> Items;
  Item* Selected = nullptr;
  std::function<void(Item&)> OnSelected;

  void Clear() {
    Items.clear();
    Selected = nullptr;
  }
  void Select(Item& item) {
    if (Selected) Selected->Selected = false;
    Selected = &item;
    item.Selected = true;
    if (OnSelected) OnSelected(item);
  }
};
using TPhotoViews = TTileList<TPhotoView>;
using TViews = TTileList<TView>;

// The album settings that the project file stores beside the slides.
struct AlbumSettings {
  std::int32_t Width = 720;
  std::int32_t Height = 540;
  std::int32_t FrameRate = 24;
  TColor Background = 0;
};

// What an album edit can change, as plain values: the settings, the slides,
// the chosen template and loading bar, and the music. The editor's undo
// history keeps one per step.
struct TAlbumState {
  struct Slide {
    std::string ImageFile;
    TBackground Background;
    std::int32_t EntryEffect = 0;
    float Speed = 2.0f, Duration = 2.0f;
    std::string SoundFile;
    bool operator==(const Slide& other) const;
  };
  AlbumSettings Settings;
  std::vector<Slide> Slides;
  std::string TemplateName, LoadingBarName, MusicFile;
  int SelectedSlide = -1;  // 0-based; -1 none (not compared)

  bool operator==(const TAlbumState& other) const;
};

class TFlashAlbum {
 public:
  // app_folder defaults to the folder of the running program; it always ends
  // in '/'.
  explicit TFlashAlbum(std::string app_folder = {});
  TFlashAlbum(const TFlashAlbum&) = delete;
  TFlashAlbum& operator=(const TFlashAlbum&) = delete;

  // Pages of the editor, as ActivePage holds them.
  enum Page : std::uint8_t { PhotoPage = 0, EffectPage = 1, ThemePage = 2, SettingPage = 3, PublishPage = 4 };

  std::string ProjectFileName;
  std::string AppFolder;
  std::string TempFolder;  // AppFolder + "Theme/Temp/"
  std::int32_t Width = 720;
  std::int32_t Height = 540;
  std::int32_t FrameRate = 24;
  TColor Background = 0;
  std::string MusicFile;
  // The template and loading bar the project names (empty: it names none,
  // and the first installed one is used). The editor keeps them in step
  // with its choice; publishing uses them unless told otherwise.
  std::string TemplateName;
  std::string LoadingBarName;
  std::uint8_t ActivePage = PhotoPage;

  TPhotoViews PhotoViews;
  TSlideViews SlideViews{this};
  TViews Templates;
  TViews LoadingBars;
  TViews Effects;
  TPublish Publish;
  TTemplate Template{this};
  TMFResources BackgroundResources;
  TMFResources PhotoFrameResources;

  // Random source for new slides' entry effects (seeded from the clock).
  std::mt19937& Random() { return random_; }
  void SeedRandom(std::uint32_t seed) { random_.seed(seed); }

  AlbumSettings Settings() const { return {Width, Height, FrameRate, Background}; }
  void SetSettings(const AlbumSettings& settings);
  // "Default" of the settings page: 720 x 540, 24 fps, black (music unchanged).
  void SetDefaultSettings();

  TAlbumState State() const;
  // Makes the album as the state says: its slides are made anew (numbered
  // and placed in order, none selected: the caller selects
  // state.SelectedSlide once its views follow).
  void SetState(const TAlbumState& state);

  // Slide operations.
  TSlideView& AddSlide(const std::string& photo_file);
  void RemoveSlide();  // removes the selected slide, if any
  void ClearSlides();  // frees all slides; settings keep their values
  void SelectSlide(TSlideView& slide) { SlideViews.Select(slide); }

  // Effect application: the selected (or every) slide gets the effect code
  // (kept when none is given; for all slides none means 0), speed, duration
  // and sound.
  void ApplyEffectToSelected(std::optional<std::int32_t> effect, float speed, float duration,
                             const std::string& sound);
  void ApplyEffectToAll(std::optional<std::int32_t> effect, float speed, float duration, const std::string& sound);

 private:
  std::mt19937 random_;
};

}  // namespace yel
