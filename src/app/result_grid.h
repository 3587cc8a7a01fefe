#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QTableView>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "app/list_contents.h"

namespace verdalia::app {

// The colour of a warning's text, in the grid and in the groups: warnings read apart from
// errors at a glance.
QColor WarningColour();

// The rows of one result list as the grid shows them ("Nro. Registro", "Campo",
// "Descripción Error/Advertencia"): every row in list order, or only those of one group, those
// that hold a text in any cell (case aside), the errors alone, sorted by a column. Each change
// is one pass over the rows' ids, with the text matched once per distinct field and message,
// so it stays quick with hundreds of thousands of rows; cells are decoded only when drawn.
// Read-only.
class ResultListModel : public QAbstractTableModel {
  Q_OBJECT
public:
  using QAbstractTableModel::QAbstractTableModel;

  // A new list: every row shown, in list order.
  void SetList(std::shared_ptr<const ListContents> list);
  const ListContents &List() const { return *m_list; }

  // The group (its index in the list's summary), or none for every row.
  void SetGroup(std::optional<std::uint32_t> group);
  void SetText(const QString &text);
  void SetErrorsOnly(bool errors_only);
  // The list's row shown at `row`.
  std::size_t ListRow(int row) const { return m_shown[static_cast<std::size_t>(row)]; }
  // Where the list's row `list_row` is shown; -1 when it is not.
  int ShownRow(std::size_t list_row) const;

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;
  // By record, field or message, rows of one key in list order; column -1: list order.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
  // The rows shown changed: another group, text, choice or order.
  void shownChanged();

private:
  void Show();
  const std::vector<std::uint32_t> &RankOf(int column);

  std::shared_ptr<const ListContents> m_list = std::make_shared<ListContents>();
  std::optional<std::uint32_t> m_group;
  QString m_text;
  bool m_errors_only = false;
  int m_sort_column = -1;
  Qt::SortOrder m_sort_order = Qt::AscendingOrder;
  std::vector<std::uint32_t> m_order; // the list's rows in the order of the sort; empty: list order
  std::vector<std::uint32_t> m_shown; // the rows shown, in the order shown
  std::vector<std::uint32_t> m_field_rank;   // by field id, made when first sorted by field
  std::vector<std::uint32_t> m_message_rank; // by message id, likewise
};

// The grid of a result list. Its three columns keep the widths 6 : 20.5 : 50.5 of the grid
// until the operator sets a width of their own, which then stays when the window is resized;
// a double click on a column's edge brings the proportions back. A click on a heading sorts
// by that column (a third click brings the list's order back). The full message of a row
// shows as its tooltip; Ctrl+C copies the selected rows as tab-separated text.
class ResultGrid : public QTableView {
  Q_OBJECT
public:
  explicit ResultGrid(QWidget *parent = nullptr);

  void SetList(std::shared_ptr<const ListContents> list);
  ResultListModel &Model() { return m_model; }
  // The list's rows that are selected, in list order.
  std::vector<std::size_t> SelectedRows() const;
  // Makes the list's row `list_row` the current, selected and visible one; false when it is
  // not shown.
  bool SelectListRow(std::size_t list_row);
  void CopySelection() const;
  void ApplyColumnProportions();

signals:
  // The list's row under the cursor changed; -1 when there is none.
  void currentRowChanged(int row);

protected:
  void keyPressEvent(QKeyEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;

private:
  ResultListModel m_model;
  bool m_user_widths = false;   // the operator has set a column's width
  bool m_proportioning = false; // the grid is setting the widths itself
};

} // namespace verdalia::app
