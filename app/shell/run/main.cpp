// quillmere-run: the headless face of the engines, for scripts and scheduled jobs.

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>

#include <algorithm>
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
#include "run/Allocator.h"
#include "run/RunFrame.h"
#include "run/RunPlan.h"
#include "settings/IniStore.h"
#include "settings/KeyTable.h"
#include "shell/card/HeadlessCards.h"
#include "shell/core/SettingsLocation.h"
#include "shell/run/RunAction.h"
#include "shell/run/TerminalRunView.h"

namespace {

using namespace quillmere;

constexpr int kExitAllHandled = exitstatus::kAllHandled;
constexpr int kExitNotAllHandled = exitstatus::kNotAllHandled;
constexpr int kExitUsage = exitstatus::kUsage;
constexpr int kExitError = exitstatus::kError;

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
               "       quillmere-run [--ini FILE] [--set KEY=VALUE]... --preview\n"
               "                     [--format=tsv] ACTION [FOLDER]\n"
               "       quillmere-run [--ini FILE] --on-card-insert\n"
               "       quillmere-run --help ACTION\n"
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
               "                    Every --set is checked before anything is stored, in any\n"
               "                    order; one that is wrong stores none. A folder may be\n"
               "                    relative to the working folder; it is stored as the path\n"
               "                    text of its absolute path (/home/me/pic: C:\\home\\me\\pic).\n"
               "                    quillmere-run --help ACTION lists the keys of an action.\n"
               "  --scheduled       run the action (Mirrorring when none is named) only when\n"
               "                    its schedule in the settings file enables this moment:\n"
               "                    Mirrorring-Timer is on and the keys of the current\n"
               "                    weekday (Mirrorring-Week0-6, 0 = Sunday), hour\n"
               "                    (Mirrorring-Hour0-23) and five-minute mark\n"
               "                    (Mirrorring-Minute0-11, minute / 5) are all set.\n"
               "                    Otherwise it exits with status 0 and does nothing (on a\n"
               "                    terminal it says why). For a crontab line or a systemd\n"
               "                    timer every five minutes:\n"
               "                      */5 * * * * quillmere-run --scheduled\n"
               "  --preview         print what the action would do, one step a line (native\n"
               "                    paths) and a summary, and change nothing: no file and\n"
               "                    not the settings file (--set values count for the\n"
               "                    preview only). Actions without a preview say so (1).\n"
               "  --format=tsv      with --preview: kind, from, to and size separated by\n"
               "                    tabs, one step a line, no summary (--format=text is the\n"
               "                    default)\n"
               "  --on-card-insert  stay running and run the stored Job for each card that is\n"
               "                    inserted, at once and without asking, as section [Card]\n"
               "                    of the settings file says: Card-Run=1 turns it on,\n"
               "                    Card-Filter 0 any removable volume, 1 one with a DCIM\n"
               "                    folder, 2 one labelled Card-Label; Card-Drive=E moves\n"
               "                    the job's folders on E: to the card's letter. One run per\n"
               "                    insertion, none while a run is under way. Ctrl-C or\n"
               "                    SIGTERM ends it (a running job first stops after its\n"
               "                    current file).\n"
               "  --allow-mass-delete\n"
               "                    let a mirroring run delete every file of a side, or more\n"
               "                    than half of them and more than 20; without it such a\n"
               "                    run stops before changing anything (status 1)\n"
               "  -h, --help        show this text; with an ACTION, the keys of its section\n"
               "\n"
               "actions (written exactly so):\n");
  for (const run::RunAction& action : run::runActions()) {
    const run::RunAction* a = &action;
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
               "exit status: 0 every file was handled; 1 some files were left as they were, or\n"
               "the run refused to start (a folder that does not exist, a settings file that\n"
               "cannot be written; the reason is printed); 2 bad command line; 3 an unexpected\n"
               "error ended the run; 130 cancelled with Ctrl-C.\n"
               "\n"
               "Job runs the checked steps of section [Job] (Job-Check1-8, one chosen\n"
               "Job-Option per step) in step order, each on the options stored for its action,\n"
               "and prints one line per step. It exits with the status of the first step that\n"
               "was not 0 (0 when every step gave 0); a step that fails or finds nothing to do\n"
               "is followed by the next, Ctrl-C ends the job after the running step. Recovery\n"
               "takes its folder from the command line only, so a Recovery step refuses (1).\n"
               "\n"
               "Undo takes back the last ReName run, from the journal each run keeps in\n"
               "$XDG_DATA_HOME/quillmere/rename-journals (kept 30 days). A file changed or gone\n"
               "since that run is left as it is and reported (status 1); no file is replaced.\n");
}

