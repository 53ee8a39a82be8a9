// The sound character: loading through the WAV and MP3 readers, the event
// sound, the stream head and the stream block of each frame.
#include "swf/builder/flash_sound.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "base/paths.h"
#include "media/mpeg_audio.h"
#include "media/sound_reader.h"
#include "swf/builder/flash_movie.h"
#include "swf/format/sound_tags.h"

namespace yel::swf {

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
  if (reader_) reader_->Rewind();
  samples_written_ = 0;
  next_frame_ = 0;
  blocks_written_ = 0;
  seek_carry_ = SeekSamples;
  frame_bytes_ = frame_samples_ * (Stereo ? 2 : 1) * (Is16Bit ? 2 : 1);
}

void TFlashSound::WriteStreamBlock(TBitsEngine& be) {
  if (Format == 2) {
    WriteMP3Block(be);
    return;
  }
  if (!reader_ || !reader_->HasSource() || frame_samples_ == 0) return;
  if (reader_->AtEnd() && !Loop) return;
  TSWFSoundStreamBlock block;
  const bool adpcmSource = Format == 1;
  block.OnDataWrite = [this, adpcmSource](TSWFDataObject&, TBitsEngine& body) {
    if (adpcmSource) {
      reader_->WriteADPCMBlock(body, frame_samples_, Loop, wave_compress_bits_);
    } else {
      reader_->WritePCM(body, frame_bytes_, Loop, wave_compress_bits_);
    }
  };
  block.WriteToStream(be);
}

// MP3 blocks carry whole frames, as many as keep the data from falling a
// whole frame behind the timeline; the carry is the samples the timeline is
// ahead of the data.
void TFlashSound::WriteMP3Block(TBitsEngine& be) {
  const std::int64_t n = SamplesPerFrame;
  const std::int64_t s = frame_samples_;
  if (frames_.empty() || n == 0 || (!Loop && next_frame_ >= frames_.size())) return;
  std::int64_t c = seek_carry_;
  std::int64_t count = std::llabs(c) > n ? 0 : std::max<std::int64_t>(0, (c + s) / n);
  if (blocks_written_ > 0) {
    c = static_cast<std::int64_t>(blocks_written_) * s - static_cast<std::int64_t>(samples_written_);
    if (std::llabs(c) > n) {
      c = 0;
      count = 0;
    }
  } else {
    c = SeekSamples;
  }
  ++blocks_written_;

  if (count > 0) {
    // Whole frames only: without Loop the last block holds what is left.
    std::vector<std::size_t> picked;
    std::uint64_t bytes = 0;
    for (std::int64_t i = 0; i < count; ++i) {
      if (next_frame_ >= frames_.size()) {
        if (!Loop) break;
        next_frame_ = 0;
      }
      picked.push_back(next_frame_);
      bytes += frames_[next_frame_].Length;
      ++next_frame_;
    }
    count = static_cast<std::int64_t>(picked.size());
    TStream& out = be.Stream();
    be.FlushLastByte(true);
    WriteTagHeader(out, tag::SoundStreamBlock, bytes + 4, true);
    be.WriteWord(static_cast<std::uint16_t>(std::min<std::int64_t>(count * n, 0xFFFF)));
    be.WriteWord(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::clamp<std::int64_t>(c, -32768, 32767))));
    for (std::size_t index : picked) out.Write(mp3_.data() + frames_[index].Offset, frames_[index].Length);
  } else {
    be.FlushLastByte(true);
    WriteTagHeader(be.Stream(), tag::SoundStreamBlock, 4, false);
    be.WriteDWord(0);
  }
  samples_written_ += static_cast<std::uint64_t>(count * n);
  seek_carry_ = static_cast<std::int64_t>(blocks_written_) * s - static_cast<std::int64_t>(samples_written_);
  if (Loop && next_frame_ >= frames_.size()) next_frame_ = 0;
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
