#include <gtest/gtest.h>

#include <random>
#include <string>

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
// placed across vector steps and chunk boundaries: the fast scan must agree with the reference.
TEST(ShootingDateScan, AgreesWithTheLineByLineReference) {
  test::TempTree t;
  std::mt19937 random(2026);
  const char alphabet[] = "0123456789::::\r\n\r\n  ab";
  for (int round = 0; round < 300; ++round) {
    const std::size_t size = 1 + random() % (round < 200 ? 3000 : 200000);
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

}  // namespace
}  // namespace quillmere
