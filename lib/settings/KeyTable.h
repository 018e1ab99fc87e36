#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillmere::settings {

// The stored form of a key's value.
enum class ValueForm {
  Check,      // "0" or "1"
  Option,     // "True" chooses this button of its group; the others become "False"
  TrueFalse,  // "True" or "False" (a pair of option buttons kept in one key)
  Number,     // a whole number from lowest to highest
  Folder,     // a folder, stored as its path text
  Text,       // any text
};

// One key of a settings section, as its settings code reads it and as the runner describes it.
struct KeyDescription {
  std::string key;  // full name, "ReName-Copy_Mode"
  ValueForm form = ValueForm::Text;
  std::string defaultValue{};  // shown as it is; "program drive" for the folder keys
  std::string meaning{};
  std::string group{};  // option keys: the group of buttons it belongs to
  int lowest = 0;       // number keys
  int highest = 0;
};

using KeyTable = std::vector<KeyDescription>;

// The key of that name, ignoring ASCII case; nullptr for none.
const KeyDescription* findKeyDescription(const KeyTable& table, std::string_view key);

// The keys of the table whose names come closest to a mistyped one, best first (at most three).
std::vector<std::string> closestKeys(const KeyTable& table, std::string_view key);

// Why the value does not have the key's form ("takes 0 or 1"); empty when it has.
std::string valueFormError(const KeyDescription& key, std::string_view value);

// The allowed values of a key in words ("0 or 1", "a whole number from 0 to 8").
std::string allowedValues(const KeyDescription& key);

}  // namespace quillmere::settings
