#include "logical/number_text.h"

#include "common/windows1252.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <system_error>

namespace verdalia {
namespace {

constexpr int kSignificantDigits = 15;

// A finite, non-zero magnitude as its 15 significant digits d0 d1 ... d14 and the power of
// ten of d0. std::to_chars rounds correctly and ignores the process locale, unlike printf.
struct DecimalDigits {
  std::string digits;
  int exponent = 0;
};

DecimalDigits ToDecimalDigits(double magnitude) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                    std::chars_format::scientific, kSignificantDigits - 1);
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  // "d.ddddddddddddddde+XX"
  DecimalDigits decimal;
  const std::size_t e = text.find('e');
  for (std::size_t k = 0; k < e; ++k) {
    if (text[k] != '.') {
      decimal.digits.push_back(text[k]);
    }
  }
  const std::string_view exponent = text.substr(e + 1);
  const bool negative = exponent.front() == '-';
  std::from_chars(exponent.data() + 1, exponent.data() + exponent.size(), decimal.exponent);
  if (negative) {
    decimal.exponent = -decimal.exponent;
  }
  return decimal;
}

// What to_chars writes for infinities and NaN; no amount of a valid file reaches them.
std::string NonFiniteText(double amount) {
  char buffer[16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, amount);
  return std::string(buffer, result.ptr);
}

// Adds 1 to a text of decimal digits.
void Increment(std::string &digits) {
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (*it != '9') {
      ++*it;
      return;
    }
    *it = '0';
  }
  digits.insert(digits.begin(), '1');
}

} // namespace

double RoundToCents(double amount) {
  // Each step is stored as a double: the sum, the product, the floor and the quotient.
  const double shifted = amount + 0.005;
  const double cents = shifted * 100.0;
  return std::floor(cents) / 100.0;
}

std::string PlainNumberText(double amount, const NumberFormat &format) {
  if (amount == 0) {
    return "0";
  }
  if (!std::isfinite(amount)) {
    return NonFiniteText(amount);
  }
  DecimalDigits decimal = ToDecimalDigits(std::fabs(amount));
  std::string &digits = decimal.digits;
  while (digits.size() > 1 && digits.back() == '0') {
    digits.pop_back();
  }
  const int exponent = decimal.exponent;
  const int count = static_cast<int>(digits.size());

  std::string text = amount < 0 ? "-" : "";
  if (exponent < -4 || exponent >= kSignificantDigits) {
    text += digits.front();
    if (count > 1) {
      text += format.decimal_separator;
      text.append(digits, 1);
    }
    text += exponent < 0 ? "E-" : "E+";
    const int magnitude = std::abs(exponent);
    if (magnitude < 10) {
      text += '0';
    }
    text += std::to_string(magnitude);
  } else if (exponent >= 0) {
    const int whole = exponent + 1;
    if (count <= whole) {
      text += digits;
      text.append(static_cast<std::size_t>(whole - count), '0');
    } else {
      text.append(digits, 0, static_cast<std::size_t>(whole));
      text += format.decimal_separator;
      text.append(digits, static_cast<std::size_t>(whole));
    }
  } else {
    text += '0';
    text += format.decimal_separator;
    text.append(static_cast<std::size_t>(-exponent - 1), '0');
    text += digits;
  }
  return text;
}

std::string TwoDecimalText(double amount, const NumberFormat &format) {
  if (!std::isfinite(amount)) {
    return NonFiniteText(amount);
  }
  // The value in cents, as decimal digits.
  std::string cents = "0";
  if (amount != 0) {
    const DecimalDigits decimal = ToDecimalDigits(std::fabs(amount));
    // How many of the 15 digits stand at or above the second decimal.
    const int kept = decimal.exponent + 3;
    int next_digit = 0;
    if (kept >= kSignificantDigits) {
      cents = decimal.digits;
      cents.append(static_cast<std::size_t>(kept - kSignificantDigits), '0');
    } else if (kept > 0) {
      cents = decimal.digits.substr(0, static_cast<std::size_t>(kept));
      next_digit = decimal.digits[static_cast<std::size_t>(kept)] - '0';
    } else if (kept == 0) {
      next_digit = decimal.digits.front() - '0';
    }
    if (next_digit >= 5) {
      Increment(cents);
    }
  }
  const auto first = cents.find_first_not_of('0');
  cents.erase(0, first == std::string::npos ? cents.size() : first);
  if (cents.size() < 3) {
    cents.insert(0, 3 - cents.size(), '0');
  }
  std::string text = amount < 0 ? "-" : "";
  text.append(cents, 0, cents.size() - 2);
  text += format.decimal_separator;
  text.append(cents, cents.size() - 2);
  return text;
}

std::string LocaleDecimalSeparator() {
  const std::lconv *conv = std::localeconv();
  if (conv && conv->decimal_point && conv->decimal_point[0] != '\0') {
    // Locales are UTF-8 here; a separator that is not valid UTF-8 is kept byte for byte.
    return Utf8ToWindows1252(conv->decimal_point);
  }
  return ".";
}

} // namespace verdalia
