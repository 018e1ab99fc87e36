// The card-import options of the rename run: dates of videos and HEIC pictures, skipping
// pictures already imported, and related files that take their picture's name.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "RenameFixture.h"
#include "platform/FileOps.h"
#include "support/Census.h"
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

// A RAW+JPEG+XMP group: the JPEG holds the date, the RAW another one, the XMP none.
void writeGroup(TempTree& tree, const std::string& stem, const std::string& date) {
  tree.write(stem + ".JPG", picture(date, stem + " jpeg"));
  tree.write(stem + ".NEF", picture("2001:01:01 00:00:00", stem + " raw"));
  tree.write(stem + ".xmp", "<x:xmpmeta>" + stem + "</x:xmpmeta>");
}

// Which original group each file below a folder came from, by its name without extension:
// every new name must hold the three members of one group and nothing else.
std::map<std::string, std::vector<std::string>> groupsByName(const TempTree& tree,
                                                             const std::string& folder) {
  std::map<std::string, std::vector<std::string>> out;
  for (const std::string& f : tree.files()) {
    if (f.rfind(folder + "/", 0) != 0) continue;
    const std::string bytes = tree.read(f);
    const auto dot = f.rfind('.');
    const auto stem = bytes.find("DSC");
    const std::string origin = stem == std::string::npos ? "another" : bytes.substr(stem, 7);
    out[f.substr(0, dot)].push_back(origin + f.substr(dot));
  }
  return out;
}

TEST_F(ImportOptions, RelatedFilesTakeThePicturesNameThroughACopy) {
  options(Mode::Copy);
  writeGroup(tree, "in/DSC0001", "2003:04:05 06:07:08");
  tree.write("in/DSC0002.NEF", picture("2003:04:05 07:00:00", "DSC0002 raw"));
  tree.write("in/DSC0002.THM", picture("2003:04:05 07:00:01", "DSC0002 thumbnail"));
  tree.write("in/DSC0002.WAV", "DSC0002 voice memo");
  tree.write("in/NOTES.TXT", "no picture of this name");

  // Without the option each file is named on its own.
  const RunReport plain = rename();
  EXPECT_EQ(plain.handled, 7);
  EXPECT_EQ(namesIn("out"),
            (Names{"20010101_000000.NEF", "20030405_060708.JPG", "20030405_070000.NEF",
                   "20030405_070001.THM", "DSC0001.xmp", "DSC0002.WAV", "NOTES.TXT"}));

  std::filesystem::remove_all(tree.path("out"));
  tree.mkdir("out");
  settings.setCheck("ReName-Sidecars", true);
  EXPECT_EQ(rename().handled, 7);
  // The JPEG names its group; a RAW names a group without JPEG.
  EXPECT_EQ(namesIn("out"), (Names{"20030405_060708.JPG", "20030405_060708.NEF",
                                   "20030405_060708.xmp", "20030405_070000.NEF",
                                   "20030405_070000.THM", "20030405_070000.WAV", "NOTES.TXT"}));
  EXPECT_EQ(tree.read("out/20030405_060708.xmp"), "<x:xmpmeta>in/DSC0001</x:xmpmeta>");
}

TEST_F(ImportOptions, GroupsShootingInOneSecondShareOneLetterEachThroughAMove) {
  options(Mode::Move);
  settings.setCheck("ReName-Sidecars", true);
  writeGroup(tree, "in/DSC0001", "2003:04:05 06:07:08");
  writeGroup(tree, "in/DSC0002", "2003:04:05 06:07:08");
  // Only the RAW's name is taken: the whole group moves on to the next letter.
  tree.write("out/20030405_060708.NEF", "an older raw");

  const RunReport report = rename();
  EXPECT_EQ(report.handled, 6);
  EXPECT_TRUE(report.problems.empty());
  EXPECT_TRUE(namesIn("in").empty());
  const auto groups = groupsByName(tree, "out");
  ASSERT_EQ(groups.size(), 3u);
  const auto first = groups.at("out/20030405_060708a");
  const auto second = groups.at("out/20030405_060708b");
  ASSERT_EQ(first.size(), 3u);
  ASSERT_EQ(second.size(), 3u);
  EXPECT_EQ(first[0].substr(0, 7), first[1].substr(0, 7));
  EXPECT_EQ(first[0].substr(0, 7), first[2].substr(0, 7));
  EXPECT_EQ(second[0].substr(0, 7), second[1].substr(0, 7));
  EXPECT_NE(first[0].substr(0, 7), second[0].substr(0, 7));
  EXPECT_EQ(tree.read("out/20030405_060708.NEF"), "an older raw");
}

