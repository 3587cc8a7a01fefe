#pragma once

#include <QWidget>

#include <string>
#include <vector>

#include "common/result.h"
#include "refdata/reference_data.h"

class QPlainTextEdit;

namespace verdalia::app {

class ElidedLabel;

// Under a result list: the record of the selected row, with a column ruler above it and the
// spans of the fields the row names highlighted, so the operator sees the offending values.
// A logical row may name several fields ("NUMERO_POLIZA + NUMERO_ENDOSO"): each is lit.
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
  // The highlighted characters of the record line, 0-based [first, last), in the order the
  // row names the fields.
  const std::vector<std::pair<int, int>> &Highlights() const { return m_highlights; }

private:
  std::vector<std::string> m_lines;
  int m_kind = 0;
  ElidedLabel *m_caption;
  QPlainTextEdit *m_text;
  std::vector<std::pair<int, int>> m_highlights;
};

} // namespace verdalia::app
