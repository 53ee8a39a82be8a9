// Bodies of DefineVideoStream and VideoFrame.
#include "swf/format/video_tags.h"

#include "base/error.h"

namespace yel::swf {

void TSWFDefineVideoStream::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFDefineVideoStream>(source);
  CharacterId = src.CharacterId;
  NumFrames = src.NumFrames;
  Width = src.Width;
  Height = src.Height;
  VideoFlagsDeblocking = src.VideoFlagsDeblocking;
  VideoFlagsSmoothing = src.VideoFlagsSmoothing;
  Codec = src.Codec;
}

void TSWFDefineVideoStream::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(CharacterId);
  be.WriteWord(NumFrames);
  be.WriteWord(Width);
  be.WriteWord(Height);
  be.WriteByte(static_cast<std::uint8_t>((VideoFlagsDeblocking & 7) << 1 | (VideoFlagsSmoothing ? 1 : 0)));
  be.WriteByte(Codec);
}

void TSWFDefineVideoStream::ReadFromStream(TBitsEngine& be) {
  if (be.Stream().Remaining() < 10)
    throw Error("DefineVideoStream body of " + std::to_string(be.Stream().Remaining()) + " bytes; it needs 10");
  std::uint64_t end = be.Stream().Position() + BodySize;
  CharacterId = be.ReadWord();
  NumFrames = be.ReadWord();
  Width = be.ReadWord();
  Height = be.ReadWord();
  std::uint8_t flags = be.ReadByte();
  VideoFlagsDeblocking = (flags >> 1) & 7;
  VideoFlagsSmoothing = flags & 1;
  Codec = be.ReadByte();
  be.Stream().Seek(end);
}

std::string TSWFDefineVideoStream::Summary() const {
  return "video " + std::to_string(CharacterId) + ", " + std::to_string(NumFrames) + " frames, " +
         std::to_string(Width) + " x " + std::to_string(Height) + ", codec " + std::to_string(Codec);
}

void TSWFVideoFrame::Assign(const TBasedSWFObject& source) {
  TSWFDataObject::Assign(source);
  const auto& src = AssignSource<TSWFVideoFrame>(source);
  StreamID = src.StreamID;
  FrameNum = src.FrameNum;
}

void TSWFVideoFrame::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(StreamID);
  be.WriteWord(FrameNum);
  WriteData(be);
}

void TSWFVideoFrame::ReadFromStream(TBitsEngine& be) {
  if (be.Stream().Remaining() < 4)
    throw Error("VideoFrame body of " + std::to_string(be.Stream().Remaining()) + " bytes; it needs at least 4");
  StreamID = be.ReadWord();
  FrameNum = be.ReadWord();
  ReadData(be, BodySize - 4);
}

std::string TSWFVideoFrame::Summary() const {
  return "video " + std::to_string(StreamID) + ", frame " + std::to_string(FrameNum) + ", " +
         std::to_string(DataSize()) + " bytes";
}

}  // namespace yel::swf
