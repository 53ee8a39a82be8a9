// Output targets: the handlers of the Publish page and the files they write.
#include "publish/output_targets.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "album/album_model.h"
#include "album/resource_library.h"
#include "base/error.h"
#include "base/files.h"
#include "base/paths.h"
#include "publish/album_movie.h"
#include "publish/offline_page.h"

extern char** environ;

namespace yel::publish {
namespace {

namespace fs = std::filesystem;

std::string Hex2(unsigned value) {
  static const char digits[] = "0123456789ABCDEF";
  return {digits[(value >> 4) & 15], digits[value & 15]};
}

std::string WithSlash(const std::string& folder) {
  return !folder.empty() && folder.back() != '/' ? folder + '/' : folder;
}

// The folder part of a path, ending in '/' (empty for a bare name).
std::string FolderPartOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The name without its extension (from the last full stop of the name).
std::string WithoutExtension(const std::string& path) {
  return path.substr(0, path.size() - ExtensionOf(path).size());
}

std::string ChangeExtension(const std::string& path, const std::string& extension) {
  return WithoutExtension(path) + extension;
}

// Names of published files hold no control characters: a line feed or an
// escape in a name breaks every list, mail header and terminal it shows in.
void CheckNoControlCharacters(const std::string& name) {
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) {
      std::string shown;
      for (const char k : name) {
        const auto u = static_cast<unsigned char>(k);
        shown += u < 0x20 || u == 0x7F ? "\\x" + Hex2(u) : std::string(1, k);
      }
      throw Error(shown + ": the file name holds a control character");
    }
  }
}

// The base of published files must be a plain, non-empty name.
void CheckFileName(const std::string& name) {
  if (name.empty()) throw Error("no file name was given");
  CheckNoControlCharacters(name);
  if (name.find('/') != std::string::npos || name == "." || name == "..")
    throw Error(name + ": the file name must be a name without folders");
  if (WithoutExtension(name).empty()) throw Error(name + ": the file name has no name before its extension");
}

void CheckFolder(const std::string& folder) {
  if (folder.empty()) throw Error("no output folder was given");
}

// The movie has music when its file is there (BuildMovie skips a missing one).
bool HasMusic(const TFlashAlbum& album) { return FileExists(album.MusicFile); }

std::string PlayerFolderOr(const std::string& folder) { return folder.empty() ? RufflePlayerFolder() : folder; }

// The files a build reads: the project, the photos and the music. An output
// that is one of them is refused before building.
void CheckNotAnAlbumInput(const TFlashAlbum& album, const std::string& output) {
  std::vector<std::string> inputs = {album.ProjectFileName, album.MusicFile};
  for (std::size_t i = 0; i < album.SlideViews.Count(); ++i) inputs.push_back(album.SlideViews[i].ImageFile);
  CheckNotAnInput(output, inputs);
}

// Builds the movie into fileName; false when the user cancelled.
bool BuildInto(const TFlashAlbum& album, const std::string& fileName, const std::string& title,
               TfrmConvert& progress) {
  return BuildMovie(album, fileName, title, progress);
}

mode_t NewFileMode(mode_t wanted) {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return wanted & ~mask;
}

void AppendLittleEndian32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out += char((value >> (8 * i)) & 0xFF);
}

// --- HTML

bool Utf8Sequence(const std::string& s, std::size_t at, std::size_t& length, std::uint32_t& code) {
  const auto c = static_cast<unsigned char>(s[at]);
  std::uint32_t min;
  if (c >= 0xC2 && c <= 0xDF) length = 2, code = c & 0x1F, min = 0x80;
  else if (c >= 0xE0 && c <= 0xEF) length = 3, code = c & 0x0F, min = 0x800;
  else if (c >= 0xF0 && c <= 0xF4) length = 4, code = c & 0x07, min = 0x10000;
  else return false;
  if (at + length > s.size()) return false;
  for (std::size_t i = 1; i < length; ++i) {
    const auto t = static_cast<unsigned char>(s[at + i]);
    if ((t & 0xC0) != 0x80) return false;
    code = (code << 6) | (t & 0x3F);
  }
  return code >= min && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
}

