// Sound characters: event sounds, the streaming sound of the main timeline
// (MP3 blocks of whole frames with their carry, ADPCM and raw PCM blocks,
// looping), rate conversion, and ffmpeg as an independent decoder of what
// we write.
#include "swf/builder/flash_sound.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "media/mpeg_audio.h"
#include "swf/builder/flash_sprite.h"
#include "swf/format/display_list_tags.h"
#include "swf/format/sound_tags.h"
#include "tests/swf/builder/builder_test_util.h"
#include "tests/testing/sound_fixtures.h"
#include "tests/testing/temp_dir.h"

namespace yel::swf {
namespace {

using namespace yel::testing;
using swf::testing::ReadMovie;
using swf::testing::SaveMovie;

// A movie of `frames` empty frames streaming the file as background sound.
std::unique_ptr<TSWFStreamReader> Stream(const std::string& file, float fps, int frames, bool loop = false,
                                         int bits = 4, const std::string& suffix = "", std::uint8_t* version = nullptr) {
  TFlashMovie movie(0, 0, 100, 100, fps, TSWFSystemCoord::Pix);
  movie.SetVersion(3);
  movie.BackgroundSound().LoadFromFile(file);
  movie.BackgroundSound().Loop = loop;
  movie.BackgroundSound().SetWaveCompressBits(static_cast<std::uint8_t>(bits));
  for (int i = 0; i < frames; ++i) movie.ShowFrame();
  auto reader = ReadMovie(SaveMovie(movie, suffix));
  if (version) *version = movie.Version();
  return reader;
}

template <class T>
std::vector<T*> Tags(TSWFStreamReader& r) {
  std::vector<T*> out;
  for (std::size_t i = 0; i < r.TagCount(); ++i)
    if (auto* t = dynamic_cast<T*>(r.TagInfo(i).TagObject)) out.push_back(t);
  return out;
}

// The MP3 words of a block read from a file stay inside its data.
int Word(const TSWFSoundStreamBlock& b, int i) { return static_cast<std::int16_t>(b.Data()[2 * i] | b.Data()[2 * i + 1] << 8); }

TEST(SoundStream, Mp3BlocksCarryWholeFramesAndTheCarry) {
  TempDir dir;
  const std::string file = dir.Write("cbr.mp3", CbrFrames(100));
  std::uint8_t version = 0;
  auto r = Stream(file, 12, 7, false, 4, "", &version);
  EXPECT_GE(version, 4);
  auto heads = Tags<TSWFSoundStreamHead2>(*r);
  ASSERT_EQ(heads.size(), 1u);
  EXPECT_EQ(heads[0]->StreamSoundCompression, kSoundMP3);
  EXPECT_EQ(heads[0]->StreamSoundRate, 3);
  EXPECT_EQ(heads[0]->StreamSoundSampleCount, 3675);
  auto blocks = Tags<TSWFSoundStreamBlock>(*r);
  ASSERT_EQ(blocks.size(), 7u);
  const int frames[] = {3, 3, 3, 3, 3, 4, 3};
  const int seeks[] = {0, 219, 438, 657, 876, 1095, 162};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(blocks[i]->DataSize(), 4u + frames[i] * 417u) << i;
    EXPECT_EQ(Word(*blocks[i], 0), frames[i] * 1152) << i;
    EXPECT_EQ(Word(*blocks[i], 1), seeks[i]) << i;
    EXPECT_EQ(blocks[i]->Data()[4], 0xFF);
  }
}

TEST(SoundStream, LoopingMp3StartsAgainInsideTheBlock) {
  TempDir dir;
  // Five frames with a marker byte each, so the order can be read back.
  std::string mp3;
  for (int i = 0; i < 5; ++i) {
    std::string frame = MpegFrame(0xFB, 0x90, 0x00, 417);
    frame[100] = static_cast<char>('a' + i);
    mp3 += frame;
  }
  const std::string file = dir.Write("short.mp3", mp3);
  auto looping = Stream(file, 12, 3, true);
  std::string order;
  for (auto* b : Tags<TSWFSoundStreamBlock>(*looping))
    for (std::size_t at = 4; at < b->DataSize(); at += 417) order += static_cast<char>(b->Data()[at + 100]);
  EXPECT_EQ(order, "abcdeabcd");
  // Without Loop the data ends with the last whole frame and blocks stop.
  auto once = Stream(file, 12, 4);
  auto blocks = Tags<TSWFSoundStreamBlock>(*once);
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[1]->DataSize(), 4u + 2 * 417u);
  EXPECT_EQ(Word(*blocks[1], 0), 2 * 1152);
}

