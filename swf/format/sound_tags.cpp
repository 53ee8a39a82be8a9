// Sound tags: reading and writing DefineSound, StartSound, StartSound2, the
// sound stream head and block, and the sound-information record.
#include "swf/format/sound_tags.h"

#include <algorithm>

namespace yel::swf {
namespace {

std::size_t RemainingIn(TBitsEngine& be) { return static_cast<std::size_t>(be.Stream().Remaining()); }

const char* FormatName(int format) {
  switch (format) {
    case kSoundUncompressed: return "uncompressed";
    case kSoundADPCM: return "ADPCM";
    case kSoundMP3: return "MP3";
    case kSoundUncompressedLE: return "uncompressed little-endian";
    case kSoundNellymoser: return "Nellymoser";
    default: return "format";
  }
}

const char* RateName(int rate) {
  static const char* kNames[] = {"5.5 kHz", "11 kHz", "22 kHz", "44 kHz"};
  return kNames[rate & 3];
}

std::string Describe(int format, int rate, bool size16, bool stereo) {
  return std::string(FormatName(format)) + " " + RateName(rate) + (size16 ? " 16-bit" : " 8-bit") +
         (stereo ? " stereo" : " mono");
}

}  // namespace

// --- DefineSound

void TSWFDefineSound::Assign(const TBasedSWFObject& source) {
  TSWFDataObject::Assign(source);
  const auto& src = AssignSource<TSWFDefineSound>(source);
  SoundId = src.SoundId;
  SoundFormat = src.SoundFormat;
  SoundRate = src.SoundRate;
  SoundSize = src.SoundSize;
  SoundType = src.SoundType;
  SampleCount = src.SampleCount;
  SeekSamples = src.SeekSamples;
}

int TSWFDefineSound::MinVersion() const {
  if (SoundFormat == kSoundMP3 || SoundFormat == kSoundUncompressedLE) return 4;
  return SoundFormat == kSoundNellymoser ? 6 : 1;
}

void TSWFDefineSound::ReadFromStream(TBitsEngine& be) {
  SoundId = be.ReadWord();
  const std::uint8_t flags = be.ReadByte();
  SoundFormat = flags >> 4;
  SoundRate = (flags >> 2) & 3;
  SoundSize = (flags >> 1) & 1;
  SoundType = flags & 1;
  SampleCount = be.ReadDWord();
  if (SoundFormat == kSoundMP3) SeekSamples = be.ReadWord();
  ReadData(be, RemainingIn(be));
}

void TSWFDefineSound::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(SoundId);
  be.WriteByte(static_cast<std::uint8_t>((SoundFormat & 15) << 4 | (SoundRate & 3) << 2 | SoundSize << 1 | SoundType));
  be.WriteDWord(SampleCount);
  if (SoundFormat == kSoundMP3) be.WriteWord(SeekSamples);
  WriteData(be);
}

std::string TSWFDefineSound::Summary() const {
  return "id " + std::to_string(SoundId) + ", " + Describe(SoundFormat, SoundRate, SoundSize, SoundType) + ", " +
         std::to_string(SampleCount) + " samples, data " + std::to_string(DataSize()) + " bytes";
}

// --- sound information

void TSWFSoundInfo::Write(TBitsEngine& be) {
  HasEnvelope = HasEnvelope && !Envelope.empty();
  be.WriteByte(static_cast<std::uint8_t>(SyncStop << 5 | SyncNoMultiple << 4 | HasEnvelope << 3 | HasLoops << 2 |
                                         HasOutPoint << 1 | HasInPoint));
  if (HasInPoint) be.WriteDWord(in_point_);
  if (HasOutPoint) be.WriteDWord(out_point_);
  if (HasLoops) be.WriteWord(loop_count_);
  if (HasEnvelope) {
    const std::size_t count = std::min<std::size_t>(Envelope.size(), 255);
    be.WriteByte(static_cast<std::uint8_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
      be.WriteDWord(Envelope[i].Pos44);
      be.WriteWord(Envelope[i].LeftLevel);
      be.WriteWord(Envelope[i].RightLevel);
    }
  }
}

void TSWFSoundInfo::Read(TBitsEngine& be) {
  const std::uint8_t flags = be.ReadByte();
  SyncStop = flags & 0x20;
  SyncNoMultiple = flags & 0x10;
  HasEnvelope = flags & 0x08;
  HasLoops = flags & 0x04;
  HasOutPoint = flags & 0x02;
  HasInPoint = flags & 0x01;
  if (HasInPoint) SetInPoint(be.ReadDWord());
  if (HasOutPoint) SetOutPoint(be.ReadDWord());
  if (HasLoops) SetLoopCount(be.ReadWord());
  Envelope.clear();
  if (HasEnvelope) {
    const std::uint8_t count = be.ReadByte();
    for (int i = 0; i < count && RemainingIn(be) >= 8; ++i) {
      TSWFSoundEnvelope point;
      point.Pos44 = be.ReadDWord();
      point.LeftLevel = be.ReadWord();
      point.RightLevel = be.ReadWord();
      Envelope.push_back(point);
    }
  }
}

// --- StartSound, StartSound2

