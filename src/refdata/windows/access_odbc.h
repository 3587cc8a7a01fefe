#pragma once

#include <string>

#include "refdata/sqlite_source.h"

namespace verdalia {

// Windows: the six reference tables of an Access database read through the system's Access
// ODBC driver (part of Office, and of the free Microsoft Access Database Engine), copied into
// a new in-memory SQLite database as the Linux build copies them with libmdb. Throws
// ReferenceDataError; without the driver, one that says what to install.
SqliteHandle ImportAccessThroughOdbc(const std::string &path);

} // namespace verdalia
