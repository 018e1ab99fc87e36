#include "shell/card/HeadlessCards.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

#include "run/RunOutcome.h"
#include "shell/card/CardJob.h"
#include "shell/card/CardSettings.h"
#include "shell/card/CardWatch.h"
#include "shell/card/UdisksVolumeSource.h"

namespace quillmere::card {

namespace {

void say(const std::string& text) {
  std::fprintf(stderr, "quillmere-run: %s\n", text.c_str());
  std::fflush(stderr);
}

void report(const RunOutcome& result) {
  if (!result.message.empty() && !result.failed) say(run::withNativePaths(result.message));
  for (const auto& path : result.unhandled)
    std::fprintf(stderr, "not handled: %s\n", run::withNativePaths(path).c_str());
  std::fprintf(stderr, "Job: %lld handled, %zu not handled%s, status %d\n",
               static_cast<long long>(result.handled), result.unhandled.size(),
               result.cancelled ? ", cancelled" : "", exitStatusOf(result));
  std::fflush(stderr);
}

}  // namespace

int watchForCards(const std::string& iniPath, run::TerminalRunView& view,
                  const std::atomic<bool>& stop, std::unique_ptr<VolumeSource> source) {
  if (!source) source = std::make_unique<UdisksVolumeSource>();
  CardWatch watch(std::move(source), {.settings = [&] { return readCardSettings(iniPath); },
                                      .busy = {},
                                      .confirm = {},
                                      .withdrawn = {},
                                      .run =
                                          [&](const Volume& volume) {
                                            const RunOutcome result =
                                                runJobForCard(iniPath, volume, view);
                                            view.finishLine();
                                            report(result);
                                          },
                                      .log =
                                          [&](const std::string& text) {
                                            view.finishLine();
                                            say(text);
                                          }});
  if (const std::string error = watch.start(); !error.empty()) {
    say(error);
    return exitstatus::kNotAllHandled;
  }
  if (!readCardSettings(iniPath).run)
    say("Card-Run is not 1 in the settings file: no job runs until it is");
  say("waiting for cards (Ctrl-C ends)");
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(200);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (stop && !watch.running()) loop.quit();
  });
  poll.start();
  loop.exec();
  return exitstatus::kAllHandled;
}

}  // namespace quillmere::card
