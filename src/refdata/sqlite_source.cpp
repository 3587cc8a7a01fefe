#include "refdata/sqlite_source.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <utility>

#include "common/text.h"
#include "common/windows1252.h"

namespace verdalia {
namespace {

// Bounds of one load, far above what any real reference database asks: the shipped one
// loads in a few milliseconds and holds some 130 definitions, 3 line lengths, 350 communes
// and 70 crops, and a wide layout of lines of 460 characters a few thousand definitions.
// A database past them is a query that would not end (a view that never stops giving
// rows, or never gives one), and is refused instead of filling the memory or the temporary
// folder.
constexpr int kDeadlineSeconds = 5;
constexpr sqlite3_int64 kQueryMemory = sqlite3_int64{256} << 20; // SQLite's own, sorts included
constexpr std::size_t kMostDefinitions = 100000;
constexpr std::size_t kMostLineLengthRows = 1000;
constexpr std::size_t kMostCodes = 1000000;
constexpr std::size_t kMostKeptText = std::size_t{64} << 20; // bytes of every text kept

// One load of a connection: where its messages point, and the bounds it runs under. The
// connection is given back as it came: its progress handler, temporary storage and the
// process's heap limit are restored.
class Loader {
public:
  Loader(sqlite3 *db, const std::string &source);
  ~Loader();
  Loader(const Loader &) = delete;
  Loader &operator=(const Loader &) = delete;

  sqlite3 *db() const { return m_db; }
  const std::string &source() const { return m_source; }

  [[noreturn]] void Refuse(const std::string &why) const { FailLoad(m_source, why); }
  // The refusal of a query that failed with `rc`.
  [[noreturn]] void QueryFailed(int rc, const std::string &sql) const;
  // Counts one more row of `table`, refused past `most`.
  void CountRow(std::size_t &rows, std::size_t most, const char *table) const;
  // Counts the bytes of a text the reference data keeps.
  void Keep(std::size_t bytes);

private:
  static int OnProgress(void *loader);

  sqlite3 *m_db;
  std::string m_source;
  std::chrono::steady_clock::time_point m_deadline;
  bool m_timed_out = false;
  std::size_t m_kept = 0;
  sqlite3_int64 m_old_hard_limit = 0;
  sqlite3_int64 m_old_soft_limit = 0;
  int m_old_temp_store = 0;
};

int PragmaValue(sqlite3 *db, const char *sql) {
  sqlite3_stmt *raw = nullptr;
  int value = 0;
  if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) == SQLITE_OK &&
      sqlite3_step(raw) == SQLITE_ROW) {
    value = sqlite3_column_int(raw, 0);
  }
  sqlite3_finalize(raw);
  return value;
}

Loader::Loader(sqlite3 *db, const std::string &source)
    : m_db(db), m_source(source),
      m_deadline(std::chrono::steady_clock::now() + std::chrono::seconds(kDeadlineSeconds)) {
  sqlite3_progress_handler(db, 1000, &Loader::OnProgress, this);
  // Sorts and temporary tables stay in memory, under the heap limit, instead of growing
  // files in the temporary folder without end.
  m_old_temp_store = PragmaValue(db, "PRAGMA temp_store");
  sqlite3_exec(db, "PRAGMA temp_store = MEMORY", nullptr, nullptr, nullptr);
  m_old_soft_limit = sqlite3_soft_heap_limit64(-1);
  m_old_hard_limit = sqlite3_hard_heap_limit64(-1);
  const sqlite3_int64 limit = sqlite3_memory_used() + kQueryMemory;
  if (m_old_hard_limit <= 0 || m_old_hard_limit > limit) {
    sqlite3_hard_heap_limit64(limit);
  }
  // Every query reads the same version of the database: one transaction from the first to
  // the last, so that another program's commit between two of them cannot pair the
  // definitions of one version with the line lengths or codes of the next.
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
}

