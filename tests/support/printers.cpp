#include "support/printers.h"

#include "common/windows1252.h"

namespace verdalia {

void PrintTo(const ResultRow &row, std::ostream *out) {
  *out << row.record << " | " << Windows1252ToUtf8(row.field) << " | "
       << Windows1252ToUtf8(row.message);
}

void PrintTo(const ResultList &rows, std::ostream *out) {
  *out << rows.size() << (rows.size() == 1 ? " row" : " rows");
  for (const ResultRow &row : rows) {
    *out << "\n    ";
    PrintTo(row, out);
  }
}

void PrintTo(const HeaderLabels &labels, std::ostream *out) {
  *out << "{RUT " << Windows1252ToUtf8(labels.rut) << ", Razón Social "
       << Windows1252ToUtf8(labels.name) << ", Periodo " << Windows1252ToUtf8(labels.period)
       << "}";
}

} // namespace verdalia
