#include <gtest/gtest.h>

#include <cerrno>
#include <random>
#include <string>
#include <tuple>

#include "support/TempTree.h"
#include "times/ShootingDate.h"

namespace quillmere {
namespace {

// The search as written down: read line by line (CR, LF or CR LF end a line and are dropped),
// join the first maxLines lines, take the last date text not at position 0.
struct Expected {
  bool found = false;
  std::string date;
  std::uint64_t bytes = 0;
};

Expected reference(const std::string& file, std::int64_t maxLines) {
  Expected e;
  std::string joined;
  std::size_t i = 0;
  std::int64_t lines = 0;
  while (i < file.size() && lines < maxLines) {
    std::size_t end = i;
    while (end < file.size() && file[end] != '\r' && file[end] != '\n') ++end;
    joined.append(file, i, end - i);
    if (end == file.size()) {
      i = end;
      break;
    }
    ++lines;
    i = end + 1;
    if (file[end] == '\r' && i < file.size() && file[i] == '\n') ++i;
  }
  e.bytes = i;
  const std::size_t at = times::findLastDate(joined);
  if (at != std::string::npos) {
    e.found = true;
    e.date = joined.substr(at, 19);
  }
  return e;
}

// Random heads dense in line ends, colons and digits, with dates (some broken by line ends)
// placed across vector steps and chunk boundaries: the fast scan must agree with the reference,
// whether the head lies whole in the first read or runs on over several.
TEST(ShootingDateScan, AgreesWithTheLineByLineReference) {
  test::TempTree t;
  std::mt19937 random(2026);
  const char alphabet[] = "0123456789::::\r\n\r\n  ab";
  for (int round = 0; round < 300; ++round) {
    // The last rounds take sizes at the edges of the reads (36 KB, then 48 KB each).
    const std::size_t edges[] = {36863, 36864, 36865, 86016, 86017};
    const std::size_t size =
        round >= 295 ? edges[round - 295] : 1 + random() % (round < 200 ? 3000 : 200000);
    std::string file(size, 'x');
    for (char& c : file)
      c = (random() % 4 == 0) ? alphabet[random() % (sizeof alphabet - 1)]
                              : static_cast<char>(random() & 0xFF);
    for (int d = 0; d < 3; ++d) {
      char date[20];
      auto pick = [&](unsigned n) { return static_cast<unsigned>(random() % n); };
      std::snprintf(date, sizeof date, "%04u:%02u:%02u %02u:%02u:%02u", 1990 + pick(40), pick(13),
                    pick(32), pick(24), pick(60), pick(60));
      std::string text(date, 19);
      // A line end in place of the separator: a date as read, not once the lines are joined.
      if (random() % 4 == 0) text[10] = random() % 2 ? '\r' : '\n';
      if (random() % 3 == 0) text.insert(random() % 19, random() % 2 ? "\r\n" : "\n");
      const std::size_t at = random() % size;
      file.replace(at, std::min(text.size(), size - at), text.substr(0, size - at));
    }
    if (round % 50 == 0) file.insert(0, "2001:01:01 01:01:01");  // never at position 0
    const std::string path = t.write("head.bin", file);
    for (std::int64_t maxLines : {1LL, 2LL, 17LL, 255LL, 2047LL, 1000000LL}) {
      const Expected want = reference(file, maxLines);
      times::ShootingDate got;
      ASSERT_TRUE(times::findShootingDate(path, maxLines, 600.0, got).ok());
      ASSERT_EQ(got.found, want.found) << "round " << round << " lines " << maxLines;
      ASSERT_EQ(got.bytesRead, want.bytes) << "round " << round << " lines " << maxLines;
      // The rename's survey (one open, reads bounded by the file's size) finds the same.
      times::PictureFacts facts;
      ASSERT_TRUE(times::surveyPicture(path, maxLines, 600.0, facts).ok());
      ASSERT_EQ(facts.date.found, got.found) << "round " << round << " lines " << maxLines;
      ASSERT_EQ(facts.date.bytesRead, got.bytesRead);
      ASSERT_EQ(std::tie(facts.date.year, facts.date.month, facts.date.day, facts.date.hour,
                         facts.date.minute, facts.date.second),
                std::tie(got.year, got.month, got.day, got.hour, got.minute, got.second));
      if (want.found) {
        ASSERT_EQ(got.year, std::stoi(want.date.substr(0, 4)));
        ASSERT_EQ(got.month, std::stoi(want.date.substr(5, 2)));
        ASSERT_EQ(got.day, std::stoi(want.date.substr(8, 2)));
        ASSERT_EQ(got.hour, std::stoi(want.date.substr(11, 2)));
        ASSERT_EQ(got.minute, std::stoi(want.date.substr(14, 2)));
        ASSERT_EQ(got.second, std::stoi(want.date.substr(17, 2)));
      }
    }
  }
}

// A date split by a line end just before or just after its separator, at every offset around
// the vector steps of the scan: found once the lines are joined.
TEST(ShootingDateScan, FindsADateSplitByALineEndAtEveryOffset) {
  test::TempTree t;
  for (const char* split :
       {"2003:05:09\n 07:03:02", "2003:05:09 \r\n07:03:02", "2003:05:09\r 07:03:02"}) {
    for (std::size_t at = 1; at < 80; ++at) {
      std::string file(at, 'x');
      file += split;
      file += std::string(100, 'y');
      const std::string path = t.write("split.bin", file);
      times::ShootingDate got;
      ASSERT_TRUE(times::findShootingDate(path, 255, 600.0, got).ok());
      ASSERT_TRUE(got.found) << split << " at " << at;
      EXPECT_EQ(got.hour * 10000 + got.minute * 100 + got.second, 70302) << at;
    }
  }
}

// The survey reads the times from the file it opened: the same as readTimes gives for its path;
// a file that cannot be opened fails with the reason.
TEST(ShootingDateScan, SurveyGivesTheFileTimesAndFailsForAMissingFile) {
  test::TempTree t;
  const std::string path = t.write("a.jpg", "x\n2004:05:06 07:08:09\n");
  platform::FileTimes want;
  ASSERT_TRUE(platform::fileops::readTimes(path, want).ok());
  times::PictureFacts facts;
  ASSERT_TRUE(times::surveyPicture(path, 255, 600.0, facts).ok());
  EXPECT_TRUE(facts.date.found);
  EXPECT_EQ(facts.times.lastWrite.tv_sec, want.lastWrite.tv_sec);
  EXPECT_EQ(facts.times.lastWrite.tv_nsec, want.lastWrite.tv_nsec);
  EXPECT_EQ(facts.times.lastAccess.tv_nsec, want.lastAccess.tv_nsec);
  EXPECT_EQ(facts.times.creation.tv_nsec, want.creation.tv_nsec);
  EXPECT_EQ(times::surveyPicture(t.path("gone.jpg"), 255, 600.0, facts).error(), ENOENT);
}

}  // namespace
}  // namespace quillmere
