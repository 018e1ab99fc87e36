#include "shell/panels/rename/frmRecovery.h"

#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/DriveMap.h"
#include "rename/RenameEngine.h"
#include "shell/panels/FolderSide.h"
#include "shell/panels/rename/RunProblems.h"

namespace quillmere {

frmRecovery::frmRecovery(QWidget* parent) : PanelBase(Panel::Recovery, "", parent) {
  setWindowTitle(QString::fromUtf8("[Temp削除]"));
  m_in = makeSide("In", QString::fromUtf8("オリジナル　ディレクトリ"));
  m_in->favourites()->hide();  // the panel keeps no folder history
  makeRunButton(QString::fromUtf8("Temp削除"), QString());
  makeCancelButton();
  connect(runButton(), &QPushButton::clicked, this, &frmRecovery::repair);

  QLabel* explanation = makeLabel(
      "Label1", QString::fromUtf8(
                    "リネームが途中で止まると、「DSC2002.NEFTemp」のように名前の後ろに"
                    "「Temp」が付いたファイルが残ります。\n選んだディレクトリとその"
                    "サブディレクトリのファイルから「Temp」を取り、「DSC2002.NEF」に戻します。"));
  explanation->setWordWrap(true);

  m_leftParked = new QListWidget(this);
  m_leftParked->setObjectName("NotRecovered");
  m_leftParked->setToolTip(QString::fromUtf8("名前を戻せなかったファイル"));
  m_leftParked->hide();

  auto* right = new QVBoxLayout;
  right->addWidget(explanation);
  right->addWidget(m_leftParked, 1);
  right->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(makePreviewButton("Recovery"));
  buttons->addWidget(runButton());
  buttons->addWidget(cancelButton());
  right->addLayout(buttons);

  auto* top = new QHBoxLayout;
  top->addWidget(m_in, 1);
  top->addLayout(right, 1);
  QHBoxLayout* progress = makeProgressRow("FileMax", "FileNo");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addLayout(top, 1);
  layout->addLayout(progress);
}

void frmRecovery::load() {
  {
    const Loading loading(*this);
    if (m_in->folder().empty())
      m_in->showFolder(platform::DriveMap::current().toPathText(QDir::currentPath().toStdString()));
    m_in->refresh();
    for (const char* label : {"FileMax", "FileNo", "Command"}) findChild<QLabel*>(label)->clear();
  }
  yield();
}

run::RunRequest frmRecovery::previewRequest() const {
  run::RunRequest request = PanelBase::previewRequest();
  request.folder = m_in->folder();
  return request;
}

void frmRecovery::runStateChanged(bool isRunning) {
  if (isRunning) {
    m_leftParked->clear();
    m_leftParked->hide();
  }
}

void frmRecovery::repair() {
  if (running()) return;
  beginRun();
  const rename::RunReport report = rename::RecoveryEngine(m_in->folder(), runView()).run();
  // A parked file whose name is taken stays parked: the panel lists it.
  for (const std::string& line : rename::problemLines(report.problems))
    m_leftParked->addItem(QString::fromStdString(line));
  m_leftParked->setVisible(m_leftParked->count() > 0);
}

}  // namespace quillmere
