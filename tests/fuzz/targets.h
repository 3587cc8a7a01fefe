#pragma once

// The bodies of the fuzzing harnesses. The libFuzzer entry points (fuzz_*.cpp, clang build
// only) and the ordinary test that replays the seed corpus and every input a fuzzer ever
// found (tests/robustness/test_fuzz_corpus.cpp, every build) share them; the two are built
// in different trees, so the bodies live here rather than in a library.
//
// Each target returns a finding: empty when the run behaved, else what went wrong. Crashes,
// hangs, leaks and sanitizer reports need no finding: the tools see them by themselves.

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <sqlite3.h>

#include "common/data_file.h"
#include "common/file_kind.h"
#include "common/path.h"
#include "common/result.h"
#include "common/text.h"
#include "common/windows1252.h"
#include "engine/validation.h"
#include "logical/number_text.h"
#include "physical/physical_run.h"
#include "physical/record_checks.h"
#include "physical/record_plan.h"
#include "refdata/reference_data.h"
#include "refdata/sqlite_source.h"
#include "reports/error_list_writer.h"

namespace verdalia::fuzz {

using Finding = std::string;

// Hands out the input one decision at a time; an exhausted input answers 0 and "".
class ByteReader {
public:
  ByteReader(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}

  std::uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }

  // One of the options, by a byte taken as one of kSlots fixed slots; a slot past the list
  // takes the first option. A new option goes at the end of its list: it takes a slot no
  // option had, so the inputs kept in the corpus keep choosing what they chose.
  static constexpr std::size_t kSlots = 32;
  template <typename T, std::size_t N> const T &Pick(const T (&options)[N]) {
    static_assert(N <= kSlots, "more options than slots");
    const std::size_t slot = Byte() % kSlots;
    return options[slot < N ? slot : 0];
  }

  // Up to `max` bytes, as many as the next byte says.
  std::string Text(std::size_t max) {
    const std::size_t wanted = Byte() % (max + 1);
    const std::size_t length = std::min(wanted, m_size - m_pos);
    std::string text(reinterpret_cast<const char *>(m_data + m_pos), length);
    m_pos += length;
    return text;
  }

  std::string_view Rest() {
    const std::string_view rest(reinterpret_cast<const char *>(m_data + m_pos), m_size - m_pos);
    m_pos = m_size;
    return rest;
  }

private:
  const std::uint8_t *m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
};

// The body cut into lines of exactly `length` characters (blank-padded or cut short), each
// ended by CR LF, so that most inputs get past the line-length check and reach the record
// checks. A CR inside a piece would end a line early, so it is dropped. At most about a
// megabyte is produced, whatever the length.
inline std::string ShapeLines(std::string_view body, int length) {
  std::string out;
  if (body.empty()) {
    return out;
  }
  const std::size_t width = length > 0 ? static_cast<std::size_t>(length) : 0;
  const std::size_t max_lines = std::max<std::size_t>(1, (std::size_t{1} << 20) / (width + 2));
  std::size_t start = 0;
  // A body that ends with a line end has no line after it.
  for (std::size_t lines = 0; lines < max_lines && start < body.size(); ++lines) {
    std::size_t end = body.find('\n', start);
    if (end == std::string_view::npos) {
      end = body.size();
    }
    std::string line;
    for (std::size_t i = start; i < end && line.size() < width; ++i) {
      if (body[i] != '\r') {
        line.push_back(body[i]);
      }
    }
    line.resize(width, ' ');
    out += line;
    out += "\r\n";
    if (end == body.size()) {
      break;
    }
    start = end + 1;
  }
  return out;
}

// A period for the file name: characters 2 to 7 of the first line when asked for and
// possible (bytes a file name cannot hold become "0"), else a fixed one.
inline std::string PeriodFor(std::string_view bytes, bool from_header) {
  if (!from_header || bytes.size() < 7) {
    return "202401";
  }
  std::string period(bytes.substr(1, 6));
  for (char &c : period) {
    if (c == '\0' || c == '/' || c == '\r' || c == '\n') {
      c = '0';
    }
  }
  return period;
}

