// Output targets: the HTML page byte for byte and its escaping, the
// executable's layout, the player and CD files from a resource library, the
// e-mail folder, archive and mail hand-off (a fake mail program records its
// arguments), and cancelling. Movies cut from executables are kept in
// YEL_BUILDER_MOVIES for the swf-parser check.
#include "publish/output_targets.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "album/album_model.h"
#include "album/resource_library.h"
#include "base/error.h"
#include "base/files.h"
#include "publish/album_movie.h"
#include "publish/offline_page.h"
#include "tests/testing/temp_dir.h"

namespace yel::publish {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::TempDir;

// Records the progress reports; answers "cancel" at a chosen report.
class Progress : public TfrmConvert {
 public:
  explicit Progress(int cancelAt = -1) : cancel_at_(cancelAt) {}
  void Show(const std::string& title) override { titles.push_back(title); }
  bool ConvertProgress(const std::string&, int) override { return ++reports_ != cancel_at_; }
  void Close() override {}
  std::vector<std::string> titles;

 private:
  int reports_ = 0;
  int cancel_at_;
};

const std::string kPlayer = std::string("\x7f" "ELF fixture player\0\x01\x02", 23);
const std::string kIcon = std::string("\0\0\1\0 fixture icon", 17);

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// An album of two slides whose photos are missing (they show the background),
// with its program folder in `app`.
struct Album {
  explicit Album(const std::string& app) : album(app) {
    album.Width = 64, album.Height = 48, album.FrameRate = 12;
    album.AddSlide(app + "/missing1.jpg").Transition.EntryEffect = 257;
    album.AddSlide(app + "/missing2.jpg").Transition.EntryEffect = 4609;
    album.Publish.Folder = "/remembered/";
  }
  TFlashAlbum album;
};

void WriteLinks(const std::string& app, bool withPlayer) {
  std::vector<TResourceEntry> entries = {{"ICO", "YEL_CD", Bytes(kIcon)}};
  if (withPlayer) entries.push_back({"EXE", "YEL_Player", Bytes(kPlayer)});
  WriteResourceLibrary(app + "/YEL_Links.dll", entries);
}

std::uint32_t Le32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

// The movie at the end of an executable, found through its last 8 bytes.
std::string MovieOfExecutable(const std::string& exe) {
  if (exe.size() < 8 || Le32(exe, exe.size() - 8) != kExecutableMarker) return {};
  const std::size_t size = Le32(exe, exe.size() - 4);
  if (size > exe.size() - 8) return {};
  std::string movie = exe.substr(exe.size() - 8 - size, size);
  if (const char* keep = std::getenv("YEL_BUILDER_MOVIES")) {
    static int n = 0;
    WriteFileAtomically((fs::path(keep) / ("executable-" + std::to_string(++n) + ".swf")).string(), movie);
  }
  return movie;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(text.substr(at, end - at));
  EXPECT_EQ(at, text.size()) << "the text does not end in CR LF";
  return lines;
}

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

TEST(HtmlPage, TheTwentyNineLinesByteForByte) {
  const std::string expected =
      "<html>\r\n"
      "  <head>\r\n"
      "    <title>show</title>\r\n"
      "  </head>\r\n"
      "  <body bgcolor=\"#FFFFFF\">\r\n"
      "    <table width=100% height=100%>\r\n"
      "      <tr>\r\n"
      "        <td>\r\n"
      "        <center>\r\n"
      "          <object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\"\r\n"
      "          codebase=\"https://download.macromedia.com/pub/shockwave/cabs/flash/swflash.cab"
      "#version=6,0,65,0\"\r\n"
      "          id=\"show\"\r\n"
      "          width=\"720\"\r\n"
      "          height=\"540\">\r\n"
      "          <param name=\"movie\" value=\"show.swf\">\r\n"
      "          <param name=\"bgcolor\" value=\"#FFFFFF\">\r\n"
      "          <embed name=\"YEL\" src=\"show.swf\"\r\n"
      "          quality=\"high\" bgcolor=\"#FFFFFF\" swLiveConnect=\"true\"\r\n"
      "          width=\"720\"\r\n"
      "          height=\"540\"\r\n"
      "          type=\"application/x-shockwave-flash\"\r\n"
      "          pluginspage=\"https://www.macromedia.com/go/getflashplayer\"></embed>\r\n"
      "          </object>\r\n"
      "         </center>\r\n"
      "        </td>\r\n"
      "      </tr>\r\n"
      "    </table>\r\n"
      "  </body>\r\n"
      "</html>\r\n";
  EXPECT_EQ(HtmlPage("show", 720, 540), expected);
}

// The name is escaped where it is text and percent-encoded where it is the
// movie's address; the page keeps its 29 lines whatever the name holds.
TEST(HtmlPage, NamesAreEscapedAndEncoded) {
  struct Case {
    std::string base, text, url;
  };
  const std::vector<Case> cases = {
      {"a\"b<c", "a&quot;b&lt;c", "a%22b%3Cc.swf"},
      {"Tom & Jerry's >", "Tom &amp; Jerry&#39;s &gt;", "Tom%20&amp;%20Jerry&#39;s%20%3E.swf"},
      {"#1 50%?", "#1 50%?", "%231%2050%25%3F.swf"},
      {"c:\\x", "c:\\x", "c%3A%5Cx.swf"},
      {"\xC3\xA9t\xC3\xA9", "&#xE9;t&#xE9;", "%C3%A9t%C3%A9.swf"},
      {"two\nlines", "two&#10;lines", "two%0Alines.swf"},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> lines = Lines(HtmlPage(c.base, 10, 20));
    ASSERT_EQ(lines.size(), 29u) << c.base;
    EXPECT_EQ(lines[2], "    <title>" + c.text + "</title>");
    EXPECT_EQ(lines[11], "          id=\"" + c.text + "\"");
    EXPECT_EQ(lines[14], "          <param name=\"movie\" value=\"" + c.url + "\">");
    EXPECT_EQ(lines[16], "          <embed name=\"YEL\" src=\"" + c.url + "\"");
  }
}

// The served page is the plain page and two lines in its head: the
// player's settings (start at once; the unmute button only with music),
// then the player; with music, the script that lets the album play silently
// before them.
TEST(HtmlPage, ThePlayerLinesComeBeforeTheObject) {
  for (const bool music : {false, true}) {
    std::vector<std::string> lines = Lines(HtmlPage("a\"b", 720, 540, true, music));
    if (music) {  // the script that lets the album play before sound may start
      EXPECT_EQ(lines[3], "    <script>");
      EXPECT_EQ(lines[4], QuietAudioScript() + "    </script>");
      lines.erase(lines.begin() + 3, lines.begin() + 5);
    }
    ASSERT_EQ(lines.size(), 31u);
    EXPECT_EQ(lines[3], "    <script>window.RufflePlayer = {config: " + RufflePlayerConfig(music, false) + "};</script>");
    EXPECT_EQ(lines[4], "    <script src=\"ruffle/ruffle.js\"></script>");
    lines.erase(lines.begin() + 3, lines.begin() + 5);
    EXPECT_EQ(lines, Lines(HtmlPage("a\"b", 720, 540)));
  }
  for (const bool offline : {false, true}) {
    EXPECT_NE(RufflePlayerConfig(false, offline).find("autoplay: \"on\", unmuteOverlay: \"hidden\""), std::string::npos);
    EXPECT_NE(RufflePlayerConfig(true, offline).find("autoplay: \"on\", unmuteOverlay: \"visible\""), std::string::npos);
    EXPECT_EQ(RufflePlayerConfig(true, offline).find("polyfills: false") != std::string::npos, offline);
  }
}

// A self-hosted player folder as the package has it: the scripts, the
// WebAssembly module and licence texts are copied, the rest is not.
std::string WritePlayerFixture(const std::string& root) {
  const std::string folder = root + "/player";
  fs::create_directories(folder);
  for (const char* name : {"ruffle.js", "core.ruffle.1a2b.js", "3c4d.wasm", "LICENSE_MIT", "README.md", "ruffle.js.map"})
    WriteFileAtomically(folder + "/" + name, std::string("fixture ") + name);
  return folder;
}

// The parts of a page that plays from the disk: its lines outside the data
// elements, and the data decoded.
struct OfflinePage {
  std::vector<std::string> lines;
  std::string module, movie;  // the module still deflated
};

std::string FromBase64(const std::string& text) {
  static const std::string kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::uint32_t bits = 0;
  int count = 0;
  for (const char c : text) {
    const auto digit = kDigits.find(c);
    if (digit == std::string::npos) continue;  // line ends, padding
    bits = bits << 6 | std::uint32_t(digit);
    if ((count += 6) >= 8) out += char((bits >> (count -= 8)) & 0xFF);
  }
  return out;
}

std::string Inflated(const std::string& data, std::size_t size) {
  std::string out(size + 1, '\0');
  uLongf length = uLongf(out.size());
  EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(data.data()),
                       uLong(data.size())),
            Z_OK);
  out.resize(length);
  return out;
}

