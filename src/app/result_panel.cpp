#include "app/result_panel.h"

#include <QCheckBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/elided_label.h"
#include "app/qt_text.h"
#include "app/record_viewer.h"
#include "app/result_grid.h"

namespace verdalia::app {
namespace {

constexpr int kGroupRole = Qt::UserRole;      // the group's index in the summary; -1: every row
constexpr int kNumberRole = Qt::UserRole + 1; // a count or a record, for ordering

QString Counted(long long count, const QString &one, const QString &many) {
  return CountText(count) + QLatin1Char(' ') + (count == 1 ? one : many);
}

// A line of the groups. "(todas las filas)" stays first whatever the order; counts and
// records order as numbers; ties keep the order of the list.
class GroupItem : public QTreeWidgetItem {
public:
  GroupItem(QTreeWidget *tree, const QStringList &texts, long long group)
      : QTreeWidgetItem(tree, texts) {
    setData(0, kGroupRole, group);
  }

  bool operator<(const QTreeWidgetItem &other) const override {
    const QTreeWidget *tree = treeWidget();
    const int column = tree != nullptr ? tree->sortColumn() : 0;
    const bool ascending =
        tree == nullptr || tree->header()->sortIndicatorOrder() == Qt::AscendingOrder;
    const long long mine = data(0, kGroupRole).toLongLong();
    const long long theirs = other.data(0, kGroupRole).toLongLong();
    if ((mine < 0) != (theirs < 0)) {
      return (mine < 0) == ascending;
    }
    if (column == 2 || column == 3) {
      const long long a = data(column, kNumberRole).toLongLong();
      const long long b = other.data(column, kNumberRole).toLongLong();
      if (a != b) {
        return a < b;
      }
    } else if (column >= 0) {
      const int order = QString::compare(text(column), other.text(column), Qt::CaseInsensitive);
      if (order != 0) {
        return order < 0;
      }
    }
    return ascending ? mine < theirs : mine > theirs;
  }
};

} // namespace

QString CountText(long long count) {
  // Thousands apart with a point, as the insurers write them ("36.722").
  const QString digits = QString::number(count < 0 ? -count : count);
  QString text;
  for (qsizetype k = 0; k < digits.size(); ++k) {
    if (k > 0 && (digits.size() - k) % 3 == 0) {
      text += QLatin1Char('.');
    }
    text += digits[k];
  }
  return count < 0 ? QLatin1Char('-') + text : text;
}

ResultPanel::ResultPanel(int index, QWidget *parent)
    : QWidget(parent), m_file(new ElidedLabel(Qt::ElideMiddle, this)), m_counts(new QLabel(this)),
      m_shown(new QLabel(this)),
      m_errors_only(new QCheckBox(QStringLiteral("Solo &errores"), this)),
      m_groups(new QTreeWidget(this)), m_filter(new QLineEdit(this)), m_grid(new ResultGrid(this)),
      m_viewer(new RecordViewer(this)) {
  const QString suffix = QStringLiteral("(%1)").arg(index);
  m_file->setObjectName(QStringLiteral("lblArchivo") + suffix);
  m_file->SetWidths(12, 0);
  m_counts->setObjectName(QStringLiteral("lblTotales") + suffix);
  m_shown->setObjectName(QStringLiteral("lblFilas") + suffix);
  m_errors_only->setObjectName(QStringLiteral("chkSoloErrores") + suffix);
  m_errors_only->setToolTip(QStringLiteral("Oculta las advertencias"));
  m_groups->setObjectName(QStringLiteral("lstGrupos") + suffix);
  m_groups->setHeaderLabels({QStringLiteral("Campo"), QStringLiteral("Descripción"),
                             QStringLiteral("Filas"), QStringLiteral("Primer registro")});
  // A first click on a count orders the groups from the largest.
  m_groups->headerItem()->setData(2, Qt::InitialSortOrderRole, Qt::DescendingOrder);
  m_groups->setRootIsDecorated(false);
  m_groups->setUniformRowHeights(true);
  m_groups->header()->setStretchLastSection(false);
  m_groups->header()->setSectionResizeMode(1, QHeaderView::Stretch);
  m_groups->header()->setSortIndicator(-1, Qt::AscendingOrder);
  m_groups->header()->setSortIndicatorClearable(true);
  m_groups->setSortingEnabled(true);
  m_groups->setToolTip(QStringLiteral("Un clic muestra solo las filas del grupo; un clic en un "
                                      "encabezado ordena los grupos (en «Filas», por cantidad)"));
  m_filter->setObjectName(QStringLiteral("txtFiltro") + suffix);
  m_filter->setPlaceholderText(QStringLiteral("Filtrar filas por texto (Ctrl+F)"));
  m_filter->setClearButtonEnabled(true);
  m_filter->setMinimumWidth(fontMetrics().averageCharWidth() * 16);
  m_grid->setObjectName(index == 0 ? QStringLiteral("grdResultadoFisico")
                                   : QStringLiteral("grdResultadoLogico"));
  m_viewer->setObjectName(QStringLiteral("visorRegistro") + suffix);

  auto *top = new QHBoxLayout;
  top->addWidget(m_counts);
  top->addSpacing(12);
  top->addWidget(m_shown);
  top->addStretch(1);
  top->addWidget(m_errors_only);
  top->addWidget(m_filter, 1);
  auto *split = new QSplitter(Qt::Vertical, this);
  split->addWidget(m_groups);
  split->addWidget(m_grid);
  // The height is shared a third to the groups, the rest to the grid, however low the
  // window; each keeps a few lines.
  const int line = fontMetrics().height() + 4;
  m_groups->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
  m_groups->setMinimumHeight(line * 3);
  m_grid->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
  m_grid->setMinimumHeight(line * 4);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 2);
  split->setChildrenCollapsible(false);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_file);
  layout->addLayout(top);
  layout->addWidget(split, 1);
  layout->addWidget(m_viewer);

  connect(m_grid, &ResultGrid::currentRowChanged, this, &ResultPanel::ShowRecordOf);
  connect(m_viewer, &RecordViewer::recordChosen, this, &ResultPanel::GoToRecord);
  connect(m_groups, &QTreeWidget::itemClicked, this, &ResultPanel::ChooseGroup);
  connect(m_groups, &QTreeWidget::currentItemChanged, this, &ResultPanel::ChooseGroup);
  connect(m_filter, &QLineEdit::textChanged, this,
          [this](const QString &text) { m_grid->Model().SetText(text); });
  connect(m_errors_only, &QCheckBox::toggled, this,
          [this](bool on) { m_grid->Model().SetErrorsOnly(on); });
  connect(&m_grid->Model(), &ResultListModel::shownChanged, this, &ResultPanel::ShowCounts);
  ShowList(std::make_shared<ListContents>(), {}, std::nullopt, QString(), nullptr);
}

