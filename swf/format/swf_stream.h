// SWF files: TBasedSWFStream holds the header and the encoded tag sequence
// (the body) and writes them plain ("FWS") or zlib-compressed ("CWS");
// TSWFStreamReader loads a file, splits its body into TSWFTagInfo entries,
// turns them into tag objects and rebuilds, rearranges and renumbers them;
// TSWFTagScanner reads a file's tags one at a time without loading it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/byte_stream.h"
#include "swf/format/swf_body_reader.h"
#include "swf/format/swf_object.h"
#include "swf/format/swf_records.h"

namespace yel::swf {

enum class TSWFSystemCoord { Twips, Pix };

// Kinds of OnProgress reports.
enum TSWFProgressKind : int {
  kProgressParsing = 0,
  kProgressWriting = 1,
  kProgressCompressing = 2,
  kProgressLoadingXML = 4,
};

class TBasedSWFStream {
 public:
  // Percent runs 0..100 (compression may pass 100).
  using ProgressEvent = std::function<void(TBasedSWFStream& sender, int percent, int kind)>;

  TBasedSWFStream();
  // Rectangle in the unit of coord; frame rate in frames per second.
  TBasedSWFStream(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                  float frameRate, TSWFSystemCoord coord);
  virtual ~TBasedSWFStream();
  TBasedSWFStream(const TBasedSWFStream&) = delete;
  TBasedSWFStream& operator=(const TBasedSWFStream&) = delete;

  // Called after Version, Compressed, FPS or MovieRect change.
  virtual void Changed() {}
  // Index of the entry that ends frame n (see TSWFStreamReader).
  virtual int FindFrameIndex(int n) = 0;
  // Builds the body; run it before SaveToStream or SaveToFile.
  virtual void MakeStream() = 0;
  virtual void MoveResource(int to, int first, int last) = 0;

  TMemoryStream& BodyStream();
  // Uses stream as the body from now on, without owning it.
  void SetBodyStream(TMemoryStream* stream);

  // Length of the header that SaveToStream writes.
  int HeaderSize() const;
  int Width() const;
  int Height() const;
  const TRect& MovieRect() const { return movie_rect_; }
  // Rectangle in the unit of SystemCoord.
  void SetMovieRect(const TRect& rect);
  float FPS() const;
  void SetFPS(float frameRate);
  std::uint16_t FPSWord() const { return fps_; }
  std::uint8_t Version() const { return header_[3]; }
  void SetVersion(std::uint8_t version);
  bool Compressed() const { return compressed_; }
  void SetCompressed(bool compressed);
  TSWFSystemCoord SystemCoord() const { return system_coord_; }
  void SetSystemCoord(TSWFSystemCoord coord);
  int UnitMultiplier() const { return multiplier_; }
  std::uint32_t FileLength() const;
  std::string Signature() const { return std::string(reinterpret_cast<const char*>(header_), 3); }
  std::uint16_t FrameCount = 0;

  ProgressEvent OnProgress;

  // Writes the header and the body (compressed when Compressed is set).
  void SaveToStream(TStream& destination);
  // Writes the file through a temporary file renamed into place, as
  // SaveToStream produces it (the file's bytes are not gathered in memory
  // first). On an error, or an exception from OnProgress, the target stays
  // as it was.
  void SaveToFile(const std::string& fileName);

 protected:
  // Saves as SaveToStream does a body that writeBody writes (instead of the
  // body stream), which must come to bodySize bytes; FrameCount and Version
  // must be final already.
  void SaveBody(TStream& destination, std::uint64_t bodySize, const std::function<void(TStream& out)>& writeBody);
  // The same into a file, through a temporary file renamed into place.
  void SaveBodyToFile(const std::string& fileName, std::uint64_t bodySize,
                      const std::function<void(TStream& out)>& writeBody);

  // Compression needs version 6 in movies we build; a movie that was read
  // keeps the version it has (its scripts run by that version's rules).
  virtual bool CompressionRaisesVersion() const { return true; }

  enum class HeaderPart { Whole, First8, AfterFirst8 };
  void WriteHeader(TStream& destination, HeaderPart part);
  void DoProgress(int percent, int kind);
  void SetFileLength(std::uint32_t length);
  void SetOwnedBody(std::unique_ptr<TMemoryStream> stream);

  std::uint8_t header_[8] = {'F', 'W', 'S', 5, 0, 0, 0, 0};
  TRect movie_rect_;
  std::uint16_t fps_ = 0;
  bool compressed_ = false;

 private:
  std::unique_ptr<TMemoryStream> owned_body_;
  TMemoryStream* body_ = nullptr;
  int multiplier_ = 1;
  TSWFSystemCoord system_coord_ = TSWFSystemCoord::Twips;
};

// One tag of a parsed body.
class TSWFTagInfo {
 public:
  TSWFTagInfo(std::uint16_t code, bool create);
  // Length of header and body as they stand in the body stream.
  std::uint64_t FullSize() const { return static_cast<std::uint64_t>(Length) + 2 + (IsLongHeader ? 4 : 0); }
  // Makes the entry own obj.
  void SetObject(std::unique_ptr<TSWFObject> obj);
  // Refers to an object owned elsewhere (nested tags of a sprite).
  void SetObjectRef(TSWFObject* obj);
  std::unique_ptr<TSWFObject> ReleaseObject();

