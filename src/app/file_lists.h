#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QTreeWidget>

#include <functional>
#include <vector>

namespace verdalia::app {

// The data files' name pattern: seven characters and ".txt".
inline constexpr const char *kDataFilePattern = "???????.txt";
bool IsDataFileName(const QString &name);

// A mounted volume: its root folder and its label (empty when it has none).
struct Volume {
  QString root;
  QString label;
};
// The volumes mounted now, as the system's mount table lists them.
std::vector<Volume> MountedVolumes();

// Drive1: the mounted volumes, each shown as its root folder and, when it has one, its label
// in brackets ("/media/usb [DATOS]"; on Windows the drives, "D:\ [DATOS]"). "/" (on Windows
// the system's drive) is always there, even where the mount table does not list it (a
// chroot, some containers).
class DriveList : public QComboBox {
  Q_OBJECT
public:
  using VolumeSource = std::function<std::vector<Volume>()>;
  explicit DriveList(QWidget *parent = nullptr, VolumeSource volumes = MountedVolumes);

  // Reads the mounted volumes again, keeping the current drive when it is still there.
  void Refresh();
  // The root folder of the current drive.
  QString RootPath() const;
  // Selects the drive shown as `text`; false when there is none.
  bool SelectDrive(const QString &text);
  // Selects, without announcing a change, the drive that holds `folder`.
  void FollowFolder(const QString &folder);

protected:
  // A volume mounted since the last look shows up when the list opens.
  void showPopup() override;

private:
  VolumeSource m_volumes;
};

// Dir1: the folder's ancestors from the root down, expanded, and its subfolders below it. A
// double click or Enter on a folder opens it.
class FolderList : public QTreeWidget {
  Q_OBJECT
public:
  explicit FolderList(QWidget *parent = nullptr);

  const QString &Path() const { return m_path; }
  // Opens `path`; false, and nothing changes, when it is no folder or cannot be read.
  bool SetPath(const QString &path);

signals:
  void pathChanged(const QString &path);
  // The operator opened a folder that cannot be read.
  void unreadable(const QString &path);

private:
  QString m_path;
};

// File1: the data files of one folder ("???????.txt", any case), sorted by name.
class FileList : public QListWidget {
  Q_OBJECT
public:
  explicit FileList(QWidget *parent = nullptr);

  const QString &Path() const { return m_path; }
  void SetPath(const QString &path);
  // The selected file's name, or an empty text when none is selected.
  QString SelectedName() const;
  // Selects `name` without announcing it; false when it is not listed.
  bool SelectName(const QString &name);

protected:
  // Coming into a list where no file is chosen chooses none: the first Down then chooses the
  // first file, not the second.
  void focusInEvent(QFocusEvent *event) override;

private:
  QString m_path;
};

} // namespace verdalia::app
