#pragma once

#include <QGroupBox>

#include <string>

class QComboBox;
class QHBoxLayout;

namespace quillmere {

class DriveList;
class FolderList;
class FileList;
class FileDropTarget;

// One folder side of a panel: the drive list, the favourites drop-down, the folder list and the
// file list, named by the side's prefix ("In" gives InDrive, InPath, InDir, InFile), with file
// drops on the three lists. The side shows folders; what a change means is the panel's business.
class FolderSide final : public QGroupBox {
  Q_OBJECT

 public:
  // prefix: "In" or "Out"; frameName: the frame's control name ("InDirFrame").
  FolderSide(const QString& prefix, const QString& frameName, const QString& caption,
             QWidget* parent = nullptr);

  DriveList* drives() const { return m_drives; }
  QComboBox* favourites() const { return m_favourites; }
  FolderList* folders() const { return m_folders; }
  FileList* files() const { return m_files; }
  // A row below the lists for the panel's own buttons (folder editor, eject).
  QHBoxLayout* buttonRow() const { return m_buttons; }

  // The folder the side shows, as a path text.
  std::string folder() const;
  // Shows a folder in all three lists without reporting it as the user's choice. False when
  // the folder does not exist (the lists then stay as they were).
  bool showFolder(const std::string& pathText);
  // Refreshes the three lists from the file system.
  void refresh();
  // The lists' enabled state and background: grey while the side stands for the other side.
  void setListsEnabled(bool enabled, const QColor& background);

 signals:
  void driveChosen(const std::string& driveRoot);
  void folderOpened(const std::string& pathText);
  void favouriteChosen(int position);
  void filesDropped(const QStringList& pathTexts);

 private:
  DriveList* m_drives;
  QComboBox* m_favourites;
  FolderList* m_folders;
  FileList* m_files;
  QHBoxLayout* m_buttons;
  FileDropTarget* m_drops;
  bool m_showing = false;
};

}  // namespace quillmere
