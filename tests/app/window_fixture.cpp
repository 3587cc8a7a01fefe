#include "window_fixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "app/result_grid.h"

namespace verdalia::app::testing {
namespace {

// Definitions of type "X" check nothing; they give the record viewer spans to light, and
// each kind the definitions start-up asks of it.
const char *const kRowsSql = R"(
INSERT INTO TipoArchivo VALUES (1, 'PRODUCCION', 40), (2, 'DENUNCIAS', 100), (3, 'SINIESTROS', 40);
INSERT INTO DefArchivo VALUES
 (1,'1',1,'TIPO_REGISTRO',1,1,'X',NULL,'S',NULL,NULL),
 (1,'1',2,'FECHA_CIERRE',2,8,'X',NULL,'S',NULL,NULL),
 (1,'1',3,'RUT_ASEGURADORA',10,9,'X',NULL,'S',NULL,NULL),
 (1,'1',4,'VER_ASEGURADORA',19,1,'X',NULL,'S',NULL,NULL),
 (1,'1',5,'ASEGURADORA',20,21,'X',NULL,'S',NULL,NULL),
 (2,'2',1,'NUMERO_SINIESTRO',2,15,'X',NULL,'S',NULL,NULL),
 (2,'2',2,'NUMERO_POLIZA',32,15,'X',NULL,'S',NULL,NULL),
 (3,'2',1,'NUMERO_SINIESTRO',2,15,'X',NULL,'S',NULL,NULL);
)";

ShownDialog Shown(const QString &kind, const QString &title, const QString &text) {
  return {kind, title, text, QApplication::overrideCursor() != nullptr};
}

} // namespace

void RecordingDialogs::information(QWidget *, const QString &title, const QString &text) {
  shown.push_back(Shown(QStringLiteral("information"), title, text));
}

void RecordingDialogs::critical(QWidget *, const QString &title, const QString &text) {
  shown.push_back(Shown(QStringLiteral("critical"), title, text));
}

bool RecordingDialogs::question(QWidget *, const QString &title, const QString &text) {
  shown.push_back(Shown(QStringLiteral("question"), title, text));
  return answer;
}

QString RecordingDialogs::saveFileName(QWidget *, const QString &title, const QString &suggested,
                                       const QString &) {
  shown.push_back(Shown(QStringLiteral("save"), title, suggested));
  last_suggestion = suggested;
  return save_answer;
}

bool RecordingDialogs::printDialog(QWidget *, QPrinter &printer) {
  shown.push_back(Shown(QStringLiteral("print"), QString(), QString()));
  if (choose) {
    choose(printer);
  }
  return print_answer;
}

std::string Line(const std::string &start, int length) {
  std::string line = start;
  line.resize(static_cast<std::size_t>(length), ' ');
  return line;
}

std::string Header(const std::string &closing_date, int length) {
  return Line("1" + closing_date + "076543210K" + "AGRICOLA S/A", length);
}

std::string File(const std::vector<std::string> &lines) {
  std::string text;
  for (const std::string &line : lines) {
    text += line + "\r\n";
  }
  return text;
}

WindowFixture::WindowFixture() {
  QDir(QString::fromStdString(m_dir.path().string())).mkdir(QStringLiteral("datos"));
  m_database = QString::fromStdString(verdalia::testing::MakeDatabase(
      m_dir, std::string(verdalia::testing::kEmptySchemaSql) + kRowsSql));
  m_settings = std::make_unique<QSettings>(m_home.filePath(QStringLiteral("verdalia.ini")),
                                           QSettings::IniFormat);
}

WindowFixture::~WindowFixture() {
  // The window goes before the folders it shows.
  m_window.reset();
}

QString WindowFixture::DataFolder() const {
  return QDir(QString::fromStdString((m_dir.path() / "datos").string())).canonicalPath();
}

QString WindowFixture::Write(const QString &name, const std::string &bytes) const {
  return QString::fromStdString(m_dir.Write("datos/" + name.toStdString(), bytes));
}

ValidatorWindow &WindowFixture::NewWindow() {
  m_window.reset();
  m_window = std::make_unique<ValidatorWindow>(dialogs, *m_settings);
  return *m_window;
}

ValidatorWindow &WindowFixture::Started() {
  ValidatorWindow &window = NewWindow();
  if (!window.Start(m_database)) {
    qFatal("the test database did not load");
  }
  window.OpenFolder(DataFolder());
  window.show();
  return window;
}

QPushButton *WindowFixture::Button(const QString &name) const {
  return m_window->findChild<QPushButton *>(name);
}

QLabel *WindowFixture::Label(const QString &name) const {
  return m_window->findChild<QLabel *>(name);
}

QTabWidget *WindowFixture::Tabs() const {
  return m_window->findChild<QTabWidget *>(QStringLiteral("SSTab1"));
}

QListWidget *WindowFixture::Files() const {
  return m_window->findChild<QListWidget *>(QStringLiteral("File1"));
}

QStringList WindowFixture::GridRows(const QString &grid) const {
  const auto *view = m_window->findChild<ResultGrid *>(grid);
  QStringList rows;
  const QAbstractItemModel *model = view->model();
  for (int r = 0; r < model->rowCount(); ++r) {
    QStringList cells;
    for (int c = 0; c < model->columnCount(); ++c) {
      cells << model->index(r, c).data().toString();
    }
    rows << cells.join(QLatin1Char('|'));
  }
  return rows;
}

QByteArray WindowFixture::Saved(const QString &name) const {
  QFile file(QDir(DataFolder()).filePath(name));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

void WindowFixture::ClickFile(const QString &name) {
  QListWidget *files = Files();
  const QList<QListWidgetItem *> found = files->findItems(name, Qt::MatchExactly);
  if (found.isEmpty()) {
    qFatal("%s is not listed", qPrintable(name));
  }
  Tabs()->setCurrentIndex(0);
  QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                    files->visualItemRect(found.first()).center());
}

void WindowFixture::RunPhysical(const QString &name) {
  ClickFile(name);
  Button(QStringLiteral("cmdProcesar"))->click();
}

} // namespace verdalia::app::testing
