#include "physical/physical_run.h"

#include <array>
#include <map>
#include <mutex>
#include <string>

#include "common/record_layout.h"
#include "common/text.h"
#include "physical/messages.h"
#include "physical/record_checks.h"

namespace verdalia {
namespace {

// The tables below are indexed by the kind's number.
std::size_t IndexOf(FileKind kind) {
  return static_cast<std::size_t>(NumberOf(kind));
}

} // namespace

// Copies of the definitions, so the checks do not depend on the reference data's layout,
// kept in Sec order; a kind's are prepared when a run first asks for them, since a check
// mostly reads files of one kind.
struct PreparedDefinitions::Tables {
  Tables(const ReferenceData &data, LineScan line_scan) : reference(data), scan(line_scan) {}

  const ReferenceData &reference;
  const LineScan scan;
  std::array<std::once_flag, 4> prepared;
  std::array<std::map<std::string, std::vector<PreparedField>, std::less<>>, 4> by_type;
  // Every record asks for the definitions of its type: the types of one character, which
  // are all a database normally holds, are found by character.
  std::array<std::array<const std::vector<PreparedField> *, 256>, 4> by_character{};
  std::array<std::array<std::unique_ptr<RecordPlan>, 256>, 4> plans;

  void Prepare(FileKind kind);
};

void PreparedDefinitions::Tables::Prepare(FileKind file_kind) {
  const std::size_t kind = IndexOf(file_kind);
  auto &types = by_type[kind];
  for (const FieldDefinition &row : reference.definitions) {
    if (row.kind != file_kind || types.contains(row.record_type)) {
      continue;
    }
    auto &fields = types[row.record_type];
    for (const FieldDefinition &definition : reference.Definitions(file_kind, row.record_type)) {
      fields.push_back(PrepareField(definition));
    }
  }
  for (const auto &[type, fields] : types) {
    if (type.size() == 1) {
      const auto t = static_cast<unsigned char>(type[0]);
      by_character[kind][t] = &fields;
      // Only detail records are checked through a plan.
      if (t == '2' || t == '3') {
        const int line_length = reference.LineLength(file_kind);
        plans[kind][t] = std::make_unique<RecordPlan>(
            fields, line_length > 0 ? static_cast<std::size_t>(line_length) : 0, scan);
      }
    }
  }
}

PreparedDefinitions::PreparedDefinitions(const ReferenceData &reference, LineScan scan)
    : m_tables(std::make_unique<Tables>(reference, scan)) {}
PreparedDefinitions::~PreparedDefinitions() = default;
PreparedDefinitions::PreparedDefinitions(PreparedDefinitions &&) noexcept = default;
PreparedDefinitions &PreparedDefinitions::operator=(PreparedDefinitions &&) noexcept = default;

const PreparedDefinitions::Tables &PreparedDefinitions::Kind(FileKind kind) const {
  std::call_once(m_tables->prepared[IndexOf(kind)], [this, kind] { m_tables->Prepare(kind); });
  return *m_tables;
}

const std::vector<PreparedField> &PreparedDefinitions::Fields(FileKind kind,
                                                              std::string_view record_type) const {
  static const std::vector<PreparedField> kNone;
  const Tables &tables = Kind(kind);
  const std::size_t k = IndexOf(kind);
  if (record_type.size() == 1) {
    const auto *fields = tables.by_character[k][static_cast<unsigned char>(record_type[0])];
    return fields ? *fields : kNone;
  }
  const auto found = tables.by_type[k].find(record_type);
  return found == tables.by_type[k].end() ? kNone : found->second;
}

const RecordPlan *PreparedDefinitions::Plan(FileKind kind, char record_type) const {
  return Kind(kind).plans[IndexOf(kind)][static_cast<unsigned char>(record_type)].get();
}

namespace {

using namespace physical_messages;

// The texts are fixed messages, or texts the list keeps.
void Report(ResultList &rows, int record, std::string_view field, std::string_view message) {
  rows.push_back(ResultRow{record, field, message});
}

// A finding about a record's type: its first character, what may stand there, and the
// other records of the type involved.
void ReportType(ResultList &rows, int record, std::string_view message, std::string_view line,
                std::string_view expected, std::span<const int> related = {}) {
  FindingDetail detail;
  if (!line.empty()) {
    detail.value = line.substr(0, 1);
    detail.value_start = 1;
  }
  detail.expected = expected;
  detail.related = related;
  rows.push_back(ResultRow{record, "", message}, detail);
}

// The records of `type` other than `record`.
std::vector<int> OthersOfType(const DataFile &file, char type, int record) {
  std::vector<int> others;
  for (int k = 1; k <= file.line_count; ++k) {
    const std::string_view line = file.lines[static_cast<std::size_t>(k)];
    if (k != record && !line.empty() && line[0] == type) {
      others.push_back(k);
    }
  }
  return others;
}

bool BeginsWith(std::string_view line, char type) {
  return !line.empty() && line[0] == type;
}

std::string_view Line(const DataFile &file, int record) {
  return file.lines[static_cast<std::size_t>(record)];
}

// Record types, and the structure and order of the records; every finding is a row.
void CheckStructure(const DataFile &file, const FileKindFacts &kind, ResultList &rows) {
  std::array<bool, 256> allowed{};
  for (const char type : kind.allowed_types) {
    allowed[static_cast<unsigned char>(type)] = true;
  }
  std::array<int, 5> counts{};
  for (int k = 1; k <= file.line_count; ++k) {
    const std::string_view line = Line(file, k);
    if (!line.empty() && allowed[static_cast<unsigned char>(line[0])]) {
      ++counts[static_cast<std::size_t>(line[0] - '0')];
    } else {
      ReportType(rows, k, kInvalidRecordType, line, kind.allowed_types);
    }
  }

  // An empty file has neither: its closing-type rows go to record 0.
  const int last = file.line_count;
  const std::string_view first_line = last >= 1 ? Line(file, 1) : std::string_view();
  const std::string_view last_line = last >= 1 ? Line(file, last) : std::string_view();
  const int closing_count = counts[static_cast<std::size_t>(kind.closing_type - '0')];
  const std::string closing(1, kind.closing_type);

  if (counts[1] == 0) {
    Report(rows, 1, "", rows.Keep(kNoRecordOfType.With({"1"})));
  }
  if (!BeginsWith(first_line, '1')) {
    ReportType(rows, 1, kHeaderNotFirst, first_line, CharacterText('1'));
  }
  if (counts[1] > 1) {
    ReportType(rows, 1, rows.Keep(kManyRecordsOfType.With({"1"})), first_line, {},
               OthersOfType(file, '1', 1));
  }
  if (closing_count == 0) {
    Report(rows, last, "", rows.Keep(kNoRecordOfType.With({closing})));
  }
  if (!BeginsWith(last_line, kind.closing_type)) {
    ReportType(rows, last, rows.Keep(kClosingNotLast.With({closing})), last_line,
               CharacterText(kind.closing_type));
  }
  if (closing_count > 1) {
    ReportType(rows, last, rows.Keep(kManyRecordsOfType.With({closing})), last_line, {},
               OthersOfType(file, kind.closing_type, last));
  }
}

} // namespace

void CheckFile(const PreparedDefinitions &definitions, FileKind kind, const DataFile &file,
               std::string_view file_name, ResultList &rows, HeaderLabels &labels) {
  CheckStructure(file, FactsOf(kind), rows);

  // The name's characters 2 to 7 against the header's: the period of its closing date.
  const std::string_view period = Field(file_name, kHeader.period);
  if (file.line_count >= 1 && Field(Line(file, 1), kHeader.period) != period) {
    FindingDetail detail;
    detail.value = Field(Line(file, 1), kHeader.period);
    detail.value_start = kHeader.period.start;
    detail.expected = rows.Keep(std::string(period));
    rows.push_back(ResultRow{1, "FECHA_CIERRE", kPeriodOfName}, std::move(detail));
  }
  labels.period = Cp1252Text(std::string(period));

  // The header whatever its type; an empty file has no header to check, a one-line file no
  // control record of its own. Detail records of a type the kind does not have are not
  // checked field by field.
  if (file.line_count >= 1) {
    CheckHeaderRecord(definitions.Fields(kind, "1"), Line(file, 1), 1, rows, labels);
  }
  RecordPlan::Scratch scratch;
  for (int k = 2; k <= file.line_count - 1; ++k) {
    const std::string_view line = Line(file, k);
    if (BeginsWith(line, '2') || BeginsWith(line, '3')) {
      if (const RecordPlan *plan = definitions.Plan(kind, line[0])) {
        plan->Check(line, k, scratch, rows);
      }
    }
  }
  // The control record is checked against the definitions of the type it carries itself,
  // whatever type the kind closes with.
  if (file.line_count >= 2) {
    const std::string_view line = Line(file, file.line_count);
    CheckControlRecord(definitions.Fields(kind, line.substr(0, 1)), line, file.line_count, rows);
  }
}

} // namespace verdalia
