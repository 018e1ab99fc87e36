#include "shell/panels/backup/frmBackUP.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "backup/BackupEngine.h"
#include "core/UiHook.h"
#include "shell/core/ShellState.h"
#include "shell/panels/OptionBinder.h"
#include "shell/widgets/InputChecks.h"

namespace quillmere {

using backup::BackupSettings;
using backup::NameBy;

namespace {

constexpr int kFileNameLength = 64;

}  // namespace

frmBackUP::frmBackUP(QWidget* parent)
    : FolderPairPanel(Panel::BackUP, backup::kSection, utf8("対象ディレクトリ指定"),
                      utf8("圧縮ファイル保存先指定"), 39, parent) {
  setWindowTitle(utf8("[BackUP作成]"));
  m_binder = new OptionBinder(this);
  m_details = new QGroupBox(utf8("詳細設定"), this);
  m_details->setObjectName("SettingFrame");
  makeDetailToggle(folderView(), m_details);
  makeRunButton(utf8("圧縮"), utf8("バックアップを作成します。"), "lzh");
  makeCancelButton();
  connect(runButton(), &QPushButton::clicked, this, &frmBackUP::runBackup);

  m_nameDisplay = makeLabel("FileNameDefolt");
  m_nameText = new QLineEdit(this);
  m_nameText->setObjectName("FileNameText");
  m_nameText->setText("FileName");
  m_nameText->setMinimumWidth(180);
  m_extension = makeLabel("kakuchou");
  buildDetails();
  bindOptions();

  // The archive's name and its extension read as one file name.
  auto* name = new QHBoxLayout;
  name->setSpacing(0);
  name->addWidget(m_nameDisplay);
  name->addWidget(m_nameText);
  name->addWidget(m_extension);
  auto* controls = new QHBoxLayout;
  controls->addLayout(name);
  controls->addStretch();
  controls->addWidget(settingOpen());
  controls->addWidget(settingClose());
  controls->addWidget(makePreviewButton("BackUP"));
  controls->addWidget(runButton());
  controls->addWidget(cancelButton());
  QHBoxLayout* progress = makeProgressRow("FileMax", "FileNo");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(3);
  layout->addWidget(folderView(), 1);
  layout->addWidget(m_details, 1);
  layout->addLayout(controls);
  layout->addLayout(progress);
}

BackupSettings frmBackUP::settings() const {
  return BackupSettings(shell().iniPath, shell().programDrive);
}

void frmBackUP::buildDetails() {
  auto* naming = new QGroupBox(utf8("ファイル名"), m_details);
  naming->setObjectName("NameGroup");
  auto* namingLayout = new QHBoxLayout(naming);
  const std::pair<const char*, const char*> options[] = {
      {"Time", "作成時間"}, {"Dir", "ディレクトリ名"}, {"FileName", "ファイル名指定"}};
  for (const auto& [name, caption] : options) {
    auto* button = new QRadioButton(utf8(caption), naming);
    button->setObjectName(name);
    namingLayout->addWidget(button);
  }
  namingLayout->addStretch();
  auto* layout = new QVBoxLayout(m_details);
  layout->addWidget(naming);
  for (const auto& [name, caption] :
       {std::pair{"Exe", "exe形式"}, std::pair{"SubDir", "サブディレクトリも対象"}}) {
    auto* box = new QCheckBox(utf8(caption), m_details);
    box->setObjectName(name);
    layout->addWidget(box);
  }
  const auto [shutDown, winShutDown] = makeCompletionBoxes();
  shutDown->setParent(m_details);
  winShutDown->setParent(m_details);
  auto* completion = new QHBoxLayout;
  completion->addWidget(shutDown);
  completion->addWidget(winShutDown);
  completion->addStretch();
  layout->addLayout(completion);
  layout->addStretch();
}

void frmBackUP::bindOptions() {
  OptionBinder& b = *m_binder;
  const std::pair<const char*, NameBy> options[] = {
      {"Time", NameBy::Time}, {"Dir", NameBy::Dir}, {"FileName", NameBy::FileName}};
  for (const auto& [name, by] : options) {
    const NameBy chosen = by;
    b.bindOption(
        findChild<QRadioButton*>(name), [this, chosen] { return settings().nameBy() == chosen; },
        [this, chosen] { settings().setNameBy(chosen); });
  }
  auto check = [this, &b](const char* name, const char* key, auto read) {
    const std::string k = key;
    b.bindCheck(
        findChild<QCheckBox*>(name), [this, read] { return (settings().*read)(); },
        [this, k](bool on) { writeKey(k, on ? "1" : "0"); });
  };
  check("Exe", backup::key::kExe, &BackupSettings::exe);
  check("SubDir", backup::key::kSubDir, &BackupSettings::subDir);
  check("ShutDown", backup::key::kShutDown, &BackupSettings::shutDown);
  check("WinShutDown", backup::key::kWinShutDown, &BackupSettings::winShutDown);
  // The name box keeps only what a file name may safely hold; a cleaned text arrives again
  // through the box's own change and is written then.
  b.bindText(
      m_nameText, [this] { return settings().fileNameText(); },
      [this](const std::string& text) {
        if (checkNameBox(*m_nameText, kFileNameLength)) return;
        writeKey(backup::key::kFileNameText, text);
      });
  b.setAfterLoad([this] { showName(); });
}

void frmBackUP::showName() {
  const BackupSettings s = settings();
  const bool given = s.nameBy() == NameBy::FileName;
  m_nameText->setEnabled(given);
  m_nameText->setVisible(given);
  m_nameDisplay->setVisible(!given);
  if (!given) m_nameDisplay->setText(QString::fromStdString(s.nameCaption()));
  m_extension->setText(QString::fromStdString(s.extension()));
  if (auto* winShutDown = findChild<QWidget*>("WinShutDown")) winShutDown->setEnabled(s.shutDown());
}

void frmBackUP::load() {
  {
    const Loading loading(*this);
    const BackupSettings s = settings();
    s.writeBackOnLoad();
    s.setNameBy(s.nameBy());
    m_binder->load();
    for (const char* label : {"FileMax", "FileNo", "Command"}) findChild<QLabel*>(label)->clear();
  }
  loadFolders();
  yield();
}

void frmBackUP::fillDetails() {
  m_binder->load();
}

void frmBackUP::sideFolderChanged(FolderSide& side) {
  FolderPairPanel::sideFolderChanged(side);
  showName();  // the folder's own name may be the archive's
}

void frmBackUP::runStateChanged(bool isRunning) {
  FolderPairPanel::runStateChanged(isRunning);
  m_nameText->setReadOnly(isRunning);
  if (isRunning)
    for (const char* label : {"FileMax", "FileNo", "Command"}) findChild<QLabel*>(label)->clear();
}

void frmBackUP::runBackup() {
  if (running()) return;
  beginRun();
  const backup::BackupReport report = backup::runBackup(settings(), runView());
  // A refused run and an archive that could not be stored say why; the archive never stays
  // in the backed-up folder.
  if (!report.cancelled && !report.placed && !report.message.empty())
    showMessage(report.message, msgbox::kExclamation);
}

}  // namespace quillmere
