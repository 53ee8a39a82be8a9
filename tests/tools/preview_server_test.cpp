// The preview server and folder: only the files yel gave it are served (no
// way out to the disk, no links followed), a stalled client holds up no
// other, and the preview folder is a new private one (a folder or link
// planted by another user is never used).
#include "tools/yel/preview_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "album/album_model.h"
#include "album/project_file.h"
#include "tests/testing/temp_dir.h"
#include "tests/tools/yel_run.h"

namespace yel::cli {
namespace {

namespace fs = std::filesystem;

int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(std::uint16_t(port));
  EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  return fd;
}

// Sends the request and reads the answer until the server closes (at most
// 20 s).
std::string Fetch(int port, const std::string& request) {
  const int fd = Connect(port);
  EXPECT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL), ssize_t(request.size()));
  std::string answer;
  char buffer[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20000) <= 0) break;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    answer.append(buffer, std::size_t(n));
  }
  close(fd);
  return answer;
}

std::string Get(int port, const std::string& path) {
  return Fetch(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n");
}

TEST(PreviewServer, ServesOnlyItsOwnFiles) {
  testing::TempDir dir;
  PreviewServer server({{"index.html", {'<', 'p', '>'}}, {"ruffle/ruffle.js", {'j', 's'}}});
  server.Start();
  EXPECT_EQ(server.Url(), "http://127.0.0.1:" + std::to_string(server.Port()) + "/");
  const std::string page = Get(server.Port(), "/");
  EXPECT_EQ(page.substr(0, 15), "HTTP/1.1 200 OK") << page;
  EXPECT_NE(page.find("Content-Type: text/html"), std::string::npos);
  EXPECT_EQ(page.substr(page.size() - 3), "<p>");
  EXPECT_EQ(Get(server.Port(), "/ruffle/ruffle.js?v=1").substr(Get(server.Port(), "/ruffle/ruffle.js").size() - 2), "js");
  for (const char* path : {"/etc/passwd", "/../../../../etc/passwd", "/ruffle/../../secret", "/ruffle", "/index.html/"})
    EXPECT_EQ(Get(server.Port(), path).substr(0, 22), "HTTP/1.1 404 Not Found") << path;
  const std::string port = std::to_string(server.Port());
  EXPECT_EQ(Fetch(server.Port(), "POST / HTTP/1.1\r\nHost: localhost:" + port + "\r\n\r\n").substr(0, 22),
            "HTTP/1.1 404 Not Found");
  server.Stop();
}

// Only requests that name this server as 127.0.0.1:PORT or localhost:PORT
// are answered: a page whose own name was rebound to 127.0.0.1 sends that
// name and gets nothing.
TEST(PreviewServer, AnswersOnlyItsOwnHostName) {
  PreviewServer server({{"index.html", {'o', 'k'}}});
  server.Start();
  const std::string port = std::to_string(server.Port());
  auto status = [&](const std::string& headers) {
    return Fetch(server.Port(), "GET / HTTP/1.1\r\n" + headers + "\r\n").substr(0, 12);
  };
  for (const std::string& ours : {"Host: 127.0.0.1:" + port + "\r\n", "host:  LocalHost:" + port + " \r\n"})
    EXPECT_EQ(status(ours), "HTTP/1.1 200") << ours;
  for (const std::string& other :
       {std::string(), "Host: attacker.example:" + port + "\r\n", std::string("Host: 127.0.0.1\r\n"),
        "Host: 127.0.0.1:" + port + "0\r\n", "Host: localhost:" + port + ".evil\r\n",
        "Host: 127.0.0.1:" + port + "\r\nHost: evil.example\r\n", "X-Host: 127.0.0.1:" + port + "\r\n"})
    EXPECT_EQ(status(other), "HTTP/1.1 421") << other;
  server.Stop();
}

// A client that has sent part of its request and then waits keeps its
// connection while other clients are answered.
TEST(PreviewServer, AStalledClientHoldsUpNoOther) {
  PreviewServer server({{"index.html", {'o', 'k'}}});
  server.Start();
  const int slow = Connect(server.Port());
  ASSERT_EQ(send(slow, "GET / HT", 8, MSG_NOSIGNAL), 8);
  const std::string answer = Get(server.Port(), "/");
  EXPECT_EQ(answer.substr(answer.size() - 2), "ok");
  // The slow client's connection is still open: it was not answered first.
  pollfd p{slow, POLLIN, 0};
  EXPECT_EQ(poll(&p, 1, 0), 0);
  const std::string rest = "TP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n\r\n";
  ASSERT_EQ(send(slow, rest.data(), rest.size(), MSG_NOSIGNAL), ssize_t(rest.size()));
  char buffer[64] = {};
  EXPECT_GT(recv(slow, buffer, sizeof buffer - 1, 0), 0);
  EXPECT_EQ(std::string(buffer).substr(0, 15), "HTTP/1.1 200 OK");
  close(slow);
  server.Stop();
}

std::string Project(const testing::TempDir& dir) {
  TFlashAlbum album;
  album.Width = 32, album.Height = 24, album.FrameRate = 12;
  album.AddSlide("");
  SaveProjectFile(album, dir / "album.yel");
  return dir / "album.yel";
}

// Without --dir the preview goes into a new folder of mode 0700, never into
// the predictable one another user may have made (world-writable, with a
// link planted in place of the player folder); with --dir a link planted
// as the player folder is refused.
TEST(YelPreview, FolderIsPrivateAndPlantedLinksAreRefused) {
  testing::TempDir dir;
  fs::create_directories(dir / "ruffle");
  dir.Write("ruffle/ruffle.js", "// player");
  fs::create_directories(dir / "tmp");
  const std::string planted = dir / ("tmp/yel-preview-" + std::to_string(getuid()));
  fs::create_directories(planted);
  ::chmod(planted.c_str(), 0777);
  fs::create_directories(dir / "elsewhere");
  fs::create_directory_symlink(dir / "elsewhere", planted + "/ruffle");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved_runtime = runtime ? runtime : "";
  ::setenv("YEL_RUFFLE_DIR", (dir / "ruffle").c_str(), 1);
  ::setenv("TMPDIR", (dir / "tmp").c_str(), 1);
  ::unsetenv("XDG_RUNTIME_DIR");
  testing::YelRun run = testing::Yel({"preview", Project(dir), "--no-serve"});
  const std::string prefix = "Preview page: ";
  const std::size_t at = run.out.find(prefix);
  ASSERT_NE(at, std::string::npos) << run.out << run.err;
  const fs::path folder = fs::path(run.out.substr(at + prefix.size(), run.out.find('\n', at) - at - prefix.size()))
                              .parent_path();
  EXPECT_NE(folder, fs::path(planted));
  EXPECT_EQ(folder.parent_path(), fs::path(dir / "tmp"));
  struct stat info {};
  ASSERT_EQ(::stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0700u);
  EXPECT_TRUE(fs::exists(folder / "ruffle/ruffle.js"));
  EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));

  fs::create_directories(dir / "mine");
  fs::create_directory_symlink(dir / "elsewhere", dir / "mine/ruffle");
  run = testing::Yel({"preview", Project(dir), "--no-serve", "--dir", dir / "mine"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(dir / "mine/ruffle: is a symbolic link"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));

  ::unsetenv("YEL_RUFFLE_DIR");
  ::unsetenv("TMPDIR");
  if (runtime) ::setenv("XDG_RUNTIME_DIR", saved_runtime.c_str(), 1);
}

