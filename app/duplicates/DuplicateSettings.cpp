#include "duplicates/DuplicateSettings.h"

#include <cmath>

#include "core/Main.h"
#include "shell/core/ShellState.h"

namespace quillmere::duplicates {

namespace {

// How a key's number is understood by its readers.
enum class Meaning {
  IsOne,    // on when the number is exactly 1 (subfolder, empty-folder and completion keys)
  NotZero,  // on for any number but 0 (the subfolder move, the extension switch)
  Boolean,  // read as a Boolean: "True"/"False" or a number; anything else is the fall-back
  Text,     // a text kept as it stands (the subfolder name)
};

struct OptionKey {
  std::string_view option;  // the key without its section word
  Meaning meaning;
  std::string_view tableDefault;  // written at panel load when the key is missing
  std::string_view frameDefault;  // the settings frame's fall-back
  std::string_view runDefault;    // the run's fall-back
};

// Panel-load order of the duplicate delete ("WinShutDown" is not written at load).
constexpr OptionKey kDeleteKeys[] = {
    {"OutFileDel", Meaning::Boolean, "0", "1", "1"}, {"RDFileDel", Meaning::Boolean, "0", "1", "1"},
    {"InSubDir", Meaning::IsOne, "1", "0", "0"},     {"OutSubDir", Meaning::IsOne, "1", "0", "0"},
    {"InDelDir", Meaning::IsOne, "1", "0", "0"},     {"OutDelDir", Meaning::IsOne, "1", "0", "0"},
    {"ShutDown", Meaning::IsOne, "0", "0", "0"},
};
constexpr OptionKey kDeleteWinShutDown{"WinShutDown", Meaning::IsOne, "0", "0", "0"};

// Panel-load order of the file back.
constexpr OptionKey kFileBackKeys[] = {
    {"OutFileDel", Meaning::Boolean, "1", "1", "1"},
    {"RDFileDel", Meaning::Boolean, "1", "1", "1"},
    {"kakuchou", Meaning::NotZero, "0", "1", "1"},
    {"InSubDir", Meaning::IsOne, "1", "0", "0"},
    {"InDelDir", Meaning::IsOne, "1", "0", "0"},
    {"OutSubDir", Meaning::IsOne, "1", "0", "0"},
    {"MoveSubDir", Meaning::NotZero, "1", "1", "1"},
    {"OutDelFile", Meaning::IsOne, "1", "0", "0"},
    {"SubDirName", Meaning::Text, "Used", "Used", "Used"},
    {"ShutDown", Meaning::IsOne, "0", "0", "0"},
    {"WinShutDown", Meaning::IsOne, "0", "0", "0"},
};

// The key of a table by its option name (the tables below list every name asked for).
template <std::size_t N>
const OptionKey& keyOf(const OptionKey (&table)[N], std::string_view option) {
  for (const auto& k : table)
    if (k.option == option) return k;
  return table[0];
}

std::string keyName(std::string_view section, std::string_view option) {
  return std::string(section) + "-" + std::string(option);
}

std::string readText(const std::string& ini, std::string_view section, std::string_view option,
                     std::string_view fallback) {
  return dll().DLL_GetStringFromINI(ini, std::string(section), keyName(section, option),
                                    std::string(fallback));
}

// The key's truth as its reader sees it, with the runtime's conversions (a text that is no
// number reads as 0; one that is no Boolean either reads as the fall-back).
bool flagOf(const std::string& stored, Meaning meaning, std::string_view fallback) {
  if (meaning == Meaning::Boolean)
    return settingsBool(stored, settingsBool(std::string(fallback), false));
  const double n = std::nearbyint(settingsNumber(stored));  // half to even, as the runtime
  return meaning == Meaning::IsOne ? n == 1 : n != 0;
}

bool readFlag(const std::string& ini, std::string_view section, const OptionKey& key,
              std::string_view fallback) {
  return flagOf(readText(ini, section, key.option, fallback), key.meaning, fallback);
}

template <std::size_t N>
void normalise(const std::string& ini, std::string_view section, const OptionKey (&table)[N]) {
  for (const auto& key : table) {
    const std::string stored = readText(ini, section, key.option, key.tableDefault);
    const std::string value = key.meaning == Meaning::Text
                                  ? stored
                                  : (flagOf(stored, key.meaning, key.tableDefault) ? "1" : "0");
    dll().DLL_WriteStringINI(ini, std::string(section), keyName(section, key.option), value);
  }
}

std::string readFolder(const std::string& ini, std::string_view section, std::string_view option) {
  std::string dir = readText(ini, section, option, "");
  // Blanks around a stored value are no part of it (the profile reader drops them too).
  while (!dir.empty() && (dir.back() == ' ' || dir.back() == '\t')) dir.pop_back();
  std::size_t start = 0;
  while (start < dir.size() && (dir[start] == ' ' || dir[start] == '\t')) ++start;
  return dir.substr(start);
}

}  // namespace

std::string usableSubDirName(std::string_view stored) {
  std::size_t b = 0, e = stored.size();
  while (b < e && (stored[b] == ' ' || stored[b] == '\t')) ++b;
  while (e > b && (stored[e - 1] == ' ' || stored[e - 1] == '\t')) --e;
  const std::string_view name = stored.substr(b, e - b);
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of("\\/") != std::string_view::npos)
    return std::string(kDefaultSubDirName);
  return std::string(name);
}

