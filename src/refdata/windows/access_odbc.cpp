// Windows: Access databases are read through ODBC, as Windows programs read them. libmdb is
// not built for Windows, and the system's own driver reads every Access format, damaged
// files judged by the engine that writes them.
#include <windows.h>

#include "refdata/windows/access_odbc.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <sql.h>
#include <sqlext.h>

#include "common/windows/wide.h"
#include "refdata/access_copy.h"

namespace verdalia {
namespace {

constexpr wchar_t kDriver[] = L"Microsoft Access Driver (*.mdb, *.accdb)";

struct Handle {
  SQLSMALLINT type;
  SQLHANDLE handle = SQL_NULL_HANDLE;
  explicit Handle(SQLSMALLINT kind) : type(kind) {}
  ~Handle() {
    if (handle != SQL_NULL_HANDLE) {
      SQLFreeHandle(type, handle);
    }
  }
  Handle(const Handle &) = delete;
  Handle &operator=(const Handle &) = delete;
};

struct Diagnostic {
  std::string state;
  std::string message;
};

// The driver's first word on what went wrong.
Diagnostic DiagnosticOf(const Handle &handle) {
  SQLWCHAR state[6] = {};
  SQLWCHAR message[1024] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  Diagnostic diagnostic;
  if (SQL_SUCCEEDED(SQLGetDiagRecW(handle.type, handle.handle, 1, state, &native, message,
                                   static_cast<SQLSMALLINT>(std::size(message)), &length))) {
    diagnostic.state = Utf8Of(reinterpret_cast<const wchar_t *>(state));
    diagnostic.message = Utf8Of(reinterpret_cast<const wchar_t *>(message));
  }
  return diagnostic;
}

enum class Kind { Integer, Real, Text, Blob };

Kind KindOf(SQLSMALLINT type) {
  switch (type) {
  case SQL_BIT:
  case SQL_TINYINT:
  case SQL_SMALLINT:
  case SQL_INTEGER:
  case SQL_BIGINT:
    return Kind::Integer;
  case SQL_REAL:
  case SQL_FLOAT:
  case SQL_DOUBLE:
  case SQL_DECIMAL:
  case SQL_NUMERIC:
    return Kind::Real;
  case SQL_BINARY:
  case SQL_VARBINARY:
  case SQL_LONGVARBINARY:
    return Kind::Blob;
  default:
    return Kind::Text;
  }
}

const char *DeclaredType(Kind kind) {
  switch (kind) {
  case Kind::Integer:
    return "INTEGER";
  case Kind::Real:
    return "REAL";
  case Kind::Blob:
    return "BLOB";
  default:
    return "TEXT";
  }
}

class TableCopier {
public:
  TableCopier(SQLHDBC connection, sqlite3 *db, std::string path, std::string name)
      : m_connection(connection), m_db(db), m_path(std::move(path)), m_name(std::move(name)) {}

  void Copy() {
    Handle statement(SQL_HANDLE_STMT);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, m_connection, &statement.handle))) {
      FailLoad(m_path, "no se puede leer la tabla " + m_name);
    }
    const std::wstring query = WideOf("SELECT * FROM [" + m_name + "]");
    if (!SQL_SUCCEEDED(SQLExecDirectW(
            statement.handle,
            const_cast<SQLWCHAR *>(reinterpret_cast<const SQLWCHAR *>(query.c_str())), SQL_NTS))) {
      const Diagnostic why = DiagnosticOf(statement);
      if (why.state == "42S02") {
        FailLoad(m_path, "falta la tabla " + m_name);
      }
      FailLoad(m_path, "la tabla " + m_name + " no se puede leer: " + why.message);
    }
    Describe(statement);
    std::vector<TableWriter::Column> columns;
    for (const Column &column : m_columns) {
      columns.push_back({column.name, DeclaredType(column.kind)});
    }
    TableWriter writer(m_db, m_path, m_name, columns);
    for (;;) {
      const SQLRETURN fetched = SQLFetch(statement.handle);
      if (fetched == SQL_NO_DATA) {
        break;
      }
      if (!SQL_SUCCEEDED(fetched)) {
        FailLoad(m_path,
                 "la tabla " + m_name + " no se puede leer: " + DiagnosticOf(statement).message);
      }
      CopyRow(statement, writer);
    }
  }

