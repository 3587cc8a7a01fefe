#pragma once

#include <string_view>

#include "physical/field_types.h"

namespace verdalia {

// The value predicates of the physical checks. Texts are Windows-1252 bytes. Dates and check
// digits have files of their own: dates.h, check_digits.h.

// True when every character is one of the 42 allowed: "A"-"Z", "0"-"9", "@", "<", ">", "-",
// the blank and the double quote. Name fields get no wider set.
bool HasValidCharacters(std::string_view text);

// True when every character is a digit; an empty text counts as a number.
bool IsNumber(std::string_view text);

// True when every character is of the class; an empty text is of every class.
bool HasCharacters(CharacterClass characters, std::string_view text);

// True when the text is not empty and holds only "0" and "1".
bool IsBinary(std::string_view text);

} // namespace verdalia
