#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include <sqlite3.h>

#include "cli/import_mdb.h"

#include "cli/commands.h"
#include "refdata/mdb_source.h"
#include "refdata/reference_data.h"
#include "refdata/sqlite_source.h"

namespace verdalia::cli {
namespace {

// A file beside the target, removed at the end unless it was renamed into place.
class TemporaryFile {
public:
  explicit TemporaryFile(const std::filesystem::path &target) {
    std::random_device random;
    const std::filesystem::path folder =
        target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    m_path = folder / ("." + target.filename().string() + ".tmp" + std::to_string(random()));
  }
  ~TemporaryFile() {
    std::error_code ec;
    std::filesystem::remove(m_path, ec); // nothing is left when it was renamed into place
  }
  TemporaryFile(const TemporaryFile &) = delete;
  TemporaryFile &operator=(const TemporaryFile &) = delete;

  const std::filesystem::path &path() const { return m_path; }

private:
  std::filesystem::path m_path;
};

// Copies the whole in-memory database into a new file; empty when all went well.
std::string WriteDatabase(sqlite3 *source, const std::filesystem::path &path) {
  sqlite3 *raw = nullptr;
  const int rc =
      sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  const SqliteHandle target(raw);
  if (rc != SQLITE_OK) {
    return raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
  }
  sqlite3_backup *backup = sqlite3_backup_init(raw, "main", source, "main");
  if (!backup) {
    return sqlite3_errmsg(raw);
  }
  sqlite3_backup_step(backup, -1);
  if (sqlite3_backup_finish(backup) != SQLITE_OK) {
    return sqlite3_errmsg(raw);
  }
  return std::string();
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

// Whether OUT may be written: not a folder, and not there at all unless forced. Returns the
// exit status of a refusal, or kExitClean.
int CheckTarget(const ImportOptions &options, std::ostream &err) {
  std::error_code ec;
  const auto status = std::filesystem::status(options.out, ec);
  if (std::filesystem::is_directory(status)) {
    err << "verdalia-cli: import-mdb: " << options.out << " is a folder\n";
    return kExitRefused;
  }
  if (std::filesystem::exists(status) && !options.force) {
    err << "verdalia-cli: import-mdb: " << options.out
        << " already exists; use --force to replace it\n";
    return kExitRefused;
  }
  return kExitClean;
}

// Puts the written copy in place: over an existing database only when forced, else only
// where no file is, so one that appeared meanwhile is not replaced.
int PutInPlace(const ImportOptions &options, const TemporaryFile &temporary, std::ostream &err) {
  const std::filesystem::path target(options.out);
  std::error_code ec;
  if (options.force) {
    std::filesystem::rename(temporary.path(), target, ec);
  } else {
    std::filesystem::create_hard_link(temporary.path(), target, ec);
    if (ec == std::errc::file_exists) {
      err << "verdalia-cli: import-mdb: " << options.out
          << " already exists; use --force to replace it\n";
      return kExitRefused;
    }
    if (ec && !std::filesystem::exists(target)) {
      std::filesystem::rename(temporary.path(), target, ec); // a folder without hard links
    }
  }
  if (ec) {
    err << "verdalia-cli: import-mdb: cannot write " << options.out << ": " << ec.message() << "\n";
    return kExitRefused;
  }
  return kExitClean;
}

} // namespace

int RunImportMdb(const ImportOptions &options, std::ostream &out, std::ostream &err) {
  if (IsAccessDatabasePath(options.out)) {
    // A name ending in .mdb or .accdb would be read back as Access and never load.
    err << "verdalia-cli: import-mdb: OUT must be an SQLite database, not " << options.out
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
    err << "verdalia-cli: import-mdb: " << error.what() << "\n";
    return kExitReference;
  }

  const TemporaryFile temporary(options.out);
  if (const std::string why = WriteDatabase(db.get(), temporary.path()); !why.empty()) {
    err << "verdalia-cli: import-mdb: cannot write " << options.out << ": " << why << "\n";
    return kExitRefused;
  }
  if (const int status = PutInPlace(options, temporary, err); status != kExitClean) {
    return status;
  }
  out << "import-mdb: " << options.in << " -> " << options.out << ":";
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
