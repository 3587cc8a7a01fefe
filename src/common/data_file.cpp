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
#include <time.h>
#include <unistd.h>

namespace verdalia {
namespace {

class FileDescriptor {
public:
  FileDescriptor() = default;
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor &) = delete;
  FileDescriptor &operator=(const FileDescriptor &) = delete;
  int get() const { return m_fd; }
  void Reset(int fd) {
    Close();
    m_fd = fd;
  }

private:
  void Close() {
    if (m_fd >= 0) {
      ::close(m_fd);
    }
  }
  int m_fd = -1;
};

// Waits for a write another program has under way on the file to end, where the file
// system lets a caller wait for it: asking where the file's data begins takes the lock that a
// write holds from its first byte to its last on the usual local file systems (ext4, tmpfs,
// btrfs). Elsewhere it returns at once, and the stamps and the second reading below are all
// there is.
void WaitForWriteUnderWay(int fd) {
  ::lseek(fd, 0, SEEK_DATA);
}

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

// Bytes read from a file, held in one block that a move hands over unchanged. A block of
// megabytes is asked of the system in huge pages where it offers them: reading a large file
// then costs a few page faults instead of thousands.
class ByteBuffer {
public:
  ByteBuffer() = default;
  explicit ByteBuffer(std::size_t capacity);
  ByteBuffer(const ByteBuffer &) = delete;
  ByteBuffer &operator=(const ByteBuffer &) = delete;
  ByteBuffer(ByteBuffer &&other) noexcept;
  ByteBuffer &operator=(ByteBuffer &&other) noexcept;

  char *data() { return m_bytes.get(); }
  const char *data() const { return m_bytes.get(); }
  std::size_t size() const { return m_size; }
  std::size_t capacity() const { return m_capacity; }
  // Within the capacity; the bytes up to the new size are the caller's to fill.
  void SetSize(std::size_t size) { m_size = size; }

private:
  struct Release {
    void operator()(char *bytes) const { std::free(bytes); }
  };
  std::unique_ptr<char, Release> m_bytes;
  std::size_t m_size = 0;
  std::size_t m_capacity = 0;
};

// A file's bytes read into memory.
class ReadBytes final : public FileBytes {
public:
  explicit ReadBytes(ByteBuffer bytes) : m_bytes(std::move(bytes)) {}
  std::string_view Bytes() const override { return {m_bytes.data(), m_bytes.size()}; }

private:
  ByteBuffer m_bytes;
};

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

// Reads a data file and splits it into lines: a view of the whole file where it can be
// mapped, else one block filled a chunk at a time and split as the bytes arrive. A step
// that refuses the file says why in the result and returns false; a refused file hands
// nothing over.
class LineReader {
public:
  explicit LineReader(int expected_length)
      : m_expected_length(expected_length),
        m_expected(expected_length < 0 ? 0 : static_cast<std::size_t>(expected_length)) {}

  bool Open(const std::string &path);
  bool ReadLines();
  void HandOver(DataFile &out);
  const ReadResult &result() const { return m_result; }

private:
  bool Refuse(ReadStatus status, std::string reason) {
    m_result.status = status;
    m_result.reason = std::move(reason);
    return false;
  }
  bool SplitView(std::shared_ptr<const FileBytes> view);
  void TakeUsualLines();
  bool ReadChunks();
  bool SameSinceOpened();
  bool SameBytesAgain();
  bool RefusedWhileWritten();
  void Reserve();
  void Grow();
  bool ReadChunk(std::size_t &got);
  bool SplitLines();
  bool FinishLine();
  void DropExcess();

