#include "app/validator_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/dialogs.h"
#include "app/file_lists.h"
#include "app/qt_text.h"
#include "app/result_panel.h"
#include "common/file_kind.h"
#include "common/path.h"
#include "refdata/reference_data.h"
#include "reports/error_list_writer.h"

namespace verdalia::app {
namespace {

const QString kDriveKey = QStringLiteral("Directorio/DRIVE");
const QString kDirKey = QStringLiteral("Directorio/DIR");
const QString kFileKey = QStringLiteral("Directorio/ARCHIVO");
const QString kGeometryKey = QStringLiteral("Ventana/GEOMETRIA");

// The hourglass from the start of a run to its end, shown at once: the run holds the thread.
class WaitCursor {
public:
  WaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor &) = delete;
  WaitCursor &operator=(const WaitCursor &) = delete;
};

QLabel *Caption(const QString &name, const QString &text, QWidget *parent) {
  auto *label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

// A value box: a label with the window's background and a single border.
QLabel *ValueBox(const QString &name, QWidget *parent) {
  auto *label = new QLabel(parent);
  label->setObjectName(name);
  label->setFrameStyle(QFrame::Box | QFrame::Plain);
  label->setLineWidth(1);
  label->setBackgroundRole(QPalette::Window);
  label->setAutoFillBackground(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setMargin(2);
  return label;
}

QPushButton *Button(const QString &name, const QString &text, QWidget *parent) {
  auto *button = new QPushButton(text, parent);
  button->setObjectName(name);
  return button;
}

// The first data file among dropped URLs, or an empty text.
QString DroppedDataFile(const QMimeData *mime) {
  if (mime == nullptr || !mime->hasUrls()) {
    return {};
  }
  for (const QUrl &url : mime->urls()) {
    const QFileInfo info(url.toLocalFile());
    if (url.isLocalFile() && info.isFile() && IsDataFileName(info.fileName())) {
      return info.absoluteFilePath();
    }
  }
  return {};
}

} // namespace

ValidatorWindow::ValidatorWindow(Dialogs &dialogs, QSettings &settings, QWidget *parent)
    : QMainWindow(parent), m_dialogs(dialogs), m_settings(settings) {
  setObjectName(QStringLiteral("frmValidador"));
  setWindowTitle(QStringLiteral("Validación Verdalia"));
  setAcceptDrops(true);

  m_tabs = new QTabWidget(this);
  m_tabs->setObjectName(QStringLiteral("SSTab1"));
  auto *files_tab = new QWidget(m_tabs);
  auto *physical_tab = new QWidget(m_tabs);
  auto *logical_tab = new QWidget(m_tabs);
  m_tabs->addTab(files_tab, QStringLiteral("Validación de Archivos"));
  m_tabs->addTab(physical_tab, QStringLiteral("Resultado de Validación Física"));
  m_tabs->addTab(logical_tab, QStringLiteral("Resultado de Validación Lógica"));
  BuildFileTab(files_tab);
  BuildResultTab(physical_tab, 0);
  BuildResultTab(logical_tab, 1);
  BuildShortcuts();
  setCentralWidget(m_tabs);
  resize(980, 680);

  m_title = KindOfNumber(1).title; // until a run names the kind
  ShowLabels();
  m_logical_button->setEnabled(false);

  // Before start-up the lists show the current drive and folder.
  m_folders->SetPath(QDir::currentPath());
  OnFolderChanged(m_folders->Path());
}

ValidatorWindow::~ValidatorWindow() = default;

void ValidatorWindow::BuildFileTab(QWidget *tab) {
  auto *frame = new QGroupBox(QStringLiteral("Seleccionar Archivo"), tab);
  frame->setObjectName(QStringLiteral("fraArchivo"));
  m_drives = new DriveList(frame);
  m_drives->setObjectName(QStringLiteral("Drive1"));
  m_folders = new FolderList(frame);
  m_folders->setObjectName(QStringLiteral("Dir1"));
  m_files = new FileList(frame);
  m_files->setObjectName(QStringLiteral("File1"));
  m_files->setToolTip(QStringLiteral("Intro o doble clic: verificación física del archivo"));
  auto *file_caption = Caption(QStringLiteral("lblFondo(0)"), QStringLiteral("&Archivo"), frame);
  auto *dir_caption = Caption(QStringLiteral("lblFondo(1)"), QStringLiteral("&Directorio"), frame);
  file_caption->setBuddy(m_files);
  dir_caption->setBuddy(m_folders);

  auto *grid = new QGridLayout(frame);
  grid->addWidget(file_caption, 0, 0);
  grid->addWidget(m_files, 1, 0, 2, 1);
  grid->addWidget(dir_caption, 0, 1);
  grid->addWidget(m_folders, 1, 1);
  grid->addWidget(m_drives, 2, 1);
  grid->setColumnStretch(0, 2);
  grid->setColumnStretch(1, 3);
  grid->setRowStretch(1, 1);

  m_physical_button =
      Button(QStringLiteral("cmdProcesar"), QStringLiteral("&Realizar Verificación Física"), tab);
  m_logical_button = Button(QStringLiteral("cmdValidacionLogica"),
                            QStringLiteral("&Realizar Verificación Lógica"), tab);
  // Both captions give Alt+R; each run has a key of its own too.
  m_physical_button->setToolTip(
      QStringLiteral("Verificación física del archivo elegido (F5, o Intro en la lista)"));
  m_logical_button->setToolTip(QStringLiteral("Verificación lógica del archivo elegido (F6)"));
  auto *buttons = new QVBoxLayout;
  buttons->addWidget(m_physical_button);
  buttons->addWidget(m_logical_button);
  buttons->addStretch(1);

  auto *layout = new QHBoxLayout(tab);
  layout->addWidget(frame, 1);
  layout->addLayout(buttons);
  ConnectFileTab();
}

void ValidatorWindow::ConnectFileTab() {
  connect(m_drives, &QComboBox::currentIndexChanged, this, &ValidatorWindow::OnDriveChanged);
  connect(m_folders, &FolderList::pathChanged, this, &ValidatorWindow::OnFolderChanged);
  connect(m_folders, &FolderList::unreadable, this, [this](const QString &path) {
    m_dialogs.critical(
        this, QStringLiteral("Atención"),
        QStringLiteral("No se puede leer la carpeta %1.").arg(QDir::toNativeSeparators(path)));
  });
  // A click chooses a file, even the one already chosen; so does moving with the keys.
  connect(m_files, &QListWidget::itemClicked, this, &ValidatorWindow::OnFileChosen);
  connect(m_files, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *current) {
    if (current != nullptr) {
      OnFileChosen();
    }
  });
  // Enter or a double click on a file runs its physical verification.
  connect(m_files, &QListWidget::itemActivated, this, &ValidatorWindow::RunPhysical);
  connect(m_physical_button, &QPushButton::clicked, this, &ValidatorWindow::RunPhysical);
  connect(m_logical_button, &QPushButton::clicked, this, &ValidatorWindow::RunLogical);
}

void ValidatorWindow::BuildResultTab(QWidget *tab, int index) {
  const auto list = static_cast<std::size_t>(index);
  const QString label_name = index == 0 ? QStringLiteral("lblValidacionFisica(%1)")
                                        : QStringLiteral("lblValidacionLogica(%1)");
  const int first_caption = index == 0 ? 2 : 5;

  auto &labels = m_captions[list];
  labels[0] = Caption(label_name.arg(0), QString(), tab);
  QFont bold = labels[0]->font();
  bold.setBold(true);
  labels[0]->setFont(bold);
  for (int k = 1; k <= 3; ++k) {
    labels[static_cast<std::size_t>(k)] = ValueBox(label_name.arg(k), tab);
  }
  const int box = fontMetrics().horizontalAdvance(QLatin1Char('0')) * 14;
  labels[1]->setMinimumWidth(box);
  labels[2]->setMinimumWidth(box * 4);
  labels[3]->setMinimumWidth(box);

  auto *values = new QHBoxLayout;
  values->setSpacing(6);
  const std::array<QString, 3> captions = {QStringLiteral("RUT"), QStringLiteral("Razón Social"),
                                           QStringLiteral("Periodo")};
  for (int k = 0; k < 3; ++k) {
    values->addWidget(Caption(QStringLiteral("lblFondo(%1)").arg(first_caption + k),
                              captions[static_cast<std::size_t>(k)], tab));
    values->addWidget(labels[static_cast<std::size_t>(k + 1)], k == 1 ? 4 : 1);
    if (k < 2) {
      values->addSpacing(8);
    }
  }

  auto *print =
      Button(QStringLiteral("cmdImprimir(%1)").arg(index), QStringLiteral("&Imprimir"), tab);
  auto *save = Button(QStringLiteral("cmdGuardar(%1)").arg(index), QStringLiteral("&Guardar"), tab);
  connect(print, &QPushButton::clicked, this, [this, index] { PrintList(index); });
  connect(save, &QPushButton::clicked, this, [this, index] { SaveList(index); });

  auto *top = new QGridLayout;
  top->addWidget(labels[0], 0, 0);
  top->addLayout(values, 1, 0);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(print);
  buttons->addWidget(save);
  top->addLayout(buttons, 0, 1, 2, 1, Qt::AlignTop | Qt::AlignRight);
  top->setColumnStretch(0, 1);
  top->setHorizontalSpacing(24);

  m_panels[list] = new ResultPanel(index, tab);
  auto *layout = new QVBoxLayout(tab);
  layout->addLayout(top);
  layout->addWidget(m_panels[list], 1);
}

void ValidatorWindow::BuildShortcuts() {
  const auto shortcut = [this](QKeySequence key, void (ValidatorWindow::*action)(),
                               QPushButton *button) {
    auto *made = new QShortcut(key, this);
    connect(made, &QShortcut::activated, this, [this, action, button] {
      if (button == nullptr || button->isEnabled()) {
        (this->*action)();
      }
    });
  };
  shortcut(QKeySequence(Qt::Key_F5), &ValidatorWindow::RunPhysical, m_physical_button);
  shortcut(QKeySequence(Qt::Key_F6), &ValidatorWindow::RunLogical, m_logical_button);
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_R), &ValidatorWindow::Reread, nullptr);
}

