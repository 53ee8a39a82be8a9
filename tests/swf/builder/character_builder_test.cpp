// Morph shapes, buttons and video built through the movie: bounds and style
// selection, the button's forms and sound record, and the video placement's
// frames and streamed MP3 blocks on the movie's timeline and in sprites (from
// small FLV files made here), imports of such sprites and VP6 frames.
#include <gtest/gtest.h>

#include "swf/builder/flash_button.h"
#include "swf/builder/flash_external_movie.h"
#include "swf/builder/flash_morph_shape.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_sprite.h"
#include "swf/builder/flash_video.h"
#include "swf/format/button_tags.h"
#include "swf/format/display_list_tags.h"
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
  // (Sound 7 is a stand-in that the movie does not define, so this movie
  // stays out of the independent check, which wants every id defined.)
  button->RollOverSound().SoundId = 7;
  movie.MakeStream();
  TMemoryStream soundMovie;
  movie.SaveToStream(soundMovie);
  auto withSound = ReadMovie(soundMovie.TakeBytes());
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

// An FLV file built tag by tag.
class FlvFile {
 public:
  explicit FlvFile(std::uint8_t flags) : bytes_{'F', 'L', 'V', 1, flags, 0, 0, 0, 9, 0, 0, 0, 0} {}
  void Tag(std::uint8_t type, std::uint32_t time, const Bytes& payload) {
    const std::size_t start = bytes_.size();
    // Type and size; timestamp and its extension byte (0).
    for (std::uint32_t word : {std::uint32_t{type} << 24 | static_cast<std::uint32_t>(payload.size()), time << 8}) {
      for (int i = 3; i >= 0; --i) bytes_.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
    }
    bytes_.insert(bytes_.end(), 3, 0);  // stream id
    bytes_.insert(bytes_.end(), payload.begin(), payload.end());
    const std::uint32_t size = static_cast<std::uint32_t>(bytes_.size() - start);
    for (int i = 3; i >= 0; --i) bytes_.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
  }
  std::string Save(const std::string& path) const {
    WriteFileAtomically(path, bytes_);
    return path;
  }

 private:
  Bytes bytes_;
};

// An FLV of H.263 frames and, with mp3PerFrame, MP3 audio tags of 44.1 kHz
// after every video tag.
std::string MakeFlv(const ::yel::testing::TempDir& dir, int frames, int mp3PerFrame = 0) {
  FlvFile file(mp3PerFrame ? 5 : 1);
  for (int f = 0; f < frames; ++f) {
    // H.263 picture header for 128 x 96 (size code 4), then the frame number.
    file.Tag(9, f * 83, {static_cast<std::uint8_t>(f == 0 ? 0x12 : 0x22), 0x00, 0x00, 0x84, 0x02, 0x00, 0x00,
                         static_cast<std::uint8_t>(f)});
    for (int a = 0; a < mp3PerFrame; ++a) {
      Bytes audio = {0x2E, 0xFF, 0xFB, 0x90, 0x64};  // MPEG-1 layer III, 44.1 kHz
      audio.resize(418, static_cast<std::uint8_t>(f));
      file.Tag(8, f * 83, audio);
    }
  }
  return file.Save(dir / ("video" + std::to_string(frames) + "-" + std::to_string(mp3PerFrame) + ".flv"));
}

// A video placed after `before` frames of a timeline that then runs `after`
// frames more: the movie's own, or a sprite's that the movie shows in its
// one frame. The sprite is made before the video, which must still be
// defined first.
TFlashPlaceVideo* PlaceVideoAfter(TFlashMovie& movie, const std::string& flv, bool inSprite, int before, int after) {
  if (!inSprite) {
    TFlashVideo* video = movie.AddVideo(flv);
    for (int i = 0; i < before; ++i) movie.ShowFrame();
    TFlashPlaceVideo* place = movie.PlaceVideo(video, 1);
    for (int i = 0; i < after; ++i) movie.ShowFrame();
    return place;
  }
  TFlashSprite* sprite = movie.AddSprite();
  TFlashVideo* video = movie.AddVideo(flv);
  for (int i = 0; i < before; ++i) sprite->ShowFrame();
  TFlashPlaceVideo* place = sprite->PlaceVideo(video, 1);
  EXPECT_EQ(sprite->MaxDepth, 1);
  for (int i = 0; i < after; ++i) sprite->ShowFrame();
  movie.PlaceObject(sprite, 1);
  movie.ShowFrame();
  return place;
}

// The tags of the timeline that holds the video, each with its frame
// (counted from 0): the movie's, or those of its sprites.
std::vector<std::pair<int, TSWFObject*>> TimelineTags(const TSWFStreamReader& reader, bool inSprite) {
  std::vector<std::pair<int, TSWFObject*>> tags;
  int frame = 0;
  auto add = [&](TSWFObject* tag) {
    tags.emplace_back(frame, tag);
    if (tag->TagID == tag::ShowFrame) ++frame;
  };
  for (std::size_t i = 0; i < reader.TagCount(); ++i) {
    TSWFObject* tag = reader.TagInfo(i).TagObject;
    if (!inSprite) {
      add(tag);
    } else if (auto* sprite = dynamic_cast<TSWFDefineSprite*>(tag)) {
      // The video's definition stands before the sprite that shows it.
      EXPECT_GT(i, 0u);
      EXPECT_EQ(reader.TagInfo(0).TagID, tag::DefineVideoStream);
      for (const auto& nested : sprite->ControlTags) add(static_cast<TSWFObject*>(nested.get()));
    }
  }
  EXPECT_FALSE(tags.empty());
  return tags;
}

