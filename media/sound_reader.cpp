// The WAV reader: RIFF WAVE and MP3 description, PCM and Microsoft ADPCM
// input, SWF ADPCM encoding, the conversion of rates SWF cannot declare.
#include "media/sound_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "base/bit_stream.h"
#include "base/error.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "media/mp3_transcoder.h"
#include "media/mpeg_audio.h"
#include "media/riff_reader.h"

namespace yel::media {
namespace {

// Larger sound files are refused rather than read into memory.
constexpr std::uint64_t kMaxSoundFile = 1ull << 30;

constexpr int kStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr int kIndex2[] = {-1, 2};
constexpr int kIndex3[] = {-1, -1, 2, 4};
constexpr int kIndex4[] = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr int kIndex5[] = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};
constexpr const int* kIndexTables[] = {kIndex2, kIndex3, kIndex4, kIndex5};

constexpr int kAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};

std::uint16_t LE16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t LE32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<std::uint32_t>(p[3]) << 24;
}

std::int16_t Clamp16(int v) { return static_cast<std::int16_t>(std::clamp(v, -32768, 32767)); }

}  // namespace

// --- rates

std::uint32_t NearestSWFRate(std::uint32_t rate, bool mp3) {
  static constexpr std::uint32_t kAll[] = {5512, 11025, 22050, 44100};
  std::uint32_t best = 44100;
  std::uint64_t bestDistance = UINT64_MAX;
  for (std::uint32_t candidate : kAll) {
    if (mp3 && candidate == 5512) continue;
    const std::uint64_t d = rate > candidate ? rate - candidate : candidate - rate;
    if (d < bestDistance) {
      bestDistance = d;
      best = candidate;
    }
  }
  return best;
}

int SWFRateCode(std::uint32_t rate) {
  switch (rate) {
    case 5512: case 5513: return 0;
    case 11025: return 1;
    case 22050: return 2;
    case 44100: return 3;
    default: return -1;
  }
}

std::vector<std::int16_t> ResampleAudio(std::span<const std::int16_t> samples, int channels, std::uint32_t fromRate,
                                        std::uint32_t toRate) {
  std::vector<std::int16_t> out;
  if (channels <= 0 || fromRate == 0 || toRate == 0) return out;
  const std::size_t frames = samples.size() / channels;
  const double step = static_cast<double>(fromRate) / toRate;
  const std::size_t outFrames = static_cast<std::size_t>(std::floor(frames / step));
  // Low-pass at 95 % of the lower Nyquist frequency; the filter is widened
  // when decimating so that its transition band stays as narrow.
  const double cutoff = std::min(1.0, 1.0 / step) * 0.95;
  const int half = static_cast<int>(std::ceil(12 / cutoff));
  const int taps = 2 * half;
  constexpr int kPhases = 256;
  std::vector<float> table(static_cast<std::size_t>(kPhases + 1) * taps);
  for (int phase = 0; phase <= kPhases; ++phase) {
    const double frac = static_cast<double>(phase) / kPhases;
    double sum = 0;
    float* w = &table[static_cast<std::size_t>(phase) * taps];
    for (int j = 0; j < taps; ++j) {
      const double x = frac - (j - half + 1);  // distance from the tap to the output position
      const double arg = std::numbers::pi * cutoff * x;
      const double sinc = x == 0 ? 1.0 : std::sin(arg) / arg;
      const double r = (x + half) / (2.0 * half);  // 0..1 across the window
      const double window = 0.42 - 0.5 * std::cos(2 * std::numbers::pi * r) + 0.08 * std::cos(4 * std::numbers::pi * r);
      w[j] = static_cast<float>(sinc * window);
      sum += w[j];
    }
    for (int j = 0; j < taps; ++j) w[j] = static_cast<float>(w[j] / sum);
  }
  out.resize(outFrames * channels);
  for (std::size_t i = 0; i < outFrames; ++i) {
    const double t = i * step;
    const std::int64_t center = static_cast<std::int64_t>(t);
    const int phase = static_cast<int>(std::lround((t - center) * kPhases));
    const float* w = &table[static_cast<std::size_t>(phase) * taps];
    const std::int64_t first = center - half + 1;
    for (int c = 0; c < channels; ++c) {
      float acc = 0;
      for (int j = 0; j < taps; ++j) {
        const std::int64_t k = first + j;
        if (k < 0 || k >= static_cast<std::int64_t>(frames)) continue;
        acc += w[j] * samples[static_cast<std::size_t>(k) * channels + c];
      }
      out[i * channels + c] = Clamp16(static_cast<int>(std::lround(acc)));
    }
  }
  return out;
}

