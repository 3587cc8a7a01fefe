#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "refdata/reference_data.h"

namespace verdalia::gen {

// How the detail records are arranged.
enum class Layout {
  Valid,    // partners side by side: a policy or claim, then its items or details
  Distinct, // every key once, partners as far apart as the file allows (worst case for a
            // scanning search)
  Shared,   // as many records as possible under one key (worst case for an index)
};

struct Options {
  char kind = 'P';               // "P", "D" or "S"
  int records = 100;             // lines of the file, header and control record included
  std::uint64_t seed = 1;        // the same seed and options give the same file
  std::string period = "202401"; // YYYYMM, the name's characters 2 to 7
  double physical_faults = 0.0;  // share of records given one physical fault
  double logical_faults = 0.0;   // share of policies, notices or claims given one logical fault
  Layout layout = Layout::Valid;
};

// A request the generator cannot meet (a count out of range, a reference database that
// lacks what the kind needs); the text is for the user.
class GeneratorError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The lines of a data file (Windows-1252, without line ends), consistent with the reference
// data: with no faults asked for, both verifications find nothing in it.
std::vector<std::string> Generate(const ReferenceData &reference, const Options &options);

// The file's bytes: every line followed by CR LF.
std::string JoinLines(const std::vector<std::string> &lines);

// The period of a file name ("P202401.txt" gives "202401"), or "" when characters 2 to 7
// are not a year from 1902 to 2498 and a month.
std::string PeriodOfFileName(const std::string &file_name);

} // namespace verdalia::gen
