#pragma once

#include <string>
#include <string_view>

namespace verdalia {

// The full path of a file in a folder: the folder, a "/" unless it already ends with one (or
// is empty), the name.
std::string JoinPath(std::string_view folder, std::string_view file_name);

// The last component of a path: everything after its last "/".
std::string_view FileNameOf(std::string_view path);

} // namespace verdalia
