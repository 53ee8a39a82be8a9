// TWaveReader opens a sound file for the sound character and describes it in
// one set of fields whatever its kind: a RIFF WAVE file with PCM, Microsoft
// ADPCM or MPEG audio inside, or an MP3 file. For PCM and ADPCM sources it
// also produces the SWF sound data (raw PCM, or SWF ADPCM at 2 to 5 bits)
// straight into a BitStream, all at once or frame by frame, looping or
// padding with silence at the end.
//
// SWF declares only 5.5, 11, 22 and 44 kHz. Sources at another rate are
// converted on opening to the nearest rate SWF can declare: PCM and ADPCM
// sources are decoded and resampled here (they then read as 16-bit PCM),
// MPEG sources are decoded and encoded again as MP3 (mp3_transcoder.h).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace yel {
class BitStream;
}

namespace yel::media {

// FormatTag values.
inline constexpr std::uint16_t kWaveFormatPCM = 1, kWaveFormatADPCM = 2, kWaveFormatMPEG = 80,
                               kWaveFormatMPEGLayer3 = 85, kWaveFormatMP3File = 336;

// Microsoft ADPCM format block.
struct TADPCMFormat {
  std::uint16_t BlockAlign = 0;
  std::uint16_t SamplesPerBlock = 0;
  std::vector<std::int16_t> Coef1, Coef2;
};

class TWaveReader {
 public:
  // Opens the file (Create). ".MP3" and ".WAV" files are described; other
  // extensions, and WAV files that are not RIFF WAVE, leave every field 0
  // and give no data. A damaged file of a known kind (a "fmt " chunk of the
  // wrong size, a block align of 0, more than two channels, an unsupported
  // sample format) throws yel::Error naming the file.
  explicit TWaveReader(const std::string& fileName);
  // The same over bytes in memory; fileName gives the kind and names errors.
  TWaveReader(std::vector<std::uint8_t> bytes, const std::string& fileName);
  ~TWaveReader();
  TWaveReader(const TWaveReader&) = delete;
  TWaveReader& operator=(const TWaveReader&) = delete;

  std::string FileName;
  std::uint16_t FormatTag = 0;
  std::uint16_t Channels = 0;
  std::uint32_t SampleRate = 0;
  std::uint16_t BitsPerSample = 0;
  std::uint32_t SampleCount = 0;
  std::uint32_t DataOffset = 0, DataSize = 0;
  std::uint16_t SamplesPerFrame = 0, FrameSize = 0, FrameCount = 0, BitRate = 0;
  double Duration = 0;
  TADPCMFormat ADPCM;
  // The rate of the file when it was converted on opening, else 0.
  std::uint32_t SourceSampleRate = 0;
  // MPEG audio: the samples of silence its encoder put before the sound and
  // after it, when known (from a LAME tag, or from our own conversion).
  bool EncoderDelayKnown = false;
  std::uint16_t EncoderDelay = 0, EncoderPadding = 0;

  // The bytes the fields describe (the file, or the converted data).
  std::span<const std::uint8_t> Bytes() const { return bytes_; }
  std::span<const std::uint8_t> Data() const;
  // True for PCM and Microsoft ADPCM sources, which this reader encodes.
  bool HasSource() const { return source_; }
  // True when the source has nothing left before its data end.
  bool AtEnd() const;

  // Puts the source back at DataOffset and forgets decoded samples.
  void Rewind();
  // Consumes exactly n source bytes (Algorithms of the PCM path): copied
  // with bits 0, else encoded as one SWF ADPCM unit. Past the data end the
  // source starts again (loop) or silence is written.
  void WritePCM(BitStream& be, std::uint32_t n, bool loop, int bits);
  // Microsoft ADPCM source: exactly `samples` sample frames as one SWF ADPCM
  // unit, looping or padding with silence at the end.
  void WriteADPCMBlock(BitStream& be, std::uint32_t samples, bool loop, int bits);
  // Microsoft ADPCM source: everything as one SWF ADPCM unit.
  void WriteADPCMAll(BitStream& be, int bits);

 private:
  void Open();
  void OpenMPEG(std::uint32_t offset, std::uint32_t size, bool keepWaveFields);
  void OpenWave();
  void ConvertRate();
  // Up to `frames` sample frames from the source position (16-bit,
  // interleaved); returns how many there were.
  std::size_t ReadFrames(std::int16_t* out, std::size_t frames);
  // Exactly `frames`, looping or zero-padded.
  void FillFrames(std::int16_t* out, std::size_t frames, bool loop);
  bool DecodeNextBlock();
  int ADPCMBits(int bits) const;

  std::vector<std::uint8_t> bytes_;
  bool source_ = false;
  std::uint64_t position_ = 0;              // PCM: byte position in the file
  std::uint64_t block_ = 0;                 // ADPCM: next block to decode
  std::vector<std::int16_t> decoded_;       // ADPCM: decoded, not yet written
  std::size_t decoded_at_ = 0;
};

// Encodes interleaved 16-bit samples as one SWF ADPCM unit of `bits` (2..5)
// bits per code: the code-size field, packets of 4096 sample frames, and
// padding to a whole byte.
void EncodeSWFADPCM(BitStream& be, const std::int16_t* samples, std::size_t frames, int channels, int bits);

// Decodes one Microsoft ADPCM block (shorter blocks give fewer samples) and
// appends interleaved 16-bit samples to out.
void DecodeMSADPCMBlock(std::span<const std::uint8_t> block, int channels, const TADPCMFormat& format,
                        std::vector<std::int16_t>& out);

// The nearest rate SWF can declare: 5512, 11025, 22050 or 44100 (11025,
// 22050 or 44100 for MP3).
std::uint32_t NearestSWFRate(std::uint32_t rate, bool mp3);
// SWF sound-rate code of a rate that SWF declares, -1 for others.
int SWFRateCode(std::uint32_t rate);

// Resamples interleaved 16-bit audio with a windowed-sinc filter.
std::vector<std::int16_t> ResampleAudio(std::span<const std::int16_t> samples, int channels, std::uint32_t fromRate,
                                        std::uint32_t toRate);

}  // namespace yel::media
