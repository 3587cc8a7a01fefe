#pragma once

#include <string>

#include "common/atomic_file.h"

namespace verdalia {

// Whether the file at `path`, when there is one, can be replaced now, asked before the first
// of several files is given its name, so that none is put in place when one of them would be
// refused. Linux replaces a file whatever holds it open or however its mode is set: always
// ok there.
WriteOutcome CheckReplaceable(const std::string &path);

} // namespace verdalia
