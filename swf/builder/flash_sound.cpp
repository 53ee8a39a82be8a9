// The sound character: loading through the WAV and MP3 readers, the event
// sound, the stream head and the stream block of each frame.
#include "swf/builder/flash_sound.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "base/error.h"
#include "base/paths.h"
#include "media/mp3_transcoder.h"
#include "media/mpeg_audio.h"
#include "media/sound_reader.h"
#include "swf/builder/flash_movie.h"
#include "swf/format/sound_tags.h"

namespace yel::swf {

namespace {

// Looping music is decoded whole before it is encoded again; past this size
// it loops as its frames are.
constexpr std::uint64_t kMaxLoopPCMBytes = 1ull << 30;
// Frames of looping music before its end at which the copied frames give
// way to the loop encoded again.
constexpr std::int64_t kJoinMargin = 3;

}  // namespace

TFlashSound::TFlashSound(TFlashMovie* owner, const std::string& fileName) : TFlashIDObject(owner) {
  FileName = fileName;
  if (!fileName.empty() && FileExists(fileName)) LoadFromFile(fileName);
  SetWaveCompressBits(4);
}

TFlashSound::~TFlashSound() = default;

void TFlashSound::SetWaveCompressBits(std::uint8_t bits) {
  wave_compress_bits_ = bits > 5 ? 5 : (bits == 1 ? 0 : bits);
}

bool TFlashSound::HasData() const { return Format == 2 ? !frames_.empty() : reader_ && reader_->HasSource(); }

void TFlashSound::LoadFromFile(const std::string& fileName) {
  FileName = fileName;
  auto reader = std::make_unique<media::TWaveReader>(fileName);
  reader_.reset();
  mp3_.clear();
  frames_.clear();
  gapless_ = false;
  loop_encoder_.reset();
  Duration = reader->Duration;
  switch (reader->FormatTag) {
    case media::kWaveFormatPCM: Format = 0; break;
    case media::kWaveFormatADPCM: Format = 1; break;
    case media::kWaveFormatMPEG:
    case media::kWaveFormatMPEGLayer3:
    case media::kWaveFormatMP3File:
      Format = 2;
      SamplesPerFrame = reader->SamplesPerFrame;
      FrameSize = reader->FrameSize;
      FrameCount = reader->FrameCount;
      break;
    default: break;
  }
  SampleRate = reader->SampleRate;
  switch (SampleRate / 5000) {
    case 1: RateCode = 0; break;
    case 2: RateCode = 1; break;
    case 3: case 4: RateCode = 2; break;
    case 8: RateCode = 3; break;
    default: break;
  }
  SourceBits = static_cast<std::uint8_t>(reader->BitsPerSample);
  Is16Bit = Format != 0 || SourceBits != 8;
  Stereo = reader->Channels == 2;
  DataOffset = reader->DataOffset;
  DataSize = reader->DataSize;
  SampleCount = reader->SampleCount;
  if (Format == 2) {
    // The audio data is kept and cut into whole frames; the reader goes.
    const auto data = reader->Data();
    mp3_.assign(data.begin(), data.end());
    frames_ = media::ListMPEGFrames(mp3_);
    // A Xing, Info or VBRI header frame decodes to silence: it is left out.
    if (!frames_.empty() && media::IsVBRHeaderFrame(std::span(mp3_).subspan(frames_[0].Offset, frames_[0].Length)))
      frames_.erase(frames_.begin());
    // The event sound counts the samples of the frames it holds.
    SampleCount = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(frames_.size()) * SamplesPerFrame, 0xFFFFFFFFu));
    bit_rate_ = reader->BitRate;
    // Decoded, the frames hold the encoder's delay, the sound, and padding
    // to the end of the last frame; with the decoder's own delay the sound
    // starts lead_ samples in.
    const std::int64_t n = SamplesPerFrame;
    if (reader->EncoderDelayKnown && n > 0) {
      lead_ = reader->EncoderDelay + media::kMPEGDecoderDelay;
      pass_length_ = static_cast<std::int64_t>(frames_.size()) * n - reader->EncoderDelay - reader->EncoderPadding;
      if (pass_length_ > 0) {
        gapless_ = true;
        // The join stays a few frames clear of the end: where the sound
        // stops, the encoder switched to short blocks, whose windows do not
        // overlap cleanly with the long ones the loop starts with.
        join_frame_ = static_cast<std::size_t>(std::clamp<std::int64_t>(
            (pass_length_ + lead_) / n - kJoinMargin, 0, static_cast<std::int64_t>(frames_.size())));
        join_at_ = static_cast<std::int64_t>(join_frame_) * n - lead_;
      }
    }
  } else {
    reader_ = std::move(reader);
  }
}

