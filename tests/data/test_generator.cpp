// verdalia-gen against the real verifications: valid files give no row, faulty ones the
// findings they were given, and the program keeps its promises on the command line.
#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <sys/wait.h>
#include <vector>

#include <gtest/gtest.h>

#include "common/text.h"
#include "data/verification.h"
#include "gen/generator.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

using gen::Generate;
using gen::GeneratorError;
using gen::JoinLines;
using gen::Layout;
using gen::Options;
using testing::HasError;
using testing::ShippedReference;
using testing::Shown;
using testing::TempDir;
using testing::Verdict;
using testing::Verify;

const char *LayoutName(Layout layout) {
  return layout == Layout::Valid ? "valid" : layout == Layout::Distinct ? "distinct" : "shared";
}

std::string Describe(const Options &options) {
  return std::string(1, options.kind) + options.period + " records " +
         std::to_string(options.records) + " seed " + std::to_string(options.seed) + " layout " +
         LayoutName(options.layout) + " physical " + std::to_string(options.physical_faults) +
         " logical " + std::to_string(options.logical_faults);
}

Options Make(char kind, int records, std::uint64_t seed, Layout layout = Layout::Valid,
             const std::string &period = "202405") {
  Options options;
  options.kind = kind;
  options.records = records;
  options.seed = seed;
  options.layout = layout;
  options.period = period;
  return options;
}

// Writes the generated file under its proper name and runs both verifications on it.
Verdict GenerateAndVerify(const Options &options, std::vector<std::string> *lines_out = nullptr) {
  const TempDir dir;
  const std::vector<std::string> lines = Generate(ShippedReference(), options);
  const std::string path =
      dir.Write(std::string(1, options.kind) + options.period + ".txt", JoinLines(lines));
  if (lines_out) {
    *lines_out = lines;
  }
  return Verify(ShippedReference(), path);
}

// The policies, notices or claims of a file: the units the logical faults are given to.
int Units(const std::vector<std::string> &lines) {
  int units = 0;
  for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
    units += lines[i][0] == '2' ? 1 : 0;
  }
  return units;
}

void ExpectClean(const Options &options) {
  SCOPED_TRACE(Describe(options));
  std::vector<std::string> lines;
  const Verdict verdict = GenerateAndVerify(options, &lines);
  ASSERT_FALSE(verdict.refused);
  EXPECT_EQ(lines.size(), static_cast<std::size_t>(options.records));
  EXPECT_TRUE(verdict.physical.empty()) << Shown(verdict.physical);
  EXPECT_TRUE(verdict.logical_ran);
  EXPECT_TRUE(verdict.logical.empty()) << Shown(verdict.logical);
}

TEST(GeneratedValidFiles, PassBothVerificationsWithoutARow) {
  const std::vector<int> sizes = {2, 4, 5, 9, 64, 1001};
  std::uint64_t seed = 11;
  for (const char kind : {'P', 'D', 'S'}) {
    for (const Layout layout : {Layout::Valid, Layout::Distinct, Layout::Shared}) {
      if (kind == 'D' && layout == Layout::Shared) {
        continue; // every notice under one key is a repeat by design (tested below)
      }
      for (const int records : sizes) {
        ExpectClean(Make(kind, records, ++seed, layout));
      }
    }
  }
  ExpectClean(Make('D', 3, 5));
  // Periods whose days and seasons fall differently: a leap February, a year's end.
  for (const char *period : {"202402", "202312", "210002", "190201", "249812"}) {
    for (const char kind : {'P', 'D', 'S'}) {
      ExpectClean(Make(kind, 200, ++seed, Layout::Valid, period));
    }
  }
}

TEST(GeneratedValidFiles, ReachTheLargestFileEachLayoutAllows) {
  ExpectClean(Make('P', 32767, 1, Layout::Distinct));
  ExpectClean(Make('D', 32767, 2, Layout::Valid));
  ExpectClean(Make('S', 32767, 3, Layout::Shared));
}

