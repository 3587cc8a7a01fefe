#include "common/text.h"
#include "common/windows1252.h"
#include "physical/field_checks.h"
#include "physical/record_checks.h"

namespace verdalia {
namespace {

// The control record words its findings apart from the other records: a blank follows
// "Error." in most of them, but not in the date finding.
struct ControlMessages {
  std::string numeric = Cp1252("Error. Carácter no válido en variable numérica");
  std::string record_count =
      Cp1252("Error. No concuerda con el número total de registros del archivo");
  std::string date_character = Cp1252("Error.Carácter no válido en campo fecha");
};

const ControlMessages &Messages() {
  static const ControlMessages messages;
  return messages;
}

void CheckNumber(const PreparedField &field, std::string_view value, int NroReg, ResultList &rows) {
  const ValueRule &rule = field.rule;
  const bool digits = EsNumero(value);
  if (!digits) {
    Report(rows, NroReg, field, Messages().numeric);
  }
  if (rule.present && digits) {
    if (rule.si_es) {
      if (LeadingNumberValue(value) == rule.operand_number) {
        Report(rows, NroReg, field, field.ErrorFisico);
      }
    } else if (!OccursIn(rule.text, value)) {
      Report(rows, NroReg, field, field.ErrorFisico);
    }
  }
  // The count includes the header and the control record: it is the control's own number.
  if (field.total_registros && LeadingNumberValue(value) != static_cast<double>(NroReg)) {
    Report(rows, NroReg, field, Messages().record_count);
  }
}

} // namespace

void CheckControlRecord(const std::vector<PreparedField> &fields, std::string_view Linea,
                        int NroReg, ResultList &rows) {
  const ControlMessages &msg = Messages();
  ExpectedCheckDigit expected;
  for (const PreparedField &field : fields) {
    const std::string_view value = FieldText(Linea, field);
    switch (field.type) {
    case FieldType::N:
    case FieldType::D:
      CheckNumber(field, value, NroReg, rows);
      break;
    case FieldType::FE:
      if (!EsNumero(value)) {
        Report(rows, NroReg, field, msg.date_character);
      } else if (!IsDateText(value)) {
        Report(rows, NroReg, field, field.ErrorFisico);
      }
      break;
    case FieldType::RUT:
      if (!EsNumero(value)) {
        Report(rows, NroReg, field, msg.numeric);
      }
      expected.Set(CheckDigitOf(value));
      break;
    case FieldType::DV:
      if (!expected.Matches(value)) {
        Report(rows, NroReg, field, field.ErrorFisico);
      }
      break;
    case FieldType::T:
      // A text field of the control record is only required to be filled when obligatory.
      if (field.obligatorio && IsBlank(value)) {
        Report(rows, NroReg, field, field.ErrorFisico);
      }
      break;
    case FieldType::FIL:
      if (value.size() != field.Largo) {
        Report(rows, NroReg, field,
               "Error. Largo de campo debe ser " + std::to_string(field.Largo));
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
