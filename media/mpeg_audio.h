// TMPEGaudio examines an MPEG audio file (MP3 and the other layers) without
// decoding it: it skips ID3 tags, finds the first of two consecutive valid
// frames, reads a Xing or VBRI header and reports where the audio data is and
// what it holds. TID3v1 and TID3v2 read the two kinds of tag. Also the frame
// walker that the sound character uses to copy whole frames.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/byte_stream.h"

namespace yel::media {

class TID3v1 {
 public:
  void Reset();
  // Reads the last 128 bytes of the stream; false when there is no tag.
  bool ReadFromFile(TStream& stream);

  bool Exists = false;
  std::uint8_t VersionID = 0;  // 1 for ID3v1.0, 2 for ID3v1.1
  std::string Title, Artist, Album, Year, Comment;
  std::uint8_t Track = 0;
  std::uint8_t Genre = 255;
  std::uint32_t Size = 0;  // 0 or 128
};

class TID3v2 {
 public:
  void Reset();
  // Reads the tag at the start of the stream; false when there is none.
  bool ReadFromFile(TStream& stream);

  bool Exists = false;
  std::uint8_t VersionID = 0;
  std::uint32_t Size = 0;  // bytes of the tag with its header; 0 when it claims more than the file
  std::string Title, Artist, Album, Year, Genre, Comment;
  int Track = 0;
};

struct TVBRData {
  bool Found = false;
  char ID[4] = {0, 0, 0, 0};  // "Xing" or "VBRI"
  std::uint32_t Frames = 0;
  std::uint32_t Bytes = 0;
  std::uint8_t Scale = 0;
  char VendorID[9] = {0};
};

// The LAME tag that LAME (and encoders built on it) writes after the Xing or
// "Info" header: how many samples of silence the encoder put before the
// sound (its delay) and after it (padding to whole frames).
struct TLameTag {
  bool Found = false;
  std::uint16_t EncoderDelay = 0;
  std::uint16_t EncoderPadding = 0;
};

struct TFrameData {
  bool Found = false;
  std::uint32_t Position = 0;  // first frame, within the examined block
  std::uint16_t Size = 0;      // length of the first frame
  bool Empty = false;
  // The first frame is a Xing, "Info" or VBRI header frame, which decodes
  // to silence and holds no sound.
  bool HeaderFrame = false;
  std::uint8_t Header[4] = {0, 0, 0, 0};
  std::uint8_t VersionID = 1, LayerID = 0, ProtectionBit = 0, BitRateID = 0, SampleRateID = 3, PaddingBit = 0,
               PrivateBit = 0, ModeID = 4, ModeExtensionID = 4, CopyrightBit = 0, OriginalBit = 0, EmphasisID = 2;
};

// VersionID values.
inline constexpr std::uint8_t kMPEG25 = 0, kMPEGReserved = 1, kMPEG2 = 2, kMPEG1 = 3;
// LayerID values.
inline constexpr std::uint8_t kLayerIII = 1, kLayerII = 2, kLayerI = 3;
inline constexpr std::uint8_t kModeMono = 3;

// A frame header decoded from four bytes.
struct TMPEGFrameHeader {
  std::uint8_t VersionID = 0, LayerID = 0, BitRateID = 0, SampleRateID = 0, PaddingBit = 0, ModeID = 0;
  int BitRate() const;      // kbit/s
  int SampleRate() const;   // Hz
  int SamplesPerFrame() const;
  int Coefficient() const;  // 48, 144, 24 or 72
  int FrameLength() const;  // bytes, padding included
};

// True when the four bytes are a frame header we accept (free-format and
// reserved values refused).
bool IsFrameHeader(const std::uint8_t* b);
TMPEGFrameHeader DecodeFrameHeader(const std::uint8_t* b);

class TMPEGaudio {
 public:
  TMPEGaudio() { Reset(); }
  void Reset();
  // True when a frame was found. Never throws for bad data.
  bool ReadFromFile(TStream& stream);

  int SampleRate() const;
  int BitRate() const;  // kbit/s
  std::uint32_t Frames() const;
  double Duration() const;  // seconds
  int SamplesPerFrame() const;
  int Channels() const { return FrameData.ModeID == kModeMono ? 1 : 2; }
  int FrameLength() const;

  std::uint32_t FileLength = 0;
  bool WaveHeader = false;
  TVBRData VBR;
  TLameTag Lame;
  TFrameData FrameData;
  TID3v1 ID3v1;
  TID3v2 ID3v2;

 private:
  bool SearchBlock(const std::vector<std::uint8_t>& block);
};

// Samples a Layer III decoder puts out before the first sample the encoder
// was given (its synthesis filter bank's delay), beyond the encoder's delay.
inline constexpr int kMPEGDecoderDelay = 529;

// True when the whole frame is a Xing, "Info" or VBRI header frame. When it
// is one with a LAME tag, *lame receives it.
bool IsVBRHeaderFrame(std::span<const std::uint8_t> frame, TLameTag* lame = nullptr);

// One frame of an MPEG audio stream: where it starts and how long it is.
struct TMPEGFrame {
  std::uint32_t Offset = 0;
  std::uint32_t Length = 0;
};

// The frames of `data`, in order, each a whole valid frame whose header
// matches the first frame's version, layer and sample rate. Bytes between
// frames that are not a frame (garbage, a stray tag) are skipped: the walker
// searches on for a header that another valid header follows, as the frame
// search does.
std::vector<TMPEGFrame> ListMPEGFrames(std::span<const std::uint8_t> data);

}  // namespace yel::media
