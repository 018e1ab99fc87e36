// The card trigger against a fake disk service (python3-dbusmock) on a private bus that stands
// in for the system bus.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Main.h"
#include "shell/card/CardJob.h"
#include "shell/card/CardWatch.h"
#include "shell/card/UdisksVolumeSource.h"
#include "support/DriveTable.h"
#include "support/RecordingRunView.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

using test::TempTree;

const QString kPython = QStringLiteral("/usr/bin/python3");
const QString kScript = QStringLiteral(QUILLMERE_CARD_MOCK);

bool spinUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

bool control(const QStringList& args, bool quiet = false) {
  QProcess p;
  if (quiet) p.setStandardErrorFile(QProcess::nullDevice());
  p.start(kPython, QStringList{kScript} + args);
  return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

class CardBus : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!QFileInfo(QStringLiteral("/usr/bin/dbus-daemon")).isExecutable() &&
        !QFileInfo(QStringLiteral("/bin/dbus-daemon")).isExecutable()) {
      s_skip = "dbus-daemon is missing: the disk-service tests need a private bus";
      return;
    }
    if (QProcess::execute(kPython, {"-c", "import dbusmock"}) != 0) {
      s_skip = "python3-dbusmock is missing for /usr/bin/python3";
      return;
    }
    s_dir = new QTemporaryDir;
    const QString address = "unix:path=" + s_dir->path() + "/bus";
    s_daemon = new QProcess;
    s_daemon->start(QStringLiteral("dbus-daemon"),
                    {"--session", "--nofork", "--address=" + address});
    if (!spinUntil([] { return QFileInfo::exists(s_dir->path() + "/bus"); }, 10000)) {
      s_error = "dbus-daemon did not start";
      return;
    }
    // Set before anything opens the system bus.
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8().constData(), 1);
    s_mock = new QProcess;
    s_mock->start(kPython, {"-m", "dbusmock", "--system", "-m", "org.freedesktop.UDisks2",
                            "/org/freedesktop/UDisks2", "org.freedesktop.UDisks2.Manager"});
    if (!spinUntil([] { return control({"ping"}, true); }, 15000))
      s_error = "dbusmock did not start";
  }

  static void TearDownTestSuite() {
    for (QProcess* p : {s_mock, s_daemon}) {
      if (p == nullptr) continue;
      p->kill();
      p->waitForFinished(5000);
      delete p;
    }
    delete s_dir;
  }

  void SetUp() override {
    if (!s_skip.empty()) GTEST_SKIP() << s_skip;
    ASSERT_EQ(s_error, "");
    // The card's files, the job (step 1: copy the card's DCIM into the archive) as it was set
    // up for a card on F:, and a drive table that gives the card at tree/card the letter E.
    for (int i = 0; i < kPictures; ++i)
      pictures["p" + std::to_string(100 + i) + ".jpg"] = std::string(2000 + i, 'a' + i % 26);
    for (const auto& [name, bytes] : pictures) tree.write("card/DCIM/" + name, bytes);
    tree.mkdir("archive");
    drives.set({{'C', "/", 3}, {'E', tree.path("card"), 2, "CARD"}});
    put("ReName", "ReName-InDir", "F:\\DCIM");
    put("ReName", "ReName-OutDir", tree.pathText("archive"));
    put("ReName", "ReName-Copy_Mode", "True");
    put("ReName", "ReName-Stay_Mode", "False");
    put("ReName", "ReName-Move_Mode", "False");
    put("ReName", "ReName-FileNameFormat_Date", "False");
    put("ReName", "ReName-FileNameFormat_Not", "True");
    put("ReName", "ReName-LookSubDir", "0");
    put("ReName", "ReName-MakeSubDir", "0");
    put("Job", "Job-Check1", "1");
    for (int k = 1; k <= 10; ++k)
      put("Job", "Job-Option" + std::to_string(k), k == 2 ? "True" : "False");
    put("Card", "Card-Run", "1");
    put("Card", "Card-Filter", "1");
    put("Card", "Card-Drive", "F");
    device = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(control({"add", device, "CARD", "uuid-" + device, "1"}));
    if (device.startsWith("Headless")) return;  // the runner listens instead

    auto source = std::make_unique<card::UdisksVolumeSource>();
    watch = std::make_unique<card::CardWatch>(
        std::move(source),
        card::CardWatch::Hooks{.settings = [this] { return card::readCardSettings(ini()); },
                               .busy = [this] { return otherRunBusy; },
                               .confirm = {},
                               .withdrawn = {},
                               .run =
                                   [this](const card::Volume& volume) {
                                     outcomes.push_back(card::runJobForCard(ini(), volume, view));
                                   },
                               .log = [this](const std::string& line) { log.push_back(line); }});
    ASSERT_EQ(watch->start(), "");
  }

  std::string ini() const { return tree.pathText("quillmere.ini"); }
  void put(const std::string& section, const std::string& key, const std::string& value) {
    dll().DLL_WriteStringINI(ini(), section, key, value);
  }
  bool mount() { return control({"mount", device, tree.path("card").c_str()}); }
  bool unmount() { return control({"unmount", device}); }
  bool logged(const std::string& part) const {
    for (const std::string& line : log)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }
  // The archive's files, each the same bytes as the card's picture of that name.
  std::size_t checkedArchive() const {
    std::size_t count = 0;
    for (const std::string& file : tree.files()) {
      if (file.rfind("archive/", 0) != 0) continue;
      const std::string name = file.substr(8);
      EXPECT_TRUE(pictures.contains(name)) << file;
      if (pictures.contains(name)) {
        EXPECT_EQ(tree.read(file), pictures.at(name)) << file;
      }
      ++count;
    }
    return count;
  }

  static constexpr int kPictures = 40;
  static inline std::string s_skip;   // a tool is missing
  static inline std::string s_error;  // the tools are there but failed
  static inline QTemporaryDir* s_dir = nullptr;
  static inline QProcess* s_daemon = nullptr;
  static inline QProcess* s_mock = nullptr;

  TempTree tree;
  test::DriveTable drives;
  std::map<std::string, std::string> pictures;
  QString device;
  test::RecordingRunView view;
  bool otherRunBusy = false;
  std::unique_ptr<card::CardWatch> watch;
  std::vector<RunOutcome> outcomes;
  std::vector<std::string> log;
};

