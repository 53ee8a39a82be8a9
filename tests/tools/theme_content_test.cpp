// The theme content installed in the program's folder, read back with the
// program's own readers: catalogues and configuration files, every clip
// (frame size, linkage names), the tile pictures, the effect library and
// the links library.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "album/album_model.h"
#include "album/effect_codes.h"
#include "album/ini_file.h"
#include "album/resource_library.h"
#include "album/theme_catalogue.h"
#include "base/files.h"
#include "base/paths.h"
#include "media/bmp_reader.h"
#include "media/jpeg_file.h"
#include "swf/format/control_tags.h"
#include "swf/format/display_list_tags.h"
#include "swf/format/place_object_tags.h"
#include "swf/format/swf_stream.h"
#include "tests/testing/temp_dir.h"

namespace yel {
namespace {

const std::string kApp = std::string(YEL_PROGRAM_DIR) + "/";
constexpr double kAlbumWidth = 720, kAlbumHeight = 540;

// What a clip file holds, as our stream reader sees it.
struct Clip {
  double Width = 0, Height = 0;  // frame size in pixels
  std::string ExportName;        // first exported asset, empty when none
  bool ExportedIsPlacedSprite = false;
};

Clip ReadClip(const std::string& file) {
  swf::TSWFStreamReader reader(file);
  reader.ParseTags();
  Clip clip;
  clip.Width = (reader.MovieRect().Right - reader.MovieRect().Left) / 20.0;
  clip.Height = (reader.MovieRect().Bottom - reader.MovieRect().Top) / 20.0;
  std::set<std::uint16_t> sprites, placed;
  std::uint16_t exported = 0;
  for (std::size_t i = 0; i < reader.TagCount(); ++i) {
    const swf::TSWFObject* tag = reader.TagInfo(i).TagObject;
    if (auto* sprite = dynamic_cast<const swf::TSWFDefineSprite*>(tag)) sprites.insert(sprite->SpriteId);
    if (auto* place = dynamic_cast<const swf::TSWFBasedPlaceObject*>(tag)) placed.insert(place->CharacterId);
    if (auto* exports = dynamic_cast<const swf::TSWFExportAssets*>(tag); exports && !exports->Assets.empty()) {
      clip.ExportName = exports->Assets[0].Name;
      exported = exports->Assets[0].ID;
    }
  }
  clip.ExportedIsPlacedSprite = sprites.count(exported) && placed.count(exported);
  return clip;
}

media::TDecodedImage ReadView(const std::string& folder) {
  const std::string file = ResolvePathIgnoreCase(folder + "View.jpg");
  return media::DecodeJPEG(ReadFileBytes(file), file, false, true);
}

std::vector<std::string> ListIds(const std::string& file) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_file(file.c_str())) << file;
  std::vector<std::string> ids;
  for (pugi::xml_node entry : doc.document_element().children("Name")) ids.push_back(entry.attribute("id").value());
  return ids;
}