Loader::~Loader() {
  sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
  if (sqlite3_get_autocommit(m_db) == 0) {
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr); // nothing was written
  }
  sqlite3_hard_heap_limit64(m_old_hard_limit);
  sqlite3_soft_heap_limit64(m_old_soft_limit);
  static constexpr std::array<const char *, 3> kRestore = {
      "PRAGMA temp_store = DEFAULT", "PRAGMA temp_store = FILE", "PRAGMA temp_store = MEMORY"};
  if (m_old_temp_store >= 0 && m_old_temp_store < 3) {
    sqlite3_exec(m_db, kRestore[static_cast<std::size_t>(m_old_temp_store)], nullptr, nullptr,
                 nullptr);
  }
}

int Loader::OnProgress(void *loader) {
  auto *self = static_cast<Loader *>(loader);
  if (std::chrono::steady_clock::now() >= self->m_deadline) {
    self->m_timed_out = true;
    return 1; // the query ends with SQLITE_INTERRUPT
  }
  return 0;
}

void Loader::QueryFailed(int rc, const std::string &sql) const {
  std::string why;
  if (m_timed_out) {
    why = "la consulta no terminó en " + std::to_string(kDeadlineSeconds) + " segundos";
  } else if ((rc & 0xff) == SQLITE_NOMEM) {
    why = "no hay memoria suficiente";
  } else {
    why = sqlite3_errmsg(m_db);
  }
  Refuse(why + " (" + sql + ")");
}

void Loader::CountRow(std::size_t &rows, std::size_t most, const char *table) const {
  if (++rows > most) {
    Refuse(std::string("la tabla ") + table + " tiene más de " + std::to_string(most) + " filas");
  }
}

void Loader::Keep(std::size_t bytes) {
  m_kept += bytes;
  if (m_kept > kMostKeptText) {
    Refuse("las tablas tienen más de " + std::to_string(kMostKeptText >> 20) + " MB de texto");
  }
}

class Statement {
public:
  Statement(const Loader &loader, const std::string &sql) : m_loader(loader), m_sql(sql) {
    const int rc = sqlite3_prepare_v2(loader.db(), sql.c_str(), -1, &m_stmt, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(m_stmt);
      loader.QueryFailed(rc, sql);
    }
  }
  ~Statement() { sqlite3_finalize(m_stmt); }
  Statement(const Statement &) = delete;
  Statement &operator=(const Statement &) = delete;

  bool Step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) {
      return true;
    }
    if (rc == SQLITE_DONE) {
      return false;
    }
    m_loader.QueryFailed(rc, m_sql);
  }
  sqlite3_stmt *get() const { return m_stmt; }

private:
  const Loader &m_loader;
  sqlite3_stmt *m_stmt = nullptr;
  std::string m_sql;
};

bool IsNull(sqlite3_stmt *stmt, int col) {
  return sqlite3_column_type(stmt, col) == SQLITE_NULL;
}

// A column's text as the program sees it: Windows-1252 bytes. `type` is the column's type.
std::string TextOf(sqlite3_stmt *stmt, int col, int type) {
  if (type == SQLITE_BLOB) {
    const auto *data = static_cast<const char *>(sqlite3_column_blob(stmt, col));
    return std::string(data ? data : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, col)));
  }
  if (type == SQLITE_FLOAT) {
    // Whole numbers print without a fraction, as the platform's conversion does.
    const double value = sqlite3_column_double(stmt, col);
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15) {
      return std::to_string(static_cast<long long>(value));
    }
  }
  const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, col));
  const int bytes = sqlite3_column_bytes(stmt, col);
  return Utf8ToWindows1252(std::string_view(text ? text : "", static_cast<std::size_t>(bytes)));
}

std::string TextOf(sqlite3_stmt *stmt, int col) {
  return TextOf(stmt, col, sqlite3_column_type(stmt, col));
}

std::optional<std::string> OptionalText(sqlite3_stmt *stmt, int col) {
  const int type = sqlite3_column_type(stmt, col);
  if (type == SQLITE_NULL) {
    return std::nullopt;
  }
  return TextOf(stmt, col, type);
}