TEST_F(CardBus, AMountRunsTheJobOnceWithTheCardsLetter) {
  ASSERT_TRUE(mount());
  ASSERT_TRUE(spinUntil([&] { return outcomes.size() == 1; }, 20000))
      << ::testing::PrintToString(log);
  EXPECT_EQ(exitStatusOf(outcomes[0]), 0) << outcomes[0].message;
  EXPECT_EQ(checkedArchive(), pictures.size());
  EXPECT_EQ(dll().DLL_GetStringFromINI(ini(), "ReName", "ReName-InDir", ""), "E:\\DCIM");
  EXPECT_EQ(dll().DLL_GetStringFromINI(ini(), "Card", "Card-Drive", ""), "E");

  // The same mount announced again is the same insertion.
  ASSERT_TRUE(mount());
  spinUntil([] { return false; }, 1500);
  EXPECT_EQ(watch->runsStarted(), 1);

  // Taken out and put in again: a new insertion.
  ASSERT_TRUE(unmount());
  ASSERT_TRUE(spinUntil([&] { return logged("removed"); }, 1500) || true);
  ASSERT_TRUE(mount());
  EXPECT_TRUE(spinUntil([&] { return outcomes.size() == 2; }, 20000));
}

TEST_F(CardBus, NoRunWhileAnotherRunIsUnderWay) {
  otherRunBusy = true;
  ASSERT_TRUE(mount());
  ASSERT_TRUE(spinUntil([&] { return logged("another run"); }, 10000));
  otherRunBusy = false;
  ASSERT_TRUE(mount());
  spinUntil([] { return false; }, 1500);
  EXPECT_EQ(watch->runsStarted(), 0);
  EXPECT_EQ(checkedArchive(), 0u);

  // The run layer's busy state of the job refuses as well.
  view.busy = true;
  const RunOutcome refused = card::runJobForCard(ini(),
                                                 card::Volume{.object = "",
                                                              .uuid = "",
                                                              .label = "",
                                                              .mountPoint = tree.path("card"),
                                                              .removable = true},
                                                 view);
  EXPECT_TRUE(refused.refused);
  EXPECT_EQ(checkedArchive(), 0u);
  // A refused run leaves the job's folders as they were.
  EXPECT_EQ(dll().DLL_GetStringFromINI(ini(), "ReName", "ReName-InDir", ""), "F:\\DCIM");
}

TEST_F(CardBus, ACardRemovedDuringTheRunStopsItCleanly) {
  bool removed = false;
  view.onYield = [&](int) {
    // Taken out as soon as the first copy has begun.
    const auto files = tree.files();
    if (removed || std::none_of(files.begin(), files.end(),
                                [](const std::string& f) { return f.rfind("archive/", 0) == 0; }))
      return;
    removed = true;
    std::filesystem::rename(tree.path("card"), tree.path("gone"));
    EXPECT_TRUE(unmount());
    spinUntil([&] { return logged("removed during the run"); }, 3000);
  };
  ASSERT_TRUE(mount());
  ASSERT_TRUE(spinUntil([&] { return outcomes.size() == 1; }, 30000));
  EXPECT_TRUE(removed);
  EXPECT_TRUE(logged("removed during the run"));
  EXPECT_NE(exitStatusOf(outcomes[0]), 0);
  EXPECT_FALSE(outcomes[0].unhandled.empty());
  const std::size_t copied = checkedArchive();
  EXPECT_GE(copied, 1u);
  EXPECT_LT(copied, pictures.size());
  // Every picture is still on the card that was taken out.
  for (const auto& [name, bytes] : pictures) EXPECT_EQ(tree.read("gone/DCIM/" + name), bytes);
  EXPECT_EQ(watch->runsStarted(), 1);
}

TEST_F(CardBus, HeadlessRunnerRunsTheJobOnceAndEndsOnSigterm) {
  QProcess runner;
  runner.setProcessChannelMode(QProcess::MergedChannels);
  runner.start(QStringLiteral(QUILLMERE_BIN_DIR "/quillmere-run"),
               {"--ini", QString::fromStdString(tree.path("quillmere.ini")), "--on-card-insert"});
  QByteArray output;
  const auto saw = [&](const char* part) {
    return spinUntil(
        [&] {
          output += runner.readAll();
          return output.contains(part);
        },
        20000);
  };
  ASSERT_TRUE(saw("waiting for cards")) << output.constData();
  ASSERT_TRUE(mount());
  ASSERT_TRUE(saw("Job: 40 handled, 0 not handled, status 0")) << output.constData();
  EXPECT_EQ(checkedArchive(), pictures.size());
  ASSERT_TRUE(mount());
  spinUntil([] { return false; }, 1500);
  output += runner.readAll();
  EXPECT_EQ(output.count("Job: "), 1) << output.constData();
  runner.terminate();
  ASSERT_TRUE(runner.waitForFinished(10000));
  EXPECT_EQ(runner.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(runner.exitCode(), 0) << output.constData();
}

}  // namespace
}  // namespace quillmere