inline Finding CheckRecordNumbers(const ResultList &rows, int low, int high, const char *list) {
  for (const ResultRow &row : rows) {
    if (row.record < low || row.record > high) {
      return std::string(list) + " list: record number " + std::to_string(row.record) +
             " outside " + std::to_string(low) + ".." + std::to_string(high);
    }
  }
  return {};
}

// What a run that was not refused checked: the lines of the file, each of the kind's
// length, no more than the record numbers reach; and its rows' record numbers in range.
inline Finding CheckRun(const RunResult &run, const ReferenceData &reference, int lowest_record,
                        const char *name) {
  const DataFile &file = run.file;
  if (file.line_count < 0 || file.line_count > kMaxRecords ||
      file.lines.size() != static_cast<std::size_t>(file.line_count) + 1) {
    return std::string(name) + ": the lines do not hold the records counted";
  }
  const int length = reference.LineLength(*run.kind);
  for (int k = 1; k <= file.line_count; ++k) {
    if (static_cast<long long>(file.lines[static_cast<std::size_t>(k)].size()) != length) {
      return std::string(name) + ": record " + std::to_string(k) +
             " accepted with a length other than the kind's";
    }
  }
  (void)ErrorListText(run.rows);
  return CheckRecordNumbers(run.rows, lowest_record, std::max(1, file.line_count), name);
}

inline Finding CheckRefusal(const RunResult &run, const HeaderLabels &labels, const char *name) {
  if (run.refusal->message.empty()) {
    return std::string(name) + ": a refusal without a message";
  }
  if (!run.rows.empty() || run.labels != labels || run.LogicalMayFollow()) {
    return std::string(name) +
           ": a refused run has rows, changed labels or lets the logical follow";
  }
  return {};
}

// One file through the physical run and then the logical run, whatever the physical list
// holds, and through the whole check, which must pair the same lists.
inline Finding CheckRuns(const Validator &validator, const std::string &path, bool logical_twice) {
  const ReferenceData &reference = validator.Reference();
  const HeaderLabels labels{Cp1252Text("R"), Cp1252Text("N"), Cp1252Text("P")};
  const RunResult physical = std::move(validator.Check(path, labels, Scope::PhysicalOnly).physical);
  if (physical.Refused()) {
    return CheckRefusal(physical, labels, "physical");
  }
  if (!physical.kind) {
    return "a file without a kind letter was not refused";
  }
  if (Finding f = CheckRun(physical, reference, 0, "physical"); !f.empty()) {
    return f;
  }
  const RunResult logical = validator.Logical(path, physical.file, labels);
  if (logical.Refused()) {
    return CheckRefusal(logical, labels, "logical");
  }
  if (!logical.kind) {
    return "a file without a kind letter was not refused by the logical run";
  }
  if (Finding f = CheckRun(logical, reference, 1, "logical"); !f.empty()) {
    return f;
  }
  if (logical_twice && validator.Logical(path, physical.file, labels).rows != logical.rows) {
    return "a second logical run gave another list";
  }
  const CheckResult check = validator.Check(path, labels);
  if (check.physical.rows != physical.rows || check.physical.labels != physical.labels ||
      check.logical.has_value() != physical.LogicalMayFollow() ||
      (check.logical &&
       (check.logical->rows != logical.rows || check.logical->labels != logical.labels))) {
    return "the whole check gave other lists than its two runs";
  }
  return {};
}

// Writes a data file. Half the files (by the parity of their size, which no option of a
// harness decides) get a time of a minute ago, so that they are viewed where they lie rather
// than read into memory as a file written a moment ago is: both ways of reading are fuzzed.
inline bool WriteFile(const std::string &path, std::string_view bytes) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      return false;
    }
  }
  if (bytes.size() % 2 == 0) {
    std::error_code ec;
    std::filesystem::last_write_time(
        path, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1), ec);
  }
  return true;
}

