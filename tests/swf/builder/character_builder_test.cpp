// Morph shapes, buttons and video built through the movie: bounds and style
// selection, the button's forms and sound record, and the video placement's
// frames and streamed MP3 blocks (from small FLV files made here).
#include <gtest/gtest.h>

#include "swf/builder/flash_button.h"
#include "swf/builder/flash_morph_shape.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_video.h"
#include "swf/format/button_tags.h"
#include "swf/format/morph_shape_tags.h"
#include "swf/format/place_object_tags.h"
#include "swf/format/sound_tags.h"
#include "swf/format/video_tags.h"
#include "tests/swf/builder/builder_test_util.h"
#include "tests/testing/temp_dir.h"

namespace yel::swf {
namespace {

using testing::ReadMovie;
using testing::SaveMovie;
using Bytes = std::vector<std::uint8_t>;

TEST(MorphShapeBuilderTest, BoundsAndStyleSelection) {
  TFlashMovie movie(0, 0, 200, 100, 12, TSWFSystemCoord::Pix);
  TFlashMorphShape* morph = movie.AddMorphShape();
  morph->SetStartBound(0, 0, 100, 50);
  morph->SetEndBound(0, 0, 150, 50);
  EXPECT_EQ(morph->MorphRecord().StartBounds.SWFRect(), (TSWFRectRec{-10, 2010, -10, 1010}));
  EXPECT_EQ(morph->MorphRecord().CharacterId, 1);

  morph->StartEdges().MoveTo(0, 0);
  morph->StartEdges().MakeRectangle(100, 50);
  morph->StartEdges().MoveTo(10, 10);
  morph->StartEdges().LineTo(20, 20);
  morph->EndEdges().MoveTo(0, 0);
  morph->EndEdges().MakeRectangle(150, 50);
  morph->EndEdges().MoveTo(10, 10);
  morph->EndEdges().LineTo(30, 20);
  auto change = [&](int which) {
    int seen = 0;
    for (auto& record : morph->MorphRecord().StartEdges)
      if (record->RecordKind == TSWFShapeRecordKind::StyleChange && seen++ == which)
        return static_cast<TSWFStyleChangeRecord*>(record.get());
    return static_cast<TSWFStyleChangeRecord*>(nullptr);
  };
  // One fill: into the first record; two: into the last style change.
  morph->SetSolidColor(0xFF0000FF, 0xFFFF0000);
  EXPECT_EQ(change(0)->Fill0(), 1);
  EXPECT_FALSE(change(1)->StateFillStyle0);
  morph->SetLinearGradient({0xFF0000FF, 0xFF00FF00}, {0xFFFF0000, 0xFF0000FF}, 0, 90);
  EXPECT_EQ(change(1)->Fill0(), 2);
  EXPECT_EQ(morph->Fill0Num(), 2);
  morph->SetLineStyle(2, 4, 0xFF000000, 0xFF000000);
  EXPECT_EQ(change(1)->LineStyle(), 1);
  EXPECT_EQ(morph->MorphRecord().MorphLineStyles[0]->EndWidth, 80);
  auto& gradient = static_cast<TSWFMorphGradientFill&>(*morph->MorphRecord().MorphFillStyles[1]);
  EXPECT_EQ(gradient.Gradient[1].StartRatio, 255);
  EXPECT_EQ(gradient.Gradient[1].EndColor, 0xFF0000FFu);
  EXPECT_NE(gradient.StartMatrix.Rec(), gradient.EndMatrix.Rec());

  movie.PlaceObject(morph, 1)->SetRatio(0);
  movie.ShowFrame();
  auto reader = ReadMovie(SaveMovie(movie));
  auto* tag = dynamic_cast<TSWFDefineMorphShape*>(reader->TagInfo(0).TagObject);
  ASSERT_NE(tag, nullptr);
  EXPECT_EQ(tag->TagID, tag::DefineMorphShape);
  EXPECT_EQ(tag->MorphFillStyles.size(), 2u);

  // The second form is a DefineMorphShape2 of an SWF 8 movie.
  morph->SecondForm = true;
  auto second = ReadMovie(SaveMovie(movie, "-2"));
  EXPECT_EQ(second->TagInfo(0).TagID, tag::DefineMorphShape2);
  EXPECT_EQ(second->Version(), 8);
}

TEST(ButtonBuilderTest, FormsVersionsAndSounds) {
  TFlashMovie movie(0, 0, 200, 100, 12, TSWFSystemCoord::Pix);
  TFlashShape* up = movie.AddRectangle(0, 0, 50, 50);
  up->SetSolidColor(0xFF0000);
  TFlashButton* button = movie.AddButton(true, true);
  EXPECT_EQ(button->MinVersion(), 3);
  button->AddRecord(*up, kButtonUp | kButtonHitTest, 1, 10, 5);
  button->OnEvents(kCondOverDownToOverUp).Stop();
  movie.PlaceObject(button, 1);
  movie.ShowFrame();
  auto reader = ReadMovie(SaveMovie(movie));
  std::vector<int> codes = testing::TagCodes(*reader);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), int{tag::DefineButtonSound}), 0);
  auto* tag = dynamic_cast<TSWFDefineButton2*>(reader->TagInfo(1).TagObject);
  ASSERT_NE(tag, nullptr);
  EXPECT_TRUE(tag->TrackAsMenu);
  EXPECT_EQ(tag->ButtonId, button->CharacterId());
  EXPECT_EQ(tag->ButtonRecords[0]->Matrix.TranslateX, 200);
  ASSERT_EQ(tag->CondActions.size(), 1u);
  EXPECT_EQ(tag->CondActions[0]->ActionConditions, kCondOverDownToOverUp);

  // A sound brings the sound record, with the button's id.
  button->RollOverSound().SoundId = 7;
  auto withSound = ReadMovie(SaveMovie(movie, "-sound"));
  auto* sounds = dynamic_cast<TSWFDefineButtonSound*>(withSound->TagInfo(2).TagObject);
  ASSERT_NE(sounds, nullptr);
  EXPECT_EQ(sounds->ButtonId, button->CharacterId());
  EXPECT_EQ(sounds->Sound(TSWFDefineButtonSound::kIdleToOverUp)->SoundId, 7);

  // The first form: release actions only.
  TFlashButton* first = movie.AddButton(false, false);
  EXPECT_EQ(first->MinVersion(), 1);
  first->AddRecord(*up, kButtonAllStates, 1);
  first->Actions().Stop();
  EXPECT_THROW(first->AddCondition(kCondIdleToOverUp, 0), EActionCompileError);
  EXPECT_EQ(&first->AddCondition(kCondOverDownToOverUp, 0), &first->Actions().Actions());
  EXPECT_THROW(first->AddCondAction(kCondIdleToOverUp), std::logic_error);
}

