#pragma once

#include <string>
#include <string_view>

namespace verdalia {

// The value predicates of the physical checks. Texts are Windows-1252 bytes.

// True when every character is one of the 42 allowed: "A"-"Z", "0"-"9", "@", "<", ">", "-",
// the blank and the double quote. The field name does not change the answer.
bool CaracteresValidos(std::string_view campo, std::string_view Texto);

// True when every character is a digit; an empty text counts as a number.
bool EsNumero(std::string_view Valor);

// True when the text is not empty and holds only "0" and "1".
bool EsBinario(std::string_view Valor);

// A date of eight digits, year, month, day, from 1900 to 2500, every year divisible by 4 a
// leap year. "00000000" is accepted as it is; any other text is trimmed in place first.
bool EsFecha(std::string &fecha);

// The modulus-11 check digit ("0"-"9" or "K") of an identity number; trims it in place.
std::string DigVerRUT(std::string &sRut);

// The answers of EsFecha and DigVerRUT for a text the caller keeps as it is: the record
// checks cut their fields as views of the line and never look at a field again after these.
bool IsDateText(std::string_view fecha);
char CheckDigitOf(std::string_view sRut);

// The same answers for a text already known to hold only digits, so without blanks to trim:
// the detail checks test a field's digits first, on every record.
bool IsDateOfDigits(std::string_view digits);
char CheckDigitOfDigits(std::string_view digits);

} // namespace verdalia
