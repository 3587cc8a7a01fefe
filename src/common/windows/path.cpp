// Windows paths: a folder ends at "\" as well as "/", and a drive ("C:") is a folder of its
// own; names are UTF-8 in the engine and UTF-16 for the system (the C++ library would read a
// narrow name in the ANSI code page).
#include "common/path.h"

#include <windows.h>

#include "common/windows/wide.h"

namespace verdalia {

std::string JoinPath(std::string_view folder, std::string_view file_name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/' && path.back() != '\\' && path.back() != ':') {
    // The separator the folder already uses, so that a path is shown as it was given.
    const bool backslashes =
        path.find('\\') != std::string::npos && path.find('/') == std::string::npos;
    path += backslashes ? '\\' : '/';
  }
  return path.append(file_name);
}

std::string_view FileNameOf(std::string_view path) {
  const auto end = path.find_last_of("/\\:");
  return end == std::string_view::npos ? path : path.substr(end + 1);
}

std::filesystem::path FileSystemPath(const std::string &utf8) {
  return std::filesystem::path(WideOf(utf8));
}

std::string Utf8Path(const std::filesystem::path &path) {
  return Utf8Of(path.native());
}

// The path as the user wrote it, backslashes, drive and all: the lists are saved beside it
// and the messages name it so.
std::string PathInFolder(const std::string &file) {
  if (FileNameOf(file).size() == file.size()) {
    return "./" + file;
  }
  return file;
}

// There is no /proc/self/exe: the system names the module the process was started from.
std::string ProgramFolder() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) {
      return ".";
    }
    if (length < name.size()) {
      name.resize(length);
      break;
    }
    name.resize(name.size() * 2);
  }
  return Utf8Path(std::filesystem::path(name).parent_path());
}

} // namespace verdalia
