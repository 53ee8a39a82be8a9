// The FLV index: files made by ffmpeg index to the frames and timestamps
// that ffprobe reports; small hand-made files pin down the header, picture
// size and sound rules; damaged files give errors naming the file or are
// indexed up to the damage.
#include "media/flv_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "base/error.h"
#include "base/files.h"
#include "tests/testing/temp_dir.h"

namespace yel::media {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  EXPECT_EQ(::pclose(pipe), 0) << command;
  return out;
}

struct Packet {
  char stream;  // 'v' or 'a'
  std::uint32_t pts;
  bool operator==(const Packet&) const = default;
};

// The packets of an FLV as ffprobe reports them (time base 1 ms).
std::vector<Packet> Probe(const std::string& file) {
  std::istringstream lines(RunCommand(std::string(YEL_FFPROBE) + " -v error -show_entries packet=codec_type,pts -of csv=p=0 '" +
                               file + "'"));
  std::vector<Packet> packets;
  std::string line;
  while (std::getline(lines, line)) {
    auto comma = line.find(',');
    if (comma == std::string::npos) continue;
    packets.push_back({line[0] == 'v' ? 'v' : 'a', static_cast<std::uint32_t>(std::stoul(line.substr(comma + 1)))});
  }
  return packets;
}

// --- files made by ffmpeg

TEST(FLVDataTest, FFmpegFilesIndexAsFFprobeReports) {
  struct Case {
    const char* name;
    const char* video;
    const char* size;
    const char* audio;  // empty: none
    std::uint8_t codec;
    std::uint16_t width, height;
    std::uint8_t soundFormat;  // of usable audio; 0: no audio frames
  };
  const Case cases[] = {
      {"h263-qcif", "flv1", "176x144", "", 2, 176, 144, 0},
      {"h263-custom", "flv1", "100x60", "libmp3lame -ar 22050", 2, 100, 60, 2},
      {"screen", "flashsv", "64x48", "nellymoser -ar 22050", 3, 64, 48, 6},
      {"screen-adpcm", "flashsv", "40x30", "adpcm_swf -ar 22050", 3, 40, 30, 0},
  };
  testing::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir / (std::string(c.name) + ".flv");
    std::string command = std::string(YEL_FFMPEG) + " -v error -y -f lavfi -i testsrc=size=" + c.size +
                          ":rate=12:duration=1";
    if (*c.audio) command += " -f lavfi -i sine=frequency=440:duration=1";
    command += std::string(" -c:v ") + c.video;
    if (*c.audio) command += std::string(" -c:a ") + c.audio;
    command += " '" + file + "'";
    RunCommand(command);
    TFLVData flv(file);
    std::vector<Packet> packets = Probe(file), video, audio;
    for (const auto& p : packets) (p.stream == 'v' ? video : audio).push_back(p);
    ASSERT_EQ(flv.FrameCount, video.size());
    ASSERT_EQ(flv.VideoFrames.size(), video.size());
    for (std::size_t i = 0; i < video.size(); ++i) EXPECT_EQ(flv.VideoFrame(i).Timestamp, video[i].pts) << i;
    EXPECT_EQ(flv.FrameCount, 12u);
    EXPECT_EQ(flv.CodecID, c.codec);
    EXPECT_EQ(flv.FrameType, 1);  // a key frame first
    EXPECT_EQ(flv.Width, c.width);
    EXPECT_EQ(flv.Height, c.height);
    EXPECT_TRUE(flv.HasVideo);
    EXPECT_EQ(flv.HasAudio, *c.audio != 0);
    if (c.soundFormat) {
      EXPECT_EQ(flv.SoundHeader.SoundFormat(), c.soundFormat);
      ASSERT_EQ(flv.AudioFrameCount(), audio.size());
      for (std::size_t i = 0; i < audio.size(); ++i) EXPECT_EQ(flv.AudioFrame(i).Timestamp, audio[i].pts) << i;
      // An audio frame knows how many video frames came before it.
      for (const auto& frame : flv.AudioFrames) {
        std::uint32_t before = 0;
        for (const auto& v : flv.VideoFrames) before += v.Offset < frame.Offset;
        EXPECT_EQ(frame.FrameIndex, before);
      }
    } else {
      EXPECT_EQ(flv.AudioFrameCount(), 0u);
    }
    if (c.soundFormat == 2) {
      EXPECT_EQ(flv.SoundHeader.MP3Header >> 21, 0x7FFu);  // an MPEG frame sync
    }
    // ffmpeg writes the metadata.
    ASSERT_NE(flv.MetaData, nullptr);
    ASSERT_NE(flv.MetaValue(kMetaWidth), nullptr);
    EXPECT_EQ(flv.MetaValue(kMetaWidth)->AsInteger(), c.width);
    EXPECT_EQ(flv.MetaValue(kMetaFrameRate)->AsInteger(), 12);
    EXPECT_EQ(flv.MetaValue(kMetaVideoCodecId)->AsInteger(), c.codec);
    EXPECT_EQ(flv.MetaValue(kMetaKeyFrames), nullptr);
    // The payload of each frame is where the index says.
    Bytes file_bytes = ReadFileBytes(file);
    for (const auto& frame : flv.VideoFrames) {
      ASSERT_LE(frame.Offset + frame.Size, file_bytes.size());
      EXPECT_EQ(file_bytes[frame.Offset - 1] & 0x0F, c.codec);
      EXPECT_EQ(flv.ReadPayload(frame), Bytes(file_bytes.begin() + frame.Offset,
                                              file_bytes.begin() + frame.Offset + frame.Size));
    }
  }
}

