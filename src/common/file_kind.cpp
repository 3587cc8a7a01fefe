#include "common/file_kind.h"

#include <array>

#include "common/windows1252.h"

namespace verdalia {
namespace {

const std::array<FileKind, 3> &Kinds() {
  static const std::array<FileKind, 3> kinds = {
      FileKind{1, 'P', "PRODUCCION VERDALIA", "1234", '4'},
      FileKind{2, 'D', "DENUNCIAS DE SINIESTROS VERDALIA", "123", '3'},
      FileKind{3, 'S', Cp1252("INFORMACIÓN DE SINIESTROS VERDALIA"), "1234", '4'},
  };
  return kinds;
}

} // namespace

std::optional<FileKind> KindOfFileName(std::string_view file_name) {
  if (file_name.empty()) {
    return std::nullopt;
  }
  for (const FileKind &kind : Kinds()) {
    // The letter's upper case; ASCII alone, as the names' letters are.
    if (file_name[0] == kind.letter || file_name[0] == kind.letter + ('a' - 'A')) {
      return kind;
    }
  }
  return std::nullopt;
}

const FileKind &KindOfNumber(int number) {
  return Kinds().at(static_cast<std::size_t>(number - 1));
}

} // namespace verdalia
