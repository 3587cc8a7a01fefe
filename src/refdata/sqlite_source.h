#pragma once

#include <memory>
#include <string>

#include <sqlite3.h>

#include "common/held_signals.h"
#include "refdata/reference_data.h"

namespace verdalia {

struct SqliteCloser {
  void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;

// An SQLite reference database open read-only. A database in WAL mode is read from a private
// copy of the file and its "-wal" (the transactions not yet moved into the file are part of
// the database), so that nothing is ever created beside it and a read-only folder serves as
// well as any; the copy's folder is removed when the database is closed. The interrupting
// signals are held while the copy is there, so that an interrupt never leaves it behind.
class ReadOnlyDatabase {
public:
  ReadOnlyDatabase(SqliteHandle db, std::string copy_folder,
                   std::unique_ptr<HeldSignals> held = nullptr);
  ReadOnlyDatabase(ReadOnlyDatabase &&other) noexcept;
  ReadOnlyDatabase &operator=(ReadOnlyDatabase &&) = delete;
  ~ReadOnlyDatabase();

  sqlite3 *get() const { return m_db.get(); }

private:
  std::unique_ptr<HeldSignals> m_held; // while there is a copy; released last
  std::string m_copy_folder;           // empty when the database is read where it lies
  SqliteHandle m_db;
};

// Opens an SQLite file read-only; the program never writes the reference database.
ReadOnlyDatabase OpenSqliteReadOnly(const std::string &path);

// Runs the start-up queries on an open database, in their order, and builds the in-memory
// forms. `source` names the database in messages. Refuses a row that cannot be applied, and
// a query that does not end or outgrows its bounds of rows and memory; whether the rows
// leave a kind unchecked is start-up's to judge (LoadReferenceData). Throws
// ReferenceDataError.
ReferenceData LoadFromConnection(sqlite3 *db, const std::string &source);

// The refusal of a load that ran out of memory.
ReferenceDataError OutOfMemory(const std::string &source);

} // namespace verdalia