// A whole number: an integer, a real without fraction, or a text that is one.
std::optional<long long> WholeNumber(sqlite3_stmt *stmt, int col) {
  switch (sqlite3_column_type(stmt, col)) {
  case SQLITE_INTEGER:
    return sqlite3_column_int64(stmt, col);
  case SQLITE_FLOAT: {
    const double value = sqlite3_column_double(stmt, col);
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 9e18) {
      return static_cast<long long>(value);
    }
    return std::nullopt;
  }
  case SQLITE_TEXT: {
    const std::string text = TextOf(stmt, col);
    const std::string_view trimmed = Trim(text);
    if (trimmed.empty()) {
      return std::nullopt;
    }
    std::size_t i = (trimmed[0] == '-' || trimmed[0] == '+') ? 1 : 0;
    if (i == trimmed.size() || trimmed.size() > 18) {
      return std::nullopt;
    }
    for (std::size_t k = i; k < trimmed.size(); ++k) {
      if (trimmed[k] < '0' || trimmed[k] > '9') {
        return std::nullopt;
      }
    }
    return std::stoll(std::string(trimmed));
  }
  default:
    return std::nullopt;
  }
}

int ColumnIndex(sqlite3_stmt *stmt, std::string_view name) {
  const int count = sqlite3_column_count(stmt);
  for (int i = 0; i < count; ++i) {
    const char *column = sqlite3_column_name(stmt, i);
    if (column && sqlite3_stricmp(column, std::string(name).c_str()) == 0) {
      return i;
    }
  }
  return -1;
}

// Which of the columns a row is known by hold a value, named as FieldDefinition's members.
// A Null kind or record type leaves the row out; a refusal names each that is Null.
struct PresentColumns {
  bool kind = false;
  int kind_number = 0; // TipoArchivo as the row holds it, when present
  bool record_type = false;
  bool name = false;
  bool type = false;
};

// How a definition names itself in the refusal of a row that cannot be applied.
std::string Describe(const FieldDefinition &def, const PresentColumns &present) {
  std::string text = "TipoArchivo ";
  text += present.kind ? std::to_string(present.kind_number) : std::string("Null");
  text += ", TipoRegistro ";
  text +=
      present.record_type ? "'" + Windows1252ToUtf8(def.record_type) + "'" : std::string("Null");
  text += ", Sec ";
  if (def.sequence) {
    const double sec = *def.sequence;
    text +=
        sec == std::floor(sec) ? std::to_string(static_cast<long long>(sec)) : std::to_string(sec);
  } else {
    text += "Null";
  }
  text += ", Campo ";
  text += present.name ? "'" + Windows1252ToUtf8(def.name) + "'" : std::string("Null");
  return text;
}

// The columns of DefArchivo the checks read, found by name wherever the table puts them.
class DefinitionColumns {
public:
  enum Column {
    kKind,
    kType,
    kSec,
    kName,
    kStart,
    kLength,
    kTipo,
    kDecimals,
    kObligatory,
    kValidValues,
    kMessage,
    kCount
  };

  DefinitionColumns(sqlite3_stmt *stmt, const std::string &source) {
    static constexpr std::array<std::string_view, kCount> kNames = {
        "TipoArchivo", "TipoRegistro", "Sec",         "Campo",          "PosicionInicial", "Largo",
        "Tipo",        "DECIMALES",    "Obligatorio", "ValoresValidos", "ErrorFisico"};
    for (std::size_t i = 0; i < kNames.size(); ++i) {
      m_index[i] = ColumnIndex(stmt, kNames[i]);
      if (m_index[i] < 0) {
        FailLoad(source, "falta la columna " + std::string(kNames[i]) + " en la tabla DefArchivo");
      }
    }
  }
  int operator[](Column column) const { return m_index[column]; }

private:
  std::array<int, kCount> m_index{};
};

// The columns that name a definition and the texts of its rules, as the row holds them.
FieldDefinition ReadNames(sqlite3_stmt *row, const DefinitionColumns &col,
                          PresentColumns &present) {
  using C = DefinitionColumns;
  FieldDefinition def;
  const auto kind = WholeNumber(row, col[C::kKind]);
  present.kind =
      kind && *kind >= std::numeric_limits<int>::min() && *kind <= std::numeric_limits<int>::max();
  present.kind_number = present.kind ? static_cast<int>(*kind) : -1;
  def.kind = present.kind ? KindOfNumber(*kind) : std::nullopt;
  present.record_type = !IsNull(row, col[C::kType]);
  def.record_type = present.record_type ? TextOf(row, col[C::kType]) : std::string();
  if (!IsNull(row, col[C::kSec])) {
    def.sequence = sqlite3_column_type(row, col[C::kSec]) == SQLITE_TEXT
                       ? LeadingNumberValue(TextOf(row, col[C::kSec]))
                       : sqlite3_column_double(row, col[C::kSec]);
  }
  present.name = !IsNull(row, col[C::kName]);
  def.name = present.name ? TextOf(row, col[C::kName]) : std::string();
  present.type = !IsNull(row, col[C::kTipo]);
  def.type = present.type ? TextOf(row, col[C::kTipo]) : std::string();
  def.obligatory = OptionalText(row, col[C::kObligatory]);
  def.valid_values = OptionalText(row, col[C::kValidValues]);
  def.message = OptionalText(row, col[C::kMessage]);
  return def;
}

