// Output targets of the Publish page: preview, SWF movie, HTML page,
// stand-alone executable (player program + movie + marker + length) with
// optional CD autorun files, and a zip archive handed to the mail program.
//
// Every handler runs BuildMovie and then packages its file. The answers of
// the dialogs come in as parameters (an empty optional: the dialog was
// cancelled, and nothing is written or changed).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace yel {
class TFlashAlbum;
struct TPublish;
}  // namespace yel

namespace yel::publish {

class TfrmConvert;

// The application's title, named in the e-mail text.
inline constexpr const char* kProductTitle = "Yel Album Studio";

// Hosts of the Flash Player download addresses written into HTML pages.
inline constexpr const char* kActiveXDownloadHost = "download.macromedia.com";
inline constexpr const char* kPluginDownloadHost = "www.macromedia.com";

// Resource library of the executable's player and the CD icon.
inline constexpr const char* kLinksLibrary = "YEL_Links.dll";

// Marker between the movie and its length at the end of an executable.
inline constexpr std::uint32_t kExecutableMarker = 0xFA123456;

// The answers of the "Create Executable" dialog.
struct TExeDialogResult {
  std::string FileName;
  std::string Folder;
  bool CreateCDFiles = false;
};

// The answers of the "Send via E-mail" dialog.
struct TEMailDialogResult {
  std::string FileName;
  std::string Folder;
};

// The dialogs open with the remembered publish values.
TExeDialogResult InitialExeDialog(const TPublish& publish);
TEMailDialogResult InitialEMailDialog(const TPublish& publish);

// What a handler did.
struct TOutputResult {
  bool Cancelled = false;          // a dialog or the progress window was cancelled
  std::vector<std::string> Files;  // files written, in the order written
  // Shown to the user as an error when the handler stopped short after
  // writing its movie (the mail program could not be started or failed).
  std::string Information;
};

// "Preview": the movie in memory, or nothing when cancelled.
std::optional<std::vector<std::uint8_t>> Preview(const TFlashAlbum& album, TfrmConvert& progress);

// "Create SWF Movie" with the file chosen in the save dialog.
TOutputResult CreateSwfMovie(const TFlashAlbum& album, TfrmConvert& progress,
                             const std::optional<std::string>& chosenFile);

// How "Publish HTML File" writes its page.
struct THtmlOptions {
  // The page without the player, for browsers with a Flash plug-in.
  bool Plain = false;
  // Where the Ruffle player files come from; empty: RufflePlayerFolder().
  std::string PlayerFolder;
  // The page for a web server: the player's files in "ruffle/" beside it and
  // the movie loaded by its address. Otherwise the page carries the player
  // and the movie itself and plays opened from the disk as well as served.
  bool Served = false;
};

// "Publish HTML File": the movie as folder + base + ".swf", then the page
// that embeds it as folder + base + ".html" (base: the chosen name without
// folder and extension): the page that plays from the disk
// (WriteOfflinePage), or with Served the self-hosted Ruffle player in
// folder + "ruffle/" and a page that loads it, or with Plain the plain page.
// Missing player files, or (Served) a "ruffle" beside the page that is a
// symbolic link or no folder, are refused before building.
TOutputResult PublishHtmlFile(const TFlashAlbum& album, TfrmConvert& progress,
                              const std::optional<std::string>& chosenFile, const THtmlOptions& options = {});

// "Create Executable": remembers the dialog's answers in album.Publish,
// builds the movie beside the executable under a temporary name, writes the
// executable from the player resource of AppFolder's "YEL_Links.dll" and
// deletes the movie (a file NAME.swf there is never touched). A missing
// library or player resource throws, saying where the movie is kept
// (NAME.swf, unless that name is taken); the executable is then not written
// (an existing one stays as it is). With CreateCDFiles also writes, beside
// the executable, the page that plays the movie from the disk (the
// executable's name with ".html", for machines without our player; its
// player comes from playerFolder, empty: RufflePlayerFolder()), "Shell.ico"
// and "autorun.inf". Names with control characters, outputs that exist and
// are not regular files, and (with CD files) missing player files are
// refused before building.
TOutputResult CreateExecutable(TFlashAlbum& album, TfrmConvert& progress,
                               const std::optional<TExeDialogResult>& dialog, const std::string& playerFolder = {});

// The mail program: $YEL_MAIL_PROGRAM when set, else "xdg-email".
std::string MailProgram();

// "Send via E-mail": the movie in the sub-folder named after the file name
// (album.Publish.Folder becomes that sub-folder) and beside it the page that
// plays it from the disk (the name with ".html"; its player comes from
// playerFolder, empty: RufflePlayerFolder()), a zip archive of that movie
// and page alone, and the archive handed to the mail program with the
// subject and the message text, which names the page. A sub-folder that is
// a symbolic link, no folder, or another user's is refused before building.
// When the program cannot be started or reports a failure (a non-zero exit
// status), the archive is deleted and Information says so.
TOutputResult SendViaEmail(TFlashAlbum& album, TfrmConvert& progress, const std::optional<TEMailDialogResult>& dialog,
                           const std::string& mailProgram = MailProgram(), const std::string& playerFolder = {});

// --- the pieces, also used on their own

// The HTML page embedding base + ".swf", lines ending in CR LF. The name is
// escaped for HTML, and percent-encoded where it is a URL. With the player,
// two lines in the head give the player's settings (RufflePlayerConfig) and
// load "ruffle/ruffle.js", which replaces the page's <object> with the
// Ruffle player in browsers without Flash, after the QuietAudioScript with
// music; the other lines are those of the plain page.
std::string HtmlPage(const std::string& base, int width, int height, bool withPlayer = false, bool withMusic = false);

// The folder of the self-hosted Ruffle player: $YEL_RUFFLE_DIR when set,
// else "ruffle" in the program's folder (where the build and the installation
// put it).
std::string RufflePlayerFolder();

// The names of the player's files in folder: its scripts, WebAssembly
// modules and licence texts, sorted. Throws yel::Error naming the folder
// when ruffle.js is not there.
std::vector<std::string> RufflePlayerFiles(const std::string& folder);

// Copies the player's files from sourceFolder into pageFolder + "ruffle/"
// (created when missing) and returns the paths written. The folder is opened
// without following a symbolic link (one in its place is refused), and each
// file is written under a temporary name in it and renamed into place, so
// an existing file or link of that name is replaced, never written through.
std::vector<std::string> WriteRufflePlayer(const std::string& sourceFolder, const std::string& pageFolder);

// Writes the executable: player, the movie file's bytes, marker, movie
// length (little-endian), through a temporary file renamed into place. The
// file keeps the permission bits of the file it replaces; a new one is
// executable (0777 less the umask). A symbolic link of that name is
// replaced, never written through.
void WriteExecutable(const std::string& exeFile, const std::vector<std::uint8_t>& player, const std::string& swfFile);

// The three lines of "autorun.inf" (CR LF) opening exeName.
std::string AutorunInf(const std::string& exeName);

// A zip archive at zipFile of every regular file under folder (recursively,
// paths relative to folder, never the archive itself; symbolic links are
// left out), or of only those of them that `only` names when it is not
// empty, written to a temporary name and renamed into place.
void WriteZipArchive(const std::string& zipFile, const std::string& folder,
                     const std::vector<std::string>& only = {});

// The message text, which tells the reader to open pageName (lines end in
// CR LF; the mail program is given them ending in LF, which xdg-email turns
// into CR LF).
std::string EMailBody(const std::string& pageName);

// Runs `program --subject SUBJECT --body BODY --attach FILE` without a
// shell and waits for it. Returns false, with the reason, when it cannot be
// started or ends with a non-zero exit status or a signal.
bool LaunchMailProgram(const std::string& program, const std::string& subject, const std::string& body,
                       const std::string& attachment, std::string* reason);

}  // namespace yel::publish
