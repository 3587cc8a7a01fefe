#include "logical/claim_causes.h"

#include "common/windows1252.h"

#include <array>
#include <cstring>
#include <utility>

namespace verdalia {

const std::string *ClaimCauseMessage(std::string_view causes) {
  static const std::array<std::pair<std::string_view, std::string>, 6> kCombinations = {{
      {"111111", "Error. Informa 6 Causas de Siniestro."},
      {"110000", Cp1252("Error. Informa sequía agrícola y lluvia excesiva/extemporánea "
                        "simultáneamente.")},
      {"101000", Cp1252("Advertencia. Informa sequía agrícola y helada simultáneamente.")},
      {"100100", Cp1252("Advertencia. Informa sequía agrícola y granizo simultáneamente.")},
      {"100010", Cp1252("Advertencia. Informa sequía agrícola y nieve simultáneamente.")},
      {"000000", "Error. No informa Causa del Siniestro."},
  }};
  if (causes.size() != 6) {
    return nullptr;
  }
  for (const auto &[pattern, message] : kCombinations) {
    if (std::memcmp(causes.data(), pattern.data(), 6) == 0) {
      return &message;
    }
  }
  return nullptr;
}

} // namespace verdalia
