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
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/dialogs.h"
#include "app/elided_label.h"
#include "app/file_lists.h"
#include "app/qt_text.h"
#include "app/result_grid.h"
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
ElidedLabel *ValueBox(const QString &name, QWidget *parent) {
  auto *label = new ElidedLabel(Qt::ElideRight, parent);
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

// The nearest folder at or above `folder` that still exists; empty when none does.
QString NearestExisting(QString folder) {
  while (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
    const QString parent = QFileInfo(folder).path();
    if (parent == folder) {
      return {};
    }
    folder = parent;
  }
  return folder;
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
  m_tabs->insertTab(kFilesTab, files_tab, QStringLiteral("Validación de Archivos"));
  m_tabs->insertTab(kPhysicalTab, physical_tab, QStringLiteral("Resultado de Validación Física"));
  m_tabs->insertTab(kLogicalTab, logical_tab, QStringLiteral("Resultado de Validación Lógica"));
  BuildFileTab(files_tab);
  BuildResultTab(physical_tab, 0);
  BuildResultTab(logical_tab, 1);
  BuildShortcuts();
  setCentralWidget(m_tabs);
  resize(980, 680);

  for (int index = 0; index < 2; ++index) {
    m_lists[static_cast<std::size_t>(index)].title =
        FactsOf(FileKind::Production).title; // until a run names the kind
    ShowLabels(index);
  }

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

  m_notice = new QLabel(frame);
  m_notice->setObjectName(QStringLiteral("lblAviso"));
  m_notice->setWordWrap(true);
  m_notice->setVisible(false);
  auto *grid = new QGridLayout(frame);
  grid->addWidget(file_caption, 0, 0);
  grid->addWidget(m_files, 1, 0, 2, 1);
  grid->addWidget(dir_caption, 0, 1);
  grid->addWidget(m_folders, 1, 1);
  grid->addWidget(m_drives, 2, 1);
  grid->addWidget(m_notice, 3, 0, 1, 2);
  grid->setColumnStretch(0, 2);
  grid->setColumnStretch(1, 3);
  grid->setRowStretch(1, 1);

  // Each run has a letter of its own (Alt+F, Alt+L): with one letter for both, Alt+R would
  // only move between them.
  m_physical_button =
      Button(QStringLiteral("cmdProcesar"), QStringLiteral("Realizar Verificación &Física"), tab);
  m_logical_button = Button(QStringLiteral("cmdValidacionLogica"),
                            QStringLiteral("Realizar Verificación &Lógica"), tab);
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
  labels[0] = new ElidedLabel(Qt::ElideRight, tab);
  labels[0]->setObjectName(label_name.arg(0));
  QFont bold = labels[0]->font();
  bold.setBold(true);
  labels[0]->setFont(bold);
  for (int k = 1; k <= 3; ++k) {
    labels[static_cast<std::size_t>(k)] = ValueBox(label_name.arg(k), tab);
  }
  // The boxes as wide as 14, 56 and 14 figures while there is room; narrower, they cut their
  // text (whole in the tooltip) rather than widen the window.
  labels[1]->SetWidths(11, 14);
  labels[2]->SetWidths(10, 56);
  labels[3]->SetWidths(6, 14);

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
  shortcut(QKeySequence::Find, &ValidatorWindow::FocusFilter, nullptr);
}

void ValidatorWindow::FocusFilter() {
  // The filter of the list shown; on the first tab there is none.
  const int tab = m_tabs->currentIndex();
  if (tab == kPhysicalTab || tab == kLogicalTab) {
    QLineEdit *filter = m_panels[static_cast<std::size_t>(tab - kPhysicalTab)]->FilterText();
    filter->setFocus(Qt::ShortcutFocusReason);
    filter->selectAll();
  }
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
    OpenFolderOrParent(QDir::fromNativeSeparators(dir));
  }
  const QString file = m_settings.value(kFileKey).toString();
  if (!file.isEmpty()) {
    m_files->SelectName(file);
  }
  UpdateRunButtons();
  restoreGeometry(m_settings.value(kGeometryKey).toByteArray());
  // A size remembered on a larger screen (or at a smaller scale), or the first one on a small
  // screen, is brought within this one, frame and title bar included.
  if (const QScreen *screen = this->screen()) {
    const QSize room = screen->availableGeometry().size() - QSize(16, 48);
    const QSize size = this->size().boundedTo(room).expandedTo(minimumSizeHint());
    if (size != this->size()) {
      resize(size);
    }
  }
  m_restoring = false;
}

