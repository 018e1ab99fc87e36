#include "settings/ValueText.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/Text.h"

namespace quillmere::settings {

namespace {

std::string_view trimmed(std::string_view s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  const auto e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// The length of the decimal number at the start of s (sign, digits, fraction); 0 for none.
std::size_t numberLength(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const std::size_t digits = i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  bool any = i > digits;
  if (i < s.size() && s[i] == '.') {
    const std::size_t fraction = ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    any = any || i > fraction;
  }
  return any ? i : 0;
}

}  // namespace

std::optional<double> numberValue(std::string_view text) {
  const std::string_view s = trimmed(text);
  const std::size_t length = numberLength(s);
  if (length == 0) return std::nullopt;
  const double v = std::strtod(std::string(s.substr(0, length)).c_str(), nullptr);
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

double numberOrZero(std::string_view text) {
  return numberValue(text).value_or(0);
}

std::optional<bool> flagValue(std::string_view text) {
  const std::string_view s = trimmed(text);
  if (text::equalsNoCase(s, "True")) return true;
  if (text::equalsNoCase(s, "False")) return false;
  if (s.empty() || numberLength(s) != s.size()) return std::nullopt;
  return numberOrZero(s) != 0;
}

bool flagOr(std::string_view text, bool fallback) {
  return flagValue(text).value_or(fallback);
}

}  // namespace quillmere::settings