// Writes the data file under its name in `folder`, runs both verifications on it and
// removes it again.
inline Finding RunDataFile(const Validator &validator, const std::string &folder, char letter,
                           const std::string &period, const std::string &bytes,
                           bool logical_twice) {
  // The name is built in Windows-1252, as the checks see it, and written in UTF-8, as the
  // file list hands it over.
  const std::string name = Windows1252ToUtf8(std::string(1, letter) + period + ".txt");
  const std::string path = JoinPath(folder, name);
  if (!WriteFile(path, bytes)) {
    return {}; // the file system said no; nothing to learn about the program
  }
  Finding finding = CheckRuns(validator, path, logical_twice);
  std::error_code ec;
  std::filesystem::remove(path, ec);
  return finding;
}

constexpr char kLetters[] = {'P', 'D', 'S', 'p', 'd', 's', 'X'};

// (a) Any data file against the shipped reference database. The first byte picks the file
// name's kind letter, the second how the rest becomes the file: bit 0 raw bytes (else cut
// into lines of the kind's length), bit 1 the name's period from the header (else fixed),
// bit 2 the logical run twice.
inline Finding FuzzPhysicalLogical(const std::uint8_t *data, std::size_t size,
                                   const Validator &validator, const std::string &folder) {
  const ReferenceData &reference = validator.Reference();
  ByteReader in(data, size);
  const char letter = in.Pick(kLetters);
  const std::uint8_t flags = in.Byte();
  const std::string_view body = in.Rest();
  const auto kind = KindOfFileName(std::string(1, letter));
  const int length = kind ? reference.LineLength(*kind) : 0;
  const std::string bytes = (flags & 1) ? std::string(body) : ShapeLines(body, length);
  return RunDataFile(validator, folder, letter, PeriodFor(bytes, flags & 2), bytes, flags & 4);
}

// A cell of a reference table, bound as SQLite would store it.
using Cell = std::variant<std::monostate, long long, double, std::string>;

inline void Bind(sqlite3_stmt *stmt, int index, const Cell &cell) {
  if (const auto *i = std::get_if<long long>(&cell)) {
    sqlite3_bind_int64(stmt, index, *i);
  } else if (const auto *r = std::get_if<double>(&cell)) {
    sqlite3_bind_double(stmt, index, *r);
  } else if (const auto *t = std::get_if<std::string>(&cell)) {
    sqlite3_bind_text(stmt, index, t->data(), static_cast<int>(t->size()), SQLITE_TRANSIENT);
  } else {
    sqlite3_bind_null(stmt, index);
  }
}

inline bool Insert(sqlite3 *db, const char *sql, const std::vector<Cell> &cells) {
  sqlite3_stmt *stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
    return false;
  }
  for (std::size_t i = 0; i < cells.size(); ++i) {
    Bind(stmt, static_cast<int>(i + 1), cells[i]);
  }
  const bool ok = sqlite3_step(stmt) == SQLITE_DONE;
  sqlite3_finalize(stmt);
  return ok;
}

// The six tables without declared types, so that any value of any type reaches the loader.
constexpr const char *kLooseSchemaSql = R"(
CREATE TABLE TipoArchivo (TipoArchivo, Descripcion, line_lengths);
CREATE TABLE DefArchivo (TipoArchivo, TipoRegistro, Sec, Campo, PosicionInicial, Largo, Tipo,
  DECIMALES, Obligatorio, ValoresValidos, ErrorFisico);
CREATE TABLE COMUNA (COD_COMUNA);
CREATE TABLE CULTIVO (COD_CULTIVO);
CREATE TABLE TipoCultivoUniFisc (COD_CULTIVO, UNIDAD_FISICA);
CREATE TABLE RegionComunaZHS (COD_REGION, COD_COMUNA, ZONA_HOMOGENEA);
)";

