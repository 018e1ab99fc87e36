#pragma once

#include <optional>
#include <string_view>

namespace quillmere::settings {

// How a stored value text reads as a number or a flag. Every reader of the settings file uses
// these two, so one text never means two things. Blanks and tabs around the text are ignored.

// The leading decimal number of the text, with an optional sign and fraction ("1", "1.0", " 01"
// and "1abc" are 1); nothing when the text does not start with one.
std::optional<double> numberValue(std::string_view text);
// The same, 0 when the text does not start with a number.
double numberOrZero(std::string_view text);

// "True" or "False" in any case, or a text that is wholly a number (not 0 is true). Nothing for
// any other text ("1abc", "yes", ""), which the caller reads as the key's default.
std::optional<bool> flagValue(std::string_view text);
bool flagOr(std::string_view text, bool fallback);

}  // namespace quillmere::settings
