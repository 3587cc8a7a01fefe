// Times the window from the click to the filled grid: the physical run of a data file, its
// list put in the grid and the window painted, then the same for the logical run when the
// physical list lets it follow. Prints the median of several runs after a warm-up. With
// --interactions it then times, on the physical list, what the operator does with it: a
// keystroke in the filter, choosing a group, sorting by a column, scrolling a page, selecting
// a row, each with the paint it causes, against the target of 100 ms.
//
//   verdalia-window-bench DATA_FILE [--db PATH] [--runs N] [--interactions]
//
// Runs without a display under Qt's offscreen platform (QT_QPA_PLATFORM=offscreen).

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QScrollBar>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/dialogs.h"
#include "app/result_grid.h"
#include "app/validator_window.h"
#include "refdata/reference_data.h"

namespace {

// Message boxes are counted, never shown, so nothing waits for an answer.
class SilentDialogs : public verdalia::app::Dialogs {
public:
  void information(QWidget *, const QString &, const QString &) override {}
  void critical(QWidget *, const QString &, const QString &text) override {
    std::fprintf(stderr, "%s\n", qUtf8Printable(text));
  }
  bool question(QWidget *, const QString &, const QString &) override { return false; }
  QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override {
    return {};
  }
  bool printDialog(QWidget *, QPrinter &) override { return false; }
};

struct Timing {
  double median_ms = 0;
  double worst_ms = 0;
};

// The click's work and the paint it causes, timed `runs` times after one warm-up.
Timing Time(int runs, const std::function<void()> &click) {
  const auto once = [&] {
    const auto start = std::chrono::steady_clock::now();
    click();
    QCoreApplication::processEvents();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
  };
  once();
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    times.push_back(once());
  }
  std::sort(times.begin(), times.end());
  return {times[times.size() / 2], times.back()};
}

// The operator's actions on one list, each timed with the paint it causes.
struct Interaction {
  const char *what;
  std::vector<double> times;
};

double Elapsed(const std::function<void()> &action) {
  const auto start = std::chrono::steady_clock::now();
  action();
  QCoreApplication::processEvents();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

void Report(const Interaction &interaction, int rows) {
  std::vector<double> times = interaction.times;
  std::sort(times.begin(), times.end());
  const double worst = times.back();
  std::printf("window at %d rows: %-22s median %7.1f ms, worst %7.1f ms of %zu  %s\n", rows,
              interaction.what, times[times.size() / 2], worst, times.size(),
              worst <= 100 ? "(target 100 ms met)" : "(target 100 ms NOT MET)");
}

// Typing a word letter by letter and erasing it, choosing groups and every row again, sorting
// by each column both ways and back to the list's order, scrolling down page by page,
// selecting rows across the list.
void TimeInteractions(verdalia::app::ValidatorWindow &window) {
  auto *grid = window.findChild<verdalia::app::ResultGrid *>(QStringLiteral("grdResultadoFisico"));
  auto *filter = window.findChild<QLineEdit *>(QStringLiteral("txtFiltro(0)"));
  auto *groups = window.findChild<QTreeWidget *>(QStringLiteral("lstGrupos(0)"));
  const int rows = grid->model()->rowCount();
  grid->setFocus();

  Interaction typing{"filter keystroke", {}};
  for (const QString &word :
       {QStringLiteral("Error. Relleno"), QStringLiteral("FECHA_"), QStringLiteral("12345")}) {
    for (qsizetype k = 1; k <= word.size(); ++k) {
      typing.times.push_back(Elapsed([&] { filter->setText(word.left(k)); }));
    }
    for (qsizetype k = word.size() - 1; k >= 0; --k) {
      typing.times.push_back(Elapsed([&] { filter->setText(word.left(k)); }));
    }
  }

  Interaction choosing{"choosing a group", {}};
  const int count = groups->topLevelItemCount();
  for (int k = 1; k < count && k <= 12; ++k) {
    choosing.times.push_back(Elapsed([&] { groups->setCurrentItem(groups->topLevelItem(k)); }));
    choosing.times.push_back(Elapsed([&] { groups->setCurrentItem(groups->topLevelItem(0)); }));
  }

  Interaction sorting{"sorting a column", {}};
  for (int column = 0; column < 3; ++column) {
    for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
      sorting.times.push_back(Elapsed([&] { grid->sortByColumn(column, order); }));
    }
  }
  sorting.times.push_back(Elapsed([&] { grid->sortByColumn(-1, Qt::AscendingOrder); }));

  Interaction scrolling{"scrolling a page", {}};
  for (int k = 0; k < 40; ++k) {
    scrolling.times.push_back(Elapsed(
        [&] { grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd); }));
  }
  scrolling.times.push_back(
      Elapsed([&] { grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum); }));

  Interaction selecting{"selecting a row", {}};
  for (int k = 0; k < 40; ++k) {
    const int row = static_cast<int>(static_cast<long long>(rows) * k / 40);
    selecting.times.push_back(Elapsed([&] { grid->selectRow(row); }));
  }

  for (const Interaction *interaction : {&typing, &choosing, &sorting, &scrolling, &selecting}) {
    if (!interaction->times.empty()) {
      Report(*interaction, rows);
    }
  }
}

