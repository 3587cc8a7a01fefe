#pragma once

#include <QWidget>

#include <string>
#include <vector>

#include "common/result.h"
#include "refdata/reference_data.h"

class QLabel;
class QLineEdit;
class QTreeWidget;

namespace verdalia::app {

class RecordViewer;
class ResultGrid;

// What a result tab shows below its captions: the file its list came from, the counts of
// errors and warnings, the list's rows grouped by field and message (a click on a group
// shows only its rows), a text filter, the grid, and the record of the selected row.
class ResultPanel : public QWidget {
  Q_OBJECT
public:
  // `index` 0 for the physical list, 1 for the logical one: it ends the object names.
  explicit ResultPanel(int index, QWidget *parent = nullptr);

  // Shows a list: its rows, the lines of the file they came from (element k = record k), the
  // file's kind and path (UTF-8; empty when no list has been made).
  void ShowList(const ResultList &rows, std::vector<std::string> lines, int kind,
                const QString &path, const ReferenceData *reference);

  ResultGrid *Grid() const { return m_grid; }
  RecordViewer *Viewer() const { return m_viewer; }
  QTreeWidget *Groups() const { return m_groups; }
  QLineEdit *FilterText() const { return m_filter; }

private:
  void ShowRecordOf(int row);
  void ChooseGroup();

  const ReferenceData *m_reference = nullptr;
  ResultList m_rows;
  QLabel *m_file;
  QLabel *m_counts;
  QTreeWidget *m_groups;
  QLineEdit *m_filter;
  ResultGrid *m_grid;
  RecordViewer *m_viewer;
};

} // namespace verdalia::app