OfflinePage ReadOfflinePage(const std::string& file) {
  OfflinePage page;
  std::string* data = nullptr;
  for (const std::string& line : Lines(ReadAll(file))) {
    if (data && line == "    </script>") data = nullptr;
    if (data) {
      EXPECT_LE(line.size(), 1024u);
      *data += line;
      continue;
    }
    page.lines.push_back(line);
    if (line == "    <script type=\"application/octet-stream\" id=\"yel-player-module\">") data = &page.module;
    if (line == "    <script type=\"application/octet-stream\" id=\"yel-movie\">") data = &page.movie;
  }
  page.module = FromBase64(page.module);
  page.movie = FromBase64(page.movie);
  return page;
}

// Whether the lines of `part` appear in `whole` in their order.
bool InOrder(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
  auto at = whole.begin();
  for (const std::string& line : part)
    if ((at = std::find(at, whole.end(), line)) == whole.end()) return false;
  return true;
}

// The page that plays from the disk is the plain page with the player's
// settings and scripts (the piece it loads on demand before the player) in
// its head and, before the end of its body, the player's module, the movie
// and the script that starts the player; no files beside it.
TEST(OutputTargets, HtmlPageCarriesThePlayerAndTheMovie) {
  TempDir dir;
  Album a(dir.path());
  Progress progress;
  fs::create_directories(dir / "site");
  const std::string player = WritePlayerFixture(dir / "app");
  const TOutputResult result = PublishHtmlFile(a.album, progress, dir / "site/show.htm", {.PlayerFolder = player});
  EXPECT_EQ(result.Files, (std::vector<std::string>{dir / "site/show.swf", dir / "site/show.html"}));
  EXPECT_FALSE(fs::exists(dir / "site/ruffle"));
  const OfflinePage page = ReadOfflinePage(dir / "site/show.html");
  EXPECT_EQ(page.movie, ReadAll(dir / "site/show.swf"));
  EXPECT_EQ(Inflated(page.module, 100), "fixture 3c4d.wasm");
  EXPECT_TRUE(InOrder(Lines(HtmlPage("show", 64, 48)), page.lines));
  EXPECT_TRUE(InOrder({"    <title>show</title>", "    <script>window.RufflePlayer = {config: " + RufflePlayerConfig(false, true) + "};</script>",
                       "fixture core.ruffle.1a2b.js", "fixture ruffle.js", "  </head>", "          </object>",
                       "    <script type=\"application/octet-stream\" id=\"yel-player-module\">",
                       "    <script type=\"application/octet-stream\" id=\"yel-movie\">", "  </body>", "</html>"},
                      page.lines));
  const std::string text = ReadAll(dir / "site/show.html");
  EXPECT_NE(text.find("const moduleName = '3c4d.wasm';"), std::string::npos);
  EXPECT_NE(text.find("player.ruffle().load({ data: window.yelPageBytes('yel-movie') });"), std::string::npos);
  EXPECT_EQ(text.find("fixture README.md"), std::string::npos);
  EXPECT_EQ(text.find("fixture ruffle.js.map"), std::string::npos);
}

