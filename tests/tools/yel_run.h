// Runs the yel command line in-process and keeps what it printed.
#pragma once

#include <sstream>
#include <string>

#include "tools/yel/cli.h"

namespace yel::testing {

struct YelRun {
  int status;
  std::string out, err;
};

inline YelRun Yel(const cli::Args& args) {
  std::ostringstream out, err;
  const int status = cli::Main(args, out, err);
  return {status, out.str(), err.str()};
}

}  // namespace yel::testing
