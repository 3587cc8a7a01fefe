#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace verdalia {

// A message that begins with "Advertencia" is a warning; every other finding is an error.
enum class Severity { Error, Warning };

// One finding: record number, field name (empty for the whole record or file) and message,
// texts in Windows-1252.
struct ResultRow {
  int record = 0;
  std::string field;
  std::string message;

  Severity severity() const {
    return std::string_view(message).starts_with("Advertencia") ? Severity::Warning
                                                                : Severity::Error;
  }
  bool operator==(const ResultRow &) const = default;
};

// Rows are only ever appended, in the order the checks report them.
using ResultList = std::vector<ResultRow>;

// The logical verification may follow a physical list that holds no row, or only warnings.
inline bool OnlyWarnings(const ResultList &rows) {
  for (const ResultRow &row : rows) {
    if (row.severity() == Severity::Error) {
      return false;
    }
  }
  return true;
}

// What a run reads of the file it checks to name it: the insurer's identity number with its
// check digit, the insurer's name, and the period from the file name. Windows-1252.
struct HeaderLabels {
  std::string rut;
  std::string name;
  std::string period;

  bool operator==(const HeaderLabels &) const = default;
};

} // namespace verdalia
