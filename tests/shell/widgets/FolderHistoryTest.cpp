#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QMimeData>
#include <QStandardPaths>
#include <QUrl>

#include <cstdlib>
#include <filesystem>

#include "core/Main.h"
#include "platform/DriveMap.h"
#include "shell/widgets/FolderHistory.h"
#include "shell/widgets/FolderWidgets.h"
#include "shell/widgets/frmMessage.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

class History : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 1; i <= 10; ++i) {
      folders.push_back(tree.pathText("f" + std::to_string(i)));
      tree.mkdir("f" + std::to_string(i));
    }
  }
  FolderHistory history() {
    return FolderHistory(tree.pathText("q.ini"), "ReName", "ReName-InDir", "c:\\");
  }
  void storeAll() {
    for (int i = 1; i <= 10; ++i)
      dll().DLL_WriteStringINI(tree.pathText("q.ini"), "ReName", "ReName-InDir" + std::to_string(i),
                               folders[i - 1]);
  }
  std::vector<std::string> entries() {
    std::vector<std::string> out;
    for (int i = 1; i <= 10; ++i) out.push_back(history().entry(i));
    return out;
  }

  test::TempTree tree;
  std::vector<std::string> folders;
};

TEST_F(History, UnsetAndVanishedEntriesReadAsTheProgramDrive) {
  EXPECT_EQ(history().entry(3), "c:\\");
  storeAll();
  std::filesystem::remove_all(tree.path("f4"));
  history().checkEntries();
  EXPECT_EQ(history().entry(4), "c:\\");
  EXPECT_EQ(history().entry(5), folders[4]);
}

TEST_F(History, AddingDropsTheTenthEntry) {
  storeAll();
  history().add("C:\\new");
  auto expected = folders;
  expected.insert(expected.begin(), "C:\\new");
  expected.pop_back();
  EXPECT_EQ(entries(), expected);
  history().add("");
  EXPECT_EQ(entries(), expected);
}

TEST_F(History, ChoosingAnEntryMovesItToTheTopAndKeepsTheOthersInOrder) {
  storeAll();
  QComboBox box;
  FolderList folderList;
  FileList fileList;
  const std::string chosen = history().choose(3, 39, box, {nullptr, &folderList, &fileList});
  EXPECT_EQ(chosen, folders[3]);
  const auto now = entries();
  EXPECT_EQ(now[0], folders[3]);
  // Entry 1 was the current folder and gives way to the chosen one; the rest keep their order.
  EXPECT_EQ(std::vector<std::string>(now.begin() + 1, now.begin() + 9),
            (std::vector<std::string>{folders[1], folders[2], folders[4], folders[5], folders[6],
                                      folders[7], folders[8], folders[9]}));
  EXPECT_EQ(now[9], "c:\\");
  EXPECT_EQ(folderList.path(), folders[3]);
  EXPECT_EQ(fileList.path(), folders[3]);
  ASSERT_EQ(box.count(), 13);
  EXPECT_EQ(box.itemText(10), QString::fromUtf8("ディスクトップへ"));
  EXPECT_EQ(box.itemText(11), QString::fromUtf8("このディレクトリListへ登録"));
  EXPECT_EQ(box.itemText(12), QString::fromUtf8("このディレクトリListから削除"));
  EXPECT_EQ(dll().DLL_GetStringFromINI(tree.pathText("q.ini"), "ReName", "ReName-InDir", ""),
            folders[3]);
}

TEST_F(History, ToTheDesktopSetsAllThreeLists) {
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  QDir().mkpath(desktop);
  QComboBox box;
  FolderList folderList;
  FileList fileList;
  const std::string chosen =
      history().choose(FolderHistory::kToDesktop, 39, box, {nullptr, &folderList, &fileList});
  EXPECT_EQ(chosen, dll().DLL_GetFolderPath(0));
  EXPECT_EQ(folderList.path(), chosen);
  EXPECT_EQ(fileList.path(), chosen);
  EXPECT_EQ(history().entry(1), chosen);
}

TEST_F(History, DisplayTextFitsTheWidth) {
  const std::string thirty = "C:\\abcdefgh\\ijklmnopq\\rstuvwxy";
  ASSERT_EQ(thirty.size(), 30u);
  dll().DLL_WriteStringINI(tree.pathText("q.ini"), "ReName", "ReName-InDir1", thirty);
  EXPECT_EQ(history().displayText(1, 39), thirty);
  EXPECT_EQ(history().displayText(1, 20), "C:\\...klmnopq\\rstuvwxy");
  // A last folder name as long as the width allows is shown alone.
  EXPECT_EQ(history().displayText(1, 12), "rstuvwxy");
}

TEST(FolderWidgets, ListsLeaveHiddenEntriesOutAndDropsBecomePathTexts) {
  test::TempTree tree;
  tree.mkdir("top/sub");
  tree.mkdir("top/.hidden");
  tree.write("top/a.jpg", "x");
  tree.write("top/b.txt", "x");
  tree.write("top/.c.jpg", "x");
  FolderList folders;
  ASSERT_TRUE(folders.setPath(tree.pathText("top")));
  QStringList names;
  for (int i = 0; i < folders.count(); ++i) names << folders.item(i)->text().trimmed();
  EXPECT_TRUE(names.contains("top"));
  EXPECT_TRUE(names.contains("sub"));
  EXPECT_FALSE(names.contains(".hidden"));
  EXPECT_EQ(names.first(), "C:\\");
  FileList files;
  files.setPath(tree.pathText("top"));
  files.setPattern("*.jpg");
  ASSERT_EQ(files.count(), 1);
  EXPECT_EQ(files.item(0)->text(), "a.jpg");
  files.setPattern("*.*");
  EXPECT_EQ(files.count(), 2);

  QMimeData drop;
  drop.setUrls({QUrl::fromLocalFile(QString::fromStdString(tree.path("top/a.jpg"))),
                QUrl("https://example.com/x.jpg")});
  EXPECT_EQ(droppedPathTexts(&drop),
            QStringList{QString::fromStdString(tree.pathText("top/a.jpg"))});

  DriveList drives;
  ASSERT_GE(drives.count(), 1);
  EXPECT_TRUE(drives.itemText(0).startsWith("c: ["));
}

TEST(FolderWidgets, MessageWindowHasItsCaptionAndLabel) {
  frmMessage message;
  message.setText(QString::fromUtf8("チェック中"));
  EXPECT_EQ(message.windowTitle(), "QuMere");
  ASSERT_NE(message.findChild<QLabel*>("Label1"), nullptr);
  EXPECT_EQ(message.findChild<QLabel*>("Label1")->text(), QString::fromUtf8("チェック中"));
}

}  // namespace
}  // namespace quillmere
