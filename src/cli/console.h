#pragma once

#include <string>
#include <vector>

namespace verdalia::cli {

// Readies the standard streams for the listings (bytes written as they are, whatever the
// system would make of a line end) and returns the program's arguments, after the program's
// name, in UTF-8.
std::vector<std::string> StartConsole(int argc, char **argv);

} // namespace verdalia::cli