// One DefArchivo row of the kind a careless or hostile editor of the database might write.
inline std::vector<Cell> FuzzedDefinition(ByteReader &in, int line_length) {
  using S = std::string;
  constexpr long long kIntMax = std::numeric_limits<int>::max();
  constexpr long long kIntMin = std::numeric_limits<int>::min();
  const Cell kinds[] = {1LL, 2LL, 3LL, 1LL, 2LL, 3LL, S("1"), 2.0, 0LL, 4LL, {}};
  const Cell types[] = {S("1"), S("2"), S("3"), S("4"),  S("1"),  S("2"), S("3"),
                        S("4"), S(""),  S("x"), S("12"), S(" 2"), {}};
  const Cell secs[] = {static_cast<long long>(in.Byte()), 1.5, S("3"), -1LL, {}};
  const Cell names[] = {S("TIPO_REGISTRO"),
                        S("FECHA_CIERRE"),
                        S("RUT_ASEGURADORA"),
                        S("VER_ASEGURADORA"),
                        S("ASEGURADORA"),
                        S("TOTAL_REGISTROS"),
                        S("TIPO_INFORMACION"),
                        S("FECHA_VIGENCIA_INICIAL"),
                        S("FECHA_POLIZA_ENDOSO"),
                        S("FECHA_VIGENCIA_ENDOSO"),
                        S("NUMERO_ENDOSO"),
                        S("TIPO_ENDOSO"),
                        S("tipo_informacion"),
                        S("Numero_Endoso"),
                        S("rut_aseguradora"),
                        S("CAMPO"),
                        S(""),
                        in.Text(12),
                        {}};
  const long long at = 1 + in.Byte();
  const Cell positions[] = {1LL,
                            at,
                            static_cast<long long>(line_length),
                            static_cast<long long>(line_length) + 1,
                            1000LL,
                            kIntMax,
                            kIntMax - 1,
                            0LL,
                            -1LL,
                            1LL << 40,
                            S("7"),
                            S("abc"),
                            1.5,
                            {}};
  const long long span = in.Byte() % 16;
  const Cell lengths[] = {
      0LL,     1LL,         span,        8LL,  static_cast<long long>(in.Byte()),
      kIntMax, kIntMax - 1, kIntMax + 1, -1LL, 2.0,
      S("9"),  S("x"),      {}};
  const Cell tipos[] = {S("N"),   S("D"), S("FE"), S("RUT"), S("DV"), S("T"), S("FIL"),
                        S("n"),   S("d"), S("fe"), S("rut"), S("dv"), S("t"), S("fil"),
                        S("Rut"), S("X"), S(""),   S(" N"),  {}};
  const Cell decimals[] = {
      0LL, 2LL, static_cast<long long>(in.Byte() % 20), 40LL, -1LL, kIntMin, kIntMax, S("2"),
      2.5, {}};
  const Cell obligatory[] = {S("S"), S("s"), S("N"), S("n"), S(""), S("SI"), {}};
  const Cell values[] = {{},
                         S(""),
                         S("SI_ES:0"),
                         S("SI_ES:00000000"),
                         S("SI_ES:BLANCO"),
                         S("SI_ES:BLANCOoCero"),
                         S("SI_NO_ES:0o1"),
                         S("SI_ES:"),
                         S("SI_NO_ES:"),
                         S("SI_ES:123.45"),
                         S("SI_ES:1E999"),
                         S("SI_ES:-"),
                         S("1#2#3#"),
                         S("A#B#"),
                         S("10#20#"),
                         S("#"),
                         S("123"),
                         in.Text(16)};
  const Cell messages[] = {{}, S(""), S("Error. Mensaje"), S("Advertencia. Mensaje"), in.Text(16)};

  std::vector<Cell> row;
  row.push_back(in.Pick(kinds));
  row.push_back(in.Pick(types));
  row.push_back(in.Pick(secs));
  row.push_back(in.Pick(names));
  row.push_back(in.Pick(positions));
  row.push_back(in.Pick(lengths));
  row.push_back(in.Pick(tipos));
  row.push_back(in.Pick(decimals));
  row.push_back(in.Pick(obligatory));
  row.push_back(in.Pick(values));
  row.push_back(in.Pick(messages));
  return row;
}

