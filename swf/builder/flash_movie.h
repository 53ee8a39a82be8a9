// TFlashMovie: the movie builder. It hands out characters with ids, records
// placements, removals and frames in one owning ordered object list, and
// turns that list into the tag body of the SWF file (MakeStream); the header
// and the saving come from TBasedSWFStream.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "swf/builder/flash_edges.h"
#include "swf/builder/flash_object.h"
#include "platform/gdi/gdi_types.h"
#include "swf/format/swf_stream.h"

namespace yel::swf {

class TFlashActionScript;
class TBaseCompileContext;
class TFlashFilterSettings;
class TFlashPlaceObject;
class TFlashSound;
class TSWFStartSound;
class TFlashCanvas;
class TFlashExternalMovie;
class TFlashPlaceVideo;

class TFlashMovie : public TBasedSWFStream {
 public:
  // Rectangle in the unit of coord (pixels or twips); version 5.
  TFlashMovie(std::int32_t xMin, std::int32_t yMin, std::int32_t xMax, std::int32_t yMax, float fps,
              TSWFSystemCoord coord = TSWFSystemCoord::Twips);
  ~TFlashMovie() override;

  // Clears CorrectImageFill once the version is above 7.
  void Changed() override;

  // --- characters. Each gets the movie as owner and the id NextID (which
  // then grows), enters the object list and its typed list.
  // A new shape, or the given one (which the movie takes over).
  TFlashShape* AddShape(std::unique_ptr<TFlashShape> shape = nullptr);
  TFlashShape* AddRectangle(std::int32_t xMin, std::int32_t yMin, std::int32_t xMax, std::int32_t yMax);
  TFlashShape* AddRectangle(const TRect& rect);
  TFlashShape* AddEllipse(std::int32_t xMin, std::int32_t yMin, std::int32_t xMax, std::int32_t yMax);
  TFlashShape* AddEllipse(const TRect& rect);
  TFlashShape* AddLine(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);
  TFlashShape* AddCubicBezier(TPoint p0, TPoint p1, TPoint p2, TPoint p3);
  // A new sprite; with a visual, the sprite places it at depth 1.
  TFlashSprite* AddSprite(TFlashVisualObject* visual = nullptr);
  // A bitmap loaded from the file (JPEG, BMP, or through CustomImageLoader);
  // a file that fails to load throws and adds nothing.
  TFlashImage* AddImage(const std::string& fileName);
  // A rectangle of the image's pixel size filled with the image (fit).
  TFlashShape* AddShapeImage(TFlashImage* image);
  // A sound loaded from an MP3 or WAV file (an event sound); a damaged
  // sound file throws and adds nothing.
  TFlashSound* AddSound(const std::string& fileName);

  // --- fonts and texts (see TFlashFont, TFlashText)
  // An empty device font.
  TFlashFont* AddFont();
  // A font from a platform font description; device: outlines only for
  // static texts.
  TFlashFont* AddFont(const gdi::LogFont& description, bool device);
  TFlashFont* AddFont(const std::string& name, bool bold, bool italic, std::uint16_t size, bool device);
  TFlashText* AddText();
  // A static text standing at the left and top of position (movie units),
  // in the font's size, aligned 0 left, 1 right, 2 center.
  TFlashText* AddText(const std::u16string& text, TPackedColor color, TFlashFont* font, const TRect& position,
                      std::uint8_t align = 0);
  // A static text filling rect.
  TFlashText* AddTextInRect(const std::u16string& text, TPackedColor color, const TRect& rect, TFlashFont* font);
  // A text field with a variable, in rect.
  TFlashText* AddDynamicText(const std::string& variableName, const std::u16string& text, const TRect& rect,
                             TFlashFont* font, TPackedColor color);
  // A new morph shape, or the given one (which the movie takes over).
  TFlashMorphShape* AddMorphShape(std::unique_ptr<TFlashMorphShape> shape = nullptr);
  // A button: DefineButton2 in its second form, else DefineButton.
  TFlashButton* AddButton(bool trackAsMenu = false, bool secondForm = true);
  // A video from an FLV file, examined at once (a file that cannot be used
  // throws and adds nothing).
  TFlashVideo* AddVideo(const std::string& fileName);

