// yel publish and yel preview: build the album movie with a progress bar on
// stderr. Ctrl-C cancels at the next checked point and nothing is written.
// The preview writes a small page that plays the movie with the Ruffle
// player copied next to it, serves that folder on 127.0.0.1 and opens it
// with xdg-open.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <ostream>
#include <sstream>

#include "album/album_model.h"
#include "album/project_file.h"
#include "album/theme_catalogue.h"
#include "base/error.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "publish/album_movie.h"
#include "publish/offline_page.h"
#include "publish/output_targets.h"
#include "tools/yel/cli.h"
#include "tools/yel/preview_server.h"

namespace yel::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPublishHelp =
    "Usage: yel publish ALBUM.yel TARGET [--music FILE] [--strict]\n"
    "                   [--slide-format lossless|jpeg] [--jpeg-quality Q] [THEMES]\n"
    "\n"
    "Builds the album's movie (compressed SWF 8) and writes one target:\n"
    "  --swf OUT.swf              the movie\n"
    "  --html FILE.html           the movie as FILE.swf and, beside it, the page\n"
    "                             FILE.html that plays it in browsers without\n"
    "                             Flash, opened from the disk or served: it holds\n"
    "                             the Ruffle player and the movie;\n"
    "                             --html-folder writes a page for a web server\n"
    "                             instead, loading the movie and the player in\n"
    "                             ruffle/ beside it; --html-plain writes the page\n"
    "                             without the player, for a Flash plug-in\n"
    "  --exe FILE [--cd]          FILE.exe: the player program (from YEL_Links.dll\n"
    "                             in the program's folder) with the movie appended;\n"
    "                             --cd also writes FILE.html (the page, as --html\n"
    "                             writes it), Shell.ico and autorun.inf beside it\n"
    "  --email NAME --folder DIR  the movie DIR/NAME/NAME.swf, the page\n"
    "                             DIR/NAME/NAME.html that plays it, and the zip\n"
    "                             archive DIR/NAME/NAME.zip of everything in DIR/NAME/,\n"
    "                             opened as a new message in the mail program\n"
    "                             (xdg-email, or YEL_MAIL_PROGRAM when set)\n"
    "--music FILE streams an MP3 or WAV file under the whole movie, looping,\n"
    "in place of the project's music (yel project set --music keeps one).\n"
    "A slide whose photo is missing shows only the background, with a warning;\n"
    "--strict makes a missing or unreadable photo an error instead.\n"
    "--slide-format jpeg writes each slide's photo as JPEG data of quality Q\n"
    "(--jpeg-quality, 1 to 100, default 85) instead of a lossless bitmap (the\n"
    "default): a movie several times smaller.\n"
    "A progress bar runs on stderr; Ctrl-C cancels and leaves no file.\n";

constexpr const char* kPreviewHelp =
    "Usage: yel preview ALBUM.yel [--dir DIR] [--no-serve] [THEMES]\n"
    "\n"
    "Builds the album's movie into DIR/album.swf and writes DIR/index.html, a\n"
    "page that plays it with the Ruffle player, beside the player files (DIR\n"
    "defaults to a new folder only you can open, under XDG_RUNTIME_DIR or the\n"
    "temporary folder, removed when the preview ends). These files are then\n"
    "served from memory (the movie mapped) on 127.0.0.1 and the page opened\n"
    "with xdg-open until Ctrl-C. --no-serve only writes the folder and prints\n"
    "where it is.\n"
    "The player files come from YEL_RUFFLE_DIR or the ruffle folder in the\n"
    "program's folder.\n";

// The theme options both commands take.
constexpr const char* kThemesHelp =
    "\n"
    "THEMES: the movie shows an installed template (its background and frame\n"
    "around the photos) and loading bar: the ones the project names (yel project\n"
    "set), else the first of each catalogue, unless one is chosen here (yel\n"
    "themes lists them); a project's choice that is no longer installed gives\n"
    "way to the first, with a warning:\n"
    "  --template NAME      the template NAME\n"
    "  --loading-bar NAME   the loading bar NAME\n"
    "  --app-folder DIR     read the themes (and the player program) under DIR\n"
    "                       instead of the program's folder\n"
    "Without installed themes the photos fill the whole movie.\n";

volatile std::sig_atomic_t g_interrupted = 0;
extern "C" void OnInterrupt(int signal) { g_interrupted = signal; }

