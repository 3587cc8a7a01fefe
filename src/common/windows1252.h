#pragma once

#include <string>
#include <string_view>

namespace verdalia {

// Data files, reference texts and error lists are Windows-1252 bytes inside the engine;
// only presenters decode them. The five bytes that Windows-1252 leaves undefined map to
// the C1 controls of the same value, so every byte survives a round trip.
std::string Windows1252ToUtf8(std::string_view bytes);

// Characters without a Windows-1252 byte become "?". A byte sequence that is not valid
// UTF-8 is taken as Windows-1252 already and kept byte for byte.
std::string Utf8ToWindows1252(std::string_view utf8);

// Shorthand for the system's fixed texts, which are written in UTF-8 in the sources.
inline std::string Cp1252(std::string_view utf8) { return Utf8ToWindows1252(utf8); }

} // namespace verdalia
