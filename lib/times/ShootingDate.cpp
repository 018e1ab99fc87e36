#include "times/ShootingDate.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace quillmere::times {

namespace {

constexpr std::size_t kWindow = 19;
constexpr std::size_t kChunk = 48 * 1024;
// The first read takes the head a picture usually has within the default 256 lines (compressed
// data has a line end about every 128 bytes: some 33 KB), without copying much more.
constexpr std::size_t kFirstRead = 36 * 1024;

bool in(char c, char lo, char hi) {
  return c >= lo && c <= hi;
}

std::int32_t number(const char* p, int digits) {
  std::int32_t v = 0;
  for (int i = 0; i < digits; ++i) v = v * 10 + (p[i] - '0');
  return v;
}

#if defined(__x86_64__)
bool haveAvx2() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2;
}

// The same with 32 bytes a step, on processors that have AVX2.
template <typename Visit>
__attribute__((target("avx2"))) std::size_t colonPairsAvx2(const char* p, std::size_t i,
                                                           std::size_t to, Visit& visit) {
  const __m256i colon = _mm256_set1_epi8(':');
  for (; i + 32 <= to; i += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 3));
    unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(
        _mm256_and_si256(_mm256_cmpeq_epi8(a, colon), _mm256_cmpeq_epi8(b, colon))));
    while (mask != 0) {
      visit(i + static_cast<std::size_t>(__builtin_ctz(mask)));
      mask &= mask - 1;
    }
  }
  return i;
}

// The state of splitting one chunk into lines.
struct Split {
  char* out;            // where the next line bytes go in the joined buffer
  std::size_t segment;  // start of the current line in the chunk
  std::int64_t lines;
  std::int64_t maxLines;
  std::size_t consumed;
  bool pendingCr;
  bool stop;
};

// Splits data[i, n) into lines 32 bytes a step: line bytes are appended to st.out (with vector
// moves that may write up to 31 bytes past the line; the buffer has room), line ends counted,
// and the split stops after st.maxLines lines. data must be readable 32 bytes past n. Answers
// where the vector steps ended.
__attribute__((target("avx2"))) std::size_t splitAvx2(const char* data, std::size_t i,
                                                      std::size_t n, Split& st) {
  const __m256i cr = _mm256_set1_epi8('\r');
  const __m256i lf = _mm256_set1_epi8('\n');
  char* out = st.out;
  std::size_t segment = st.segment;
  std::int64_t lines = st.lines;
  for (; i + 32 <= n; i += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
    unsigned mask = static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v, cr), _mm256_cmpeq_epi8(v, lf))));
    while (mask != 0) {
      const std::size_t t = i + static_cast<std::size_t>(__builtin_ctz(mask));
      mask &= mask - 1;
      if (t < segment) continue;  // the LF of a CR LF pair
      for (std::size_t k = segment; k < t; k += 32)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + (k - segment)),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + k)));
      out += t - segment;
      ++lines;
      std::size_t next = t + 1;
      if (data[t] == '\r') {
        if (next < n && data[next] == '\n') {
          ++next;
        } else if (next == n) {
          st.pendingCr = true;
        }
      }
      segment = next;
      if (lines >= st.maxLines) {
        st.stop = true;
        st.consumed = next;
        st.out = out;
        st.segment = segment;
        st.lines = lines;
        return i;
      }
    }
  }
  st.out = out;
  st.segment = segment;
  st.lines = lines;
  return i;
}
#endif

// Calls visit(i) for every i in [from, to) with p[i] == ':' and p[i + 3] == ':' (the two colons
// of a date's first half); p[to + 2] must be readable.
template <typename Visit>
void forEachColonPair(const char* p, std::size_t from, std::size_t to, Visit visit) {
  std::size_t i = from;
#if defined(__x86_64__)
  if (haveAvx2()) i = colonPairsAvx2(p, i, to, visit);
#endif
#if defined(__SSE2__)
  const __m128i colon = _mm_set1_epi8(':');
  for (; i + 16 <= to; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 3));
    unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, colon), _mm_cmpeq_epi8(b, colon))));
    while (mask != 0) {
      visit(i + static_cast<std::size_t>(__builtin_ctz(mask)));
      mask &= mask - 1;
    }
  }
#endif
  for (; i < to; ++i)
    if (p[i] == ':' && p[i + 3] == ':') visit(i);
}

