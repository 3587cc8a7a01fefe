#include "common/text.h"
#include "physical/check_digits.h"
#include "physical/dates.h"
#include "physical/field_checks.h"
#include "physical/messages.h"
#include "physical/record_checks.h"

namespace verdalia {
namespace {

using namespace physical_messages;

bool AllZeros(std::string_view text) {
  return text.find_first_not_of('0') == std::string_view::npos;
}

// Whether NumericValue is 0, for a field of digits alone: a number of digits is 0 exactly
// when every digit read is "0", so the number need not be worked out. A field with implied
// decimals reads its first integer digits and its last decimals.
bool IsZeroValue(const PreparedField &field, std::string_view digits) {
  if (!field.implied_decimals) {
    return AllZeros(digits);
  }
  const std::string_view integer_part = digits.substr(0, field.integer_digits);
  const std::string_view decimal_part =
      digits.size() >= field.decimals ? digits.substr(digits.size() - field.decimals) : digits;
  return AllZeros(integer_part) && AllZeros(decimal_part);
}

bool IsEndorsementDate(const PreparedField &field) {
  return field.special == SpecialName::EndorsementIssueDate ||
         field.special == SpecialName::EndorsementValidityDate;
}

void CheckNumber(const PreparedField &field, std::string_view text, int record, ResultList &rows) {
  const ValueRule &rule = field.rule;
  if (!HasCharacters(field.characters, text)) {
    Report(rows, record, field, text, kNumericCharacter);
    return;
  }
  // The endorsement number is only required to be digits.
  if (field.special == SpecialName::EndorsementNumber || !rule.present) {
    return;
  }
  if (rule.forbids) {
    // Any text after the keyword is read as a number: "SI_ES:BLANCO" forbids 0.
    const bool equal = rule.operand_number == 0 ? IsZeroValue(field, text)
                                                : NumericValue(field, text) == rule.operand_number;
    if (equal) {
      Report(rows, record, field, text, field.message, rule.text);
    }
  } else if (!rule.text.empty() && !ListHolds(rule.text, text)) {
    Report(rows, record, field, text, field.message, rule.text);
  }
}

// `read` is the field as it stands in the line, `text` as the check judges it.
void CheckDate(const PreparedField &field, std::string_view read, std::string_view text,
               std::string_view information, int record, ResultList &rows) {
  if (IsEndorsementDate(field)) {
    // Endorsement dates matter only in an endorsement record, and have no zero-date rule.
    if (!Is(information, "E")) {
      return;
    }
    if (!HasCharacters(field.characters, text)) {
      Report(rows, record, field, read, kDateCharacter);
    } else if (!IsDateOfDigits(text)) {
      Report(rows, record, field, read, field.message);
    }
    return;
  }
  if (!HasCharacters(field.characters, text)) {
    Report(rows, record, field, read, kDateCharacter);
  } else if (!IsDateOfDigits(text)) {
    Report(rows, record, field, read, kDetailNoDate);
  }
  if (field.rule.forbids_zero_date && Is(text, "00000000")) {
    Report(rows, record, field, read, field.message, field.rule.text);
  }
}

void CheckText(const PreparedField &field, std::string_view text, int record, ResultList &rows) {
  const ValueRule &rule = field.rule;
  const bool blank = IsBlank(text);
  // The first case that applies decides the value rule.
  if (field.special == SpecialName::EndorsementType) {
    // No test for an empty list here: an empty list refuses every endorsement type.
    if (rule.present && !ListHolds(rule.text, text)) {
      Report(rows, record, field, text, field.message, rule.text);
    }
  } else if (field.obligatory && blank) {
    Report(rows, record, field, text,
           rule.present ? kDetailNoObligatoryValue.View() : std::string_view(field.message));
  } else if (!rule.present) {
    // no value rule
  } else if (rule.forbids_blank_or_zero) {
    if (blank || AllZeros(text)) {
      Report(rows, record, field, text, field.message, rule.text);
    }
  } else if (rule.forbids_blank) {
    if (blank && !field.obligatory) {
      Report(rows, record, field, text, field.message, rule.text);
    }
  } else if (rule.must_be_binary) {
    if (!IsBinary(text)) {
      Report(rows, record, field, text, field.message, rule.text);
    } else if (LeadingNumberValue(text) == 0) {
      Report(rows, record, field, text, kDetailNoClaimCause);
    }
  } else if (!rule.text.empty() && !ListHolds(rule.text, RightTrim(text))) {
    Report(rows, record, field, text, field.message, rule.text);
  }

  if (!HasCharacters(field.characters, text)) {
    Report(rows, record, field, text, kTextCharacter);
  }
}

} // namespace

double NumericValue(const PreparedField &field, std::string_view text) {
  if (!field.implied_decimals) {
    return LeadingNumberValue(text);
  }
  if (IsBlank(text)) {
    return 0;
  }
  return FixedPointValue(text, field.integer_digits, field.decimals);
}

void CheckDetailField(const PreparedField &field, std::string_view text, DetailState &state,
                      int record, ResultList &rows) {
  if (field.special == SpecialName::InformationType) {
    state.information = text;
  }
  // The start date is trimmed (the zero date aside), so a blank one is not a date at all
  // rather than a wrong character; its findings still show it as it stands in the line.
  const std::string_view read = text;
  if (field.special == SpecialName::ValidityStart && !Is(text, "00000000")) {
    text = Trim(text);
  }

  switch (field.check) {
  case FieldCheck::Number:
    CheckNumber(field, text, record, rows);
    break;
  case FieldCheck::Date:
    CheckDate(field, read, text, state.information, record, rows);
    break;
  case FieldCheck::IdentityNumber: {
    // A number of digits alone is 0 exactly when every digit is.
    const bool digits = HasCharacters(field.characters, text);
    if (!digits) {
      Report(rows, record, field, text, kNumericCharacter);
    } else if (field.rule.forbids_zero && AllZeros(text)) {
      Report(rows, record, field, text, field.message, field.rule.text);
    }
    state.expected.Set(digits ? CheckDigitOfDigits(text) : CheckDigitOf(text));
    break;
  }
  case FieldCheck::CheckDigit:
    if (!state.expected.Matches(text)) {
      Report(rows, record, field, text, kDetailCheckDigit, state.expected.Text());
    }
    break;
  case FieldCheck::Text:
    CheckText(field, text, record, rows);
    break;
  case FieldCheck::Filler:
    if (!IsFullFiller(text, field.length)) {
      Report(rows, record, field, text, field.message);
    }
    break;
  case FieldCheck::None:
    break;
  }
}

void CheckDetailRecord(const std::vector<PreparedField> &fields, std::string_view line, int record,
                       ResultList &rows) {
  // Both start empty in every record: nothing carries over from the record before.
  DetailState state;
  for (const PreparedField &field : fields) {
    CheckDetailField(field, FieldText(line, field), state, record, rows);
  }
}

} // namespace verdalia