  std::uint32_t Length = 0;
  std::uint16_t Frame = 0;
  bool IsLongHeader = false;
  std::uint32_t Position = 0;
  std::vector<std::unique_ptr<TSWFTagInfo>> SubTags;
  bool OwnsObject = false;
  TSWFObject* TagObject = nullptr;
  std::uint16_t TagID = 0;

 private:
  std::unique_ptr<TSWFObject> owned_;
};

class TSWFStreamReader : public TBasedSWFStream {
 public:
  // May clear create to keep the tag as bytes only.
  using CreateTagEvent = std::function<void(TSWFTagInfo& info, bool& create)>;
  // May clear renumber to leave a definition's id alone.
  using RenumberEvent = std::function<void(TSWFObject& tag, bool& renumber)>;

  TSWFStreamReader();
  // Loads the file when fileName is not empty.
  explicit TSWFStreamReader(const std::string& fileName);
  explicit TSWFStreamReader(TStream& stream);

  void LoadFromFile(const std::string& fileName);
  // sourceName names the data in error messages.
  void LoadFromStream(TStream& stream, const std::string& sourceName = "stream");
  void LoadFromBytes(const std::uint8_t* data, std::size_t size, const std::string& sourceName);

  // Throws when a loaded movie holds more tags than its file's size allows
  // (TSWFBodyReader::MaxTagCount).
  void ParseTags(bool createObjects = true, bool parseActions = true);
  std::size_t TagCount() const { return tags_.size(); }
  TSWFTagInfo& TagInfo(std::size_t index) { return *tags_[index]; }
  const TSWFTagInfo& TagInfo(std::size_t index) const { return *tags_[index]; }

  // Index of the n-th ShowFrame entry (the last entry if there are fewer);
  // 0 for n = 0 or an empty list.
  int FindFrameIndex(int n) override;
  // Rebuilds the body from the entries: objects write themselves, entries
  // without an object are copied from the previous body.
  void MakeStream() override;
  // Moves bitmap, JPEG-table, font and sound definitions of the frames first
  // to last (-1: to the end) to the start of frame to (frames from 0).
  void MoveResource(int to, int first, int last) override;
  // Gives the defined characters the ids start, start + 1, ... in definition
  // order, updates the references, and returns the next free id.
  int RenumberCharacters(int start);

  bool IsSWF = false;
  CreateTagEvent OnCreateTag;
  RenumberEvent OnRenumber;

  const std::string& SourceName() const { return source_name_; }
  // Length of the header in the file that was loaded.
  std::uint32_t BodyOffset() const { return body_offset_; }

 protected:
  // A movie read and written back keeps its version.
  bool CompressionRaisesVersion() const override { return false; }

 private:
  void Load(TSWFBodyReader& input);

  std::vector<std::unique_ptr<TSWFTagInfo>> tags_;
  std::string source_name_;
  std::uint32_t body_offset_ = 0;
  // The file's size and the tags a movie of that size may hold (see
  // TSWFBodyReader::MaxTagCount); a body not loaded from a file has no limit.
  std::uint64_t input_size_ = 0;
  std::uint64_t max_tags_ = UINT64_MAX;
};

// The tags of an SWF file read one top-level tag at a time, straight from
// the file (a compressed body inflated as it goes): a movie of any size is
// read with one tag's bytes in memory (a tag of unknown code longer than
// 16 MB is read through without being kept: its entry's object holds no
// bytes). The entries and objects are those
// TSWFStreamReader::ParseTags makes; each stands alone (a definition does
// not need later tags).
class TSWFTagScanner {
 public:
  // Reads the header; Body().IsSWF() tells whether it is an SWF file.
  explicit TSWFTagScanner(const std::string& fileName);
  // The same over bytes that outlive the scanner; sourceName names them in
  // errors.
  TSWFTagScanner(const std::uint8_t* data, std::size_t size, const std::string& sourceName);

  const TSWFBodyReader& Body() const { return body_; }
  // The next tag's entry with its object (and the entries of a sprite's
  // tags); nullptr after the last tag (a stray last byte is no tag).
  // Damaged compressed data throws.
  std::unique_ptr<TSWFTagInfo> Next(bool parseActions = true);

 private:
  TSWFBodyReader body_;
  // The present tag's bytes; a new buffer is taken while objects of an
  // earlier tag still share the old one.
  std::shared_ptr<std::uint8_t[]> buffer_;
  std::size_t capacity_ = 0;
  std::uint16_t frame_ = 1;
  std::uint64_t tag_count_ = 0;  // sprites' tags included
};

}  // namespace yel::swf
