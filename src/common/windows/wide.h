#pragma once
// Names and texts between the engine's UTF-8 and Windows' UTF-16.
#include <string>
#include <string_view>

namespace verdalia {

// UTF-16 of a UTF-8 text; a byte that is no UTF-8 becomes U+FFFD.
std::wstring WideOf(std::string_view utf8);
// UTF-8 of a UTF-16 text.
std::string Utf8Of(std::wstring_view wide);

} // namespace verdalia
