#pragma once

#include <cstdint>
#include <string_view>

namespace verdalia {

// The rules a field gets, by its type. Each record check (header_record.cpp,
// detail_record.cpp, control_record.cpp) and the plan of the detail records
// (record_plan.cpp) switch on it, without a default: a new check is a compile error in each
// of them until it is handled there.
enum class FieldCheck : std::uint8_t {
  Number,         // digits, and the value rule on the number
  Date,           // eight digits: year, month, day
  IdentityNumber, // digits; the check digit the next CheckDigit field must hold
  CheckDigit,     // the check digit of the latest IdentityNumber field
  Text,           // obligatory, value rule, characters
  Filler,         // blanks
  None,           // not checked
};

// What every character of a value must be for its type's character test to pass.
enum class CharacterClass : std::uint8_t {
  Any,
  Digits, // "0" to "9"
  Text,   // the 42 of text fields: "A"-"Z", "0"-"9", "@", "<", ">", "-", the blank, '"'
  Blanks,
};

// Whether the detail check reads a field's "SI_ES:" value with DECIMALES implied decimals.
enum class Decimals : std::uint8_t { None, Implied };

// The types of field_types.def, and Other: any Tipo the table does not have, not checked.
enum class FieldType : std::uint8_t {
#define VERDALIA_FIELD_TYPE(type, code, check, characters, decimals, write, fault) type,
#include "physical/field_types.def"
#undef VERDALIA_FIELD_TYPE
  Other,
};

// What the record checks and the plan read of a type: its line of field_types.def.
struct FieldTypeFacts {
  std::string_view code;
  FieldCheck check;
  CharacterClass characters;
  Decimals decimals;
};

// The type of a Tipo, compared upper-cased.
FieldType FieldTypeOf(std::string_view tipo);

const FieldTypeFacts &FactsOf(FieldType type);

} // namespace verdalia
