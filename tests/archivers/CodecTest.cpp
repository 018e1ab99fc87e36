// The LZH codec: check values, the reference bit streams, round trips through our own encoder
// and decoder, and damaged data that must fail cleanly.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "LzhEncoder.h"
#include "lzh_codec.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Mem {
  const Bytes* in;
  std::size_t pos = 0;
};
long memRead(void* ctx, unsigned char* buf, size_t n) {
  auto* m = static_cast<Mem*>(ctx);
  const std::size_t k = std::min(n, m->in->size() - m->pos);
  std::memcpy(buf, m->in->data() + m->pos, k);
  m->pos += k;
  return static_cast<long>(k);
}
int memWrite(void* ctx, const unsigned char* buf, size_t n) {
  static_cast<Bytes*>(ctx)->insert(static_cast<Bytes*>(ctx)->end(), buf, buf + n);
  return 0;
}

int decode(int method, const Bytes& packed, std::uint64_t original, Bytes& out,
           std::uint16_t& crc) {
  Mem m{&packed};
  out.clear();
  return lzh_decode(method, packed.size(), original, memRead, &m, memWrite, &out, &crc);
}

Bytes bytesOf(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

Bytes textLike(std::size_t n, unsigned seed) {
  static const char* words[] = {"picture", "camera ", "folder", " the ", "2004", "\n",
                                "DSC_",    ".JPG ",   "memory", "card ", "写真", "日付"};
  std::mt19937 rng(seed);
  Bytes b;
  while (b.size() < n) {
    const std::string w = words[rng() % 12];
    b.insert(b.end(), w.begin(), w.end());
  }
  b.resize(n);
  return b;
}

TEST(LzhCodec, CrcCheckValues) {
  EXPECT_EQ(lzh_crc16(0, "123456789", 9), 0xBB3D);
  EXPECT_EQ(lzh_crc16(0, "abc", 3), 0x9738);
  EXPECT_EQ(lzh_crc16(0, "a", 1), 0xE8C1);
  // Split anywhere, the CRC is the same (the eight-byte step and the byte step agree).
  const std::string s = "The quick brown fox jumps over the lazy dog, twice over.";
  for (std::size_t cut = 0; cut <= s.size(); ++cut)
    EXPECT_EQ(lzh_crc16(lzh_crc16(0, s.data(), cut), s.data() + cut, s.size() - cut),
              lzh_crc16(0, s.data(), s.size()));
}

TEST(LzhCodec, ReferenceStreamsDecodeAndOneByteEncodesExactly) {
  // 'a' x 67 + '\n' from the format reference.
  const Bytes ref{0x00, 0x03, 0x28, 0x48, 0x4a, 0x80, 0x3c, 0x90, 0xb5, 0x93, 0x80, 0x58};
  Bytes out;
  std::uint16_t crc = 0;
  ASSERT_EQ(decode(LZH_M5, ref, 68, out, crc), LZH_OK);
  EXPECT_EQ(out, bytesOf(std::string(67, 'a') + "\n"));
  EXPECT_EQ(crc, 0x6E66);
  // A single "a": the one-symbol forms of every tree.
  const Bytes one = unlha::compressBuffer(reinterpret_cast<const std::uint8_t*>("a"), 1);
  EXPECT_EQ(one, (Bytes{0x00, 0x01, 0x00, 0x00, 0x06, 0x10, 0x00}));
}

TEST(LzhCodec, RoundTripsThroughEveryShape) {
  std::mt19937 rng(7);
  std::vector<Bytes> inputs;
  inputs.push_back(bytesOf("ab"));
  inputs.push_back(bytesOf("abc"));
  inputs.push_back(Bytes(300000, 0));  // long runs, matches of 256
  inputs.push_back(textLike(200000, 1));
  Bytes random(100000);
  for (auto& b : random) b = static_cast<std::uint8_t>(rng());
  inputs.push_back(random);
  // Many blocks, and a block of exactly the token limit.
  inputs.push_back(textLike(1 << 20, 2));
  Bytes alternating;
  for (int i = 0; i < unlha::LzhEncoder::kMaxBlockTokens; ++i)
    alternating.push_back(static_cast<std::uint8_t>(rng() & 1 ? 'x' : 'y'));
  inputs.push_back(alternating);
  // Only two symbols, and a text whose repeats sit exactly one window back.
  Bytes window = textLike(8192, 3);
  Bytes twice = window;
  twice.insert(twice.end(), window.begin(), window.end());
  inputs.push_back(twice);
  for (const Bytes& in : inputs) {
    const Bytes packed = unlha::compressBuffer(in.data(), in.size());
    Bytes out;
    std::uint16_t crc = 0;
    ASSERT_EQ(decode(LZH_M5, packed, in.size(), out, crc), LZH_OK) << in.size();
    EXPECT_TRUE(out == in) << in.size();
    EXPECT_EQ(crc, lzh_crc16(0, in.data(), in.size()));
  }
  // Text compresses well, fed in odd pieces as from a file.
  const Bytes text = textLike(500000, 4);
  struct Sink final : unlha::ByteSink {
    Bytes b;
    bool put(const std::uint8_t* d, std::size_t n) override {
      b.insert(b.end(), d, d + n);
      return true;
    }
  } sink;
  unlha::LzhEncoder enc(sink);
  for (std::size_t at = 0; at < text.size(); at += 77777)
    enc.write(text.data() + at, std::min<std::size_t>(77777, text.size() - at));
  ASSERT_TRUE(enc.finish());
  EXPECT_LT(sink.b.size(), text.size() / 3);
  Bytes out;
  std::uint16_t crc;
  ASSERT_EQ(decode(LZH_M5, sink.b, text.size(), out, crc), LZH_OK);
  EXPECT_TRUE(out == text);
}

TEST(LzhCodec, DamagedDataFailsWithoutOverrun) {
  const Bytes text = textLike(100000, 5);
  const Bytes packed = unlha::compressBuffer(text.data(), text.size());
  std::mt19937 rng(11);
  int failures = 0;
  for (int trial = 0; trial < 300; ++trial) {
    Bytes bad = packed;
    const std::size_t at = rng() % bad.size();
    bad[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
    Bytes out;
    std::uint16_t crc = 0;
    const int rc = decode(LZH_M5, bad, text.size(), out, crc);
    EXPECT_LE(out.size(), text.size());
    if (rc != LZH_OK || crc != lzh_crc16(0, text.data(), text.size())) ++failures;
  }
  EXPECT_EQ(failures, 300);  // every flipped bit is caught by the decoder or the CRC
  // Cut short: truncated, never a success.
  for (std::size_t keep : {std::size_t{0}, std::size_t{1}, packed.size() / 2, packed.size() - 1}) {
    Bytes cut(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(keep));
    Bytes out;
    std::uint16_t crc;
    EXPECT_NE(decode(LZH_M5, cut, text.size(), out, crc), LZH_OK) << keep;
  }
}

TEST(LzhCodec, MalformedBlocksAreRejected) {
  Bytes out;
  std::uint16_t crc;
  // A block of zero tokens.
  EXPECT_EQ(decode(LZH_M5, Bytes{0x00, 0x00, 0x00, 0x00, 0x00}, 10, out, crc), LZH_E_CORRUPT);
  // T tree size 31 > 19.
  EXPECT_EQ(decode(LZH_M5, Bytes{0x00, 0x01, 0xF8, 0x00, 0x00, 0x00}, 10, out, crc), LZH_E_CORRUPT);
  // One C symbol that is a match (length 3 at distance 1) at the very start: it would point
  // before the start of the file.
  // count 1; T: n=0 sym 0; C: n=0 sym 256 (100000000); P: n=0 sym 0.
  EXPECT_EQ(decode(LZH_M5, Bytes{0x00, 0x01, 0x00, 0x00, 0x10, 0x00, 0x00}, 3, out, crc),
            LZH_E_CORRUPT);
  EXPECT_TRUE(out.empty());
  // An incomplete tree: T with one length-1 code only (n=1, length 1).
  EXPECT_EQ(decode(LZH_M5, Bytes{0x00, 0x01, 0x0A, 0x00, 0x00, 0x00, 0x00}, 1, out, crc),
            LZH_E_CORRUPT);
  // Stored data whose sizes disagree, and unknown methods.
  EXPECT_EQ(decode(LZH_STORE, bytesOf("abc"), 4, out, crc), LZH_E_CORRUPT);
  EXPECT_EQ(decode(3, bytesOf("abc"), 3, out, crc), LZH_E_METHOD);
}

TEST(LzhCodec, DeclaredSizeCapsTheOutput) {
  // 300,000 zero bytes pack into a few hundred bytes; a header that claims less never gets
  // more, and one that claims more fails as truncated.
  const Bytes zeros(300000, 0);
  const Bytes packed = unlha::compressBuffer(zeros.data(), zeros.size());
  EXPECT_LT(packed.size(), 1000u);
  Bytes out;
  std::uint16_t crc;
  EXPECT_EQ(decode(LZH_M5, packed, 1000, out, crc), LZH_OK);
  EXPECT_EQ(out.size(), 1000u);
  EXPECT_EQ(decode(LZH_M5, packed, 10'000'000, out, crc), LZH_E_TRUNCATED);
  EXPECT_LE(out.size(), 10'000'000u);
}

}  // namespace
