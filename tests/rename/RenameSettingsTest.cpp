#include <gtest/gtest.h>

#include "core/Main.h"
#include "rename/RenameSettings.h"
#include "support/TempTree.h"

namespace quillmere::rename {
namespace {

using test::TempTree;

class RenameSettingsTest : public ::testing::Test {
 protected:
  std::string ini() const { return tree.pathText("quillmere.ini"); }
  std::string stored(const std::string& key) const {
    return dll().DLL_GetStringFromINI(ini(), "ReName", key, "<absent>");
  }
  void store(const std::string& key, const std::string& value) const {
    dll().DLL_WriteStringINI(ini(), "ReName", key, value);
  }
  TempTree tree;
  RenameSettings settings{ini(), "c:\\"};
};

TEST_F(RenameSettingsTest, LoadWritesTheTwentyKeysWithTheirDefaultsInOrder) {
  settings.normaliseOnLoad();
  const std::string file = tree.read("quillmere.ini");
  std::size_t at = 0;
  for (const auto& key : normalisedKeys()) {
    const auto found = file.find(key + "=", at);
    ASSERT_NE(found, std::string::npos) << key;
    at = found;
  }
  EXPECT_EQ(stored("ReName-Stay_Mode"), "True");
  EXPECT_EQ(stored("ReName-Copy_Mode"), "False");
  EXPECT_EQ(stored("ReName-MojiNot"), "True");
  EXPECT_EQ(stored("ReName-FileNameFormat_Date"), "True");
  EXPECT_EQ(stored("ReName-LookSubDir"), "1");
  EXPECT_EQ(stored("ReName-MakeSubDir"), "1");
  EXPECT_EQ(stored("ReName-TimeStamp"), "0");
  EXPECT_EQ(stored("ReName-Attribute"), "0");
  EXPECT_EQ(stored("ReName-InDir"), "<absent>");  // folder keys are written by their controls
}

TEST_F(RenameSettingsTest, EachKeyIsNormalisedFromItsOwnStoredValue) {
  store("ReName-ShutDown", "0");
  store("ReName-WinShutDown", "1");
  store("ReName-Move_Mode", "True");
  settings.normaliseOnLoad();
  EXPECT_EQ(stored("ReName-WinShutDown"), "1");
  EXPECT_EQ(stored("ReName-Move_Mode"), "True");
}

TEST_F(RenameSettingsTest, StayModeMakesTheTargetTheSourceAndFollowsTheSubfolderOption) {
  settings.setInDir("C:\\pic");
  settings.chooseMode(Mode::Copy);
  settings.setOutDir("C:\\out");
  settings.setLookSubDir(false);
  EXPECT_EQ(stored("ReName-MakeSubDir"), "<absent>");  // only Stay mode ties the two
  settings.chooseMode(Mode::Stay);
  EXPECT_EQ(stored("ReName-OutDir"), "C:\\pic");
  EXPECT_EQ(stored("ReName-OutDir0"), "C:\\pic");
  EXPECT_EQ(stored("ReName-MakeSubDir"), "0");
  EXPECT_EQ(stored("ReName-Copy_Mode"), "False");
  settings.setInDir("C:\\other");
  EXPECT_EQ(stored("ReName-OutDir"), "C:\\other");
  settings.setSubDirDel1(false);
  EXPECT_EQ(stored("ReName-SubDirDel2"), "0");
}

TEST_F(RenameSettingsTest, YearListsStayOrderedAndTheGivenDayStaysValid) {
  settings.setYear("ReName-YYYYEnd", 2003);
  settings.setYear("ReName-YYYYStart", 2005);
  EXPECT_EQ(stored("ReName-YYYYEnd"), "2005");
  settings.setYear("ReName-YYYYEnd", 1999);
  EXPECT_EQ(stored("ReName-YYYYStart"), "1999");

  // The given year follows the range of its list.
  settings.setYear("ReName-YYYYStart_Set", 2004);
  EXPECT_EQ(settings.number("ReName-YYYYEnd_Set"), 2010);
  EXPECT_EQ(stored("ReName-YYYYDay"), "2004");
  settings.setYear("ReName-YYYYEnd_Set", 2002);
  EXPECT_EQ(stored("ReName-YYYYStart_Set"), "2002");
  EXPECT_EQ(stored("ReName-YYYYDay"), "2002");
}

TEST_F(RenameSettingsTest, DayListFollowsMonthAndLeapYear) {
  store("ReName-YYYYDay", "2000");
  settings.setListPosition("ReName-MMDay", 1);
  EXPECT_EQ(settings.dayCount(), 29);
  store("ReName-YYYYDay", "1999");
  EXPECT_EQ(settings.dayCount(), 28);
  EXPECT_EQ(dayItems(1900, 2).size(), 28u);  // not a leap year
  store("ReName-DDDay", "30");
  settings.setListPosition("ReName-MMDay", 3);  // April
  EXPECT_EQ(stored("ReName-DDDay"), "29");
}

TEST_F(RenameSettingsTest, SamplesShowWhatTheOptionsProduce) {
  settings.chooseFormat(NameFormat::Number);
  EXPECT_EQ(settings.nameSample(), "000");
  store("ReName-StartNo", "7");
  EXPECT_EQ(settings.nameSample(), "007");
  store("ReName-StartNo", "1234");
  EXPECT_EQ(settings.nameSample(), "1234");
  settings.chooseFormat(NameFormat::Date);
  EXPECT_EQ(settings.nameSample(), "YYYYMMDD_HHMMSS");
  settings.chooseFormat(NameFormat::Name);
  EXPECT_EQ(settings.nameSample(), "*******");
  EXPECT_EQ(settings.extensionSample(), ".Nef");
  settings.chooseCase(CaseOption::Upper);
  EXPECT_EQ(settings.extensionSample(), ".NEF");
  settings.chooseCase(CaseOption::Lower);
  EXPECT_EQ(settings.extensionSample(), ".nef");
}

TEST_F(RenameSettingsTest, ListContents) {
  const auto bytes = byteItems();
  ASSERT_EQ(bytes.size(), 15u);
  EXPECT_EQ(bytes.front(), "256");
  EXPECT_EQ(bytes.back(), "2048");
  const auto widths = numberItems();
  ASSERT_EQ(widths.size(), 9u);
  EXPECT_EQ(widths[0], "         1");
  EXPECT_EQ(widths[8], " 123456789");
  EXPECT_EQ(yearItems().size(), 201u);
}

TEST_F(RenameSettingsTest, GarbledStoredValuesReadAsTheirDefaults) {
  store("ReName-File_Byte", "lots");
  store("ReName-LookSubDir", "yes");
  store("ReName-Namber", "99");
  store("ReName-Copy_Mode", "maybe");
  store("ReName-Stay_Mode", "False");
  store("ReName-Move_Mode", "0");
  EXPECT_EQ(settings.number("ReName-File_Byte"), 0);
  EXPECT_TRUE(settings.check("ReName-LookSubDir"));
  EXPECT_EQ(settings.number("ReName-Namber"), 8);  // kept inside its list
  EXPECT_EQ(settings.mode(), Mode::Stay);          // no member chosen: the default
  store("ReName-Move_Mode", "-1");
  EXPECT_EQ(settings.mode(), Mode::Move);
  store("ReName-TimeStamp", "1.0");
  EXPECT_TRUE(settings.check("ReName-TimeStamp"));
}

TEST_F(RenameSettingsTest, ControlValuesAreCheckedBeforeAnythingIsWritten) {
  EXPECT_EQ(settings.applyControl("ReName-Copy_Mode", "True"), "");
  EXPECT_EQ(stored("ReName-Stay_Mode"), "False");
  EXPECT_EQ(settings.applyControl("ReName-mojis", "true"), "");
  EXPECT_EQ(stored("ReName-MojiS"), "True");
  EXPECT_EQ(stored("ReName-MojiNot"), "False");
  EXPECT_EQ(settings.applyControl("ReName-OutDir", "C:\\out"), "");
  EXPECT_EQ(stored("ReName-OutDir"), "C:\\out");

  const std::string before = tree.read("quillmere.ini");
  EXPECT_NE(settings.applyControl("ReName-Copy_Mode", "False"), "");
  EXPECT_NE(settings.applyControl("ReName-LookSubDir", "2"), "");
  EXPECT_NE(settings.applyControl("ReName-HHTime", "24"), "");
  EXPECT_NE(settings.applyControl("ReName-File_Byte", "-1"), "");
  EXPECT_NE(settings.applyControl("ReName-StartNo", "12a"), "");
  EXPECT_NE(settings.applyControl("ReName-InDir", "pictures"), "");
  EXPECT_NE(settings.applyControl("ReName-NoSuchKey", "1"), "");
  EXPECT_NE(settings.applyControl("ReName-YYYYDay", "2020"), "");  // outside 1980..2010
  EXPECT_EQ(tree.read("quillmere.ini"), before);

  settings.chooseMode(Mode::Stay);
  EXPECT_NE(settings.applyControl("ReName-OutDir", "C:\\elsewhere"), "");
}

TEST_F(RenameSettingsTest, TheCardImportOptionsAreOffInAnOlderSettingsFileAndSetLikeChecks) {
  // A settings file written before these keys existed.
  store("ReName-Copy_Mode", "True");
  store("ReName-Stay_Mode", "False");
  RenameOptions o = settings.runOptions();
  EXPECT_FALSE(o.mediaDates);
  EXPECT_FALSE(o.skipImported);
  EXPECT_FALSE(o.sidecars);
  settings.normaliseOnLoad();
  EXPECT_EQ(stored("ReName-SkipImported"), "<absent>");  // loading writes only the old keys

  for (const char* key : {"ReName-MediaDate", "ReName-SkipImported", "ReName-Sidecars"}) {
    EXPECT_EQ(settings.applyControl(key, "1"), "") << key;
    EXPECT_NE(settings.applyControl(key, "yes"), "") << key;
    ASSERT_NE(findKey(key), nullptr) << key;
  }
  o = settings.runOptions();
  EXPECT_TRUE(o.mediaDates && o.skipImported && o.sidecars);
  // Stay mode imports nothing, so nothing is skipped as imported.
  settings.chooseMode(Mode::Stay);
  EXPECT_FALSE(settings.runOptions().skipImported);
}

}  // namespace
}  // namespace quillmere::rename
