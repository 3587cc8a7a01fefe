#pragma once

#include <QString>

#include <cstdint>
#include <vector>

#include "common/result.h"
#include "reports/summary.h"

namespace verdalia::app {

// One result list as the window shows it: its rows, each distinct field and message once
// (decoded for display) with each row's place among them and its group. Made once when a
// run ends and shared, unchanged, by the grid, the groups, the record viewer and the
// preview, so a list of hundreds of thousands of rows is never decoded or copied row by row.
class ListContents {
public:
  ListContents() = default;
  explicit ListContents(ResultList rows);

  const ResultList &Rows() const { return m_rows; }
  const ListIndex &Index() const { return m_index; }
  const ListSummary &Summary() const { return m_index.summary; }
  std::size_t size() const { return m_rows.size(); }

  int Record(std::size_t row) const { return m_rows[row].record; }
  std::uint32_t FieldId(std::size_t row) const { return m_index.field_of_row[row]; }
  std::uint32_t MessageId(std::size_t row) const { return m_index.message_of_row[row]; }
  std::uint32_t Group(std::size_t row) const { return m_index.group_of_row[row]; }
  const QString &Field(std::size_t row) const { return m_fields[FieldId(row)]; }
  const QString &Message(std::size_t row) const { return m_messages[MessageId(row)]; }
  bool Warning(std::size_t row) const { return m_warning[MessageId(row)] != 0; }

  // The distinct texts, by id.
  const std::vector<QString> &Fields() const { return m_fields; }
  const std::vector<QString> &Messages() const { return m_messages; }

private:
  ResultList m_rows;
  ListIndex m_index;
  std::vector<QString> m_fields;
  std::vector<QString> m_messages;
  std::vector<char> m_warning; // by message
};

} // namespace verdalia::app
