#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "ExifJpeg.h"
#include "core/Main.h"
#include "support/TempTree.h"
#include "times/FileTime.h"
#include "times/ShootingDate.h"

namespace quillmere {
namespace {

using test::TempTree;
const Main& m = dll();

class Tokyo : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "Asia/Tokyo", 1);
    ::tzset();
  }
};

LongArray pairs3() {
  LongArray t;
  t.redim(1, 3, 1, 2);
  return t;
}

LongArray stamp(std::vector<std::vector<std::int32_t>> rows) {
  LongArray t;
  t.redim(1, static_cast<std::int32_t>(rows.size()), 1, 7);
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < 7; ++c)
      t(static_cast<std::int32_t>(r) + 1, static_cast<std::int32_t>(c) + 1) = rows[r][c];
  return t;
}

TEST_F(Tokyo, FileTimeConversions) {
  const timespec t{1700000000, 123456789};
  EXPECT_EQ(times::fileTimeFromUnix(t), 133444736001234567);
  EXPECT_EQ(times::utcToLocal(133444736001234567), 133445060001234567);
  EXPECT_EQ(times::localToUtc(133445060001234567), 133444736001234567);
  const timespec back = times::unixFromFileTime(133444736001234567);
  EXPECT_EQ(back.tv_sec, 1700000000);
  EXPECT_EQ(back.tv_nsec, 123456700);
  // Before 1970 and after 2038.
  for (std::int64_t s : {-2000000000LL, -1LL, 4102444800LL, 32503680000LL}) {
    const timespec u{static_cast<time_t>(s), 500};
    const std::int64_t ft = times::fileTimeFromUnix(u);
    EXPECT_EQ(times::unixFromFileTime(ft).tv_sec, u.tv_sec);
    EXPECT_EQ(times::localToUtc(times::utcToLocal(ft)), ft);
  }
  const auto f = times::fieldsFromFileTime(times::utcToLocal(133444736001234567));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->year, 2023);
  EXPECT_EQ(f->month, 11);
  EXPECT_EQ(f->day, 15);
  EXPECT_EQ(f->hour, 7);  // 22:13:20 UTC is 07:13:20 in Tokyo
  EXPECT_EQ(f->minute, 13);
  EXPECT_EQ(f->second, 20);
  EXPECT_EQ(f->milliseconds, 123);
  EXPECT_FALSE(times::fieldsFromFileTime(-1));
  EXPECT_FALSE(times::fileTimeFromFields({2003, 2, 29, 0, 0, 0, 0}));
  EXPECT_TRUE(times::fileTimeFromFields({2004, 2, 29, 0, 0, 0, 0}));
  EXPECT_EQ(times::fileTimeFromFields({1601, 1, 1, 0, 0, 0, 0}), 0);
}

TEST_F(Tokyo, TimeGetThenTimePutLeavesTimesUnchanged) {
  TempTree t;
  const auto p = t.write("a.jpg", "x");
  const timespec set[2] = {{1600000000, 123456700}, {1500000000, 987654300}};
  ::utimensat(AT_FDCWD, p.c_str(), set, 0);
  LongArray times = pairs3();
  ASSERT_TRUE(m.DLL_TimeGet(t.pathText("a.jpg"), times));
  EXPECT_EQ(times::localToUtc(times::joinLowHi(times(2, 1), times(2, 2))),
            times::fileTimeFromUnix(set[1]));
  EXPECT_EQ(times::localToUtc(times::joinLowHi(times(3, 1), times(3, 2))),
            times::fileTimeFromUnix(set[0]));
  ASSERT_TRUE(m.DLL_TimePut(t.pathText("a.jpg"), times));
  struct stat st {};
  ::stat(p.c_str(), &st);
  EXPECT_EQ(st.st_mtim.tv_sec, 1500000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 987654300);
  EXPECT_EQ(st.st_atim.tv_sec, 1600000000);
  EXPECT_EQ(st.st_atim.tv_nsec, 123456700);

  LongArray untouched = pairs3();
  untouched(1, 1) = 42;
  EXPECT_FALSE(m.DLL_TimeGet(t.pathText("missing"), untouched));
  EXPECT_EQ(untouched(1, 1), 42);
  EXPECT_FALSE(m.DLL_TimePut(t.pathText("missing"), times));
}