// Every line of `bytes` whose type has a plan is checked through the plan, with every scan the
// processor runs, and field by field: the rows must be the same.
inline Finding CheckPlans(const ReferenceData &reference, FileKind kind, std::string_view bytes) {
  for (const LineScan &scan : UsableLineScans()) {
    const PreparedDefinitions definitions(reference, scan);
    RecordPlan::Scratch scratch;
    for (std::string_view rest = bytes; !rest.empty();) {
      const std::size_t end = std::min(rest.find("\r\n"), rest.size());
      const std::string_view line = rest.substr(0, end);
      rest.remove_prefix(std::min(end + 2, rest.size()));
      const RecordPlan *plan = line.empty() ? nullptr : definitions.Plan(kind, line[0]);
      if (plan == nullptr) {
        continue;
      }
      ResultList planned;
      ResultList full;
      plan->Check(line, 2, scratch, planned);
      CheckDetailRecord(definitions.Fields(kind, line.substr(0, 1)), line, 2, full);
      if (planned != full) {
        return "the plan of record type " + std::string(1, line[0]) + " with the " +
               std::string(scan.name) + " scan lists other rows than the field-by-field check";
      }
    }
  }
  return {};
}

// (b) Reference databases whose content is itself fuzzed: line lengths, definitions (past
// the line, lengths of 0 and of 2^31 - 1, DECIMALES beyond the length or negative, every
// keyword, lower-case types, Nulls and values of the wrong type) and code lists; then a
// data file through both runs. A database the loader refuses ends the input there.
inline Finding FuzzDefinitions(const std::uint8_t *data, std::size_t size,
                               const std::string &folder) {
  ByteReader in(data, size);
  sqlite3 *raw = nullptr;
  if (sqlite3_open(":memory:", &raw) != SQLITE_OK) {
    sqlite3_close(raw);
    return {};
  }
  const SqliteHandle db(raw);
  if (sqlite3_exec(raw, kLooseSchemaSql, nullptr, nullptr, nullptr) != SQLITE_OK) {
    return "the fuzzing schema did not build";
  }

  const int lengths[] = {0, 1, 2, 8, 19, 20, 40, 60, 100, 120, 200, 400, -1, 32767};
  std::array<int, 4> line_length{};
  for (int kind = 1; kind <= 3; ++kind) {
    line_length[static_cast<std::size_t>(kind)] = in.Pick(lengths);
    if (in.Byte() % 8 != 0) { // now and then a kind has no row, so its length stays 0
      Insert(raw, "INSERT INTO TipoArchivo VALUES (?,?,?)",
             {static_cast<long long>(kind), std::string("K"),
              static_cast<long long>(line_length[static_cast<std::size_t>(kind)])});
    } else {
      line_length[static_cast<std::size_t>(kind)] = 0;
    }
  }
  const int rows = in.Byte() % 32;
  for (int i = 0; i < rows; ++i) {
    const int of_kind = line_length[1 + static_cast<std::size_t>(i % 3)];
    Insert(raw, "INSERT INTO DefArchivo VALUES (?,?,?,?,?,?,?,?,?,?,?)",
           FuzzedDefinition(in, of_kind));
  }
  for (const char *table : {"INSERT INTO COMUNA VALUES (?)", "INSERT INTO CULTIVO VALUES (?)"}) {
    const int codes = in.Byte() % 4;
    for (int i = 0; i < codes; ++i) {
      Insert(raw, table, {in.Text(6)});
    }
  }

  std::optional<Validator> validator;
  try {
    validator.emplace(LoadFromConnection(raw, "fuzz"), NumberFormat{});
  } catch (const ReferenceDataError &) {
    return {}; // refused at start-up, with its message: the expected end of such a database
  }
  const ReferenceData &reference = validator->Reference();
  const char letter = in.Pick(kLetters);
  const std::uint8_t flags = in.Byte();
  const auto kind = KindOfFileName(std::string(1, letter));
  const int length = kind ? reference.LineLength(*kind) : 0;
  const std::string_view body = in.Rest();
  const std::string bytes = (flags & 1) ? std::string(body) : ShapeLines(body, length);
  if (kind) {
    if (Finding f = CheckPlans(reference, *kind, bytes); !f.empty()) {
      return f;
    }
  }
  return RunDataFile(*validator, folder, letter, PeriodFor(bytes, flags & 2), bytes, false);
}

