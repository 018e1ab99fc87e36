#include <QFile>
#include <QLineEdit>
#include <QListWidget>

#include "rename/RenameFixture.h"
#include "shell/core/ShellState.h"
#include "shell/panels/FolderSide.h"
#include "shell/panels/rename/frmReName.h"
#include "shell/widgets/FolderWidgets.h"
#include "support/Fakes.h"
#include "support/PanelHarness.h"

namespace quillmere::panel::test {
namespace {

using quillmere::test::TempTree;

// A rename panel on its own settings file, shown at the size the window manager gives it.
class RenamePanel : public quillmere::test::PanelHarness<frmReName> {
 protected:
  RenamePanel() : PanelHarness("ReName", QSize(635, 410)) {}
};

TEST_F(RenamePanel, LoadOnAnEmptyFileWritesTheOptionKeysWithTheirDefaultsInOrder) {
  store("ReName-WinShutDown", "1");
  open();
  QFile file(QString::fromStdString(tree.path("quillmere.ini")));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const std::string text = file.readAll().toStdString();
  const std::pair<const char*, const char*> expected[] = {
      {"ReName-MojiL", "False"},
      {"ReName-MojiS", "False"},
      {"ReName-MojiNot", "True"},
      {"ReName-Copy_Mode", "False"},
      {"ReName-Stay_Mode", "True"},
      {"ReName-Move_Mode", "False"},
      {"ReName-LookSubDir", "1"},
      {"ReName-SubDirDel1", "1"},
      {"ReName-MakeSubDir", "1"},
      {"ReName-SubDirDel2", "1"},
      {"ReName-TimeStamp", "0"},
      {"ReName-TimeStampChange", "0"},
      {"ReName-FileNameFormat_Date", "True"},
      {"ReName-FileNameFormat_No", "False"},
      {"ReName-FileNameFormat_Not", "False"},
      {"ReName-AutoIncrement", "0"},
      {"ReName-Attribute", "0"},
      {"ReName-Read", "0"},
      {"ReName-ShutDown", "0"},
  };
  std::size_t previous = text.find("ReName-WinShutDown=1");
  ASSERT_NE(previous, std::string::npos);  // written before the load, kept by it
  previous = 0;
  for (const auto& [name, value] : expected) {
    const std::size_t at = text.find(std::string("\n") + name + "=" + value + "\r\n");
    const std::size_t atLf = text.find(std::string("\n") + name + "=" + value + "\n");
    const std::size_t found = at != std::string::npos ? at : atLf;
    ASSERT_NE(found, std::string::npos) << name;
    EXPECT_GT(found, previous) << name << " out of order";
    previous = found;
  }
  EXPECT_EQ(panel.findChild<QAbstractButton*>("Run")->text(), "ReName");
  EXPECT_EQ(label("Moji_Date"), "YYYYMMDD_HHMMSS");
  EXPECT_EQ(label("KakuchoU"), ".Nef");
}

TEST_F(RenamePanel, EachOptionControlWritesItsKeyTheMomentItChanges) {
  open();
  openDetails();
  EXPECT_FALSE(control("InDirFrame")->isVisible());
  EXPECT_FALSE(control("Run")->isVisible());
  EXPECT_TRUE(control("SettingFrame")->isVisible());

  click("MojiL");
  EXPECT_EQ(key("ReName-MojiL"), "True");
  EXPECT_EQ(key("ReName-MojiS"), "False");
  EXPECT_EQ(key("ReName-MojiNot"), "False");
  EXPECT_EQ(label("KakuchoU1"), ".NEF");
  click("MojiS");
  EXPECT_EQ(key("ReName-MojiL"), "False");
  EXPECT_EQ(key("ReName-MojiS"), "True");
  EXPECT_EQ(label("KakuchoU1"), ".nef");

  EXPECT_FALSE(control("StartNo")->isVisible());
  click("FileNameFormat_No");
  EXPECT_EQ(key("ReName-FileNameFormat_No"), "True");
  EXPECT_EQ(key("ReName-FileNameFormat_Date"), "False");
  EXPECT_TRUE(control("StartNo")->isVisible());
  EXPECT_EQ(label("FileNameLabel"), "000");
  auto* startNo = control<QLineEdit>("StartNo");
  startNo->clear();
  QTest::keyClicks(startNo, "7x");
  EXPECT_EQ(key("ReName-StartNo"), "7");  // the number box drops what is no digit
  EXPECT_EQ(label("FileNameLabel"), "007");
  choose("Namber", 4);
  EXPECT_EQ(key("ReName-Namber"), "4");
  EXPECT_EQ(label("FileNameLabel"), "00007");
  click("FileNameFormat_Not");
  EXPECT_EQ(label("FileNameLabel"), "*******");
  EXPECT_FALSE(control("StartNo")->isVisible());

  const std::pair<const char*, const char*> checks[] = {
      {"CheckSubDir", "ReName-LookSubDir"}, {"SubDirDel1", "ReName-SubDirDel1"},
      {"TimeStamp", "ReName-TimeStamp"},    {"Attribute", "ReName-Attribute"},
      {"ShutDown", "ReName-ShutDown"},
  };
  for (const auto& [name, k] : checks) {
    const std::string before = key(k);
    click(name);
    EXPECT_NE(key(k), before) << name;
    EXPECT_TRUE(key(k) == "0" || key(k) == "1") << name;
  }
  click("Read");  // enabled by Attribute
  EXPECT_EQ(key("ReName-Read"), "1");
  click("WinShutDown");  // enabled by ShutDown
  EXPECT_EQ(key("ReName-WinShutDown"), "1");
  click("TimeStampChange");  // enabled by TimeStamp
  EXPECT_EQ(key("ReName-TimeStampChange"), "1");

  choose("Byte", 3);
  EXPECT_EQ(key("ReName-File_Byte"), "3");
  choose("HHTime", 13);
  EXPECT_EQ(key("ReName-HHTime"), "13");
  choose("MMTime", 59);
  EXPECT_EQ(key("ReName-MMTime"), "59");
  choose("SSTime", 1);
  EXPECT_EQ(key("ReName-SSTime"), "1");
  choose("YYYYStart", 2005 - 1900);
  EXPECT_EQ(key("ReName-YYYYStart"), "2005");
  click("FileNameFormat_No");  // AutoIncrement shows with the No format
  click("AutoIncrement");
  EXPECT_EQ(key("ReName-AutoIncrement"), "1");

  click("SettingClose");
  EXPECT_TRUE(control("InDirFrame")->isVisible());
  EXPECT_TRUE(control("Run")->isVisible());
  EXPECT_FALSE(control("SettingFrame")->isVisible());
}

TEST_F(RenamePanel, StayModeGreysTheTargetSideAndKeepsItOnTheSource) {
  tree.mkdir("pics/sub");
  tree.mkdir("target");
  store("ReName-OutDir", tree.pathText("target"));
  open();
  auto* in = control<FolderSide>("InDirFrame");
  EXPECT_FALSE(control("OutDir")->isEnabled());
  EXPECT_FALSE(control("ToOut")->isEnabled());
  EXPECT_FALSE(control("MakeDir2")->isVisible());

  ASSERT_TRUE(in->showFolder(tree.pathText("pics")));
  in->folders()->setPath(tree.pathText("pics/sub"));  // as the folder list's own change
  EXPECT_EQ(key("ReName-InDir"), tree.pathText("pics/sub"));
  EXPECT_EQ(key("ReName-OutDir"), key("ReName-InDir"));
  EXPECT_EQ(control<FolderSide>("OutDirFrame")->folder(), tree.pathText("pics/sub"));

  click("Copy_Mode");
  EXPECT_EQ(key("ReName-Copy_Mode"), "True");
  EXPECT_EQ(control<QAbstractButton>("Run")->text(), "Copy");
  EXPECT_TRUE(control("OutDir")->isEnabled());
  EXPECT_TRUE(control("ToOut")->isEnabled());
  click("ToOut");
  EXPECT_EQ(key("ReName-OutDir"), tree.pathText("pics/sub"));
  click("Move_Mode");
  EXPECT_EQ(control<QAbstractButton>("Run")->text(), "Move");
  click("Stay_Mode");
  EXPECT_FALSE(control("OutDir")->isEnabled());
  EXPECT_EQ(control<QAbstractButton>("Run")->text(), "ReName");
}

TEST_F(RenamePanel, LinkedOptionsFollowTheirRules) {
  open();
  openDetails();
  // Stay mode: the target-side frame is off, whatever CheckSubDir says.
  EXPECT_FALSE(control("out")->isEnabled());
  EXPECT_FALSE(control("MakeSubDir")->isEnabled());
  click("CheckSubDir");                      // off
  EXPECT_EQ(key("ReName-MakeSubDir"), "0");  // follows in Stay mode
  click("SettingClose");
  click("Copy_Mode");
  openDetails();
  EXPECT_TRUE(control("out")->isEnabled());
  EXPECT_FALSE(control("MakeSubDir")->isEnabled());
  click("CheckSubDir");  // on
  EXPECT_TRUE(control("MakeSubDir")->isEnabled());

  EXPECT_FALSE(control("Read")->isEnabled());
  click("Attribute");
  EXPECT_TRUE(control("Read")->isEnabled());
  click("Attribute");
  EXPECT_FALSE(control("Read")->isEnabled());

  // Time stamps: all off, then the range, then the given moment instead of the range.
  EXPECT_FALSE(control("TimeStampChange")->isEnabled());
  EXPECT_FALSE(control("YYYYStart")->isEnabled());
  EXPECT_FALSE(control("YYYYDay")->isEnabled());
  click("TimeStamp");
  EXPECT_TRUE(control("TimeStampChange")->isEnabled());
  EXPECT_TRUE(control("YYYYStart")->isEnabled());
  EXPECT_FALSE(control("TimeStamp1")->isEnabled());
  click("TimeStampChange");
  EXPECT_FALSE(control("YYYYStart")->isEnabled());
  EXPECT_TRUE(control("TimeStamp1")->isEnabled());
  EXPECT_TRUE(control("SSTime")->isEnabled());
}

TEST_F(RenamePanel, TheDayListKnowsLeapYearsAndTheYearListsStayOrdered) {
  store("ReName-TimeStamp", "1");
  store("ReName-TimeStampChange", "1");
  open();
  openDetails();
  auto* day = control<QComboBox>("DDDay");
  auto* dayYear = control<QComboBox>("YYYYDay");
  EXPECT_EQ(dayYear->count(), 2010 - 1980 + 1);
  EXPECT_EQ(dayYear->currentText(), "2000");
  choose("MMDay", 1);  // February
  EXPECT_EQ(day->count(), 29);
  choose("YYYYDay", 1999 - 1980);
  EXPECT_EQ(key("ReName-YYYYDay"), "1999");
  EXPECT_EQ(day->count(), 28);
  choose("YYYYDay", 2004 - 1980);
  EXPECT_EQ(day->count(), 29);
  choose("YYYYDay", 0);  // 1980: a leap year too
  EXPECT_EQ(day->count(), 29);

  choose("MMDay", 0);
  choose("DDDay", 30);
  choose("MMDay", 3);  // April: day 31 becomes 30
  EXPECT_EQ(day->count(), 30);
  EXPECT_EQ(key("ReName-DDDay"), "29");
  EXPECT_EQ(day->currentIndex(), 29);

  choose("YYYYEnd", 2003 - 1900);
  choose("YYYYStart", 2005 - 1900);
  EXPECT_EQ(key("ReName-YYYYEnd"), "2005");
  EXPECT_EQ(control<QComboBox>("YYYYEnd")->currentText(), "2005");

  // A narrower given-date range moves the day's year into it and refills the list.
  choose("YYYYStart_Set", 2001 - 1900);
  EXPECT_EQ(key("ReName-YYYYDay"), "2001");
  EXPECT_EQ(dayYear->count(), 2010 - 2001 + 1);
  EXPECT_EQ(dayYear->currentText(), "2001");
}

TEST_F(RenamePanel, TheFolderEditorMakesAndDeletesFolders) {
  tree.mkdir("pics");
  store("ReName-InDir", tree.pathText("pics"));
  open();
  click("MakeDir1");
  auto* text = control<QLineEdit>("OrjDirPath");
  EXPECT_TRUE(text->isVisible());
  EXPECT_FALSE(control("MakeDir1")->isVisible());
  EXPECT_EQ(control<QAbstractButton>("OrjGo")->text(), "Make");
  EXPECT_EQ(text->text().toStdString(), tree.pathText("pics") + "\\");
  QTest::keyClicks(text, "2002");
  click("OrjGo");
  EXPECT_TRUE(tree.exists("pics/2002"));
  EXPECT_EQ(key("ReName-InDir"), tree.pathText("pics/2002"));
  EXPECT_FALSE(text->isVisible());
  EXPECT_TRUE(control("MakeDir1")->isVisible());

  // An empty folder goes at once.
  click("RmDir1");
  EXPECT_EQ(control<QAbstractButton>("OrjGo")->text(), "Delete");
  EXPECT_EQ(text->text().toStdString(), tree.pathText("pics/2002"));
  hook.shown.clear();
  click("OrjGo");
  EXPECT_TRUE(hook.shown.empty());
  EXPECT_FALSE(tree.exists("pics/2002"));
  EXPECT_EQ(key("ReName-InDir"), tree.pathText("pics"));

  // A folder holding files asks first, saying how many; No keeps it.
  tree.write("pics/full/a.jpg", "a");
  tree.write("pics/full/sub/b.jpg", "b");
  control<FolderSide>("InDirFrame")->folders()->setPath(tree.pathText("pics/full"));
  click("RmDir1");
  click("OrjGo");
  ASSERT_EQ(hook.shown.size(), 1u);
  EXPECT_NE(hook.shown[0].text.find(" 2 個のファイル"), std::string::npos) << hook.shown[0].text;
  EXPECT_TRUE(tree.exists("pics/full/a.jpg"));
  EXPECT_TRUE(tree.exists("pics/full/sub/b.jpg"));

  // Yes: the folder goes to the trash, its pictures with it.
  click("RmDir1");
  hook.answer(msgbox::kYes);
  click("OrjGo");
  EXPECT_FALSE(tree.exists("pics/full"));
  const QString trash = qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/files";
  bool found = false;
  for (const QString& name : QDir(trash).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
    if (name.startsWith("full") && QFile::exists(trash + "/" + name + "/sub/b.jpg")) found = true;
  EXPECT_TRUE(found) << "not in " << trash.toStdString();
  EXPECT_EQ(key("ReName-InDir"), tree.pathText("pics"));
}

TEST_F(RenamePanel, ADropOnTheTargetSideTakesTheDroppedFilesFolder) {
  tree.write("card/DCIM/a.jpg", "a");
  tree.mkdir("target");
  store("ReName-Copy_Mode", "True");
  store("ReName-Stay_Mode", "False");
  store("ReName-OutDir", tree.pathText("target"));
  open();
  auto* out = control<FolderSide>("OutDirFrame");
  emit out->filesDropped({QString::fromStdString(tree.pathText("card/DCIM/a.jpg"))});
  EXPECT_EQ(out->folder(), tree.pathText("card/DCIM"));
  EXPECT_EQ(key("ReName-OutDir"), tree.pathText("card/DCIM"));
  EXPECT_EQ(key("ReName-OutDir0"), tree.pathText("card/DCIM"));
  // The write test leaves nothing behind.
  EXPECT_EQ(tree.files(), (std::vector<std::string>{"card/DCIM/a.jpg", "quillmere.ini"}));
}

}  // namespace
}  // namespace quillmere::panel::test
