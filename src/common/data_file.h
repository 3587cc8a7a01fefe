#pragma once

#include "common/file_mapping.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace verdalia {

// A file holds at most this many records: record numbers are 16-bit.
inline constexpr int kMaxRecords = 32767;

// The data file in memory. `lines[k]` is record k, from 1 to `line_count`; element 0 holds
// nothing. The views point into `content`, the file's bytes, line ends included: a view of
// the file itself where the system maps it, so a file changed in place shows its new bytes
// and one cut short reads as zeros past its new end (Cut() and Changed() tell), or else a
// copy read into memory. A DataFile is moved, never copied.
struct DataFile {
  std::shared_ptr<const FileBytes> content;
  std::vector<std::string_view> lines;
  int line_count = 0;
  FileStamp stamp; // the version of the file the lines were read from

  DataFile() = default;
  DataFile(const DataFile &) = delete;
  DataFile &operator=(const DataFile &) = delete;
  DataFile(DataFile &&) = default;
  DataFile &operator=(DataFile &&) = default;

  // Whether the file was cut short under the lines since they were read.
  bool Cut() const { return content && content->Cut(); }
  // Whether the lines may no longer hold the bytes first read: the file was cut or written
  // in place under them. Lines read into memory never change.
  bool Changed() const { return content && content->Changed(); }
};

enum class ReadStatus {
  Ok,
  CannotOpen,     // missing, no permission, ...
  NotRegularFile, // a directory, a pipe, a device
  ReadError,      // the system's error, or the file cut short or written while it was read
  TooManyLines,   // more than kMaxRecords lines
  WrongLength,    // a line whose length is not the kind's line length
};

struct ReadResult {
  ReadStatus status = ReadStatus::Ok;
  std::string reason;  // UTF-8: the system's description, for CannotOpen/NotRegularFile/ReadError
  int line_number = 0; // WrongLength: the line; TooManyLines: the line count reached
  std::size_t line_length = 0; // WrongLength: that line's length in bytes
};

// Reads a data file, one byte per character. A line ends at CR LF or at a lone CR; a lone
// LF stays inside the line (files come from systems that write CR LF). The last line needs
// no line end. Reading stops at the first line whose length differs from
// `expected_length`: that line is counted to its end but not held, so one huge line costs
// no memory. A file no larger than the most a valid one can be, and not written in the last
// moments, is viewed where it lies (MapFile); any other is read a chunk at a time, and
// refused when it was written meanwhile. A file that is refused leaves `out` empty.
ReadResult ReadDataFile(const std::string &path, int expected_length, DataFile &out);

} // namespace verdalia
