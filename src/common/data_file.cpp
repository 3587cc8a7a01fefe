#include "common/data_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace verdalia {
namespace {

class FileDescriptor {
public:
  explicit FileDescriptor(int fd) : m_fd(fd) {}
  ~FileDescriptor() {
    if (m_fd >= 0) {
      ::close(m_fd);
    }
  }
  FileDescriptor(const FileDescriptor &) = delete;
  FileDescriptor &operator=(const FileDescriptor &) = delete;
  int get() const { return m_fd; }

private:
  int m_fd;
};

struct LineSpan {
  std::size_t offset;
  std::size_t length;
};

} // namespace

ReadResult ReadDataFile(const std::string &path, int expected_length, DataFile &out) {
  out = DataFile{};
  ReadResult result;

  // O_NONBLOCK: a named pipe without a writer must not hold the run; it is refused below.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) {
    result.status = ReadStatus::CannotOpen;
    result.reason = std::strerror(errno);
    return result;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    result.status = ReadStatus::ReadError;
    result.reason = std::strerror(errno);
    return result;
  }
  if (!S_ISREG(info.st_mode)) {
    result.status = ReadStatus::NotRegularFile;
    result.reason = S_ISDIR(info.st_mode) ? "es una carpeta" : "no es un archivo regular";
    return result;
  }
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags >= 0) {
    ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  }

  const std::size_t expected = expected_length < 0 ? 0 : static_cast<std::size_t>(expected_length);
  if (info.st_size > 0) {
    // Reserve what a valid file of this size can hold, never more than the record limit.
    const std::size_t limit = static_cast<std::size_t>(kMaxRecords) * (expected + 2);
    out.content.reserve(std::min<std::size_t>(static_cast<std::size_t>(info.st_size), limit));
  }

  std::vector<LineSpan> spans;
  std::size_t line_start = 0;
  std::size_t line_length = 0;
  bool line_open = false;
  bool after_cr = false;
  int lines = 0;

  // Closes the current line; false when reading must stop.
  auto finish_line = [&]() -> bool {
    ++lines;
    line_open = false;
    if (lines > kMaxRecords) {
      result.status = ReadStatus::TooManyLines;
      result.line_number = lines;
      return false;
    }
    // A negative line length in the reference data matches no line, not even an empty one.
    if (expected_length < 0 || line_length != expected) {
      result.status = ReadStatus::WrongLength;
      result.line_number = lines;
      result.line_length = line_length;
      return false;
    }
    spans.push_back({line_start, line_length});
    line_start = out.content.size();
    line_length = 0;
    return true;
  };

  std::array<char, 1 << 16> buffer{};
  for (;;) {
    const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      result.status = ReadStatus::ReadError;
      result.reason = std::strerror(errno);
      return result;
    }
    if (got == 0) {
      break;
    }
    const char *data = buffer.data();
    const std::size_t size = static_cast<std::size_t>(got);
    std::size_t pos = 0;
    while (pos < size) {
      if (after_cr) {
        after_cr = false;
        if (data[pos] == '\n') {
          ++pos;
          continue;
        }
      }
      const void *cr = std::memchr(data + pos, '\r', size - pos);
      const std::size_t end = cr ? static_cast<std::size_t>(static_cast<const char *>(cr) - data) : size;
      const std::size_t segment = end - pos;
      if (segment > 0) {
        line_open = true;
        // Hold no more of a line than one byte past the expected length: that is enough
        // to know it is wrong, and its full length is still counted.
        const std::size_t room = line_length <= expected ? expected + 1 - line_length : 0;
        out.content.insert(out.content.end(), data + pos, data + pos + std::min(segment, room));
        line_length += segment;
      }
      pos = end;
      if (cr) {
        ++pos;
        after_cr = true;
        if (!finish_line()) {
          return result;
        }
      }
    }
  }
  if (line_open && !finish_line()) {
    return result;
  }

  out.NroFilas = lines;
  out.Lineas.reserve(spans.size() + 1);
  out.Lineas.emplace_back();
  for (const LineSpan &span : spans) {
    out.Lineas.emplace_back(out.content.data() + span.offset, span.length);
  }
  return result;
}

} // namespace verdalia
