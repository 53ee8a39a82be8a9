// TFlashVideo embeds the video of an FLV file as a DefineVideoStream
// character; TFlashPlaceVideo shows it: at every frame of the timeline that
// holds it (the movie's or a sprite's) from its start it writes the next
// VideoFrame, a placement whose ratio is the video frame's number and, on
// request, the FLV's sound as that timeline's sound stream.
// Frame data is read from the FLV file while the movie is written, one frame
// at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "media/flv_data.h"
#include "swf/builder/flash_object.h"
#include "swf/builder/flash_place_object.h"
#include "swf/format/video_tags.h"

namespace yel::swf {

class TFlashVideo : public TFlashVisualObject {
 public:
  // Examines the file at once (yel::Error naming it when it cannot be read,
  // holds no video, or its codec cannot go into a movie).
  TFlashVideo(TFlashMovie* owner, const std::string& fileName);
  ~TFlashVideo() override;

  // By codec: H.263 6, screen video 7, VP6 8.
  int MinVersion() const override;
  void WriteToStream(TBitsEngine& be) override;

  const media::TFLVData& FLV() const { return *flv_; }
  // Writes the data of the FLV's video frame `index` as a VideoFrame holds it.
  void WriteFrameData(std::size_t index, TBitsEngine& be) const;

 private:
  std::unique_ptr<media::TFLVData> flv_;
};

// What a video placement is writing.
struct TFlashVideoFrameInfo {
  std::uint32_t MovieFrame = 0;  // frame of the timeline
  std::uint32_t VideoFrame = 0;  // frame of the video (its ratio)
};

class TFlashPlaceVideo : public TFlashPlaceObject {
 public:
  TFlashPlaceVideo(TFlashMovie* owner, TFlashVideo& video, std::uint16_t depth, std::uint16_t startFrame);

  int MinVersion() const override;
  // A placement writes nothing where it stands in the object list: it writes
  // its frames as the timeline's frames end (WriteFrame).
  void WriteToStream(TBitsEngine&) override {}
  // Writes what frame f of the timeline needs, before its ShowFrame.
  void WriteFrame(TBitsEngine& be, std::uint32_t f);

  TFlashVideo& Video() const { return video_; }

  std::uint16_t StartFrame;
  // After the last video frame the video starts again.
  bool Loop = true;
  // The FLV's sound (MP3 or Nellymoser) is streamed with the video.
  bool WithSound = false;
  // Called after each VideoFrame, before the frame's placement is written.
  std::function<void(TFlashPlaceVideo& sender, TFlashPlaceObject& place, const TFlashVideoFrameInfo& info)>
      OnPlaceFrame;
  // When set, it replaces everything the placement writes for a frame.
  std::function<void(TFlashPlaceVideo& sender, TBitsEngine& be, const TFlashVideoFrameInfo& info)> OnWriteFrame;

 private:
  void WriteSoundHead(TBitsEngine& be);
  void WriteSoundBlock(TBitsEngine& be, std::uint32_t n);

  TFlashVideo& video_;
  // Sound state: samples per movie frame and per MPEG frame, the seek carry
  // and the next audio frame.
  std::uint32_t samples_per_frame_ = 0;
  std::uint32_t samples_per_mpeg_frame_ = 0;
  std::uint32_t carry_ = 0;
  std::size_t next_audio_ = 0;
};

}  // namespace yel::swf
