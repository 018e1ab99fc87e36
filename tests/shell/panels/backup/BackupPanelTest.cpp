#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include <filesystem>
#include <regex>
#include <string>

#include "shell/panels/backup/frmBackUP.h"
#include "support/PanelHarness.h"

namespace quillmere::test {
namespace {

class BackupPanel : public PanelHarness<frmBackUP> {
 protected:
  BackupPanel() : PanelHarness("BackUP") {}
  void folders(const std::string& in, const std::string& out) {
    store("BackUP-InDir", tree.pathText(in));
    store("BackUP-OutDir", tree.pathText(out));
  }
  std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(tree.path(folder)))
      out.push_back(e.path().filename());
    std::sort(out.begin(), out.end());
    return out;
  }
  QString label(const char* name) { return control<QLabel>(name)->text(); }
};

TEST_F(BackupPanel, LoadWritesItsKeysWithTheirDefaultsInOrder) {
  open();
  const std::vector<std::string> order = {"BackUP-FileName", "BackUP-Exe",         "BackUP-SubDir",
                                          "BackUP-ShutDown", "BackUP-WinShutDown", "BackUP-Time",
                                          "BackUP-Dir"};
  EXPECT_EQ(orderOf(order), order);
  const char* values[] = {"False", "1", "1", "0", "0", "True", "False"};
  for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(key(order[i]), values[i]) << order[i];
  EXPECT_EQ(label("FileNameDefolt"), "YYYYMMDD_HHMMSS");
  EXPECT_EQ(label("kakuchou"), ".exe");
  EXPECT_FALSE(control("FileNameText")->isVisible());
  EXPECT_TRUE(control("lzh")->isVisible());
}

TEST_F(BackupPanel, TheNamingOptionsTheirDisplayAndEachCheckBoxWriteTheirKeys) {
  tree.mkdir("Photos/2004");
  folders("Photos/2004", "Photos");
  open();
  click("SettingOpen");
  click("Dir");
  EXPECT_EQ(key("BackUP-Time"), "False");
  EXPECT_EQ(key("BackUP-Dir"), "True");
  EXPECT_EQ(label("FileNameDefolt"), "2004");
  click("FileName");
  EXPECT_EQ(key("BackUP-Dir"), "False");
  EXPECT_EQ(key("BackUP-FileName"), "True");
  auto* text = control<QLineEdit>("FileNameText");
  EXPECT_TRUE(text->isVisible() && text->isEnabled());
  EXPECT_FALSE(control("FileNameDefolt")->isVisible());
  text->clear();
  QTest::keyClicks(text, "Card 1?.");
  EXPECT_EQ(text->text(), "Card 1");
  EXPECT_EQ(key("BackUP-FileNameText"), "Card 1");
  click("Exe");
  EXPECT_EQ(key("BackUP-Exe"), "0");
  EXPECT_EQ(label("kakuchou"), ".lzh");
  click("SubDir");
  EXPECT_EQ(key("BackUP-SubDir"), "0");
  EXPECT_FALSE(control("WinShutDown")->isEnabled());
  click("ShutDown");
  EXPECT_EQ(key("BackUP-ShutDown"), "1");
  click("WinShutDown");
  EXPECT_EQ(key("BackUP-WinShutDown"), "1");
  click("SettingClose");
  EXPECT_TRUE(control("InDirFrame")->isVisible());
}

TEST_F(BackupPanel, ARunStoresADatedArchiveAndLeavesNoneInTheFolder) {
  tree.write("Photos/2004/a.jpg", "first picture");
  tree.write("Photos/2004/sub/b.jpg", "second picture");
  tree.mkdir("Backup");
  folders("Photos/2004", "Backup");
  store("BackUP-Exe", "0");
  open();
  LabelWatch watch(panel, {"FileMax", "FileNo", "Command"});
  click("lzh");
  const auto made = namesIn("Backup");
  ASSERT_EQ(made.size(), 1u);
  EXPECT_TRUE(std::regex_match(made[0], std::regex("[0-9]{8}_[0-9]{6}\\.lzh"))) << made[0];
  EXPECT_EQ(namesIn("Photos/2004"), (std::vector<std::string>{"a.jpg", "sub"}));
  EXPECT_EQ(tree.read("Photos/2004/sub/b.jpg"), "second picture");
  EXPECT_TRUE(watch.showed(0, "2/ "));
  EXPECT_EQ(completions, std::vector<std::string>{"BackUP"});
  EXPECT_TRUE(control("lzh")->isVisible());
  EXPECT_FALSE(control("Cancel")->isVisible());
}

TEST_F(BackupPanel, CancelDuringThePackingLeavesTheFoldersAsTheyWere) {
  for (int i = 0; i < 20; ++i)
    tree.write("Photos/p" + std::to_string(i) + ".jpg", std::string(200000, char('a' + i)));
  tree.mkdir("Backup");
  folders("Photos", "Backup");
  store("BackUP-Exe", "0");
  open();
  LabelWatch watch(panel, {"FileMax", "FileNo", "Command"});
  watch.onSample = [&](const std::vector<std::string>& now) {
    if (!now[0].empty() && !shell().cancel)
      QTest::mouseClick(control<QAbstractButton>("Cancel"), Qt::LeftButton);
  };
  click("lzh");
  EXPECT_TRUE(shell().cancel);
  EXPECT_EQ(namesIn("Photos").size(), 20u);  // no archive left behind
  const auto made = namesIn("Backup");
  EXPECT_LE(made.size(), 1u);  // stored whole or not at all
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(tree.read("Photos/p" + std::to_string(i) + ".jpg"),
              std::string(200000, char('a' + i)));
}

}  // namespace
}  // namespace quillmere::test