// --- SWF ADPCM

void EncodeSWFADPCM(BitStream& be, const std::int16_t* samples, std::size_t frames, int channels, int bits) {
  bits = std::clamp(bits, 2, 5);
  const int* indexTable = kIndexTables[bits - 2];
  const int signBit = 1 << (bits - 1);
  be.WriteBits(static_cast<std::uint32_t>(bits - 2), 2);
  int predicted[2] = {0, 0}, index[2] = {0, 0};
  for (std::size_t f = 0; f < frames; ++f) {
    for (int c = 0; c < channels; ++c) {
      const int sample = samples[f * channels + c];
      if (f % 4096 == 0) {
        const int next = f + 1 < frames ? samples[(f + 1) * channels + c] : sample;
        const int difference = std::abs(next - sample);
        int i = 0;
        while (i < 63 && kStepTable[i] < difference) ++i;
        predicted[c] = sample;
        index[c] = i;
        be.WriteBits(static_cast<std::uint16_t>(sample), 16);
        be.WriteBits(static_cast<std::uint32_t>(i), 6);
        continue;
      }
      int step = kStepTable[index[c]];
      int d = sample - predicted[c];
      int code = 0;
      if (d < 0) {
        code = signBit;
        d = -d;
      }
      int reconstructed = step >> (bits - 1);
      for (int mask = signBit >> 1; mask; mask >>= 1) {
        if (d >= step) {
          code |= mask;
          d -= step;
          reconstructed += step;
        }
        step >>= 1;
      }
      predicted[c] = Clamp16(code & signBit ? predicted[c] - reconstructed : predicted[c] + reconstructed);
      index[c] = std::clamp(index[c] + indexTable[code & (signBit - 1)], 0, 88);
      be.WriteBits(static_cast<std::uint32_t>(code), static_cast<unsigned>(bits));
    }
  }
  be.FlushLastByte(true);
}

// --- Microsoft ADPCM

void DecodeMSADPCMBlock(std::span<const std::uint8_t> block, int channels, const TADPCMFormat& format,
                        std::vector<std::int16_t>& out) {
  const std::size_t header = 7u * channels;
  if (channels < 1 || channels > 2 || block.size() < header || format.Coef1.empty()) return;
  int coef1[2], coef2[2], delta[2], s1[2], s2[2];
  for (int c = 0; c < channels; ++c) {
    std::size_t predictor = block[c];
    if (predictor >= format.Coef1.size()) predictor = 0;
    coef1[c] = format.Coef1[predictor];
    coef2[c] = format.Coef2[predictor];
    delta[c] = static_cast<std::int16_t>(LE16(&block[channels + 2 * c]));
    s1[c] = static_cast<std::int16_t>(LE16(&block[3 * channels + 2 * c]));
    s2[c] = static_cast<std::int16_t>(LE16(&block[5 * channels + 2 * c]));
  }
  for (int c = 0; c < channels; ++c) out.push_back(static_cast<std::int16_t>(s2[c]));
  for (int c = 0; c < channels; ++c) out.push_back(static_cast<std::int16_t>(s1[c]));
  const std::size_t limit = format.SamplesPerBlock > 2 ? (format.SamplesPerBlock - 2u) * channels : SIZE_MAX;
  std::size_t produced = 0;
  int c = 0;
  for (std::size_t p = header; p < block.size() && produced < limit; ++p) {
    for (int shift = 4; shift >= 0 && produced < limit; shift -= 4) {
      const int nibble = (block[p] >> shift) & 15;
      const int signedNibble = nibble >= 8 ? nibble - 16 : nibble;
      const int sample = Clamp16((s1[c] * coef1[c] + s2[c] * coef2[c]) / 256 + signedNibble * delta[c]);
      out.push_back(static_cast<std::int16_t>(sample));
      s2[c] = s1[c];
      s1[c] = sample;
      // Damaged data can drive the step up without end; keep it where the
      // products above stay within range, as other decoders do.
      delta[c] = std::clamp(kAdaptation[nibble] * delta[c] / 256, 16, INT32_MAX / 768);
      ++produced;
      c = (c + 1) % channels;
    }
  }
}

// --- TWaveReader

