// The indexed rule sets against the plain scans, row for row, on many generated files with
// few distinct keys, so that partners, repeats, early ends and shared groups are common.

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "logical/forward_sums.h"
#include "logical/logical_fixtures.h"
#include "logical/naive_rule_sets.h"

namespace verdalia {
namespace {

using testing::BlankLine;
using testing::Claim;
using testing::ClaimDetail;
using testing::ClaimNotice;
using testing::Item;
using testing::Policy;
using testing::RuleSet;
using testing::RunRules;
using testing::Texts;

class Generator {
public:
  explicit Generator(unsigned seed) : m_random(seed) {}

  const char *Pick(std::initializer_list<const char *> choices) {
    return *(choices.begin() + Between(0, static_cast<int>(choices.size()) - 1));
  }
  std::size_t Pick(std::initializer_list<std::size_t> choices) {
    return *(choices.begin() + Between(0, static_cast<int>(choices.size()) - 1));
  }
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
  bool Chance(double p) { return std::bernoulli_distribution(p)(m_random); }
  std::string Digits(std::size_t count) {
    std::string text;
    for (std::size_t k = 0; k < count; ++k) {
      text.push_back(static_cast<char>('0' + Between(0, 9)));
    }
    return text;
  }

private:
  std::mt19937 m_random;
};

// A file of `details` detail lines drawn by `detail`, sometimes repeating an earlier line
// exactly, all cut to `length`, between a first and a last line of any type.
template <typename MakeDetail>
std::vector<std::string> MakeFile(Generator &g, int details, std::size_t length,
                                  MakeDetail detail) {
  std::vector<std::string> lines;
  lines.push_back(BlankLine(g.Pick({"1", "1", "2", "3"})[0], 400));
  for (int k = 0; k < details; ++k) {
    if (lines.size() > 1 && g.Chance(0.1)) {
      lines.push_back(
          lines[static_cast<std::size_t>(g.Between(1, static_cast<int>(lines.size()) - 1))]);
    } else if (g.Chance(0.05)) {
      lines.push_back(BlankLine(g.Pick({"1", "4", "9"})[0], 400));
    } else {
      lines.push_back(detail());
    }
  }
  lines.push_back(BlankLine(g.Pick({"4", "4", "3", "2"})[0], 400));
  for (std::string &line : lines) {
    line.resize(length, ' ');
  }
  return lines;
}

// In files of half-cent amounts every item is worth a few cents and the factors are
// tenths: their sums land on half a cent, where the order of the additions decides.
std::string RandomPolicy(Generator &g, bool half_cents) {
  Policy p;
  p.tipo = g.Pick({"P", "P", "E", "X"});
  p.poliza = g.Pick({"POL000000000001", "POL000000000002"});
  p.endoso = g.Pick({"00000000000", "00000000001"});
  p.nivel = g.Pick({"100", "000", "050", "101"});
  p.inicio = g.Pick({"20240101", "20241231", "00000000"});
  p.fin = g.Pick({"20240101", "20241231", "00000000"});
  p.rut_contratante = g.Pick({"0012345678", "0087654321"});
  p.contratante = g.Pick({"AGRICOLA UNO", "Agricola Uno"});
  p.comuna = g.Pick({"01101", "00102"});
  p.cultivo = g.Pick({"000101", "000999"});
  p.factor = half_cents ? g.Pick({"0001000", "0005000", "0015000"})
                        : g.Pick({"0015000", "0012345", "0001000", "0000500", "0010000"});
  p.tasa = g.Pick({"0250", "0100", "0005"});
  p.prima_fija = g.Pick({"001000", "000000", "000100", "      "});
  p.monto =
      g.Chance(0.2)
          ? g.Digits(7)
          : g.Pick({"0030000", "0031000", "0032000", "0030005", "0000000", "0000002", "0000015"});
  p.prima_neta =
      g.Chance(0.2)
          ? g.Digits(6)
          : g.Pick({"001000", "000349", "000350", "004000", "001750", "000450", "000850"});
  return p.Line();
}

std::string RandomItem(Generator &g, bool half_cents) {
  Item i;
  i.poliza = g.Pick({"POL000000000001", "POL000000000002"});
  i.endoso = g.Pick({"00000000000", "00000000001"});
  i.item = g.Pick({"0001", "0002"});
  i.tipo_endoso = g.Pick({"  ", "  ", "C ", "CA", "D ", "RE", "A "});
  // Quantities whose products and sums often land on half a cent.
  i.cantidad_a = g.Chance(0.2)
                     ? g.Digits(8)
                     : g.Pick({"00001000", "00000010", "00001010", "00000005", "00000015"});
  i.cantidad_b = g.Pick({"0002000", "0000005", "0000015", "0000100", "0000333"});
  if (half_cents) {
    i.poliza = "POL000000000001";
    i.cantidad_a = "00000005";
    i.cantidad_b = g.Pick({"0000100", "0000015", "0000005", "0000300"});
  }
  return i.Line();
}

std::string RandomClaim(Generator &g) {
  Claim c;
  c.resolucion = g.Pick({"R", "A", "E", "Z"});
  c.poliza = g.Pick({"POL000000000001", "POL000000000002"});
  c.siniestro = g.Pick({"SIN000000000001", "SIN000000000002"});
  c.declaracion = g.Pick({"20240210", "20240301"});
  c.ocurrencia = g.Pick({"20240201", "20240210", "20240302"});
  c.informe = g.Pick({"20240301", "20240209", "00000000", "        "});
  c.causas = g.Pick({"111111", "110000", "000000", "101000", "100100", "100010", "100000"});
  c.gastos = g.Pick({"00000001500000", "00000000000000", "ABC00000000000", "-0000000001000"});
  return c.Line();
}

std::string RandomDetail(Generator &g) {
  ClaimDetail d;
  d.poliza = g.Pick({"POL000000000001", "POL000000000002"});
  d.siniestro = g.Pick({"SIN000000000001", "SIN000000000002"});
  d.item = g.Pick({"0001", "0002"});
  d.tipo_perdida = g.Pick({"P", "T", "X", "Q"});
  d.indemnizacion = g.Pick({"00000000000000", "00000000100000", "-0000000000005"});
  d.tipo_indemnizacion = g.Pick({"M", "C", "X", "Q"});
  d.produccion = g.Pick({"0000000000", "0000000005"});
  return d.Line();
}

std::string RandomNotice(Generator &g) {
  ClaimNotice n;
  n.siniestro = g.Pick({"SIN000000000001", "SIN000000000002"});
  n.poliza = g.Pick({"POL000000000001", "POL000000000002"});
  n.declaracion = g.Pick({"20240210", "20250210", "20240211", "        "});
  n.ocurrencia = g.Pick({"20240201", "20240210", "20240302", "        "});
  n.causas = g.Pick({"111111", "110000", "000000", "101000", "100100", "100010", "100000"});
  n.provision = g.Pick({"00000000150000", "00000000000000", "              ", "X0000000000001"});
  return n.Line();
}

// Compares both versions on one file; false (with a readable failure) when they differ.
bool SameRows(RuleSet indexed, RuleSet naive, const std::vector<std::string> &lines,
              const NumberFormat &numbers) {
  const ResultList expected = RunRules(naive, lines, numbers);
  const ResultList actual = RunRules(indexed, lines, numbers);
  if (actual == expected) {
    return true;
  }
  std::string file;
  for (const std::string &line : lines) {
    file += "[" + line + "]\n";
  }
  ADD_FAILURE() << "rows differ for the file\n" << file;
  EXPECT_EQ(Texts(actual), Texts(expected));
  return false;
}

constexpr int kFiles = 4000;

TEST(IndexEquivalence, ProductionFiles) {
  Generator g(20240101);
  for (int n = 0; n < kFiles; ++n) {
    const std::size_t length = g.Pick({400, 400, 400, 380, 200, 100, 1});
    const bool half_cents = g.Chance(0.3);
    const auto lines = MakeFile(g, g.Between(0, 30), length, [&] {
      return g.Chance(half_cents ? 0.3 : 0.45) ? RandomPolicy(g, half_cents)
                                               : RandomItem(g, half_cents);
    });
    const NumberFormat numbers{g.Chance(0.3) ? "," : "."};
    ASSERT_TRUE(SameRows(Verifica_LogicaP, testing::naive::ProductionRules, lines, numbers))
        << "file " << n;
  }
}

// Groups of one policy and endorsement number longer than the rules scan directly, whose
// items repeat a new item or a whole endorsement line at every distance, or not at all.
TEST(IndexEquivalence, ProductionFilesWithLongGroups) {
  Generator g(20240303);
  for (int n = 0; n < 600; ++n) {
    const int distinct_items = g.Between(1, 200);
    const auto lines = MakeFile(g, g.Between(20, 90), 400, [&] {
      if (g.Chance(0.1)) {
        Policy p;
        p.tipo = g.Pick({"P", "E", "E"});
        p.endoso = g.Pick({"00000000000", "00000000001"});
        return p.Line();
      }
      Item i;
      i.endoso = g.Pick({"00000000000", "00000000001"});
      i.item = std::to_string(1000 + g.Between(1, distinct_items));
      i.cantidad_a = g.Pick({"00001000", "00000010"});
      return i.Line();
    });
    ASSERT_TRUE(SameRows(Verifica_LogicaP, testing::naive::ProductionRules, lines, {}))
        << "file " << n;
  }
}

TEST(IndexEquivalence, ClaimsFiles) {
  Generator g(20240202);
  for (int n = 0; n < kFiles; ++n) {
    const std::size_t length = g.Pick({120, 120, 70, 40, 20, 1});
    const auto lines = MakeFile(g, g.Between(0, 30), length,
                                [&] { return g.Chance(0.4) ? RandomClaim(g) : RandomDetail(g); });
    ASSERT_TRUE(SameRows(Verifica_LogicaS, testing::naive::ClaimsRules, lines, {})) << "file " << n;
  }
}

// Claims with more details than the rules scan directly, whose items repeat at every
// distance, or not at all; the lines are cut at every length around the key fields.
TEST(IndexEquivalence, ClaimsFilesWithLongGroups) {
  Generator g(20240404);
  for (int n = 0; n < 600; ++n) {
    const int distinct_items = g.Between(1, 200);
    const std::size_t length = g.Pick({200, 200, 36, 35, 34, 33, 31, 20});
    const auto lines = MakeFile(g, g.Between(20, 90), length, [&] {
      if (g.Chance(0.1)) {
        Claim c;
        c.siniestro = g.Pick({"SIN000000000001", "SIN000000000002"});
        return c.Line();
      }
      ClaimDetail d;
      d.siniestro = g.Pick({"SIN000000000001", "SIN000000000002"});
      d.item = std::to_string(1000 + g.Between(1, distinct_items));
      return d.Line();
    });
    ASSERT_TRUE(SameRows(Verifica_LogicaS, testing::naive::ClaimsRules, lines, {}))
        << "file " << n;
  }
}

TEST(IndexEquivalence, NoticeFiles) {
  Generator g(20240303);
  for (int n = 0; n < kFiles; ++n) {
    const std::size_t length = g.Pick({100, 100, 60, 40, 10, 1});
    const auto lines = MakeFile(g, g.Between(0, 30), length, [&] { return RandomNotice(g); });
    ASSERT_TRUE(SameRows(Verifica_LogicaD, testing::naive::NoticeRules, lines, {})) << "file " << n;
  }
}

// Large files in the layouts that make the plain scans longest: partners at the far end,
// long groups shared by many records, policies and items interleaved.
TEST(IndexEquivalence, LongLayouts) {
  constexpr int kPairs = 400;
  std::vector<std::vector<std::string>> production;
  {
    std::vector<std::string> interleaved, half_cents, policies_first, items_first;
    for (int k = 0; k < kPairs; ++k) {
      Policy p;
      p.monto = "0030000";
      Item i;
      i.item = std::to_string(1000 + k);
      i.cantidad_a = k % 3 == 0 ? "00000005" : "00001000";
      i.cantidad_b = k % 5 == 0 ? "0000100" : "0002000";
      interleaved.push_back(p.Line());
      interleaved.push_back(i.Line());
      // Items of 5 cents and factors of a tenth: most sums land on half a cent.
      Policy tenth;
      tenth.factor = k % 2 == 0 ? "0001000" : "0003000";
      Item nickel;
      nickel.item = i.item;
      nickel.cantidad_a = "00000005";
      nickel.cantidad_b = "0000100";
      half_cents.push_back(tenth.Line());
      half_cents.push_back(nickel.Line());
      policies_first.insert(policies_first.begin(), p.Line());
      policies_first.push_back(i.Line());
      items_first.insert(items_first.begin(), i.Line());
      items_first.push_back(p.Line());
    }
    for (auto *layout : {&interleaved, &half_cents, &policies_first, &items_first}) {
      production.push_back(testing::Framed(*layout, testing::kProductionLength));
    }
  }
  for (const auto &lines : production) {
    EXPECT_TRUE(SameRows(Verifica_LogicaP, testing::naive::ProductionRules, lines, {}));
  }

  std::vector<std::string> claims, notices;
  for (int k = 0; k < kPairs; ++k) {
    Claim c;
    c.siniestro = "SIN" + std::to_string(100000000000 + k);
    ClaimDetail d;
    d.siniestro = c.siniestro;
    claims.insert(claims.begin(), c.Line());
    claims.push_back(d.Line());
    claims.push_back(d.Line());
    notices.push_back(ClaimNotice().Line());
    notices.push_back(ClaimNotice().Line());
  }
  EXPECT_TRUE(SameRows(Verifica_LogicaS, testing::naive::ClaimsRules,
                       testing::Framed(claims, testing::kClaimsLength), {}));
  EXPECT_TRUE(SameRows(Verifica_LogicaD, testing::naive::NoticeRules,
                       testing::Framed(notices, testing::kNoticeLength, '3'), {}));
}

double OneByOne(const std::vector<double> &terms, std::size_t start) {
  double sum = 0;
  for (std::size_t k = start; k < terms.size(); ++k) {
    sum = sum + terms[k];
  }
  return sum;
}

TEST(ForwardSums, GiveTheCentsOfTheOneByOneSumFromEveryStart) {
  Generator g(7);
  const double factors[] = {1.5, 0.1, 1.2345, 0.5, 0.0001, 999.9999, 0, -1.5};
  for (int n = 0; n < 200; ++n) {
    // Products of two-decimal quantities of every size, some groups of half-cent amounts.
    const bool halves = n % 4 == 0;
    const int digits = g.Between(1, 8);
    std::vector<double> terms;
    const int count = g.Between(1, 120);
    for (int k = 0; k < count; ++k) {
      const int top = static_cast<int>(std::pow(10, digits)) - 1;
      const double a = halves ? 0.05 : g.Between(0, top) / 100.0;
      const double b = halves ? g.Between(0, 3) * 0.15 : g.Between(0, 9999999) / 100.0;
      terms.push_back(a * b);
    }
    ForwardSums sums(terms);
    if (n % 2 == 0) {
      // Half of the groups have their one-by-one sums worked out together first.
      std::vector<std::size_t> starts;
      for (std::size_t start = 0; start < terms.size(); start += 2) {
        starts.push_back(start);
      }
      sums.SumFrom(starts);
    }
    for (std::size_t start = 0; start <= terms.size(); ++start) {
      for (const double factor : factors) {
        ASSERT_EQ(sums.CentsOfProduct(start, factor), RoundToCents(OneByOne(terms, start) * factor))
            << "start " << start << " of " << terms.size() << ", factor " << factor;
      }
    }
  }
}

TEST(ForwardSums, DecideAmountsOfInsuranceSizeWithoutAddingAgain) {
  // Quantities up to 9,999.99 × 999.99 and factors up to 9.9999: insured amounts of the
  // field's size. Unless a sum lands on half a cent, the interval decides.
  Generator g(11);
  std::size_t needed = 0;
  std::size_t asked = 0;
  for (int n = 0; n < 100; ++n) {
    std::vector<double> terms;
    const int count = g.Between(2, 200);
    for (int k = 0; k < count; ++k) {
      terms.push_back(g.Between(0, 999999) / 100.0 * (g.Between(0, 99999) / 100.0));
    }
    const ForwardSums sums(terms);
    for (std::size_t start = 0; start < terms.size(); ++start) {
      needed += sums.NeedsSum(start, g.Between(0, 99999) / 10000.0) ? 1 : 0;
      ++asked;
    }
  }
  EXPECT_LT(needed * 100, asked);
}

} // namespace
} // namespace verdalia
