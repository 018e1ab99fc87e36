#include "shell/panels/FolderSide.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "shell/widgets/FolderWidgets.h"

namespace quillmere {

FolderSide::FolderSide(const QString& prefix, const QString& frameName, const QString& caption,
                       QWidget* parent)
    : QGroupBox(caption, parent),
      m_drives(new DriveList(this)),
      m_favourites(new QComboBox(this)),
      m_folders(new FolderList(this)),
      m_files(new FileList(this)),
      m_buttons(new QHBoxLayout),
      m_drops(new FileDropTarget(this)) {
  setObjectName(frameName);
  m_drives->setObjectName(prefix + "Drive");
  m_favourites->setObjectName(prefix + "Path");
  m_folders->setObjectName(prefix + "Dir");
  m_files->setObjectName(prefix + "File");
  m_drives->setToolTip(QString::fromUtf8("ディスクを選択"));
  m_folders->setToolTip(QString::fromUtf8("ディレクトリを選択"));
  m_files->setToolTip(QString::fromUtf8("ファイル名の表示"));
  m_favourites->setToolTip(QString::fromUtf8("良く使うディレクトリを登録出来ます。"));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(3);
  layout->addWidget(m_favourites);
  layout->addWidget(m_drives);
  layout->addWidget(m_folders, 3);
  layout->addWidget(m_files, 2);
  m_buttons->setSpacing(3);
  layout->addLayout(m_buttons);

  for (QWidget* list : {static_cast<QWidget*>(m_drives), static_cast<QWidget*>(m_folders),
                        static_cast<QWidget*>(m_files)})
    m_drops->watch(list);

  connect(m_drives, &DriveList::driveChosen, this,
          [this](const QString& root) { emit driveChosen(root.toStdString()); });
  connect(m_folders, &FolderList::pathChanged, this, [this](const QString& path) {
    m_files->setPath(path.toStdString());
    if (!m_showing) emit folderOpened(path.toStdString());
  });
  connect(m_favourites, &QComboBox::activated, this, &FolderSide::favouriteChosen);
  connect(m_drops, &FileDropTarget::filesDropped, this, &FolderSide::filesDropped);
}

std::string FolderSide::folder() const {
  return m_folders->path();
}

bool FolderSide::showFolder(const std::string& pathText) {
  m_showing = true;
  const bool shown = m_folders->setPath(pathText);
  m_showing = false;
  if (shown) m_drives->setDrive(m_folders->path());
  m_files->setPath(m_folders->path());
  return shown;
}

void FolderSide::refresh() {
  const QSignalBlocker block(m_drives);
  m_drives->refresh();
  m_drives->setDrive(folder());
  m_folders->refresh();
  m_files->refresh();
}

void FolderSide::setListsEnabled(bool enabled, const QColor& background) {
  for (QWidget* w : {static_cast<QWidget*>(m_favourites), static_cast<QWidget*>(m_drives),
                     static_cast<QWidget*>(m_folders), static_cast<QWidget*>(m_files)}) {
    w->setEnabled(enabled);
    QPalette palette = w->palette();
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::Button, background);
    w->setAutoFillBackground(true);
    w->setPalette(palette);
  }
}

}  // namespace quillmere
