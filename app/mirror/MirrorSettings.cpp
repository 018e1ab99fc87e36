#include "mirror/MirrorSettings.h"

#include <string>
#include <utility>

#include "core/Main.h"
#include "settings/ValueText.h"

namespace quillmere::mirror {

namespace {

// Key name of a saved row: row 0 is the current key itself.
std::string rowKey(const std::string& name, int row) {
  return row == 0 ? name : name + "_" + std::to_string(row);
}

std::string indexed(const char* family, int j) {
  return family + std::to_string(j);
}

// The option keys of the load routine, in the order it reads and writes them back.
const std::vector<std::pair<std::string, std::string>>& loadOrder() {
  static const std::vector<std::pair<std::string, std::string>> order = [] {
    std::vector<std::pair<std::string, std::string>> v = {
        {key::kDustBox, "1"},     {key::kClrDustBox, "0"},    {key::kSubDirDel1, "0"},
        {key::kSubDirDel2, "0"},  {key::kTimer, "0"},         {key::kMaster, "1"},
        {key::kMaster1, "False"}, {key::kMirror, "1"},        {key::kMirror1, "False"},
        {key::kBinCheck, "1"},    {key::kBinCheck1, "False"}, {key::kShutDown, "0"},
        {key::kWinShutDown, "0"}, {key::kOptionSelect, "5"},
    };
    for (int j = 0; j < kWeekCount; ++j) v.emplace_back(indexed(key::kWeek, j), "0");
    for (int j = 0; j < kHourCount; ++j) v.emplace_back(indexed(key::kHour, j), "0");
    for (int j = 0; j < kMinuteCount; ++j) v.emplace_back(indexed(key::kMinute, j), "0");
    return v;
  }();
  return order;
}

std::string checkText(bool b) {
  return b ? "1" : "0";
}
std::string pairText(bool b) {
  return b ? "True" : "False";
}

}  // namespace

const std::array<Preset, 10>& presets() {
  static const std::array<Preset, 10> table = {{
      {"Master⇔Mirrorの完全なミラー", true, false, true, false, true, false},
      {"Master⇔Mirrorの完全なミラー", true, false, true, false, true, false},
      {"Master⇔Mirrorのミラー（バイナリチェック無し）", true, false, true, false, true, true},
      {"Master⇔Mirrorの差分ファイルのミラー", true, false, true, false, false, false},
      {"Master→Mirrorの完全なコピー", true, false, true, true, true, false},
      {"Master→Mirrorのコピー(バイナリチェック無し)", true, false, true, true, true, true},
      {"Master→Mirrorの差分ファイルのコピー", true, false, true, true, false, true},
      {"Master←Mirrorの完全なコピー", true, true, true, false, true, false},
      {"Master←Mirrorのコピー(バイナリチェック無し)", true, true, true, false, true, true},
      {"Master←Mirrorの差分ファイルのコピー", true, true, true, false, false, true},
  }};
  return table;
}

const std::vector<SavedKey>& savedKeys() {
  // The two delete options are copied with the default "False" (copy, not delete): a saved row
  // whose keys went missing must never switch a mirror over to deleting one-sided files.
  static const std::vector<SavedKey> keys = [] {
    std::vector<SavedKey> v = {
        {key::kDustBox, "0"},     {key::kClrDustBox, "0"},  {key::kSubDirDel1, "0"},
        {key::kSubDirDel2, "0"},  {key::kShutDown, "0"},    {key::kWinShutDown, "0"},
        {key::kMaster, "1"},      {key::kMaster1, "False"}, {key::kMirror, "1"},
        {key::kMirror1, "False"}, {key::kBinCheck, "1"},    {key::kBinCheck1, "1"},
        {key::kTimer, "0"},
    };
    for (int j = 0; j < kWeekCount; ++j) v.push_back({indexed(key::kWeek, j), "0"});
    for (int j = 0; j < kHourCount; ++j) v.push_back({indexed(key::kHour, j), "0"});
    for (int j = 0; j < kMinuteCount; ++j) v.push_back({indexed(key::kMinute, j), "0"});
    v.push_back({key::kInDir, "1"});
    v.push_back({key::kOutDir, "1"});
    return v;
  }();
  return keys;
}

MirrorSettings::MirrorSettings(std::string iniPath, std::string programDrive)
    : m_iniPath(std::move(iniPath)), m_programDrive(std::move(programDrive)) {}

std::string MirrorSettings::get(const std::string& keyName, const std::string& defaultValue) const {
  return dll().DLL_GetStringFromINI(m_iniPath, kSection, keyName, defaultValue);
}

void MirrorSettings::put(const std::string& keyName, const std::string& value) const {
  dll().DLL_WriteStringINI(m_iniPath, kSection, keyName, value);
}

void MirrorSettings::load() const {
  for (const auto& [name, defaultValue] : loadOrder()) put(name, get(name, defaultValue));
}

void MirrorSettings::clearPreset() const {
  put(key::kOptionSelect, "0");
}

void MirrorSettings::setCheck(const std::string& keyName, bool checked) const {
  put(keyName, checkText(checked));
  if (keyName == key::kMaster || keyName == key::kMirror || keyName == key::kBinCheck)
    clearPreset();
}

void MirrorSettings::setOptionPair(const std::string& keyName, bool firstButton) const {
  put(keyName, pairText(firstButton));
  if (keyName == key::kMaster1 || keyName == key::kMirror1 || keyName == key::kBinCheck1)
    clearPreset();
}

void MirrorSettings::choosePreset(int index) const {
  if (index < 0 || index > 9) return;
  put(key::kOptionSelect, std::to_string(index));
  if (index == 0) return;
  const Preset& p = presets()[static_cast<std::size_t>(index)];
  put(key::kMaster, checkText(p.master));
  put(key::kMaster1, pairText(p.master1));
  put(key::kMirror, checkText(p.mirror));
  put(key::kMirror1, pairText(p.mirror1));
  put(key::kBinCheck, checkText(p.binCheck));
  put(key::kBinCheck1, pairText(p.binCheck1));
}

int MirrorSettings::preset() const {
  const double v = settings::numberOrZero(get(key::kOptionSelect, "1"));
  return (v >= 0 && v <= 9) ? static_cast<int>(v) : 0;
}

void MirrorSettings::setWeek(const std::array<bool, kWeekCount>& days) const {
  for (int j = 0; j < kWeekCount; ++j) put(indexed(key::kWeek, j), checkText(days[j]));
}

void MirrorSettings::setHours(const std::array<bool, kHourCount>& hours) const {
  for (int j = 0; j < kHourCount; ++j) put(indexed(key::kHour, j), checkText(hours[j]));
}

void MirrorSettings::setMinutes(const std::array<bool, kMinuteCount>& marks) const {
  for (int j = 0; j < kMinuteCount; ++j) put(indexed(key::kMinute, j), checkText(marks[j]));
}

bool MirrorSettings::scheduleDue(int weekday, int hour, int minute) const {
  if (weekday < 0 || weekday >= kWeekCount || hour < 0 || hour >= kHourCount || minute < 0 ||
      minute >= 60 || minute % 5 != 0)
    return false;
  if (settings::numberOrZero(get(key::kTimer, "0")) == 0) return false;
  if (settings::numberOrZero(get(indexed(key::kWeek, weekday), "0")) == 0) return false;
  if (settings::numberOrZero(get(indexed(key::kHour, hour), "0")) == 0) return false;
  return settings::numberOrZero(get(indexed(key::kMinute, minute / 5), "0")) != 0;
}

int MirrorSettings::settingCount(const std::string& defaultValue) const {
  const double v = settings::numberOrZero(get(key::kSettingList, defaultValue));
  // A garbled count must not send the list loops through millions of rows.
  if (!(v > 0)) return 0;
  return v > 100000 ? 100000 : static_cast<int>(v);
}

std::string MirrorSettings::title(int n, const std::string& defaultValue) const {
  return get(key::kSettingListTitle + std::to_string(n), defaultValue);
}

std::vector<std::string> MirrorSettings::titles(const std::string& countDefault) const {
  std::vector<std::string> out;
  const int count = settingCount(countDefault);
  for (int i = 1; i <= count; ++i) out.push_back(title(i));
  return out;
}

std::optional<int> MirrorSettings::findTitle(const std::string& t, int* candidate) const {
  if (t.empty()) {
    if (candidate) *candidate = 0;
    return std::nullopt;
  }
  const int count = settingCount("0");
  if (candidate) *candidate = count + 1;
  for (int i = 1; i <= count; ++i)
    if (title(i) == t) return i;
  return std::nullopt;
}

void MirrorSettings::copyRow(int fromRow, int toRow, const std::string& titleDefault) const {
  for (const SavedKey& k : savedKeys())
    put(rowKey(k.name, toRow), get(rowKey(k.name, fromRow), k.copyDefault));
  if (!titleDefault.empty() && fromRow > 0 && toRow > 0)
    put(key::kSettingListTitle + std::to_string(toRow), title(fromRow, titleDefault));
}

std::string MirrorSettings::select(int listIndex) const {
  const int n = listIndex + 1;
  const int count = settingCount("1");
  if (n >= 1 && n <= count) copyRow(n, 0, "");
  return title(n);
}

std::optional<SettingList> MirrorSettings::save(const std::string& comboText,
                                                const Confirm& confirm) const {
  if (comboText.empty()) return std::nullopt;
  if (!confirm || !confirm("設定を保存しますか？")) return SettingList{"", titles("0")};
  int candidate = 0;
  int n = 0;
  if (const auto found = findTitle(comboText, &candidate)) {
    n = *found;
  } else {
    put(key::kSettingList, std::to_string(candidate));
    n = settingCount("0");
  }
  put(key::kSettingListTitle + std::to_string(n), comboText);
  copyRow(0, n, "");
  return SettingList{title(n), titles("1")};
}

std::optional<SettingList> MirrorSettings::remove(const std::string& comboText, int listIndex,
                                                  const Confirm& confirm) const {
  if (comboText.empty()) return std::nullopt;
  if (!confirm || !confirm("設定を削除しますか？")) return std::nullopt;
  const int n = listIndex + 1;
  const int count = settingCount("1");
  if (count == 1) {
    put(key::kSettingList, "0");
    return SettingList{};
  }
  if (n < 1 || n > count) return std::nullopt;
  for (int i = n; i <= count; ++i) copyRow(i + 1, i, "0");
  put(key::kSettingList, std::to_string(count - 1));
  return SettingList{title(n, "11111111"), titles("0")};
}

const settings::KeyTable& keyTable() {
  using settings::ValueForm;
  static const settings::KeyTable table = [] {
    settings::KeyTable t = {
        {key::kInDir, ValueForm::Folder, "program drive", "master folder"},
        {key::kOutDir, ValueForm::Folder, "program drive", "mirror folder"},
        {key::kInDir0, ValueForm::Folder, "", "last master folder dropped on the panel"},
        {key::kOutDir0, ValueForm::Folder, "", "last mirror folder dropped on the panel"},
        {key::kOptionSelect, ValueForm::Number, "5",
         "preset: 1-9 set Master, Master1, Mirror, Mirror1, BinCheck and BinCheck1 as the "
         "panel's preset buttons do; 0 sets nothing",
         "preset", 0, 9},
        {key::kDustBox, ValueForm::Check, "1", "deleted and replaced files go to the trash"},
        {key::kClrDustBox, ValueForm::Check, "0", "empty the trash at the start of a run"},
        {key::kSubDirDel1, ValueForm::Check, "0", "after a run, remove empty master folders"},
        {key::kSubDirDel2, ValueForm::Check, "0", "after a run, remove empty mirror folders"},
        {key::kMaster, ValueForm::Check, "1", "handle files found only in the master folder"},
        {key::kMaster1, ValueForm::TrueFalse, "False",
         "True: delete master-only files; False: copy them to the mirror"},
        {key::kMirror, ValueForm::Check, "1", "handle files found only in the mirror folder"},
        {key::kMirror1, ValueForm::TrueFalse, "False",
         "True: delete mirror-only files; False: copy them to the master"},
        {key::kBinCheck, ValueForm::Check, "1", "handle files found on both sides"},
        {key::kBinCheck1, ValueForm::TrueFalse, "False",
         "False: compare the bytes of files on both sides; True: compare size and times only"},
        {key::kTimer, ValueForm::Check, "0", "scheduled runs on (--scheduled)"},
        {key::kShutDown, ValueForm::Check, "0", "end the program after the run (panels only)"},
        {key::kWinShutDown, ValueForm::Check, "0", "shut the machine down too (panels only)"},
    };
    static const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};
    for (int j = 0; j < kWeekCount; ++j)
      t.push_back({indexed(key::kWeek, j), ValueForm::Check, "0",
                   std::string("scheduled runs on ") + kDays[j]});
    for (int j = 0; j < kHourCount; ++j)
      t.push_back({indexed(key::kHour, j), ValueForm::Check, "0",
                   "scheduled runs in hour " + std::to_string(j)});
    for (int j = 0; j < kMinuteCount; ++j)
      t.push_back({indexed(key::kMinute, j), ValueForm::Check, "0",
                   "scheduled runs at minute " + std::to_string(j * 5)});
    return t;
  }();
  return table;
}

}  // namespace quillmere::mirror
