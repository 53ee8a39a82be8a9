// Sound tags: DefineSound, StartSound and StartSound2, SoundStreamHead and
// SoundStreamHead2, SoundStreamBlock, and the sound-information record of
// StartSound (shared with DefineButtonSound). DefineSound and SoundStreamBlock
// only frame their data; the sound builder may stream it into the body
// through OnDataWrite.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "swf/format/swf_object.h"

namespace yel::swf {

// SoundFormat / SoundCompression values.
inline constexpr std::uint8_t kSoundUncompressed = 0, kSoundADPCM = 1, kSoundMP3 = 2,
                              kSoundUncompressedLE = 3, kSoundNellymoser = 6;

class TSWFDefineSound : public TSWFDataObject {
 public:
  TSWFDefineSound() : TSWFDataObject(tag::DefineSound) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t SoundId = 0;
  std::uint8_t SoundFormat = 0;  // 4 bits
  std::uint8_t SoundRate = 0;    // 2 bits: 5.5, 11, 22, 44 kHz
  bool SoundSize = false;        // 16-bit
  bool SoundType = false;        // stereo
  std::uint32_t SampleCount = 0;
  std::uint16_t SeekSamples = 0;  // MP3 only
};

struct TSWFSoundEnvelope {
  std::uint32_t Pos44 = 0;
  std::uint16_t LeftLevel = 0;
  std::uint16_t RightLevel = 0;
  bool operator==(const TSWFSoundEnvelope&) const = default;
};

// The sound-information record; setting a point or the loop count sets its
// flag to (value != 0).
class TSWFSoundInfo {
 public:
  void Write(TBitsEngine& be);
  void Read(TBitsEngine& be);

  std::uint32_t InPoint() const { return in_point_; }
  std::uint32_t OutPoint() const { return out_point_; }
  std::uint16_t LoopCount() const { return loop_count_; }
  void SetInPoint(std::uint32_t v) { in_point_ = v; HasInPoint = v != 0; }
  void SetOutPoint(std::uint32_t v) { out_point_ = v; HasOutPoint = v != 0; }
  void SetLoopCount(std::uint16_t v) { loop_count_ = v; HasLoops = v != 0; }

  bool SyncStop = false;
  bool SyncNoMultiple = false;
  bool HasEnvelope = false;
  bool HasLoops = false;
  bool HasOutPoint = false;
  bool HasInPoint = false;
  std::vector<TSWFSoundEnvelope> Envelope;

 private:
  std::uint32_t in_point_ = 0, out_point_ = 0;
  std::uint16_t loop_count_ = 0;
};

// StartSound (15); StartSound2 (89) names the sound by class name instead.
class TSWFStartSound : public TSWFObject {
 public:
  TSWFStartSound() : TSWFObject(tag::StartSound) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return TagID == tag::StartSound2 ? 9 : 1; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t SoundId = 0;
  TSWFSoundInfo SoundInfo;

 protected:
  explicit TSWFStartSound(std::uint16_t tagId) : TSWFObject(tagId) {}
};

class TSWFStartSound2 : public TSWFStartSound {
 public:
  TSWFStartSound2() : TSWFStartSound(tag::StartSound2) {}
  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::string SoundClassName;
};

class TSWFSoundStreamHead : public TSWFObject {
 public:
  TSWFSoundStreamHead() : TSWFObject(tag::SoundStreamHead) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint8_t PlaybackSoundRate = 0;
  bool PlaybackSoundSize = false;
  bool PlaybackSoundType = false;
  std::uint8_t StreamSoundCompression = 0;
  std::uint8_t StreamSoundRate = 0;
  bool StreamSoundSize = false;
  bool StreamSoundType = false;
  std::uint16_t StreamSoundSampleCount = 0;  // samples per frame
  std::uint16_t LatencySeek = 0;             // MP3 only

 protected:
  explicit TSWFSoundStreamHead(std::uint16_t tagId) : TSWFObject(tagId) {}
};

class TSWFSoundStreamHead2 : public TSWFSoundStreamHead {
 public:
  TSWFSoundStreamHead2() : TSWFSoundStreamHead(tag::SoundStreamHead2) {}
  int MinVersion() const override;
};

class TSWFSoundStreamBlock : public TSWFDataObject {
 public:
  TSWFSoundStreamBlock() : TSWFDataObject(tag::SoundStreamBlock) {}
  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  // The compression the block is written for; 0 unless its creator sets it.
  // With MP3 (2) the two words below come before the data.
  std::uint8_t StreamFormat = 0;
  std::uint16_t SampleCount = 0;
  std::int16_t SeekSamples = 0;
};

}  // namespace yel::swf
