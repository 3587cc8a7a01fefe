#include "common/text.h"
#include "common/windows1252.h"
#include "physical/field_checks.h"
#include "physical/record_checks.h"

namespace verdalia {
namespace {

struct HeaderMessages {
  std::string numeric = Cp1252("Error.Carácter no válido en variable numérica");
  std::string date_format = Cp1252("Error.Formato de Fecha incorrecto");
  std::string date_character = Cp1252("Error.Carácter no válido en campo fecha");
  std::string check_digit = Cp1252("Error.Dígito verificador no corresponde");
  std::string text_character = Cp1252("Error.Caracter no válido en variable alfanumérica");
};

const HeaderMessages &Messages() {
  static const HeaderMessages messages;
  return messages;
}

// The insurer's identity number, "-" and its check digit into caption 1, its name into
// caption 2, of both result tabs.
void ApplyLabel(const PreparedField &field, std::string_view value, SummaryLabels &fisica,
                SummaryLabels &logica) {
  const std::string_view trimmed = Trim(value);
  switch (field.label) {
  case HeaderLabel::RutAseguradora:
    fisica[1] = trimmed;
    logica[1] = trimmed;
    break;
  case HeaderLabel::VerAseguradora:
    // Each caption gets its own current text extended, as the two may differ.
    fisica[1].append("-").append(trimmed);
    logica[1].append("-").append(trimmed);
    break;
  case HeaderLabel::Aseguradora:
    fisica[2] = trimmed;
    logica[2] = trimmed;
    break;
  case HeaderLabel::None:
    break;
  }
}

} // namespace

// The header has rules of its own: the list of a number is searched as plain text, even
// after a failed digit test, and its check digit and date findings are worded apart.
void CheckHeaderRecord(const std::vector<PreparedField> &fields, std::string_view Linea, int NroReg,
                       ResultList &rows, SummaryLabels &fisica, SummaryLabels &logica) {
  const HeaderMessages &msg = Messages();
  ExpectedCheckDigit expected;
  for (const PreparedField &field : fields) {
    const std::string_view value = FieldText(Linea, field);
    const ValueRule &rule = field.rule;
    ApplyLabel(field, value, fisica, logica);

    switch (field.type) {
    case FieldType::N:
    case FieldType::D:
      if (!EsNumero(value)) {
        Report(rows, NroReg, field, msg.numeric);
      }
      if (rule.present && !OccursIn(rule.text, value)) {
        Report(rows, NroReg, field, field.ErrorFisico);
      }
      break;
    case FieldType::FE:
      if (rule.si_es && rule.operand_text == value) {
        Report(rows, NroReg, field, msg.date_format);
      }
      if (!EsNumero(value)) {
        Report(rows, NroReg, field, msg.date_character);
      } else if (!IsDateText(value)) {
        Report(rows, NroReg, field, msg.date_format);
      }
      break;
    case FieldType::RUT:
      if (rule.si_es && LeadingNumberValue(value) == rule.operand_number) {
        Report(rows, NroReg, field, field.ErrorFisico);
      }
      if (!EsNumero(value)) {
        Report(rows, NroReg, field, msg.numeric);
      }
      // Computed whatever the digit test found: the check digit is compared all the same.
      expected.Set(CheckDigitOf(value));
      break;
    case FieldType::DV:
      if (rule.si_es_blanco && IsBlank(value)) {
        Report(rows, NroReg, field, field.ErrorFisico);
      }
      if (!expected.Matches(value)) {
        Report(rows, NroReg, field, msg.check_digit);
      }
      break;
    case FieldType::T:
      if (rule.si_es_blanco && IsBlank(value)) {
        Report(rows, NroReg, field, field.ErrorFisico);
      }
      if (!CaracteresValidos(field.Campo, value)) {
        Report(rows, NroReg, field, msg.text_character);
      }
      break;
    case FieldType::FIL:
      if (value.size() != field.Largo) {
        // The one finding of this check without the "Error." prefix.
        Report(rows, NroReg, field, "Largo de campo debe ser " + std::to_string(field.Largo));
      } else if (!IsFullFiller(value, field.Largo)) {
        Report(rows, NroReg, field, field.ErrorFisico);
      }
      break;
    case FieldType::Other:
      break;
    }
  }
}

} // namespace verdalia
