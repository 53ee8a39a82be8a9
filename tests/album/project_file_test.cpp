#include "album/project_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include <clocale>

#include "album/album_model.h"
#include "base/error.h"
#include "tests/testing/temp_dir.h"

namespace yel {
namespace {

using testing::ReadAll;
using testing::TempDir;

std::string Doc(const std::string& album_content) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Document xmlns=\"Quenlo\"><Album>" + album_content +
         "</Album></Document>\n";
}

// Opens text as a project and returns the error message ("" when it opened).
std::string OpenText(TFlashAlbum& album, const TempDir& dir, const std::string& text) {
  std::string path = dir.Write("p.yel", text);
  try {
    OpenProjectFile(album, path);
    return "";
  } catch (const Error& e) {
    return e.what();
  }
}

TEST(ProjectFile, WritesTheElementTreeExactly) {
  TFlashAlbum album;
  album.AddSlide("/p/a & b.jpg");
  album.SlideViews[0].Transition.EntryEffect = 2051;
  album.AddSlide("/p/c.jpg");
  album.SlideViews[1].Transition.EntryEffect = 0;
  album.SlideViews[1].Transition.Speed = 2.2f;
  album.SlideViews[1].Transition.Duration = 0.5f;
  album.Background = 0xFFFFFF;
  album.SlideViews[1].Background.Color = 0x80000005;  // a system colour comes out negative

  EXPECT_EQ(ProjectFileText(album),
            Doc("<Width>720</Width><Height>540</Height><FrameRate>24</FrameRate><Background>16777215</Background>"
                "<SlideView>"
                "<SlideView1><SlideIndex>1</SlideIndex><ImageFile>/p/a &amp; b.jpg</ImageFile>"
                "<Background><Color>16777215</Color><ImageFile>/p/a &amp; b.jpg</ImageFile><FillType>2</FillType>"
                "</Background><Transition><EntryEffect>2051</EntryEffect><Speed>2</Speed><Duration>2</Duration>"
                "<SoundFile>None</SoundFile></Transition></SlideView1>"
                "<SlideView2><SlideIndex>2</SlideIndex><ImageFile>/p/c.jpg</ImageFile>"
                "<Background><Color>-2147483643</Color><ImageFile>/p/c.jpg</ImageFile><FillType>2</FillType>"
                "</Background><Transition><EntryEffect>0</EntryEffect><Speed>2.20000004768372</Speed>"
                "<Duration>0.5</Duration><SoundFile>None</SoundFile></Transition></SlideView2>"
                "</SlideView>"));
}

TEST(ProjectFile, SaveAndOpenRoundTrip) {
  TempDir dir;
  TFlashAlbum album;
  album.Width = 800;
  album.Height = 600;
  album.FrameRate = 12;
  album.Background = 0x336699;
  for (const char* photo : {"/p/é.jpg", "/p/b.png"}) album.AddSlide(photo);
  album.SlideViews[1].Transition.Speed = 2.2f;
  album.SlideViews[1].Transition.SoundFile = "ding.wav";
  album.SlideViews[1].Background.FillType = 1;
  std::string path = dir / "album.yel";
  SaveProjectFile(album, path);
  EXPECT_EQ(album.ProjectFileName, path);

  TFlashAlbum loaded;
  loaded.MusicFile = "other.mp3";
  loaded.TemplateName = "Ocean";
  OpenProjectFile(loaded, path);
  EXPECT_EQ(loaded.ProjectFileName, path);
  EXPECT_EQ(loaded.Width, 800);
  EXPECT_EQ(loaded.Height, 600);
  EXPECT_EQ(loaded.FrameRate, 12);
  EXPECT_EQ(loaded.Background, 0x336699u);
  EXPECT_EQ(loaded.MusicFile, "");          // saved without music: none, not the previous album's
  EXPECT_EQ(loaded.TemplateName, "Ocean");  // named by none: left as it was
  ASSERT_EQ(loaded.SlideViews.Count(), 2u);
  EXPECT_EQ(loaded.SlideViews.Selected(), nullptr);
  for (std::size_t i = 0; i < 2; ++i) {
    const TSlideView& a = album.SlideViews[i];
    const TSlideView& b = loaded.SlideViews[i];
    EXPECT_EQ(b.ImageFile, a.ImageFile);
    EXPECT_EQ(b.SlideIndex, a.SlideIndex);
    EXPECT_EQ(b.Left, a.Left);
    EXPECT_EQ(b.Background.Color, a.Background.Color);
    EXPECT_EQ(b.Background.FillType, a.Background.FillType);
    EXPECT_EQ(b.Transition.EntryEffect, a.Transition.EntryEffect);
    EXPECT_EQ(b.Transition.Speed, a.Transition.Speed);  // float32 survives exactly
    EXPECT_EQ(b.Transition.Duration, a.Transition.Duration);
    EXPECT_EQ(b.Transition.SoundFile, a.Transition.SoundFile);
  }
  loaded.TemplateName.clear();
  EXPECT_EQ(ProjectFileText(loaded), ReadAll(path));
}

// The chosen template, loading bar and music follow the slides, each only
// when set, and come back on opening.
TEST(ProjectFile, KeepsTheThemeAndMusicAfterTheSlides) {
  TempDir dir;
  TFlashAlbum album;
  album.TemplateName = "My <Polaroid>";
  album.LoadingBarName = "Ocean";
  album.MusicFile = "/m/song & dance.mp3";
  EXPECT_EQ(ProjectFileText(album),
            Doc("<Width>720</Width><Height>540</Height><FrameRate>24</FrameRate><Background>0</Background>"
                "<SlideView></SlideView><Template>My &lt;Polaroid&gt;</Template><LoadingBar>Ocean</LoadingBar>"
                "<Music>/m/song &amp; dance.mp3</Music>"));
  std::string path = dir / "themed.yel";
  SaveProjectFile(album, path);
  TFlashAlbum loaded;
  OpenProjectFile(loaded, path);
  EXPECT_EQ(loaded.TemplateName, album.TemplateName);
  EXPECT_EQ(loaded.LoadingBarName, album.LoadingBarName);
  EXPECT_EQ(loaded.MusicFile, album.MusicFile);

  // Only what is set is written; the rest stays out.
  loaded.LoadingBarName.clear();
  loaded.MusicFile.clear();
  EXPECT_NE(ProjectFileText(loaded).find("</SlideView><Template>My &lt;Polaroid&gt;</Template></Album>"),
            std::string::npos);
}

TEST(ProjectFile, EmptyAlbumRoundTrip) {
  TempDir dir;
  TFlashAlbum album;
  album.Width = 640;
  std::string path = dir / "empty.yel";
  SaveProjectFile(album, path);
  EXPECT_NE(ReadAll(path).find("<SlideView></SlideView>"), std::string::npos);
  TFlashAlbum loaded;
  loaded.AddSlide("old.jpg");
  OpenProjectFile(loaded, path);
  EXPECT_EQ(loaded.SlideViews.Count(), 0u);
  EXPECT_EQ(loaded.Width, 640);
}

TEST(ProjectFile, ReaderRulesForForeignButValidFiles) {
  TempDir dir;
  TFlashAlbum album;
  album.FrameRate = 36;
  // Any slide element names, SlideIndex ignored, missing FrameRate keeps the
  // album's, a slide without Transition gets a random effect, whitespace and
  // comments between elements, another root name, CDATA text.
  std::string text =
      "<?xml version='1.0'?>\n<Project>\n  <Album>\n    <Width>100</Width>\n    <!-- note -->\n"
      "    <SlideView>\n      <First><SlideIndex>5</SlideIndex><ImageFile><![CDATA[/p/x.jpg]]></ImageFile>\n"
      "        <Transition><EntryEffect>257</EntryEffect><Speed>1.5</Speed></Transition></First>\n"
      "      <!-- not a slide -->\n"
      "      <zzz><SlideIndex>3</SlideIndex></zzz>\n"
      "      <SlideView9><SlideIndex>9</SlideIndex><Background><Color>255</Color></Background></SlideView9>\n"
      "    </SlideView>\n  </Album>\n</Project>\n";
  ASSERT_EQ(OpenText(album, dir, text), "");
  EXPECT_EQ(album.Width, 100);
  EXPECT_EQ(album.Height, 540);
  EXPECT_EQ(album.FrameRate, 36);
  ASSERT_EQ(album.SlideViews.Count(), 3u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(album.SlideViews[i].SlideIndex, static_cast<int>(i + 1));
  EXPECT_EQ(album.SlideViews[0].ImageFile, "/p/x.jpg");
  EXPECT_EQ(album.SlideViews[0].Background.ImageFile, "/p/x.jpg");
  EXPECT_EQ(album.SlideViews[0].Transition.EntryEffect, 257);
  EXPECT_EQ(album.SlideViews[0].Transition.Speed, 1.5f);
  EXPECT_EQ(album.SlideViews[0].Transition.Duration, 2.0f);
  EXPECT_EQ(album.SlideViews[1].ImageFile, "");
  EXPECT_EQ(album.SlideViews[1].Background.FillType, 2);
  EXPECT_EQ(album.SlideViews[1].Transition.Speed, 2.0f);
  EXPECT_EQ(album.SlideViews[2].Background.Color, 255u);
  EXPECT_EQ(album.SlideViews[2].Left, 268);
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(ProjectFile, BadFilesAreRefusedAndLeaveTheAlbumUnchanged) {
  struct Case {
    const char* what;
    std::string text;
    const char* message;  // part of the expected error
  } cases[] = {
      {"not XML", "this is not xml", "not a well-formed XML document"},
      {"truncated", Doc("<Width>720</Width>").substr(0, 60), "line 2"},
      {"empty file", "", "not a well-formed XML document"},
      {"no Album", "<html><body/></html>", "not a project file"},
      {"text width", Doc("<Width>wide</Width>"), "element <Width>: 'wide' is not an integer"},
      {"empty width", Doc("<Width></Width>"), "element <Width>"},
      {"negative width", Doc("<Width>-5</Width>"), "-5 is out of range (1 to 8191)"},
      {"huge height", Doc("<Height>1000000000000</Height>"), "element <Height>"},
      {"zero frame rate", Doc("<FrameRate>0</FrameRate>"), "element <FrameRate>"},
      {"colour overflow", Doc("<Background>4294967296</Background>"), "element <Background>"},
      {"bad speed", Doc("<SlideView><S><Transition><Speed>fast</Speed></Transition></S></SlideView>"),
       "element <Speed>: 'fast' is not a decimal number"},
      {"negative duration",
       Doc("<SlideView><S><Transition><Duration>-1</Duration></Transition></S></SlideView>"), "element <Duration>"},
      {"bad fill type", Doc("<SlideView><S><Background><FillType>300</FillType></Background></S></SlideView>"),
       "element <FillType>"},
      {"bad second slide",
       Doc("<SlideView><A><ImageFile>a.jpg</ImageFile></A>\n<B><Transition><EntryEffect>x</EntryEffect>"
           "</Transition></B></SlideView>"),
       "line 3: element <EntryEffect>"},
      // 100,000 nested elements inside a photo name once overflowed the stack.
      {"deep nesting",
       Doc("<SlideView><S><ImageFile>\n" + Repeat("<a>", 100000) + Repeat("</a>", 100000) + "</ImageFile></S></SlideView>"),
       "line 3: element <a>: elements are nested more than 64 deep"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    TFlashAlbum album;
    album.AddSlide("/kept/photo.jpg");
    album.Width = 333;
    album.ProjectFileName = "/previous.yel";
    std::string error = OpenText(album, dir, c.text);
    EXPECT_NE(error.find(dir / "p.yel"), std::string::npos) << c.what << ": " << error;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
    ASSERT_EQ(album.SlideViews.Count(), 1u) << c.what;
    EXPECT_EQ(album.SlideViews[0].ImageFile, "/kept/photo.jpg") << c.what;
    EXPECT_EQ(album.Width, 333) << c.what;
    EXPECT_EQ(album.ProjectFileName, "/previous.yel") << c.what;
  }
}

TEST(ProjectFile, MissingFileIsAnError) {
  TempDir dir;
  TFlashAlbum album;
  EXPECT_THROW(OpenProjectFile(album, dir / "missing.yel"), Error);
  EXPECT_THROW(OpenProjectFile(album, dir.path()), Error);
}

TEST(ProjectFile, FailedSaveKeepsTheExistingFile) {
  TempDir dir;
  std::string path = dir.Write("album.yel", "previous project");
  TFlashAlbum album;
  album.AddSlide("a.jpg");
  // A file-size limit makes the write fail half-way, as a full disk would.
  struct rlimit saved {};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 64;
  ::setrlimit(RLIMIT_FSIZE, &small);
  std::string error;
  try {
    SaveProjectFile(album, path);
  } catch (const Error& e) {
    error = e.what();
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_EQ(ReadAll(path), "previous project");
  EXPECT_EQ(album.ProjectFileName, "");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // no temporary left
}

TEST(ProjectFile, SaveAsksForANameOnlyWhenNeeded) {
  TempDir dir;
  TFlashAlbum album;
  EXPECT_TRUE(SaveNeedsFileName(album, false));
  album.ProjectFileName = dir / "gone.yel";
  EXPECT_TRUE(SaveNeedsFileName(album, false));
  SaveProjectFile(album, dir / "here.yel");
  EXPECT_FALSE(SaveNeedsFileName(album, false));
  EXPECT_TRUE(SaveNeedsFileName(album, true));
}

// Decimals follow the locale's separator both ways.
class CommaLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* current = std::setlocale(LC_NUMERIC, nullptr);
    saved_ = current ? current : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  }
  void TearDown() override { std::setlocale(LC_NUMERIC, saved_.c_str()); }
  std::string saved_;
};

TEST_F(CommaLocale, WritesAndReadsCommasAndRefusesFullStops) {
  TempDir dir;
  TFlashAlbum album;
  album.AddSlide("a.jpg");
  album.SlideViews[0].Transition.Speed = 1.5f;
  std::string path = dir / "comma.yel";
  SaveProjectFile(album, path);
  EXPECT_NE(ReadAll(path).find("<Speed>1,5</Speed>"), std::string::npos);

  TFlashAlbum loaded;
  OpenProjectFile(loaded, path);
  EXPECT_EQ(loaded.SlideViews[0].Transition.Speed, 1.5f);

  std::setlocale(LC_NUMERIC, "C");  // a full-stop locale cannot read "1,5"
  TFlashAlbum other;
  EXPECT_THROW(OpenProjectFile(other, path), Error);
}

}  // namespace
}  // namespace yel
