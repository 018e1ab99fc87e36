#pragma once

#include <cstddef>
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

// Decodes the UTF-8 character that starts at bytes[pos]: its code point in cp and its length in
// bytes as the result. A byte that starts no well-formed sequence is one character of its own
// (cp = U+FFFD), so text that is not UTF-8 is walked byte by byte.
std::size_t utf8Next(std::string_view bytes, std::size_t pos, char32_t& cp);

// Width of one character in CP932 (Japanese Windows) bytes: 1 for ASCII and half-width katakana,
// 2 for the other characters CP932 encodes with two bytes, 1 for characters CP932 cannot encode.
int cp932Width(char32_t cp);

// ASCII-only case folding, as used for section, key and drive names.
std::string asciiLower(std::string_view s);
std::string asciiUpper(std::string_view s);
bool equalsNoCase(std::string_view a, std::string_view b);

}  // namespace quillmere::text
