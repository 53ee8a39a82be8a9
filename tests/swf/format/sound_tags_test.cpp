// Sound tags: field layout, the sound-information flags, versions, byte-exact
// round trips and the renumbering of sound ids.
#include <gtest/gtest.h>

#include <vector>

#include "swf/format/sound_tags.h"
#include "swf/format/tag_factory.h"
#include "tests/swf/format/test_movie.h"

namespace yel::swf {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Write(TBasedSWFObject& tag) { return testing::WriteTag(tag); }

Bytes Body(const Bytes& tag) { return Bytes(tag.begin() + ((tag[0] & 0x3F) == 0x3F ? 6 : 2), tag.end()); }

std::unique_ptr<TSWFObject> Read(const Bytes& bytes) {
  TBufferStream stream(bytes.data(), bytes.size());
  TBitsEngine be(stream);
  const std::uint16_t word = be.ReadWord();
  std::uint32_t length = word & 0x3F;
  if (length == 0x3F) length = be.ReadDWord();
  auto tag = CreateTag(word >> 6);
  tag->BodySize = length;
  ReadTagBody(be, *tag, length);
  return tag;
}

TEST(DefineSound, FormatByteSeekSamplesAndVersion) {
  TSWFDefineSound mp3;
  mp3.SoundId = 3;
  mp3.SoundFormat = kSoundMP3;
  mp3.SoundRate = 3;
  mp3.SoundSize = mp3.SoundType = true;
  mp3.SampleCount = 0x01020304;
  mp3.SeekSamples = 0x0506;
  mp3.SetData(Bytes{0xAA, 0xBB});
  EXPECT_EQ(Body(Write(mp3)), (Bytes{3, 0, 0x2F, 4, 3, 2, 1, 6, 5, 0xAA, 0xBB}));
  EXPECT_EQ(mp3.MinVersion(), 4);
  mp3.SoundFormat = kSoundUncompressedLE;
  EXPECT_EQ(Body(Write(mp3)), (Bytes{3, 0, 0x3F, 4, 3, 2, 1, 0xAA, 0xBB}));
  EXPECT_EQ(mp3.MinVersion(), 4);
  mp3.SoundFormat = kSoundNellymoser;
  EXPECT_EQ(mp3.MinVersion(), 6);
  mp3.SoundFormat = kSoundADPCM;
  EXPECT_EQ(mp3.MinVersion(), 1);
  const Bytes bytes = Write(mp3);
  EXPECT_EQ(Write(*Read(bytes)), bytes);
}

TEST(StartSound, SoundInformation) {
  TSWFStartSound stop;
  stop.SoundId = 7;
  stop.SoundInfo.SyncStop = true;
  EXPECT_EQ(Body(Write(stop)), (Bytes{7, 0, 0x20}));
  stop.SoundInfo.HasEnvelope = true;  // with no points: no flag, no count
  EXPECT_EQ(Body(Write(stop)), (Bytes{7, 0, 0x20}));

  TSWFStartSound full;
  full.SoundId = 1;
  full.SoundInfo.SyncNoMultiple = true;
  full.SoundInfo.SetInPoint(0x10);
  full.SoundInfo.SetOutPoint(0x20);
  full.SoundInfo.SetLoopCount(3);
  full.SoundInfo.HasEnvelope = true;
  full.SoundInfo.Envelope = {{0x44, 0x8000, 0x10}};
  const Bytes bytes = Write(full);
  EXPECT_EQ(Body(bytes), (Bytes{1, 0, 0x1F, 0x10, 0, 0, 0, 0x20, 0, 0, 0, 3, 0, 1, 0x44, 0, 0, 0, 0, 0x80, 0x10, 0}));
  EXPECT_EQ(Write(*Read(bytes)), bytes);

  // A loop count of 0 read from a file clears HasLoops: written again without it.
  const Bytes zeroLoops = {static_cast<std::uint8_t>((15 << 6 | 5) & 0xFF), static_cast<std::uint8_t>((15 << 6 | 5) >> 8),
                           2, 0, 0x04, 0, 0};
  auto again = Read(zeroLoops);
  EXPECT_FALSE(static_cast<TSWFStartSound&>(*again).SoundInfo.HasLoops);
  EXPECT_EQ(Body(Write(*again)), (Bytes{2, 0, 0}));

  TSWFStartSound2 byName;
  byName.SoundClassName = "Bell";
  byName.SoundInfo.SyncStop = true;
  const Bytes named = Write(byName);
  EXPECT_EQ(Body(named), (Bytes{'B', 'e', 'l', 'l', 0, 0x20}));
  EXPECT_EQ(Write(*Read(named)), named);
}

TEST(SoundStreamHead, FlagBytesLatencyAndVersions) {
  TSWFSoundStreamHead2 head;
  head.PlaybackSoundRate = head.StreamSoundRate = 2;
  head.PlaybackSoundSize = head.StreamSoundSize = true;
  head.PlaybackSoundType = head.StreamSoundType = true;
  head.StreamSoundCompression = kSoundMP3;
  head.StreamSoundSampleCount = 1837;
  head.LatencySeek = 0x0102;
  const Bytes bytes = Write(head);
  EXPECT_EQ(Body(bytes), (Bytes{0x0B, 0x2B, 0x2D, 0x07, 0x02, 0x01}));
  EXPECT_EQ(Write(*Read(bytes)), bytes);
  EXPECT_EQ(head.MinVersion(), 4);
  head.StreamSoundCompression = kSoundADPCM;
  EXPECT_EQ(head.MinVersion(), 3);
  EXPECT_EQ(Body(Write(head)).size(), 4u);
  head.StreamSoundCompression = kSoundNellymoser;
  EXPECT_EQ(head.MinVersion(), 6);
  TSWFSoundStreamHead first;
  first.StreamSoundCompression = kSoundADPCM;
  EXPECT_EQ(first.MinVersion(), 1);
}

TEST(SoundStreamBlock, Mp3WordsAndByteExactRoundTrip) {
  TSWFSoundStreamBlock block;
  block.StreamFormat = kSoundMP3;
  block.SampleCount = 1152;
  block.SeekSamples = -5;
  block.SetData(Bytes{0xFF, 0xFB, 0x90, 0x00});
  const Bytes bytes = Write(block);
  EXPECT_EQ(Body(bytes), (Bytes{0x80, 0x04, 0xFB, 0xFF, 0xFF, 0xFB, 0x90, 0x00}));
  // Read from a file, the words stay inside Data and come back unchanged.
  auto read = Read(bytes);
  EXPECT_EQ(static_cast<TSWFSoundStreamBlock&>(*read).DataSize(), 8u);
  EXPECT_EQ(Write(*read), bytes);
}

}  // namespace
}  // namespace yel::swf
