#pragma once

#include <string_view>

#include "physical/field_types.h"

namespace verdalia {

// The value predicates of the physical checks. Texts are Windows-1252 bytes.

// True when every character is one of the 42 allowed: "A"-"Z", "0"-"9", "@", "<", ">", "-",
// the blank and the double quote. Name fields get no wider set.
bool HasValidCharacters(std::string_view text);

// True when every character is a digit; an empty text counts as a number.
bool IsNumber(std::string_view text);

// True when every character is of the class; an empty text is of every class.
bool HasCharacters(CharacterClass characters, std::string_view text);

// True when the text is not empty and holds only "0" and "1".
bool IsBinary(std::string_view text);

// A date of eight digits, year, month, day, from 1900 to 2500, every year divisible by 4 a
// leap year. "00000000" is accepted as it is; any other text is trimmed of blanks first.
bool IsDateText(std::string_view text);

// The modulus-11 check digit, '0'-'9' or 'K', of an identity number trimmed of blanks: each
// character weighs its digit (any other character 0), and a number of 0 has check digit '0'.
char CheckDigitOf(std::string_view identity_number);

// The same answers for a text already known to hold only digits, so without blanks to trim:
// the detail checks test a field's digits first, on every record.
bool IsDateOfDigits(std::string_view digits);
char CheckDigitOfDigits(std::string_view digits);

} // namespace verdalia
