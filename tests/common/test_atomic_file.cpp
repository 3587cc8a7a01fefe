// The two ways a file is replaced whole: through a file without a name, and, where the file
// system has none, through a hidden name that a killed write may leave for the next one.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/atomic_file.h"
#include "support/fixtures.h"

#ifdef _WIN32
#include <windows.h>

#include "common/windows/wide.h"
#endif

namespace verdalia {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;

using Writer = WriteOutcome (*)(const std::string &, std::string_view, ExistingFile);

std::size_t Entries(const fs::path &folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class AtomicFile : public ::testing::TestWithParam<Writer> {};

TEST_P(AtomicFile, ReplacesOrKeepsAndLeavesNothingElse) {
  const Writer write = GetParam();
  const TempDir dir;
  // The longest name a folder takes: the temporary name must fit as well.
  const std::string name = "P202401" + std::string(255 - 7 - 11, 'x') + ".err.fisico";
  const std::string path = (dir.path() / name).string();
  ASSERT_TRUE(write(path, "first", ExistingFile::Keep).ok);
  EXPECT_EQ(ReadBytes(path), "first");
  const WriteOutcome kept = write(path, "second", ExistingFile::Keep);
  EXPECT_FALSE(kept.ok);
  EXPECT_EQ(kept.error, EEXIST);
  EXPECT_EQ(ReadBytes(path), "first");
  ASSERT_TRUE(write(path, "second", ExistingFile::Replace).ok);
  EXPECT_EQ(ReadBytes(path), "second");
  EXPECT_EQ(Entries(dir.path()), 1u);

  // A temporary file left by a write that was killed goes with the next write.
  const std::string left = (dir.path() / TemporaryNameOf(name)).string();
  dir.Write(TemporaryNameOf(name), "half");
  ASSERT_TRUE(write(path, "third", ExistingFile::Replace).ok);
  EXPECT_EQ(ReadBytes(path), "third");
  EXPECT_FALSE(fs::exists(left));

#ifndef _WIN32 // Windows files have no mode bits
  // The usual mode, less the umask, without the umask being touched.
  const mode_t mask = ::umask(022);
  ASSERT_TRUE(write(path, "fourth", ExistingFile::Replace).ok);
  ::umask(mask);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
#endif

  // Only a regular file is replaced.
  fs::create_directory(dir.path() / "folder");
  EXPECT_FALSE(write((dir.path() / "folder").string(), "x", ExistingFile::Replace).ok);
  EXPECT_TRUE(fs::is_directory(dir.path() / "folder"));
}

INSTANTIATE_TEST_SUITE_P(WithoutAName, AtomicFile, ::testing::Values(&WriteFileAtomically));
INSTANTIATE_TEST_SUITE_P(ThroughAName, AtomicFile,
                         ::testing::Values(&WriteFileAtomicallyThroughName));

// The two lists of one check: both in place, or neither and the earlier ones as they were.
TEST(WriteFilesAtomically, PutsEveryFileInPlaceOrNone) {
  const TempDir dir;
  const std::string physical = dir.Write("P202401.txt.err.fisico", "earlier physical");
  const std::string logical = dir.Write("P202401.txt.err.logico", "earlier logical");
  fs::create_directory(dir.path() / "folder");
  std::size_t failed = 0;
  const WriteOutcome refused = WriteFilesAtomically(
      {{physical, "physical"}, {logical, "logical"}, {(dir.path() / "folder").string(), "x"}},
      failed);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(failed, 2u);
  EXPECT_EQ(ReadBytes(physical), "earlier physical");
  EXPECT_EQ(ReadBytes(logical), "earlier logical");
  EXPECT_EQ(Entries(dir.path()), 3u);

  ASSERT_TRUE(WriteFilesAtomically({{physical, "physical"}, {logical, "logical"}}, failed).ok);
  EXPECT_EQ(ReadBytes(physical), "physical");
  EXPECT_EQ(ReadBytes(logical), "logical");
  EXPECT_EQ(Entries(dir.path()), 3u);
}

#ifdef _WIN32
// Windows refuses to replace a list another program holds open (a spreadsheet) or one marked
// read-only: the lists of the check are then none of them put in place.
TEST(WriteFilesAtomically, PutsNoneInPlaceWhenWindowsRefusesOne) {
  const TempDir dir;
  const std::string physical = dir.Write("P202401.txt.err.fisico", "earlier physical");
  const std::string logical = dir.Write("P202401.txt.err.logico", "earlier logical");
  std::size_t failed = 0;
  {
    const HANDLE held = CreateFileW(WideOf(logical).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const WriteOutcome refused =
        WriteFilesAtomically({{physical, "physical"}, {logical, "logical"}}, failed);
    CloseHandle(held);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(failed, 1u);
    EXPECT_EQ(refused.reason, "otro programa lo tiene abierto");
  }
  EXPECT_EQ(ReadBytes(physical), "earlier physical");
  EXPECT_EQ(ReadBytes(logical), "earlier logical");
  EXPECT_EQ(Entries(dir.path()), 2u);

  ASSERT_TRUE(SetFileAttributesW(WideOf(physical).c_str(), FILE_ATTRIBUTE_READONLY));
  const WriteOutcome read_only =
      WriteFilesAtomically({{logical, "logical"}, {physical, "physical"}}, failed);
  SetFileAttributesW(WideOf(physical).c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_FALSE(read_only.ok);
  EXPECT_EQ(failed, 1u);
  EXPECT_EQ(read_only.reason, "es de solo lectura");
  EXPECT_EQ(ReadBytes(logical), "earlier logical");
  EXPECT_EQ(Entries(dir.path()), 2u);
}

// A list deeper than Windows' old path limit is saved all the same, its path given whole.
TEST(WriteFileAtomically, SavesPastWindowsPathLimit) {
  const TempDir dir;
  std::string folder = dir.path().string();
  while (folder.size() < 300) {
    folder += "\\carpeta con un nombre largo " + std::to_string(folder.size());
    ASSERT_EQ(::_wmkdir(WidePathOf(folder).c_str()), 0) << folder;
  }
  const std::string path = folder + "\\P202401.txt.err.fisico";
  EXPECT_EQ(WidePathOf(path).rfind(L"\\\\?\\", 0), 0u);
  EXPECT_EQ(WidePathOf(path).find(L'/'), std::wstring::npos);
  ASSERT_TRUE(WriteFileAtomically(path, "first").ok);
  ASSERT_TRUE(WriteFileAtomically(path, "second").ok);
  EXPECT_EQ(ReadBytes(WidePathOf(path)), "second");
  // A short path is left as it was written.
  EXPECT_EQ(WidePathOf("datos/P202401.txt"), L"datos/P202401.txt");
}
#endif

TEST(TemporaryNameOf, IsHiddenAndNoLongerThanTheName) {
  EXPECT_EQ(TemporaryNameOf("P202401.txt.err.fisico"), ".~P202401.txt.err.fisico");
  const std::string longest(255, 'n');
  EXPECT_EQ(TemporaryNameOf(longest), ".~" + std::string(253, 'n'));
}

} // namespace
} // namespace verdalia
