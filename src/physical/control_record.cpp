#include "common/text.h"
#include "physical/check_digits.h"
#include "physical/dates.h"
#include "physical/field_checks.h"
#include "physical/messages.h"
#include "physical/record_checks.h"

namespace verdalia {
namespace {

using namespace physical_messages;

void CheckNumber(const PreparedField &field, std::string_view value, int record, ResultList &rows) {
  const ValueRule &rule = field.rule;
  const bool digits = HasCharacters(field.characters, value);
  if (!digits) {
    Report(rows, record, field, value, kControlNumericCharacter);
  }
  if (rule.present && digits) {
    if (rule.forbids) {
      if (LeadingNumberValue(value) == rule.operand_number) {
        Report(rows, record, field, value, field.message, rule.text);
      }
    } else if (!OccursIn(rule.text, value)) {
      Report(rows, record, field, value, field.message, rule.text);
    }
  }
  // The count includes the header and the control record: it is the control's own number.
  if (field.record_count && LeadingNumberValue(value) != static_cast<double>(record)) {
    Report(rows, record, field, value, kControlRecordCount, rows.Keep(std::to_string(record)));
  }
}

} // namespace

void CheckControlRecord(const std::vector<PreparedField> &fields, std::string_view line, int record,
                        ResultList &rows) {
  ExpectedCheckDigit expected;
  for (const PreparedField &field : fields) {
    const std::string_view value = FieldText(line, field);
    switch (field.check) {
    case FieldCheck::Number:
      CheckNumber(field, value, record, rows);
      break;
    case FieldCheck::Date:
      if (!HasCharacters(field.characters, value)) {
        Report(rows, record, field, value, kDateCharacter);
      } else if (!IsDateText(value)) {
        Report(rows, record, field, value, field.message);
      }
      break;
    case FieldCheck::IdentityNumber:
      if (!HasCharacters(field.characters, value)) {
        Report(rows, record, field, value, kControlNumericCharacter);
      }
      expected.Set(CheckDigitOf(value));
      break;
    case FieldCheck::CheckDigit:
      if (!expected.Matches(value)) {
        Report(rows, record, field, value, field.message, expected.Text());
      }
      break;
    case FieldCheck::Text:
      // A text field of the control record is only required to be filled when obligatory.
      if (field.obligatory && IsBlank(value)) {
        Report(rows, record, field, value, field.message);
      }
      break;
    case FieldCheck::Filler:
      if (value.size() != field.length) {
        Report(rows, record, field, value,
               rows.Keep(kControlFillerLength.With({std::to_string(field.length)})));
      } else if (!IsFullFiller(value, field.length)) {
        Report(rows, record, field, value, field.message);
      }
      break;
    case FieldCheck::None:
      break;
    }
  }
}

} // namespace verdalia