// The folder of a preview that was killed is removed by the next preview;
// one whose process still runs, and another user's name pattern planted as
// a link, stay.
TEST(YelPreview, StaleFoldersOfKilledPreviewsAreRemoved) {
  testing::TempDir dir;
  fs::create_directories(dir / "ruffle");
  dir.Write("ruffle/ruffle.js", "// player");
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_GT(gone, 0);
  ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
  fs::create_directories(dir / "run/yel-preview-killed/ruffle");
  dir.Write("run/yel-preview-killed/.yel-preview-pid", std::to_string(gone) + "\n");
  dir.Write("run/yel-preview-killed/album.swf", "movie");
  fs::create_directories(dir / "run/yel-preview-running");
  dir.Write("run/yel-preview-running/.yel-preview-pid", std::to_string(getpid()) + "\n");
  fs::create_directories(dir / "elsewhere");
  dir.Write("elsewhere/.yel-preview-pid", std::to_string(gone) + "\n");
  fs::create_directory_symlink(dir / "elsewhere", dir / "run/yel-preview-link");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved_runtime = runtime ? runtime : "";
  ::setenv("YEL_RUFFLE_DIR", (dir / "ruffle").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (dir / "run").c_str(), 1);
  const testing::YelRun run = testing::Yel({"preview", Project(dir), "--no-serve"});
  ::unsetenv("YEL_RUFFLE_DIR");
  if (runtime) ::setenv("XDG_RUNTIME_DIR", saved_runtime.c_str(), 1);
  else ::unsetenv("XDG_RUNTIME_DIR");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(fs::exists(dir / "run/yel-preview-killed"));
  EXPECT_TRUE(fs::exists(dir / "run/yel-preview-running/.yel-preview-pid"));
  EXPECT_TRUE(fs::is_symlink(dir / "run/yel-preview-link"));
  EXPECT_TRUE(fs::exists(dir / "elsewhere/.yel-preview-pid"));
}

}  // namespace
}  // namespace yel::cli