namespace {

// The size and the head of a sound file are checked before it is read
// whole: a file larger than a sound may be is refused, and one that does not
// begin as a WAV file does (RIFF ... WAVE), or holds neither an ID3 tag nor
// an MPEG audio frame's sync bits in its first 64 KB as an MP3 file does, is
// a sound without data without being read. Returns whether to read it.
bool CheckSoundFileHead(const std::string& fileName, bool wave) {
  FileReader file(fileName);
  if (file.Size() > kMaxSoundFile) ThrowFileError(fileName, "the sound file is larger than 1 GiB");
  std::vector<std::uint8_t> head(std::size_t(std::min<std::uint64_t>(file.Size(), 64 * 1024)));
  head.resize(file.Read(head.data(), head.size()));
  if (wave)
    return head.size() >= 12 && std::memcmp(head.data(), "RIFF", 4) == 0 && std::memcmp(&head[8], "WAVE", 4) == 0;
  if (head.size() >= 3 && std::memcmp(head.data(), "ID3", 3) == 0) return true;
  for (std::size_t i = 0; i + 1 < head.size(); ++i)
    if (head[i] == 0xFF && (head[i + 1] & 0xE0) == 0xE0) return true;
  return false;
}

}  // namespace

TWaveReader::TWaveReader(const std::string& fileName) : FileName(fileName) {
  const std::string ext = AsciiLower(ExtensionOf(fileName)).substr(0, 4);
  if (ext != ".mp3" && ext != ".wav") return;
  if (!FileExists(fileName)) ThrowFileError(fileName, "the file does not exist");
  if (!CheckSoundFileHead(fileName, ext == ".wav")) return;
  bytes_ = ReadFileBytes(fileName);
  if (bytes_.size() > kMaxSoundFile) ThrowFileError(fileName, "the sound file is larger than 1 GiB");
  Open();
}

TWaveReader::TWaveReader(std::vector<std::uint8_t> bytes, const std::string& fileName)
    : FileName(fileName), bytes_(std::move(bytes)) {
  if (bytes_.size() > kMaxSoundFile) ThrowFileError(fileName, "the sound file is larger than 1 GiB");
  Open();
}

TWaveReader::~TWaveReader() = default;

std::span<const std::uint8_t> TWaveReader::Data() const {
  const std::size_t offset = std::min<std::size_t>(DataOffset, bytes_.size());
  return std::span(bytes_).subspan(offset, std::min<std::size_t>(DataSize, bytes_.size() - offset));
}

void TWaveReader::Open() {
  const std::string ext = AsciiLower(ExtensionOf(FileName)).substr(0, 4);
  if (ext == ".mp3") {
    OpenMPEG(0, 0, false);
  } else if (ext == ".wav") {
    OpenWave();
  }
}

void TWaveReader::OpenMPEG(std::uint32_t offset, std::uint32_t size, bool keepWaveFields) {
  TMPEGaudio mpeg;
  TBufferStream stream(bytes_.data(), bytes_.size());
  if (!mpeg.ReadFromFile(stream)) return;  // no frames: a sound without data
  if (!keepWaveFields) {
    FormatTag = kWaveFormatMP3File;
    DataOffset = mpeg.ID3v2.Size;
    const std::int64_t data = static_cast<std::int64_t>(mpeg.FileLength) - mpeg.ID3v2.Size - mpeg.ID3v1.Size;
    DataSize = data > 0 ? static_cast<std::uint32_t>(data) : 0;
  } else {
    DataOffset = offset;
    DataSize = size;
  }
  Channels = static_cast<std::uint16_t>(mpeg.Channels());
  SampleRate = static_cast<std::uint32_t>(mpeg.SampleRate());
  BitsPerSample = 16;
  Duration = mpeg.Duration();
  // A Xing or VBRI header may claim any frame count: the count is held to 32 bits.
  SampleCount = static_cast<std::uint32_t>(std::min(std::nearbyint(SampleRate * Duration), 4294967295.0));
  SamplesPerFrame = static_cast<std::uint16_t>(mpeg.SamplesPerFrame());
  FrameSize = mpeg.FrameData.Size;
  std::uint32_t frames = mpeg.Frames();
  if (FrameSize > 0 && static_cast<std::uint64_t>(FrameSize) * frames > mpeg.FileLength) frames = mpeg.FileLength / FrameSize;
  FrameCount = static_cast<std::uint16_t>(std::min<std::uint32_t>(frames, 0xFFFF));
  BitRate = static_cast<std::uint16_t>(std::max(0, mpeg.BitRate()));
  EncoderDelayKnown = mpeg.Lame.Found;
  EncoderDelay = mpeg.Lame.EncoderDelay;
  EncoderPadding = mpeg.Lame.EncoderPadding;

  // SWF carries Layer III at 11, 22 or 44 kHz only: anything else is decoded
  // and encoded again as MP3 at the nearest of those rates.
  if (mpeg.FrameData.LayerID == kLayerIII && SWFRateCode(SampleRate) > 0) return;
  const std::uint32_t from = SampleRate;
  const std::uint32_t to = NearestSWFRate(from, true);
  const double fileSeconds = Duration;
  std::vector<std::uint8_t> data(Data().begin(), Data().end());
  TTranscoded converted = TranscodeMPEGAudio(data, to, BitRate > 0 ? BitRate : 128, FileName);
  bytes_ = std::move(converted.Bytes);
  SampleRate = 0;
  OpenMPEG(0, 0, false);
  if (SampleRate != to) ThrowFileError(FileName, "the sound could not be converted to " + std::to_string(to) + " Hz");
  SourceSampleRate = from;
  EncoderDelayKnown = true;
  EncoderDelay = static_cast<std::uint16_t>(converted.EncoderDelay);
  EncoderPadding = static_cast<std::uint16_t>(converted.EncoderPadding);
  if (Duration == 0) Duration = fileSeconds;
}