TEST(VideoBuilderTest, FramesLoopFromTheStartFrame) {
  ::yel::testing::TempDir dir;
  const std::string flv = MakeFlv(dir, 30);
  for (bool inSprite : {false, true}) {
    SCOPED_TRACE(inSprite ? "in a sprite" : "on the movie's timeline");
    TFlashMovie movie(0, 0, 128, 96, 12, TSWFSystemCoord::Pix);
    TFlashPlaceVideo* place = PlaceVideoAfter(movie, flv, inSprite, 5, 31);
    const TFlashVideo& video = place->Video();
    EXPECT_EQ(video.FLV().Width, 128);
    EXPECT_EQ(video.MinVersion(), 6);
    EXPECT_EQ(place->StartFrame, 5);
    const std::string suffix = inSprite ? "-sprite" : "";
    auto reader = ReadMovie(SaveMovie(movie, suffix));
    EXPECT_EQ(reader->Version(), 6);
    auto* stream = dynamic_cast<TSWFDefineVideoStream*>(reader->TagInfo(0).TagObject);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->NumFrames, 30);
    EXPECT_EQ(stream->Codec, kVideoH263);
    EXPECT_EQ(stream->Width, 128);
    EXPECT_EQ(stream->Height, 96);
    // Frame of the timeline -> number of the video frame shown there, and
    // the placements' ratios.
    std::map<int, int> frames, ratios;
    for (const auto& [frame, tag] : TimelineTags(*reader, inSprite)) {
      if (auto* videoFrame = dynamic_cast<TSWFVideoFrame*>(tag)) {
        frames[frame] = videoFrame->FrameNum;
        EXPECT_EQ(videoFrame->StreamID, video.CharacterId());
        EXPECT_EQ(videoFrame->DataSize(), 7u);
        EXPECT_EQ(videoFrame->Data()[6], videoFrame->FrameNum);  // the right frame's data
      } else if (auto* placed = dynamic_cast<TSWFPlaceObject2*>(tag)) {
        ratios[frame] = placed->Ratio;
        EXPECT_EQ(placed->HasCharacter, !placed->Move);
        if (placed->HasCharacter) {
          EXPECT_EQ(placed->CharacterId, video.CharacterId());
        }
      }
    }
    EXPECT_EQ(frames.size(), 31u);
    EXPECT_EQ(frames.begin()->first, 5);
    EXPECT_EQ(frames[5], 0);
    EXPECT_EQ(frames[34], 29);
    EXPECT_EQ(frames[35], 0);
    EXPECT_EQ(ratios, frames);

    // Without Loop the video stops after its last frame.
    place->Loop = false;
    auto once = ReadMovie(SaveMovie(movie, suffix + "-once"));
    int count = 0;
    for (const auto& [frame, tag] : TimelineTags(*once, inSprite)) count += tag->TagID == tag::VideoFrame;
    EXPECT_EQ(count, 30);
  }
}

