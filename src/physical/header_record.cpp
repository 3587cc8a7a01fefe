#include "common/text.h"
#include "physical/check_digits.h"
#include "physical/dates.h"
#include "physical/field_checks.h"
#include "physical/messages.h"
#include "physical/record_checks.h"

namespace verdalia {
namespace {

using namespace physical_messages;

// The insurer's identity number, "-" and its check digit, and its name, into the labels.
void ApplyLabel(const PreparedField &field, std::string_view value, HeaderLabels &labels) {
  const std::string_view trimmed = Trim(value);
  switch (field.label) {
  case HeaderLabel::InsurerRut:
    labels.rut = Cp1252Text(std::string(trimmed));
    break;
  case HeaderLabel::InsurerCheckDigit:
    // Extends the label as it stands, whatever set it: a layout without the identity number
    // extends the one an earlier run left.
    labels.rut = Cp1252Text(labels.rut.bytes() + "-" + std::string(trimmed));
    break;
  case HeaderLabel::InsurerName:
    labels.name = Cp1252Text(std::string(trimmed));
    break;
  case HeaderLabel::None:
    break;
  }
}

// The list of a number is searched as plain text, even after a failed digit test.
void CheckNumber(const PreparedField &field, std::string_view value, int record, ResultList &rows) {
  if (!HasCharacters(field.characters, value)) {
    Report(rows, record, field, value, kNumericCharacter);
  }
  if (field.rule.present && !OccursIn(field.rule.text, value)) {
    Report(rows, record, field, value, field.message, field.rule.text);
  }
}

void CheckDate(const PreparedField &field, std::string_view value, int record, ResultList &rows) {
  if (field.rule.forbids && field.rule.operand_text == value) {
    Report(rows, record, field, value, kHeaderDateFormat, field.rule.text);
  }
  if (!HasCharacters(field.characters, value)) {
    Report(rows, record, field, value, kDateCharacter);
  } else if (!IsDateText(value)) {
    Report(rows, record, field, value, kHeaderDateFormat);
  }
}

void CheckIdentityNumber(const PreparedField &field, std::string_view value, int record,
                         ResultList &rows, ExpectedCheckDigit &expected) {
  if (field.rule.forbids && LeadingNumberValue(value) == field.rule.operand_number) {
    Report(rows, record, field, value, field.message, field.rule.text);
  }
  if (!HasCharacters(field.characters, value)) {
    Report(rows, record, field, value, kNumericCharacter);
  }
  // Computed whatever the digit test found: the check digit is compared all the same.
  expected.Set(CheckDigitOf(value));
}

void CheckCheckDigit(const PreparedField &field, std::string_view value, int record,
                     ResultList &rows, const ExpectedCheckDigit &expected) {
  if (field.rule.forbids_blank && IsBlank(value)) {
    Report(rows, record, field, value, field.message, field.rule.text);
  }
  if (!expected.Matches(value)) {
    Report(rows, record, field, value, kHeaderCheckDigit, expected.Text());
  }
}

void CheckText(const PreparedField &field, std::string_view value, int record, ResultList &rows) {
  if (field.rule.forbids_blank && IsBlank(value)) {
    Report(rows, record, field, value, field.message, field.rule.text);
  }
  if (!HasCharacters(field.characters, value)) {
    Report(rows, record, field, value, kTextCharacter);
  }
}

void CheckFiller(const PreparedField &field, std::string_view value, int record, ResultList &rows) {
  if (value.size() != field.length) {
    Report(rows, record, field, value,
           rows.Keep(kHeaderFillerLength.With({std::to_string(field.length)})));
  } else if (!IsFullFiller(value, field.length)) {
    Report(rows, record, field, value, field.message);
  }
}

} // namespace

// The header has rules of its own, and its check digit and date findings are worded apart.
void CheckHeaderRecord(const std::vector<PreparedField> &fields, std::string_view line, int record,
                       ResultList &rows, HeaderLabels &labels) {
  ExpectedCheckDigit expected;
  for (const PreparedField &field : fields) {
    const std::string_view value = FieldText(line, field);
    ApplyLabel(field, value, labels);
    switch (field.check) {
    case FieldCheck::Number:
      CheckNumber(field, value, record, rows);
      break;
    case FieldCheck::Date:
      CheckDate(field, value, record, rows);
      break;
    case FieldCheck::IdentityNumber:
      CheckIdentityNumber(field, value, record, rows, expected);
      break;
    case FieldCheck::CheckDigit:
      CheckCheckDigit(field, value, record, rows, expected);
      break;
    case FieldCheck::Text:
      CheckText(field, value, record, rows);
      break;
    case FieldCheck::Filler:
      CheckFiller(field, value, record, rows);
      break;
    case FieldCheck::None:
      break;
    }
  }
}

} // namespace verdalia
