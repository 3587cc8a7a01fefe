#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <functional>
#include <optional>

#include "app/record_viewer.h"
#include "app/result_grid.h"
#include "window_fixture.h"

using namespace verdalia::app;
using namespace verdalia::app::testing;

namespace {

const QString kTwoHeaders = QStringLiteral("Error.Existe más de un registro tipo 1 en el archivo.");
const QString kPeriodMismatch = QStringLiteral(
    "Error.El período informado como parte del nombre del archivo no coincide con la fecha de "
    "cierre");

// The data files of the tests: clean files of the three kinds, a production file with two
// headers whose period differs from its name, files refused for their letter or a short line.
void WriteSamples(const WindowFixture &f) {
  f.Write(QStringLiteral("P202401.txt"), File({Header("20240131"), Line("4")}));
  f.Write(QStringLiteral("P202402.txt"), File({Header("20240131"), Header("20240131"), Line("4")}));
  f.Write(QStringLiteral("X202401.txt"), File({Line("1"), Line("4")}));
  f.Write(QStringLiteral("P202404.txt"), File({Header("20240430"), "4abcd", Line("4")}));
  f.Write(QStringLiteral("D202401.txt"), File({Header("20240131"), Line("3")}));
  f.Write(QStringLiteral("S202401.txt"), File({Header("20240131"), Line("4")}));
  f.Write(QStringLiteral("D202402.txt"), File({Header("20240229"), "3"}));
  f.Write(QStringLiteral("notes.txt"), File({Line("1")}));
  f.Write(QStringLiteral("P2024011.txt"), File({Line("1")}));
}

QString ShownText(const ShownDialog &d) {
  return d.kind + "|" + d.title + "|" + d.text;
}

} // namespace

class ValidatorWindowTest : public QObject {
  Q_OBJECT

private slots:
  void startupFailureShowsOneErrorAndStoresNothing() {
    WindowFixture f;
    ValidatorWindow &window = f.NewWindow();
    const QString missing = QDir(f.DataFolder()).filePath(QStringLiteral("no-such.db"));
    QString expected;
    try {
      verdalia::LoadReferenceData(missing.toStdString());
    } catch (const std::exception &error) {
      expected = QString::fromUtf8(error.what());
    }
    QVERIFY(!expected.isEmpty());

    QVERIFY(!window.Start(missing));
    QCOMPARE(f.dialogs.shown.size(), std::size_t{1});
    QCOMPARE(ShownText(f.dialogs.shown[0]), QStringLiteral("critical|Error|") + expected);
    window.close();
    f.settings().sync();
    QVERIFY(f.settings().allKeys().isEmpty());
    QVERIFY(!QFile::exists(f.settings().fileName()));
  }

  void settingsRestoredAtStart_data() {
    QTest::addColumn<QString>("stored_dir");   // "<data>" stands for the data folder
    QTest::addColumn<QString>("stored_drive"); // "<drive>" for the data folder's drive
    QTest::addColumn<bool>("restored");
    QTest::newRow("nothing stored") << QString() << QString() << false;
    QTest::newRow("stored drive and folder") << "<data>"
                                             << "<drive>" << true;
    QTest::newRow("stored folder only") << "<data>" << QString() << true;
    QTest::newRow("folder that is gone") << "<data>/gone"
                                         << "<drive>" << false;
    QTest::newRow("drive that is gone") << QString() << "Q: [NINGUNA]" << false;
  }

