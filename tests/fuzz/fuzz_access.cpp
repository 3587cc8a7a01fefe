// libFuzzer entry: the checked-in Access files cut, pages overwritten, copied and given to
// other owners, usage maps scrambled; each loads whole or is refused.
#include <cstdio>
#include <cstdlib>

#include "access_target.h"
#include "fuzz_support.h"

namespace {

const std::vector<verdalia::fuzz::AccessBase> &Bases() {
  static const auto *const bases = new std::vector<verdalia::fuzz::AccessBase>(
      verdalia::fuzz::LoadAccessBases(VERDALIA_ACCESS_FIXTURES, verdalia::fuzz::ScratchFolder()));
  return *bases;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  Bases();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const verdalia::fuzz::AccessFinding finding =
      verdalia::fuzz::FuzzAccess(data, size, Bases(), verdalia::fuzz::ScratchFolder());
  if (!finding.empty()) {
    std::fprintf(stderr, "finding: %s\n", finding.c_str());
    std::abort();
  }
  return 0;
}
