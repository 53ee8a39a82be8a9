// Template overlay and loading frame: renamed copies of decorative clips,
// the overlay sprite's layers and the photo rectangle, errors for missing
// clips and hostile configuration files, and the loading bar's placement.
// Fixture themes are made with our movie builder; the movies also go
// through the swf-parser check (YEL_BUILDER_MOVIES).
#include "publish/template_overlay.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "album/album_model.h"
#include "album/theme_catalogue.h"
#include "base/byte_stream.h"
#include "base/error.h"
#include "base/files.h"
#include "publish/album_movie.h"
#include "swf/format/actions/do_action_tags.h"
#include "swf/format/swf_stream.h"
#include "tests/testing/shape_paths.h"
#include "tests/testing/temp_dir.h"
#include "tests/testing/theme_fixtures.h"

namespace yel::publish {
namespace {

namespace fs = std::filesystem;
using testing::InstallTemplate;
using testing::Rgb;

class Silent : public TfrmConvert {
 public:
  void Show(const std::string&) override {}
  bool ConvertProgress(const std::string&, int) override { return true; }
  void Close() override {}
};

void Keep(const std::vector<std::uint8_t>& bytes, const std::string& name) {
  if (const char* keep = std::getenv("YEL_BUILDER_MOVIES"))
    WriteFileAtomically((fs::path(keep) / ("overlay-" + name + ".swf")).string(), bytes);
}

std::vector<std::uint8_t> Build(const TFlashAlbum& album, const std::string& name) {
  Silent progress;
  std::vector<std::uint8_t> bytes;
  if (!BuildMovie(album, "", "", progress, &bytes)) return {};
  Keep(bytes, name);
  return bytes;
}

using Parsed = testing::ParsedMovie;

std::vector<std::string> ConstantPools(swf::TSWFStreamReader& reader) {
  std::vector<std::string> constants;
  for (std::size_t i = 0; i < reader.TagCount(); ++i)
    if (auto* actions = dynamic_cast<swf::TSWFDoAction*>(reader.TagInfo(i).TagObject))
      for (const auto& action : actions->Actions())
        if (auto* pool = dynamic_cast<swf::TSWFActionConstantPool*>(action.get()))
          constants.insert(constants.end(), pool->ConstantPool.begin(), pool->ConstantPool.end());
  return constants;
}

TEST(RenameShapeClip, EachCopyGetsItsOwnLinkageNameAndKeepsTheCompression) {
  testing::TempDir dir;
  for (bool compressed : {true, false}) {
    SCOPED_TRACE(compressed);
    const std::string clip = dir / (compressed ? "packed.swf" : "plain.swf");
    WriteFileAtomically(clip, testing::ShapeClip(40, 30, Rgb(200, 0, 0), compressed));
    for (int k : {1, 2}) {
      std::unique_ptr<TMemoryStream> copy = RenameShapeClip(clip, k);
      ASSERT_TRUE(copy);
      EXPECT_EQ(copy->Position(), 0u);
      const std::vector<std::uint8_t>& bytes = copy->Bytes();
      Keep(bytes, "shape-" + std::to_string(compressed) + "-" + std::to_string(k));
      ASSERT_GT(bytes.size(), 8u);
      EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3), compressed ? "CWS" : "FWS");
      Parsed parsed(bytes);
      EXPECT_EQ(parsed.ExportedNames(), std::vector<std::string>{"mc_Shape_" + std::to_string(k)});
      EXPECT_EQ(ConstantPools(parsed.reader),
                (std::vector<std::string>{"mc_Shape_" + std::to_string(k), "s", "this", "attachMovie"}));
      EXPECT_EQ(parsed.reader.Width(), 40 * 20);
    }
  }
  EXPECT_FALSE(RenameShapeClip(dir / "missing.swf", 1));
  const std::string text = dir.Write("text.swf", "not a movie");
  try {
    RenameShapeClip(text, 1);
    ADD_FAILURE() << "no error";
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << e.what();
  }
}

class OverlayTest : public ::testing::Test {
 protected:
  // A 320 x 240 album (no slides) that selects the template `name`.
  std::unique_ptr<TFlashAlbum> Album(const std::string& name) {
    auto album = std::make_unique<TFlashAlbum>(app_.path());
    album->Width = 320, album->Height = 240, album->FrameRate = 12;
    LoadTemplates(*album, name);
    return album;
  }
  std::string Folder(const std::string& name) const { return app_ / ("Theme/Template/" + name); }

  // config.ini of a template with a colour background, the photo frame
  // frame.swf and `size` as its [Size] section.
  static std::string Config(const std::string& size, const std::string& more = "") {
    return "[System]\nName=T\n[Background]\nType=1\nColor=0x336699\n[PhotoFrame]\nName=Ring\nFileName=frame.swf\n"
           "[Size]\n" + size + more;
  }

  testing::TempDir app_;
};

