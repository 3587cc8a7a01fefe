#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include "app/list_painter.h"
#include "app/preview_window.h"
#include "common/windows1252.h"
#include "window_fixture.h"

using namespace verdalia::app;
using namespace verdalia::app::testing;

namespace {

// The text of some pages of a PDF file, laid out as printed.
QString PdfText(const QString &pdf, int first, int last) {
  QProcess process;
  process.start(QStringLiteral("pdftotext"),
                {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(first),
                 QStringLiteral("-l"), QString::number(last), pdf, QStringLiteral("-")});
  if (!process.waitForFinished(30000) || process.exitCode() != 0) {
    qWarning("pdftotext failed: %s", process.readAllStandardError().constData());
    return {};
  }
  return QString::fromUtf8(process.readAllStandardOutput());
}

QString PdfInfo(const QString &pdf, const QString &tool = QStringLiteral("pdfinfo")) {
  QProcess process;
  process.start(tool, {pdf});
  process.waitForFinished(30000);
  return QString::fromUtf8(process.readAllStandardOutput());
}

// Lines of text, blanks between the parts of a line squeezed to one.
QStringList Lines(const QString &text) {
  QStringList lines;
  for (const QString &line : text.split(QLatin1Char('\n'))) {
    lines << line.simplified();
  }
  return lines;
}

int PageCount(const QString &pdf) {
  for (const QString &line : PdfInfo(pdf).split('\n')) {
    if (line.startsWith("Pages:")) {
      return line.mid(6).trimmed().toInt();
    }
  }
  return 0;
}

// A production file with many records of an unknown type: one row each, enough for pages.
std::string ManyRowsFile(int records) {
  std::vector<std::string> lines = {Header("20240331")};
  for (int k = 0; k < records; ++k) {
    lines.push_back(Line("9"));
  }
  lines.push_back(Line("4"));
  return File(lines);
}

} // namespace

class PrintPreviewTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
      QFAIL("pdftotext (poppler-utils) is needed: scripts/install-deps.sh installs it");
    }
  }

  void headerCodesNameTheList_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("list");
    QTest::newRow("physical") << 0 << "Física";
    QTest::newRow("logical") << 1 << "Lógica";
  }

  void headerCodesNameTheList() {
    QFETCH(int, index);
    QFETCH(QString, list);
    WindowFixture f;
    f.Write("S202401.txt", File({Header("20240131"), Line("4")}));
    f.Started();
    f.RunPhysical("S202401.txt");
    f.Button("cmdValidacionLogica")->click();
    const auto preview = f.window().MakePreview(index);
    QCOMPARE(QString::fromStdString(verdalia::Windows1252ToUtf8(preview->HeaderCodes())),
             "/cResultado validación " + list +
                 "/n/c/fb1INFORMACIÓN DE SINIESTROS VERDALIA/fb0/n/lRUT: 076543210-K"
                 "/rPágina:/p/n/lRazón Social: AGRICOLA S/A/rFecha:" +
                 QString::fromStdString(TodayText()) + "/n/lPeríodo: 202401/n/n");
    QCOMPARE(preview->windowTitle(), QStringLiteral("Vista Preliminar"));
    QCOMPARE(preview->objectName(), QStringLiteral("frmPreview"));
  }

  void exportedPagesCarryTheHeaderOnEveryPage() {
    WindowFixture f;
    f.Write("P202403.txt", ManyRowsFile(150));
    f.Started();
    f.RunPhysical("P202403.txt");
    const auto preview = f.window().MakePreview(0);
    const QString pdf = QDir(f.DataFolder()).filePath("listado.pdf");
    f.dialogs.save_answer = QDir(f.DataFolder()).filePath("listado"); // ".pdf" is added
    QVERIFY(preview->ExportPdf());
    QCOMPARE(f.dialogs.last_suggestion,
             QDir(f.DataFolder()).filePath("P202403.txt.err.fisico.pdf"));
    QCOMPARE(f.dialogs.shown.back().text, "El listado se exportó al archivo " + pdf);

    const int pages = PageCount(pdf);
    QVERIFY2(pages >= 2, "150 rows need more than one page");
    QVERIFY(PdfInfo(pdf).contains(QStringLiteral("Title:           Impresión Validador")));
    QVERIFY(PdfInfo(pdf, QStringLiteral("pdffonts")).contains(QStringLiteral("Bold")));
    const QString row = "Error.Tipo de registro no es válido. No se puede validar.";
    const QString date = QString::fromStdString(TodayText());
    const QString rut = f.Label("lblValidacionFisica(1)")->text();
    const QString name = f.Label("lblValidacionFisica(2)")->text();
    int rows = 0;
    for (int page = 1; page <= pages; ++page) {
      const QStringList lines = Lines(PdfText(pdf, page, page));
      QVERIFY(lines.size() > 8);
      const QStringList expected_header = {
          "Resultado validación Física",
          "PRODUCCION VERDALIA",
          ("RUT: " + rut + " Página:" + QString::number(page)).simplified(),
          ("Razón Social: " + name + " Fecha:" + date).simplified(),
          "Período: 202403",
          "",
      };
      QCOMPARE(lines.mid(0, 6), expected_header);
      // The first heading wraps ("Nro." above "Registro"); the others share one line.
      QVERIFY(lines.contains("Nro.") && lines.contains("Registro"));
      QVERIFY(lines.contains("Campo Descripción Error/Advertencia"));
      QVERIFY(lines.contains("Verdalia"));
      for (const QString &line : lines) {
        rows += line.endsWith(row) ? 1 : 0;
      }
    }
    QCOMPARE(rows, 150);
  }

  void printingAsksFirst_data() {
    QTest::addColumn<bool>("answer");
    QTest::newRow("no prints nothing") << false;
    QTest::newRow("yes prints the list") << true;
  }

  void printingAsksFirst() {
    QFETCH(bool, answer);
    WindowFixture f;
    f.Write("P202403.txt", ManyRowsFile(3));
    const QString output = QDir(f.DataFolder()).filePath("impreso.pdf");
    f.Started();
    int printers = 0;
    f.window().SetPrinterFactory([&] {
      ++printers;
      auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
      printer->setOutputFormat(QPrinter::PdfFormat);
      printer->setOutputFileName(output);
      return printer;
    });
    f.RunPhysical("P202403.txt");
    const auto preview = f.window().MakePreview(0);
    f.dialogs.shown.clear();
    f.dialogs.answer = answer;
    preview->findChild<QPushButton *>(QStringLiteral("cmdImprimir"))->click();

    QCOMPARE(f.dialogs.shown.size(), std::size_t{1});
    const ShownDialog &box = f.dialogs.shown[0];
    QCOMPARE(box.kind + "|" + box.title + "|" + box.text,
             QStringLiteral("question|IMPRIMIR|¿Esta seguro que desea imprimir.?"));
    QCOMPARE(printers, answer ? 1 : 0);
    QCOMPARE(QFile::exists(output), answer);
    if (answer) {
      // The job's name is the document's title.
      QVERIFY(PdfInfo(output).contains(QStringLiteral("Title:           Impresión Validador")));
      QVERIFY(PdfText(output, 1, 1).contains("Página:1"));
    }
  }

  void abortingStopsAfterThePageInPrint() {
    verdalia::ResultList rows(300, verdalia::ResultRow{7, "CAMPO", "Error.Uno"});
    const ListPainter painter(verdalia::PrintHeaderText({"F", "T", "R", "N", "P", "01/01/2024"}),
                              rows);
    WindowFixture f;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QDir(f.DataFolder()).filePath("abortado.pdf"));
    std::vector<std::pair<int, int>> reported;
    const bool printed = painter.Paint(printer, [&](int page, int pages) {
      reported.emplace_back(page, pages);
      return page < 2;
    });
    QVERIFY(!printed);
    QCOMPARE(reported.size(), std::size_t{2});
    QVERIFY(reported[0].second > 2);
  }

  void withoutAPrinterNothingIsPrinted() {
    WindowFixture f;
    f.Write("P202403.txt", ManyRowsFile(1));
    f.Started();
    f.window().SetPrinterFactory([] { return std::unique_ptr<QPrinter>(); });
    f.RunPhysical("P202403.txt");
    const auto preview = f.window().MakePreview(0);
    f.dialogs.shown.clear();
    QVERIFY(!preview->Print());
    QCOMPARE(f.dialogs.shown.size(), std::size_t{2});
    QCOMPARE(f.dialogs.shown[1].kind + "|" + f.dialogs.shown[1].title,
             QStringLiteral("critical|Atención"));
  }

  void exportToAFolderThatIsGoneSaysWhy() {
    WindowFixture f;
    f.Write("P202403.txt", ManyRowsFile(1));
    f.Started();
    f.RunPhysical("P202403.txt");
    const auto preview = f.window().MakePreview(0);
    const QString path = QDir(f.DataFolder()).filePath("no-such/listado.pdf");
    f.dialogs.shown.clear();
    QVERIFY(!preview->ExportPdfTo(path));
    QCOMPARE(f.dialogs.shown.size(), std::size_t{1});
    QVERIFY(f.dialogs.shown[0].text.startsWith("No se pudo exportar el listado al archivo " + path +
                                               ": "));
    QVERIFY(!QFile::exists(path));
  }

  void printButtonOpensTheModalPreview() {
    WindowFixture f;
    f.Write("P202403.txt", ManyRowsFile(1));
    f.Started();
    f.RunPhysical("P202403.txt");
    QString seen;
    QTimer::singleShot(0, [&] {
      QWidget *modal = QApplication::activeModalWidget();
      if (modal) {
        seen = modal->objectName() + "|" + modal->windowTitle();
        modal->close();
      }
    });
    f.Button("cmdImprimir(0)")->click();
    QCOMPARE(seen, QStringLiteral("frmPreview|Vista Preliminar"));
  }
};

QTEST_MAIN(PrintPreviewTest)
#include "test_print_preview.moc"
