#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Main.h"

namespace quillmere {
namespace {

const Main& m = dll();

StringArray table(const std::vector<std::vector<std::string>>& rows) {
  StringArray t;
  t.redim(1, static_cast<std::int32_t>(rows.size()), 1,
          static_cast<std::int32_t>(rows.front().size()));
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < rows[r].size(); ++c)
      t(static_cast<std::int32_t>(r) + 1, static_cast<std::int32_t>(c) + 1) = rows[r][c];
  return t;
}

std::vector<std::string> column(const StringArray& t, std::int32_t c) {
  std::vector<std::string> out;
  for (std::int32_t r = t.lbound(1); r <= t.ubound(1); ++r) out.push_back(t(r, c));
  return out;
}

TEST(Sort, ByKeysInOrderWholeRowsMoveAndEqualRowsKeepTheirOrder) {
  StringArray data = table({{"b", "2", "first"},
                            {"a", "9", "second"},
                            {"b", "1", "third"},
                            {"a", "9", "fourth"},
                            {"B", "0", "fifth"}});
  LongArray keys = LongArray::fromList({1, 2});
  m.DLL_Sort(data, keys);
  EXPECT_EQ(column(data, 3),
            (std::vector<std::string>{"fifth", "second", "fourth", "third", "first"}));
  LongArray none;
  StringArray copy = data;
  m.DLL_Sort(copy, none);
  EXPECT_EQ(copy, data);
  LongArray bad = LongArray::fromList({4});
  EXPECT_THROW(m.DLL_Sort(data, bad), DllError);
}

TEST(Sort, ManyRowsStayOrdered) {
  StringArray data;
  const int n = 20000;
  data.redim(1, n, 1, 2);
  for (int i = 1; i <= n; ++i) {
    data(i, 1) = std::to_string((i * 7919) % 1000);
    data(i, 2) = std::to_string(i);
  }
  LongArray keys = LongArray::fromList({1});
  m.DLL_Sort(data, keys);
  for (int i = 2; i <= n; ++i) {
    ASSERT_LE(data(i - 1, 1), data(i, 1));
    if (data(i - 1, 1) == data(i, 1)) {
      ASSERT_LT(std::stoi(data(i - 1, 2)), std::stoi(data(i, 2)));
    }
  }
}

TEST(NullDelDim2, DropsEmptyRowsAndErasesWhenNoneRemain) {
  StringArray t = table({{"", ""}, {"a", ""}, {"", ""}, {"", "b"}});
  m.DLL_NullDelDim2(t);
  EXPECT_EQ(t, table({{"a", ""}, {"", "b"}}));
  StringArray empty = table({{"", ""}, {"", ""}});
  m.DLL_NullDelDim2(empty);
  EXPECT_EQ(empty.dims(), 0);
  StringArray list = StringArray::fromList({"", "x"});
  m.DLL_NullDelDim2(list);
  EXPECT_EQ(list.count(), 2);
}

TEST(DimWFileDel, UniqueNonEmptyFromOne) {
  StringArray list = StringArray::fromList({"a", "", "b", "a", "c", "b"});
  m.DLL_DimWFileDel(list);
  EXPECT_EQ(list.lbound(), 0);
  EXPECT_EQ(list.data(), (std::vector<std::string>{"", "a", "b", "c"}));
  StringArray a = StringArray::fromList({"x", "y", "z", "y"});
  StringArray b = StringArray::fromList({"y", "w", "", "x"});
  m.DLL_DimWFileDel_W(a, b);
  EXPECT_EQ(a.data(), (std::vector<std::string>{"", "z"}));
  EXPECT_EQ(b.data(), (std::vector<std::string>{"", "w"}));
}

TEST(ListCheckAndNullDel, ExactComparison) {
  StringArray t = table({{"1", "IMG.JPG"}, {"2", "img.jpg"}});
  EXPECT_TRUE(m.DLL_ListCheck("img.jpg", t, 2));
  EXPECT_FALSE(m.DLL_ListCheck("Img.jpg", t, 2));
  EXPECT_TRUE(m.DLL_ListCheck("2", t));
  StringArray none;
  EXPECT_FALSE(m.DLL_ListCheck("x", none));
  EXPECT_EQ(m.DLL_NullDel(std::string("abc\0def", 7)), "abc");
  EXPECT_EQ(m.DLL_NullDel("abc"), "abc");
}

TEST(ConvertAndThumbNail, RowsNumberedAfterTheLargest) {
  StringArray list = StringArray::fromList({"a", "b"});
  m.DLL_DimConvertA(list);
  EXPECT_EQ(list, table({{"1", "a"}, {"2", "b"}}));
  m.DLL_DimConvertB(list);
  EXPECT_EQ(list, StringArray::fromList({"a", "b"}));

  StringArray thumbs = table({{"7", "x.jpg"}, {"3", "y.jpg"}});
  StringArray files = StringArray::fromList({"p.jpg", "q.jpg"});
  m.DLL_DimThumbNailConvert(files, thumbs);
  EXPECT_EQ(thumbs, table({{"7", "x.jpg"}, {"3", "y.jpg"}, {"8", "p.jpg"}, {"9", "q.jpg"}}));
}

TEST(WDataDel, RepeatedAndEmptyValuesGo) {
  StringArray t = table({{"1", "a"}, {"2", ""}, {"3", "b"}, {"4", "a"}});
  m.DLL_WDataDel(t, "2");
  EXPECT_EQ(t, table({{"1", "a"}, {"3", "b"}}));
  StringArray gone = table({{"1", ""}});
  m.DLL_WDataDel(gone, "2");
  EXPECT_EQ(gone.dims(), 0);
}

TEST(FileNameFilters, ByExtensionIgnoringCase) {
  StringArray files = StringArray::fromList({"a.JPG", "b.thm", "c.jpg", "d", "e.CRW"});
  StringArray drop = StringArray::fromList({"thm", ".crw"});
  m.DLL_FileNameDelet(files, drop);
  EXPECT_EQ(files, StringArray::fromList({"a.JPG", "c.jpg", "d"}));
  EXPECT_EQ(drop, StringArray::fromList({".thm", ".crw"}));
  StringArray pick = StringArray::fromList({"jpg"});
  m.DLL_FileNameSelect(files, pick);
  EXPECT_EQ(files, StringArray::fromList({"a.JPG", "c.jpg"}));
  StringArray nothing = StringArray::fromList({"png"});
  m.DLL_FileNameSelect(files, nothing);
  EXPECT_EQ(files.dims(), 0);
}

}  // namespace
}  // namespace quillmere
