// MP3 examination, the WAV reader, SWF ADPCM encoding, Microsoft ADPCM
// decoding (against ffmpeg's decoder) and the conversion of rates SWF cannot
// declare.
#include "media/sound_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "base/bit_stream.h"
#include "base/error.h"
#include "media/mpeg_audio.h"
#include "tests/testing/largest_allocation.h"
#include "tests/testing/sound_fixtures.h"
#include "tests/testing/temp_dir.h"

namespace yel::media {
namespace {

using namespace yel::testing;
using Bytes = std::vector<std::uint8_t>;

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

TMPEGaudio Examine(const std::string& file) {
  TMPEGaudio mpeg;
  TBufferStream stream(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
  mpeg.ReadFromFile(stream);
  return mpeg;
}

std::string Id3v2(int major, const std::string& frames, std::uint32_t claim = 0) {
  const std::uint32_t size = claim ? claim : static_cast<std::uint32_t>(frames.size());
  std::string tag = {'I', 'D', '3', static_cast<char>(major), 0, 0};
  for (int shift : {21, 14, 7, 0}) tag.push_back(static_cast<char>((size >> shift) & 0x7F));
  return tag + frames;
}

std::string Id3Frame(const std::string& id, const std::string& text) {
  std::string f = id;
  const std::uint32_t n = static_cast<std::uint32_t>(text.size() + 1);
  for (int shift : {24, 16, 8, 0}) f.push_back(static_cast<char>((n >> shift) & 0xFF));
  f += std::string(2, '\0') + '\0' + text;
  return f;
}

TEST(MPEGFrameHeader, LengthsAndSamplesPerFrame) {
  struct Case {
    std::uint8_t b1, b2, b3;
    int length, samples, rate;
  } cases[] = {
      {0xFB, 0x90, 0x00, 417, 1152, 44100},  // MPEG 1 Layer III 128 kbit/s
      {0xFB, 0x92, 0x00, 418, 1152, 44100},  // the same with padding
      {0xFB, 0x98, 0x00, 576, 1152, 32000},  // 32 kHz
      {0xF3, 0xE4, 0xC0, 480, 576, 24000},   // MPEG 2 Layer III 24 kHz 160 kbit/s
      {0xFD, 0x90, 0x00, 522, 1152, 44100},  // Layer II 160 kbit/s
  };
  for (const auto& c : cases) {
    const std::uint8_t h[4] = {0xFF, c.b1, c.b2, c.b3};
    ASSERT_TRUE(IsFrameHeader(h));
    const TMPEGFrameHeader d = DecodeFrameHeader(h);
    EXPECT_EQ(d.FrameLength(), c.length) << int(c.b2);
    EXPECT_EQ(d.SamplesPerFrame(), c.samples);
    EXPECT_EQ(d.SampleRate(), c.rate);
  }
  const std::uint8_t freeFormat[4] = {0xFF, 0xFB, 0x00, 0x00}, badRate[4] = {0xFF, 0xFB, 0x9C, 0x00};
  EXPECT_FALSE(IsFrameHeader(freeFormat));
  EXPECT_FALSE(IsFrameHeader(badRate));
  EXPECT_FALSE(Examine(MpegFrame(0xFB, 0x00, 0x00, 400) + MpegFrame(0xFB, 0x00, 0x00, 400) + std::string(3000, 'x')).FrameData.Found);
}

TEST(TMPEGaudio, TagsFramesAndDuration) {
  const std::string v2 = Id3v2(3, Id3Frame("TIT2", "Song") + Id3Frame("TRCK", "7/12") + Id3Frame("TCON", "(17)Rock") +
                                      std::string(20, '\0'));
  std::string v1 = "TAG" + std::string("Title") + std::string(25, ' ') + std::string(30, ' ') + std::string(30, ' ') +
                   "2001" + std::string(28, ' ') + '\0' + '\5' + '\x11';
  ASSERT_EQ(v1.size(), 128u);
  // A lone header at the start that no frame follows is passed over.
  const std::string file = v2 + MpegFrame(0xFB, 0x90, 0x00, 5) + CbrFrames(100) + v1;
  const TMPEGaudio m = Examine(file);
  ASSERT_TRUE(m.FrameData.Found);
  EXPECT_EQ(m.ID3v2.Size, v2.size());
  EXPECT_EQ(m.ID3v2.Title, "Song");
  EXPECT_EQ(m.ID3v2.Track, 7);
  EXPECT_EQ(m.ID3v2.Genre, "Rock");
  EXPECT_TRUE(m.ID3v1.Exists);
  EXPECT_EQ(m.ID3v1.VersionID, 2);
  EXPECT_EQ(m.ID3v1.Title, "Title");
  EXPECT_EQ(m.ID3v1.Track, 5);
  EXPECT_EQ(m.FrameData.Position, 5u);
  EXPECT_EQ(m.FrameData.Size, 417);
  EXPECT_EQ(m.SampleRate(), 44100);
  EXPECT_EQ(m.BitRate(), 128);
  EXPECT_EQ(m.Frames(), (100u * 417 + 128) / 417);
  EXPECT_NEAR(m.Duration(), (100.0 * 417 + 128) * 8 / 128000, 1e-9);

  // ID3v2.4: skipped by its size, frames not read; a size beyond the file is no size.
  const TMPEGaudio v24 = Examine(Id3v2(4, Id3Frame("TIT2", "Song")) + CbrFrames(10));
  EXPECT_TRUE(v24.FrameData.Found);
  EXPECT_EQ(v24.ID3v2.Title, "");
  EXPECT_GT(v24.ID3v2.Size, 10u);
  const TMPEGaudio huge = Examine(Id3v2(3, "", 1 << 26) + CbrFrames(10));
  EXPECT_EQ(huge.ID3v2.Size, 0u);
  EXPECT_TRUE(huge.FrameData.Found);
}

TEST(TMPEGaudio, XingHeaderGivesFramesAndAverageBitRate) {
  std::string first = MpegFrame(0xFB, 0x90, 0x00, 417);
  first.replace(36, 4, "Xing");
  const std::string counts = {0, 0, 0, 7, 0, 0, 0x01, 0x00, 0, 0, 0, 0};  // flags, 256 frames, bytes below
  first.replace(40, 8, counts.substr(0, 8));
  const std::uint32_t bytes = 256 * 300;  // 300 bytes a frame on average
  for (int i = 0; i < 4; ++i) first[48 + i] = static_cast<char>((bytes >> (24 - 8 * i)) & 0xFF);
  const TMPEGaudio m = Examine(first + CbrFrames(20));
  ASSERT_TRUE(m.VBR.Found);
  EXPECT_EQ(m.Frames(), 256u);
  EXPECT_EQ(m.BitRate(), static_cast<int>(std::nearbyint(300.0 * 44100 / 144 / 1000)));
  EXPECT_NEAR(m.Duration(), 144.0 * 256 * 8 / 44100, 1e-9);
}

// A header frame (Xing or Info, the fields its flags announce, then the
// LAME tag) is recognised as such, and the tag's 12-bit encoder delay and
// padding are read wherever the flags put it; a VBRI frame is a header frame
// too; a frame of sound is not.
TEST(TMPEGaudio, HeaderFramesAndTheLameTag) {
  struct Case {
    const char* id;
    std::uint8_t flags;
    std::size_t tagAt;  // from the "Xing"/"Info" word
  };
  for (const Case c : {Case{"Info", 0x0F, 120}, Case{"Xing", 0x03, 16}, Case{"Info", 0x05, 112}}) {
    std::string first = MpegFrame(0xFB, 0x90, 0x00, 417);
    first.replace(36, 4, c.id);
    first[43] = static_cast<char>(c.flags);
    first.replace(36 + c.tagAt, 9, "LAME3.100");
    // Delay 0x240 (576) and padding 0x34E (846), 12 bits each.
    first[36 + c.tagAt + 21] = 0x24, first[36 + c.tagAt + 22] = 0x03, first[36 + c.tagAt + 23] = 0x4E;
    const TMPEGaudio m = Examine(first + CbrFrames(20));
    EXPECT_TRUE(m.FrameData.HeaderFrame) << c.id << c.tagAt;
    EXPECT_TRUE(m.Lame.Found) << c.tagAt;
    EXPECT_EQ(m.Lame.EncoderDelay, 576) << c.tagAt;
    EXPECT_EQ(m.Lame.EncoderPadding, 846) << c.tagAt;
  }
  std::string vbri = MpegFrame(0xFB, 0x90, 0x00, 417);
  vbri.replace(36, 4, "VBRI");
  const TMPEGaudio v = Examine(vbri + CbrFrames(20));
  EXPECT_TRUE(v.FrameData.HeaderFrame);
  EXPECT_FALSE(v.Lame.Found);
  const TMPEGaudio plain = Examine(CbrFrames(20));
  EXPECT_FALSE(plain.FrameData.HeaderFrame);
  EXPECT_FALSE(plain.Lame.Found);
}

TEST(ListMPEGFrames, WholeFramesAcrossPaddingAndGarbage) {
  const std::string data = MpegFrame(0xFB, 0x90, 0, 417) + MpegFrame(0xFB, 0x92, 0, 418) + "garbage\xFF\xFB" +
                           CbrFrames(3) + MpegFrame(0xFB, 0x90, 0, 200);  // the last one is cut short
  const auto frames = ListMPEGFrames(B(data));
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_EQ(frames[1].Offset, 417u);
  EXPECT_EQ(frames[1].Length, 418u);
  EXPECT_EQ(frames[2].Offset, 417u + 418 + 9);
  EXPECT_EQ(frames[4].Offset + frames[4].Length, data.size() - 200);
}

TEST(TWaveReader, DescribesPcm) {
  TWaveReader r(B(MakeWav(PcmFormat(2, 44100, 16), std::string(176400, '\0'))), "one.wav");
  EXPECT_EQ(r.FormatTag, kWaveFormatPCM);
  EXPECT_EQ(r.SampleCount, 44100u);
  EXPECT_DOUBLE_EQ(r.Duration, 1.0);
  EXPECT_EQ(r.DataOffset, 44u);
  EXPECT_TRUE(r.HasSource());
}

TEST(TWaveReader, WritePCMPadsOrLoopsAtTheEnd) {
  std::string data;
  for (int i = 0; i < 600; ++i) data.push_back(static_cast<char>(i % 251 + 1));
  for (bool loop : {false, true}) {
    TWaveReader r(B(MakeWav(PcmFormat(1, 22050, 8), data)), "short.wav");
    TMemoryStream out;
    BitStream be(out);
    r.WritePCM(be, 1000, loop, 0);
    ASSERT_EQ(out.Size(), 1000u);
    const std::string got(reinterpret_cast<const char*>(out.Data()), 1000);
    EXPECT_EQ(got.substr(0, 600), data);
    EXPECT_EQ(got.substr(600), loop ? data.substr(0, 400) : std::string(400, '\x80')) << loop;
  }
}

TEST(EncodeSWFADPCM, CodeSizeAndInitialSamples) {
  // 8-bit samples 128 and 255 enter as 0 and 32512; the unit starts with the
  // code size (4 bits: 2) and the packet with the first sample in 16 bits.
  TWaveReader r(B(MakeWav(PcmFormat(1, 22050, 8), std::string("\x80\xFF", 2))), "two.wav");
  TMemoryStream out;
  BitStream be(out);
  r.WritePCM(be, 2, false, 4);
  BitStream in(out);
  out.Seek(0);
  EXPECT_EQ(in.ReadBits(2), 2u);
  EXPECT_EQ(in.ReadSBits(16), 0);
  TWaveReader high(B(MakeWav(PcmFormat(1, 22050, 8), std::string("\xFF\x80", 2))), "two.wav");
  TMemoryStream out2;
  BitStream be2(out2);
  high.WritePCM(be2, 2, false, 5);
  out2.Seek(0);
  BitStream in2(out2);
  EXPECT_EQ(in2.ReadBits(2), 3u);
  EXPECT_EQ(in2.ReadSBits(16), 32512);
  EXPECT_EQ(in2.ReadBits(6), 63u);  // |0 - 32512| needs the largest index a 6-bit field holds
}

TEST(TWaveReader, BadFiles) {
  TempDir dir;
  const std::string adpcmNoAlign = [] {
    std::string fmt = PcmFormat(1, 22050, 4, 2);
    fmt[12] = fmt[13] = 0;  // block align 0
    PutLE(fmt, 32, 2);
    PutLE(fmt, 500, 2);
    PutLE(fmt, 7, 2);
    fmt += std::string(28, '\0');
    return MakeWav(fmt, std::string(100, '\0'));
  }();
  struct Case {
    const char* name;
    std::string content;
    const char* error;  // null: read without error
  } cases[] = {
      {"short-fmt.wav", MakeWav(PcmFormat(1, 22050, 16).substr(0, 14), std::string(10, '\0')), "fewer than 16"},
      {"no-align.wav", adpcmNoAlign, "block align is 0"},
      {"six.wav", MakeWav(PcmFormat(6, 48000, 16), std::string(120, '\0')), "6 channels"},
      {"deep.wav", MakeWav(PcmFormat(2, 44100, 24), std::string(120, '\0')), "24-bit"},
      {"float.wav", MakeWav(PcmFormat(1, 44100, 32, 3), std::string(120, '\0')), "format 3"},
      {"empty.wav", "", nullptr},
      {"empty.mp3", "", nullptr},
      {"text.wav", "not a riff file at all", nullptr},
      {"noise.mp3", std::string(5000, '\x55'), nullptr},
  };
  for (const auto& c : cases) {
    const std::string path = dir.Write(c.name, c.content);
    if (c.error) {
      try {
        TWaveReader r(path);
        ADD_FAILURE() << c.name << " was accepted";
      } catch (const yel::Error& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
      }
    } else {
      TWaveReader r(path);
      EXPECT_EQ(r.SampleRate, 0u) << c.name;
      EXPECT_FALSE(r.HasSource()) << c.name;
    }
  }
  // A data chunk that claims more than the file holds is read as far as it goes.
  TWaveReader lying(B(MakeWav(PcmFormat(2, 22050, 16), std::string(1002, '\0'), 0x7FFFFFF0)), "lying.wav");
  EXPECT_EQ(lying.DataSize, 1000u);
  EXPECT_EQ(lying.SampleCount, 250u);
}

// Music files are judged by their size and head before they are read: a
// file larger than 1 GiB is refused, and one of 900 MB (sparse) that is
// neither WAV nor MP3 is a sound without data; neither is read whole.
TEST(TWaveReader, HugeFilesAreJudgedByTheirHead) {
  TempDir dir;
  const struct {
    const char* name;
    long long size;
    const char* error;  // null: a sound without data
  } cases[] = {
      {"huge.mp3", 1536ll << 20, "larger than 1 GiB"},
      {"huge.wav", 1536ll << 20, "larger than 1 GiB"},
      {"zeros.mp3", 900ll << 20, nullptr},
      {"zeros.wav", 900ll << 20, nullptr},
  };
  for (const auto& c : cases) {
    const std::string path = dir.Write(c.name, "");
    ASSERT_EQ(::truncate(path.c_str(), c.size), 0);
    const auto largest = LargestAllocation([&] {
      if (c.error) {
        try {
          TWaveReader r(path);
          ADD_FAILURE() << c.name << " was accepted";
        } catch (const yel::Error& e) {
          EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
          EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
        }
      } else {
        TWaveReader r(path);
        EXPECT_FALSE(r.HasSource()) << c.name;
      }
    });
    if (largest) {
      EXPECT_LT(*largest, 4u << 20) << c.name;
    }
  }
}

// Decodes a Microsoft ADPCM file made by ffmpeg and compares with ffmpeg's
// own decoding of it, sample for sample.
TEST(TWaveReader, MicrosoftADPCMMatchesFfmpeg) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg missing";
  TempDir dir;
  const std::string src = dir.Write("tone.wav", PcmWav(Sine(22050, 2, 22050, 440), 2, 22050));
  const std::string adpcm = dir / "tone-adpcm.wav", raw = dir / "ref.raw";
  ASSERT_EQ(std::system(("ffmpeg -v error -y -i " + src + " -c:a adpcm_ms " + adpcm + " && ffmpeg -v error -y -i " +
                         adpcm + " -f s16le " + raw).c_str()), 0);
  TWaveReader r(adpcm);
  ASSERT_EQ(r.FormatTag, kWaveFormatADPCM);
  ASSERT_EQ(r.Channels, 2);
  const std::string ref = ReadAll(raw);
  std::vector<std::int16_t> ours;
  const auto data = r.Data();
  for (std::size_t at = 0; at < data.size(); at += r.ADPCM.BlockAlign)
    DecodeMSADPCMBlock(data.subspan(at, std::min<std::size_t>(r.ADPCM.BlockAlign, data.size() - at)), 2, r.ADPCM, ours);
  ASSERT_GE(ours.size() * 2, ref.size());
  int worst = 0;
  for (std::size_t i = 0; i < ref.size() / 2; ++i) {
    const auto want = static_cast<std::int16_t>(static_cast<std::uint8_t>(ref[2 * i]) | ref[2 * i + 1] << 8);
    worst = std::max(worst, std::abs(want - ours[i]));
  }
  EXPECT_LE(worst, 1);
}

// Rates SWF cannot declare are converted to the nearest that it can.
TEST(TWaveReader, ConvertsRatesSWFCannotDeclare) {
  EXPECT_EQ(NearestSWFRate(48000, false), 44100u);
  EXPECT_EQ(NearestSWFRate(8000, false), 5512u);
  EXPECT_EQ(NearestSWFRate(8000, true), 11025u);
  EXPECT_EQ(NearestSWFRate(32000, false), 22050u);
  EXPECT_EQ(NearestSWFRate(16000, true), 11025u);

  // PCM at 48 kHz: resampled here; the 1 kHz tone keeps its pitch.
  TWaveReader pcm(B(PcmWav(Sine(48000, 1, 48000, 1000), 1, 48000)), "48k.wav");
  EXPECT_EQ(pcm.SampleRate, 44100u);
  EXPECT_EQ(pcm.SourceSampleRate, 48000u);
  EXPECT_NEAR(pcm.SampleCount, 44100.0, 2);
  const auto data = pcm.Data();
  int crossings = 0;
  for (std::size_t i = 2; i + 1 < data.size(); i += 2) {
    const auto a = static_cast<std::int16_t>(data[i - 2] | data[i - 1] << 8), b = static_cast<std::int16_t>(data[i] | data[i + 1] << 8);
    if ((a < 0) != (b < 0)) ++crossings;
  }
  EXPECT_NEAR(crossings, 2000, 4);

  // MP3 at 48 kHz: decoded and encoded again at 44.1 kHz.
  const std::string mp3 = EncodeMp3(Sine(48000 * 2, 2, 48000, 440), 2, 48000, 160);
  TWaveReader m(B(mp3), "48k.mp3");
  EXPECT_EQ(m.FormatTag, kWaveFormatMP3File);
  EXPECT_EQ(m.SampleRate, 44100u);
  EXPECT_EQ(m.SourceSampleRate, 48000u);
  EXPECT_EQ(m.Channels, 2);
  EXPECT_NEAR(m.Duration, 2.0, 0.1);
  EXPECT_NEAR(m.BitRate, 160, 1);
  const auto frames = ListMPEGFrames(m.Data());
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.back().Offset + frames.back().Length, m.Data().size());
  // Our encoder's delay and padding are known: the frames hold them and the
  // two seconds of sound (with the source's own delay, which its file does
  // not tell).
  ASSERT_TRUE(m.EncoderDelayKnown);
  EXPECT_GT(m.EncoderDelay, 0);
  EXPECT_NEAR(double(frames.size() * 1152) - m.EncoderDelay - m.EncoderPadding, 88200, 2500);

  // At a declarable rate MP3 data is left exactly as it is.
  const std::string mp3at44 = EncodeMp3(Sine(44100, 1, 44100, 440), 1, 44100, 96);
  TWaveReader same(B(mp3at44), "44k.mp3");
  EXPECT_EQ(same.SourceSampleRate, 0u);
  EXPECT_EQ(std::string(same.Data().begin(), same.Data().end()), mp3at44);
}

}  // namespace
}  // namespace yel::media