// --- hand-made files

class FlvFile {
 public:
  explicit FlvFile(std::uint8_t flags = 5, std::uint32_t headerSize = 9) {
    bytes_ = {'F', 'L', 'V', 1, flags};
    Put(headerSize, 4);
    bytes_.resize(headerSize, 0xEE);
    Put(0, 4);
  }
  FlvFile& Tag(std::uint8_t type, std::uint32_t timestamp, const Bytes& payload, std::uint32_t claimed = 0) {
    std::size_t start = bytes_.size();
    bytes_.push_back(type);
    Put(claimed ? claimed : static_cast<std::uint32_t>(payload.size()), 3);
    Put(timestamp & 0xFFFFFF, 3);
    bytes_.push_back(static_cast<std::uint8_t>(timestamp >> 24));
    Put(0, 3);
    bytes_.insert(bytes_.end(), payload.begin(), payload.end());
    Put(static_cast<std::uint32_t>(bytes_.size() - start), 4);
    return *this;
  }
  Bytes& bytes() { return bytes_; }
  std::string Save(const testing::TempDir& dir, const std::string& name) {
    WriteFileAtomically(dir / name, bytes_);
    return dir / name;
  }

 private:
  void Put(std::uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  Bytes bytes_;
};

// A video payload: the header byte, then fields packed most significant bit
// first.
class BitPayload {
 public:
  explicit BitPayload(std::uint8_t header) : bytes_{header} {}
  BitPayload& Put(std::uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) {
      if (bit_ % 8 == 0) bytes_.push_back(0);
      if (value >> i & 1) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> (bit_ % 8));
      ++bit_;
    }
    return *this;
  }
  Bytes Sized(std::size_t size) const {
    Bytes b = bytes_;
    b.resize(std::max(size, b.size()), 0x55);
    return b;
  }

 private:
  Bytes bytes_;
  int bit_ = 0;
};

// An H.263 picture header: start code, version, reference, size code.
BitPayload H263(std::uint8_t header, std::uint32_t sizeCode) {
  BitPayload p(header);
  p.Put(1, 17).Put(0, 5).Put(0, 8).Put(sizeCode, 3);
  return p;
}

Bytes Payload(std::initializer_list<std::uint8_t> head, std::size_t size) {
  Bytes b(head);
  b.resize(size, 0x55);
  return b;
}