int GridRows(verdalia::app::ValidatorWindow &window, const char *name) {
  const auto *grid = window.findChild<verdalia::app::ResultGrid *>(QString::fromLatin1(name));
  return grid != nullptr && grid->model() != nullptr ? grid->model()->rowCount() : -1;
}

} // namespace

int main(int argc, char *argv[]) {
  QApplication application(argc, argv);
  QStringList arguments = QApplication::arguments();
  QString database = QString::fromStdString(verdalia::DefaultReferenceDatabasePath());
  int runs = 5;
  const bool interactions = arguments.removeAll(QStringLiteral("--interactions")) > 0;
  for (qsizetype at = 1; at + 1 < arguments.size();) {
    if (arguments.at(at) == QStringLiteral("--db")) {
      database = arguments.at(at + 1);
    } else if (arguments.at(at) == QStringLiteral("--runs")) {
      runs = std::max(1, arguments.at(at + 1).toInt());
    } else {
      ++at;
      continue;
    }
    arguments.remove(at, 2);
  }
  if (arguments.size() != 2) {
    std::fprintf(stderr, "usage: verdalia-window-bench DATA_FILE [--db PATH] [--runs N] "
                         "[--interactions]\n");
    return 64;
  }
  const QFileInfo data(arguments.at(1));

  QTemporaryDir home;
  QSettings settings(home.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
  SilentDialogs dialogs;
  verdalia::app::ValidatorWindow window(dialogs, settings);
  if (!window.Start(database) || !window.OpenFolder(data.absolutePath()) ||
      !window.SelectFile(data.absoluteFilePath())) {
    std::fprintf(stderr, "cannot open %s\n", qUtf8Printable(data.absoluteFilePath()));
    return 1;
  }
  window.resize(1080, 720);
  window.show();
  QCoreApplication::processEvents();

  auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("SSTab1"));
  const Timing physical = Time(runs, [&] { window.RunPhysical(); });
  const int physical_rows = GridRows(window, "grdResultadoFisico");
  std::printf("window physical: %s, %d rows in the grid, click to painted grid %.1f ms "
              "(median of %d, worst %.1f ms)\n",
              qUtf8Printable(data.fileName()), physical_rows, physical.median_ms, runs,
              physical.worst_ms);
  if (tabs->currentIndex() != 1) {
    std::fprintf(stderr, "the physical run was refused\n");
    return 1;
  }
  if (interactions) {
    TimeInteractions(window);
  }
  if (window.Rows(0).empty() || verdalia::OnlyWarnings(window.Rows(0))) {
    const Timing logical = Time(runs, [&] {
      window.RunPhysical();
      window.RunLogical();
    });
    std::printf("window physical then logical: %d rows in the logical grid, %.1f ms "
                "(median of %d, worst %.1f ms)\n",
                GridRows(window, "grdResultadoLogico"), logical.median_ms, runs, logical.worst_ms);
  }
  window.hide();
  return 0;
}
