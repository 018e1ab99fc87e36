#pragma once

#include <QByteArray>

#include <functional>
#include <string>

#include "Connection.h"
#include "shell/panels/PanelWindow.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace quillmere {

// The version panel: shows our version, asks the version file on the endpoint whether a newer
// one is published, and fetches it into the user's download folder for the update hand-over.
class frmVersion final : public PanelWindow {
  Q_OBJECT

 public:
  struct Hooks {
    // The shell's update request; the main timer then hands the download over and ends.
    std::function<void(const std::string& downloadPathText)> requestUpdate;
    // Opens an address in the desktop's browser; by default the library's opener.
    std::function<void(const QString& address)> openAddress;
  };

  explicit frmVersion(Hooks hooks = {}, QWidget* parent = nullptr);

  void load() override;

  // The version the check compares with; the running program's by default.
  void setInstalledVersion(std::string version) { m_installed = std::move(version); }
  // The folder the download lands in; the user's download folder by default.
  void setDownloadFolder(QString folder) { m_downloadFolder = std::move(folder); }
  Connection& connection() { return *m_connection; }

 private:
  void buildControls();
  void verUp();
  void downLoad();
  void cancel();
  void homePage();
  // Fetches an address with Cancel shown meanwhile; the error in a warning box, unless the
  // transfer was cancelled. Empty after a failure.
  QByteArray fetch(const QString& address);
  void showIdle();

  Hooks m_hooks;
  std::string m_installed;
  QString m_downloadFolder;
  Connection* m_connection;
  bool m_downloading = false;  // the progress shows in Label3 only for the download
  QByteArray m_versionFile;    // the fetched version file, kept for DownLoad
  QLineEdit* m_ver1 = nullptr;
  QPushButton* m_verUp = nullptr;
  QPushButton* m_hp = nullptr;
  QPushButton* m_downLoad = nullptr;
  QPushButton* m_cancel = nullptr;
  QLabel* m_label1 = nullptr;
  QLabel* m_label3 = nullptr;
};

}  // namespace quillmere
