#pragma once

#include <QWidget>

#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "refdata/reference_data.h"

class QLabel;
class QPlainTextEdit;

namespace verdalia::app {

// Under the physical list: the record of the selected row, with a column ruler above it and
// the reported field's span highlighted, so the operator sees the offending value.
class RecordViewer : public QWidget {
  Q_OBJECT
public:
  explicit RecordViewer(QWidget *parent = nullptr);

  // The lines of the run whose list is shown (element k = record k) and the file's kind.
  void SetRecords(std::vector<std::string> lines, int kind);
  // Shows the record of `row` (its record number and field), or nothing for none.
  void ShowRow(const ReferenceData *reference, const ResultRow *row);

  // What is shown, for the operator's eyes and for tests.
  QString Caption() const;
  QString RecordText() const;
  // The highlighted characters of the record line, 0-based [first, last); none when no
  // span is highlighted.
  std::optional<std::pair<int, int>> Highlight() const;

private:
  std::vector<std::string> m_lines;
  int m_kind = 0;
  QLabel *m_caption;
  QPlainTextEdit *m_text;
  std::optional<std::pair<int, int>> m_highlight;
};

} // namespace verdalia::app