TEST(GeneratedFiles, AreReproducibleAndShapedAsTheReferenceSays) {
  const ReferenceData &reference = ShippedReference();
  for (const char kind : {'P', 'D', 'S'}) {
    SCOPED_TRACE(std::string(1, kind));
    Options options = Make(kind, 57, 77);
    options.physical_faults = 0.2;
    options.logical_faults = 0.3;
    const std::string first = JoinLines(Generate(reference, options));
    EXPECT_EQ(first, JoinLines(Generate(reference, options)));
    options.seed = 78;
    EXPECT_NE(first, JoinLines(Generate(reference, options)));

    const std::vector<std::string> lines = Generate(reference, Make(kind, 57, 77));
    const int kind_number = kind == 'P' ? 1 : kind == 'D' ? 2 : 3;
    for (const std::string &line : lines) {
      ASSERT_EQ(line.size(), static_cast<std::size_t>(reference.LargoFila[kind_number]));
      EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    }
    EXPECT_EQ(lines.front().substr(0, 9), "120240531");
    EXPECT_EQ(lines.back()[0], kind == 'D' ? '3' : '4');
    EXPECT_EQ(lines.back().substr(1, 7), "0000057");
    const std::string bytes = JoinLines(lines);
    EXPECT_EQ(bytes.size(), lines.size() * (lines.front().size() + 2));
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  }
}

TEST(SharedNotices, RepeatEveryNoticeButTheLast) {
  const Verdict verdict = GenerateAndVerify(Make('D', 12, 4, Layout::Shared));
  EXPECT_TRUE(verdict.physical.empty()) << Shown(verdict.physical);
  ASSERT_EQ(verdict.logical.size(), 9u) << Shown(verdict.logical);
  for (std::size_t i = 0; i < verdict.logical.size(); ++i) {
    EXPECT_EQ(verdict.logical[i].record, static_cast<int>(i) + 2);
    EXPECT_EQ(verdict.logical[i].field, "NUMERO_SINIESTRO+NUMERO_POLIZA");
  }
}

TEST(PhysicalFaults, AreReportedAtEveryRecordTheyAreGivenTo) {
  std::uint64_t seed = 100;
  for (const char kind : {'P', 'D', 'S'}) {
    for (const Layout layout : {Layout::Valid, Layout::Distinct}) {
      for (int round = 0; round < 6; ++round) {
        Options options = Make(kind, 40, ++seed, layout);
        options.physical_faults = 1.0;
        SCOPED_TRACE(Describe(options));
        const Verdict verdict = GenerateAndVerify(options);
        ASSERT_FALSE(verdict.refused);
        std::set<int> reported;
        for (const ResultRow &row : verdict.physical) {
          reported.insert(row.record);
        }
        for (int record = 1; record <= options.records; ++record) {
          EXPECT_TRUE(reported.count(record)) << "record " << record << Shown(verdict.physical);
        }
        EXPECT_FALSE(verdict.logical_ran);
      }
    }
  }
}

TEST(PhysicalFaults, AnyRateAboveZeroGivesAtLeastOneError) {
  for (const char kind : {'P', 'D', 'S'}) {
    Options options = Make(kind, 30, 5);
    options.physical_faults = 0.0001;
    SCOPED_TRACE(Describe(options));
    const Verdict verdict = GenerateAndVerify(options);
    EXPECT_TRUE(HasError(verdict.physical));
    EXPECT_FALSE(verdict.logical_ran);
  }
}

TEST(LogicalFaults, PassThePhysicalVerificationAndAreAllReported) {
  std::uint64_t seed = 300;
  for (const char kind : {'P', 'D', 'S'}) {
    for (const Layout layout : {Layout::Valid, Layout::Distinct, Layout::Shared}) {
      if (kind == 'D' && layout == Layout::Shared) {
        continue;
      }
      for (int round = 0; round < 8; ++round) {
        Options options = Make(kind, layout == Layout::Shared ? 400 : 60, ++seed, layout);
        options.logical_faults = 1.0;
        SCOPED_TRACE(Describe(options));
        std::vector<std::string> lines;
        const Verdict verdict = GenerateAndVerify(options, &lines);
        EXPECT_TRUE(verdict.physical.empty()) << Shown(verdict.physical);
        ASSERT_TRUE(verdict.logical_ran);
        // Every unit has its fault and no fault ends the rule set early: at least one row
        // per policy, notice or claim.
        EXPECT_GE(verdict.logical.size(), static_cast<std::size_t>(Units(lines)))
            << Shown(verdict.logical, 40);
      }
    }
  }
}

