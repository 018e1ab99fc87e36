#include <gtest/gtest.h>

#include <QSettings>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>

#include "core/Main.h"
#include "platform/FileOps.h"
#include "settings/IniStore.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

namespace fileops = platform::fileops;
using test::TempTree;

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override { settings::IniStore::clearCache(); }

  std::string ini() const { return tree.pathText("quillmere.ini"); }
  std::string get(const std::string& section, const std::string& key,
                  const std::string& def = "DEF") const {
    return dll().DLL_GetStringFromINI(ini(), section, key, def);
  }
  void put(const std::string& section, const std::string& key, const std::string& value) const {
    dll().DLL_WriteStringINI(ini(), section, key, value);
  }
  struct stat statOf(const std::string& rel) const {
    struct stat st {};
    ::stat(tree.path(rel).c_str(), &st);
    return st;
  }

  TempTree tree;
};

TEST_F(SettingsFile, AbsentFileSectionOrKeyGivesTheDefaultExactly) {
  const std::string longDefault(1000, 'x');
  EXPECT_EQ(get("Main", "Window-FlagReName", longDefault), longDefault);
  tree.write("quillmere.ini", "[Main]\nWindow-FlagJob=1\n");
  EXPECT_EQ(get("Main", "Window-FlagReName", ""), "");
  EXPECT_EQ(get("ReName", "Window-FlagJob"), "DEF");
  EXPECT_EQ(get("Main", "Window-FlagJob"), "1");
}

TEST_F(SettingsFile, WritingCreatesFileSectionAndKeyAndAppendsInPlace) {
  put("Main", "Window-FlagReName", "3");
  EXPECT_EQ(tree.read("quillmere.ini"), "[Main]\nWindow-FlagReName=3\n");
  put("ReName", "ReName-InDir", "C:\\home\\写真");
  put("Main", "Window-Classic", "True");
  put("Main", "Window-FlagReName", "9");
  EXPECT_EQ(tree.read("quillmere.ini"),
            "[Main]\nWindow-FlagReName=9\nWindow-Classic=True\n\n[ReName]\n"
            "ReName-InDir=C:\\home\\写真\n");
  EXPECT_EQ(get("ReName", "ReName-InDir"), "C:\\home\\写真");
}

TEST_F(SettingsFile, RewriteKeepsCommentsForeignLinesLineEndingsAndOrder) {
  tree.write("quillmere.ini",
             "; my notes\r\n[Main]\r\nWindow-Menu-Width=9525\r\nsome stray line\r\n"
             "Window-Menu-Height = 6575 \r\n\r\n[Job]\r\nJob-Check1=1\r\n");
  put("main", "WINDOW-MENU-HEIGHT", "7000");
  put("Main", "Window-Menu-Left", "10");
  EXPECT_EQ(tree.read("quillmere.ini"),
            "; my notes\r\n[Main]\r\nWindow-Menu-Width=9525\r\nsome stray line\r\n"
            "Window-Menu-Height=7000\r\nWindow-Menu-Left=10\r\n\r\n[Job]\r\nJob-Check1=1\r\n");
}

TEST_F(SettingsFile, ReadingFollowsTheProfileRules) {
  tree.write("quillmere.ini",
             "[Mirrorring]\nMirrorring-Timer =  \"C:\\a b\" \nmirrorring-timer=second\n"
             "Job-Check1=1\nJob-Check10=10\nFormula=a=b=c\nQuoted='x'\nHalf=\"x\n"
             "[Broken\nInBroken=still Mirrorring\n");
  EXPECT_EQ(get("MIRRORRING", "mirrorring-timer"), "C:\\a b");  // first of two equal keys
  EXPECT_EQ(get("Mirrorring", "Job-Check1"), "1");
  EXPECT_EQ(get("Mirrorring", "Job-Check10"), "10");
  EXPECT_EQ(get("Mirrorring", "Formula"), "a=b=c");
  EXPECT_EQ(get("Mirrorring", "Quoted"), "x");
  EXPECT_EQ(get("Mirrorring", "Half"), "\"x");
  // A header without "]" opens no section.
  EXPECT_EQ(get("Broken", "InBroken"), "DEF");
  EXPECT_EQ(get("Mirrorring", "InBroken"), "still Mirrorring");
}