void TWaveReader::OpenWave() {
  std::vector<TRiffChunk> chunks;
  if (!ReadRiffChunks(bytes_, "WAVE", chunks)) return;  // not RIFF WAVE: a sound without data
  const TRiffChunk* fmt = FindRiffChunk(chunks, "fmt ");
  if (!fmt) ThrowFileError(FileName, "the WAVE file has no \"fmt \" chunk");
  if (fmt->Size < 16)
    ThrowFileError(FileName, "the \"fmt \" chunk has " + std::to_string(fmt->Size) + " bytes, fewer than 16");
  const std::uint8_t* f = &bytes_[fmt->Offset];
  std::uint16_t tag = LE16(f);
  const std::uint16_t channels = LE16(f + 2);
  const std::uint32_t rate = LE32(f + 4);
  const std::uint16_t blockAlign = LE16(f + 12);
  const std::uint16_t bits = LE16(f + 14);
  if (tag == 0xFFFE && fmt->Size >= 40) tag = LE16(f + 24);  // WAVE_FORMAT_EXTENSIBLE: the sub-format
  if (channels != 1 && channels != 2)
    ThrowFileError(FileName, "the sound has " + std::to_string(channels) + " channels; only mono and stereo are supported");
  // Outside this range the rate conversion would blow the data up (or shrink
  // it to nothing); no real sound file lies there.
  if (rate < 4000 || rate > 192000)
    ThrowFileError(FileName, "the sample rate of " + std::to_string(rate) + " Hz is out of range (4000 to 192000 Hz)");
  if (tag != kWaveFormatPCM && tag != kWaveFormatADPCM && tag != kWaveFormatMPEG && tag != kWaveFormatMPEGLayer3)
    ThrowFileError(FileName, "sound format " + std::to_string(tag) + " is not supported (PCM, Microsoft ADPCM or MPEG audio)");

  const TRiffChunk* data = FindRiffChunk(chunks, "data");
  const std::uint32_t dataOffset = data ? data->Offset : static_cast<std::uint32_t>(bytes_.size());
  std::uint32_t dataSize = data ? data->Size : 0;

  if (tag == kWaveFormatMPEG || tag == kWaveFormatMPEGLayer3) {
    OpenMPEG(dataOffset, dataSize, true);
    if (SampleRate != 0 && SourceSampleRate == 0) FormatTag = tag;
    return;
  }

  FormatTag = tag;
  Channels = channels;
  SampleRate = rate;
  if (tag == kWaveFormatADPCM) {
    if (blockAlign == 0) ThrowFileError(FileName, "the ADPCM block align is 0");
    if (blockAlign < 7 * channels)
      ThrowFileError(FileName, "the ADPCM block align " + std::to_string(blockAlign) + " is smaller than a block header");
    if (fmt->Size < 22) ThrowFileError(FileName, "the \"fmt \" chunk is too short for Microsoft ADPCM");
    const std::uint16_t coefCount = LE16(f + 20);
    if (coefCount < 7 || fmt->Size < 22u + 4u * coefCount)
      ThrowFileError(FileName, "the \"fmt \" chunk does not hold the ADPCM coefficients");
    ADPCM.BlockAlign = blockAlign;
    const std::uint32_t perBlock = (blockAlign - 7u * channels) * 2u / channels + 2u;
    const std::uint16_t stated = LE16(f + 18);
    ADPCM.SamplesPerBlock = static_cast<std::uint16_t>(stated >= 2 && stated <= perBlock ? stated : perBlock);
    for (std::uint16_t i = 0; i < coefCount; ++i) {
      ADPCM.Coef1.push_back(static_cast<std::int16_t>(LE16(f + 22 + 4 * i)));
      ADPCM.Coef2.push_back(static_cast<std::int16_t>(LE16(f + 24 + 4 * i)));
    }
    BitsPerSample = bits;
    const std::int64_t count = static_cast<std::int64_t>(ADPCM.SamplesPerBlock) * dataSize / blockAlign - 2;
    SampleCount = count > 0 ? static_cast<std::uint32_t>(count) : 0;
  } else {
    if (bits != 8 && bits != 16)
      ThrowFileError(FileName, std::to_string(bits) + "-bit samples are not supported (8 or 16 bits)");
    BitsPerSample = bits;
    const std::uint32_t frameBytes = channels * bits / 8u;
    dataSize -= dataSize % frameBytes;  // no half sample frame at the end
    SampleCount = dataSize / frameBytes;
  }
  DataOffset = dataOffset;
  DataSize = dataSize;
  if (Duration == 0) Duration = static_cast<double>(SampleCount) / SampleRate;
  source_ = true;
  Rewind();
  if (SWFRateCode(SampleRate) < 0) ConvertRate();
}

