// verdalia-cli: the verifications without the window, for batch use, scripts and CI.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/standard_output.h"
#include "common/file_mapping.h"

int main(int argc, char **argv) {
  verdalia::cli::HoldStandardDescriptors();
  std::vector<std::string> args = verdalia::cli::StartConsole(argc, argv);
  std::setlocale(LC_ALL, "");
  // Data files are viewed where they lie, guarded against another program cutting them.
  verdalia::InstallFileViewGuard();
  verdalia::cli::CheckedOutput output(1);
  std::ostream out(&output);
  int status = verdalia::cli::Main(args, out, std::cerr);
  // A listing that did not reach its end is no report: whatever the checks found, the run
  // failed.
  if (!output.Close()) {
    std::cerr << "verdalia-cli: no se pudo escribir la salida estándar: " << output.Error() << "\n";
    status = verdalia::cli::kExitRefused;
  }
  return status;
}
