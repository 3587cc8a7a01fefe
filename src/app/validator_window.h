#pragma once

#include <QMainWindow>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/list_contents.h"
#include "app/preview_window.h"
#include "engine/validation.h"

class QLabel;
class QPushButton;
class QSettings;
class QTabWidget;

namespace verdalia::app {

class Dialogs;
class DriveList;
class ElidedLabel;
class FileList;
class FolderList;
class ResultPanel;

// frmValidador, "Validación Verdalia": choosing a data file, the two verifications and their
// result lists. All work happens on this thread, one event at a time: a run holds the window
// until its end message.
class ValidatorWindow : public QMainWindow {
  Q_OBJECT
public:
  // `settings` is the per-user store of the remembered drive, folder, file and window place.
  ValidatorWindow(Dialogs &dialogs, QSettings &settings, QWidget *parent = nullptr);
  ~ValidatorWindow() override;

  // The tabs, in their order: choosing the file, then the physical and the logical list. The
  // list `index` (0 physical, 1 logical) is on tab kPhysicalTab + index.
  enum Tab { kFilesTab = 0, kPhysicalTab = 1, kLogicalTab = 2 };

  // Start-up: restores the remembered drive, folder and file (what is gone is ignored) and
  // the window's place, then loads the reference database. False after the error's message
  // box: the program ends, and the settings are not stored.
  bool Start(const QString &database_path);
  bool Started() const { return m_validator.has_value(); }

  // Opens `folder` as if it had been chosen in the drive and folder lists.
  bool OpenFolder(const QString &folder);
  // Opens `folder`, or when it is gone or cannot be read its nearest parent that can, and
  // says so on the first tab. False when not even the root can be read.
  bool OpenFolderOrParent(const QString &folder);
  // Selects a data file as if it had been chosen in the lists (a file dropped on the window).
  bool SelectFile(const QString &path);

  // The preview of list `index` (0 physical, 1 logical) that "&Imprimir" opens; none while
  // no run has made that list.
  std::unique_ptr<PreviewWindow> MakePreview(int index);
  void SetPrinterFactory(PrinterFactory printers) { m_printers = std::move(printers); }

  // The rows of list `index` (0 physical, 1 logical) as they were made.
  const ResultList &Rows(int index) const { return List(index).contents->Rows(); }

  // The buttons' work: "Realizar Verificación &Física" (F5), "Realizar Verificación &Lógica"
  // (F6), each only while its button is enabled, and "&Guardar" and "&Imprimir" under list
  // `index`; reading the folder again (Ctrl+R).
  void RunPhysical();
  void RunLogical();
  void SaveList(int index);
  void PrintList(int index);
  void Reread();

protected:
  void closeEvent(QCloseEvent *event) override;
  void dragEnterEvent(QDragEnterEvent *event) override;
  void dropEvent(QDropEvent *event) override;

private:
  // One result list and the file it was made from, with the title and labels that name that
  // file above it: a refused run leaves every list as it was, captions included.
  struct ShownList {
    std::string path; // as the file system names it; empty while no run has made the list
    std::shared_ptr<const ListContents> contents = std::make_shared<ListContents>();
    std::vector<std::string> lines; // the file's lines, for the record under the list
    std::optional<FileKind> kind;   // none while no run has made the list
    int check = 0;                  // the physical run it belongs to, counted from 1
    Cp1252View title;               // the kind's
    HeaderLabels labels;
  };

  void BuildFileTab(QWidget *tab);
  void ConnectFileTab();
  void BuildResultTab(QWidget *tab, int index);
  void BuildShortcuts();
  void OnDriveChanged();
  void OnFolderChanged(const QString &path);
  void OnFileChosen();
  // Each run button is enabled only while it can run: the physical one with a file chosen,
  // the logical one when that file's physical list lets it follow.
  void UpdateRunButtons();
  void FocusFilter();
  void RestoreSettings();
  void StoreSettings();
  // The selected file's full path, as the file system names it.
  std::string SelectedPath() const;
  // A refused run's message box; false when the run was not refused.
  bool ShowRefusal(const RunResult &result);
  // The captions above list `index`: those of the file the list came from.
  void ShowLabels(int index);
  // A run's lists shown; false, after its message, when there was no memory to show them.
  bool ShowPhysical(const std::string &path, RunResult &result);
  bool ShowLogical(const std::string &path, RunResult &result);
  void NoMemoryToShow(const std::string &path);
  void ShowList(int index, ShownList list);
  const ShownList &List(int index) const { return m_lists[static_cast<std::size_t>(index)]; }

  Dialogs &m_dialogs;
  QSettings &m_settings;
  std::optional<Validator> m_validator;
  PrinterFactory m_printers = DefaultPrinter;
  bool m_restoring = false;
  std::array<ShownList, 2> m_lists;
  bool m_logical_ready = false; // the physical list of the chosen file lets the logical run follow
  DataFile m_checked;           // what the last physical run read, which the logical run checks
  int m_checks = 0;             // physical runs that checked a file
  std::array<int, 2> m_saved_check{};      // the run whose list of each kind was saved last ...
  std::array<std::string, 2> m_saved_path; // ... to this file

  QTabWidget *m_tabs = nullptr;
  DriveList *m_drives = nullptr;
  FolderList *m_folders = nullptr;
  FileList *m_files = nullptr;
  QPushButton *m_physical_button = nullptr;
  QPushButton *m_logical_button = nullptr;
  QLabel *m_notice = nullptr; // a line under the folders: where the folder shown came from
  std::array<std::array<ElidedLabel *, 4>, 2>
      m_captions{}; // [list][0 title, 1 RUT, 2 name, 3 period]
  std::array<ResultPanel *, 2> m_panels{};
};

} // namespace verdalia::app