// The keys of one action's section, from the key table its settings code uses.
void printActionHelp(std::FILE* out, const run::RunAction& action) {
  std::fprintf(out, "quillmere-run %s: %s\n", action.name.c_str(), action.summary.c_str());
  if (action.folder != run::FolderArgument::None)
    std::fprintf(out, "FOLDER (%s): %s\n",
                 action.folder == run::FolderArgument::Required ? "required" : "optional",
                 action.folderHelp.c_str());
  if (!action.keys) {
    std::fprintf(out, "%s keeps no settings: --set does not apply.\n", action.name.c_str());
    return;
  }
  std::fprintf(out, "\nkeys of section [%s] for --set (KEY may leave out \"%s-\"):\n",
               action.section.c_str(), action.section.c_str());
  for (const auto& k : action.keys()) {
    std::fprintf(out, "  %s\n      %s\n      values: %s; default: %s\n", k.key.c_str(),
                 k.meaning.c_str(), settings::allowedValues(k).c_str(),
                 k.defaultValue.empty() ? "(empty)" : k.defaultValue.c_str());
  }
}

int usageError(const std::string& text) {
  std::fprintf(stderr, "quillmere-run: %s\n(see quillmere-run --help)\n", text.c_str());
  return kExitUsage;
}

// A reason the run cannot start that is no fault of the command line's form.
int refusal(const std::string& text) {
  std::fprintf(stderr, "quillmere-run: %s\n", text.c_str());
  return kExitNotAllHandled;
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

std::string nativeOfText(const std::string& pathText) {
  return platform::nativePathOf(pathText).value_or(pathText);
}

// One --set after its checks: the key as the table spells it and the value to store.
struct CheckedSet {
  const settings::KeyDescription* key;
  std::string value;
};

// Checks every --set against the action's key table before anything is stored. Answers 0 and
// the sets in the order they are to be applied (option groups first, then the table's order),
// or the exit status of the first fault, already reported.
int checkSets(const run::RunAction& action,
              const std::vector<std::pair<std::string, std::string>>& sets,
              std::vector<CheckedSet>& checked) {
  if (!sets.empty() && (action.section.empty() || !action.keys))
    return usageError(action.name + " keeps no settings: --set does not apply");
  static const settings::KeyTable kNoKeys;
  const settings::KeyTable& table = action.keys ? action.keys() : kNoKeys;
  const std::string prefix = action.section + "-";
  for (const auto& [typed, rawValue] : sets) {
    const bool hasSection =
        typed.size() > prefix.size() && text::equalsNoCase(typed.substr(0, prefix.size()), prefix);
    const std::string fullKey = hasSection ? typed : prefix + typed;
    const settings::KeyDescription* key = settings::findKeyDescription(table, fullKey);
    if (!key) {
      std::string closest;
      for (const auto& name : settings::closestKeys(table, fullKey))
        closest += (closest.empty() ? "" : ", ") + name;
      return usageError("unknown key " + fullKey + " for " + action.name + " (closest: " + closest +
                        "; quillmere-run --help " + action.name + " lists them all)");
    }
    std::string value = rawValue;
    if (const std::string why = settings::valueFormError(*key, value); !why.empty())
      return usageError(key->key + " " + why);
    if (key->form == settings::ValueForm::Folder) {
      value = toPathText(value);
      const std::string native = nativeOfText(value);
      if (!isNativeFolder(native)) return refusal("folder not found (" + key->key + "): " + native);
    }
    // A key given twice keeps its last value.
    std::erase_if(checked, [&](const CheckedSet& c) { return c.key == key; });
    checked.push_back({key, value});
  }
  for (std::size_t i = 0; i < checked.size(); ++i)
    for (std::size_t j = i + 1; j < checked.size(); ++j)
      if (!checked[i].key->group.empty() && checked[i].key->group == checked[j].key->group)
        return usageError(checked[i].key->key + " and " + checked[j].key->key +
                          " choose within one group (" + checked[i].key->group +
                          "): give one of them");
  const auto rank = [&](const CheckedSet& c) {
    return std::pair(c.key->group.empty() ? 1 : 0, c.key - table.data());
  };
  std::sort(checked.begin(), checked.end(),
            [&](const CheckedSet& a, const CheckedSet& b) { return rank(a) < rank(b); });
  return 0;
}

// Applies the run's start-up values and the checked --set values inside the open batch. Answers
// 0, or the exit status of the fault, already reported.
int applySettings(const run::RunAction& action, const std::string& iniPath,
                  const std::vector<CheckedSet>& sets) {
  if (action.prepare) action.prepare(iniPath);
  for (const auto& [key, value] : sets) {
    if (action.set) {
      const std::string error = action.set(iniPath, key->key, value);
      if (!error.empty()) return usageError(key->key + ": " + error);
    } else {
      dll().DLL_WriteStringINI(iniPath, action.section, key->key, value);
    }
  }
  return 0;
}

// Stores the run's start-up values and the checked --set values with one write of the settings
// file. Answers 0, or the exit status of the fault, already reported.
int storeSettings(const run::RunAction& action, const std::string& iniPath,
                  const std::vector<CheckedSet>& sets, std::vector<settings::KeyChange>& replaced) {
  settings::IniBatch batch(settings::iniNativePath(iniPath));
  if (const int status = applySettings(action, iniPath, sets); status != 0) {
    batch.discard();
    return status;
  }
  if (!batch.commit()) return refusal(settings::IniStore::lastWriteError());
  replaced = batch.replaced();
  return 0;
}

// Forgets a batch's values whichever way its scope is left: a preview never writes.
class DiscardedBatch {
 public:
  explicit DiscardedBatch(const std::string& iniPath) : m_batch(settings::iniNativePath(iniPath)) {}
  ~DiscardedBatch() { m_batch.discard(); }

 private:
  settings::IniBatch m_batch;
};

// Prints what the action would do with the stored options and the --set values, which live only
// in memory for it: neither the settings file nor any other file is changed.
int preview(const run::RunAction& action, const run::RunRequest& request,
            const std::vector<CheckedSet>& sets, bool tsv) {
  if (!action.preview) return refusal(action.name + " has no preview yet; nothing was run");
  RunPlan plan;
  RunOutcome result;
  {
    DiscardedBatch batch(request.iniPath);
    if (const int status = applySettings(action, request.iniPath, sets); status != 0) return status;
    result = action.preview(request, plan);
  }
  if (result.refused) return refusal(run::withNativePaths(result.message));
  const std::string text = tsv ? plan.asTsv() : plan.asText();
  std::fwrite(text.data(), 1, text.size(), stdout);
  return kExitAllHandled;
}

// Puts back what storeSettings changed: a run that refused to start leaves no values behind.
void restoreSettings(const std::string& iniPath, const std::vector<settings::KeyChange>& replaced) {
  if (replaced.empty()) return;
  const std::string native = settings::iniNativePath(iniPath);
  settings::IniBatch batch(native);
  for (const auto& c : replaced) {
    if (c.value)
      settings::IniStore::write(native, c.section, c.key, *c.value);
    else
      settings::IniStore::remove(native, c.section, c.key);
  }
  batch.commit();
}

// --on-card-insert: SIGTERM (systemd stopping the service) stops like Ctrl-C.
int watchCards(const std::string& iniArg) {
  const std::string programDir = QCoreApplication::applicationDirPath().toStdString();
  const std::string iniPath =
      platform::DriveMap::current().toPathText(settingsFileLocation(programDir, iniArg));
  run::TerminalRunView view(stderr, ::isatty(STDERR_FILENO) == 1, g_cancel);
  StderrUiHook hook(view);
  setUiHook(&hook);
  std::signal(SIGINT, onInterrupt);
  std::signal(SIGTERM, onInterrupt);
  const int status = card::watchForCards(iniPath, view, g_cancel);
  setUiHook(nullptr);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  quillmere::tuneAllocatorForRuns();
  QCoreApplication app(argc, argv);

  std::string iniArg;
  std::vector<std::pair<std::string, std::string>> sets;
  std::vector<std::string> positional;
  bool scheduled = false;
  bool help = false;
  bool allowMassDelete = false;
  bool previewOnly = false;
  std::string format;
  bool onCardInsert = false;
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
    std::string value;
    if (arg == "-h" || arg == "--help") {
      help = true;
    } else if (arg == "--ini" || arg.rfind("--ini=", 0) == 0) {
      if (!takeValue("--ini", iniArg) || iniArg.empty()) return usageError("--ini needs a file");
    } else if (arg == "--set" || arg.rfind("--set=", 0) == 0) {
      if (!takeValue("--set", value)) return usageError("--set needs KEY=VALUE");
      const auto eq = value.find('=');
      if (eq == std::string::npos || eq == 0) return usageError("--set needs KEY=VALUE: " + value);
      sets.emplace_back(value.substr(0, eq), value.substr(eq + 1));
    } else if (arg == "--scheduled") {
      scheduled = true;
    } else if (arg == "--preview") {
      previewOnly = true;
    } else if (arg == "--format" || arg.rfind("--format=", 0) == 0) {
      if (!takeValue("--format", format) || (format != "tsv" && format != "text"))
        return usageError("--format is text or tsv");
    } else if (arg == "--on-card-insert") {
      onCardInsert = true;
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

  if (!format.empty() && !previewOnly) return usageError("--format goes with --preview");
  if (previewOnly && scheduled) return usageError("--preview does not go with --scheduled");
  if (help && positional.empty()) {
    printHelp(stdout);
    return kExitAllHandled;
  }
  if (onCardInsert) {
    if (!positional.empty() || !sets.empty() || scheduled || previewOnly)
      return usageError("--on-card-insert takes no ACTION, --set, --scheduled or --preview");
    return watchCards(iniArg);
  }
  if (scheduled && positional.empty()) positional.emplace_back("Mirrorring");
  if (positional.empty()) return usageError("no ACTION given");
  const run::RunAction* action = run::findAction(positional[0]);
  if (!action) {
    if (const run::RunAction* near = run::findActionIgnoringCase(positional[0]))
      return usageError("unknown action " + positional[0] + " (write it " + near->name + ")");
    std::string names;
    for (const auto& a : run::runActions()) names += " " + a.name;
    return usageError("unknown action " + positional[0] + " (actions:" + names + ")");
  }
  if (help) {
    printActionHelp(stdout, *action);
    return kExitAllHandled;
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
  const bool terminal = ::isatty(STDERR_FILENO) == 1;

  if (scheduled) {
    if (!action->due) return usageError(action->name + " has no schedule");
    if (!sets.empty()) return usageError("--set does not go with --scheduled");
    const std::string notDue = action->due(request.iniPath);
    if (!notDue.empty()) {
      // Under cron nobody reads it; on a terminal it explains why nothing happened.
      if (terminal)
        std::fprintf(stderr, "quillmere-run: %s not run: %s\n", action->name.c_str(),
                     notDue.c_str());
      return kExitAllHandled;
    }
  }

  if (positional.size() == 2) {
    const std::string folderText = toPathText(positional[1]);
    if (!isNativeFolder(nativeOfText(folderText)))
      return refusal("folder not found: " + nativeOfText(folderText));
    request.folder = folderText;
    // FOLDER is stored as its key would be by --set, checked and written with the others.
    if (!action->folderKey.empty()) sets.emplace_back(action->folderKey, folderText);
  }

  std::vector<CheckedSet> checked;
  if (const int status = checkSets(*action, sets, checked); status != 0) return status;

  if (previewOnly) {
    try {
      return preview(*action, request, checked, format == "tsv");
    } catch (const DllError& e) {
      std::fprintf(stderr, "%s\n", runErrorText(e.number(), e.text()).c_str());
      return kExitError;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", runErrorText(RunFrame::kInternalError, e.what()).c_str());
      return kExitError;
    }
  }

  run::TerminalRunView view(stderr, terminal, g_cancel);
  StderrUiHook hook(view);
  setUiHook(&hook);

  try {
    std::vector<settings::KeyChange> stored;
    if (const int status = storeSettings(*action, request.iniPath, checked, stored); status != 0) {
      setUiHook(nullptr);
      return status;
    }

    std::signal(SIGINT, onInterrupt);
    const RunOutcome result = action->run(request, view);
    std::signal(SIGINT, SIG_DFL);
    view.finishLine();
    setUiHook(nullptr);
    if (result.refused) restoreSettings(request.iniPath, stored);

    if (!result.message.empty() && !result.failed)
      std::fprintf(stderr, "%s\n", run::withNativePaths(result.message).c_str());
    for (const auto& line : result.skipped)
      std::fprintf(stderr, "skipped: %s\n", run::withNativePaths(line).c_str());
    for (const auto& path : result.unhandled)
      std::fprintf(stderr, "not handled: %s\n", run::withNativePaths(path).c_str());
    std::fprintf(stderr, "%s: %lld handled, %zu not handled%s\n", action->name.c_str(),
                 static_cast<long long>(result.handled), result.unhandled.size(),
                 result.cancelled ? ", cancelled" : "");
    return exitStatusOf(result);
  } catch (const DllError& e) {
    view.finishLine();
    setUiHook(nullptr);
    std::fprintf(stderr, "%s\n", runErrorText(e.number(), e.text()).c_str());
    return kExitError;
  } catch (const std::exception& e) {
    view.finishLine();
    setUiHook(nullptr);
    std::fprintf(stderr, "%s\n", runErrorText(RunFrame::kInternalError, e.what()).c_str());
    return kExitError;
  }
}