void ExpectListIds(const std::string& file) {
  std::vector<std::string> ids = ListIds(file);
  ASSERT_FALSE(ids.empty()) << file;
  for (std::size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(ids[i], std::to_string(i + 1)) << file;
}

TEST(InstalledContent, TemplatesAreCompleteAndFitTheDefaultAlbum) {
  TFlashAlbum album(kApp);
  std::vector<std::string> rejected;
  LoadTemplates(album, "", &rejected);
  EXPECT_TRUE(rejected.empty());
  ASSERT_GE(album.Templates.Items.size(), 6u);
  ExpectListIds(ResolvePathIgnoreCase(kApp + "Theme/Template/Config.xml"));
  int clipBackgrounds = 0;
  for (const auto& view : album.Templates.Items) {
    SCOPED_TRACE(view->Name);
    const std::string dir = view->SourceFile;
    const TTemplateConfig config = TTemplateConfig::Load(ResolvePathIgnoreCase(dir + "config.ini"));
    EXPECT_EQ(config.Name, view->Name);
    EXPECT_NO_THROW(ParseHexColour(config.BackgroundColor));
    ASSERT_TRUE(config.BackgroundType == 1 || config.BackgroundType == 2);
    if (config.BackgroundType == 2) {
      ++clipBackgrounds;
      const Clip background = ReadClip(ThemeFilePath(dir, config.BackgroundImage, "config.ini"));
      EXPECT_GE(background.Width, 1600);
      EXPECT_GE(background.Height, 1200);
    }
    // The photo rectangle lies inside the album and is large enough for the
    // overlay's window.
    const double x = config.Left * kAlbumWidth, y = config.Top * kAlbumHeight;
    EXPECT_GE(x, 0);
    EXPECT_GE(y, 0);
    EXPECT_GT(config.Width, 100);
    EXPECT_GT(config.Height, 100);
    EXPECT_LE(x + config.Width, kAlbumWidth);
    EXPECT_LE(y + config.Height, kAlbumHeight);
    const Clip frame = ReadClip(ThemeFilePath(dir, config.PhotoFrameFile, "config.ini"));
    EXPECT_EQ(frame.ExportName, "mc_PhotoFrame");
    EXPECT_TRUE(frame.ExportedIsPlacedSprite);
    EXPECT_EQ(frame.Width, config.Width);
    EXPECT_EQ(frame.Height, config.Height);
    for (const TTemplateShape& shape : config.Shapes) {
      SCOPED_TRACE(shape.FileName);
      const Clip clip = ReadClip(ThemeFilePath(dir, shape.FileName, "config.ini"));
      EXPECT_EQ(clip.ExportName, "mc_Shape");
      EXPECT_TRUE(clip.ExportedIsPlacedSprite);
      EXPECT_GT(shape.Width, 0);
      EXPECT_GT(shape.Height, 0);
      EXPECT_GE(shape.Left, 0);
      EXPECT_LE(shape.Left * kAlbumWidth + shape.Width, kAlbumWidth);
      EXPECT_LE(shape.Top * kAlbumHeight + shape.Height, kAlbumHeight);
    }
    const media::TDecodedImage picture = ReadView(dir);
    EXPECT_EQ(picture.Width * 3, picture.Height * 4);
  }
  EXPECT_GE(clipBackgrounds, 1);
}

TEST(InstalledContent, LoadingBarsAreCompleteAndCentred) {
  TFlashAlbum album(kApp);
  LoadLoadingBars(album, "");
  ASSERT_GE(album.LoadingBars.Items.size(), 4u);
  ExpectListIds(ResolvePathIgnoreCase(kApp + "Theme/LoadingBar/Config.xml"));
  for (const auto& view : album.LoadingBars.Items) {
    SCOPED_TRACE(view->Name);
    const std::string dir = view->SourceFile;
    const TLoadingBarConfig config = TLoadingBarConfig::Load(ResolvePathIgnoreCase(dir + "Config.ini"));
    EXPECT_EQ(config.Name, view->Name);
    EXPECT_EQ(config.BackgroundType, 1);
    EXPECT_NO_THROW(ParseHexColour(config.BackgroundColor));
    const Clip bar = ReadClip(ThemeFilePath(dir, view->Name + ".swf", "Config.ini"));
    EXPECT_EQ(bar.Width, config.Width);
    EXPECT_EQ(bar.Height, config.Height);
    EXPECT_NEAR(config.Left * kAlbumWidth + config.Width / 2, kAlbumWidth / 2, 0.5);
    EXPECT_NEAR(config.Top * kAlbumHeight + config.Height / 2, kAlbumHeight / 2, 0.5);
    EXPECT_GT(ReadView(dir).Width, 0);
  }
}

TEST(InstalledContent, ResourceFoldersListClipsForTheThemeEditor) {
  const struct {
    const char* folder;
    const char* exportName;
  } kinds[] = {{kBackgroundResourceFolder, ""},
               {kPhotoFrameResourceFolder, "mc_PhotoFrame"},
               {kAdornmentResourceFolder, "mc_Shape"}};
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.folder);
    const std::string base = ThemeFolderPath(kApp, kind.folder);
    const std::string list = ResolvePathIgnoreCase(base + "config.xml");
    ExpectListIds(list);
    for (const std::string& name : ReadListFile(list)) {
      int clips = 0;
      for (const auto& entry : std::filesystem::directory_iterator(ResolvePathIgnoreCase(base + name))) {
        if (entry.path().extension() != ".swf") continue;
        ++clips;
        const Clip clip = ReadClip(entry.path().string());
        EXPECT_EQ(clip.ExportName, kind.exportName) << entry.path();
        EXPECT_GT(clip.Width, 0);
      }
      EXPECT_GT(clips, 0) << name;
    }
  }
  EXPECT_TRUE(FolderExists(ThemeFolderPath(kApp, "Theme/Temp/")));
}

