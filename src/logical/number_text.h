#pragma once

#include <string>

namespace verdalia {

// How amounts are written in logical messages: the decimal separator of the session (the
// user's locale by default), in Windows-1252.
struct NumberFormat {
  std::string decimal_separator = ".";
};

// Add 0.005, times 100, floor, divide by 100, each step in double precision.
double RoundToCents(double amount);

// The platform's default conversion of a double to text: the value rounded to 15
// significant digits, trailing zeros dropped, no separator for whole numbers, no thousands
// separators. Exponents from -4 to 14 are written out in full ("0.0001",
// "999999999999999"); others in scientific form with a capital E, a sign and at least two
// exponent digits ("1E+15", "1E-05", "1.5E+20"). Zero, negative zero included, is "0".
// The conversion never depends on the process locale: only `format` gives the separator.
std::string PlainNumberText(double amount, const NumberFormat &format);

// The pattern "#########0.00": at least one integer digit, exactly two decimals, no
// thousands separators. The value is rounded as that pattern formatter rounds: its
// 15-significant-digit decimal form is rounded half away from zero at the second decimal,
// so 1.005 gives "1.01" and 2.675 gives "2.68" although neither is exactly representable.
// Negative values keep their minus sign, even where the rounded digits are all zero.
std::string TwoDecimalText(double amount, const NumberFormat &format);

// The decimal separator of the user's locale (LC_NUMERIC after setlocale(LC_ALL, "")), in
// Windows-1252; "." when the locale names none.
std::string LocaleDecimalSeparator();

} // namespace verdalia
