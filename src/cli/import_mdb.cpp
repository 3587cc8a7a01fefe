#include <cerrno>
#include <filesystem>
#include <new>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include <sqlite3.h>

#include "cli/import_mdb.h"

#include "cli/commands.h"
#include "cli/report_writer.h"
#include "common/atomic_file.h"
#include "common/path.h"
#include "refdata/mdb_source.h"
#include "refdata/reference_data.h"
#include "refdata/sqlite_source.h"

namespace verdalia::cli {
namespace {

// The whole in-memory database as the bytes of an SQLite file; empty when it cannot be had.
std::string DatabaseBytes(sqlite3 *db) {
  sqlite3_int64 size = 0;
  unsigned char *bytes = sqlite3_serialize(db, "main", &size, 0);
  if (bytes == nullptr) {
    return {};
  }
  std::string copy(reinterpret_cast<const char *>(bytes), static_cast<std::size_t>(size));
  sqlite3_free(bytes);
  return copy;
}

long long RowCount(sqlite3 *db, const char *table) {
  sqlite3_stmt *stmt = nullptr;
  long long count = 0;
  const std::string sql = std::string("SELECT COUNT(*) FROM \"") + table + "\"";
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    count = sqlite3_column_int64(stmt, 0);
  }
  sqlite3_finalize(stmt);
  return count;
}

// Whether OUT may be written: not a folder, not the Access database itself under any name
// (a link, another spelling of its path), and not there at all unless forced. Returns the
// exit status of a refusal, or kExitClean.
int CheckTarget(const ImportOptions &options, std::ostream &err) {
  std::error_code ec;
  const auto status = std::filesystem::status(FileSystemPath(options.out), ec);
  if (std::filesystem::is_directory(status)) {
    err << "verdalia-cli: import-mdb: " << Printable(options.out) << " is a folder\n";
    return kExitRefused;
  }
  if (std::filesystem::exists(status) && std::filesystem::equivalent(FileSystemPath(options.in), FileSystemPath(options.out), ec)) {
    err << "verdalia-cli: import-mdb: " << Printable(options.out)
        << " is the Access database itself; it is never replaced\n";
    return kExitRefused;
  }
  if (std::filesystem::exists(status) && !options.force) {
    err << "verdalia-cli: import-mdb: " << Printable(options.out)
        << " already exists; use --force to replace it\n";
    return kExitRefused;
  }
  return kExitClean;
}

} // namespace

int RunImportMdb(const ImportOptions &options, std::ostream &out, std::ostream &err) {
  if (IsAccessDatabasePath(options.out)) {
    // A name ending in .mdb or .accdb would be read back as Access and never load.
    err << "verdalia-cli: import-mdb: OUT must be an SQLite database, not " << Printable(options.out)
        << "\nTry 'verdalia-cli import-mdb --help'.\n";
    return kExitUsage;
  }
  if (const int status = CheckTarget(options, err); status != kExitClean) {
    return status;
  }
  SqliteHandle db;
  try {
    db = ImportAccessDatabase(options.in);
    // What is written must be what start-up accepts.
    LoadFromConnection(db.get(), options.in);
  } catch (const ReferenceDataError &error) {
    err << "verdalia-cli: import-mdb: " << Printable(error.what()) << "\n";
    return kExitReference;
  } catch (const std::bad_alloc &) {
    err << "verdalia-cli: import-mdb: no hay memoria suficiente para leer " << Printable(options.in)
        << "\n";
    return kExitReference;
  }

  // Written whole or not at all; without --force, never over a file that appeared meanwhile.
  const std::string bytes = DatabaseBytes(db.get());
  if (bytes.empty()) {
    err << "verdalia-cli: import-mdb: cannot write " << Printable(options.out)
        << ": no se pudo copiar la base de datos en memoria\n";
    return kExitRefused;
  }
  const WriteOutcome written = WriteFileAtomically(
      options.out, bytes, options.force ? ExistingFile::Replace : ExistingFile::Keep);
  if (!written.ok && written.error == EEXIST) {
    err << "verdalia-cli: import-mdb: " << Printable(options.out)
        << " already exists; use --force to replace it\n";
    return kExitRefused;
  }
  if (!written.ok) {
    err << "verdalia-cli: import-mdb: cannot write " << Printable(options.out) << ": "
        << written.reason << "\n";
    return kExitRefused;
  }
  out << "import-mdb: " << Printable(options.in) << " -> " << Printable(options.out) << ":";
  const char *separator = " ";
  for (const char *table : {"DefArchivo", "TipoArchivo", "COMUNA", "CULTIVO", "TipoCultivoUniFisc",
                            "RegionComunaZHS"}) {
    out << separator << table << " " << RowCount(db.get(), table);
    separator = ", ";
  }
  out << " rows\n";
  return kExitClean;
}

} // namespace verdalia::cli
