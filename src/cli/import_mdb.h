#pragma once

#include <ostream>
#include <string>

namespace verdalia::cli {

inline constexpr const char *kImportUsage =
    R"(usage: verdalia-cli import-mdb [--force] IN.mdb OUT.db

Copies the six reference tables of an Access database (.mdb or .accdb) into a new SQLite
reference database, columns and rows as they are. IN must load as a reference database;
an existing OUT is replaced only with --force, and never half-written.
)";

struct ImportOptions {
  std::string in;  // the Access database
  std::string out; // the SQLite database to write
  bool force = false;
};

// import-mdb: copies the Access database into a new SQLite one, whole or not at all.
int RunImportMdb(const ImportOptions &options, std::ostream &out, std::ostream &err);

} // namespace verdalia::cli
