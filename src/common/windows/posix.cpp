// The POSIX calls of posix.h, as Windows answers them (see there why each differs).
#include "common/windows/posix.h"

#include <cstdarg>
#include <cstring>
#include <string>

#include <windows.h>

#include "common/windows/wide.h"

namespace {

int Fail(DWORD error) {
  errno = verdalia::ErrnoOf(error);
  return -1;
}

timespec TimeOf(LARGE_INTEGER ticks) {
  // 100 ns ticks since 1601 to the Unix epoch's seconds and nanoseconds.
  constexpr std::int64_t kTicksPerSecond = 10'000'000;
  constexpr std::int64_t kEpochTicks = 116'444'736'000'000'000;
  const std::int64_t since_epoch = ticks.QuadPart - kEpochTicks;
  std::int64_t seconds = since_epoch / kTicksPerSecond;
  std::int64_t rest = since_epoch % kTicksPerSecond;
  if (rest < 0) {
    rest += kTicksPerSecond;
    --seconds;
  }
  timespec time{};
  time.tv_sec = static_cast<time_t>(seconds);
  time.tv_nsec = static_cast<long>(rest * 100);
  return time;
}

int StatusOf(HANDLE handle, struct verdalia_stat *info) {
  *info = {};
  switch (GetFileType(handle)) {
  case FILE_TYPE_DISK:
    break;
  case FILE_TYPE_PIPE:
    info->st_mode = _S_IFIFO;
    return 0;
  case FILE_TYPE_CHAR:
    info->st_mode = _S_IFCHR;
    return 0;
  default:
    if (GetLastError() != NO_ERROR) {
      return Fail(GetLastError());
    }
    info->st_mode = _S_IFCHR;
    return 0;
  }
  BY_HANDLE_FILE_INFORMATION file{};
  FILE_BASIC_INFO basic{};
  if (!GetFileInformationByHandle(handle, &file) ||
      !GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) {
    return Fail(GetLastError());
  }
  info->st_dev = file.dwVolumeSerialNumber;
  info->st_ino = (std::uint64_t{file.nFileIndexHigh} << 32) | file.nFileIndexLow;
  info->st_size =
      static_cast<std::int64_t>((std::uint64_t{file.nFileSizeHigh} << 32) | file.nFileSizeLow);
  if ((file.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    info->st_mode = S_IFLNK;
  } else if ((file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    info->st_mode = _S_IFDIR;
  } else {
    info->st_mode = _S_IFREG;
  }
  info->st_mode |= 0444 | ((file.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0 : 0222);
  info->st_mtim = TimeOf(basic.LastWriteTime);
  info->st_ctim = TimeOf(basic.ChangeTime.QuadPart != 0 ? basic.ChangeTime : basic.LastWriteTime);
  return 0;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

int StatusOfPath(const char *path, struct verdalia_stat *info, DWORD flags) {
  const std::wstring name = verdalia::WidePathOf(path);
  HANDLE handle = CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return Fail(GetLastError());
  }
  const int result = StatusOf(handle, info);
  CloseHandle(handle);
  return result;
}

} // namespace

int verdalia_stat(const char *path, struct verdalia_stat *info) {
  return StatusOfPath(path, info, 0);
}

int verdalia_lstat(const char *path, struct verdalia_stat *info) {
  return StatusOfPath(path, info, FILE_FLAG_OPEN_REPARSE_POINT);
}

int verdalia_fstat(int fd, struct verdalia_stat *info) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  return StatusOf(handle, info);
}

int verdalia_open(const char *path, int flags, ...) {
  if ((flags & O_TMPFILE) != 0) {
    errno = EINVAL;
    return -1;
  }
  DWORD access = 0;
  switch (flags & (O_RDONLY | O_WRONLY | O_RDWR)) {
  case O_WRONLY:
    access = GENERIC_WRITE;
    break;
  case O_RDWR:
    access = GENERIC_READ | GENERIC_WRITE;
    break;
  default:
    access = GENERIC_READ;
    break;
  }
  DWORD creation = OPEN_EXISTING;
  if ((flags & O_CREAT) != 0) {
    creation = (flags & O_EXCL) ? CREATE_NEW : (flags & O_TRUNC) ? CREATE_ALWAYS : OPEN_ALWAYS;
  } else if ((flags & O_TRUNC) != 0) {
    creation = TRUNCATE_EXISTING;
  }
  // The null device has another name there.
  const std::wstring name =
      std::strcmp(path, "/dev/null") == 0 ? std::wstring(L"NUL") : verdalia::WidePathOf(path);
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  if (access == GENERIC_READ) {
    // A folder opens for reading as on Linux; its status then tells what it is.
    attributes |= FILE_FLAG_BACKUP_SEMANTICS;
  }
  SECURITY_ATTRIBUTES security{sizeof security, nullptr, (flags & O_CLOEXEC) ? FALSE : TRUE};
  HANDLE handle =
      CreateFileW(name.c_str(), access, kShareAll, &security, creation, attributes, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return Fail(GetLastError());
  }
  const int crt_flags = (access == GENERIC_READ ? _O_RDONLY : 0) | _O_BINARY;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), crt_flags);
  if (fd < 0) {
    CloseHandle(handle);
    errno = EMFILE;
    return -1;
  }
  _setmode(fd, _O_BINARY);
  return fd;
}

