// libFuzzer entry: reference databases with fuzzed definitions, line lengths and codes, and
// a data file through both runs against each.
#include <cstdio>
#include <cstdlib>

#include "fuzz_support.h"
#include "targets.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  verdalia::InstallFileViewGuard();
  verdalia::fuzz::ScratchFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const verdalia::fuzz::Finding finding =
      verdalia::fuzz::FuzzDefinitions(data, size, verdalia::fuzz::ScratchFolder());
  if (!finding.empty()) {
    std::fprintf(stderr, "finding: %s\n", finding.c_str());
    std::abort();
  }
  return 0;
}
