#pragma once

#include <optional>
#include <string>
#include <vector>

#include "settings/KeyTable.h"

namespace quillmere::rename {

inline constexpr const char* kSection = "ReName";

enum class Mode { Copy, Stay, Move };
enum class CaseOption { Upper, Lower, AsBuilt };
enum class NameFormat { Date, Number, Name };

// The stored form of a key.
enum class KeyForm {
  Option,   // "True" / "False": one member of an option group
  Check,    // "0" / "1"
  List,     // a 0-based list position
  Year,     // a year, 1900..2100
  Decimal,  // a decimal number typed by the user (the first running number)
  Folder,   // a path text
};

struct KeyInfo {
  const char* key;  // "ReName-Copy_Mode"
  KeyForm form;
  const char* defaultValue;  // nullptr: the program drive (folder keys) or no default
  const char* meaning;       // one line for the runner's help
  int lowest = 0;            // list and year keys: the allowed range of the stored number
  int highest = 0;
  const char* group = nullptr;  // option keys: the buttons chosen among
};

// Every key of the section, in the order of the option table.
const std::vector<KeyInfo>& keyTable();
// The same table in the form the runner checks and describes.
const settings::KeyTable& describedKeys();
// The key of that name, ignoring ASCII case; nullptr for none.
const KeyInfo* findKey(const std::string& key);
// The twenty keys the panel reads and writes back when it loads, in that order.
const std::vector<std::string>& normalisedKeys();

// List contents of the detailed settings.
std::vector<std::string> byteItems();                    // "256" ... "2048"
std::vector<std::string> yearItems();                    // "1900" ... "2100"
std::vector<std::string> numberItems();                  // "         1" ... " 123456789"
std::vector<std::string> dayItems(int year, int month);  // "1" ... last day of the month
int daysInMonth(int year, int month);

// The options of one rename run, read once before it starts (missing or garbled keys give the
// defaults of the key table). Nothing is read from the settings file while files are handled.
struct RenameOptions {
  Mode mode = Mode::Stay;
  NameFormat format = NameFormat::Date;
  CaseOption caseOption = CaseOption::AsBuilt;
  std::string inDir;               // "ReName-InDir"
  std::string outDir;              // "ReName-OutDir"; in Stay mode the source folder itself
  bool lookSubDir = true;          // "ReName-LookSubDir"
  bool makeSubDir = true;          // "ReName-MakeSubDir"
  bool removeEmptyInDirs = true;   // "ReName-SubDirDel1"
  bool removeEmptyOutDirs = true;  // "ReName-SubDirDel2" (Copy and Move modes)
  int headLines = 256;             // "ReName-File_Byte": (value + 2) x 128 lines searched
  bool setTimes = false;           // "ReName-TimeStamp"
  bool givenTime = false;          // "ReName-TimeStampChange"
  // The given time stamp (year, month, day, hour, minute, second), the day within its month.
  int given[6] = {2000, 1, 1, 0, 0, 0};
  int startNumber = 0;         // "ReName-StartNo"
  int minimumDigits = 3;       // "ReName-Namber" + 1
  bool autoIncrement = false;  // "ReName-AutoIncrement"
  bool setAttribute = false;   // "ReName-Attribute"
  bool readOnly = false;       // "ReName-Read"
  bool mediaDates = false;     // "ReName-MediaDate": dates of MP4, MOV and HEIC files as well
  bool skipImported = false;   // "ReName-SkipImported" (Copy and Move modes only)
  bool sidecars = false;       // "ReName-Sidecars": related files take their picture's name
};

// The rename options in the settings file, read and written through Main. No widgets: the
// rename panel drives it, and so does the runner's --set.
class RenameSettings {
 public:
  // iniPath: the settings file as a path text; programDrive: the default of the folder keys
  // (the lower-case drive root of the program folder, as DLL_DiskName gives it).
  RenameSettings(std::string iniPath, std::string programDrive);

  const std::string& iniPath() const { return m_ini; }

  // The stored text, or the key's default.
  std::string text(const std::string& key) const;
  void write(const std::string& key, const std::string& value) const;

  // Readings with a defined outcome for garbled values: a value that does not convert is
  // read as the key's default.
  bool option(const std::string& key) const;  // option keys
  bool check(const std::string& key) const;   // check keys: on when the value is 1
  int number(const std::string& key) const;   // list, year and decimal keys

  Mode mode() const;
  CaseOption caseOption() const;
  NameFormat format() const;
  std::string inDir() const { return text("ReName-InDir"); }
  std::string outDir() const { return text("ReName-OutDir"); }

  // Everything a run reads, in one pass over the settings file.
  RenameOptions runOptions() const;

  // The panel's load: each of the twenty keys read with its default and written back.
  void normaliseOnLoad() const;

  // Control changes, each writing what the panel writes.
  void chooseMode(Mode m) const;
  void chooseCase(CaseOption c) const;
  void chooseFormat(NameFormat f) const;
  void setLookSubDir(bool on) const;
  void setSubDirDel1(bool on) const;
  void setCheck(const std::string& key, bool on) const;
  void setInDir(const std::string& folder) const;
  void setOutDir(const std::string& folder) const;
  // Year lists keep their pairs ordered; the given-date lists keep YYYYDay and DDDay valid.
  void setYear(const std::string& key, int year) const;
  void setListPosition(const std::string& key, int position) const;
  void setStartNo(const std::string& text) const;

  // Applies one "KEY=VALUE" as the panel's control would. Returns an error text when the
  // control could never hold the value (the settings file is then left as it was).
  std::string applyControl(const std::string& key, const std::string& value) const;

  // The day list of the given time stamp: its length, and DDDay brought within it.
  int dayCount() const;
  void clampDay() const;

  // Samples shown beside the options.
  std::string nameSample() const;
  std::string extensionSample() const;

 private:
  std::string defaultOf(const KeyInfo& info) const;

  std::string m_ini;
  std::string m_programDrive;
};

}  // namespace quillmere::rename
