#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillmere::text {

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// CP932 (Japanese Windows) bytes to UTF-8; nothing when the bytes are not valid CP932.
std::optional<std::string> cp932ToUtf8(std::string_view bytes);

// UTF-8 to CP932 bytes; nothing when a character has no CP932 form or the input is not UTF-8.
std::optional<std::string> utf8ToCp932(std::string_view utf8);

// ASCII-only case folding, as used for section, key and drive names.
std::string asciiLower(std::string_view s);
std::string asciiUpper(std::string_view s);
bool equalsNoCase(std::string_view a, std::string_view b);

}  // namespace quillmere::text
