#include "duplicates/DuplicateSettings.h"

#include <cmath>

#include "core/Main.h"
#include "settings/ValueText.h"

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
  std::string_view help;          // what the key means, one line for the runner's help
};

// Panel-load order of the duplicate delete ("WinShutDown" is not written at load).
constexpr OptionKey kDeleteKeys[] = {
    {"OutFileDel", Meaning::Boolean, "0", "1", "1",
     "on a fixed disk, deleted files go to the trash"},
    {"RDFileDel", Meaning::Boolean, "0", "1", "1", "on a removable disk, confirm each deletion"},
    {"InSubDir", Meaning::IsOne, "1", "0", "0", "the comparison side includes its subfolders"},
    {"OutSubDir", Meaning::IsOne, "1", "0", "0", "the deletion side includes its subfolders"},
    {"InDelDir", Meaning::IsOne, "1", "0", "0",
     "after the run, remove empty folders of the comparison side"},
    {"OutDelDir", Meaning::IsOne, "1", "0", "0",
     "after the run, remove empty folders of the deletion side"},
    {"ShutDown", Meaning::IsOne, "0", "0", "0", "end the program after the run (panels only)"},
};
constexpr OptionKey kDeleteWinShutDown{
    "WinShutDown", Meaning::IsOne, "0", "0", "0", "shut the machine down too (panels only)"};

// Panel-load order of the file back.
constexpr OptionKey kFileBackKeys[] = {
    {"OutFileDel", Meaning::Boolean, "1", "1", "1",
     "on a fixed disk, deleted namesakes go to the trash"},
    {"RDFileDel", Meaning::Boolean, "1", "1", "1", "on a removable disk, confirm each deletion"},
    {"kakuchou", Meaning::NotZero, "0", "1", "1",
     "1: names are compared with their extensions; 0: without"},
    {"InSubDir", Meaning::IsOne, "1", "0", "0", "the source side includes its subfolders"},
    {"InDelDir", Meaning::IsOne, "1", "0", "0",
     "after the run, remove empty folders of the source side"},
    {"OutSubDir", Meaning::IsOne, "1", "0", "0", "the destination side includes its subfolders"},
    {"MoveSubDir", Meaning::NotZero, "1", "1", "1",
     "a file goes into a subfolder (SubDirName) of its namesake's folder"},
    {"OutDelFile", Meaning::IsOne, "1", "0", "0",
     "a namesake with exactly the same name is deleted"},
    {"SubDirName", Meaning::Text, "Used", "Used", "Used",
     "name of that subfolder (no \\ or /, not . or ..)"},
    {"ShutDown", Meaning::IsOne, "0", "0", "0", "end the program after the run (panels only)"},
    {"WinShutDown", Meaning::IsOne, "0", "0", "0", "shut the machine down too (panels only)"},
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
    return settings::flagOr(stored, settings::flagOr(std::string(fallback), false));
  const double n = std::nearbyint(settings::numberOrZero(stored));  // half to even, as the runtime
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

namespace {

settings::KeyDescription describe(std::string_view section, const OptionKey& k) {
  const auto form =
      k.meaning == Meaning::Text ? settings::ValueForm::Text : settings::ValueForm::Check;
  return {keyName(section, k.option), form, std::string(k.tableDefault), std::string(k.help)};
}

settings::KeyTable folderKeys(std::string_view section, const char* in, const char* out) {
  using settings::ValueForm;
  return {
      {keyName(section, "InDir"), ValueForm::Folder, "program drive", in},
      {keyName(section, "OutDir"), ValueForm::Folder, "program drive", out},
      {keyName(section, "InDir0"), ValueForm::Folder, "", "last folder dropped on the first side"},
      {keyName(section, "OutDir0"), ValueForm::Folder, "",
       "last folder dropped on the second side"}};
}

}  // namespace

const settings::KeyTable& deleteKeyTable() {
  static const settings::KeyTable table = [] {
    settings::KeyTable t =
        folderKeys(kDeleteSection, "comparison folder: the originals, never deleted from",
                   "deletion folder: its copies of the originals are deleted");
    for (const auto& k : kDeleteKeys) t.push_back(describe(kDeleteSection, k));
    t.push_back(describe(kDeleteSection, kDeleteWinShutDown));
    return t;
  }();
  return table;
}

const settings::KeyTable& fileBackKeyTable() {
  static const settings::KeyTable table = [] {
    settings::KeyTable t = folderKeys(kFileBackSection, "folder of the files to move back",
                                      "folder tree that holds their namesakes");
    for (const auto& k : kFileBackKeys) t.push_back(describe(kFileBackSection, k));
    return t;
  }();
  return table;
}

}  // namespace quillmere::duplicates
