#pragma once

#include <memory>
#include <optional>
#include <string>

#include "common/data_file.h"
#include "common/file_kind.h"
#include "common/result.h"
#include "logical/number_text.h"
#include "refdata/reference_data.h"

namespace verdalia {

// Why a run did not check the file: its name's letter names no kind, or the file could not
// be taken whole (unreadable, not a regular file, a line of the wrong length, more lines
// than record numbers reach, emptied since the physical run).
struct Refusal {
  enum class Reason { WrongLetter, Unreadable };
  Reason reason;
  std::string message; // Windows-1252
};

// What one run of either verification tells. Every text is Windows-1252.
struct RunResult {
  std::optional<FileKind> kind; // none when the name's first letter is not P, D or S
  HeaderLabels labels;          // as the run leaves them: a refused run leaves them as given
  ResultList rows;              // the findings in the order they were made; none when refused
  std::optional<Refusal> refusal;
  DataFile file; // the lines the run checked; none when refused

  bool Refused() const { return refusal.has_value(); }
  // The logical verification may follow a physical run whose list holds no error.
  bool LogicalMayFollow() const { return !Refused() && OnlyWarnings(rows); }
};

// The reference data prepared for runs, and the number format of the logical messages. Both
// verifications are calls on it with a file's path; it keeps nothing of one run for the next.
class Validator {
public:
  Validator(ReferenceData reference, NumberFormat numbers);
  ~Validator();
  Validator(Validator &&) noexcept;
  Validator &operator=(Validator &&) noexcept;

  // The physical verification of the file at `path` (UTF-8). `labels` are the labels as they
  // stand; the header may extend them rather than replace them, as its definitions say.
  RunResult Physical(const std::string &path, const HeaderLabels &labels = {}) const;

  // The logical verification: the file is read again as it is now, its labels come from the
  // header's fixed positions and the name, and the rule set of its kind runs.
  RunResult Logical(const std::string &path, const HeaderLabels &labels = {}) const;

  const ReferenceData &Reference() const;
  const NumberFormat &Numbers() const;

private:
  struct Prepared;
  // Shared with the lists of the physical runs, whose rows name the definitions' fields
  // and messages: they stay valid after the validator is gone.
  std::shared_ptr<const Prepared> m_prepared;
};

// Loads the reference database at `db_path` (the default one beside the program when empty)
// and prepares it; amounts in messages use `decimal_separator`, by default the locale's.
// Throws ReferenceDataError with the message for the operator.
Validator LoadValidator(const std::string &db_path = {},
                        const std::optional<std::string> &decimal_separator = std::nullopt);

} // namespace verdalia
