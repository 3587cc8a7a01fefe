#pragma once

#include <string>

namespace verdalia {

// How amounts are written in logical messages: the decimal separator of the session (the
// user's locale by default).
struct NumberFormat {
  std::string decimal_separator = ".";
};

// Add 0.005, times 100, floor, divide by 100, in double precision.
double RoundToCents(double amount);

// The platform's default conversion: at most 15 significant digits, no trailing zeros, no
// separator for whole numbers.
std::string PlainNumberText(double amount, const NumberFormat &format);

// Pattern "#########0.00": at least one integer digit, exactly two decimals.
std::string TwoDecimalText(double amount, const NumberFormat &format);

// The decimal separator of the user's locale (LC_NUMERIC after setlocale(LC_ALL, "")).
std::string LocaleDecimalSeparator();

} // namespace verdalia
