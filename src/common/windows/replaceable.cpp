// Windows does not replace a file that another program holds open without letting others
// delete it (a list open in a spreadsheet), nor one marked read-only. Asked first, so that
// the lists of one check are all put in place or none: otherwise the first would be the new
// check's and the second the earlier one's.
#include "common/replaceable.h"

#include <cerrno>
#include <cstring>

#include <windows.h>

#include "common/windows/wide.h"

namespace verdalia {

WriteOutcome CheckReplaceable(const std::string &path) {
  const std::wstring name = WidePathOf(path);
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return {}; // nothing there to replace; the rename tells any other trouble
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return {false, EACCES, "es de solo lectura"};
  }
  // Replacing a file deletes it: another program's handle that does not share deletion
  // refuses this open just as it would refuse the rename.
  HANDLE handle = CreateFileW(
      name.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return {};
  }
  const DWORD error = GetLastError();
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
    return {false, EACCES, "otro programa lo tiene abierto"};
  }
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    return {};
  }
  const int number = ErrnoOf(error);
  return {false, number, std::strerror(number)};
}

} // namespace verdalia