// Where the field lies in the line and its decimals; a row whose field cannot be cut from a
// line is refused with its reason.
void ReadPlace(sqlite3_stmt *row, const DefinitionColumns &col, const PresentColumns &present,
               const std::string &source, FieldDefinition &def) {
  using C = DefinitionColumns;
  auto refuse = [&](const std::string &why) {
    FailLoad(source,
             "la definición de campo (" + Describe(def, present) + ") no se puede aplicar: " + why);
  };
  constexpr long long kMaxInt = std::numeric_limits<int>::max();
  const auto start = WholeNumber(row, col[C::kStart]);
  if (!start) {
    refuse("PosicionInicial no es un número entero");
  }
  if (*start < 1 || *start > kMaxInt) {
    refuse("PosicionInicial fuera de rango");
  }
  const auto length = WholeNumber(row, col[C::kLength]);
  if (!length) {
    refuse("Largo no es un número entero");
  }
  // A field of no characters is never checked: its findings would vanish.
  if (*length < 1 || *length > kMaxInt) {
    refuse("Largo fuera de rango");
  }
  if (!present.name) {
    refuse("Campo es Null");
  }
  if (!present.type) {
    refuse("Tipo es Null");
  }
  def.start = static_cast<int>(*start);
  def.length = static_cast<int>(*length);
  const auto decimals = WholeNumber(row, col[C::kDecimals]);
  if (decimals && *decimals >= std::numeric_limits<int>::min() && *decimals <= kMaxInt) {
    def.decimals = static_cast<int>(*decimals);
  }
  if (UpperAscii(def.type) == "D" && !def.decimals) {
    refuse("DECIMALES no es un número entero");
  }
}

// One row of DefArchivo; a row that cannot be applied to a line is refused with its reason.
// A row without kind or record type is no definition any filter selects: none is returned.
std::optional<FieldDefinition> ReadDefinition(sqlite3_stmt *row, const DefinitionColumns &col,
                                              const std::string &source) {
  PresentColumns present;
  FieldDefinition def = ReadNames(row, col, present);
  ReadPlace(row, col, present, source, def);
  if (!present.kind || !present.record_type) {
    return std::nullopt;
  }
  return def;
}

// How many rows DefArchivo holds, to make room for them at once: grown row by row, the
// definitions of a wide layout were moved several times and took twice their memory in
// fresh pages. Only a hint, counted no further than the rows the table may hold: where it
// cannot be had, the reading reports what is wrong.
std::size_t DefinitionCount(sqlite3 *db) {
  const std::string sql = "SELECT count(*) FROM (SELECT 1 FROM DefArchivo LIMIT " +
                          std::to_string(kMostDefinitions) + ")";
  sqlite3_stmt *raw = nullptr;
  std::size_t rows = 0;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) == SQLITE_OK &&
      sqlite3_step(raw) == SQLITE_ROW) {
    rows = static_cast<std::size_t>(std::max<sqlite3_int64>(sqlite3_column_int64(raw, 0), 0));
  }
  sqlite3_finalize(raw);
  return rows;
}

std::size_t TextBytes(const FieldDefinition &def) {
  auto size = [](const std::optional<std::string> &text) { return text ? text->size() : 0; };
  return def.record_type.size() + def.name.size() + def.type.size() + size(def.obligatory) +
         size(def.valid_values) + size(def.message);
}