// Each tile shows its transition half-way, with the outgoing colour where
// the effect's figures leave the old picture.
TEST(InstalledContent, EffectLibraryHoldsATilePerEffectInTableOrder) {
  TFlashAlbum album(kApp);
  LoadEffectCatalogue(album);
  const std::vector<EffectInfo>& effects = AllEffects();
  ASSERT_EQ(album.Effects.Items.size(), effects.size());
  for (std::size_t i = 0; i < effects.size(); ++i) {
    EXPECT_EQ(album.Effects.Items[i]->Name, effects[i].Name);
    media::TBMPReader tile;
    ASSERT_NO_THROW(tile.LoadFromStream(album.Effects.Items[i]->PictureData, effects[i].Name));
    EXPECT_LE(tile.Width(), 100);
    EXPECT_LE(tile.Height(), 76);
  }
  TResourceLibrary library(kApp + "YEL_Effect.dll");
  const std::vector<std::uint8_t> text = library.ReadResource("INI", "YEL_Resource");
  const TIniFile ini = TIniFile::Parse(std::string(text.begin(), text.end()), "YEL_Resource");
  EXPECT_EQ(ini.ReadInteger("system", "Count", 0), 13);
  EXPECT_EQ(ini.ReadString("system", "Name"), "Effect_");
  EXPECT_EQ(ini.ReadString("Effect_11", "Name"), "Wheel");
  EXPECT_EQ(ini.ReadInteger("Effect_11", "Count", 0), 5);

  const media::TRGBQuad outgoing{40, 150, 240, 0}, incoming{190, 110, 50, 0};
  const struct {
    const char* name;
    int x, y;
    media::TRGBQuad colour;
  } samples[] = {
      {"Wipe1", 20, 36, incoming},  {"Wipe1", 76, 36, outgoing},    // the left half is open
      {"Box2", 48, 36, incoming},   {"Box2", 8, 8, outgoing},       // a centred hole
      {"Split1", 48, 36, outgoing}, {"Split1", 48, 8, incoming},    // a middle band remains
      {"Pull3", 80, 60, outgoing},  {"Pull3", 10, 10, incoming},    // a corner rectangle remains
  };
  for (const auto& sample : samples) {
    const std::vector<std::uint8_t> data = library.ReadResource("BMP", std::string("YEL_Eff_") + sample.name);
    media::TBMPReader tile;
    tile.LoadFromStream(data, sample.name);
    const media::TRGBQuad pixel = tile.GetPixel(tile.Height() - 1 - sample.y, sample.x);
    EXPECT_NEAR(pixel.Red, sample.colour.Red, 2) << sample.name << " at " << sample.x << "," << sample.y;
    EXPECT_NEAR(pixel.Green, sample.colour.Green, 2) << sample.name;
    EXPECT_NEAR(pixel.Blue, sample.colour.Blue, 2) << sample.name;
  }
}

std::uint32_t U16(const std::vector<std::uint8_t>& b, std::size_t at) { return b.at(at) | b.at(at + 1) << 8; }
std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

