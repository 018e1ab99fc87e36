#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <string>
#include <vector>

#include "core/Main.h"
#include "shell/card/CardJob.h"
#include "shell/card/CardTrigger.h"
#include "shell/card/CardWatch.h"
#include "support/JobScenario.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

using card::CardDecision;
using card::CardSettings;
using card::Volume;
using card::VolumeFilter;
using test::TempTree;

Volume cardAt(const std::string& mountPoint, const std::string& label = "CARD",
              const std::string& uuid = "1111-2222") {
  return {.object = "/block/sdb1",
          .uuid = uuid,
          .label = label,
          .mountPoint = mountPoint,
          .removable = true};
}

CardSettings on(VolumeFilter filter = VolumeFilter::AnyRemovable, std::string label = "") {
  return {.run = true, .filter = filter, .label = std::move(label), .drive = '\0'};
}

TEST(CardFilter, RemovableVolumesMatchByFolderOrLabel) {
  TempTree tree;
  tree.mkdir("card/DCIM");
  tree.mkdir("stick");
  const Volume card = cardAt(tree.path("card"));
  Volume stick = cardAt(tree.path("stick"), "STICK");
  EXPECT_TRUE(card::matchesFilter(on(), stick));
  EXPECT_TRUE(card::matchesFilter(on(VolumeFilter::HasDcim), card));
  EXPECT_FALSE(card::matchesFilter(on(VolumeFilter::HasDcim), stick));
  EXPECT_TRUE(card::matchesFilter(on(VolumeFilter::Label, "card"), card));
  EXPECT_FALSE(card::matchesFilter(on(VolumeFilter::Label, "CARD"), stick));
  // An empty label names no card, even one without a label.
  stick.label.clear();
  EXPECT_FALSE(card::matchesFilter(on(VolumeFilter::Label, ""), stick));
  // A fixed disk is never a card.
  Volume disk = card;
  disk.removable = false;
  EXPECT_FALSE(card::matchesFilter(on(), disk));
}

TEST(CardTrigger, OffUnlessTheSettingsTurnItOn) {
  TempTree tree;
  const std::string ini = tree.pathText("quillmere.ini");
  EXPECT_FALSE(card::readCardSettings(ini).run);
  card::CardTrigger trigger([&] { return card::readCardSettings(ini); }, {});
  EXPECT_EQ(trigger.mounted(cardAt(tree.root())), CardDecision::Off);
  dll().DLL_WriteStringINI(ini, "Card", "Card-Run", "1");
  dll().DLL_WriteStringINI(ini, "Card", "Card-Drive", "e");
  EXPECT_EQ(card::readCardSettings(ini).drive, 'E');
  EXPECT_EQ(trigger.mounted(cardAt(tree.root())), CardDecision::Run);
}

TEST(CardTrigger, OneDecisionPerInsertion) {
  bool busy = false;
  card::CardTrigger trigger([] { return on(); }, [&] { return busy; });
  const Volume card = cardAt("/media/me/CARD");
  EXPECT_EQ(trigger.mounted(card), CardDecision::Run);
  EXPECT_EQ(trigger.mounted(card), CardDecision::AlreadyHandled);
  // Mounted somewhere else without an unmount in between: a new insertion.
  EXPECT_EQ(trigger.mounted(cardAt("/media/me/CARD1")), CardDecision::Run);
  trigger.unmounted(card);
  EXPECT_EQ(trigger.mounted(card), CardDecision::Run);
  // A card refused while busy is not run later by a repeated signal.
  const Volume other = cardAt("/media/me/OTHER", "OTHER", "3333");
  busy = true;
  EXPECT_EQ(trigger.mounted(other), CardDecision::Busy);
  busy = false;
  EXPECT_EQ(trigger.mounted(other), CardDecision::AlreadyHandled);
}

// A volume source the test drives by hand.
class FakeSource final : public card::VolumeSource {
 public:
  std::string start() override { return error; }
  void mount(const Volume& v) { onMounted(v); }
  void unmount(const Volume& v) { onUnmounted(v); }
  std::string error;
};

