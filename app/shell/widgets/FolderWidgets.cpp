#include "shell/widgets/FolderWidgets.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QSocketNotifier>
#include <QUrl>

#include <fcntl.h>
#include <unistd.h>

#include "platform/DriveMap.h"

namespace quillmere {

namespace {

const platform::DriveMap& drives() {
  return platform::DriveMap::current();
}

std::optional<QString> nativeFolder(const std::string& pathText) {
  const auto native = drives().toNative(pathText);
  if (!native) return std::nullopt;
  return QString::fromStdString(*native);
}

std::string pathTextOf(const QString& native) {
  return drives().toPathText(QDir::cleanPath(native).toStdString());
}

// Visible entries only: a name starting with "." is hidden; links to folders are not entered.
QFileInfoList visibleEntries(const QString& folder, QDir::Filters kind,
                             const QStringList& patterns = {}) {
  QDir dir(folder);
  dir.setFilter(kind | QDir::NoDotAndDotDot);
  dir.setSorting(QDir::Name | QDir::IgnoreCase);
  if (!patterns.isEmpty()) dir.setNameFilters(patterns);
  QFileInfoList out;
  for (const QFileInfo& info : dir.entryInfoList())
    if (!info.fileName().startsWith('.') && !(info.isDir() && info.isSymLink()))
      out.push_back(info);
  return out;
}

}  // namespace

// ---- drive list ---------------------------------------------------------------------------

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
  const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    m_mounts = new QSocketNotifier(fd, QSocketNotifier::Exception, this);
    connect(m_mounts, &QSocketNotifier::activated, this, &DriveList::refresh);
    connect(m_mounts, &QObject::destroyed, [fd] { ::close(fd); });
  }
  connect(this, &QComboBox::activated, this,
          [this](int index) { emit driveChosen(itemData(index).toString() + ":\\"); });
  refresh();
}

std::string DriveList::drive() const {
  return currentData().toString().toStdString() + ":";
}

void DriveList::setDrive(const std::string& pathText) {
  if (pathText.empty()) return;
  const int index = findData(QString(QChar(pathText[0])).toLower());
  if (index >= 0) setCurrentIndex(index);
}

void DriveList::refresh() {
  const QString chosen = currentData().toString();
  clear();
  for (const platform::Drive& drive : drives().drives()) {
    const QString letter = QString(QChar(drive.letter)).toLower();
    const QString label = drive.label.empty() ? QString::fromStdString(drive.nativeRoot)
                                              : QString::fromStdString(drive.label);
    addItem(letter + ": [" + label + "]", letter);
  }
  const int index = findData(chosen.isEmpty() ? QString("c") : chosen);
  if (index >= 0) setCurrentIndex(index);
}

// ---- folder list --------------------------------------------------------------------------

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
  connect(this, &QListWidget::itemActivated, this, &FolderList::openItem);
}

bool FolderList::setPath(const std::string& pathText) {
  const auto native = nativeFolder(pathText);
  if (!native || !QFileInfo(*native).isDir()) return false;
  m_path = pathTextOf(*native);
  refresh();
  emit pathChanged(QString::fromStdString(m_path));
  return true;
}

void FolderList::refresh() {
  clear();
  const auto native = nativeFolder(m_path);
  if (!native) return;
  // The ancestors, from the drive root down to the open folder, each indented one more step.
  std::vector<std::string> chain;
  for (std::string p = m_path;;) {
    chain.insert(chain.begin(), p);
    const std::size_t sep = p.find_last_of('\\');
    if (sep == std::string::npos || sep + 1 >= p.size()) break;
    p = sep == 2 ? p.substr(0, 3) : p.substr(0, sep);
  }
  int depth = 0;
  for (const std::string& p : chain) {
    const std::size_t sep = p.find_last_of('\\');
    const std::string name =
        (sep == std::string::npos || sep + 1 >= p.size()) ? p : p.substr(sep + 1);
    auto* item = new QListWidgetItem(QString(depth * 2, ' ') + QString::fromStdString(name), this);
    item->setData(Qt::UserRole, QString::fromStdString(p));
    ++depth;
  }
  setCurrentRow(count() - 1);
  for (const QFileInfo& info : visibleEntries(*native, QDir::Dirs)) {
    auto* item = new QListWidgetItem(QString(depth * 2, ' ') + info.fileName(), this);
    item->setData(Qt::UserRole, QString::fromStdString(pathTextOf(info.absoluteFilePath())));
  }
}

void FolderList::openItem(QListWidgetItem* item) {
  if (item != nullptr) setPath(item->data(Qt::UserRole).toString().toStdString());
}

// ---- file list ----------------------------------------------------------------------------

FileList::FileList(QWidget* parent) : QListWidget(parent) {}

void FileList::setPath(const std::string& pathText) {
  m_path = pathText;
  refresh();
}

void FileList::setPattern(const QString& pattern) {
  m_pattern = pattern;
  refresh();
}

void FileList::refresh() {
  clear();
  const auto native = nativeFolder(m_path);
  if (!native) return;
  QStringList patterns = m_pattern.split(';', Qt::SkipEmptyParts);
  for (QString& p : patterns) {
    p = p.trimmed();
    if (p == "*.*") p = "*";
  }
  for (const QFileInfo& info : visibleEntries(*native, QDir::Files, patterns))
    addItem(info.fileName());
}

// ---- folder chooser -----------------------------------------------------------------------

FolderChooserButton::FolderChooserButton(QWidget* parent) : QPushButton("...", parent) {
  connect(this, &QPushButton::clicked, this, &FolderChooserButton::choose);
}

void FolderChooserButton::choose() {
  const QString start = nativeFolder(m_start).value_or(QDir::homePath());
  const QString folder = QFileDialog::getExistingDirectory(this, QString(), start);
  if (!folder.isEmpty()) emit folderChosen(QString::fromStdString(pathTextOf(folder)));
}

// ---- drops --------------------------------------------------------------------------------

QStringList droppedPathTexts(const QMimeData* data) {
  QStringList out;
  if (data == nullptr || !data->hasUrls()) return out;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) out << QString::fromStdString(pathTextOf(url.toLocalFile()));
  return out;
}

void FileDropTarget::watch(QWidget* widget) {
  widget->setAcceptDrops(true);
  widget->installEventFilter(this);
}

bool FileDropTarget::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::DragEnter) {
    auto* enter = static_cast<QDragEnterEvent*>(event);
    if (droppedPathTexts(enter->mimeData()).isEmpty()) return false;
    enter->acceptProposedAction();
    return true;
  }
  if (event->type() == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    const QStringList files = droppedPathTexts(drop->mimeData());
    if (files.isEmpty()) return false;
    drop->acceptProposedAction();
    emit filesDropped(files);
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace quillmere
