#include <filesystem>
#include <string>

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/path.h"
#include "reports/error_list_writer.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

using testing::ReadBytes;
using testing::TempDir;

TEST(ErrorListText, WritesTabSeparatedRowsWithCrLf) {
  const ResultList rows = {
      {1, "FECHA_CIERRE", "Error.El per\xEDodo"}, {-3, "", "Advertencia. \xD1"}, {0, "A + B", ""}};
  EXPECT_EQ(ErrorListText(rows), "1\tFECHA_CIERRE\tError.El per\xEDodo\r\n"
                                 "-3\t\tAdvertencia. \xD1\r\n"
                                 "0\tA + B\t\r\n");
  EXPECT_EQ(ErrorListText({}), "");
  // A name or message of the reference data with a TAB or a line break keeps the row whole.
  EXPECT_EQ(ErrorListText({{7, "A\tB", "Error.\r\nX\n"}}), "7\tA B\tError.  X \r\n");
}

TEST(ErrorListPath, AddsTheListsExtensionToTheDataFilesPath) {
  EXPECT_EQ(ErrorListPath("/datos/P202401.txt", ListKind::Physical),
            "/datos/P202401.txt.err.fisico");
  EXPECT_EQ(ErrorListPath("/P202401.txt", ListKind::Logical), "/P202401.txt.err.logico");
  EXPECT_EQ(JoinPath("/", "P202401.txt"), "/P202401.txt");
  EXPECT_EQ(JoinPath("/datos", "P202401.txt"), "/datos/P202401.txt");
}

TEST(SaveErrorList, ReplacesAnExistingListWhole) {
  const TempDir dir;
  const std::string path = dir.Write("P202401.txt.err.fisico", std::string(1000, 'x'));
  const ResultList rows = {{2, "CAMPO", "Error. Corto"}};
  ASSERT_TRUE(SaveErrorList(path, rows).ok);
  EXPECT_EQ(ReadBytes(path), "2\tCAMPO\tError. Corto\r\n");
  ASSERT_TRUE(SaveErrorList(path, {}).ok);
  EXPECT_EQ(ReadBytes(path), "");
  // Nothing is left behind beside the list.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(SaveErrorList, AFailedSaveKeepsThePreviousList) {
  const TempDir dir;
  const std::string path = dir.Write("P202401.txt.err.fisico", "old list\r\n");
  // A folder that cannot be written (root writes anyway: then a missing folder stands in).
  const bool root = ::geteuid() == 0;
  std::string target = path;
  if (root) {
    target = (dir.path() / "missing" / "P202401.txt.err.fisico").string();
  } else {
    ::chmod(dir.path().c_str(), 0500);
  }
  const SaveResult result = SaveErrorList(target, {{1, "", "Error. Nuevo"}});
  ::chmod(dir.path().c_str(), 0700);
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.error.empty());
  EXPECT_EQ(ReadBytes(path), "old list\r\n");
}

TEST(SaveErrorList, AWriteThatFailsHalfWayKeepsThePreviousList) {
  // A file-size limit makes the write fail part of the way through, as a full disk does.
  const TempDir dir;
  const std::string path = dir.Write("P202401.txt.err.logico", "old list\r\n");
  struct rlimit before {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = before;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const SaveResult result = SaveErrorList(path, {{1, "", std::string(100000, 'x')}});
  ::setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.error.empty());
  EXPECT_EQ(ReadBytes(path), "old list\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(SaveErrorList, LeavesWhatIsNotARegularFileAlone) {
  const TempDir dir;
  std::filesystem::create_directory(dir.path() / "P202401.txt.err.fisico");
  EXPECT_FALSE(SaveErrorList((dir.path() / "P202401.txt.err.fisico").string(), {}).ok);
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "P202401.txt.err.fisico"));
}

} // namespace
} // namespace verdalia
