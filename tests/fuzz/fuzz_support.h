#pragma once

#include <string>

namespace verdalia::fuzz {

// A private folder for the data files of one fuzzing process, removed when it ends.
const std::string &ScratchFolder();

} // namespace verdalia::fuzz
