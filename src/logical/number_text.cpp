#include "logical/number_text.h"

#include <clocale>
#include <cmath>
#include <cstdio>

namespace verdalia {

double RoundToCents(double amount) { return std::floor((amount + 0.005) * 100.0) / 100.0; }

std::string PlainNumberText(double amount, const NumberFormat &format) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", amount);
  std::string text(buffer);
  const auto point = text.find('.');
  if (point != std::string::npos) {
    text.replace(point, 1, format.decimal_separator);
  }
  return text;
}

std::string TwoDecimalText(double amount, const NumberFormat &format) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", amount);
  std::string text(buffer);
  const auto point = text.find('.');
  if (point != std::string::npos) {
    text.replace(point, 1, format.decimal_separator);
  }
  return text;
}

std::string LocaleDecimalSeparator() {
  const std::lconv *conv = std::localeconv();
  if (conv && conv->decimal_point && conv->decimal_point[0] != '\0') {
    return conv->decimal_point;
  }
  return ".";
}

} // namespace verdalia