TEST_F(SettingsFile, LongValuesComeBackWhole) {
  std::string longValue;
  for (int i = 0; i < 150; ++i) longValue += "写";  // 300 bytes in CP932
  put("ReName", "ReName-InDir", longValue);
  EXPECT_EQ(get("ReName", "ReName-InDir"), longValue);
  const std::string hugeLine(100 * 1024, 'q');
  put("ReName", "Huge", hugeLine);
  settings::IniStore::clearCache();
  EXPECT_EQ(get("ReName", "Huge"), hugeLine);
}

TEST_F(SettingsFile, Cp932FileIsReadAndWrittenBackAsUtf8) {
  // "[ReName]\nReName-InDir=C:\写真\n" in CP932.
  tree.write("quillmere.ini", "[ReName]\r\nReName-InDir=C:\\\x8e\xca\x90\x5e\r\n");
  EXPECT_EQ(get("ReName", "ReName-InDir"), "C:\\写真");
  put("ReName", "ReName-OutDir", "D:\\");
  EXPECT_EQ(tree.read("quillmere.ini"),
            "[ReName]\r\nReName-InDir=C:\\写真\r\nReName-OutDir=D:\\\r\n");
}

TEST_F(SettingsFile, UnchangedValueLeavesTheFileUntouched) {
  put("Main", "Window-FlagJob", "3");
  const struct stat before = statOf("quillmere.ini");
  put("Main", "Window-FlagJob", "3");
  put("main", "window-flagjob", " 3 ");
  const struct stat after = statOf("quillmere.ini");
  EXPECT_EQ(before.st_ino, after.st_ino);
  EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
  EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
}

TEST_F(SettingsFile, ChangesByAnotherProgramAreSeenOnTheNextRead) {
  put("Main", "Window-FlagJob", "3");
  EXPECT_EQ(get("Main", "Window-FlagJob"), "3");
  tree.write("quillmere.ini", "[Main]\nWindow-FlagJob=6\n");  // same size, rewritten in place
  EXPECT_EQ(get("Main", "Window-FlagJob"), "6");
  std::filesystem::remove(tree.path("quillmere.ini"));
  EXPECT_EQ(get("Main", "Window-FlagJob"), "DEF");
}

TEST_F(SettingsFile, SymbolicLinkIsFollowedAndKept) {
  tree.write("real.ini", "[Main]\nA=1\n");
  std::filesystem::create_symlink(tree.path("real.ini"), tree.path("quillmere.ini"));
  put("Main", "A", "2");
  EXPECT_TRUE(std::filesystem::is_symlink(tree.path("quillmere.ini")));
  EXPECT_EQ(tree.read("real.ini"), "[Main]\nA=2\n");
}

TEST_F(SettingsFile, PermissionsOfTheFileAreKept) {
  tree.write("quillmere.ini", "[Main]\nA=1\n");
  ::chmod(tree.path("quillmere.ini").c_str(), 0640);
  put("Main", "A", "2");
  EXPECT_EQ(statOf("quillmere.ini").st_mode & 0777, 0640u);
}

TEST_F(SettingsFile, NativeAbsolutePathIsAcceptedToo) {
  dll().DLL_WriteStringINI(tree.path("other.ini"), "S", "K", "v");
  EXPECT_EQ(dll().DLL_GetStringFromINI(tree.path("other.ini"), "S", "K", ""), "v");
}

// --- bad input: reads give the default, writes stay silent, nothing is lost ---

TEST_F(SettingsFile, FolderInPlaceOfTheFile) {
  tree.mkdir("quillmere.ini/inner");
  EXPECT_EQ(get("Main", "A"), "DEF");
  put("Main", "A", "1");
  EXPECT_TRUE(std::filesystem::is_directory(tree.path("quillmere.ini/inner")));
  EXPECT_EQ(tree.files().size(), 0u);
}

