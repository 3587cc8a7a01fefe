#include "physical/physical_run.h"

#include <array>
#include <map>
#include <string>

#include "common/record_layout.h"
#include "common/text.h"
#include "common/windows1252.h"
#include "physical/record_checks.h"

namespace verdalia {

// Copies of the definitions, so the checks do not depend on the reference data staying
// where it is, kept in Sec order.
struct PreparedDefinitions::Tables {
  std::map<int, std::map<std::string, std::vector<PreparedField>, std::less<>>> by_type;
  // Every record asks for the definitions of its type: the types of one character of the
  // three kinds, which are all a database normally holds, are found by kind and character.
  std::array<std::array<const std::vector<PreparedField> *, 256>, 4> by_character{};
  std::array<std::array<std::unique_ptr<RecordPlan>, 256>, 4> plans;
};

PreparedDefinitions::PreparedDefinitions(const ReferenceData &reference)
    : m_tables(std::make_unique<Tables>()) {
  for (const FieldDefinition &row : reference.definitions) {
    auto &fields = m_tables->by_type[row.kind][row.record_type];
    if (!fields.empty()) {
      continue; // this kind and record type is prepared already
    }
    for (const FieldDefinition &definition : reference.Definitions(row.kind, row.record_type)) {
      fields.push_back(PrepareField(definition));
    }
  }
  for (const auto &[kind, types] : m_tables->by_type) {
    for (const auto &[type, fields] : types) {
      if (kind >= 1 && kind <= 3 && type.size() == 1) {
        const auto k = static_cast<std::size_t>(kind);
        const auto t = static_cast<unsigned char>(type[0]);
        m_tables->by_character[k][t] = &fields;
        // Only detail records are checked through a plan.
        if (t == '2' || t == '3') {
          const int line_length = reference.line_lengths[k];
          m_tables->plans[k][t] = std::make_unique<RecordPlan>(
              fields, line_length > 0 ? static_cast<std::size_t>(line_length) : 0);
        }
      }
    }
  }
}
PreparedDefinitions::~PreparedDefinitions() = default;
PreparedDefinitions::PreparedDefinitions(PreparedDefinitions &&) noexcept = default;
PreparedDefinitions &PreparedDefinitions::operator=(PreparedDefinitions &&) noexcept = default;

const std::vector<PreparedField> &PreparedDefinitions::Fields(int kind,
                                                              std::string_view record_type) const {
  static const std::vector<PreparedField> kNone;
  if (kind >= 1 && kind <= 3 && record_type.size() == 1) {
    const auto *fields = m_tables->by_character[static_cast<std::size_t>(kind)]
                                               [static_cast<unsigned char>(record_type[0])];
    return fields ? *fields : kNone;
  }
  const auto by_kind = m_tables->by_type.find(kind);
  if (by_kind == m_tables->by_type.end()) {
    return kNone;
  }
  const auto found = by_kind->second.find(record_type);
  return found == by_kind->second.end() ? kNone : found->second;
}

const RecordPlan *PreparedDefinitions::Plan(int kind, char record_type) const {
  if (kind < 1 || kind > 3) {
    return nullptr;
  }
  return m_tables->plans[static_cast<std::size_t>(kind)][static_cast<unsigned char>(record_type)]
      .get();
}

namespace {

// The texts are fixed messages, or texts the list keeps.
void Report(ResultList &rows, int record, std::string_view field, std::string_view message) {
  rows.push_back(ResultRow{record, field, message});
}

bool BeginsWith(std::string_view line, char type) {
  return !line.empty() && line[0] == type;
}

std::string_view Line(const DataFile &file, int record) {
  return file.lines[static_cast<std::size_t>(record)];
}

// Record types, and the structure and order of the records; every finding is a row.
void CheckStructure(const DataFile &file, const FileKind &kind, ResultList &rows) {
  static const std::string kInvalidType =
      Cp1252("Error.Tipo de registro no es válido. No se puede validar.");
  std::array<int, 5> counts{};
  for (int k = 1; k <= file.line_count; ++k) {
    const std::string_view line = Line(file, k);
    const char type = line.empty() ? '\0' : line[0];
    if (type != '\0' && kind.allowed_types.find(type) != std::string_view::npos) {
      ++counts[static_cast<std::size_t>(type - '0')];
    } else {
      Report(rows, k, "", kInvalidType);
    }
  }

  // An empty file has neither: its closing-type rows go to record 0.
  const int last = file.line_count;
  const std::string_view first_line = last >= 1 ? Line(file, 1) : std::string_view();
  const std::string_view last_line = last >= 1 ? Line(file, last) : std::string_view();
  const int closing_count = counts[static_cast<std::size_t>(kind.closing_type - '0')];
  const std::string closing(1, kind.closing_type);

  if (counts[1] == 0) {
    Report(rows, 1, "", "Error.Archivo no contiene registro tipo 1.");
  }
  if (!BeginsWith(first_line, '1')) {
    Report(rows, 1, "", "Error.Registro tipo 1 no es el primero del archivo.");
  }
  if (counts[1] > 1) {
    static const std::string kManyHeaders =
        Cp1252("Error.Existe más de un registro tipo 1 en el archivo.");
    Report(rows, 1, "", kManyHeaders);
  }
  if (closing_count == 0) {
    Report(rows, last, "", rows.Keep("Error.Archivo no contiene registro tipo " + closing + "."));
  }
  if (!BeginsWith(last_line, kind.closing_type)) {
    Report(rows, last, "",
           rows.Keep("Error.Registro tipo " + closing + Cp1252(" no es el último del archivo.")));
  }
  if (closing_count > 1) {
    Report(
        rows, last, "",
        rows.Keep(Cp1252("Error.Existe más de un registro tipo ") + closing + " en el archivo."));
  }
}

} // namespace

void CheckFile(const PreparedDefinitions &definitions, const FileKind &kind, const DataFile &file,
               std::string_view file_name, ResultList &rows, HeaderLabels &labels) {
  CheckStructure(file, kind, rows);

  // The name's characters 2 to 7 against the header's: the period of its closing date.
  const std::string_view period = Field(file_name, kHeader.period);
  if (file.line_count >= 1 && Field(Line(file, 1), kHeader.period) != period) {
    static const std::string kPeriod =
        Cp1252("Error.El período informado como parte del nombre del archivo no coincide con "
               "la fecha de cierre");
    Report(rows, 1, "FECHA_CIERRE", kPeriod);
  }
  labels.period = period;

  // The header whatever its type; an empty file has no header to check, a one-line file no
  // control record of its own. Detail records of a type the kind does not have are not
  // checked field by field.
  if (file.line_count >= 1) {
    CheckHeaderRecord(definitions.Fields(kind.number, "1"), Line(file, 1), 1, rows, labels);
  }
  RecordPlan::Scratch scratch;
  for (int k = 2; k <= file.line_count - 1; ++k) {
    const std::string_view line = Line(file, k);
    if (BeginsWith(line, '2') || BeginsWith(line, '3')) {
      if (const RecordPlan *plan = definitions.Plan(kind.number, line[0])) {
        plan->Check(line, k, scratch, rows);
      }
    }
  }
  // The control record is checked against the definitions of the type it carries itself,
  // whatever type the kind closes with.
  if (file.line_count >= 2) {
    const std::string_view line = Line(file, file.line_count);
    CheckControlRecord(definitions.Fields(kind.number, line.substr(0, 1)), line, file.line_count,
                       rows);
  }
}

} // namespace verdalia
