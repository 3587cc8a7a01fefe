#include "refdata/mdb_source.h"

#include <algorithm>
#include <cctype>

namespace verdalia {

bool IsAccessDatabasePath(const std::string &path) {
  std::string lower(path);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower.ends_with(".mdb") || lower.ends_with(".accdb");
}

SqliteHandle ImportAccessDatabase(const std::string &path) {
  throw ReferenceDataError("No se puede leer la base de datos Access \"" + path +
                           "\": lectura de Access no disponible");
}

} // namespace verdalia
