#pragma once

#include <string>

#include "refdata/sqlite_source.h"

namespace verdalia {

// True when the path names an Access database (".mdb" or ".accdb", any case).
bool IsAccessDatabasePath(const std::string &path);

// Copies the six reference tables of an Access database into a new in-memory SQLite
// database, so that the same queries answer from both. Throws ReferenceDataError.
SqliteHandle ImportAccessDatabase(const std::string &path);

} // namespace verdalia