bool ValidatorWindow::Start(const QString &database_path) {
  RestoreSettings();
  try {
    m_validator.emplace(LoadValidator(ToFileSystemName(database_path)));
  } catch (const std::exception &error) {
    m_dialogs.critical(this, QStringLiteral("Error"), QString::fromUtf8(error.what()));
    return false;
  }
  return true;
}

void ValidatorWindow::RestoreSettings() {
  // Restoring never stops start-up: a drive, folder or file that is gone is ignored.
  m_restoring = true;
  const QString drive = m_settings.value(kDriveKey).toString();
  const QString dir = m_settings.value(kDirKey).toString();
  if (!drive.isEmpty()) {
    m_drives->SelectDrive(drive);
  }
  if (!dir.isEmpty()) {
    OpenFolder(QDir::fromNativeSeparators(dir));
  }
  const QString file = m_settings.value(kFileKey).toString();
  if (!file.isEmpty()) {
    m_files->SelectName(file);
  }
  restoreGeometry(m_settings.value(kGeometryKey).toByteArray());
  m_restoring = false;
}

bool ValidatorWindow::OpenFolder(const QString &folder) {
  if (!m_folders->SetPath(folder)) {
    return false;
  }
  // The file list is read again even when the folder stays: files may have come since.
  OnFolderChanged(m_folders->Path());
  return true;
}