DeleteRunOptions readDeleteRunOptions(const std::string& ini) {
  const auto s = kDeleteSection;
  auto flag = [&](std::string_view option) {
    const OptionKey& k = keyOf(kDeleteKeys, option);
    return readFlag(ini, s, k, k.runDefault);
  };
  DeleteRunOptions o;
  o.comparisonDir = readFolder(ini, s, "InDir");
  o.deletionDir = readFolder(ini, s, "OutDir");
  o.comparisonSubDirs = flag("InSubDir");
  o.deletionSubDirs = flag("OutSubDir");
  o.removeEmptyComparisonDirs = flag("InDelDir");
  o.removeEmptyDeletionDirs = flag("OutDelDir");
  o.recycleOnFixedDrive = flag("OutFileDel");
  o.confirmOnRemovable = flag("RDFileDel");
  return o;
}

FileBackRunOptions readFileBackRunOptions(const std::string& ini) {
  const auto s = kFileBackSection;
  auto flag = [&](std::string_view option) {
    const OptionKey& k = keyOf(kFileBackKeys, option);
    return readFlag(ini, s, k, k.runDefault);
  };
  FileBackRunOptions o;
  o.sourceDir = readFolder(ini, s, "InDir");
  o.destDir = readFolder(ini, s, "OutDir");
  o.sourceSubDirs = flag("InSubDir");
  o.destSubDirs = flag("OutSubDir");
  o.removeEmptySourceDirs = flag("InDelDir");
  o.deleteNamesake = flag("OutDelFile");
  o.moveIntoSubDir = flag("MoveSubDir");
  o.withExtension = flag("kakuchou");
  o.subDirName = usableSubDirName(readText(ini, s, "SubDirName", kDefaultSubDirName));
  o.recycleOnFixedDrive = flag("OutFileDel");
  o.confirmOnRemovable = flag("RDFileDel");
  return o;
}

DeleteFrameOptions readDeleteFrameOptions(const std::string& ini) {
  auto flag = [&](std::string_view option) {
    const OptionKey& k = keyOf(kDeleteKeys, option);
    return readFlag(ini, kDeleteSection, k, k.frameDefault);
  };
  return {flag("InSubDir"),
          flag("OutSubDir"),
          flag("InDelDir"),
          flag("OutDelDir"),
          flag("OutFileDel"),
          flag("RDFileDel"),
          flag("ShutDown"),
          readFlag(ini, kDeleteSection, kDeleteWinShutDown, kDeleteWinShutDown.frameDefault)};
}

FileBackFrameOptions readFileBackFrameOptions(const std::string& ini) {
  auto flag = [&](std::string_view option) {
    const OptionKey& k = keyOf(kFileBackKeys, option);
    return readFlag(ini, kFileBackSection, k, k.frameDefault);
  };
  FileBackFrameOptions o{flag("InSubDir"),
                         flag("InDelDir"),
                         flag("OutSubDir"),
                         flag("OutDelFile"),
                         flag("MoveSubDir"),
                         flag("kakuchou"),
                         flag("OutFileDel"),
                         flag("RDFileDel"),
                         flag("ShutDown"),
                         flag("WinShutDown"),
                         {}};
  o.subDirName = readText(ini, kFileBackSection, "SubDirName", kDefaultSubDirName);
  return o;
}

void normaliseDeleteSettings(const std::string& ini) {
  normalise(ini, kDeleteSection, kDeleteKeys);
}

void normaliseFileBackSettings(const std::string& ini) {
  normalise(ini, kFileBackSection, kFileBackKeys);
}

}  // namespace quillmere::duplicates
