#include "app/preview_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPdfWriter>
#include <QPrintPreviewWidget>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "app/dialogs.h"
#include "app/qt_text.h"
#include "common/windows1252.h"

#include <algorithm>

namespace verdalia::app {
namespace {

PrintHeaderInputs Dated(PrintHeaderInputs inputs) {
  inputs.date = Cp1252Text(Utf8ToWindows1252(TodayText()));
  return inputs;
}

QPushButton *ZoomButton(const QString &text, const QString &name, QWidget *parent) {
  auto *button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

// What goes with drawing many pages: the hourglass at once and, once the pages take more than
// a moment, a box with the page in hand and "Abortar".
class PaintProgress {
public:
  PaintProgress(QWidget *parent, const QString &title, const QString &text)
      : m_text(text), m_dialog(text, QStringLiteral("Abortar"), 0, 1, parent) {
    m_dialog.setObjectName(QStringLiteral("frmProgreso"));
    m_dialog.setWindowTitle(title);
    m_dialog.setWindowModality(Qt::WindowModal);
    m_dialog.setMinimumDuration(250);
    m_dialog.setAutoReset(false);
    m_dialog.setAutoClose(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~PaintProgress() {
    m_dialog.reset();
    QApplication::restoreOverrideCursor();
  }
  PaintProgress(const PaintProgress &) = delete;
  PaintProgress &operator=(const PaintProgress &) = delete;

  ListPainter::Progress Callback() {
    return [this](int page, int pages) {
      m_dialog.setMaximum(pages);
      m_dialog.setLabelText(QStringLiteral("%1\nPágina %2 de %3").arg(m_text).arg(page).arg(pages));
      m_dialog.setValue(page);
      m_cancelled = m_dialog.wasCanceled();
      return !m_cancelled;
    };
  }
  bool Cancelled() const { return m_cancelled; }

private:
  QString m_text;
  QProgressDialog m_dialog;
  bool m_cancelled = false;
};

} // namespace

void KeepPrintableMargins(QPrinter &printer) {
  // Printers report their own margins; a PDF target reports almost none, which would put
  // the header at the paper's edge.
  constexpr double kMinimum = 12.0;
  QMarginsF margins = printer.pageLayout().margins(QPageLayout::Millimeter);
  margins.setLeft(std::max(margins.left(), kMinimum));
  margins.setTop(std::max(margins.top(), kMinimum));
  margins.setRight(std::max(margins.right(), kMinimum));
  margins.setBottom(std::max(margins.bottom(), kMinimum));
  printer.setPageMargins(margins, QPageLayout::Millimeter);
}

std::unique_ptr<QPrinter> DefaultPrinter() {
  if (QPrinterInfo::availablePrinters().isEmpty()) {
    return nullptr;
  }
  return std::make_unique<QPrinter>(QPrinter::HighResolution);
}

QString PlatformDateSeparator() {
  // A short format that spells the month ("d MMM yyyy", the C locale's) has no numeric
  // separator of its own: the slash stands in.
  const QString format = QLocale::system().dateFormat(QLocale::ShortFormat);
  if (!format.contains(QStringLiteral("MMM"))) {
    for (const QChar c : format) {
      if (!c.isLetter() && !c.isSpace() && c != QLatin1Char('\'')) {
        return c;
      }
    }
  }
  return QStringLiteral("/");
}

std::string TodayText() {
  const QDate today = QDate::currentDate();
  return PrintDateText(today.year(), today.month(), today.day(),
                       PlatformDateSeparator().toStdString());
}

PreviewWindow::PreviewWindow(Dialogs &dialogs, PreviewInputs inputs, PrinterFactory printers,
                             QWidget *parent)
    : QDialog(parent), m_dialogs(dialogs), m_printers(std::move(printers)),
      m_painter(PrintHeaderLines(Dated(std::move(inputs.header))), std::move(inputs.list)),
      m_pdf_suggestion(std::move(inputs.pdf_suggestion)),
      m_preview_printer(QPrinter::HighResolution),
      m_preview(new QPrintPreviewWidget(&m_preview_printer, this)) {
  setObjectName(QStringLiteral("frmPreview"));
  setWindowTitle(QStringLiteral("Vista Preliminar"));
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  setSizeGripEnabled(true);
  resize(900, 700);
  // Within the screen of the window that opens it, frame and title bar included.
  if (const QScreen *screen = parent != nullptr ? parent->screen() : this->screen()) {
    resize(size().boundedTo(screen->availableGeometry().size() - QSize(16, 48)));
  }

  m_preview_printer.setDocName(QString::fromUtf8(kPrintJobName));
  KeepPrintableMargins(m_preview_printer);
  m_preview->setObjectName(QStringLiteral("fpSpreadPreview1"));
  connect(m_preview, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter *printer) {
    PaintProgress progress(this, QStringLiteral("Vista Preliminar"),
                           QStringLiteral("Preparando las páginas del listado..."));
    if (!m_painter.Paint(*printer, progress.Callback()) && progress.Cancelled()) {
      // Aborted: the operator does not want to wait for these pages.
      m_preview_aborted = true;
      QTimer::singleShot(0, this, &QDialog::reject);
    }
  });

  // Two rows of buttons, so the window can be made narrow (800 pixels, or a screen at 150 %):
  // zoom and output above, "&Imprimir" at the top right; the pages and the summary below.
  auto *bar = new QHBoxLayout;
  AddZoomButtons(*bar);
  bar->addStretch(1);
  AddOutputButtons(*bar);
  auto *pages = new QHBoxLayout;
  AddPageButtons(*pages);
  pages->addStretch(1);
  pages->addWidget(m_summary);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addLayout(pages);
  layout->addWidget(m_preview, 1);
  m_preview->fitToWidth();
}

void PreviewWindow::AddZoomButtons(QHBoxLayout &bar) {
  auto *zoom_in = ZoomButton(QStringLiteral("Acercar"), QStringLiteral("cmdAcercar"), this);
  auto *zoom_out = ZoomButton(QStringLiteral("Alejar"), QStringLiteral("cmdAlejar"), this);
  auto *fit_width =
      ZoomButton(QStringLiteral("Ajustar al ancho"), QStringLiteral("cmdAjustarAncho"), this);
  auto *whole_page =
      ZoomButton(QStringLiteral("Página completa"), QStringLiteral("cmdPaginaCompleta"), this);
  connect(zoom_in, &QPushButton::clicked, m_preview, [this] { m_preview->zoomIn(); });
  connect(zoom_out, &QPushButton::clicked, m_preview, [this] { m_preview->zoomOut(); });
  connect(fit_width, &QPushButton::clicked, m_preview, &QPrintPreviewWidget::fitToWidth);
  connect(whole_page, &QPushButton::clicked, m_preview, &QPrintPreviewWidget::fitInView);
  connect(new QShortcut(QKeySequence::ZoomIn, this), &QShortcut::activated, m_preview,
          [this] { m_preview->zoomIn(); });
  connect(new QShortcut(QKeySequence::ZoomOut, this), &QShortcut::activated, m_preview,
          [this] { m_preview->zoomOut(); });
  for (QWidget *widget :
       std::initializer_list<QWidget *>{zoom_in, zoom_out, fit_width, whole_page}) {
    bar.addWidget(widget);
  }
}

// First, previous, the page number and the count, next, last; each button with its key.
void PreviewWindow::AddPageButtons(QHBoxLayout &bar) {
  auto *first = ZoomButton(QStringLiteral("|<"), QStringLiteral("cmdPrimera"), this);
  auto *previous = ZoomButton(QStringLiteral("<"), QStringLiteral("cmdAnterior"), this);
  auto *next = ZoomButton(QStringLiteral(">"), QStringLiteral("cmdSiguiente"), this);
  auto *last = ZoomButton(QStringLiteral(">|"), QStringLiteral("cmdUltima"), this);
  first->setToolTip(QStringLiteral("Primera página (Inicio)"));
  previous->setToolTip(QStringLiteral("Página anterior (RePág)"));
  next->setToolTip(QStringLiteral("Página siguiente (AvPág)"));
  last->setToolTip(QStringLiteral("Última página (Fin)"));
  m_page = new QSpinBox(this);
  m_page->setObjectName(QStringLiteral("txtPagina"));
  m_page->setMinimum(1);
  m_page->setToolTip(QStringLiteral("Ir a la página"));
  auto *pages = new QLabel(this);
  pages->setObjectName(QStringLiteral("lblPaginas"));

  // Arrows need no more room than their marks.
  for (QPushButton *button : {first, previous, next, last}) {
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral(">|")) * 2 + 16);
  }
  const auto go = [this](QPushButton *button, QKeySequence key, auto page) {
    connect(button, &QPushButton::clicked, this, [this, page] { GoToPage(page()); });
    connect(new QShortcut(key, this), &QShortcut::activated, this,
            [this, page] { GoToPage(page()); });
  };
  go(first, QKeySequence(Qt::Key_Home), [] { return 1; });
  go(previous, QKeySequence(Qt::Key_PageUp), [this] { return CurrentPage() - 1; });
  go(next, QKeySequence(Qt::Key_PageDown), [this] { return CurrentPage() + 1; });
  go(last, QKeySequence(Qt::Key_End), [this] { return PageCount(); });
  connect(m_page, &QSpinBox::editingFinished, this, [this] { GoToPage(m_page->value()); });
  connect(m_preview, &QPrintPreviewWidget::previewChanged, pages, [this, pages] {
    m_page->setMaximum(std::max(1, PageCount()));
    m_page->setValue(CurrentPage());
    pages->setText(QStringLiteral("de %1").arg(PageCount()));
  });
  for (QWidget *widget :
       std::initializer_list<QWidget *>{first, previous, m_page, pages, next, last}) {
    bar.addWidget(widget);
  }
}

// The summary choice (shown with the pages), "Exportar PDF" and "&Imprimir".
void PreviewWindow::AddOutputButtons(QHBoxLayout &bar) {
  m_summary = new QCheckBox(QStringLiteral("Imprimir &resumen"), this);
  m_summary->setObjectName(QStringLiteral("chkResumen"));
  m_summary->setToolTip(
      QStringLiteral("Antes del listado, sus filas agrupadas por campo y mensaje"));
  auto *export_pdf =
      ZoomButton(QStringLiteral("Exportar PDF"), QStringLiteral("cmdExportarPDF"), this);
  auto *print = ZoomButton(QStringLiteral("&Imprimir"), QStringLiteral("cmdImprimir"), this);
  connect(m_summary, &QCheckBox::toggled, this, [this](bool on) {
    m_painter.SetSummary(on);
    m_preview->updatePreview();
  });
  connect(export_pdf, &QPushButton::clicked, this, [this] { ExportPdf(); });
  connect(print, &QPushButton::clicked, this, [this] { Print(); });
  bar.addWidget(export_pdf);
  bar.addWidget(print);
}

int PreviewWindow::CurrentPage() const {
  return m_preview->currentPage();
}

int PreviewWindow::PageCount() const {
  return m_preview->pageCount();
}

void PreviewWindow::GoToPage(int page) {
  m_preview->setCurrentPage(std::clamp(page, 1, std::max(1, PageCount())));
  m_page->setValue(CurrentPage());
}

PreviewWindow::~PreviewWindow() = default;

bool PreviewWindow::Print() {
  if (!m_dialogs.question(this, QStringLiteral("IMPRIMIR"),
                          QStringLiteral("¿Esta seguro que desea imprimir.?"))) {
    return false;
  }
  std::unique_ptr<QPrinter> printer = m_printers ? m_printers() : nullptr;
  if (!printer) {
    m_dialogs.critical(this, QStringLiteral("Atención"),
                       QStringLiteral("No hay ninguna impresora disponible. El listado puede "
                                      "guardarse como PDF con \"Exportar PDF\"."));
    return false;
  }
  printer->setDocName(QString::fromUtf8(kPrintJobName));
  KeepPrintableMargins(*printer);
  if (!m_dialogs.printDialog(this, *printer)) {
    return false;
  }
  const bool range = printer->printRange() == QPrinter::PageRange;

  bool printed = false;
  bool cancelled = false;
  {
    PaintProgress progress(this, QStringLiteral("IMPRIMIR"),
                           QStringLiteral("Imprimiendo el listado..."));
    printed = m_painter.Paint(*printer, progress.Callback(), range ? printer->fromPage() : 1,
                              range ? printer->toPage() : 0);
    cancelled = progress.Cancelled();
  }
  if (!printed && !cancelled) {
    m_dialogs.critical(this, QStringLiteral("Atención"),
                       QStringLiteral("No se pudo imprimir el listado."));
  }
  return printed;
}

bool PreviewWindow::ExportPdf() {
  QString path = m_dialogs.saveFileName(this, QStringLiteral("Exportar PDF"), m_pdf_suggestion,
                                        QStringLiteral("Documentos PDF (*.pdf)"));
  if (path.isEmpty()) {
    return false;
  }
  if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
    path += QStringLiteral(".pdf");
  }
  return ExportPdfTo(path);
}

bool PreviewWindow::ExportPdfTo(const QString &path) {
  const QString shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
  auto fail = [&](const QString &reason) {
    m_dialogs.critical(
        this, QStringLiteral("Atención"),
        QStringLiteral("No se pudo exportar el listado al archivo %1: %2").arg(shown, reason));
    return false;
  };
  // Written beside the target and renamed over it, so a failed export leaves no half file.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    return fail(file.errorString());
  }
  {
    QPdfWriter writer(&file);
    writer.setTitle(QString::fromUtf8(kPrintJobName));
    writer.setCreator(QStringLiteral("Verdalia"));
    writer.setPageLayout(m_preview_printer.pageLayout());
    PaintProgress progress(this, QStringLiteral("Exportar PDF"),
                           QStringLiteral("Exportando el listado..."));
    if (!m_painter.Paint(writer, progress.Callback())) {
      file.cancelWriting();
      return progress.Cancelled() ? false
                                  : fail(QStringLiteral("no se pudieron dibujar las páginas"));
    }
  }
  if (!file.commit()) {
    return fail(file.errorString());
  }
  m_dialogs.information(this, QStringLiteral("Atención"),
                        QStringLiteral("El listado se exportó al archivo ") + shown);
  return true;
}

} // namespace verdalia::app