  // Imports an SWF file (or a stream holding one) with an import type of
  // TFlashExternalMovie; with renumber its characters get fresh ids. For
  // the type "SPRITE" the caller places the import's Sprite.
  TFlashExternalMovie* AddExternalMovie(const std::string& fileName, std::uint8_t importType, bool renumber = true);
  TFlashExternalMovie* AddExternalMovie(TStream& stream, std::uint8_t importType, bool renumber = true);
  TFlashExternalMovie* AddExternalMovie(std::unique_ptr<TFlashExternalMovie> import, std::uint8_t importType,
                                        bool renumber);

  // The common step of every Add operation, for characters of any kind.
  template <class T>
  T* AddCharacter(std::unique_ptr<T> character, TFlashObjectList& typedList) {
    T* raw = character.get();
    RegisterCharacter(std::move(character), typedList);
    return raw;
  }

  // --- display list and frames
  TFlashPlaceObject* PlaceObject(TFlashVisualObject* visual, std::uint16_t depth);
  // Changes whatever stands at the depth.
  TFlashPlaceObject* PlaceObject(std::uint16_t depth);
  // Places visual masked by mask: a new sprite holds the mask at depth 1
  // (clipping depth 2) and the visual at depth 2, and is placed at depth.
  // Returns the sprite's placement.
  TFlashPlaceObject* PlaceObject(TFlashVisualObject* visual, TFlashShape* mask, std::uint16_t depth);
  // RemoveObject2 for the depth, or RemoveObject when a character is given.
  TSWFObject* RemoveObject(std::uint16_t depth, TFlashIDObject* character = nullptr);
  // Shows the video from the current frame on at depth: each frame of the
  // timeline gets the video's next frame.
  TFlashPlaceVideo* PlaceVideo(TFlashVideo* video, std::uint16_t depth);
  const std::vector<std::unique_ptr<TFlashPlaceVideo>>& PlaceVideos() const { return place_videos_; }
  // Ends the frame: label, frame actions, then count ShowFrame tags (0 means 1).
  void ShowFrame(std::uint16_t count = 1);
  // Appends a StartSound record for the sound id and returns it.
  TSWFStartSound* StartSound(std::uint16_t soundId);

  // Appends any object, builder object or tag object, to the object list.
  TBasedSWFObject* AddObject(std::unique_ptr<TBasedSWFObject> object);
  template <class T>
  T* Add(std::unique_ptr<T> object) {
    T* raw = object.get();
    AddObject(std::move(object));
    return raw;
  }

  // Builds the tag body from the object list.
  void MakeStream() override;
  // MakeStream and SaveToFile in one, without holding the body: the objects
  // write themselves twice, once to learn the body's length, frame count and
  // version for the header, then straight into the file (compressed when
  // Compressed is set). The body stream is left alone; progress reports
  // writing for the first round and compressing for the second. The file is
  // written through a temporary file renamed into place, as SaveToFile does.
  void MakeStreamToFile(const std::string& fileName);
  // The same into a stream, as SaveToStream writes it.
  void MakeStreamInto(TStream& destination);
  // Index in ObjectList of the frame-th ShowFrame (the last index when there
  // are fewer); 0 for frame 0 or an empty list.
  int FindFrameIndex(int frame) override;
  // Moves bitmap, sound and font definitions of the frames from..upTo (0-based;
  // upTo -1 means to the end) to the start of frame `to`, keeping their order.
  void MoveResource(int to, int from, int upTo) override;
  // Empties the object list and the typed lists, forgets the background
  // colour setting and sets NextID to 0; header settings stay.
  void Clear();

  // --- parts created on first access
  TSWFRGB& BackgroundColor();
  bool HasBackgroundColor() const { return background_set_; }
  // Actions of the current frame, written before its ShowFrame.
  TFlashActionScript& FrameActions();
  TFlashFilterSettings& FilterSettings();
  // The drawing surface whose drawings become sprites of this movie.
  TFlashCanvas& Canvas();
  TMemoryStream& CompileErrors();
  // The script compiler of this movie, made on first need by the factory
  // that the compiler library installs (an Error when none is installed).
  TBaseCompileContext& CompileContext();
  // The main timeline's streaming sound; the first access creates it and
  // sets EnableBgSound. Its head is written first and one stream block
  // before every ShowFrame, while EnableBgSound is on.
  TFlashSound& BackgroundSound();
  bool HasBackgroundSound() const { return background_sound_ != nullptr; }
  bool EnableBgSound = false;

