#include "app/result_grid.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>

#include <algorithm>

#include "app/qt_text.h"

namespace verdalia::app {
namespace {

// Column widths of the lists, in character widths.
constexpr std::array<double, 3> kColumnUnits = {6.0, 20.5, 50.5};

} // namespace

void ResultListModel::SetRows(const ResultList &rows) {
  beginResetModel();
  m_rows.clear();
  m_rows.reserve(rows.size());
  for (const ResultRow &row : rows) {
    m_rows.push_back({QString::number(row.record), FromCp1252(row.field), FromCp1252(row.message)});
  }
  endResetModel();
}

int ResultListModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ResultListModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : 3;
}

QVariant ResultListModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= 3) {
    return {};
  }
  const QString &text =
      m_rows[static_cast<std::size_t>(index.row())][static_cast<std::size_t>(index.column())];
  switch (role) {
  case Qt::DisplayRole:
  case Qt::ToolTipRole:
    return text;
  default:
    return {};
  }
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  switch (section) {
  case 0:
    return QStringLiteral("Nro. Registro");
  case 1:
    return QStringLiteral("Campo");
  case 2:
    return QStringLiteral("Descripción Error/Advertencia");
  default:
    return {};
  }
}

Qt::ItemFlags ResultListModel::flags(const QModelIndex &index) const {
  if (!index.isValid()) {
    return Qt::NoItemFlags;
  }
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QString ResultListModel::TabSeparatedText(const std::vector<int> &rows) const {
  QString text;
  for (const int row : rows) {
    if (row < 0 || row >= rowCount()) {
      continue;
    }
    const auto &cells = m_rows[static_cast<std::size_t>(row)];
    text += cells[0] + '\t' + cells[1] + '\t' + cells[2] + '\n';
  }
  return text;
}

ResultGrid::ResultGrid(QWidget *parent) : QTableView(parent), m_model(this) {
  setModel(&m_model);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  setTextElideMode(Qt::ElideRight);
  setAlternatingRowColors(true);
  verticalHeader()->setVisible(false);
  // Rows of one height keep a list of tens of thousands of findings quick to scroll.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setStretchLastSection(true);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  auto *copy = new QAction(QStringLiteral("&Copiar"), this);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  connect(copy, &QAction::triggered, this, &ResultGrid::CopySelection);
  addAction(copy);
  setContextMenuPolicy(Qt::ActionsContextMenu);

  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex &current) {
            emit currentRowChanged(current.isValid() ? current.row() : -1);
          });
  connect(&m_model, &QAbstractItemModel::modelReset, this, [this] { emit currentRowChanged(-1); });
  ApplyColumnProportions();
}

void ResultGrid::SetRows(const ResultList &rows) {
  m_model.SetRows(rows);
}

std::vector<int> ResultGrid::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex &index : selectionModel()->selectedRows()) {
    rows.push_back(index.row());
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

void ResultGrid::CopySelection() const {
  const std::vector<int> rows = SelectedRows();
  if (rows.empty()) {
    return;
  }
  QApplication::clipboard()->setText(m_model.TabSeparatedText(rows));
}

void ResultGrid::keyPressEvent(QKeyEvent *event) {
  if (event->matches(QKeySequence::Copy)) {
    CopySelection();
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

void ResultGrid::resizeEvent(QResizeEvent *event) {
  QTableView::resizeEvent(event);
  ApplyColumnProportions();
}

void ResultGrid::ApplyColumnProportions() {
  const double total = kColumnUnits[0] + kColumnUnits[1] + kColumnUnits[2];
  const int width = viewport()->width();
  if (width <= 0) {
    return;
  }
  // The first heading stays readable however narrow the window.
  const int first_minimum = horizontalHeader()->fontMetrics().horizontalAdvance(
                                m_model.headerData(0, Qt::Horizontal).toString()) +
                            16;
  int used = 0;
  for (int column = 0; column < 2; ++column) {
    int size =
        static_cast<int>(width * kColumnUnits[static_cast<std::size_t>(column)] / total + 0.5);
    if (column == 0) {
      size = std::max(size, first_minimum);
    }
    horizontalHeader()->resizeSection(column, size);
    used += size;
  }
  horizontalHeader()->resizeSection(2, std::max(0, width - used));
}

} // namespace verdalia::app