  void settingsRestoredAtStart() {
    QFETCH(QString, stored_dir);
    QFETCH(QString, stored_drive);
    QFETCH(bool, restored);
    WindowFixture f;
    WriteSamples(f);
    const QString data = f.DataFolder();
    // What the lists show before start-up: the current folder.
    ValidatorWindow &probe = f.NewWindow();
    const QString before_dir = probe.findChild<QTreeWidget *>(QStringLiteral("Dir1"))
                                   ->currentItem()
                                   ->data(0, Qt::UserRole)
                                   .toString();
    const QString before_drive =
        probe.findChild<QComboBox *>(QStringLiteral("Drive1"))->currentText();
    const QString data_drive = [&] {
      ValidatorWindow &w = f.NewWindow();
      w.OpenFolder(data);
      return w.findChild<QComboBox *>(QStringLiteral("Drive1"))->currentText();
    }();

    f.settings().beginGroup(QStringLiteral("Directorio"));
    if (!stored_dir.isEmpty()) {
      f.settings().setValue(QStringLiteral("DIR"), QString(stored_dir).replace("<data>", data));
    }
    if (!stored_drive.isEmpty()) {
      f.settings().setValue(QStringLiteral("DRIVE"),
                            QString(stored_drive).replace("<drive>", data_drive));
    }
    f.settings().endGroup();

    ValidatorWindow &window = f.NewWindow();
    QVERIFY(window.Start(f.Database()));
    QVERIFY(f.dialogs.shown.empty());
    auto *dir = window.findChild<QTreeWidget *>(QStringLiteral("Dir1"));
    auto *drive = window.findChild<QComboBox *>(QStringLiteral("Drive1"));
    const QString shown_dir = dir->currentItem()->data(0, Qt::UserRole).toString();
    QStringList listed;
    for (int i = 0; i < f.Files()->count(); ++i) {
      listed << f.Files()->item(i)->text();
    }
    if (restored) {
      QCOMPARE(shown_dir, data);
      QCOMPARE(drive->currentText(), data_drive);
      // Only names of seven characters and ".txt" are listed.
      QCOMPARE(listed, QStringList({"D202401.txt", "D202402.txt", "P202401.txt", "P202402.txt",
                                    "P202404.txt", "S202401.txt", "X202401.txt"}));
    } else if (stored_dir.isEmpty() && !stored_drive.isEmpty()) {
      QCOMPARE(drive->currentText(), before_drive);
      QCOMPARE(shown_dir, before_dir);
    } else {
      QCOMPARE(shown_dir, before_dir);
    }
  }

  void settingsStoredAtClose() {
    WindowFixture f;
    WriteSamples(f);
    ValidatorWindow &window = f.Started();
    const QString drive = window.findChild<QComboBox *>(QStringLiteral("Drive1"))->currentText();
    window.close();
    f.settings().sync();
    QSettings stored(f.settings().fileName(), QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("Directorio/DIR")).toString(),
             QDir::toNativeSeparators(f.DataFolder()));
    QCOMPARE(stored.value(QStringLiteral("Directorio/DRIVE")).toString(), drive);
    QVERIFY(!drive.isEmpty());

