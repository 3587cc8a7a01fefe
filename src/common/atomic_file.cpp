#include "common/atomic_file.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/held_signals.h"
#include "common/path.h"
#include "common/replaceable.h"

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

// The hidden name beside the target: its folder as the path gives it, whatever separator or
// drive it is written with.
std::string TemporaryPathOf(const std::string &path) {
  const std::string_view name = FileNameOf(path);
  return path.substr(0, path.size() - name.size()) + TemporaryNameOf(name);
}

WriteOutcome Failure(int error) {
  return {false, error, std::strerror(error)};
}

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

// A file written whole and flushed to disk but not yet under its own name: a file without a
// name in the target's folder or, where the file system makes none, one under the hidden name
// (removed again unless it is put in place). The caller holds the interrupting signals from
// the first write to the last rename.
class StagedFile {
public:
  explicit StagedFile(const std::string &path) : m_path(path), m_temporary(TemporaryPathOf(path)) {}
  ~StagedFile() {
    if (m_unnamed >= 0) {
      ::close(m_unnamed);
    }
    if (m_named) {
      ::unlink(m_temporary.c_str());
    }
  }
  StagedFile(const StagedFile &) = delete;
  StagedFile &operator=(const StagedFile &) = delete;

  WriteOutcome Write(std::string_view bytes, ExistingFile existing, bool unnamed) {
    if (WriteOutcome target = CheckTarget(m_path, existing); !target.ok) {
      return target;
    }
    if (unnamed) {
      m_unnamed = ::open(FolderOf(m_path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
      if (m_unnamed >= 0) {
        const int error = WriteAll(m_unnamed, bytes);
        return error == 0 ? WriteOutcome{} : Failure(error);
      }
      if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return Failure(errno);
      }
    }
    return WriteNamed(bytes);
  }

  // Gives the written file the target's name; the hidden name is gone afterwards either way.
  WriteOutcome PutInPlace(std::string_view bytes, ExistingFile existing) {
    if (!m_named) {
      if (existing == ExistingFile::Keep) {
        const int error = LinkUnnamed(m_unnamed, m_path);
        return error == 0 ? WriteOutcome{} : Failure(error);
      }
      int error = LinkUnnamed(m_unnamed, m_temporary);
      if (error == EEXIST) {
        ::unlink(m_temporary.c_str()); // left by a write that was killed
        error = LinkUnnamed(m_unnamed, m_temporary);
      }
      if (error == EPERM || error == ENOENT) {
        // The system would not link it (no /proc, no right to link a descriptor).
        if (WriteOutcome written = WriteNamed(bytes); !written.ok) {
          return written;
        }
      } else if (error != 0) {
        return Failure(error);
      }
    }
    m_named = false;
    return verdalia::PutInPlace(m_temporary, m_path, existing);
  }

private:
  WriteOutcome WriteNamed(std::string_view bytes) {
    int fd = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) {
      // Left by a write that was killed: the next write of the same file replaces it.
      ::unlink(m_temporary.c_str());
      fd = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    }
    if (fd < 0) {
      return Failure(errno);
    }
    m_named = true;
    Descriptor file(fd);
    if (const int error = WriteAll(file.get(), bytes); error != 0) {
      return Failure(error);
    }
    if (file.Close() != 0) {
      return Failure(errno);
    }
    return {};
  }

  std::string m_path;
  std::string m_temporary;
  int m_unnamed = -1;   // the file without a name, open
  bool m_named = false; // the hidden name is there
};

// Every file written and flushed first, then all given their names one right after the
// other. The interrupting signals are held throughout, so that an interrupt finds either
// every file as it was or every file in place, and no hidden name.
WriteOutcome WriteFiles(const std::vector<FileWrite> &files, ExistingFile existing, bool unnamed,
                        std::size_t &failed) {
  const HeldSignals held;
  std::vector<std::unique_ptr<StagedFile>> staged;
  staged.reserve(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    staged.push_back(std::make_unique<StagedFile>(files[i].path));
    if (WriteOutcome written = staged.back()->Write(files[i].bytes, existing, unnamed);
        !written.ok) {
      failed = i;
      return written;
    }
  }
  // A system that refuses to replace a file another program holds refuses it before any
  // file takes its name, not between two of them.
  if (existing == ExistingFile::Replace) {
    for (std::size_t i = 0; i < files.size(); ++i) {
      if (WriteOutcome replaceable = CheckReplaceable(files[i].path); !replaceable.ok) {
        failed = i;
        return replaceable;
      }
    }
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (WriteOutcome placed = staged[i]->PutInPlace(files[i].bytes, existing); !placed.ok) {
      failed = i;
      return placed;
    }
  }
  return {};
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
  std::size_t failed = 0;
  return WriteFiles({{path, bytes}}, existing, true, failed);
}

WriteOutcome WriteFilesAtomically(const std::vector<FileWrite> &files, std::size_t &failed) {
  return WriteFiles(files, ExistingFile::Replace, true, failed);
}

WriteOutcome WriteFileAtomicallyThroughName(const std::string &path, std::string_view bytes,
                                            ExistingFile existing) {
  std::size_t failed = 0;
  return WriteFiles({{path, bytes}}, existing, false, failed);
}

} // namespace verdalia
