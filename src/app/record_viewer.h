#pragma once

#include <QWidget>

#include <optional>
#include <string>
#include <vector>

#include "common/file_kind.h"
#include "common/result.h"
#include "refdata/reference_data.h"

class QLabel;
class QPlainTextEdit;

namespace verdalia::app {

class ElidedLabel;

// What the check knew of a finding beside its message, as the window shows it (HTML):
// "Leído: «1500O» (posición 12, largo 5) · Esperado: «7» · Otro registro: 5", each other
// record a link "#5".
QString DetailHtml(const FindingDetail &detail);

// Under a result list: the record of the selected row, with a column ruler above it and the
// spans of the fields the row names highlighted, so the operator sees the offending values.
// A logical row may name several fields ("NUMERO_POLIZA + NUMERO_ENDOSO"): each is lit.
// Under the record, what the check read ("Leído: …") and, where it knows it, what it expected
// ("Esperado: …"); the other records a rule names are links that move to them.
class RecordViewer : public QWidget {
  Q_OBJECT
public:
  explicit RecordViewer(QWidget *parent = nullptr);

  // The lines of the run whose list is shown (element k = record k) and the file's kind (none
  // when no list has been made).
  void SetRecords(std::vector<std::string> lines, std::optional<FileKind> kind);
  // Shows the record of `row` (its record number and field) and what the check knew of it
  // (`detail`, none when nothing), or nothing for no row.
  void ShowRow(const ReferenceData *reference, const ResultRow *row,
               const FindingDetail *detail = nullptr);

  // Shows record `record` with no row of its own (another record a row names).
  void ShowRecord(const ReferenceData *reference, int record);

  // What is shown, for the operator's eyes and for tests.
  QString Caption() const;
  QString RecordText() const;
  QString DetailText() const; // as plain text
  QLabel *Detail() const { return m_detail; }

  // The highlighted characters of the record line, 0-based [first, last), in the order the
  // row names the fields.
  const std::vector<std::pair<int, int>> &Highlights() const { return m_highlights; }

signals:
  // The operator chose another record the row names.
  void recordChosen(int record);

private:
  std::vector<std::string> m_lines;
  std::optional<FileKind> m_kind;
  ElidedLabel *m_caption;
  QPlainTextEdit *m_text;
  QLabel *m_detail;
  std::vector<std::pair<int, int>> m_highlights;
};

} // namespace verdalia::app
