// Album movie assembly: frame arithmetic, progress messages and cancel,
// bad photos, independent slide sprites and repeatable output. Movies are
// read back with our stream reader; when YEL_BUILDER_MOVIES names a folder
// they are also kept there for the swf-parser check.
#include "publish/album_movie.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "album/album_model.h"
#include "base/error.h"
#include "base/files.h"
#include "media/bmp_reader.h"
#include "publish/slide_photo.h"
#include "swf/builder/flash_image.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_sprite.h"
#include "tests/testing/photo_fixture.h"
#include "tests/testing/picture_fixtures.h"
#include "tests/testing/sound_fixtures.h"
#include "swf/format/actions/do_action_tags.h"
#include "swf/format/display_list_tags.h"
#include "swf/format/fill_line_styles.h"
#include "swf/format/place_object_tags.h"
#include "swf/format/shape_tags.h"
#include "swf/format/swf_stream.h"

namespace yel::publish {
namespace {

namespace fs = std::filesystem;

// Records what the build shows; cancels at a chosen report.
class Recorder : public TfrmConvert {
 public:
  void Show(const std::string& title) override { log.push_back("show " + title); }
  bool ConvertProgress(const std::string& message, int percent) override {
    log.push_back(message + " " + std::to_string(percent));
    return ++reports != cancel_at;
  }
  void Close() override { log.push_back("close"); }
  std::vector<std::string> log;
  int reports = 0;
  int cancel_at = -1;  // 1-based report that answers "cancel"
};

class AlbumMovieTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("yel-publish-test-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // A 24-bit BMP of one colour (r, g, b).
  std::string Photo(const std::string& name, int w, int h, int r, int g, int b) {
    const std::string bmp = yel::testing::SolidBmp(w, h, std::uint8_t(r), std::uint8_t(g), std::uint8_t(b));
    WriteFileAtomically(Path(name), std::vector<std::uint8_t>(bmp.begin(), bmp.end()));
    return Path(name);
  }

  TSlideView& Slide(TFlashAlbum& album, const std::string& photo, std::int32_t effect, float speed = 2,
                    float duration = 2) {
    TSlideView& slide = album.AddSlide(photo);
    slide.Transition.EntryEffect = effect;
    slide.Transition.Speed = speed;
    slide.Transition.Duration = duration;
    return slide;
  }

  // The movie's bytes: with a file name those the build wrote to the file,
  // otherwise those it returned.
  static std::vector<std::uint8_t> Build(const TFlashAlbum& album, const std::string& file = {}) {
    Recorder progress;
    std::vector<std::uint8_t> movie;
    const bool built = file.empty() ? BuildMovie(album, file, "Preview ...", progress, &movie)
                                    : BuildMovie(album, file, "Create SWF Movie ...", progress);
    EXPECT_TRUE(built);
    if (!built) return {};
    if (!file.empty()) movie = ReadFileBytes(file);
    // Kept for the independent parser check.
    if (const char* keep = std::getenv("YEL_BUILDER_MOVIES")) {
      static int n = 0;
      WriteFileAtomically((fs::path(keep) / ("album-" + std::to_string(++n) + ".swf")).string(), movie);
    }
    return movie;
  }

  static std::uint16_t FrameCount(const std::vector<std::uint8_t>& bytes) {
    swf::TSWFStreamReader reader;
    reader.LoadFromBytes(bytes.data(), bytes.size(), "movie");
    return reader.FrameCount;
  }

  fs::path dir_;
};

TEST_F(AlbumMovieTest, FrameArithmetic) {
  struct Case {
    const char* what;
    int fps;
    std::vector<std::tuple<std::int32_t, float, float>> slides;  // effect, speed, duration
    int frames;                                                  // loading frame included
  };
  const std::vector<Case> cases = {
      {"no slides", 24, {}, 1},
      {"97 frames a slide", 24, {{257, 2, 2}, {4353, 2, 2}, {1537, 2, 2}}, 1 + 3 * 97},
      {"Wedge1 has E frames", 24, {{4097, 2, 2}}, 1 + 48 + 48},
      {"no transition", 24, {{0, 2, 2}, {12345, 2, 2}}, 1 + 48 + 48},
      {"speed below half a frame", 24, {{257, 0.02f, 2}}, 1 + 48},
      {"hold rounding to 0 still shows a frame", 24, {{0, 2, 0.01f}}, 1 + 1},
      {"the most a movie holds", 1, {{0, 2, 65534}}, 65535},
      {"halves round to even", 12, {{2049, 0.125f, 0.125f}}, 1 + 3 + 2},  // E = Round(1.5) = 2
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TFlashAlbum album;
    album.FrameRate = c.fps;
    for (auto [effect, speed, duration] : c.slides) Slide(album, Path("missing.jpg"), effect, speed, duration);
    EXPECT_EQ(AlbumFrameCount(album), std::uint64_t(c.frames));
    EXPECT_EQ(FrameCount(Build(album)), c.frames);
  }
  // One frame more is refused before anything is built (a hold of 65,536
  // frames once wrapped around to one).
  for (float duration : {65535.0f, 65536.0f}) {
    TFlashAlbum album;
    album.FrameRate = 1;
    Slide(album, Path("missing.jpg"), 0, 2, duration);
    Recorder progress;
    try {
      BuildMovie(album, Path("long.swf"), "Create SWF Movie ...", progress);
      ADD_FAILURE() << duration;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("the album needs " + std::to_string(int(duration) + 1) +
                                           " frames, more than the 65535 a movie can hold"),
                std::string::npos)
          << e.what();
    }
    EXPECT_FALSE(fs::exists(Path("long.swf")));
  }
}

// Every character id of a movie, each defined once, never 0 (sprites' inner
// tags use ids only).
std::multiset<std::uint16_t> DefinedIds(const std::vector<std::uint8_t>& bytes) {
  swf::TSWFStreamReader reader;
  reader.LoadFromBytes(bytes.data(), bytes.size(), "movie");
  reader.ParseTags(false);
  std::multiset<std::uint16_t> ids;
  for (std::size_t i = 0; i < reader.TagCount(); ++i) {
    const auto& info = reader.TagInfo(i);
    if (info.TagID == 1 || info.TagID == 0 || info.Length < 2) continue;
    switch (info.TagID) {
      case 2: case 6: case 10: case 11: case 14: case 20: case 21: case 22: case 32: case 33: case 34: case 35:
      case 36: case 37: case 39: case 46: case 48: case 60: case 75: case 83: case 84: {
        const std::uint8_t* body = reader.BodyStream().Data() + info.Position + (info.IsLongHeader ? 6 : 2);
        ids.insert(std::uint16_t(body[0] | body[1] << 8));
        break;
      }
      default: break;
    }
  }
  return ids;
}

// The ids a slide takes are counted before it is drawn: the count is exact
// for slides whose photo leaves room around it, missing photos and every
// kind of transition, the first slide's black rectangle included.
TEST_F(AlbumMovieTest, SlideIdsAreCountedBeforeTheSlideIsBuilt) {
  TFlashAlbum album;
  album.Width = 160, album.Height = 120, album.FrameRate = 12;
  Slide(album, Photo("wide.bmp", 40, 10, 255, 0, 0), 257);
  Slide(album, Path("missing.bmp"), 1537);
  Slide(album, Photo("tall.bmp", 10, 40, 0, 0, 255), 4097);
  Slide(album, Photo("big.bmp", 400, 100, 0, 200, 0), 0);
  Slide(album, Path("missing.bmp"), 1025, 0.02f);
  Slide(album, Photo("wide.bmp", 40, 10, 255, 0, 0), 4357, 0.5f);
  TAlbumMovie build(album);
  build.BuildLoadingFrame();
  build.BuildTemplateOverlay();
  swf::TFlashSprite* previous = nullptr;
  for (std::size_t i = 0; i < album.SlideViews.Count(); ++i) {
    SCOPED_TRACE("slide " + std::to_string(i + 1));
    const std::uint32_t before = build.Movie().NextID;
    swf::TFlashSprite* sprite = build.BuildSlideSprite(album.SlideViews[i]);
    build.AddTransition(previous, sprite, album.SlideViews[i]);
    previous = sprite;
    build.ShowHoldFrames(album.SlideViews[i]);
    EXPECT_EQ(std::uint64_t(build.Movie().NextID - before), SlideCharacterCount(album, i));
  }
}

// A movie holds ids up to 65535: an album that needs more is refused
// before a slide is drawn, saying how many of its slides fit, where it used
// to wrap its ids around (ids defined twice, id 0) and report success. The
// largest album that fits is built with every id defined once.
TEST_F(AlbumMovieTest, AlbumsNeedingMoreIdsThanAMovieHoldsAreRefused) {
  // 660 slides at the default timing fit the frame limit (64,021 frames)
  // but need 660 × 101 ids (three for the slide, 98 for its transition).
  {
    TFlashAlbum album;
    for (int i = 0; i < 660; ++i) Slide(album, Path("missing.jpg"), 257);
    ASSERT_LE(AlbumFrameCount(album), kMaxMovieFrames);
    Recorder progress;
    try {
      BuildMovie(album, Path("large.swf"), "Create SWF Movie ...", progress);
      ADD_FAILURE() << "the album was built";
    } catch (const Error& e) {
      const std::string text = e.what();
      EXPECT_NE(text.find("more than the 65535 a movie can hold"), std::string::npos) << text;
      EXPECT_NE(text.find(" 648 of its 660 slides fit"), std::string::npos) << text;
    }
    EXPECT_FALSE(fs::exists(Path("large.swf")));
  }
  // Slides without transition take three ids (sprite, level sprite and
  // background); the loading frame two, the first slide's black rectangle
  // one: 21,844 slides end on id 65535.
  for (int slides : {21844, 21845}) {
    SCOPED_TRACE(std::to_string(slides) + " slides");
    TFlashAlbum album;
    album.FrameRate = 1;
    for (int i = 0; i < slides; ++i) Slide(album, Path("missing.jpg"), 0, 1, 1);
    Recorder progress;
    std::vector<std::uint8_t> bytes;
    if (slides == 21845) {
      EXPECT_THROW(BuildMovie(album, "", "Preview ...", progress, &bytes), Error);
      continue;
    }
    ASSERT_TRUE(BuildMovie(album, "", "Preview ...", progress, &bytes));
    const std::multiset<std::uint16_t> ids = DefinedIds(bytes);
    EXPECT_EQ(ids.count(0), 0u);
    EXPECT_EQ(std::set<std::uint16_t>(ids.begin(), ids.end()).size(), ids.size()) << "an id is defined twice";
    EXPECT_EQ(*ids.rbegin(), 65535);
  }
}

TEST_F(AlbumMovieTest, ReportsEveryStepAndClosesTheWindow) {
  TFlashAlbum album;
  for (int i = 0; i < 3; ++i) Slide(album, Path("missing.jpg"), 4609);
  Recorder progress;
  ASSERT_TRUE(BuildMovie(album, "", "Preview ...", progress));
  std::vector<std::string> steps;
  for (const std::string& line : progress.log)
    if (line.find("[3/4]") == std::string::npos && line.find("[4/4]") == std::string::npos) steps.push_back(line);
  EXPECT_EQ(steps, (std::vector<std::string>{"Processing [1/4]... 0", "show Preview ...", "Processing [1/3]... 10",
                                             "Processing [1/4]... 100", "Processing [2/4]... 10",
                                             "Processing [2/4]... 43", "Processing [2/4]... 77", "Save to file... 100",
                                             "close"}));
  auto has = [&](const char* step) {
    return std::any_of(progress.log.begin(), progress.log.end(),
                       [&](const std::string& l) { return l.find(step) != std::string::npos; });
  };
  EXPECT_TRUE(has("Processing [3/4]..."));
  EXPECT_TRUE(has("Processing [4/4]..."));
}

TEST_F(AlbumMovieTest, CancelWritesNothing) {
  TFlashAlbum album;
  for (int i = 0; i < 4; ++i) Slide(album, Photo("p.bmp", 8, 6, 200, 0, 0), 257);
  const std::string out = Path("out.swf");
  // Report 6 is "Processing [2/4]..." for the third slide; the last ones
  // come from the compression.
  for (int cancel_at : {2, 6, -2}) {
    SCOPED_TRACE(cancel_at);
    Recorder progress;
    if (cancel_at == -2) {
      Recorder count;
      ASSERT_TRUE(BuildMovie(album, "", "", count));
      cancel_at = count.reports - 1;  // the last compression report
    }
    progress.cancel_at = cancel_at;
    EXPECT_FALSE(BuildMovie(album, out, "Create SWF Movie ...", progress));
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(progress.log.back(), "close");
    // Nor is the half-written temporary file left behind.
    for (const auto& entry : fs::directory_iterator(dir_))
      EXPECT_EQ(entry.path().filename().string().rfind(".yel-write", 0), std::string::npos) << entry.path();
  }
  // A movie already there stays as it was when the compression is cancelled.
  WriteFileAtomically(out, std::string("old movie"));
  Recorder progress;
  Recorder count;
  ASSERT_TRUE(BuildMovie(album, "", "", count));
  progress.cancel_at = count.reports - 1;
  EXPECT_FALSE(BuildMovie(album, out, "Create SWF Movie ...", progress));
  EXPECT_EQ(ReadFileBytes(out), std::vector<std::uint8_t>({'o', 'l', 'd', ' ', 'm', 'o', 'v', 'i', 'e'}));
}

// The music step: "Processing [1/4]..." at 30 between the loading frame and
// the template, only with a music file, and a cancel there writes nothing.
TEST_F(AlbumMovieTest, MusicHasItsOwnProgressStepAndCancelPoint) {
  TFlashAlbum album;
  album.Width = 160, album.Height = 120, album.FrameRate = 12;
  Slide(album, Photo("a.bmp", 40, 30, 255, 0, 0), 0, 1, 1);
  album.MusicFile = Path("music.wav");
  WriteFileAtomically(album.MusicFile, testing::PcmWav(testing::Sine(1000, 1, 11025, 440), 1, 11025));
  Recorder progress;
  ASSERT_TRUE(BuildMovie(album, "", "Preview ...", progress));
  ASSERT_GE(progress.log.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(progress.log.begin(), progress.log.begin() + 6),
            (std::vector<std::string>{"Processing [1/4]... 0", "show Preview ...", "Processing [1/3]... 10",
                                      "Processing [1/4]... 30", "Processing [1/4]... 100", "Processing [2/4]... 10"}));
  Recorder cancelling;
  cancelling.cancel_at = 3;  // the music step
  EXPECT_FALSE(BuildMovie(album, Path("out.swf"), "Create SWF Movie ...", cancelling));
  EXPECT_EQ(cancelling.log.back(), "close");
  EXPECT_EQ(cancelling.log[cancelling.log.size() - 2], "Processing [1/4]... 30");
  EXPECT_FALSE(fs::exists(Path("out.swf")));
}

// The first slide enters over black: the outgoing picture of its transition
// is a black rectangle of the photo rectangle's size; the second slide's is
// the first slide's sprite.
TEST_F(AlbumMovieTest, FirstSlideEntersOverBlack) {
  TFlashAlbum album;
  album.Width = 161, album.Height = 121, album.FrameRate = 12;
  Slide(album, Photo("a.bmp", 40, 30, 255, 0, 0), 4609, 0.5f, 0.5f);
  Slide(album, Photo("b.bmp", 40, 30, 0, 0, 255), 4609, 0.5f, 0.5f);
  const auto bytes = Build(album);
  swf::TSWFStreamReader reader;
  reader.LoadFromBytes(bytes.data(), bytes.size(), "movie");
  reader.ParseTags();
  std::map<std::uint16_t, swf::TSWFObject*> defined;
  std::vector<std::uint16_t> slides, outgoing;  // at depth 101; under the masks at 102
  for (std::size_t i = 0; i < reader.TagCount(); ++i) {
    swf::TSWFObject* tag = reader.TagInfo(i).TagObject;
    if (auto* shape = dynamic_cast<swf::TSWFDefineShape*>(tag)) defined[shape->ShapeId] = tag;
    if (auto* sprite = dynamic_cast<swf::TSWFDefineSprite*>(tag)) defined[sprite->SpriteId] = tag;
    auto* place = dynamic_cast<swf::TSWFPlaceObject2*>(tag);
    if (!place || !place->HasCharacter) continue;
    if (place->Depth == 101) slides.push_back(place->CharacterId);
    if (place->Depth != 102) continue;
    // The masking sprite: the mask at depth 1, the outgoing picture at 2.
    auto* masking = dynamic_cast<swf::TSWFDefineSprite*>(defined[place->CharacterId]);
    ASSERT_NE(masking, nullptr);
    for (const auto& item : masking->ControlTags)
      if (auto* inner = dynamic_cast<swf::TSWFPlaceObject2*>(item.get()); inner && inner->Depth == 2)
        outgoing.push_back(inner->CharacterId);
  }
  ASSERT_EQ(slides.size(), 2u);
  ASSERT_EQ(outgoing.size(), 2u * 7);  // E = 6: seven frames a transition
  EXPECT_TRUE(std::all_of(outgoing.begin(), outgoing.begin() + 7, [&](auto id) { return id == outgoing[0]; }));
  EXPECT_TRUE(std::all_of(outgoing.begin() + 7, outgoing.end(), [&](auto id) { return id == slides[0]; }));
  auto* black = dynamic_cast<swf::TSWFDefineShape*>(defined[outgoing[0]]);
  ASSERT_NE(black, nullptr);
  EXPECT_EQ(black->ShapeBounds.XMin(), 0);
  EXPECT_EQ(black->ShapeBounds.YMin(), 0);
  EXPECT_EQ(black->ShapeBounds.XMax(), 161 * 20);
  EXPECT_EQ(black->ShapeBounds.YMax(), 121 * 20);
  ASSERT_EQ(black->FillStyles.size(), 1u);
  auto* fill = dynamic_cast<swf::TSWFColorFill*>(black->FillStyles[0].get());
  ASSERT_NE(fill, nullptr);
  EXPECT_EQ(fill->Color.RGBA(), 0xFF000000u);
}

TEST_F(AlbumMovieTest, DamagedPhotoIsAnErrorNamingTheFile) {
  TFlashAlbum album;
  Slide(album, Photo("good.bmp", 4, 4, 0, 0, 255), 257);
  const std::string bad = Path("bad.jpg");
  WriteFileAtomically(bad, std::string("\xFF\xD8\xFF\xE0 not really a JPEG", 22));
  Slide(album, bad, 257);
  const std::string text = Path("text.png");
  WriteFileAtomically(text, std::string("hello"));
  const std::string out = Path("out.swf");
  for (const std::string& photo : {bad, text}) {
    album.SlideViews[1].ImageFile = photo;
    Recorder progress;
    try {
      BuildMovie(album, out, "", progress);
      ADD_FAILURE() << "no error for " << photo;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(photo), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(progress.log.back(), "close");
  }
}

// Frame 1 runs the preloader: a function on onEnterFrame that compares the
// bytes loaded with the total and plays on from frame 2.
TEST_F(AlbumMovieTest, TheLoadingFrameRunsThePreloader) {
  TFlashAlbum album;
  Slide(album, Photo("p.bmp", 16, 12, 0, 200, 0), 0);
  const auto bytes = Build(album);
  swf::TSWFStreamReader reader;
  reader.LoadFromBytes(bytes.data(), bytes.size(), "movie");
  reader.ParseTags();
  const swf::TSWFDoAction* preloader = nullptr;
  for (std::size_t i = 0; i < reader.TagCount() && reader.TagInfo(i).TagID != swf::tag::ShowFrame; ++i)
    if (auto* action = dynamic_cast<swf::TSWFDoAction*>(reader.TagInfo(i).TagObject); action && action->TagID == swf::tag::DoAction)
      preloader = action;
  ASSERT_NE(preloader, nullptr);
  auto* pool = dynamic_cast<swf::TSWFActionConstantPool*>(preloader->Actions()[0]);
  ASSERT_NE(pool, nullptr);
  EXPECT_EQ(pool->ConstantPool, (std::vector<std::string>{"this", "onEnterFrame", "_root", "getBytesLoaded",
                                                          "getBytesTotal", "gotoAndPlay"}));
  int records = 0;
  for (const auto& action : preloader->Actions()) records += action->ActionCode != swf::kActionOffsetMarker;
  EXPECT_EQ(records, 24);
}

// The pixels of the movie's one bitmap, as RGB bytes rows from the top.
std::vector<std::uint8_t> SlideBitmap(TAlbumMovie& build) {
  swf::TFlashMovie& movie = build.Movie();
  EXPECT_EQ(movie.Images().Count(), 1u);
  media::TBMPReader& r = movie.Images().Items(0)->BMPReader();
  const int bytes = r.BitCount() / 8;
  std::vector<std::uint8_t> rgb;
  for (int y = 0; y < r.RowCount(); ++y)
    for (int x = 0; x < r.Width(); ++x) rgb.insert(rgb.end(), r.RowFromTop(y) + x * bytes, r.RowFromTop(y) + x * bytes + 3);
  return rgb;
}

// A photo prepared ahead on a worker thread (decoded and scaled down to its
// place) draws exactly the bitmap that drawing the photo on the slide makes;
// and a whole album comes out byte for byte the same whatever the number of
// threads preparing its photos and compressing its bitmaps.
TEST_F(AlbumMovieTest, PhotosPreparedAheadGiveTheSameMovie) {
  const struct {
    int photo_w, photo_h, album_w, album_h;
  } cases[] = {{1600, 1200, 720, 540}, {1203, 801, 400, 300}, {640, 960, 300, 300}, {90, 60, 300, 300}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.photo_w) + "x" + std::to_string(c.photo_h));
    const std::string file = Path("photo.jpg");
    WriteFileAtomically(file, yel::testing::PhotoLikeJpeg(c.photo_w, c.photo_h, 11));
    TFlashAlbum album;
    album.Width = c.album_w, album.Height = c.album_h;
    TSlideView& slide = Slide(album, file, 0);
    TAlbumMovie drawn(album), prepared(album);
    drawn.BuildTemplateOverlay();
    prepared.BuildTemplateOverlay();
    drawn.BuildSlideSprite(slide);
    const std::optional<TSlidePhoto> photo = PrepareSlidePhoto(file, prepared.PhotoRect);
    ASSERT_TRUE(photo.has_value());
    prepared.BuildSlideSprite(&photo->Picture, photo->FullWidth, photo->FullHeight);
    EXPECT_EQ(SlideBitmap(prepared), SlideBitmap(drawn));
  }
  EXPECT_FALSE(PrepareSlidePhoto(Path("missing.jpg"), {0, 0, 100, 100}).has_value());

