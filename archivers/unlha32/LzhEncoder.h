#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace unlha {

// Receives the compressed bytes of one member.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Returns false when the bytes could not be written (the encoder then stops).
  virtual bool put(const std::uint8_t* data, std::size_t n) = 0;
};

// Sliding-dictionary Huffman encoder of one member (dictionary of 2^dicbit bytes: 13 for the
// 8 KiB method). Feed the member's bytes in any pieces, then call finish(). The output is the
// exact packed data: blocks of at most kMaxBlockTokens tokens, complete length-limited codes, the
// last byte zero-padded.
class LzhEncoder {
 public:
  explicit LzhEncoder(ByteSink& sink, int dicbit = 13);
  ~LzhEncoder();
  LzhEncoder(const LzhEncoder&) = delete;
  LzhEncoder& operator=(const LzhEncoder&) = delete;

  bool write(const std::uint8_t* data, std::size_t n);
  bool finish();
  // Bytes handed to the sink so far (after finish(): the packed size).
  std::uint64_t packedSize() const { return m_packed; }

  static constexpr int kMaxBlockTokens = 32768;

 private:
  struct Impl;
  std::unique_ptr<Impl> m;
  std::uint64_t m_packed = 0;
};

// Compresses a whole buffer in memory (tests, sampling).
std::vector<std::uint8_t> compressBuffer(const std::uint8_t* data, std::size_t n, int dicbit = 13);

}  // namespace unlha
