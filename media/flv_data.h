// TFLVData examines a Flash Video (FLV) file so that the movie builder can
// embed its video and sound: it indexes every video and audio tag (where the
// payload lies and how long it is), finds the video codec and picture size
// and the sound format, and reads the "onMetaData" script values. The
// payloads stay in the file until the movie is written; ReadPayload fetches
// one. All numbers of the format are big-endian.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/byte_stream.h"

namespace yel::media {

// One video or audio tag: where its payload lies in the file.
struct TVFrame {
  std::uint32_t Size = 0;    // payload bytes after the tag's header byte
  std::uint64_t Offset = 0;  // file position of those bytes
  std::uint32_t Timestamp = 0;  // milliseconds
  // Video: the frame type of its header byte (1 key frame, 2 inter frame,
  // 3 disposable, 4 generated key frame, 5 command frame). Audio: 0.
  std::uint8_t FrameType = 0;
  // Audio: the number of video tags read before it.
  std::uint32_t FrameIndex = 0;
};

// The first audio tag's format byte and, for MP3, the first MPEG frame
// header of its data.
struct TSHeader {
  std::uint8_t Format = 0;
  std::uint32_t MP3Header = 0;
  std::uint8_t SoundFormat() const { return Format >> 4; }
  std::uint8_t SoundRate() const { return (Format >> 2) & 3; }  // 5.5, 11, 22, 44 kHz
  bool SoundSize() const { return Format & 2; }                 // 16-bit
  bool SoundType() const { return Format & 1; }                 // stereo
};

// Script data values.
class TFLVCustomData {
 public:
  virtual ~TFLVCustomData() = default;
  // Numbers rounded; text converted (0 when it is no number); others 0.
  virtual std::int64_t AsInteger() const { return 0; }
  virtual std::string AsString() const { return {}; }

  std::string Name;
  std::uint8_t DataType = 0;
};

class TFLVDataNumber : public TFLVCustomData {
 public:
  std::int64_t AsInteger() const override;
  std::string AsString() const override;
  double Value = 0;
};

class TFLVDataBoolean : public TFLVCustomData {
 public:
  std::int64_t AsInteger() const override { return Value ? 1 : 0; }
  std::string AsString() const override { return Value ? "true" : "false"; }
  bool Value = false;
};

// Strings, long strings and movie-clip paths.
class TFLVDataString : public TFLVCustomData {
 public:
  std::int64_t AsInteger() const override;
  std::string AsString() const override { return Value; }
  std::string Value;
};

// A reference to an earlier object (its 16-bit index).
class TFLVDataWord : public TFLVCustomData {
 public:
  std::int64_t AsInteger() const override { return Value; }
  std::uint16_t Value = 0;
};

// Milliseconds since 1970 and the time-zone offset in minutes.
class TFLVDataDate : public TFLVCustomData {
 public:
  std::int64_t AsInteger() const override;
  double Value = 0;
  std::int16_t TimeZone = 0;
};

// The "keyframes" object: file positions and times of the key frames.
class TFLVKeyFramesObjectData : public TFLVCustomData {
 public:
  std::vector<double> FilePositions;
  std::vector<double> Times;
};

// Named values (an ECMA array, an object, or a strict array whose values
// have no names).
class TFLVDataECMAArray : public TFLVCustomData {
 public:
  const TFLVCustomData* Find(const std::string& name) const;
  std::vector<std::unique_ptr<TFLVCustomData>> Items;
};

// The metadata names known by index.
enum TFLVMetaName {
  kMetaDuration, kMetaLastTimestamp, kMetaLastKeyFrameTimestamp, kMetaWidth, kMetaHeight, kMetaVideoDataRate,
  kMetaAudioDataRate, kMetaFrameRate, kMetaCreationDate, kMetaFileSize, kMetaVideoSize, kMetaAudioSize,
  kMetaDataSize, kMetaMetadataCreator, kMetaMetadataDate, kMetaVideoCodecId, kMetaAudioCodecId, kMetaAudioDelay,
  kMetaCanSeekToEnd, kMetaKeyFrames, kMetaNameCount
};
const char* FLVMetaName(int index);

class TFLVonMetaData : public TFLVDataECMAArray {
 public:
  // The last value whose lower-cased name is the index's name, or null.
  const TFLVCustomData* MetaValue(int index) const;
};

class TFLVData {
 public:
  // With a name: opens and parses the file (yel::Error naming it when it
  // cannot be read or is no FLV file); without: an empty reader.
  explicit TFLVData(const std::string& fileName = {});
  ~TFLVData();
  TFLVData(const TFLVData&) = delete;
  TFLVData& operator=(const TFLVData&) = delete;

  // Indexes the file again from its start.
  void Parse();

  const TVFrame& VideoFrame(std::size_t index) const { return VideoFrames.at(index); }
  // The index is taken modulo the number of audio frames.
  const TVFrame& AudioFrame(std::size_t index) const { return AudioFrames.at(index % AudioFrames.size()); }
  std::size_t AudioFrameCount() const { return AudioFrames.size(); }
  const TFLVCustomData* MetaValue(int index) const { return MetaData ? MetaData->MetaValue(index) : nullptr; }
  // The payload bytes of a frame, read from the file.
  std::vector<std::uint8_t> ReadPayload(const TVFrame& frame) const;

  std::string FileName;
  bool HasVideo = false;
  bool HasAudio = false;
  std::vector<TVFrame> VideoFrames;
  // Empty when the file has no audio the builder can use (MP3 or Nellymoser).
  std::vector<TVFrame> AudioFrames;
  TSHeader SoundHeader;
  std::uint8_t CodecID = 0;
  std::uint8_t FrameType = 0;
  std::uint32_t FrameCount = 0;
  std::uint16_t Width = 0;
  std::uint16_t Height = 0;
  std::unique_ptr<TFLVonMetaData> MetaData;
  // The file ended inside a tag: the index holds the tags before it, and the
  // last video frame is cut at the end of the file.
  bool Truncated = false;

 private:
  class File;
  std::unique_ptr<File> file_;
};

}  // namespace yel::media