TEST_F(OverlayTest, LayersDepthsAndThePhotoRectangle) {
  const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files = {
      {"frame.swf", testing::RingClip(100, 80, 6, Rgb(250, 250, 250))},
      {"Shape.swf", testing::ShapeClip(40, 30, Rgb(0, 200, 0))}};
  const std::string shapes =
      "[Shapes]\nCount=3\n[Shape_1]\nFileName=shape.swf\nLeft=0.5\nTop=0.1\nWidth=80\nHeight=15\n"
      "[Shape_2]\nFileName=missing.swf\n[Shape_3]\nFileName=SHAPE.swf\nLeft=0.1\nTop=0.5\n";
  InstallTemplate(app_.path(), "Own", Config("Left=0.25\nTop=0.2\n", shapes), files);
  InstallTemplate(app_.path(), "Sized", Config("Left=0.25\nTop=0.2\nWidth=200\nHeight=150\n"), files);

  auto album = Album("Own");
  {
    TAlbumMovie build(*album);
    build.BuildLoadingFrame();
    build.BuildTemplateOverlay();
    // Width and Height 0: the photo frame's own size.
    EXPECT_EQ(build.PhotoRect.X, 80);
    EXPECT_EQ(build.PhotoRect.Y, 48);
    EXPECT_EQ(build.PhotoRect.W, 100);
    EXPECT_EQ(build.PhotoRect.H, 80);
  }
  const std::vector<std::uint8_t> bytes = Build(*album, "own");
  Parsed movie(bytes);
  EXPECT_EQ(movie.reader.FrameCount, 2) << "an album without slides: loading frame and template frame";
  auto layers = movie.Layers(kTemplateDepth);
  ASSERT_EQ(layers.size(), 5u);
  ASSERT_TRUE(layers[1]->HasClipDepth);
  EXPECT_EQ(layers[1]->ClipDepth, 2);
  for (std::uint16_t depth : {2, 3, 4, 5}) EXPECT_FALSE(layers[depth]->HasClipDepth) << depth;
  // The mask: the album area, and the window 4 px inside the photo
  // rectangle (84, 52) of 92 x 72.
  auto* mask = movie.Defined<swf::TSWFDefineShape>(layers[1]->CharacterId);
  ASSERT_TRUE(mask);
  std::vector<std::pair<std::int32_t, std::int32_t>> moves;
  for (const auto& record : mask->Edges)
    if (auto* change = dynamic_cast<swf::TSWFStyleChangeRecord*>(record.get()); change && change->StateMoveTo)
      moves.emplace_back(change->DeltaX, change->DeltaY);
  EXPECT_EQ(moves, (std::vector<std::pair<std::int32_t, std::int32_t>>{{84 * 20, 52 * 20}}));
  // The window runs against the album area (a hole under both fill rules).
  const std::vector<double> areas = testing::SubpathAreas(mask->Edges);
  ASSERT_EQ(areas.size(), 2u);
  EXPECT_GT(areas[0], 0);
  EXPECT_DOUBLE_EQ(areas[1], -2.0 * (92 * 20) * (72 * 20));
  EXPECT_EQ(mask->ShapeBounds.XMax(), 320 * 20);
  // The background under the mask, the frame at the photo rectangle
  // unscaled, the shapes in configuration order at 4 and 5.
  EXPECT_FALSE(layers[2]->HasMatrix && (layers[2]->Matrix().TranslateX || layers[2]->Matrix().HasScale));
  EXPECT_EQ(layers[3]->Matrix().TranslateX, 80 * 20);
  EXPECT_EQ(layers[3]->Matrix().TranslateY, 48 * 20);
  EXPECT_FALSE(layers[3]->Matrix().HasScale);
  EXPECT_EQ(layers[4]->Matrix().TranslateX, 160 * 20);
  EXPECT_EQ(layers[4]->Matrix().TranslateY, 24 * 20);
  EXPECT_FLOAT_EQ(layers[4]->Matrix().GetScaleX(), 2.0f);
  EXPECT_FLOAT_EQ(layers[4]->Matrix().GetScaleY(), 0.5f);
  EXPECT_EQ(layers[5]->Matrix().TranslateX, 32 * 20);
  EXPECT_EQ(layers[5]->Matrix().TranslateY, 120 * 20);
  EXPECT_FLOAT_EQ(layers[5]->Matrix().GetScaleX(), 1.0f);
  EXPECT_NE(layers[4]->CharacterId, layers[5]->CharacterId);
  // Two copies of one clip, two linkage names (the missing shape 2 is
  // skipped, shape 3 is the second copy).
  EXPECT_EQ(movie.ExportedNames(), (std::vector<std::string>{"mc_Shape_1", "mc_Shape_3"}));

  auto sized = Album("Sized");
  TAlbumMovie build(*sized);
  build.BuildTemplateOverlay();
  EXPECT_EQ(build.PhotoRect.W, 200);
  EXPECT_EQ(build.PhotoRect.H, 150);
  EXPECT_EQ(Parsed(Build(*sized, "sized")).Layers(kTemplateDepth).size(), 3u);
}

