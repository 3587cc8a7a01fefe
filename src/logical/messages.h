#pragma once

#include "common/windows1252.h"

// The fixed messages of the logical verification as constants (logical/messages.def).
namespace verdalia::logical_messages {

#define VERDALIA_MESSAGE(name, text) inline constexpr FixedText name{text};
#include "logical/messages.def"
#undef VERDALIA_MESSAGE

} // namespace verdalia::logical_messages
