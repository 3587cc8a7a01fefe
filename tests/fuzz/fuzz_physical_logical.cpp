// libFuzzer entry: any data file through the physical and the logical run, against the
// reference database the build ships.
#include <cstdio>
#include <cstdlib>

#include "fuzz_support.h"
#include "targets.h"

namespace {

const verdalia::Validator &Shipped() {
  static const verdalia::Validator validator(verdalia::LoadReferenceData(VERDALIA_REFERENCE_DB),
                                             verdalia::NumberFormat{});
  return validator;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  verdalia::InstallFileViewGuard();
  Shipped();
  verdalia::fuzz::ScratchFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const verdalia::fuzz::Finding finding =
      verdalia::fuzz::FuzzPhysicalLogical(data, size, Shipped(), verdalia::fuzz::ScratchFolder());
  if (!finding.empty()) {
    std::fprintf(stderr, "finding: %s\n", finding.c_str());
    std::abort();
  }
  return 0;
}
