#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "common/result.h"
#include "engine/validation.h"

namespace verdalia::cli {

// What the command line tells about one data file; texts in Windows-1252 as the engine
// keeps them, decoded by the writers.
struct FileReport {
  std::string path; // as given (UTF-8)
  std::string kind; // "P", "D", "S", or empty when the letter is not one of them
  Cp1252Text title;
  HeaderLabels labels;
  bool refused = false;
  Cp1252Text refusal;                   // the message of the refusal
  const ResultList *physical = nullptr; // null when the physical run was refused
  const ResultList *logical = nullptr;  // null when the logical run did not take place
  LogicalOutcome outcome = LogicalOutcome::FileRefused; // why, when it did not
  std::vector<std::string> saved;                       // error-list files written (UTF-8)
  std::vector<std::string> removed; // logical lists of an earlier check removed (UTF-8)
};

// The one output seam of the command line: a readable listing or JSON.
class ReportWriter {
public:
  virtual ~ReportWriter() = default;
  virtual void Write(const FileReport &report) = 0;
  virtual void Finish() = 0;
};

// How the lists are told. `summary`: as their groups of rows of one field and message (the
// text listing in place of the rows, JSON beside them). `explain`: the text listing shows,
// under a row, what the check read, what it expected and the other records involved, where
// it knows them (JSON always carries them).
struct ListingOptions {
  bool summary = false;
  bool explain = false;
};

std::unique_ptr<ReportWriter> MakeTextWriter(std::ostream &out, ListingOptions options = {});
std::unique_ptr<ReportWriter> MakeJsonWriter(std::ostream &out, ListingOptions options = {});

// A text for a terminal: control characters (C0, DEL, C1) and bytes that are no UTF-8 are
// written escaped ("\x1b", "\u009b"), so that a data file's header or a file name cannot
// move the cursor, retitle or clear the terminal. `utf8` is UTF-8 where it is valid.
std::string Printable(std::string_view utf8);

struct Counts {
  int errors = 0;
  int warnings = 0;
};
Counts CountRows(const ResultList *rows);

} // namespace verdalia::cli