TEST(VideoBuilderTest, StreamedMP3FollowsTheTimelineFrames) {
  ::yel::testing::TempDir dir;
  const std::string flv = MakeFlv(dir, 12, 4);
  for (bool inSprite : {false, true}) {
    SCOPED_TRACE(inSprite ? "in a sprite" : "on the movie's timeline");
    TFlashMovie movie(0, 0, 128, 96, 12, TSWFSystemCoord::Pix);
    PlaceVideoAfter(movie, flv, inSprite, 0, 12)->WithSound = true;
    auto reader = ReadMovie(SaveMovie(movie, inSprite ? "-sprite" : ""));
    TSWFSoundStreamHead* head = nullptr;
    std::vector<int> blocks;
    for (const auto& [frame, tag] : TimelineTags(*reader, inSprite)) {
      if (auto* h = dynamic_cast<TSWFSoundStreamHead*>(tag)) head = h;
      if (tag->TagID == tag::SoundStreamBlock) {
        auto& block = dynamic_cast<TSWFSoundStreamBlock&>(*tag);
        // Sample count and seek words, then whole MPEG frames of 417 bytes.
        ASSERT_EQ((block.DataSize() - 4) % 417, 0u);
        blocks.push_back(static_cast<int>((block.DataSize() - 4) / 417));
        EXPECT_EQ(frame, static_cast<int>(blocks.size()) - 1) << "one block a frame";
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
}

// A movie whose sprite shows a video, imported as a sprite into a movie
// whose ids are taken up to 19: the video's frames and placements inside the
// nested sprite name the video's new id.
TEST(VideoBuilderTest, ImportedSpriteVideoIsRenumbered) {
  ::yel::testing::TempDir dir;
  TFlashMovie source(0, 0, 128, 96, 12, TSWFSystemCoord::Pix);
  PlaceVideoAfter(source, MakeFlv(dir, 3), true, 0, 3);
  const Bytes bytes = SaveMovie(source, "-source");
  TMemoryStream file;
  file.Write(bytes.data(), bytes.size());
  TFlashMovie movie(0, 0, 128, 96, 12, TSWFSystemCoord::Pix);
  movie.NextID = 20;
  TFlashExternalMovie* import = movie.AddExternalMovie(file, eimSprite, true);
  movie.PlaceObject(import->Sprite(), 1);
  movie.ShowFrame();
  auto reader = ReadMovie(SaveMovie(movie));
  auto* stream = dynamic_cast<TSWFDefineVideoStream*>(reader->TagInfo(0).TagObject);
  ASSERT_NE(stream, nullptr);
  EXPECT_GT(stream->CharacterId, 20);
  int frames = 0, placements = 0;
  for (const auto& [frame, tag] : TimelineTags(*reader, true)) {
    if (auto* videoFrame = dynamic_cast<TSWFVideoFrame*>(tag)) {
      EXPECT_EQ(videoFrame->StreamID, stream->CharacterId);
      ++frames;
    } else if (auto* placed = dynamic_cast<TSWFPlaceObject2*>(tag)) {
      // The import's sprite places the source's sprite; that one, the video.
      placements += placed->HasCharacter && placed->CharacterId == stream->CharacterId;
    }
  }
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(placements, 1);
}

// VP6 and VP6 with alpha: no encoder at hand, so hand-made tags. The FLV's
// header byte and size adjustment byte stay out of the movie's frames; the
// alpha offset and both pictures go in as they are. The picture size comes
// from the first frame's header in macroblocks.
TEST(VideoBuilderTest, VP6FramesGoInWithoutTheAdjustmentByte) {
  ::yel::testing::TempDir dir;
  struct Case {
    std::uint8_t codec;
    Bytes frame0, frame1;  // payloads after the header byte
    Bytes want0, want1;    // VideoFrame data
  };
  const Case cases[] = {
      // adjustment, frame header (2 bytes), 6 rows, 8 columns of macroblocks, data
      {kVideoVP6, {0x00, 0x46, 0x01, 0x06, 0x08, 0xAA}, {0x00, 0xC6, 0xBB}, {0x46, 0x01, 0x06, 0x08, 0xAA}, {0xC6, 0xBB}},
      // adjustment, 24-bit alpha offset, the picture (as above), the alpha picture
      {kVideoVP6Alpha,
       {0x11, 0x00, 0x00, 0x05, 0x46, 0x01, 0x06, 0x08, 0xAA, 0x46, 0xCC},
       {0x11, 0x00, 0x00, 0x01, 0xC6, 0xDD},
       {0x00, 0x00, 0x05, 0x46, 0x01, 0x06, 0x08, 0xAA, 0x46, 0xCC},
       {0x00, 0x00, 0x01, 0xC6, 0xDD}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int{c.codec});
    FlvFile file(1);
    Bytes key = {static_cast<std::uint8_t>(0x10 | c.codec)}, inter = {static_cast<std::uint8_t>(0x20 | c.codec)};
    key.insert(key.end(), c.frame0.begin(), c.frame0.end());
    inter.insert(inter.end(), c.frame1.begin(), c.frame1.end());
    file.Tag(9, 0, key);
    file.Tag(9, 40, inter);
    TFlashMovie movie(0, 0, 128, 96, 25, TSWFSystemCoord::Pix);
    TFlashVideo* video = movie.AddVideo(file.Save(dir / ("vp6-" + std::to_string(c.codec) + ".flv")));
    EXPECT_EQ(video->FLV().FrameCount, 2u);
    EXPECT_EQ(video->FLV().Width, 128);
    EXPECT_EQ(video->FLV().Height, 96);
    EXPECT_EQ(video->MinVersion(), 8);
    movie.PlaceVideo(video, 1);
    movie.ShowFrame();
    movie.ShowFrame();
    auto reader = ReadMovie(SaveMovie(movie, "-" + std::to_string(c.codec)));
    EXPECT_EQ(reader->Version(), 8);
    auto* stream = dynamic_cast<TSWFDefineVideoStream*>(reader->TagInfo(0).TagObject);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->Codec, c.codec);
    EXPECT_EQ(stream->Width, 128);
    EXPECT_EQ(stream->Height, 96);
    std::vector<Bytes> frames;
    for (const auto& [frame, tag] : TimelineTags(*reader, false)) {
      if (auto* videoFrame = dynamic_cast<TSWFVideoFrame*>(tag))
        frames.emplace_back(videoFrame->Data(), videoFrame->Data() + videoFrame->DataSize());
    }
    EXPECT_EQ(frames, (std::vector<Bytes>{c.want0, c.want1}));
  }
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
