#include "LzhEncoder.h"

#include <algorithm>
#include <cstring>
#include <queue>

namespace unlha {

namespace {

constexpr int kNC = 510;  // 256 literals + match lengths 3..256
constexpr int kNT = 19;
constexpr int kMaxLen = 16;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 256;
constexpr int kHashBits = 15;
constexpr std::size_t kChunk = 256 * 1024;
// Match search effort (the same trade-off as a middle deflate level).
constexpr int kMaxChain = 64;
constexpr int kGoodLength = 8;
constexpr int kMaxLazy = 16;
constexpr int kNiceLength = 128;
constexpr std::uint32_t kTooFar = 4096;  // a 3-byte match further away costs more than literals

int bitLength(std::uint32_t v) {
  return v == 0 ? 0 : 32 - __builtin_clz(v);
}

// Length-limited Huffman code lengths. Two or more used symbols give a complete code
// (Kraft sum exactly 1); one or none give all zeros (the caller writes the one-symbol form).
void makeLengths(const std::uint32_t* freq, int n, std::uint8_t* len) {
  std::fill(len, len + n, 0);
  std::vector<int> used;
  for (int i = 0; i < n; ++i)
    if (freq[i]) used.push_back(i);
  if (used.size() < 2) return;
  // Huffman tree over the used symbols: depths via parent links.
  const int leaves = static_cast<int>(used.size());
  std::vector<std::uint64_t> weight(2 * leaves);
  std::vector<int> parent(2 * leaves, -1);
  using Node = std::pair<std::uint64_t, int>;
  std::priority_queue<Node, std::vector<Node>, std::greater<Node>> heap;
  for (int i = 0; i < leaves; ++i) {
    weight[i] = freq[used[i]];
    heap.push({weight[i], i});
  }
  int next = leaves;
  while (heap.size() > 1) {
    const Node a = heap.top();
    heap.pop();
    const Node b = heap.top();
    heap.pop();
    weight[next] = a.first + b.first;
    parent[a.second] = parent[b.second] = next;
    heap.push({weight[next], next});
    ++next;
  }
  std::vector<int> depth(2 * leaves, 0);
  for (int i = next - 2; i >= 0; --i) depth[i] = depth[parent[i]] + 1;
  // Count per length, folding everything deeper than the limit into the limit.
  std::uint32_t count[kMaxLen + 1] = {};
  for (int i = 0; i < leaves; ++i) count[std::min(depth[i], kMaxLen)]++;
  std::uint32_t cum = 0;
  for (int l = 1; l <= kMaxLen; ++l) cum += count[l] << (kMaxLen - l);
  while (cum != (1u << kMaxLen)) {
    // Over-subscribed: take one code of the maximum length away and split a shorter one.
    count[kMaxLen]--;
    for (int l = kMaxLen - 1; l >= 1; --l) {
      if (count[l]) {
        count[l]--;
        count[l + 1] += 2;
        break;
      }
    }
    cum--;
  }
  // The most frequent symbols get the shortest codes.
  std::vector<int> order(used);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return freq[a] > freq[b]; });
  std::size_t k = 0;
  for (int l = 1; l <= kMaxLen; ++l)
    for (std::uint32_t c = 0; c < count[l]; ++c) len[order[k++]] = static_cast<std::uint8_t>(l);
}

// Canonical codes: by length, then by symbol; the first code is all zeros.
void makeCodes(const std::uint8_t* len, int n, std::uint16_t* code) {
  std::uint32_t count[kMaxLen + 2] = {}, next[kMaxLen + 2] = {};
  for (int i = 0; i < n; ++i) count[len[i]]++;
  count[0] = 0;
  std::uint32_t c = 0;
  for (int l = 1; l <= kMaxLen; ++l) {
    c = (c + count[l - 1]) << 1;
    next[l] = c;
  }
  for (int i = 0; i < n; ++i)
    if (len[i]) code[i] = static_cast<std::uint16_t>(next[len[i]]++);
}

