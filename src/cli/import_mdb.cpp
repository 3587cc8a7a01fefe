#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include <sqlite3.h>

#include "cli/commands.h"
#include "refdata/mdb_source.h"
#include "refdata/reference_data.h"
#include "refdata/sqlite_source.h"

namespace verdalia::cli {
namespace {

constexpr const char *kImportUsage = R"(usage: verdalia-cli import-mdb [--force] IN.mdb OUT.db

Copies the six reference tables of an Access database (.mdb or .accdb) into a new SQLite
reference database, columns and rows as they are. IN must load as a reference database;
an existing OUT is replaced only with --force, and never half-written.
)";

int ImportUsage(std::ostream &err, const std::string &problem) {
  err << "verdalia-cli: import-mdb: " << problem << "\n"
      << "Try 'verdalia-cli import-mdb --help'.\n";
  return kExitUsage;
}

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

} // namespace

int RunImportMdb(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
  bool force = false;
  bool only_paths = false;
  std::vector<std::string> paths;
  for (const std::string &arg : args) {
    if (only_paths || arg.empty() || arg[0] != '-' || arg == "-") {
      paths.push_back(arg);
    } else if (arg == "--") {
      only_paths = true;
    } else if (arg == "--force") {
      force = true;
    } else if (arg == "--help" || arg == "-h") {
      out << kImportUsage;
      return kExitClean;
    } else {
      return ImportUsage(err, "unknown option " + arg);
    }
  }
  if (paths.size() != 2) {
    return ImportUsage(err, "needs the Access database IN and the SQLite database OUT");
  }
  const std::string &in = paths[0];
  const std::filesystem::path target(paths[1]);
  if (IsAccessDatabasePath(paths[1])) {
    // A name ending in .mdb or .accdb would be read back as Access and never load.
    return ImportUsage(err, "OUT must be an SQLite database, not " + paths[1]);
  }

  std::error_code ec;
  const auto status = std::filesystem::status(target, ec);
  if (std::filesystem::is_directory(status)) {
    err << "verdalia-cli: import-mdb: " << paths[1] << " is a folder\n";
    return kExitRefused;
  }
  if (std::filesystem::exists(status) && !force) {
    err << "verdalia-cli: import-mdb: " << paths[1]
        << " already exists; use --force to replace it\n";
    return kExitRefused;
  }

  SqliteHandle db;
  try {
    db = ImportAccessDatabase(in);
    // What is written must be what start-up accepts.
    LoadFromConnection(db.get(), in);
  } catch (const ReferenceDataError &error) {
    err << "verdalia-cli: import-mdb: " << error.what() << "\n";
    return kExitReference;
  }

  TemporaryFile temporary(target);
  if (const std::string why = WriteDatabase(db.get(), temporary.path()); !why.empty()) {
    err << "verdalia-cli: import-mdb: cannot write " << paths[1] << ": " << why << "\n";
    return kExitRefused;
  }
  if (force) {
    std::filesystem::rename(temporary.path(), target, ec);
  } else {
    // A link is made only where no file is: one that appeared meanwhile is not replaced.
    std::filesystem::create_hard_link(temporary.path(), target, ec);
    if (ec == std::errc::file_exists) {
      err << "verdalia-cli: import-mdb: " << paths[1]
          << " already exists; use --force to replace it\n";
      return kExitRefused;
    }
    if (ec && !std::filesystem::exists(target)) {
      std::filesystem::rename(temporary.path(), target, ec); // a folder without hard links
    }
  }
  if (ec) {
    err << "verdalia-cli: import-mdb: cannot write " << paths[1] << ": " << ec.message() << "\n";
    return kExitRefused;
  }

  out << "import-mdb: " << in << " -> " << paths[1] << ":";
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
