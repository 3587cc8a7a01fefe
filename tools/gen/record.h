#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "refdata/reference_data.h"

namespace verdalia::gen {

class Random;

// The record check that reads a line: header, detail and control checks search value lists
// differently, so a value that passes one may fail another.
enum class Section { Header, Detail, Control };

// One field's value before it is laid out: a text (left-aligned, padded with blanks) or a
// number of `units` with `decimals` implied decimals (right-aligned, padded with zeros,
// rescaled to the field's own DECIMALES).
struct FieldValue {
  bool numeric = false;
  std::string text;
  long long units = 0;
  int decimals = 0;
};

// The values of one record, by field name (Windows-1252). A field the record gives no value
// gets one from its definition that the physical checks accept (see LayOut).
class Record {
public:
  explicit Record(char type) : m_type(type) {}

  char Type() const { return m_type; }
  Record &Text(const std::string &name, std::string text);
  Record &Number(const std::string &name, long long units, int decimals = 0);
  const FieldValue *Find(std::string_view name) const;

private:
  char m_type;
  std::map<std::string, FieldValue, std::less<>> m_values;
};

// Lays the record out on a line of `length` blanks by its definitions, in Sec order. A "DV"
// field without a value of its own gets the check digit of the latest "RUT" field before
// it; any other field without a value gets one that passes its type and value rule in that
// section (`default_date` for dates). The record type always stands in the first character.
std::string LayOut(const Record &record, const std::vector<FieldDefinition> &definitions,
                   int length, Section section, const std::string &default_date, Random &random);

// The digits of a number as a numeric field of this definition writes it. Throws
// std::logic_error when the value does not fit: the generator chooses values that do.
std::string NumberText(long long units, int decimals, const FieldDefinition &definition);

// The modulus-11 check digit of an identity number ("0"-"9" or "K"), computed as the
// physical checks compute it: blanks trimmed, weights 2 to 7 from the right, a number that
// reads as 0 gives "0".
std::string CheckDigit(std::string_view rut);

// True when every character is one of the 42 that text fields accept.
bool OnlyValidCharacters(std::string_view text);

} // namespace verdalia::gen
