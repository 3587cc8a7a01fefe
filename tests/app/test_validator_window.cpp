#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <functional>

#include "app/dialogs.h"
#include "app/elided_label.h"
#include "app/file_lists.h"
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
const QString kRepeated = QStringLiteral("Error. Número de siniestro repetido en el archivo.");
const QString kNoProvision = QStringLiteral("Advertencia. No informa provisión.");

// The data files of the tests: clean files of the three kinds, a production file with two
// headers whose period differs from its name, files refused for their letter or a short line,
// claim notices repeated three times.
// The list's first row about `record` and `field`.
std::size_t RowNaming(const verdalia::ResultList &rows, int record, std::string_view field) {
  for (std::size_t row = 0; row < rows.size(); ++row) {
    if (rows[row].record == record && rows[row].field.bytes() == field) {
      return row;
    }
  }
  return rows.size();
}

void WriteSamples(const WindowFixture &f) {
  f.Write("P202401.txt", File({Header("20240131"), Line("4")}));
  f.Write("P202402.txt", File({Header("20240131"), Header("20240131"), Line("4")}));
  f.Write("X202401.txt", File({Line("1"), Line("4")}));
  f.Write("P202404.txt", File({Header("20240430"), "4abcd", Line("4")}));
  f.Write("S202401.txt", File({Header("20240131"), Line("4")}));
  const std::string notice = Line("2SIN000000000001", 31) + "POL000000000001";
  f.Write("D202401.txt", File({Header("20240131", kNoticeLength), Line(notice, kNoticeLength),
                               Line(notice, kNoticeLength), Line(notice, kNoticeLength),
                               Line("3", kNoticeLength)}));
  f.Write("notes.txt", File({Line("1")}));
  f.Write("P2024011.txt", File({Line("1")}));
}

QString ShownText(const ShownDialog &d) {
  return d.kind + "|" + d.title + "|" + d.text;
}

QString DirShown(ValidatorWindow &window) {
  return window.findChild<QTreeWidget *>("Dir1")->currentItem()->data(0, Qt::UserRole).toString();
}

QStringList Listed(const WindowFixture &f) {
  QStringList names;
  for (int i = 0; i < f.Files()->count(); ++i) {
    names << f.Files()->item(i)->text();
  }
  return names;
}

} // namespace

class ValidatorWindowTest : public QObject {
  Q_OBJECT

private slots:
  void startupFailureShowsOneErrorAndStoresNothing() {
    WindowFixture f;
    ValidatorWindow &window = f.NewWindow();
    const QString missing = QDir(f.DataFolder()).filePath("no-such.db");
    QVERIFY(!window.Start(missing));
    QCOMPARE(f.dialogs.shown.size(), std::size_t{1});
    QCOMPARE(ShownText(f.dialogs.shown[0]),
             "critical|Error|No se puede abrir la base de datos de referencia \"" + missing +
                 "\": el archivo no existe");
    window.close();
    f.settings().sync();
    QVERIFY(!QFile::exists(f.settings().fileName()));
  }

  void settingsStoredAtCloseAndRestoredAtStart() {
    WindowFixture f;
    WriteSamples(f);
    ValidatorWindow &window = f.Started();
    window.resize(780, 560);
    const QSize size = window.size();
    f.ClickFile("P202402.txt");
    const QString drive = window.findChild<QComboBox *>("Drive1")->currentText();
    QVERIFY(!drive.isEmpty());
    window.close();
    QCOMPARE(f.settings().value("Directorio/DIR").toString(),
             QDir::toNativeSeparators(f.DataFolder()));
    QCOMPARE(f.settings().value("Directorio/DRIVE").toString(), drive);
    QCOMPARE(f.settings().value("Directorio/ARCHIVO").toString(), QStringLiteral("P202402.txt"));

    // The next start opens where this one ended: folder, file and window's size.
    ValidatorWindow &next = f.NewWindow();
    QVERIFY(next.Start(f.Database()));
    QCOMPARE(DirShown(next), f.DataFolder());
    QCOMPARE(Listed(f), QStringList({"D202401.txt", "P202401.txt", "P202402.txt", "P202404.txt",
                                     "S202401.txt", "X202401.txt"}));
    QCOMPARE(f.Files()->selectedItems().first()->text(), QStringLiteral("P202402.txt"));
    QCOMPARE(next.size(), size);

    // A folder gone since opens its nearest parent, and a line says so; no box stops the start.
    f.settings().setValue("Directorio/DIR", f.DataFolder() + "/gone/deeper");
    f.settings().setValue("Directorio/ARCHIVO", "P209999.txt");
    ValidatorWindow &third = f.NewWindow();
    QVERIFY(third.Start(f.Database()));
    QCOMPARE(DirShown(third), f.DataFolder());
    QCOMPARE(f.Label("lblAviso")->text(), "La carpeta " + f.DataFolder() +
                                              "/gone/deeper ya no existe; se muestra " +
                                              f.DataFolder() + ".");
    QVERIFY(f.Files()->selectedItems().isEmpty());
    QVERIFY(!f.Button("cmdProcesar")->isEnabled());
    QVERIFY(f.dialogs.shown.empty());
  }

