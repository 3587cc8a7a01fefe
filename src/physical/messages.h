#pragma once

#include "common/windows1252.h"

// The fixed messages of the physical verification as constants (physical/messages.def).
namespace verdalia::physical_messages {

#define VERDALIA_MESSAGE(name, text) inline constexpr FixedText name{text};
#include "physical/messages.def"
#undef VERDALIA_MESSAGE

} // namespace verdalia::physical_messages