// Catches Ctrl-C, and the requests to end that a closed terminal (SIGHUP)
// or a session manager (SIGTERM) sends, for its lifetime: the build stops
// at the next checked point and its files are not written.
class InterruptGuard {
 public:
  InterruptGuard() {
    g_interrupted = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &action, &previous_[i]);
  }
  ~InterruptGuard() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &previous_[i], nullptr);
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction previous_[std::size(kSignals)] {};
};

// The progress window of the command line: one bar line redrawn on a
// terminal, one line per new message otherwise.
class TerminalProgress : public publish::TfrmConvert {
 public:
  explicit TerminalProgress(std::ostream& err) : err_(err), tty_(isatty(STDERR_FILENO) && &err == &std::cerr) {}
  void Show(const std::string& title) override {
    g_interrupted = 0;
    shown_ = true;
    err_ << title << "\n";
    // The first step is reported before the window opens; show it now.
    if (!pending_.empty()) ConvertProgress(pending_, pending_percent_);
  }
  bool ConvertProgress(const std::string& message, int percent) override {
    if (!shown_) {
      pending_ = message, pending_percent_ = percent;
      return g_interrupted == 0;
    }
    if (tty_) {
      const int filled = std::clamp(percent, 0, 100) * 30 / 100;
      err_ << "\r[" << std::string(filled, '#') << std::string(30 - filled, ' ') << "] " << std::setw(3) << percent
           << "%  " << message << "   " << std::flush;
      open_line_ = true;
    } else if (message != last_message_) {
      err_ << message << "\n";
    }
    last_message_ = message;
    return g_interrupted == 0;
  }
  void Close() override {
    if (open_line_) err_ << "\n";
    open_line_ = false;
  }

 private:
  std::ostream& err_;
  bool tty_;
  bool open_line_ = false;
  bool shown_ = false;
  std::string pending_;
  int pending_percent_ = 0;
  std::string last_message_;
};

std::string TakeAlbum(ArgReader& reader, const char* command) {
  if (reader.AtEnd()) throw UsageError{std::string("which album? Give ALBUM.yel to ") + command};
  return reader.TakePositional();
}

// The themes a movie is published with: the catalogues under the program's
// folder (or --app-folder), and the named template and loading bar or else
// the first of each.
struct ThemeChoice {
  std::string AppFolder, Template, LoadingBar;

  // Takes --app-folder, --template or --loading-bar with its value.
  bool Take(ArgReader& reader) {
    if (reader.TakeFlag({"--app-folder"})) {
      AppFolder = reader.TakeValue();
      if (!FolderExists(AppFolder)) throw UsageError{"no folder " + AppFolder};
    } else if (reader.TakeFlag({"--template"})) {
      Template = reader.TakeValue();
    } else if (reader.TakeFlag({"--loading-bar"})) {
      LoadingBar = reader.TakeValue();
    } else {
      return false;
    }
    return true;
  }

  // Loads the catalogues into the album (after its project, whose size the
  // loading bar's position depends on) and selects the theme: the options'
  // names, else the project's, else the first of each. A name the options
  // give must be installed; one the project keeps that is no longer falls
  // back to the first, with a warning naming it.
  void Apply(TFlashAlbum& album) const {
    std::vector<std::string> rejected;
    const std::string templateName = Template.empty() ? album.TemplateName : Template;
    const std::string barName = LoadingBar.empty() ? album.LoadingBarName : LoadingBar;
    LoadTemplates(album, templateName, &rejected);
    LoadLoadingBars(album, barName, &rejected);
    for (const auto& message : rejected) Err() << "yel: " << message << "\n";
    Check("template", Template, album.Templates);
    Check("loading bar", LoadingBar, album.LoadingBars);
    FallBack("template", templateName, album.Templates);
    FallBack("loading bar", barName, album.LoadingBars);
    if (album.LoadingBars.Selected) ApplyLoadingBar(album, album.LoadingBars.Selected->Name);
  }

  static void FallBack(const std::string& what, const std::string& wanted, TViews& views) {
    if (wanted.empty() || views.Selected || views.Items.empty()) return;
    views.Select(*views.Items.front());
    Err() << "yel: warning: the project's " << what << " '" << wanted << "' is not installed; using '"
          << views.Selected->Name << "'\n";
  }

  static void Check(const std::string& what, const std::string& wanted, const TViews& views) {
    if (wanted.empty() || (views.Selected && views.Selected->Name == wanted)) return;
    std::string names;
    for (const auto& view : views.Items) names += (names.empty() ? "" : ", ") + view->Name;
    throw UsageError{"no " + what + " named '" + wanted + "' is installed" +
                     (names.empty() ? std::string(" (none are)") : " (installed: " + names + ")")};
  }
};