TEST_F(OverlayTest, WithoutTemplateOrConfigurationThePhotoRectangleIsTheAlbum) {
  InstallTemplate(app_.path(), "NoConfig", "", {});
  fs::remove(Folder("NoConfig") + "/config.ini");
  for (const char* name : {"", "NoConfig"}) {
    SCOPED_TRACE(name);
    auto album = Album(name);
    if (!*name) album->Templates.Clear();
    TAlbumMovie build(*album);
    build.BuildLoadingFrame();
    build.BuildTemplateOverlay();
    EXPECT_EQ(build.PhotoRect.X, 0);
    EXPECT_EQ(build.PhotoRect.W, 320);
    EXPECT_EQ(build.PhotoRect.H, 240);
    EXPECT_EQ(Parsed(Build(*album, "none")).reader.FrameCount, 1);
  }
}

// Missing clips, bad colours and file names that would lead out of the
// template's folder end the build with an error naming the file.
TEST_F(OverlayTest, BadConfigurationsAreErrorsNamingTheFile) {
  const auto frame = testing::RingClip(100, 80, 6, Rgb(250, 250, 250));
  struct Case {
    const char* name;
    std::string config;
    std::string names;  // text the message must hold besides the folder
  };
  const std::vector<Case> cases = {
      {"MissingFrame", "[Background]\nColor=0x000000\n[PhotoFrame]\nFileName=gone.swf\n", "gone.swf"},
      {"BadColour", "[Background]\nColor=blue\n[PhotoFrame]\nFileName=frame.swf\n", "config.ini"},
      {"UpFrame", "[Background]\nColor=0x000000\n[PhotoFrame]\nFileName=../Other/frame.swf\n", "config.ini"},
      {"RootImage", "[Background]\nType=2\nImage=/etc/passwd\n[PhotoFrame]\nFileName=frame.swf\n", "config.ini"},
      {"UpShape",
       "[Background]\nColor=0x000000\n[PhotoFrame]\nFileName=frame.swf\n[Shapes]\nCount=1\n[Shape_1]\n"
       "FileName=..\\\\x.swf\n",
       "config.ini"},
      {"ControlShape",
       "[Background]\nColor=0x000000\n[PhotoFrame]\nFileName=frame.swf\n[Shapes]\nCount=1\n[Shape_1]\n"
       "FileName=a\x01.swf\n",
       "config.ini"},
      {"NotAMovie", "[Background]\nColor=0x000000\n[PhotoFrame]\nFileName=text.swf\n", "text.swf"},
      {"NoSize", "[Background]\nColor=0x000000\n[Size]\nWidth=0\n", "config.ini"},
      {"HugeSize", "[Background]\nColor=0x000000\n[PhotoFrame]\nFileName=frame.swf\n[Size]\nWidth=1e30\n",
       "config.ini"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstallTemplate(app_.path(), c.name, c.config,
                    {{"frame.swf", frame}, {"text.swf", std::vector<std::uint8_t>{'h', 'i'}}});
    auto album = Album(c.name);
    Silent progress;
    try {
      BuildMovie(*album, "", "", progress);
      ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(Folder(c.name)), std::string::npos) << message;
      EXPECT_NE(message.find(c.names), std::string::npos) << message;
    }
  }
}

// The loading bar's movie (200 x 20) is moved to Shape's corner and scaled
// to its size (400 x 10); a loading background of kind 2 is an imported
// movie.
TEST_F(OverlayTest, LoadingBarIsScaledToItsShape) {
  const std::string folder = app_ / "Theme/LoadingBar/Bar";
  fs::create_directories(folder);
  WriteFileAtomically(folder + "/bar.SWF", testing::SolidClip(200, 20, Rgb(255, 255, 0)));
  const std::string background = app_ / "background.swf";
  WriteFileAtomically(background, testing::SolidClip(320, 240, Rgb(0, 0, 90)));
  TFlashAlbum album(app_.path());
  album.Width = 320, album.Height = 240;
  album.Template.Loading.Name = "Bar";
  album.Template.Loading.Shape = {60, 115, 400, 10};
  album.Template.Loading.Background.FillType = 2;
  album.Template.Loading.Background.ImageFile = background;
  Parsed movie(Build(album, "loading"));
  auto layers = movie.Layers(kLoadingDepth);
  ASSERT_EQ(layers.size(), 2u);
  EXPECT_TRUE(movie.Defined<swf::TSWFDefineSprite>(layers[1]->CharacterId)) << "the imported background";
  EXPECT_FLOAT_EQ(layers[2]->Matrix().GetScaleX(), 2.0f);
  EXPECT_FLOAT_EQ(layers[2]->Matrix().GetScaleY(), 0.5f);
  EXPECT_EQ(layers[2]->Matrix().TranslateX, 60 * 20);
  EXPECT_EQ(layers[2]->Matrix().TranslateY, 115 * 20);

  // Without a chosen bar frame 1 holds only the background; a background
  // movie that is not there ends the build naming it.
  album.Template.Loading.Name.clear();
  EXPECT_EQ(Parsed(Build(album, "no-bar")).Layers(kLoadingDepth).size(), 1u);
  album.Template.Loading.Background.ImageFile = app_ / "gone.swf";
  Silent progress;
  try {
    BuildMovie(album, "", "", progress);
    ADD_FAILURE() << "no error";
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find(app_ / "gone.swf"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace yel::publish