TEST_F(SettingsFile, RandomBytesAreNeitherReadNorOverwritten) {
  std::mt19937 rng(7);
  std::string junk(10 * 1024 * 1024, '\0');
  for (char& c : junk) c = static_cast<char>(rng());
  tree.write("quillmere.ini", junk);
  EXPECT_EQ(get("Main", "A"), "DEF");
  put("Main", "A", "1");
  EXPECT_EQ(tree.read("quillmere.ini"), junk);
}

TEST_F(SettingsFile, ReadOnlyFileIsLeftAsItIs) {
  tree.write("quillmere.ini", "[Main]\nA=1\n");
  ::chmod(tree.path("quillmere.ini").c_str(), 0444);
  put("Main", "A", "2");
  EXPECT_EQ(tree.read("quillmere.ini"), "[Main]\nA=1\n");
  EXPECT_EQ(get("Main", "A"), "1");
}

TEST_F(SettingsFile, MissingFolderWritesNothing) {
  const std::string path = tree.pathText("no\\such\\folder\\quillmere.ini");
  dll().DLL_WriteStringINI(path, "Main", "A", "1");
  EXPECT_EQ(dll().DLL_GetStringFromINI(path, "Main", "A", "d"), "d");
  EXPECT_FALSE(tree.exists("no"));
}

TEST_F(SettingsFile, UnreadableFileGivesDefaultsAndIsNotReplaced) {
  tree.write("quillmere.ini", "[Main]\nA=1\n");
  ::chmod(tree.root().c_str(), 0777);
  ::chmod(tree.path("quillmere.ini").c_str(), 0200);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    // As an ordinary user, whom the permission bits bind.
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(3);
    settings::IniStore::clearCache();
    const std::string value = dll().DLL_GetStringFromINI(ini(), "Main", "A", "DEF");
    dll().DLL_WriteStringINI(ini(), "Main", "A", "2");
    const ssize_t n = ::write(fds[1], value.data(), value.size());
    _exit(n == static_cast<ssize_t>(value.size()) ? 0 : 4);
  }
  ::close(fds[1]);
  char buf[16] = {};
  const ssize_t n = ::read(fds[0], buf, sizeof buf - 1);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 3) GTEST_SKIP() << "cannot switch user";
  ASSERT_GT(n, 0);
  EXPECT_EQ(std::string(buf), "DEF");
  ::chmod(tree.path("quillmere.ini").c_str(), 0644);
  EXPECT_EQ(tree.read("quillmere.ini"), "[Main]\nA=1\n");
}

