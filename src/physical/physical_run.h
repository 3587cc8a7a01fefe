#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "common/data_file.h"
#include "common/file_kind.h"
#include "common/result.h"
#include "physical/prepared_field.h"
#include "physical/record_plan.h"
#include "refdata/reference_data.h"

namespace verdalia {

// The definitions of every kind and record type, prepared once (type upper-cased, special
// names and rule keywords resolved, the plans of the detail records made), not per record:
// a kind's when a run first asks for them. The reference data must outlive them. The plans
// make their pass over a line with `scan`; every scan gives the same rows.
class PreparedDefinitions {
public:
  explicit PreparedDefinitions(const ReferenceData &reference, LineScan scan = WidestLineScan());
  ~PreparedDefinitions();
  PreparedDefinitions(PreparedDefinitions &&) noexcept;
  PreparedDefinitions &operator=(PreparedDefinitions &&) noexcept;

  // The fields of one kind and record type in ascending Sec; none for a type without any.
  const std::vector<PreparedField> &Fields(FileKind kind, std::string_view record_type) const;
  // The plan of the detail checks of a kind's record type of one character, for lines of the
  // kind's length; none for a type without fields.
  const RecordPlan *Plan(FileKind kind, char record_type) const;

private:
  struct Tables;
  const Tables &Kind(FileKind kind) const; // prepared
  std::unique_ptr<Tables> m_tables;
};

// The physical verification of a file read whole: its record types and their order, the
// period in its name against the header, then the header, every detail record and the
// control record against the definitions of their types. The findings are appended to
// `rows`; the name's period and what the header names go to `labels`.
void CheckFile(const PreparedDefinitions &definitions, FileKind kind, const DataFile &file,
               std::string_view file_name, ResultList &rows, HeaderLabels &labels);

} // namespace verdalia
