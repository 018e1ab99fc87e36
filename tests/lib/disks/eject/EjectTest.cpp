#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "core/Main.h"
#include "support/DriveTable.h"
#include "support/TempTree.h"

extern char** environ;

namespace quillmere {
namespace {

using test::TempTree;

std::string readAll(const std::string& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A private bus standing in for the system bus, with a mocked udisks2 on it. Started once for
// the program; the test aborts unless the bus is the one it started.
class FakeUdisks : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (::access("/usr/bin/dbus-daemon", X_OK) != 0) return;
    FILE* out = ::popen(
        "/usr/bin/dbus-daemon --session --fork --print-address=1 --print-pid=1 "
        "--nosyslog",
        "r");
    if (out == nullptr) return;
    char line[512] = {};
    if (std::fgets(line, sizeof line, out) != nullptr) s_address = line;
    if (std::fgets(line, sizeof line, out) != nullptr) s_busPid = std::atoi(line);
    ::pclose(out);
    while (!s_address.empty() && s_address.back() == '\n') s_address.pop_back();
    if (s_address.empty() || s_busPid <= 0) return;
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", s_address.c_str(), 1);
  }
  static void TearDownTestSuite() {
    if (s_busPid > 0) ::kill(s_busPid, SIGTERM);
  }

  void SetUp() override {
    if (s_busPid <= 0) GTEST_SKIP() << "no dbus-daemon to make a private bus";
    const char* system = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    ASSERT_TRUE(system != nullptr && s_address == system) << "refusing to use a foreign bus";
    tree.mkdir("card");
    drives.set({{'D', tree.path("card"), 2, "EOS_DIGITAL"}});
  }
  void TearDown() override {
    if (m_mockPid > 0) {
      ::kill(m_mockPid, SIGTERM);
      ::waitpid(m_mockPid, nullptr, 0);
    }
  }

  // Starts the mock; false when python3-dbusmock is missing.
  bool startMock(bool ejectable) {
    if (::access("/usr/bin/python3", X_OK) != 0) return false;
    const std::string params = "{\"mount\": \"" + tree.path("card") + "\", \"record\": \"" +
                               tree.path("calls.txt") +
                               "\", \"ejectable\": " + (ejectable ? "true" : "false") + "}";
    const std::string tmpl = std::string(QUILLMERE_TEST_DATA_DIR) + "/udisks2_template.py";
    std::vector<std::string> args = {
        "/usr/bin/python3", "-m", "dbusmock", "--system", "-t", tmpl, "-p", params};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    ::posix_spawn_file_actions_init(&quiet);
    ::posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    const int spawned = ::posix_spawn(&m_mockPid, argv[0], &quiet, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) return false;
    QDBusConnection bus = QDBusConnection::systemBus();
    for (int i = 0; i < 200; ++i) {
      if (bus.isConnected() &&
          bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.UDisks2")))
        return true;
      int status = 0;
      if (::waitpid(m_mockPid, &status, WNOHANG) == m_mockPid) {
        m_mockPid = -1;
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  TempTree tree;
  test::DriveTable drives;
  pid_t m_mockPid = -1;
  static inline std::string s_address;
  static inline pid_t s_busPid = -1;
};

TEST_F(FakeUdisks, UnmountsEveryPartitionOfTheCardThenEjectsIt) {
  if (!startMock(true)) GTEST_SKIP() << "python3-dbusmock is not available";
  dll().DLL_Eject("D:\\DCIM");
  const std::string calls = readAll(tree.path("calls.txt"));
  EXPECT_EQ(calls, "Unmount sdb1\nUnmount sdb2\nEject Card\n");
}

TEST_F(FakeUdisks, PowersOffADeviceThatCannotEject) {
  if (!startMock(false)) GTEST_SKIP() << "python3-dbusmock is not available";
  dll().DLL_Eject("d");
  EXPECT_EQ(readAll(tree.path("calls.txt")), "Unmount sdb1\nUnmount sdb2\nPowerOff Card\n");
  // The system disk is never touched, whatever the drive table says.
  dll().DLL_Eject("C:\\");
  EXPECT_EQ(readAll(tree.path("calls.txt")), "Unmount sdb1\nUnmount sdb2\nPowerOff Card\n");
}

}  // namespace
}  // namespace quillmere
