#include <gtest/gtest.h>

#include "settings/ValueText.h"

namespace {

using namespace quillmere::settings;

TEST(ValueText, NumbersAreTheLeadingDecimalNumber) {
  EXPECT_EQ(numberValue("1"), 1.0);
  EXPECT_EQ(numberValue(" 01 "), 1.0);
  EXPECT_EQ(numberValue("1.0"), 1.0);
  EXPECT_EQ(numberValue("-2.5"), -2.5);
  EXPECT_EQ(numberValue("1abc"), 1.0);
  EXPECT_EQ(numberValue("abc"), std::nullopt);
  EXPECT_EQ(numberValue(""), std::nullopt);
  EXPECT_EQ(numberValue("."), std::nullopt);
  EXPECT_EQ(numberOrZero("True"), 0.0);
  EXPECT_EQ(numberOrZero(std::string(400, '9')), 0.0);  // beyond any double: no number
}

// A flag is True/False or a text that is wholly a number; anything else, "1abc" included, is
// garbled and reads as the key's default.
TEST(ValueText, FlagsAreTrueFalseOrAWholeNumber) {
  EXPECT_EQ(flagValue("True"), true);
  EXPECT_EQ(flagValue(" false "), false);
  EXPECT_EQ(flagValue("1"), true);
  EXPECT_EQ(flagValue("0.0"), false);
  EXPECT_EQ(flagValue("-1"), true);
  EXPECT_EQ(flagValue("1abc"), std::nullopt);
  EXPECT_EQ(flagValue("yes"), std::nullopt);
  EXPECT_EQ(flagValue(""), std::nullopt);
  EXPECT_TRUE(flagOr("1abc", true));
  EXPECT_FALSE(flagOr("1abc", false));
}

}  // namespace
