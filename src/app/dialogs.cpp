#include "app/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>

namespace verdalia::app {

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
