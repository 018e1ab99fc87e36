#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/stat.h>

#include <cstdlib>

#include "VersionCheck.h"
#include "core/Main.h"
#include "frmMain.h"
#include "frmVersion.h"
#include "platform/DriveMap.h"
#include "shell/core/ShellState.h"
#include "support/Fakes.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

// An HTTP server on 127.0.0.1 inside the test: each path answers with a body, an announced
// length (the body's own unless told) and whether to send it all, close early or stall.
class LoopbackServer {
 public:
  enum class Ending { Whole, CloseEarly, Stall };
  struct Reply {
    QByteArray body;
    qint64 announced = -1;
    Ending ending = Ending::Whole;
  };

  LoopbackServer() {
    m_server.listen(QHostAddress::LocalHost);
    QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::readyRead, socket,
                         [this, socket] { answer(socket); });
      }
    });
  }
  QString url(const QString& path) const {
    return QString("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
  }
  void route(const QString& path, Reply reply) { m_routes[path] = std::move(reply); }

 private:
  void answer(QTcpSocket* socket) {
    m_request[socket] += socket->readAll();
    if (!m_request[socket].contains("\r\n\r\n")) return;
    const QString path = QString::fromLatin1(m_request[socket].split(' ').value(1));
    if (!m_routes.contains(path)) {
      socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
      socket->disconnectFromHost();
      return;
    }
    const Reply& r = m_routes[path];
    const qint64 announced = r.announced >= 0 ? r.announced : r.body.size();
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                  QByteArray::number(announced) + "\r\nConnection: close\r\n\r\n");
    socket->write(r.body);
    socket->flush();
    if (r.ending != Ending::Stall) socket->disconnectFromHost();
  }

  QTcpServer m_server;
  QMap<QString, Reply> m_routes;
  QMap<QTcpSocket*, QByteArray> m_request;
};

template <typename T>
T* control(QWidget& panel, const QString& name) {
  T* found = panel.findChild<T*>(name);
  EXPECT_NE(found, nullptr) << name.toStdString();
  return found;
}

QString text(QWidget& panel, const char* name) {
  return control<QLabel>(panel, name)->text();
}

const char* const kLatest = "これが最新版です。";
const char* const kNewer = "新しいバージョンがリリースされています。";
const char* const kUnreachable =
    "Internetに接続できなかった為、バージョンチェックが出来ませんでした。";

class VersionPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    shell() = ShellState{};
    shell().iniPath = tree.pathText("quillmere.ini");
    shell().state(Panel::Version) = kPanelOpen;
    tree.mkdir("Downloads");
    useEndpoint(server.url("/v/"));
  }
  void useEndpoint(const QString& folder) {
    dll().DLL_WriteStringINI(shell().iniPath, "Main", "Version-URL", folder.toStdString());
  }
  // A panel that compares with 1.20 and downloads into the tree, shown and loaded.
  std::unique_ptr<frmVersion> panel() {
    auto p = std::make_unique<frmVersion>(frmVersion::Hooks{
        .requestUpdate = [this](const std::string& path) { requested.push_back(path); },
        .openAddress = {}});
    p->setInstalledVersion("1.20");
    p->setDownloadFolder(QString::fromStdString(tree.path("Downloads")));
    p->show();
    p->load();
    return p;
  }
  void publish(const QByteArray& versionFile) { server.route("/v/quillmere.ini", {versionFile}); }
  bool visible(QWidget& p, const char* name) { return control<QPushButton>(p, name)->isVisible(); }
  bool enabled(QWidget& p, const char* name) { return control<QPushButton>(p, name)->isEnabled(); }

  test::TempTree tree;
  test::ScriptedUiHook hook;
  LoopbackServer server;
  std::vector<std::string> requested;
};

TEST_F(VersionPanel, ShowsOurVersionAndItsControls) {
  frmVersion p;
  p.show();
  p.load();
  EXPECT_EQ(p.windowTitle(), "[Version]");
  EXPECT_EQ(control<QLineEdit>(p, "Ver1")->text(),
            version::versionBoxText(version::installedVersion()));
  EXPECT_EQ(version::versionBoxText("1.2.0.7"), "Ver 1.20");
  EXPECT_EQ(version::versionBoxText("1.20"), "Ver 1.20");
  EXPECT_EQ(control<QPushButton>(p, "HP")->text(), "Support Home Page");
  EXPECT_EQ(control<QPushButton>(p, "VerUP")->toolTip(),
            QString::fromUtf8("バージョンアップされているかどうかチェックします"));
  EXPECT_EQ(control<QPushButton>(p, "Cancel")->toolTip(), QString::fromUtf8("中止します。"));
  EXPECT_FALSE(visible(p, "Down_Load"));
  EXPECT_FALSE(visible(p, "Cancel"));
}