// Exit status 128 + the signal, as a shell reports a process it ended.
int Cancelled() {
  Err() << "Cancelled; nothing was written.\n";
  return 128 + (g_interrupted ? int(g_interrupted) : SIGINT);
}

// --- preview page and server

std::string PageText(int width, int height, bool withMusic) {
  std::ostringstream page;
  page << "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>Album preview</title>\n"
       << (withMusic ? "<script>\n" + publish::QuietAudioScript() + "</script>\n" : std::string())
       << "<script>window.RufflePlayer = {config: " << publish::RufflePlayerConfig(withMusic, false) << "};</script>\n"
       << "<script src=\"ruffle/ruffle.js\"></script>\n"
       << "<style>body{margin:0;background:#333;display:flex;justify-content:center;align-items:center;"
          "height:100vh}</style>\n</head>\n<body>\n<div id=\"stage\"></div>\n<script>\n"
       << "const player = window.RufflePlayer.newest().createPlayer();\n"
       << "player.style.width = \"" << width << "px\";\nplayer.style.height = \"" << height << "px\";\n"
       << "document.getElementById(\"stage\").appendChild(player);\n"
       << "player.load(\"album.swf\");\n</script>\n</body>\n</html>\n";
  return page.str();
}

constexpr const char* kPreviewOwnerFile = ".yel-preview-pid";

// Removes the preview folders under base that a killed preview left: this
// user's "yel-preview-*" folders (never a link) whose owner process is gone,
// or that name no owner and are more than ten minutes old.
void RemoveStalePreviewFolders(const std::string& base) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(base, ec)) {
    const std::string name = entry.path().filename().string();
    struct stat info {};
    if (!name.starts_with("yel-preview-") || ::lstat(entry.path().c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid())
      continue;
    bool stale = false;
    const fs::path owner = entry.path() / kPreviewOwnerFile;
    struct stat ownerInfo {};
    if (::lstat(owner.c_str(), &ownerInfo) == 0 && S_ISREG(ownerInfo.st_mode) && ownerInfo.st_size < 32) {
      const std::string text = ReadFileText(owner.string());
      char* end = nullptr;
      const long pid = std::strtol(text.c_str(), &end, 10);
      stale = pid > 0 && end != text.c_str() && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
    } else {
      stale = ::time(nullptr) - info.st_mtime > 600;
    }
    std::error_code ignored;
    if (stale) fs::remove_all(entry.path(), ignored);
  }
}

// A new folder only this user can enter, under XDG_RUNTIME_DIR (private to
// the user) or else the temporary folder: never one that someone else could
// have made or planted links in beforehand.
std::string MakePrivatePreviewFolder() {
  std::string base;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime && FolderExists(runtime))
    base = runtime;
  else
    base = fs::temp_directory_path().string();
  RemoveStalePreviewFolders(base);
  std::string pattern = (fs::path(base) / "yel-preview-XXXXXX").string();
  if (!::mkdtemp(pattern.data()))
    ThrowFileError(base, "cannot create the preview folder: " + SystemErrorText(errno));
  // The process that owns the folder, for the next preview to tell whether
  // it is still running.
  WriteFileAtomically((fs::path(pattern) / kPreviewOwnerFile).string(), std::to_string(::getpid()) + "\n");
  return pattern;
}

// Serves the files on 127.0.0.1 and opens the page until Ctrl-C.
void Serve(PreviewServer::Files files) {
  PreviewServer server(std::move(files));
  server.Start();
  const std::string url = server.Url();
  Out() << "Preview at " << url << " (Ctrl-C ends it)\n" << std::flush;
  const std::string open = "xdg-open '" + url + "' >/dev/null 2>&1 &";
  if (std::system(open.c_str()) != 0) Err() << "Could not start xdg-open; open " << url << " in a browser.\n";
  InterruptGuard guard;
  while (!g_interrupted) ::usleep(100000);
  server.Stop();
  Out() << "Preview ended.\n";
}