std::string Hex(std::uint32_t value) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  do out.insert(out.begin(), digits[value & 15]), value >>= 4;
  while (value);
  return out;
}

// Text and attribute values: the five markup characters as entities. The
// page declares no character set, so other characters outside printable
// ASCII become character references and show the same in every browser;
// bytes that are not UTF-8 are kept as they are.
std::string HtmlEscape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t length = 1;
    std::uint32_t code = 0;
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        if (c == 0) out += "&#xFFFD;";
        else if (c < 0x20 || c == 0x7F) out += "&#" + std::to_string(c) + ";";
        else if (c < 0x80) out += char(c);
        else if (Utf8Sequence(s, i, length, code)) out += "&#x" + Hex(code) + ";";
        else out += char(c), length = 1;
    }
    i += length;
  }
  return out;
}

// A file name as a relative URL: everything but unreserved characters and
// the sub-delimiters that mean nothing in a path is percent-encoded (space,
// '"', '#', '%', '?', ':' which would read as a scheme, '\' which browsers
// take for '/', controls and every byte outside ASCII).
std::string UrlPathSegment(const std::string& s) {
  static const std::string kSafe = "-._~!$&'()*+,;=@";
  std::string out;
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
        kSafe.find(ch) != std::string::npos) {
      out += ch;
    } else {
      out += '%';
      out += Hex(c >> 4);
      out += Hex(c & 15);
    }
  }
  return out;
}

// --- the player beside the page

constexpr const char* kPlayerFolderName = "ruffle";

struct UniqueFd {
  int fd = -1;
  ~UniqueFd() {
    if (fd >= 0) ::close(fd);
  }
};

// The player's folder beside a page may be missing or a real folder; a
// symbolic link there (which would send the files anywhere) or a file is
// refused.
void CheckPlayerFolder(const std::string& target) {
  struct stat info {};
  if (::lstat(target.c_str(), &info) != 0) {
    if (errno == ENOENT) return;
    ThrowFileError(target, "cannot read the player folder: " + SystemErrorText(errno));
  }
  if (S_ISLNK(info.st_mode))
    ThrowFileError(target, "is a symbolic link; the player files are not written through it");
  if (!S_ISDIR(info.st_mode)) ThrowFileError(target, "is in the way of the player folder (it is not a folder)");
}

std::string PlayerFolderBeside(const std::string& pageFolder) {
  return (pageFolder.empty() ? std::string("./") : WithSlash(pageFolder)) + kPlayerFolderName;
}

