// A list keeps what its checks knew of each row beside the row: the rules hand it views (the
// text read, other records held in their own variables) that it must copy before they go.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/result.h"

namespace verdalia {
namespace {

std::vector<int> Related(const ResultList &rows, std::size_t i) {
  const std::optional<FindingDetail> detail = rows.Detail(rows[i]);
  return detail ? std::vector<int>(detail->related.begin(), detail->related.end())
                : std::vector<int>{};
}

TEST(ResultList, KeepsEachKindOfDetailApartFromTheViewsItWasGiven) {
  const std::string line = "  42X";
  ResultList rows;
  rows.push_back({1, "A", "plain"});
  {
    std::vector<int> others = {7, 9, 11};
    const int one = 5;
    FindingDetail read;
    read.value = std::string_view(line).substr(2, 2);
    read.value_start = 3;
    read.expected = rows.Keep("43");
    rows.push_back({2, "B", "read"}, read);
    FindingDetail single;
    single.related = {&one, 1};
    rows.push_back({3, "C", "one other"}, single);
    FindingDetail several;
    several.related = others;
    several.expected_amount = 12.5;
    rows.push_back({4, "D", "amount and others"}, several);
    FindingDetail amount;
    amount.expected_amount = 0.0;
    rows.push_back({5, "E", "amount"}, amount);
    single.expected_amount = -3.0;
    rows.push_back({6, "C", "one other and an amount"}, single);
    others.assign(3, -1); // the rule's own variables change or go: the list has its copy
  }
  EXPECT_FALSE(rows.Detail(rows[0]));
  const FindingDetail read = *rows.Detail(rows[1]);
  EXPECT_EQ(read.value, "42");
  EXPECT_EQ(read.value.data(), line.data() + 2);
  EXPECT_EQ(read.value_start, 3u);
  EXPECT_EQ(read.expected, "43");
  EXPECT_FALSE(read.expected_amount);
  EXPECT_TRUE(read.related.empty());
  EXPECT_EQ(Related(rows, 2), std::vector<int>({5}));
  EXPECT_FALSE(rows.Detail(rows[2])->expected_amount);
  EXPECT_EQ(Related(rows, 3), std::vector<int>({7, 9, 11}));
  EXPECT_EQ(rows.Detail(rows[3])->expected_amount, 12.5);
  EXPECT_EQ(rows.Detail(rows[4])->expected_amount, 0.0);
  EXPECT_TRUE(Related(rows, 4).empty());
  EXPECT_EQ(Related(rows, 5), std::vector<int>({5}));
  EXPECT_EQ(rows.Detail(rows[5])->expected_amount, -3.0);
}

TEST(ResultList, OtherRecordsStayWhereTheyWereAsTheListAndItsCopiesGrow) {
  ResultList rows;
  std::vector<int> many(5000);
  for (int k = 0; k < 5000; ++k) {
    many[static_cast<std::size_t>(k)] = k + 1;
  }
  // Rows of two, three and thousands of other records, past the size of one block of them.
  std::vector<std::vector<int>> expected;
  for (int k = 0; k < 3000; ++k) {
    const std::vector<int> others =
        k == 1500 ? many : std::vector<int>(static_cast<std::size_t>(2 + k % 2), k);
    FindingDetail detail;
    detail.related = others;
    rows.push_back({k, "F", "m"}, detail);
    expected.push_back(others);
  }
  const std::span<const int> first = rows.Detail(rows[0])->related;
  ResultList copy = rows;
  for (int k = 0; k < 3000; ++k) {
    const int other = k;
    FindingDetail detail;
    detail.related = {&other, 1};
    copy.push_back({k, "G", "n"}, detail);
    rows.push_back({k, "H", "o"}, detail);
  }
  EXPECT_EQ(rows.Detail(rows[0])->related.data(), first.data());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(Related(rows, i), expected[i]) << "row " << i;
    ASSERT_EQ(Related(copy, i), expected[i]) << "row " << i;
  }
  EXPECT_EQ(Related(copy, 5999), std::vector<int>({2999}));
  EXPECT_EQ(Related(rows, 5999), std::vector<int>({2999}));
  EXPECT_EQ(copy.size(), 6000u);
  EXPECT_EQ(rows.size(), 6000u);
}

TEST(ResultList, ListsAreEqualOnlyWhenTheirRowsKnewTheSame) {
  const int five = 5;
  const int six = 6;
  FindingDetail a;
  a.related = {&five, 1};
  FindingDetail b;
  b.related = {&six, 1};
  ResultList left;
  ResultList right;
  ResultList same;
  left.push_back({1, "F", "m"}, a);
  right.push_back({1, "F", "m"}, b);
  same.push_back({1, "F", "m"}, a);
  EXPECT_FALSE(left == right);
  EXPECT_TRUE(left == same);
  ResultList plain;
  plain.push_back({1, "F", "m"});
  EXPECT_FALSE(left == plain);
}

} // namespace
} // namespace verdalia
