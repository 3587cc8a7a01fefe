#pragma once

#include <string_view>

namespace verdalia {

// The message for an implausible combination of the six claim-cause flags ("1" reported,
// "0" not: drought, rain, frost, hail, snow, a sixth cause), or an empty text when the
// combination is accepted. Claims and claim notices judge the same six combinations.
std::string_view ClaimCauseMessage(std::string_view causes);

} // namespace verdalia
