#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "common/text.h"
#include "refdata/reference_data.h"

namespace verdalia {

// The value kinds of Tipo, upper-cased; any other code is not checked.
enum class FieldType { N, D, FE, RUT, DV, T, FIL, Other };

// Field names with rules of their own in the detail records (Campo upper-cased).
enum class SpecialName {
  None,
  TipoInformacion,
  FechaVigenciaInicial,
  FechaPolizaEndoso,
  FechaVigenciaEndoso,
  NumeroEndoso,
  TipoEndoso,
};

// Header fields copied into the summary captions (Campo compared exactly).
enum class HeaderLabel { None, RutAseguradora, VerAseguradora, Aseguradora };

// ValoresValidos with its keywords recognised once. Every keyword is a test on the text's
// first characters, so one text can begin with several of them ("SI_ES:BLANCOoCero" also
// begins with "SI_ES:BLANCO" and "SI_ES:"); each check asks for the ones it knows.
struct ValueRule {
  bool present = false;             // false: the column is Null
  std::string text;                 // empty when Null
  bool si_es = false;               // "SI_ES:"
  bool si_es_cero = false;          // "SI_ES:0"
  bool si_es_fecha_cero = false;    // "SI_ES:00000000"
  bool si_es_blanco = false;        // "SI_ES:BLANCO"
  bool si_es_blanco_o_cero = false; // "SI_ES:BLANCOoCero"
  bool si_no_es_binario = false;    // "SI_NO_ES:0o1"
  double operand_number = 0;        // the leading-number value of the text after "SI_ES:"
  std::string operand_text;         // the text after "SI_ES:", trimmed of blanks
};

// One DefArchivo row as the record checks use it, prepared when the reference data is
// loaded so that no record pays for upper-casing, name matching or keyword parsing.
struct PreparedField {
  std::string Campo; // as stored: the field of every row
  std::size_t PosicionInicial = 1;
  std::size_t Largo = 0;
  FieldType type = FieldType::Other;
  SpecialName special = SpecialName::None;
  HeaderLabel label = HeaderLabel::None;
  bool total_registros = false;   // Campo is exactly "TOTAL_REGISTROS"
  bool obligatorio = false;       // Obligatorio upper-cased is "S"
  std::size_t integer_digits = 0; // "D": Largo - DECIMALES, never below 0
  std::size_t decimals = 0;       // "D": DECIMALES, never below 0
  ValueRule rule;
  std::string ErrorFisico; // Null reads as empty
};

PreparedField PrepareField(const FieldDefinition &definition);

// The field's characters as cut from the line: shorter when the line ends inside it,
// empty when it starts beyond the line's end. Never trimmed.
inline std::string_view FieldText(std::string_view Linea, const PreparedField &field) {
  return Mid(Linea, field.PosicionInicial, field.Largo);
}

// The check digit the latest "RUT" field of a record calls for; empty before any.
class ExpectedCheckDigit {
public:
  void Set(char digit) { m_digit = digit; }
  bool Matches(std::string_view value) const {
    return m_digit == '\0' ? value.empty() : value.size() == 1 && value[0] == m_digit;
  }

private:
  char m_digit = '\0';
};

// Whether `value` followed by "#" occurs in `list`, without building that text.
bool ListHolds(std::string_view list, std::string_view value);

// Whether the field is exactly Largo blanks.
bool IsFullFiller(std::string_view value, std::size_t Largo);

// Whether `value` occurs in `text` as a substring; nothing occurs in an empty text.
bool OccursIn(std::string_view text, std::string_view value);

inline void Report(ResultList &rows, int NroReg, const PreparedField &field,
                   std::string_view message) {
  rows.push_back(ResultRow{NroReg, field.Campo, std::string(message)});
}

} // namespace verdalia
