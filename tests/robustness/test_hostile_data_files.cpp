#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/windows1252.h"
#include "engine/session.h"
#include "reports/error_list_writer.h"
#include "robustness/child_process.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

using testing::ChildOptions;
using testing::ChildRun;
using testing::DropPrivileges;
using testing::Generate;
using testing::LoadFromSql;
using testing::ReadBytes;
using testing::RunCliChild;
using testing::TempDir;

const char *const kLengths = "INSERT INTO TipoArchivo VALUES (1,'P',10),(2,'D',10),(3,'S',10);";

std::string Line(const std::string &start) {
  return start + std::string(10 - start.size(), ' ');
}

const ReferenceData &Shipped() {
  static const ReferenceData reference = LoadReferenceData(VERDALIA_REFERENCE_DB);
  return reference;
}

// Raw JSON strings hold no control characters: each must be written as an escape.
bool HasRawControlCharacters(const std::string &json) {
  for (const char c : json) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\n') {
      return true;
    }
  }
  return false;
}

TEST(HostileDataFiles, BinaryBytesAndNulsAreCharactersLikeAnyOther) {
  const TempDir dir;
  const std::string clean = ReadBytes(Generate(dir, "P202401.txt", {"--records", "12"}));
  // Bytes a text editor would never write, put where fields are: each file keeps its line
  // lengths, so every check and rule sees them.
  struct Case {
    const char *name;
    char byte;
    std::size_t every;
  } cases[] = {
      {"NUL in every field", '\0', 7},
      {"byte 0xFF", '\xFF', 5},
      {"undefined Windows-1252 byte", '\x81', 11},
      {"lone line feed", '\n', 13},
      {"escape", '\x1B', 3},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = clean;
    for (std::size_t i = 1; i < bytes.size(); i += c.every) {
      if (bytes[i] != '\r' && bytes[i] != '\n' && bytes[i - 1] != '\n') {
        bytes[i] = c.byte;
      }
    }
    dir.Write("P202401.txt", bytes);
    Session session(Shipped());
    const RunOutcome physical = session.RunPhysical(dir.path().string(), "P202401.txt");
    ASSERT_FALSE(physical.refused) << physical.notice.text;
    EXPECT_FALSE(session.PhysicalList().empty());
    EXPECT_FALSE(session.RunLogical(dir.path().string(), "P202401.txt").refused);

    const ChildRun run =
        RunCliChild({"check", "--db", VERDALIA_REFERENCE_DB, "--format", "json", "P202401.txt"},
                    {dir.path().string()});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_FALSE(HasRawControlCharacters(run.out)) << run.out.substr(0, 400);
  }
}

TEST(HostileDataFiles, AFileOfNoiseIsRefusedAtItsFirstWrongLine) {
  const TempDir dir;
  std::mt19937 random(7);
  std::string noise(1 << 20, '\0');
  for (char &c : noise) {
    c = static_cast<char>(random());
  }
  dir.Write("S202401.txt", noise);
  Session session(Shipped());
  const RunOutcome outcome = session.RunPhysical(dir.path().string(), "S202401.txt");
  EXPECT_TRUE(outcome.refused);
  EXPECT_NE(outcome.notice.text.find("tiene un largo de fila incorrecto("), std::string::npos);
}

TEST(HostileDataFiles, AHugeLineIsRefusedWithoutHoldingIt) {
  // Some hundreds of megabytes on one line, after a good first line; the file is sparse, so
  // it costs no disk, and the program reads every byte of it.
  const TempDir dir;
  const std::string path = dir.Write("P202401.txt", Line("1202401") + "\r\n");
  constexpr std::uintmax_t kSize = 300'000'000;
  std::filesystem::resize_file(path, kSize);
  testing::MakeDatabase(dir, std::string(testing::kEmptySchemaSql) + kLengths);
  ChildOptions options;
  options.folder = dir.path().string();
  options.deadline_seconds = 120;
  const ChildRun run = RunCliChild({"check", "--db", "ref.db", "P202401.txt"}, options);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("El archivo PRODUCCION VERDALIA en la fila 2 tiene un largo de fila "
                         "incorrecto(" +
                         std::to_string(kSize - 12) + "), debe ser 10."),
            std::string::npos)
      << run.err;
  // Far below the line's size, sanitizer shadow memory included.
  EXPECT_LT(run.max_rss_kb, 150 * 1024);
}

