// Theme and effect catalogue: list files, tiles and their selection, tile
// layout, colour text, configuration files, the effect library, and the
// refusal of names that would lead outside the theme folders.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "album/ini_file.h"
#include "album/resource_library.h"
#include "album/theme_catalogue.h"
#include "base/files.h"
#include "tests/testing/temp_dir.h"

namespace yel {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::string List(std::initializer_list<const char*> names) {
  std::string xml = "<?xml version=\"1.0\"?>\n<Templates>";
  int id = 0;
  for (const char* n : names) xml += "<Name id=\"" + std::to_string(++id) + "\">" + n + "</Name>";
  return xml + "</Templates>";
}

// An AppFolder with a template catalogue listing `names`; those in
// `withPicture` get a "View.jpg".
void MakeCatalogue(const TempDir& app, const std::string& folder, const std::string& listName,
                   const std::string& list, std::initializer_list<const char*> withPicture) {
  fs::create_directories(app / folder);
  app.Write(folder + listName, list);
  for (const char* n : withPicture) {
    fs::create_directories(app / (folder + n));
    app.Write(folder + n + "/View.jpg", "jpeg");
  }
}

std::vector<std::string> Names(const TViews& views) {
  std::vector<std::string> names;
  for (const auto& v : views.Items) names.push_back(v->Name);
  return names;
}

TEST(ThemeCatalogueTest, TilesForEntriesWithPicturesAndTheWantedOneSelected) {
  TempDir app;
  MakeCatalogue(app, "Theme/Template/", "Config.xml", List({"A", "B", "C"}), {"B", "C"});
  TFlashAlbum album(app.path());
  LoadTemplates(album, "");
  EXPECT_EQ(Names(album.Templates), (std::vector<std::string>{"B", "C"}));
  ASSERT_NE(album.Templates.Selected, nullptr);
  EXPECT_EQ(album.Templates.Selected->Name, "B");

  LoadTemplates(album, "C");
  EXPECT_EQ(album.Templates.Selected->Name, "C");
  EXPECT_FALSE(album.Templates.Items[0]->Selected);
  EXPECT_EQ(album.Templates.Items[1]->SourceFile, app / "Theme/Template/C/");
}

TEST(ThemeCatalogueTest, HandFormattedListEntriesAreTrimmed) {
  // A list laid out by hand: names on lines of their own, indented.
  TempDir app;
  MakeCatalogue(app, "Theme/Template/", "Config.xml",
                "<?xml version=\"1.0\"?>\r\n<Templates>\r\n  <Name id=\"1\">\r\n    Classic\r\n  </Name>\r\n"
                "  <Name id=\"2\"> Night\t</Name>\n  <Name id=\"3\">  </Name>\n</Templates>\n",
                {"Classic", "Night"});
  std::vector<std::string> rejected;
  EXPECT_EQ(ReadListFile(app / "Theme/Template/Config.xml", &rejected), (std::vector<std::string>{"Classic", "Night"}));
  ASSERT_EQ(rejected.size(), 1u);
  EXPECT_NE(rejected[0].find("the name is empty"), std::string::npos) << rejected[0];
  TFlashAlbum album(app.path());
  LoadTemplates(album, "Night");
  EXPECT_EQ(Names(album.Templates), (std::vector<std::string>{"Classic", "Night"}));
  ASSERT_NE(album.Templates.Selected, nullptr);
  EXPECT_EQ(album.Templates.Selected->Name, "Night");
  // Removing finds the entry by its trimmed name.
  RemoveListEntry(app / "Theme/Template/Config.xml", "Classic");
  EXPECT_EQ(ReadListFile(app / "Theme/Template/Config.xml"), (std::vector<std::string>{"Night"}));
}

TEST(ThemeCatalogueTest, NamesAndFilesMatchWithoutRegardToCase) {
  TempDir app;
  // "config.xml" where "Config.xml" is asked for, "view.JPG" for "View.jpg".
  MakeCatalogue(app, "Theme/loadingbar/", "config.xml", List({"Bar"}), {});
  fs::create_directories(app / "Theme/loadingbar/BAR");
  app.Write("Theme/loadingbar/BAR/view.JPG", "jpeg");
  TFlashAlbum album(app.path());
  LoadLoadingBars(album, "");
  ASSERT_EQ(Names(album.LoadingBars), (std::vector<std::string>{"Bar"}));
  EXPECT_EQ(album.LoadingBars.Items[0]->PictureFile, app / "Theme/loadingbar/BAR/view.JPG");
}

TEST(ThemeCatalogueTest, MissingFoldersLeaveTheCatalogueAndBrokenListsNameTheFile) {
  TempDir app;
  TFlashAlbum album(app.path());
  album.Templates.Items.push_back(std::make_unique<TView>());
  LoadTemplates(album, "");
  EXPECT_EQ(album.Templates.Items.size(), 1u) << "no folder: left as it is";

  MakeCatalogue(app, "Theme/Template/", "Config.xml", "<Templates><Name>A</Templates>", {"A"});
  try {
    LoadTemplates(album, "");
    FAIL() << "a broken list must throw";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("Config.xml"), std::string::npos) << e.what();
  }
  EXPECT_EQ(album.Templates.Items.size(), 1u) << "a broken list leaves the catalogue as it was";
}

