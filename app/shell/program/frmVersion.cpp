#include "frmVersion.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkReply>
#include <QPushButton>
#include <QStandardPaths>

#include "QtUiHook.h"
#include "VersionCheck.h"
#include "core/Main.h"
#include "core/UiHook.h"
#include "platform/DriveMap.h"
#include "shell/core/ShellState.h"

namespace quillmere {

namespace {

const char* const kChecking = "バージョンをチェックしてます。";
const char* const kNewer = "新しいバージョンがリリースされています。";
const char* const kLatest = "これが最新版です。";
const char* const kUnreachable =
    "Internetに接続できなかった為、バージョンチェックが出来ませんでした。";
const char* const kDownloading =
    "最新版をダウンロード中です。\nダウンロード後に自動解凍を行い、自動バージョンアップされます。";

void warn(const QString& text) {
  if (UiHook* hook = uiHook())
    hook->messageBox(text.toStdString(), msgbox::kOkOnly | msgbox::kExclamation, "");
}

QString userDownloadFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
  if (folder.isEmpty()) folder = QDir::homePath();
  return folder;
}

}  // namespace

frmVersion::frmVersion(Hooks hooks, QWidget* parent)
    : PanelWindow(Panel::Version, parent),
      m_hooks(std::move(hooks)),
      m_installed(version::installedVersion()),
      m_connection(new Connection(this)) {
  setWindowTitle("[Version]");
  buildControls();
  connect(m_connection, &Connection::progress, this, [this](float percent) {
    if (m_downloading) m_label3->setText(version::percentText(percent) + " %");
  });
}

void frmVersion::buildControls() {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(12, 12, 12, 12);
  m_ver1 = new QLineEdit(this);
  m_ver1->setObjectName("Ver1");
  m_ver1->setReadOnly(true);
  m_verUp = new QPushButton("VerUP", this);
  m_verUp->setObjectName("VerUP");
  m_verUp->setToolTip(QString::fromUtf8("バージョンアップされているかどうかチェックします"));
  m_hp = new QPushButton("Support Home Page", this);
  m_hp->setObjectName("HP");
  m_downLoad = new QPushButton("DownLoad", this);
  m_downLoad->setObjectName("Down_Load");
  m_cancel = new QPushButton("Cancel", this);
  m_cancel->setObjectName("Cancel");
  m_cancel->setToolTip(QString::fromUtf8("中止します。"));
  m_label1 = new QLabel(this);
  m_label1->setObjectName("Label1");
  m_label1->setWordWrap(true);
  m_label3 = new QLabel(this);
  m_label3->setObjectName("Label3");
  m_label3->setWordWrap(true);

  grid->addWidget(m_ver1, 0, 0);
  grid->addWidget(m_verUp, 0, 1);
  grid->addWidget(m_hp, 1, 1);
  grid->addWidget(m_downLoad, 2, 1);
  grid->addWidget(m_cancel, 3, 1);
  grid->addWidget(m_label1, 1, 0, 2, 1, Qt::AlignTop);
  grid->addWidget(m_label3, 3, 0);
  grid->setColumnStretch(0, 1);
  grid->setColumnMinimumWidth(1, m_hp->sizeHint().width() + 24);
  grid->setRowStretch(4, 1);
  m_downLoad->hide();
  m_cancel->hide();

  connect(m_verUp, &QPushButton::clicked, this, &frmVersion::verUp);
  connect(m_hp, &QPushButton::clicked, this, &frmVersion::homePage);
  connect(m_downLoad, &QPushButton::clicked, this, &frmVersion::downLoad);
  connect(m_cancel, &QPushButton::clicked, this, &frmVersion::cancel);
}

void frmVersion::load() {
  if (shell().state(Panel::Version) == kPanelClosed) return;
  m_ver1->setText(version::versionBoxText(m_installed));
  QApplication::processEvents();
}

QByteArray frmVersion::fetch(const QString& address) {
  m_cancel->show();
  const QByteArray bytes = m_connection->Connect(address);
  m_cancel->hide();
  const Connection::Error& error = m_connection->ErrStatus();
  if (error.number != 0 && error.number != QNetworkReply::OperationCanceledError)
    warn(error.description);
  return bytes;
}

void frmVersion::showIdle() {
  m_downLoad->hide();
  m_cancel->hide();
  m_verUp->show();
  m_hp->show();
  m_verUp->setEnabled(true);
  m_hp->setEnabled(true);
}

void frmVersion::verUp() {
  m_verUp->setEnabled(false);
  m_hp->setEnabled(false);
  const QString address = version::versionFileAddress(shell().iniPath);
  m_label1->setText(QString::fromUtf8(kChecking));
  QApplication::processEvents();
  m_versionFile = fetch(address);
  if (m_connection->ErrStatus().number == QNetworkReply::OperationCanceledError) return;
  const std::string published = version::publishedValues(m_versionFile)[0];
  switch (version::compareVersions(published, m_installed)) {
    case version::Answer::Newer:
      m_label1->setText(QString::fromUtf8(kNewer));
      m_downLoad->show();
      m_cancel->show();
      break;
    case version::Answer::Latest:
      m_label1->setText(QString::fromUtf8(kLatest));
      showIdle();
      break;
    case version::Answer::Unreachable:
      m_label1->setText(QString::fromUtf8(kUnreachable));
      showIdle();
      break;
  }
}

void frmVersion::downLoad() {
  m_cancel->hide();
  m_downLoad->hide();
  m_label3->clear();
  const QString address = QString::fromStdString(version::publishedValues(m_versionFile)[1]);
  m_versionFile.clear();
  m_label1->setText(QString::fromUtf8(kDownloading));
  QApplication::processEvents();

  m_downloading = true;
  const QByteArray bytes = fetch(address);
  m_downloading = false;
  if (m_connection->ErrStatus().number != 0) {
    if (m_connection->ErrStatus().number != QNetworkReply::OperationCanceledError)
      m_label1->clear();
    showIdle();
    return;
  }
  // A fresh name, never an existing file; readable, never executable: the desktop's opener
  // decides what to do with it.
  const QString folder = m_downloadFolder.isEmpty() ? userDownloadFolder() : m_downloadFolder;
  QDir().mkpath(folder);
  const QString target = version::downloadTarget(folder, address);
  QFile file(target);
  if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(bytes) != bytes.size() ||
      !file.flush()) {
    warn(QString::fromUtf8("ダウンロードしたファイルを保存できません: ") + target + " (" +
         file.errorString() + ")");
    file.remove();
    m_label1->clear();
    showIdle();
    return;
  }
  file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
  file.close();
  m_label3->setText(target);
  if (m_hooks.requestUpdate)
    m_hooks.requestUpdate(platform::DriveMap::current().toPathText(target.toStdString()));
}

void frmVersion::cancel() {
  m_connection->Cancel();
  m_label1->clear();
  m_label3->clear();
  showIdle();
}

void frmVersion::homePage() {
  const QString address = version::homePageAddress(shell().iniPath);
  if (m_hooks.openAddress) {
    m_hooks.openAddress(address);
    return;
  }
  try {
    dll().DLL_OpenFile(quillmere::windowHandle(window()), address.toStdString(), "", 5);
  } catch (const DllError&) {
    // The home page is a convenience: a failure leaves the panel as it was.
  }
}

}  // namespace quillmere