TEST_F(VersionPanel, PublishedValuesAndTheTextComparison) {
  EXPECT_EQ(version::publishedValues("\"1.21\",\"https://h/q.tar.gz\",\"x\"\r\n"),
            (std::array<std::string, 3>{"1.21", "https://h/q.tar.gz", "x"}));
  EXPECT_EQ(version::publishedValues("1.21\nhttps://h/q.tar.gz\n"),
            (std::array<std::string, 3>{"1.21", "https://h/q.tar.gz", ""}));
  EXPECT_EQ(version::compareVersions("1.9", "1.10"), version::Answer::Newer);
  EXPECT_EQ(version::compareVersions("1.20", "1.20"), version::Answer::Latest);
  EXPECT_EQ(version::compareVersions("1.19", "1.20"), version::Answer::Latest);
  EXPECT_EQ(version::compareVersions("", "1.20"), version::Answer::Unreachable);
  EXPECT_EQ(version::percentText(45.5f), "45.5");
  EXPECT_EQ(version::percentText(100.0f), "100");
}

TEST_F(VersionPanel, EachPublishedVersionGetsItsAnswer) {
  struct Case {
    const char* published;
    const char* message;
    bool downloadOffered;
  };
  for (const Case& c :
       {Case{"1.21", kNewer, true}, Case{"1.20", kLatest, false}, Case{"1.19", kLatest, false}}) {
    publish(QByteArray("\"") + c.published + "\",\"" + server.url("/q.tar.gz").toUtf8() +
            "\",\"\"");
    auto p = panel();
    control<QPushButton>(*p, "VerUP")->click();
    EXPECT_EQ(text(*p, "Label1"), QString::fromUtf8(c.message)) << c.published;
    EXPECT_EQ(visible(*p, "Down_Load"), c.downloadOffered) << c.published;
    EXPECT_EQ(visible(*p, "Cancel"), c.downloadOffered) << c.published;
    EXPECT_EQ(enabled(*p, "VerUP"), !c.downloadOffered) << c.published;
    EXPECT_EQ(enabled(*p, "HP"), !c.downloadOffered) << c.published;
  }
  EXPECT_TRUE(hook.shown.empty());
}

TEST_F(VersionPanel, AnUnreachableOrRefusedEndpointWarnsAndSaysSo) {
  quint16 closedPort;
  {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    closedPort = probe.serverPort();
  }
  for (const QString& endpoint :
       {QString("http://127.0.0.1:%1/v/").arg(closedPort), QString("http://example.org/v/")}) {
    hook.shown.clear();
    useEndpoint(endpoint);
    auto p = panel();
    control<QPushButton>(*p, "VerUP")->click();
    ASSERT_EQ(hook.shown.size(), 1u) << endpoint.toStdString();
    EXPECT_EQ(hook.shown[0].style & msgbox::kExclamation, msgbox::kExclamation);
    EXPECT_EQ(text(*p, "Label1"), QString::fromUtf8(kUnreachable));
    EXPECT_TRUE(enabled(*p, "VerUP"));
    EXPECT_TRUE(enabled(*p, "HP"));
    if (endpoint.contains("example.org")) {
      EXPECT_NE(hook.shown[0].text.find("https"), std::string::npos) << hook.shown[0].text;
    }
  }
}

// Offers a newer version whose download is the route given.
void offerDownload(LoopbackServer& server, LoopbackServer::Reply download) {
  server.route("/v/quillmere.ini",
               {"\"1.21\",\"" + server.url("/dl/quillmere-1.21.tar.gz").toUtf8() + "\",\"\""});
  server.route("/dl/quillmere-1.21.tar.gz", std::move(download));
}

