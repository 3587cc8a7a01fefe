#pragma once
// Names and texts between the engine's UTF-8 and Windows' UTF-16.
#include <string>
#include <string_view>

namespace verdalia {

// UTF-16 of a UTF-8 text; a byte that is no UTF-8 becomes U+FFFD.
std::wstring WideOf(std::string_view utf8);
// UTF-8 of a UTF-16 text.
std::string Utf8Of(std::wstring_view wide);

// The name the wide file calls take for a UTF-8 path. One whose full path is long (248
// characters or more, where a folder can no longer be made) is given whole, "\\?\C:\..." or
// "\\?\UNC\server\...": unless the system's long paths are switched on, which they are not by
// default, the calls refuse it otherwise, though Explorer shows such a file.
std::wstring WidePathOf(std::string_view utf8);

// The errno a failed Windows call (GetLastError) stands for, as the callers test and print it.
int ErrnoOf(unsigned long error);

} // namespace verdalia
