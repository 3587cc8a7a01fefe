// The index structures of the rule sets against plain scans of the same records.
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "logical/forward_sums.h"
#include "logical/number_text.h"
#include "logical/record_index.h"

namespace verdalia {
namespace {

TEST(RecordIndex, ListsTheRecordsOfEveryKeyInFileOrderAsAScanWould) {
  std::mt19937 random(5);
  for (const int distinct : {1, 3, 40, 5000}) { // the last makes the table grow many times
    std::vector<std::string> keys;
    std::map<std::string, std::vector<int>> scan;
    for (int k = 0; k < 6000; ++k) {
      // Keys that differ in a trailing blank or a NUL byte are different keys.
      const int n = static_cast<int>(random() % static_cast<unsigned>(distinct));
      keys.push_back("K" + std::to_string(n) + std::string(n % 3, n % 2 ? ' ' : '\0'));
      scan[keys.back()].push_back(k);
    }
    TextIndex index(distinct == 5000 ? 0 : keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
      index.Add(keys[k], static_cast<int>(k));
    }
    index.Seal();
    for (const auto &[key, records] : scan) {
      const auto found = index.Records(key);
      ASSERT_EQ(std::vector<int>(found.begin(), found.end()), records) << key;
    }
    EXPECT_TRUE(index.Records("K0 missing").empty());
  }
}

TEST(FieldTuple, JoinedKeysCompareTheTextFieldKeysEachField) {
  EXPECT_EQ(JoinedKey("AB", "C"), JoinedKey("A", "BC"));
  EXPECT_FALSE(FieldsKey("AB", "C") == FieldsKey("A", "BC"));
  EXPECT_FALSE(FieldsKey("A", std::string_view("\0", 1)) == FieldsKey("A"));
  FieldsNumbers numbers;
  EXPECT_EQ(numbers.Number(FieldsKey("P1", "E1")), 0);
  EXPECT_EQ(numbers.Number(FieldsKey("P1", "E2")), 1);
  EXPECT_EQ(numbers.Number(FieldsKey("P1", "E1")), 0);
  EXPECT_EQ(numbers.Find(FieldsKey("P1 ", "E1")), FieldsNumbers::kNone);

  // Fields of every length, so that their bytes fall at every place in the key's words:
  // keys are equal exactly when their texts are.
  std::mt19937 random(3);
  auto text = [&random](std::size_t size) {
    std::string t;
    for (std::size_t k = 0; k < size; ++k) {
      t += std::string_view("AB\0 ", 4)[random() % 4];
    }
    return t;
  };
  for (int n = 0; n < 20000; ++n) {
    const std::string a1 = text(random() % 21);
    const std::string a2 = text(random() % 20);
    std::string joined = a1 + a2;
    if (random() % 2 == 0 && !joined.empty()) {
      joined[random() % joined.size()] = 'B';
    }
    const std::size_t cut = random() % (joined.size() + 1);
    const std::string b1 = joined.substr(0, cut);
    const std::string b2 = joined.substr(cut);
    ASSERT_EQ(JoinedKey(a1, a2) == JoinedKey(b1, b2), a1 + a2 == b1 + b2) << a1 << "|" << a2;
    ASSERT_EQ(FieldsKey(a1, a2) == FieldsKey(b1, b2), a1 == b1 && a2 == b2) << a1 << "|" << a2;
    ASSERT_EQ(JoinedKey(a1, a2).Hash() == JoinedKey(b1, b2).Hash() || a1 + a2 != b1 + b2, true);
  }
}

TEST(LaterRepeats, FindAPartRepeatedLaterInTheListShortOrLong) {
  std::mt19937 random(9);
  for (const int length : {2, 16, 17, 300}) {
    std::vector<std::string> lines = {""};
    RecordLists lists;
    for (int k = 1; k <= length; ++k) {
      lines.push_back(std::to_string(random() % 5));
      lists.Add(0, k);
    }
    lists.Seal(1);
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    LaterRepeats repeats(lists, views, [](std::string_view line) { return line; });
    // In file order, as the rules ask, then in any order.
    std::vector<int> asked;
    for (int k = 1; k <= length; ++k) {
      asked.push_back(k);
    }
    for (int k = 1; k <= length; ++k) {
      asked.push_back(static_cast<int>(random() % static_cast<unsigned>(length)) + 1);
    }
    for (const int k : asked) {
      int later = 0;
      for (int j = length; j > k; --j) {
        later = lines[static_cast<std::size_t>(j)] == lines[static_cast<std::size_t>(k)] ? j : later;
      }
      EXPECT_EQ(repeats.After(0, k), later) << "record " << k << " of " << length;
    }
  }
}

double OneByOne(const std::vector<double> &terms, std::size_t start) {
  double sum = 0;
  for (std::size_t k = start; k < terms.size(); ++k) {
    sum = sum + terms[k];
  }
  return sum;
}

TEST(ForwardSums, GiveTheCentsOfTheOneByOneSumFromEveryStart) {
  std::mt19937 random(7);
  const auto between = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  const double factors[] = {1.5, 0.1, 1.2345, 0.5, 0.0001, 999.9999, 0, -1.5};
  std::size_t needed = 0;
  std::size_t asked = 0;
  for (int n = 0; n < 200; ++n) {
    // Products of two-decimal quantities of every size, some groups of half-cent amounts.
    const bool halves = n % 4 == 0;
    const int top = static_cast<int>(std::pow(10, between(1, 8))) - 1;
    std::vector<double> terms;
    for (int k = between(1, 120); k > 0; --k) {
      terms.push_back(halves ? 0.05 * between(0, 3) * 0.15
                             : between(0, top) / 100.0 * (between(0, 9999999) / 100.0));
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
      if (!halves) {
        needed += sums.NeedsSum(start, between(0, 99999) / 10000.0) ? 1 : 0;
        ++asked;
      }
    }
  }
  // Unless a sum lands on half a cent, the interval decides without adding again.
  EXPECT_LT(needed * 100, asked);
}

} // namespace
} // namespace verdalia
