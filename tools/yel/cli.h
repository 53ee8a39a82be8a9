// Shared pieces of the yel command line: the subcommand table, argument
// reading and the error convention (message to stderr, non-zero exit).
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace yel::cli {

using Args = std::vector<std::string>;

struct Command {
  std::string name;
  std::string summary;
  std::function<int(const Args& args)> run;
};

// Runs the yel front end with argv without the program name. Output and errors
// go to the given streams so that tests can run it in-process.
int Main(const Args& args, std::ostream& out, std::ostream& err);

// The subcommands, in the order --help lists them.
const std::vector<Command>& Commands();

// Streams of the running command (set by Main for the subcommand's duration).
std::ostream& Out();
std::ostream& Err();

// Thrown by argument readers for a usage mistake; Main prints it with a hint
// to --help and exits with status 2.
struct UsageError {
  std::string message;
};

// Reads "--flag value", "-f value" and positional arguments in order.
class ArgReader {
 public:
  explicit ArgReader(const Args& args) : args_(args) {}
  bool AtEnd() const { return next_ >= args_.size(); }
  // True, and consumes it, when the next argument is one of the given names.
  bool TakeFlag(std::initializer_list<const char*> names);
  // The value after a flag just taken; a missing value is a usage error.
  std::string TakeValue();
  // The next argument as a positional value; an unknown option is a usage error.
  std::string TakePositional();
  const std::string& Peek() const { return args_[next_]; }
  std::string Flag() const { return flag_; }

 private:
  const Args& args_;
  std::size_t next_ = 0;
  std::string flag_;
};

bool WantsHelp(const Args& args);

// Subcommands.
int RunProject(const Args& args);
int RunCompile(const Args& args);
int RunDump(const Args& args);
int RunCopy(const Args& args);
int RunPublish(const Args& args);
int RunPreview(const Args& args);
int RunThemes(const Args& args);
int RunRender(const Args& args);

}  // namespace yel::cli
