#include "common/data_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
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

// Blocks of this size and more are laid out on huge-page boundaries and advised as such.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Bytes asked of the system per read: large enough to cost few calls, small enough that a
// huge line is counted without being held.
constexpr std::size_t kReadChunk = std::size_t{1} << 20;

char *Allocate(std::size_t &capacity) {
  void *bytes = nullptr;
  if (capacity >= kHugePage) {
    capacity = (capacity + kHugePage - 1) / kHugePage * kHugePage;
    bytes = std::aligned_alloc(kHugePage, capacity);
#ifdef MADV_HUGEPAGE
    if (bytes != nullptr) {
      // Only advice: where the system has no huge pages to give, nothing changes.
      ::madvise(bytes, capacity, MADV_HUGEPAGE);
    }
#endif
  } else {
    bytes = std::malloc(capacity);
  }
  if (bytes == nullptr) {
    throw std::bad_alloc();
  }
  return static_cast<char *>(bytes);
}

} // namespace

void ByteBuffer::Release::operator()(char *bytes) const {
  std::free(bytes);
}

ByteBuffer::ByteBuffer(std::size_t capacity) : m_capacity(std::max<std::size_t>(capacity, 1)) {
  m_bytes.reset(Allocate(m_capacity));
}

ByteBuffer::ByteBuffer(ByteBuffer &&other) noexcept
    : m_bytes(std::move(other.m_bytes)), m_size(std::exchange(other.m_size, 0)),
      m_capacity(std::exchange(other.m_capacity, 0)) {}

ByteBuffer &ByteBuffer::operator=(ByteBuffer &&other) noexcept {
  m_bytes = std::move(other.m_bytes);
  m_size = std::exchange(other.m_size, 0);
  m_capacity = std::exchange(other.m_capacity, 0);
  return *this;
}

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

  // The file is read straight into the block the lines will point into. A valid file
  // holds at most kMaxRecords lines of the expected length, each with its CR LF: room for
  // the file as it was when opened, never more than that, and a little over to see its end
  // without growing. A file that grows meanwhile makes the block grow.
  const std::size_t expected = expected_length < 0 ? 0 : static_cast<std::size_t>(expected_length);
  const std::size_t file_size = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
  const std::size_t limit = static_cast<std::size_t>(kMaxRecords) * (expected + 2);
  ByteBuffer bytes(std::min(file_size, limit) + (std::size_t{1} << 16));
  std::vector<std::string_view> lineas;
  lineas.reserve(std::min(file_size / (expected + 1), static_cast<std::size_t>(kMaxRecords)) + 2);
  lineas.emplace_back();

  std::size_t filled = 0;     // bytes held
  std::size_t scan = 0;       // the first byte not yet looked at
  std::size_t line_start = 0; // where the current line's bytes begin
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
    lineas.emplace_back(bytes.data() + line_start, line_length);
    line_length = 0;
    return true;
  };

  for (;;) {
    if (filled == bytes.capacity()) {
      // The file has grown since it was opened: the lines move with the bytes.
      ByteBuffer larger(filled + filled / 2);
      std::memcpy(larger.data(), bytes.data(), filled);
      for (std::string_view &line : lineas) {
        if (line.data() != nullptr) {
          line = std::string_view(larger.data() + (line.data() - bytes.data()), line.size());
        }
      }
      bytes = std::move(larger);
    }
    const std::size_t room = std::min(bytes.capacity() - filled, kReadChunk);
    const ssize_t got = ::read(fd.get(), bytes.data() + filled, room);
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
    filled += static_cast<std::size_t>(got);

    const char *data = bytes.data();
    while (scan < filled) {
      if (after_cr) {
        after_cr = false;
        if (data[scan] == '\n') {
          line_start = ++scan;
          continue;
        }
      }
      const void *cr = std::memchr(data + scan, '\r', filled - scan);
      const std::size_t end =
          cr ? static_cast<std::size_t>(static_cast<const char *>(cr) - data) : filled;
      if (end > scan) {
        line_open = true;
        line_length += end - scan;
      }
      scan = end;
      if (cr) {
        if (!finish_line()) {
          return result;
        }
        line_start = ++scan;
        after_cr = true;
      }
    }
    // Hold no more of a line than one byte past the expected length: that is enough to know
    // it is wrong, and the rest of it is read over the same bytes, still counted.
    if (scan - line_start > expected + 1) {
      filled = scan = line_start + expected + 1;
    }
  }
  if (line_open && !finish_line()) {
    return result;
  }

  bytes.SetSize(filled);
  out.content = std::move(bytes);
  out.lines = std::move(lineas);
  out.line_count = lines;
  return result;
}

} // namespace verdalia