TEST_F(Tokyo, TimesBefore1970AndAfter2038ThroughTheTables) {
  TempTree t;
  const auto p = t.write("old.jpg", "x");
  for (const auto& row : std::vector<std::vector<std::int32_t>>{{1965, 3, 4, 5, 6, 7, 0},
                                                                {2050, 12, 31, 23, 59, 58, 0}}) {
    LongArray fields = stamp({row, row, row});
    LongArray pairs;
    ASSERT_TRUE(m.DLL_TimeAdd(fields, pairs));
    ASSERT_TRUE(m.DLL_TimePut(t.pathText("old.jpg"), pairs));
    LongArray read = pairs3();
    ASSERT_TRUE(m.DLL_TimeGet(t.pathText("old.jpg"), read));
    LongArray back;
    ASSERT_TRUE(m.DLL_TimeBunri(read, back));
    for (std::int32_t c = 1; c <= 7; ++c) EXPECT_EQ(back(2, c), row[c - 1]) << c;
  }
  struct stat st {};
  ::stat(p.c_str(), &st);
  EXPECT_GT(st.st_mtim.tv_sec, 2147483647);  // beyond 2038 for real
}

TEST_F(Tokyo, TimePutConstTakesUniversalTime) {
  TempTree t;
  const auto p = t.write("a", "x");
  m.DLL_TimePutConst(t.pathText("a"), times::lowOf(133444736001234567),
                     times::highOf(133444736001234567));
  struct stat st {};
  ::stat(p.c_str(), &st);
  EXPECT_EQ(st.st_mtim.tv_sec, 1700000000);
  EXPECT_EQ(st.st_atim.tv_sec, 1700000000);
  m.DLL_TimePutConst(t.pathText("missing"), 0, 0);  // nothing happens
}

TEST(TimeTables, UpdateComparesLastWriteToTheMillisecond) {
  LongArray a =
      stamp({{2003, 2, 1, 0, 0, 0, 0}, {2003, 2, 1, 0, 0, 0, 0}, {2003, 2, 1, 0, 0, 0, 0}});
  LongArray b =
      stamp({{2003, 1, 15, 12, 0, 0, 0}, {2003, 1, 15, 12, 0, 0, 0}, {2003, 1, 1, 0, 0, 0, 0}});
  LongArray master, slave;
  m.DLL_TimeAdd(a, master);
  m.DLL_TimeAdd(b, slave);
  EXPECT_TRUE(m.DLL_TimeUpdate(master, slave));
  EXPECT_FALSE(m.DLL_TimeUpdate(slave, master));
  LongArray c =
      stamp({{2003, 2, 1, 0, 0, 0, 1}, {2003, 2, 1, 0, 0, 0, 1}, {2003, 2, 1, 0, 0, 0, 1}});
  LongArray later;
  m.DLL_TimeAdd(c, later);
  EXPECT_FALSE(m.DLL_TimeUpdate(master, later));  // one millisecond older
  EXPECT_TRUE(m.DLL_TimeUpdate(master, master));
  LongArray none;
  EXPECT_FALSE(m.DLL_TimeUpdate(none, master));
  EXPECT_TRUE(m.DLL_TimeUpdate(master, none));
}

