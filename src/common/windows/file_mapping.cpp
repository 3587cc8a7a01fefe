// Windows: data files are always read into memory, never viewed where they lie. A view of a
// file (a section) keeps other programs from cutting or replacing it while it exists, so the
// operator could not save the file in an editor while the window shows it; and a file cut
// under a view raises an exception, not a signal, that the guard here does not catch.
#include "common/windows/posix.h"

#include "common/file_mapping.h"

namespace verdalia {

FileStamp StampOf(const struct stat &info) {
  constexpr std::int64_t kNano = 1'000'000'000;
  return {info.st_dev, info.st_ino, static_cast<std::uint64_t>(info.st_size),
          static_cast<std::int64_t>(info.st_mtim.tv_sec) * kNano + info.st_mtim.tv_nsec,
          static_cast<std::int64_t>(info.st_ctim.tv_sec) * kNano + info.st_ctim.tv_nsec};
}

bool InstallFileViewGuard() {
  return false;
}

std::shared_ptr<const FileBytes> MapFile(int, const struct stat &) {
  return nullptr;
}

} // namespace verdalia
