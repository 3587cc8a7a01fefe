#include "fuzz_support.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace verdalia::fuzz {
namespace {

std::string MakeScratchFolder() {
  // Memory-backed when the system has it: every input writes one file.
  const char *base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  std::string pattern = std::string(base) + "/verdalia-fuzz-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot make a scratch folder under " + std::string(base));
  }
  return pattern;
}

} // namespace

const std::string &ScratchFolder() {
  // Never destroyed, so the exit handler still finds it.
  static const std::string *const folder = [] {
    const auto *made = new std::string(MakeScratchFolder());
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(ScratchFolder(), ec);
    });
    return made;
  }();
  return *folder;
}

} // namespace verdalia::fuzz
