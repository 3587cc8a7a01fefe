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

// Production files: policy records ("2") and item records ("3"). A policy record without a
// later item, an item without policy, and a repeated new or endorsement item end the walk.
// The endorsement type of the fixed-premium rule for endorsements is that of the policy
// record's last later item record, the one the insured-amount rule remembers.
void Verifica_LogicaP(const LogicalContext &context, ResultList &rows);

// Claims-information files: claim records ("2") and claim detail records ("3"); the first
// record without partner ends the walk.
void Verifica_LogicaS(const LogicalContext &context, ResultList &rows);

// Claims-notification files: every claim notice ("2") gets all four rules.
void Verifica_LogicaD(const LogicalContext &context, ResultList &rows);

} // namespace verdalia
