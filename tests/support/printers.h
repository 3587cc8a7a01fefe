#pragma once

#include <ostream>

#include "common/result.h"

namespace verdalia {

// How a failing expectation shows rows and labels: decoded, one row a line, as a saved list
// reads, instead of their bytes.
void PrintTo(const ResultRow &row, std::ostream *out);
void PrintTo(const ResultList &rows, std::ostream *out);
void PrintTo(const HeaderLabels &labels, std::ostream *out);

} // namespace verdalia
