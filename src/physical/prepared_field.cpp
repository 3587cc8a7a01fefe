#include "physical/prepared_field.h"

#include <algorithm>

namespace verdalia {
namespace {

SpecialName SpecialNameOf(std::string_view name) {
  const std::string upper = UpperAscii(name);
  if (upper == "TIPO_INFORMACION") {
    return SpecialName::InformationType;
  }
  if (upper == "FECHA_VIGENCIA_INICIAL") {
    return SpecialName::ValidityStart;
  }
  if (upper == "FECHA_POLIZA_ENDOSO") {
    return SpecialName::EndorsementIssueDate;
  }
  if (upper == "FECHA_VIGENCIA_ENDOSO") {
    return SpecialName::EndorsementValidityDate;
  }
  if (upper == "NUMERO_ENDOSO") {
    return SpecialName::EndorsementNumber;
  }
  if (upper == "TIPO_ENDOSO") {
    return SpecialName::EndorsementType;
  }
  return SpecialName::None;
}

// The label rules compare the stored name as it is: a lower-case name fills no caption.
HeaderLabel LabelOf(std::string_view name) {
  if (name == "RUT_ASEGURADORA") {
    return HeaderLabel::InsurerRut;
  }
  if (name == "VER_ASEGURADORA") {
    return HeaderLabel::InsurerCheckDigit;
  }
  if (name == "ASEGURADORA") {
    return HeaderLabel::InsurerName;
  }
  return HeaderLabel::None;
}

ValueRule RuleOf(const std::optional<std::string> &valid_values) {
  ValueRule rule;
  if (!valid_values) {
    return rule;
  }
  rule.present = true;
  rule.text = *valid_values;
  const std::string_view text = rule.text;
  rule.forbids = text.starts_with("SI_ES:");
  rule.forbids_zero = text.starts_with("SI_ES:0");
  rule.forbids_zero_date = text.starts_with("SI_ES:00000000");
  rule.forbids_blank = text.starts_with("SI_ES:BLANCO");
  rule.forbids_blank_or_zero = text.starts_with("SI_ES:BLANCOoCero");
  rule.must_be_binary = text.starts_with("SI_NO_ES:0o1");
  if (rule.forbids) {
    rule.operand_number = LeadingNumberValue(text.substr(6));
    rule.operand_text = std::string(Trim(text.substr(6)));
  }
  return rule;
}

} // namespace

PreparedField PrepareField(const FieldDefinition &definition) {
  PreparedField field;
  field.name = definition.name;
  field.start = static_cast<std::size_t>(std::max(definition.start, 1));
  field.length = static_cast<std::size_t>(std::max(definition.length, 0));
  field.type = FieldTypeOf(definition.type);
  const FieldTypeFacts &facts = FactsOf(field.type);
  field.check = facts.check;
  field.characters = facts.characters;
  field.implied_decimals = facts.decimals == Decimals::Implied;
  field.special = SpecialNameOf(definition.name);
  field.label = LabelOf(definition.name);
  field.record_count = definition.name == "TOTAL_REGISTROS";
  field.obligatory = definition.obligatory && UpperAscii(*definition.obligatory) == "S";
  // Decimals beyond the field's length leave no integer digits; a negative count means none.
  const int decimals = std::max(definition.decimals.value_or(0), 0);
  field.decimals = static_cast<std::size_t>(decimals);
  field.integer_digits = static_cast<std::size_t>(std::max(definition.length - decimals, 0));
  field.rule = RuleOf(definition.valid_values);
  field.message = definition.message.value_or(std::string());
  return field;
}

bool ListHolds(std::string_view list, std::string_view value) {
  for (std::size_t at = list.find(value); at != std::string_view::npos;
       at = list.find(value, at + 1)) {
    const std::size_t after = at + value.size();
    if (after < list.size() && list[after] == '#') {
      return true;
    }
  }
  return false;
}

bool OccursIn(std::string_view text, std::string_view value) {
  return !text.empty() && text.find(value) != std::string_view::npos;
}

bool IsFullFiller(std::string_view value, std::size_t length) {
  if (value.size() != length) {
    return false;
  }
  // Compared a block at a time: fillers are the widest fields of a record.
  static const std::string kBlanks(256, ' ');
  while (value.size() > kBlanks.size()) {
    if (value.substr(0, kBlanks.size()) != kBlanks) {
      return false;
    }
    value.remove_prefix(kBlanks.size());
  }
  return value == std::string_view(kBlanks).substr(0, value.size());
}

} // namespace verdalia
