#include "reports/summary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace verdalia {
namespace {

// "rows|field|message" of each group.
std::vector<std::string> Shown(const ListSummary &summary) {
  std::vector<std::string> shown;
  for (const FindingGroup &group : summary.groups) {
    shown.push_back(std::to_string(group.rows) + "|" + group.field.bytes() + "|" +
                    group.message.bytes() + "|" + std::to_string(group.first_record));
  }
  return shown;
}

TEST(Summarize, AmountsMakeOneGroupAndOnlyTheNumbersThatDifferAreSetAside) {
  const ResultList rows = {
      {4, "PRIMA_NETA", "Error. Informa 19.18, y debe ser 14.76"},
      {5, "TIPO", "Error.Existe más de un registro tipo 1 en el archivo."},
      {7, "PRIMA_NETA", "Error. Informa 3,5, y debe ser 14.76"},
      {8, "MONTO", "Error. Informa 19.18, y debe ser 14.76"}, // another field: its own group
      {9, "PRIMA_NETA", "Error. Informa 1.234,56, y debe ser 14.76"},
      {9, "CAUSA", "Error. Informa 6 Causas de Siniestro."},
      {12, "CAUSA", "Error. Informa 6 Causas de Siniestro."},
      {13, "TIPO", "Error.Existe más de un registro tipo 1 en el archivo."},
      {14, "", "Advertencia. Monto -3 fuera de rango"},
      {15, "", "Advertencia. Monto 1.5E+20 fuera de rango"},
      {16, "RUT", "Error. RUT 12345678-9 no válido"},
      {17, "RUT", "Error. RUT 12345678-5 no válido"},
  };
  const ListSummary summary = Summarize(rows);
  EXPECT_EQ(Shown(summary), (std::vector<std::string>{
                                "3|PRIMA_NETA|Error. Informa #, y debe ser 14.76|4",
                                "2|TIPO|Error.Existe más de un registro tipo 1 en el archivo.|5",
                                "1|MONTO|Error. Informa 19.18, y debe ser 14.76|8",
                                "2|CAUSA|Error. Informa 6 Causas de Siniestro.|9",
                                "2||Advertencia. Monto # fuera de rango|14",
                                "2|RUT|Error. RUT 12345678-# no válido|16",
                            }));
  EXPECT_EQ(summary.errors, 10);
  EXPECT_EQ(summary.warnings, 2);
  EXPECT_EQ(summary.groups[4].severity, Severity::Warning);
}

TEST(Summarize, WordsAroundTheNumbersStillTellGroupsApart) {
  const ResultList rows = {
      {1, "F", "Error. Informa 3 causas"},
      {2, "F", "Error. Informa 3 causa"},
      {3, "F", "Error. Informa 3x"},
      {4, "F", "Error. Informa 34"},
      // A NUL in a message is text, never a number set aside.
      {5, "F", std::string_view("Error.\0#", 8)},
      {6, "F", "Error.7"},
  };
  EXPECT_EQ(Summarize(rows).groups.size(), 6u);
}

TEST(IndexList, EachRowKnowsItsGroupAndItsTextsAreTakenOnce) {
  ResultList rows;
  const std::string kept = "Error. Informa 2, y debe ser 3";
  rows.push_back({2, "A", "Error.Uno"});
  rows.push_back({3, "B", rows.Keep(kept)});
  rows.push_back({4, "A", "Error.Uno"});
  rows.push_back({5, "B", rows.Keep("Error. Informa 8, y debe ser 3")});
  rows.push_back({6, "B", rows.Keep(kept)}); // the same text kept twice is one message
  const ListIndex index = IndexList(rows);
  EXPECT_EQ(index.fields.size(), 2u);
  EXPECT_EQ(index.messages.size(), 3u);
  EXPECT_EQ(index.message_of_row, (std::vector<std::uint32_t>{0, 1, 0, 2, 1}));
  EXPECT_EQ(index.group_of_row, (std::vector<std::uint32_t>{0, 1, 0, 1, 1}));
  EXPECT_EQ(index.summary.groups[1].message.bytes(), "Error. Informa #, y debe ser 3");
  EXPECT_EQ(IndexList({}).summary.groups.size(), 0u);
}

} // namespace
} // namespace verdalia
