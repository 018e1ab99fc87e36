#include <gtest/gtest.h>

#include "core/Main.h"

namespace quillmere {
namespace {

TEST(Array, UndimensionedDiffersFromOneEmptyEntry) {
  StringArray never;
  EXPECT_FALSE(dll().DLL_XBoundString(never));
  EXPECT_THROW(never.ubound(), DllError);
  StringArray one = StringArray::withBounds(1, 1);
  EXPECT_TRUE(dll().DLL_XBoundString(one));
  EXPECT_FALSE(dll().DLL_XBoundString(one, 2));
  EXPECT_FALSE(dll().DLL_XBoundString(one, 0));
  EXPECT_EQ(one(1), "");
}

TEST(Array, BoundsAreCheckedInEveryDimension) {
  LongArray table;
  table.redim(1, 3, 0, 1);
  EXPECT_EQ(table.dims(), 2);
  EXPECT_EQ(table.lbound(2), 0);
  EXPECT_EQ(table.ubound(1), 3);
  table(3, 1) = 7;
  EXPECT_EQ(table(3, 1), 7);
  EXPECT_THROW(table(4, 0), DllError);
  EXPECT_THROW(table(0, 0), DllError);
  EXPECT_THROW(table(1), DllError);  // wrong number of subscripts
  EXPECT_TRUE(dll().DLL_XBoundLong(table, 2));
  EXPECT_FALSE(dll().DLL_XBoundLong(table, 3));
  try {
    table(9, 9);
  } catch (const DllError& e) {
    EXPECT_EQ(e.number(), dllerr::kSubscriptOutOfRange);
  }
}

TEST(Array, RedimPreserveKeepsWhatFitsAndRedimClears) {
  StringArray list = StringArray::fromList({"a", "b", "c"});
  list.redimPreserve(1, 5);
  EXPECT_EQ(list(3), "c");
  EXPECT_EQ(list(5), "");
  list.redimPreserve(1, 2);
  EXPECT_EQ(list.ubound(), 2);
  EXPECT_EQ(list(2), "b");
  list.redimPreserve(0, 2);  // a new lower bound keeps elements by index
  EXPECT_EQ(list(0), "");
  EXPECT_EQ(list(1), "a");
  list.append("z");
  EXPECT_EQ(list(3), "z");

  LongArray grid;
  grid.redim(1, 2, 1, 2);
  grid(2, 2) = 5;
  grid.redimPreserve(1, 2, 1, 4);
  EXPECT_EQ(grid(2, 2), 5);
  EXPECT_EQ(grid(2, 4), 0);
  grid.redim(1, 2, 1, 2);
  EXPECT_EQ(grid(2, 2), 0);
  grid.erase();
  EXPECT_EQ(grid.dims(), 0);
}

TEST(Variant, ConvertsAsTheRuntimeDoes) {
  EXPECT_TRUE(Variant().isEmpty());
  EXPECT_EQ(Variant(true).toDouble(), -1);
  EXPECT_EQ(Variant(std::int64_t{5000000000}).toString(), "5000000000");
  EXPECT_EQ(Variant(std::string("12.5")).toDouble(), 12.5);
  EXPECT_EQ(Variant(2.5).toString(), "2.5");
}

TEST(Main, OneObjectServesTheProgramsLife) {
  EXPECT_EQ(&dll(), &dll());
}

TEST(Main, SwapExchangesValues) {
  std::int32_t x = 1, y = 2;
  dll().DLL_SwapLong(x, y);
  EXPECT_EQ(x, 2);
  EXPECT_EQ(y, 1);
}

}  // namespace
}  // namespace quillmere
