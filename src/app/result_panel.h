#pragma once

#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/list_contents.h"
#include "common/file_kind.h"
#include "refdata/reference_data.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QTreeWidget;

namespace verdalia::app {

class ElidedLabel;
class RecordViewer;
class ResultGrid;

// What a result tab shows below its captions: the file its list came from, the counts of
// errors and warnings and of the rows shown, the list's rows grouped by field and message
// (numbers set aside; a click on a group shows only its rows; a click on a heading orders
// the groups, by count among others), a text filter, the choice to show errors only, the
// grid, and the record of the selected row.
class ResultPanel : public QWidget {
  Q_OBJECT
public:
  // `index` 0 for the physical list, 1 for the logical one: it ends the object names.
  explicit ResultPanel(int index, QWidget *parent = nullptr);

  // Shows a list: its rows, the lines of the file they came from (element k = record k), the
  // file's kind and path (UTF-8; empty when no list has been made).
  void ShowList(std::shared_ptr<const ListContents> list, std::vector<std::string> lines,
                std::optional<FileKind> kind, const QString &path, const ReferenceData *reference);

  ResultGrid *Grid() const { return m_grid; }
  RecordViewer *Viewer() const { return m_viewer; }
  QTreeWidget *Groups() const { return m_groups; }
  QLineEdit *FilterText() const { return m_filter; }

  // Selects the first row of the list that names `record`, showing every row again when the
  // group, the filter or "errors only" hides it; shows the record alone when no row names it.
  void GoToRecord(int record);

private:
  void ShowRecordOf(int row);
  void ChooseGroup();
  void ShowCounts();

  const ReferenceData *m_reference = nullptr;
  std::shared_ptr<const ListContents> m_list;
  ElidedLabel *m_file;
  QLabel *m_counts;
  QLabel *m_shown;
  QCheckBox *m_errors_only;
  QTreeWidget *m_groups;
  QLineEdit *m_filter;
  ResultGrid *m_grid;
  RecordViewer *m_viewer;
};

// A count as the window writes it: "36.722".
QString CountText(long long count);

} // namespace verdalia::app