TEST(ThemeCatalogueTest, UnsafeNamesAreRefusedAndTheOthersGoOn) {
  TempDir app;
  // A picture outside the catalogue that a "../" entry would reach.
  fs::create_directories(app / "Theme/Outside");
  app.Write("Theme/Outside/View.jpg", "jpeg");
  MakeCatalogue(app, "Theme/Template/", "Config.xml",
                List({"../Outside", "..", "a\\b", "x\x01y", "", "Good"}), {"Good"});
  TFlashAlbum album(app.path());
  std::vector<std::string> rejected;
  LoadTemplates(album, "", &rejected);
  EXPECT_EQ(Names(album.Templates), (std::vector<std::string>{"Good"}));
  ASSERT_EQ(rejected.size(), 5u);
  EXPECT_NE(rejected[0].find("\"../Outside\""), std::string::npos) << rejected[0];
  EXPECT_NE(rejected[0].find("Config.xml"), std::string::npos);
  EXPECT_NE(rejected[3].find("control character"), std::string::npos);

  EXPECT_THROW(ThemeFilePath(app / "Theme/Template/Good/", "../../x.swf", "config.ini"), std::runtime_error);
  EXPECT_THROW(AddListEntry(app / "Theme/Template/Config.xml", "../evil"), std::runtime_error);
  EXPECT_EQ(ThemeFilePath(app / "Theme/Template/Good/", "VIEW.JPG", "config.ini"),
            app / "Theme/Template/Good/View.jpg");
}

// Links are followed only while they stay inside the theme folders: a
// template folder or a clip that is a link to somewhere else is refused.
TEST(ThemeCatalogueTest, LinksOutOfTheThemeFoldersAreNotFollowed) {
  TempDir app;
  fs::create_directories(app / "elsewhere");
  app.Write("elsewhere/View.jpg", "jpeg");
  app.Write("elsewhere/clip.swf", "FWS");
  MakeCatalogue(app, "Theme/Template/", "Config.xml", List({"Linked", "Good", "Alias"}), {"Good"});
  fs::create_directory_symlink(app / "elsewhere", app / "Theme/Template/Linked");
  fs::create_directory_symlink(app / "Theme/Template/Good", app / "Theme/Template/Alias");  // stays inside
  fs::create_symlink(app / "elsewhere/clip.swf", app / "Theme/Template/Good/clip.swf");
  fs::create_symlink("View.jpg", app / "Theme/Template/Good/same.jpg");
  TFlashAlbum album(app.path());
  std::vector<std::string> rejected;
  LoadTemplates(album, "", &rejected);
  EXPECT_EQ(Names(album.Templates), (std::vector<std::string>{"Good", "Alias"}));
  ASSERT_EQ(rejected.size(), 1u);
  EXPECT_NE(rejected[0].find("\"Linked\" is left out: its folder is a link that leads outside"), std::string::npos)
      << rejected[0];
  const std::string good = app / "Theme/Template/Good/";
  try {
    ThemeFilePath(good, "clip.swf", good + "config.ini");
    ADD_FAILURE() << "a clip linked from elsewhere was accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("config.ini: the file name \"clip.swf\" is refused: it is a link"),
              std::string::npos)
        << e.what();
  }
  EXPECT_EQ(ThemeFilePath(good, "same.jpg", "config.ini"), good + "same.jpg");
  EXPECT_EQ(ThemeFilePath(good, "not-there.swf", "config.ini"), good + "not-there.swf");
}

TEST(ThemeCatalogueTest, TileLayoutWrapsRowsInTheScrollArea) {
  TTileLayout layout(400);
  std::vector<std::pair<int, int>> got;
  for (int i = 0; i < 5; ++i) {
    TView tile;
    layout.Place(tile);
    got.emplace_back(tile.Left, tile.Top);
  }
  EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{8, 8}, {126, 8}, {244, 8}, {8, 126}, {126, 126}}));
}

