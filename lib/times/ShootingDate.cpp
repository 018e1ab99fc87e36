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

bool isLineEnd(char c) {
  return c == '\r' || c == '\n';
}

bool digitOrColon(char c) {
  return c >= '0' && c <= ':';
}

// Where a head held whole in one buffer ends, and the runs of line-end bytes in it that a date
// could straddle (the byte before or after the run is a digit or a colon).
struct HeadExtent {
  std::size_t end = 0;                 // the head's bytes are data[0, end), line ends included
  std::size_t consumed = 0;            // bytes of the file the search consumed
  bool cut = false;                    // the line limit ended the head before the buffer's end
  std::vector<std::size_t> junctions;  // starts of line-end runs worth a closer look
};

// One line end, counted: answers true when it closes the last line the search takes.
bool countLineEnd(const char* data, std::size_t n, std::size_t t, std::int64_t& lines,
                  std::int64_t maxLines, HeadExtent& extent) {
  if (++lines < maxLines) return false;
  extent.end = t;
  extent.consumed = t + 1;
  if (data[t] == '\r' && t + 1 < n && data[t + 1] == '\n') ++extent.consumed;
  extent.cut = true;
  return true;
}

void noteRunStart(const char* data, std::size_t n, std::size_t a, HeadExtent& extent) {
  if (a == 0) return;
  std::size_t b = a;
  while (b < n && isLineEnd(data[b])) ++b;
  if (digitOrColon(data[a - 1]) || (b < n && digitOrColon(data[b]))) extent.junctions.push_back(a);
}

void scanLineEndsPlain(const char* data, std::size_t i, std::size_t n, std::int64_t& lines,
                       std::int64_t maxLines, HeadExtent& extent) {
  for (; i < n; ++i) {
    if (!isLineEnd(data[i])) continue;
    if (i == 0 || !isLineEnd(data[i - 1])) noteRunStart(data, n, i, extent);
    // The LF of a CR LF pair belongs to the line end the CR began.
    if (data[i] == '\n' && i > 0 && data[i - 1] == '\r') continue;
    if (countLineEnd(data, n, i, lines, maxLines, extent)) return;
  }
}

#if defined(__x86_64__)
// The masks of 64 bytes at p (bit k for p[k]).
struct Masks64 {
  std::uint64_t crs, lfs, digits;  // CR, LF, a digit or colon
};

__attribute__((target("avx2"))) inline void masks32(const char* p, std::uint64_t& crs,
                                                    std::uint64_t& lfs, std::uint64_t& digits) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  crs = static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('\r'))));
  lfs = static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('\n'))));
  digits = static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpgt_epi8(v, _mm256_set1_epi8('0' - 1)),
                                            _mm256_cmpgt_epi8(_mm256_set1_epi8(':' + 1), v))));
}

__attribute__((target("avx2"))) inline Masks64 masks64(const char* p) {
  Masks64 low{}, high{};
  masks32(p, low.crs, low.lfs, low.digits);
  masks32(p + 32, high.crs, high.lfs, high.digits);
  return {low.crs | (high.crs << 32), low.lfs | (high.lfs << 32), low.digits | (high.digits << 32)};
}

// Counts line ends 64 bytes a step without a branch per step; the line ends a date could
// straddle are looked at one by one.
__attribute__((target("avx2,popcnt,bmi"))) std::size_t scanLineEndsAvx2(const char* data,
                                                                        std::size_t n,
                                                                        std::int64_t& lines,
                                                                        std::int64_t maxLines,
                                                                        HeadExtent& extent) {
  // Of the last byte of the previous step: a CR, a line end, a digit or colon.
  std::uint64_t prevCr = 0, prevEnd = 0, prevDigit = 0;
  std::size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    const Masks64 m = masks64(data + i);
    const std::uint64_t ends = m.crs | m.lfs;
    // Runs of line ends with a digit or colon before, or possibly after (the byte after a run
    // of one, or any longer run or one at the step's end): the rest cannot split a date.
    const std::uint64_t maybeDate =
        (m.digits << 1) | prevDigit | (m.digits >> 1) | (ends >> 1) | (std::uint64_t{1} << 63);
    std::uint64_t starts = ends & ~((ends << 1) | prevEnd) & maybeDate;
    while (starts != 0) {
      noteRunStart(data, n, i + static_cast<std::size_t>(__builtin_ctzll(starts)), extent);
      starts &= starts - 1;
    }
    std::uint64_t counted = m.crs | (m.lfs & ~((m.crs << 1) | prevCr));
    const auto count = static_cast<std::int64_t>(__builtin_popcountll(counted));
    if (lines + count >= maxLines) {
      for (;; counted &= counted - 1) {
        const std::size_t t = i + static_cast<std::size_t>(__builtin_ctzll(counted));
        if (countLineEnd(data, n, t, lines, maxLines, extent)) return n;
      }
    }
    lines += count;
    prevCr = m.crs >> 63;
    prevEnd = ends >> 63;
    prevDigit = m.digits >> 63;
  }
  return i;
}
#endif