  void driveListAlwaysHasTheRoot() {
    // A chroot's mount table may list no "/" at all.
    const DriveList none(nullptr, [] { return std::vector<Volume>(); });
    QCOMPARE(none.count(), 1);
    QCOMPARE(none.currentText(), QStringLiteral("/"));
    const DriveList some(nullptr, [] { return std::vector<Volume>{{"/media/usb", "DATOS"}}; });
    QCOMPARE(some.itemText(0), QStringLiteral("/"));
    QCOMPARE(some.itemText(1), QStringLiteral("/media/usb [DATOS]"));
  }

  void runsFollowTheButtonsAndTheKeys() {
    WindowFixture f;
    WriteSamples(f);
    ValidatorWindow &window = f.Started();
    // The window's keys answer only while it is the active window, as on a real desktop.
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QPushButton *physical = f.Button("cmdProcesar");
    QPushButton *logical = f.Button("cmdValidacionLogica");
    QVERIFY(physical->toolTip().contains("F5"));
    QVERIFY(logical->toolTip().contains("F6"));
    // Each run its own Alt key.
    QCOMPARE(physical->text(), QStringLiteral("Realizar Verificación &Física"));
    QCOMPARE(logical->text(), QStringLiteral("Realizar Verificación &Lógica"));
    const auto key = [&](QWidget *target, int key, Qt::KeyboardModifiers modifiers = {}) {
      target->setFocus();
      QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
    };
    struct Step {
      const char *what;
      std::function<void()> action;
      bool enabled;
      int tab;
    };
    QString chosen_by_down;
    const std::vector<Step> steps = {
        {"at start", [] {}, false, 0},
        {"F5 with no file chosen", [&] { key(f.Files(), Qt::Key_F5); }, false, 0},
        {"Alt+A, then Down chooses the first file",
         [&] {
           QTest::keyClick(&window, Qt::Key_A, Qt::AltModifier);
           QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
           const auto selected = f.Files()->selectedItems();
           chosen_by_down = selected.isEmpty() ? QString() : selected.first()->text();
         },
         false, 0},
        {"Alt+F runs it",
         [&] {
           QTest::keyClick(&window, Qt::Key_F, Qt::AltModifier);
           QTest::qWait(300);
         },
         true, 1},
        {"clean physical run", [&] { f.RunPhysical("P202401.txt"); }, true, 1},
        {"clicking the same file again", [&] { f.ClickFile("P202401.txt"); }, false, 0},
        {"F5 runs the physical verification", [&] { key(f.Files(), Qt::Key_F5); }, true, 1},
        {"F6 runs the logical one", [&] { key(&window, Qt::Key_F6); }, true, 2},
        {"F5 again, then Alt+L",
         [&] {
           key(f.Files(), Qt::Key_F5);
           f.Tabs()->setCurrentIndex(0);
           QTest::keyClick(&window, Qt::Key_L, Qt::AltModifier);
           QTest::qWait(300); // a button's Alt key clicks it after its press is shown
         },
         true, 2},
        {"moving to another file with the keys",
         [&] {
           f.Tabs()->setCurrentIndex(0);
           key(f.Files(), Qt::Key_Down);
         },
         false, 0},
        {"F6 does nothing while the button is off", [&] { key(f.Files(), Qt::Key_F6); }, false, 0},
        {"Enter on a file runs it", [&] { key(f.Files(), Qt::Key_Return); }, false, 1},
        {"a double click runs it too",
         [&] {
           f.ClickFile("P202401.txt");
           const QRect at = f.Files()->visualItemRect(f.Files()->currentItem());
           QTest::mouseDClick(f.Files()->viewport(), Qt::LeftButton, {}, at.center());
         },
         true, 1},
        {"refused for its letter", [&] { f.RunPhysical("X202401.txt"); }, false, 0},
        {"refused for a line length", [&] { f.RunPhysical("P202404.txt"); }, false, 0},
    };
    for (const Step &step : steps) {
      f.dialogs.shown.clear();
      step.action();
      QVERIFY2(logical->isEnabled() == step.enabled, step.what);
      QVERIFY2(f.Tabs()->currentIndex() == step.tab, step.what);
      QVERIFY2(physical->isEnabled() == !f.Files()->selectedItems().isEmpty(), step.what);
      if (step.tab > 0 && !f.dialogs.shown.empty()) {
        // After a run the keys go on in its grid, not on a button.
        QVERIFY2(qobject_cast<ResultGrid *>(QApplication::focusWidget()) != nullptr, step.what);
      }
    }
    QCOMPARE(chosen_by_down, QStringLiteral("D202401.txt"));
    // Ctrl+F goes to the filter of the list shown.
    f.Tabs()->setCurrentIndex(1);
    QTest::keySequence(&window, QKeySequence::Find);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("txtFiltro(0)"));
    // Ctrl+R reads the folder again, keeping the file chosen.
    f.ClickFile("S202401.txt");
    f.Write("S202402.txt", File({Header("20240229"), Line("4")}));
    key(&window, Qt::Key_R, Qt::ControlModifier);
    QVERIFY(Listed(f).contains("S202402.txt"));
    QCOMPARE(f.Files()->selectedItems().first()->text(), QStringLiteral("S202401.txt"));