// Writes name inside the open folder dir (shown as folder) under a
// temporary name that is then renamed over it.
void WriteIntoFolder(int dir, const std::string& folder, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const std::string path = folder + "/" + name;
  struct stat existing {};
  const mode_t mode = ::fstatat(dir, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(existing.st_mode)
                          ? existing.st_mode & 07777
                          : NewFileMode(0666);
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::string temp;
  UniqueFd out;
  for (int attempt = 0; attempt < 100 && out.fd < 0; ++attempt) {
    temp = ".yel-write-";
    for (int i = 0; i < 8; ++i) temp += kLetters[random() % (sizeof kLetters - 1)];
    out.fd = ::openat(dir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out.fd < 0 && errno != EEXIST) ThrowFileError(path, "cannot write: " + SystemErrorText(errno));
  }
  if (out.fd < 0) ThrowFileError(path, "cannot write: no free temporary name");
  auto fail = [&](const std::string& what) {
    const int saved = errno;
    ::unlinkat(dir, temp.c_str(), 0);
    ThrowFileError(path, what + ": " + SystemErrorText(saved));
  };
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(out.fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("cannot write");
    done += std::size_t(n);
  }
  if (::fchmod(out.fd, mode) != 0 || ::fsync(out.fd) != 0) fail("cannot write");
  if (::renameat(dir, temp.c_str(), dir, name.c_str()) != 0) fail("cannot replace");
}

// --- zip

// Every regular file under folder, as paths relative to it with '/', sorted;
// symbolic links are left out.
std::vector<std::string> FilesUnder(const std::string& folder, const std::string& except) {
  std::vector<std::string> names;
  std::error_code ec;
  const fs::path root(folder);
  fs::recursive_directory_iterator it(root, ec), end;
  if (ec) ThrowFileError(folder, "cannot read the folder: " + ec.message());
  for (; it != end; it.increment(ec)) {
    if (ec) ThrowFileError(folder, "cannot read the folder: " + ec.message());
    // Symbolic links are not packed: they may lead to any file of the
    // computer (and folder links are not descended into).
    std::error_code type_ec;
    const fs::file_status status = it->symlink_status(type_ec);
    if (type_ec || !fs::is_regular_file(status)) continue;
    const std::string relative = it->path().lexically_relative(root).generic_string();
    if (relative != except) names.push_back(relative);
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct ZipGuard {
  zip_t* zip = nullptr;
  ~ZipGuard() {
    if (zip) zip_discard(zip);
  }
};

std::string ZipErrorText(zip_t* zip) { return zip_error_strerror(zip_get_error(zip)); }

// --- e-mail

// The e-mail folder must be a real folder of this user: a symbolic link
// there (to a private folder, say) would have the movie written into it.
void CheckMailFolder(const std::string& folder, bool created) {
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0)
    ThrowFileError(folder, "cannot read the e-mail folder: " + SystemErrorText(errno));
  if (S_ISLNK(info.st_mode))
    ThrowFileError(folder, "is a symbolic link; the e-mail folder must be a real folder (remove the link or "
                           "choose another name)");
  if (!S_ISDIR(info.st_mode)) ThrowFileError(folder, "is in the way of the e-mail folder (it is not a folder)");
  if (!created && info.st_uid != ::geteuid())
    ThrowFileError(folder, "belongs to another user; the e-mail folder must be one of your own");
}

// A movie built under a hidden temporary name in a folder (removed with the
// stale temporaries of killed writers), deleted unless kept or put in place.
class TemporaryMovie {
 public:
  explicit TemporaryMovie(const std::string& folder, const char* prefix = ".yel-exe-") {
    path_ = (folder.empty() ? std::string("./") : WithSlash(folder)) + prefix + "XXXXXX";
    const int fd = ::mkstemp(path_.data());
    if (fd < 0) ThrowFileError(folder, "cannot write the movie there: " + SystemErrorText(errno));
    ::close(fd);
  }
  ~TemporaryMovie() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryMovie(const TemporaryMovie&) = delete;
  TemporaryMovie& operator=(const TemporaryMovie&) = delete;
  const std::string& Path() const { return path_; }

  // Renames the movie to name unless something has that name; says where
  // the movie is.
  std::string Keep(const std::string& name) {
    ::chmod(path_.c_str(), NewFileMode(0666));
    if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0) {
      path_.clear();
      return "the movie is kept as " + name;
    }
    return "the movie was not kept: " + name + " is there already";
  }

  // Renames the movie to name, replacing what is there.
  void Replace(const std::string& name) {
    ::chmod(path_.c_str(), NewFileMode(0666));
    struct stat existing {};
    if (::lstat(name.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
      ::chmod(path_.c_str(), existing.st_mode & 07777);
    if (::rename(path_.c_str(), name.c_str()) != 0) ThrowFileError(name, "cannot replace: " + SystemErrorText(errno));
    path_.clear();
  }

 private:
  std::string path_;
};

// Files (and a folder) that a handler created, removed again unless the
// whole output was written.
struct NewFiles {
  std::vector<std::string> Files;
  std::string Folder;
  bool Kept = false;
  NewFiles() = default;
  NewFiles(const NewFiles&) = delete;
  NewFiles& operator=(const NewFiles&) = delete;
  ~NewFiles() {
    if (Kept) return;
    for (const std::string& file : Files) ::unlink(file.c_str());
    if (!Folder.empty()) ::rmdir(Folder.c_str());
  }
  void Keep() { Kept = true; }
};

bool PathExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

// A name longer than the file system takes (255 bytes) is refused before
// building, instead of failing after the movie is written.
void CheckNameLength(const std::string& name) {
  if (name.size() > 255)
    throw Error(name.substr(0, 40) + "...: the file name is longer than 255 bytes (" + std::to_string(name.size()) +
                ")");
}

// Folders of path that do not exist yet, deepest first.
std::vector<fs::path> MissingFolders(const std::string& path) {
  std::vector<fs::path> missing;
  std::error_code ec;
  fs::path p = fs::path(path).lexically_normal();
  if (!p.has_filename()) p = p.parent_path();  // the trailing separator
  while (!p.empty() && !fs::exists(p, ec)) {
    missing.push_back(p);
    const fs::path parent = p.parent_path();
    if (parent == p) break;
    p = parent;
  }
  return missing;
}

// Removes folders made for a cancelled run, while they are empty.
void RemoveFolders(const std::vector<fs::path>& created) {
  for (const fs::path& folder : created) {
    std::error_code ec;
    fs::remove(folder, ec);
  }
}

}  // namespace

TExeDialogResult InitialExeDialog(const TPublish& publish) {
  return {publish.Name, publish.Folder, publish.Exe.CreateCDFiles};
}

TEMailDialogResult InitialEMailDialog(const TPublish& publish) { return {publish.Name, publish.Folder}; }

std::optional<std::vector<std::uint8_t>> Preview(const TFlashAlbum& album, TfrmConvert& progress) {
  std::vector<std::uint8_t> bytes;
  if (!BuildMovie(album, "", "Preview ...", progress, &bytes)) return std::nullopt;
  return bytes;
}

TOutputResult CreateSwfMovie(const TFlashAlbum& album, TfrmConvert& progress,
                             const std::optional<std::string>& chosenFile) {
  TOutputResult result;
  if (!chosenFile) return result.Cancelled = true, result;
  if (chosenFile->empty()) throw Error("no file name was given");
  CheckNoControlCharacters(FileNameOf(*chosenFile));
  CheckReplaceable(*chosenFile);
  CheckNotAnAlbumInput(album, *chosenFile);
  if (!BuildInto(album, *chosenFile, "Create SWF Movie ...", progress)) return result.Cancelled = true, result;
  result.Files.push_back(*chosenFile);
  return result;
}

TOutputResult PublishHtmlFile(const TFlashAlbum& album, TfrmConvert& progress,
                              const std::optional<std::string>& chosenFile, const THtmlOptions& options) {
  TOutputResult result;
  if (!chosenFile) return result.Cancelled = true, result;
  const std::string folder = FolderPartOf(*chosenFile);
  const std::string base = WithoutExtension(FileNameOf(*chosenFile));
  if (base.empty()) throw Error(*chosenFile + ": the file name has no name before its extension");
  CheckNoControlCharacters(base);
  CheckNameLength(base + ".html");
  const std::string swf = folder + base + ".swf";
  const std::string html = folder + base + ".html";
  CheckReplaceable(swf);
  CheckReplaceable(html);
  CheckNotAnAlbumInput(album, swf);
  CheckNotAnAlbumInput(album, html);
  if (options.Plain && options.Served) throw Error("the plain page has no player to serve");
  const std::string player = PlayerFolderOr(options.PlayerFolder);
  if (options.Served) {
    RufflePlayerFiles(player);
    CheckPlayerFolder(PlayerFolderBeside(folder));
  } else if (!options.Plain) {
    CheckOfflinePlayer(player);
  }
  // Either every file appears or nothing new does: the movie is built under
  // a temporary name and put in place last; the player files and the page
  // that were not there before are removed again when a later step fails.
  TemporaryMovie movie(folder, ".yel-write-");
  if (!BuildInto(album, movie.Path(), "Publish HTML File ...", progress)) return result.Cancelled = true, result;
  NewFiles created;
  if (options.Served) {
    const std::string target = PlayerFolderBeside(folder);
    if (!FolderExists(target)) created.Folder = target;
    for (const std::string& name : RufflePlayerFiles(player))
      if (!PathExists(target + "/" + name)) created.Files.push_back(target + "/" + name);
    for (std::string& file : WriteRufflePlayer(player, folder)) result.Files.push_back(std::move(file));
  }
  if (!PathExists(html)) created.Files.push_back(html);
  if (options.Plain || options.Served)
    WriteFileAtomically(html, HtmlPage(base, album.Width, album.Height, options.Served, HasMusic(album)));
  else
    WriteOfflinePage(html, HtmlPage(base, album.Width, album.Height), HasMusic(album), player, movie.Path());
  result.Files.push_back(html);
  movie.Replace(swf);
  created.Keep();
  result.Files.insert(result.Files.begin(), swf);
  return result;
}

TOutputResult CreateExecutable(TFlashAlbum& album, TfrmConvert& progress,
                               const std::optional<TExeDialogResult>& dialog, const std::string& playerFolder) {
  TOutputResult result;
  if (!dialog) return result.Cancelled = true, result;
  CheckFileName(dialog->FileName);
  CheckFolder(dialog->Folder);
  TPublish publish = album.Publish;
  publish.Folder = WithSlash(dialog->Folder);
  publish.Name = dialog->FileName;
  publish.Exe.CreateCDFiles = dialog->CreateCDFiles;

  // The confirmed answers are remembered for the next time, whatever the
  // build then does.
  album.Publish = publish;

  const std::string exeName = ChangeExtension(publish.Name, ".exe");
  const std::string exe = publish.Folder + exeName;
  const std::string swf = ChangeExtension(exe, ".swf");
  const std::string page = ChangeExtension(exe, ".html");
  const std::string player = PlayerFolderOr(playerFolder);
  CheckReplaceable(exe);
  CheckNotAnAlbumInput(album, exe);
  if (publish.Exe.CreateCDFiles) {
    CheckReplaceable(page);
    CheckOfflinePlayer(player);
    CheckNotAnAlbumInput(album, page);
    CheckNotAnAlbumInput(album, ResolvePathIgnoreCase(publish.Folder + "Shell.ico"));
    CheckNotAnAlbumInput(album, ResolvePathIgnoreCase(publish.Folder + "autorun.inf"));
  }
  // The movie is built under a temporary name: a file NAME.swf that this run
  // did not write is never replaced or deleted.
  TemporaryMovie movie(publish.Folder);
  if (!BuildInto(album, movie.Path(), "Create Executable", progress)) return result.Cancelled = true, result;

  // Without the player the executable is not written (a file of that name
  // stays as it was) and the movie is kept as NAME.swf when no file has
  // that name.
  std::vector<std::uint8_t> playerProgram;
  std::optional<TResourceLibrary> links;
  try {
    links.emplace(album.AppFolder + kLinksLibrary);
    playerProgram = links->ReadResource("EXE", "YEL_Player");
  } catch (const std::exception& e) {
    throw Error(std::string(e.what()) + " (" + movie.Keep(swf) + "; " + exe + " was not written)");
  }
  WriteExecutable(exe, playerProgram, movie.Path());
  result.Files.push_back(exe);
  // The CD's page, for machines without our player, carries the movie.
  if (publish.Exe.CreateCDFiles) {
    WriteOfflinePage(page, HtmlPage(FileNameOf(WithoutExtension(exe)), album.Width, album.Height), HasMusic(album),
                     player, movie.Path());
    result.Files.push_back(page);
  }

  if (publish.Exe.CreateCDFiles) {
    const std::string icon = ResolvePathIgnoreCase(publish.Folder + "Shell.ico");
    WriteFileAtomically(icon, links->ReadResource("ICO", "YEL_CD"));
    result.Files.push_back(icon);
    const std::string autorun = ResolvePathIgnoreCase(publish.Folder + "autorun.inf");
    WriteFileAtomically(autorun, AutorunInf(exeName));
    result.Files.push_back(autorun);
  }
  return result;
}

std::string MailProgram() {
  const char* program = std::getenv("YEL_MAIL_PROGRAM");
  return program && *program ? program : "xdg-email";
}

TOutputResult SendViaEmail(TFlashAlbum& album, TfrmConvert& progress, const std::optional<TEMailDialogResult>& dialog,
                           const std::string& mailProgram, const std::string& playerFolder) {
  TOutputResult result;
  if (!dialog) return result.Cancelled = true, result;
  CheckFileName(dialog->FileName);
  CheckFolder(dialog->Folder);
  TPublish publish = album.Publish;
  publish.Name = dialog->FileName;
  const std::string stem = WithoutExtension(publish.Name);
  const std::string sub = WithSlash(dialog->Folder) + stem + "/";
  publish.Folder = sub;
  const std::string player = PlayerFolderOr(playerFolder);
  CheckOfflinePlayer(player);

  const std::vector<fs::path> created = MissingFolders(sub);
  std::error_code ec;
  fs::create_directories(sub, ec);
  if (ec) ThrowFileError(sub, "cannot create the folder: " + ec.message());
  CheckMailFolder(sub.substr(0, sub.size() - 1), !created.empty());

  album.Publish = publish;  // remembered from the confirmed dialog on
  const std::string swf = sub + stem + ".swf";
  const std::string page = sub + stem + ".html";
  const std::string zip = sub + publish.Name + ".zip";
  CheckReplaceable(swf);
  CheckReplaceable(page);
  CheckReplaceable(zip);
  CheckNotAnAlbumInput(album, swf);
  CheckNotAnAlbumInput(album, page);
  CheckNotAnAlbumInput(album, zip);
  if (!BuildInto(album, swf, "Send via E-mail ...", progress)) {
    RemoveFolders(created);
    return result.Cancelled = true, result;
  }
  result.Files.push_back(swf);
  WriteOfflinePage(page, HtmlPage(stem, album.Width, album.Height), HasMusic(album), player, swf);
  result.Files.push_back(page);

  // Only the movie and page of this run are packed: whatever else the folder holds
  // (put there by someone else, or left from earlier) is not sent.
  WriteZipArchive(zip, sub, {stem + ".html", stem + ".swf"});
  // xdg-email writes every line feed of the body as CR LF into the message,
  // so the lines go to it ending in LF alone.
  std::string body = EMailBody(FileNameOf(page));
  for (std::size_t at; (at = body.find("\r\n")) != std::string::npos;) body.erase(at, 1);
  std::string reason;
  if (!LaunchMailProgram(mailProgram, publish.Name, body, AbsolutePath(zip), &reason)) {
    std::remove(zip.c_str());
    result.Information = "Can not launch the mail program " + mailProgram +
                         "! Please make sure you have xdg-utils installed and an e-mail program configured (" +
                         mailProgram + ": " + reason + ")";
    return result;
  }
  result.Files.push_back(zip);
  return result;
}

std::string HtmlPage(const std::string& base, int width, int height, bool withPlayer, bool withMusic) {
  const std::string text = HtmlEscape(base);
  const std::string url = HtmlEscape(UrlPathSegment(base) + ".swf");
  const std::string w = std::to_string(width), h = std::to_string(height);
  const std::string activeX =
      std::string("https://") + kActiveXDownloadHost + "/pub/shockwave/cabs/flash/swflash.cab#version=6,0,65,0";
  const std::string plugin = std::string("https://") + kPluginDownloadHost + "/go/getflashplayer";
  const std::string lines[] = {
      "<html>",
      "  <head>",
      "    <title>" + text + "</title>",
      "  </head>",
      "  <body bgcolor=\"#FFFFFF\">",
      "    <table width=100% height=100%>",
      "      <tr>",
      "        <td>",
      "        <center>",
      "          <object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\"",
      "          codebase=\"" + activeX + "\"",
      "          id=\"" + text + "\"",
      "          width=\"" + w + "\"",
      "          height=\"" + h + "\">",
      "          <param name=\"movie\" value=\"" + url + "\">",
      "          <param name=\"bgcolor\" value=\"#FFFFFF\">",
      "          <embed name=\"YEL\" src=\"" + url + "\"",
      "          quality=\"high\" bgcolor=\"#FFFFFF\" swLiveConnect=\"true\"",
      "          width=\"" + w + "\"",
      "          height=\"" + h + "\"",
      "          type=\"application/x-shockwave-flash\"",
      "          pluginspage=\"" + plugin + "\"></embed>",
      "          </object>",
      "         </center>",
      "        </td>",
      "      </tr>",
      "    </table>",
      "  </body>",
      "</html>",
  };
  std::string page;
  for (const std::string& line : lines) {
    page += line + "\r\n";
    if (withPlayer && &line == &lines[2]) {
      if (withMusic) page += "    <script>\r\n" + QuietAudioScript() + "    </script>\r\n";
      page += "    <script>window.RufflePlayer = {config: " + RufflePlayerConfig(withMusic, false) + "};</script>\r\n";
      page += std::string("    <script src=\"") + kPlayerFolderName + "/ruffle.js\"></script>\r\n";
    }
  }
  return page;
}

std::string RufflePlayerFolder() {
  if (const char* dir = std::getenv("YEL_RUFFLE_DIR"); dir && *dir) return dir;
  return ExecutableFolder() + kPlayerFolderName;
}

std::vector<std::string> RufflePlayerFiles(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    const std::string ext = ExtensionOf(name);
    std::error_code type_ec;
    if ((ext == ".js" || ext == ".wasm" || name.starts_with("LICENSE")) && entry.is_regular_file(type_ec))
      names.push_back(name);
  }
  if (ec || std::find(names.begin(), names.end(), "ruffle.js") == names.end())
    ThrowFileError(folder, "the Ruffle player files are not there (reinstall the program, or set YEL_RUFFLE_DIR to "
                           "a self-hosted Ruffle folder)");
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> WriteRufflePlayer(const std::string& sourceFolder, const std::string& pageFolder) {
  const std::vector<std::string> names = RufflePlayerFiles(sourceFolder);
  const std::string target = PlayerFolderBeside(pageFolder);
  CheckPlayerFolder(target);
  if (::mkdir(target.c_str(), 0777) != 0 && errno != EEXIST)
    ThrowFileError(target, "cannot create the player folder: " + SystemErrorText(errno));
  UniqueFd dir{::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
  if (dir.fd < 0) {
    if (errno == ELOOP || errno == ENOTDIR)
      ThrowFileError(target, "is a symbolic link or no folder; the player files are not written there");
    ThrowFileError(target, "cannot open the player folder: " + SystemErrorText(errno));
  }
  RemoveStaleTemporaries(target);
  std::vector<std::string> written;
  for (const std::string& name : names) {
    WriteIntoFolder(dir.fd, target, name, ReadFileBytes(WithSlash(sourceFolder) + name));
    written.push_back(target + "/" + name);
  }
  return written;
}

void WriteExecutable(const std::string& exeFile, const std::vector<std::uint8_t>& player, const std::string& swfFile) {
  struct Fd {
    int fd = -1;
    ~Fd() {
      if (fd >= 0) ::close(fd);
    }
  };
  Fd swf{::open(swfFile.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  if (swf.fd < 0) ThrowFileError(swfFile, "cannot open the movie: " + SystemErrorText(errno));
  struct stat swfInfo {};
  if (::fstat(swf.fd, &swfInfo) != 0 || !S_ISREG(swfInfo.st_mode))
    ThrowFileError(swfFile, "cannot read the movie");
  if (std::uint64_t(swfInfo.st_size) > 0xFFFFFFFFu)
    ThrowFileError(swfFile, "the movie is larger than 4 GiB and cannot be appended to a player");

  // Built under a temporary name in the output folder and renamed into
  // place: an existing file (or the target of a symbolic link of that name)
  // is never written to or changed.
  AtomicFileWriter out(exeFile, 0777);
  out.Write(player.data(), player.size());
  std::uint64_t copied = 0;
  std::vector<char> chunk(1 << 16);
  for (;;) {
    const ssize_t n = ::read(swf.fd, chunk.data(), chunk.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowFileError(swfFile, "cannot read the movie: " + SystemErrorText(errno));
    }
    if (n == 0) break;
    out.Write(chunk.data(), std::size_t(n));
    copied += std::uint64_t(n);
  }
  if (copied > 0xFFFFFFFFu)
    ThrowFileError(swfFile, "the movie is larger than 4 GiB and cannot be appended to a player");
  std::string tail;
  AppendLittleEndian32(tail, kExecutableMarker);
  AppendLittleEndian32(tail, std::uint32_t(copied));
  out.Write(tail.data(), tail.size());
  out.Commit();
}

std::string AutorunInf(const std::string& exeName) {
  return "[AutoRun]\r\nOpen=" + exeName + "\r\nIcon=shell.ico\r\n";
}

void WriteZipArchive(const std::string& zipFile, const std::string& folder, const std::vector<std::string>& only) {
  const std::string root = WithSlash(folder);
  std::string except;
  if (const auto relative = fs::path(zipFile).lexically_relative(root); !relative.empty())
    except = relative.generic_string();
  std::vector<std::string> names = FilesUnder(root, except);
  if (!only.empty())
    std::erase_if(names, [&](const std::string& name) { return std::find(only.begin(), only.end(), name) == only.end(); });

  // libzip writes the archive itself (under a second temporary name beside
  // the one it is given), so the atomic writer cannot serve here. It is
  // given a hidden name of ours, which the next write into the folder
  // removes when a killed publish left it (with libzip's own copy, whose
  // name starts the same), and the finished archive is renamed into place.
  std::string temp = FolderPartOf(zipFile) + ".yel-zip-XXXXXX";
  if (FolderPartOf(zipFile).empty()) temp = "./" + temp;
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) ThrowFileError(zipFile, "cannot write: " + SystemErrorText(errno));
  ::close(fd);
  auto fail = [&](const std::string& message) {
    ::unlink(temp.c_str());
    ThrowFileError(zipFile, message);
  };

  ZipGuard archive;
  int error = 0;
  archive.zip = zip_open(temp.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive.zip) {
    zip_error_t ze;
    zip_error_init_with_code(&ze, error);
    const std::string message = std::string("cannot create the zip archive: ") + zip_error_strerror(&ze);
    zip_error_fini(&ze);
    fail(message);
  }
  for (const std::string& name : names) {
    const std::string path = root + name;
    zip_source_t* source = zip_source_file(archive.zip, path.c_str(), 0, -1);
    if (!source) fail(path + ": cannot add to the zip archive: " + ZipErrorText(archive.zip));
    if (zip_file_add(archive.zip, name.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_GUESS) < 0) {
      zip_source_free(source);
      fail(path + ": cannot add to the zip archive: " + ZipErrorText(archive.zip));
    }
  }
  // An archive of an empty folder is still written (libzip skips it).
  if (names.empty()) {
    zip_discard(archive.zip);
    archive.zip = nullptr;
    static const char kEmptyZip[22] = {'P', 'K', 5, 6};
    WriteFileAtomically(temp, std::string_view(kEmptyZip, sizeof kEmptyZip));
  } else if (zip_close(archive.zip) != 0) {
    fail("cannot write the zip archive: " + ZipErrorText(archive.zip));
  } else {
    archive.zip = nullptr;
  }
  struct stat existing {};
  const mode_t mode = ::stat(zipFile.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : NewFileMode(0666);
  ::chmod(temp.c_str(), mode);
  if (::rename(temp.c_str(), zipFile.c_str()) != 0) {
    const int saved = errno;
    ::unlink(temp.c_str());
    ThrowFileError(zipFile, "cannot replace: " + SystemErrorText(saved));
  }
}

std::string EMailBody(const std::string& pageName) {
  const std::string title = kProductTitle;
  return "\r\n================\r\nHi,\r\n\r\nThis attached file is a Flash presentation created by \"" + title +
         "\", \r\nI present it specially for you.\r\n\r\nTo view it:\r\n"
         "1)  Save the attached Zip file to your computer.\r\n"
         "2)  Extract the Zip file.  (Using Winzip or Winrar)\r\n"
         "3)  Double-click on " + pageName + " to watch it in your web browser.\r\n\r\n"
         "=-=-= Visit the " +
         title + " web site to make photo albums of your own =-=-=";
}

bool LaunchMailProgram(const std::string& program, const std::string& subject, const std::string& body,
                       const std::string& attachment, std::string* reason) {
  std::vector<std::string> args = {program, "--subject", subject, "--body", body, "--attach", attachment};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  // The program starts with no signals blocked and default handlers.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int error = ::posix_spawnp(&pid, program.c_str(), nullptr, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  if (error != 0) {
    if (reason) *reason = SystemErrorText(error);
    return false;
  }
  // xdg-email hands the message to the mail program and exits; its status
  // tells whether that worked (3: no mail program is configured).
  int status = 0;
  pid_t waited;
  while ((waited = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
  }
  if (waited < 0) {
    if (reason) *reason = "cannot wait for it: " + SystemErrorText(errno);
    return false;
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  if (reason)
    *reason = WIFEXITED(status) ? "it ended with exit status " + std::to_string(WEXITSTATUS(status))
                                : "it was ended by signal " + std::to_string(WTERMSIG(status));
  return false;
}

}  // namespace yel::publish
