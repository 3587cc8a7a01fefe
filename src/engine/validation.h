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

// Why a run did not check the file: its name's letter names no kind; the file could not be
// taken whole (unreadable, not a regular file, a line of the wrong length, more lines than
// record numbers reach, cut or written while it was checked, or no memory to check it); or,
// for a logical run after a physical one, the file on disk is no longer the one that run
// read.
struct Refusal {
  enum class Reason { WrongLetter, Unreadable, Changed };
  Reason reason;
  Cp1252Text message;
};

// What one run of either verification tells.
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

// How far a whole check goes.
enum class Scope { Both, PhysicalOnly };

// What became of the logical verification in a whole check.
enum class LogicalOutcome {
  Ran,            // its list is there
  FileRefused,    // the file was refused: no list at all
  PhysicalErrors, // the physical list holds an error, so it may not follow
  NotAsked,       // only the physical verification was asked for
};

// A whole check of one file: both lists come from the same bytes.
struct CheckResult {
  RunResult physical; // refused: the check's refusal, and no list at all
  // The logical run, when it ran; its lines are the physical run's (`physical.file`).
  std::optional<RunResult> logical;
  LogicalOutcome outcome = LogicalOutcome::FileRefused;
};

// The reference data prepared for runs, and the number format of the logical messages. Each
// verification is a call on it with a file's path; it keeps nothing of one run for the next.
class Validator {
public:
  Validator(ReferenceData reference, NumberFormat numbers);
  ~Validator();
  Validator(Validator &&) noexcept;
  Validator &operator=(Validator &&) noexcept;

  // The whole check of the file at `path` (UTF-8): the physical verification, then, when its
  // list holds no error and `scope` asks for it, the logical verification of the same bytes.
  // `labels` are the labels as they stand; the header may extend them rather than replace
  // them, as its definitions say. A file cut or written while it was checked is refused
  // whole. The one entry of both presenters: the command line asks for both, the window for
  // the physical verification, and runs the logical one later with Logical.
  CheckResult Check(const std::string &path, const HeaderLabels &labels = {},
                    Scope scope = Scope::Both) const;

  // The logical verification after a physical run that read `checked` from `path`: the file
  // is read again as it is now, and refused unless it is still that version (same size,
  // same time of its last write, same bytes), so that only bytes that passed the physical
  // verification are checked. Its labels come from the header's fixed positions and the
  // name, and the rule set of its kind runs.
  RunResult Logical(const std::string &path, const DataFile &checked,
                    const HeaderLabels &labels = {}) const;

  const ReferenceData &Reference() const;
  const NumberFormat &Numbers() const;

private:
  struct Prepared;
  RunResult RunPhysical(const std::string &path, const HeaderLabels &labels) const;
  void RunRules(const std::string &path, const DataFile &file, RunResult &result) const;
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