// The page's data as the browser decodes it: a movie of several pieces
// read from the file, the module deflated; with music the unmute button.
TEST(OfflinePage, DataDecodesToTheFilesBytes) {
  TempDir dir;
  const std::string player = WritePlayerFixture(dir.path());
  std::string movie(1700000, '\0'), module(70001, '\0');
  for (std::size_t i = 0; i < movie.size(); ++i) movie[i] = char((i * 2654435761u) >> 13);
  for (std::size_t i = 0; i < module.size(); ++i) module[i] = char(i % 251);
  dir.Write("movie.swf", movie);
  dir.Write("player/3c4d.wasm", module);
  WriteOfflinePage(dir / "page.html", HtmlPage("page", 10, 20), true, player, dir / "movie.swf");
  const OfflinePage page = ReadOfflinePage(dir / "page.html");
  EXPECT_EQ(page.movie, movie);
  EXPECT_EQ(Inflated(page.module, module.size()), module);
  EXPECT_LT(page.module.size(), module.size() / 10);
  EXPECT_TRUE(InOrder({"    <script>", QuietAudioScript() + "    </script>",
                       "    <script>window.RufflePlayer = {config: " + RufflePlayerConfig(true, true) + "};</script>"},
                      page.lines));
}

// A WebAssembly module whose custom section "target_features" lists the
// features given ('+' enabled, '-' disabled).
std::string WasmModule(const std::vector<std::string>& features) {
  std::string section = std::string(1, char(15)) + "target_features" + char(features.size());
  for (const std::string& f : features) section += f.substr(0, 1) + char(f.size() - 1) + f.substr(1);
  return std::string("\0asm\1\0\0\0", 8) + std::string("\1\4\1\x60\0\0", 6) + '\0' +
         char(section.size()) + section;
}