    // Another folder: no file is chosen, so neither run can start, by button or key.
    const QString other = QDir(f.DataFolder()).filePath("otra/mas");
    QVERIFY(QDir().mkpath(other));
    f.RunPhysical("S202401.txt");
    QVERIFY(logical->isEnabled());
    window.OpenFolder(other);
    QVERIFY(!physical->isEnabled());
    QVERIFY(!logical->isEnabled());
    f.dialogs.shown.clear();
    key(f.Files(), Qt::Key_F5);
    key(f.Files(), Qt::Key_F6);
    QVERIFY(f.dialogs.shown.empty());
    // Ctrl+R on a folder removed meanwhile opens its nearest parent, and says so.
    QVERIFY(QDir(QDir(f.DataFolder()).filePath("otra")).removeRecursively());
    key(&window, Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(DirShown(window), f.DataFolder());
    QVERIFY(f.Label("lblAviso")->text().startsWith("La carpeta " + other + " ya no existe"));
    QVERIFY(!f.Label("lblAviso")->isHidden());
  }

  void runsFillCaptionsListsAndMessages_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("rows");
    const QString end = "information|Verificar|Verificación Física finalizada";
    const QStringList previous = {"1||" + kTwoHeaders, "1|FECHA_CIERRE|" + kPeriodMismatch};
    QTest::newRow("clean claims file")
        << "S202401.txt" << end << 1 << "INFORMACIÓN DE SINIESTROS VERDALIA" << QStringList();
    QTest::newRow("two headers, period of another month")
        << "P202402.txt" << end << 1 << "PRODUCCION VERDALIA" << previous;
    // Refusals keep the lists and the tab; the length refusal sets the title.
    QTest::newRow("wrong first letter")
        << "X202401.txt"
        << "critical|ERROR|Los archivos posibles comienzan con P, D o S" << 0
        << "PRODUCCION VERDALIA" << previous;
    QTest::newRow("short line")
        << "P202404.txt"
        << "critical|Atención|El archivo PRODUCCION VERDALIA en la fila 2 tiene un largo de "
           "fila incorrecto(5), debe ser 40."
        << 0 << "PRODUCCION VERDALIA" << previous;
  }

  void runsFillCaptionsListsAndMessages() {
    QFETCH(QString, file);
    QFETCH(QString, notice);
    QFETCH(int, tab);
    QFETCH(QString, title);
    QFETCH(QStringList, rows);
    WindowFixture f;
    WriteSamples(f);
    f.Started();
    if (!file.startsWith('S')) {
      f.RunPhysical("D202401.txt");
      f.RunPhysical("P202402.txt");
    }
    f.dialogs.shown.clear();
    f.Tabs()->setCurrentIndex(0);
    f.RunPhysical(file);

    QCOMPARE(f.dialogs.shown.size(), std::size_t{1});
    QCOMPARE(ShownText(f.dialogs.shown[0]), notice);
    QVERIFY2(!f.dialogs.shown[0].wait_cursor, "the hourglass is gone when the message shows");
    QCOMPARE(f.Tabs()->currentIndex(), tab);
    QCOMPARE(f.GridRows("grdResultadoFisico"), rows);
    QCOMPARE(f.GridRows("grdResultadoLogico"), QStringList());
    for (const QString list : {"lblValidacionFisica(%1)", "lblValidacionLogica(%1)"}) {
      QCOMPARE(f.Label(list.arg(0))->text(), title);
      QCOMPARE(f.Label(list.arg(3))->text(), file.startsWith('S') ? "202401" : "202402");
    }

    // The logical run names the file from the header's fixed positions, on both tabs.
    f.RunPhysical("S202401.txt");
    f.dialogs.shown.clear();
    f.Button("cmdValidacionLogica")->click();
    QCOMPARE(ShownText(f.dialogs.shown.at(0)),
             QStringLiteral("information|Verificar|Verificación Lógica finalizada"));
    QCOMPARE(f.Tabs()->currentIndex(), 2);
    for (const QString list : {"lblValidacionFisica(%1)", "lblValidacionLogica(%1)"}) {
      QCOMPARE(f.Label(list.arg(1))->text(), QStringLiteral("076543210-K"));
      QCOMPARE(f.Label(list.arg(2))->text(), QStringLiteral("AGRICOLA S/A"));
    }
  }

  void listsAreSavedUnderTheFileTheyCameFrom() {
    WindowFixture f;
    WriteSamples(f);
    f.Started();
    // Before any run there is nothing to save.
    f.Button("cmdGuardar(0)")->click();
    QCOMPARE(ShownText(f.dialogs.shown.back()),
             QStringLiteral("information|Atención|No hay un listado de errores que guardar."));

    f.RunPhysical("P202402.txt");
    const QString checked = QDir(f.DataFolder()).filePath("P202402.txt");
    QCOMPARE(f.Label("lblArchivo(0)")->text(), "Archivo: " + checked);
    QCOMPARE(f.Label("lblArchivo(1)")->text(), QStringLiteral("Ningún archivo verificado"));
    // Another file chosen, even another folder shown: the list stays the checked file's.
    f.ClickFile("P202401.txt");
    f.window().OpenFolder(QDir::rootPath());
    f.dialogs.shown.clear();
    f.Button("cmdGuardar(0)")->click();
    f.Button("cmdGuardar(1)")->click();
    QCOMPARE(f.dialogs.shown.size(), std::size_t{2});
    QCOMPARE(ShownText(f.dialogs.shown[0]),
             "information|Atención|El listado de errores se guardo en el archivo " + checked +
                 ".err.fisico");
    QCOMPARE(f.dialogs.shown[1].text, QStringLiteral("No hay un listado de errores que guardar."));
    QCOMPARE(f.Saved("P202402.txt.err.fisico"),
             QByteArray("1\t\tError.Existe m\xe1s de un registro tipo 1 en el archivo.\r\n"
                        "1\tFECHA_CIERRE\tError.El per\xedodo informado como parte del nombre del "
                        "archivo no coincide con la fecha de cierre\r\n"));
    QCOMPARE(f.Saved("P202401.txt.err.fisico"), QByteArray("(none)"));
    QCOMPARE(f.Saved(".err.fisico"), QByteArray("(none)"));

    // A longer list of an earlier run is replaced whole; the logical list once it is made.
    f.window().OpenFolder(f.DataFolder());
    f.RunPhysical("S202401.txt");
    f.Button("cmdValidacionLogica")->click();
    f.Write("S202401.txt.err.logico", std::string(400, 'x'));
    f.Button("cmdGuardar(1)")->click();
    QCOMPARE(f.Saved("S202401.txt.err.logico"), QByteArray());
  }

  void theLogicalRunChecksOnlyWhatThePhysicalRunPassed() {
    WindowFixture f;
    WriteSamples(f);
    f.Started();
    f.RunPhysical("S202401.txt");
    const QString path = QDir(f.DataFolder()).filePath("S202401.txt");
    // The same bytes written again: the file is not the one the physical run read.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    f.Write("S202401.txt", std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    QFile rewritten(path);
    QVERIFY(rewritten.open(QIODevice::ReadWrite));
    QVERIFY(rewritten.setFileTime(QDateTime::currentDateTime().addSecs(5),
                                  QFileDevice::FileModificationTime));
    rewritten.close();
    f.dialogs.shown.clear();
    f.Button("cmdValidacionLogica")->click();
    QCOMPARE(ShownText(f.dialogs.shown.at(0)),
             "critical|Atención|El archivo INFORMACIÓN DE SINIESTROS VERDALIA " + path +
                 " cambió después de la Verificación Física; realice de nuevo la Verificación "
                 "Física.");
    QVERIFY(!f.Button("cmdValidacionLogica")->isEnabled());
    QCOMPARE(f.GridRows("grdResultadoLogico"), QStringList());

    // Saving a physical list beside a logical list this check did not write says so.
    f.Write("S202401.txt.err.logico", "1\t\tError. De antes\r\n");
    f.RunPhysical("S202401.txt");
    f.dialogs.shown.clear();
    f.Button("cmdGuardar(0)")->click();
    QVERIFY(f.dialogs.shown.at(0).text.endsWith(
        "\n\nEl listado " + path +
        ".err.logico que está junto a él es de una verificación "
        "anterior."));
    // Once this check's logical list is saved, it is not.
    f.Button("cmdValidacionLogica")->click();
    f.Button("cmdGuardar(1)")->click();
    f.dialogs.shown.clear();
    f.Button("cmdGuardar(0)")->click();
    QCOMPARE(f.dialogs.shown.at(0).text,
             "El listado de errores se guardo en el archivo " + path + ".err.fisico");

    // So does saving the logical list beside a physical list of an earlier check.
    f.RunPhysical("S202401.txt");
    f.Button("cmdValidacionLogica")->click();
    f.dialogs.shown.clear();
    f.Button("cmdGuardar(1)")->click();
    QVERIFY(f.dialogs.shown.at(0).text.endsWith("\n\nEl listado " + path +
                                                ".err.fisico que está junto a él es de una "
                                                "verificación anterior."));
    f.Button("cmdGuardar(0)")->click();
    f.dialogs.shown.clear();
    f.Button("cmdGuardar(1)")->click();
    QCOMPARE(f.dialogs.shown.at(0).text,
             "El listado de errores se guardo en el archivo " + path + ".err.logico");
  }

  void savingToAFolderThatCannotBeWrittenSaysWhy() {
    WindowFixture f;
    WriteSamples(f);
    f.Started();
    f.RunPhysical("P202401.txt");
    const QString path = QDir(f.DataFolder()).filePath("P202401.txt.err.fisico");
    QVERIFY(QDir().mkdir(path)); // a folder holds the list's name
    f.dialogs.shown.clear();
    f.Button("cmdGuardar(0)")->click();
    QCOMPARE(ShownText(f.dialogs.shown.at(0)),
             "critical|Atención|No se pudo guardar el listado de errores en el archivo " + path +
                 ": no es un archivo regular");
    QVERIFY(QFileInfo(path).isDir());
  }

  // Under the record, what the check read and expected; a repeat's other record is a link.
  void aFindingSaysWhatWasReadAndLinksTheOtherRecord() {
    {
      // The shipped database: a sample whose record 14 has a wrong check digit.
      WindowFixture f;
      QVERIFY(QFile::copy(QStringLiteral(VERDALIA_SOURCE_DIR "/samples/P202402.txt"),
                          QDir(f.DataFolder()).filePath("P202402.txt")));
      ValidatorWindow &window = f.NewWindow();
      QVERIFY(window.Start(QStringLiteral(VERDALIA_REFERENCE_DB)));
      window.OpenFolder(f.DataFolder());
      window.show();
      f.RunPhysical("P202402.txt");
      auto *grid = window.findChild<ResultGrid *>("grdResultadoFisico");
      auto *viewer = window.findChild<RecordViewer *>("visorRegistro(0)");
      QVERIFY(grid->SelectListRow(RowNaming(f.window().Rows(0), 14, "VER_CONTRATANTE")));
      QCOMPARE(viewer->DetailText(),
               QStringLiteral("Leído: «7» (posición 210, largo 1) · Esperado: «3»"));
      QVERIFY(viewer->Detail()->isVisibleTo(&window));
    }
    // Three notices of one key: each but the last repeats the next.
    WindowFixture f;
    WriteSamples(f);
    ValidatorWindow &window = f.Started();
    f.RunPhysical("D202401.txt");
    f.Button("cmdValidacionLogica")->click();
    auto *grid = window.findChild<ResultGrid *>("grdResultadoLogico");
    auto *viewer = window.findChild<RecordViewer *>("visorRegistro(1)");
    const verdalia::ResultList &rows = window.Rows(1);
    QVERIFY(grid->SelectListRow(RowNaming(rows, 2, "NUMERO_SINIESTRO+NUMERO_POLIZA")));
    QCOMPARE(viewer->DetailText(), QStringLiteral("Otro registro: 3"));
    // The link selects the other record's first row, shown again when a filter hid it.
    window.findChild<QLineEdit *>("txtFiltro(1)")->setText("nada de esto");
    emit viewer->Detail()->linkActivated(QStringLiteral("#3"));
    QCOMPARE(rows[grid->SelectedRows().at(0)].record, 3);
    QCOMPARE(viewer->RecordText().size(), kNoticeLength);
    // A record no row names (here the header) is shown alone.
    emit viewer->Detail()->linkActivated(QStringLiteral("#1"));
    QVERIFY(grid->SelectedRows().empty());
    QCOMPARE(viewer->Caption(), QStringLiteral("Registro 1 (ninguna fila de la lista lo nombra)"));
  }

  // A value as long as a filler of the shipped layouts (301 columns of the header), with no
  // blank to wrap at, neither widens the window nor hides where it stands.
  void aLongValueNeverWidensTheWindow() {
    WindowFixture f;
    QFile sample(QStringLiteral(VERDALIA_SOURCE_DIR "/samples/P202402.txt"));
    QVERIFY(sample.open(QIODevice::ReadOnly));
    QByteArray bytes = sample.readAll();
    bytes.replace(99, 301, QByteArray(301, '0')); // the header's filler, columns 100 to 400
    f.Write("P202402.txt", bytes.toStdString());
    ValidatorWindow &window = f.NewWindow();
    QVERIFY(window.Start(QStringLiteral(VERDALIA_REFERENCE_DB)));
    window.OpenFolder(f.DataFolder());
    window.resize(1000, 700);
    window.show();
    f.RunPhysical("P202402.txt");
    auto *grid = window.findChild<ResultGrid *>("grdResultadoFisico");
    auto *viewer = window.findChild<RecordViewer *>("visorRegistro(0)");
    QVERIFY(grid->SelectListRow(RowNaming(f.window().Rows(0), 1, "FILLER")));
    QApplication::processEvents();
    QCOMPARE(window.width(), 1000);
    QVERIFY(window.minimumSizeHint().width() < 1000);
    QVERIFY(viewer->DetailText().startsWith("Leído: «" + QString(80, '0') +
                                            "…» (posición 100, largo 301)"));
    QVERIFY(grid->model()
                ->index(grid->SelectedRows().at(0), 2)
                .data(Qt::ToolTipRole)
                .toString()
                .contains("…» (posición 100, largo 301)"));
  }

  void gridColumnsCopyAndKeepTheWidthsTheOperatorSets() {
    WindowFixture f;
    WriteSamples(f);
    f.Started();
    f.RunPhysical("P202402.txt");
    auto *grid = f.window().findChild<ResultGrid *>("grdResultadoFisico");
    // The message's tooltip adds what the check read and expected.
    QCOMPARE(grid->model()->index(1, 2).data(Qt::ToolTipRole).toString(),
             kPeriodMismatch + "<br>Leído: «202401» (posición 2, largo 6) · Esperado: «202402»");
    QVERIFY(!(grid->model()->index(0, 0).flags() & Qt::ItemIsEditable));

    // The proportions 6 : 20.5 : 50.5 until the operator sets a width.
    grid->resize(1540, 300);
    QVERIFY(std::abs(grid->columnWidth(1) - 20.5 * grid->viewport()->width() / 77.0) <= 1);
    grid->horizontalHeader()->resizeSection(1, 150);
    grid->resize(1200, 300);
    QCOMPARE(grid->columnWidth(1), 150);
    emit grid->horizontalHeader()->sectionHandleDoubleClicked(1);
    QVERIFY(std::abs(grid->columnWidth(1) - 20.5 * grid->viewport()->width() / 77.0) <= 1);

    grid->setFocus();
    grid->selectAll();
    QApplication::clipboard()->clear();
    QTest::keySequence(grid, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(),
             "1\t\t" + kTwoHeaders + "\n1\tFECHA_CIERRE\t" + kPeriodMismatch + "\n");
  }

  void summaryGroupsAndFiltersTheList() {
    WindowFixture f;
    WriteSamples(f);
    f.Started();
    f.RunPhysical("D202401.txt");
    f.Button("cmdValidacionLogica")->click();
    QCOMPARE(f.Label("lblTotales(1)")->text(), QStringLiteral("2 errores, 3 advertencias"));
    auto *groups = f.window().findChild<QTreeWidget *>("lstGrupos(1)");
    QStringList shown;
    for (int i = 0; i < groups->topLevelItemCount(); ++i) {
      const QTreeWidgetItem *item = groups->topLevelItem(i);
      shown << QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}.join('|');
    }
    QCOMPARE(shown, QStringList({"(todas las filas)||5|",
                                 "NUMERO_SINIESTRO+NUMERO_POLIZA|" + kRepeated + "|2|2",
                                 "PROVISION|" + kNoProvision + "|3|2"}));

    // A click on a group shows its rows alone, and a copy copies what is shown.
    const auto click = [&](int item) {
      QTest::mouseClick(groups->viewport(), Qt::LeftButton, {},
                        groups->visualItemRect(groups->topLevelItem(item)).center());
    };
    click(2);
    QCOMPARE(f.GridRows("grdResultadoLogico"),
             QStringList({"2|PROVISION|" + kNoProvision, "3|PROVISION|" + kNoProvision,
                          "4|PROVISION|" + kNoProvision}));
    // The text filter narrows what the group shows, case aside; all rows come back after.
    QCOMPARE(f.Label("lblFilas(1)")->text(), QStringLiteral("3 de 5 filas"));
    QTest::keyClicks(f.window().findChild<QLineEdit *>("txtFiltro(1)"), "4");
    QCOMPARE(f.GridRows("grdResultadoLogico"), QStringList({"4|PROVISION|" + kNoProvision}));
    QCOMPARE(f.Label("lblFilas(1)")->text(), QStringLiteral("1 de 5 filas"));
    f.window().findChild<QLineEdit *>("txtFiltro(1)")->setText("provision");
    QCOMPARE(f.GridRows("grdResultadoLogico").size(), 3);
    click(0);
    f.window().findChild<QLineEdit *>("txtFiltro(1)")->clear();
    QCOMPARE(f.GridRows("grdResultadoLogico").size(), 5);
    QCOMPARE(f.Label("lblFilas(1)")->text(), QString());

    // Warnings read apart from errors, and can be left out.
    auto *grid = f.window().findChild<ResultGrid *>("grdResultadoLogico");
    QCOMPARE(grid->model()->index(1, 2).data(Qt::ForegroundRole).value<QColor>(), WarningColour());
    QVERIFY(!grid->model()->index(0, 2).data(Qt::ForegroundRole).isValid());
    f.window().findChild<QCheckBox *>("chkSoloErrores(1)")->setChecked(true);
    QCOMPARE(f.GridRows("grdResultadoLogico"),
             QStringList({"2|NUMERO_SINIESTRO+NUMERO_POLIZA|" + kRepeated,
                          "3|NUMERO_SINIESTRO+NUMERO_POLIZA|" + kRepeated}));
    QCOMPARE(f.Label("lblFilas(1)")->text(), QStringLiteral("2 de 5 filas"));

    // A first click on "Filas" orders the groups from the largest; every row stays first.
    QTest::mouseClick(groups->header()->viewport(), Qt::LeftButton, {},
                      QPoint(groups->header()->sectionViewportPosition(2) + 5, 5));
    QCOMPARE(groups->topLevelItem(0)->text(0), QStringLiteral("(todas las filas)"));
    QCOMPARE(groups->topLevelItem(1)->text(0), QStringLiteral("PROVISION"));
  }

  void theGridSortsByAColumnAndKeepsTheListOrderForTies() {
    WindowFixture f;
    WriteSamples(f);
    f.Started();
    f.RunPhysical("D202401.txt");
    f.Button("cmdValidacionLogica")->click();
    auto *grid = f.window().findChild<ResultGrid *>("grdResultadoLogico");
    const auto records = [&] {
      QStringList shown;
      for (const QString &row : f.GridRows("grdResultadoLogico")) {
        shown << row.section('|', 0, 1);
      }
      return shown.join(' ');
    };
    grid->sortByColumn(1, Qt::AscendingOrder);
    QCOMPARE(records(), QStringLiteral("2|NUMERO_SINIESTRO+NUMERO_POLIZA "
                                       "3|NUMERO_SINIESTRO+NUMERO_POLIZA 2|PROVISION 3|PROVISION "
                                       "4|PROVISION"));
    grid->sortByColumn(0, Qt::DescendingOrder);
    QCOMPARE(records(), QStringLiteral("4|PROVISION 3|NUMERO_SINIESTRO+NUMERO_POLIZA 3|PROVISION "
                                       "2|NUMERO_SINIESTRO+NUMERO_POLIZA 2|PROVISION"));
    // A filter keeps the order; the record number is text to it too.
    f.window().findChild<QLineEdit *>("txtFiltro(1)")->setText("3");
    QCOMPARE(records(), QStringLiteral("3|NUMERO_SINIESTRO+NUMERO_POLIZA 3|PROVISION"));
    grid->sortByColumn(-1, Qt::AscendingOrder);
    QCOMPARE(records(), QStringLiteral("3|NUMERO_SINIESTRO+NUMERO_POLIZA 3|PROVISION"));
    // Selecting a row shows its own record, whatever the order.
    grid->sortByColumn(0, Qt::DescendingOrder);
    grid->setCurrentIndex(grid->model()->index(1, 0));
    QVERIFY(f.window()
                .findChild<RecordViewer *>("visorRegistro(1)")
                ->Caption()
                .startsWith("Registro 3 · PROVISION"));
  }

  void aListNoRunMadeCannotBePrinted() {
    WindowFixture f;
    WriteSamples(f);
    f.Started();
    const QString none =
        QStringLiteral("information|Atención|No hay un listado de errores que imprimir.");
    for (const int index : {0, 1}) {
      f.dialogs.shown.clear();
      f.Button(QStringLiteral("cmdImprimir(%1)").arg(index))->click();
      QCOMPARE(f.dialogs.shown.size(), std::size_t{1});
      QCOMPARE(ShownText(f.dialogs.shown[0]), none);
      QVERIFY(!f.window().MakePreview(index));
    }
    // A physical list with errors lets no logical list be made: there is none to print.
    f.RunPhysical("P202402.txt");
    f.dialogs.shown.clear();
    f.Button("cmdImprimir(1)")->click();
    QCOMPARE(ShownText(f.dialogs.shown.at(0)), none);
    QVERIFY(f.window().MakePreview(0));
    QVERIFY(!f.window().MakePreview(1));
  }

  void aRefusedRunLeavesEachListWithTheCaptionsOfItsFile() {
    WindowFixture f;
    WriteSamples(f);
    f.Write("D202402.txt", File({Header("20240229", kNoticeLength), Line("2"), Line("3")}));
    f.Started();
    f.RunPhysical("S202401.txt");
    f.Button("cmdValidacionLogica")->click();
    f.dialogs.shown.clear();
    f.RunPhysical("D202402.txt");
    QCOMPARE(f.dialogs.shown.at(0).kind, QStringLiteral("critical"));
    for (const QString list : {"lblValidacionFisica(%1)", "lblValidacionLogica(%1)"}) {
      QCOMPARE(f.Label(list.arg(0))->text(), QStringLiteral("INFORMACIÓN DE SINIESTROS VERDALIA"));
      QCOMPARE(f.Label(list.arg(1))->text(), QStringLiteral("076543210-K"));
      QCOMPARE(f.Label(list.arg(3))->text(), QStringLiteral("202401"));
    }
    QVERIFY(f.Label("lblArchivo(1)")->text().endsWith("S202401.txt"));
    // The next check that is not refused names its file above both lists.
    f.RunPhysical("P202401.txt");
    QCOMPARE(f.Label("lblValidacionLogica(0)")->text(), QStringLiteral("PRODUCCION VERDALIA"));
    QCOMPARE(f.Label("lblArchivo(1)")->text(), QStringLiteral("Ningún archivo verificado"));
  }

  void theWindowFitsANarrowScreenWhateverItShows() {
    WindowFixture f;
    // A folder path of some 180 characters, an insurer's name of 60.
    QString deep = f.DataFolder();
    while (deep.size() < 180) {
      deep += QStringLiteral("/carpeta_de_datos_de_la_aseguradora");
    }
    QVERIFY(QDir().mkpath(deep));
    const QString name =
        QStringLiteral("COMPANIA DE SEGUROS GENERALES Y REASEGUROS LA CAMPINA S A");
    QFile file(deep + "/P202401.txt");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(
        File({Line("120240131076543210K" + name.toStdString()), Line("9"), Line("4")})));
    file.close();
    ValidatorWindow &window = f.Started();
    QVERIFY(window.OpenFolder(deep));
    f.RunPhysical("P202401.txt");
    auto *grid = window.findChild<ResultGrid *>("grdResultadoFisico");
    grid->setCurrentIndex(grid->model()->index(0, 0));
    for (int tab = 0; tab < 3; ++tab) {
      f.Tabs()->setCurrentIndex(tab);
      QVERIFY2(window.minimumSizeHint().width() <= 800,
               qPrintable(QString::number(window.minimumSizeHint().width())));
      QVERIFY2(window.minimumSizeHint().height() <= 520,
               qPrintable(QString::number(window.minimumSizeHint().height())));
    }
    window.resize(800, 560);
    auto *path = window.findChild<ElidedLabel *>("lblArchivo(0)");
    QVERIFY(path->Elided());
    QCOMPARE(path->toolTip(), "Archivo: " + deep + "/P202401.txt");
    const auto preview = window.MakePreview(0);
    QVERIFY(preview->minimumSizeHint().width() <= 800);
  }

  void theRecordOfARowLightsTheFieldsItNames() {
    WindowFixture f;
    WriteSamples(f);
    f.Started();
    f.RunPhysical("P202402.txt");
    auto *grid = f.window().findChild<ResultGrid *>("grdResultadoFisico");
    auto *viewer = f.window().findChild<RecordViewer *>("visorRegistro(0)");
    grid->setCurrentIndex(grid->model()->index(1, 0));
    QCOMPARE(viewer->Caption(), QStringLiteral("Registro 1 · FECHA_CIERRE: posición 2, largo 8"));
    QCOMPARE(viewer->RecordText(), QString::fromStdString(Header("20240131")));
    QCOMPARE(viewer->Highlights(), (std::vector<std::pair<int, int>>{{1, 9}}));
    grid->setCurrentIndex(grid->model()->index(0, 0));
    QVERIFY(viewer->Highlights().empty());

    // A logical row naming two fields lights both, in the logical list's own file.
    f.RunPhysical("D202401.txt");
    f.Button("cmdValidacionLogica")->click();
    auto *logical = f.window().findChild<ResultGrid *>("grdResultadoLogico");
    auto *below = f.window().findChild<RecordViewer *>("visorRegistro(1)");
    logical->setCurrentIndex(logical->model()->index(0, 0));
    QCOMPARE(below->Caption(), QStringLiteral("Registro 2 · NUMERO_SINIESTRO: posición 2, largo "
                                              "15 · NUMERO_POLIZA: posición 32, largo 15"));
    QCOMPARE(below->Highlights(), (std::vector<std::pair<int, int>>{{1, 16}, {31, 46}}));
  }

  void droppedDataFileIsSelected() {
    WindowFixture f;
    WriteSamples(f);
    f.Started();
    const QString elsewhere = QDir(f.DataFolder()).filePath("otra");
    QDir().mkpath(elsewhere);
    QFile::copy(QDir(f.DataFolder()).filePath("P202401.txt"), elsewhere + "/P202401.txt");
    f.RunPhysical("P202401.txt");
    const auto drop = [&](const QString &path) {
      QMimeData mime;
      mime.setUrls({QUrl::fromLocalFile(path)});
      const QPoint at = f.window().rect().center();
      QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
      QApplication::sendEvent(&f.window(), &enter);
      QDropEvent event(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
      return enter.isAccepted() && QApplication::sendEvent(&f.window(), &event) &&
             event.isAccepted();
    };
    QVERIFY(!drop(QDir(f.DataFolder()).filePath("notes.txt")));
    QVERIFY(drop(elsewhere + "/P202401.txt"));
    QCOMPARE(f.Files()->selectedItems().first()->text(), QStringLiteral("P202401.txt"));
    QCOMPARE(DirShown(f.window()), elsewhere);
    QVERIFY(!f.Button("cmdValidacionLogica")->isEnabled());
  }

  // Last: from here on Qt speaks Spanish in this process.
  void qtsOwnTextsAreSpanishToo() {
    QVERIFY2(InstallSpanishQtTexts(), "qt6-translations-l10n is needed: scripts/install-deps.sh");
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Sí"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&No"), QStringLiteral("&No"));
    QCOMPARE(QCoreApplication::translate("QFileDialog", "&Save"), QStringLiteral("&Guardar"));
  }
};

QTEST_MAIN(ValidatorWindowTest)
#include "test_validator_window.moc"