// The preview of a grouped Move writes no group note and names what the run then does.
TEST_F(ImportOptions, APlanOfGroupsTouchesNothingAndListsWhatTheMoveDoes) {
  using quillmere::test::censusOf;
  options(Mode::Move);
  settings.setCheck("ReName-Sidecars", true);
  set("ReName-SubDirDel1", "0");
  writeGroup(tree, "in/DSC0001", "2003:04:05 06:07:08");
  writeGroup(tree, "in/DSC0002", "2003:04:05 06:07:08");
  tree.write("out/20030405_060708.NEF", "an older raw");
  const auto before = censusOf(tree.root());
  RunReport planned;
  const RunPlan plan = RenameEngine::plan(settings, &planned);
  EXPECT_EQ(censusOf(tree.root()), before) << "the plan touched the tree";
  ASSERT_EQ(rename().problems.size(), 0u);
  auto expected = quillmere::test::afterPlan(before, plan, tree.root());
  auto actual = quillmere::test::asExpected(expected, censusOf(tree.root()));
  expected.erase("quillmere.ini");
  actual.erase("quillmere.ini");
  EXPECT_EQ(actual, quillmere::test::withoutTimes(expected));
}

// Kills a Move run of two groups as it renames the first file whose name ends in `ending`,
// then runs Recovery on the whole tree.
class KilledGroups : public RenameFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(KilledGroups, RecoveryLeavesEveryGroupWithOneName) {
  options(Mode::Move);
  settings.setCheck("ReName-Sidecars", true);
  writeGroup(tree, "in/DSC0001", "2003:04:05 06:07:08");
  writeGroup(tree, "in/DSC0002", "2003:04:05 06:07:08");
  const std::string ending = GetParam();

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const platform::fileops::ScopedFault killer(
        [&](platform::fileops::Call call, const std::string& path) {
          const bool renaming = call == platform::fileops::Call::Rename ||
                                call == platform::fileops::Call::RenameNoReplace;
          if (renaming && path.size() > ending.size() &&
              path.compare(path.size() - ending.size(), ending.size(), ending) == 0)
            ::raise(SIGKILL);
          return 0;
        });
    rename();
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the run was not killed";

  const RunReport repaired = RecoveryEngine(tree.pathText(), view).run();
  EXPECT_TRUE(repaired.problems.empty());
  std::map<std::string, std::vector<std::string>> groups = groupsByName(tree, "in");
  for (auto& [name, members] : groupsByName(tree, "out")) groups[name] = members;
  ASSERT_EQ(groups.size(), 2u);
  for (const auto& [name, members] : groups) {
    ASSERT_EQ(members.size(), 3u) << name;
    for (const std::string& m : members) EXPECT_EQ(m.substr(0, 7), members[0].substr(0, 7)) << name;
  }
  for (const std::string& f : tree.files()) {
    EXPECT_EQ(f.find("Temp"), std::string::npos) << f;
    EXPECT_EQ(f.find(kGroupNoteExtension), std::string::npos) << f;
  }
}

// Parking a group's RAW (its JPEG parked, its XMP not), and settling it (its JPEG settled).
INSTANTIATE_TEST_SUITE_P(Points, KilledGroups, ::testing::Values(".NEF", ".NEFTemp"),
                         [](const auto& info) {
                           return std::string(info.index == 0 ? "Park" : "Settle");
                         });

}  // namespace
}  // namespace quillmere::rename::test