TEST(SoundStream, PcmAsAdpcmOrRaw) {
  TempDir dir;
  const std::string wav = dir.Write("mono.wav", PcmWav(Sine(22050, 1, 22050, 440), 1, 22050));
  auto adpcm = Stream(wav, 24, 30, false, 4, "-adpcm");
  auto head = Tags<TSWFSoundStreamHead2>(*adpcm).at(0);
  EXPECT_EQ(head->StreamSoundCompression, kSoundADPCM);
  EXPECT_EQ(head->StreamSoundSize, true);
  EXPECT_EQ(head->StreamSoundRate, 2);
  EXPECT_EQ(head->StreamSoundType, false);
  EXPECT_EQ(head->StreamSoundSampleCount, 918);
  auto blocks = Tags<TSWFSoundStreamBlock>(*adpcm);
  ASSERT_EQ(blocks.size(), 24u);  // 22050 samples at 918.75 a frame; then the data is out
  EXPECT_EQ(blocks[0]->DataSize(), (2u + 22 + 917 * 4 + 7) / 8);
  EXPECT_EQ(blocks[0]->Data()[0] >> 6, 2);  // code size of 4 bits

  const std::string wav8 = dir.Write("mono8.wav", MakeWav(PcmFormat(2, 11025, 8), std::string(11025 * 2, '\x90')));
  auto raw = Stream(wav8, 10, 3, true, 0, "-raw");
  head = Tags<TSWFSoundStreamHead2>(*raw).at(0);
  EXPECT_EQ(head->StreamSoundCompression, kSoundUncompressed);
  EXPECT_EQ(head->StreamSoundSize, false);
  EXPECT_EQ(head->StreamSoundRate, 1);
  EXPECT_EQ(Tags<TSWFSoundStreamBlock>(*raw).at(0)->DataSize(), 1102u * 2);
}

TEST(SoundStream, RatesSWFCannotDeclareAreConverted) {
  TempDir dir;
  const std::string wav = dir.Write("48k.wav", PcmWav(Sine(4800, 2, 48000, 440), 2, 48000));
  TFlashMovie movie(0, 0, 100, 100, 24, TSWFSystemCoord::Pix);
  TFlashSound* sound = movie.AddSound(wav);
  EXPECT_EQ(sound->SampleRate, 44100u);
  EXPECT_EQ(sound->RateCode, 3);
  EXPECT_TRUE(sound->Stereo);
}

TEST(EventSound, DefineSoundAndStartSound) {
  TempDir dir;
  const std::string wav = dir.Write("tone.wav", PcmWav(Sine(5000, 1, 11025, 440), 1, 11025));
  const std::string mp3 = dir.Write("tone.mp3", CbrFrames(10));
  TFlashMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  TFlashSound* pcm = movie.AddSound(wav);
  TFlashSound* frames = movie.AddSound(mp3);
  TSWFStartSound* start = pcm->StartSound();
  start->SoundInfo.SetLoopCount(3);
  frames->StartSound()->SoundInfo.SyncStop = true;
  movie.ShowFrame();
  auto r = ReadMovie(SaveMovie(movie));
  auto sounds = Tags<TSWFDefineSound>(*r);
  ASSERT_EQ(sounds.size(), 2u);
  EXPECT_EQ(sounds[0]->SoundId, 1);
  EXPECT_EQ(sounds[0]->SoundFormat, kSoundADPCM);
  EXPECT_EQ(sounds[0]->SoundRate, 1);
  EXPECT_EQ(sounds[0]->SampleCount, 5000u);
  EXPECT_EQ(sounds[0]->DataSize(), (2u + 2 * 22 + (5000 - 2) * 4 + 7) / 8);  // two packets
  EXPECT_EQ(sounds[1]->SoundFormat, kSoundMP3);
  EXPECT_EQ(sounds[1]->DataSize(), 10u * 417);
  auto starts = Tags<TSWFStartSound>(*r);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[0]->SoundInfo.LoopCount(), 3);
  EXPECT_EQ(starts[1]->SoundId, 2);
  EXPECT_GE(r->Version(), 4);

  // An imported movie's sounds take fresh ids, and so do the records that start them.
  EXPECT_EQ(r->RenumberCharacters(100), 102);
  EXPECT_EQ(Tags<TSWFDefineSound>(*r)[1]->SoundId, 101);
  EXPECT_EQ(Tags<TSWFStartSound>(*r)[0]->SoundId, 100);
  EXPECT_EQ(Tags<TSWFStartSound>(*r)[1]->SoundId, 101);
}

