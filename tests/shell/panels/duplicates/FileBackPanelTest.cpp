#include <QCheckBox>
#include <QLineEdit>

#include <string>

#include "shell/panels/duplicates/frmFileBack.h"
#include "support/PanelHarness.h"

namespace quillmere::test {
namespace {

class FileBackPanel : public PanelHarness<frmFileBack> {
 protected:
  FileBackPanel() : PanelHarness("FileBack") {}
  void folders(const std::string& source, const std::string& dest) {
    store("FileBack-InDir", tree.pathText(source));
    store("FileBack-OutDir", tree.pathText(dest));
  }
};

TEST_F(FileBackPanel, LoadWritesTheOptionKeysWithTheirDefaultsInOrder) {
  open();
  const std::vector<std::string> order = {
      "FileBack-OutFileDel", "FileBack-RDFileDel", "FileBack-kakuchou",   "FileBack-InSubDir",
      "FileBack-InDelDir",   "FileBack-OutSubDir", "FileBack-MoveSubDir", "FileBack-OutDelFile",
      "FileBack-SubDirName", "FileBack-ShutDown",  "FileBack-WinShutDown"};
  EXPECT_EQ(orderOf(order), order);
  const char* values[] = {"1", "1", "0", "1", "1", "1", "1", "1", "Used", "0", "0"};
  for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(key(order[i]), values[i]) << order[i];
  EXPECT_TRUE(control("FileBack")->isVisible());
}

TEST_F(FileBackPanel, EachOptionWritesItsKeyAndTheFolderNameIsCheckedAtEveryChange) {
  open();
  click("SettingOpen");
  EXPECT_EQ(control<QLineEdit>("SubDirName")->text(), "Used");
  const std::pair<const char*, bool> boxes[] = {
      {"InSubDir", true},   {"InDelDir", true},    {"OutSubDir", true},  {"OutDelFile", true},
      {"MoveSubDir", true}, {"kakuchou", false},   {"OutFileDel", true}, {"RDFileDel", true},
      {"ShutDown", false},  {"WinShutDown", false}};
  EXPECT_FALSE(control("WinShutDown")->isEnabled());
  for (const auto& [name, before] : boxes) {
    EXPECT_EQ(control<QCheckBox>(name)->isChecked(), before) << name;
    click(name);
    EXPECT_EQ(key(std::string("FileBack-") + name), before ? "0" : "1") << name;
  }
  auto* box = control<QLineEdit>("SubDirName");
  box->clear();
  EXPECT_EQ(key("FileBack-SubDirName"), "");
  QTest::keyClicks(box, "Ok");
  EXPECT_EQ(key("FileBack-SubDirName"), "Ok");
  // A separator or a trailing dot would take the file out of the namesake's folder.
  QTest::keyClicks(box, "/x\\..");
  EXPECT_EQ(box->text(), "Okx");
  EXPECT_EQ(key("FileBack-SubDirName"), "Okx");
}

TEST_F(FileBackPanel, ARunMovesTheEditedPictureIntoUsedBesideItsNamesake) {
  tree.write("work/IMG_0001.JPG", "edited");
  tree.write("work/IMG_0002.JPG", "no namesake");
  tree.write("pics/2003/IMG_0001.JPG", "original");
  folders("work", "pics");
  store("FileBack-OutFileDel", "0");
  open();
  LabelWatch watch(panel, {"Run_1", "Run_2", "Run_3"});
  click("FileBack");
  EXPECT_EQ(tree.read("pics/2003/Used/IMG_0001.JPG"), "edited");
  EXPECT_FALSE(tree.exists("pics/2003/IMG_0001.JPG"));
  EXPECT_FALSE(tree.exists("work/IMG_0001.JPG"));
  EXPECT_EQ(tree.read("work/IMG_0002.JPG"), "no namesake");
  EXPECT_TRUE(watch.showed(0, "2Files"));
  EXPECT_TRUE(watch.showedEnding(1, "/1Files"));
  EXPECT_TRUE(watch.showed(2, "1番目の比較対象Fileを、1番目の削除対象Fileと比較中"));
  EXPECT_EQ(completions, std::vector<std::string>{"FileBack"});
  EXPECT_FALSE(control("Cancel")->isVisible());
}

TEST_F(FileBackPanel, CancelInTheMiddleLeavesEachFileInOnePlace) {
  for (int i = 0; i < 30; ++i) {
    const std::string name = "IMG_" + std::to_string(1000 + i) + ".JPG";
    tree.write("work/" + name, "edited " + name);
    tree.write("pics/" + name, "original " + name);
  }
  folders("work", "pics");
  store("FileBack-OutFileDel", "0");
  store("FileBack-OutDelFile", "0");
  open();
  LabelWatch watch(panel, {"Run_1", "Run_2", "Run_3"});
  watch.onSample = [&](const std::vector<std::string>& now) {
    if (!now[2].empty() && !shell().cancel)
      QTest::mouseClick(control<QAbstractButton>("Cancel"), Qt::LeftButton);
  };
  click("FileBack");
  int moved = 0;
  for (int i = 0; i < 30; ++i) {
    const std::string name = "IMG_" + std::to_string(1000 + i) + ".JPG";
    EXPECT_EQ(tree.read("pics/" + name), "original " + name);
    const bool atSource = tree.exists("work/" + name);
    const bool atTarget = tree.exists("pics/Used/" + name);
    EXPECT_NE(atSource, atTarget) << name;
    EXPECT_EQ(tree.read(atSource ? "work/" + name : "pics/Used/" + name), "edited " + name);
    moved += atTarget ? 1 : 0;
  }
  EXPECT_LT(moved, 30);
  EXPECT_TRUE(completions.empty());
}

}  // namespace
}  // namespace quillmere::test
