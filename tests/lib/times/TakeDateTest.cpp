#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ExifJpeg.h"
#include "core/Main.h"
#include "support/TempTree.h"
#include "times/ShootingDate.h"

namespace quillmere {
namespace {

using test::JpegLayout;
using test::TempTree;
const Main& m = dll();

std::vector<std::int32_t> row1(const LongArray& t) {
  std::vector<std::int32_t> out;
  for (std::int32_t c = 1; c <= 7; ++c) out.push_back(t(1, c));
  return out;
}

LongArray dateTable() {
  LongArray t;
  t.redim(1, 1, 1, 7);
  return t;
}

// What exiftool reads as DateTimeOriginal, or "" when it is not installed.
std::string exiftoolDate(const std::string& path) {
  if (::access("/usr/bin/exiftool", X_OK) != 0) return "";
  const std::string command = "/usr/bin/exiftool -s3 -DateTimeOriginal '" + path + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return "";
  char buffer[128] = {};
  const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, pipe);
  ::pclose(pipe);
  std::string out(buffer, n);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

TEST(TakeDate, RealExifJpegs) {
  TempTree t;
  for (bool bigEndian : {false, true}) {
    JpegLayout layout;
    layout.dateTime = "2003:05:09 07:03:02";
    layout.bigEndian = bigEndian;
    const auto p = t.write("IMG_0001.JPG", test::makeJpeg(layout));
    const std::string checked = exiftoolDate(p);
    if (!checked.empty()) {
      EXPECT_EQ(checked, "2003:05:09 07:03:02");
    }
    LongArray date = dateTable();
    EXPECT_TRUE(m.DLL_TakeDate(t.pathText("IMG_0001.JPG"), 256, date));
    EXPECT_EQ(row1(date), (std::vector<std::int32_t>{2003, 5, 9, 7, 3, 2, 0}));
  }
}

// Every year a camera can write is found, 2010 and later included.
TEST(TakeDate, PicturesTakenSince2010AreFound) {
  TempTree t;
  for (const char* when : {"2010:01:01 00:00:00", "2026:12:08 23:59:59", "1999:12:31 12:00:00"}) {
    JpegLayout layout;
    layout.dateTime = when;
    t.write("p.jpg", test::makeJpeg(layout));
    LongArray date = dateTable();
    ASSERT_TRUE(m.DLL_TakeDate(t.pathText("p.jpg"), 256, date)) << when;
    EXPECT_EQ(date(1, 1), std::stoi(std::string(when, 4)));
    EXPECT_EQ(date(1, 6), std::stoi(std::string(when + 17, 2)));
  }
}

TEST(TakeDate, TheLastDateInTheHeadWinsEvenInTheLastOfSeveralBlocks) {
  TempTree t;
  JpegLayout layout;
  layout.dateTime = "2004:01:01 01:01:01";
  layout.originalDateTime = "2004:02:02 02:02:02";
  layout.extraBlocksBefore = {std::string(3000, 'a'), "ICC\r\nprofile\n"};
  layout.extraBlocksAfter = {std::string(500, 'b'), "Photoshop 3.0\n2005:03:03 03:03:03\r\n"};
  t.write("p.jpg", test::makeJpeg(layout));
  LongArray date = dateTable();
  ASSERT_TRUE(m.DLL_TakeDate(t.pathText("p.jpg"), 2048, date));
  EXPECT_EQ(row1(date), (std::vector<std::int32_t>{2005, 3, 3, 3, 3, 3, 0}));
}

TEST(TakeDate, NoDateMissingFileAndShortHead) {
  TempTree t;
  JpegLayout layout;  // no dates at all
  t.write("edited.jpg", test::makeJpeg(layout));
  LongArray date = dateTable();
  date(1, 1) = 99;
  EXPECT_FALSE(m.DLL_TakeDate(t.pathText("edited.jpg"), 2048, date));
  EXPECT_EQ(row1(date), std::vector<std::int32_t>(7, 0));

  LongArray untouched = dateTable();
  untouched(1, 1) = 7;
  EXPECT_FALSE(m.DLL_TakeDate(t.pathText("missing.jpg"), 256, untouched));
  EXPECT_EQ(untouched(1, 1), 7);

  // The date lies after the third line: a head of two lines does not reach it.
  t.write("lines.txt", "one\ntwo\r\nthree\rx 2003:05:09 07:03:02\n");
  EXPECT_FALSE(m.DLL_TakeDate(t.pathText("lines.txt"), 3, date));
  EXPECT_TRUE(m.DLL_TakeDate(t.pathText("lines.txt"), 5, date));
  // Line ends inside the date are dropped before the search, so the joined text matches.
  t.write("split.txt", "x2003:05:09 0\r\n7:03:02");
  EXPECT_TRUE(m.DLL_TakeDate(t.pathText("split.txt"), 256, date));
  EXPECT_EQ(date(1, 4), 7);
  // The first position of the head is not examined.
  t.write("first.txt", "2003:05:09 07:03:02");
  EXPECT_FALSE(m.DLL_TakeDate(t.pathText("first.txt"), 256, date));
  t.write("empty.jpg", "");
  EXPECT_FALSE(m.DLL_TakeDate(t.pathText("empty.jpg"), 256, date));
}

TEST(TakeDate, PatternLimits) {
  EXPECT_TRUE(times::isDateText("2003:05:09 07:03:02"));
  EXPECT_TRUE(times::isDateText("1000:19:39?29:59:59"));
  EXPECT_FALSE(times::isDateText("3003:05:09 07:03:02"));
  EXPECT_FALSE(times::isDateText("2003:25:09 07:03:02"));
  EXPECT_FALSE(times::isDateText("2003:05:49 07:03:02"));
  EXPECT_FALSE(times::isDateText("2003:05:09 37:03:02"));
  EXPECT_FALSE(times::isDateText("2003:05:09 07:63:02"));
  EXPECT_FALSE(times::isDateText("2003-05-09 07:03:02"));
  EXPECT_EQ(times::findLastDate("xx2001:01:01 00:00:00yy2002:02:02 00:00:00"), 23u);
}

// A 200 MB picture without a single line break: the search stops once TimeOut has passed, and
// with time enough it reads the one long line to its end.
TEST(TakeDate, HugeFileWithoutLineBreaksStopsAtTimeOut) {
  TempTree t;
  const std::string p = t.path("huge.jpg");
  const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  const off_t size = 200LL * 1000 * 1000;
  ASSERT_EQ(::ftruncate(fd, size), 0);
  const std::string date = " 2008:08:08 08:08:08";
  ASSERT_EQ(::pwrite(fd, date.data(), date.size(), size - 100), static_cast<ssize_t>(date.size()));
  ::close(fd);
  times::ShootingDate quick;
  ASSERT_TRUE(times::findShootingDate(p, 255, 0.0, quick).ok());
  EXPECT_TRUE(quick.timedOut);
  EXPECT_FALSE(quick.found);
  EXPECT_LT(quick.bytesRead, static_cast<std::uint64_t>(size));
  LongArray table = dateTable();
  EXPECT_FALSE(m.DLL_TakeDate(t.pathText("huge.jpg"), 256, table, 0.0f));

  times::ShootingDate patient;
  ASSERT_TRUE(times::findShootingDate(p, 255, 600.0, patient).ok());
  EXPECT_TRUE(patient.found);
  EXPECT_EQ(patient.year, 2008);
  EXPECT_EQ(patient.bytesRead, static_cast<std::uint64_t>(size));
}

TEST(TakeDate, EndlessDeviceStopsAtTimeOut) {
  LongArray table = dateTable();
  EXPECT_FALSE(m.DLL_TakeDate("C:\\dev\\zero", 256, table, 0.2f));
}

}  // namespace
}  // namespace quillmere