// Finds the extent of a head that lies whole in data[0, n) (n bytes read so far; atEnd when the
// file ends there). False when the head goes on past the buffer.
bool findHeadExtent(const char* data, std::size_t n, bool atEnd, std::int64_t maxLines,
                    HeadExtent& extent) {
  std::int64_t lines = 0;
  std::size_t i = 0;
#if defined(__x86_64__)
  if (haveAvx2()) i = scanLineEndsAvx2(data, n, lines, maxLines, extent);
#endif
  if (!extent.cut && i < n) {
    // The plain scan goes on from a vector step's end: keep its view of the byte before.
    scanLineEndsPlain(data, i, n, lines, maxLines, extent);
  }
  if (extent.cut) {
    std::erase_if(extent.junctions, [&](std::size_t a) { return a >= extent.end; });
    return true;
  }
  if (!atEnd) return false;
  extent.end = extent.consumed = n;
  return true;
}

// The last date text of the joined head, searched in the head as read: windows without line
// ends are searched where they lie, windows across line ends around each junction. Answers the
// offset in data of the winning window's first byte, or npos.
std::size_t lastDateInHead(const char* data, const HeadExtent& extent, char found[kWindow]) {
  const std::size_t end = extent.end;
  // The joined head's first byte is never a window's start.
  std::size_t first = 0;
  while (first < end && isLineEnd(data[first])) ++first;
  std::size_t best = std::string_view::npos;
  auto better = [&](std::size_t s) { return best == std::string_view::npos || s > best; };
  if (end >= kWindow) {
    forEachColonPair(data, 4, end - kWindow + 5, [&](std::size_t colon) {
      const std::size_t s = colon - 4;
      if (s > first && !isLineEnd(data[s + 10]) && isDateText(data + s)) best = s;
    });
  }
  if (best != std::string_view::npos) std::memcpy(found, data + best, kWindow);
  for (const std::size_t a : extent.junctions) {
    // Up to 18 bytes of the joined head on each side of the run of line ends at a.
    char local[2 * (kWindow - 1)];
    std::size_t where[2 * (kWindow - 1)];
    std::size_t before = 0;
    for (std::size_t k = a; k > 0 && before < kWindow - 1; --k)
      if (!isLineEnd(data[k - 1])) where[before++] = k - 1;
    std::reverse(where, where + before);
    std::size_t len = before;
    for (std::size_t k = a; k < end && len < 2 * (kWindow - 1); ++k)
      if (!isLineEnd(data[k])) where[len++] = k;
    if (len < kWindow || before == 0 || len == before) continue;
    for (std::size_t k = 0; k < len; ++k) local[k] = data[where[k]];
    // The windows that hold both the byte before the run and the byte after it.
    const std::size_t from = before >= kWindow - 1 ? before - (kWindow - 1) : 0;
    for (std::size_t k = from; k < before && k + kWindow <= len; ++k) {
      if (where[k] > first && better(where[k]) && isDateText(local + k)) {
        best = where[k];
        std::memcpy(found, local + k, kWindow);
      }
    }
  }
  return best;
}

void takeDate(const char found[kWindow], ShootingDate& result) {
  result.found = true;
  result.year = number(found, 4);
  result.month = number(found + 5, 2);
  result.day = number(found + 8, 2);
  result.hour = number(found + 11, 2);
  result.minute = number(found + 14, 2);
  result.second = number(found + 17, 2);
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

  // Reads the next chunk into raw: false at the end of the file or on a failed read.
  std::size_t n = 0;
  bool atEnd = false;
  auto readChunk = [&] {
    std::size_t want = readSoFar == 0 ? kFirstRead : kChunk;
    if (knownSize)
      want = static_cast<std::size_t>(std::min<std::uint64_t>(want, *knownSize - readSoFar));
    n = 0;
    if (want == 0 || !file.read(raw.data(), want, n) || n == 0) return false;
    readSoFar += n;
    // A short read is the end of the file, and so is its known size.
    atEnd = n < want || (knownSize && readSoFar >= *knownSize);
    return true;
  };
  if (!readChunk()) return;

  // Most heads lie whole in the first read: searched there, without joining the lines.
  HeadExtent extent;
  if (findHeadExtent(raw.data(), n, atEnd, maxLines, extent)) {
    result.bytesRead = extent.consumed;
    if (lastDateInHead(raw.data(), extent, found) != std::string_view::npos)
      takeDate(found, result);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!extent.cut && elapsed > timeoutSeconds) result.timedOut = true;
    return;
  }

  for (bool first = true; !stop; first = false) {
    if (!first && !readChunk()) break;
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
  if (result.found) takeDate(found, result);
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
  if (platform::FileResult r = file.readTimes(facts.times, &facts.size); !r) return r;
  searchHead(file, maxLines, timeoutSeconds, facts.date, facts.size);
  return {};
}

}  // namespace quillmere::times
