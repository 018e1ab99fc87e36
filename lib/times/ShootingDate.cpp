#include "times/ShootingDate.h"

#include <chrono>
#include <cstring>
#include <vector>

namespace quillmere::times {

namespace {

constexpr std::size_t kWindow = 19;
constexpr std::size_t kChunk = 32 * 1024;

bool in(char c, char lo, char hi) {
  return c >= lo && c <= hi;
}

std::int32_t number(const char* p, int digits) {
  std::int32_t v = 0;
  for (int i = 0; i < digits; ++i) v = v * 10 + (p[i] - '0');
  return v;
}

}  // namespace

bool isDateText(const char* p) {
  return in(p[0], '1', '2') && in(p[1], '0', '9') && in(p[2], '0', '9') && in(p[3], '0', '9') &&
         p[4] == ':' && in(p[5], '0', '1') && in(p[6], '0', '9') && p[7] == ':' &&
         in(p[8], '0', '3') && in(p[9], '0', '9') && in(p[11], '0', '2') && in(p[12], '0', '9') &&
         p[13] == ':' && in(p[14], '0', '5') && in(p[15], '0', '9') && p[16] == ':' &&
         in(p[17], '0', '5') && in(p[18], '0', '9');
}

std::size_t findLastDate(std::string_view head) {
  if (head.size() < kWindow + 1) return std::string_view::npos;
  for (std::size_t s = head.size() - kWindow; s >= 1; --s)
    if (isDateText(head.data() + s)) return s;
  return std::string_view::npos;
}

platform::FileResult findShootingDate(const std::string& nativePath, std::int64_t maxLines,
                                      double timeoutSeconds, ShootingDate& result) {
  result = ShootingDate{};
  platform::fileops::InputFile file;
  if (platform::FileResult r = file.open(nativePath); !r) return r;
  if (maxLines < 1) return {};

  const auto start = std::chrono::steady_clock::now();
  std::vector<char> raw(kChunk);
  // The joined head as it streams by: the last kWindow - 1 bytes of the previous chunks, then
  // this chunk's bytes without line ends. Windows that start in the carried bytes did not fit
  // before, so every window is examined exactly once.
  std::vector<char> joined;
  joined.reserve(kChunk + kWindow);
  std::uint64_t joinedBase = 0;  // position in the whole joined head of joined[0]
  char found[kWindow];
  bool pendingCr = false;
  std::int64_t lines = 0;
  bool stop = false;

  while (!stop) {
    std::size_t n = 0;
    if (!file.read(raw.data(), raw.size(), n) || n == 0) break;
    const char* data = raw.data();
    std::size_t i = 0;
    if (pendingCr && data[0] == '\n') i = 1;
    pendingCr = false;
    std::size_t consumed = n;
    // Next CR and LF positions in the chunk, found lazily.
    const char* nextCr = nullptr;
    const char* nextLf = nullptr;
    bool crDone = false, lfDone = false;
    while (i < n) {
      if (!crDone && (nextCr == nullptr || nextCr < data + i)) {
        nextCr = static_cast<const char*>(std::memchr(data + i, '\r', n - i));
        crDone = nextCr == nullptr;
      }
      if (!lfDone && (nextLf == nullptr || nextLf < data + i)) {
        nextLf = static_cast<const char*>(std::memchr(data + i, '\n', n - i));
        lfDone = nextLf == nullptr;
      }
      const char* end = crDone ? nextLf : (lfDone ? nextCr : std::min(nextCr, nextLf));
      if (end == nullptr) {
        joined.insert(joined.end(), data + i, data + n);
        i = n;
        break;
      }
      const std::size_t t = static_cast<std::size_t>(end - data);
      joined.insert(joined.end(), data + i, data + t);
      ++lines;
      std::size_t next = t + 1;
      if (data[t] == '\r') {
        if (next < n && data[next] == '\n') {
          ++next;
        } else if (next == n) {
          pendingCr = true;
        }
      }
      i = next;
      if (lines >= maxLines) {
        stop = true;
        consumed = i;
        break;
      }
    }
    result.bytesRead += consumed;

    // Search the windows that fit; a date text has ':' at offsets 4 and 7.
    const std::size_t len = joined.size();
    if (len >= kWindow) {
      const char* base = joined.data();
      std::size_t from = 4;
      while (from + kWindow - 4 <= len) {
        const char* colon =
            static_cast<const char*>(std::memchr(base + from, ':', len - from - (kWindow - 5)));
        if (colon == nullptr) break;
        const std::size_t s = static_cast<std::size_t>(colon - base) - 4;
        if (colon[3] == ':' && joinedBase + s >= 1 && isDateText(base + s)) {
          std::memcpy(found, base + s, kWindow);
          result.found = true;
        }
        from = static_cast<std::size_t>(colon - base) + 1;
      }
      const std::size_t keep = kWindow - 1;
      joinedBase += len - keep;
      joined.erase(joined.begin(), joined.end() - static_cast<std::ptrdiff_t>(keep));
    }

    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!stop && elapsed > timeoutSeconds) {
      result.timedOut = true;
      break;
    }
  }
  if (result.found) {
    result.year = number(found, 4);
    result.month = number(found + 5, 2);
    result.day = number(found + 8, 2);
    result.hour = number(found + 11, 2);
    result.minute = number(found + 14, 2);
    result.second = number(found + 17, 2);
  }
  return {};
}

}  // namespace quillmere::times