class BitWriter {
 public:
  explicit BitWriter(ByteSink& sink, std::uint64_t& counter) : m_sink(sink), m_count(counter) {
    m_out.reserve(kFlushAt + 64);
  }
  void put(std::uint32_t value, int n) {
    if (n == 0) return;
    m_acc = (m_acc << n) | (value & ((1u << n) - 1));
    m_bits += n;
    if (m_bits >= 32) {
      m_bits -= 32;
      const std::uint32_t v = static_cast<std::uint32_t>(m_acc >> m_bits);
      m_out.push_back(static_cast<std::uint8_t>(v >> 24));
      m_out.push_back(static_cast<std::uint8_t>(v >> 16));
      m_out.push_back(static_cast<std::uint8_t>(v >> 8));
      m_out.push_back(static_cast<std::uint8_t>(v));
    }
  }
  bool maybeFlush() { return m_out.size() < kFlushAt || flush(); }
  bool finish() {
    while (m_bits >= 8) {
      m_bits -= 8;
      m_out.push_back(static_cast<std::uint8_t>(m_acc >> m_bits));
    }
    if (m_bits > 0) {
      m_out.push_back(static_cast<std::uint8_t>(m_acc << (8 - m_bits)));
      m_bits = 0;
    }
    return flush();
  }

 private:
  static constexpr std::size_t kFlushAt = 64 * 1024;
  bool flush() {
    if (m_out.empty()) return true;
    const bool ok = m_sink.put(m_out.data(), m_out.size());
    m_count += m_out.size();
    m_out.clear();
    return ok;
  }
  ByteSink& m_sink;
  std::uint64_t& m_count;
  std::vector<std::uint8_t> m_out;
  std::uint64_t m_acc = 0;
  int m_bits = 0;
};

}  // namespace

struct LzhEncoder::Impl {
  Impl(ByteSink& sink, std::uint64_t& packed, int dicbit)
      : bits(sink, packed),
        dicbit(dicbit),
        window(1u << dicbit),
        np(dicbit + 1),
        pbit(dicbit == 13 ? 4 : 5),
        buf(window + kChunk + kMaxMatch),
        head(1u << kHashBits, 0),
        prev(window, 0) {
    syms.reserve(kMaxBlockTokens);
    offs.reserve(kMaxBlockTokens);
  }

  BitWriter bits;
  int dicbit;
  std::uint32_t window;
  int np, pbit;
  std::vector<std::uint8_t> buf;
  std::uint64_t bufStart = 0;  // absolute position of buf[0]
  std::size_t bufLen = 0;
  std::uint64_t pos = 0;            // next position to encode (absolute)
  std::uint64_t inserted = 0;       // positions below this are in the hash chains
  std::vector<std::uint32_t> head;  // absolute position + 1, 0 = empty
  std::vector<std::uint32_t> prev;
  // lazy matching state
  bool pending = false;  // a literal at pos-1 waits for its decision
  int prevLen = 0;
  std::uint32_t prevDist = 0;
  std::vector<std::uint16_t> syms;
  std::vector<std::uint16_t> offs;
  bool failed = false;

  std::uint8_t at(std::uint64_t p) const { return buf[p - bufStart]; }

  std::uint32_t hashAt(std::uint64_t p) const {
    const std::uint8_t* s = &buf[p - bufStart];
    const std::uint32_t v = s[0] | (s[1] << 8) | (s[2] << 16);
    return (v * 2654435761u) >> (32 - kHashBits);
  }

  void insert(std::uint64_t p) {
    const std::uint32_t h = hashAt(p);
    prev[p & (window - 1)] = head[h];
    head[h] = static_cast<std::uint32_t>(p + 1);
  }

  // Longest match for position p among earlier positions, within the window.
  int longest(std::uint64_t p, std::size_t avail, std::uint32_t& dist, int chain, int already) {
    const int maxLen = static_cast<int>(std::min<std::size_t>(avail, kMaxMatch));
    if (maxLen < kMinMatch || already >= maxLen) return 0;
    int best = already;
    const std::uint8_t* cur = &buf[p - bufStart];
    std::uint32_t cand = prev[p & (window - 1)];
    const std::uint64_t limit = p > window ? p - window : 0;
    std::uint64_t last = p;
    while (cand != 0 && chain-- > 0) {
      const std::uint64_t c = cand - 1;
      if (c < limit || c >= last) break;  // out of the window, or a link already overwritten
      last = c;
      const std::uint8_t* m = &buf[c - bufStart];
      if (m[best] == cur[best] && m[0] == cur[0] && m[1] == cur[1]) {
        int l = 0;
        while (l + 8 <= maxLen) {
          std::uint64_t a, b;
          std::memcpy(&a, cur + l, 8);
          std::memcpy(&b, m + l, 8);
          if (a != b) {
            l += __builtin_ctzll(a ^ b) >> 3;
            goto done;
          }
          l += 8;
        }
        while (l < maxLen && cur[l] == m[l]) ++l;
      done:
        if (l > best) {
          best = l;
          dist = static_cast<std::uint32_t>(p - c);
          if (l >= kNiceLength || l >= maxLen) break;
        }
      }
      cand = prev[c & (window - 1)];
    }
    if (best == kMinMatch && dist > kTooFar) return 0;
    return best > already ? best : 0;
  }