TEST_F(VersionPanel, DownLoadFetchesTheWholeFileAndRequestsTheHandOver) {
  const QByteArray archive(200000, 'z');
  offerDownload(server, {archive});
  tree.write("Downloads/quillmere-1.21.tar.gz", "an older download of the user");
  auto p = panel();
  control<QPushButton>(*p, "VerUP")->click();
  QStringList progress;
  QObject::connect(&p->connection(), &Connection::progress,
                   [&](float) { progress << text(*p, "Label3"); });
  control<QPushButton>(*p, "Down_Load")->click();
  EXPECT_TRUE(hook.shown.empty());
  EXPECT_TRUE(text(*p, "Label1").startsWith(QString::fromUtf8("最新版をダウンロード中です。\n")));
  EXPECT_FALSE(progress.isEmpty());
  EXPECT_EQ(tree.read("Downloads/quillmere-1.21.tar.gz"), "an older download of the user");
  const std::string fetched = tree.path("Downloads/quillmere-1.21 (1).tar.gz");
  ASSERT_TRUE(tree.exists("Downloads/quillmere-1.21 (1).tar.gz"));
  EXPECT_EQ(tree.read("Downloads/quillmere-1.21 (1).tar.gz"), archive.toStdString());
  struct stat st {};
  ASSERT_EQ(::stat(fetched.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0111, 0u) << "a download is never made executable";
  EXPECT_EQ(requested, std::vector<std::string>{test::toPathText(fetched)});
}

TEST_F(VersionPanel, ATruncatedOrCancelledDownloadLeavesNothingAndNoHandOver) {
  // The server announces twice what it sends, then closes.
  offerDownload(server, {QByteArray(50000, 'a'), 100000, LoopbackServer::Ending::CloseEarly});
  auto p = panel();
  control<QPushButton>(*p, "VerUP")->click();
  control<QPushButton>(*p, "Down_Load")->click();
  ASSERT_EQ(hook.shown.size(), 1u);
  EXPECT_EQ(hook.shown[0].style & msgbox::kExclamation, msgbox::kExclamation);
  EXPECT_TRUE(QDir(QString::fromStdString(tree.path("Downloads"))).isEmpty());
  EXPECT_TRUE(requested.empty());
  EXPECT_TRUE(enabled(*p, "VerUP"));

  // Half sent, then the server waits: Cancel stops the transfer.
  hook.shown.clear();
  offerDownload(server, {QByteArray(50000, 'a'), 100000, LoopbackServer::Ending::Stall});
  p = panel();
  control<QPushButton>(*p, "VerUP")->click();
  // Cancel once the server has sent its half and waits for nothing.
  QTimer::singleShot(500, [&] { control<QPushButton>(*p, "Cancel")->click(); });
  QElapsedTimer clock;
  clock.start();
  control<QPushButton>(*p, "Down_Load")->click();
  EXPECT_LT(clock.elapsed(), 20000);
  EXPECT_EQ(p->connection().ErrStatus().number, QNetworkReply::OperationCanceledError);
  EXPECT_TRUE(hook.shown.empty()) << "a cancel needs no warning";
  EXPECT_TRUE(QDir(QString::fromStdString(tree.path("Downloads"))).isEmpty());
  EXPECT_TRUE(requested.empty());
  EXPECT_TRUE(text(*p, "Label1").isEmpty());
  EXPECT_TRUE(enabled(*p, "VerUP"));
  EXPECT_FALSE(visible(*p, "Cancel"));
}

TEST_F(VersionPanel, TheHandOverOpensTheDownloadWithTheDesktopsOpenerAndEnds) {
  // A fake opener first on PATH records what it was given; the record appears whole (written
  // beside, then renamed), so the wait below never reads it half written.
  const std::string record = tree.path("opened.txt");
  tree.write("bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record + ".part' && mv '" +
                                 record + ".part' '" + record + "'\n");
  ::chmod(tree.path("bin/xdg-open").c_str(), 0755);
  const std::string oldPath = std::getenv("PATH");
  ::setenv("PATH", (tree.path("bin") + ":" + oldPath).c_str(), 1);
  // Even a download that somebody made executable is only handed to the opener.
  const std::string download = tree.write("Downloads/quillmere-1.21.run", "#!/bin/sh\ntouch ran\n");
  ::chmod(download.c_str(), 0755);
  {
    frmMain window;
    handOverUpdate(window, test::toPathText(download));
    EXPECT_TRUE(window.ending());
  }
  QElapsedTimer clock;
  clock.start();
  while (!tree.exists("opened.txt") && clock.elapsed() < 10000) QCoreApplication::processEvents();
  ::setenv("PATH", oldPath.c_str(), 1);
  EXPECT_EQ(tree.read("opened.txt"), download + "\n");
  EXPECT_TRUE(tree.exists("Downloads/quillmere-1.21.run")) << "the opener reads it after we end";
  EXPECT_FALSE(QFile::exists("ran"));
}

TEST_F(VersionPanel, ATransferCutShortByTheProgramsEndIsNeverAnEmptySuccess) {
  publish("\"1.21\",\"\",\"\"");
  Connection connection;
  frmMain window;
  window.endAtOnce();  // as the completion step or the hand-over ending the program
  QCoreApplication::processEvents();
  const QByteArray bytes = connection.Connect(server.url("/v/quillmere.ini"));
  EXPECT_TRUE(!bytes.isEmpty() || connection.ErrStatus().number != 0);
}

// Saves a picture of the panel after a check when QUILLMERE_SCREENSHOT_DIR names a folder.
TEST_F(VersionPanel, ScreenshotAfterACheck) {
  const char* folder = std::getenv("QUILLMERE_SCREENSHOT_DIR");
  if (folder == nullptr || *folder == '\0') GTEST_SKIP() << "no screenshot folder";
  publish("\"1.21\",\"https://quillmere.example.org/quillmere-1.21.tar.gz\",\"\"");
  auto p = panel();
  p->resize(635, 300);
  control<QPushButton>(*p, "VerUP")->click();
  QDir().mkpath(folder);
  p->grab().save(QString(folder) + "/version-panel-checked.png");
}

}  // namespace
}  // namespace quillmere