TEST(EventSound, ASpriteStartsASoundInItsOwnTimeline) {
  TempDir dir;
  TFlashMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  TFlashSound* sound = movie.AddSound(dir.Write("tone.mp3", CbrFrames(4)));
  TFlashSprite* sprite = movie.AddSprite();
  sprite->StartSound(sound->CharacterId())->SoundInfo.SyncStop = true;
  sprite->ShowFrame();
  movie.PlaceObject(sprite, 1);
  movie.ShowFrame();
  auto r = ReadMovie(SaveMovie(movie));
  auto sprites = Tags<TSWFDefineSprite>(*r);
  ASSERT_EQ(sprites.size(), 1u);
  const auto& nested = sprites[0]->ControlTags;
  ASSERT_FALSE(nested.empty());
  auto* start = dynamic_cast<TSWFStartSound*>(nested[0].get());
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(start->SoundId, sound->CharacterId());
  EXPECT_TRUE(start->SoundInfo.SyncStop);
  EXPECT_TRUE(Tags<TSWFStartSound>(*r).empty());  // not on the main timeline
}

// ffmpeg reads the movie's sound stream: the ADPCM it decodes stays close to
// the tone we put in (signal-to-noise ratio above 30 dB; 4-bit codes give about 40), and the MP3
// frames of the stream blocks decode without a single error.
TEST(SoundStream, FfmpegDecodesWhatWeWrite) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg missing";
  TempDir dir;
  const auto tone = Sine(22050, 1, 22050, 440);
  const std::string wav = dir.Write("tone.wav", PcmWav(tone, 1, 22050));
  {
    // 735 samples a frame: each block's codes end on a byte boundary, so
    // ffmpeg (which knows no sample count) decodes no padding bits as a sample.
    TFlashMovie movie(0, 0, 100, 100, 30, TSWFSystemCoord::Pix);
    movie.BackgroundSound().LoadFromFile(wav);
    for (int i = 0; i < 30; ++i) movie.ShowFrame();
    movie.MakeStream();
    movie.SaveToFile(dir / "adpcm.swf");
  }
  ASSERT_EQ(std::system(("ffmpeg -v error -y -i " + dir / "adpcm.swf" + " -f s16le " + dir / "adpcm.raw").c_str()), 0);
  const std::string decoded = ReadAll(dir / "adpcm.raw");
  ASSERT_GE(decoded.size(), tone.size() * 2);
  double signal = 0, noise = 0;
  for (std::size_t i = 0; i < tone.size(); ++i) {
    const auto got = static_cast<std::int16_t>(static_cast<std::uint8_t>(decoded[2 * i]) | decoded[2 * i + 1] << 8);
    signal += double(tone[i]) * tone[i];
    noise += double(got - tone[i]) * (got - tone[i]);
  }
  const double snr = 10 * std::log10(signal / std::max(noise, 1.0));
  EXPECT_GT(snr, 30.0) << snr;

  const std::string mp3 = dir.Write("tone.mp3", EncodeMp3(Sine(44100 * 2, 2, 44100, 440), 2, 44100, 128));
  auto r = Stream(mp3, 24, 60, true);
  std::string payload;
  for (auto* b : Tags<TSWFSoundStreamBlock>(*r))
    if (b->DataSize() > 4) payload.append(reinterpret_cast<const char*>(b->Data()) + 4, b->DataSize() - 4);
  dir.Write("blocks.mp3", payload);
  const std::string log = dir / "ffmpeg.log";
  EXPECT_EQ(std::system(("ffmpeg -v error -xerror -i " + dir / "blocks.mp3" + " -f null - 2>" + log).c_str()), 0);
  EXPECT_EQ(ReadAll(log), "");
}

// Blocks hold the samples that keep the sound with the timeline: 918.75 a
// frame at 22050 Hz and 24 frames per second, so one second is 24 blocks
// and never falls a sample behind.
TEST(SoundStream, BlocksFollowTheTimelineExactly) {
  TempDir dir;
  const std::string wav = dir.Write("raw.wav", PcmWav(Sine(22050 * 2, 1, 22050, 440), 1, 22050));
  auto raw = Stream(wav, 24, 48, false, 0);
  std::size_t total = 0;
  int b = 0;
  for (auto* block : Tags<TSWFSoundStreamBlock>(*raw)) {
    total += block->DataSize() / 2;
    ++b;
    EXPECT_EQ(total, static_cast<std::size_t>(b * 22050 / 24)) << b;
  }
  EXPECT_EQ(b, 48);
}

