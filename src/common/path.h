#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace verdalia {

// The full path of a file in a folder: the folder, a "/" unless it already ends with one (or
// is empty), the name.
std::string JoinPath(std::string_view folder, std::string_view file_name);

// The last component of a path: everything after its last "/" (on Windows also "\" or
// the drive's ":").
std::string_view FileNameOf(std::string_view path);

// A path of the file system from the UTF-8 name the engine keeps, and back; on Linux the
// bytes as they are.
std::filesystem::path FileSystemPath(const std::string &utf8);
std::string Utf8Path(const std::filesystem::path &path);

// The path a file given on the command line is checked under: a bare name is taken in the
// current folder, written "./" before it; any other as the folder and the name it gives.
std::string PathInFolder(const std::string &file);

// The folder the running program lies in, or "." when the system does not tell.
std::string ProgramFolder();

} // namespace verdalia
