// TFlashExternalMovie: an SWF file imported into the movie under
// construction. The file is parsed when the import is added and its
// characters get ids that cannot collide with the movie's own; when the movie
// is written the file's tags go into the main timeline, or its timeline into
// a sprite, leaving out the tags that belong to a whole file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "swf/builder/flash_object.h"

namespace yel {
class TStream;
}

namespace yel::swf {

class TFlashSprite;
class TSWFStreamReader;

// How the imported tags are brought in (spelled as in movie descriptions).
enum TExternalImportType : std::uint8_t {
  eimRoot = 0,         // "ROOT": everything into the main timeline, frames included
  eimResource = 1,     // "RESOURCE": definitions only
  eimNoFrameRoot = 2,  // "NOFRAMEROOT": everything but ShowFrame, into the current frame
  eimSprite = 3,       // "SPRITE": definitions into the file, the timeline into Sprite
};

class TFlashExternalMovie : public TFlashIDObject {
 public:
  // Asked for each tag that would be written; clearing include leaves it out.
  using ImportTagEvent = std::function<void(TSWFObject& tag, bool& include)>;

  // Reads the file (the stream) at once; a file that cannot be read throws.
  TFlashExternalMovie(TFlashMovie* owner, const std::string& fileName);
  TFlashExternalMovie(TFlashMovie* owner, TStream& stream);
  ~TFlashExternalMovie() override;

  int MinVersion() const override;
  void WriteToStream(TBitsEngine& be) override;
  // The ShowFrame tags the last writing put into the main timeline.
  int TimelineFrames() const override { return frames_written_; }

  // Characters the file defines (an ImportAssets counts its assets).
  std::uint16_t CharacterCount() const;
  // Gives the file's characters the ids firstId, firstId + 1, ... in
  // definition order and updates every reference to them.
  void RenumberIDs(std::uint16_t firstId);

  TSWFStreamReader& Reader() { return *reader_; }
  TFlashSprite* Sprite() const { return sprite_.get(); }
  // Creates the sprite that takes the timeline (import type "SPRITE").
  TFlashSprite& CreateSprite();

  std::uint8_t ImportType = eimRoot;
  bool RenameFonts = true;
  ImportTagEvent OnImportTag;
  // The random source of the font-name prefix: a number from 0 to 65534.
  // Tests replace it to get a known prefix.
  std::function<std::uint16_t()> FontPrefixSource;

 private:
  void Open();

  std::unique_ptr<TSWFStreamReader> reader_;
  std::unique_ptr<TFlashSprite> sprite_;
  int frames_written_ = 0;
};

// Inserts prefix into every font face of HTML text: after each "face"
// (any case) the value's opening quote is followed by the prefix.
std::string PrefixHtmlFontFaces(const std::string& html, const std::string& prefix);

}  // namespace yel::swf
