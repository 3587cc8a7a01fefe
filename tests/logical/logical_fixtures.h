#pragma once

// Builders of data-file lines for the logical rules, and a runner that hands a file's lines
// to a rule set. A line is a text of the kind's length, blank but for its type and the
// fields written at their fixed positions.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "common/windows1252.h"
#include "logical/number_text.h"
#include "logical/rule_sets.h"
#include "refdata/reference_data.h"

namespace verdalia::testing {

inline constexpr std::size_t kProductionLength = 400;
inline constexpr std::size_t kClaimsLength = 120;
inline constexpr std::size_t kNoticeLength = 100;

// Writes `value` at the 1-based `position` of `line`; a field must fit in the line.
inline void Put(std::string &line, std::size_t position, std::string_view value) {
  if (position < 1 || position - 1 + value.size() > line.size()) {
    throw std::logic_error("field beyond the line: " + std::string(value));
  }
  line.replace(position - 1, value.size(), value);
}

inline std::string BlankLine(char type, std::size_t length) {
  std::string line(length, ' ');
  line[0] = type;
  return line;
}

// A policy record of a production file; the defaults pass every rule when an item record
// with the default quantities (10.00 × 20.00, amount factor 1.5 → 300) follows.
struct Policy {
  std::string tipo = "P";
  std::string poliza = "POL000000000001";
  std::string nivel = "100";
  std::string endoso = "00000000000";
  std::string inicio = "20240101";
  std::string fin = "20241231";
  std::string rut_asegurado = "0012345678";
  std::string asegurado = "AGRICOLA UNO";
  std::string rut_contratante = "0087654321";
  std::string contratante = "AGRICOLA DOS";
  std::string comuna = "01101";
  std::string cultivo = "000101";
  std::string factor = "0015000";
  std::string tasa = "0250";
  std::string prima_fija = "001000";
  std::string monto = "0030000";
  std::string prima_neta = "001000";

  std::string Line() const {
    std::string line = BlankLine('2', kProductionLength);
    Put(line, 17, tipo);
    Put(line, 18, poliza);
    Put(line, 33, nivel);
    Put(line, 36, endoso);
    Put(line, 47, inicio);
    Put(line, 55, fin);
    Put(line, 71, rut_asegurado);
    Put(line, 81, asegurado);
    Put(line, 201, rut_contratante);
    Put(line, 211, contratante);
    Put(line, 331, comuna);
    Put(line, 336, cultivo);
    Put(line, 349, factor);
    Put(line, 356, tasa);
    Put(line, 360, prima_fija);
    Put(line, 366, monto);
    Put(line, 373, prima_neta);
    return line;
  }
};

// An item record of a production file, belonging to the default policy record.
struct Item {
  std::string poliza = "POL000000000001";
  std::string item = "0001";
  std::string cantidad_b = "0002000";
  std::string cantidad_a = "00001000";
  std::string endoso = "00000000000";
  std::string tipo_endoso = "  ";

  std::string Line() const {
    std::string line = BlankLine('3', kProductionLength);
    Put(line, 2, poliza);
    Put(line, 17, item);
    Put(line, 166, cantidad_b);
    Put(line, 173, cantidad_a);
    Put(line, 181, endoso);
    Put(line, 192, tipo_endoso);
    return line;
  }
};

// A claim record of a claims-information file; with a matching detail record the defaults
// give no row.
struct Claim {
  std::string resolucion = "A";
  std::string poliza = "POL000000000001";
  std::string siniestro = "SIN000000000001";
  std::string declaracion = "20240210";
  std::string ocurrencia = "20240201";
  std::string informe = "20240301";
  std::string causas = "100000";
  std::string gastos = "00000001500000";

  std::string Line() const {
    std::string line = BlankLine('2', kClaimsLength);
    Put(line, 2, resolucion);
    Put(line, 3, poliza);
    Put(line, 18, siniestro);
    Put(line, 33, declaracion);
    Put(line, 41, ocurrencia);
    Put(line, 49, informe);
    Put(line, 57, causas);
    Put(line, 63, gastos);
    return line;
  }
};

struct ClaimDetail {
  std::string poliza = "POL000000000001";
  std::string siniestro = "SIN000000000001";
  std::string item = "0001";
  std::string tipo_perdida = "P";
  std::string indemnizacion = "00000000100000";
  std::string tipo_indemnizacion = "M";
  std::string produccion = "0000000000";

  std::string Line() const {
    std::string line = BlankLine('3', kClaimsLength);
    Put(line, 2, poliza);
    Put(line, 17, siniestro);
    Put(line, 32, item);
    Put(line, 51, tipo_perdida);
    Put(line, 52, indemnizacion);
    Put(line, 66, tipo_indemnizacion);
    Put(line, 67, produccion);
    return line;
  }
};

// A claim notice of a claims-notification file; the defaults give no row.
struct ClaimNotice {
  std::string siniestro = "SIN000000000001";
  std::string poliza = "POL000000000001"; // positions 32 to 46; 47 to 50 are the year
  std::string declaracion = "20240210";
  std::string ocurrencia = "20240201";
  std::string causas = "100000";
  std::string provision = "00000000150000";

  std::string Line() const {
    std::string line = BlankLine('2', kNoticeLength);
    Put(line, 2, siniestro);
    Put(line, 32, poliza);
    Put(line, 47, declaracion);
    Put(line, 55, ocurrencia);
    Put(line, 63, causas);
    Put(line, 69, provision);
    return line;
  }
};

using RuleSet = void (*)(const LogicalContext &, ResultList &);

// The codes every default record uses, and a few more.
inline CodeList Comunas() {
  return CodeList("00101\xA6"
                  "01101\xA6"
                  "13101\xA6");
}
inline CodeList Cultivos() {
  return CodeList("000101\xA6"
                  "000205\xA6");
}

// Runs a rule set on `details` framed by a header and a control record (records 1 and
// N), as the logical run does after its opening.
inline ResultList RunRules(RuleSet rules, const std::vector<std::string> &lines,
                           const NumberFormat &numbers = {}, const CodeList &comunas = Comunas(),
                           const CodeList &cultivos = Cultivos()) {
  std::vector<std::string_view> lineas;
  lineas.emplace_back();
  for (const std::string &line : lines) {
    lineas.emplace_back(line);
  }
  const LogicalContext context{lineas, static_cast<int>(lines.size()), comunas, cultivos, numbers};
  ResultList rows;
  rules(context, rows);
  return rows;
}

// A file of the given detail lines between a header and a control record.
inline std::vector<std::string> Framed(std::vector<std::string> details, std::size_t length,
                                       char control = '4') {
  details.insert(details.begin(), BlankLine('1', length));
  details.push_back(BlankLine(control, length));
  return details;
}

// Rows as "record|field|message", decoded to UTF-8 for readable expectations.
inline std::vector<std::string> Texts(const ResultList &rows) {
  std::vector<std::string> out;
  for (const ResultRow &row : rows) {
    out.push_back(std::to_string(row.record) + "|" + row.field + "|" +
                  Windows1252ToUtf8(row.message));
  }
  return out;
}

// The line of a record built from `record`'s defaults, adjusted by `change` when given.
template <typename Record> std::string LineOf(Record record, void (*change)(Record &)) {
  if (change) {
    change(record);
  }
  return record.Line();
}

} // namespace verdalia::testing
