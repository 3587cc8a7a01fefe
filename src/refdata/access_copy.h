#pragma once

// What the two readers of Access databases share (libmdb's on Linux, mdb_source.cpp; the
// ODBC driver's on Windows, windows/access_odbc.cpp): both copy the same tables into a new
// in-memory SQLite database, refuse in the same words, and write each table through a
// TableWriter; their refusals are the reference data's (FailOpen, FailLoad). Each reader maps its
// own column types to SQLite's declared types.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "refdata/sqlite_source.h"

namespace verdalia {

// The tables start-up reads, in the order they are copied.
inline constexpr std::array<const char *, 6> kAccessTables = {
    "DefArchivo", "TipoArchivo", "COMUNA", "CULTIVO", "TipoCultivoUniFisc", "RegionComunaZHS"};

// An identifier for SQLite's statements, between double quotes.
std::string Quoted(const std::string &identifier);

// The new in-memory database the tables are copied into, a transaction begun: the reader
// commits it once every table is in.
SqliteHandle NewAccessCopy(const std::string &path);

// One value on its way from a row to SQLite.
struct Cell {
  enum class Kind { Null, Integer, Real, Text, Blob } kind = Kind::Null;
  std::int64_t integer = 0;
  double real = 0;
  std::string bytes; // UTF-8 text or blob bytes
};

Cell IntegerCell(std::int64_t value);
Cell RealCell(double value);
Cell TextCell(std::string utf8);
Cell BlobCell(std::string bytes);

// One table of the copy: created with its columns in the reader's order, then filled a row
// at a time. Every failure is a FailLoad that names the table.
class TableWriter {
public:
  struct Column {
    std::string name;
    const char *declared_type; // "INTEGER", "REAL", "TEXT" or "BLOB"
  };

  TableWriter(sqlite3 *db, std::string path, std::string table, const std::vector<Column> &columns);

  // The value of one column (0 is the first) of the row being built.
  void Set(std::size_t column, const Cell &cell);
  // Adds the row whose values were set.
  void AddRow();

private:
  struct StatementCloser {
    void operator()(sqlite3_stmt *stmt) const { sqlite3_finalize(stmt); }
  };
  [[noreturn]] void CannotCopy(const std::string &why) const;

  sqlite3 *m_db;
  std::string m_path;
  std::string m_table;
  std::unique_ptr<sqlite3_stmt, StatementCloser> m_insert;
};

} // namespace verdalia