  TFlashAlbum album;
  album.Width = 200, album.Height = 150, album.FrameRate = 6;
  for (int i = 0; i < 7; ++i) {
    const std::string file = Path("p" + std::to_string(i) + ".jpg");
    WriteFileAtomically(file, yel::testing::PhotoLikeJpeg(320 + 40 * i, 240, std::uint32_t(i)));
    Slide(album, i == 3 ? Path("missing.jpg") : file, i % 2 ? 4609 : 1537, 0.5f, 0.5f);
  }
  std::vector<std::vector<std::uint8_t>> movies;
  for (auto [photoThreads, compressionThreads] : {std::pair{1, 1}, {2, 1}, {5, 2}, {3, 7}}) {
    Recorder progress;
    TBuildOptions options;
    options.PhotoThreads = photoThreads;
    options.CompressionThreads = compressionThreads;
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(BuildMovie(album, "", "Preview ...", progress, &bytes, options));
    movies.push_back(std::move(bytes));
    EXPECT_EQ(movies.back(), movies.front()) << photoThreads << " photo threads";
  }
}

// A JPEG slide decoded at a reduced DCT scale looks like the slide drawn
// from the whole photo: same place and size, PSNR at least 40 dB.
TEST_F(AlbumMovieTest, ScaledPhotoDecodeLooksLikeTheWholePhoto) {
  const struct {
    int photo_w, photo_h, album_w, album_h;
  } cases[] = {{1600, 1200, 720, 540}, {1203, 801, 400, 300}, {640, 960, 300, 300}};
  for (const auto& c : cases) {
    const std::string file = Path("photo.jpg");
    WriteFileAtomically(file, yel::testing::PhotoLikeJpeg(c.photo_w, c.photo_h, 7));
    TFlashAlbum album;
    album.Width = c.album_w, album.Height = c.album_h;
    TSlideView& slide = Slide(album, file, 0);
    TAlbumMovie scaled(album), whole(album);
    scaled.BuildTemplateOverlay();
    whole.BuildTemplateOverlay();
    scaled.BuildSlideSprite(slide);
    const gdi::Picture full = LoadPhotoPicture(file);
    ASSERT_EQ(full.width, c.photo_w);
    whole.BuildSlideSprite(&full);
    const std::vector<std::uint8_t> a = SlideBitmap(scaled), b = SlideBitmap(whole);
    ASSERT_EQ(a.size(), b.size()) << c.photo_w << "x" << c.photo_h;
    double squares = 0;
    for (std::size_t i = 0; i < a.size(); ++i) squares += double(a[i] - b[i]) * (a[i] - b[i]);
    const double psnr = squares == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * double(a.size()) / squares);
    EXPECT_GE(psnr, 40) << c.photo_w << "x" << c.photo_h << " on " << c.album_w << "x" << c.album_h;
  }
}

