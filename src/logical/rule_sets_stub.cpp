#include "logical/rule_sets.h"

namespace verdalia {

// Placeholders until the rule sets land.
void Verifica_LogicaP(const LogicalContext &, ResultList &) {}
void Verifica_LogicaS(const LogicalContext &, ResultList &) {}
void Verifica_LogicaD(const LogicalContext &, ResultList &) {}

} // namespace verdalia
