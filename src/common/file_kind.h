#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace verdalia {

// The three kinds of data file, told by the first letter of the file name (either case).
struct FileKind {
  int number;                     // 1 production, 2 claims notification, 3 claims information
  char letter;                    // 'P', 'D' or 'S'
  std::string title;              // Windows-1252
  std::string_view allowed_types; // record types a file of the kind may hold
  char closing_type;              // the control record's type
};

// The kind of a file name (Windows-1252), or none when its first letter is not P, D or S.
std::optional<FileKind> KindOfFileName(std::string_view file_name);

// The kind by its number, 1 to 3.
const FileKind &KindOfNumber(int number);

} // namespace verdalia
