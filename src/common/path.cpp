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

std::filesystem::path FileSystemPath(const std::string &utf8) {
  return std::filesystem::path(utf8);
}

std::string Utf8Path(const std::filesystem::path &path) {
  return path.string();
}

std::string PathInFolder(const std::string &file) {
  const std::filesystem::path path(file);
  const std::string folder = path.has_parent_path() ? path.parent_path().string() : ".";
  return JoinPath(folder, path.filename().string());
}

std::string ProgramFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) {
    return ".";
  }
  return exe.parent_path().string();
}

} // namespace verdalia
