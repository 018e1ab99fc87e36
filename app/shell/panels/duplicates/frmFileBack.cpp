#include "shell/panels/duplicates/frmFileBack.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "duplicates/DuplicateSettings.h"
#include "duplicates/FileBack.h"
#include "shell/core/ShellState.h"
#include "shell/panels/OptionBinder.h"
#include "shell/widgets/InputChecks.h"

namespace quillmere {

namespace {

constexpr int kSubDirNameLength = 64;

duplicates::FileBackFrameOptions frame() {
  return duplicates::readFileBackFrameOptions(shell().iniPath);
}

}  // namespace

frmFileBack::frmFileBack(QWidget* parent)
    : DuplicatePanel(
          Panel::FileBack, std::string(duplicates::kFileBackSection),
          {"[ファイル書き戻し]", "書き戻し元ディレクトリ", "書き戻し先ディレクトリ", "書き戻し元",
           "書き戻し先", "FileBack", "FileBack", "ファイルを書き戻します。"},
          parent) {
  QGroupBox* original = originalFrame();
  addCheck(original, original->layout(), "InSubDir", "サブディレクトリも対象", "FileBack-InSubDir",
           [] { return frame().inSubDir; });
  addCheck(original, original->layout(), "InDelDir", "空ディレクトリ自動削除", "FileBack-InDelDir",
           [] { return frame().inDelDir; });
  QGroupBox* deletion = deletionFrame();
  addCheck(deletion, deletion->layout(), "OutSubDir", "サブディレクトリも対象",
           "FileBack-OutSubDir", [] { return frame().outSubDir; });
  addCheck(deletion, deletion->layout(), "OutDelFile", "書き戻し先ファイル自動削除",
           "FileBack-OutDelFile", [] { return frame().outDelFile; });

  auto* move = new QHBoxLayout;
  QWidget* details = findChild<QGroupBox*>("SettingFrame");
  addCheck(details, move, "MoveSubDir", "サブディレクトリへ移動", "FileBack-MoveSubDir",
           [] { return frame().moveSubDir; });
  auto* nameLabel = new QLabel(QString::fromUtf8("サブディレクトリ名"), details);
  nameLabel->setObjectName("Label1");
  move->addWidget(nameLabel);
  auto* subDirName = new QLineEdit(details);
  subDirName->setObjectName("SubDirName");
  move->addWidget(subDirName, 1);
  // The name box keeps only the characters a folder name may safely hold; a cleaned text
  // arrives again through the box's own change and is written then.
  binder().bindText(
      subDirName, [] { return frame().subDirName; },
      [this, subDirName](const std::string& text) {
        if (checkNameBox(*subDirName, kSubDirNameLength)) return;
        writeKey("FileBack-SubDirName", text);
      });
  addCheck(details, move, "kakuchou", "拡張子を区別する", "FileBack-kakuchou",
           [] { return frame().kakuchou; });
  ownOptions()->addLayout(move);

  addSharedOptions({[] { return frame().outFileDel; }, [] { return frame().rdFileDel; },
                    [] { return frame().shutDown; }, [] { return frame().winShutDown; }});
}

void frmFileBack::writeBackOptions() {
  duplicates::normaliseFileBackSettings(shell().iniPath);
}

void frmFileBack::start() {
  beginRun();
  duplicates::runFileBack(duplicates::readFileBackRunOptions(shell().iniPath), runView());
}

}  // namespace quillmere
