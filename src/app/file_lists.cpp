#include "app/file_lists.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStyle>

#include <algorithm>

namespace verdalia::app {
namespace {

// A drive list entry keeps its root folder apart from the text it shows.
constexpr int kRootRole = Qt::UserRole;
constexpr int kPathRole = Qt::UserRole;

QString DriveText(const Volume &volume) {
  QString text = QDir::toNativeSeparators(volume.root);
  if (!volume.label.isEmpty()) {
    text += QStringLiteral(" [") + volume.label + QLatin1Char(']');
  }
  return text;
}

bool IsUnder(const QString &folder, const QString &root) {
  if (root.endsWith(QLatin1Char('/'))) {
    return folder.startsWith(root) || folder + QLatin1Char('/') == root;
  }
  return folder == root || folder.startsWith(root + QLatin1Char('/'));
}

} // namespace

bool IsDataFileName(const QString &name) {
  // The same test as the folder listing's name filter, which ignores case.
  static const QRegularExpression pattern(
      QRegularExpression::anchoredPattern(
          QRegularExpression::wildcardToRegularExpression(QString::fromLatin1(kDataFilePattern))),
      QRegularExpression::CaseInsensitiveOption);
  return pattern.match(name).hasMatch();
}

std::vector<Volume> MountedVolumes() {
  std::vector<Volume> volumes;
  for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
    // Containers mount single files (resolv.conf, hosts); only folders are drives.
    if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir()) {
      volumes.push_back({volume.rootPath(), volume.name()});
    }
  }
  return volumes;
}

DriveList::DriveList(QWidget *parent, VolumeSource volumes)
    : QComboBox(parent), m_volumes(std::move(volumes)) {
  setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  setMinimumContentsLength(12);
  Refresh();
}

void DriveList::Refresh() {
  const QString current = RootPath();
  std::vector<Volume> volumes = m_volumes();
  // The system's root ("/"; on Windows the system's drive) is always there, listed or not:
  // a chroot's mount table may not have it.
  const QString system_root = QDir::rootPath();
  if (std::none_of(volumes.begin(), volumes.end(),
                   [&](const Volume &volume) { return volume.root == system_root; })) {
    volumes.push_back({system_root, QString()});
  }
  std::sort(volumes.begin(), volumes.end(),
            [](const Volume &a, const Volume &b) { return a.root < b.root; });
  const QSignalBlocker blocker(this);
  clear();
  const QIcon icon = style()->standardIcon(QStyle::SP_DriveHDIcon);
  for (const Volume &volume : volumes) {
    addItem(icon, DriveText(volume), volume.root);
  }
  const int index = findData(current, kRootRole);
  setCurrentIndex(index >= 0 ? index : 0);
}

void DriveList::showPopup() {
  Refresh();
  QComboBox::showPopup();
}

QString DriveList::RootPath() const {
  return currentData(kRootRole).toString();
}

bool DriveList::SelectDrive(const QString &text) {
  int index = findText(text);
  if (index < 0) {
    // The label of a volume may have changed since it was stored: its root still names it.
    const QString root = QDir::fromNativeSeparators(text.section(QStringLiteral(" ["), 0, 0));
    index = findData(root, kRootRole);
  }
  if (index < 0) {
    return false;
  }
  setCurrentIndex(index);
  return true;
}

void DriveList::FollowFolder(const QString &folder) {
  int best = -1;
  qsizetype best_length = -1;
  for (int i = 0; i < count(); ++i) {
    const QString root = itemData(i, kRootRole).toString();
    if (IsUnder(folder, root) && root.size() > best_length) {
      best = i;
      best_length = root.size();
    }
  }
  if (best >= 0 && best != currentIndex()) {
    const QSignalBlocker blocker(this);
    setCurrentIndex(best);
  }
}

FolderList::FolderList(QWidget *parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setRootIsDecorated(false);
  setIndentation(12);
  setItemsExpandable(false);
  setExpandsOnDoubleClick(false);
  connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
    const QString path = item->data(0, kPathRole).toString();
    if (path != m_path && !SetPath(path)) {
      emit unreadable(path);
    }
  });
}

bool FolderList::SetPath(const QString &path) {
  const QFileInfo info(path);
  if (!info.isDir() || !info.isReadable() || !info.isExecutable()) {
    return false;
  }
  QDir dir(info.absoluteFilePath());
  const QString canonical = dir.canonicalPath();
  if (canonical.isEmpty()) {
    return false;
  }
  dir.setPath(canonical);
  const QStringList children =
      dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);

  // The chain of ancestors, from the root down to the folder itself.
  QStringList chain;
  QDir up(canonical);
  chain.prepend(up.path());
  while (!up.isRoot() && up.cdUp()) {
    chain.prepend(up.path());
  }

  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  clear();
  QTreeWidgetItem *parent = nullptr;
  for (const QString &folder : chain) {
    const QString name =
        QDir(folder).isRoot() ? QDir::toNativeSeparators(folder) : QFileInfo(folder).fileName();
    auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, name);
    item->setIcon(0, open);
    item->setData(0, kPathRole, folder);
    item->setExpanded(true);
    parent = item;
  }
  QTreeWidgetItem *current = parent;
  for (const QString &child : children) {
    auto *item = new QTreeWidgetItem(current);
    item->setText(0, child);
    item->setIcon(0, closed);
    item->setData(0, kPathRole, dir.filePath(child));
  }
  expandAll();
  setCurrentItem(current);
  scrollToItem(current);

  const bool changed = canonical != m_path;
  m_path = canonical;
  if (changed) {
    emit pathChanged(m_path);
  }
  return true;
}

FileList::FileList(QWidget *parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
}

void FileList::SetPath(const QString &path) {
  m_path = path;
  const QSignalBlocker blocker(this);
  clear();
  // Without QDir::CaseSensitive the name filter ignores case, as the platform of the
  // insurers' files does.
  const QStringList names = QDir(path).entryList({QString::fromLatin1(kDataFilePattern)},
                                                 QDir::Files, QDir::Name | QDir::IgnoreCase);
  addItems(names);
  setCurrentRow(-1);
}

void FileList::focusInEvent(QFocusEvent *event) {
  const bool none = !currentIndex().isValid();
  const QSignalBlocker blocker(this);
  QListWidget::focusInEvent(event);
  if (none) {
    selectionModel()->clearCurrentIndex();
  }
}

QString FileList::SelectedName() const {
  const QList<QListWidgetItem *> selected = selectedItems();
  return selected.isEmpty() ? QString() : selected.first()->text();
}

bool FileList::SelectName(const QString &name) {
  const QList<QListWidgetItem *> found = findItems(name, Qt::MatchExactly);
  if (found.isEmpty()) {
    return false;
  }
  const QSignalBlocker blocker(this);
  setCurrentItem(found.first());
  found.first()->setSelected(true);
  scrollToItem(found.first());
  return true;
}

} // namespace verdalia::app