bool ValidatorWindow::OpenFolderOrParent(const QString &folder) {
  if (OpenFolder(folder)) {
    return true;
  }
  // Gone, or not to be read: the nearest folder above it that can be.
  QString parent = NearestExisting(folder);
  while (!parent.isEmpty() && !OpenFolder(parent)) {
    const QString up = QFileInfo(parent).path();
    parent = up == parent ? QString() : up;
  }
  if (parent.isEmpty()) {
    return false;
  }
  const bool gone = !QFileInfo(folder).isDir();
  m_notice->setText(
      QStringLiteral("La carpeta %1 %2; se muestra %3.")
          .arg(QDir::toNativeSeparators(folder),
               gone ? QStringLiteral("ya no existe") : QStringLiteral("no se puede leer"),
               QDir::toNativeSeparators(m_folders->Path())));
  m_notice->setVisible(true);
  return true;
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
  m_tabs->setCurrentIndex(kFilesTab);
  OnFileChosen();
  return true;
}

void ValidatorWindow::Reread() {
  const QString selected = m_files->SelectedName();
  const QString folder = m_folders->Path();
  m_drives->Refresh();
  if (!OpenFolderOrParent(folder)) {
    return;
  }
  if (m_folders->Path() == folder) {
    m_files->SelectName(selected); // still chosen when it is still there
  }
  UpdateRunButtons();
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
  // What was said of the folder before is said of it no more.
  m_notice->clear();
  m_notice->setVisible(false);
  UpdateRunButtons();
}

void ValidatorWindow::OnFileChosen() {
  // A newly chosen file must pass the physical verification before its logical one.
  m_logical_ready = false;
  UpdateRunButtons();
}

void ValidatorWindow::UpdateRunButtons() {
  const bool chosen = !m_files->SelectedName().isEmpty();
  m_physical_button->setEnabled(chosen);
  m_logical_button->setEnabled(chosen && m_logical_ready && SelectedPath() == List(0).path);
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
  // Each list keeps what it held, and the captions of the file it came from.
  m_dialogs.critical(this, QStringLiteral("Atención"), text);
  return true;
}

void ValidatorWindow::ShowList(int index, ShownList list) {
  auto &shown = m_lists[static_cast<std::size_t>(index)];
  shown = std::move(list);
  ShowLabels(index);
  m_panels[static_cast<std::size_t>(index)]->ShowList(
      shown.contents, shown.lines, shown.kind, FromFileSystemName(shown.path),
      m_validator ? &m_validator->Reference() : nullptr);
}

void ValidatorWindow::RunPhysical() {
  m_logical_ready = false;
  UpdateRunButtons();
  if (!m_validator || m_files->SelectedName().isEmpty()) {
    return;
  }
  const std::string path = SelectedPath();
  RunResult result;
  bool shown = true;
  {
    const WaitCursor wait;
    // The whole check's own entry, asked to stop after the physical verification: the
    // logical one waits for its button.
    result = std::move(m_validator->Check(path, List(0).labels, Scope::PhysicalOnly).physical);
    shown = result.Refused() || ShowPhysical(path, result);
  }
  if (!shown) {
    NoMemoryToShow(path);
    return;
  }
  if (ShowRefusal(result)) {
    return;
  }
  m_dialogs.information(this, QStringLiteral("Verificar"),
                        QStringLiteral("Verificación Física finalizada"));
  m_tabs->setCurrentIndex(kPhysicalTab);
  // The keys go on in the list, not on a button the space bar would press.
  m_panels[0]->Grid()->setFocus(Qt::OtherFocusReason);
  m_logical_ready = OnlyWarnings(Rows(0));
  UpdateRunButtons();
}

bool ValidatorWindow::ShowPhysical(const std::string &path, RunResult &result) {
  try {
    // Both lists start again: the physical one with its rows, the logical one with none
    // yet; the header names the file above both.
    ++m_checks;
    std::vector<std::string> lines(result.file.lines.begin(), result.file.lines.end());
    ShowList(0,
             {path, std::make_shared<const ListContents>(std::move(result.rows)), std::move(lines),
              result.kind, m_checks, FactsOf(*result.kind).title, result.labels});
    ShowList(1, {{},
                 std::make_shared<const ListContents>(),
                 {},
                 std::nullopt,
                 m_checks,
                 FactsOf(*result.kind).title,
                 result.labels});
    m_checked = std::move(result.file);
    return true;
  } catch (const std::bad_alloc &) {
    return false;
  }
}

bool ValidatorWindow::ShowLogical(const std::string &path, RunResult &result) {
  try {
    // The rule set names the file again, above both lists of this one check.
    std::vector<std::string> lines(result.file.lines.begin(), result.file.lines.end());
    ShowList(1,
             {path, std::make_shared<const ListContents>(std::move(result.rows)), std::move(lines),
              result.kind, m_checks, FactsOf(*result.kind).title, result.labels});
    m_lists[0].title = FactsOf(*result.kind).title;
    m_lists[0].labels = result.labels;
    ShowLabels(0);
    return true;
  } catch (const std::bad_alloc &) {
    return false;
  }
}

