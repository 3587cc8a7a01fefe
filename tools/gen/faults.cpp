// Physical faults: the mistakes insurers' systems typically make, each one certain to be
// reported by the record check of its section.
#include <array>
#include <cctype>

#include "common/text.h"
#include "gen/builders.h"
#include "physical/field_types.h"

namespace verdalia::gen {
namespace {

bool IsDigits(std::string_view text) {
  if (text.empty()) {
    return false;
  }
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  return true;
}

bool Obligatory(const FieldDefinition &def) {
  return def.obligatory && UpperAscii(*def.obligatory) == "S";
}

bool RuleStartsWith(const FieldDefinition &def, std::string_view prefix) {
  return def.valid_values && def.valid_values->starts_with(prefix);
}

// Whether the check of this section reports the field when it is left blank.
bool BlankIsReported(const FieldDefinition &def, Section section) {
  if (UpperAscii(def.name) == "TIPO_ENDOSO") {
    return false; // a blank endorsement type is a listed value
  }
  switch (section) {
  case Section::Header:
    return RuleStartsWith(def, "SI_ES:BLANCO");
  case Section::Detail:
    return Obligatory(def) || RuleStartsWith(def, "SI_ES:BLANCO");
  case Section::Control:
    return Obligatory(def);
  }
  return false;
}

// A digit field written the way people write numbers: a letter O for a zero, a blank, a
// decimal point or a thousands separator.
void SpoilNumber(std::string &field, const FieldDefinition &def, Section, Random &random) {
  const bool implied = FactsOf(FieldTypeOf(def.type)).decimals == Decimals::Implied;
  const int decimals = implied && def.decimals ? *def.decimals : 0;
  switch (random.Between(0, 2)) {
  case 0: {
    const std::size_t zero = field.find('0');
    field[zero != std::string::npos ? zero : field.size() - 1] = 'O';
    break;
  }
  case 1:
    field[static_cast<std::size_t>(random.Between(0, static_cast<long long>(field.size()) - 1))] =
        ' ';
    break;
  default:
    if (decimals > 0 && field.size() > static_cast<std::size_t>(decimals) + 1) {
      // "0012.50" instead of "001250": the point takes the place of the first digit.
      const std::size_t point = field.size() - static_cast<std::size_t>(decimals);
      field = field.substr(1, point - 1) + "." + field.substr(point);
    } else if (field.size() >= 4) {
      field[field.size() - 4] = ',';
    } else {
      field.back() = ',';
    }
    break;
  }
}

void SpoilDate(std::string &field, const FieldDefinition &def, Section section, Random &random) {
  const bool real_date = field.size() == 8 && IsDigits(field) && field != "00000000";
  const std::string year = real_date ? field.substr(0, 4) : "2024";
  if (section == Section::Header && real_date && UpperAscii(def.name) == "FECHA_CIERRE" &&
      random.Chance(0.5)) {
    // The closing date of the month before: a valid date, but not the period of the name.
    const Date first = {std::stoi(year), std::stoi(field.substr(4, 2)), 1};
    field = DateText(AddDays(first, -1));
    return;
  }
  std::string spoiled;
  switch (random.Between(real_date ? 0 : 1, 3)) {
  case 0: // day, month, year: the month becomes 19 or 20
    spoiled = field.substr(6, 2) + field.substr(4, 2) + field.substr(0, 4);
    break;
  case 1: // with separators
    spoiled = year + "-" + std::to_string(random.Between(1, 9)) + "-" +
              std::to_string(random.Between(1, 9));
    break;
  case 2: // a thirteenth month
    spoiled = year + "13" + (real_date ? field.substr(6, 2) : "01");
    break;
  default: // the 30th of February
    spoiled = year + "0230";
    break;
  }
  spoiled.resize(field.size(), ' ');
  field = spoiled;
}

void SpoilCheckDigit(std::string &field, const FieldDefinition &, Section, Random &) {
  const char current = field.empty() ? ' ' : field[0];
  if (current == 'K') {
    field[0] = 'k'; // the comparison is case-sensitive
  } else if (current >= '0' && current <= '9') {
    field[0] = current == '9' ? 'K' : static_cast<char>(current + 1);
  } else {
    field[0] = current == '1' ? '2' : '1';
  }
}

// A name written with what the 42 valid characters leave out: lower case, accents, Ñ, a
// point; or an obligatory text left blank.
void SpoilText(std::string &field, const FieldDefinition &def, Section section, Random &random) {
  enum Way { Lower, Accent, Enye, Point, Blank };
  std::vector<Way> ways = {Point};
  const bool has_letter = field.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos;
  const std::size_t vowel = field.find_first_of("AEIOU");
  const std::size_t enye = field.find('N');
  if (has_letter) {
    ways.push_back(Lower);
  }
  if (vowel != std::string::npos) {
    ways.push_back(Accent);
  }
  if (enye != std::string::npos) {
    ways.push_back(Enye);
  }
  if (section != Section::Control && BlankIsReported(def, section) && !IsBlank(field)) {
    ways.push_back(Blank);
  }
  if (section == Section::Control) {
    ways = {Blank};
  }
  switch (random.Pick(ways)) {
  case Lower:
    for (char &c : field) {
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    break;
  case Accent: {
    static constexpr std::string_view kPlain = "AEIOU";
    static constexpr std::string_view kAccented = "\xC1\xC9\xCD\xD3\xDA"; // Windows-1252
    field[vowel] = kAccented[kPlain.find(field[vowel])];
    break;
  }
  case Enye:
    field[enye] = '\xD1';
    break;
  case Point: {
    const std::size_t end = RightTrim(field).size();
    const std::size_t sa = field.rfind(" S A");
    if (sa != std::string::npos && sa + 4 == end && end < field.size()) {
      field.replace(sa, 4, " S.A.");
    } else {
      field[end < field.size() ? end : field.size() - 1] = '.';
    }
    break;
  }
  case Blank:
    field.assign(field.size(), ' ');
    break;
  }
  field.resize(static_cast<std::size_t>(def.length), ' ');
}

void SpoilFiller(std::string &field, const FieldDefinition &, Section, Random &random) {
  static const std::vector<char> kStray = {'0', 'X', '-', '1'};
  field[static_cast<std::size_t>(random.Between(0, static_cast<long long>(field.size()) - 1))] =
      random.Pick(kStray);
}

// A fault of field_types.def: the fields of a section it can spoil so that its check reports
// them (`text` is the field as laid out), and the spoiling.
struct Fault {
  bool (*eligible)(const FieldDefinition &def, Section section, std::string_view text);
  void (*spoil)(std::string &field, const FieldDefinition &def, Section section, Random &random);
};

// Whether the check of the section reports the field once spoiled.
bool Always(const FieldDefinition &, Section, std::string_view) {
  return true;
}
bool Never(const FieldDefinition &, Section, std::string_view) {
  return false;
}
bool DateIsChecked(const FieldDefinition &def, Section section, std::string_view) {
  // The endorsement dates are checked only on endorsement records.
  const std::string name = UpperAscii(def.name);
  return section != Section::Detail ||
         (name != "FECHA_POLIZA_ENDOSO" && name != "FECHA_VIGENCIA_ENDOSO");
}
bool TextIsChecked(const FieldDefinition &def, Section section, std::string_view text) {
  // The control check tests a text field only for being blank, and only when obligatory.
  return section != Section::Control || (Obligatory(def) && !IsBlank(text));
}

constexpr Fault kNumberFault = {&Always, &SpoilNumber};
constexpr Fault kDateFault = {&DateIsChecked, &SpoilDate};
constexpr Fault kCheckDigitFault = {&Always, &SpoilCheckDigit};
constexpr Fault kTextFault = {&TextIsChecked, &SpoilText};
constexpr Fault kFillerFault = {&Always, &SpoilFiller};
constexpr Fault kNoFault = {&Never, nullptr};

constexpr std::array kFaults = {
#define VERDALIA_FIELD_TYPE(type, code, check, characters, decimals, write, fault) &fault,
#include "physical/field_types.def"
#undef VERDALIA_FIELD_TYPE
    &kNoFault, // any other type
};
static_assert(kFaults.size() == static_cast<std::size_t>(FieldType::Other) + 1);

const Fault &FaultOf(const FieldDefinition &def) {
  return *kFaults[static_cast<std::size_t>(FieldTypeOf(def.type))];
}

} // namespace

void InjectPhysicalFault(std::string &line, const std::vector<FieldDefinition> &definitions,
                         Section section, int record_count, Random &random) {
  std::vector<const FieldDefinition *> candidates;
  for (const FieldDefinition &def : definitions) {
    const auto end = static_cast<std::size_t>(def.start - 1 + def.length);
    // The record type stays, or the fault would be a structure fault.
    if (def.start <= 1 || def.length <= 0 || end > line.size()) {
      continue;
    }
    const std::string_view text = std::string_view(line).substr(
        static_cast<std::size_t>(def.start - 1), static_cast<std::size_t>(def.length));
    if (FaultOf(def).eligible(def, section, text)) {
      candidates.push_back(&def);
    }
  }
  if (candidates.empty()) {
    line[0] = '9'; // no kind has records of type 9
    return;
  }
  const FieldDefinition &def = *random.Pick(candidates);
  const auto start = static_cast<std::size_t>(def.start - 1);
  std::string field = line.substr(start, static_cast<std::size_t>(def.length));

  if (section == Section::Control && def.name == "TOTAL_REGISTROS" && random.Chance(0.5) &&
      FactsOf(FieldTypeOf(def.type)).check == FieldCheck::Number) {
    // Counting only the detail records leaves the header and the control record out.
    try {
      FieldDefinition whole = def;
      whole.type = "N";
      field = NumberText(record_count - 2, 0, whole);
    } catch (const std::logic_error &) {
      SpoilNumber(field, def, section, random);
    }
  } else {
    FaultOf(def).spoil(field, def, section, random);
  }
  line.replace(start, field.size(), field);
}

} // namespace verdalia::gen
