#include <gtest/gtest.h>

#include <QLineEdit>

#include "shell/widgets/InputChecks.h"

namespace quillmere {
namespace {

TEST(InputChecks, NumberBoxKeepsDigitsSignAndAllowedDecimals) {
  EXPECT_EQ(checkedNumberText("12a3", 0, 99999, 5, 0), "123");
  EXPECT_EQ(checkedNumberText("-12", -100, 100, 5, 0), "-12");
  EXPECT_EQ(checkedNumberText("1-2", -100, 100, 5, 0), "12");  // "-" only in front
  EXPECT_EQ(checkedNumberText("1.2", 0, 100, 5, 0), "12");     // no decimals allowed
  EXPECT_EQ(checkedNumberText("1.234", 0, 100, 6, 2), "1.23");
  EXPECT_EQ(checkedNumberText("1.2.3", 0, 100, 6, 2), "1.23");
  EXPECT_EQ(checkedNumberText("１２", 0, 100, 5, 0), "");  // full-width digits are not digits
}

TEST(InputChecks, NumberBoxCutsAndClamps) {
  EXPECT_EQ(checkedNumberText("1234567", 0, 9999999, 4, 0), "1234");
  EXPECT_EQ(checkedNumberText("5000", 1, 999, 5, 0), "999");
  EXPECT_EQ(checkedNumberText("-5", 1, 999, 5, 0), "1");
  EXPECT_EQ(checkedNumberText("", 1, 999, 5, 0), "");  // empty stays empty while typing
  EXPECT_EQ(checkedNumberText("-", 1, 999, 5, 0), "-");
}

TEST(InputChecks, NameBoxKeepsPlainNameCharacters) {
  EXPECT_EQ(checkedNameText("\\back up_01.", 20), "back up_01");
  EXPECT_EQ(checkedNameText("a/b:c*d?名前", 20), "abcd");
  EXPECT_EQ(checkedNameText("abcdefghij", 4), "abcd");
  EXPECT_EQ(checkedNameText("x.y", 10), "xy");
}

TEST(InputChecks, BoxesReportAChangeAndPutTheCaretAtTheEnd) {
  QLineEdit box;
  box.setText("12x34");
  EXPECT_TRUE(checkNumberBox(box, 0, 99999, 5, 0));
  EXPECT_EQ(box.text(), "1234");
  EXPECT_EQ(box.cursorPosition(), 4);
  EXPECT_FALSE(checkNumberBox(box, 0, 99999, 5, 0));
  box.setText("ab.");
  box.setCursorPosition(0);
  EXPECT_TRUE(checkNameBox(box, 10));
  EXPECT_EQ(box.text(), "ab");
  EXPECT_EQ(box.cursorPosition(), 2);
}

}  // namespace
}  // namespace quillmere