TSWFStartSound* TFlashSound::StartSound() { return Owner() ? Owner()->StartSound(CharacterId()) : nullptr; }

void TFlashSound::FillStreamHead(TSWFSoundStreamHead& head, float fps) {
  const bool adpcmFromPCM = PCMSource() && wave_compress_bits_ != 0;
  head.StreamSoundCompression = adpcmFromPCM ? kSoundADPCM : Format;
  head.StreamSoundRate = RateCode;
  head.StreamSoundSize = Format != 0 || wave_compress_bits_ != 0 ? true : Is16Bit;
  head.StreamSoundType = Stereo;
  head.PlaybackSoundRate = head.StreamSoundRate;
  head.PlaybackSoundSize = head.StreamSoundSize;
  head.PlaybackSoundType = head.StreamSoundType;
  frame_samples_ = fps > 0 ? static_cast<std::uint32_t>(std::min(65535.0, std::trunc(SampleRate / static_cast<double>(fps)))) : 0;
  head.StreamSoundSampleCount = static_cast<std::uint16_t>(frame_samples_);
  head.LatencySeek = 0;
  fps_ = fps;
  loop_encoder_.reset();
  if (reader_) reader_->Rewind();
  samples_written_ = 0;
  next_frame_ = 0;
  blocks_written_ = 0;
  seek_carry_ = SeekSamples;
}

void TFlashSound::WriteStreamBlock(TBitsEngine& be) {
  if (Format == 2) {
    WriteMP3Block(be);
    return;
  }
  if (!reader_ || !reader_->HasSource() || frame_samples_ == 0) return;
  if (reader_->AtEnd() && !Loop) return;
  // Each block holds the samples that bring the sound to the timeline's
  // place after its frame, so that the sound neither falls behind nor runs
  // ahead however the rate divides by the frame rate.
  const auto samples = static_cast<std::uint32_t>(TimelineSamples(blocks_written_ + 1) - TimelineSamples(blocks_written_));
  ++blocks_written_;
  TSWFSoundStreamBlock block;
  const bool adpcmSource = Format == 1;
  const std::uint32_t bytes = samples * (Stereo ? 2 : 1) * (Is16Bit ? 2 : 1);
  block.OnDataWrite = [this, adpcmSource, samples, bytes](TSWFDataObject&, TBitsEngine& body) {
    if (adpcmSource) {
      reader_->WriteADPCMBlock(body, samples, Loop, wave_compress_bits_);
    } else {
      reader_->WritePCM(body, bytes, Loop, wave_compress_bits_);
    }
  };
  block.WriteToStream(be);
}

std::uint64_t TFlashSound::TimelineSamples(std::uint64_t blocks) const {
  if (fps_ <= 0) return blocks * frame_samples_;
  return static_cast<std::uint64_t>(std::floor(static_cast<double>(blocks) * SampleRate / fps_ + 1e-9));
}

std::span<const std::uint8_t> TFlashSound::NextStreamFrame() {
  if (loop_encoder_) {
    frame_buffer_ = loop_encoder_->NextFrame();
    return frame_buffer_;
  }
  const bool joining = Loop && gapless_;
  if (next_frame_ < (joining ? join_frame_ : frames_.size())) {
    const media::TMPEGFrame& frame = frames_[next_frame_++];
    return std::span(mp3_).subspan(frame.Offset, frame.Length);
  }
  if (!Loop || frames_.empty()) return {};
  if (joining && StartLoopEncoder()) return NextStreamFrame();
  // Without a known delay and padding the frames loop as they are.
  gapless_ = false;
  if (next_frame_ >= frames_.size()) next_frame_ = 0;
  return NextStreamFrame();
}