// An FLV of H.263 frames (each `frameBytes` long) and, with mp3Frames, MP3
// audio tags of 44.1 kHz after every video tag.
std::string MakeFlv(const ::yel::testing::TempDir& dir, int frames, int mp3PerFrame = 0) {
  Bytes file = {'F', 'L', 'V', 1, static_cast<std::uint8_t>(mp3PerFrame ? 5 : 1), 0, 0, 0, 9, 0, 0, 0, 0};
  auto tag = [&](std::uint8_t type, std::uint32_t time, const Bytes& payload) {
    std::size_t start = file.size();
    Bytes header = {type, static_cast<std::uint8_t>(payload.size() >> 16), static_cast<std::uint8_t>(payload.size() >> 8),
                    static_cast<std::uint8_t>(payload.size()), static_cast<std::uint8_t>(time >> 16),
                    static_cast<std::uint8_t>(time >> 8), static_cast<std::uint8_t>(time), 0, 0, 0, 0};
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), payload.begin(), payload.end());
    std::uint32_t size = static_cast<std::uint32_t>(file.size() - start);
    for (int i = 3; i >= 0; --i) file.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
  };
  for (int f = 0; f < frames; ++f) {
    // H.263 picture header for 128 x 96 (size code 4), then the frame number.
    Bytes video = {static_cast<std::uint8_t>(f == 0 ? 0x12 : 0x22), 0x00, 0x00, 0x84, 0x02, 0x00, 0x00,
                   static_cast<std::uint8_t>(f)};
    tag(9, f * 83, video);
    for (int a = 0; a < mp3PerFrame; ++a) {
      Bytes audio = {0x2E, 0xFF, 0xFB, 0x90, 0x64};  // MPEG-1 layer III, 44.1 kHz
      audio.resize(418, static_cast<std::uint8_t>(f));
      tag(8, f * 83, audio);
    }
  }
  std::string path = dir / ("video" + std::to_string(frames) + "-" + std::to_string(mp3PerFrame) + ".flv");
  WriteFileAtomically(path, file);
  return path;
}

