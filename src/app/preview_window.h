#pragma once

#include <QDialog>
#include <QPrinter>

#include <functional>
#include <memory>

#include "app/list_painter.h"
#include "common/result.h"
#include "reports/print_header.h"

class QCheckBox;
class QHBoxLayout;
class QPrintPreviewWidget;
class QPushButton;
class QSpinBox;

namespace verdalia::app {

class Dialogs;

// Gives the printer a confirmed print goes to; none when the platform has no printer.
using PrinterFactory = std::function<std::unique_ptr<QPrinter>()>;
// The platform's default printer, or none when there is no printer at all.
std::unique_ptr<QPrinter> DefaultPrinter();
// Widens the printer's margins to at least 12 mm on every side.
void KeepPrintableMargins(QPrinter &printer);

// The platform's date separator, from its short date format.
QString PlatformDateSeparator();
// Today as the page header writes it: "dd/mm/yyyy" with the platform's separator.
std::string TodayText();

// The print job's name, under which the printer queues it.
inline constexpr const char *kPrintJobName = "Impresión Validador";

// What the main window hands the preview of one list.
struct PreviewInputs {
  PrintHeaderInputs header; // without the date: the preview dates the header when it opens
  std::shared_ptr<const ListContents> list;
  QString pdf_suggestion; // where "Exportar PDF" proposes to write
};

// frmPreview, "Vista Preliminar": the pages of one result list as they will print, zoomable,
// with buttons to the first, previous, next and last page and a page number to go to, the
// choice to print the list's summary first, "&Imprimir" (after a confirmation, through the
// printer's own dialog) and "Exportar PDF". Drawing many pages (the preview's, the printer's,
// a PDF's) shows the hourglass and, after a moment, the pages done with "Abortar"; aborting
// the preview's closes it.

class PreviewWindow : public QDialog {
  Q_OBJECT
public:
  PreviewWindow(Dialogs &dialogs, PreviewInputs inputs, PrinterFactory printers,
                QWidget *parent = nullptr);
  ~PreviewWindow() override;

  QPrintPreviewWidget *Preview() const { return m_preview; }
  // The page shown, from 1, and how many there are.
  int CurrentPage() const;
  int PageCount() const;
  void GoToPage(int page);

  // "&Imprimir": asks, then prints the pages the printer's dialog chooses. True when a job
  // was printed.
  bool Print();
  // "Exportar PDF": asks where, then writes the pages there.
  bool ExportPdf();
  // Writes the pages as a PDF file at `path`, replacing it whole; says why when it cannot.
  // Aborted, it leaves no file.
  bool ExportPdfTo(const QString &path);
  // Whether the operator aborted the drawing of the preview's pages.
  bool PreviewAborted() const { return m_preview_aborted; }

private:
  void AddZoomButtons(QHBoxLayout &bar);
  void AddPageButtons(QHBoxLayout &bar);
  void AddOutputButtons(QHBoxLayout &bar);

  Dialogs &m_dialogs;
  PrinterFactory m_printers;
  ListPainter m_painter;
  QString m_pdf_suggestion;
  QPrinter m_preview_printer;
  QPrintPreviewWidget *m_preview;
  QSpinBox *m_page = nullptr;
  QCheckBox *m_summary = nullptr;
  bool m_preview_aborted = false;
};

} // namespace verdalia::app
