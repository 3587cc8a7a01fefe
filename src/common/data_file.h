#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace verdalia {

// A file holds at most this many records: record numbers are 16-bit.
inline constexpr int kMaxRecords = 32767;

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
    void operator()(char *bytes) const;
  };
  std::unique_ptr<char, Release> m_bytes;
  std::size_t m_size = 0;
  std::size_t m_capacity = 0;
};

// The data file in memory. `lines[k]` is record k, from 1 to `line_count`; element 0 holds
// nothing. The views point into `content`, the file's bytes as read, line ends included,
// whose block a move hands over unchanged, so a DataFile is moved, never copied.
struct DataFile {
  ByteBuffer content;
  std::vector<std::string_view> lines;
  int line_count = 0;

  DataFile() = default;
  DataFile(const DataFile &) = delete;
  DataFile &operator=(const DataFile &) = delete;
  DataFile(DataFile &&) = default;
  DataFile &operator=(DataFile &&) = default;
};

enum class ReadStatus {
  Ok,
  CannotOpen,     // missing, no permission, ...
  NotRegularFile, // a directory, a pipe, a device
  ReadError,
  TooManyLines, // more than kMaxRecords lines
  WrongLength,  // a line whose length is not the kind's line length
};

struct ReadResult {
  ReadStatus status = ReadStatus::Ok;
  std::string reason;          // the system's description, for CannotOpen/NotRegularFile/ReadError
  int line_number = 0;         // WrongLength: the line; TooManyLines: the line count reached
  std::size_t line_length = 0; // WrongLength: that line's length in bytes
};

// Reads a data file, one byte per character. A line ends at CR LF or at a lone CR; a lone
// LF stays inside the line (files come from systems that write CR LF). The last line needs
// no line end. Reading stops at the first line whose length differs from
// `expected_length`: that line is counted to its end but not held, so one huge line costs
// no memory. A file that is refused leaves `out` empty.
ReadResult ReadDataFile(const std::string &path, int expected_length, DataFile &out);

} // namespace verdalia
