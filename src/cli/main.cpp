// verdalia-cli: the verifications without the window, for batch use, scripts and CI.
#include <clocale>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"

int main(int argc, char **argv) {
  std::setlocale(LC_ALL, "");
  std::vector<std::string> args(argv + 1, argv + argc);
  return verdalia::cli::Main(args, std::cout, std::cerr);
}
