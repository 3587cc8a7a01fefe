#include "common/text.h"

#include <charconv>
#include <limits>

namespace verdalia {

double LeadingNumberValue(std::string_view text) {
  // Collect the characters that form the number, blanks dropped, then convert once.
  std::string number;
  number.reserve(text.size());
  bool negative = false;
  bool seen_sign = false;
  bool seen_digit = false;
  bool seen_point = false;
  std::size_t i = 0;
  auto skip_blanks = [&] {
    while (i < text.size() && text[i] == ' ') {
      ++i;
    }
  };

  skip_blanks();
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    seen_sign = true;
    ++i;
  }
  (void)seen_sign;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ') {
      continue;
    }
    if (c >= '0' && c <= '9') {
      number.push_back(c);
      seen_digit = true;
    } else if (c == '.' && !seen_point) {
      number.push_back(c);
      seen_point = true;
    } else {
      break;
    }
  }
  if (!seen_digit) {
    return 0.0;
  }
  // An exponent counts only when at least one digit follows its letter and optional sign.
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    while (j < text.size() && text[j] == ' ') {
      ++j;
    }
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
      exponent.push_back(text[j]);
      ++j;
    }
    bool exponent_digit = false;
    for (; j < text.size(); ++j) {
      const char c = text[j];
      if (c == ' ') {
        continue;
      }
      if (c < '0' || c > '9') {
        break;
      }
      // Keep the exponent bounded: beyond a few digits the value is 0 or infinite anyway.
      if (exponent.size() < 8) {
        exponent.push_back(c);
      }
      exponent_digit = true;
    }
    if (exponent_digit) {
      number += exponent;
    }
  }
  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value untouched on overflow and underflow: tell them apart.
    const bool tiny = number.find("e-") != std::string::npos;
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return negative ? -value : value;
}

double FixedPointValue(std::string_view field, std::size_t integer_digits, std::size_t decimals) {
  std::string text;
  text.reserve(integer_digits + decimals + 1);
  text.append(field.substr(0, integer_digits));
  text.push_back('.');
  text.append(field.size() >= decimals ? field.substr(field.size() - decimals) : field);
  return LeadingNumberValue(text);
}

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return {};
  }
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::string_view RightTrim(std::string_view text) {
  const auto last = text.find_last_not_of(' ');
  if (last == std::string_view::npos) {
    return {};
  }
  return text.substr(0, last + 1);
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char &c : out) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return out;
}

} // namespace verdalia