TEST(VideoBuilderTest, FramesLoopFromTheStartFrame) {
  ::yel::testing::TempDir dir;
  TFlashMovie movie(0, 0, 128, 96, 12, TSWFSystemCoord::Pix);
  TFlashVideo* video = movie.AddVideo(MakeFlv(dir, 30));
  EXPECT_EQ(video->FLV().Width, 128);
  EXPECT_EQ(video->MinVersion(), 6);
  for (int i = 0; i < 5; ++i) movie.ShowFrame();
  TFlashPlaceVideo* place = movie.PlaceVideo(video, 1);
  EXPECT_EQ(place->StartFrame, 5);
  for (int i = 0; i < 31; ++i) movie.ShowFrame();
  auto reader = ReadMovie(SaveMovie(movie));
  EXPECT_EQ(reader->Version(), 6);
  auto* stream = dynamic_cast<TSWFDefineVideoStream*>(reader->TagInfo(0).TagObject);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(stream->NumFrames, 30);
  EXPECT_EQ(stream->Codec, kVideoH263);
  EXPECT_EQ(stream->Width, 128);
  EXPECT_EQ(stream->Height, 96);
  // Frame of the movie -> number of the video frame shown there, and the
  // placements' ratios.
  std::map<int, int> frames, ratios;
  for (std::size_t i = 0; i < reader->TagCount(); ++i) {
    const TSWFTagInfo& entry = reader->TagInfo(i);
    if (auto* frame = dynamic_cast<TSWFVideoFrame*>(entry.TagObject)) {
      frames[entry.Frame] = frame->FrameNum;
      EXPECT_EQ(frame->StreamID, video->CharacterId());
      EXPECT_EQ(frame->DataSize(), 7u);
      EXPECT_EQ(frame->Data()[6], frame->FrameNum);  // the right frame's data
    } else if (auto* placed = dynamic_cast<TSWFPlaceObject2*>(entry.TagObject)) {
      ratios[entry.Frame] = placed->Ratio;
      EXPECT_EQ(placed->HasCharacter, !placed->Move);
    }
  }
  EXPECT_EQ(frames.size(), 31u);
  EXPECT_EQ(frames.count(4), 0u);
  EXPECT_EQ(frames.begin()->first, 6);  // the movie's frames count from 1: frame 5 is the sixth
  EXPECT_EQ(frames[6], 0);
  EXPECT_EQ(frames[35], 29);
  EXPECT_EQ(frames[36], 0);
  EXPECT_EQ(ratios, frames);

  // Without Loop the video stops after its last frame.
  place->Loop = false;
  auto once = ReadMovie(SaveMovie(movie, "-once"));
  int count = 0;
  for (std::size_t i = 0; i < once->TagCount(); ++i) count += once->TagInfo(i).TagID == tag::VideoFrame;
  EXPECT_EQ(count, 30);
}

TEST(VideoBuilderTest, StreamedMP3FollowsTheMovieFrames) {
  ::yel::testing::TempDir dir;
  TFlashMovie movie(0, 0, 128, 96, 12, TSWFSystemCoord::Pix);
  TFlashVideo* video = movie.AddVideo(MakeFlv(dir, 12, 4));
  TFlashPlaceVideo* place = movie.PlaceVideo(video, 1);
  place->WithSound = true;
  for (int i = 0; i < 12; ++i) movie.ShowFrame();
  auto reader = ReadMovie(SaveMovie(movie));
  TSWFSoundStreamHead* head = nullptr;
  std::vector<int> blocks;
  for (std::size_t i = 0; i < reader->TagCount(); ++i) {
    TSWFObject* tag = reader->TagInfo(i).TagObject;
    if (auto* h = dynamic_cast<TSWFSoundStreamHead*>(tag)) head = h;
    if (reader->TagInfo(i).TagID == tag::SoundStreamBlock) {
      auto& block = dynamic_cast<TSWFSoundStreamBlock&>(*tag);
      // Sample count and seek words, then whole MPEG frames of 417 bytes.
      ASSERT_EQ((block.DataSize() - 4) % 417, 0u);
      blocks.push_back(static_cast<int>((block.DataSize() - 4) / 417));
    }
  }
  ASSERT_NE(head, nullptr);
  EXPECT_EQ(head->TagID, tag::SoundStreamHead);
  EXPECT_EQ(head->StreamSoundCompression, kSoundMP3);
  EXPECT_EQ(head->StreamSoundRate, 3);
  EXPECT_EQ(head->StreamSoundSampleCount, 3675);
  EXPECT_EQ(head->LatencySeek, 219);
  // 48 MPEG frames: 4, then 3 a frame (with a 4 where the carry fills up).
  ASSERT_GE(blocks.size(), 4u);
  EXPECT_EQ(blocks[0], 4);
  EXPECT_EQ(blocks[1], 3);
  EXPECT_EQ(blocks[2], 3);
  EXPECT_EQ(blocks[3], 3);
}

TEST(VideoBuilderTest, UnusableFilesAreRefused) {
  ::yel::testing::TempDir dir;
  TFlashMovie movie(0, 0, 128, 96, 12, TSWFSystemCoord::Pix);
  Bytes noVideo = {'F', 'L', 'V', 1, 4, 0, 0, 0, 9, 0, 0, 0, 0};
  WriteFileAtomically(dir / "audio.flv", noVideo);
  Bytes unknown = noVideo;
  unknown.insert(unknown.end(), {9, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0x17, 1, 2, 0, 0, 0, 14});
  WriteFileAtomically(dir / "codec7.flv", unknown);
  for (const auto& [name, message] : {std::pair<std::string, std::string>{"audio.flv", "no video frames"},
                                      {"codec7.flv", "codec 7"},
                                      {"missing.flv", "cannot open"}}) {
    try {
      movie.AddVideo(dir / name);
      ADD_FAILURE() << name;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(dir / name), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(movie.Videos().Count(), 0);
  EXPECT_EQ(movie.NextID, 1);
}

}  // namespace
}  // namespace yel::swf
