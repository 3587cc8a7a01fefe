#pragma once

#include <string_view>
#include <vector>

#include "common/result.h"
#include "logical/number_text.h"
#include "refdata/reference_data.h"

namespace verdalia {

// What a rule set reads: the reloaded lines (element k = record k, element 0 unused), the
// code lists and the number format. The opening (reload, labels, emptied list) is done by
// the caller; the rule sets walk records 2 to NroFilas - 1 and append rows.
struct LogicalContext {
  const std::vector<std::string_view> &Lineas;
  int NroFilas;
  const CodeList &CodigosComuna;
  const CodeList &CodigosCultivo;
  const NumberFormat &numbers;
};

void Verifica_LogicaP(const LogicalContext &context, ResultList &rows);
void Verifica_LogicaS(const LogicalContext &context, ResultList &rows);
void Verifica_LogicaD(const LogicalContext &context, ResultList &rows);

} // namespace verdalia
