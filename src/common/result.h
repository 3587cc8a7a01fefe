#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/windows1252.h"

namespace verdalia {

// A message that begins with "Advertencia" is a warning; every other finding is an error.
enum class Severity { Error, Warning };

// One finding: record number, field name (empty for the whole record or file) and message,
// texts in Windows-1252. The texts are views: into the program's fixed messages, into the
// definitions of the reference data, or into texts their list keeps (ResultList::Keep), so
// a list of thousands of rows holds no copy of a name or a message.
struct ResultRow {
  ResultRow() = default;
  ResultRow(int record_number, std::string_view field_name, std::string_view message_text)
      : record(record_number), field(field_name), message(message_text) {}

  int record = 0;
  // What the check knew beyond the message (ResultList::Detail): 0 for nothing, else its
  // number in the list's details, from 1. It fills the bytes the record number leaves.
  std::uint32_t detail = 0;
  Cp1252View field;
  Cp1252View message;

  Severity severity() const {
    return message.bytes().starts_with("Advertencia") ? Severity::Warning : Severity::Error;
  }
  // Rows are the same finding when their record, field and message are; what else the
  // checks knew is compared by their lists.
  bool operator==(const ResultRow &other) const {
    return record == other.record && field == other.field && message == other.message;
  }
};

// What a check knew of a finding beside its message, for the operator who must mend the file:
// the text it read, as it stands in the line and where; what it expected, where it can know
// it; the other records involved. Texts are Windows-1252 views, kept alive by the list as
// its rows' texts are; the other records are a view too, which the list copies into its own
// store when it takes the row, so a rule names them without allocating. It changes no saved
// or printed list.
struct FindingDetail {
  std::string_view value;                // the text read, untrimmed
  std::size_t value_start = 0;           // its first column, from 1; 0 when nothing was read
  std::string_view expected;             // what was expected, as text; empty when unknown
  std::optional<double> expected_amount; // an amount a rule worked out, as a number
  std::span<const int> related;          // the other records, in the order the rule met them

  bool operator==(const FindingDetail &other) const {
    return value == other.value && value_start == other.value_start &&
           expected == other.expected && expected_amount == other.expected_amount &&
           std::ranges::equal(related, other.related);
  }
};

// The rows of one list, only ever appended in the order the checks report them, with what
// their texts point into: a copy of the list shares it, so its rows stay valid as long as
// any copy does.
class ResultList {
public:
  using value_type = ResultRow;
  using const_iterator = std::vector<ResultRow>::const_iterator;
  using iterator = const_iterator;

  ResultList() = default;
  ResultList(std::initializer_list<ResultRow> rows) : m_rows(rows) {}
  ResultList(std::size_t count, const ResultRow &row) : m_rows(count, row) {}

  const_iterator begin() const { return m_rows.begin(); }
  const_iterator end() const { return m_rows.end(); }
  std::size_t size() const { return m_rows.size(); }
  bool empty() const { return m_rows.empty(); }
  const ResultRow &operator[](std::size_t i) const { return m_rows[i]; }
  const ResultRow &front() const { return m_rows.front(); }
  const ResultRow &back() const { return m_rows.back(); }

  void push_back(const ResultRow &row) { m_rows.push_back(row); }
  // A row with what the check knew of it.
  void push_back(ResultRow row, const FindingDetail &detail) {
    Texts &store = Store();
    StoredDetail &stored = store.details.emplace_back();
    stored.value = detail.value.data();
    stored.expected = detail.expected.data();
    stored.value_size = static_cast<std::uint32_t>(detail.value.size());
    stored.value_start = static_cast<std::uint32_t>(detail.value_start);
    stored.expected_size = static_cast<std::uint32_t>(detail.expected.size());
    if (detail.related.size() == 1 && !detail.expected_amount) {
      stored.related = detail.related.front();
    } else if (detail.expected_amount || !detail.related.empty()) {
      store.rare.push_back({detail.expected_amount, store.KeepRelated(detail.related)});
      stored.rare = static_cast<std::uint32_t>(store.rare.size());
    }
    row.detail = static_cast<std::uint32_t>(store.details.size());
    m_rows.push_back(row);
  }
  void clear() { m_rows.clear(); }