int RunPreviewCommand(const Args& args) {
  if (WantsHelp(args)) {
    Out() << kPreviewHelp << kThemesHelp;
    return 0;
  }
  ArgReader reader(args);
  std::string project, dir;
  bool serve = true;
  ThemeChoice themes;
  while (!reader.AtEnd()) {
    if (themes.Take(reader))
      continue;
    else if (reader.TakeFlag({"--dir"}))
      dir = reader.TakeValue();
    else if (reader.TakeFlag({"--no-serve"}))
      serve = false;
    else if (project.empty())
      project = TakeAlbum(reader, "preview");
    else
      throw UsageError{"unexpected argument '" + reader.Peek() + "'"};
  }
  if (project.empty()) throw UsageError{"which album? Give ALBUM.yel to preview"};
  const std::string ruffle = publish::RufflePlayerFolder();
  const std::vector<std::string> playerFiles = publish::RufflePlayerFiles(ruffle);

  TFlashAlbum album(themes.AppFolder);
  OpenProjectFile(album, project);
  themes.Apply(album);
  for (const std::string& message : publish::MissingPhotos(album)) Err() << "yel preview: warning: " << message << "\n";
  const bool made = dir.empty();
  std::error_code ec;
  if (made) {
    dir = MakePrivatePreviewFolder();
  } else {
    fs::create_directories(dir, ec);
    if (ec) ThrowFileError(dir, "cannot create the preview folder: " + ec.message());
  }
  // A folder made here goes again when the preview does not come about.
  struct RemoveMade {
    const std::string& dir;
    bool remove;
    ~RemoveMade() {
      std::error_code ignored;
      if (remove) fs::remove_all(dir, ignored);
    }
  } remove_made{dir, made};
  // The movie is written into its file as it is built (no copy of it in
  // memory) and served from a mapping of that file.
  const std::string movie = (fs::path(dir) / "album.swf").string();
  {
    InterruptGuard guard;
    TerminalProgress progress(Err());
    if (!publish::BuildMovie(album, movie, "Preview ...", progress)) return Cancelled();
  }

  // The other files are gathered first and written into the folder; all are
  // served from memory: the server opens nothing on disk.
  PreviewServer::Files files;
  for (const std::string& name : playerFiles) {
    if (name.starts_with("LICENSE")) continue;
    files["ruffle/" + name] = ReadFileBytes((fs::path(ruffle) / name).string());
  }
  const std::string page = PageText(album.Width, album.Height, FileExists(album.MusicFile));
  files["index.html"] = std::vector<std::uint8_t>(page.begin(), page.end());

  // A link in place of the player folder would send the files elsewhere.
  const fs::path player = fs::path(dir) / "ruffle";
  if (fs::is_symlink(fs::symlink_status(player, ec)))
    ThrowFileError(player.string(), "is a symbolic link; the player files are not written through it");
  fs::create_directory(player, ec);
  if (ec) ThrowFileError(player.string(), "cannot create the player folder: " + ec.message());
  for (const auto& [name, bytes] : files)
    WriteFileAtomically((fs::path(dir) / name).string(),
                        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  files["album.swf"] = ServedBytes::Map(movie);
  Out() << "Preview page: " << (fs::path(dir) / "index.html").string() << "\n";
  remove_made.remove = made && serve;
  if (serve) Serve(std::move(files));
  return 0;
}

}  // namespace

