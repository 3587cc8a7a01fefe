#include "refdata/access_copy.h"

#include <utility>

namespace verdalia {

std::string Quoted(const std::string &identifier) {
  std::string out = "\"";
  for (const char c : identifier) {
    out += c;
    if (c == '"') {
      out += '"';
    }
  }
  return out + "\"";
}

SqliteHandle NewAccessCopy(const std::string &path) {
  sqlite3 *raw = nullptr;
  const int rc =
      sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  SqliteHandle db(raw);
  if (rc != SQLITE_OK) {
    FailOpen(path, std::string("no se puede crear la copia en memoria: ") +
                       (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
  }
  sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr);
  return db;
}

Cell IntegerCell(std::int64_t value) {
  Cell cell;
  cell.kind = Cell::Kind::Integer;
  cell.integer = value;
  return cell;
}

Cell RealCell(double value) {
  Cell cell;
  cell.kind = Cell::Kind::Real;
  cell.real = value;
  return cell;
}

Cell TextCell(std::string utf8) {
  Cell cell;
  cell.kind = Cell::Kind::Text;
  cell.bytes = std::move(utf8);
  return cell;
}

Cell BlobCell(std::string bytes) {
  Cell cell;
  cell.kind = Cell::Kind::Blob;
  cell.bytes = std::move(bytes);
  return cell;
}

// The table in SQLite, its columns in the same order, and the statement that adds a row.
TableWriter::TableWriter(sqlite3 *db, std::string path, std::string table,
                         const std::vector<Column> &columns)
    : m_db(db), m_path(std::move(path)), m_table(std::move(table)) {
  std::string create = "CREATE TABLE " + Quoted(m_table) + " (";
  std::string insert = "INSERT INTO " + Quoted(m_table) + " VALUES (";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    create += (i ? ", " : "") + Quoted(columns[i].name) + " " + columns[i].declared_type;
    insert += i ? ", ?" : "?";
  }
  create += ")";
  insert += ")";
  char *error = nullptr;
  if (sqlite3_exec(m_db, create.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string why = error ? error : "error de SQLite";
    sqlite3_free(error);
    CannotCopy(why);
  }
  sqlite3_stmt *stmt = nullptr;
  if (sqlite3_prepare_v2(m_db, insert.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    CannotCopy(sqlite3_errmsg(m_db));
  }
  m_insert.reset(stmt);
}

void TableWriter::Set(std::size_t column, const Cell &cell) {
  sqlite3_stmt *insert = m_insert.get();
  const int param = static_cast<int>(column) + 1;
  switch (cell.kind) {
  case Cell::Kind::Null:
    sqlite3_bind_null(insert, param);
    break;
  case Cell::Kind::Integer:
    sqlite3_bind_int64(insert, param, cell.integer);
    break;
  case Cell::Kind::Real:
    sqlite3_bind_double(insert, param, cell.real);
    break;
  case Cell::Kind::Text:
    sqlite3_bind_text(insert, param, cell.bytes.data(), static_cast<int>(cell.bytes.size()),
                      SQLITE_TRANSIENT);
    break;
  case Cell::Kind::Blob:
    sqlite3_bind_blob(insert, param, cell.bytes.data(), static_cast<int>(cell.bytes.size()),
                      SQLITE_TRANSIENT);
    break;
  }
}

void TableWriter::AddRow() {
  sqlite3_stmt *insert = m_insert.get();
  if (sqlite3_step(insert) != SQLITE_DONE) {
    CannotCopy(sqlite3_errmsg(m_db));
  }
  sqlite3_reset(insert);
}

void TableWriter::CannotCopy(const std::string &why) const {
  FailLoad(m_path, "no se puede copiar la tabla " + m_table + ": " + why);
}

} // namespace verdalia