  int m_expected_length;
  std::size_t m_expected;
  ReadResult m_result;
  FileDescriptor m_fd;
  struct stat m_info {}; // as it was when opened
  std::size_t m_file_size = 0;
  std::shared_ptr<const FileBytes> m_view; // the file mapped, or none
  ByteBuffer m_bytes;                      // else the bytes read
  const char *m_data = nullptr;            // the bytes the lines point into
  std::vector<std::string_view> m_lines;
  std::size_t m_filled = 0;     // bytes held
  std::size_t m_scan = 0;       // the first byte not yet looked at
  std::size_t m_line_start = 0; // where the current line's bytes begin
  std::size_t m_line_length = 0;
  bool m_line_open = false;
  bool m_after_cr = false;
  int m_line_count = 0;
};

bool LineReader::Open(const std::string &path) {
  // O_NONBLOCK: a named pipe without a writer must not hold the run; it is refused below.
  m_fd.Reset(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (m_fd.get() < 0) {
    return Refuse(ReadStatus::CannotOpen, std::strerror(errno));
  }
  struct stat &info = m_info;
  if (::fstat(m_fd.get(), &info) != 0) {
    return Refuse(ReadStatus::ReadError, std::strerror(errno));
  }
  if (!S_ISREG(info.st_mode)) {
    return Refuse(ReadStatus::NotRegularFile,
                  S_ISDIR(info.st_mode) ? "es una carpeta" : "no es un archivo regular");
  }
  const int flags = ::fcntl(m_fd.get(), F_GETFL);
  if (flags >= 0) {
    ::fcntl(m_fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  }
  // The version read is the one stamped after any write under way has ended.
  WaitForWriteUnderWay(m_fd.get());
  if (::fstat(m_fd.get(), &info) != 0) {
    return Refuse(ReadStatus::ReadError, std::strerror(errno));
  }
  m_file_size = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
  return true;
}

// The file is read straight into the block the lines will point into. A valid file holds
// at most kMaxRecords lines of the expected length, each with its CR LF: room for the file
// as it was when opened, never more than that, and a little over to see its end without
// growing. A file that grows meanwhile makes the block grow.
void LineReader::Reserve() {
  const std::size_t limit = static_cast<std::size_t>(kMaxRecords) * (m_expected + 2);
  m_bytes = ByteBuffer(std::min(m_file_size, limit) + (std::size_t{1} << 16));
  m_data = m_bytes.data();
  m_lines.reserve(std::min(m_file_size / (m_expected + 1), static_cast<std::size_t>(kMaxRecords)) +
                  2);
  m_lines.emplace_back();
}

// The file has grown since it was opened: the lines move with the bytes.
void LineReader::Grow() {
  ByteBuffer larger(m_filled + m_filled / 2);
  std::memcpy(larger.data(), m_bytes.data(), m_filled);
  for (std::string_view &line : m_lines) {
    if (line.data() != nullptr) {
      line = std::string_view(larger.data() + (line.data() - m_bytes.data()), line.size());
    }
  }
  m_bytes = std::move(larger);
  m_data = m_bytes.data();
}

// Appends what the next read gives after the bytes held; `got` is 0 at the end of the file.
bool LineReader::ReadChunk(std::size_t &got) {
  const std::size_t room = std::min(m_bytes.capacity() - m_filled, kReadChunk);
  for (;;) {
    const ssize_t count = ::read(m_fd.get(), m_bytes.data() + m_filled, room);
    if (count >= 0) {
      got = static_cast<std::size_t>(count);
      m_filled += got;
      return true;
    }
    if (errno != EINTR) {
      return Refuse(ReadStatus::ReadError, std::strerror(errno));
    }
  }
}

// Ends the lines the bytes held so far close, and counts the bytes of the line they leave
// open; false when reading must stop.
bool LineReader::SplitLines() {
  const char *data = m_data;
  while (m_scan < m_filled) {
    if (m_after_cr) {
      m_after_cr = false;
      if (data[m_scan] == '\n') {
        m_line_start = ++m_scan;
        continue;
      }
    }
    const void *cr = std::memchr(data + m_scan, '\r', m_filled - m_scan);
    const std::size_t end =
        cr ? static_cast<std::size_t>(static_cast<const char *>(cr) - data) : m_filled;
    if (end > m_scan) {
      m_line_open = true;
      m_line_length += end - m_scan;
    }
    m_scan = end;
    if (cr) {
      if (!FinishLine()) {
        return false;
      }
      m_line_start = ++m_scan;
      m_after_cr = true;
    }
  }
  return true;
}

// Closes the current line; false when reading must stop.
bool LineReader::FinishLine() {
  ++m_line_count;
  m_line_open = false;
  if (m_line_count > kMaxRecords) {
    m_result.status = ReadStatus::TooManyLines;
    m_result.line_number = m_line_count;
    return false;
  }
  // A negative line length in the reference data matches no line, not even an empty one.
  if (m_expected_length < 0 || m_line_length != m_expected) {
    m_result.status = ReadStatus::WrongLength;
    m_result.line_number = m_line_count;
    m_result.line_length = m_line_length;
    return false;
  }
  m_lines.emplace_back(m_data + m_line_start, m_line_length);
  m_line_length = 0;
  return true;
}

// Holds no more of a line than one byte past the expected length: that is enough to know it
// is wrong, and the rest of it is read over the same bytes, still counted.
void LineReader::DropExcess() {
  if (m_scan - m_line_start > m_expected + 1) {
    m_filled = m_scan = m_line_start + m_expected + 1;
  }
}

// Whether the file's last write lies far enough back that any later one gives it another
// modification time. Time stamps advance by a clock tick on some file systems and by whole
// seconds (two on FAT) on others, so a file written within that moment could be written
// again without its stamp moving: such a file is read into memory, where the bytes checked
// cannot change under the run.
bool WrittenLongAgo(const struct stat &info) {
  constexpr std::int64_t kNano = 1'000'000'000;
  constexpr std::int64_t kMargin = 3 * kNano;
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const std::int64_t now_ns = static_cast<std::int64_t>(now.tv_sec) * kNano + now.tv_nsec;
  return now_ns - StampOf(info).modified_ns >= kMargin;
}

// A file no larger than the most a valid one can be is viewed where it lies, with no copy
// and no memory of its own: the views of the file are shared by the runs that check it. A
// larger one is refused whatever it holds, and is read a chunk at a time so that the line
// it is refused at costs no memory; so is a file written a moment ago.
bool LineReader::ReadLines() {
  const std::size_t limit = static_cast<std::size_t>(kMaxRecords) * (m_expected + 2);
  if (m_expected_length >= 0 && m_file_size <= limit && WrittenLongAgo(m_info)) {
    if (auto view = MapFile(m_fd.get(), m_info)) {
      return SplitView(std::move(view)) || RefusedWhileWritten();
    }
  }
  if (!ReadChunks()) {
    return RefusedWhileWritten();
  }
  WaitForWriteUnderWay(m_fd.get());
  return SameSinceOpened() && SameBytesAgain() && SameSinceOpened();
}

// A line of the wrong length, or one line too many, met while another program wrote or cut
// the file says nothing of the file (it may be the end of a write half done): the refusal
// says that the file changed. Returns false, the file being refused either way.
bool LineReader::RefusedWhileWritten() {
  if (m_result.status != ReadStatus::WrongLength && m_result.status != ReadStatus::TooManyLines) {
    return false;
  }
  if (m_view && m_view->Cut()) {
    return Refuse(ReadStatus::ReadError, "el archivo se acortó mientras se leía");
  }
  WaitForWriteUnderWay(m_fd.get());
  return SameSinceOpened() && false;
}

// The bytes read into memory are one version of the file only when nobody wrote it while
// they were read.
bool LineReader::SameSinceOpened() {
  struct stat now {};
  if (::fstat(m_fd.get(), &now) != 0) {
    return Refuse(ReadStatus::ReadError, std::strerror(errno));
  }
  if (!(StampOf(now) == StampOf(m_info))) {
    return Refuse(ReadStatus::ReadError, "el archivo cambió mientras se leía");
  }
  return true;
}

// A write stamps the file when it begins, not when it ends: a read that falls inside one
// write (another program rewriting the file in place, or held up half-way while the system
// flushes) finds the stamp unchanged while the bytes change under it, and where time stamps
// are coarse a few writes in a row leave it as it was. Once such a write has ended, the file
// is read again and compared: bytes that differ were read while it was written.
bool LineReader::SameBytesAgain() {
  const auto again = std::make_unique<char[]>(kReadChunk);
  std::size_t offset = 0;
  for (;;) {
    const ssize_t count = ::pread(m_fd.get(), again.get(), kReadChunk, static_cast<off_t>(offset));
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      return Refuse(ReadStatus::ReadError, std::strerror(errno));
    }
    const auto got = static_cast<std::size_t>(count);
    if (got == 0) {
      break;
    }
    if (got > m_filled - offset || std::memcmp(again.get(), m_data + offset, got) != 0) {
      return Refuse(ReadStatus::ReadError, "el archivo cambió mientras se leía");
    }
    offset += got;
  }
  if (offset != m_filled) {
    return Refuse(ReadStatus::ReadError, "el archivo cambió mientras se leía");
  }
  return true;
}

bool LineReader::SplitView(std::shared_ptr<const FileBytes> view) {
  const std::string_view bytes = view->Bytes();
  m_view = std::move(view);
  m_data = bytes.data();
  m_filled = bytes.size();
  m_lines.reserve(std::min(m_filled / (m_expected + 1), static_cast<std::size_t>(kMaxRecords)) + 2);
  m_lines.emplace_back();
  TakeUsualLines();
  if (!SplitLines() || (m_line_open && !FinishLine())) {
    return false;
  }
  // Cut short while it was read: past its new end the view read zeros, not the file.
  if (m_view->Cut()) {
    return Refuse(ReadStatus::ReadError, "el archivo se acortó mientras se leía");
  }
  return true;
}

// Lines of the expected length, each ended by CR LF, taken as they come: the lines of
// nearly every file. At the first other line the general splitting goes on from there.
void LineReader::TakeUsualLines() {
  const std::size_t length = m_expected;
  while (m_line_count < kMaxRecords && m_filled - m_scan >= length + 2) {
    const char *line = m_data + m_scan;
    if (line[length] != '\r' || line[length + 1] != '\n' ||
        std::memchr(line, '\r', length) != nullptr) {
      break;
    }
    m_lines.emplace_back(line, length);
    ++m_line_count;
    m_scan += length + 2;
  }
  m_line_start = m_scan;
}

bool LineReader::ReadChunks() {
  Reserve();
  for (;;) {
    if (m_filled == m_bytes.capacity()) {
      Grow();
    }
    std::size_t got = 0;
    if (!ReadChunk(got)) {
      return false;
    }
    if (got == 0) {
      break;
    }
    if (!SplitLines()) {
      return false;
    }
    DropExcess();
  }
  return !m_line_open || FinishLine();
}

void LineReader::HandOver(DataFile &out) {
  if (m_view) {
    out.content = std::move(m_view);
  } else {
    m_bytes.SetSize(m_filled);
    out.content = std::make_shared<const ReadBytes>(std::move(m_bytes));
  }
  out.lines = std::move(m_lines);
  out.line_count = m_line_count;
  out.stamp = StampOf(m_info);
}

} // namespace

ReadResult ReadDataFile(const std::string &path, int expected_length, DataFile &out) {
  out = DataFile{};
  LineReader reader(expected_length);
  if (reader.Open(path) && reader.ReadLines()) {
    reader.HandOver(out);
  }
  return reader.result();
}

} // namespace verdalia
