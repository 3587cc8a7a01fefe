#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace verdalia {

// A file holds at most this many records: record numbers are 16-bit.
inline constexpr int kMaxRecords = 32767;

// The data file in memory. `Lineas[k]` is record k, from 1 to `NroFilas`; element 0 holds
// nothing. The views point into `content`, whose buffer a move hands over unchanged (a
// vector has no small-string buffer inside the object), so a DataFile is moved, never copied.
struct DataFile {
  std::vector<char> content;
  std::vector<std::string_view> Lineas;
  int NroFilas = 0;

  DataFile() = default;
  DataFile(const DataFile &) = delete;
  DataFile &operator=(const DataFile &) = delete;
  DataFile(DataFile &&) = default;
  DataFile &operator=(DataFile &&) = default;
};

enum class ReadStatus {
  Ok,
  CannotOpen,    // missing, no permission, ...
  NotRegularFile, // a directory, a pipe, a device
  ReadError,
  TooManyLines,  // more than kMaxRecords lines
  WrongLength,   // a line whose length is not the kind's line length
};

struct ReadResult {
  ReadStatus status = ReadStatus::Ok;
  std::string reason;      // the system's description, for CannotOpen/NotRegularFile/ReadError
  int line_number = 0;     // WrongLength: the line; TooManyLines: the line count reached
  std::size_t line_length = 0; // WrongLength: that line's length in bytes
};

// Reads a data file, one byte per character. A line ends at CR LF or at a lone CR; a lone
// LF stays inside the line (files come from systems that write CR LF). The last line needs
// no line end. Reading stops at the first line whose length differs from
// `expected_length`: that line is counted to its end but not held, so one huge line costs
// no memory.
ReadResult ReadDataFile(const std::string &path, int expected_length, DataFile &out);

} // namespace verdalia
