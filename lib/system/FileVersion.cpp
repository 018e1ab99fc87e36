#include "system/FileVersion.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

QUILLMERE_FILE_VERSION_MARKER(QUILLMERE_VERSION_TEXT);

namespace quillmere::system {

namespace {

// "a.b.c.d" at the start of text (four decimal numbers), or empty.
std::string versionAt(const char* text, std::size_t size) {
  std::string out;
  int numbers = 0;
  std::size_t i = 0;
  while (numbers < 4) {
    const std::size_t start = i;
    while (i < size && text[i] >= '0' && text[i] <= '9' && i - start < 5) ++i;
    if (i == start) return {};
    ++numbers;
    if (numbers < 4) {
      if (i >= size || text[i] != '.') return {};
      ++i;
    }
  }
  out.assign(text, i);
  return out;
}

}  // namespace

std::string fileVersionOf(const std::string& nativePath) {
  // Built piecewise so the search key itself is not found in this library's own text.
  std::string key = "QUILLMERE-";
  key += "FILEVERSION:";
  const int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return "0";
  std::vector<char> buffer(1 << 20);
  std::size_t kept = 0;
  std::string found;
  while (found.empty()) {
    const ssize_t n = ::read(fd, buffer.data() + kept, buffer.size() - kept);
    if (n <= 0) break;
    const std::size_t size = kept + static_cast<std::size_t>(n);
    const std::string_view view(buffer.data(), size);
    for (std::size_t at = view.find(key); at != std::string_view::npos;
         at = view.find(key, at + 1)) {
      found = versionAt(view.data() + at + key.size(), size - at - key.size());
      if (!found.empty()) break;
    }
    // Keep a tail long enough for a marker cut by the buffer's end.
    const std::size_t tail = std::min<std::size_t>(size, key.size() + 32);
    std::memmove(buffer.data(), buffer.data() + size - tail, tail);
    kept = tail;
  }
  ::close(fd);
  return found.empty() ? "0" : found;
}

}  // namespace quillmere::system
