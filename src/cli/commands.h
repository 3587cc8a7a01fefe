#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace verdalia::cli {

// Exit statuses of verdalia-cli.
inline constexpr int kExitClean = 0;     // no error row in any list
inline constexpr int kExitFindings = 1;  // some row of some list is not a warning
inline constexpr int kExitRefused = 2;   // some file was refused (or a list could not be saved)
inline constexpr int kExitReference = 3; // the reference database is unusable
inline constexpr int kExitUsage = 64;    // the command line is wrong

// Runs the command line (arguments without the program name).
int Main(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace verdalia::cli
