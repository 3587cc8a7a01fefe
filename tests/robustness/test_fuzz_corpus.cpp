#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/file_mapping.h"
#include "fuzz/targets.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

using testing::ReadBytes;
using testing::TempDir;

// Every input kept beside the harnesses, the seeds and each input that once found a fault,
// goes through its harness again in every build, the sanitized one included.
std::vector<std::filesystem::path> Inputs(const std::string &harness) {
  std::vector<std::filesystem::path> files;
  const std::filesystem::path folder =
      std::filesystem::path(VERDALIA_SOURCE_DIR) / "tests/fuzz/corpus" / harness;
  for (const auto &entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

template <typename Target> void Replay(const std::string &harness, Target target) {
  ASSERT_TRUE(testing::ViewFilesAsTheProgramsDo());
  const auto files = Inputs(harness);
  ASSERT_FALSE(files.empty()) << "no inputs kept for " << harness;
  for (const auto &file : files) {
    SCOPED_TRACE(file.filename().string());
    const std::string bytes = ReadBytes(file);
    const auto *data = reinterpret_cast<const std::uint8_t *>(bytes.data());
    EXPECT_EQ(target(data, bytes.size()), "");
  }
}

TEST(FuzzCorpus, DataFilesAgainstTheShippedDatabase) {
  const TempDir dir;
  const Validator validator(LoadReferenceData(VERDALIA_REFERENCE_DB), NumberFormat{});
  Replay("fuzz_physical_logical", [&](const std::uint8_t *data, std::size_t size) {
    return fuzz::FuzzPhysicalLogical(data, size, validator, dir.path().string());
  });
}

TEST(FuzzCorpus, DataFilesAgainstFuzzedDefinitions) {
  const TempDir dir;
  Replay("fuzz_definitions", [&](const std::uint8_t *data, std::size_t size) {
    return fuzz::FuzzDefinitions(data, size, dir.path().string());
  });
}

TEST(FuzzCorpus, NumbersAndNumberTexts) {
  Replay("fuzz_numbers", fuzz::FuzzNumbers);
}

} // namespace
} // namespace verdalia