// Bit mask of the CR and LF bytes among the 16 bytes at p.
#if defined(__SSE2__)
unsigned lineEnds16(const char* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
      _mm_cmpeq_epi8(v, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\n')))));
}
#endif

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

namespace {

// The search on a file opened for it, from its first byte.
// A known size of a regular file ends the reads there, instead of one more read that finds the
// end.
void searchHead(platform::fileops::InputFile& file, std::int64_t maxLines, double timeoutSeconds,
                ShootingDate& result, std::optional<std::uint64_t> knownSize = std::nullopt) {
  if (maxLines < 1) return;

  const auto start = std::chrono::steady_clock::now();
  // Buffers kept between calls: the search runs once per picture of a large folder.
  thread_local std::vector<char> raw;
  thread_local std::vector<char> joined;
  if (raw.size() < kChunk + 64) raw.resize(kChunk + 64);
  if (joined.size() < kChunk + kWindow + 64) joined.resize(kChunk + kWindow + 64);
  // joined holds the joined head as it streams by: the last kWindow - 1 bytes of the previous
  // chunks, then this chunk's bytes without line ends. Windows that start in the carried bytes
  // did not fit before, so every window is examined exactly once.
  std::size_t carried = 0;
  std::uint64_t joinedBase = 0;  // position in the whole joined head of joined[0]
  char found[kWindow];
  bool pendingCr = false;
  std::int64_t lines = 0;
  bool stop = false;
  std::uint64_t readSoFar = 0;

  while (!stop) {
    std::size_t want = readSoFar == 0 ? kFirstRead : kChunk;
    if (knownSize)
      want = static_cast<std::size_t>(std::min<std::uint64_t>(want, *knownSize - readSoFar));
    std::size_t n = 0;
    if (want == 0 || !file.read(raw.data(), want, n) || n == 0) break;
    readSoFar += n;
    // A short read is the end of the file, and so is its known size.
    const bool atEnd = n < want || (knownSize && readSoFar >= *knownSize);
    const char* data = raw.data();
    char* out = joined.data() + carried;
    std::size_t segment = 0;  // start of the current line's bytes in data
    if (pendingCr && data[0] == '\n') segment = 1;
    pendingCr = false;
    std::size_t consumed = n;

    // Each line end: copy the line's bytes, count it, skip LF after CR.
    auto lineEnd = [&](std::size_t t) {
      if (t < segment) return false;  // the LF of a CR LF pair, already skipped
      std::memcpy(out, data + segment, t - segment);
      out += t - segment;
      ++lines;
      std::size_t next = t + 1;
      if (data[t] == '\r') {
        if (next < n && data[next] == '\n') {
          ++next;
        } else if (next == n) {
          pendingCr = true;
        }
      }
      segment = next;
      if (lines >= maxLines) {
        stop = true;
        consumed = next;
        return true;
      }
      return false;
    };
    std::size_t i = 0;
#if defined(__x86_64__)
    if (haveAvx2()) {
      Split st{out, segment, lines, maxLines, consumed, pendingCr, false};
      i = splitAvx2(data, 0, n, st);
      out = st.out;
      segment = st.segment;
      lines = st.lines;
      pendingCr = st.pendingCr;
      if (st.stop) {
        stop = true;
        consumed = st.consumed;
      }
    }
#endif
#if defined(__SSE2__)
    for (; i + 16 <= n && !stop; i += 16) {
      unsigned mask = lineEnds16(data + i);
      while (mask != 0 && !stop) {
        lineEnd(i + static_cast<std::size_t>(__builtin_ctz(mask)));
        mask &= mask - 1;
      }
    }
#endif
    for (; i < n && !stop; ++i)
      if (data[i] == '\r' || data[i] == '\n') lineEnd(i);
    if (!stop && segment < n) {
      std::memcpy(out, data + segment, n - segment);
      out += n - segment;
    }
    result.bytesRead += consumed;

    // Search the windows that fit: a date text has ':' at offsets 4 and 7.
    const std::size_t len = static_cast<std::size_t>(out - joined.data());
    if (len >= kWindow) {
      const char* base = joined.data();
      std::memset(out, 0, 16);  // the pair scan may look a few bytes past the end
      forEachColonPair(base, 4, len - kWindow + 5, [&](std::size_t colon) {
        const std::size_t s = colon - 4;
        if (joinedBase + s >= 1 && isDateText(base + s)) {
          std::memcpy(found, base + s, kWindow);
          result.found = true;
        }
      });
      carried = kWindow - 1;
      std::memmove(joined.data(), base + len - carried, carried);
      joinedBase += len - carried;
    } else {
      carried = len;
    }

    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!stop && elapsed > timeoutSeconds) {
      result.timedOut = true;
      break;
    }
    if (atEnd) break;
  }
  if (result.found) {
    result.year = number(found, 4);
    result.month = number(found + 5, 2);
    result.day = number(found + 8, 2);
    result.hour = number(found + 11, 2);
    result.minute = number(found + 14, 2);
    result.second = number(found + 17, 2);
  }
}

}  // namespace

platform::FileResult findShootingDate(const std::string& nativePath, std::int64_t maxLines,
                                      double timeoutSeconds, ShootingDate& result) {
  result = ShootingDate{};
  platform::fileops::InputFile file;
  if (platform::FileResult r = file.open(nativePath); !r) return r;
  searchHead(file, maxLines, timeoutSeconds, result);
  return {};
}

platform::FileResult surveyPicture(const std::string& nativePath, std::int64_t maxLines,
                                   double timeoutSeconds, PictureFacts& facts) {
  facts = PictureFacts{};
  platform::fileops::InputFile file;
  if (platform::FileResult r = file.open(nativePath); !r) return r;
  std::optional<std::uint64_t> size;
  if (platform::FileResult r = file.readTimes(facts.times, &size); !r) return r;
  searchHead(file, maxLines, timeoutSeconds, facts.date, size);
  return {};
}

}  // namespace quillmere::times
