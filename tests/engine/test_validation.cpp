// What one command-line run cannot show: the window's logical run after its physical run,
// which checks only the bytes that passed, and a whole check racing a program that replaces
// the file under it.
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>

#include <gtest/gtest.h>

#include "common/file_mapping.h"
#include "common/windows1252.h"
#include "engine/validation.h"
#include "reports/error_list_writer.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

namespace fs = std::filesystem;

const fs::path kSamples = fs::path(VERDALIA_SOURCE_DIR) / "samples";

struct Change {
  const char *name;
  void (*apply)(const fs::path &file);
  Refusal::Reason reason;
  std::string message; // UTF-8; {path} stands for the file's full path
};

void Write(const fs::path &file, const std::string &bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// `from` put in place of `to` in one step, as an editor saves a file (the system's rename,
// which replaces the file on Windows too).
void Replace(const fs::path &from, const fs::path &to) {
  EXPECT_EQ(::rename(from.string().c_str(), to.string().c_str()), 0);
}

// The file's last write moved back, as for a file that has lain untouched for a while.
void Age(const fs::path &file, int seconds) {
  fs::last_write_time(file, fs::last_write_time(file) - std::chrono::seconds(seconds));
}

const std::string kChanged = "El archivo PRODUCCION VERDALIA {path} cambió después de la "
                             "Verificación Física; realice de nuevo la Verificación Física.";

TEST(Validator, TheLogicalRunChecksOnlyWhatThePhysicalRunPassed) {
  const Change changes[] = {
      {"removed", [](const fs::path &file) { fs::remove(file); }, Refusal::Reason::Unreadable,
       "No se puede leer el archivo {path}: No such file or directory."},
      {"replaced by a folder",
       [](const fs::path &file) {
         fs::remove(file);
         fs::create_directory(file);
       },
       Refusal::Reason::Unreadable, "No se puede leer el archivo {path}: es una carpeta."},
#ifndef _WIN32 // Windows has no named pipe in a folder
      {"replaced by a pipe",
       [](const fs::path &file) {
         fs::remove(file);
         ::mkfifo(file.c_str(), 0600);
       },
       Refusal::Reason::Unreadable,
       "No se puede leer el archivo {path}: no es un archivo regular."},
#endif
      {"emptied", [](const fs::path &file) { Write(file, ""); }, Refusal::Reason::Unreadable,
       "El archivo PRODUCCION VERDALIA {path} está vacío; no se puede validar."},
      {"cut inside a line", [](const fs::path &file) { fs::resize_file(file, 402 + 100); },
       Refusal::Reason::Unreadable,
       "El archivo PRODUCCION VERDALIA en la fila 2 tiene un largo de fila incorrecto(100), "
       "debe ser 400."},
      {"grown past the record limit",
       [](const fs::path &file) {
         std::string lines;
         for (int i = 0; i <= 32767; ++i) {
           lines += std::string(400, ' ') + "\r\n";
         }
         Write(file, lines);
       },
       Refusal::Reason::Unreadable,
       "El archivo PRODUCCION VERDALIA {path} tiene más de 32767 filas; no se puede validar."},
      {"written in place, same size and time",
       [](const fs::path &file) {
         const auto when = fs::last_write_time(file);
         std::fstream(file, std::ios::binary | std::ios::in | std::ios::out).seekp(500) << "X";
         fs::last_write_time(file, when);
       },
       Refusal::Reason::Changed, kChanged},
      {"replaced by another file of the same size and time",
       [](const fs::path &file) {
         const auto when = fs::last_write_time(file);
         std::string bytes = testing::ReadBytes(file);
         bytes[500] = bytes[500] == 'X' ? 'Y' : 'X';
         const fs::path other = file.string() + ".new";
         Write(other, bytes);
         fs::last_write_time(other, when);
         Replace(other, file);
       },
       Refusal::Reason::Changed, kChanged},
      {"the same bytes written again",
       [](const fs::path &file) { Write(file, testing::ReadBytes(file)); },
       Refusal::Reason::Changed, kChanged},
  };
  ASSERT_TRUE(testing::ViewFilesAsTheProgramsDo());
  const testing::TempDir folder;
  const fs::path file = folder.path() / "P202403.txt";
  const Validator validator(LoadReferenceData(VERDALIA_REFERENCE_DB), NumberFormat{});
  // Read into memory (written a second ago), and viewed where it lies (long ago). Either way
  // the file's time is a second or more before any change a test makes.
  for (const int age : {1, 60}) {
    for (const Change &change : changes) {
      SCOPED_TRACE(std::string(change.name) + (age == 1 ? ", just written" : ", written long ago"));
      fs::remove_all(file);
      fs::copy_file(kSamples / "P202403.txt", file);
      Age(file, age);
      RunResult physical =
          std::move(validator.Check(file.string(), {}, Scope::PhysicalOnly).physical);
      ASSERT_TRUE(physical.LogicalMayFollow());
      const RunResult first = validator.Logical(file.string(), physical.file);
      ASSERT_FALSE(first.Refused());
      ASSERT_FALSE(first.rows.empty());
      // A second logical run gives the same list, not a doubled one.
      EXPECT_EQ(validator.Logical(file.string(), physical.file).rows, first.rows);

      change.apply(file);
      const HeaderLabels labels{Cp1252Text("R"), Cp1252Text("N"), Cp1252Text("P")};
      const RunResult changed = validator.Logical(file.string(), physical.file, labels);
      ASSERT_TRUE(changed.Refused());
      EXPECT_EQ(changed.refusal->reason, change.reason);
      std::string expected = change.message;
      if (const auto at = expected.find("{path}"); at != std::string::npos) {
        expected.replace(at, 6, file.string());
      }
      EXPECT_EQ(Windows1252ToUtf8(changed.refusal->message), expected);
      EXPECT_TRUE(changed.rows.empty());
      EXPECT_EQ(changed.labels, labels); // a refused run leaves the labels as they were
    }
  }
}

// Another program puts one version of the file after the other in its place, each whole: a
// clean file, and one whose period is wrong. Every check pairs the lists of one version.
TEST(Validator, ACheckPairsTheListsOfOneVersionOfTheFile) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows does not replace a file another program is reading: the save waits";
#endif
  const testing::TempDir folder;
  const fs::path file = folder.path() / "P202403.txt";
  const std::string versions[] = {testing::ReadBytes(kSamples / "P202403.txt"),
                                  testing::ReadBytes(kSamples / "P202401.txt")};
  const Validator validator(LoadReferenceData(VERDALIA_REFERENCE_DB), NumberFormat{});
  struct Lists {
    std::string physical;
    std::string logical;
    bool operator==(const Lists &) const = default;
  };
  const auto lists_of = [&](const CheckResult &check) {
    return Lists{ErrorListText(check.physical.rows),
                 check.logical ? ErrorListText(check.logical->rows) : "(none)"};
  };
  Lists expected[2];
  for (int v = 0; v < 2; ++v) {
    Write(file, versions[v]);
    expected[v] = lists_of(validator.Check(file.string()));
  }
  ASSERT_NE(expected[0].logical, "(none)");
  ASSERT_EQ(expected[1].logical, "(none)");

  std::atomic<bool> done{false};
  std::thread replacer([&] {
    for (int n = 0; !done; ++n) {
      const fs::path next = folder.path() / "next";
      Write(next, versions[n % 2]);
      Replace(next, file);
    }
  });
  int refused = 0;
  for (int run = 0; run < 300; ++run) {
    const CheckResult check = validator.Check(file.string());
    if (check.physical.Refused()) {
      ++refused;
      continue;
    }
    const Lists got = lists_of(check);
    EXPECT_TRUE(got == expected[0] || got == expected[1]) << "run " << run;
  }
  done = true;
  replacer.join();
  EXPECT_LT(refused, 300);
}

// The rows name fields and messages of the definitions the validator prepared, and amounts
// worked out in a run: a copy of the lists stays whole when the runs and the validator are
// gone, as the window keeps its lists.
TEST(Validator, ItsListsOutliveIt) {
  const fs::path expected = fs::path(VERDALIA_SOURCE_DIR) / "tests/cases/samples/all-nine/expected";
  ResultList physical;
  ResultList logical;
  {
    const Validator validator(LoadReferenceData(VERDALIA_REFERENCE_DB), NumberFormat{"."});
    physical = validator.Check((kSamples / "P202402.txt").string()).physical.rows;
    logical = validator.Check((kSamples / "P202403.txt").string()).logical->rows;
  }
  EXPECT_EQ(ErrorListText(physical), testing::ReadBytes(expected / "P202402.txt.err.fisico"));
  EXPECT_EQ(ErrorListText(logical), testing::ReadBytes(expected / "P202403.txt.err.logico"));
}

} // namespace
} // namespace verdalia