bool ValidatorWindow::SelectFile(const QString &path) {
  const QFileInfo info(path);
  if (!info.isFile() || !IsDataFileName(info.fileName()) || !OpenFolder(info.absolutePath())) {
    return false;
  }
  if (!m_files->SelectName(info.fileName())) {
    return false;
  }
  m_tabs->setCurrentIndex(0);
  OnFileChosen();
  return true;
}

void ValidatorWindow::Reread() {
  const QString selected = m_files->SelectedName();
  m_drives->Refresh();
  if (!OpenFolder(m_folders->Path())) {
    return;
  }
  m_files->SelectName(selected); // still chosen when it is still there
}

void ValidatorWindow::OnDriveChanged() {
  const QString root = m_drives->RootPath();
  if (m_folders->SetPath(root)) {
    return;
  }
  // A drive that cannot be read keeps the previous selection.
  const QString text = m_drives->currentText();
  m_drives->FollowFolder(m_folders->Path());
  if (!m_restoring) {
    m_dialogs.critical(this, QStringLiteral("Atención"),
                       QStringLiteral("No se puede leer la unidad %1.").arg(text));
  }
}

void ValidatorWindow::OnFolderChanged(const QString &path) {
  m_files->SetPath(path);
  m_drives->FollowFolder(path);
}