void TSWFStartSound::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFStartSound>(source);
  SoundId = src.SoundId;
  SoundInfo = src.SoundInfo;
}

void TSWFStartSound::ReadFromStream(TBitsEngine& be) {
  SoundId = be.ReadWord();
  SoundInfo.Read(be);
}

void TSWFStartSound::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(SoundId);
  SoundInfo.Write(be);
}

std::string TSWFStartSound::Summary() const {
  std::string text = "sound " + std::to_string(SoundId);
  if (SoundInfo.SyncStop) text += ", stop";
  if (SoundInfo.HasLoops) text += ", " + std::to_string(SoundInfo.LoopCount()) + " loops";
  return text;
}

void TSWFStartSound2::Assign(const TBasedSWFObject& source) {
  TSWFStartSound::Assign(source);
  SoundClassName = AssignSource<TSWFStartSound2>(source).SoundClassName;
}

void TSWFStartSound2::ReadFromStream(TBitsEngine& be) {
  SoundClassName = be.ReadString();
  SoundInfo.Read(be);
}

void TSWFStartSound2::WriteTagBody(TBitsEngine& be) {
  be.WriteString(SoundClassName, true, false);
  SoundInfo.Write(be);
}

std::string TSWFStartSound2::Summary() const { return "sound class \"" + SoundClassName + "\""; }

// --- SoundStreamHead, SoundStreamHead2

void TSWFSoundStreamHead::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFSoundStreamHead>(source);
  PlaybackSoundRate = src.PlaybackSoundRate;
  PlaybackSoundSize = src.PlaybackSoundSize;
  PlaybackSoundType = src.PlaybackSoundType;
  StreamSoundCompression = src.StreamSoundCompression;
  StreamSoundRate = src.StreamSoundRate;
  StreamSoundSize = src.StreamSoundSize;
  StreamSoundType = src.StreamSoundType;
  StreamSoundSampleCount = src.StreamSoundSampleCount;
  LatencySeek = src.LatencySeek;
}

int TSWFSoundStreamHead::MinVersion() const { return StreamSoundCompression == kSoundMP3 ? 4 : 1; }

int TSWFSoundStreamHead2::MinVersion() const {
  if (StreamSoundCompression == kSoundMP3) return 4;
  return StreamSoundCompression == kSoundNellymoser ? 6 : 3;
}

void TSWFSoundStreamHead::ReadFromStream(TBitsEngine& be) {
  const std::uint8_t playback = be.ReadByte();
  PlaybackSoundRate = (playback >> 2) & 3;
  PlaybackSoundSize = (playback >> 1) & 1;
  PlaybackSoundType = playback & 1;
  const std::uint8_t stream = be.ReadByte();
  StreamSoundCompression = stream >> 4;
  StreamSoundRate = (stream >> 2) & 3;
  StreamSoundSize = (stream >> 1) & 1;
  StreamSoundType = stream & 1;
  StreamSoundSampleCount = be.ReadWord();
  if (StreamSoundCompression == kSoundMP3 && BodySize > 4) LatencySeek = be.ReadWord();
}

void TSWFSoundStreamHead::WriteTagBody(TBitsEngine& be) {
  be.WriteByte(static_cast<std::uint8_t>((PlaybackSoundRate & 3) << 2 | PlaybackSoundSize << 1 | PlaybackSoundType));
  be.WriteByte(static_cast<std::uint8_t>((StreamSoundCompression & 15) << 4 | (StreamSoundRate & 3) << 2 |
                                         StreamSoundSize << 1 | StreamSoundType));
  be.WriteWord(StreamSoundSampleCount);
  if (StreamSoundCompression == kSoundMP3) be.WriteWord(LatencySeek);
}

std::string TSWFSoundStreamHead::Summary() const {
  return Describe(StreamSoundCompression, StreamSoundRate, StreamSoundSize, StreamSoundType) + ", " +
         std::to_string(StreamSoundSampleCount) + " samples per frame";
}

// --- SoundStreamBlock

void TSWFSoundStreamBlock::Assign(const TBasedSWFObject& source) {
  TSWFDataObject::Assign(source);
  const auto& src = AssignSource<TSWFSoundStreamBlock>(source);
  StreamFormat = src.StreamFormat;
  SampleCount = src.SampleCount;
  SeekSamples = src.SeekSamples;
}

void TSWFSoundStreamBlock::ReadFromStream(TBitsEngine& be) {
  if (StreamFormat == kSoundMP3) {
    SampleCount = be.ReadWord();
    SeekSamples = static_cast<std::int16_t>(be.ReadWord());
  }
  ReadData(be, RemainingIn(be));
}

void TSWFSoundStreamBlock::WriteTagBody(TBitsEngine& be) {
  if (StreamFormat == kSoundMP3) {
    be.WriteWord(SampleCount);
    be.WriteWord(static_cast<std::uint16_t>(SeekSamples));
  }
  WriteData(be);
}

std::string TSWFSoundStreamBlock::Summary() const {
  std::string text = "data " + std::to_string(DataSize()) + " bytes";
  if (StreamFormat == kSoundMP3) text += ", " + std::to_string(SampleCount) + " samples, seek " + std::to_string(SeekSamples);
  return text;
}

}  // namespace yel::swf
