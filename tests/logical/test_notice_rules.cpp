#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "logical/logical_fixtures.h"
#include "logical/text_order.h"

namespace verdalia {
namespace {

using testing::ClaimNotice;
using testing::Framed;
using testing::kNoticeLength;
using testing::RunRules;
using testing::Texts;

std::string N(void (*change)(ClaimNotice &) = nullptr) {
  return testing::LineOf(ClaimNotice{}, change);
}

struct Case {
  const char *name;
  std::vector<std::string> details;
  std::vector<std::string> rows;
};

void Check(const std::vector<Case> &cases) {
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Texts(RunRules(Verifica_LogicaD, Framed(c.details, kNoticeLength, '3'))), c.rows);
  }
}

const char *const kRepeated =
    "|NUMERO_SINIESTRO+NUMERO_POLIZA|Error. Número de siniestro repetido en el archivo.";
const char *const kOccurrence = "2|FECHA_OCURRENCIA|Error. Fecha de Ocurrencia mayor a fecha de "
                                "Declaración del siniestro.";
const char *const kNoProvision = "2|PROVISION|Advertencia. No informa provisión.";

std::string At(int record, const char *row) {
  return std::to_string(record) + row;
}

TEST(NoticeRules, RepeatedNotices) {
  // Equal notices at records 4, 9 and 15, others in between.
  std::vector<std::string> details;
  for (int record = 2; record <= 16; ++record) {
    ClaimNotice notice;
    if (record != 4 && record != 9 && record != 15) {
      notice.siniestro = "SIN" + std::to_string(100000000000 + record);
    }
    details.push_back(notice.Line());
  }
  Check({
      {"three equal notices: rows at the first two", details, {At(4, kRepeated), At(9, kRepeated)}},
      {"left- and right-aligned numbers are different",
       {N([](ClaimNotice &n) { n.siniestro = "123            "; }),
        N([](ClaimNotice &n) { n.siniestro = "            123"; })},
       {}},
      {"the policy part takes in the declaration's year",
       {N(), N([](ClaimNotice &n) { n.declaracion = "20250210"; })},
       {}},
      {"the same year but another day is still a repeat",
       {N(), N([](ClaimNotice &n) { n.declaracion = "20240211"; })},
       {At(2, kRepeated)}},
      {"other records are passed over",
       {N(), testing::BlankLine('9', kNoticeLength), N()},
       {At(2, kRepeated)}},
  });
}

TEST(NoticeRules, OccurrenceCausesAndProvision) {
  Check({
      {"occurrence on the declaration day",
       {N([](ClaimNotice &n) { n.ocurrencia = n.declaracion; })},
       {}},
      {"occurrence a day later",
       {N([](ClaimNotice &n) { n.ocurrencia = "20240211"; })},
       {kOccurrence}},
      {"blank occurrence is never later",
       {N([](ClaimNotice &n) { n.ocurrencia = "        "; })},
       {}},
      {"a blank declaration makes every date later",
       {N([](ClaimNotice &n) { n.declaracion = "        "; })},
       {kOccurrence}},
      {"drought and rain",
       {N([](ClaimNotice &n) { n.causas = "110000"; })},
       {"2|CAUSA_SINIESTRO|Error. Informa sequía agrícola y lluvia excesiva/extemporánea "
        "simultáneamente."}},
      {"drought and snow",
       {N([](ClaimNotice &n) { n.causas = "100010"; })},
       {"2|CAUSA_SINIESTRO|Advertencia. Informa sequía agrícola y nieve simultáneamente."}},
      {"drought, rain and hail", {N([](ClaimNotice &n) { n.causas = "110100"; })}, {}},
      {"drought alone", {N([](ClaimNotice &n) { n.causas = "100000"; })}, {}},
      {"provision of zeros",
       {N([](ClaimNotice &n) { n.provision = "00000000000000"; })},
       {kNoProvision}},
      {"blank provision",
       {N([](ClaimNotice &n) { n.provision = "              "; })},
       {kNoProvision}},
      {"provision that is no number",
       {N([](ClaimNotice &n) { n.provision = "X0000000000001"; })},
       {kNoProvision}},
      {"provision of one", {N([](ClaimNotice &n) { n.provision = "00000000000001"; })}, {}},
      {"a header and a control record only", {}, {}},
  });
}

TEST(NoticeRules, OneNoticeCollectsAllFourRowsInOrder) {
  const std::string odd = N([](ClaimNotice &n) {
    n.ocurrencia = "20240301";
    n.causas = "000000";
    n.provision = "00000000000000";
  });
  Check({{"repeated, occurrence, causes, provision",
          {odd, N()},
          {At(2, kRepeated), kOccurrence,
           "2|CAUSA_SINIESTRO|Error. No informa Causa del Siniestro.", kNoProvision}}});
}

TEST(SortsAfter, ComparesCharacterCodesOneByOne) {
  struct Case {
    const char *left;
    const char *right;
    bool after;
  };
  const Case cases[] = {
      {"20240211", "20240210", true},
      {"20240210", "20240210", false},
      {"20240210", "20240211", false},
      {"        ", "20240210", false}, // a blank sorts before every digit
      {"20240210", "        ", true},
      {"2024021", "20240210", false}, // a prefix sorts first
      {"\x80", "\xFF", true},         // the euro sign is U+20AC, after every Latin-1 letter
      {"\x8A", "\xE9", true},         // S with caron, U+0160, after e acute
      {"\x81", "\xA0", false},        // an undefined byte keeps its own code
      {"\xE9", "e", true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.left) + " / " + c.right);
    EXPECT_EQ(SortsAfter(c.left, c.right), c.after);
  }
}

} // namespace
} // namespace verdalia
