#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "common/text.h"
#include "physical/field_types.h"
#include "refdata/reference_data.h"

namespace verdalia {

// Field names with rules of their own in the detail records (Campo upper-cased):
// TIPO_INFORMACION, FECHA_VIGENCIA_INICIAL, FECHA_POLIZA_ENDOSO, FECHA_VIGENCIA_ENDOSO,
// NUMERO_ENDOSO, TIPO_ENDOSO.
enum class SpecialName {
  None,
  InformationType,
  ValidityStart,
  EndorsementIssueDate,
  EndorsementValidityDate,
  EndorsementNumber,
  EndorsementType,
};

// Header fields whose values name the file (Campo compared exactly): RUT_ASEGURADORA,
// VER_ASEGURADORA, ASEGURADORA.
enum class HeaderLabel { None, InsurerRut, InsurerCheckDigit, InsurerName };

// ValoresValidos with its keywords recognised once. Every keyword is a test on the text's
// first characters, so one text can begin with several of them ("SI_ES:BLANCOoCero" also
// begins with "SI_ES:BLANCO" and "SI_ES:"); each check asks for the ones it knows.
struct ValueRule {
  bool present = false;               // false: the column is Null
  std::string text;                   // empty when Null
  bool forbids = false;               // "SI_ES:"
  bool forbids_zero = false;          // "SI_ES:0"
  bool forbids_zero_date = false;     // "SI_ES:00000000"
  bool forbids_blank = false;         // "SI_ES:BLANCO"
  bool forbids_blank_or_zero = false; // "SI_ES:BLANCOoCero"
  bool must_be_binary = false;        // "SI_NO_ES:0o1"
  double operand_number = 0;          // the leading-number value of the text after "SI_ES:"
  std::string operand_text;           // the text after "SI_ES:", trimmed of blanks
};

// One DefArchivo row as the record checks use it, prepared when the reference data is
// loaded so that no record pays for upper-casing, name matching or keyword parsing.
struct PreparedField {
  std::string name; // Campo as stored: the field of every row
  std::size_t start = 1;
  std::size_t length = 0;
  FieldType type = FieldType::Other;
  // Of the type's line in field_types.def: what the checks read of it.
  FieldCheck check = FieldCheck::None;
  CharacterClass characters = CharacterClass::Any;
  bool implied_decimals = false; // the "SI_ES:" value of the detail check reads DECIMALES
  SpecialName special = SpecialName::None;
  HeaderLabel label = HeaderLabel::None;
  bool record_count = false;      // Campo is exactly "TOTAL_REGISTROS"
  bool obligatory = false;        // Obligatorio upper-cased is "S"
  std::size_t integer_digits = 0; // implied decimals: Largo - DECIMALES, never below 0
  std::size_t decimals = 0;       // implied decimals: DECIMALES, never below 0
  ValueRule rule;
  std::string message; // ErrorFisico; Null reads as empty
};

PreparedField PrepareField(const FieldDefinition &definition);

// The field's characters as cut from the line: shorter when the line ends inside it,
// empty when it starts beyond the line's end. Never trimmed.
inline std::string_view FieldText(std::string_view line, const PreparedField &field) {
  return Mid(line, field.start, field.length);
}

// The check digit the latest "RUT" field of a record calls for; empty before any.
class ExpectedCheckDigit {
public:
  void Set(char digit) { m_digit = digit; }
  bool Matches(std::string_view value) const {
    return m_digit == '\0' ? value.empty() : value.size() == 1 && value[0] == m_digit;
  }
  // The digit as a text that lives as long as the program; empty before any "RUT" field.
  std::string_view Text() const { return CharacterText(m_digit); }

private:
  char m_digit = '\0';
};

// Whether `value` followed by "#" occurs in `list`, without building that text.
bool ListHolds(std::string_view list, std::string_view value);

// Whether the field is exactly `length` blanks.
bool IsFullFiller(std::string_view value, std::size_t length);

// Whether `value` occurs in `text` as a substring; nothing occurs in an empty text.
bool OccursIn(std::string_view text, std::string_view value);

// The row of a finding about `field`, with what the check read (`value`: the field's
// characters as cut from the line, where the field begins) and, where it knows it, what it
// expected (the check digit worked out, the rule as the definition states it, ...). The
// texts must outlive the list: fixed, the definition's own, the line's (the list keeps the
// file), or kept by the list.
inline void Report(ResultList &rows, int record, const PreparedField &field,
                   std::string_view value, std::string_view message,
                   std::string_view expected = {}) {
  FindingDetail detail;
  detail.value = value;
  detail.value_start = field.start;
  detail.expected = expected;
  rows.push_back(ResultRow{record, field.name, message}, std::move(detail));
}

} // namespace verdalia
