// TFlashSound: the builder's sound character. It turns an MP3 or WAV file
// into SWF sound, either as an event sound (a DefineSound tag, started with
// StartSound records) or as the streaming sound of the main timeline (one
// SoundStreamHead2, then one SoundStreamBlock before every ShowFrame). PCM is
// compressed to SWF ADPCM by default, Microsoft ADPCM is decoded and
// compressed again, MP3 data is copied frame by frame.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "swf/builder/flash_object.h"

namespace yel::media {
class TWaveReader;
class TMP3LoopEncoder;
struct TMPEGFrame;
}  // namespace yel::media

namespace yel::swf {

class TSWFStartSound;
class TSWFSoundStreamHead;

class TFlashSound : public TFlashIDObject {
 public:
  // Loads the file when it exists; a damaged sound file throws yel::Error.
  explicit TFlashSound(TFlashMovie* owner, const std::string& fileName = {});
  ~TFlashSound() override;

  int MinVersion() const override { return Format == 2 ? 4 : 1; }
  bool IsResourceDefinition() const override { return true; }
  // The event sound: a DefineSound with all the data.
  void WriteToStream(TBitsEngine& be) override;

  void LoadFromFile(const std::string& fileName);
  // A StartSound record for this sound, appended to the owner's list.
  TSWFStartSound* StartSound();
  // Prepares the stream head for the frame rate and resets the stream state.
  void FillStreamHead(TSWFSoundStreamHead& head, float fps);
  // The stream block of the next frame (nothing once a sound without Loop
  // has run out).
  void WriteStreamBlock(TBitsEngine& be);

  std::uint8_t WaveCompressBits() const { return wave_compress_bits_; }
  // 0 keeps raw PCM; 2..5 ADPCM bits; above 5 becomes 5, 1 becomes 0.
  void SetWaveCompressBits(std::uint8_t bits);
  // True when the file gave sound data.
  bool HasData() const;

  std::string FileName;
  std::uint8_t Format = 0;    // 0 uncompressed, 1 ADPCM, 2 MP3
  std::uint8_t RateCode = 0;  // 0 5.5 kHz, 1 11 kHz, 2 22 kHz, 3 44 kHz
  std::uint32_t SampleRate = 0;
  bool Stereo = false;
  bool Is16Bit = false;
  std::uint8_t SourceBits = 0;
  std::uint32_t SampleCount = 0;
  double Duration = 0;
  std::uint32_t DataOffset = 0, DataSize = 0;
  std::uint16_t SamplesPerFrame = 0, FrameSize = 0, FrameCount = 0;
  bool Loop = false;
  std::uint16_t SeekSamples = 0;

 private:
  void WriteMP3Block(TBitsEngine& be);
  bool PCMSource() const { return Format == 0; }
  // Samples of the timeline after `blocks` frames.
  std::uint64_t TimelineSamples(std::uint64_t blocks) const;
  // The next MP3 frame of the stream, empty when a sound without Loop has
  // run out (see WriteMP3Block).
  std::span<const std::uint8_t> NextStreamFrame();
  bool StartLoopEncoder();

  std::unique_ptr<media::TWaveReader> reader_;  // PCM and ADPCM sources
  std::vector<std::uint8_t> mp3_;               // MP3 sources: the audio data
  std::vector<media::TMPEGFrame> frames_;       // the whole frames of mp3_ that hold sound
  // MP3 sources whose encoder delay and padding are known: the frames up to
  // join_frame_ decode to the sound up to sample join_at_ of its pass
  // (pass_length_ samples without the delay and padding); from there a
  // loop is encoded again without silence at its joins.
  bool gapless_ = false;
  std::size_t join_frame_ = 0;
  std::int64_t join_at_ = 0, pass_length_ = 0, lead_ = 0;
  int bit_rate_ = 0;
  std::unique_ptr<media::TMP3LoopEncoder> loop_encoder_;
  std::vector<std::uint8_t> frame_buffer_;
  std::uint8_t wave_compress_bits_ = 4;
  // Stream state.
  double fps_ = 0;
  std::uint32_t frame_samples_ = 0;  // S: samples per SWF frame (the head's count)
  std::uint64_t samples_written_ = 0;
  std::size_t next_frame_ = 0;
  std::uint64_t blocks_written_ = 0;
  std::int64_t seek_carry_ = 0;
};

}  // namespace yel::swf
