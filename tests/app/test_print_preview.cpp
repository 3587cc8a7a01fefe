#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
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

// A page header of one-letter labels.
verdalia::PrintHeaderInputs AnyHeader() {
  using verdalia::Cp1252Text;
  return {Cp1252Text("F"), Cp1252Text("T"), Cp1252Text("R"),
          Cp1252Text("N"), Cp1252Text("P"), Cp1252Text("01/01/2024")};
}

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

QString ShownText(const ShownDialog &d) {
  return d.kind + "|" + d.title + "|" + d.text;
}

int PageCount(const QString &pdf) {
  for (const QString &line : PdfInfo(pdf).split('\n')) {
    if (line.startsWith("Pages:")) {
      return line.mid(6).trimmed().toInt();
    }
  }
  return 0;
}

// Pages painted into pictures, one after the other, to look at what a painter draws.
class PicturePages : public QPagedPaintDevice {
public:
  PicturePages() : QPagedPaintDevice(nullptr), image(600, 800, QImage::Format_RGB32) {
    image.fill(Qt::white);
  }
  bool newPage() override {
    image.fill(Qt::white);
    return true;
  }
  QPaintEngine *paintEngine() const override { return image.paintEngine(); }
  QImage image;

protected:
  int metric(PaintDeviceMetric metric) const override {
    switch (metric) {
    case PdmWidth:
      return image.width();
    case PdmHeight:
      return image.height();
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
      return 72;
    default:
      return QPagedPaintDevice::metric(metric);
    }
  }
};

