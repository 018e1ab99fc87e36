#include <sys/stat.h>
#include <utime.h>

#include <QApplication>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>

#include <functional>

#include "rename/RenameFixture.h"
#include "shell/core/ShellState.h"
#include "shell/panels/FolderSide.h"
#include "shell/panels/PreviewDialog.h"
#include "shell/panels/rename/frmReName.h"
#include "shell/panels/rename/frmRecovery.h"
#include "support/PanelHarness.h"

namespace quillmere::panel::test {
namespace {

using quillmere::test::screenshot;

// A recovery panel on a folder of parked files, with its preview dialog driven by hand.
class RecoveryPreview : public quillmere::test::PanelHarness<frmRecovery> {
 protected:
  RecoveryPreview() : PanelHarness("", QSize(635, 410)) {}

  void openOn(const std::string& folder) {
    open();
    ASSERT_TRUE(control<FolderSide>("InDirFrame")->showFolder(tree.pathText(folder)));
  }
  // Clicks プレビュー; the dialog, once shown, is handed to act, which closes it one way or the
  // other. Answers whether act ran.
  bool preview(const std::function<void(PreviewDialog&)>& act) {
    bool acted = false;
    QTimer::singleShot(0, &panel, [&] {
      auto* dialog = panel.findChild<PreviewDialog*>();
      if (dialog == nullptr) return;
      acted = true;
      act(*dialog);
      if (dialog->isVisible()) dialog->reject();
    });
    click("Preview");
    return acted;
  }
  static int rows(PreviewDialog& dialog) {
    return dialog.findChild<QTableView*>("PlanTable")->model()->rowCount();
  }
  static QString cell(PreviewDialog& dialog, int row, int column) {
    const auto* model = dialog.findChild<QTableView*>("PlanTable")->model();
    return model->data(model->index(row, column)).toString();
  }
  static void run(PreviewDialog& dialog) {
    QTest::mouseClick(dialog.findChild<QAbstractButton*>("PreviewRun"), Qt::LeftButton);
  }
};

TEST_F(RecoveryPreview, ListsThePlanAndItsRunCarriesItOut) {
  tree.write("pics/DSC2002.NEFTemp", "parked");
  tree.write("pics/sub/DSC2003.JPGtemp", "parked-2");
  openOn("pics");
  EXPECT_TRUE(control("Preview")->isEnabled());

  const bool acted = preview([&](PreviewDialog& dialog) {
    ASSERT_EQ(rows(dialog), 2);
    EXPECT_EQ(cell(dialog, 0, 0), QString::fromUtf8("移動"));
    EXPECT_EQ(cell(dialog, 0, 1).toStdString(), tree.path("pics/DSC2002.NEFTemp"));
    EXPECT_EQ(cell(dialog, 0, 2).toStdString(), tree.path("pics/DSC2002.NEF"));
    EXPECT_EQ(cell(dialog, 1, 3), "8");
    const QString counts = dialog.findChild<QLabel*>("PlanCounts")->text();
    EXPECT_TRUE(counts.startsWith(QString::fromUtf8("移動 2"))) << counts.toStdString();
    EXPECT_TRUE(counts.contains(QString::fromUtf8("14 バイト"))) << counts.toStdString();
    // Sorting by size puts the bigger file first when descending.
    dialog.findChild<QTableView*>("PlanTable")->sortByColumn(3, Qt::DescendingOrder);
    EXPECT_EQ(cell(dialog, 0, 3), "8");
    dialog.resize(760, 300);
    screenshot(dialog, "preview-dialog");
    EXPECT_TRUE(tree.exists("pics/DSC2002.NEFTemp")) << "a preview touches no file";
    run(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  });
  ASSERT_TRUE(acted);
  EXPECT_EQ(tree.read("pics/DSC2002.NEF"), "parked");
  EXPECT_EQ(tree.read("pics/sub/DSC2003.JPG"), "parked-2");
  EXPECT_FALSE(tree.exists("pics/DSC2002.NEFTemp"));
  // The run's estimate counted against the plan.
  EXPECT_TRUE(label("Estimate").contains(QString::fromUtf8("ファイル")))
      << label("Estimate").toStdString();
}

TEST_F(RecoveryPreview, AChangeAfterThePreviewIsShownAndAskedAgain) {
  tree.write("pics/DSC2002.NEFTemp", "parked");
  tree.write("pics/DSC2003.NEFTemp", "parked-2");
  openOn("pics");

  // Closing the dialog runs nothing.
  ASSERT_TRUE(preview([](PreviewDialog&) {}));
  EXPECT_TRUE(tree.exists("pics/DSC2002.NEFTemp"));

  const bool acted = preview([&](PreviewDialog& dialog) {
    auto* warning = dialog.findChild<QLabel*>("PlanChanged");
    // A file more: the new plan is shown and nothing runs yet.
    tree.write("pics/DSC2004.NEFTemp", "late");
    run(dialog);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(warning->isVisible());
    EXPECT_EQ(rows(dialog), 3);
    EXPECT_TRUE(tree.exists("pics/DSC2002.NEFTemp"));

    // A file altered (same name and size, another last-write time) is a change too.
    const std::string altered = tree.path("pics/DSC2003.NEFTemp");
    const utimbuf old{1'000'000'000, 1'000'000'000};
    ASSERT_EQ(::utime(altered.c_str(), &old), 0);
    warning->hide();
    run(dialog);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(warning->isVisible());

    // Asked again with nothing changed, 実行 runs what is shown.
    run(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  });
  ASSERT_TRUE(acted);
  EXPECT_EQ(tree.read("pics/DSC2004.NEF"), "late");
  EXPECT_EQ(tree.read("pics/DSC2003.NEF"), "parked-2");
}

class RenameUndo : public quillmere::test::PanelHarness<frmReName> {
 protected:
  RenameUndo() : PanelHarness("ReName", QSize(635, 410)) {}
};

TEST_F(RenameUndo, TheUndoButtonTakesBackTheWindowsRenameAfterAsking) {
  tree.write("card/DSC1000.JPG", rename::test::picture("2002:03:15 14:00:00", "body0"));
  tree.write("card/DSC1001.JPG", rename::test::picture("2002:03:15 14:00:01", "body1"));
  store("ReName-InDir", tree.pathText("card"));
  open();
  click("Run");
  ASSERT_TRUE(tree.exists("card/20020315_140000.JPG"));
  ASSERT_FALSE(tree.exists("card/DSC1000.JPG"));

  // The undo is among the detail view's buttons.
  click("SettingOpen");
  // No answered: nothing moves.
  hook.answer(msgbox::kNo);
  click("Undo");
  EXPECT_TRUE(tree.exists("card/20020315_140000.JPG"));

  // A file edited after the run is refused and reported; the other goes back.
  tree.write("card/20020315_140001.JPG", "edited since");
  hook.shown.clear();
  hook.answer(msgbox::kYes);
  click("Undo");
  EXPECT_TRUE(tree.exists("card/DSC1000.JPG"));
  EXPECT_FALSE(tree.exists("card/20020315_140000.JPG"));
  EXPECT_EQ(tree.read("card/20020315_140001.JPG"), "edited since");
  ASSERT_EQ(hook.shown.size(), 2u);
  EXPECT_NE(hook.shown[1].text.find("1 個のファイルを元に戻しました"), std::string::npos)
      << hook.shown[1].text;
  EXPECT_NE(hook.shown[1].text.find(tree.path("card/20020315_140001.JPG")), std::string::npos)
      << hook.shown[1].text;
}

}  // namespace
}  // namespace quillmere::panel::test
