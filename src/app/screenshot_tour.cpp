// Takes the README's pictures: the three tabs of the window on the sample files, the print
// preview and a printed page (as PDF), then saves the physical list beside its file. Runs
// without a display under the offscreen platform.
//
//   verdalia-screenshots OUTDIR SAMPLES_FOLDER [--db PATH]

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

#include "app/dialogs.h"
#include "app/file_lists.h"
#include "app/preview_window.h"
#include "app/result_grid.h"
#include "app/validator_window.h"
#include "refdata/reference_data.h"

namespace {

using verdalia::app::Dialogs;
using verdalia::app::ValidatorWindow;

// Message boxes are written to the error stream and answered without waiting.
class ConsoleDialogs : public Dialogs {
public:
  void information(QWidget *, const QString &title, const QString &text) override {
    Say(title, text);
  }
  void critical(QWidget *, const QString &title, const QString &text) override { Say(title, text); }
  bool question(QWidget *, const QString &title, const QString &text) override {
    Say(title, text);
    return true;
  }
  QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override {
    return {};
  }
  bool printDialog(QWidget *, QPrinter &) override { return false; }

private:
  static void Say(const QString &title, const QString &text) {
    std::fprintf(stderr, "[%s] %s\n", qUtf8Printable(title), qUtf8Printable(text));
  }
};

bool Save(QWidget *widget, const QString &path) {
  QCoreApplication::processEvents();
  // A window has few colours: a palette keeps the pictures small.
  const QImage picture = widget->grab().toImage().convertToFormat(
      QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
  if (!picture.save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qUtf8Printable(path));
    return false;
  }
  std::fprintf(stderr, "wrote %s\n", qUtf8Printable(path));
  return true;
}

// The first row that names a field, so the record viewer has a span to show.
int RowWithField(const verdalia::ResultList &rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i].field.empty()) {
      return static_cast<int>(i);
    }
  }
  return rows.empty() ? -1 : 0;
}

// Which sample shows findings on the physical tab, and which reaches the logical one (the
// one with the most logical findings).
struct Chosen {
  QString with_findings;
  QString passing;
};

Chosen ChooseSamples(verdalia::app::ValidatorWindow &window, const QDir &samples,
                     const QStringList &names) {
  Chosen chosen;
  std::size_t logical_rows = 0;
  for (const QString &name : names) {
    window.SelectFile(samples.absoluteFilePath(name));
    window.RunPhysical();
    if (chosen.with_findings.isEmpty() && !window.Rows(0).empty()) {
      chosen.with_findings = name;
    }
    if (verdalia::OnlyWarnings(window.Rows(0))) {
      window.RunLogical();
      if (chosen.passing.isEmpty() || window.Rows(1).size() > logical_rows) {
        chosen.passing = name;
        logical_rows = window.Rows(1).size();
      }
    }
  }
  if (chosen.with_findings.isEmpty()) {
    chosen.with_findings = names.first();
  }
  return chosen;
}

// The logical tab with its groups; the files tab; the physical tab with a row's record lit.
bool TakeTabs(verdalia::app::ValidatorWindow &window, const QDir &samples, const QDir &out,
              const Chosen &chosen) {
  auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("SSTab1"));
  bool ok = true;
  if (!chosen.passing.isEmpty()) {
    window.SelectFile(samples.absoluteFilePath(chosen.passing));
    window.RunPhysical();
    window.RunLogical();
    tabs->setCurrentIndex(ValidatorWindow::kLogicalTab);
    ok &= Save(&window, out.filePath(QStringLiteral("tab-logica.png")));
  }
  window.SelectFile(samples.absoluteFilePath(chosen.with_findings));
  ok &= Save(&window, out.filePath(QStringLiteral("tab-archivos.png")));
  window.RunPhysical();
  const int row = RowWithField(window.Rows(0));
  if (row >= 0) {
    window.findChild<verdalia::app::ResultGrid *>(QStringLiteral("grdResultadoFisico"))
        ->selectRow(row);
  }
  tabs->setCurrentIndex(ValidatorWindow::kPhysicalTab);
  ok &= Save(&window, out.filePath(QStringLiteral("tab-fisica.png")));
  if (chosen.passing.isEmpty()) {
    tabs->setCurrentIndex(ValidatorWindow::kLogicalTab);
    ok &= Save(&window, out.filePath(QStringLiteral("tab-logica.png")));
  }
  return ok;
}

// The preview of the physical list with its summary first, and the pages as PDF.
bool TakePreview(verdalia::app::ValidatorWindow &window, const QDir &out) {
  const auto preview = window.MakePreview(0);
  preview->findChild<QCheckBox *>(QStringLiteral("chkResumen"))->setChecked(true);
  preview->resize(980, 680);
  preview->show();
  QCoreApplication::processEvents();
  bool ok = Save(preview.get(), out.filePath(QStringLiteral("preview.png")));
  ok &= preview->ExportPdfTo(out.filePath(QStringLiteral("print.pdf")));
  preview->close();
  return ok;
}

} // namespace

int main(int argc, char *argv[]) {
  QApplication application(argc, argv);
  QStringList arguments = QApplication::arguments();
  QString database = QString::fromStdString(verdalia::DefaultReferenceDatabasePath());
  const qsizetype db_at = arguments.indexOf(QStringLiteral("--db"));
  if (db_at > 0 && db_at + 1 < arguments.size()) {
    database = arguments.at(db_at + 1);
    arguments.remove(db_at, 2);
  }
  if (arguments.size() != 3) {
    std::fprintf(stderr, "usage: verdalia-screenshots OUTDIR SAMPLES_FOLDER [--db PATH]\n");
    return 64;
  }
  const QDir out(arguments.at(1));
  const QDir samples(arguments.at(2));
  QDir().mkpath(out.path());

  QTemporaryDir home;
  QSettings settings(home.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
  ConsoleDialogs dialogs;
  verdalia::app::ValidatorWindow window(dialogs, settings);
  if (!window.Start(database) || !window.OpenFolder(samples.absolutePath())) {
    return 1;
  }
  window.resize(1080, 720);
  window.show();
  auto *files = window.findChild<verdalia::app::FileList *>(QStringLiteral("File1"));
  QStringList names;
  for (int i = 0; i < files->count(); ++i) {
    names << files->item(i)->text();
  }
  if (names.isEmpty()) {
    std::fprintf(stderr, "no data files in %s\n", qUtf8Printable(samples.path()));
    return 1;
  }
  const Chosen chosen = ChooseSamples(window, samples, names);
  bool ok = TakeTabs(window, samples, out, chosen) && TakePreview(window, out);
  // Last, the physical list shown saved beside its file, as "Guardar" saves it.
  const QString list =
      samples.absoluteFilePath(chosen.with_findings + QStringLiteral(".err.fisico"));
  QFile::remove(list);
  window.SaveList(0);
  if (!QFileInfo::exists(list)) {
    std::fprintf(stderr, "the list was not saved: %s\n", qUtf8Printable(list));
    ok = false;
  }
  window.hide();
  return ok ? 0 : 1;
}
