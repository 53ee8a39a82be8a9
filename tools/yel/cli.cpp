#include "tools/yel/cli.h"

#include <iostream>
#include <new>

#include "base/error.h"

namespace yel::cli {
namespace {

std::ostream* g_out = &std::cout;
std::ostream* g_err = &std::cerr;

void PrintHelp(std::ostream& out) {
  out << "Usage: yel COMMAND [OPTIONS]\n\n"
         "Yel Album Studio " YEL_VERSION " on the command line.\n\nCommands:\n";
  for (const auto& command : Commands()) out << "  " << command.name << std::string(10 - std::min<std::size_t>(9, command.name.size()), ' ') << command.summary << "\n";
  out << "\nRun 'yel COMMAND --help' for the options of a command.\n";
}

}  // namespace

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"project", "create a project from a folder of photos, or show a project", RunProject},
      {"compile", "compile an ActionScript file into a movie", RunCompile},
      {"dump", "list the header and the tags of an SWF file", RunDump},
      {"copy", "read an SWF file tag by tag and write it again", RunCopy},
      {"publish", "build the album's movie and write it as an SWF file", RunPublish},
      {"preview", "build the album's movie and play it in a browser page", RunPreview},
      {"themes", "list the installed templates and loading bars", RunThemes},
      {"render", "draw frames of a movie as PNG pictures, without a browser", RunRender},
  };
  return commands;
}

std::ostream& Out() { return *g_out; }
std::ostream& Err() { return *g_err; }

bool ArgReader::TakeFlag(std::initializer_list<const char*> names) {
  if (AtEnd()) return false;
  for (const char* name : names) {
    if (args_[next_] == name) {
      flag_ = name;
      ++next_;
      return true;
    }
  }
  return false;
}

std::string ArgReader::TakeValue() {
  if (AtEnd()) throw UsageError{"option " + flag_ + " needs a value"};
  return args_[next_++];
}

std::string ArgReader::TakePositional() {
  const std::string& arg = args_[next_];
  if (arg.size() > 1 && arg[0] == '-') throw UsageError{"unknown option " + arg};
  ++next_;
  return arg;
}

bool WantsHelp(const Args& args) {
  for (const auto& arg : args)
    if (arg == "--help" || arg == "-h") return true;
  return false;
}

int Main(const Args& args, std::ostream& out, std::ostream& err) {
  g_out = &out;
  g_err = &err;
  struct Restore {
    ~Restore() {
      g_out = &std::cout;
      g_err = &std::cerr;
    }
  } restore;

  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintHelp(args.empty() ? err : out);
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "--version") {
    out << "yel " YEL_VERSION "\n";
    return 0;
  }
  for (const auto& command : Commands()) {
    if (command.name != args[0]) continue;
    Args rest(args.begin() + 1, args.end());
    try {
      return command.run(rest);
    } catch (const UsageError& e) {
      err << "yel " << command.name << ": " << e.message << "\n"
          << "Run 'yel " << command.name << " --help' for usage.\n";
      return 2;
    } catch (const Error& e) {
      err << "yel: " << e.what() << "\n";
      return 1;
    } catch (const std::bad_alloc&) {
      err << "yel " << command.name << ": not enough memory\n";
      return 1;
    } catch (const std::exception& e) {
      err << "yel: " << e.what() << "\n";
      return 1;
    }
  }
  err << "yel: unknown command '" << args[0] << "'. Run 'yel --help' for the list.\n";
  return 2;
}

}  // namespace yel::cli
