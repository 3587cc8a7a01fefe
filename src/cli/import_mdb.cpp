#include <ostream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace verdalia::cli {

int RunImportMdb(const std::vector<std::string> &, std::ostream &, std::ostream &err) {
  err << "verdalia-cli: import-mdb is not available yet\n";
  return kExitUsage;
}

} // namespace verdalia::cli