  // What the check knew of a row of this list beside its message; none when nothing.
  std::optional<FindingDetail> Detail(const ResultRow &row) const {
    if (row.detail == 0 || !m_texts) {
      return std::nullopt;
    }
    const StoredDetail &stored = m_texts->details[row.detail - 1];
    FindingDetail detail;
    detail.value = {stored.value, stored.value_size};
    detail.value_start = stored.value_start;
    detail.expected = {stored.expected, stored.expected_size};
    if (stored.related != 0) {
      detail.related = {&stored.related, 1};
    } else if (stored.rare != 0) {
      const RareDetail &rare = m_texts->rare[stored.rare - 1];
      detail.expected_amount = rare.expected_amount;
      detail.related = rare.related;
    }
    return detail;
  }

  // A text that is neither fixed nor in the reference data (an amount worked out, a length),
  // kept with the list; the view returned lives as long as the list or a copy of it.
  std::string_view Keep(std::string text) { return Store().texts.emplace_back(std::move(text)); }
  // Keeps `owner`, which the rows' texts point into, alive as long as the list or a copy.
  void KeepAlive(std::shared_ptr<const void> owner) { Store().owners.push_back(std::move(owner)); }

  friend bool operator==(const ResultList &a, const ResultList &b) {
    if (a.m_rows != b.m_rows) {
      return false;
    }
    for (std::size_t i = 0; i < a.m_rows.size(); ++i) {
      if (a.Detail(a.m_rows[i]) != b.Detail(b.m_rows[i])) {
        return false;
      }
    }
    return true;
  }

private:
  // A row's detail as the list keeps it, 40 bytes: a list of 600,000 findings keeps one for
  // each. Most rows that name another record name one, kept here; what few rows carry
  // beyond that (an amount, several other records) is kept apart.
  struct StoredDetail {
    const char *value = nullptr;
    const char *expected = nullptr;
    std::uint32_t value_size = 0;
    std::uint32_t value_start = 0;
    std::uint32_t expected_size = 0;
    int related = 0;        // the one other record; 0 for none, or when they are in `rare`
    std::uint32_t rare = 0; // 0 for none, else its number in `rare`, from 1
  };
  struct RareDetail {
    std::optional<double> expected_amount;
    std::span<const int> related; // into Texts::related
  };
  struct Texts {
    std::deque<std::string> texts; // a deque: a text kept never moves
    std::vector<std::shared_ptr<const void>> owners;
    // Shared by copies, which only ever append.
    std::deque<StoredDetail> details;
    std::deque<RareDetail> rare;
    // The other records of all rows, in blocks filled only up to the capacity they were
    // made with, so a row's records are contiguous and never move.
    std::deque<std::vector<int>> related;

    std::span<const int> KeepRelated(std::span<const int> records) {
      if (records.empty()) {
        return {};
      }
      if (related.empty() ||
          related.back().capacity() - related.back().size() < records.size()) {
        constexpr std::size_t kBlock = 4096;
        related.emplace_back().reserve(std::max(kBlock, records.size()));
      }
      std::vector<int> &block = related.back();
      const std::size_t start = block.size();
      block.insert(block.end(), records.begin(), records.end());
      return {block.data() + start, records.size()};
    }
  };
  Texts &Store() {
    if (!m_texts) {
      m_texts = std::make_shared<Texts>();
    }
    return *m_texts;
  }

  std::vector<ResultRow> m_rows;
  std::shared_ptr<Texts> m_texts;
};

// The logical verification may follow a physical list that holds no row, or only warnings.
inline bool OnlyWarnings(const ResultList &rows) {
  for (const ResultRow &row : rows) {
    if (row.severity() == Severity::Error) {
      return false;
    }
  }
  return true;
}

// What a run reads of the file it checks to name it: the insurer's identity number with its
// check digit, the insurer's name, and the period from the file name.
struct HeaderLabels {
  Cp1252Text rut;
  Cp1252Text name;
  Cp1252Text period;

  bool operator==(const HeaderLabels &) const = default;
};

} // namespace verdalia
