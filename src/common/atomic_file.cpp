#include "common/atomic_file.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/path.h"

namespace verdalia {
namespace {

// The folder of a path, as open() takes it.
std::string FolderOf(const std::string &path) {
  const std::string_view name = FileNameOf(path);
  if (name.size() == path.size()) {
    return ".";
  }
  const std::size_t folder_length = path.size() - name.size();
  return folder_length == 1 ? std::string("/") : path.substr(0, folder_length - 1);
}

WriteOutcome Failure(int error) {
  return {false, error, std::strerror(error)};
}

// Holds SIGINT, SIGTERM, SIGHUP and SIGQUIT while a temporary file has a name, so that an
// interrupt ends the process only once the name is gone again; they arrive when released.
class HeldSignals {
public:
  HeldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
      sigaddset(&held, signal);
    }
    pthread_sigmask(SIG_BLOCK, &held, &m_previous);
  }
  ~HeldSignals() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
  HeldSignals(const HeldSignals &) = delete;
  HeldSignals &operator=(const HeldSignals &) = delete;

private:
  sigset_t m_previous;
};

class Descriptor {
public:
  explicit Descriptor(int fd) : m_fd(fd) {}
  ~Descriptor() {
    if (m_fd >= 0) {
      ::close(m_fd);
    }
  }
  Descriptor(const Descriptor &) = delete;
  Descriptor &operator=(const Descriptor &) = delete;
  int get() const { return m_fd; }
  // Closes it now, reporting what close says (some file systems report a failed write
  // only there).
  int Close() {
    const int result = ::close(m_fd);
    m_fd = -1;
    return result;
  }

private:
  int m_fd;
};

// Writes every byte and flushes them to disk; 0 or the system's error number.
int WriteAll(int fd, std::string_view bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      return errno;
    }
    written += static_cast<std::size_t>(count);
  }
  return ::fsync(fd) == 0 ? 0 : errno;
}

// Refuses a path that names a folder, a device, a pipe or a link, and one that is there when
// it must be kept.
WriteOutcome CheckTarget(const std::string &path, ExistingFile existing) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    return {};
  }
  if (!S_ISREG(info.st_mode)) {
    return {false, EINVAL, "no es un archivo regular"};
  }
  if (existing == ExistingFile::Keep) {
    return Failure(EEXIST);
  }
  return {};
}

// Gives the complete file `temporary` the target's name: over the old one, or only where
// none is when it is to be kept. The temporary name is gone afterwards either way.
WriteOutcome PutInPlace(const std::string &temporary, const std::string &path,
                        ExistingFile existing) {
  int error = 0;
  if (existing == ExistingFile::Keep) {
    error = ::link(temporary.c_str(), path.c_str()) == 0 ? 0 : errno;
    ::unlink(temporary.c_str());
  } else if (::rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
    ::unlink(temporary.c_str());
  }
  return error == 0 ? WriteOutcome{} : Failure(error);
}

// Links the file without a name open on `fd` at `target`; 0 or the system's error number.
int LinkUnnamed(int fd, const std::string &target) {
  const std::string proc = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    return 0;
  }
  if (errno == EEXIST) {
    return EEXIST;
  }
  // Without /proc, the descriptor itself, where the process may link it.
  return ::linkat(fd, "", AT_FDCWD, target.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

// The named way: the hidden file is made, written and renamed with the signals held.
WriteOutcome WriteThroughName(const std::string &path, std::string_view bytes,
                              ExistingFile existing) {
  const std::string temporary = JoinPath(FolderOf(path), TemporaryNameOf(FileNameOf(path)));
  const HeldSignals held;
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST) {
    // Left by a write that was killed: the next write of the same file replaces it.
    ::unlink(temporary.c_str());
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  }
  if (fd < 0) {
    return Failure(errno);
  }
  Descriptor file(fd);
  if (const int error = WriteAll(file.get(), bytes); error != 0) {
    ::unlink(temporary.c_str());
    return Failure(error);
  }
  if (file.Close() != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return Failure(error);
  }
  return PutInPlace(temporary, path, existing);
}

} // namespace

std::string TemporaryNameOf(std::string_view file_name) {
  std::string name = ".~";
  name.append(file_name);
  // NAME_MAX bytes at most, as the target's own name: its end gives way.
  if (name.size() > NAME_MAX) {
    name.resize(file_name.size());
  }
  return name;
}

WriteOutcome WriteFileAtomically(const std::string &path, std::string_view bytes,
                                 ExistingFile existing) {
  if (WriteOutcome target = CheckTarget(path, existing); !target.ok) {
    return target;
  }
  const int fd = ::open(FolderOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
      return WriteThroughName(path, bytes, existing);
    }
    return Failure(errno);
  }
  Descriptor file(fd);
  if (const int error = WriteAll(file.get(), bytes); error != 0) {
    return Failure(error);
  }
  if (existing == ExistingFile::Keep) {
    const int error = LinkUnnamed(file.get(), path);
    return error == 0 ? WriteOutcome{} : Failure(error);
  }
  const std::string temporary = JoinPath(FolderOf(path), TemporaryNameOf(FileNameOf(path)));
  const HeldSignals held;
  int error = LinkUnnamed(file.get(), temporary);
  if (error == EEXIST) {
    ::unlink(temporary.c_str()); // left by a write that was killed
    error = LinkUnnamed(file.get(), temporary);
  }
  if (error == EPERM || error == ENOENT) {
    // The system would not link it (no /proc, no right to link a descriptor).
    return WriteThroughName(path, bytes, existing);
  }
  if (error != 0) {
    return Failure(error);
  }
  return PutInPlace(temporary, path, existing);
}

WriteOutcome WriteFileAtomicallyThroughName(const std::string &path, std::string_view bytes,
                                            ExistingFile existing) {
  if (WriteOutcome target = CheckTarget(path, existing); !target.ok) {
    return target;
  }
  return WriteThroughName(path, bytes, existing);
}

} // namespace verdalia
