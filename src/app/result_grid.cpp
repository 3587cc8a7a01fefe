#include "app/result_grid.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>

#include <algorithm>
#include <charconv>
#include <numeric>
#include <string_view>

#include "app/record_viewer.h"

namespace verdalia::app {
namespace {

// Column widths of the lists, in character widths.
constexpr std::array<double, 3> kColumnUnits = {6.0, 20.5, 50.5};

// The rows [0, count) ordered by a key of `buckets` values, rows of one key in list order:
// one counting pass, whatever the size of the list.
template <class Key>
std::vector<std::uint32_t> SortedByKey(std::size_t count, std::size_t buckets, Key key,
                                       bool descending) {
  std::vector<std::uint32_t> starts(buckets + 1, 0);
  for (std::size_t row = 0; row < count; ++row) {
    const std::size_t bucket = descending ? buckets - 1 - key(row) : key(row);
    ++starts[bucket + 1];
  }
  std::partial_sum(starts.begin(), starts.end(), starts.begin());
  std::vector<std::uint32_t> order(count);
  for (std::size_t row = 0; row < count; ++row) {
    const std::size_t bucket = descending ? buckets - 1 - key(row) : key(row);
    order[starts[bucket]++] = static_cast<std::uint32_t>(row);
  }
  return order;
}

// Each text's place when the texts are sorted, case aside.
std::vector<std::uint32_t> Ranks(const std::vector<QString> &texts) {
  std::vector<std::uint32_t> ids(texts.size());
  std::iota(ids.begin(), ids.end(), 0U);
  std::stable_sort(ids.begin(), ids.end(), [&](std::uint32_t a, std::uint32_t b) {
    return QString::compare(texts[a], texts[b], Qt::CaseInsensitive) < 0;
  });
  std::vector<std::uint32_t> rank(texts.size());
  for (std::size_t k = 0; k < ids.size(); ++k) {
    rank[ids[k]] = static_cast<std::uint32_t>(k);
  }
  return rank;
}

// Which of the distinct texts hold `text`, case aside.
std::vector<char> Matches(const std::vector<QString> &texts, const QString &text) {
  std::vector<char> matches(texts.size());
  for (std::size_t k = 0; k < texts.size(); ++k) {
    matches[k] = texts[k].contains(text, Qt::CaseInsensitive) ? 1 : 0;
  }
  return matches;
}

} // namespace

QColor WarningColour() {
  return {156, 87, 0};
}

void ResultListModel::SetList(std::shared_ptr<const ListContents> list) {
  m_list = list ? std::move(list) : std::make_shared<ListContents>();
  m_group.reset();
  m_text.clear();
  m_order.clear();
  m_field_rank.clear();
  m_message_rank.clear();
  if (m_sort_column >= 0) {
    sort(m_sort_column, m_sort_order); // the order chosen stays for the next list
  } else {
    Show();
  }
}

void ResultListModel::SetGroup(std::optional<std::uint32_t> group) {
  if (group != m_group) {
    m_group = group;
    Show();
  }
}

void ResultListModel::SetText(const QString &text) {
  if (text != m_text) {
    m_text = text;
    Show();
  }
}

void ResultListModel::SetErrorsOnly(bool errors_only) {
  if (errors_only != m_errors_only) {
    m_errors_only = errors_only;
    Show();
  }
}

const std::vector<std::uint32_t> &ResultListModel::RankOf(int column) {
  std::vector<std::uint32_t> &rank = column == 1 ? m_field_rank : m_message_rank;
  if (rank.empty()) {
    rank = Ranks(column == 1 ? m_list->Fields() : m_list->Messages());
  }
  return rank;
}

void ResultListModel::sort(int column, Qt::SortOrder order) {
  m_sort_column = column;
  m_sort_order = order;
  const ListContents &list = *m_list;
  const std::size_t count = list.size();
  const bool descending = order == Qt::DescendingOrder;
  m_order.clear();
  if (column == 0 && count > 0) {
    const auto [low, high] = std::minmax_element(
        list.Rows().begin(), list.Rows().end(),
        [](const ResultRow &a, const ResultRow &b) { return a.record < b.record; });
    const auto lowest = static_cast<std::int64_t>(low->record);
    const auto span =
        static_cast<std::size_t>(static_cast<std::int64_t>(high->record) - lowest) + 1;
    if (span <= (std::size_t{1} << 22)) {
      m_order = SortedByKey(
          count, span,
          [&](std::size_t row) {
            return static_cast<std::size_t>(static_cast<std::int64_t>(list.Record(row)) - lowest);
          },
          descending);
    } else {
      m_order.resize(count);
      std::iota(m_order.begin(), m_order.end(), 0U);
      std::stable_sort(m_order.begin(), m_order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return descending ? list.Record(b) < list.Record(a) : list.Record(a) < list.Record(b);
      });
    }
  } else if ((column == 1 || column == 2) && count > 0) {
    const std::vector<std::uint32_t> &rank = RankOf(column);
    m_order = SortedByKey(
        count, rank.size(),
        [&](std::size_t row) {
          return rank[column == 1 ? list.FieldId(row) : list.MessageId(row)];
        },
        descending);
  }
  Show();
}

