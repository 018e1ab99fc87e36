#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>

#include "support/MediaFiles.h"
#include "support/TempTree.h"
#include "times/MediaDates.h"

namespace quillmere {
namespace {

using test::TempTree;
using namespace test::media;

class MediaDates : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "Asia/Tokyo", 1);
    ::tzset();
  }
  TempTree tree;

  times::ShootingDate fromFile(const std::string& name, const std::string& bytes) {
    tree.write(name, bytes);
    times::ShootingDate d;
    EXPECT_TRUE(times::findMediaShootingDate(tree.path(name), d).ok());
    return d;
  }
};

void expectDate(const times::ShootingDate& d, int y, int mo, int day, int h, int mi, int s) {
  ASSERT_TRUE(d.found);
  EXPECT_EQ(d.year, y);
  EXPECT_EQ(d.month, mo);
  EXPECT_EQ(d.day, day);
  EXPECT_EQ(d.hour, h);
  EXPECT_EQ(d.minute, mi);
  EXPECT_EQ(d.second, s);
}

TEST_F(MediaDates, MoviesGiveTheirCreationTimeInLocalTime) {
  // 01:02:03 UTC is 10:02:03 in Tokyo.
  expectDate(fromFile("clip.mp4", mp4(kUnix + k1904)), 2024, 3, 5, 10, 2, 3);
  expectDate(fromFile("clip.mov", mov(kUnix + k1904)), 2024, 3, 5, 10, 2, 3);
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  expectDate(fromFile("utc.mov", mov(kUnix + k1904)), 2024, 3, 5, 1, 2, 3);
  // An unset clock (0) and a time before 1970 are no date.
  EXPECT_FALSE(fromFile("zero.mp4", mp4(0)).found);
  EXPECT_FALSE(fromFile("old.mp4", mp4(1000)).found);
}

TEST_F(MediaDates, HeicGivesItsExifDateAsWritten) {
  expectDate(fromFile("a.heic", heic("2023:11:30 23:59:58")), 2023, 11, 30, 23, 59, 58);
  expectDate(fromFile("b.heic", heic("2022:01:02 03:04:05", 0)), 2022, 1, 2, 3, 4, 5);
  expectDate(fromFile("c.heic", heic("2021:06:07 08:09:10", 2)), 2021, 6, 7, 8, 9, 10);
  EXPECT_FALSE(fromFile("d.heic", heic("not a date at all!!")).found);
}

TEST_F(MediaDates, OtherFilesHaveNoDateAndMissingFilesAnError) {
  EXPECT_FALSE(fromFile("a.jpg", std::string("\xff\xd8\xff\xe1") + "2020:01:01 00:00:00").found);
  EXPECT_FALSE(fromFile("empty.mp4", "").found);
  times::ShootingDate d;
  EXPECT_FALSE(times::findMediaShootingDate(tree.path("none.mp4"), d).ok());
  EXPECT_FALSE(d.found);
}

TEST_F(MediaDates, DamagedFilesGiveNoDateAndNeverReadOutOfBounds) {
  // Boxes whose sizes point past the end, a truncated header, a 64-bit size of 2^64-1.
  EXPECT_FALSE(times::mediaShootingDateOf(mp4(kUnix + k1904).substr(0, 60)).found);
  EXPECT_FALSE(times::mediaShootingDateOf(be(1, 4) + "moov" + be(~0ULL, 8)).found);
  EXPECT_FALSE(times::mediaShootingDateOf(be(7, 4) + "ftyp").found);
  std::mt19937 random(20240305);
  const std::string seeds[] = {mp4(kUnix + k1904), mov(kUnix + k1904), heic("2023:11:30 23:59:58"),
                               heic("2023:11:30 23:59:58", 2)};
  for (const std::string& seed : seeds) {
    for (int round = 0; round < 3000; ++round) {
      std::string bytes = seed;
      const int changes = 1 + static_cast<int>(random() % 8);
      for (int c = 0; c < changes; ++c) {
        const std::size_t at = random() % bytes.size();
        bytes[at] = static_cast<char>(random() % 4 == 0 ? 0xff : random() & 0xff);
      }
      if (random() % 5 == 0) bytes.resize(random() % bytes.size());
      const times::ShootingDate d = times::mediaShootingDateOf(bytes);
      if (d.found) {
        EXPECT_GE(d.month, 0);
        EXPECT_LE(d.month, 19);
      }
    }
  }
}

}  // namespace
}  // namespace quillmere
