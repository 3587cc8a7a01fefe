#include "gen/record.h"

#include <stdexcept>

#include <array>

#include "common/text.h"
#include "gen/random.h"
#include "physical/field_types.h"

namespace verdalia::gen {
namespace {

std::string Fit(std::string_view text, int width) {
  std::string out(text.substr(0, static_cast<std::size_t>(width)));
  out.resize(static_cast<std::size_t>(width), ' ');
  return out;
}

bool AllDigits(std::string_view text) {
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  return true;
}

// The entries of a value list: the texts before each "#".
std::vector<std::string> ListEntries(std::string_view list) {
  std::vector<std::string> entries;
  std::size_t start = 0;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i] == '#') {
      entries.emplace_back(list.substr(start, i - start));
      start = i + 1;
    }
  }
  return entries;
}

// A run of `width` digits inside a rule text: the header and control checks accept a
// numeric value that occurs anywhere in the text.
std::string DigitsInside(std::string_view rule, int width, const std::string &otherwise) {
  const auto w = static_cast<std::size_t>(width);
  for (std::size_t i = 0; w > 0 && i + w <= rule.size(); ++i) {
    if (AllDigits(rule.substr(i, w))) {
      return std::string(rule.substr(i, w));
    }
  }
  return otherwise;
}

std::string GenericNumber(const FieldDefinition &def, Section section) {
  const auto width = static_cast<std::size_t>(def.length);
  const std::string zeros(width, '0');
  if (!def.valid_values || width == 0) {
    return zeros;
  }
  const std::string &rule = *def.valid_values;
  if (section == Section::Header) {
    return DigitsInside(rule, def.length, zeros);
  }
  if (rule.starts_with("SI_ES:")) {
    if (LeadingNumberValue(std::string_view(rule).substr(6)) != 0.0) {
      return zeros;
    }
    std::string one = zeros;
    one.back() = '1';
    return one;
  }
  if (section == Section::Control) {
    return DigitsInside(rule, def.length, zeros);
  }
  for (const std::string &entry : ListEntries(rule)) {
    if (entry.size() == width && AllDigits(entry)) {
      return entry;
    }
  }
  return zeros;
}

std::string GenericText(const FieldDefinition &def, Section section) {
  const std::string &rule = def.valid_values ? *def.valid_values : std::string();
  const bool listed = def.valid_values && !rule.empty() && !rule.starts_with("SI_ES:") &&
                      !rule.starts_with("SI_NO_ES:");
  if (UpperAscii(def.name) == "TIPO_ENDOSO" && def.valid_values) {
    for (const std::string &entry : ListEntries(rule)) {
      if (entry.size() == static_cast<std::size_t>(def.length)) {
        return entry;
      }
    }
  }
  if (rule.starts_with("SI_NO_ES:0o1")) {
    std::string flags(static_cast<std::size_t>(def.length), '0');
    if (!flags.empty()) {
      flags.front() = '1';
    }
    return flags;
  }
  if (listed) {
    const auto entries = ListEntries(rule);
    if (!entries.empty()) {
      return Fit(entries.front(), def.length);
    }
  }
  const bool obligatory = def.obligatory && UpperAscii(*def.obligatory) == "S";
  const bool needs_text = (section != Section::Header && obligatory) ||
                          (section != Section::Control && rule.starts_with("SI_ES:BLANCO"));
  return needs_text ? Fit("X", def.length) : Fit("", def.length);
}

// What a writer of a valid value reads besides the field's definition.
struct Writing {
  Section section;
  const std::string &default_date;
  Random &random;
  std::string rut; // the latest identity number laid out
};

// The writers of field_types.def, by type.
std::string WriteNumber(const FieldDefinition &def, Writing &writing) {
  return GenericNumber(def, writing.section);
}
std::string WriteDate(const FieldDefinition &def, Writing &writing) {
  return Fit(writing.default_date, def.length);
}
std::string WriteIdentityNumber(const FieldDefinition &def, Writing &writing) {
  return NumberText(writing.random.Between(10000000, 24999999), 0, def);
}
std::string WriteCheckDigit(const FieldDefinition &def, Writing &writing) {
  return Fit(CheckDigit(writing.rut), def.length);
}
std::string WriteText(const FieldDefinition &def, Writing &writing) {
  return GenericText(def, writing.section);
}
std::string WriteBlanks(const FieldDefinition &def, Writing &) {
  return Fit("", def.length);
}

