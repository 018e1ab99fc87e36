#include "backup/BackupSettings.h"

#include "archive/FolderName.h"
#include "core/Main.h"
#include "platform/Text.h"
#include "settings/IniStore.h"
#include "settings/ValueText.h"

namespace quillmere::backup {

namespace {
const char* boolText(bool v) {
  return v ? "True" : "False";
}
}  // namespace

std::string archiveExtension(bool exe) {
  return exe ? ".exe" : ".lzh";
}

BackupSettings::BackupSettings(std::string iniPath, std::string programDrive)
    : m_ini(std::move(iniPath)), m_programDrive(std::move(programDrive)) {}

std::string BackupSettings::get(const char* key, const std::string& fallback) const {
  return dll().DLL_GetStringFromINI(m_ini, kSection, key, fallback);
}

void BackupSettings::put(const char* key, const std::string& value) const {
  dll().DLL_WriteStringINI(m_ini, kSection, key, value);
}

std::string BackupSettings::inDir() const {
  return get(key::kInDir, m_programDrive);
}
std::string BackupSettings::outDir() const {
  return get(key::kOutDir, m_programDrive);
}
bool BackupSettings::inDirChosen() const {
  return !get(key::kInDir, "").empty();
}

NameBy BackupSettings::nameBy() const {
  if (settings::flagOr(get(key::kTime, "True"), true)) return NameBy::Time;
  if (settings::flagOr(get(key::kDir, "False"), false)) return NameBy::Dir;
  if (settings::flagOr(get(key::kFileName, "False"), false)) return NameBy::FileName;
  return NameBy::Time;
}

std::string BackupSettings::fileNameText() const {
  return get(key::kFileNameText, kDefaultFileName);
}
bool BackupSettings::exe() const {
  return settings::numberOrZero(get(key::kExe, "1")) == 1;
}
bool BackupSettings::subDir() const {
  return settings::numberOrZero(get(key::kSubDir, "1")) != 0;
}
bool BackupSettings::shutDown() const {
  return settings::numberOrZero(get(key::kShutDown, "0")) == 1;
}
bool BackupSettings::winShutDown() const {
  return settings::numberOrZero(get(key::kWinShutDown, "0")) == 1;
}

BackupOptions BackupSettings::runOptions() const {
  return {.inDir = inDir(),
          .outDir = outDir(),
          .inDirChosen = inDirChosen(),
          .nameBy = nameBy(),
          .fileNameText = fileNameText(),
          .exe = exe(),
          .subDir = subDir()};
}

bool BackupSettings::storeFileNameDefault() const {
  if (!get(key::kFileNameText, "").empty()) return true;
  return settings::IniStore::write(settings::iniNativePath(m_ini), kSection, key::kFileNameText,
                                   kDefaultFileName);
}

void BackupSettings::writeBackOnLoad() const {
  put(key::kFileName, get(key::kFileName, "False"));
  put(key::kExe, get(key::kExe, "1"));
  put(key::kSubDir, get(key::kSubDir, "1"));
  put(key::kShutDown, get(key::kShutDown, "0"));
  put(key::kWinShutDown, get(key::kWinShutDown, "0"));
}

void BackupSettings::setNameBy(NameBy by) const {
  put(key::kTime, boolText(by == NameBy::Time));
  put(key::kDir, boolText(by == NameBy::Dir));
  put(key::kFileName, boolText(by == NameBy::FileName));
}

void BackupSettings::setInDir(const std::string& pathText) const {
  put(key::kInDir, pathText);
}
void BackupSettings::setOutDir(const std::string& pathText) const {
  put(key::kOutDir, pathText);
}

std::string BackupSettings::nameCaption() const {
  switch (nameBy()) {
    case NameBy::Time:
      return "YYYYMMDD_HHMMSS";
    case NameBy::Dir:
      return archive::folderOwnName(inDir());
    case NameBy::FileName:
      return fileNameText();
  }
  return {};
}

std::string BackupSettings::extension() const {
  return archiveExtension(exe());
}

std::string BackupSettings::applyControl(const std::string& k, const std::string& value) const {
  auto is = [&](const char* name) { return text::equalsNoCase(k, name); };
  if (is(key::kTime) || is(key::kDir) || is(key::kFileName)) {
    const std::string v = text::asciiLower(value);
    if (v != "true" && v != "false") return "an option button takes True or False";
    const NameBy by = is(key::kTime)  ? NameBy::Time
                      : is(key::kDir) ? NameBy::Dir
                                      : NameBy::FileName;
    if (v == "true") {
      setNameBy(by);
    } else {
      put(is(key::kTime) ? key::kTime : is(key::kDir) ? key::kDir : key::kFileName, "False");
    }
    return {};
  }
  for (const char* box : {key::kExe, key::kSubDir, key::kShutDown, key::kWinShutDown}) {
    if (!is(box)) continue;
    if (value != "0" && value != "1") return "a check box takes 0 or 1";
    put(box, value);
    return {};
  }
  for (const char* free : {key::kInDir, key::kOutDir, key::kFileNameText}) {
    if (!is(free)) continue;
    put(free, value);
    return {};
  }
  return "not an option of the backup";
}

const settings::KeyTable& keyTable() {
  using settings::ValueForm;
  static const char* const kNaming = "Time/Dir/FileName";
  static const settings::KeyTable table = {
      {key::kInDir, ValueForm::Folder, "program drive", "folder to back up"},
      {key::kOutDir, ValueForm::Folder, "program drive", "folder the archive is stored in"},
      {key::kInDir0, ValueForm::Folder, "", "last folder to back up dropped on the panel"},
      {key::kOutDir0, ValueForm::Folder, "", "last archive folder dropped on the panel"},
      {key::kTime, ValueForm::Option, "True", "name the archive by the date and time", kNaming},
      {key::kDir, ValueForm::Option, "False", "name the archive by the folder's own name", kNaming},
      {key::kFileName, ValueForm::Option, "False", "name the archive by FileNameText", kNaming},
      {key::kFileNameText, ValueForm::Text, "FileName", "the given archive name"},
      {key::kExe, ValueForm::Check, "1", "make a self-extracting program instead of an archive"},
      {key::kSubDir, ValueForm::Check, "1", "archive the subfolders too"},
      {key::kShutDown, ValueForm::Check, "0", "end the program after the run (panels only)"},
      {key::kWinShutDown, ValueForm::Check, "0", "shut the machine down too (panels only)"},
  };
  return table;
}

}  // namespace quillmere::backup
