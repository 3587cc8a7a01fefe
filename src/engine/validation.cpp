#include "engine/validation.h"

#include <new>

#include "common/path.h"
#include "common/record_layout.h"
#include "common/text.h"
#include "common/windows1252.h"
#include "logical/rule_sets.h"
#include "physical/physical_run.h"

namespace verdalia {

struct Validator::Prepared {
  Prepared(ReferenceData data, NumberFormat format)
      : reference(std::move(data)), definitions(reference), numbers(std::move(format)) {}

  ReferenceData reference;
  PreparedDefinitions definitions; // prepared from `reference`, declared before it
  NumberFormat numbers;
};

namespace {

Refusal WrongLetter() {
  return {Refusal::Reason::WrongLetter, Cp1252Text("Los archivos posibles comienzan con P, D o S")};
}

// "El archivo " and the kind's title, with which the refusals of a file of a kind begin.
std::string TheFileOf(FileKind kind) {
  return Cp1252("El archivo ") + std::string(FactsOf(kind).title.bytes());
}

// The refusal of a file that could not be read whole.
Refusal ReadRefusal(const ReadResult &read, FileKind kind, int line_length,
                    const std::string &path) {
  const std::string shown_path = Utf8ToWindows1252(path);
  std::string text;
  switch (read.status) {
  case ReadStatus::WrongLength:
    text = TheFileOf(kind) + " en la fila " + std::to_string(read.line_number) +
           " tiene un largo de fila incorrecto(" + std::to_string(read.line_length) +
           "), debe ser " + std::to_string(line_length) + ".";
    break;
  case ReadStatus::TooManyLines:
    text = TheFileOf(kind) + " " + shown_path +
           Cp1252(" tiene más de 32767 filas; no se puede validar.");
    break;
  case ReadStatus::NotRegularFile:
  case ReadStatus::CannotOpen:
  case ReadStatus::ReadError:
  case ReadStatus::Ok:
    text =
        "No se puede leer el archivo " + shown_path + ": " + Utf8ToWindows1252(read.reason) + ".";
    break;
  }
  return {Refusal::Reason::Unreadable, Cp1252Text(std::move(text))};
}

// The steps both runs begin with: the kind from the name, then the whole file, every line of
// the kind's length. Returns false, with the refusal set, when the file cannot be checked.
bool ReadForRun(const ReferenceData &reference, const std::string &path, RunResult &result) {
  result.kind = KindOfFileName(Utf8ToWindows1252(FileNameOf(path)));
  if (!result.kind) {
    result.refusal = WrongLetter();
    return false;
  }
  const int line_length = reference.LineLength(*result.kind);
  const ReadResult read = ReadDataFile(path, line_length, result.file);
  if (read.status != ReadStatus::Ok) {
    result.refusal = ReadRefusal(read, *result.kind, line_length, path);
    return false;
  }
  return true;
}

// The refusal of a file that is no longer the one checked: cut short or written in place
// while a run read it.
Refusal ChangedWhileRead(const DataFile &file, FileKind kind, const std::string &path) {
  const ReadResult read{ReadStatus::ReadError, file.Cut() ? "el archivo se acortó mientras se leía"
                                                          : "el archivo cambió mientras se leía"};
  return ReadRefusal(read, kind, 0, path);
}

// A run refused after it began: its findings are dropped and the labels are left as given.
void Refuse(Refusal refusal, const HeaderLabels &labels, RunResult &result) {
  result.refusal = std::move(refusal);
  result.rows.clear();
  result.labels = labels;
  result.file = DataFile{};
}

Refusal OutOfMemory(const std::string &path) {
  return {Refusal::Reason::Unreadable,
          Cp1252Text("No hay memoria suficiente para validar el archivo " +
                     Utf8ToWindows1252(path) + ".")};
}

// Whether `now` is the version of the file `checked` was read from: the same size, the same
// time of its last write and the same bytes.
bool SameVersion(const DataFile &checked, const DataFile &now) {
  if (checked.Changed() || checked.stamp.size != now.stamp.size ||
      checked.stamp.modified_ns != now.stamp.modified_ns || !checked.content || !now.content) {
    return false;
  }
  return checked.content->Bytes() == now.content->Bytes();
}

} // namespace

Validator::Validator(ReferenceData reference, NumberFormat numbers)
    : m_prepared(std::make_shared<const Prepared>(std::move(reference), std::move(numbers))) {}
Validator::~Validator() = default;
Validator::Validator(Validator &&) noexcept = default;
Validator &Validator::operator=(Validator &&) noexcept = default;

const ReferenceData &Validator::Reference() const {
  return m_prepared->reference;
}
const NumberFormat &Validator::Numbers() const {
  return m_prepared->numbers;
}

RunResult Validator::RunPhysical(const std::string &path, const HeaderLabels &labels) const {
  RunResult result;
  result.labels = labels;
  if (!ReadForRun(m_prepared->reference, path, result)) {
    return result;
  }
  // The rows name the definitions' fields and messages, and show the file's own bytes.
  result.rows.KeepAlive(m_prepared);
  result.rows.KeepAlive(result.file.content);
  CheckFile(m_prepared->definitions, *result.kind, result.file, Utf8ToWindows1252(FileNameOf(path)),
            result.rows, result.labels);
  return result;
}

// The opening every rule set performs, then the rule set of the kind, on `file`'s lines.
void Validator::RunRules(const std::string &path, const DataFile &file, RunResult &result) const {
  const std::string_view header = file.lines[1];
  result.labels.rut = Cp1252Text(std::string(Trim(Field(header, kHeader.insurer_rut))) + "-" +
                                 std::string(Field(header, kHeader.insurer_check_digit)));
  result.labels.name = Cp1252Text(std::string(Trim(Field(header, kHeader.insurer_name))));
  result.labels.period =
      Cp1252Text(std::string(Field(Utf8ToWindows1252(FileNameOf(path)), kHeader.period)));

  // The rows show the file's own bytes.
  result.rows.KeepAlive(file.content);
  const LogicalInput input{file.lines, file.line_count, m_prepared->reference.commune_codes,
                           m_prepared->reference.crop_codes, m_prepared->numbers};
  CheckLogicalRules(*result.kind, input, result.rows);
}

CheckResult Validator::Check(const std::string &path, const HeaderLabels &labels,
                             Scope scope) const {
  CheckResult check;
  try {
    check.physical = RunPhysical(path, labels);
    RunResult &physical = check.physical;
    if (physical.Refused()) {
      return check;
    }
    if (!physical.LogicalMayFollow()) {
      check.outcome = LogicalOutcome::PhysicalErrors;
    } else if (scope == Scope::PhysicalOnly) {
      check.outcome = LogicalOutcome::NotAsked;
    } else {
      check.logical.emplace();
      check.logical->kind = physical.kind;
      check.logical->labels = physical.labels;
      RunRules(path, physical.file, *check.logical);
      check.outcome = LogicalOutcome::Ran;
    }
    if (physical.file.Changed()) {
      Refuse(ChangedWhileRead(physical.file, *physical.kind, path), labels, physical);
      check.logical.reset();
      check.outcome = LogicalOutcome::FileRefused;
    }
  } catch (const std::bad_alloc &) {
    check = CheckResult{};
    check.physical.kind = KindOfFileName(Utf8ToWindows1252(FileNameOf(path)));
    Refuse(OutOfMemory(path), labels, check.physical);
  }
  return check;
}

RunResult Validator::Logical(const std::string &path, const DataFile &checked,
                             const HeaderLabels &labels) const {
  RunResult result;
  try {
    result.labels = labels;
    if (!ReadForRun(m_prepared->reference, path, result)) {
      return result;
    }
    const std::string shown_path = Utf8ToWindows1252(path);
    // A file emptied since the physical run has no header to take the labels from.
    if (result.file.line_count == 0) {
      result.refusal = {Refusal::Reason::Unreadable,
                        Cp1252Text(TheFileOf(*result.kind) + " " + shown_path +
                                   Cp1252(" está vacío; no se puede validar."))};
      result.file = DataFile{};
      return result;
    }
    if (!SameVersion(checked, result.file)) {
      Refuse({Refusal::Reason::Changed,
              Cp1252Text(TheFileOf(*result.kind) + " " + shown_path +
                         Cp1252(" cambió después de la Verificación Física; realice de nuevo "
                                "la Verificación Física."))},
             labels, result);
      return result;
    }
    RunRules(path, result.file, result);
    if (result.file.Changed()) {
      Refuse(ChangedWhileRead(result.file, *result.kind, path), labels, result);
    }
  } catch (const std::bad_alloc &) {
    result = RunResult{};
    result.kind = KindOfFileName(Utf8ToWindows1252(FileNameOf(path)));
    Refuse(OutOfMemory(path), labels, result);
  }
  return result;
}

Validator LoadValidator(const std::string &db_path,
                        const std::optional<std::string> &decimal_separator) {
  NumberFormat numbers;
  numbers.decimal_separator =
      decimal_separator ? Utf8ToWindows1252(*decimal_separator) : LocaleDecimalSeparator();
  return Validator(LoadReferenceData(db_path.empty() ? DefaultReferenceDatabasePath() : db_path),
                   std::move(numbers));
}

} // namespace verdalia