int verdalia_rename(const char *from, const char *to) {
  if (!MoveFileExW(verdalia::WidePathOf(from).c_str(), verdalia::WidePathOf(to).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return Fail(GetLastError());
  }
  return 0;
}

// Where a file must take a name only if none is there, a move that does not replace does
// it in one step; the old name is gone afterwards, which the callers remove anyway.
int verdalia_link(const char *from, const char *to) {
  if (!MoveFileExW(verdalia::WidePathOf(from).c_str(), verdalia::WidePathOf(to).c_str(),
                   MOVEFILE_WRITE_THROUGH)) {
    return Fail(GetLastError());
  }
  return 0;
}

int verdalia_linkat(int, const char *, int, const char *, int) {
  errno = EPERM;
  return -1;
}

int verdalia_unlink(const char *path) {
  if (!DeleteFileW(verdalia::WidePathOf(path).c_str())) {
    return Fail(GetLastError());
  }
  return 0;
}

int verdalia_rmdir(const char *path) {
  if (!RemoveDirectoryW(verdalia::WidePathOf(path).c_str())) {
    return Fail(GetLastError());
  }
  return 0;
}

char *verdalia_mkdtemp(char *name_template) {
  const std::size_t length = std::strlen(name_template);
  if (length < 6 || std::strcmp(name_template + length - 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return nullptr;
  }
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::uint64_t seed = GetTickCount64() ^ (std::uint64_t{GetCurrentProcessId()} << 32);
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (std::size_t i = length - 6; i < length; ++i) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      name_template[i] = kLetters[(seed >> 33) % (sizeof kLetters - 1)];
    }
    if (CreateDirectoryW(verdalia::WidePathOf(name_template).c_str(), nullptr)) {
      return name_template;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      Fail(GetLastError());
      return nullptr;
    }
  }
  errno = EEXIST;
  return nullptr;
}

ssize_t verdalia_pread(int fd, void *buffer, std::size_t count, std::int64_t offset) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset));
  at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
  DWORD got = 0;
  const DWORD asked = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
  if (!ReadFile(handle, buffer, asked, &got, &at)) {
    if (GetLastError() == ERROR_HANDLE_EOF) {
      return 0;
    }
    return Fail(GetLastError());
  }
  return static_cast<ssize_t>(got);
}

int verdalia_fsync(int fd) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  return FlushFileBuffers(handle) ? 0 : Fail(GetLastError());
}

// Windows file systems let a reader read while another program writes: there is no write
// under way to wait for, and the file's stamps and the second reading are all there is.
std::int64_t verdalia_lseek(int fd, std::int64_t offset, int whence) {
  if (whence == SEEK_DATA) {
    return offset;
  }
  return _lseeki64(fd, offset, whence);
}

int verdalia_fcntl(int fd, int command, ...) {
  if (_get_osfhandle(fd) == -1) {
    errno = EBADF;
    return -1;
  }
  switch (command) {
  case F_GETFD:
  case F_GETFL:
  case F_SETFL: // no descriptor flags to change: nothing blocks on a disk file
    return 0;
  default:
    errno = EINVAL;
    return -1;
  }
}
