// The shipped samples do what their names promise: 01 is clean, 02 shows typical mistakes
// of the physical verification, 03 passes it and fails the logical verification.
#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "data/verification.h"

namespace verdalia {
namespace {

using testing::HasError;
using testing::ShippedReference;
using testing::Shown;
using testing::Verdict;
using testing::Verify;

enum class Promise { Clean, PhysicalMistakes, LogicalMistakes };

struct Sample {
  const char *name;
  Promise promise;
};

constexpr Sample kSamples[] = {
    {"P202401.txt", Promise::Clean},
    {"P202402.txt", Promise::PhysicalMistakes},
    {"P202403.txt", Promise::LogicalMistakes},
    {"D202401.txt", Promise::Clean},
    {"D202402.txt", Promise::PhysicalMistakes},
    {"D202403.txt", Promise::LogicalMistakes},
    {"S202401.txt", Promise::Clean},
    {"S202402.txt", Promise::PhysicalMistakes},
    {"S202403.txt", Promise::LogicalMistakes},
};

const std::filesystem::path kSampleFolder = std::filesystem::path(VERDALIA_SOURCE_DIR) / "samples";

std::size_t DistinctMessages(const ResultList &rows) {
  std::set<std::string> messages;
  for (const ResultRow &row : rows) {
    messages.insert(row.message);
  }
  return messages.size();
}

TEST(Samples, GiveWhatTheirNamesPromise) {
  for (const Sample &sample : kSamples) {
    SCOPED_TRACE(sample.name);
    const Verdict verdict = Verify(ShippedReference(), kSampleFolder / sample.name);
    ASSERT_FALSE(verdict.refused);
    switch (sample.promise) {
    case Promise::Clean:
      EXPECT_TRUE(verdict.physical.empty()) << Shown(verdict.physical);
      EXPECT_TRUE(verdict.logical_ran);
      EXPECT_TRUE(verdict.logical.empty()) << Shown(verdict.logical);
      break;
    case Promise::PhysicalMistakes:
      EXPECT_GE(DistinctMessages(verdict.physical), 5u) << Shown(verdict.physical, 30);
      EXPECT_TRUE(HasError(verdict.physical));
      EXPECT_FALSE(verdict.logical_ran);
      break;
    case Promise::LogicalMistakes:
      EXPECT_TRUE(verdict.physical.empty()) << Shown(verdict.physical);
      EXPECT_TRUE(verdict.logical_ran);
      EXPECT_GE(DistinctMessages(verdict.logical), 3u) << Shown(verdict.logical, 30);
      EXPECT_TRUE(HasError(verdict.logical));
      break;
    }
  }
}

// make run validates every file the file list would show; each must have its promise.
TEST(Samples, AreAllAccountedFor) {
  std::set<std::string> listed;
  for (const auto &entry : std::filesystem::directory_iterator(kSampleFolder)) {
    const std::string name = entry.path().filename().string();
    if (std::regex_match(name, std::regex("[^.]{7}\\.txt"))) {
      listed.insert(name);
    }
  }
  std::set<std::string> promised;
  for (const Sample &sample : kSamples) {
    promised.insert(sample.name);
  }
  EXPECT_EQ(listed, promised);
}

} // namespace
} // namespace verdalia