TEST(FLVDataTest, HeaderPictureSizeAndSoundRules) {
  testing::TempDir dir;
  // Header size 13: four bytes skipped. H.263 with picture size code 2.
  // Picture start code and version (17 + 5 bits), reference (8), code 2.
  FlvFile h263(5, 13);
  h263.Tag(9, 0, H263(0x12, 2).Put(0xFFFF, 16).Sized(1000));
  h263.Tag(8, 0, Payload({0x2E, 0xFF, 0xFB, 0x90, 0x64}, 418));
  h263.Tag(9, 83, Payload({0x22}, 10));
  TFLVData flv(h263.Save(dir, "h263.flv"));
  EXPECT_EQ(flv.CodecID, 2);
  EXPECT_EQ(flv.FrameType, 1);
  EXPECT_EQ(flv.Width, 352);
  EXPECT_EQ(flv.Height, 288);
  ASSERT_EQ(flv.FrameCount, 2u);
  EXPECT_EQ(flv.VideoFrame(0).Size, 999u);
  EXPECT_EQ(flv.VideoFrame(0).Offset, 13u + 4 + 11 + 1);
  EXPECT_EQ(flv.VideoFrame(1).Timestamp, 83u);
  EXPECT_EQ(flv.VideoFrame(1).FrameType, 2);
  ASSERT_EQ(flv.AudioFrameCount(), 1u);
  EXPECT_EQ(flv.AudioFrame(0).Size, 417u);
  EXPECT_EQ(flv.AudioFrame(0).Offset, 13u + 4 + 11 + 1000 + 4 + 11 + 1);
  EXPECT_EQ(flv.AudioFrame(0).FrameIndex, 1u);
  EXPECT_EQ(&flv.AudioFrame(5), &flv.AudioFrame(0));  // taken modulo the count
  EXPECT_EQ(flv.SoundHeader.SoundFormat(), 2);
  EXPECT_EQ(flv.SoundHeader.SoundRate(), 3);
  EXPECT_TRUE(flv.SoundHeader.SoundSize());
  EXPECT_FALSE(flv.SoundHeader.SoundType());
  EXPECT_EQ(flv.SoundHeader.MP3Header, 0xFFFB9064u);
  EXPECT_FALSE(flv.Truncated);

  // Screen video whose first 16 bits are 0x3140: width 0x140.
  FlvFile screen(1);
  screen.Tag(9, 0, Payload({0x13, 0x31, 0x40, 0x30, 0xF0}, 20));
  TFLVData sv(screen.Save(dir, "screen.flv"));
  EXPECT_EQ(sv.Width, 320);
  EXPECT_EQ(sv.Height, 240);
  EXPECT_FALSE(sv.HasAudio);

  // Custom H.263 size (code 1: 16 bits each) and a timestamp extension.
  FlvFile custom(1);
  custom.Tag(9, 0x01000010, H263(0x12, 1).Put(1024, 16).Put(1000, 16).Sized(30));
  TFLVData c(custom.Save(dir, "custom.flv"));
  EXPECT_EQ(c.Width, 1024);
  EXPECT_EQ(c.Height, 1000);
  EXPECT_EQ(c.VideoFrame(0).Timestamp, 0x01000010u);
}

