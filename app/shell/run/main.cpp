// quillmere-run: the headless face of the engines, for scripts and scheduled jobs.

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/Main.h"
#include "core/UiHook.h"
#include "platform/DriveMap.h"
#include "platform/Text.h"
#include "shell/core/SettingsLocation.h"
#include "shell/run/RunAction.h"
#include "shell/run/TerminalRunView.h"

namespace {

using namespace quillmere;

// Exit statuses.
constexpr int kExitAllHandled = 0;
constexpr int kExitNotAllHandled = 1;  // files left as they were, or the run refused to start
constexpr int kExitUsage = 2;
constexpr int kExitError = 3;  // an unexpected error ended the run
constexpr int kExitCancelled = 130;

std::atomic<bool> g_cancel{false};

void onInterrupt(int) {
  if (g_cancel.exchange(true)) {
    // A second Ctrl-C ends the program at once; parked files keep their ending for Recovery.
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
  }
}

// Library message boxes go to standard error while the runner runs.
class StderrUiHook final : public UiHook {
 public:
  explicit StderrUiHook(run::TerminalRunView& view) : m_view(view) {}
  int messageBox(const std::string& text, int style, const std::string& title) override {
    return m_view.messageBox(text, style, title);
  }

 private:
  run::TerminalRunView& m_view;
};

void printHelp(std::FILE* out) {
  std::fprintf(out,
               "usage: quillmere-run [--ini FILE] [--set KEY=VALUE]... ACTION [FOLDER]\n"
               "       quillmere-run [--ini FILE] --scheduled [Mirrorring]\n"
               "\n"
               "Runs one panel's action without a window, with the options stored in the\n"
               "settings file, and reports progress on standard error.\n"
               "\n"
               "options:\n"
               "  --ini FILE        settings file to use; otherwise $QUILLMERE_INI, else\n"
               "                    quillmere.ini beside the program when that folder is\n"
               "                    writable, else $XDG_CONFIG_HOME/quillmere/quillmere.ini\n"
               "  --set KEY=VALUE   store an option in the action's section before the run,\n"
               "                    as the panel's control would (choosing one option button\n"
               "                    of a group clears the others). KEY may leave out the\n"
               "                    section word: --set Copy_Mode=True is ReName-Copy_Mode.\n"
               "                    A value that is an absolute path (/home/me/pic) is stored\n"
               "                    as its path text (C:\\home\\me\\pic).\n"
               "  --scheduled       run the action (Mirrorring when none is named) only when\n"
               "                    its schedule in the settings file enables this moment:\n"
               "                    Mirrorring-Timer is on and the keys of the current\n"
               "                    weekday (Mirrorring-Week0-6, 0 = Sunday), hour\n"
               "                    (Mirrorring-Hour0-23) and five-minute mark\n"
               "                    (Mirrorring-Minute0-11, minute / 5) are all set.\n"
               "                    Otherwise it exits with status 0 and does nothing. For a\n"
               "                    crontab line or a systemd timer every five minutes:\n"
               "                      */5 * * * * quillmere-run --scheduled\n"
               "  --allow-mass-delete\n"
               "                    let a mirroring run delete every file of a side, or more\n"
               "                    than half of them and more than 20; without it such a\n"
               "                    run stops before changing anything (status 1)\n"
               "  -h, --help        show this text\n"
               "\n"
               "actions:\n");
  for (const run::RunAction* a : run::ActionTable::all()) {
    std::fprintf(out, "  %-12s %s\n", a->name.c_str(), a->summary.c_str());
    if (a->folder != run::FolderArgument::None)
      std::fprintf(out, "  %-12s FOLDER (%s): %s\n", "",
                   a->folder == run::FolderArgument::Required ? "required" : "optional",
                   a->folderHelp.c_str());
  }
  std::fprintf(out,
               "\n"
               "Ctrl-C asks the run to stop after the current file; it then goes through its\n"
               "closing steps. A second Ctrl-C ends the program at once (files parked with a\n"
               "\"Temp\" ending are put right by the Recovery action).\n"
               "\n"
               "exit status: 0 every file was handled; 1 some files were left as they were or\n"
               "the run refused to start (the reason is printed); 2 bad command line; 3 an\n"
               "unexpected error ended the run; 130 cancelled with Ctrl-C.\n");
}

int usageError(const std::string& text) {
  std::fprintf(stderr, "quillmere-run: %s\n(see quillmere-run --help)\n", text.c_str());
  return kExitUsage;
}

bool isNativeFolder(const std::string& native) {
  struct stat st {};
  return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A command-line path (native, relative or already a path text) as a path text.
std::string toPathText(const std::string& arg) {
  const auto& map = platform::DriveMap::current();
  if (arg.size() >= 2 && arg[1] == ':' && map.toNative(arg)) return arg;
  std::error_code ec;
  std::string native = std::filesystem::absolute(arg, ec).lexically_normal().string();
  if (ec) native = arg;
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  return map.toPathText(native);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);

  std::string iniArg;
  std::vector<std::pair<std::string, std::string>> sets;
  std::vector<std::string> positional;
  bool scheduled = false;
  bool allowMassDelete = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto takeValue = [&](const std::string& option, std::string& into) -> bool {
      if (arg.rfind(option + "=", 0) == 0) {
        into = arg.substr(option.size() + 1);
        return true;
      }
      if (arg == option) {
        if (i + 1 >= argc) return false;
        into = argv[++i];
        return true;
      }
      return false;
    };
    if (arg == "-h" || arg == "--help") {
      printHelp(stdout);
      return kExitAllHandled;
    }
    std::string value;
    if (arg == "--ini" || arg.rfind("--ini=", 0) == 0) {
      if (!takeValue("--ini", iniArg) || iniArg.empty()) return usageError("--ini needs a file");
    } else if (arg == "--set" || arg.rfind("--set=", 0) == 0) {
      if (!takeValue("--set", value)) return usageError("--set needs KEY=VALUE");
      const auto eq = value.find('=');
      if (eq == std::string::npos || eq == 0) return usageError("--set needs KEY=VALUE: " + value);
      sets.emplace_back(value.substr(0, eq), value.substr(eq + 1));
    } else if (arg == "--scheduled") {
      scheduled = true;
    } else if (arg == "--allow-mass-delete") {
      allowMassDelete = true;
    } else if (arg == "--") {
      for (++i; i < argc; ++i) positional.emplace_back(argv[i]);
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usageError("unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }

  if (scheduled && positional.empty()) positional.emplace_back("Mirrorring");
  if (positional.empty()) return usageError("no ACTION given");
  const run::RunAction* action = run::ActionTable::find(positional[0]);
  if (!action) {
    std::string names;
    for (const auto* a : run::ActionTable::all()) names += " " + a->name;
    return usageError("unknown action " + positional[0] + " (actions:" + names + ")");
  }
  if (positional.size() > 2) return usageError("too many arguments");
  if (positional.size() == 2 && action->folder == run::FolderArgument::None)
    return usageError(action->name + " takes no FOLDER");
  if (positional.size() == 1 && action->folder == run::FolderArgument::Required)
    return usageError(action->name + " needs a FOLDER");

  run::RunRequest request;
  request.allowMassDelete = allowMassDelete;
  const std::string programDir = QCoreApplication::applicationDirPath().toStdString();
  const std::string iniNative = settingsFileLocation(programDir, iniArg);
  request.iniPath = platform::DriveMap::current().toPathText(iniNative);

  if (scheduled) {
    if (!action->due) return usageError(action->name + " has no schedule");
    if (!sets.empty()) return usageError("--set does not go with --scheduled");
    if (!action->due(request.iniPath)) return kExitAllHandled;
  }

  if (positional.size() == 2) {
    const std::string folderText = toPathText(positional[1]);
    const auto native = platform::DriveMap::current().toNative(folderText);
    if (!native || !isNativeFolder(*native))
      return usageError("folder not found: " + positional[1]);
    request.folder = folderText;
  }

  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  run::TerminalRunView view(stderr, terminal, g_cancel);
  StderrUiHook hook(view);
  setUiHook(&hook);

  try {
    if (!sets.empty() && action->section.empty())
      return usageError(action->name + " keeps no settings: --set does not apply");
    for (auto& [key, value] : sets) {
      const std::string prefix = action->section + "-";
      std::string fullKey = key;
      if (!(key.size() > prefix.size() && text::equalsNoCase(key.substr(0, prefix.size()), prefix)))
        fullKey = prefix + key;
      if (!value.empty() && value.front() == '/') value = toPathText(value);
      if (action->set) {
        const std::string error = action->set(request.iniPath, fullKey, value);
        if (!error.empty()) return usageError(fullKey + ": " + error);
      } else {
        dll().DLL_WriteStringINI(request.iniPath, action->section, fullKey, value);
      }
    }

    std::signal(SIGINT, onInterrupt);
    const run::RunResult result = action->run(request, view);
    std::signal(SIGINT, SIG_DFL);
    view.finishLine();
    setUiHook(nullptr);

    if (!result.message.empty() && !result.failed)
      std::fprintf(stderr, "%s\n", result.message.c_str());
    for (const auto& path : result.unhandled)
      std::fprintf(stderr, "not handled: %s\n", path.c_str());
    std::fprintf(stderr, "%s: %lld handled, %zu not handled%s\n", action->name.c_str(),
                 static_cast<long long>(result.handled), result.unhandled.size(),
                 result.cancelled ? ", cancelled" : "");
    if (result.failed) return kExitError;
    if (result.cancelled) return kExitCancelled;
    if (result.refused || !result.unhandled.empty()) return kExitNotAllHandled;
    return kExitAllHandled;
  } catch (const DllError& e) {
    view.finishLine();
    setUiHook(nullptr);
    std::fprintf(stderr, "実行時エラー '%d': %s\n", static_cast<int>(e.number()), e.what());
    return kExitError;
  } catch (const std::exception& e) {
    view.finishLine();
    setUiHook(nullptr);
    std::fprintf(stderr, "実行時エラー: %s\n", e.what());
    return kExitError;
  }
}
