#include "physical/prepared_field.h"

#include <algorithm>

namespace verdalia {
namespace {

FieldType TypeOf(std::string_view Tipo) {
  const std::string upper = UpperAscii(Tipo);
  if (upper == "N") {
    return FieldType::N;
  }
  if (upper == "D") {
    return FieldType::D;
  }
  if (upper == "FE") {
    return FieldType::FE;
  }
  if (upper == "RUT") {
    return FieldType::RUT;
  }
  if (upper == "DV") {
    return FieldType::DV;
  }
  if (upper == "T") {
    return FieldType::T;
  }
  if (upper == "FIL") {
    return FieldType::FIL;
  }
  return FieldType::Other;
}

SpecialName SpecialNameOf(std::string_view Campo) {
  const std::string upper = UpperAscii(Campo);
  if (upper == "TIPO_INFORMACION") {
    return SpecialName::TipoInformacion;
  }
  if (upper == "FECHA_VIGENCIA_INICIAL") {
    return SpecialName::FechaVigenciaInicial;
  }
  if (upper == "FECHA_POLIZA_ENDOSO") {
    return SpecialName::FechaPolizaEndoso;
  }
  if (upper == "FECHA_VIGENCIA_ENDOSO") {
    return SpecialName::FechaVigenciaEndoso;
  }
  if (upper == "NUMERO_ENDOSO") {
    return SpecialName::NumeroEndoso;
  }
  if (upper == "TIPO_ENDOSO") {
    return SpecialName::TipoEndoso;
  }
  return SpecialName::None;
}

// The label rules compare the stored name as it is: a lower-case name fills no caption.
HeaderLabel LabelOf(std::string_view Campo) {
  if (Campo == "RUT_ASEGURADORA") {
    return HeaderLabel::RutAseguradora;
  }
  if (Campo == "VER_ASEGURADORA") {
    return HeaderLabel::VerAseguradora;
  }
  if (Campo == "ASEGURADORA") {
    return HeaderLabel::Aseguradora;
  }
  return HeaderLabel::None;
}

ValueRule RuleOf(const std::optional<std::string> &ValoresValidos) {
  ValueRule rule;
  if (!ValoresValidos) {
    return rule;
  }
  rule.present = true;
  rule.text = *ValoresValidos;
  const std::string_view text = rule.text;
  rule.si_es = text.starts_with("SI_ES:");
  rule.si_es_cero = text.starts_with("SI_ES:0");
  rule.si_es_fecha_cero = text.starts_with("SI_ES:00000000");
  rule.si_es_blanco = text.starts_with("SI_ES:BLANCO");
  rule.si_es_blanco_o_cero = text.starts_with("SI_ES:BLANCOoCero");
  rule.si_no_es_binario = text.starts_with("SI_NO_ES:0o1");
  if (rule.si_es) {
    rule.operand_number = LeadingNumberValue(text.substr(6));
    rule.operand_text = std::string(Trim(text.substr(6)));
  }
  return rule;
}

} // namespace

PreparedField PrepareField(const FieldDefinition &definition) {
  PreparedField field;
  field.Campo = definition.Campo;
  field.PosicionInicial = static_cast<std::size_t>(std::max(definition.PosicionInicial, 1));
  field.Largo = static_cast<std::size_t>(std::max(definition.Largo, 0));
  field.type = TypeOf(definition.Tipo);
  field.special = SpecialNameOf(definition.Campo);
  field.label = LabelOf(definition.Campo);
  field.total_registros = definition.Campo == "TOTAL_REGISTROS";
  field.obligatorio = definition.Obligatorio && UpperAscii(*definition.Obligatorio) == "S";
  // Decimals beyond the field's length leave no integer digits; a negative count means none.
  const int decimals = std::max(definition.DECIMALES.value_or(0), 0);
  field.decimals = static_cast<std::size_t>(decimals);
  field.integer_digits = static_cast<std::size_t>(std::max(definition.Largo - decimals, 0));
  field.rule = RuleOf(definition.ValoresValidos);
  field.ErrorFisico = definition.ErrorFisico.value_or(std::string());
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

bool IsFullFiller(std::string_view value, std::size_t Largo) {
  if (value.size() != Largo) {
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