TEST(HostileDataFiles, MoreLinesThanRecordNumbersReachAreRefused) {
  const TempDir dir;
  std::string lines;
  for (int i = 0; i < kMaxRecords; ++i) {
    lines += Line(i == 0 ? "1202401" : "2") + "\r\n";
  }
  dir.Write("P202401.txt", lines + Line("4") + "\r\n");
  Session session(LoadFromSql(kLengths));
  const RunOutcome outcome = session.RunPhysical(dir.path().string(), "P202401.txt");
  EXPECT_TRUE(outcome.refused);
  EXPECT_EQ(Windows1252ToUtf8(outcome.notice.text),
            "El archivo PRODUCCION VERDALIA " + dir.path().string() +
                "/P202401.txt tiene más de 32767 filas; no se puede validar.");
  EXPECT_TRUE(session.PhysicalList().empty());
}

TEST(HostileDataFiles, TheLargestFileRunsBothVerificationsInBoundedTime) {
  // 32,767 records, the most a file can hold, through the program as it is shipped.
  const TempDir dir;
  Generate(dir, "P202401.txt", {"--records", "32767"});
  Generate(dir, "S202401.txt", {"--records", "32767", "--layout", "distinct"});
  Generate(dir, "D202401.txt", {"--records", "32767", "--layout", "shared"});
  ChildOptions options;
  options.folder = dir.path().string();
  options.deadline_seconds = 300;
  const ChildRun run = RunCliChild(
      {"check", "--db", VERDALIA_REFERENCE_DB, "P202401.txt", "S202401.txt", "D202401.txt"},
      options);
  EXPECT_FALSE(run.timed_out);
  EXPECT_NE(run.status, 2) << run.err;
  EXPECT_NE(run.status, 3) << run.err;
  EXPECT_EQ(run.signal, 0);
}