void LoadDefinitions(Loader &loader, ReferenceData &data) {
  Statement stmt(loader, "SELECT * FROM DefArchivo");
  const DefinitionColumns columns(stmt.get(), loader.source());
  // Counted once the first row is read: the count then shares the reading's view of the
  // database, and never waits for a lock of its own.
  bool row = stmt.Step();
  if (row) {
    data.definitions.reserve(DefinitionCount(loader.db()));
  }
  std::size_t rows = 0;
  for (; row; row = stmt.Step()) {
    loader.CountRow(rows, kMostDefinitions, "DefArchivo");
    if (auto def = ReadDefinition(stmt.get(), columns, loader.source())) {
      loader.Keep(TextBytes(*def));
      data.definitions.push_back(std::move(*def));
    }
  }
}

void RequireTable(const Loader &loader, const char *table) {
  Statement stmt(loader, std::string("SELECT * FROM ") + table);
  stmt.Step();
}

void LoadLineLengths(const Loader &loader, ReferenceData &data) {
  Statement stmt(loader, "SELECT * FROM TipoArchivo ORDER BY TipoArchivo");
  if (sqlite3_column_count(stmt.get()) < 3) {
    loader.Refuse("la tabla TipoArchivo tiene menos de tres columnas");
  }
  std::size_t rows = 0;
  while (stmt.Step()) {
    loader.CountRow(rows, kMostLineLengthRows, "TipoArchivo");
    sqlite3_stmt *row = stmt.get();
    const auto kind = WholeNumber(row, 0);
    if (!kind || *kind < 1 || *kind > 3) {
      loader.Refuse("TipoArchivo " +
                    (IsNull(row, 0) ? std::string("Null") : Windows1252ToUtf8(TextOf(row, 0))) +
                    " no es 1, 2 ni 3");
    }
    std::optional<long long> length;
    if (sqlite3_column_type(row, 2) == SQLITE_FLOAT) {
      // A fractional length is rounded half to even, as the 16-bit conversion does.
      const double value = sqlite3_column_double(row, 2);
      if (std::isfinite(value) && std::fabs(value) < 1e9) {
        length = static_cast<long long>(std::nearbyint(value));
      }
    } else {
      length = WholeNumber(row, 2);
    }
    // No line is shorter than 1 character: a length below it would refuse every file of
    // the kind, or let empty lines through as records.
    if (!length || *length < 1 || *length > 32767) {
      loader.Refuse("el largo de fila del TipoArchivo " + std::to_string(*kind) +
                    " no es un número entre 1 y 32767");
    }
    data.line_lengths[static_cast<std::size_t>(*kind)] = static_cast<int>(*length);
  }
}

void LoadCodes(Loader &loader, const char *table, const char *sql, CodeList &codes) {
  Statement stmt(loader, sql);
  std::size_t rows = 0;
  while (stmt.Step()) {
    loader.CountRow(rows, kMostCodes, table);
    // A Null code adds only the bar, as the concatenation does.
    const std::string code = IsNull(stmt.get(), 0) ? std::string() : TextOf(stmt.get(), 0);
    loader.Keep(code.size() + 1);
    codes.Append(code);
  }
}

ReferenceData Load(sqlite3 *db, const std::string &source) {
  Loader loader(db, source);
  ReferenceData data;
  LoadDefinitions(loader, data);
  RequireTable(loader, "TipoCultivoUniFisc");
  RequireTable(loader, "RegionComunaZHS");
  LoadLineLengths(loader, data);
  LoadCodes(loader, "COMUNA", "SELECT COD_COMUNA FROM COMUNA ORDER BY COD_COMUNA",
            data.commune_codes);
  LoadCodes(loader, "CULTIVO", "SELECT COD_CULTIVO FROM CULTIVO ORDER BY COD_CULTIVO",
            data.crop_codes);
  data.Index();
  return data;
}

} // namespace

ReferenceDataError OutOfMemory(const std::string &source) {
  return LoadError(source, "no hay memoria suficiente");
}

ReferenceData LoadFromConnection(sqlite3 *db, const std::string &source) {
  try {
    return Load(db, source);
  } catch (const std::bad_alloc &) {
    // Thrown once what the load had built is freed, so that the message finds room.
    throw OutOfMemory(source);
  }
}

} // namespace verdalia
