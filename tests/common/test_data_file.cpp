#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/data_file.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

using testing::TempDir;

struct LineEndCase {
  const char *name;
  std::string bytes;
  std::vector<std::string> lines;
};

TEST(ReadDataFile, SplitsLinesAtCrLfAndLoneCr) {
  const LineEndCase cases[] = {
      {"crlf", "abc\r\ndef\r\n", {"abc", "def"}},
      {"lone cr", "abc\rdef\r", {"abc", "def"}},
      {"no final terminator", "abc\r\ndef", {"abc", "def"}},
      {"lone lf stays inside", "ab\nc\r\nde\nf", {"ab\nc", "de\nf"}},
      {"mixed", "abc\rdef\r\nghi", {"abc", "def", "ghi"}},
      {"empty file", "", {}},
  };
  const TempDir dir;
  for (const LineEndCase &c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.Write("P202401.txt", c.bytes);
    const int length = c.lines.empty() ? 3 : static_cast<int>(c.lines[0].size());
    DataFile file;
    ASSERT_EQ(ReadDataFile(path, length, file).status, ReadStatus::Ok);
    ASSERT_EQ(file.NroFilas, static_cast<int>(c.lines.size()));
    ASSERT_EQ(file.Lineas.size(), c.lines.size() + 1);
    for (std::size_t k = 0; k < c.lines.size(); ++k) {
      EXPECT_EQ(file.Lineas[k + 1], c.lines[k]);
    }
  }
}

TEST(ReadDataFile, BlankLineInTheMiddleIsALineOfLengthZero) {
  const TempDir dir;
  DataFile file;
  const ReadResult result = ReadDataFile(dir.Write("f.txt", "abc\r\n\r\nabc\r\n"), 3, file);
  EXPECT_EQ(result.status, ReadStatus::WrongLength);
  EXPECT_EQ(result.line_number, 2);
  EXPECT_EQ(result.line_length, 0u);
}

TEST(ReadDataFile, StopsAtTheFirstLineOfWrongLength) {
  const TempDir dir;
  struct Case {
    const char *name;
    std::string bytes;
    int line;
    std::size_t length;
  } cases[] = {
      {"first line short", "ab\r\nabc\r\n", 1, 2},
      {"last line long", "abc\r\nabc\r\nabcd", 3, 4},
      {"only the first wrong line counts", "abc\r\nabcdef\r\na\r\n", 2, 6},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    DataFile file;
    const ReadResult result = ReadDataFile(dir.Write("f.txt", c.bytes), 3, file);
    EXPECT_EQ(result.status, ReadStatus::WrongLength);
    EXPECT_EQ(result.line_number, c.line);
    EXPECT_EQ(result.line_length, c.length);
  }
}

TEST(ReadDataFile, CountsAHugeLineWithoutHoldingIt) {
  const TempDir dir;
  const std::string huge(5'000'000, 'X');
  DataFile file;
  const ReadResult result = ReadDataFile(dir.Write("f.txt", "abc\r\n" + huge + "\r\n"), 3, file);
  EXPECT_EQ(result.status, ReadStatus::WrongLength);
  EXPECT_EQ(result.line_number, 2);
  EXPECT_EQ(result.line_length, huge.size());
  EXPECT_LT(file.content.size(), 100u);
}

TEST(ReadDataFile, RefusesMoreLinesThanRecordNumbersReach) {
  const TempDir dir;
  std::string bytes;
  for (int i = 0; i < kMaxRecords; ++i) {
    bytes += "a\r\n";
  }
  DataFile file;
  EXPECT_EQ(ReadDataFile(dir.Write("max.txt", bytes), 1, file).status, ReadStatus::Ok);
  EXPECT_EQ(file.NroFilas, kMaxRecords);
  const ReadResult over = ReadDataFile(dir.Write("over.txt", bytes + "a"), 1, file);
  EXPECT_EQ(over.status, ReadStatus::TooManyLines);
}

TEST(ReadDataFile, RefusesWhatIsNotARegularReadableFile) {
  const TempDir dir;
  DataFile file;
  EXPECT_EQ(ReadDataFile((dir.path() / "missing.txt").string(), 3, file).status,
            ReadStatus::CannotOpen);
  EXPECT_EQ(ReadDataFile(dir.path().string(), 3, file).status, ReadStatus::NotRegularFile);
  const std::string fifo = (dir.path() / "P202401.txt").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ReadDataFile(fifo, 3, file).status, ReadStatus::NotRegularFile); // never blocks
  if (::geteuid() != 0) { // root reads whatever the permissions say
    const std::string locked = dir.Write("locked.txt", "abc");
    ::chmod(locked.c_str(), 0);
    EXPECT_EQ(ReadDataFile(locked, 3, file).status, ReadStatus::CannotOpen);
  }
}

} // namespace
} // namespace verdalia
