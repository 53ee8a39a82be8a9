// The snapshot supervisor: fork, then poll the child's process tree.
#include "app/yel_player/snapshot_limits.h"

#include <dirent.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace yel::app {
namespace {

constexpr const char* kSupervisedVariable = "YEL_PLAYER_SUPERVISED";

// Parent of every process, read from /proc/PID/stat.
std::map<int, int> ParentsOfAll() {
  std::map<int, int> parents;
  DIR* proc = ::opendir("/proc");
  if (!proc) return parents;
  while (const dirent* entry = ::readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0') continue;
    std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
    std::string text;
    std::getline(stat, text);
    // pid (name) state ppid ...: the name may hold spaces and parentheses.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(text.substr(close + 1));
    std::string state;
    int parent = 0;
    if (rest >> state >> parent) parents[int(pid)] = parent;
  }
  ::closedir(proc);
  return parents;
}

std::vector<int> ProcessTree(int root) {
  const std::map<int, int> parents = ParentsOfAll();
  std::set<int> tree = {root};
  for (bool grown = true; grown;) {
    grown = false;
    for (const auto& [pid, parent] : parents)
      if (tree.count(parent) && tree.insert(pid).second) grown = true;
  }
  return {tree.begin(), tree.end()};
}

// RssAnon + RssShmem of one process, in bytes.
std::uint64_t ProcessMemory(int pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::uint64_t total = 0;
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("RssAnon:", 0) == 0 || line.rfind("RssShmem:", 0) == 0) {
      std::istringstream fields(line.substr(line.find(':') + 1));
      std::uint64_t kilobytes = 0;
      fields >> kilobytes;
      total += kilobytes * 1024;
    }
  }
  return total;
}

// Ends every process under this one: the child leads a process group of its
// own, and processes that left it are found through their parents (orphans
// come to this supervisor).
void KillDescendants(int child) {
  ::kill(-child, SIGKILL);
  const int self = ::getpid();
  for (int round = 0; round < 3; ++round)
    for (const int pid : ProcessTree(self))
      if (pid != self) ::kill(pid, SIGKILL);
}

}  // namespace

std::uint64_t ProcessTreeMemory(int root) {
  std::uint64_t total = 0;
  for (const int pid : ProcessTree(root)) total += ProcessMemory(pid);
  return total;
}

void SuperviseSnapshot(const TSnapshotLimits& limits, const std::string& movie) {
  if (std::getenv(kSupervisedVariable)) return;
  std::fflush(nullptr);
  // Orphaned descendants (a display server whose starter ended) come to
  // this process, so that the tree stays whole.
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);
  const pid_t child = ::fork();
  if (child < 0) return;  // no supervisor: the snapshot runs without one
  if (child == 0) {
    ::setenv(kSupervisedVariable, "1", 1);
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    return;
  }
  ::setpgid(child, child);
  const auto start = std::chrono::steady_clock::now();
  std::string failure;
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) {
      KillDescendants(child);  // what it left running (a display server)
      while (::waitpid(-1, nullptr, WNOHANG) > 0) {
      }
      std::exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (elapsed > std::chrono::seconds(limits.Seconds)) {
      failure = "the snapshot did not finish within " + std::to_string(limits.Seconds) + " s; it was stopped";
      break;
    }
    // Orphans come to this process, so its tree is the snapshot's.
    const std::uint64_t used = ProcessTreeMemory(::getpid());
    if (used > limits.Bytes) {
      failure = "the snapshot needed more than " + std::to_string(limits.Bytes >> 20) + " MB of memory (" +
                std::to_string(used >> 20) + " MB); it was stopped";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  KillDescendants(child);
  while (::waitpid(-1, nullptr, 0) > 0) {
  }
  std::fprintf(stderr, "yel-player: %s: %s\n", movie.c_str(), failure.c_str());
  std::exit(1);
}

}  // namespace yel::app