TEST_F(SettingsFile, WriterKilledBeforeTheRenameLeavesTheOldFileIntact) {
  const std::string original = "[Main]\nA=1\nB=2\n";
  tree.write("quillmere.ini", original);
  const pid_t child = ::fork();
  if (child == 0) {
    // Killed with the temporary file complete, just before it replaces the settings file.
    const fileops::ScopedFault killed([](fileops::Call call, const std::string&) {
      if (call == fileops::Call::Rename) ::raise(SIGKILL);
      return 0;
    });
    dll().DLL_WriteStringINI(ini(), "Main", "A", "changed");
    _exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(tree.read("quillmere.ini"), original);
  put("Main", "A", "3");  // the next write still works
  EXPECT_EQ(get("Main", "A"), "3");
}

TEST_F(SettingsFile, FullDiskLeavesTheOldFileAndNoTemporaryFile) {
  const std::string original = "[Main]\nA=1\n";
  tree.write("quillmere.ini", original);
  {
    const fileops::ScopedFault full([](fileops::Call call, const std::string&) {
      return call == fileops::Call::Write ? ENOSPC : 0;
    });
    put("Main", "A", "2");
  }
  EXPECT_EQ(tree.read("quillmere.ini"), original);
  EXPECT_EQ(tree.files(), std::vector<std::string>{"quillmere.ini"});
  EXPECT_EQ(get("Main", "A"), "1");
  EXPECT_NE(settings::IniStore::lastWriteError().find(tree.path("quillmere.ini")),
            std::string::npos);
  EXPECT_NE(settings::IniStore::lastWriteError().find(std::strerror(ENOSPC)), std::string::npos);
}

TEST_F(SettingsFile, FailedWriteIsReportedWithTheFileAndTheReason) {
  tree.write("quillmere.ini", "[Main]\nA=1\n");
  ::chmod(tree.path("quillmere.ini").c_str(), 0444);
  EXPECT_FALSE(settings::IniStore::write(tree.path("quillmere.ini"), "Main", "A", "2"));
  EXPECT_EQ(
      settings::IniStore::lastWriteError(),
      "the settings file " + tree.path("quillmere.ini") + " cannot be written: it is read-only");
  EXPECT_TRUE(settings::IniStore::write(tree.path("quillmere.ini"), "Main", "A", "1"));
  EXPECT_EQ(settings::IniStore::lastWriteError(), "");
}

// Sixteen writers, three keys each, all at once: every key must survive.
TEST_F(SettingsFile, ConcurrentWritersKeepEachOthersKeys) {
  put("Main", "Start", "1");
  // Widen the window between reading the file and replacing it.
  const fileops::ScopedFault slow([](fileops::Call call, const std::string&) {
    if (call == fileops::Call::Rename) ::usleep(3000);
    return 0;
  });
  std::vector<pid_t> children;
  for (int w = 0; w < 16; ++w) {
    const pid_t child = ::fork();
    if (child == 0) {
      settings::IniStore::clearCache();
      for (int k = 0; k < 3; ++k)
        dll().DLL_WriteStringINI(ini(), "Keys", "K" + std::to_string(w * 3 + k), "v");
      _exit(0);
    }
    children.push_back(child);
  }
  for (const pid_t c : children) {
    int status = 0;
    ::waitpid(c, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  settings::IniStore::clearCache();
  int present = 0;
  for (int k = 0; k < 48; ++k) present += get("Keys", "K" + std::to_string(k)) == "v" ? 1 : 0;
  EXPECT_EQ(present, 48);
  EXPECT_EQ(get("Main", "Start"), "1");
}

TEST_F(SettingsFile, WriteKeepsOwnerGroupAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can write a file it does not own";
  tree.write("quillmere.ini", "[Main]\nA=1\n");
  ASSERT_EQ(::chown(tree.path("quillmere.ini").c_str(), 65534, 65534), 0);
  ::chmod(tree.path("quillmere.ini").c_str(), 0604);
  put("Main", "A", "2");
  const struct stat st = statOf("quillmere.ini");
  EXPECT_EQ(tree.read("quillmere.ini"), "[Main]\nA=2\n");
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
}

TEST_F(SettingsFile, BatchWritesTheFileOnceAndOnlyWhenSomethingChanged) {
  tree.write("quillmere.ini", "[Main]\nA=1\n");
  int publishes = 0;
  const fileops::ScopedFault counted([&](fileops::Call call, const std::string&) {
    publishes += call == fileops::Call::Rename ? 1 : 0;
    return 0;
  });
  {
    settings::IniBatch batch(tree.path("quillmere.ini"));
    for (int i = 0; i < 20; ++i) put("Main", "K" + std::to_string(i), std::to_string(i));
    put("Main", "A", "2");
    EXPECT_EQ(get("Main", "K7"), "7");  // reads see the collected values
    EXPECT_EQ(tree.read("quillmere.ini"), "[Main]\nA=1\n");
    // Another writer changes the file meanwhile: its key survives the commit.
    tree.write("quillmere.ini", "[Main]\nA=1\nOther=x\n");
    EXPECT_TRUE(batch.commit());
    ASSERT_EQ(batch.replaced().size(), 21u);
    EXPECT_EQ(batch.replaced()[20].key, "A");
    EXPECT_EQ(batch.replaced()[20].value, "1");
    EXPECT_EQ(batch.replaced()[0].value, std::nullopt);
  }
  EXPECT_EQ(publishes, 1);
  EXPECT_EQ(get("Main", "Other"), "x");
  EXPECT_EQ(get("Main", "K19"), "19");
  {
    settings::IniBatch batch(tree.path("quillmere.ini"));
    put("Main", "A", "2");  // as it is: nothing to write
  }
  {
    settings::IniBatch batch(tree.path("quillmere.ini"));
    put("Main", "A", "3");
    batch.discard();
  }
  EXPECT_EQ(publishes, 1);
  EXPECT_EQ(get("Main", "A"), "2");
  // Undoing a commit puts back old values and removes keys that were new.
  EXPECT_TRUE(settings::IniStore::remove(tree.path("quillmere.ini"), "Main", "K0"));
  EXPECT_EQ(get("Main", "K0"), "DEF");
}

TEST_F(SettingsFile, BatchOnAReadOnlyFileFailsAndChangesNothing) {
  tree.write("quillmere.ini", "[Main]\nA=1\n");
  ::chmod(tree.path("quillmere.ini").c_str(), 0444);
  settings::IniBatch batch(tree.path("quillmere.ini"));
  put("Main", "A", "2");
  EXPECT_FALSE(batch.commit());
  EXPECT_NE(settings::IniStore::lastWriteError().find("read-only"), std::string::npos);
  EXPECT_EQ(tree.read("quillmere.ini"), "[Main]\nA=1\n");
  EXPECT_EQ(get("Main", "A"), "1");
}

TEST_F(SettingsFile, GetLongReadsTheLeadingNumber) {
  tree.write("quillmere.ini",
             "[S]\nPlain=42\nTail=12abc\nWord=abc\nNeg=-5\nHex=0x1F\nBlank= 7\nEmpty=\n");
  const auto n = [&](const char* key) { return dll().DLL_GetLongFromINI(ini(), "S", key, 99); };
  EXPECT_EQ(n("Plain"), 42);
  EXPECT_EQ(n("Tail"), 12);
  EXPECT_EQ(n("Word"), 99);
  EXPECT_EQ(n("Neg"), -5);
  EXPECT_EQ(n("Hex"), 31);
  EXPECT_EQ(n("Blank"), 7);
  EXPECT_EQ(n("Empty"), 99);
  EXPECT_EQ(n("Missing"), 99);
}

// --- the per-user registry store ---

constexpr std::int32_t kCurrentUser = static_cast<std::int32_t>(0x80000001u);

TEST(RegistryStore, ReadsNumbersAndNumericTextAndRejectsOtherValues) {
  {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Q_Works", "registry");
    store.setValue("HKEY_CURRENT_USER/Software/Test/Count", 17);
    store.setValue("HKEY_CURRENT_USER/Software/Test/Text", QString("2.5"));
    store.setValue("HKEY_CURRENT_USER/Software/Test/Word", QString("abc"));
    store.setValue("HKEY_CURRENT_USER/Software/Test/Bin", QByteArray("\x01\x02", 2));
  }
  const Main& m = dll();
  EXPECT_EQ(m.DLL_RegRead(kCurrentUser, "Software\\Test", "Count"), 17);
  EXPECT_EQ(m.DLL_RegRead(kCurrentUser, "Software\\Test", "Text"), 2.5);
  EXPECT_EQ(m.DLL_RegRead(kCurrentUser, "Software\\Test", "Missing"), 0);
  EXPECT_EQ(m.DLL_RegRead(kCurrentUser, "Software\\Nowhere", "Count"), 0);
  EXPECT_EQ(m.DLL_RegRead(12345, "Software\\Test", "Count"), 0);
  EXPECT_THROW(m.DLL_RegRead(kCurrentUser, "Software\\Test", "Word"), DllError);
  EXPECT_THROW(m.DLL_RegRead(kCurrentUser, "Software\\Test", "Bin"), DllError);

  m.DLL_RegWriteLong(kCurrentUser, "Software\\Test", "Count", -3);
  m.DLL_RegWriteString(kCurrentUser, "Software\\Test", "Text", "8");
  EXPECT_EQ(m.DLL_RegRead(kCurrentUser, "Software\\Test", "Count"), -3);
  EXPECT_EQ(m.DLL_RegRead(kCurrentUser, "Software\\Test", "Text"), 8);
  // Writing creates no key path.
  m.DLL_RegWriteLong(kCurrentUser, "Software\\New", "Count", 5);
  EXPECT_EQ(m.DLL_RegRead(kCurrentUser, "Software\\New", "Count"), 0);
}

}  // namespace
}  // namespace quillmere