// Looping music decoded by ffmpeg from the movie's stream: a continuous tone
// shows no run of silence longer than 5 ms anywhere past the stream's start,
// so none at its loop points either: a LAME MP3 whose first frame is the
// Info frame (left out of the stream, and its delay and padding used), the
// same at 22.05 kHz mono (576-sample frames), one at 48 kHz (converted by
// us), and PCM WAV (streamed as ADPCM) at 44.1 and 48 kHz.
TEST(SoundStream, LoopsJoinWithoutSilence) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg missing";
  TempDir dir;
  struct Case {
    const char* file;
    const char* make;  // ffmpeg output options for the tone
  };
  const Case cases[] = {
      {"lame44.mp3", "-ar 44100 -ac 2 -c:a libmp3lame -b:a 128k"},
      {"lame22.mp3", "-ar 22050 -ac 1 -c:a libmp3lame -b:a 64k"},
      {"lame48.mp3", "-ar 48000 -ac 2 -c:a libmp3lame -b:a 128k"},
      {"pcm44.wav", "-ar 44100 -ac 2 -c:a pcm_s16le"},
      {"pcm48.wav", "-ar 48000 -ac 1 -c:a pcm_s16le"},
  };
  for (const Case& c : cases) {
    const std::string tone = dir / c.file;
    ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=48000:duration=1.3 " +
                           std::string(c.make) + " " + tone)
                              .c_str()),
              0)
        << c.file;
    const std::string movieFile = dir / (std::string(c.file) + ".swf");
    int rate = 0;
    {
      // 12 seconds: the tone loops nine times. An MP3 loop is encoded as a
      // cycle of whole frames (here four passes of the tone, 5.2 s), whose
      // frames then repeat: its own join is among the loop points.
      TFlashMovie movie(0, 0, 100, 100, 24, TSWFSystemCoord::Pix);
      movie.BackgroundSound().LoadFromFile(tone);
      movie.BackgroundSound().Loop = true;
      rate = static_cast<int>(movie.BackgroundSound().SampleRate);
      for (int i = 0; i < 288; ++i) movie.ShowFrame();
      movie.MakeStream();
      movie.SaveToFile(movieFile);
    }
    if (std::string(c.file) == "lame44.mp3") {
      // The stream's first frame is sound, not the file's Info frame.
      auto r = ReadMovie(ReadFileBytes(movieFile));
      auto blocks = Tags<TSWFSoundStreamBlock>(*r);
      ASSERT_FALSE(blocks.empty());
      EXPECT_NE(std::string(reinterpret_cast<const char*>(blocks[0]->Data()) + 4 + 36, 4), "Info");
      // As an event sound, its sample count is that of the frames it holds.
      TFlashMovie events(0, 0, 100, 100, 24, TSWFSystemCoord::Pix);
      events.AddSound(tone)->StartSound();
      events.ShowFrame();
      auto e = ReadMovie(SaveMovie(events));
      auto sounds = Tags<TSWFDefineSound>(*e);
      ASSERT_EQ(sounds.size(), 1u);
      const auto frames = media::ListMPEGFrames(std::span(sounds[0]->Data(), sounds[0]->DataSize()));
      EXPECT_EQ(sounds[0]->SampleCount, frames.size() * 1152);
      EXPECT_NE(std::string(reinterpret_cast<const char*>(sounds[0]->Data()) + 36, 4), "Info");
    }
    const std::string raw = movieFile + ".raw";
    ASSERT_EQ(std::system(("ffmpeg -v error -y -i " + movieFile + " -ac 1 -f s16le " + raw).c_str()), 0) << c.file;
    const std::string decoded = ReadAll(raw);
    EXPECT_GT(decoded.size() / 2, static_cast<std::size_t>(rate * 11.9)) << c.file;
    const TSilence silence = LongestSilence(decoded, rate / 10, rate / 20);
    EXPECT_LE(silence.Length * 1000.0 / rate, 5.0)
        << c.file << ": " << silence.Length << " silent samples before " << silence.EndsAt;
  }
}

}  // namespace
}  // namespace yel::swf
