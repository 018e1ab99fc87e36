#include "shell/panels/duplicates/frmWFileDel.h"

#include <QGroupBox>
#include <QLayout>

#include "duplicates/DuplicateDelete.h"
#include "duplicates/DuplicateSettings.h"
#include "shell/core/ShellState.h"

namespace quillmere {

namespace {

duplicates::DeleteFrameOptions frame() {
  return duplicates::readDeleteFrameOptions(shell().iniPath);
}

}  // namespace

frmWFileDel::frmWFileDel(QWidget* parent)
    : DuplicatePanel(Panel::WFileDel, std::string(duplicates::kDeleteSection),
                     {"[重複ファイル削除]", "比較対象ディレクトリ", "削除対象ディレクトリ",
                      "重複ファイル削除[オリジナル]", "重複ファイル削除[削除先]", "Del", "Delete",
                      "重複ファイルを削除します。"},
                     parent) {
  QGroupBox* original = originalFrame();
  addCheck(original, original->layout(), "InSubDir", "サブディレクトリも対象", "WFileDel-InSubDir",
           [] { return frame().inSubDir; });
  addCheck(original, original->layout(), "InDelDir", "空ディレクトリ自動削除", "WFileDel-InDelDir",
           [] { return frame().inDelDir; });
  QGroupBox* deletion = deletionFrame();
  addCheck(deletion, deletion->layout(), "OutSubDir", "サブディレクトリも対象",
           "WFileDel-OutSubDir", [] { return frame().outSubDir; });
  addCheck(deletion, deletion->layout(), "OutDelDir", "空ディレクトリ自動削除",
           "WFileDel-OutDelDir", [] { return frame().outDelDir; });
  addSharedOptions({[] { return frame().outFileDel; }, [] { return frame().rdFileDel; },
                    [] { return frame().shutDown; }, [] { return frame().winShutDown; }});
}

void frmWFileDel::writeBackOptions() {
  duplicates::normaliseDeleteSettings(shell().iniPath);
}

void frmWFileDel::start() {
  beginRun();
  duplicates::runDuplicateDelete(duplicates::readDeleteRunOptions(shell().iniPath), runView());
}

}  // namespace quillmere
