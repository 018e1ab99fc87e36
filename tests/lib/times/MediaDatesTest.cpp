#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>

#include "support/TempTree.h"
#include "times/MediaDates.h"

namespace quillmere {
namespace {

using test::TempTree;

std::string be(std::uint64_t v, int width) {
  std::string out;
  for (int i = width - 1; i >= 0; --i) out += static_cast<char>((v >> (8 * i)) & 0xff);
  return out;
}

std::string box(const std::string& type, const std::string& body) {
  return be(8 + body.size(), 4) + type + body;
}

// A box with the 64-bit size form (size field 1, then the large size).
std::string largeBox(const std::string& type, const std::string& body) {
  return be(1, 4) + type + be(16 + body.size(), 8) + body;
}

std::string fullBox(const std::string& type, int version, const std::string& body) {
  return box(type, be(version, 1) + be(0, 3) + body);
}

constexpr std::uint64_t k1904 = 2082844800;
// 2024-03-05 01:02:03 UTC.
constexpr std::uint64_t kUnix = 1709600523;

std::string mvhd(int version, std::uint64_t since1904) {
  const int width = version == 1 ? 8 : 4;
  return fullBox("mvhd", version,
                 be(since1904, width) + be(since1904, width) + be(600, 4) + be(0, width) +
                     std::string(80, '\0'));
}

std::string mp4(std::uint64_t since1904) {
  return box("ftyp", "isom" + be(0, 4) + "isommp41") + box("free", "") +
         box("moov", mvhd(0, since1904) + box("trak", std::string(20, 'x'))) +
         box("mdat", std::string(64, 'm'));
}

std::string mov(std::uint64_t since1904) {
  return box("ftyp", "qt  " + be(0, 4) + "qt  ") + box("wide", "") +
         largeBox("mdat", std::string(40, 'm')) +
         largeBox("moov", box("udta", "") + mvhd(1, since1904));
}

// An Exif block: the offset word, "Exif\0\0" and a big-endian TIFF with IFD0 -> Exif IFD ->
// DateTimeOriginal.
std::string exifBlock(const std::string& date) {
  std::string tiff = "MM" + be(42, 2) + be(8, 4);
  // IFD0 at 8: one entry, the Exif IFD pointer to 26.
  tiff += be(1, 2) + be(0x8769, 2) + be(4, 2) + be(1, 4) + be(26, 4) + be(0, 4);
  // Exif IFD at 26: DateTimeOriginal, 20 ASCII bytes at 44.
  tiff += be(1, 2) + be(0x9003, 2) + be(2, 2) + be(20, 4) + be(44, 4) + be(0, 4);
  tiff += date + std::string(1, '\0');
  return be(6, 4) + std::string("Exif\0\0", 6) + tiff;
}

std::string heic(const std::string& date, int ilocVersion = 1) {
  const std::string exif = exifBlock(date);
  const auto build = [&](std::uint64_t exifOffset) {
    const std::string infe1 =
        fullBox("infe", 2, be(1, 2) + be(0, 2) + "hvc1" + std::string(1, '\0'));
    const std::string infe2 =
        fullBox("infe", 2, be(2, 2) + be(0, 2) + "Exif" + std::string(1, '\0'));
    const std::string iinf = fullBox("iinf", 0, be(2, 2) + infe1 + infe2);
    std::string items;
    const auto item = [&](std::uint64_t id, std::uint64_t offset, std::uint64_t length) {
      std::string s = be(id, ilocVersion < 2 ? 2 : 4);
      if (ilocVersion >= 1) s += be(0, 2);
      return s + be(0, 2) + be(0, 4) + be(1, 2) + be(offset, 4) + be(length, 4);
    };
    items = item(1, 0, 0) + item(2, exifOffset, exif.size());
    const std::string iloc = fullBox(
        "iloc", ilocVersion, be(0x44, 1) + be(0x40, 1) + be(2, ilocVersion < 2 ? 2 : 4) + items);
    return box("ftyp", "heic" + be(0, 4) + "mif1heic") +
           fullBox("meta", 0, fullBox("hdlr", 0, std::string(20, '\0')) + iinf + iloc);
  };
  const std::string head = build(0);
  return build(head.size() + 8) + box("mdat", exif);
}

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
