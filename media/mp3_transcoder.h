// MPEG audio decoded with libmpg123 and encoded again as MP3 with libmp3lame:
// for sources SWF cannot carry as they are (a rate it cannot declare, or a
// layer other than III), and for music that loops, whose encoder delay and
// padding would otherwise be silence at every join.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace yel::media {

// Decoded audio: interleaved 16-bit samples, their rate and channel count.
struct TDecodedAudio {
  std::vector<std::int16_t> Samples;
  std::uint32_t Rate = 0;
  int Channels = 0;
};

// Decodes MPEG audio frames. With gapless, a LAME tag in the data has the
// decoder drop the encoder's delay and padding; without it every frame's
// samples come out, the decoder's own delay included. `expectedSamples`,
// when the caller has counted the frames' samples (all channels), makes
// room for them at once instead of growing the buffer step by step (which
// holds up to twice the sound). Throws yel::Error naming `name` when
// nothing can be decoded.
TDecodedAudio DecodeMPEGAudio(std::span<const std::uint8_t> data, bool gapless, const std::string& name,
                              std::size_t expectedSamples = 0);

// MP3 made by TranscodeMPEGAudio, with the silence its encoder added.
struct TTranscoded {
  std::vector<std::uint8_t> Bytes;
  int EncoderDelay = 0;    // samples before the sound
  int EncoderPadding = 0;  // samples after it, up to the end of the last frame
};

// MP3 (MPEG Layer III) bytes at `toRate` Hz at a constant bit rate near
// `kbps`, of the sound without the source's own encoder delay and padding.
// Throws yel::Error naming `name` when the data cannot be decoded.
TTranscoded TranscodeMPEGAudio(std::span<const std::uint8_t> data, std::uint32_t toRate, int kbps,
                               const std::string& name);

// Encodes one pass of a sound as an endless MP3 stream of the sound looped
// without a gap. The pass (or a few passes, when one is short) is stretched
// or squeezed to a whole number of frames, by under 1/2000 of its length
// (under one cent of pitch); that cycle is encoded once, with its own end
// before it and its own start after it, so that no delay or padding stands
// at the joins, and its frames repeat for as long as the stream runs. The
// bit reservoir is off, so every frame decodes on its own data.
class TMP3LoopEncoder {
 public:
  // pass: interleaved 16-bit samples. Without joinAt the stream starts at
  // the pass's first sample, without the encoder's delay. With joinAt = E, its first frame continues a stream whose decoded sound has
  // reached sample E of the pass (E may be the pass's length): the frames
  // that would decode to the sound before E are made and left out.
  TMP3LoopEncoder(std::vector<std::int16_t> pass, int channels, std::uint32_t rate, int kbps,
                  std::optional<std::int64_t> joinAt, const std::string& name);
  ~TMP3LoopEncoder();
  TMP3LoopEncoder(const TMP3LoopEncoder&) = delete;
  TMP3LoopEncoder& operator=(const TMP3LoopEncoder&) = delete;

  // The next whole frame of the stream.
  std::vector<std::uint8_t> NextFrame();
  // The encoder's delay in samples (before the decoder's own).
  int EncoderDelay() const { return delay_; }

 private:
  void Encode();

  struct Lame;
  std::unique_ptr<Lame> lame_;
  std::vector<std::int16_t> pass_;  // the cycle: the pass stretched to whole frames
  int channels_;
  std::string name_;
  std::size_t position_ = 0;  // next sample frame of the cycle to encode
  int delay_ = 0;
  std::int64_t drop_ = 0;  // frames still to leave out
  std::vector<std::uint8_t> pending_;
  std::vector<std::vector<std::uint8_t>> frames_;  // the cycle's frames
  std::size_t cycle_frames_ = 0;
  std::size_t next_ = 0;  // the cycle's next frame to give
};

}  // namespace yel::media
