#include "common/file_kind.h"

#include "common/windows1252.h"

namespace verdalia {

std::optional<FileKind> KindOfFileName(std::string_view file_name) {
  if (file_name.empty()) {
    return std::nullopt;
  }
  switch (file_name[0]) {
  case 'P':
  case 'p':
    return FileKind{1, "PRODUCCION VERDALIA", "1234", '4'};
  case 'D':
  case 'd':
    return FileKind{2, "DENUNCIAS DE SINIESTROS VERDALIA", "123", '3'};
  case 'S':
  case 's':
    return FileKind{3, Cp1252("INFORMACIÓN DE SINIESTROS VERDALIA"), "1234", '4'};
  default:
    return std::nullopt;
  }
}

} // namespace verdalia
