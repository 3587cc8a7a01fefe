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

void ResultFilter::SetGroup(std::optional<std::pair<QString, QString>> group) {
  m_group = std::move(group);
  invalidateFilter();
}

void ResultFilter::SetText(const QString &text) {
  m_text = text;
  invalidateFilter();
}

bool ResultFilter::filterAcceptsRow(int source_row, const QModelIndex &) const {
  const auto &cells = static_cast<const ResultListModel *>(sourceModel())->Cells(source_row);
  if (m_group && (cells[1] != m_group->first || cells[2] != m_group->second)) {
    return false;
  }
  if (m_text.isEmpty()) {
    return true;
  }
  return std::any_of(cells.begin(), cells.end(), [this](const QString &cell) {
    return cell.contains(m_text, Qt::CaseInsensitive);
  });
}

ResultGrid::ResultGrid(QWidget *parent) : QTableView(parent), m_model(this), m_filter(this) {
  m_filter.setSourceModel(&m_model);
  setModel(&m_filter);
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
            emit currentRowChanged(current.isValid() ? m_filter.mapToSource(current).row() : -1);
          });
  connect(&m_model, &QAbstractItemModel::modelReset, this, [this] { emit currentRowChanged(-1); });
  // The usual gesture on a column's edge: back to the grid's own proportions.
  connect(horizontalHeader(), &QHeaderView::sectionHandleDoubleClicked, this,
          &ResultGrid::ApplyColumnProportions);
  // The last column stretches to the grid's width by itself; the operator sets the others.
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column) {
    m_user_widths = m_user_widths || (!m_proportioning && column < 2);
  });
}

void ResultGrid::SetRows(const ResultList &rows) {
  m_model.SetRows(rows);
}

std::vector<int> ResultGrid::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex &index : selectionModel()->selectedRows()) {
    rows.push_back(m_filter.mapToSource(index).row());
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

void ResultGrid::CopySelection() const {
  QString text;
  for (const int row : SelectedRows()) {
    const auto &cells = m_model.Cells(row);
    text += cells[0] + '\t' + cells[1] + '\t' + cells[2] + '\n';
  }
  if (!text.isEmpty()) {
    QApplication::clipboard()->setText(text);
  }
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
  if (!m_user_widths) {
    ApplyColumnProportions();
  }
}

void ResultGrid::ApplyColumnProportions() {
  m_user_widths = false;
  m_proportioning = true;
  const double total = kColumnUnits[0] + kColumnUnits[1] + kColumnUnits[2];
  const int width = viewport()->width();
  if (width <= 0) {
    m_proportioning = false;
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
  m_proportioning = false;
}

} // namespace verdalia::app