TEST(ThemeCatalogueTest, HexColourText) {
  EXPECT_EQ(FormatHexColour(0xFFFFFF), "0xFFFFFF");
  EXPECT_EQ(FormatHexColour(0x0000FF), "0xFF0000") << "pure red is the low byte";
  EXPECT_EQ(FormatHexColour(0x0A0B0C), "0x0C0B0A");
  for (const char* text : {"0x00FF80", "zz00FF80", "0x00ff80", "0x00FF80tail"})
    EXPECT_EQ(ParseHexColour(text), 0x80FF00u) << text;
  for (const char* text : {"FF", "", "0x00FF8", "0x00FG80", "0x-1FF80"})
    EXPECT_THROW(ParseHexColour(text), std::invalid_argument) << text;
  for (TColor c : {0x000000u, 0x123456u, 0xFFFFFFu}) EXPECT_EQ(ParseHexColour(FormatHexColour(c)), c);
}

TEST(ThemeCatalogueTest, ListFileAddAndRemoveKeepIdsInOrder) {
  TempDir dir;
  const std::string path = dir.Write("config.xml", "<?xml version=\"1.0\"?><List/>");
  for (const char* n : {"A", "B", "A", "C"}) AddListEntry(path, n);
  EXPECT_EQ(ReadListFile(path), (std::vector<std::string>{"A", "B", "A", "C"}));

  RemoveListEntry(path, "A");  // the last "A"
  EXPECT_EQ(ReadListFile(path), (std::vector<std::string>{"A", "B", "C"}));
  std::string xml = testing::ReadAll(path);
  EXPECT_NE(xml.find("<Name id=\"3\">C</Name>"), std::string::npos) << xml;

  // No match: only the last entry is renumbered.
  dir.Write("config.xml", "<List><Name id=\"7\">A</Name><Name id=\"9\">B</Name></List>");
  RemoveListEntry(path, "Z");
  xml = testing::ReadAll(path);
  EXPECT_NE(xml.find("<Name id=\"7\">A</Name>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<Name id=\"2\">B</Name>"), std::string::npos) << xml;
}

TEST(ThemeCatalogueTest, TemplateConfigurationDefaultsAndRoundTrip) {
  TempDir dir;
  const std::string path = dir.Write("config.ini", "[background]\ncolor=0x112233\n[SHAPES]\ncount=1\n");
  TTemplateConfig c = TTemplateConfig::Load(path);
  EXPECT_EQ(c.BackgroundType, 1);
  EXPECT_EQ(c.BackgroundColor, "0x112233") << "sections and keys without regard to case";
  EXPECT_DOUBLE_EQ(c.Left, 0.2);
  EXPECT_DOUBLE_EQ(c.Top, 0.15);
  ASSERT_EQ(c.Shapes.size(), 1u);
  EXPECT_EQ(c.Shapes[0].Width, 0);

  c.Name = "Classic";
  c.BackgroundType = 2;
  c.BackgroundImage = "Back.swf";
  c.PhotoFrameFile = "Frame.swf";
  c.Width = 400;
  c.Shapes[0] = {"Star.swf", 0.5, 0.25, 30, 40};
  c.Save(path);
  TTemplateConfig back = TTemplateConfig::Load(path);
  EXPECT_EQ(back.BackgroundImage, "Back.swf");
  EXPECT_EQ(back.PhotoFrameFile, "Frame.swf");
  EXPECT_DOUBLE_EQ(back.Width, 400);
  ASSERT_EQ(back.Shapes.size(), 1u);
  EXPECT_EQ(back.Shapes[0].FileName, "Star.swf");
  EXPECT_DOUBLE_EQ(back.Shapes[0].Left, 0.5);
  EXPECT_DOUBLE_EQ(back.Shapes[0].Height, 40);

  EXPECT_THROW(TTemplateConfig::Load(dir / "missing.ini"), std::runtime_error);
  const std::string binary = dir.Write("binary.ini", std::string("[a]\nb=\0c", 8));
  EXPECT_THROW(TIniFile::Load(binary), std::runtime_error);
}

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// A chosen loading bar sets the album's loading state from its Config.ini,
// only when its movie is there too; a bad colour names the file.
TEST(ThemeCatalogueTest, ApplyLoadingBarSetsTheLoadingState) {
  TempDir app;
  fs::create_directories(app / "Theme/LoadingBar/Dots");
  fs::create_directories(app / "Theme/LoadingBar/Broken");
  fs::create_directories(app / "Theme/LoadingBar/NoMovie");
  app.Write("Theme/LoadingBar/Dots/config.ini", "[Size]\nLeft=0.25\nTop=0.5\nWidth=200.5\nHeight=20\n[Background]\nColor=0x00FF80\n");
  app.Write("Theme/LoadingBar/Dots/DOTS.swf", "movie");
  app.Write("Theme/LoadingBar/Broken/Config.ini", "[Background]\nColor=green\n");
  app.Write("Theme/LoadingBar/Broken/Broken.swf", "movie");
  app.Write("Theme/LoadingBar/NoMovie/Config.ini", "[Background]\nColor=0x000000\n");
  TFlashAlbum album(app.path());
  album.Width = 400, album.Height = 300;
  EXPECT_FALSE(ApplyLoadingBar(album, "NoMovie"));
  EXPECT_TRUE(album.Template.Loading.Name.empty());
  ASSERT_TRUE(ApplyLoadingBar(album, "Dots"));
  const TLoading& loading = album.Template.Loading;
  EXPECT_EQ(loading.Name, "Dots");
  EXPECT_EQ(loading.Shape.Left, 100);
  EXPECT_EQ(loading.Shape.Top, 150);
  EXPECT_EQ(loading.Shape.Width, 200.5f);
  EXPECT_EQ(loading.Shape.Height, 20);
  EXPECT_EQ(loading.Background.Color, ParseHexColour("0x00FF80"));
  EXPECT_EQ(loading.Background.FillType, 1);
  try {
    ApplyLoadingBar(album, "Broken");
    ADD_FAILURE() << "no error";
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find(app / "Theme/LoadingBar/Broken/Config.ini"), std::string::npos) << e.what();
  }
  EXPECT_THROW(ApplyLoadingBar(album, "../Template"), std::runtime_error);
}

