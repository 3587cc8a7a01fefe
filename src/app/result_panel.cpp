#include "app/result_panel.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/qt_text.h"
#include "app/record_viewer.h"
#include "app/result_grid.h"
#include "reports/summary.h"

namespace verdalia::app {
namespace {

QString Counted(int count, const QString &one, const QString &many) {
  return QLocale().toString(count) + QLatin1Char(' ') + (count == 1 ? one : many);
}

} // namespace

ResultPanel::ResultPanel(int index, QWidget *parent)
    : QWidget(parent), m_file(new QLabel(this)), m_counts(new QLabel(this)),
      m_groups(new QTreeWidget(this)), m_filter(new QLineEdit(this)), m_grid(new ResultGrid(this)),
      m_viewer(new RecordViewer(this)) {
  const QString suffix = QStringLiteral("(%1)").arg(index);
  m_file->setObjectName(QStringLiteral("lblArchivo") + suffix);
  m_file->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_counts->setObjectName(QStringLiteral("lblTotales") + suffix);
  m_groups->setObjectName(QStringLiteral("lstGrupos") + suffix);
  m_groups->setHeaderLabels({QStringLiteral("Campo"), QStringLiteral("Descripción"),
                             QStringLiteral("Filas"), QStringLiteral("Primer registro")});
  m_groups->setRootIsDecorated(false);
  m_groups->setUniformRowHeights(true);
  m_groups->header()->setStretchLastSection(false);
  m_groups->header()->setSectionResizeMode(1, QHeaderView::Stretch);
  m_groups->setToolTip(QStringLiteral("Un clic muestra solo las filas del grupo"));
  m_filter->setObjectName(QStringLiteral("txtFiltro") + suffix);
  m_filter->setPlaceholderText(QStringLiteral("Filtrar filas por texto"));
  m_filter->setClearButtonEnabled(true);
  m_grid->setObjectName(index == 0 ? QStringLiteral("grdResultadoFisico")
                                   : QStringLiteral("grdResultadoLogico"));
  m_viewer->setObjectName(QStringLiteral("visorRegistro") + suffix);

  auto *top = new QHBoxLayout;
  top->addWidget(m_counts);
  top->addStretch(1);
  top->addWidget(m_filter, 1);
  auto *split = new QSplitter(Qt::Vertical, this);
  split->addWidget(m_groups);
  split->addWidget(m_grid);
  split->setStretchFactor(1, 4);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_file);
  layout->addLayout(top);
  layout->addWidget(split, 1);
  layout->addWidget(m_viewer);

  connect(m_grid, &ResultGrid::currentRowChanged, this, &ResultPanel::ShowRecordOf);
  connect(m_groups, &QTreeWidget::itemClicked, this, &ResultPanel::ChooseGroup);
  connect(m_groups, &QTreeWidget::currentItemChanged, this, &ResultPanel::ChooseGroup);
  connect(m_filter, &QLineEdit::textChanged, this,
          [this](const QString &text) { m_grid->Filter().SetText(text); });
  ShowList({}, {}, 0, QString(), nullptr);
}

void ResultPanel::ShowList(const ResultList &rows, std::vector<std::string> lines, int kind,
                           const QString &path, const ReferenceData *reference) {
  m_reference = reference;
  m_rows = rows;
  m_file->setText(path.isEmpty() ? QStringLiteral("Ningún archivo verificado")
                                 : QStringLiteral("Archivo: ") + QDir::toNativeSeparators(path));
  const ListSummary summary = Summarize(rows);
  m_counts->setText(
      Counted(summary.errors, QStringLiteral("error"), QStringLiteral("errores")) +
      QStringLiteral(", ") +
      Counted(summary.warnings, QStringLiteral("advertencia"), QStringLiteral("advertencias")));
  m_groups->clear();
  auto *all = new QTreeWidgetItem(m_groups, {QStringLiteral("(todas las filas)"), QString(),
                                             QLocale().toString(static_cast<int>(rows.size()))});
  all->setTextAlignment(2, Qt::AlignRight);
  for (const FindingGroup &group : summary.groups) {
    auto *item = new QTreeWidgetItem(m_groups, {FromCp1252(group.field), FromCp1252(group.message),
                                                QLocale().toString(group.rows),
                                                QString::number(group.first_record)});
    item->setTextAlignment(2, Qt::AlignRight);
    item->setTextAlignment(3, Qt::AlignRight);
    item->setToolTip(1, item->text(1));
  }
  m_groups->resizeColumnToContents(0);
  m_filter->clear();
  m_grid->Filter().SetGroup(std::nullopt);
  m_viewer->SetRecords(std::move(lines), kind);
  m_grid->SetRows(rows);
}

void ResultPanel::ChooseGroup() {
  QTreeWidgetItem *item = m_groups->currentItem();
  if (item == nullptr || m_groups->indexOfTopLevelItem(item) <= 0) {
    m_grid->Filter().SetGroup(std::nullopt);
  } else {
    m_grid->Filter().SetGroup(std::make_pair(item->text(0), item->text(1)));
  }
}

void ResultPanel::ShowRecordOf(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) {
    m_viewer->ShowRow(nullptr, nullptr);
    return;
  }
  m_viewer->ShowRow(m_reference, &m_rows[static_cast<std::size_t>(row)]);
}

} // namespace verdalia::app
