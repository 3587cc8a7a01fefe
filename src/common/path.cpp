#include "common/path.h"

namespace verdalia {

std::string JoinPath(std::string_view folder, std::string_view file_name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') {
    path += '/';
  }
  return path.append(file_name);
}

std::string_view FileNameOf(std::string_view path) {
  const auto slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace verdalia
