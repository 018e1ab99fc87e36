// The card-import options of the rename run: dates of videos and HEIC pictures, skipping
// pictures already imported, and related files that take their picture's name.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "RenameFixture.h"
#include "support/MediaFiles.h"

namespace quillmere::rename::test {
namespace {

using Names = std::vector<std::string>;
namespace media = quillmere::test::media;

// Sets TZ for one test and puts the old value back.
class ZoneForTest {
 public:
  explicit ZoneForTest(const char* zone) {
    if (const char* old = std::getenv("TZ")) m_old = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ZoneForTest() {
    if (m_old)
      ::setenv("TZ", m_old->c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }

 private:
  std::optional<std::string> m_old;
};

using ImportOptions = RenameFixture;

TEST_F(ImportOptions, VideosAndHeicAreNamedByTheirShootingTimeOnlyWithTheOption) {
  const ZoneForTest zone("Asia/Tokyo");
  options(Mode::Stay);
  // 2024-03-05 01:02:03 UTC is 10:02:03 in Tokyo; the MOV is an hour later.
  tree.write("in/CLIP0001.MP4", media::mp4(media::kUnix + media::k1904));
  tree.write("in/CLIP0002.MOV", media::mov(media::kUnix + 3600 + media::k1904));
  tree.write("in/IMG_0003.HEIC", media::heic("2023:11:30 23:59:58"));
  tree.write("in/NOTE.TXT", "no date here");
  tree.write("in/EMPTY.MP4", media::mp4(0));

  EXPECT_TRUE(rename().problems.empty());
  const Names untouched{"CLIP0001.MP4", "CLIP0002.MOV", "EMPTY.MP4", "NOTE.TXT"};
  for (const std::string& name : untouched) EXPECT_TRUE(tree.exists("in/" + name)) << name;

  settings.setCheck("ReName-MediaDate", true);
  EXPECT_TRUE(rename().problems.empty());
  EXPECT_EQ(namesIn("in"), (Names{"20231130_235958.HEIC", "20240305_100203.MP4",
                                  "20240305_110203.MOV", "EMPTY.MP4", "NOTE.TXT"}));
  EXPECT_EQ(tree.read("in/20240305_100203.MP4"), media::mp4(media::kUnix + media::k1904));
}

TEST_F(ImportOptions, ASecondImportOfTheSameCardSkipsEveryPictureAndTakesAChangedOne) {
  options(Mode::Copy);
  const std::string a = picture("2003:04:05 06:07:08", "first");
  const std::string b = picture("2003:04:05 06:07:09", "second");
  tree.write("in/DCIM/DSC0001.JPG", a);
  tree.write("in/DCIM/DSC0002.JPG", b);
  settings.setCheck("ReName-SkipImported", true);

  const RunReport first = rename();
  EXPECT_EQ(first.handled, 2);
  EXPECT_TRUE(first.skipped.empty());
  const auto imported = contents("out");
  ASSERT_EQ(imported.size(), 2u);

  const RunReport second = rename();
  EXPECT_EQ(second.handled, 0);
  EXPECT_TRUE(second.problems.empty());
  ASSERT_EQ(second.skipped.size(), 2u);
  EXPECT_EQ(second.skipped[0].path, in("DCIM/DSC0001.JPG"));
  EXPECT_EQ(second.skipped[0].importedAs, out("DCIM/20030405_060708.JPG"));
  EXPECT_EQ(contents("out"), imported);

  // One byte changed, the size kept: a new picture, imported with a clash letter.
  std::string changed = b;
  changed[changed.size() - 2] = 'X';
  tree.write("in/DCIM/DSC0002.JPG", changed);
  const RunReport third = rename();
  EXPECT_EQ(third.handled, 1);
  EXPECT_EQ(third.skipped.size(), 1u);
  EXPECT_EQ(tree.read("out/DCIM/20030405_060709a.JPG"), changed);
  EXPECT_EQ(contents("out").size(), 3u);

  // Move mode leaves a picture already imported on the card.
  settings.chooseMode(Mode::Move);
  const RunReport moved = rename();
  EXPECT_EQ(moved.handled, 0);
  EXPECT_EQ(moved.skipped.size(), 2u);
  EXPECT_EQ(tree.read("in/DCIM/DSC0001.JPG"), a);
  EXPECT_EQ(contents("out").size(), 3u);
}

TEST_F(ImportOptions, WithoutTheSkipOptionARerunMakesLetteredCopies) {
  options(Mode::Copy);
  tree.write("in/DSC0001.JPG", picture("2003:04:05 06:07:08", "first"));
  rename();
  const RunReport again = rename();
  EXPECT_EQ(again.handled, 1);
  EXPECT_TRUE(again.skipped.empty());
  EXPECT_EQ(namesIn("out"), (Names{"20030405_060708.JPG", "20030405_060708a.JPG"}));
}

}  // namespace
}  // namespace quillmere::rename::test
