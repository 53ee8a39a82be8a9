// Limits of a snapshot run: yel-player --snapshot renders any movie a file
// manager shows it, so the whole process tree (the player's page, the
// display server it may start) runs under a supervisor that ends it past a
// wall-clock time or a memory size, with a clear message and exit status 1.
#pragma once

#include <cstdint>
#include <string>

namespace yel::app {

struct TSnapshotLimits {
  int Seconds = 120;                        // wall-clock time of the whole snapshot
  std::uint64_t Bytes = 4096ull << 20;      // memory of the whole process tree
};

// Forks: the child returns (with YEL_PLAYER_SUPERVISED set, in a process
// group of its own) and makes the snapshot; the parent watches the child's
// process tree, ends it past a limit, and exits with the child's status
// (1 after a message naming movie when a limit was passed). Does nothing
// when already supervised.
void SuperviseSnapshot(const TSnapshotLimits& limits, const std::string& movie);

// The memory the process tree under root uses: resident private and shared
// memory (anonymous pages and shared memory, not mapped files) of root and
// every descendant.
std::uint64_t ProcessTreeMemory(int root);

}  // namespace yel::app
