#include "platform/Text.h"

#include <iconv.h>

#include <bitset>
#include <cerrno>
#include <cstdint>
#include <memory>

namespace quillmere::text {

bool isValidUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p < end) {
    const std::uint8_t c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    int extra = 0;
    std::uint32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (end - p <= extra) return false;
    for (int i = 1; i <= extra; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    p += extra + 1;
  }
  return true;
}

namespace {

std::optional<std::string> convert(const char* to, const char* from, std::string_view in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  out.resize(in.size() * 2 + 16);
  char* inPtr = const_cast<char*>(in.data());
  std::size_t inLeft = in.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  bool ok = true;
  while (inLeft > 0) {
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) {
      const std::size_t used = out.size() - outLeft;
      out.resize(out.size() * 2);
      outPtr = out.data() + used;
      outLeft = out.size() - used;
      continue;
    }
    ok = false;  // EILSEQ or EINVAL: not valid in the source encoding
    break;
  }
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace

std::optional<std::string> cp932ToUtf8(std::string_view bytes) {
  return convert("UTF-8", "CP932", bytes);
}

std::optional<std::string> utf8ToCp932(std::string_view utf8) {
  if (!isValidUtf8(utf8)) return std::nullopt;
  return convert("CP932", "UTF-8", utf8);
}

std::size_t utf8Next(std::string_view bytes, std::size_t pos, char32_t& cp) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data()) + pos;
  const std::size_t left = bytes.size() - pos;
  const std::uint8_t c = p[0];
  cp = 0xFFFD;
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  std::size_t extra = 0;
  char32_t v = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    extra = 1;
    v = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    extra = 2;
    v = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    extra = 3;
    v = c & 0x07;
  } else {
    return 1;
  }
  if (left <= extra) return 1;
  for (std::size_t i = 1; i <= extra; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 1;
    v = (v << 6) | (p[i] & 0x3F);
  }
  if ((extra == 2 && v < 0x800) || (extra == 3 && (v < 0x10000 || v > 0x10FFFF)) ||
      (v >= 0xD800 && v <= 0xDFFF))
    return 1;
  cp = v;
  return extra + 1;
}

namespace {

// The BMP characters CP932 writes with two bytes, found once by decoding every double-byte code.
std::unique_ptr<std::bitset<0x10000>> buildDoubleByteSet() {
  auto set = std::make_unique<std::bitset<0x10000>>();
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return set;
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      char out[8];
      char* inPtr = in;
      char* outPtr = out;
      std::size_t inLeft = 2, outLeft = sizeof out;
      if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        continue;
      }
      char32_t cp = 0;
      const std::string_view decoded(out, sizeof out - outLeft);
      if (!decoded.empty() && utf8Next(decoded, 0, cp) == decoded.size() && cp < 0x10000)
        set->set(cp);
    }
  }
  iconv_close(cd);
  return set;
}

}  // namespace

int cp932Width(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xFF61 && cp <= 0xFF9F) || cp >= 0x10000) return 1;
  static const std::unique_ptr<std::bitset<0x10000>> doubleByte = buildDoubleByteSet();
  return doubleByte->test(cp) ? 2 : 1;
}

std::string asciiLower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string asciiUpper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace quillmere::text
