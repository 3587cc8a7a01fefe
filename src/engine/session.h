#pragma once

#include <string>
#include <string_view>

#include "common/data_file.h"
#include "common/result.h"
#include "logical/number_text.h"
#include "physical/physical_checks.h"
#include "refdata/reference_data.h"

namespace verdalia {

// A message box the presenter shows at the end of a run; texts in Windows-1252.
struct Notice {
  enum class Icon { Critical, Information };
  std::string title;
  std::string text;
  Icon icon = Icon::Information;
};

// What one verification run tells its presenter.
struct RunOutcome {
  bool refused = false;         // stopped before any check: only the notice, no rows
  Notice notice;                // the refusal or the end message
  int tab_shown = -1;           // the tab to show at the end (1 physical, 2 logical), -1 none
  bool logical_enabled = false; // physical runs: whether the logical verification may follow
};

// The state the window shares between the verifications: the reference data (loaded once),
// the data file's lines, both result lists and their captions. Presenters only read it.
class Session {
public:
  explicit Session(ReferenceData reference, NumberFormat numbers = {});
  // The checks hold on to the session's reference data: a session stays where it is made.
  Session(const Session &) = delete;
  Session &operator=(const Session &) = delete;

  // "&Realizar Verificación Física" on `file_name` (as listed, UTF-8) in `folder`.
  RunOutcome RunPhysical(const std::string &folder, const std::string &file_name);

  // "&Realizar Verificación Lógica" on the same kind of selection.
  RunOutcome RunLogical(const std::string &folder, const std::string &file_name);

  const ResultList &PhysicalList() const { return m_physical; }
  const ResultList &LogicalList() const { return m_logical; }
  const SummaryLabels &lblValidacionFisica() const { return m_lblFisica; }
  const SummaryLabels &lblValidacionLogica() const { return m_lblLogica; }
  const DataFile &Data() const { return m_data; }
  const ReferenceData &Reference() const { return m_reference; }
  const NumberFormat &Numbers() const { return m_numbers; }
  void SetNumbers(NumberFormat numbers) { m_numbers = std::move(numbers); }

private:
  ReferenceData m_reference;
  PhysicalChecks m_checks;
  NumberFormat m_numbers;
  DataFile m_data;
  ResultList m_physical;
  ResultList m_logical;
  SummaryLabels m_lblFisica;
  SummaryLabels m_lblLogica;
};

// The full path of a selection: the folder, a "/" unless it already ends with one, the name.
std::string JoinPath(const std::string &folder, const std::string &file_name);

} // namespace verdalia
