#include "logical/claim_causes.h"

#include "logical/messages.h"

#include <array>
#include <cstring>
#include <utility>

namespace verdalia {

std::string_view ClaimCauseMessage(std::string_view causes) {
  using namespace logical_messages;
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kCombinations = {{
      {"111111", kSixClaimCauses},
      {"110000", kDroughtAndRain},
      {"101000", kDroughtAndFrost},
      {"100100", kDroughtAndHail},
      {"100010", kDroughtAndSnow},
      {"000000", kNoClaimCause},
  }};
  if (causes.size() != 6) {
    return {};
  }
  for (const auto &[pattern, message] : kCombinations) {
    if (std::memcmp(causes.data(), pattern.data(), 6) == 0) {
      return message;
    }
  }
  return {};
}

} // namespace verdalia