int RunPublish(const Args& args) {
  if (WantsHelp(args)) {
    Out() << kPublishHelp << kThemesHelp;
    return 0;
  }
  ArgReader reader(args);
  std::string project, output, html, exe, email, folder, music, slideFormat = "lossless", quality;
  bool cd = false, strict = false, plain = false, served = false;
  ThemeChoice themes;
  while (!reader.AtEnd()) {
    if (themes.Take(reader))
      continue;
    else if (reader.TakeFlag({"--swf", "-o"}))
      output = reader.TakeValue();
    else if (reader.TakeFlag({"--html"}))
      html = reader.TakeValue();
    else if (reader.TakeFlag({"--exe"}))
      exe = reader.TakeValue();
    else if (reader.TakeFlag({"--cd"}))
      cd = true;
    else if (reader.TakeFlag({"--html-plain"}))
      plain = true;
    else if (reader.TakeFlag({"--html-folder"}))
      served = true;
    else if (reader.TakeFlag({"--strict"}))
      strict = true;
    else if (reader.TakeFlag({"--email"}))
      email = reader.TakeValue();
    else if (reader.TakeFlag({"--folder"}))
      folder = reader.TakeValue();
    else if (reader.TakeFlag({"--music"}))
      music = reader.TakeValue();
    else if (reader.TakeFlag({"--slide-format"}))
      slideFormat = reader.TakeValue();
    else if (reader.TakeFlag({"--jpeg-quality"}))
      quality = reader.TakeValue();
    else if (project.empty())
      project = TakeAlbum(reader, "publish");
    else
      throw UsageError{"unexpected argument '" + reader.Peek() + "'"};
  }
  if (project.empty()) throw UsageError{"which album? Give ALBUM.yel to publish"};
  const int targets = !output.empty() + !html.empty() + !exe.empty() + !email.empty();
  if (targets == 0)
    throw UsageError{"which output? Give --swf OUT.swf, --html FILE.html, --exe FILE or --email NAME --folder DIR"};
  if (targets > 1) throw UsageError{"give one output per run: --swf, --html, --exe or --email"};
  if (cd && exe.empty()) throw UsageError{"--cd goes with --exe FILE"};
  if (plain && html.empty()) throw UsageError{"--html-plain goes with --html FILE.html"};
  if (served && html.empty()) throw UsageError{"--html-folder goes with --html FILE.html"};
  if (served && plain) throw UsageError{"give --html-folder or --html-plain, not both"};
  if (!folder.empty() && email.empty()) throw UsageError{"--folder goes with --email NAME"};
  if (!email.empty() && folder.empty()) throw UsageError{"--email NAME needs --folder DIR"};
  if (slideFormat != "lossless" && slideFormat != "jpeg")
    throw UsageError{"--slide-format is lossless or jpeg, not '" + slideFormat + "'"};
  int jpegQuality = 85;
  if (!quality.empty()) {
    const bool digits = quality.size() <= 3 && quality.find_first_not_of("0123456789") == std::string::npos;
    jpegQuality = digits ? std::stoi(quality) : 0;
    if (jpegQuality < 1 || jpegQuality > 100)
      throw UsageError{"--jpeg-quality is a whole number from 1 to 100, not '" + quality + "'"};
    if (slideFormat != "jpeg") throw UsageError{"--jpeg-quality goes with --slide-format jpeg"};
  }
  // A music file named on the command line must be there (the album itself
  // skips a missing one silently).
  if (!music.empty() && !FileExists(music)) ThrowFileError(music, "the music file does not exist");
  const std::string musicKind = AsciiLower(ExtensionOf(music));
  if (!music.empty() && musicKind != ".mp3" && musicKind != ".wav")
    ThrowFileError(music, "the music must be an MP3 or WAV file (.mp3, .wav)");

  TFlashAlbum album(themes.AppFolder);
  OpenProjectFile(album, project);
  themes.Apply(album);
  if (!music.empty()) {
    album.MusicFile = music;
  } else if (!album.MusicFile.empty() && !FileExists(album.MusicFile)) {
    Err() << "yel publish: " << (strict ? "" : "warning: ") << album.MusicFile
          << ": the project's music file does not exist" << (strict ? "\n" : "; publishing without music\n");
    if (strict) throw Error("the project's music is missing (--strict); nothing was written");
  }
  album.Publish.JPEGSlides = slideFormat == "jpeg";
  album.Publish.JPEGQuality = jpegQuality;
  publish::CheckFrameLimit(album);
  const std::vector<std::string> missing = publish::MissingPhotos(album);
  for (const std::string& message : missing) Err() << "yel publish: " << (strict ? "" : "warning: ") << message << "\n";
  if (strict && !missing.empty())
    throw Error(std::to_string(missing.size()) + (missing.size() == 1 ? " photo is" : " photos are") +
                " missing or unreadable (--strict); nothing was written");
  publish::TOutputResult result;
  {
    InterruptGuard guard;
    TerminalProgress progress(Err());
    if (!output.empty()) {
      result = publish::CreateSwfMovie(album, progress, output);
    } else if (!html.empty()) {
      result = publish::PublishHtmlFile(album, progress, html, {.Plain = plain, .PlayerFolder = {}, .Served = served});
    } else if (!exe.empty()) {
      const std::string path = AbsolutePath(exe);
      const std::string name = FileNameOf(path);
      const std::string where = path.substr(0, path.size() - name.size());
      result = publish::CreateExecutable(album, progress, publish::TExeDialogResult{name, where, cd});
    } else {
      result = publish::SendViaEmail(album, progress, publish::TEMailDialogResult{email, folder});
    }
  }
  if (result.Cancelled) return Cancelled();
  for (const std::string& file : result.Files) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    Out() << "Wrote " << file;
    if (!ec) Out() << " (" << size << " bytes)";
    Out() << "\n";
  }
  if (!result.Information.empty()) {
    Err() << "yel publish: " << result.Information << "\n";
    return 1;
  }
  if (!email.empty())
    Out() << "Opened a new message in " << publish::MailProgram() << " with " << result.Files.back()
          << " attached\n";
  return 0;
}

int RunPreview(const Args& args) { return RunPreviewCommand(args); }

}  // namespace yel::cli
