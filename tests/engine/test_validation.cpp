// What the window relies on between runs, which one command-line run cannot show: the
// logical verification reads the file again, and refuses it when it has changed meanwhile.
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "common/windows1252.h"
#include "engine/validation.h"
#include "reports/error_list_writer.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

namespace fs = std::filesystem;

struct Change {
  const char *name;
  void (*apply)(const fs::path &file);
  std::string message; // UTF-8; {path} stands for the file's full path
};

void Write(const fs::path &file, const std::string &bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

TEST(Validator, AFileChangedBeforeTheLogicalRunIsRefused) {
  const Change changes[] = {
      {"removed", [](const fs::path &file) { fs::remove(file); },
       "No se puede leer el archivo {path}: No such file or directory."},
      {"replaced by a folder",
       [](const fs::path &file) {
         fs::remove(file);
         fs::create_directory(file);
       },
       "No se puede leer el archivo {path}: es una carpeta."},
      {"replaced by a pipe",
       [](const fs::path &file) {
         fs::remove(file);
         ::mkfifo(file.c_str(), 0600);
       },
       "No se puede leer el archivo {path}: no es un archivo regular."},
      {"emptied", [](const fs::path &file) { Write(file, ""); },
       "El archivo PRODUCCION VERDALIA {path} está vacío; no se puede validar."},
      {"cut inside a line", [](const fs::path &file) { fs::resize_file(file, 402 + 100); },
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
       "El archivo PRODUCCION VERDALIA {path} tiene más de 32767 filas; no se puede validar."},
  };
  const fs::path folder = fs::temp_directory_path() / "verdalia-validation-test";
  const fs::path file = folder / "P202403.txt";
  for (const Change &change : changes) {
    SCOPED_TRACE(change.name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(fs::path(VERDALIA_SOURCE_DIR) / "samples" / "P202403.txt", file);
    const Validator validator(LoadReferenceData(VERDALIA_REFERENCE_DB), NumberFormat{});
    ASSERT_TRUE(validator.Physical(file).LogicalMayFollow());
    const RunResult first = validator.Logical(file);
    ASSERT_FALSE(first.Refused());
    ASSERT_FALSE(first.rows.empty());
    // A second logical run gives the same list, not a doubled one.
    EXPECT_EQ(validator.Logical(file).rows, first.rows);

    change.apply(file);
    const HeaderLabels labels{"R", "N", "P"};
    const RunResult changed = validator.Logical(file, labels);
    ASSERT_TRUE(changed.Refused());
    EXPECT_EQ(changed.refusal->reason, Refusal::Reason::Unreadable);
    std::string expected = change.message;
    if (const auto at = expected.find("{path}"); at != std::string::npos) {
      expected.replace(at, 6, file.string());
    }
    EXPECT_EQ(Windows1252ToUtf8(changed.refusal->message), expected);
    EXPECT_TRUE(changed.rows.empty());
    EXPECT_EQ(changed.labels, labels); // a refused run leaves the labels as they were
  }
  fs::remove_all(folder);
}

// The rows name fields and messages of the definitions the validator prepared, and amounts
// worked out in a run: a copy of the lists stays whole when the runs and the validator are
// gone, as the window keeps its lists.
TEST(Validator, ItsListsOutliveIt) {
  const fs::path samples = fs::path(VERDALIA_SOURCE_DIR) / "samples";
  const fs::path expected = fs::path(VERDALIA_SOURCE_DIR) / "tests/cases/samples/all-nine/expected";
  ResultList physical;
  ResultList logical;
  {
    const Validator validator(LoadReferenceData(VERDALIA_REFERENCE_DB), NumberFormat{"."});
    physical = validator.Physical(samples / "P202402.txt").rows;
    logical = validator.Logical(samples / "P202403.txt").rows;
  }
  EXPECT_EQ(ErrorListText(physical), testing::ReadBytes(expected / "P202402.txt.err.fisico"));
  EXPECT_EQ(ErrorListText(logical), testing::ReadBytes(expected / "P202403.txt.err.logico"));
}

} // namespace
} // namespace verdalia
