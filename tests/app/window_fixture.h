#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "app/validator_window.h"
#include "support/fixtures.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace verdalia::app::testing {

// One message box the window asked for, and whether the hourglass was still up then.
struct ShownDialog {
  QString kind; // "information", "critical", "question", "save"
  QString title;
  QString text;
  bool wait_cursor = false;
};

// Records every box and answers questions and file choosers as told.
class RecordingDialogs : public Dialogs {
public:
  void information(QWidget *, const QString &title, const QString &text) override;
  void critical(QWidget *, const QString &title, const QString &text) override;
  bool question(QWidget *, const QString &title, const QString &text) override;
  QString saveFileName(QWidget *, const QString &title, const QString &suggested,
                       const QString &filter) override;
  // The printer's dialog: answered with `print_answer`, after `choose` has set the printer.
  bool printDialog(QWidget *, QPrinter &printer) override;

  std::vector<ShownDialog> shown;
  bool answer = true;
  QString save_answer;
  QString last_suggestion;
  bool print_answer = true;
  std::function<void(QPrinter &)> choose;
};

// Line length of the production and claims files of the test database; claim notices have
// kNoticeLength, room for the fields of a notice's key.
inline constexpr int kLineLength = 40;
inline constexpr int kNoticeLength = 100;

// A line of the test files: `start` padded with blanks to `length`.
std::string Line(const std::string &start, int length = kLineLength);
// A header record: type, closing date, RUT and check digit, insurer's name.
std::string Header(const std::string &closing_date, int length = kLineLength);
// Lines joined with CR LF.
std::string File(const std::vector<std::string> &lines);

// A folder of data files and a small reference database whose definitions check nothing,
// so every finding comes from the run's own structure and period checks.
class WindowFixture {
public:
  WindowFixture();
  ~WindowFixture();

  // Writes a data file (bytes unchanged) into the data folder and returns its path.
  QString Write(const QString &name, const std::string &bytes) const;
  QString DataFolder() const;
  QString Database() const { return m_database; }

  // A new window over the fixture's settings; Start() is left to the test.
  ValidatorWindow &NewWindow();
  ValidatorWindow &Started();
  ValidatorWindow &window() { return *m_window; }

  QSettings &settings() { return *m_settings; }
  RecordingDialogs dialogs;

  // The window's controls, by their names.
  QPushButton *Button(const QString &name) const;
  QLabel *Label(const QString &name) const;
  QTabWidget *Tabs() const;
  QListWidget *Files() const;
  // The cells of a result grid as shown, one "record|field|message" text per row.
  QStringList GridRows(const QString &grid) const;
  // The text of a saved file, or "(none)" when there is none.
  QByteArray Saved(const QString &name) const;

  // Chooses a file in the file list as the operator's click does.
  void ClickFile(const QString &name);
  void RunPhysical(const QString &name);

private:
  verdalia::testing::TempDir m_dir;
  QString m_database;
  QTemporaryDir m_home;
  std::unique_ptr<QSettings> m_settings;
  std::unique_ptr<ValidatorWindow> m_window;
};

} // namespace verdalia::app::testing