void ValidatorWindow::OnFileChosen() {
  // A newly chosen file must pass the physical verification before its logical one.
  m_logical_button->setEnabled(false);
}

std::string ValidatorWindow::SelectedPath() const {
  return JoinPath(ToFileSystemName(m_files->Path()), ToFileSystemName(m_files->SelectedName()));
}

bool ValidatorWindow::ShowRefusal(const RunResult &result) {
  if (!result.Refused()) {
    return false;
  }
  const QString text = FromCp1252(result.refusal->message);
  if (result.refusal->reason == Refusal::Reason::WrongLetter) {
    m_dialogs.critical(this, QStringLiteral("ERROR"), text);
    return true;
  }
  // The kind was known: its title is shown before the file is read.
  m_title = result.kind->title;
  ShowLabels();
  m_dialogs.critical(this, QStringLiteral("Atención"), text);
  return true;
}

void ValidatorWindow::ShowList(int index, ShownList list) {
  auto &shown = m_lists[static_cast<std::size_t>(index)];
  shown = std::move(list);
  m_panels[static_cast<std::size_t>(index)]->ShowList(
      shown.rows, shown.lines, shown.kind, FromFileSystemName(shown.path),
      m_validator ? &m_validator->Reference() : nullptr);
}

void ValidatorWindow::RunPhysical() {
  m_logical_button->setEnabled(false);
  if (!m_validator) {
    return;
  }
  const std::string path = SelectedPath();
  RunResult result;
  {
    const WaitCursor wait;
    result = m_validator->Physical(path, m_labels);
    if (!result.Refused()) {
      // Both lists start again; the header named the file for both.
      m_title = result.kind->title;
      m_labels = result.labels;
      ShowLabels();
      ++m_checks;
      ShowList(0, {path,
                   result.rows,
                   {result.file.lines.begin(), result.file.lines.end()},
                   result.kind->number,
                   m_checks});
      ShowList(1, {});
      m_checked = std::move(result.file);
    }
  }
  if (ShowRefusal(result)) {
    return;
  }
  m_dialogs.information(this, QStringLiteral("Verificar"),
                        QStringLiteral("Verificación Física finalizada"));
  m_tabs->setCurrentIndex(1);
  m_logical_button->setEnabled(result.LogicalMayFollow());
}

void ValidatorWindow::RunLogical() {
  if (!m_validator) {
    return;
  }
  const std::string path = SelectedPath();
  RunResult result;
  {
    const WaitCursor wait;
    // Only the bytes the physical run passed are checked: a file changed since is refused.
    result = m_validator->Logical(path, m_checked, m_labels);
    if (!result.Refused()) {
      m_title = result.kind->title;
      m_labels = result.labels;
      ShowLabels();
      ShowList(1, {path,
                   result.rows,
                   {result.file.lines.begin(), result.file.lines.end()},
                   result.kind->number,
                   m_checks});
    }
  }
  if (result.Refused() && result.refusal->reason == Refusal::Reason::Changed) {
    // What passed the physical verification is not on disk any more.
    m_logical_button->setEnabled(false);
  }
  if (ShowRefusal(result)) {
    return;
  }
  m_dialogs.information(this, QStringLiteral("Verificar"),
                        QStringLiteral("Verificación Lógica finalizada"));
  m_tabs->setCurrentIndex(2);
}

