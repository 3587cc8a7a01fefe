#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "reports/error_list_writer.h"

namespace verdalia {

// What the page header of a printed result list names; texts in Windows-1252, as the
// labels hold them.
struct PrintHeaderInputs {
  std::string verification; // "Física" or "Lógica"
  std::string title;        // the file kind's title
  std::string rut;
  std::string name;
  std::string period;
  std::string date; // today's date, see PrintDateText
};

// "Física" for the physical list, "Lógica" for the logical one (Windows-1252).
const std::string &VerificationName(ListKind kind);

// Day, month and year as "dd", "mm" and "yyyy" joined by the platform's date separator.
std::string PrintDateText(int year, int month, int day, std::string_view separator);

// One piece of a header line: text in one weight, or the page number's place.
struct HeaderRun {
  std::string text; // Windows-1252; empty for the page number
  bool bold = false;
  bool page_number = false;

  bool operator==(const HeaderRun &) const = default;
};

struct HeaderLine {
  std::vector<HeaderRun> left;
  std::vector<HeaderRun> centre;
  std::vector<HeaderRun> right;

  bool operator==(const HeaderLine &) const = default;
};

// The six lines printed at the top of every page:
//   centred:  "Resultado validación " and the verification
//   centred:  the title, in bold
//   left:     "RUT: " and the RUT;           right: "Página:" and the page number
//   left:     "Razón Social: " and the name; right: "Fecha:" and the date
//   left:     "Período: " and the period
//   (empty)
// The values are text as they stand: a name with slashes in it prints its slashes.
std::vector<HeaderLine> PrintHeaderLines(const PrintHeaderInputs &inputs);

} // namespace verdalia
