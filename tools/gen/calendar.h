#pragma once

#include <string>

namespace verdalia::gen {

// A day of the Gregorian calendar.
struct Date {
  int year = 2000;
  int month = 1;
  int day = 1;

  bool operator==(const Date &) const = default;
};

int DaysInMonth(int year, int month);

// Days since 1970-01-01, and back.
long DaysFromCivil(const Date &date);
Date CivilFromDays(long days);

Date AddDays(const Date &date, long days);

// The date as the data files write it: eight digits, year, month, day.
std::string DateText(const Date &date);

} // namespace verdalia::gen