// Decodes everything, resamples it to the nearest rate SWF declares and
// from then on reads the result as 16-bit PCM.
void TWaveReader::ConvertRate() {
  std::vector<std::int16_t> samples;
  std::vector<std::int16_t> chunk(4096 * static_cast<std::size_t>(Channels));
  for (;;) {
    const std::size_t got = ReadFrames(chunk.data(), 4096);
    if (got == 0) break;
    samples.insert(samples.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got * Channels));
  }
  const std::uint32_t to = NearestSWFRate(SampleRate, false);
  if (static_cast<double>(samples.size()) * 2 * to / SampleRate > static_cast<double>(kMaxSoundFile))
    ThrowFileError(FileName, "the sound is too long to convert to " + std::to_string(to) + " Hz");
  const std::vector<std::int16_t> converted = ResampleAudio(samples, Channels, SampleRate, to);
  bytes_.resize(converted.size() * 2);
  for (std::size_t i = 0; i < converted.size(); ++i) {
    bytes_[2 * i] = static_cast<std::uint8_t>(converted[i] & 0xFF);
    bytes_[2 * i + 1] = static_cast<std::uint8_t>((static_cast<std::uint16_t>(converted[i]) >> 8) & 0xFF);
  }
  SourceSampleRate = SampleRate;
  SampleRate = to;
  FormatTag = kWaveFormatPCM;
  BitsPerSample = 16;
  DataOffset = 0;
  DataSize = static_cast<std::uint32_t>(bytes_.size());
  SampleCount = static_cast<std::uint32_t>(converted.size() / Channels);
  ADPCM = TADPCMFormat();
  Rewind();
}

void TWaveReader::Rewind() {
  position_ = DataOffset;
  block_ = 0;
  decoded_.clear();
  decoded_at_ = 0;
}

bool TWaveReader::AtEnd() const {
  if (!source_) return true;
  if (FormatTag == kWaveFormatADPCM)
    return block_ * ADPCM.BlockAlign >= DataSize && decoded_at_ >= decoded_.size();
  return position_ >= static_cast<std::uint64_t>(DataOffset) + DataSize;
}

bool TWaveReader::DecodeNextBlock() {
  const std::uint64_t at = block_ * ADPCM.BlockAlign;
  if (ADPCM.BlockAlign == 0 || at >= DataSize) return false;
  const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(ADPCM.BlockAlign, DataSize - at));
  decoded_.clear();
  decoded_at_ = 0;
  DecodeMSADPCMBlock(std::span(bytes_).subspan(DataOffset + at, length), Channels, ADPCM, decoded_);
  ++block_;
  return true;
}

