#include "refdata/sqlite_source.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <sys/stat.h>

#include "common/text.h"
#include "common/windows1252.h"

namespace verdalia {
namespace {

class Statement {
public:
  Statement(sqlite3 *db, const std::string &sql, const std::string &source) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &m_stmt, nullptr) != SQLITE_OK) {
      throw ReferenceDataError("No se puede cargar la base de datos de referencia \"" + source +
                               "\": " + sqlite3_errmsg(db) + " (" + sql + ")");
    }
    m_db = db;
    m_sql = sql;
    m_source = source;
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
    throw ReferenceDataError("No se puede cargar la base de datos de referencia \"" + m_source +
                             "\": " + sqlite3_errmsg(m_db) + " (" + m_sql + ")");
  }
  sqlite3_stmt *get() const { return m_stmt; }

private:
  sqlite3_stmt *m_stmt = nullptr;
  sqlite3 *m_db = nullptr;
  std::string m_sql;
  std::string m_source;
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
  bool record_type = false;
  bool name = false;
  bool type = false;
};

// How a definition names itself in the refusal of a row that cannot be applied.
std::string Describe(const FieldDefinition &def, const PresentColumns &present) {
  std::string text = "TipoArchivo ";
  text += present.kind ? std::to_string(def.kind) : std::string("Null");
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
        throw ReferenceDataError("No se puede cargar la base de datos de referencia \"" + source +
                                 "\": falta la columna " + std::string(kNames[i]) +
                                 " en la tabla DefArchivo");
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
  def.kind = present.kind ? static_cast<int>(*kind) : -1;
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
    throw ReferenceDataError("No se puede cargar la base de datos de referencia \"" + source +
                             "\": la definición de campo (" + Describe(def, present) +
                             ") no se puede aplicar: " + why);
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
// fresh pages. Only a hint: where it cannot be had, the reading reports what is wrong.
std::size_t DefinitionCount(sqlite3 *db) {
  sqlite3_stmt *raw = nullptr;
  std::size_t rows = 0;
  if (sqlite3_prepare_v2(db, "SELECT count(*) FROM DefArchivo", -1, &raw, nullptr) == SQLITE_OK &&
      sqlite3_step(raw) == SQLITE_ROW) {
    rows = static_cast<std::size_t>(
        std::clamp<sqlite3_int64>(sqlite3_column_int64(raw, 0), 0, sqlite3_int64{1} << 20));
  }
  sqlite3_finalize(raw);
  return rows;
}

void LoadDefinitions(sqlite3 *db, const std::string &source, ReferenceData &data) {
  Statement stmt(db, "SELECT * FROM DefArchivo", source);
  const DefinitionColumns columns(stmt.get(), source);
  // Counted once the first row is read: the count then shares the reading's view of the
  // database, and never waits for a lock of its own.
  bool row = stmt.Step();
  if (row) {
    data.definitions.reserve(DefinitionCount(db));
  }
  for (; row; row = stmt.Step()) {
    if (auto def = ReadDefinition(stmt.get(), columns, source)) {
      data.definitions.push_back(std::move(*def));
    }
  }
}

void RequireTable(sqlite3 *db, const std::string &source, const char *table) {
  Statement stmt(db, std::string("SELECT * FROM ") + table, source);
  stmt.Step();
}

void LoadLineLengths(sqlite3 *db, const std::string &source, ReferenceData &data) {
  Statement stmt(db, "SELECT * FROM TipoArchivo ORDER BY TipoArchivo", source);
  if (sqlite3_column_count(stmt.get()) < 3) {
    throw ReferenceDataError("No se puede cargar la base de datos de referencia \"" + source +
                             "\": la tabla TipoArchivo tiene menos de tres columnas");
  }
  while (stmt.Step()) {
    sqlite3_stmt *row = stmt.get();
    const auto kind = WholeNumber(row, 0);
    if (!kind || *kind < 1 || *kind > 3) {
      throw ReferenceDataError(
          "No se puede cargar la base de datos de referencia \"" + source + "\": TipoArchivo " +
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
      throw ReferenceDataError("No se puede cargar la base de datos de referencia \"" + source +
                               "\": el largo de fila del TipoArchivo " + std::to_string(*kind) +
                               " no es un número entre 1 y 32767");
    }
    data.line_lengths[static_cast<std::size_t>(*kind)] = static_cast<int>(*length);
  }
}

void LoadCodes(sqlite3 *db, const std::string &source, const char *sql, CodeList &codes) {
  Statement stmt(db, sql, source);
  while (stmt.Step()) {
    // A Null code adds only the bar, as the concatenation does.
    codes.Append(IsNull(stmt.get(), 0) ? std::string() : TextOf(stmt.get(), 0));
  }
}

// Only a regular file is opened: opening a named pipe would wait for a writer, and a folder
// or a device is no database.
void RequireRegularFile(const std::string &path) {
  struct stat info {};
  std::string why;
  if (::stat(path.c_str(), &info) != 0) {
    why = errno == ENOENT ? "el archivo no existe" : std::strerror(errno);
  } else if (S_ISDIR(info.st_mode)) {
    why = "es una carpeta";
  } else if (!S_ISREG(info.st_mode)) {
    why = "no es un archivo regular";
  } else {
    return;
  }
  throw ReferenceDataError("No se puede abrir la base de datos de referencia \"" + path +
                           "\": " + why);
}

} // namespace

SqliteHandle OpenSqliteReadOnly(const std::string &path) {
  RequireRegularFile(path);
  sqlite3 *raw = nullptr;
  const int rc =
      sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  SqliteHandle db(raw);
  if (rc != SQLITE_OK) {
    const std::string why = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
    throw ReferenceDataError("No se puede abrir la base de datos de referencia \"" + path +
                             "\": " + why);
  }
  // A database another program holds locked is waited for briefly, then reported.
  sqlite3_busy_timeout(raw, 2000);
  return db;
}

ReferenceData LoadFromConnection(sqlite3 *db, const std::string &source) {
  ReferenceData data;
  LoadDefinitions(db, source, data);
  RequireTable(db, source, "TipoCultivoUniFisc");
  RequireTable(db, source, "RegionComunaZHS");
  LoadLineLengths(db, source, data);
  LoadCodes(db, source, "SELECT COD_COMUNA FROM COMUNA ORDER BY COD_COMUNA", data.commune_codes);
  LoadCodes(db, source, "SELECT COD_CULTIVO FROM CULTIVO ORDER BY COD_CULTIVO", data.crop_codes);
  data.Index();
  return data;
}

} // namespace verdalia