  TFlashShapeList& Shapes() { return Typed(shapes_); }
  TFlashImageList& Images() { return Typed(images_); }
  TFlashSoundList& Sounds() { return Typed(sounds_); }
  TFlashSpriteList& Sprites() { return Typed(sprites_); }
  TFlashTextList& Texts() { return Typed(texts_); }
  TFlashFontList& Fonts() { return Typed(fonts_); }
  TFlashButtonList& Buttons() { return Typed(buttons_); }
  TFlashMorphShapeList& MorphShapes() { return Typed(morph_shapes_); }
  TFlashVideoList& Videos() { return Typed(videos_); }

  // --- the object list
  const std::vector<std::unique_ptr<TBasedSWFObject>>& ObjectList() const { return objects_; }
  // Index of object in ObjectList, searched from the end (recent objects are
  // found at once); -1 when it is not there.
  int IndexOfObject(const TBasedSWFObject* object) const;
  // Moves the object at index `from` to index `to` (later objects shift).
  void MoveObject(int from, int to);
  // When character stands after user in the object list, moves it in front
  // of user, and in front of it what it uses (AppendUsedIDs) that it has
  // passed, and so on: every definition stays ahead of its first use.
  void DefineBefore(TFlashIDObject* character, const TBasedSWFObject* user);

  // The id the next character gets. Characters take their ids through
  // TakeIDs, which refuses to go past 65,535.
  std::uint16_t NextID = 1;
  // Takes count ids from NextID on and moves NextID past them; returns the
  // first. Throws yel::Error, taking nothing, when they would pass 65,535,
  // the largest id a movie can hold (NextID wrapping to 0 would hand out
  // ids that are already taken).
  std::uint16_t TakeIDs(std::uint32_t count = 1);
  // Throws as TakeIDs would, without taking the ids.
  void CheckIDsLeft(std::uint32_t count) const;
  std::uint16_t MaxDepth = 0;
  std::int32_t CurrentFrameNum = 0;
  std::string FrameLabel;
  bool CorrectImageFill = true;
  // Asked before an image file is loaded; clearing `proceed` means the
  // handler has given the image its data.
  std::function<void(TFlashImage& image, const std::string& fileName, bool& proceed)> OnLoadCustomImage;

 private:
  template <class L>
  L& Typed(std::unique_ptr<L>& list) {
    if (!list) list = std::make_unique<L>();
    return *list;
  }
  // The body as MakeStream writes it; report: progress of the writing.
  void WriteBody(TStream& out, bool report);
  // Writes the body to learn its length (and settle FrameCount and Version).
  std::uint64_t CountBody();
  void RegisterCharacter(std::unique_ptr<TFlashIDObject> character, TFlashObjectList& typedList);
  void RaiseMaxDepth(std::uint16_t depth);

  std::vector<std::unique_ptr<TBasedSWFObject>> objects_;
  // Set when TakeIDs handed out 65,535 and NextID wrapped to 0.
  bool ids_exhausted_ = false;
  bool background_set_ = false;
  std::unique_ptr<TSWFRGB> background_color_;
  std::unique_ptr<TFlashActionScript> frame_actions_;
  std::unique_ptr<TFlashFilterSettings> filter_settings_;
  std::unique_ptr<TFlashCanvas> canvas_;
  std::unique_ptr<TMemoryStream> compile_errors_;
  std::unique_ptr<TBaseCompileContext> compile_context_;
  std::unique_ptr<TFlashSound> background_sound_;
  std::unique_ptr<TFlashShapeList> shapes_;
  std::unique_ptr<TFlashImageList> images_;
  std::unique_ptr<TFlashSoundList> sounds_;
  std::unique_ptr<TFlashSpriteList> sprites_;
  std::unique_ptr<TFlashTextList> texts_;
  std::unique_ptr<TFlashFontList> fonts_;
  std::unique_ptr<TFlashButtonList> buttons_;
  std::unique_ptr<TFlashMorphShapeList> morph_shapes_;
  std::unique_ptr<TFlashVideoList> videos_;
  std::vector<std::unique_ptr<TFlashPlaceVideo>> place_videos_;
};

}  // namespace yel::swf
