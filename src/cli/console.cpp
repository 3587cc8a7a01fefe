#include "cli/console.h"

namespace verdalia::cli {

// On Linux the streams take bytes as they are, and the arguments are the user's bytes.
std::vector<std::string> StartConsole(int argc, char **argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

} // namespace verdalia::cli
