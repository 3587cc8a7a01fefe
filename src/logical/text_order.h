#pragma once

#include <string_view>

namespace verdalia {

// Whether `left` sorts after `right` when the two texts are compared character by
// character by character code, a text that is a prefix of the other sorting first. The
// lines are Windows-1252 text, so a byte's character code is its Unicode value: the bytes
// 0x80 to 0x9F stand for characters such as the euro sign (U+20AC) that sort after every
// accented letter, whatever their byte value.
bool SortsAfter(std::string_view left, std::string_view right);

} // namespace verdalia
