#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "mirror/MirrorSettings.h"
#include "shell/core/ShellState.h"
#include "shell/panels/FolderSide.h"
#include "shell/panels/mirror/frmMirrorring.h"
#include "support/Fakes.h"
#include "support/PanelHarness.h"

namespace quillmere::mirror::panel::test {
namespace {

using quillmere::test::TempTree;

// A mirroring panel on its own settings file, open as the window manager has it.
class MirrorPanel : public quillmere::test::PanelHarness<frmMirrorring> {
 protected:
  MirrorPanel() : PanelHarness("Mirrorring", QSize(635, 438), kPanelOpen) {}

  // The saved-setting combo: typing a title and pressing a key, or clicking a row.
  QComboBox* setting() { return control<QComboBox>("Setting"); }
  void type(const std::string& title, Qt::Key keyPressed) {
    setting()->lineEdit()->setText(QString::fromStdString(title));
    QTest::keyClick(setting()->lineEdit(), keyPressed);
  }
  void pick(int row) {
    setting()->setCurrentIndex(row);
    emit setting()->activated(row);
  }
  QStringList rows() {
    QStringList out;
    for (int i = 0; i < setting()->count(); ++i) out << setting()->itemText(i);
    return out;
  }
};

std::string indexedKey(const char* prefix, int j) {
  return prefix + std::to_string(j);
}

TEST_F(MirrorPanel, FirstOpeningWritesTheDefaultsAndLaterOpeningsChangeNothing) {
  store(key::kInDir, tree.pathText());
  store(key::kOutDir, tree.pathText());
  open();
  EXPECT_EQ(key(key::kDustBox), "1");
  EXPECT_EQ(key(key::kClrDustBox), "0");
  EXPECT_EQ(key(key::kMaster1), "False");
  EXPECT_EQ(key(key::kBinCheck), "1");
  EXPECT_EQ(key(key::kOptionSelect), "5");
  EXPECT_EQ(key(key::kTimer), "0");
  EXPECT_EQ(key("Mirrorring-Week6"), "0");
  EXPECT_EQ(key("Mirrorring-Hour23"), "0");
  EXPECT_EQ(key("Mirrorring-Minute11"), "0");
  EXPECT_EQ(key(key::kShutDown), "0");

  // Stored choices survive every filling of the controls: load, the detail view, a preset shown.
  store(key::kOptionSelect, "6");
  store(key::kMaster1, "True");
  store(key::kTimer, "1");
  store("Mirrorring-Hour7", "1");
  const std::string before = tree.read("quillmere.ini");
  panel.load();
  click("SettingOpen");
  EXPECT_TRUE(checked("OptionSelect_6"));
  EXPECT_TRUE(checked("Master1"));
  EXPECT_TRUE(checked("Hour_7"));
  EXPECT_TRUE(enabled("Week_0"));
  click("SettingClose");
  EXPECT_EQ(tree.read("quillmere.ini"), before);
  EXPECT_TRUE(control("InDirFrame")->isVisible());
  EXPECT_FALSE(control("SettingFrame")->isVisible());
}

TEST_F(MirrorPanel, EachPresetSetsItsSixOptionsAndIndexZeroSetsNothing) {
  open();
  click("SettingOpen");
  const auto& table = presets();
  for (int i = 1; i <= 9; ++i) {
    click(QString("OptionSelect_%1").arg(i));
    const Preset& p = table[static_cast<std::size_t>(i)];
    auto pair = [](bool first) { return std::string(first ? "True" : "False"); };
    auto box = [](bool on) { return std::string(on ? "1" : "0"); };
    EXPECT_EQ(key(key::kOptionSelect), std::to_string(i));
    EXPECT_EQ(key(key::kMaster), box(p.master)) << i;
    EXPECT_EQ(key(key::kMaster1), pair(p.master1)) << i;
    EXPECT_EQ(key(key::kMirror), box(p.mirror)) << i;
    EXPECT_EQ(key(key::kMirror1), pair(p.mirror1)) << i;
    EXPECT_EQ(key(key::kBinCheck), box(p.binCheck)) << i;
    EXPECT_EQ(key(key::kBinCheck1), pair(p.binCheck1)) << i;
    // The controls show what the preset stored, with the pair enabled by its check box.
    EXPECT_EQ(checked("BinCheck"), p.binCheck) << i;
    EXPECT_EQ(checked("BinCheck1"), p.binCheck1) << i;
    EXPECT_EQ(checked("BinCheck2"), !p.binCheck1) << i;
    EXPECT_EQ(enabled("BinCheck1"), p.binCheck) << i;
    EXPECT_EQ(checked("Mirror1"), p.mirror1) << i;
  }
  const std::string before = key(key::kMirror1);
  click("OptionSelect_0");
  EXPECT_EQ(key(key::kOptionSelect), "0");
  EXPECT_EQ(key(key::kMirror1), before);
  EXPECT_EQ(control<QAbstractButton>("OptionSelect_0")->text(),
            control<QAbstractButton>("OptionSelect_1")->text());
}

TEST_F(MirrorPanel, TouchingAnOptionOfThePresetClearsThePreset) {
  open();
  click("SettingOpen");
  click("OptionSelect_6");
  click("Master");
  EXPECT_EQ(key(key::kOptionSelect), "0");
  EXPECT_EQ(key(key::kMaster), "0");
  for (int i = 0; i <= 9; ++i) EXPECT_FALSE(checked(QString("OptionSelect_%1").arg(i))) << i;
  EXPECT_FALSE(enabled("Master1"));
  EXPECT_FALSE(enabled("Master2"));

  // Both buttons of a pair write the pair's one key from its first button.
  click("OptionSelect_1");
  click("Mirror1");
  EXPECT_EQ(key(key::kMirror1), "True");
  EXPECT_EQ(key(key::kOptionSelect), "0");
  click("Mirror2");
  EXPECT_EQ(key(key::kMirror1), "False");
  click("OptionSelect_3");
  click("BinCheck");
  EXPECT_EQ(key(key::kBinCheck), "1");
  EXPECT_EQ(key(key::kOptionSelect), "0");
  EXPECT_TRUE(enabled("BinCheck2"));
}

TEST_F(MirrorPanel, DustBoxAndShutDownEnableTheirFollowers) {
  store(key::kDustBox, "0");
  store(key::kClrDustBox, "1");
  open();
  click("SettingOpen");
  EXPECT_FALSE(enabled("ClrDustBox"));
  EXPECT_FALSE(enabled("WinShutDown"));
  click("DustBox");
  EXPECT_EQ(key(key::kDustBox), "1");
  EXPECT_TRUE(enabled("ClrDustBox"));
  EXPECT_TRUE(checked("ClrDustBox"));
  click("ShutDown");
  EXPECT_TRUE(enabled("WinShutDown"));
  click("SubDirDel2");
  EXPECT_EQ(key(key::kSubDirDel2), "1");
  EXPECT_EQ(key(key::kOptionSelect), "5");  // these options are no part of a preset
}

TEST_F(MirrorPanel, ScheduleBoxesFollowTheTimerAndWriteTheirWholeArray) {
  open();
  click("SettingOpen");
  int boxes = 0;
  for (auto* box : panel.findChildren<QCheckBox*>()) {
    const QString name = box->objectName();
    if (!name.startsWith("Week_") && !name.startsWith("Hour_") && !name.startsWith("Minute_"))
      continue;
    ++boxes;
    EXPECT_FALSE(box->isEnabled()) << name.toStdString();
  }
  EXPECT_EQ(boxes, 43);
  click("Timer");
  EXPECT_EQ(key(key::kTimer), "1");
  EXPECT_TRUE(enabled("Minute_11"));

  // A click on one box writes all keys of its array; the other arrays stay unwritten.
  for (int j = 0; j < kWeekCount; ++j) store(indexedKey(key::kWeek, j), "junk");
  store("Mirrorring-Hour0", "junk");
  click("Week_3");
  for (int j = 0; j < kWeekCount; ++j)
    EXPECT_EQ(key(indexedKey(key::kWeek, j)), j == 3 ? "1" : "0") << j;
  EXPECT_EQ(key("Mirrorring-Hour0"), "junk");
  click("Hour_9");
  click("Minute_6");
  EXPECT_EQ(key("Mirrorring-Hour9"), "1");
  EXPECT_EQ(key("Mirrorring-Hour0"), "0");
  EXPECT_EQ(key("Mirrorring-Minute6"), "1");
  EXPECT_TRUE(MirrorSettings(shell().iniPath, "c:\\").scheduleDue(3, 9, 30));

  click("Timer");
  EXPECT_FALSE(enabled("Week_3"));
}

TEST_F(MirrorPanel, SavingAppendsNewTitlesAndReplacesExistingOnes) {
  open();
  type("Card", Qt::Key_Return);  // answered No: nothing is saved, the text goes
  EXPECT_EQ(hook.shown.back().text, "設定を保存しますか？");
  EXPECT_NE(key(key::kSettingList), "1");
  EXPECT_TRUE(rows().isEmpty());
  EXPECT_EQ(setting()->currentText(), "");

  hook.answer(msgbox::kYes);
  type("Card", Qt::Key_Return);
  EXPECT_EQ(key(key::kSettingList), "1");
  EXPECT_EQ(key("Mirrorring-SettingListTitle_1"), "Card");
  hook.answer(msgbox::kYes);
  type("card", Qt::Key_Return);  // titles are matched case-sensitively
  EXPECT_EQ(key(key::kSettingList), "2");
  store(key::kDustBox, "0");
  hook.answer(msgbox::kYes);
  type("Card", Qt::Key_Return);
  EXPECT_EQ(key(key::kSettingList), "2");
  EXPECT_EQ(key("Mirrorring-DustBox_1"), "0");
  EXPECT_EQ(rows(), (QStringList{"Card", "card"}));
  EXPECT_EQ(setting()->currentText(), "Card");
}

TEST_F(MirrorPanel, TheTwelfthRowKeepsWeekdayThreeUnderItsPlainNumber) {
  store(key::kSettingList, "11");
  for (int n = 1; n <= 11; ++n)
    store(key::kSettingListTitle + std::to_string(n), "t" + std::to_string(n));
  open();
  click("SettingOpen");
  click("Timer");
  click("Week_3");
  hook.answer(msgbox::kYes);
  type("weekly", Qt::Key_Return);
  EXPECT_EQ(key(key::kSettingList), "12");
  EXPECT_EQ(key("Mirrorring-Week3_12"), "1");
  EXPECT_EQ(key("Mirrorring-Timer_12"), "1");
}

TEST_F(MirrorPanel, SelectingASavedSettingRestoresEverythingButThePreset) {
  const std::string card = tree.mkdir("card");
  const std::string disk = tree.mkdir("disk");
  store(key::kInDir, tree.pathText("card"));
  store(key::kOutDir, tree.pathText("disk"));
  open();
  click("SettingOpen");
  click("OptionSelect_4");
  click("Timer");
  click("Week_1");
  click("Hour_22");
  click("Minute_0");
  hook.answer(msgbox::kYes);
  type("nightly", Qt::Key_Return);

  // Everything changes; then the saved row comes back.
  click("OptionSelect_7");
  click("Hour_22");
  click("Timer");
  store(key::kInDir, tree.pathText());
  store(key::kOutDir, tree.pathText());
  panel.load();
  click("SettingOpen");
  pick(0);
  EXPECT_EQ(key(key::kOptionSelect), "7");  // the preset is no part of a saved setting
  EXPECT_TRUE(checked("OptionSelect_7"));
  EXPECT_EQ(key(key::kMirror1), "True");  // preset 4's options
  EXPECT_TRUE(checked("Mirror1"));
  EXPECT_EQ(key(key::kTimer), "1");
  EXPECT_TRUE(checked("Timer"));
  EXPECT_TRUE(checked("Week_1") && checked("Hour_22") && checked("Minute_0"));
  EXPECT_FALSE(checked("Week_2"));
  EXPECT_TRUE(enabled("Hour_22"));
  EXPECT_EQ(key(key::kInDir), tree.pathText("card"));
  EXPECT_EQ(key(key::kOutDir), tree.pathText("disk"));
  EXPECT_EQ(shell().state(Panel::Mirroring), kPanelReread);
  EXPECT_EQ(setting()->currentText(), "nightly");
  (void)card;
  (void)disk;
}

TEST_F(MirrorPanel, DeletingMovesTheLaterRowsUpOrEmptiesASingleList) {
  store(key::kSettingList, "3");
  for (int n = 1; n <= 3; ++n) {
    store(key::kSettingListTitle + std::to_string(n), "row" + std::to_string(n));
    store("Mirrorring-Hour5_" + std::to_string(n), n == 3 ? "1" : "0");
  }
  open();
  EXPECT_EQ(rows(), (QStringList{"row1", "row2", "row3"}));
  setting()->setCurrentIndex(1);
  type("row2", Qt::Key_Delete);  // answered No
  EXPECT_EQ(key(key::kSettingList), "3");

  setting()->setCurrentIndex(1);
  hook.answer(msgbox::kYes);
  QTest::keyClick(setting()->lineEdit(), Qt::Key_Delete);
  EXPECT_EQ(hook.shown.back().text, "設定を削除しますか？");
  EXPECT_EQ(key(key::kSettingList), "2");
  EXPECT_EQ(key("Mirrorring-SettingListTitle_2"), "row3");
  EXPECT_EQ(key("Mirrorring-Hour5_2"), "1");
  EXPECT_EQ(rows(), (QStringList{"row1", "row3"}));
  EXPECT_EQ(setting()->currentText(), "row3");

  // With more than one row and none chosen, the confirmation changes nothing.
  setting()->setCurrentIndex(-1);
  hook.answer(msgbox::kYes);
  type("row1", Qt::Key_Backspace);
  EXPECT_EQ(key(key::kSettingList), "2");

  store(key::kSettingList, "1");
  panel.load();
  setting()->setCurrentIndex(-1);
  hook.answer(msgbox::kYes);
  type("anything", Qt::Key_Backspace);
  EXPECT_EQ(key(key::kSettingList), "0");
  EXPECT_EQ(setting()->count(), 0);
  EXPECT_EQ(setting()->currentText(), "");
}

TEST_F(MirrorPanel, ToOutAndToInCopyAFolderAcrossAndStoreIt) {
  tree.mkdir("card");
  store(key::kInDir, tree.pathText("card"));
  store(key::kOutDir, tree.pathText());
  open();
  click("ToOut");
  EXPECT_EQ(key(key::kOutDir), tree.pathText("card"));
  EXPECT_EQ(shell().state(Panel::Mirroring), kPanelReread);

  // A file dropped on the mirror side moves it to the file's folder and stores it twice.
  tree.write("disk/DCIM/P001.JPG", "x");
  auto* side = control<FolderSide>("OutDirFrame");
  emit side->filesDropped({QString::fromStdString(tree.pathText("disk/DCIM/P001.JPG"))});
  EXPECT_EQ(key(key::kOutDir0), tree.pathText("disk/DCIM"));
  EXPECT_EQ(key(key::kOutDir), tree.pathText("disk/DCIM"));
  EXPECT_EQ(key(key::kInDir0), "absent");
}

}  // namespace
}  // namespace quillmere::mirror::panel::test
