// Video tags: DefineVideoStream (the video character) and VideoFrame (one
// compressed frame of it; the data is opaque here and may be streamed into
// the body through OnDataWrite).
#pragma once

#include <cstdint>
#include <string>

#include "swf/format/swf_object.h"

namespace yel::swf {

// Video codec ids of DefineVideoStream and of FLV video tags.
inline constexpr std::uint8_t kVideoH263 = 2, kVideoScreen = 3, kVideoVP6 = 4, kVideoVP6Alpha = 5,
                              kVideoScreen2 = 6;

class TSWFDefineVideoStream : public TSWFObject {
 public:
  TSWFDefineVideoStream() : TSWFObject(tag::DefineVideoStream) {}
  void Assign(const TBasedSWFObject& source) override;
  // 7 for screen video, otherwise 6.
  int MinVersion() const override { return Codec == kVideoScreen ? 7 : 6; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t CharacterId = 0;
  std::uint16_t NumFrames = 0;
  std::uint16_t Width = 0;
  std::uint16_t Height = 0;
  std::uint8_t VideoFlagsDeblocking = 0;  // 0..7
  bool VideoFlagsSmoothing = false;
  std::uint8_t Codec = 0;
};

class TSWFVideoFrame : public TSWFDataObject {
 public:
  TSWFVideoFrame() : TSWFDataObject(tag::VideoFrame) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 6; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t StreamID = 0;
  std::uint16_t FrameNum = 0;
};

}  // namespace yel::swf