void ValidatorWindow::SaveList(int index) {
  const ShownList &list = List(index);
  if (list.path.empty()) {
    // A list is saved under the name of the file it came from; none has come yet.
    m_dialogs.information(this, QStringLiteral("Atención"),
                          QStringLiteral("No hay un listado de errores que guardar."));
    return;
  }
  const ListKind kind = index == 0 ? ListKind::Physical : ListKind::Logical;
  const std::string path = ErrorListPath(list.path, kind);
  const SaveResult saved = SaveErrorList(path, list.rows);
  if (!saved.ok) {
    m_dialogs.critical(
        this, QStringLiteral("Atención"),
        QStringLiteral("No se pudo guardar el listado de errores en el archivo %1: %2")
            .arg(QDir::toNativeSeparators(FromFileSystemName(path)),
                 QString::fromUtf8(saved.error)));
    return;
  }
  QString message = FromCp1252(SavedMessage(path));
  if (kind == ListKind::Logical) {
    m_logical_saved = list.check;
    m_logical_path = path;
  } else if (const std::string logical = ErrorListPath(list.path, ListKind::Logical);
             !(m_logical_saved == list.check && m_logical_path == logical) &&
             QFileInfo::exists(FromFileSystemName(logical))) {
    // A logical list beside it that this check did not write reads as this check's.
    message += QStringLiteral("\n\nEl listado %1 que está junto a él es de una verificación "
                              "anterior.")
                   .arg(QDir::toNativeSeparators(FromFileSystemName(logical)));
  }
  m_dialogs.information(this, QStringLiteral("Atención"), message);
}

std::unique_ptr<PreviewWindow> ValidatorWindow::MakePreview(int index) {
  const ShownList &list = List(index);
  const ListKind kind = index == 0 ? ListKind::Physical : ListKind::Logical;
  PreviewInputs inputs;
  inputs.header = {VerificationName(kind), m_title,         m_labels.rut,
                   m_labels.name,          m_labels.period, {}};
  inputs.rows = list.rows;
  inputs.pdf_suggestion =
      list.path.empty()
          ? QDir(m_files->Path()).filePath(QStringLiteral("listado.pdf"))
          : FromFileSystemName(ErrorListPath(list.path, kind)) + QStringLiteral(".pdf");
  return std::make_unique<PreviewWindow>(m_dialogs, std::move(inputs), m_printers, this);
}

void ValidatorWindow::PrintList(int index) {
  const std::unique_ptr<PreviewWindow> preview = MakePreview(index);
  preview->exec();
}

void ValidatorWindow::ShowLabels() {
  for (auto &labels : m_captions) {
    labels[0]->setText(FromCp1252(m_title));
    labels[1]->setText(FromCp1252(m_labels.rut));
    labels[2]->setText(FromCp1252(m_labels.name));
    labels[3]->setText(FromCp1252(m_labels.period));
  }
}

void ValidatorWindow::StoreSettings() {
  m_settings.setValue(kDriveKey, m_drives->currentText());
  m_settings.setValue(kDirKey, QDir::toNativeSeparators(m_folders->Path()));
  m_settings.setValue(kFileKey, m_files->SelectedName());
  m_settings.setValue(kGeometryKey, saveGeometry());
  m_settings.sync();
}

void ValidatorWindow::closeEvent(QCloseEvent *event) {
  // A window whose start-up failed stores nothing.
  if (Started()) {
    StoreSettings();
  }
  event->accept();
}

void ValidatorWindow::dragEnterEvent(QDragEnterEvent *event) {
  if (!DroppedDataFile(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
  }
}

void ValidatorWindow::dropEvent(QDropEvent *event) {
  const QString path = DroppedDataFile(event->mimeData());
  if (!path.isEmpty() && SelectFile(path)) {
    event->acceptProposedAction();
  }
}

} // namespace verdalia::app
