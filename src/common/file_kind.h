#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "common/windows1252.h"

namespace verdalia {

// The three kinds of data file, numbered as the reference database's TipoArchivo numbers
// them.
enum class FileKind { Production = 1, ClaimNotices = 2, Claims = 3 };

inline constexpr std::array<FileKind, 3> kFileKinds = {FileKind::Production, FileKind::ClaimNotices,
                                                       FileKind::Claims};

// What the files of a kind are.
struct FileKindFacts {
  char letter; // 'P', 'D' or 'S': the first letter of its files' names
  Cp1252View title;
  std::string_view allowed_types; // record types a file of the kind may hold
  char closing_type;              // the control record's type
};

const FileKindFacts &FactsOf(FileKind kind);

// The kind of a file name (Windows-1252), told by its first letter in either case; none when
// it is not P, D or S.
std::optional<FileKind> KindOfFileName(std::string_view file_name);

// The kind a TipoArchivo number names; none for a number other than 1 to 3.
std::optional<FileKind> KindOfNumber(long long number);

// The kind's TipoArchivo number, as the database and the messages about it name it.
constexpr int NumberOf(FileKind kind) {
  return static_cast<int>(kind);
}

} // namespace verdalia
