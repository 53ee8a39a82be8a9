// Entry point of the yel command-line front end.
#include <clocale>
#include <iostream>

#include "tools/yel/cli.h"

int main(int argc, char** argv) {
  // Numbers in project and theme files follow the user's locale.
  std::setlocale(LC_ALL, "");
  yel::cli::Args args(argv + 1, argv + argc);
  return yel::cli::Main(args, std::cout, std::cerr);
}