    // The next start opens where this one ended.
    ValidatorWindow &next = f.NewWindow();
    QVERIFY(next.Start(f.Database()));
    QCOMPARE(next.findChild<QTreeWidget *>(QStringLiteral("Dir1"))
                 ->currentItem()
                 ->data(0, Qt::UserRole)
                 .toString(),
             f.DataFolder());
  }

  void logicalButtonFollowsTheRuns() {
    WindowFixture f;
    WriteSamples(f);
    f.Started();
    QPushButton *logical = f.Button(QStringLiteral("cmdValidacionLogica"));
    struct Step {
      const char *what;
      std::function<void()> action;
      bool enabled;
    };
    const std::vector<Step> steps = {
        {"at start", [] {}, false},
        {"clean physical run", [&] { f.RunPhysical("P202401.txt"); }, true},
        {"clicking the same file again", [&] { f.ClickFile("P202401.txt"); }, false},
        {"physical run again", [&] { f.Button("cmdProcesar")->click(); }, true},
        {"moving to another file with the keys",
         [&] {
           f.Files()->setFocus();
           QTest::keyClick(f.Files(), Qt::Key_Down);
         },
         false},
        {"physical run with an error row", [&] { f.RunPhysical("P202402.txt"); }, false},
        {"clean run once more", [&] { f.RunPhysical("P202401.txt"); }, true},
        {"refused for its letter", [&] { f.RunPhysical("X202401.txt"); }, false},
        {"clean run before a refused length", [&] { f.RunPhysical("P202401.txt"); }, true},
        {"refused for a line length", [&] { f.RunPhysical("P202404.txt"); }, false},
        {"clean run before a logical run", [&] { f.RunPhysical("P202401.txt"); }, true},
        {"the logical run leaves it enabled", [&] { logical->click(); }, true},
    };
    for (const Step &step : steps) {
      step.action();
      QVERIFY2(logical->isEnabled() == step.enabled, step.what);
    }
  }

  void physicalRun_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("period");
    QTest::addColumn<QStringList>("rows");
    const QString end = QStringLiteral("information|Verificar|Verificación Física finalizada");
    const QStringList previous = {"1||" + kTwoHeaders, "1|FECHA_CIERRE|" + kPeriodMismatch};
    QTest::newRow("clean production file") << "P202401.txt" << end << 1 << "PRODUCCION VERDALIA"
                                           << "202401" << QStringList();
    QTest::newRow("claims information file")
        << "S202401.txt" << end << 1 << "INFORMACIÓN DE SINIESTROS VERDALIA"
        << "202401" << QStringList();
    QTest::newRow("two headers, period of another month")
        << "P202402.txt" << end << 1 << "PRODUCCION VERDALIA"
        << "202402" << previous;
    // Refusals keep the lists and the tab; the length refusal has already set the titles.
    QTest::newRow("wrong first letter")
        << "X202401.txt"
        << "critical|ERROR|Los archivos posibles comienzan con P, D o S" << 0
        << "DENUNCIAS DE SINIESTROS VERDALIA"
        << "202402" << previous;
    QTest::newRow("short line")
        << "P202404.txt"
        << "critical|Atención|El archivo PRODUCCION VERDALIA en la fila 2 tiene un largo de "
           "fila incorrecto(5), debe ser 40."
        << 0 << "PRODUCCION VERDALIA"
        << "202402" << previous;
  }

  void physicalRun() {
    QFETCH(QString, file);
    QFETCH(QString, notice);
    QFETCH(int, tab);
    QFETCH(QString, title);
    QFETCH(QString, period);
    QFETCH(QStringList, rows);
    WindowFixture f;
    WriteSamples(f);
    f.Started();
    // Refusals are seen after a run that left findings, followed by a claims-notice file
    // refused for a line length, which sets the titles and nothing else.
    if (file.startsWith('X') || file == "P202404.txt") {
      f.RunPhysical("P202402.txt");
      f.RunPhysical("D202402.txt");
    }
    f.dialogs.shown.clear();
    f.Tabs()->setCurrentIndex(0);
    f.RunPhysical(file);

    QCOMPARE(f.dialogs.shown.size(), std::size_t{1});
    QCOMPARE(ShownText(f.dialogs.shown[0]), notice);
    QVERIFY2(!f.dialogs.shown[0].wait_cursor, "the hourglass is gone when the message shows");
    QCOMPARE(f.Tabs()->currentIndex(), tab);
    QCOMPARE(f.Label("lblValidacionFisica(0)")->text(), title);
    QCOMPARE(f.Label("lblValidacionLogica(0)")->text(), title);
    QCOMPARE(f.Label("lblValidacionFisica(3)")->text(), period);
    QCOMPARE(f.Label("lblValidacionLogica(3)")->text(), period);
    QCOMPARE(f.GridRows("grdResultadoFisico"), rows);
    QCOMPARE(f.GridRows("grdResultadoLogico"), QStringList());
  }

  void logicalRun_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("title");
    QTest::newRow("production") << "P202401.txt"
                                << "PRODUCCION VERDALIA";
    QTest::newRow("claims notices") << "D202401.txt"
                                    << "DENUNCIAS DE SINIESTROS VERDALIA";
    QTest::newRow("claims information") << "S202401.txt"
                                        << "INFORMACIÓN DE SINIESTROS VERDALIA";
  }

  void logicalRun() {
    QFETCH(QString, file);
    QFETCH(QString, title);
    WindowFixture f;
    WriteSamples(f);
    f.Started();
    f.RunPhysical(file);
    f.dialogs.shown.clear();
    f.Button("cmdValidacionLogica")->click();

    QCOMPARE(f.dialogs.shown.size(), std::size_t{1});
    QCOMPARE(ShownText(f.dialogs.shown[0]),
             QStringLiteral("information|Verificar|Verificación Lógica finalizada"));
    QCOMPARE(f.Tabs()->currentIndex(), 2);
    for (const QString list : {"lblValidacionFisica(%1)", "lblValidacionLogica(%1)"}) {
      QCOMPARE(f.Label(list.arg(0))->text(), title);
      QCOMPARE(f.Label(list.arg(1))->text(), QStringLiteral("076543210-K"));
      QCOMPARE(f.Label(list.arg(2))->text(), QStringLiteral("AGRICOLA S/A"));
      QCOMPARE(f.Label(list.arg(3))->text(), QStringLiteral("202401"));
    }
    // A header and a control record only: no detail record to walk, no row.
    QCOMPARE(f.GridRows("grdResultadoLogico"), QStringList());
  }

  void savingWritesTheListBesideTheFile_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("physical list")
        << 0 << ".err.fisico"
        << QByteArray("1\t\tError.Existe m\xe1s de un registro tipo 1 en el archivo.\r\n"
                      "1\tFECHA_CIERRE\tError.El per\xedodo informado como parte del nombre del "
                      "archivo no coincide con la fecha de cierre\r\n");
    QTest::newRow("empty logical list") << 1 << ".err.logico" << QByteArray();
  }

  void savingWritesTheListBesideTheFile() {
    QFETCH(int, index);
    QFETCH(QString, suffix);
    QFETCH(QByteArray, bytes);
    WindowFixture f;
    WriteSamples(f);
    f.Started();
    f.RunPhysical("P202402.txt");
    const QString path = QDir(f.DataFolder()).filePath("P202402.txt" + suffix);
    // A longer list of an earlier run is replaced whole.
    {
      QFile old(path);
      QVERIFY(old.open(QIODevice::WriteOnly));
      old.write(QByteArray(400, 'x'));
    }
    f.dialogs.shown.clear();
    f.Button(QStringLiteral("cmdGuardar(%1)").arg(index))->click();

    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), bytes);
    QCOMPARE(f.dialogs.shown.size(), std::size_t{1});
    QCOMPARE(ShownText(f.dialogs.shown[0]),
             "information|Atención|El listado de errores se guardo en el archivo " + path);
  }

  void savingToAFolderThatCannotBeWrittenSaysWhy_data() {
    QTest::addColumn<bool>("remove_folder");
    QTest::newRow("folder removed since it was listed") << true;
    QTest::newRow("a folder holds the list's name") << false;
  }

  void savingToAFolderThatCannotBeWrittenSaysWhy() {
    QFETCH(bool, remove_folder);
    WindowFixture f;
    const QString sub = QDir(f.DataFolder()).filePath("sub");
    QDir().mkpath(sub);
    QFile::copy(f.Write("P202402.txt", File({Header("20240131"), Line("4")})),
                sub + "/P202402.txt");
    f.Started();
    f.window().OpenFolder(sub);
    f.RunPhysical("P202402.txt");
    const QString path = sub + "/P202402.txt.err.fisico";
    if (remove_folder) {
      QVERIFY(QDir(sub).removeRecursively());
    } else {
      QVERIFY(QDir().mkdir(path));
    }
    f.dialogs.shown.clear();
    f.Button("cmdGuardar(0)")->click();

    QCOMPARE(f.dialogs.shown.size(), std::size_t{1});
    const ShownDialog &box = f.dialogs.shown[0];
    QCOMPARE(box.kind + "|" + box.title, QStringLiteral("critical|Atención"));
    QVERIFY2(box.text.startsWith("No se pudo guardar el listado de errores en el archivo " + path +
                                 ": "),
             qPrintable(box.text));
    QVERIFY(remove_folder ? !QFile::exists(path) : QFileInfo(path).isDir());
    if (!remove_folder) {
      // Nothing left behind beside it either.
      QCOMPARE(QDir(sub).entryList(QDir::Files | QDir::Hidden), QStringList({"P202402.txt"}));
    }
  }

  void gridShowsAndCopiesRows() {
    WindowFixture f;
    WriteSamples(f);
    f.Started();
    f.RunPhysical("P202402.txt");
    auto *grid = f.window().findChild<ResultGrid *>(QStringLiteral("grdResultadoFisico"));
    const QAbstractItemModel *model = grid->model();
    QStringList headings;
    for (int c = 0; c < model->columnCount(); ++c) {
      headings << model->headerData(c, Qt::Horizontal).toString();
    }
    QCOMPARE(headings, QStringList({"Nro. Registro", "Campo", "Descripción Error/Advertencia"}));
    for (int c = 0; c < 3; ++c) {
      QVERIFY(!(model->index(0, c).flags() & Qt::ItemIsEditable));
    }
    QCOMPARE(model->index(1, 2).data(Qt::ToolTipRole).toString(), kPeriodMismatch);

    // Column widths keep the proportions 6 : 20.5 : 50.5 once the first heading fits.
    grid->resize(1540, 300);
    const double unit = grid->viewport()->width() / 77.0;
    QVERIFY(std::abs(grid->columnWidth(1) - 20.5 * unit) <= 1);
    QVERIFY(std::abs(grid->columnWidth(0) + grid->columnWidth(1) + grid->columnWidth(2) -
                     grid->viewport()->width()) <= 1);

    grid->setFocus();
    grid->selectRow(1);
    grid->selectionModel()->select(model->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QApplication::clipboard()->clear();
    QTest::keySequence(grid, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(),
             "1\t\t" + kTwoHeaders + "\n1\tFECHA_CIERRE\t" + kPeriodMismatch + "\n");
  }

  void recordViewerHighlightsTheReportedField() {
    WindowFixture f;
    WriteSamples(f);
    f.Started();
    f.RunPhysical("P202402.txt");
    auto *grid = f.window().findChild<ResultGrid *>(QStringLiteral("grdResultadoFisico"));
    auto *viewer = f.window().findChild<RecordViewer *>();
    const QString header = QString::fromStdString(Header("20240131"));

    struct Case {
      int row;
      QString caption;
      std::optional<std::pair<int, int>> span;
    };
    const Case cases[] = {
        {1, "Registro 1 · FECHA_CIERRE: posición 2, largo 8", std::make_pair(1, 9)},
        {0, "Registro 1", std::nullopt},
    };
    for (const Case &c : cases) {
      grid->setCurrentIndex(grid->model()->index(c.row, 0));
      QCOMPARE(viewer->Caption(), c.caption);
      QCOMPARE(viewer->RecordText(), header);
      QCOMPARE(viewer->Highlight(), c.span);
    }
  }

  void droppedDataFileIsSelected() {
    WindowFixture f;
    WriteSamples(f);
    f.Started();
    const QString elsewhere = QDir(f.DataFolder()).filePath("otra");
    QDir().mkpath(elsewhere);
    const QString dropped = elsewhere + "/P202401.txt";
    QFile::copy(QDir(f.DataFolder()).filePath("P202401.txt"), dropped);
    f.RunPhysical("P202401.txt");
    QVERIFY(f.Button("cmdValidacionLogica")->isEnabled());

    auto drop = [&](const QString &path) {
      QMimeData mime;
      mime.setUrls({QUrl::fromLocalFile(path)});
      const QPoint at = f.window().rect().center();
      QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
      QApplication::sendEvent(&f.window(), &enter);
      if (!enter.isAccepted()) {
        return false;
      }
      QDropEvent event(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
      QApplication::sendEvent(&f.window(), &event);
      return event.isAccepted();
    };
    QVERIFY(!drop(QDir(f.DataFolder()).filePath("notes.txt")));
    QVERIFY(drop(dropped));
    QCOMPARE(f.Files()->selectedItems().size(), 1);
    QCOMPARE(f.Files()->selectedItems().first()->text(), QStringLiteral("P202401.txt"));
    QCOMPARE(f.window()
                 .findChild<QTreeWidget *>(QStringLiteral("Dir1"))
                 ->currentItem()
                 ->data(0, Qt::UserRole)
                 .toString(),
             elsewhere);
    QVERIFY(!f.Button("cmdValidacionLogica")->isEnabled());
  }
};

QTEST_MAIN(ValidatorWindowTest)
#include "test_validator_window.moc"
