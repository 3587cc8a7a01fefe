#include "app/dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPrintDialog>
#include <QTranslator>

#include <memory>

namespace verdalia::app {

bool InstallSpanishQtTexts() {
  // One translator for the program's whole run; Debian ships it as qt6-translations-l10n.
  static QTranslator *translator = nullptr;
  if (translator != nullptr) {
    return true;
  }
  auto made = std::make_unique<QTranslator>();
  if (!made->load(QLocale(QLocale::Spanish), QStringLiteral("qtbase"), QStringLiteral("_"),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    return false;
  }
  translator = made.release();
  QCoreApplication::installTranslator(translator);
  return true;
}

void QtDialogs::information(QWidget *parent, const QString &title, const QString &text) {
  QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

void QtDialogs::critical(QWidget *parent, const QString &title, const QString &text) {
  QMessageBox::critical(parent, title, text, QMessageBox::Ok);
}

bool QtDialogs::question(QWidget *parent, const QString &title, const QString &text) {
  return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::Yes) == QMessageBox::Yes;
}

QString QtDialogs::saveFileName(QWidget *parent, const QString &title, const QString &suggested,
                                const QString &filter) {
  return QFileDialog::getSaveFileName(parent, title, suggested, filter);
}

bool QtDialogs::printDialog(QWidget *parent, QPrinter &printer) {
  QPrintDialog dialog(&printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange);
  return dialog.exec() == QDialog::Accepted;
}

} // namespace verdalia::app