  void literal(std::uint8_t b) { token(b, 0); }
  void match(int len, std::uint32_t dist) {
    token(static_cast<std::uint16_t>(256 + len - kMinMatch), static_cast<std::uint16_t>(dist - 1));
  }
  void token(std::uint16_t sym, std::uint16_t off) {
    syms.push_back(sym);
    offs.push_back(off);
    if (syms.size() >= static_cast<std::size_t>(kMaxBlockTokens)) writeBlock();
  }

  // Encodes the positions that have enough lookahead (all of them when final).
  void process(bool final) {
    const std::uint64_t end = bufStart + bufLen;
    while (pos < end) {
      const std::size_t avail = static_cast<std::size_t>(end - pos);
      if (!final && avail < static_cast<std::size_t>(kMaxMatch)) break;
      if (avail >= 3 && inserted <= pos) {
        insert(pos);
        inserted = pos + 1;
      }
      std::uint32_t dist = 0;
      int len = 0;
      if (avail >= 3 && prevLen < kMaxLazy) {
        const int chain = prevLen >= kGoodLength ? kMaxChain / 4 : kMaxChain;
        len = longest(pos, avail, dist, chain,
                      pending ? std::max(prevLen, kMinMatch - 1) : kMinMatch - 1);
      }
      if (pending && prevLen >= kMinMatch && len <= prevLen) {
        // The match found at pos-1 is at least as good: take it.
        match(prevLen, prevDist);
        const std::uint64_t stop = pos - 1 + prevLen;
        for (std::uint64_t q = pos + 1; q < stop; ++q) {
          if (end - q >= 3) insert(q);
        }
        inserted = std::max(inserted, stop);
        pos = stop;
        pending = false;
        prevLen = 0;
        continue;
      }
      if (pending) literal(at(pos - 1));
      pending = true;
      prevLen = len;
      prevDist = dist;
      ++pos;
    }
    if (final && pending) {
      if (prevLen >= kMinMatch) {
        // only reached when the match runs to the end of the data
        match(prevLen, prevDist);
        pos = pos - 1 + prevLen;
      } else {
        literal(at(pos - 1));
      }
      pending = false;
      prevLen = 0;
    }
  }

  void writePt(const std::uint8_t* len, int nmax, int nbit, int special) {
    int n = nmax;
    while (n > 0 && len[n - 1] == 0) --n;
    bits.put(static_cast<std::uint32_t>(n), nbit);
    int i = 0;
    while (i < n) {
      const int k = len[i++];
      if (k <= 6) {
        bits.put(static_cast<std::uint32_t>(k), 3);
      } else {
        bits.put((1u << (k - 3)) - 2, k - 3);
      }
      if (i == special) {
        int z = 0;
        while (i < n && i < 6 && len[i] == 0) {
          ++i;
          ++z;
        }
        bits.put(static_cast<std::uint32_t>(z), 2);
      }
    }
  }

  // Walks the C lengths as runs: calls emit(tSymbol, extraBits, extraCount).
  template <typename F>
  void cRuns(const std::uint8_t* lenC, int n, F emit) {
    int i = 0;
    while (i < n) {
      if (lenC[i] == 0) {
        int run = 1;
        while (i + run < n && lenC[i + run] == 0) ++run;
        i += run;
        while (run > 0) {
          if (run <= 2) {
            emit(0, 0, 0);
            run -= 1;
          } else if (run <= 18) {
            emit(1, run - 3, 4);
            run = 0;
          } else if (run == 19) {
            emit(0, 0, 0);
            emit(1, 15, 4);
            run = 0;
          } else {
            const int take = std::min(run, 531);
            emit(2, take - 20, 9);
            run -= take;
          }
        }
      } else {
        emit(lenC[i] + 2, 0, 0);
        ++i;
      }
    }
  }