// The pass of the sound, decoded without the delay and padding, encoded
// again as an endless loop that continues where the copied frames end.
bool TFlashSound::StartLoopEncoder() {
  const int channels = Stereo ? 2 : 1;
  const std::int64_t n = SamplesPerFrame;
  if (static_cast<std::uint64_t>(frames_.size()) * n * channels * 2 > kMaxLoopPCMBytes) return false;
  try {
    media::TDecodedAudio pcm;
    {
      std::vector<std::uint8_t> data;
      for (const media::TMPEGFrame& frame : frames_)
        data.insert(data.end(), mp3_.begin() + frame.Offset, mp3_.begin() + frame.Offset + frame.Length);
      pcm = media::DecodeMPEGAudio(data, false, FileName, (frames_.size() + 1) * n * channels);
    }
    if (pcm.Rate != SampleRate || pcm.Channels != channels) return false;
    const std::int64_t decoded = static_cast<std::int64_t>(pcm.Samples.size() / channels);
    const std::int64_t length = std::min(pass_length_, decoded - lead_);
    if (length <= 0) return false;
    // The pass is cut out of the decoded sound where it is, not copied: a
    // song of minutes is tens of megabytes.
    std::vector<std::int16_t> pass = std::move(pcm.Samples);
    pass.resize(static_cast<std::size_t>((lead_ + length) * channels));
    pass.erase(pass.begin(), pass.begin() + lead_ * channels);
    std::optional<std::int64_t> joinAt;
    if (join_frame_ > 0) joinAt = join_at_;
    loop_encoder_ = std::make_unique<media::TMP3LoopEncoder>(std::move(pass), channels, SampleRate,
                                                             bit_rate_ > 0 ? bit_rate_ : 128, joinAt, FileName);
    return true;
  } catch (const Error&) {
    return false;
  }
}

// MP3 blocks carry whole frames, as many as keep the data from falling a
// whole frame behind the timeline; the carry is the samples the timeline is
// ahead of the data.
void TFlashSound::WriteMP3Block(TBitsEngine& be) {
  const std::int64_t n = SamplesPerFrame;
  if (frames_.empty() || n == 0 || (!Loop && next_frame_ >= frames_.size())) return;
  const auto now = static_cast<std::int64_t>(TimelineSamples(blocks_written_));
  const auto next = static_cast<std::int64_t>(TimelineSamples(blocks_written_ + 1));
  std::int64_t c = seek_carry_;
  std::int64_t count = std::llabs(c) > n ? 0 : std::max<std::int64_t>(0, (c + next - now) / n);
  if (blocks_written_ > 0) {
    c = now - static_cast<std::int64_t>(samples_written_);
    if (std::llabs(c) > n) {
      c = 0;
      count = 0;
    }
  } else {
    c = SeekSamples;
  }
  ++blocks_written_;

  // Whole frames only: without Loop the last block holds what is left.
  std::vector<std::uint8_t> data;
  std::int64_t got = 0;
  for (; got < count; ++got) {
    const std::span<const std::uint8_t> frame = NextStreamFrame();
    if (frame.empty()) break;
    data.insert(data.end(), frame.begin(), frame.end());
  }
  count = got;
  if (count > 0) {
    TStream& out = be.Stream();
    be.FlushLastByte(true);
    WriteTagHeader(out, tag::SoundStreamBlock, data.size() + 4, true);
    be.WriteWord(static_cast<std::uint16_t>(std::min<std::int64_t>(count * n, 0xFFFF)));
    be.WriteWord(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::clamp<std::int64_t>(c, -32768, 32767))));
    out.Write(data.data(), data.size());
  } else {
    be.FlushLastByte(true);
    WriteTagHeader(be.Stream(), tag::SoundStreamBlock, 4, false);
    be.WriteDWord(0);
  }
  samples_written_ += static_cast<std::uint64_t>(count * n);
  seek_carry_ = static_cast<std::int64_t>(TimelineSamples(blocks_written_)) - static_cast<std::int64_t>(samples_written_);
}

void TFlashSound::WriteToStream(TBitsEngine& be) {
  TSWFDefineSound tag;
  tag.SoundId = CharacterId();
  tag.SoundFormat = PCMSource() && wave_compress_bits_ != 0 ? kSoundADPCM : Format;
  tag.SoundRate = RateCode;
  tag.SoundSize = Format != 0 || wave_compress_bits_ != 0 ? true : Is16Bit;
  tag.SoundType = Stereo;
  tag.SampleCount = SampleCount;
  if (Format == 2) tag.SeekSamples = SeekSamples;
  tag.OnDataWrite = [this](TSWFDataObject&, TBitsEngine& body) {
    if (Format == 2) {
      for (const auto& frame : frames_) body.WriteBytes(mp3_.data() + frame.Offset, frame.Length);
    } else if (reader_ && Format == 1) {
      reader_->WriteADPCMAll(body, wave_compress_bits_);
    } else if (reader_) {
      reader_->Rewind();
      reader_->WritePCM(body, reader_->DataSize, false, wave_compress_bits_);
    }
  };
  tag.WriteToStream(be);
}

}  // namespace yel::swf
