#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace verdalia {

// One finding: record number, field name (empty for the whole record or file) and message,
// texts in Windows-1252. A message that begins with "Advertencia" is a warning.
struct ResultRow {
  int record = 0;
  std::string field;
  std::string message;

  bool operator==(const ResultRow &) const = default;
};

// Rows are only ever appended, in the order the checks report them.
using ResultList = std::vector<ResultRow>;

inline bool IsWarning(const ResultRow &row) {
  return std::string_view(row.message).starts_with("Advertencia");
}

// The logical verification may follow a physical list that holds no row, or only warnings.
inline bool OnlyWarnings(const ResultList &rows) {
  for (const ResultRow &row : rows) {
    if (!IsWarning(row)) {
      return false;
    }
  }
  return true;
}

} // namespace verdalia

namespace verdalia {

// The captions beside one result list: 0 the file kind's title, 1 "RUT", 2 "Razón Social",
// 3 "Periodo" (lblValidacionFisica / lblValidacionLogica, index 0 to 3).
using SummaryLabels = std::array<std::string, 4>;

} // namespace verdalia
