// Album movie assembly: turns the album into one SWF movie (loading frame,
// template overlay, one sprite per slide with its entry transition and hold
// frames) with progress reports and cancel between the steps.
//
// Depths of the main timeline: 1 the loading sprite, 101 the current slide,
// 102 the masked outgoing picture during a transition, 200 the template
// overlay.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gdi/dib.h"
#include "publish/slide_photo.h"
#include "publish/template_overlay.h"

namespace yel {
class TFlashAlbum;
class TSlideView;
}  // namespace yel

namespace yel::swf {
class TFlashCanvas;
class TFlashMovie;
class TFlashSprite;
class TFlashVisualObject;
}  // namespace yel::swf

namespace yel::publish {

// The progress window of a build. The command line draws a bar on the
// terminal; the editor shows a window.
class TfrmConvert {
 public:
  virtual ~TfrmConvert() = default;
  // Shows the window with the title; clears any old cancel request.
  virtual void Show(const std::string& title) = 0;
  // Shows the message and percent (not clamped). Returns false when the
  // user asked to cancel and confirmed it.
  virtual bool ConvertProgress(const std::string& message, int percent) = 0;
  virtual void Close() = 0;
};

constexpr std::uint16_t kLoadingDepth = 1;

// The loading frame's script: waits on frame 1 until the whole movie is
// loaded, then plays on from frame 2.
inline const std::vector<std::string> kPreloaderScript = {
    "this.onEnterFrame = function ()",
    "{",
    "  if (_root.getBytesLoaded() == _root.getBytesTotal())",
    "  {",
    "    delete this.onEnterFrame;",
    "    this.gotoAndPlay(2);",
    "  }",
    "  else",
    "  {",
    "    stop();",
    "  }",
    "}"};
constexpr std::uint16_t kSlideDepth = 101;
constexpr std::uint16_t kTransitionDepth = 102;

// The slide photo of the file as drawing it into the photo rectangle makes
// it: decoded at the reduced scale (LoadFittedPhoto), then scaled down to
// the pixels of its place. None when the file is not there (the slide then
// shows its background). Safe on any thread; errors name the file.
std::optional<TSlidePhoto> PrepareSlidePhoto(const std::string& file, const TPhotoRect& rect);

// One build: the album it reads, the movie it owns and the photo rectangle.
class TAlbumMovie {
 public:
  // Creates the movie: album size in pixels, album frame rate, SWF 8,
  // compressed.
  explicit TAlbumMovie(const TFlashAlbum& album);
  ~TAlbumMovie();
  TAlbumMovie(const TAlbumMovie&) = delete;
  TAlbumMovie& operator=(const TAlbumMovie&) = delete;

  swf::TFlashMovie& Movie() { return *movie_; }
  // The movie's drawing canvas, through which slides are drawn.
  swf::TFlashCanvas& Canvas();
  TPhotoRect PhotoRect;

  // Frame 1: the loading sprite at depth 1 (the loading background, and the
  // selected loading bar's movie moved and scaled to Loading.Shape).
  void BuildLoadingFrame();
  // Frame 2: the selected template's overlay sprite at depth 200, and
  // PhotoRect from its configuration. Without a template, or when it has no
  // "config.ini", nothing is added and the photo rectangle is the whole
  // album. Errors name the file (a refused file name: the configuration).
  void BuildTemplateOverlay();
  // The slide drawn on the movie's canvas: the album background colour over
  // the photo rectangle and the photo fitted into it.
  swf::TFlashSprite* BuildSlideSprite(const TSlideView& slide);
  // The same with the photo already decoded (null: no photo). The picture
  // is fitted as a fullWidth × fullHeight one (its own size when 0), so a
  // photo decoded at a reduced scale takes the place of the whole one.
  swf::TFlashSprite* BuildSlideSprite(const gdi::Picture* photo, int fullWidth = 0, int fullHeight = 0);
  // Places the new slide at depth 101 and runs its entry transition from
  // `previous` (null before the first slide: a black rectangle).
  void AddTransition(swf::TFlashVisualObject* previous, swf::TFlashSprite* slideSprite, const TSlideView& slide);
  // The slide's hold frames after its transition.
  void ShowHoldFrames(const TSlideView& slide);

 private:
  const TFlashAlbum& album_;
  std::unique_ptr<swf::TFlashMovie> movie_;
};

// A SWF movie counts its frames in 16 bits.
inline constexpr std::uint64_t kMaxMovieFrames = 65535;

// The frames the album's movie needs: the loading frame and, with a chosen
// template, the template's frame, then per slide its entry transition and
// its hold frames (at least one).
std::uint64_t AlbumFrameCount(const TFlashAlbum& album);

// Throws yel::Error saying how many frames the album needs and the limit
// when its movie would have more than kMaxMovieFrames.
void CheckFrameLimit(const TFlashAlbum& album);

// A movie's character ids are 16-bit, and 0 names no character.
inline constexpr std::uint32_t kMaxCharacterId = 65535;

// The character ids slide `index` takes: its sprite drawn on the canvas
// (the sprite, its level sprite, the background rectangle and, with a photo
// file, the bitmap and its shape), its entry transition (two a frame, see
// TransitionCharacterCount) and, for the first slide, the black rectangle
// its transition starts from. Never fewer than the build takes.
std::uint64_t SlideCharacterCount(const TFlashAlbum& album, std::size_t index);

// Throws yel::Error when the slides, given ids from firstId on (what the
// loading frame and the template left), would need an id above
// kMaxCharacterId: the message says how many ids the album needs and how
// many of its slides fit.
void CheckCharacterIdLimit(const TFlashAlbum& album, std::uint32_t firstId);

// One message per slide whose photo is named but is not a file that can be
// read (missing, a folder, a pipe): such a slide shows only the background.
std::vector<std::string> MissingPhotos(const TFlashAlbum& album);

// How a build runs.
struct TBuildOptions {
  // Threads that compress the slides' bitmaps; 0: one per core. The bytes
  // of the movie do not depend on it.
  int CompressionThreads = 0;
  // Threads that decode and scale the slides' photos ahead of the slide
  // being drawn; 0: one per core. The bytes do not depend on it either.
  int PhotoThreads = 0;
};

// Builds the album movie (an album over the frame limit is refused before
// anything is built). Returns false when the user cancelled (nothing is
// written then). With a file name the movie is written there, compressed
// straight into the file (through a temporary file renamed into place), so
// the build never holds the finished file in memory. With `bytes` (the
// preview) the SWF file bytes are put there as well. Errors (a damaged
// photo, a file that cannot be written) are thrown as yel::Error; the
// progress window is closed in every case.
bool BuildMovie(const TFlashAlbum& album, const std::string& fileName, const std::string& title,
                TfrmConvert& progress, std::vector<std::uint8_t>* bytes = nullptr, const TBuildOptions& options = {});

}  // namespace yel::publish