// A number text read back, whichever separator it was written with.
inline double ReadBack(std::string text, const NumberFormat &format) {
  if (format.decimal_separator != ".") {
    const auto at = text.find(format.decimal_separator);
    if (at != std::string::npos) {
      text.replace(at, format.decimal_separator.size(), ".");
    }
  }
  return LeadingNumberValue(text);
}

inline bool Near(double a, double b, double absolute) {
  return std::fabs(a - b) <= absolute + std::fabs(b) * 1e-13;
}

inline Finding CheckNumberTexts(double value, const NumberFormat &format) {
  const double cents = RoundToCents(value);
  const std::string plain = PlainNumberText(value, format);
  const std::string two = TwoDecimalText(value, format);
  if (!std::isfinite(value) || !std::isfinite(cents)) {
    return {}; // no finite text to compare with; not crashing is what counts
  }
  if (plain.empty() || !Near(ReadBack(plain, format), value, 1e-300)) {
    return "PlainNumberText of " + std::to_string(value) + " reads back wrong: " + plain;
  }
  // "#########0.00": an optional minus, at least one digit, the separator, two digits.
  const std::string &sep = format.decimal_separator;
  std::size_t i = two.starts_with('-') ? 1 : 0;
  const std::size_t digits_from = i;
  while (i < two.size() && two[i] >= '0' && two[i] <= '9') {
    ++i;
  }
  const bool shaped = i > digits_from && two.compare(i, sep.size(), sep) == 0 &&
                      two.size() == i + sep.size() + 2 &&
                      std::isdigit(static_cast<unsigned char>(two[i + sep.size()])) &&
                      std::isdigit(static_cast<unsigned char>(two[i + sep.size() + 1]));
  if (!shaped) {
    return "TwoDecimalText of " + std::to_string(value) + " is not shaped 0.00: " + two;
  }
  if (!Near(ReadBack(two, format), value, 0.0051)) {
    return "TwoDecimalText of " + std::to_string(value) + " reads back wrong: " + two;
  }
  if (!Near(cents, value, 0.0051)) {
    return "RoundToCents of " + std::to_string(value) + " moved it by more than a cent";
  }
  return {};
}

// (c) The leading-number value, fixed-point fields and the number texts of the logical
// messages. The first byte picks the separator, the next two the digits of a fixed-point
// field, the next eight any double (NaN and infinities included); the rest is the text.
inline Finding FuzzNumbers(const std::uint8_t *data, std::size_t size) {
  ByteReader in(data, size);
  const std::uint8_t flags = in.Byte();
  const std::size_t integer_digits = in.Byte() % 40;
  const std::size_t decimals = in.Byte() % 40;
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) {
    bits = (bits << 8) | in.Byte();
  }
  double any = 0;
  std::memcpy(&any, &bits, sizeof any);
  const std::string_view text = in.Rest();

  const NumberFormat format{(flags & 1) ? "," : "."};
  const double value = LeadingNumberValue(text);
  if (std::isnan(value)) {
    return "LeadingNumberValue gave NaN";
  }
  const double fixed = FixedPointValue(text, integer_digits, decimals);
  if (std::isnan(fixed)) {
    return "FixedPointValue gave NaN";
  }
  for (const double number : {value, fixed, any}) {
    if (Finding f = CheckNumberTexts(number, format); !f.empty()) {
      return f;
    }
  }
  if (Utf8ToWindows1252(Windows1252ToUtf8(text)) != text) {
    return "a Windows-1252 text did not survive the round trip through UTF-8";
  }
  (void)Utf8ToWindows1252(text);
  return {};
}

} // namespace verdalia::fuzz