TEST(ThemeCatalogueTest, EffectTilesComeFromTheLibraryInItsOrder) {
  TempDir app;
  std::vector<TResourceEntry> entries = {
      {"INI", "YEL_Resource",
       Bytes("[system]\nCount=3\nName=Effect_\n[Effect_1]\nName=Wheel\nCount=5\n[Effect_2]\nName=../x\nCount=1\n"
             "[Effect_3]\nName=Fade\nCount=1\n")}};
  for (const char* n : {"Wheel1", "Wheel2", "Wheel3", "Wheel4", "Wheel5", "Fade1"})
    entries.push_back({"BMP", std::string("YEL_Eff_") + n, Bytes(std::string("BM") + n)});
  WriteResourceLibrary(app / "YEL_Effect.dll", entries);
  TFlashAlbum album(app.path());
  std::vector<std::string> rejected;
  LoadEffectCatalogue(album, &rejected);
  EXPECT_EQ(Names(album.Effects), (std::vector<std::string>{"Wheel1", "Wheel2", "Wheel3", "Wheel4", "Wheel5", "Fade1"}));
  EXPECT_EQ(album.Effects.Items[2]->PictureData, Bytes("BMWheel3"));
  EXPECT_EQ(album.Effects.Selected, nullptr);
  EXPECT_EQ(album.Effects.Items[3]->Left, 8);
  EXPECT_EQ(album.Effects.Items[3]->Top, 126);
  EXPECT_EQ(rejected.size(), 1u);

  // The same resources make the same file, whenever they are written.
  const std::vector<std::uint8_t> first = ReadFileBytes(app / "YEL_Effect.dll");
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));  // past the zip date's 2-second step
  WriteResourceLibrary(app / "YEL_Effect.dll", entries);
  EXPECT_EQ(ReadFileBytes(app / "YEL_Effect.dll"), first);

  // A missing tile picture throws; the tiles before it stay.
  entries.pop_back();
  WriteResourceLibrary(app / "YEL_Effect.dll", entries);
  TFlashAlbum second(app.path());
  EXPECT_THROW(LoadEffectCatalogue(second), std::runtime_error);
  EXPECT_EQ(second.Effects.Items.size(), 5u);
}

TEST(ThemeCatalogueTest, MissingOrDamagedEffectLibrary) {
  TempDir app;
  TFlashAlbum album(app.path());
  LoadEffectCatalogue(album);  // no library: no tiles, no error
  EXPECT_TRUE(album.Effects.Items.empty());

  app.Write("YEL_Effect.dll", "this is not a zip archive");
  try {
    LoadEffectCatalogue(album);
    FAIL() << "a damaged library must throw";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("YEL_Effect.dll"), std::string::npos) << e.what();
  }
  WriteResourceLibrary(app / "YEL_Effect.dll", {{"BMP", "YEL_Eff_Fade1", Bytes("BM")}});
  TResourceLibrary library(app / "YEL_Effect.dll");
  EXPECT_TRUE(library.HasResource("bmp", "yel_eff_fade1"));
  EXPECT_THROW(library.ReadResource("INI", "YEL_Resource"), std::runtime_error);
}

}  // namespace
}  // namespace yel