TEST_F(AlbumMovieTest, SlidesOfOnePhotoAreIndependentSprites) {
  TFlashAlbum album;
  const std::string photo = Photo("p.bmp", 16, 12, 0, 200, 0);
  Slide(album, photo, 0);
  Slide(album, photo, 0);
  const auto bytes = Build(album);
  swf::TSWFStreamReader reader;
  reader.LoadFromBytes(bytes.data(), bytes.size(), "movie");
  reader.ParseTags();
  std::vector<std::uint16_t> placed;  // characters placed at depth 101
  for (std::size_t i = 0; i < reader.TagCount(); ++i)
    if (auto* place = dynamic_cast<swf::TSWFPlaceObject2*>(reader.TagInfo(i).TagObject); place && place->Depth == 101)
      placed.push_back(place->CharacterId);
  ASSERT_EQ(placed.size(), 2u);
  EXPECT_NE(placed[0], placed[1]);
}

TEST_F(AlbumMovieTest, SameAlbumSameBytesAndTheFileHoldsThem) {
  TFlashAlbum album;
  album.Width = 160, album.Height = 120, album.FrameRate = 12;
  Slide(album, Photo("a.bmp", 40, 30, 255, 0, 0), 1025, 1, 1);
  Slide(album, Photo("b.bmp", 30, 40, 0, 0, 255), 4354, 1, 1);
  Slide(album, Path("missing.bmp"), 1537, 1, 1);
  const std::string out = Path("album.swf");
  const auto first = Build(album, out);
  EXPECT_EQ(first, Build(album));
  EXPECT_EQ(ReadFileBytes(out), first);
  EXPECT_EQ(std::string(first.begin(), first.begin() + 4), std::string("CWS\x08"));
  // The bitmaps come out the same whatever number of threads compresses them.
  for (int threads : {1, 2, 5}) {
    Recorder progress;
    std::vector<std::uint8_t> again;
    TBuildOptions options;
    options.CompressionThreads = threads;
    ASSERT_TRUE(BuildMovie(album, "", "Preview ...", progress, &again, options));
    EXPECT_EQ(again, first) << threads << " threads";
  }
}

