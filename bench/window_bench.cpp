// Times the window from the click to the filled grid: the physical run of a data file, its
// list put in the grid and the window painted, then the same for the logical run when the
// physical list lets it follow. Prints the median of several runs after a warm-up.
//
//   verdalia-window-bench DATA_FILE [--db PATH] [--runs N]
//
// Runs without a display under Qt's offscreen platform (QT_QPA_PLATFORM=offscreen).

#include <QApplication>
#include <QFileInfo>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>

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
    std::fprintf(stderr, "usage: verdalia-window-bench DATA_FILE [--db PATH] [--runs N]\n");
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
  if (window.Rows(0).empty() || verdalia::OnlyWarnings(window.Rows(0))) {
    const Timing logical = Time(runs, [&] {
      window.RunPhysical();
      window.RunLogical();
    });
    std::printf("window physical then logical: %d rows in the logical grid, %.1f ms "
                "(median of %d, worst %.1f ms)\n",
                GridRows(window, "grdResultadoLogico"), logical.median_ms, runs,
                logical.worst_ms);
  }
  window.hide();
  return 0;
}
