// yel publish run as its own process: a request to end it (SIGTERM, SIGHUP)
// cancels it like Ctrl-C, so that it writes nothing and says so.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include "album/album_model.h"
#include "album/project_file.h"
#include "tests/testing/picture_fixtures.h"
#include "tests/testing/temp_dir.h"

extern char** environ;

namespace yel {
namespace {

namespace fs = std::filesystem;

// Starts yel with stderr on a pipe; sends `signal` once stderr shows that
// slides are being built and returns the exit status and stderr.
std::pair<int, std::string> PublishAndSignal(const std::vector<std::string>& args, int signal) {
  int pipe_fds[2];
  EXPECT_EQ(::pipe(pipe_fds), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  std::vector<std::string> all = {YEL_PROGRAM};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  EXPECT_EQ(::posix_spawn(&pid, YEL_PROGRAM, &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  std::string err;
  bool sent = false;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;) {
    err.append(buffer, std::size_t(n));
    if (!sent && err.find("Processing [2/4]") != std::string::npos) {
      ::kill(pid, signal);
      sent = true;
    }
  }
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(sent) << err;
  EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, err};
}

TEST(YelSignals, TermAndHangUpCancelLikeCtrlC) {
  testing::TempDir dir;
  const std::string photo = dir.Write("photo.bmp", testing::SolidBmp(640, 480, 200, 100, 50));
  TFlashAlbum album;
  album.Width = 640, album.Height = 480;
  for (int i = 0; i < 60; ++i) album.AddSlide(photo);
  SaveProjectFile(album, dir / "album.yel");
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
    const auto [status, err] = PublishAndSignal({"publish", dir / "album.yel", "--swf", dir / "out.swf"}, signal);
    EXPECT_EQ(status, 128 + signal) << err;
    EXPECT_NE(err.find("Cancelled; nothing was written."), std::string::npos) << err;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"album.yel", "photo.bmp"})) << signal;
  }
}

}  // namespace
}  // namespace yel
