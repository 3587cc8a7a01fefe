// Windows: the C runtime opens the standard streams in text mode, which writes every LF as
// CR LF and would change the listings' bytes; the console shows the ANSI code page unless
// told that the bytes are UTF-8; and the narrow arguments main receives are in the ANSI code
// page, where a name with "ñ" is lost: they are taken from the wide command line instead.
#include "cli/console.h"

#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h> // after windows.h, which it needs

#include "common/windows/wide.h"

namespace verdalia::cli {
namespace {

UINT g_console_page = 0;

void RestoreConsolePage() {
  if (g_console_page != 0) {
    SetConsoleOutputCP(g_console_page);
  }
}

} // namespace

std::vector<std::string> StartConsole(int argc, char **argv) {
  for (int fd = 0; fd <= 2; ++fd) {
    _setmode(fd, _O_BINARY);
  }
  g_console_page = GetConsoleOutputCP();
  if (g_console_page != 0 && g_console_page != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
    std::atexit(RestoreConsolePage);
  } else {
    g_console_page = 0;
  }
  std::vector<std::string> args;
  int count = 0;
  LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    return std::vector<std::string>(argv + 1, argv + argc);
  }
  for (int i = 1; i < count; ++i) {
    args.push_back(Utf8Of(wide[i]));
  }
  LocalFree(wide);
  return args;
}

} // namespace verdalia::cli
