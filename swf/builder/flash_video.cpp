// The video character and its placement: the stream definition, the frame
// data as a VideoFrame carries it per codec, and the per-frame writing of
// frames, placements and streamed sound.
#include "swf/builder/flash_video.h"

#include <cmath>

#include "base/error.h"
#include "media/mpeg_audio.h"
#include "swf/builder/flash_movie.h"
#include "swf/format/sound_tags.h"

namespace yel::swf {

TFlashVideo::TFlashVideo(TFlashMovie* owner, const std::string& fileName)
    : TFlashVisualObject(owner), flv_(std::make_unique<media::TFLVData>(fileName)) {
  if (flv_->FrameCount == 0) ThrowFileError(fileName, "the FLV file holds no video frames");
  switch (flv_->CodecID) {
    case kVideoH263: case kVideoScreen: case kVideoVP6: case kVideoVP6Alpha: case kVideoScreen2:
      break;
    default:
      ThrowFileError(fileName, "the video codec " + std::to_string(flv_->CodecID) +
                                   " cannot go into a movie (H.263, screen video and VP6 can)");
  }
  if (flv_->FrameCount > 0xFFFF)
    ThrowFileError(fileName, "the video has " + std::to_string(flv_->FrameCount) +
                                 " frames; a movie's video holds at most 65535");
}

TFlashVideo::~TFlashVideo() = default;

int TFlashVideo::MinVersion() const {
  switch (flv_->CodecID) {
    case kVideoH263: return 6;
    case kVideoScreen: return 7;
    case kVideoVP6: case kVideoVP6Alpha: case kVideoScreen2: return 8;
    default: return 9;
  }
}

void TFlashVideo::WriteToStream(TBitsEngine& be) {
  TSWFDefineVideoStream stream;
  stream.CharacterId = CharacterId();
  stream.Codec = flv_->CodecID;
  stream.NumFrames = static_cast<std::uint16_t>(flv_->FrameCount);
  stream.Width = flv_->Width;
  stream.Height = flv_->Height;
  stream.WriteToStream(be);
}

void TFlashVideo::WriteFrameData(std::size_t index, TBitsEngine& be) const {
  const media::TVFrame& frame = flv_->VideoFrame(index);
  std::vector<std::uint8_t> data = flv_->ReadPayload(frame);
  switch (flv_->CodecID) {
    case kVideoScreen: case kVideoScreen2:
      // Players read a screen video frame after the FLV's header byte: the
      // frame's own type and the codec.
      be.WriteByte(static_cast<std::uint8_t>(frame.FrameType << 4 | flv_->CodecID));
      be.WriteBytes(data.data(), data.size());
      break;
    case kVideoVP6: case kVideoVP6Alpha:
      // The FLV's size adjustment byte is no part of the SWF's frame.
      if (data.size() > 1) be.WriteBytes(data.data() + 1, data.size() - 1);
      break;
    default:
      be.WriteBytes(data.data(), data.size());
  }
}

TFlashPlaceVideo::TFlashPlaceVideo(TFlashMovie* owner, TFlashVideo& video, std::uint16_t depth,
                                   std::uint16_t startFrame)
    : TFlashPlaceObject(owner, depth, &video), StartFrame(startFrame), video_(video) {}

int TFlashPlaceVideo::MinVersion() const { return std::max(TFlashPlaceObject::MinVersion(), video_.MinVersion()); }

void TFlashPlaceVideo::WriteSoundHead(TBitsEngine& be) {
  const media::TFLVData& flv = video_.FLV();
  const media::TSHeader& sound = flv.SoundHeader;
  static constexpr std::uint32_t kRates[4] = {5512, 11025, 22050, 44100};
  const double fps = Owner() ? Owner()->FPS() : 12;
  samples_per_frame_ = static_cast<std::uint32_t>(std::nearbyint(kRates[sound.SoundRate()] / (fps > 0 ? fps : 12)));
  samples_per_mpeg_frame_ = 0;
  carry_ = 0;
  next_audio_ = 0;
  std::unique_ptr<TSWFSoundStreamHead> head;
  if (sound.SoundFormat() == kSoundMP3) {
    head = std::make_unique<TSWFSoundStreamHead>();
    std::uint8_t bytes[4] = {static_cast<std::uint8_t>(sound.MP3Header >> 24),
                             static_cast<std::uint8_t>(sound.MP3Header >> 16),
                             static_cast<std::uint8_t>(sound.MP3Header >> 8), static_cast<std::uint8_t>(sound.MP3Header)};
    samples_per_mpeg_frame_ = static_cast<std::uint32_t>(media::DecodeFrameHeader(bytes).SamplesPerFrame());
    if (samples_per_mpeg_frame_ == 0) samples_per_mpeg_frame_ = 1152;
    head->LatencySeek = static_cast<std::uint16_t>(samples_per_frame_ % samples_per_mpeg_frame_);
  } else {
    // Nellymoser needs the second form of the head.
    head = std::make_unique<TSWFSoundStreamHead2>();
  }
  head->PlaybackSoundRate = head->StreamSoundRate = sound.SoundRate();
  head->PlaybackSoundSize = head->StreamSoundSize = sound.SoundSize();
  head->PlaybackSoundType = head->StreamSoundType = sound.SoundType();
  head->StreamSoundCompression = sound.SoundFormat();
  head->StreamSoundSampleCount = static_cast<std::uint16_t>(std::min<std::uint32_t>(samples_per_frame_, 0xFFFF));
  head->WriteToStream(be);
}

void TFlashPlaceVideo::WriteSoundBlock(TBitsEngine& be, std::uint32_t n) {
  const media::TFLVData& flv = video_.FLV();
  const std::size_t count = flv.AudioFrameCount();
  if (next_audio_ >= count) return;
  TSWFSoundStreamBlock block;
  std::vector<std::size_t> frames;
  if (flv.SoundHeader.SoundFormat() == kSoundMP3) {
    const std::uint32_t N = samples_per_mpeg_frame_;
    std::uint32_t k = (carry_ + samples_per_frame_) / N;
    if (k == 0 || n == 0) ++k;
    if (next_audio_ + k < count) {
      for (std::uint32_t i = 0; i < k; ++i) frames.push_back(next_audio_ + i);
      block.StreamFormat = kSoundMP3;
      block.SampleCount = static_cast<std::uint16_t>(std::min<std::uint32_t>(N * k, 0xFFFF));
      block.SeekSamples = static_cast<std::int16_t>(carry_);
      carry_ = (carry_ + samples_per_frame_) % N;
    }
    next_audio_ += k;
  } else {
    while (next_audio_ < count && flv.AudioFrame(next_audio_).FrameIndex <= n) frames.push_back(next_audio_++);
  }
  if (frames.empty()) return;
  block.OnDataWrite = [&flv, frames](TSWFDataObject&, TBitsEngine& out) {
    for (std::size_t index : frames) {
      std::vector<std::uint8_t> data = flv.ReadPayload(flv.AudioFrame(index));
      out.WriteBytes(data.data(), data.size());
    }
  };
  block.WriteToStream(be);
}

void TFlashPlaceVideo::WriteFrame(TBitsEngine& be, std::uint32_t f) {
  if (f < StartFrame) return;
  const std::uint32_t frames = video_.FLV().FrameCount;
  std::uint32_t n = f - StartFrame;
  if (!Loop && n >= frames) return;
  n %= std::max<std::uint32_t>(frames, 1);
  TFlashVideoFrameInfo info{f, n};
  if (OnWriteFrame) {
    OnWriteFrame(*this, be, info);
    return;
  }
  const bool first = f == StartFrame;
  TFlashPlaceObject place(Owner(), Depth());
  place.Assign(*this);
  place.SetSWFVersion(PlaceRecord().SWFVersion);
  if (first) {
    place.SetRatio(0);
    if (WithSound && video_.FLV().AudioFrameCount() > 0) WriteSoundHead(be);
  } else {
    // A move that keeps the video instance (no character: not a replacement).
    place.SetMove(true);
    place.PlaceRecord().HasCharacter = false;
    place.SetRatio(static_cast<std::uint16_t>(n));
  }
  if (WithSound && video_.FLV().AudioFrameCount() > 0) WriteSoundBlock(be, f - StartFrame);
  TSWFVideoFrame frame;
  frame.StreamID = video_.CharacterId();
  frame.FrameNum = static_cast<std::uint16_t>(n);
  frame.OnDataWrite = [this, n](TSWFDataObject&, TBitsEngine& out) { video_.WriteFrameData(n, out); };
  frame.WriteToStream(be);
  if (OnPlaceFrame) OnPlaceFrame(*this, place, info);
  place.WriteToStream(be);
}

TFlashVideo* TFlashMovie::AddVideo(const std::string& fileName) {
  return AddCharacter(std::make_unique<TFlashVideo>(this, fileName), Videos());
}

TFlashPlaceVideo* TFlashMovie::PlaceVideo(TFlashVideo* video, std::uint16_t depth) {
  if (!video) throw std::invalid_argument("PlaceVideo needs a video");
  place_videos_.push_back(std::make_unique<TFlashPlaceVideo>(this, *video, depth, FrameCount));
  RaiseMaxDepth(depth);
  return place_videos_.back().get();
}

}  // namespace yel::swf