private:
  void Describe(const Handle &statement) {
    SQLSMALLINT count = 0;
    SQLNumResultCols(statement.handle, &count);
    if (count <= 0) {
      FailLoad(m_path, "la tabla " + m_name + " no tiene columnas");
    }
    for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(count); ++i) {
      SQLWCHAR name[256] = {};
      SQLSMALLINT name_length = 0;
      SQLSMALLINT type = 0;
      SQLULEN size = 0;
      SQLSMALLINT digits = 0;
      SQLSMALLINT nullable = 0;
      SQLDescribeColW(statement.handle, i, name, static_cast<SQLSMALLINT>(std::size(name)),
                      &name_length, &type, &size, &digits, &nullable);
      m_columns.push_back(
          {Utf8Of(reinterpret_cast<const wchar_t *>(name)), KindOf(type), type == SQL_BIGINT});
    }
  }

  // A value read in pieces as long as the driver has more of it; false when it is Null.
  template <typename Unit>
  bool ReadPieces(const Handle &statement, SQLUSMALLINT column, SQLSMALLINT c_type,
                  std::basic_string<Unit> &out) {
    out.clear();
    std::vector<Unit> piece(4096);
    for (;;) {
      SQLLEN indicator = 0;
      const SQLRETURN got =
          SQLGetData(statement.handle, column, c_type, piece.data(),
                     static_cast<SQLLEN>(piece.size() * sizeof(Unit)), &indicator);
      if (got == SQL_NO_DATA) {
        return true;
      }
      if (!SQL_SUCCEEDED(got)) {
        FailLoad(m_path,
                 "la tabla " + m_name + " no se puede leer: " + DiagnosticOf(statement).message);
      }
      if (indicator == SQL_NULL_DATA) {
        return false;
      }
      // A text piece ends with its terminator, which is not part of the value.
      const std::size_t room = piece.size() - (c_type == SQL_C_WCHAR ? 1 : 0);
      std::size_t units = room;
      if (indicator != SQL_NO_TOTAL && static_cast<std::size_t>(indicator) / sizeof(Unit) < room) {
        units = static_cast<std::size_t>(indicator) / sizeof(Unit);
      }
      out.append(piece.data(), units);
      if (got == SQL_SUCCESS) {
        return true;
      }
    }
  }

  void Got(const Handle &statement, SQLRETURN result) {
    if (!SQL_SUCCEEDED(result)) {
      FailLoad(m_path,
               "la tabla " + m_name + " no se puede leer: " + DiagnosticOf(statement).message);
    }
  }

  void CopyRow(const Handle &statement, TableWriter &writer) {
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
      writer.Set(i, ReadCell(statement, i));
    }
    writer.AddRow();
  }

  // The value of column i (0 is the first) of the row the driver has fetched.
  Cell ReadCell(const Handle &statement, std::size_t i) {
    const auto column = static_cast<SQLUSMALLINT>(i + 1);
    SQLLEN indicator = 0;
    switch (m_columns[i].kind) {
    case Kind::Integer: {
      // Access's numbers are 32 bits but for "Large Number"; each is asked as its size.
      std::int64_t value = 0;
      if (m_columns[i].large) {
        SQLBIGINT large = 0;
        Got(statement,
            SQLGetData(statement.handle, column, SQL_C_SBIGINT, &large, sizeof large, &indicator));
        value = large;
      } else {
        SQLINTEGER small = 0;
        Got(statement,
            SQLGetData(statement.handle, column, SQL_C_SLONG, &small, sizeof small, &indicator));
        value = small;
      }
      return indicator == SQL_NULL_DATA ? Cell{} : IntegerCell(value);
    }
    case Kind::Real: {
      double value = 0;
      Got(statement,
          SQLGetData(statement.handle, column, SQL_C_DOUBLE, &value, sizeof value, &indicator));
      return indicator == SQL_NULL_DATA ? Cell{} : RealCell(value);
    }
    case Kind::Blob: {
      std::string bytes;
      return ReadPieces(statement, column, SQL_C_BINARY, bytes) ? BlobCell(std::move(bytes))
                                                                : Cell{};
    }
    case Kind::Text: {
      std::wstring text;
      return ReadPieces(statement, column, SQL_C_WCHAR, text) ? TextCell(Utf8Of(text)) : Cell{};
    }
    }
    return Cell{};
  }

  struct Column {
    std::string name;
    Kind kind;
    bool large; // a 64-bit integer
  };

  SQLHDBC m_connection;
  sqlite3 *m_db;
  std::string m_path;
  std::string m_name;
  std::vector<Column> m_columns;
};

} // namespace

SqliteHandle ImportAccessThroughOdbc(const std::string &path) {
  Handle environment(SQL_HANDLE_ENV);
  Handle connection(SQL_HANDLE_DBC);
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment.handle)) ||
      !SQL_SUCCEEDED(SQLSetEnvAttr(environment.handle, SQL_ATTR_ODBC_VERSION,
                                   reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)) ||
      !SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment.handle, &connection.handle))) {
    FailOpen(path, "no se puede usar ODBC, con el que se leen las bases de datos de Access");
  }
  // The path is a value of the connection string, which a ";" ends: "C:\Datos; 2024\x.mdb"
  // would open "C:\Datos", or another database. Braces around it are not read alike by
  // every driver, so such a path is refused.
  if (path.find(';') != std::string::npos) {
    FailOpen(path, "su ruta contiene \";\", que el controlador ODBC de Access no admite; "
                   "cópiela a una carpeta cuyo nombre no lo tenga");
  }
  const std::wstring connect =
      std::wstring(L"Driver={") + kDriver + L"};DBQ=" + WideOf(path) + L";ReadOnly=1;Exclusive=0;";
  const SQLRETURN connected =
      SQLDriverConnectW(connection.handle, nullptr,
                        const_cast<SQLWCHAR *>(reinterpret_cast<const SQLWCHAR *>(connect.c_str())),
                        SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(connected)) {
    const Diagnostic why = DiagnosticOf(connection);
    if (why.state == "IM002" || why.state == "IM003") {
      FailOpen(path, "falta el controlador ODBC de Access (\"Microsoft Access Driver (*.mdb, "
                     "*.accdb)\"), que traen Office y Microsoft Access Database Engine de 64 "
                     "bits: instale este último, o use una base de datos SQLite convertida con "
                     "\"verdalia-cli import-mdb\" en un equipo que lo tenga");
    }
    FailOpen(path, why.message.empty() ? "el controlador de Access no la abre" : why.message);
  }
  // A connection is closed before its handle is freed, when a table cannot be read too.
  struct Disconnect {
    SQLHDBC connection;
    ~Disconnect() { SQLDisconnect(connection); }
  } disconnect{connection.handle};

  SqliteHandle db = NewAccessCopy(path);
  sqlite3 *raw = db.get();
  for (const char *table : kAccessTables) {
    TableCopier(connection.handle, raw, path, table).Copy();
  }
  sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
  return db;
}

} // namespace verdalia
