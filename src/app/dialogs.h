#pragma once

#include <QString>

class QPrinter;
class QWidget;

namespace verdalia::app {

// Every message box and file chooser of the window goes through this interface, so tests
// answer them without a modal loop.
class Dialogs {
public:
  virtual ~Dialogs() = default;

  // An OK box with the information icon.
  virtual void information(QWidget *parent, const QString &title, const QString &text) = 0;
  // An OK box with the critical icon.
  virtual void critical(QWidget *parent, const QString &title, const QString &text) = 0;
  // A Yes/No box with the question icon; true for Yes.
  virtual bool question(QWidget *parent, const QString &title, const QString &text) = 0;
  // A file name to write to, or an empty text when the operator cancels.
  virtual QString saveFileName(QWidget *parent, const QString &title, const QString &suggested,
                               const QString &filter) = 0;
  // The printer's own dialog (printer, copies, page range); false when the operator cancels.
  virtual bool printDialog(QWidget *parent, QPrinter &printer) = 0;
};

// Qt's own texts (its file dialogs, the Yes and No of a box, a text box's menu) in Spanish,
// like the rest of the window. False when the platform has no Spanish translations of Qt.
bool InstallSpanishQtTexts();

// The platform's message boxes and file chooser.
class QtDialogs : public Dialogs {
public:
  void information(QWidget *parent, const QString &title, const QString &text) override;
  void critical(QWidget *parent, const QString &title, const QString &text) override;
  bool question(QWidget *parent, const QString &title, const QString &text) override;
  QString saveFileName(QWidget *parent, const QString &title, const QString &suggested,
                       const QString &filter) override;
  bool printDialog(QWidget *parent, QPrinter &printer) override;
};

} // namespace verdalia::app
