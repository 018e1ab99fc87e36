#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Main.h"
#include "mirror/MirrorSettings.h"
#include "settings/ValueText.h"
#include "support/TempTree.h"

namespace quillmere::mirror {
namespace {

class MirrorSettingsTest : public ::testing::Test {
 protected:
  test::TempTree tree;
  std::string ini = tree.pathText("quillmere.ini");
  MirrorSettings settings{ini, "c:\\"};

  std::string get(const std::string& k, const std::string& d = "<none>") const {
    return dll().DLL_GetStringFromINI(ini, kSection, k, d);
  }
  void put(const std::string& k, const std::string& v) const {
    dll().DLL_WriteStringINI(ini, kSection, k, v);
  }
  // Saves the current keys under a title, answering Yes.
  SettingList saveAs(const std::string& title) const {
    auto r = settings.save(title, [](const std::string&) { return true; });
    EXPECT_TRUE(r.has_value());
    return r.value_or(SettingList{});
  }
};

TEST_F(MirrorSettingsTest, FirstLoadWritesEveryDefaultAndASecondLoadChangesNothing) {
  settings.load();
  EXPECT_EQ(get("Mirrorring-DustBox"), "1");
  EXPECT_EQ(get("Mirrorring-ClrDustBox"), "0");
  EXPECT_EQ(get("Mirrorring-Master"), "1");
  EXPECT_EQ(get("Mirrorring-Master1"), "False");
  EXPECT_EQ(get("Mirrorring-Mirror1"), "False");
  EXPECT_EQ(get("Mirrorring-BinCheck1"), "False");
  EXPECT_EQ(get("Mirrorring-OptionSelect"), "5");
  EXPECT_EQ(get("Mirrorring-Week6"), "0");
  EXPECT_EQ(get("Mirrorring-Hour23"), "0");
  EXPECT_EQ(get("Mirrorring-Minute11"), "0");
  EXPECT_EQ(get("Mirrorring-Minute12"), "<none>");

  put("Mirrorring-Master1", "True");
  put("Mirrorring-Hour7", "1");
  const std::string before = tree.read("quillmere.ini");
  settings.load();
  EXPECT_EQ(tree.read("quillmere.ini"), before);
}

TEST_F(MirrorSettingsTest, PresetsSetTheirSixOptionsAndAnOptionControlClearsThePreset) {
  struct Row {
    int index;
    const char* master1;
    const char* mirror1;
    const char* binCheck;
    const char* binCheck1;
  };
  const Row rows[] = {{1, "False", "False", "1", "False"}, {2, "False", "False", "1", "True"},
                      {3, "False", "False", "0", "False"}, {4, "False", "True", "1", "False"},
                      {5, "False", "True", "1", "True"},   {6, "False", "True", "0", "True"},
                      {7, "True", "False", "1", "False"},  {8, "True", "False", "1", "True"},
                      {9, "True", "False", "0", "True"}};
  for (const Row& r : rows) {
    settings.choosePreset(r.index);
    SCOPED_TRACE(r.index);
    EXPECT_EQ(get("Mirrorring-OptionSelect"), std::to_string(r.index));
    EXPECT_EQ(get("Mirrorring-Master"), "1");
    EXPECT_EQ(get("Mirrorring-Mirror"), "1");
    EXPECT_EQ(get("Mirrorring-Master1"), r.master1);
    EXPECT_EQ(get("Mirrorring-Mirror1"), r.mirror1);
    EXPECT_EQ(get("Mirrorring-BinCheck"), r.binCheck);
    EXPECT_EQ(get("Mirrorring-BinCheck1"), r.binCheck1);
  }
  // The tenth button stores 0 and sets nothing.
  settings.choosePreset(0);
  EXPECT_EQ(get("Mirrorring-OptionSelect"), "0");
  EXPECT_EQ(get("Mirrorring-Master1"), "True");
  EXPECT_STREQ(presets()[0].caption, presets()[1].caption);

  settings.choosePreset(6);
  settings.setCheck(key::kMaster, true);
  EXPECT_EQ(get("Mirrorring-OptionSelect"), "0");
  settings.choosePreset(6);
  settings.setOptionPair(key::kBinCheck1, false);
  EXPECT_EQ(get("Mirrorring-OptionSelect"), "0");
  EXPECT_EQ(get("Mirrorring-BinCheck1"), "False");
  // Options outside the six leave the preset alone.
  settings.choosePreset(6);
  settings.setCheck(key::kDustBox, false);
  settings.setCheck(key::kTimer, true);
  EXPECT_EQ(get("Mirrorring-OptionSelect"), "6");
}

TEST_F(MirrorSettingsTest, ScheduleNeedsTimerWeekdayHourAndAFiveMinuteMark) {
  settings.load();
  std::array<bool, kWeekCount> week{};
  week[2] = true;  // Tuesday
  std::array<bool, kHourCount> hours{};
  hours[9] = true;
  std::array<bool, kMinuteCount> minutes{};
  minutes[6] = true;  // :30
  settings.setWeek(week);
  settings.setHours(hours);
  settings.setMinutes(minutes);
  EXPECT_FALSE(settings.scheduleDue(2, 9, 30)) << "timer off";
  settings.setCheck(key::kTimer, true);
  EXPECT_TRUE(settings.scheduleDue(2, 9, 30));
  EXPECT_FALSE(settings.scheduleDue(2, 9, 31));
  EXPECT_FALSE(settings.scheduleDue(2, 9, 35));
  EXPECT_FALSE(settings.scheduleDue(3, 9, 30));
  EXPECT_FALSE(settings.scheduleDue(2, 10, 30));
  put("Mirrorring-Minute7", "1");
  EXPECT_TRUE(settings.scheduleDue(2, 9, 35));
  // A stray key for a fraction of five minutes never makes minute 7 due.
  put("Mirrorring-Minute1.4", "1");
  EXPECT_FALSE(settings.scheduleDue(2, 9, 7));
  put("Mirrorring-Timer", "garbled");
  EXPECT_FALSE(settings.scheduleDue(2, 9, 30));
}

TEST_F(MirrorSettingsTest, SaveAppendsNewTitlesOverwritesExistingOnesAndMatchesCase) {
  settings.load();
  put("Mirrorring-InDir", "C:\\pics");
  put("Mirrorring-Week3", "1");
  auto list = saveAs("Daily");
  EXPECT_EQ(get("Mirrorring-SettingList"), "1");
  EXPECT_EQ(list.text, "Daily");
  EXPECT_EQ(list.titles, std::vector<std::string>{"Daily"});
  EXPECT_EQ(get("Mirrorring-InDir_1"), "C:\\pics");
  EXPECT_EQ(get("Mirrorring-Week3_1"), "1");
  EXPECT_EQ(get("Mirrorring-OptionSelect_1"), "<none>") << "the preset is not saved";

  put("Mirrorring-InDir", "C:\\other");
  saveAs("daily");  // another case: another row
  EXPECT_EQ(get("Mirrorring-SettingList"), "2");
  put("Mirrorring-InDir", "C:\\third");
  list = saveAs("Daily");  // the same title: row 1 again
  EXPECT_EQ(get("Mirrorring-SettingList"), "2");
  EXPECT_EQ(get("Mirrorring-InDir_1"), "C:\\third");
  EXPECT_EQ(get("Mirrorring-InDir_2"), "C:\\other");
  EXPECT_EQ(list.titles, (std::vector<std::string>{"Daily", "daily"}));

  // No: nothing written, the text cleared; empty text: nothing at all.
  const auto no = settings.save("Weekly", [](const std::string& q) {
    EXPECT_EQ(q, "設定を保存しますか？");
    return false;
  });
  ASSERT_TRUE(no.has_value());
  EXPECT_EQ(no->text, "");
  EXPECT_EQ(get("Mirrorring-SettingList"), "2");
  EXPECT_FALSE(settings.save("", [](const std::string&) { return true; }).has_value());
}

TEST_F(MirrorSettingsTest, SelectRestoresTimerScheduleAndFolders) {
  settings.load();
  put("Mirrorring-Timer", "1");
  put("Mirrorring-Hour5", "1");
  put("Mirrorring-Minute11", "1");
  put("Mirrorring-InDir", "C:\\a");
  put("Mirrorring-OutDir", "D:\\b");
  saveAs("Night");
  settings.load();
  put("Mirrorring-Timer", "0");
  put("Mirrorring-Hour5", "0");
  put("Mirrorring-Minute11", "0");
  put("Mirrorring-InDir", "C:\\x");
  put("Mirrorring-OutDir", "C:\\y");
  EXPECT_EQ(settings.select(0), "Night");
  EXPECT_EQ(get("Mirrorring-Timer"), "1");
  EXPECT_EQ(get("Mirrorring-Hour5"), "1");
  EXPECT_EQ(get("Mirrorring-Minute11"), "1");
  EXPECT_EQ(get("Mirrorring-InDir"), "C:\\a");
  EXPECT_EQ(get("Mirrorring-OutDir"), "D:\\b");
}

TEST_F(MirrorSettingsTest, ASavedRowWithMissingKeysNeverTurnsOnDeletion) {
  // A hand-edited list that counts a row whose keys are gone.
  put("Mirrorring-SettingList", "1");
  put("Mirrorring-SettingListTitle_1", "broken");
  settings.load();
  settings.select(0);
  EXPECT_FALSE(settings::flagOr(get("Mirrorring-Master1"), true));
  EXPECT_FALSE(settings::flagOr(get("Mirrorring-Mirror1"), true));
}

TEST_F(MirrorSettingsTest, DeleteMovesLaterRowsUpAndHandlesTheLastAndUnselectedRows) {
  settings.load();
  for (const char* t : {"one", "two", "three"}) {
    put("Mirrorring-InDir", std::string("C:\\") + t);
    saveAs(t);
  }
  auto yes = [](const std::string& q) {
    EXPECT_EQ(q, "設定を削除しますか？");
    return true;
  };
  // No row selected with three stored: nothing after the confirmation.
  EXPECT_FALSE(settings.remove("two", -1, yes).has_value());
  EXPECT_EQ(get("Mirrorring-SettingList"), "3");

  const auto list = settings.remove("two", 1, yes);
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(get("Mirrorring-SettingList"), "2");
  EXPECT_EQ(list->text, "three");
  EXPECT_EQ(list->titles, (std::vector<std::string>{"one", "three"}));
  EXPECT_EQ(get("Mirrorring-InDir_2"), "C:\\three");
  EXPECT_EQ(get("Mirrorring-SettingListTitle_3"), "0") << "the row beyond the list";

  // Answering No changes nothing.
  EXPECT_FALSE(settings.remove("one", 0, [](const std::string&) { return false; }).has_value());
  EXPECT_EQ(get("Mirrorring-SettingList"), "2");

  settings.remove("three", 1, yes);
  EXPECT_EQ(get("Mirrorring-SettingList"), "1");
  // The last one goes whatever row is selected.
  const auto empty = settings.remove("one", 5, yes);
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(get("Mirrorring-SettingList"), "0");
  EXPECT_TRUE(empty->titles.empty());
  EXPECT_EQ(empty->text, "");
}

}  // namespace
}  // namespace quillmere::mirror
