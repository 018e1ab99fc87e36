#include "settings/KeyTable.h"

#include <algorithm>

#include "platform/Text.h"

namespace quillmere::settings {

namespace {

// Edit distance of two names, ignoring ASCII case.
std::size_t editDistance(std::string_view a, std::string_view b) {
  const std::string x = text::asciiLower(a);
  const std::string y = text::asciiLower(b);
  std::vector<std::size_t> row(y.size() + 1);
  for (std::size_t j = 0; j <= y.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= x.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= y.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[y.size()];
}

// The option name without its section word: "ReName-Copy_Mode" -> "Copy_Mode".
std::string_view optionPart(std::string_view key) {
  const std::size_t dash = key.find('-');
  return dash == std::string_view::npos ? key : key.substr(dash + 1);
}

bool isWholeNumber(std::string_view v) {
  std::size_t i = v.starts_with('-') ? 1 : 0;
  if (i == v.size() || v.size() - i > 9) return false;
  for (; i < v.size(); ++i)
    if (v[i] < '0' || v[i] > '9') return false;
  return true;
}

}  // namespace

const KeyDescription* findKeyDescription(const KeyTable& table, std::string_view key) {
  for (const auto& k : table)
    if (text::equalsNoCase(k.key, key)) return &k;
  return nullptr;
}

std::vector<std::string> closestKeys(const KeyTable& table, std::string_view key) {
  std::vector<std::pair<std::size_t, std::string>> ranked;
  for (const auto& k : table)
    ranked.emplace_back(
        std::min(editDistance(k.key, key), editDistance(optionPart(k.key), optionPart(key))),
        k.key);
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> out;
  for (const auto& [distance, name] : ranked) {
    if (out.size() == 3) break;
    out.push_back(name);
  }
  return out;
}

std::string valueFormError(const KeyDescription& key, std::string_view value) {
  switch (key.form) {
    case ValueForm::Check:
      return value == "0" || value == "1" ? "" : "takes 0 or 1";
    case ValueForm::Option:
      if (text::equalsNoCase(value, "True")) return {};
      if (text::equalsNoCase(value, "False"))
        return "an option button is chosen by setting a member of its group True";
      return "takes True";
    case ValueForm::TrueFalse:
      return text::equalsNoCase(value, "True") || text::equalsNoCase(value, "False")
                 ? ""
                 : "takes True or False";
    case ValueForm::Number: {
      if (!isWholeNumber(value)) return "takes " + allowedValues(key);
      const long n = std::stol(std::string(value));
      return n < key.lowest || n > key.highest ? "takes " + allowedValues(key) : "";
    }
    case ValueForm::Folder:
      return value.empty() ? "takes a folder" : "";
    case ValueForm::Text:
      return {};
  }
  return {};
}

std::string allowedValues(const KeyDescription& key) {
  switch (key.form) {
    case ValueForm::Check:
      return "0 or 1";
    case ValueForm::Option:
      return "True (chooses it among " + key.group + ")";
    case ValueForm::TrueFalse:
      return "True or False";
    case ValueForm::Number:
      return "a whole number from " + std::to_string(key.lowest) + " to " +
             std::to_string(key.highest);
    case ValueForm::Folder:
      return "a folder";
    case ValueForm::Text:
      return "any text";
  }
  return {};
}

}  // namespace quillmere::settings
