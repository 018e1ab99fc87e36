#include "rename/RenameSettings.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "core/Main.h"
#include "platform/Text.h"
#include "settings/ValueText.h"

namespace quillmere::rename {

namespace {

const std::string kTrue = "True";
const std::string kFalse = "False";

const std::string& boolText(bool b) {
  return b ? kTrue : kFalse;
}

bool isLeapYear(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

}  // namespace

const std::vector<KeyInfo>& keyTable() {
  static const std::vector<KeyInfo> table = {
      {"ReName-InDir", KeyForm::Folder, nullptr, "source folder"},
      {"ReName-OutDir", KeyForm::Folder, nullptr,
       "target folder (Copy and Move modes; in Stay mode the source folder)"},
      {"ReName-InDir0", KeyForm::Folder, "",
       "last source folder chosen in the panel (not read by the run)"},
      {"ReName-OutDir0", KeyForm::Folder, "",
       "last target folder chosen in the panel (not read by the run)"},
      {"ReName-Copy_Mode", KeyForm::Option, "False",
       "copy each file to the target folder under its new name", 0, 0,
       "Copy_Mode/Stay_Mode/Move_Mode"},
      {"ReName-Stay_Mode", KeyForm::Option, "True", "rename each file where it is", 0, 0,
       "Copy_Mode/Stay_Mode/Move_Mode"},
      {"ReName-Move_Mode", KeyForm::Option, "False",
       "move each file to the target folder under its new name", 0, 0,
       "Copy_Mode/Stay_Mode/Move_Mode"},
      {"ReName-MojiL", KeyForm::Option, "False", "new path in upper case", 0, 0,
       "MojiL/MojiS/MojiNot"},
      {"ReName-MojiS", KeyForm::Option, "False", "new path in lower case", 0, 0,
       "MojiL/MojiS/MojiNot"},
      {"ReName-MojiNot", KeyForm::Option, "True", "case left as built", 0, 0,
       "MojiL/MojiS/MojiNot"},
      {"ReName-FileNameFormat_Date", KeyForm::Option, "True",
       "new name from the shooting date and time", 0, 0, "FileNameFormat_Date/_No/_Not"},
      {"ReName-FileNameFormat_No", KeyForm::Option, "False", "new name is a running number", 0, 0,
       "FileNameFormat_Date/_No/_Not"},
      {"ReName-FileNameFormat_Not", KeyForm::Option, "False",
       "the name itself stays (only case, target folder and clash letters change)", 0, 0,
       "FileNameFormat_Date/_No/_Not"},
      {"ReName-StartNo", KeyForm::Decimal, "0", "first running number", 0, 999999999},
      {"ReName-Namber", KeyForm::List, "2",
       "minimum number of digits of the running number, minus 1", 0, 8},
      {"ReName-AutoIncrement", KeyForm::Check, "0",
       "after a numbering run, store the next free number as StartNo"},
      {"ReName-LookSubDir", KeyForm::Check, "1",
       "take files from all subfolders of the source folder as well"},
      {"ReName-SubDirDel1", KeyForm::Check, "1",
       "after the run, remove empty folders of the source tree"},
      {"ReName-MakeSubDir", KeyForm::Check, "1",
       "rebuild the source's subfolder tree below the target folder"},
      {"ReName-SubDirDel2", KeyForm::Check, "1",
       "after the run, remove empty folders of the target tree"},
      {"ReName-TimeStamp", KeyForm::Check, "0", "set the file times of every file the run handles"},
      {"ReName-TimeStampChange", KeyForm::Check, "0",
       "with TimeStamp on: use the given date and time instead of the shooting date"},
      {"ReName-YYYYStart", KeyForm::Year, "1980", "lower year of the shooting-date range", 1900,
       2100},
      {"ReName-YYYYEnd", KeyForm::Year, "2010", "upper year of the shooting-date range", 1900,
       2100},
      {"ReName-YYYYStart_Set", KeyForm::Year, "1980", "first year offered for the given time stamp",
       1900, 2100},
      {"ReName-YYYYEnd_Set", KeyForm::Year, "2010", "last year offered for the given time stamp",
       1900, 2100},
      {"ReName-YYYYDay", KeyForm::Year, "2000", "year of the given time stamp", 1900, 2100},
      {"ReName-MMDay", KeyForm::List, "0", "month of the given time stamp, minus 1", 0, 11},
      {"ReName-DDDay", KeyForm::List, "0", "day of the given time stamp, minus 1", 0, 30},
      {"ReName-HHTime", KeyForm::List, "0", "hour of the given time stamp", 0, 23},
      {"ReName-MMTime", KeyForm::List, "0", "minute of the given time stamp", 0, 59},
      {"ReName-SSTime", KeyForm::List, "0", "second of the given time stamp", 0, 59},
      {"ReName-File_Byte", KeyForm::List, "0",
       "head size searched for the shooting date: (value + 2) x 128 bytes", 0, 14},
      {"ReName-Attribute", KeyForm::Check, "0",
       "set the read-only attribute of every file the run handles"},
      {"ReName-Read", KeyForm::Check, "0", "the read-only state to set when Attribute is on"},
      {"ReName-ShutDown", KeyForm::Check, "0", "end the program after the run (panels only)"},
      {"ReName-WinShutDown", KeyForm::Check, "0", "shut the machine down too (panels only)"},
      {"ReName-MediaDate", KeyForm::Check, "0",
       "also read the shooting time of MP4/MOV videos and HEIC pictures"},
      {"ReName-SkipImported", KeyForm::Check, "0",
       "Copy and Move modes: leave a file whose bytes equal a file of the target tree"},
      {"ReName-Sidecars", KeyForm::Check, "0",
       "files beside a picture with its name and another extension (RAW, .xmp, .thm, .wav) "
       "get the picture's new name"},
  };
  return table;
}

const settings::KeyTable& describedKeys() {
  static const settings::KeyTable table = [] {
    settings::KeyTable out;
    for (const KeyInfo& k : keyTable()) {
      settings::KeyDescription d;
      d.key = k.key;
      d.defaultValue = k.defaultValue ? k.defaultValue : "program drive";
      d.meaning = k.meaning;
      d.group = k.group ? k.group : "";
      d.lowest = k.lowest;
      d.highest = k.highest;
      switch (k.form) {
        case KeyForm::Option:
          d.form = settings::ValueForm::Option;
          break;
        case KeyForm::Check:
          d.form = settings::ValueForm::Check;
          break;
        case KeyForm::List:
        case KeyForm::Year:
        case KeyForm::Decimal:
          d.form = settings::ValueForm::Number;
          break;
        case KeyForm::Folder:
          d.form = settings::ValueForm::Folder;
          break;
      }
      out.push_back(std::move(d));
    }
    return out;
  }();
  return table;
}

const KeyInfo* findKey(const std::string& key) {
  for (const auto& k : keyTable())
    if (text::equalsNoCase(k.key, key)) return &k;
  return nullptr;
}

const std::vector<std::string>& normalisedKeys() {
  static const std::vector<std::string> keys = {
      "ReName-MojiL",
      "ReName-MojiS",
      "ReName-MojiNot",
      "ReName-Copy_Mode",
      "ReName-Stay_Mode",
      "ReName-Move_Mode",
      "ReName-LookSubDir",
      "ReName-SubDirDel1",
      "ReName-MakeSubDir",
      "ReName-SubDirDel2",
      "ReName-TimeStamp",
      "ReName-TimeStampChange",
      "ReName-FileNameFormat_Date",
      "ReName-FileNameFormat_No",
      "ReName-FileNameFormat_Not",
      "ReName-AutoIncrement",
      "ReName-Attribute",
      "ReName-Read",
      "ReName-ShutDown",
      "ReName-WinShutDown",
  };
  return keys;
}

std::vector<std::string> byteItems() {
  std::vector<std::string> items;
  for (int p = 0; p <= 14; ++p) items.push_back(std::to_string((p + 2) * 128));
  return items;
}

std::vector<std::string> yearItems() {
  std::vector<std::string> items;
  for (int y = 1900; y <= 2100; ++y) items.push_back(std::to_string(y));
  return items;
}

std::vector<std::string> numberItems() {
  std::vector<std::string> items;
  std::string digits;
  for (int k = 1; k <= 9; ++k) {
    digits += static_cast<char>('0' + k);
    items.push_back(std::string(10 - digits.size(), ' ') + digits);
  }
  return items;
}

int daysInMonth(int year, int month) {
  switch (month) {
    case 4:
    case 6:
    case 9:
    case 11:
      return 30;
    case 2:
      return isLeapYear(year) ? 29 : 28;
    default:
      return 31;
  }
}

std::vector<std::string> dayItems(int year, int month) {
  std::vector<std::string> items;
  for (int d = 1; d <= daysInMonth(year, month); ++d) items.push_back(std::to_string(d));
  return items;
}

RenameSettings::RenameSettings(std::string iniPath, std::string programDrive)
    : m_ini(std::move(iniPath)), m_programDrive(std::move(programDrive)) {}

std::string RenameSettings::defaultOf(const KeyInfo& info) const {
  return info.defaultValue ? std::string(info.defaultValue) : m_programDrive;
}

std::string RenameSettings::text(const std::string& key) const {
  const KeyInfo* info = findKey(key);
  return dll().DLL_GetStringFromINI(m_ini, kSection, key, info ? defaultOf(*info) : "");
}

void RenameSettings::write(const std::string& key, const std::string& value) const {
  dll().DLL_WriteStringINI(m_ini, kSection, key, value);
}

bool RenameSettings::option(const std::string& key) const {
  if (auto b = settings::flagValue(text(key))) return *b;
  const KeyInfo* info = findKey(key);
  return info && settings::flagValue(defaultOf(*info)).value_or(false);
}

bool RenameSettings::check(const std::string& key) const {
  auto n = settings::numberValue(text(key));
  if (!n) {
    const KeyInfo* info = findKey(key);
    n = info ? settings::numberValue(defaultOf(*info)) : std::nullopt;
  }
  return n && *n == 1;
}

int RenameSettings::number(const std::string& key) const {
  const KeyInfo* info = findKey(key);
  auto n = settings::numberValue(text(key));
  if (!n || std::abs(*n) > 2e9) n = info ? settings::numberValue(defaultOf(*info)) : std::nullopt;
  int v = n ? static_cast<int>(std::lround(*n)) : 0;
  // List and year keys stay inside their lists, whatever the file holds.
  if (info && (info->form == KeyForm::List || info->form == KeyForm::Year))
    v = std::clamp(v, info->lowest, info->highest);
  return v;
}

// A group whose stored members say nothing clear (none or several true, after editing by
// hand) resolves to its first true member in this order, or to the default.
Mode RenameSettings::mode() const {
  if (option("ReName-Copy_Mode")) return Mode::Copy;
  if (option("ReName-Stay_Mode")) return Mode::Stay;
  if (option("ReName-Move_Mode")) return Mode::Move;
  return Mode::Stay;
}

CaseOption RenameSettings::caseOption() const {
  if (option("ReName-MojiL")) return CaseOption::Upper;
  if (option("ReName-MojiS")) return CaseOption::Lower;
  return CaseOption::AsBuilt;
}

NameFormat RenameSettings::format() const {
  if (option("ReName-FileNameFormat_Date")) return NameFormat::Date;
  if (option("ReName-FileNameFormat_No")) return NameFormat::Number;
  if (option("ReName-FileNameFormat_Not")) return NameFormat::Name;
  return NameFormat::Date;
}

RenameOptions RenameSettings::runOptions() const {
  RenameOptions o;
  o.mode = mode();
  o.format = format();
  o.caseOption = caseOption();
  o.inDir = inDir();
  // Stay mode renames every file where it is: the target is the source folder itself.
  o.outDir = o.mode == Mode::Stay ? o.inDir : outDir();
  o.lookSubDir = check("ReName-LookSubDir");
  o.makeSubDir = check("ReName-MakeSubDir");
  o.removeEmptyInDirs = check("ReName-SubDirDel1");
  o.removeEmptyOutDirs = check("ReName-SubDirDel2");
  o.headLines = (number("ReName-File_Byte") + 2) * 128;
  o.setTimes = check("ReName-TimeStamp");
  o.givenTime = check("ReName-TimeStampChange");
  if (o.setTimes && o.givenTime) {
    const int year = number("ReName-YYYYDay");
    const int month = number("ReName-MMDay") + 1;
    // A stored day beyond the month's end is read as the month's last day.
    const int day = std::min(number("ReName-DDDay") + 1, daysInMonth(year, month));
    const int fields[6] = {year,
                           month,
                           day,
                           number("ReName-HHTime"),
                           number("ReName-MMTime"),
                           number("ReName-SSTime")};
    std::copy(std::begin(fields), std::end(fields), std::begin(o.given));
  }
  o.startNumber = number("ReName-StartNo");
  o.minimumDigits = number("ReName-Namber") + 1;
  o.autoIncrement = check("ReName-AutoIncrement");
  o.setAttribute = check("ReName-Attribute");
  o.readOnly = check("ReName-Read");
  o.mediaDates = check("ReName-MediaDate");
  o.skipImported = o.mode != Mode::Stay && check("ReName-SkipImported");
  o.sidecars = check("ReName-Sidecars");
  return o;
}

void RenameSettings::normaliseOnLoad() const {
  for (const auto& key : normalisedKeys()) write(key, text(key));
}

void RenameSettings::chooseMode(Mode m) const {
  write("ReName-Copy_Mode", boolText(m == Mode::Copy));
  write("ReName-Stay_Mode", boolText(m == Mode::Stay));
  write("ReName-Move_Mode", boolText(m == Mode::Move));
  if (m == Mode::Stay) {
    const std::string in = inDir();
    write("ReName-OutDir0", in);
    write("ReName-OutDir", in);
    write("ReName-MakeSubDir", text("ReName-LookSubDir"));
  }
}

void RenameSettings::chooseCase(CaseOption c) const {
  write("ReName-MojiL", boolText(c == CaseOption::Upper));
  write("ReName-MojiS", boolText(c == CaseOption::Lower));
  write("ReName-MojiNot", boolText(c == CaseOption::AsBuilt));
}

void RenameSettings::chooseFormat(NameFormat f) const {
  write("ReName-FileNameFormat_Date", boolText(f == NameFormat::Date));
  write("ReName-FileNameFormat_No", boolText(f == NameFormat::Number));
  write("ReName-FileNameFormat_Not", boolText(f == NameFormat::Name));
}

void RenameSettings::setCheck(const std::string& key, bool on) const {
  write(key, on ? "1" : "0");
}

void RenameSettings::setLookSubDir(bool on) const {
  setCheck("ReName-LookSubDir", on);
  if (mode() == Mode::Stay) setCheck("ReName-MakeSubDir", on);
}

void RenameSettings::setSubDirDel1(bool on) const {
  setCheck("ReName-SubDirDel1", on);
  if (mode() == Mode::Stay) setCheck("ReName-SubDirDel2", on);
}

void RenameSettings::setInDir(const std::string& folder) const {
  write("ReName-InDir0", folder);
  write("ReName-InDir", folder);
  if (mode() == Mode::Stay) {
    write("ReName-OutDir0", folder);
    write("ReName-OutDir", folder);
  }
}

void RenameSettings::setOutDir(const std::string& folder) const {
  write("ReName-OutDir0", folder);
  write("ReName-OutDir", folder);
}

int RenameSettings::dayCount() const {
  return daysInMonth(number("ReName-YYYYDay"), number("ReName-MMDay") + 1);
}

void RenameSettings::clampDay() const {
  const int last = dayCount() - 1;
  if (number("ReName-DDDay") > last) write("ReName-DDDay", std::to_string(last));
}

void RenameSettings::setYear(const std::string& key, int year) const {
  const KeyInfo* info = findKey(key);
  const std::string k = info ? info->key : key;
  write(k, std::to_string(year));
  auto order = [&](const char* first, const char* last) {
    if (k == first && number(last) < year) write(last, std::to_string(year));
    if (k == last && number(first) > year) write(first, std::to_string(year));
  };
  order("ReName-YYYYStart", "ReName-YYYYEnd");
  order("ReName-YYYYStart_Set", "ReName-YYYYEnd_Set");
  if (k == "ReName-YYYYStart_Set" || k == "ReName-YYYYEnd_Set") {
    const int first = number("ReName-YYYYStart_Set");
    const int last = number("ReName-YYYYEnd_Set");
    const int day = number("ReName-YYYYDay");
    if (day < first) write("ReName-YYYYDay", std::to_string(first));
    if (day > last) write("ReName-YYYYDay", std::to_string(last));
  }
  if (k == "ReName-YYYYStart_Set" || k == "ReName-YYYYEnd_Set" || k == "ReName-YYYYDay") clampDay();
}

void RenameSettings::setListPosition(const std::string& key, int position) const {
  const KeyInfo* info = findKey(key);
  const std::string k = info ? info->key : key;
  write(k, std::to_string(position));
  if (k == "ReName-MMDay") clampDay();
}

void RenameSettings::setStartNo(const std::string& value) const {
  write("ReName-StartNo", value);
}

std::string RenameSettings::applyControl(const std::string& key, const std::string& raw) const {
  const KeyInfo* info = findKey(key);
  if (!info) return "not an option of the rename";
  const std::string k = info->key;
  const std::string value = trim(raw);
  switch (info->form) {
    case KeyForm::Option: {
      const auto b = settings::flagValue(value);
      if (!b) return "an option button holds True or False";
      if (!*b) return "an option button is chosen by setting a member of its group True";
      if (k == "ReName-Copy_Mode") chooseMode(Mode::Copy);
      if (k == "ReName-Stay_Mode") chooseMode(Mode::Stay);
      if (k == "ReName-Move_Mode") chooseMode(Mode::Move);
      if (k == "ReName-MojiL") chooseCase(CaseOption::Upper);
      if (k == "ReName-MojiS") chooseCase(CaseOption::Lower);
      if (k == "ReName-MojiNot") chooseCase(CaseOption::AsBuilt);
      if (k == "ReName-FileNameFormat_Date") chooseFormat(NameFormat::Date);
      if (k == "ReName-FileNameFormat_No") chooseFormat(NameFormat::Number);
      if (k == "ReName-FileNameFormat_Not") chooseFormat(NameFormat::Name);
      return {};
    }
    case KeyForm::Check: {
      if (value != "0" && value != "1") return "a check box holds 0 or 1";
      const bool on = value == "1";
      if (k == "ReName-LookSubDir")
        setLookSubDir(on);
      else if (k == "ReName-SubDirDel1")
        setSubDirDel1(on);
      else if ((k == "ReName-MakeSubDir" || k == "ReName-SubDirDel2") && mode() == Mode::Stay)
        return "in Stay mode this follows the source-side option";
      else
        setCheck(k, on);
      return {};
    }
    case KeyForm::List:
    case KeyForm::Year: {
      const bool digits =
          !value.empty() && value.size() <= 9 &&
          std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
      const int n = digits ? std::atoi(value.c_str()) : -1;
      int highest = info->highest;
      if (k == "ReName-DDDay") highest = dayCount() - 1;
      int lowest = info->lowest;
      if (k == "ReName-YYYYDay") {
        lowest = number("ReName-YYYYStart_Set");
        highest = number("ReName-YYYYEnd_Set");
      }
      if (!digits || n < lowest || n > highest)
        return "must be a whole number from " + std::to_string(lowest) + " to " +
               std::to_string(highest);
      if (info->form == KeyForm::Year)
        setYear(k, n);
      else
        setListPosition(k, n);
      return {};
    }
    case KeyForm::Decimal: {
      const bool digits =
          !value.empty() && value.size() <= 9 &&
          std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
      if (!digits) return "must be a whole number of at most 9 digits";
      setStartNo(value);
      return {};
    }
    case KeyForm::Folder: {
      if (value.size() < 3 || value[1] != ':' || value[2] != '\\')
        return "must be a folder (an absolute path)";
      if (k == "ReName-InDir") {
        setInDir(value);
      } else if (k == "ReName-OutDir") {
        if (mode() == Mode::Stay) return "in Stay mode the target folder is the source folder";
        setOutDir(value);
      } else {
        write(k, value);
      }
      return {};
    }
  }
  return {};
}

std::string RenameSettings::nameSample() const {
  switch (format()) {
    case NameFormat::Date:
      return "YYYYMMDD_HHMMSS";
    case NameFormat::Number: {
      const std::string start = text("ReName-StartNo");
      const int zeros = number("ReName-Namber") + 1 - static_cast<int>(start.size());
      return std::string(zeros > 0 ? zeros : 0, '0') + start;
    }
    case NameFormat::Name:
      return "*******";
  }
  return {};
}

std::string RenameSettings::extensionSample() const {
  if (option("ReName-MojiL")) return ".NEF";
  if (option("ReName-MojiS")) return ".nef";
  return ".Nef";
}

}  // namespace quillmere::rename