TEST(LogicalFaults, AnyRateAboveZeroGivesAtLeastOneRow) {
  for (const char kind : {'P', 'D', 'S'}) {
    Options options = Make(kind, 30, 9);
    options.logical_faults = 0.0001;
    SCOPED_TRACE(Describe(options));
    const Verdict verdict = GenerateAndVerify(options);
    EXPECT_TRUE(verdict.physical.empty()) << Shown(verdict.physical);
    EXPECT_FALSE(verdict.logical.empty());
  }
}

TEST(Generate, RefusesWhatNoValidFileCanBe) {
  struct Case {
    const char *name;
    Options options;
  };
  auto with = [](auto change) {
    Options options = Make('P', 10, 1);
    change(options);
    return options;
  };
  const Case cases[] = {
      {"one record", with([](Options &o) { o.records = 1; })},
      {"beyond the record limit", with([](Options &o) { o.records = 32768; })},
      {"a policy without room for its item", with([](Options &o) { o.records = 3; })},
      {"a claim without room for its detail", with([](Options &o) {
         o.kind = 'S';
         o.records = 3;
       })},
      {"unknown kind", with([](Options &o) { o.kind = 'X'; })},
      {"negative rate", with([](Options &o) { o.physical_faults = -0.1; })},
      {"rate above one", with([](Options &o) { o.logical_faults = 1.5; })},
      {"rate not a number", with([](Options &o) { o.logical_faults = std::nan(""); })},
      {"month 13", with([](Options &o) { o.period = "202413"; })},
      {"year before 1902", with([](Options &o) { o.period = "190112"; })},
      {"short period", with([](Options &o) { o.period = "20241"; })},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(Generate(ShippedReference(), c.options), GeneratorError);
  }
  // A database without layouts or codes cannot give a consistent file.
  const ReferenceData lengths_only =
      testing::LoadFromSql("INSERT INTO TipoArchivo VALUES (1,'P',400),(2,'D',200),(3,'S',200);");
  EXPECT_THROW(Generate(lengths_only, Make('D', 10, 1)), GeneratorError);
}

