#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>

#include <string>

class QMimeData;
class QSocketNotifier;

namespace quillmere {

// The drives of the drive map as a drop-down, "c: [label]" (the drive's folder when it has no
// label), refreshed whenever media come or go.
class DriveList final : public QComboBox {
  Q_OBJECT

 public:
  explicit DriveList(QWidget* parent = nullptr);

  // "c:" for the chosen drive.
  std::string drive() const;
  // Chooses the drive of a path text ("d:\DCIM" chooses d:); an unknown drive changes nothing.
  void setDrive(const std::string& pathText);
  void refresh();

 signals:
  void driveChosen(const QString& driveRoot);  // "d:\"

 private:
  QSocketNotifier* m_mounts = nullptr;
};

// The open folder's ancestors (from the drive root down) and its subfolders, as a classic
// folder list shows them; hidden folders are left out, as the listings leave them out.
class FolderList final : public QListWidget {
  Q_OBJECT

 public:
  explicit FolderList(QWidget* parent = nullptr);

  std::string path() const { return m_path; }
  // Opens a folder given as a path text; a folder that does not exist changes nothing.
  bool setPath(const std::string& pathText);
  void refresh();

 signals:
  void pathChanged(const QString& pathText);

 private:
  void openItem(QListWidgetItem* item);
  std::string m_path;
};

// The files of a folder that match a pattern ("*.jpg;*.JPG"), hidden files left out.
class FileList final : public QListWidget {
  Q_OBJECT

 public:
  explicit FileList(QWidget* parent = nullptr);

  std::string path() const { return m_path; }
  void setPath(const std::string& pathText);
  void setPattern(const QString& pattern);
  void refresh();

 private:
  std::string m_path;
  QString m_pattern = "*";
};

// A button that opens the desktop's own folder dialog and reports the folder chosen.
class FolderChooserButton final : public QPushButton {
  Q_OBJECT

 public:
  explicit FolderChooserButton(QWidget* parent = nullptr);
  void setStartFolder(const std::string& pathText) { m_start = pathText; }

 signals:
  void folderChosen(const QString& pathText);

 private:
  void choose();
  std::string m_start;
};

// Files dropped from the desktop's file manager (text/uri-list) as path texts; only local
// files count.
QStringList droppedPathTexts(const QMimeData* data);

// Takes file drops on the widgets it is installed on and reports them as path texts.
class FileDropTarget final : public QObject {
  Q_OBJECT

 public:
  explicit FileDropTarget(QObject* parent = nullptr) : QObject(parent) {}
  void watch(QWidget* widget);

 signals:
  void filesDropped(const QStringList& pathTexts);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace quillmere
