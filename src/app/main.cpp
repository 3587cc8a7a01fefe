#include <QApplication>
#include <QCommandLineParser>
#include <QSettings>

#include "app/dialogs.h"
#include "app/validator_window.h"
#include "common/file_mapping.h"
#include "refdata/reference_data.h"

int main(int argc, char *argv[]) {
  QApplication application(argc, argv);
  // Data files are viewed where they lie, guarded against another program cutting them.
  verdalia::InstallFileViewGuard();
  QApplication::setApplicationName(QStringLiteral("Verdalia"));
  QApplication::setOrganizationName(QStringLiteral("Verdalia"));
  verdalia::app::InstallSpanishQtTexts();

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Validación Verdalia"));
  parser.addHelpOption();
  const QCommandLineOption database(
      QStringLiteral("db"),
      QStringLiteral("Reference database (default: Base/verdalia7.db beside "
                     "the program)."),
      QStringLiteral("path"));
  parser.addOption(database);
  parser.addPositionalArgument(QStringLiteral("folder"),
                               QStringLiteral("Folder of data files to show at start."),
                               QStringLiteral("[folder]"));
  parser.process(application);

  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Verdalia"),
                     QStringLiteral("Verdalia"));
  verdalia::app::QtDialogs dialogs;
  verdalia::app::ValidatorWindow window(dialogs, settings);
  const QString database_path =
      parser.isSet(database) ? parser.value(database)
                             : QString::fromStdString(verdalia::DefaultReferenceDatabasePath());
  if (!window.Start(database_path)) {
    return 1;
  }
  if (!parser.positionalArguments().isEmpty()) {
    window.OpenFolder(parser.positionalArguments().first());
  }
  window.show();
  return QApplication::exec();
}
