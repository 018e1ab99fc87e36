#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/KeyTable.h"

namespace quillmere::mirror {

inline constexpr const char* kSection = "Mirrorring";

// The option keys of the mirroring panel, without the "Mirrorring-" prefix.
namespace key {
inline constexpr const char* kInDir = "Mirrorring-InDir";
inline constexpr const char* kOutDir = "Mirrorring-OutDir";
inline constexpr const char* kInDir0 = "Mirrorring-InDir0";
inline constexpr const char* kOutDir0 = "Mirrorring-OutDir0";
inline constexpr const char* kDustBox = "Mirrorring-DustBox";
inline constexpr const char* kClrDustBox = "Mirrorring-ClrDustBox";
inline constexpr const char* kSubDirDel1 = "Mirrorring-SubDirDel1";
inline constexpr const char* kSubDirDel2 = "Mirrorring-SubDirDel2";
inline constexpr const char* kMaster = "Mirrorring-Master";
inline constexpr const char* kMaster1 = "Mirrorring-Master1";
inline constexpr const char* kMirror = "Mirrorring-Mirror";
inline constexpr const char* kMirror1 = "Mirrorring-Mirror1";
inline constexpr const char* kBinCheck = "Mirrorring-BinCheck";
inline constexpr const char* kBinCheck1 = "Mirrorring-BinCheck1";
inline constexpr const char* kOptionSelect = "Mirrorring-OptionSelect";
inline constexpr const char* kTimer = "Mirrorring-Timer";
inline constexpr const char* kWeek = "Mirrorring-Week";      // + 0 ... 6
inline constexpr const char* kHour = "Mirrorring-Hour";      // + 0 ... 23
inline constexpr const char* kMinute = "Mirrorring-Minute";  // + 0 ... 11 (minute / 5)
inline constexpr const char* kShutDown = "Mirrorring-ShutDown";
inline constexpr const char* kWinShutDown = "Mirrorring-WinShutDown";
inline constexpr const char* kSettingList = "Mirrorring-SettingList";
inline constexpr const char* kSettingListTitle = "Mirrorring-SettingListTitle_";  // + n
}  // namespace key

inline constexpr int kWeekCount = 7;
inline constexpr int kHourCount = 24;
inline constexpr int kMinuteCount = 12;

// One row of the preset table: the six options a preset button sets.
struct Preset {
  const char* caption;
  bool master;
  bool master1;
  bool mirror;
  bool mirror1;
  bool binCheck;
  bool binCheck1;
};

// Index 1 ... 9 are the nine presets; index 0 is the tenth button, which carries the caption of
// index 1 and sets nothing.
const std::array<Preset, 10>& presets();

// The option keys of the section with their forms, defaults and meanings (the saved-setting
// list's keys are not options of a run and are left out).
const settings::KeyTable& keyTable();

// A key name and the default used when it is copied into or out of a saved setting.
struct SavedKey {
  std::string name;
  std::string copyDefault;
};

// The keys a saved setting holds, in the order they are written.
const std::vector<SavedKey>& savedKeys();

// What the saved-setting combo box shows after an action: its text and its rows.
struct SettingList {
  std::string text;
  std::vector<std::string> titles;
};

// Asks a yes/no question; true on Yes.
using Confirm = std::function<bool(const std::string& question)>;

// The "Mirrorring" section of the settings file as the mirroring panel and its run see it. It
// holds no state of its own: every call reads or writes the settings file through Main.
class MirrorSettings {
 public:
  // programDrive: the lower-case drive root of the program folder, the default of the folder keys.
  MirrorSettings(std::string iniPath, std::string programDrive);

  const std::string& iniPath() const { return m_iniPath; }
  const std::string& programDrive() const { return m_programDrive; }

  std::string get(const std::string& keyName, const std::string& defaultValue) const;
  void put(const std::string& keyName, const std::string& value) const;

  std::string inDir() const { return get(key::kInDir, m_programDrive); }
  std::string outDir() const { return get(key::kOutDir, m_programDrive); }

  // The load routine: reads every option key with its default and writes the result back, in
  // the panel's order, so that after the first opening every key exists.
  void load() const;

  // Check boxes ("0"/"1"). Master, Mirror and BinCheck also clear the preset.
  void setCheck(const std::string& keyName, bool checked) const;
  // Option pairs: Master1, Mirror1, BinCheck1 ("True"/"False"; true = the pair's first button).
  // They also clear the preset.
  void setOptionPair(const std::string& keyName, bool firstButton) const;
  // The preset: 1 ... 9 apply their table row, 0 sets nothing; the index is stored either way.
  void choosePreset(int index) const;
  int preset() const;
  // The schedule arrays: every key of the array is written from the boxes.
  void setWeek(const std::array<bool, kWeekCount>& days) const;
  void setHours(const std::array<bool, kHourCount>& hours) const;
  void setMinutes(const std::array<bool, kMinuteCount>& fiveMinuteMarks) const;

  // True when the schedule keys enable this weekday (0 = Sunday), hour and minute: the timer is
  // on and the weekday, the hour and the five-minute mark are all chosen. Minutes that are not a
  // multiple of 5 are never due.
  bool scheduleDue(int weekday, int hour, int minute) const;

  // Saved settings.
  int settingCount(const std::string& defaultValue) const;
  std::string title(int n, const std::string& defaultValue = "") const;
  // The row whose title equals t exactly; nothing when t is empty or no row has it. candidate
  // receives count + 1 (or 0 for an empty t).
  std::optional<int> findTitle(const std::string& t, int* candidate = nullptr) const;
  // Click on row listIndex (0-based): copies the saved keys of that row back to the current keys
  // and answers the combo's text (the row's title).
  std::string select(int listIndex) const;
  // Enter in the combo with the given text. Nothing when the text is empty; on No the combo's
  // text is cleared and its rows stay.
  std::optional<SettingList> save(const std::string& comboText, const Confirm& confirm) const;
  // Delete or Backspace in the combo; listIndex is -1 when no row is selected.
  std::optional<SettingList> remove(const std::string& comboText, int listIndex,
                                    const Confirm& confirm) const;
  // The combo's rows 1 ... count.
  std::vector<std::string> titles(const std::string& countDefault) const;

 private:
  void clearPreset() const;
  void copyRow(int fromRow, int toRow, const std::string& titleDefault) const;

  std::string m_iniPath;
  std::string m_programDrive;
};

}  // namespace quillmere::mirror