  void writeBlock() {
    if (syms.empty()) return;
    std::uint32_t freqC[kNC] = {}, freqP[20] = {};
    for (std::size_t i = 0; i < syms.size(); ++i) {
      freqC[syms[i]]++;
      if (syms[i] >= 256) freqP[bitLength(offs[i])]++;
    }
    std::uint8_t lenC[kNC], lenT[kNT], lenP[20];
    std::uint16_t codeC[kNC] = {}, codeT[kNT] = {}, codeP[20] = {};
    makeLengths(freqC, kNC, lenC);
    makeLengths(freqP, np, lenP);
    makeCodes(lenC, kNC, codeC);
    makeCodes(lenP, np, codeP);

    bits.put(static_cast<std::uint32_t>(syms.size()), 16);
    int usedC = 0, onlyC = 0;
    for (int i = 0; i < kNC; ++i)
      if (freqC[i]) ++usedC, onlyC = i;
    if (usedC == 1) {
      bits.put(0, 5);
      bits.put(0, 5);
      bits.put(0, 9);
      bits.put(static_cast<std::uint32_t>(onlyC), 9);
    } else {
      int n = kNC;
      while (n > 0 && lenC[n - 1] == 0) --n;
      std::uint32_t freqT[kNT] = {};
      cRuns(lenC, n, [&](int t, int, int) { freqT[t]++; });
      makeLengths(freqT, kNT, lenT);
      int usedT = 0, onlyT = 0;
      for (int i = 0; i < kNT; ++i)
        if (freqT[i]) ++usedT, onlyT = i;
      if (usedT == 1) {
        bits.put(0, 5);
        bits.put(static_cast<std::uint32_t>(onlyT), 5);
      } else {
        makeCodes(lenT, kNT, codeT);
        writePt(lenT, kNT, 5, 3);
      }
      bits.put(static_cast<std::uint32_t>(n), 9);
      cRuns(lenC, n, [&](int t, int extra, int extraBits) {
        if (usedT != 1) bits.put(codeT[t], lenT[t]);
        bits.put(static_cast<std::uint32_t>(extra), extraBits);
      });
    }
    int usedP = 0, onlyP = 0;
    for (int i = 0; i < np; ++i)
      if (freqP[i]) ++usedP, onlyP = i;
    const bool singleP = usedP <= 1;
    if (singleP) {
      bits.put(0, pbit);
      bits.put(static_cast<std::uint32_t>(onlyP), pbit);
    } else {
      writePt(lenP, np, pbit, -1);
    }
    const bool singleC = usedC == 1;
    for (std::size_t i = 0; i < syms.size(); ++i) {
      const std::uint16_t s = syms[i];
      if (!singleC) bits.put(codeC[s], lenC[s]);
      if (s >= 256) {
        const std::uint32_t p = offs[i];
        const int c = bitLength(p);
        if (!singleP) bits.put(codeP[c], lenP[c]);
        if (c >= 2) bits.put(p & ((1u << (c - 1)) - 1), c - 1);
      }
      if ((i & 1023) == 0 && !bits.maybeFlush()) failed = true;
    }
    syms.clear();
    offs.clear();
    if (!bits.maybeFlush()) failed = true;
  }

  // Makes room in the buffer for more input, keeping one window of history.
  void slide() {
    const std::uint64_t keepFrom = pos > window ? pos - window : 0;
    if (keepFrom <= bufStart) return;
    const std::size_t drop = static_cast<std::size_t>(keepFrom - bufStart);
    std::memmove(buf.data(), buf.data() + drop, bufLen - drop);
    bufLen -= drop;
    bufStart = keepFrom;
  }
};

LzhEncoder::LzhEncoder(ByteSink& sink, int dicbit)
    : m(std::make_unique<Impl>(sink, m_packed, dicbit)) {}

LzhEncoder::~LzhEncoder() = default;

bool LzhEncoder::write(const std::uint8_t* data, std::size_t n) {
  while (n > 0 && !m->failed) {
    if (m->bufLen == m->buf.size()) {
      m->process(false);
      m->slide();
      if (m->bufLen == m->buf.size()) return false;  // cannot happen: pos runs ahead
    }
    const std::size_t take = std::min(n, m->buf.size() - m->bufLen);
    std::memcpy(m->buf.data() + m->bufLen, data, take);
    m->bufLen += take;
    data += take;
    n -= take;
  }
  return !m->failed;
}

bool LzhEncoder::finish() {
  m->process(true);
  m->writeBlock();
  return m->bits.finish() && !m->failed;
}

namespace {
class VectorSink final : public ByteSink {
 public:
  std::vector<std::uint8_t> out;
  bool put(const std::uint8_t* data, std::size_t n) override {
    out.insert(out.end(), data, data + n);
    return true;
  }
};
}  // namespace

std::vector<std::uint8_t> compressBuffer(const std::uint8_t* data, std::size_t n, int dicbit) {
  VectorSink sink;
  LzhEncoder enc(sink, dicbit);
  enc.write(data, n);
  enc.finish();
  return std::move(sink.out);
}

}  // namespace unlha