void spin(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

struct WatchRig {
  FakeSource* source = nullptr;
  std::unique_ptr<card::CardWatch> watch;
  std::vector<std::string> ran;
  std::vector<std::string> log;
  std::function<void(const Volume&, std::function<void(bool)>)> confirm;
  std::vector<std::string> withdrawn;
  std::function<void()> duringRun;

  WatchRig() {
    auto fake = std::make_unique<FakeSource>();
    source = fake.get();
    watch = std::make_unique<card::CardWatch>(
        std::move(fake),
        card::CardWatch::Hooks{
            .settings = [] { return on(); },
            .busy = {},
            .confirm =
                [this](const Volume& v, std::function<void(bool)> answer) {
                  if (confirm)
                    confirm(v, std::move(answer));
                  else
                    answer(true);
                },
            .withdrawn = [this](const Volume& v) { withdrawn.push_back(v.mountPoint); },
            .run =
                [this](const Volume& v) {
                  ran.push_back(v.mountPoint);
                  if (duringRun) duringRun();
                },
            .log = [this](const std::string& line) { log.push_back(line); }});
    EXPECT_EQ(watch->start(), "");
  }
};

TEST(CardWatch, RunsAfterTheSignalAndOnlyOnYes) {
  WatchRig rig;
  rig.source->mount(cardAt("/media/a"));
  EXPECT_TRUE(rig.ran.empty());  // not inside the signal
  spin(50);
  EXPECT_EQ(rig.ran, std::vector<std::string>{"/media/a"});

  std::function<void(bool)> pending;
  rig.confirm = [&](const Volume&, std::function<void(bool)> answer) { pending = answer; };
  rig.source->mount(cardAt("/media/b", "B", "b"));
  // While the offer is open another card counts as busy.
  rig.source->mount(cardAt("/media/c", "C", "c"));
  pending(false);
  pending(true);  // a second answer changes nothing
  spin(50);
  EXPECT_EQ(rig.ran.size(), 1u);
  EXPECT_NE(rig.log.back().find("cancelled"), std::string::npos);
}

TEST(CardWatch, ACardRemovedBeforeTheAnswerIsWithdrawn) {
  WatchRig rig;
  std::function<void(bool)> pending;
  rig.confirm = [&](const Volume&, std::function<void(bool)> answer) { pending = answer; };
  const Volume card = cardAt("/media/a");
  rig.source->mount(card);
  rig.source->unmount(card);
  EXPECT_EQ(rig.withdrawn, std::vector<std::string>{"/media/a"});
  pending(true);
  spin(50);
  EXPECT_TRUE(rig.ran.empty());
}

TEST(CardWatch, NoSecondRunWhileOneRuns) {
  WatchRig rig;
  rig.duringRun = [&] {
    rig.source->mount(cardAt("/media/b", "B", "b"));
    spin(50);
  };
  rig.source->mount(cardAt("/media/a"));
  spin(50);
  EXPECT_EQ(rig.ran, std::vector<std::string>{"/media/a"});
  EXPECT_EQ(rig.watch->runsStarted(), 1);
}

TEST(CardJob, TheCardsLetterGoesIntoTheCheckedStepsOnly) {
  TempTree tree;
  test::CardJob job(tree);
  job.put("ReName", "ReName-InDir", "e:\\DCIM\\100CANON");
  job.put("Mirrorring", "Mirrorring-OutDir", "E:\\mirror");  // step 2 is not checked
  job.put("BackUP", "BackUP-InDir", "E:");
  job.put("WFileDel", "WFileDel-InDir", "EX:\\x");
  ASSERT_EQ(card::putCardDrive(job.ini(), 'E', 'g'), "");
  const auto get = [&](const char* section, const char* key) {
    return dll().DLL_GetStringFromINI(job.ini(), section, key, "");
  };
  EXPECT_EQ(get("ReName", "ReName-InDir"), "G:\\DCIM\\100CANON");
  EXPECT_EQ(get("BackUP", "BackUP-InDir"), "G:");
  EXPECT_EQ(get("ReName", "ReName-OutDir"), tree.pathText("archive"));
  EXPECT_EQ(get("WFileDel", "WFileDel-InDir"), "EX:\\x");
  EXPECT_EQ(get("Card", "Card-Drive"), "G");
  // Mirroring runs as step 8 too, so its folder on E: moves with the card.
  EXPECT_EQ(get("Mirrorring", "Mirrorring-OutDir"), "G:\\mirror");
}

}  // namespace
}  // namespace quillmere
