#include <cstdio>
#include <string>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "support/fixtures.h"

namespace verdalia {
namespace {

using testing::MakeDatabase;
using testing::ReadBytes;
using testing::TempDir;

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

// Runs verdalia-cli in `dir` with the arguments (already quoted for the shell).
CliRun RunCli(const TempDir &dir, const std::string &args) {
  const std::string out = (dir.path() / "stdout").string();
  const std::string err = (dir.path() / "stderr").string();
  const std::string command = "cd '" + dir.path().string() + "' && LC_ALL=C " VERDALIA_BINARY_DIR
                              "/verdalia-cli " + args + " >'" + out + "' 2>'" + err + "'";
  const int raw = std::system(command.c_str());
  CliRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadBytes(out), ReadBytes(err)};
  std::remove(out.c_str());
  std::remove(err.c_str());
  return run;
}

// A reference database without definitions: the findings are the run's structure rows.
std::string LengthsDatabase(const TempDir &dir) {
  return MakeDatabase(dir, std::string(testing::kEmptySchemaSql) +
                               "INSERT INTO TipoArchivo VALUES (1,'P',10),(2,'D',10),(3,'S',10);");
}

std::string Line(const std::string &start) { return start + std::string(10 - start.size(), ' '); }

TEST(Cli, ExitStatusTellsTheWorstOutcome) {
  const TempDir dir;
  const std::string db = LengthsDatabase(dir);
  dir.Write("P202401.txt", Line("1202401") + "\r\n" + Line("4") + "\r\n");
  dir.Write("P202402.txt", Line("1202401") + "\r\n" + Line("4") + "\r\n");
  dir.Write("X202401.txt", Line("1202401") + "\r\n");
  dir.Write("D202401.txt", Line("1202401") + "\r\n" + "3\r\n");
  struct Case {
    const char *name;
    std::string args;
    int status;
  } cases[] = {
      {"clean file", "check --db ref.db P202401.txt", 0},
      {"period row", "check --db ref.db P202402.txt", 1},
      {"wrong letter", "check --db ref.db X202401.txt P202401.txt", 2},
      {"wrong length beats findings", "check --db ref.db P202402.txt D202401.txt", 2},
      {"missing file", "check --db ref.db P209999.txt", 2},
      {"database missing", "check --db nothing.db P202401.txt", 3},
      {"no file", "check --db ref.db", 64},
      {"unknown option", "check --frobnicate P202401.txt", 64},
      {"bad format", "check --format xml P202401.txt", 64},
      {"unknown command", "verify P202401.txt", 64},
      {"no command", "", 64},
      {"help", "--help", 0},
      {"help of check", "check --help", 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RunCli(dir, c.args).status, c.status);
  }
}

TEST(Cli, RefusalsGoToStandardErrorWithTheirExactText) {
  const TempDir dir;
  LengthsDatabase(dir);
  dir.Write("X202401.txt", "");
  dir.Write("D202401.txt", Line("1202401") + "\r\n" + "3\r\n");
  const CliRun run = RunCli(dir, "check --db ref.db X202401.txt D202401.txt");
  EXPECT_NE(run.err.find("X202401.txt: Los archivos posibles comienzan con P, D o S\n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("D202401.txt: El archivo DENUNCIAS DE SINIESTROS VERDALIA en la fila 2 "
                         "tiene un largo de fila incorrecto(1), debe ser 10.\n"),
            std::string::npos)
      << run.err;
  const CliRun db = RunCli(dir, "check --db nothing.db D202401.txt");
  EXPECT_NE(db.err.find("No se puede abrir la base de datos de referencia"), std::string::npos);
  EXPECT_EQ(db.out, "");
}

TEST(Cli, SavesBothListsBesideTheFile) {
  const TempDir dir;
  LengthsDatabase(dir);
  std::filesystem::create_directory(dir.path() / "datos");
  dir.Write("datos/P202402.txt", Line("1202401") + "\r\n" + Line("4") + "\r\n");
  dir.Write("datos/D202401.txt", Line("1202401") + "\r\n" + Line("3") + "\r\n");
  EXPECT_EQ(RunCli(dir, "check --db ref.db --save datos/P202402.txt datos/D202401.txt").status, 1);
  EXPECT_EQ(ReadBytes(dir.path() / "datos/P202402.txt.err.fisico"),
            "1\tFECHA_CIERRE\tError.El per\xEDodo informado como parte del nombre del archivo no "
            "coincide con la fecha de cierre\r\n");
  // A list with an error keeps the logical verification from running: no logical list.
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "datos/P202402.txt.err.logico"));
  EXPECT_EQ(ReadBytes(dir.path() / "datos/D202401.txt.err.fisico"), "");
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "datos/D202401.txt.err.logico"));
}

TEST(Cli, JsonListsKindLabelsRowsAndCounts) {
  const TempDir dir;
  LengthsDatabase(dir);
  dir.Write("S202402.txt", Line("1202401") + "\r\n" + Line("4") + "\r\n");
  dir.Write("Z202401.txt", "");
  const CliRun run = RunCli(dir, "check --db ref.db --format json S202402.txt Z202401.txt");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.out.find("\"kind\":\"S\",\"title\":\"INFORMACIÓN DE SINIESTROS VERDALIA\""),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\"periodo\":\"202402\""), std::string::npos);
  EXPECT_NE(run.out.find("\"physical\":[{\"record\":1,\"field\":\"FECHA_CIERRE\",\"message\":"
                         "\"Error.El período informado"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\"logical\":null,\"errors\":1,\"warnings\":0"), std::string::npos);
  EXPECT_NE(run.out.find("\"refused\":true,\"refusal\":\"Los archivos posibles comienzan con P, "
                         "D o S\""),
            std::string::npos);
}

TEST(Cli, PhysicalOnlyAndReferenceSummary) {
  const TempDir dir;
  LengthsDatabase(dir);
  dir.Write("D202401.txt", Line("1202401") + "\r\n" + Line("3") + "\r\n");
  const CliRun physical = RunCli(dir, "check --db ref.db --physical-only --format json D202401.txt");
  EXPECT_EQ(physical.status, 0);
  EXPECT_NE(physical.out.find("\"logical\":null"), std::string::npos) << physical.out;
  const CliRun reference = RunCli(dir, "reference --db ref.db");
  EXPECT_EQ(reference.status, 0);
  EXPECT_NE(reference.out.find("TipoArchivo 2: largo de fila 10\n"), std::string::npos)
      << reference.out;
  EXPECT_EQ(RunCli(dir, "reference --db missing.db").status, 3);
}

} // namespace
} // namespace verdalia