// The page carries the module with the most extensions, whatever the names;
// a folder without a module, or a script that would end the page's script
// element early, is refused before anything is built or written.
TEST(OfflinePage, ModuleChoiceAndRefusedPlayers) {
  TempDir dir;
  const std::string player = WritePlayerFixture(dir.path());
  dir.Write("player/3c4d.wasm", WasmModule({"+sign-ext"}));
  dir.Write("player/0aaa.wasm", std::string("\0asm\1\0\0\0\0\x7f", 10));  // a section longer than the file
  dir.Write("player/ffff.wasm", WasmModule({"+simd128", "+bulk-memory", "-atomics"}));
  EXPECT_EQ(CheckOfflinePlayer(player), "ffff.wasm");
  fs::remove(dir / "player/ffff.wasm");
  EXPECT_EQ(CheckOfflinePlayer(player), "3c4d.wasm");

  Album a(dir.path());
  struct Case {
    std::string file, text, message;
  };
  const std::vector<Case> cases = {
      {"player/ruffle.js", "x = '</SCRIPT>';", "ruffle.js: cannot be put inline in a page: it holds \"</script\""},
      {"player/core.ruffle.1a2b.js", "/* <!-- */", "core.ruffle.1a2b.js: cannot be put inline"},
      {"player/a b.wasm", "fixture", "a b.wasm: the player module's name cannot stand in a page"},
  };
  for (const Case& c : cases) {
    TempDir fresh;
    const std::string folder = WritePlayerFixture(fresh.path());
    if (c.file.ends_with(".wasm")) fs::remove(fresh / "player/3c4d.wasm");
    fresh.Write(c.file, c.text);
    Progress progress;
    try {
      PublishHtmlFile(a.album, progress, fresh / "show.html", {.PlayerFolder = folder});
      ADD_FAILURE() << c.file;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
    EXPECT_TRUE(progress.titles.empty());
    EXPECT_FALSE(fs::exists(fresh / "show.swf"));
  }
  fs::remove(dir / "player/3c4d.wasm");
  fs::remove(dir / "player/0aaa.wasm");
  EXPECT_THROW(CheckOfflinePlayer(player), Error);
}

// The page for a web server loads the player from ruffle/ beside it.
TEST(OutputTargets, HtmlWritesTheMovieThePlayerAndThePageBesideIt) {
  TempDir dir;
  Album a(dir.path());
  Progress progress;
  const THtmlOptions options{.PlayerFolder = WritePlayerFixture(dir / "app"), .Served = true};
  fs::create_directories(dir / "site");
  const TOutputResult result = PublishHtmlFile(a.album, progress, dir / "site/show.htm", options);
  EXPECT_EQ(progress.titles, std::vector<std::string>{"Publish HTML File ..."});
  const std::string ruffle = dir / "site/ruffle/";
  EXPECT_EQ(result.Files, (std::vector<std::string>{dir / "site/show.swf", ruffle + "3c4d.wasm", ruffle + "LICENSE_MIT",
                                                    ruffle + "core.ruffle.1a2b.js", ruffle + "ruffle.js",
                                                    dir / "site/show.html"}));
  EXPECT_EQ(ReadAll(dir / "site/show.swf").substr(0, 4), std::string("CWS\x08"));
  EXPECT_EQ(ReadAll(dir / "site/show.html"), HtmlPage("show", 64, 48, true));
  EXPECT_EQ(ReadAll(ruffle + "ruffle.js"), "fixture ruffle.js");
  EXPECT_FALSE(fs::exists(ruffle + "README.md"));
  EXPECT_FALSE(fs::exists(dir / "site/show.htm"));

  // The plain page: no player is needed or written.
  fs::remove_all(dir / "site/ruffle");
  EXPECT_EQ(PublishHtmlFile(a.album, progress, dir / "site/show.html", {.Plain = true, .PlayerFolder = {}}).Files,
            (std::vector<std::string>{dir / "site/show.swf", dir / "site/show.html"}));
  EXPECT_EQ(ReadAll(dir / "site/show.html"), HtmlPage("show", 64, 48));
  EXPECT_FALSE(fs::exists(dir / "site/ruffle"));

  // A name with markup characters gets files of that name and an escaped page.
  PublishHtmlFile(a.album, progress, dir / "a\"b<c.html", options);
  EXPECT_TRUE(fs::exists(dir / "a\"b<c.swf"));
  EXPECT_NE(ReadAll(dir / "a\"b<c.html").find("src=\"a%22b%3Cc.swf\""), std::string::npos);
  // The publish settings belong to the executable and e-mail targets.
  EXPECT_EQ(a.album.Publish.Folder, "/remembered/");
  EXPECT_EQ(a.album.Publish.Name, "my Album");
}

// A page that cannot be written leaves nothing new: with a folder in the
// way of ruffle/ruffle.js the movie, the player files written before it
// and the new player folder's files go again; a movie there from before
// keeps its bytes. A name too long for a page is refused before building.
TEST(OutputTargets, HtmlFailuresLeaveNoPartialOutput) {
  TempDir dir;
  Album a(dir.path());
  const THtmlOptions options{.PlayerFolder = WritePlayerFixture(dir / "app"), .Served = true};
  fs::create_directories(dir / "site/ruffle/ruffle.js");
  Progress progress;
  EXPECT_THROW(PublishHtmlFile(a.album, progress, dir / "site/show.html", options), Error);
  EXPECT_EQ(progress.titles.size(), 1u);
  std::vector<std::string> left;
  for (const auto& entry : fs::recursive_directory_iterator(dir / "site"))
    left.push_back(entry.path().lexically_relative(dir / "site").string());
  EXPECT_EQ(left, (std::vector<std::string>{"ruffle", "ruffle/ruffle.js"}));

  dir.Write("site/show.swf", "an earlier movie");
  EXPECT_THROW(PublishHtmlFile(a.album, progress, dir / "site/show.html", options), Error);
  EXPECT_EQ(ReadAll(dir / "site/show.swf"), "an earlier movie");
  EXPECT_FALSE(fs::exists(dir / "site/show.html"));

  Progress none;
  const std::string longName = std::string(251, 'n');
  try {
    PublishHtmlFile(a.album, none, dir / (longName + ".html"), options);
    ADD_FAILURE() << "a 256-byte page name was accepted";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("longer than 255 bytes"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(none.titles.empty());
  EXPECT_FALSE(fs::exists(dir / (longName + ".swf")));
  EXPECT_FALSE(fs::exists(dir / "ruffle"));
}

// The player folder beside the page: files there are replaced (a link of a
// player file's name too, never written through); a link or a file in the
// folder's place, or a missing player, stops the publish before building.
TEST(OutputTargets, HtmlPlayerFolderIsWrittenSafely) {
  TempDir dir;
  Album a(dir.path());
  const THtmlOptions options{.PlayerFolder = WritePlayerFixture(dir / "app"), .Served = true};
  fs::create_directories(dir / "site/ruffle");
  fs::create_directories(dir / "elsewhere");
  WriteFileAtomically(dir / "elsewhere/outside.js", std::string("outside"));
  WriteFileAtomically(dir / "site/ruffle/3c4d.wasm", std::string("old player"));
  WriteFileAtomically(dir / "site/ruffle/mine.txt", std::string("kept"));
  fs::create_symlink(dir / "elsewhere/outside.js", dir / "site/ruffle/ruffle.js");
  Progress progress;
  PublishHtmlFile(a.album, progress, dir / "site/show.html", options);
  EXPECT_EQ(ReadAll(dir / "site/ruffle/3c4d.wasm"), "fixture 3c4d.wasm");
  EXPECT_FALSE(fs::is_symlink(dir / "site/ruffle/ruffle.js"));
  EXPECT_EQ(ReadAll(dir / "site/ruffle/ruffle.js"), "fixture ruffle.js");
  EXPECT_EQ(ReadAll(dir / "elsewhere/outside.js"), "outside");
  EXPECT_EQ(ReadAll(dir / "site/ruffle/mine.txt"), "kept");
  for (const auto& entry : fs::directory_iterator(dir / "site/ruffle"))
    EXPECT_FALSE(entry.path().filename().string().starts_with(".yel-")) << entry.path();

  fs::create_directories(dir / "linked");
  fs::create_symlink(dir / "elsewhere", dir / "linked/ruffle");
  fs::create_directories(dir / "plain");
  WriteFileAtomically(dir / "plain/ruffle", std::string("a file"));
  fs::create_directories(dir / "nothing");
  struct Case {
    std::string page;
    THtmlOptions options;
    const char* message;
  };
  const Case cases[] = {
      {dir / "linked/show.html", options, "symbolic link"},
      {dir / "plain/show.html", options, "not a folder"},
      {dir / "site/other.html", {.PlayerFolder = dir / "nothing", .Served = true}, "player files are not there"},
  };
  Progress none;
  for (const Case& c : cases) {
    try {
      PublishHtmlFile(a.album, none, c.page, c.options);
      ADD_FAILURE() << c.page;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
  EXPECT_TRUE(none.titles.empty());  // nothing was built
  EXPECT_EQ(fs::directory_iterator(dir / "elsewhere")->path().filename(), "outside.js");
  EXPECT_FALSE(fs::exists(dir / "linked/show.swf"));
}

TEST(OutputTargets, ExecutableLayoutOfAMillionByteMovie) {
  TempDir dir;
  std::string movie(1000000, '\0');
  for (std::size_t i = 0; i < movie.size(); ++i) movie[i] = char(i * 7 + 3);
  const std::string swf = dir.Write("movie.swf", movie);
  WriteExecutable(dir / "movie.exe", Bytes(kPlayer), swf);
  const std::string exe = ReadAll(dir / "movie.exe");
  ASSERT_EQ(exe.size(), kPlayer.size() + 1000008);
  EXPECT_EQ(exe.substr(0, kPlayer.size()), kPlayer);
  EXPECT_TRUE(exe.compare(kPlayer.size(), movie.size(), movie) == 0);
  EXPECT_EQ(exe.substr(exe.size() - 8), std::string("\x56\x34\x12\xFA\x40\x42\x0F\x00", 8));
  struct stat info {};
  ASSERT_EQ(::stat((dir / "movie.exe").c_str(), &info), 0);
  EXPECT_TRUE(info.st_mode & S_IXUSR);
  // A movie that is not there leaves no executable behind.
  EXPECT_THROW(WriteExecutable(dir / "none.exe", Bytes(kPlayer), dir / "none.swf"), Error);
  EXPECT_FALSE(fs::exists(dir / "none.exe"));
}

TEST(OutputTargets, ExecutableWithCdFiles) {
  TempDir dir;
  WriteLinks(dir.path(), true);
  fs::create_directories(dir / "out");
  Album a(dir.path());
  Progress progress;
  // Without the player's files for the CD's page nothing is built.
  EXPECT_THROW(CreateExecutable(a.album, progress, TExeDialogResult{"trip", dir / "out", true}, dir / "none"), Error);
  EXPECT_TRUE(progress.titles.empty());
  const std::string player = WritePlayerFixture(dir / "app");
  const TOutputResult result =
      CreateExecutable(a.album, progress, TExeDialogResult{"trip", dir / "out", true}, player);
  EXPECT_EQ(progress.titles, std::vector<std::string>{"Create Executable"});
  EXPECT_EQ(result.Files, (std::vector<std::string>{dir / "out/trip.exe", dir / "out/trip.html", dir / "out/Shell.ico",
                                                    dir / "out/autorun.inf"}));
  EXPECT_EQ(a.album.Publish.Name, "trip");
  EXPECT_EQ(a.album.Publish.Folder, dir / "out/");
  EXPECT_TRUE(a.album.Publish.Exe.CreateCDFiles);

  const std::string exe = ReadAll(dir / "out/trip.exe");
  EXPECT_EQ(exe.substr(0, kPlayer.size()), kPlayer);
  const std::string movie = MovieOfExecutable(exe);
  EXPECT_EQ(movie.substr(0, 4), std::string("CWS\x08"));
  EXPECT_EQ(exe.size(), kPlayer.size() + movie.size() + 8);
  EXPECT_FALSE(fs::exists(dir / "out/trip.swf"));  // only inside the executable and the page now
  EXPECT_EQ(ReadOfflinePage(dir / "out/trip.html").movie, movie);
  EXPECT_NE(ReadAll(dir / "out/trip.html").find("<title>trip</title>"), std::string::npos);
  EXPECT_EQ(ReadAll(dir / "out/Shell.ico"), kIcon);
  EXPECT_EQ(ReadAll(dir / "out/autorun.inf"), "[AutoRun]\r\nOpen=trip.exe\r\nIcon=shell.ico\r\n");

  // The name's extension becomes .exe; without CD files none are written.
  fs::remove(dir / "out/Shell.ico");
  fs::remove(dir / "out/autorun.inf");
  CreateExecutable(a.album, progress, TExeDialogResult{"holiday.swf", dir / "out/", false}, player);
  EXPECT_EQ(MovieOfExecutable(ReadAll(dir / "out/holiday.exe")), movie);
  EXPECT_FALSE(fs::exists(dir / "out/holiday.html"));
  EXPECT_FALSE(fs::exists(dir / "out/Shell.ico"));
  EXPECT_FALSE(fs::exists(dir / "out/autorun.inf"));
}

// A movie NAME.swf beside the executable that this run did not write is
// neither replaced nor deleted; no temporary movie is left behind.
TEST(OutputTargets, ExecutableLeavesAnExistingMovieAlone) {
  for (bool player : {true, false}) {
    TempDir dir;
    WriteLinks(dir.path(), player);
    const std::string mine = dir.Write("trip.swf", "my own movie, not this run's");
    Album a(dir.path());
    Progress progress;
    if (player) {
      CreateExecutable(a.album, progress, TExeDialogResult{"trip", dir.path(), false});
      EXPECT_EQ(MovieOfExecutable(ReadAll(dir / "trip.exe")).substr(0, 3), "CWS");
    } else {
      try {
        CreateExecutable(a.album, progress, TExeDialogResult{"trip", dir.path(), false});
        ADD_FAILURE() << "no error";
      } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("the movie was not kept"), std::string::npos) << e.what();
      }
    }
    EXPECT_EQ(ReadAll(mine), "my own movie, not this run's");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    const std::vector<std::string> expected =
        player ? std::vector<std::string>{"YEL_Links.dll", "trip.exe", "trip.swf"}
               : std::vector<std::string>{"YEL_Links.dll", "trip.swf"};
    EXPECT_EQ(names, expected);
  }
}

// Without the library or its player no executable is written (one there
// from before stays as it was) and the movie stays beside it; the dialog's
// answers are remembered.
TEST(OutputTargets, ExecutableWithoutPlayerKeepsTheMovie) {
  for (bool library : {false, true}) {
    TempDir dir;
    if (library) WriteLinks(dir.path(), false);
    const std::string earlier = dir.Write("trip.exe", "the executable of an earlier run");
    Album a(dir.path());
    Progress progress;
    try {
      CreateExecutable(a.album, progress, TExeDialogResult{"trip", dir.path(), true}, WritePlayerFixture(dir / "app"));
      ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
      EXPECT_NE(std::string(e.what()).find("YEL_Links.dll"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("the movie is kept as " + dir / "trip.swf"), std::string::npos) << e.what();
      if (library) {
        EXPECT_NE(std::string(e.what()).find("YEL_Player"), std::string::npos) << e.what();
      }
    }
    EXPECT_EQ(ReadAll(earlier), "the executable of an earlier run");
    EXPECT_EQ(ReadAll(dir / "trip.swf").substr(0, 3), "CWS");
    EXPECT_FALSE(fs::exists(dir / "autorun.inf"));
    EXPECT_FALSE(fs::exists(dir / "trip.html"));
    EXPECT_EQ(a.album.Publish.Name, "trip");
    EXPECT_EQ(a.album.Publish.Folder, dir.path() + "/");
  }
}

// An executable name that is a symbolic link replaces the link: the file it
// pointed to (anywhere) keeps its bytes and permission bits, with or
// without the player.
TEST(OutputTargets, ExecutableNeverWritesThroughALink) {
  for (bool player : {false, true}) {
    TempDir dir;
    WriteLinks(dir.path(), player);
    fs::create_directories(dir / "out");
    const std::string victim = dir.Write("private.txt", "someone's private file");
    ::chmod(victim.c_str(), 0600);
    fs::create_symlink(victim, dir / "out/trip.exe");
    Album a(dir.path());
    Progress progress;
    if (player) {
      CreateExecutable(a.album, progress, TExeDialogResult{"trip", dir / "out", false});
      EXPECT_FALSE(fs::is_symlink(dir / "out/trip.exe"));
      EXPECT_EQ(ReadAll(dir / "out/trip.exe").substr(0, kPlayer.size()), kPlayer);
    } else {
      EXPECT_THROW(CreateExecutable(a.album, progress, TExeDialogResult{"trip", dir / "out", false}), Error);
      EXPECT_TRUE(fs::is_symlink(dir / "out/trip.exe"));
    }
    EXPECT_EQ(ReadAll(victim), "someone's private file");
    struct stat info {};
    ASSERT_EQ(::stat(victim.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u) << player;
  }
}

// Outputs that exist and are not regular files (a pipe, a link to one) are
// refused before building, and names with control characters too.
TEST(OutputTargets, NonRegularOutputsAndControlCharactersAreRefused) {
  TempDir dir;
  WriteLinks(dir.path(), true);
  fs::create_directories(dir / "out");
  ASSERT_EQ(::mkfifo((dir / "out/pipe.swf").c_str(), 0600), 0);
  fs::create_symlink(dir / "out/pipe.swf", dir / "out/link.swf");
  ASSERT_EQ(::mkfifo((dir / "out/show.exe").c_str(), 0600), 0);
  Album a(dir.path());
  Progress progress;
  for (const char* name : {"pipe.swf", "link.swf"}) {
    try {
      CreateSwfMovie(a.album, progress, dir / (std::string("out/") + name));
      ADD_FAILURE() << name;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("not a regular file"), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(PublishHtmlFile(a.album, progress, dir / "out/pipe.html"), Error);
  EXPECT_THROW(CreateExecutable(a.album, progress, TExeDialogResult{"show", dir / "out", false}), Error);
  EXPECT_TRUE(progress.titles.empty());  // nothing was built
  EXPECT_TRUE(fs::is_fifo(dir / "out/pipe.swf"));
  EXPECT_TRUE(fs::is_fifo(dir / "out/show.exe"));

  for (const std::string& name : {std::string("trip\nBcc: x"), std::string("a\tb"), std::string("esc\x1b[2J")}) {
    try {
      CreateExecutable(a.album, progress, TExeDialogResult{name, dir / "out", false});
      ADD_FAILURE() << name;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("control character"), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).find_first_of("\n\t\x1b"), std::string::npos) << e.what();
    }
    EXPECT_THROW(SendViaEmail(a.album, progress, TEMailDialogResult{name, dir / "mail"}, "true"), Error);
    EXPECT_THROW(CreateSwfMovie(a.album, progress, dir / ("out/" + name + ".swf")), Error);
    EXPECT_THROW(PublishHtmlFile(a.album, progress, dir / ("out/" + name + ".html")), Error);
  }
  EXPECT_TRUE(progress.titles.empty());
  EXPECT_FALSE(fs::exists(dir / "mail"));
}

// A fake mail program that writes its arguments, one per line with a
// terminating NUL each, into `record`.
std::string FakeMailProgram(const TempDir& dir, const std::string& record) {
  const std::string script = dir.Write("fake-email", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > '" +
                                                         record + ".part' && mv '" + record + ".part' '" + record +
                                                         "'\n");
  ::chmod(script.c_str(), 0755);
  return script;
}

std::vector<std::string> WaitForArguments(const std::string& record) {
  for (int i = 0; i < 200 && !fs::exists(record); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::vector<std::string> args;
  const std::string text = ReadAll(record);
  for (std::size_t at = 0, end; (end = text.find('\0', at)) != std::string::npos; at = end + 1)
    args.push_back(text.substr(at, end - at));
  return args;
}

TEST(OutputTargets, EMailZipsTheSubFolderAndHandsItOver) {
  TempDir dir;
  Album a(dir.path());
  // Only the movie of this run is packed: files already in the sub-folder
  // stay out, and an archive from before is replaced.
  fs::create_directories(dir / "Out/my Album/notes");
  dir.Write("Out/my Album/notes/read me.txt", "hello");
  dir.Write("Out/my Album/my Album.zip", "old archive");
  const std::string program = FakeMailProgram(dir, dir / "args");
  Progress progress;
  // The folder's parents are created as needed.
  const std::string player = WritePlayerFixture(dir / "app");
  const TOutputResult result =
      SendViaEmail(a.album, progress, TEMailDialogResult{"my Album", dir / "Out"}, program, player);
  const std::string sub = dir / "Out/my Album/";
  EXPECT_EQ(progress.titles, std::vector<std::string>{"Send via E-mail ..."});
  EXPECT_EQ(result.Files,
            (std::vector<std::string>{sub + "my Album.swf", sub + "my Album.html", sub + "my Album.zip"}));
  EXPECT_TRUE(result.Information.empty()) << result.Information;
  EXPECT_EQ(a.album.Publish.Folder, sub);
  EXPECT_EQ(a.album.Publish.Name, "my Album");

  const std::string zip = sub + "my Album.zip";
  EXPECT_EQ(Output("unzip -Z1 " + Quoted(zip)), "my Album.html\nmy Album.swf\n");
  EXPECT_EQ(Output("unzip -p " + Quoted(zip) + " 'my Album.swf'"), ReadAll(sub + "my Album.swf"));
  EXPECT_EQ(ReadOfflinePage(sub + "my Album.html").movie, ReadAll(sub + "my Album.swf"));
  EXPECT_NE(Output("unzip -t " + Quoted(zip)).find("No errors detected"), std::string::npos);

  const std::vector<std::string> args = WaitForArguments(dir / "args");
  // xdg-email makes CR LF of each line feed itself.
  std::string body = EMailBody("my Album.html");
  for (std::size_t at; (at = body.find('\r')) != std::string::npos;) body.erase(at, 1);
  EXPECT_EQ(args, (std::vector<std::string>{"--subject", "my Album", "--body", body, "--attach", zip}));
  const std::vector<std::string> lines = Lines(EMailBody("my Album.html") + "\r\n");
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[4], "This attached file is a Flash presentation created by \"Yel Album Studio\", ");
  EXPECT_EQ(lines[10], "3)  Double-click on my Album.html to watch it in your web browser.");
  EXPECT_EQ(lines[12].substr(0, 6), "=-=-= ");
  EXPECT_EQ(lines[12].substr(lines[12].size() - 6), " =-=-=");

  // Symbolic links in the folder (to a file or a folder anywhere) are not
  // packed.
  fs::create_directories(dir / "elsewhere");
  dir.Write("elsewhere/secret.txt", "not for mailing");
  fs::create_directories(dir / "linked");
  dir.Write("linked/photo.jpg", "photo");
  fs::create_symlink(dir / "elsewhere/secret.txt", dir / "linked/secret.txt");
  fs::create_directory_symlink(dir / "elsewhere", dir / "linked/folder");
  WriteZipArchive(dir / "linked.zip", dir / "linked");
  EXPECT_EQ(Output("unzip -Z1 " + Quoted(dir / "linked.zip")), "photo.jpg\n");

  // A folder without files still gives an archive (an empty one).
  fs::create_directories(dir / "empty/none");
  WriteZipArchive(dir / "empty.zip", dir / "empty");
  EXPECT_EQ(ReadAll(dir / "empty.zip"), std::string("PK\5\6", 4) + std::string(18, '\0'));

  // A replaced archive keeps its permission bits; a symbolic link of the
  // archive's name is replaced, never written through; no temporary file is
  // left beside them.
  dir.Write("kept.zip", "old archive");
  ::chmod((dir / "kept.zip").c_str(), 0640);
  WriteZipArchive(dir / "kept.zip", dir / "linked");
  struct stat kept {};
  ASSERT_EQ(::stat((dir / "kept.zip").c_str(), &kept), 0);
  EXPECT_EQ(kept.st_mode & 07777, 0640u);
  EXPECT_EQ(Output("unzip -Z1 " + Quoted(dir / "kept.zip")), "photo.jpg\n");
  fs::create_symlink(dir / "elsewhere/secret.txt", dir / "link.zip");
  WriteZipArchive(dir / "link.zip", dir / "linked");
  EXPECT_FALSE(fs::is_symlink(dir / "link.zip"));
  EXPECT_EQ(ReadAll(dir / "elsewhere/secret.txt"), "not for mailing");
  for (const auto& entry : fs::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().filename().string().find(".zip."), std::string::npos) << entry.path();

  // Without a mail program the archive is deleted and the user told why.
  const TOutputResult missing =
      SendViaEmail(a.album, progress, TEMailDialogResult{"trip", dir / "Out"}, dir / "no-such-mail-program", player);
  EXPECT_NE(missing.Information.find("Can not launch the mail program"), std::string::npos);
  EXPECT_NE(missing.Information.find("xdg-utils"), std::string::npos);
  EXPECT_EQ(missing.Files, (std::vector<std::string>{dir / "Out/trip/trip.swf", dir / "Out/trip/trip.html"}));
  EXPECT_FALSE(fs::exists(dir / "Out/trip/trip.zip"));
  EXPECT_TRUE(fs::exists(dir / "Out/trip/trip.swf"));
}

// The mail program's exit status is waited for: one that fails (xdg-email
// exits 3 without a mail program) is the "cannot launch" case, not success.
// A symbolic link in place of the e-mail folder is refused before building,
// so nothing is written into the folder it leads to.
TEST(OutputTargets, EMailFailuresAndLinkedFoldersAreReported) {
  TempDir dir;
  Album a(dir.path());
  Progress progress;
  const std::string player = WritePlayerFixture(dir / "app");
  const std::string failing = dir.Write("failing-email", "#!/bin/sh\nexit 3\n");
  ::chmod(failing.c_str(), 0755);
  const TOutputResult failed = SendViaEmail(a.album, progress, TEMailDialogResult{"trip", dir / "Out"}, failing, player);
  EXPECT_NE(failed.Information.find("Can not launch the mail program"), std::string::npos) << failed.Information;
  EXPECT_NE(failed.Information.find("exit status 3"), std::string::npos) << failed.Information;
  EXPECT_EQ(failed.Files, (std::vector<std::string>{dir / "Out/trip/trip.swf", dir / "Out/trip/trip.html"}));
  EXPECT_FALSE(fs::exists(dir / "Out/trip/trip.zip"));

  fs::create_directories(dir / "private");
  dir.Write("private/diary.txt", "private");
  fs::create_directories(dir / "Mail");
  fs::create_directory_symlink(dir / "private", dir / "Mail/trip");
  try {
    SendViaEmail(a.album, progress, TEMailDialogResult{"trip", dir / "Mail"}, "true", player);
    ADD_FAILURE() << "a linked e-mail folder was accepted";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("symbolic link"), std::string::npos) << e.what();
  }
  EXPECT_EQ(progress.titles.size(), 1u);  // only the first run built a movie
  std::vector<std::string> privateFiles;
  for (const auto& entry : fs::directory_iterator(dir / "private")) privateFiles.push_back(entry.path().filename());
  EXPECT_EQ(privateFiles, std::vector<std::string>{"diary.txt"});
}

// A cancelled dialog or build writes nothing; a cancelled dialog keeps the
// remembered values, a confirmed one is remembered even when its build is
// then cancelled.
TEST(OutputTargets, CancellingWritesNothingAndKeepsPublish) {
  for (int cancelAt : {0, 2, 3, 4}) {  // 0: the dialog; then checked progress reports
    TempDir dir;
    WriteLinks(dir.path(), true);
    fs::create_directories(dir / "out");
    Album a(dir.path());
    a.album.Publish.Exe.CreateCDFiles = true;
    const TPublish before = a.album.Publish;
    auto given = [&](auto value) { return cancelAt == 0 ? std::nullopt : std::optional(value); };
    Progress p1(cancelAt), p2(cancelAt), p3(cancelAt), p4(cancelAt);
    EXPECT_TRUE(CreateSwfMovie(a.album, p1, given(dir / "out/a.swf")).Cancelled);
    EXPECT_TRUE(PublishHtmlFile(a.album, p2, given(dir / "out/b.html"), {.PlayerFolder = WritePlayerFixture(dir / "app")})
                    .Cancelled);
    EXPECT_TRUE(CreateExecutable(a.album, p3, given(TExeDialogResult{"c", dir / "out", false})).Cancelled);
    EXPECT_TRUE(SendViaEmail(a.album, p4, given(TEMailDialogResult{"d", dir / "out/new/sub"}), "true",
                             WritePlayerFixture(dir / "app"))
                    .Cancelled);
    for (const Progress* p : {&p1, &p2, &p3, &p4}) EXPECT_EQ(p->titles.size(), cancelAt == 0 ? 0u : 1u);
    EXPECT_TRUE(fs::is_empty(dir / "out")) << cancelAt;
    if (cancelAt == 0) {
      EXPECT_EQ(a.album.Publish.Name, before.Name);
      EXPECT_EQ(a.album.Publish.Folder, before.Folder);
      EXPECT_EQ(a.album.Publish.Exe.CreateCDFiles, before.Exe.CreateCDFiles);
    } else {  // the e-mail dialog was confirmed last
      EXPECT_EQ(a.album.Publish.Name, "d");
      EXPECT_EQ(a.album.Publish.Folder, dir / "out/new/sub/d/");
      EXPECT_FALSE(a.album.Publish.Exe.CreateCDFiles);
    }
    Progress none;
    EXPECT_FALSE(Preview(a.album, none) == std::nullopt);
  }
}

TEST(OutputTargets, BadNamesAreRefusedBeforeAnythingChanges) {
  TempDir dir;
  Album a(dir.path());
  Progress progress;
  for (const std::string& name : {std::string(), std::string("../x"), std::string(".exe")}) {
    EXPECT_THROW(CreateExecutable(a.album, progress, TExeDialogResult{name, dir.path(), false}), Error) << name;
    EXPECT_THROW(SendViaEmail(a.album, progress, TEMailDialogResult{name, dir.path()}, "true"), Error) << name;
  }
  EXPECT_THROW(CreateExecutable(a.album, progress, TExeDialogResult{"x", "", false}), Error);
  EXPECT_THROW(PublishHtmlFile(a.album, progress, dir / ".html"), Error);
  EXPECT_TRUE(fs::is_empty(dir.path()));
  EXPECT_EQ(a.album.Publish.Folder, "/remembered/");
}

}  // namespace
}  // namespace yel::publish