void ResultListModel::Show() {
  const ListContents &list = *m_list;
  const std::size_t count = list.size();
  const bool by_text = !m_text.isEmpty();
  std::vector<char> field_matches;
  std::vector<char> message_matches;
  bool records_may_match = false;
  std::string digits;
  if (by_text) {
    field_matches = Matches(list.Fields(), m_text);
    message_matches = Matches(list.Messages(), m_text);
    // A record number is written with digits and a sign only.
    records_may_match = std::all_of(m_text.begin(), m_text.end(), [](QChar c) {
      return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-');
    });
    digits = m_text.toStdString();
  }
  const auto shown = [&](std::size_t row) {
    if (m_group && list.Group(row) != *m_group) {
      return false;
    }
    if (m_errors_only && list.Warning(row)) {
      return false;
    }
    if (!by_text || field_matches[list.FieldId(row)] || message_matches[list.MessageId(row)]) {
      return true;
    }
    if (!records_may_match) {
      return false;
    }
    char text[16];
    char *const end = std::to_chars(text, text + sizeof text, list.Record(row)).ptr;
    return std::string_view(text, static_cast<std::size_t>(end - text)).find(digits) !=
           std::string_view::npos;
  };

  beginResetModel();
  m_shown.clear();
  if (!m_group && !m_errors_only && !by_text) {
    if (m_order.empty()) {
      m_shown.resize(count);
      std::iota(m_shown.begin(), m_shown.end(), 0U);
    } else {
      m_shown = m_order;
    }
  } else if (m_order.empty()) {
    for (std::size_t row = 0; row < count; ++row) {
      if (shown(row)) {
        m_shown.push_back(static_cast<std::uint32_t>(row));
      }
    }
  } else {
    for (const std::uint32_t row : m_order) {
      if (shown(row)) {
        m_shown.push_back(row);
      }
    }
  }
  endResetModel();
  emit shownChanged();
}

int ResultListModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_shown.size());
}

int ResultListModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : 3;
}

QVariant ResultListModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= 3) {
    return {};
  }
  const std::size_t row = ListRow(index.row());
  switch (role) {
  case Qt::ToolTipRole:
    if (index.column() == 2) {
      const ResultList &rows = m_list->Rows();
      if (const std::optional<FindingDetail> detail = rows.Detail(rows[row])) {
        return m_list->Message(row).toHtmlEscaped() + QStringLiteral("<br>") + DetailHtml(*detail);
      }
    }
    [[fallthrough]];
  case Qt::DisplayRole:
    switch (index.column()) {
    case 0:
      return QString::number(m_list->Record(row));
    case 1:
      return m_list->Field(row);
    default:
      return m_list->Message(row);
    }
  case Qt::ForegroundRole:
    return m_list->Warning(row) ? QVariant(WarningColour()) : QVariant();
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
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
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
  // Rows of one height keep a list of hundreds of thousands of findings quick to scroll.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setStretchLastSection(true);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // Unsorted until a heading is clicked; a third click on it brings the list's order back.
  horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  horizontalHeader()->setSortIndicatorClearable(true);
  setSortingEnabled(true);

  auto *copy = new QAction(QStringLiteral("&Copiar"), this);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  connect(copy, &QAction::triggered, this, &ResultGrid::CopySelection);
  addAction(copy);
  setContextMenuPolicy(Qt::ActionsContextMenu);

  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex &current) {
            emit currentRowChanged(
                current.isValid() ? static_cast<int>(m_model.ListRow(current.row())) : -1);
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

void ResultGrid::SetList(std::shared_ptr<const ListContents> list) {
  m_model.SetList(std::move(list));
}

std::vector<std::size_t> ResultGrid::SelectedRows() const {
  std::vector<std::size_t> rows;
  for (const QModelIndex &index : selectionModel()->selectedRows()) {
    rows.push_back(m_model.ListRow(index.row()));
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

int ResultListModel::ShownRow(std::size_t list_row) const {
  for (std::size_t row = 0; row < m_shown.size(); ++row) {
    if (m_shown[row] == list_row) {
      return static_cast<int>(row);
    }
  }
  return -1;
}

bool ResultGrid::SelectListRow(std::size_t list_row) {
  const int row = m_model.ShownRow(list_row);
  if (row < 0) {
    return false;
  }
  const QModelIndex index = m_model.index(row, 0);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                               QItemSelectionModel::Rows);
  scrollTo(index);
  return true;
}

void ResultGrid::CopySelection() const {
  QString text;
  const ListContents &list = m_model.List();
  for (const std::size_t row : SelectedRows()) {
    text += QString::number(list.Record(row)) + '\t' + list.Field(row) + '\t' + list.Message(row) +
            '\n';
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
