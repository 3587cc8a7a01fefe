#pragma once

#include <deque>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace verdalia {

// A message that begins with "Advertencia" is a warning; every other finding is an error.
enum class Severity { Error, Warning };

// One finding: record number, field name (empty for the whole record or file) and message,
// texts in Windows-1252. The texts are views: into the program's fixed messages, into the
// definitions of the reference data, or into texts their list keeps (ResultList::Keep), so
// a list of thousands of rows holds no copy of a name or a message.
struct ResultRow {
  int record = 0;
  std::string_view field;
  std::string_view message;

  Severity severity() const {
    return message.starts_with("Advertencia") ? Severity::Warning : Severity::Error;
  }
  bool operator==(const ResultRow &) const = default;
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
  void clear() { m_rows.clear(); }

  // A text that is neither fixed nor in the reference data (an amount worked out, a length),
  // kept with the list; the view returned lives as long as the list or a copy of it.
  std::string_view Keep(std::string text) { return Store().texts.emplace_back(std::move(text)); }
  // Keeps `owner`, which the rows' texts point into, alive as long as the list or a copy.
  void KeepAlive(std::shared_ptr<const void> owner) { Store().owners.push_back(std::move(owner)); }

  friend bool operator==(const ResultList &a, const ResultList &b) { return a.m_rows == b.m_rows; }

private:
  struct Texts {
    std::deque<std::string> texts; // a deque: a text kept never moves
    std::vector<std::shared_ptr<const void>> owners;
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
// check digit, the insurer's name, and the period from the file name. Windows-1252.
struct HeaderLabels {
  std::string rut;
  std::string name;
  std::string period;

  bool operator==(const HeaderLabels &) const = default;
};

} // namespace verdalia