// A production file with many records of an unknown type: one row each, enough for pages. Its
// insurer's name reads like header codes.
std::string ManyRowsFile(int records) {
  std::vector<std::string> lines = {Line("120240331076543210KAGRO /n/c S/A /p")};
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

  void exportedPagesCarryTheHeaderOnEveryPageAndTheSummaryFirst() {
    WindowFixture f;
    f.Write("P202403.txt", ManyRowsFile(150));
    f.Started();
    f.RunPhysical("P202403.txt");
    const auto preview = f.window().MakePreview(0);
    const QString pdf = QDir(f.DataFolder()).filePath("listado.pdf");
    f.dialogs.save_answer = QDir(f.DataFolder()).filePath("listado"); // ".pdf" is added
    preview->findChild<QCheckBox *>("chkResumen")->setChecked(true);
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
    int rows = 0;
    for (int page = 1; page <= pages; ++page) {
      const QStringList lines = Lines(PdfText(pdf, page, page));
      // The name is printed as it stands, slash and all.
      const QStringList expected_header = {
          "Resultado validación Física",
          "PRODUCCION VERDALIA",
          ("RUT: 076543210-K Página:" + QString::number(page)),
          ("Razón Social: AGRO /n/c S/A /p Fecha:" + date),
          "Período: 202403",
          "",
      };
      QCOMPARE(lines.mid(0, 6), expected_header);
      QVERIFY(lines.contains("Verdalia"));
      for (const QString &line : lines) {
        rows += line.endsWith(row) ? 1 : 0;
      }
      if (page == 1) {
        // The summary comes first: one group of 150 rows from record 2, then the list.
        QVERIFY(lines.contains("Filas Campo Descripción Error/Advertencia (primer registro)"));
        QVERIFY(lines.contains("150 Error.Tipo de registro no es válido. No se puede validar. "
                               "(registro 2)"));
        QVERIFY(lines.contains("Campo Descripción Error/Advertencia"));
      }
    }
    QCOMPARE(rows, 150);
  }

  void aRefusedRunLeavesThePrintedHeaderToTheListsFile() {
    WindowFixture f;
    f.Write("S202401.txt", File({Header("20240131"), Line("4")}));
    f.Write("D202402.txt", File({Header("20240229", kNoticeLength), Line("2"), Line("3")}));
    f.Started();
    f.RunPhysical("S202401.txt");
    f.Button("cmdValidacionLogica")->click();
    f.RunPhysical("D202402.txt"); // refused: a short line
    const auto preview = f.window().MakePreview(1);
    const QString pdf = QDir(f.DataFolder()).filePath("logico.pdf");
    QVERIFY(preview->ExportPdfTo(pdf));
    const QStringList lines = Lines(PdfText(pdf, 1, 1));
    QCOMPARE(lines.mid(0, 3),
             QStringList({"Resultado validación Lógica", "INFORMACIÓN DE SINIESTROS VERDALIA",
                          "RUT: 076543210-K Página:1"}));
    QCOMPARE(lines.at(4), QStringLiteral("Período: 202401"));
  }

  void theTablesFrameStaysInsideThePage() {
    const verdalia::ResultList rows(3, verdalia::ResultRow{7, "CAMPO", "Error.Uno"});
    const ListPainter painter(verdalia::PrintHeaderLines(AnyHeader()), rows);
    PicturePages pages;
    QVERIFY(painter.Paint(pages));
    // Along the table's right edge the frame's rule shows within the picture's last columns.
    int ruled = 0;
    for (int y = 0; y < pages.image.height(); ++y) {
      ruled += qGray(pages.image.pixel(pages.image.width() - 1, y)) < 200 ? 1 : 0;
    }
    QVERIFY2(ruled > 30, qPrintable(QString::number(ruled)));
  }

  void pagesAreReachedByButtonsKeysAndNumber() {
    WindowFixture f;
    f.Write("P202403.txt", ManyRowsFile(300));
    f.Started();
    f.RunPhysical("P202403.txt");
    const auto preview = f.window().MakePreview(0);
    preview->show();
    const int pages = preview->PageCount();
    QVERIFY(pages >= 4);
    const auto button = [&](const char *name) {
      preview->findChild<QPushButton *>(name)->click();
      return preview->CurrentPage();
    };
    QCOMPARE(button("cmdUltima"), pages);
    QCOMPARE(button("cmdAnterior"), pages - 1);
    QCOMPARE(button("cmdPrimera"), 1);
    QCOMPARE(button("cmdAnterior"), 1);
    QCOMPARE(button("cmdSiguiente"), 2);
    auto *number = preview->findChild<QSpinBox *>("txtPagina");
    QCOMPARE(number->value(), 2);
    number->setValue(3);
    emit number->editingFinished();
    QCOMPARE(preview->CurrentPage(), 3);
    QApplication::setActiveWindow(preview.get());
    QTest::keyClick(preview.get(), Qt::Key_End);
    QCOMPARE(preview->CurrentPage(), pages);
  }

  void printingAsksThenTheDialogChoosesThePages_data() {
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("dialog");
    QTest::addColumn<int>("printed_pages"); // 0: nothing printed
    QTest::newRow("no prints nothing") << false << true << 0;
    QTest::newRow("the dialog cancelled prints nothing") << true << false << 0;
    QTest::newRow("pages 2 to 3 of the dialog") << true << true << 2;
  }

  void printingAsksThenTheDialogChoosesThePages() {
    QFETCH(bool, answer);
    QFETCH(bool, dialog);
    QFETCH(int, printed_pages);
    WindowFixture f;
    f.Write("P202403.txt", ManyRowsFile(300));
    const QString output = QDir(f.DataFolder()).filePath("impreso.pdf");
    f.Started();
    f.window().SetPrinterFactory([&] {
      auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
      printer->setOutputFormat(QPrinter::PdfFormat);
      printer->setOutputFileName(output);
      return printer;
    });
    f.RunPhysical("P202403.txt");
    const auto preview = f.window().MakePreview(0);
    f.dialogs.shown.clear();
    f.dialogs.answer = answer;
    f.dialogs.print_answer = dialog;
    f.dialogs.choose = [](QPrinter &printer) {
      printer.setPrintRange(QPrinter::PageRange);
      printer.setFromTo(2, 3);
    };
    preview->findChild<QPushButton *>("cmdImprimir")->click();

    QCOMPARE(ShownText(f.dialogs.shown.at(0)),
             QStringLiteral("question|IMPRIMIR|¿Esta seguro que desea imprimir.?"));
    QCOMPARE(f.dialogs.shown.size(), std::size_t{answer ? 2u : 1u}); // then the printer's
    QCOMPARE(QFile::exists(output), printed_pages > 0);
    if (printed_pages > 0) {
      QCOMPARE(PageCount(output), printed_pages);
      QVERIFY(PdfText(output, 1, 1).contains("Página:2"));
    }
  }

  void abortingStopsAfterThePageInPrint() {
    const verdalia::ResultList rows(300, verdalia::ResultRow{7, "CAMPO", "Error.Uno"});
    const ListPainter painter(verdalia::PrintHeaderLines(AnyHeader()), rows);
    PicturePages pages;
    std::vector<std::pair<int, int>> reported;
    const bool printed = painter.Paint(pages, [&](int page, int count) {
      reported.emplace_back(page, count);
      return page < 2;
    });
    QVERIFY(!printed);
    QCOMPARE(reported.size(), std::size_t{2});
    QVERIFY(reported[0].second > 2);
  }

  void withoutAPrinterOrAFolderNothingIsWrittenAndTheBoxSaysWhy() {
    WindowFixture f;
    f.Write("P202403.txt", ManyRowsFile(1));
    f.Started();
    f.window().SetPrinterFactory([] { return std::unique_ptr<QPrinter>(); });
    f.RunPhysical("P202403.txt");
    const auto preview = f.window().MakePreview(0);
    f.dialogs.shown.clear();
    QVERIFY(!preview->Print());
    QCOMPARE(f.dialogs.shown.at(1).kind + "|" + f.dialogs.shown.at(1).title,
             QStringLiteral("critical|Atención"));
    const QString path = QDir(f.DataFolder()).filePath("no-such/listado.pdf");
    QVERIFY(!preview->ExportPdfTo(path));
    QVERIFY(f.dialogs.shown.back().text.startsWith("No se pudo exportar el listado al archivo " +
                                                   path + ": "));
    QVERIFY(!QFile::exists(path));
  }

  void exportingManyPagesShowsProgressAndAbortingLeavesNoFile() {
    WindowFixture f;
    f.Write("P202403.txt", ManyRowsFile(20000));
    f.Started();
    f.RunPhysical("P202403.txt");
    const auto preview = f.window().MakePreview(0);
    const QString pdf = QDir(f.DataFolder()).filePath("largo.pdf");
    QString seen;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      auto *progress = preview->findChild<QProgressDialog *>("frmProgreso");
      if (progress != nullptr && progress->isVisible() && seen.isEmpty()) {
        const QCursor *cursor = QApplication::overrideCursor();
        seen = progress->labelText() + "|" +
               (cursor != nullptr && cursor->shape() == Qt::WaitCursor ? "wait" : "no wait");
        progress->cancel();
      }
    });
    watch.start();
    f.dialogs.shown.clear();
    QVERIFY(!preview->ExportPdfTo(pdf));
    QVERIFY2(seen.startsWith("Exportando el listado...\nPágina "), qPrintable(seen));
    QVERIFY2(seen.endsWith("|wait"), qPrintable(seen));
    QVERIFY(!QFile::exists(pdf));
    QVERIFY(f.dialogs.shown.empty()); // aborting is no failure to report
    QVERIFY(QApplication::overrideCursor() == nullptr);
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