constexpr std::array kWriters = {
#define VERDALIA_FIELD_TYPE(type, code, check, characters, decimals, write, fault) &write,
#include "physical/field_types.def"
#undef VERDALIA_FIELD_TYPE
    &WriteBlanks, // any other type
};
static_assert(kWriters.size() == static_cast<std::size_t>(FieldType::Other) + 1);

} // namespace

Record &Record::Text(const std::string &name, std::string text) {
  FieldValue &value = m_values[name];
  value = FieldValue{};
  value.text = std::move(text);
  return *this;
}

Record &Record::Number(const std::string &name, long long units, int decimals) {
  FieldValue &value = m_values[name];
  value = FieldValue{true, {}, units, decimals};
  return *this;
}

const FieldValue *Record::Find(std::string_view name) const {
  const auto found = m_values.find(name);
  return found == m_values.end() ? nullptr : &found->second;
}

std::string NumberText(long long units, int decimals, const FieldDefinition &definition) {
  const bool with_decimals = FactsOf(FieldTypeOf(definition.type)).decimals == Decimals::Implied;
  const int target = with_decimals && definition.decimals ? *definition.decimals : 0;
  long long scaled = units;
  for (int d = decimals; d < target; ++d) {
    scaled *= 10;
  }
  for (int d = target; d < decimals; ++d) {
    scaled = (scaled + 5) / 10;
  }
  std::string digits = std::to_string(scaled);
  const auto width = static_cast<std::size_t>(definition.length);
  if (scaled < 0 || digits.size() > width) {
    throw std::logic_error("the value " + digits + " does not fit the field " + definition.name);
  }
  return std::string(width - digits.size(), '0') + digits;
}

std::string LayOut(const Record &record, const std::vector<FieldDefinition> &definitions,
                   int length, Section section, const std::string &default_date, Random &random) {
  std::string line(static_cast<std::size_t>(length > 0 ? length : 0), ' ');
  Writing writing{section, default_date, random, {}};
  for (const FieldDefinition &def : definitions) {
    const FieldType type = FieldTypeOf(def.type);
    std::string text;
    if (const FieldValue *value = record.Find(def.name)) {
      text = value->numeric ? NumberText(value->units, value->decimals, def)
                            : Fit(value->text, def.length);
    } else {
      text = kWriters[static_cast<std::size_t>(type)](def, writing);
    }
    if (FactsOf(type).check == FieldCheck::IdentityNumber) {
      writing.rut = text;
    }
    const auto start = static_cast<std::size_t>(def.start - 1);
    for (std::size_t i = 0; i < text.size() && start + i < line.size(); ++i) {
      line[start + i] = text[i];
    }
  }
  if (!line.empty()) {
    line[0] = record.Type();
  }
  return line;
}

std::string CheckDigit(std::string_view rut) {
  const std::string_view text = Trim(rut);
  if (LeadingNumberValue(text) == 0.0) {
    return "0";
  }
  const std::size_t n = text.size();
  int sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = text[i];
    const int value = c >= '0' && c <= '9' ? c - '0' : 0;
    sum += value * static_cast<int>(2 + (n - 1 - i) % 6);
  }
  const int r = 11 - sum % 11;
  if (r == 11) {
    return "0";
  }
  if (r == 10) {
    return "K";
  }
  return std::string(1, static_cast<char>('0' + r));
}

bool OnlyValidCharacters(std::string_view text) {
  static constexpr std::string_view kValid = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789@<>- \"";
  for (const char c : text) {
    if (kValid.find(c) == std::string_view::npos) {
      return false;
    }
  }
  return true;
}

} // namespace verdalia::gen