TEST(FLVDataTest, DamagedFiles) {
  testing::TempDir dir;
  auto error = [&](const std::string& path) {
    try {
      TFLVData flv(path);
    } catch (const Error& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  // Not an FLV, another version, a header that claims too much, a missing
  // file, an empty video tag: errors naming the file.
  WriteFileAtomically(dir / "text.flv", std::string("hello, world"));
  FlvFile v2;
  v2.bytes()[3] = 2;
  FlvFile longHeader;
  longHeader.bytes()[8] = 200;
  FlvFile empty;
  empty.Tag(9, 0, {});
  const std::pair<std::string, const char*> refused[] = {
      {dir / "text.flv", "not an FLV"},
      {v2.Save(dir, "v2.flv"), "version 2"},
      {longHeader.Save(dir, "header.flv"), "200 bytes"},
      {dir / "missing.flv", "cannot open"},
      {empty.Save(dir, "empty.flv"), "holds no data"},
  };
  for (const auto& [path, message] : refused) {
    std::string text = error(path);
    EXPECT_NE(text.find(path), std::string::npos) << text;
    EXPECT_NE(text.find(message), std::string::npos) << text;
  }

  // A file cut inside its second video tag: the tag is cut at the end of the
  // file; cut inside a tag header: the tags before it.
  FlvFile cut(1);
  cut.Tag(9, 0, Payload({0x12}, 100));
  cut.Tag(9, 83, Payload({0x22}, 100));
  cut.bytes().resize(cut.bytes().size() - 4 - 60);
  TFLVData partial(cut.Save(dir, "cut.flv"));
  EXPECT_TRUE(partial.Truncated);
  ASSERT_EQ(partial.FrameCount, 2u);
  EXPECT_EQ(partial.VideoFrame(1).Size, 39u);
  EXPECT_EQ(partial.ReadPayload(partial.VideoFrame(1)).size(), 39u);
  cut.bytes().resize(9 + 4 + 11 + 100 + 4 + 5);
  TFLVData headerCut(cut.Save(dir, "cut2.flv"));
  EXPECT_TRUE(headerCut.Truncated);
  EXPECT_EQ(headerCut.FrameCount, 1u);

  // A tag claiming far more than the file holds allocates nothing for it.
  FlvFile huge(1);
  huge.Tag(9, 0, Payload({0x12}, 40), 0xFFFFFF);
  TFLVData claimed(huge.Save(dir, "huge.flv"));
  EXPECT_TRUE(claimed.Truncated);
  EXPECT_EQ(claimed.VideoFrame(0).Size, 43u);  // all the file holds after the header byte
  FlvFile script(1);
  script.Tag(18, 0, Bytes{2, 0, 10, 'o', 'n', 'M', 'e', 't', 'a', 'D', 'a', 't', 'a', 8, 0, 0, 0, 1, 0, 5, 'w', 'i', 'd'},
             0xFFFFF0);
  TFLVData scriptCut(script.Save(dir, "script.flv"));
  EXPECT_EQ(scriptCut.MetaData, nullptr);

  // An unknown codec is recorded (the builder refuses it); audio in a format
  // the builder cannot use gives no audio frames.
  FlvFile unknown(5);
  unknown.Tag(9, 0, Payload({0x17, 1, 2, 3}, 20));
  unknown.Tag(8, 0, Payload({0x1E}, 20));
  TFLVData u(unknown.Save(dir, "unknown.flv"));
  EXPECT_EQ(u.CodecID, 7);
  EXPECT_EQ(u.Width, 0);
  EXPECT_EQ(u.FrameCount, 1u);
  EXPECT_EQ(u.AudioFrameCount(), 0u);
}

TEST(FLVDataTest, MetadataValues) {
  // onMetaData with a number, a boolean, a string, a date, a nested object,
  // keyframes arrays, and an entry of an unknown type that ends the list.
  Bytes script = {2, 0, 10, 'o', 'n', 'M', 'e', 't', 'a', 'D', 'a', 't', 'a', 8, 0, 0, 0, 0};
  auto name = [&](const std::string& n) {
    script.push_back(0);
    script.push_back(static_cast<std::uint8_t>(n.size()));
    script.insert(script.end(), n.begin(), n.end());
  };
  auto number = [&](double v) {
    script.push_back(0);
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 7; i >= 0; --i) script.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
  };
  name("Width"), number(319.6);
  name("canSeekToEnd"), script.insert(script.end(), {1, 1});
  name("metadatacreator"), script.insert(script.end(), {2, 0, 3, 'y', 'e', 'l'});
  name("creationdate"), number(0), script.insert(script.end(), {0, 0});
  script[script.size() - 11] = 11;  // turn the number into a date
  name("keyframes"), script.push_back(3);
  name("times"), script.insert(script.end(), {10, 0, 0, 0, 2}), number(0), number(1.5);
  name("filepositions"), script.insert(script.end(), {10, 0, 0, 0, 2}), number(13), number(900);
  name(""), script.push_back(9);
  name("width"), number(640);
  name("odd"), script.push_back(0x0D);
  name("height"), number(480);
  script.insert(script.end(), {0, 0, 9});
  FlvFile file(1);
  file.Tag(18, 0, script);
  file.Tag(9, 0, Payload({0x14, 0, 0, 0, 0, 0}, 20));  // VP6: size from the metadata
  testing::TempDir dir;
  TFLVData flv(file.Save(dir, "meta.flv"));
  ASSERT_NE(flv.MetaData, nullptr);
  EXPECT_EQ(flv.MetaValue(kMetaWidth)->AsInteger(), 640);  // the last of the two
  EXPECT_EQ(flv.MetaValue(kMetaCanSeekToEnd)->AsInteger(), 1);
  EXPECT_EQ(flv.MetaValue(kMetaMetadataCreator)->AsString(), "yel");
  EXPECT_EQ(flv.MetaValue(kMetaCreationDate)->DataType, 11);
  auto* keyFrames = dynamic_cast<const TFLVKeyFramesObjectData*>(flv.MetaValue(kMetaKeyFrames));
  ASSERT_NE(keyFrames, nullptr);
  EXPECT_EQ(keyFrames->Times, (std::vector<double>{0, 1.5}));
  EXPECT_EQ(keyFrames->FilePositions, (std::vector<double>{13, 900}));
  EXPECT_EQ(flv.MetaValue(kMetaHeight), nullptr);  // after the unknown entry
  EXPECT_EQ(flv.CodecID, 4);
  EXPECT_EQ(flv.Width, 640);
  EXPECT_EQ(flv.Height, 0);
}

}  // namespace
}  // namespace yel::media
