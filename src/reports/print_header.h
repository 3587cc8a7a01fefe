#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "reports/error_list_writer.h"

namespace verdalia {

// What the page header of a printed result list names, as the labels hold it.
struct PrintHeaderInputs {
  Cp1252Text verification; // "Física" or "Lógica"
  Cp1252Text title;        // the file kind's title
  Cp1252Text rut;
  Cp1252Text name;
  Cp1252Text period;
  Cp1252Text date; // today's date, see PrintDateText
};

// "Física" for the physical list, "Lógica" for the logical one.
Cp1252View VerificationName(ListKind kind);

// Day, month and year as "dd", "mm" and "yyyy" joined by the platform's date separator.
std::string PrintDateText(int year, int month, int day, std::string_view separator);

// One piece of a header line: text in one weight, or the page number's place.
struct HeaderRun {
  Cp1252Text text; // empty for the page number
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