// A list too large for the memory left is not shown half: both lists are emptied, as no run
// had made them, and the logical verification waits for another physical one.
void ValidatorWindow::NoMemoryToShow(const std::string &path) {
  for (int index = 0; index < 2; ++index) {
    ShowList(index, {});
  }
  m_checked = DataFile{};
  m_logical_ready = false;
  UpdateRunButtons();
  m_dialogs.critical(this, QStringLiteral("Atención"),
                     QStringLiteral("No hay memoria suficiente para mostrar el listado del "
                                    "archivo %1.")
                         .arg(QDir::toNativeSeparators(FromFileSystemName(path))));
}

void ValidatorWindow::RunLogical() {
  if (!m_validator || !m_logical_button->isEnabled()) {
    return;
  }
  // The file the physical list came from, which is the one chosen while the button is on.
  const std::string path = List(0).path;
  RunResult result;
  bool shown = true;
  {
    const WaitCursor wait;
    // Only the bytes the physical run passed are checked: a file changed since is refused.
    result = m_validator->Logical(path, m_checked, List(0).labels);
    shown = result.Refused() || ShowLogical(path, result);
  }
  if (!shown) {
    NoMemoryToShow(path);
    return;
  }
  if (result.Refused() && result.refusal->reason == Refusal::Reason::Changed) {
    // What passed the physical verification is not on disk any more.
    m_logical_ready = false;
    UpdateRunButtons();
  }
  if (ShowRefusal(result)) {
    return;
  }
  m_dialogs.information(this, QStringLiteral("Verificar"),
                        QStringLiteral("Verificación Lógica finalizada"));
  m_tabs->setCurrentIndex(kLogicalTab);
  m_panels[1]->Grid()->setFocus(Qt::OtherFocusReason);
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
  const SaveResult saved = SaveErrorList(path, list.contents->Rows());
  if (!saved.ok) {
    m_dialogs.critical(
        this, QStringLiteral("Atención"),
        QStringLiteral("No se pudo guardar el listado de errores en el archivo %1: %2")
            .arg(QDir::toNativeSeparators(FromFileSystemName(path)),
                 QString::fromUtf8(saved.error)));
    return;
  }
  QString message = FromCp1252(SavedMessage(path));
  m_saved_check[static_cast<std::size_t>(index)] = list.check;
  m_saved_path[static_cast<std::size_t>(index)] = path;
  // The other list beside it, when this check did not write it, reads as this check's: a
  // logical list of an earlier check, or the physical list of one (whose errors may have
  // kept its logical verification from running at all).
  const auto other = static_cast<std::size_t>(1 - index);
  if (const std::string beside = ErrorListPath(
          list.path, kind == ListKind::Logical ? ListKind::Physical : ListKind::Logical);
      !(m_saved_check[other] == list.check && m_saved_path[other] == beside) &&
      QFileInfo::exists(FromFileSystemName(beside))) {
    message += QStringLiteral("\n\nEl listado %1 que está junto a él es de una verificación "
                              "anterior.")
                   .arg(QDir::toNativeSeparators(FromFileSystemName(beside)));
  }
  m_dialogs.information(this, QStringLiteral("Atención"), message);
}

std::unique_ptr<PreviewWindow> ValidatorWindow::MakePreview(int index) {
  const ShownList &list = List(index);
  if (list.path.empty()) {
    return nullptr;
  }
  const ListKind kind = index == 0 ? ListKind::Physical : ListKind::Logical;
  PreviewInputs inputs;
  inputs.header = {Cp1252Text(VerificationName(kind)),
                   Cp1252Text(list.title),
                   list.labels.rut,
                   list.labels.name,
                   list.labels.period,
                   {}};
  inputs.list = list.contents;
  inputs.pdf_suggestion =
      FromFileSystemName(ErrorListPath(list.path, kind)) + QStringLiteral(".pdf");
  return std::make_unique<PreviewWindow>(m_dialogs, std::move(inputs), m_printers, this);
}

void ValidatorWindow::PrintList(int index) {
  const std::unique_ptr<PreviewWindow> preview = MakePreview(index);
  if (!preview) {
    // A list that no run has made would print as a clean result of a check never done.
    m_dialogs.information(this, QStringLiteral("Atención"),
                          QStringLiteral("No hay un listado de errores que imprimir."));
    return;
  }
  preview->exec();
}

void ValidatorWindow::ShowLabels(int index) {
  const ShownList &list = List(index);
  auto &labels = m_captions[static_cast<std::size_t>(index)];
  labels[0]->SetText(FromCp1252(list.title));
  labels[1]->SetText(FromCp1252(list.labels.rut));
  labels[2]->SetText(FromCp1252(list.labels.name));
  labels[3]->SetText(FromCp1252(list.labels.period));
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