TEST(TimeTables, ConversionsAndDefaults) {
  LongArray fields = stamp({{2003, 5, 9, 7, 3, 2, 0}, {123456, -5, 9, 7, 3, 2, 12345}});
  StringArray texts;
  EXPECT_TRUE(m.DLL_TimeAddZero(fields, texts));
  EXPECT_EQ(texts(1, 1), "2003");
  EXPECT_EQ(texts(1, 2), "05");
  EXPECT_EQ(texts(1, 7), "000");
  EXPECT_EQ(texts(2, 1), "3456");  // the rightmost digits
  EXPECT_EQ(texts(2, 2), "05");    // no sign
  EXPECT_EQ(texts(2, 7), "345");

  LongArray numbers;
  EXPECT_TRUE(m.DLL_TimeConvert(texts, numbers));
  EXPECT_EQ(numbers(1, 1), 2003);
  EXPECT_EQ(numbers(1, 2), 5);
  texts(1, 3) = "x9";
  texts(1, 4) = "12ab";
  m.DLL_TimeConvert(texts, numbers);
  EXPECT_EQ(numbers(1, 3), 0);
  EXPECT_EQ(numbers(1, 4), 12);

  // Undimensioned inputs become the default tables and answer False.
  LongArray noFields;
  StringArray zeroTexts;
  EXPECT_FALSE(m.DLL_TimeAddZero(noFields, zeroTexts));
  EXPECT_EQ(noFields.count(1), 3);
  EXPECT_EQ(zeroTexts(3, 1), "0000");
  EXPECT_EQ(zeroTexts(3, 7), "000");
  StringArray noTexts;
  LongArray out;
  EXPECT_FALSE(m.DLL_TimeConvert(noTexts, out));
  EXPECT_EQ(noTexts(2, 1), "0000");
  EXPECT_EQ(out.count(1), 3);
  LongArray noPairs, stamps;
  EXPECT_FALSE(m.DLL_TimeBunri(noPairs, stamps));
  EXPECT_EQ(stamps.count(1), 3);
  EXPECT_EQ(stamps.count(2), 7);
  LongArray noStamps, pairs;
  EXPECT_FALSE(m.DLL_TimeAdd(noStamps, pairs));
  EXPECT_EQ(pairs.count(1), 3);

  // Round trip, and a field that does not fit 16 bits.
  LongArray one = stamp({{2026, 12, 8, 20, 30, 59, 999}});
  LongArray ft, again;
  ASSERT_TRUE(m.DLL_TimeAdd(one, ft));
  ASSERT_TRUE(m.DLL_TimeBunri(ft, again));
  EXPECT_EQ(again, one);
  LongArray huge = stamp({{70000, 1, 1, 0, 0, 0, 0}});
  EXPECT_THROW(m.DLL_TimeAdd(huge, ft), DllError);
}

TEST(Calendar, TotalDaysAndWeekDay) {
  EXPECT_EQ(m.DLL_TotalDays(1, 1, 1), 0);
  EXPECT_EQ(m.DLL_TotalDays(2000, 1, 1), 730119);
  EXPECT_EQ(m.DLL_TotalDays(2000, 3, 1), 730179);
  EXPECT_EQ(m.DLL_TotalDays(2001, 1, 1) - m.DLL_TotalDays(2000, 12, 1), 31);
  EXPECT_EQ(m.DLL_TotalDays(2000, 3, 1) - m.DLL_TotalDays(2000, 2, 1), 29);
  std::int32_t y = 2000, mo = 1, d = 1;
  EXPECT_EQ(m.DLL_TimeWeekDay(y, mo, d), 6);
  y = 3;
  mo = 5;
  d = 9;
  EXPECT_EQ(m.DLL_TimeWeekDay(y, mo, d), 5);  // 2003-05-09 was a Friday
  EXPECT_EQ(y, 2003);
  y = 99;
  m.DLL_TimeWeekDay(y, mo, d);
  EXPECT_EQ(y, 1999);
}

TEST(Clock, DateAndTimeTexts) {
  std::string yyyy, mm, dd, hh, mi, ss;
  const std::time_t before = std::time(nullptr);
  m.DLL_Date(yyyy, mm, dd);
  m.DLL_Time(hh, mi, ss);
  std::tm local{};
  ::localtime_r(&before, &local);
  EXPECT_EQ(yyyy, std::to_string(local.tm_year + 1900));
  EXPECT_EQ(mm.size(), 2u);
  EXPECT_EQ(dd.size(), 2u);
  EXPECT_EQ(hh.size(), 2u);
  EXPECT_EQ(std::stoi(mm), local.tm_mon + 1);
  EXPECT_EQ(ss.size(), 2u);
  EXPECT_TRUE(m.DLL_Wait(0));
}

}  // namespace
}  // namespace quillmere
