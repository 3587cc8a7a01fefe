#include "common/windows/wide.h"

#include <cerrno>

#include <windows.h>

namespace verdalia {

std::wstring WideOf(std::string_view utf8) {
  if (utf8.empty()) {
    return {};
  }
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8Of(std::wstring_view wide) {
  if (wide.empty()) {
    return {};
  }
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

std::wstring WidePathOf(std::string_view utf8) {
  std::wstring wide = WideOf(utf8);
  if (wide.rfind(L"\\\\?\\", 0) == 0 || wide.rfind(L"\\\\.\\", 0) == 0) {
    return wide; // whole already, or a device
  }
  // The full path as the system makes it of the name: the current folder (or the drive's)
  // before a relative one, "/" as "\\", "." and ".." gone.
  const DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (length == 0) {
    return wide;
  }
  std::wstring full(length, L'\0');
  const DWORD written = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
  // The shortest a folder refuses to be made under: 12 characters fewer than a file.
  constexpr DWORD kLong = MAX_PATH - 12;
  if (written == 0 || written >= length || written < kLong) {
    return wide;
  }
  full.resize(written);
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') {
    return L"\\\\?\\" + full;
  }
  if (full.rfind(L"\\\\", 0) == 0 && full.rfind(L"\\\\?\\", 0) != 0 &&
      full.rfind(L"\\\\.\\", 0) != 0) {
    return L"\\\\?\\UNC\\" + full.substr(2);
  }
  return wide;
}

int ErrnoOf(unsigned long error) {
  switch (error) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
  case ERROR_INVALID_DRIVE:
  case ERROR_BAD_NETPATH:
  case ERROR_BAD_NET_NAME:
  case ERROR_INVALID_NAME:
  case ERROR_BAD_PATHNAME:
  case ERROR_DIRECTORY:
    return ENOENT;
  case ERROR_FILE_EXISTS:
  case ERROR_ALREADY_EXISTS:
    return EEXIST;
  case ERROR_ACCESS_DENIED:
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION:
  case ERROR_WRITE_PROTECT:
  case ERROR_CANNOT_MAKE:
    return EACCES;
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL:
    return ENOSPC;
  case ERROR_NOT_ENOUGH_MEMORY:
  case ERROR_OUTOFMEMORY:
    return ENOMEM;
  case ERROR_INVALID_HANDLE:
    return EBADF;
  case ERROR_DIR_NOT_EMPTY:
    return ENOTEMPTY;
  case ERROR_NOT_SAME_DEVICE:
    return EXDEV;
  case ERROR_FILENAME_EXCED_RANGE:
    return ENAMETOOLONG;
  case ERROR_BROKEN_PIPE:
  case ERROR_NO_DATA:
    return EPIPE;
  case ERROR_INVALID_PARAMETER:
    return EINVAL;
  default:
    return EIO;
  }
}

} // namespace verdalia