void ResultPanel::ShowList(std::shared_ptr<const ListContents> list, std::vector<std::string> lines,
                           std::optional<FileKind> kind, const QString &path,
                           const ReferenceData *reference) {
  m_reference = reference;
  m_list = std::move(list);
  m_file->SetText(path.isEmpty() ? QStringLiteral("Ningún archivo verificado")
                                 : QStringLiteral("Archivo: ") + QDir::toNativeSeparators(path));
  const ListSummary &summary = m_list->Summary();
  m_counts->setText(
      Counted(summary.errors, QStringLiteral("error"), QStringLiteral("errores")) +
      QStringLiteral(", ") +
      Counted(summary.warnings, QStringLiteral("advertencia"), QStringLiteral("advertencias")));

  m_groups->setSortingEnabled(false);
  m_groups->clear();
  auto *all = new GroupItem(m_groups,
                            {QStringLiteral("(todas las filas)"), QString(),
                             CountText(static_cast<long long>(m_list->size()))},
                            -1);
  all->setTextAlignment(2, Qt::AlignRight);
  for (std::size_t g = 0; g < summary.groups.size(); ++g) {
    const FindingGroup &group = summary.groups[g];
    auto *item = new GroupItem(m_groups,
                               {FromCp1252(group.field), FromCp1252(group.message),
                                CountText(group.rows), QString::number(group.first_record)},
                               static_cast<long long>(g));
    item->setData(2, kNumberRole, group.rows);
    item->setData(3, kNumberRole, group.first_record);
    item->setTextAlignment(2, Qt::AlignRight);
    item->setTextAlignment(3, Qt::AlignRight);
    item->setToolTip(1, item->text(1));
    if (group.severity == Severity::Warning) {
      for (int column = 0; column < 4; ++column) {
        item->setForeground(column, WarningColour());
      }
    }
  }
  m_groups->setSortingEnabled(true);
  m_groups->resizeColumnToContents(0);

  const QSignalBlocker quiet_filter(m_filter);
  m_filter->clear();
  m_viewer->SetRecords(std::move(lines), kind);
  m_grid->SetList(m_list);
  m_grid->Model().SetErrorsOnly(m_errors_only->isChecked());
}

void ResultPanel::ChooseGroup() {
  QTreeWidgetItem *item = m_groups->currentItem();
  const long long group = item != nullptr ? item->data(0, kGroupRole).toLongLong() : -1;
  m_grid->Model().SetGroup(
      group < 0 ? std::nullopt : std::optional<std::uint32_t>(static_cast<std::uint32_t>(group)));
}

void ResultPanel::ShowCounts() {
  const int shown = m_grid->Model().rowCount();
  const auto total = static_cast<long long>(m_list ? m_list->size() : 0);
  m_shown->setText(shown == total
                       ? QString()
                       : CountText(shown) + QStringLiteral(" de ") +
                             Counted(total, QStringLiteral("fila"), QStringLiteral("filas")));
}

void ResultPanel::GoToRecord(int record) {
  if (!m_list) {
    return;
  }
  const ResultList &rows = m_list->Rows();
  for (std::size_t row = 0; row < rows.size(); ++row) {
    if (rows[row].record != record) {
      continue;
    }
    // A row the group, the filter or "errors only" hides is shown again.
    if (!m_grid->SelectListRow(row)) {
      m_groups->setCurrentItem(m_groups->topLevelItem(0));
      m_filter->clear();
      m_errors_only->setChecked(false);
      m_grid->SelectListRow(row);
    }
    return;
  }
  // A record no row names (the later one of a repeat, a partner) is shown on its own.
  m_grid->clearSelection();
  m_viewer->ShowRecord(m_reference, record);
}

void ResultPanel::ShowRecordOf(int row) {
  if (row < 0 || !m_list || static_cast<std::size_t>(row) >= m_list->size()) {
    m_viewer->ShowRow(nullptr, nullptr);
    return;
  }
  const ResultRow &shown = m_list->Rows()[static_cast<std::size_t>(row)];
  const std::optional<FindingDetail> detail = m_list->Rows().Detail(shown);
  m_viewer->ShowRow(m_reference, &shown, detail ? &*detail : nullptr);
}

} // namespace verdalia::app