TEST(HostileDataFiles, WhatIsNotARegularFileIsRefusedWithoutBlocking) {
  const TempDir dir;
  const auto at = [&](const char *name) { return (dir.path() / name).string(); };
  std::filesystem::create_directory(at("P202401.txt"));
  ASSERT_EQ(::mkfifo(at("D202401.txt").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", at("S202401.txt")); // endless, if read
  std::filesystem::create_symlink("/dev/null", at("P202402.txt"));
  std::filesystem::create_symlink(at("missing.txt"), at("P202403.txt"));
  struct Case {
    const char *name;
    const char *why;
  } cases[] = {
      {"P202401.txt", "es una carpeta"},
      {"D202401.txt", "no es un archivo regular"},
      {"S202401.txt", "no es un archivo regular"},
      {"P202402.txt", "no es un archivo regular"},
      {"P202403.txt", "No such file or directory"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ChildOptions options;
    options.folder = dir.path().string();
    options.deadline_seconds = 20;
    const ChildRun run = RunCliChild({"check", "--db", VERDALIA_REFERENCE_DB, c.name}, options);
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(
        run.err.find(std::string("No se puede leer el archivo ./") + c.name + ": " + c.why + "."),
        std::string::npos)
        << run.err;
  }
}

// What happens to the file after a successful physical run and before the logical run.
struct Change {
  const char *name;
  void (*apply)(const std::string &path);
  std::string message; // UTF-8; {path} stands for the file's full path
};

std::string Expand(std::string text, const std::string &path) {
  const auto at = text.find("{path}");
  return at == std::string::npos ? text : text.replace(at, 6, path);
}

TEST(HostileDataFiles, AFileThatChangesBeforeTheLogicalRunIsRefusedWithItsReason) {
  const Change changes[] = {
      {"removed", [](const std::string &path) { std::filesystem::remove(path); },
       "No se puede leer el archivo {path}: No such file or directory."},
      {"replaced by a folder",
       [](const std::string &path) {
         std::filesystem::remove(path);
         std::filesystem::create_directory(path);
       },
       "No se puede leer el archivo {path}: es una carpeta."},
      {"replaced by a pipe",
       [](const std::string &path) {
         std::filesystem::remove(path);
         ::mkfifo(path.c_str(), 0600);
       },
       "No se puede leer el archivo {path}: no es un archivo regular."},
      {"cut short",
       [](const std::string &path) { std::filesystem::resize_file(path, 400 + 2 + 100); },
       "El archivo PRODUCCION VERDALIA en la fila 2 tiene un largo de fila incorrecto(100), "
       "debe ser 400."},
      {"grown past the record limit",
       [](const std::string &path) {
         std::string lines;
         for (int i = 0; i <= kMaxRecords; ++i) {
           lines += std::string(400, ' ') + "\r\n";
         }
         std::ofstream(path, std::ios::binary | std::ios::trunc) << lines;
       },
       "El archivo PRODUCCION VERDALIA {path} tiene más de 32767 filas; no se puede validar."},
  };
  for (const Change &change : changes) {
    SCOPED_TRACE(change.name);
    const TempDir dir;
    const std::string path =
        Generate(dir, "P202401.txt", {"--records", "10", "--logical-faults", "1"});
    Session session(Shipped());
    ASSERT_TRUE(session.RunPhysical(dir.path().string(), "P202401.txt").logical_enabled);
    ASSERT_FALSE(session.RunLogical(dir.path().string(), "P202401.txt").refused);
    const ResultList before = session.LogicalList();
    ASSERT_FALSE(before.empty());
    change.apply(path);
    const RunOutcome outcome = session.RunLogical(dir.path().string(), "P202401.txt");
    EXPECT_TRUE(outcome.refused);
    EXPECT_EQ(Windows1252ToUtf8(outcome.notice.text), Expand(change.message, path));
    EXPECT_EQ(session.LogicalList(), before); // the list keeps what it held
  }
}

TEST(HostileDataFiles, AFileMadeUnreadableBeforeTheLogicalRunIsRefused) {
  const TempDir dir;
  const std::string path = Generate(dir, "D202401.txt", {"--records", "8"});
  Session session(Shipped());
  ASSERT_TRUE(session.RunPhysical(dir.path().string(), "D202401.txt").logical_enabled);
  ::chmod(path.c_str(), 0);
  // The logical run happens in a child that has become an ordinary user.
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!DropPrivileges()) {
      ::_exit(2);
    }
    const RunOutcome outcome = session.RunLogical(dir.path().string(), "D202401.txt");
    const bool expected =
        outcome.refused &&
        outcome.notice.text == "No se puede leer el archivo " + path + ": Permission denied." &&
        session.LogicalList().empty();
    ::_exit(expected ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(HostileDataFiles, NamesWithBlanksAndAccentsWorkEndToEnd) {
  // File and folder names as the operator's system writes them (UTF-8); inside the checks
  // they are Windows-1252, and the period comes from the name's characters 2 to 7.
  struct Case {
    const char *folder;
    const char *name;
    const char *period; // UTF-8
    bool period_row;
  } cases[] = {
      {"datos", "P2024 1.txt", "2024 1", true},
      {"datos", "PÑ02401.txt", "Ñ02401", true},
      {"carpeta con espacios", "P202401.txt", "202401", false},
      {"año 2024/señal", "P202401 copia ñ.txt", "202401", false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const TempDir dir;
    const std::filesystem::path folder = dir.path() / c.folder;
    std::filesystem::create_directories(folder);
    const std::string generated =
        Generate(dir, "P202401.txt", {"--records", "10", "--logical-faults", "1"});
    std::filesystem::rename(generated, folder / c.name);

    Session session(Shipped());
    const RunOutcome physical = session.RunPhysical(folder.string(), c.name);
    ASSERT_FALSE(physical.refused) << physical.notice.text;
    EXPECT_EQ(Windows1252ToUtf8(session.lblValidacionFisica()[3]), c.period);
    const bool has_period_row =
        !session.PhysicalList().empty() && session.PhysicalList()[0].field == "FECHA_CIERRE";
    EXPECT_EQ(has_period_row, c.period_row);
    EXPECT_FALSE(session.RunLogical(folder.string(), c.name).refused);
    EXPECT_FALSE(session.LogicalList().empty());

    // The command line saves both lists beside the file, under the file's own name.
    ChildOptions options;
    options.folder = folder.string();
    const ChildRun run =
        RunCliChild({"check", "--db", VERDALIA_REFERENCE_DB, "--save", c.name}, options);
    EXPECT_EQ(run.status, 1) << run.err;
    const std::string fisico = (folder / (std::string(c.name) + ".err.fisico")).string();
    ASSERT_TRUE(std::filesystem::exists(fisico));
    EXPECT_EQ(ReadBytes(fisico), ErrorListText(session.PhysicalList()));
    const std::string logico = (folder / (std::string(c.name) + ".err.logico")).string();
    EXPECT_EQ(std::filesystem::exists(logico), !c.period_row);
    if (!c.period_row) {
      EXPECT_EQ(ReadBytes(logico), ErrorListText(session.LogicalList()));
    }
  }
}

} // namespace
} // namespace verdalia
