// libFuzzer entry: the leading-number value, fixed-point fields and number texts.
#include <cstdio>
#include <cstdlib>

#include "targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const verdalia::fuzz::Finding finding = verdalia::fuzz::FuzzNumbers(data, size);
  if (!finding.empty()) {
    std::fprintf(stderr, "finding: %s\n", finding.c_str());
    std::abort();
  }
  return 0;
}