std::size_t TWaveReader::ReadFrames(std::int16_t* out, std::size_t frames) {
  if (!source_ || Channels == 0) return 0;
  std::size_t got = 0;
  if (FormatTag == kWaveFormatADPCM) {
    while (got < frames) {
      if (decoded_at_ >= decoded_.size() && !DecodeNextBlock()) break;
      const std::size_t take = std::min((decoded_.size() - decoded_at_) / Channels, frames - got);
      std::copy_n(decoded_.begin() + static_cast<std::ptrdiff_t>(decoded_at_), take * Channels, out + got * Channels);
      decoded_at_ += take * Channels;
      got += take;
    }
    return got;
  }
  const std::uint64_t end = static_cast<std::uint64_t>(DataOffset) + DataSize;
  const std::size_t bytesPerSample = BitsPerSample / 8u;
  const std::size_t frameBytes = bytesPerSample * Channels;
  const std::size_t available = position_ < end ? static_cast<std::size_t>((end - position_) / frameBytes) : 0;
  got = std::min(frames, available);
  const std::uint8_t* p = bytes_.data() + position_;
  for (std::size_t i = 0; i < got * Channels; ++i) {
    out[i] = bytesPerSample == 1 ? static_cast<std::int16_t>((p[i] - 128) * 256)
                                 : static_cast<std::int16_t>(LE16(p + 2 * i));
  }
  position_ += got * frameBytes;
  return got;
}

void TWaveReader::FillFrames(std::int16_t* out, std::size_t frames, bool loop) {
  std::size_t got = ReadFrames(out, frames);
  while (got < frames && loop) {
    Rewind();
    const std::size_t more = ReadFrames(out + got * Channels, frames - got);
    if (more == 0) break;  // no data at all
    got += more;
  }
  std::fill(out + got * Channels, out + frames * Channels, std::int16_t{0});
}

void TWaveReader::WritePCM(BitStream& be, std::uint32_t n, bool loop, int bits) {
  if (!source_ || Channels == 0) return;
  if (bits == 0) {
    const std::uint64_t end = static_cast<std::uint64_t>(DataOffset) + DataSize;
    std::uint64_t left = n;
    for (;;) {
      const std::uint64_t take = std::min(left, position_ < end ? end - position_ : 0);
      if (take > 0) be.WriteBytes(bytes_.data() + position_, static_cast<std::size_t>(take));
      position_ += take;
      left -= take;
      if (left == 0 || !loop || DataSize == 0) break;
      Rewind();
    }
    static constexpr std::uint8_t kZeros[256] = {};
    const std::uint8_t silence = BitsPerSample == 8 ? 0x80 : 0;
    if (silence != 0) {
      for (; left > 0; --left) be.WriteByte(silence);
    }
    while (left > 0) {
      const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof kZeros));
      be.WriteBytes(kZeros, take);
      left -= take;
    }
    return;
  }
  const std::size_t frames = n / (BitsPerSample / 8u * Channels);
  std::vector<std::int16_t> samples(frames * Channels);
  FillFrames(samples.data(), frames, loop);
  EncodeSWFADPCM(be, samples.data(), frames, Channels, bits);
}

int TWaveReader::ADPCMBits(int bits) const { return bits >= 2 && bits <= 4 ? bits : 4; }

void TWaveReader::WriteADPCMBlock(BitStream& be, std::uint32_t samples, bool loop, int bits) {
  if (!source_ || Channels == 0) return;
  std::vector<std::int16_t> buffer(static_cast<std::size_t>(samples) * Channels);
  FillFrames(buffer.data(), samples, loop);
  EncodeSWFADPCM(be, buffer.data(), samples, Channels, ADPCMBits(bits));
}

void TWaveReader::WriteADPCMAll(BitStream& be, int bits) {
  if (!source_ || Channels == 0) return;
  Rewind();
  std::vector<std::int16_t> all;
  std::vector<std::int16_t> chunk(4096 * static_cast<std::size_t>(Channels));
  for (;;) {
    const std::size_t got = ReadFrames(chunk.data(), 4096);
    if (got == 0) break;
    all.insert(all.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got * Channels));
  }
  EncodeSWFADPCM(be, all.data(), all.size() / Channels, Channels, ADPCMBits(bits));
}

}  // namespace yel::media
