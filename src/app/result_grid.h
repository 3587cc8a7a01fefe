#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QTableView>

#include <array>
#include <optional>
#include <vector>

#include "common/result.h"

namespace verdalia::app {

// The rows of one result list, decoded for display: "Nro. Registro", "Campo",
// "Descripción Error/Advertencia". Read-only; the list is replaced whole after a run.
class ResultListModel : public QAbstractTableModel {
  Q_OBJECT
public:
  using QAbstractTableModel::QAbstractTableModel;

  void SetRows(const ResultList &rows);

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;

  const std::array<QString, 3> &Cells(int row) const {
    return m_rows[static_cast<std::size_t>(row)];
  }

private:
  std::vector<std::array<QString, 3>> m_rows;
};

// The rows the grid shows: those of one group (a field and a message) when one is chosen,
// and of those the rows holding the filter text in any cell, case aside.
class ResultFilter : public QSortFilterProxyModel {
  Q_OBJECT
public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

  // The group's field and message (decoded), or none for every row.
  void SetGroup(std::optional<std::pair<QString, QString>> group);
  void SetText(const QString &text);

protected:
  bool filterAcceptsRow(int source_row, const QModelIndex &source_parent) const override;

private:
  std::optional<std::pair<QString, QString>> m_group;
  QString m_text;
};

// The grid of a result list. Its three columns keep the widths 6 : 20.5 : 50.5 of the grid
// until the operator sets a width of their own, which then stays when the window is resized;
// a double click on a column's edge brings the proportions back. The full message of a row shows as
// its tooltip; Ctrl+C copies the selected rows as tab-separated text.
class ResultGrid : public QTableView {
  Q_OBJECT
public:
  explicit ResultGrid(QWidget *parent = nullptr);

  void SetRows(const ResultList &rows);
  ResultListModel &Model() { return m_model; }
  ResultFilter &Filter() { return m_filter; }
  // The list's rows that are selected, in list order.
  std::vector<int> SelectedRows() const;
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
  ResultFilter m_filter;
  bool m_user_widths = false;   // the operator has set a column's width
  bool m_proportioning = false; // the grid is setting the widths itself
};

} // namespace verdalia::app
