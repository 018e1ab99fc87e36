#include <QCheckBox>
#include <QLabel>

#include <string>

#include "shell/panels/duplicates/frmWFileDel.h"
#include "support/DriveTable.h"
#include "support/Fakes.h"
#include "support/PanelHarness.h"

namespace quillmere::test {
namespace {

const std::string kPicture = std::string("\xFF\xD8\xFF\xE1", 4) + "one picture";
const std::string kOther = std::string("\xFF\xD8\xFF\xE1", 4) + "one pictura";

class DeletePanel : public PanelHarness<frmWFileDel> {
 protected:
  DeletePanel() : PanelHarness("WFileDel") {}
  void folders(const std::string& comparison, const std::string& deletion) {
    store("WFileDel-InDir", tree.pathText(comparison));
    store("WFileDel-OutDir", tree.pathText(deletion));
  }
};

TEST_F(DeletePanel, LoadWritesTheOptionKeysWithTheirDefaultsInOrder) {
  open();
  const std::vector<std::string> order = {
      "WFileDel-OutFileDel", "WFileDel-RDFileDel", "WFileDel-InSubDir", "WFileDel-OutSubDir",
      "WFileDel-InDelDir",   "WFileDel-OutDelDir", "WFileDel-ShutDown"};
  EXPECT_EQ(orderOf(order), order);
  const char* values[] = {"0", "0", "1", "1", "1", "1", "0"};
  for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(key(order[i]), values[i]) << order[i];
  EXPECT_EQ(key("WFileDel-WinShutDown"), "absent");
  // Both sides show the program drive and store it as their folder.
  EXPECT_EQ(key("WFileDel-InDir"), "C:\\");
  EXPECT_EQ(key("WFileDel-OutDir"), "C:\\");
  EXPECT_FALSE(control("Cancel")->isVisible());
  EXPECT_TRUE(control("Del")->isVisible());
}

TEST_F(DeletePanel, EachOptionWritesItsKeyAndShutDownEnablesTheSecondBox) {
  open();
  click("SettingOpen");
  EXPECT_TRUE(control("SettingFrame")->isVisible());
  EXPECT_FALSE(control("InDirFrame")->isVisible());
  EXPECT_FALSE(control("Del")->isVisible());
  const std::pair<const char*, const char*> boxes[] = {
      {"InSubDir", "1"},   {"InDelDir", "1"},  {"OutSubDir", "1"}, {"OutDelDir", "1"},
      {"OutFileDel", "0"}, {"RDFileDel", "0"}, {"ShutDown", "0"}};
  for (const auto& [name, before] : boxes) {
    const std::string k = std::string("WFileDel-") + name;
    EXPECT_EQ(control<QCheckBox>(name)->isChecked(), std::string(before) == "1") << name;
    click(name);
    EXPECT_EQ(key(k), std::string(before) == "1" ? "0" : "1") << name;
  }
  // ShutDown is now on: WinShutDown can be set, and off again when ShutDown goes off.
  ASSERT_TRUE(control("WinShutDown")->isEnabled());
  click("WinShutDown");
  EXPECT_EQ(key("WFileDel-WinShutDown"), "1");
  click("ShutDown");
  EXPECT_FALSE(control("WinShutDown")->isEnabled());
  click("SettingClose");
  EXPECT_TRUE(control("InDirFrame")->isVisible());
  EXPECT_TRUE(control("Del")->isVisible());
}

TEST_F(DeletePanel, ToOutAndToInCopyTheFolderAndStoreIt) {
  tree.mkdir("disk");
  tree.mkdir("card");
  folders("disk", "card");
  open();
  click("ToOut");
  EXPECT_EQ(key("WFileDel-OutDir"), tree.pathText("disk"));
  store("WFileDel-InDir", tree.pathText("card"));
  panel.Path();
  click("ToIn");
  EXPECT_EQ(key("WFileDel-InDir"), tree.pathText("disk"));
}

TEST_F(DeletePanel, ARunDeletesTheCardsCopiesAndShowsItsProgress) {
  tree.write("disk/2003/a.jpg", kPicture);
  tree.write("card/DCIM/100/IMG_0001.JPG", kPicture);
  tree.write("card/DCIM/101/IMG_0002.JPG", kPicture);
  tree.write("card/DCIM/IMG_0003.JPG", kOther);
  folders("disk", "card");
  store("WFileDel-OutFileDel", "0");
  open();
  LabelWatch watch(panel, {"Run_1", "Run_2", "Run_3"});
  click("Del");
  EXPECT_FALSE(tree.exists("card/DCIM/100/IMG_0001.JPG"));
  EXPECT_FALSE(tree.exists("card/DCIM/101/IMG_0002.JPG"));
  EXPECT_EQ(tree.read("card/DCIM/IMG_0003.JPG"), kOther);
  EXPECT_EQ(tree.read("disk/2003/a.jpg"), kPicture);
  // The emptied folders went, the card's root stays.
  EXPECT_FALSE(tree.exists("card/DCIM/100"));
  EXPECT_TRUE(tree.exists("card"));
  EXPECT_TRUE(watch.showed(0, "Original File検索中"));
  EXPECT_TRUE(watch.showed(0, "1Files"));
  EXPECT_TRUE(watch.showed(1, "Delete File検索中"));
  EXPECT_TRUE(watch.showedEnding(1, "/3Files"));
  // The panel is idle again: labels hidden, Del back, Cancel gone, the completion step taken.
  for (const char* name : {"Run_1", "Run_2", "Run_3", "Cancel"})
    EXPECT_FALSE(control(name)->isVisible()) << name;
  EXPECT_TRUE(control("Del")->isVisible());
  EXPECT_TRUE(control("InDir")->isEnabled());
  EXPECT_EQ(completions, std::vector<std::string>{"WFileDel"});
}

TEST_F(DeletePanel, CancelInTheMiddleLeavesEveryCardFileWholeOrGone) {
  for (int i = 0; i < 40; ++i) {
    const std::string bytes = kPicture + std::to_string(i);
    tree.write("disk/p" + std::to_string(i) + ".jpg", bytes);
    tree.write("card/c" + std::to_string(i) + ".jpg", bytes);
  }
  folders("disk", "card");
  store("WFileDel-OutFileDel", "0");
  open();
  LabelWatch watch(panel, {"Run_1", "Run_2", "Run_3"});
  bool lockedDuringRun = false;
  watch.onSample = [&](const std::vector<std::string>& now) {
    if (now[2].empty() || shell().cancel) return;
    lockedDuringRun = !control("Del")->isVisible() && !control("InDir")->isEnabled();
    QTest::mouseClick(control<QAbstractButton>("Cancel"), Qt::LeftButton);
  };
  click("Del");
  EXPECT_TRUE(lockedDuringRun);
  int gone = 0;
  for (int i = 0; i < 40; ++i) {
    const std::string name = "card/c" + std::to_string(i) + ".jpg";
    EXPECT_EQ(tree.read("disk/p" + std::to_string(i) + ".jpg"), kPicture + std::to_string(i));
    if (!tree.exists(name))
      ++gone;
    else
      EXPECT_EQ(tree.read(name), kPicture + std::to_string(i));
  }
  EXPECT_LT(gone, 40);
  EXPECT_TRUE(completions.empty());  // a cancelled run takes no completion step
  EXPECT_TRUE(control("Del")->isVisible());
}

TEST_F(DeletePanel, ARemovableCardAsksBeforeEachDeletion) {
  tree.write("disk/a.jpg", kPicture);
  tree.write("disk/b.jpg", kOther);
  tree.write("card/DCIM/a.jpg", kPicture);
  tree.write("card/DCIM/b.jpg", kOther);
  const DriveTable drives({{'E', tree.path("card"), 2, "CARD"}});
  store("WFileDel-InDir", tree.pathText("disk"));
  store("WFileDel-OutDir", "E:\\DCIM");
  store("WFileDel-RDFileDel", "1");
  hook.answer(msgbox::kNo);
  hook.answer(msgbox::kYes);
  open();
  click("Del");
  ASSERT_EQ(hook.shown.size(), 2u);
  EXPECT_EQ(hook.shown[0].style & 7, msgbox::kYesNo);
  EXPECT_TRUE(tree.exists("card/DCIM/a.jpg"));  // declined
  EXPECT_FALSE(tree.exists("card/DCIM/b.jpg"));
}

}  // namespace
}  // namespace quillmere::test
