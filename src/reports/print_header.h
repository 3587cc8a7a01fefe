#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "reports/error_list_writer.h"

namespace verdalia {

// What the page header of a printed result list names; texts in Windows-1252, as the
// summary labels hold them.
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

// The page header in the header-code language of the printed list (Windows-1252):
// "/l", "/c", "/r" start a left, centred or right part of the line, "/n" ends the line,
// "/p" is the page number, "/fb1" and "/fb0" turn bold on and off.
std::string PrintHeaderText(const PrintHeaderInputs &inputs);

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

// Reads header-code text into its lines. A line is ended by "/n"; text after the last "/n"
// makes one more line. Bold carries over from line to line until "/fb0". A slash that starts
// no known code is printed as it is, so a name such as "AGRICOLA S/A" survives.
std::vector<HeaderLine> ParseHeaderCodes(std::string_view codes);

} // namespace verdalia