TEST(InstalledContent, LinksLibraryHoldsTheCDIconAndThePlayer) {
  TResourceLibrary library(kApp + "YEL_Links.dll");
#ifdef YEL_PLAYER_PROGRAM
  // The player program, byte for byte.
  EXPECT_TRUE(library.ReadResource("EXE", "YEL_Player") == ReadFileBytes(YEL_PLAYER_PROGRAM));
#else
  EXPECT_FALSE(library.HasResource("EXE", "YEL_Player"));  // built without Qt WebEngine
#endif
  const std::vector<std::uint8_t> icon = library.ReadResource("ICO", "YEL_CD");
  ASSERT_GE(icon.size(), 6u);
  EXPECT_EQ(U16(icon, 0), 0u);
  EXPECT_EQ(U16(icon, 2), 1u);  // an icon, not a cursor
  const std::uint32_t count = U16(icon, 4);
  std::set<int> sizes;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t entry = 6 + 16 * i;
    const int size = icon.at(entry) == 0 ? 256 : icon.at(entry);
    sizes.insert(size);
    EXPECT_EQ(U16(icon, entry + 6), 32u);
    const std::uint32_t length = U32(icon, entry + 8), offset = U32(icon, entry + 12);
    ASSERT_LE(std::uint64_t{offset} + length, icon.size());
    // The image: a 40-byte header with the height doubled for the mask, then
    // 32-bit rows bottom-up and the mask rows.
    EXPECT_EQ(U32(icon, offset), 40u);
    EXPECT_EQ(U32(icon, offset + 4), static_cast<std::uint32_t>(size));
    EXPECT_EQ(U32(icon, offset + 8), static_cast<std::uint32_t>(2 * size));
    EXPECT_EQ(U16(icon, offset + 14), 32u);
    EXPECT_EQ(length, 40u + size * size * 4 + ((size + 31) / 32) * 4 * size);
    auto alpha = [&](int x, int y) { return icon.at(offset + 40 + ((size - 1 - y) * size + x) * 4 + 3); };
    EXPECT_EQ(alpha(0, 0), 0) << size;                           // outside the disc
    EXPECT_EQ(alpha(size / 4, size / 2), 255) << size;           // on the disc
    EXPECT_LT(alpha(size / 2, size / 2), 32) << size;            // the centre hole
  }
  EXPECT_TRUE(sizes.count(32) && sizes.count(48));
}

// A rerun removes what its previous run wrote and no longer writes, and
// nothing else: not the user's own templates, not paths outside the folder.
TEST(ThemeContentGenerator, RemovesOnlyItsOwnStaleFiles) {
  testing::TempDir work;
  const std::string app = work / "app", outside = work.Write("outside.txt", "keep");
  std::filesystem::create_directories(app + "/Theme/Template/Old");
  std::filesystem::create_directories(app + "/Theme/Template/Mine");
  work.Write("app/Theme/Template/Old/View.jpg", "stale");
  work.Write("app/Theme/Template/Mine/View.jpg", "the user's");
  work.Write("stamp", "Theme/Template/Old/View.jpg\n../outside.txt\n" + outside + "\nTheme/Template/Classic/config.ini\n");
  const std::string command = std::string("'") + YEL_THEME_CONTENT + "' '" + app + "' '" + work / "stamp" + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(app + "/Theme/Template/Old"));
  EXPECT_TRUE(std::filesystem::exists(app + "/Theme/Template/Mine/View.jpg"));
  EXPECT_TRUE(std::filesystem::exists(outside));
  EXPECT_TRUE(std::filesystem::exists(app + "/Theme/Template/Classic/config.ini"));
  // The new stamp lists what was written, relative to the folder.
  std::ifstream stamp(work / "stamp");
  std::set<std::string> listed;
  for (std::string line; std::getline(stamp, line);) listed.insert(line);
  EXPECT_TRUE(listed.count("Theme/Template/Classic/config.ini"));
  EXPECT_TRUE(listed.count("YEL_Effect.dll"));
  EXPECT_FALSE(listed.count("Theme/Template/Old/View.jpg"));
}

}  // namespace
}  // namespace yel
