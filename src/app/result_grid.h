#pragma once

#include <QAbstractTableModel>
#include <QTableView>

#include <array>
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

  // The cells of the given rows, a tab between cells and a line end after each row.
  QString TabSeparatedText(const std::vector<int> &rows) const;

private:
  std::vector<std::array<QString, 3>> m_rows;
};

// The grid of a result list. Its three columns keep the widths 6 : 20.5 : 50.5 of the
// available width; the full message of a row shows as its tooltip; Ctrl+C copies the
// selected rows as tab-separated text.
class ResultGrid : public QTableView {
  Q_OBJECT
public:
  explicit ResultGrid(QWidget *parent = nullptr);

  void SetRows(const ResultList &rows);
  ResultListModel &Model() { return m_model; }
  // The selected rows in list order.
  std::vector<int> SelectedRows() const;
  void CopySelection() const;

signals:
  // The row under the cursor changed; -1 when there is none.
  void currentRowChanged(int row);

protected:
  void keyPressEvent(QKeyEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;

private:
  void ApplyColumnProportions();

  ResultListModel m_model;
};

} // namespace verdalia::app