// Another installation's layout: different fields, rules and line length. The generator
// follows the definitions, so the physical verification finds nothing.
TEST(Generate, FollowsTheLayoutOfAnyReferenceDatabase) {
  const ReferenceData reference = testing::LoadFromSql(R"(
    INSERT INTO TipoArchivo VALUES (2, 'D', 90);
    INSERT INTO COMUNA VALUES ('13101'); INSERT INTO CULTIVO VALUES ('TRIGO1');
    INSERT INTO DefArchivo VALUES
      (2,'1',1,'TIPO_REGISTRO',1,1,'N',0,'S','1#',NULL),
      (2,'1',2,'FECHA_CIERRE',2,8,'FE',0,'S','SI_ES:00000000',NULL),
      (2,'1',3,'RUT_ASEGURADORA',10,9,'RUT',0,'S','SI_ES:0','x'),
      (2,'1',4,'VER_ASEGURADORA',19,1,'DV',0,'S','SI_ES:BLANCO','x'),
      (2,'1',5,'ASEGURADORA',20,70,'T',0,'S','SI_ES:BLANCO','x'),
      (2,'1',6,'VERSION',90,1,'N',0,'S','7#','x'),
      (2,'2',1,'TIPO_REGISTRO',1,1,'N',0,'S','2#','x'),
      (2,'2',3,'ZONA',2,2,'N',0,'S','10#20#','x'),
      (2,'2',2,'CLASE',4,2,'T',0,'S','AB#CD#','x'),
      (2,'2',4,'MONTO',6,9,'D',3,'S','SI_ES:0','x'),
      (2,'2',5,'CODIGO',15,4,'T',0,'N','SI_ES:BLANCOoCero','x'),
      (2,'2',6,'REFERENCIA',19,10,'T',0,'S',NULL,'x'),
      (2,'2',7,'RUT_TERCERO',29,9,'RUT',0,'S','SI_ES:0','x'),
      (2,'2',8,'VER_TERCERO',38,1,'DV',0,'S',NULL,'x'),
      (2,'2',9,'MARCAS',39,6,'T',0,'S','SI_NO_ES:0o1','x'),
      (2,'2',10,'FECHA_HECHO',45,8,'FE',0,'S','SI_ES:00000000','x'),
      (2,'2',11,'UNIDADES',53,5,'N',0,'S','SI_ES:0','x'),
      (2,'2',12,'FILLER',58,33,'FIL',0,'N',NULL,'x'),
      (2,'3',1,'TIPO_REGISTRO',1,1,'N',0,'S','3#','x'),
      (2,'3',2,'TOTAL_REGISTROS',2,6,'N',0,'S',NULL,'x'),
      (2,'3',3,'LOTE',8,3,'N',0,'S','SI_ES:0','x'),
      (2,'3',4,'FILLER',11,80,'FIL',0,'N',NULL,'x');)");
  const TempDir dir;
  Options options = Make('D', 25, 3);
  const std::vector<std::string> lines = Generate(reference, options);
  for (const std::string &line : lines) {
    ASSERT_EQ(line.size(), 90u);
  }
  const Verdict verdict = Verify(reference, dir.Write("D202405.txt", JoinLines(lines)));
  EXPECT_TRUE(verdict.physical.empty()) << Shown(verdict.physical);
  EXPECT_TRUE(verdict.logical_ran);
}

// The program around the generator: exit statuses, messages and the file it writes.
int RunGen(const std::string &arguments) {
  const std::string command =
      std::string(VERDALIA_BINARY_DIR) + "/verdalia-gen " + arguments + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(VerdaliaGenProgram, AnswersWithConventionalExitStatuses) {
  const TempDir dir;
  const std::string folder = dir.path().string();
  const std::string db = std::string("--db ") + VERDALIA_REFERENCE_DB;
  struct Case {
    const char *name;
    std::string arguments;
    int status;
  };
  const Case cases[] = {
      {"help", "--help", 0},
      {"written", db + " --records 20 --seed 4 -o " + folder + "/S202311.txt", 0},
      {"kind given and matching", db + " --kind P -o " + folder + "/P202311.txt", 0},
      {"no output", db + " --records 20", 64},
      {"unknown option", "--verbose -o " + folder + "/P202401.txt", 64},
      {"missing value", "-o", 64},
      {"records not a number", db + " --records many -o " + folder + "/P202401.txt", 64},
      {"records out of range", db + " --records 40000 -o " + folder + "/P202401.txt", 64},
      {"rate out of range", db + " --physical-faults 2 -o " + folder + "/P202401.txt", 64},
      {"unknown layout", db + " --layout sorted -o " + folder + "/P202401.txt", 64},
      {"name without period", db + " -o " + folder + "/Pmuestra.txt", 64},
      {"kind against name", db + " --kind D -o " + folder + "/P202401.txt", 64},
      {"name of no kind", db + " -o " + folder + "/X202401.txt", 64},
      {"unusable database", "--db " + folder + "/missing.db -o " + folder + "/P202401.txt", 3},
      {"folder missing", db + " -o " + folder + "/no/such/P202401.txt", 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RunGen(c.arguments), c.status);
  }
  // What the program wrote is what the generator gives for the same options.
  Options options = Make('S', 20, 4, Layout::Valid, "202311");
  EXPECT_EQ(testing::ReadBytes(dir.path() / "S202311.txt"),
            JoinLines(Generate(ShippedReference(), options)));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "P202401.txt"));
}

} // namespace
} // namespace verdalia