// The album's music streams under every frame, looping (the sound is
// shorter than the movie); without music, or with a music file that is not
// there, the movie has no sound tags.
TEST_F(AlbumMovieTest, MusicStreamsUnderEveryFrame) {
  TFlashAlbum album;
  album.Width = 160, album.Height = 120, album.FrameRate = 12;
  Slide(album, Photo("a.bmp", 40, 30, 255, 0, 0), 1025, 1, 1);
  Slide(album, Photo("b.bmp", 30, 40, 0, 0, 255), 4354, 1, 1);
  auto soundTags = [](const std::vector<std::uint8_t>& bytes, int& blocks, int& heads, int& frames, bool& blockBeforeEveryFrame) {
    swf::TSWFStreamReader reader;
    reader.LoadFromBytes(bytes.data(), bytes.size(), "movie");
    reader.ParseTags(false);
    blocks = heads = frames = 0;
    blockBeforeEveryFrame = true;
    int previous = -1;
    for (std::size_t i = 0; i < reader.TagCount(); ++i) {
      const int code = reader.TagInfo(i).TagID;
      if (code == 19) ++blocks;
      if (code == 18 || code == 45) ++heads;
      if (code == 1) {
        ++frames;
        if (previous != 19) blockBeforeEveryFrame = false;
      }
      previous = code;
    }
  };
  int blocks, heads, frames;
  bool everyFrame;
  soundTags(Build(album), blocks, heads, frames, everyFrame);
  EXPECT_EQ(blocks + heads, 0);
  album.MusicFile = Path("missing.mp3");
  soundTags(Build(album), blocks, heads, frames, everyFrame);
  EXPECT_EQ(blocks + heads, 0);

  const std::string wav = Path("music.wav");
  WriteFileAtomically(wav, testing::PcmWav(testing::Sine(11025, 1, 22050, 440), 1, 22050));
  const std::string mp3 = Path("music.mp3");
  WriteFileAtomically(mp3, testing::CbrFrames(20));
  for (const std::string& music : {wav, mp3}) {
    album.MusicFile = music;
    const auto bytes = Build(album);
    soundTags(bytes, blocks, heads, frames, everyFrame);
    EXPECT_EQ(heads, 1) << music;
    EXPECT_GT(frames, 40) << music;
    EXPECT_EQ(blocks, frames) << music;
    EXPECT_TRUE(everyFrame) << music;
    // Written into a file the movie is made twice; the sound starts over.
    EXPECT_EQ(Build(album, Path("music.swf")), bytes) << music;
  }
}

// A music file the sound readers cannot describe is an error naming the
// file, not a silent movie; no file is written.
TEST_F(AlbumMovieTest, MusicThatIsNotSoundIsAnErrorNamingTheFile) {
  TFlashAlbum album;
  album.Width = 160, album.Height = 120, album.FrameRate = 12;
  Slide(album, Photo("a.bmp", 40, 30, 255, 0, 0), 0, 1, 1);
  std::string noise;
  for (int i = 0; i < 4000; ++i) noise.push_back(static_cast<char>((i * 31) % 200));  // no MPEG frame sync
  for (const char* name : {"noise.mp3", "noise.wav", "empty.mp3"}) {
    SCOPED_TRACE(name);
    album.MusicFile = Path(name);
    WriteFileAtomically(album.MusicFile, std::string(name) == "empty.mp3" ? std::string() : noise);
    Recorder progress;
    try {
      BuildMovie(album, Path("out.swf"), "Create SWF Movie ...", progress);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(album.MusicFile), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(Path("out.swf")));
  }
}

}  // namespace
}  // namespace yel::publish
