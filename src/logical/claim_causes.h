#pragma once

#include <string>
#include <string_view>

namespace verdalia {

// The message for an implausible combination of the six claim-cause flags ("1" reported,
// "0" not: drought, rain, frost, hail, snow, a sixth cause), or nullptr when the
// combination is accepted. Claims and claim notices judge the same six combinations.
const std::string *ClaimCauseMessage(std::string_view causes);

} // namespace verdalia
