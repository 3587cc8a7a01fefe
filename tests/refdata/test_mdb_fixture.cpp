// The Access files the tests write are checked here with mdbtools' own command-line readers,
// which share nothing with the test writer: what they list and export is what Access holds.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "support/jet4_writer.h"

namespace verdalia {
namespace {

using testing::JetColumn;
using testing::JetNull;
using testing::JetOptions;
using testing::JetTable;
using testing::JetType;
using testing::JetValue;
using testing::JetVersion;
using testing::MdbTool;
using testing::TempDir;

struct VersionCase {
  const char *name;
  JetVersion version;
  bool compress_text;
  const char *file;
  const char *reported;         // what mdb-ver says
  std::size_t long_value_chunk; // long memo texts as chains of pieces this long
};

const VersionCase kVersions[] = {
    {"Jet3", JetVersion::Jet3, false, "ref.mdb", "JET3\n", 0},
    {"Jet4", JetVersion::Jet4, true, "ref.mdb", "JET4\n", 0},
    {"Jet4Uncompressed", JetVersion::Jet4, false, "ref.mdb", "JET4\n", 0},
    {"Jet4Chained", JetVersion::Jet4, true, "ref.mdb", "JET4\n", 50},
    {"Jet3Chained", JetVersion::Jet3, false, "ref.mdb", "JET3\n", 50},
    {"Ace12", JetVersion::Ace12, true, "ref.accdb", "ACE12\n", 0},
};

std::string LongNote() {
  std::string note;
  for (int i = 0; i < 40; ++i) {
    note += "línea " + std::to_string(i) + "; ";
  }
  return note;
}

std::vector<JetTable> Tables() {
  JetTable comuna{"COMUNA",
                  {{"COD_COMUNA", JetType::Text, 5},
                   {"NOMBRE_COMUNA", JetType::Text, 40},
                   {"REGION", JetType::Byte},
                   {"HABITANTES", JetType::Long},
                   {"SUPERFICIE", JetType::Double},
                   {"NOTA", JetType::Memo}},
                  {},
                  {},
                  {}};
  using R = std::vector<JetValue>;
  comuna.rows = {
      R{std::string("13101"), std::string("Santiago"), std::int64_t{13}, std::int64_t{404495}, 22.4,
        std::string("capital")},
      R{std::string("08101"), std::string("Concepción"), std::int64_t{8}, std::int64_t{223574},
        221.6, LongNote()},
      R{std::string("13114"), std::string("Ñuñoa €"), std::int64_t{13}, JetNull{}, JetNull{},
        JetNull{}},
      R{std::string(""), JetNull{}, JetNull{}, std::int64_t{-1}, -0.5, std::string("")},
  };
  JetTable cultivo{
      "CULTIVO",
      {{"COD_CULTIVO", JetType::Text, 10}, {"UNIDADES", JetType::Integer}},
      {R{std::string("TRIGO1"), std::int64_t{-32768}}, R{std::string("MAÍZ"), std::int64_t{32767}}},
      {},
      {}};
  return {comuna, cultivo};
}

class JetFixtureRead : public ::testing::TestWithParam<VersionCase> {
protected:
  void SetUp() override {
    JetOptions options;
    options.version = GetParam().version;
    options.compress_text = GetParam().compress_text;
    options.long_value_chunk = GetParam().long_value_chunk;
    m_file = (m_dir.path() / GetParam().file).string();
    testing::WriteJetDatabase(m_file, Tables(), options);
  }

  TempDir m_dir;
  std::string m_file;
};

TEST_P(JetFixtureRead, VersionAndTablesAsMdbtoolsSeeThem) {
  EXPECT_EQ(MdbTool({"mdb-ver", m_file}), GetParam().reported);
  EXPECT_EQ(MdbTool({"mdb-tables", "-1", m_file}), "COMUNA\nCULTIVO\n");
  EXPECT_EQ(MdbTool({"mdb-tables", "-1", "-S", m_file}), "MSysObjects\nCOMUNA\nCULTIVO\n");
}

TEST_P(JetFixtureRead, RowsAsMdbtoolsExportThem) {
  // mdb-export writes Null and empty text alike (nothing between the commas).
  EXPECT_EQ(MdbTool({"mdb-export", m_file, "COMUNA"}),
            "COD_COMUNA,NOMBRE_COMUNA,REGION,HABITANTES,SUPERFICIE,NOTA\n"
            "\"13101\",\"Santiago\",13,404495,22.4,\"capital\"\n"
            "\"08101\",\"Concepción\",8,223574,221.6,\"" +
                LongNote() +
                "\"\n"
                "\"13114\",\"Ñuñoa €\",13,,,\n"
                ",,,-1,-0.5,\n");
  EXPECT_EQ(MdbTool({"mdb-export", m_file, "CULTIVO"}),
            "COD_CULTIVO,UNIDADES\n\"TRIGO1\",-32768\n\"MAÍZ\",32767\n");
  EXPECT_EQ(MdbTool({"mdb-count", m_file, "COMUNA"}), "4\n");
}

TEST_P(JetFixtureRead, ColumnsAsMdbtoolsDescribeThem) {
  const std::string schema = MdbTool({"mdb-schema", m_file, "access"});
  for (const char *column :
       {"[COD_COMUNA]\t\t\tText (5)", "[NOMBRE_COMUNA]\t\t\tText (40)", "[REGION]\t\t\tByte",
        "[HABITANTES]\t\t\tLong Integer", "[SUPERFICIE]\t\t\tDouble", "[NOTA]\t\t\tMemo",
        "[UNIDADES]\t\t\tInteger"}) {
    EXPECT_NE(schema.find(column), std::string::npos) << column << " in\n" << schema;
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, JetFixtureRead, ::testing::ValuesIn(kVersions),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(JetFixtureWriter, RefusesWhatAccessCouldNotHold) {
  const TempDir dir;
  const std::string file = (dir.path() / "bad.mdb").string();
  using R = std::vector<JetValue>;
  struct Case {
    const char *name;
    JetTable table;
    JetVersion version;
  } cases[] = {
      {"text longer than its column",
       {"T", {{"C", JetType::Text, 3}}, {R{std::string("abcd")}}, {}, {}},
       JetVersion::Jet4},
      {"byte out of range",
       {"T", {{"C", JetType::Byte}}, {R{std::int64_t{256}}}, {}, {}},
       JetVersion::Jet4},
      {"text in a number column",
       {"T", {{"C", JetType::Long}}, {R{std::string("1")}}, {}, {}},
       JetVersion::Jet4},
      {"row missing a value",
       {"T", {{"C", JetType::Long}, {"D", JetType::Long}}, {R{std::int64_t{1}}}, {}, {}},
       JetVersion::Jet4},
      {"Jet 3 row beyond 256 bytes",
       {"T",
        {{"A", JetType::Text, 200}, {"B", JetType::Text, 200}},
        {R{std::string(200, 'a'), std::string(200, 'b')}},
        {},
        {}},
       JetVersion::Jet3},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    JetOptions options;
    options.version = c.version;
    EXPECT_THROW(testing::WriteJetDatabase(file, {c.table}, options), std::runtime_error);
  }
}

} // namespace
} // namespace verdalia
