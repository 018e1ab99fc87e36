#pragma once

// A small generator of camera-like JPEG files: SOI, an APP1 Exif block (TIFF header, IFD0 with
// Make, Model and DateTime, an Exif IFD with DateTimeOriginal and DateTimeDigitized), optional
// further header blocks, then quantisation and frame headers and pseudo-random scan data that
// holds CR and LF bytes like real compressed data.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace quillmere::test {

struct JpegLayout {
  std::string dateTime;          // "YYYY:MM:DD HH:MM:SS" or "" for no Exif dates at all
  std::string originalDateTime;  // defaults to dateTime
  std::vector<std::string> extraBlocksBefore;  // bodies of APPn blocks before the Exif block
  std::vector<std::string> extraBlocksAfter;   // bodies of APPn blocks after it
  std::size_t scanBytes = 20000;
  unsigned seed = 1;
  bool bigEndian = false;
};

inline void put16(std::string& s, std::uint16_t v, bool be) {
  if (be) {
    s += static_cast<char>(v >> 8);
    s += static_cast<char>(v & 0xFF);
  } else {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
  }
}

inline void put32(std::string& s, std::uint32_t v, bool be) {
  if (be) {
    put16(s, static_cast<std::uint16_t>(v >> 16), true);
    put16(s, static_cast<std::uint16_t>(v & 0xFFFF), true);
  } else {
    put16(s, static_cast<std::uint16_t>(v & 0xFFFF), false);
    put16(s, static_cast<std::uint16_t>(v >> 16), false);
  }
}

inline std::string segment(std::uint8_t marker, const std::string& body) {
  std::string s;
  s += '\xFF';
  s += static_cast<char>(marker);
  put16(s, static_cast<std::uint16_t>(body.size() + 2), true);
  return s + body;
}

// The TIFF structure of an Exif block: header, IFD0, Exif IFD, then the ASCII values.
inline std::string tiffBlock(const JpegLayout& layout) {
  const bool be = layout.bigEndian;
  struct Entry {
    std::uint16_t tag;
    std::uint16_t type;
    std::string ascii;  // type 2
    std::uint32_t value;
  };
  const std::string original =
      layout.originalDateTime.empty() ? layout.dateTime : layout.originalDateTime;
  std::vector<Entry> ifd0 = {{0x010F, 2, "Canon", 0}, {0x0110, 2, "Canon EOS 20D", 0}};
  if (!layout.dateTime.empty()) ifd0.push_back({0x0132, 2, layout.dateTime, 0});
  ifd0.push_back({0x8769, 4, "", 0});  // Exif IFD pointer, filled below
  std::vector<Entry> exif = {{0x9000, 7, "", 0x31323230}};
  if (!original.empty()) {
    exif.push_back({0x9003, 2, original, 0});
    exif.push_back({0x9004, 2, original, 0});
  }
  const std::uint32_t ifd0At = 8;
  const std::uint32_t ifd0Size = 2 + 12 * static_cast<std::uint32_t>(ifd0.size()) + 4;
  const std::uint32_t exifAt = ifd0At + ifd0Size;
  const std::uint32_t exifSize = 2 + 12 * static_cast<std::uint32_t>(exif.size()) + 4;
  std::uint32_t dataAt = exifAt + exifSize;
  std::string data;
  auto writeIfd = [&](std::string& out, std::vector<Entry>& entries) {
    put16(out, static_cast<std::uint16_t>(entries.size()), be);
    for (Entry& e : entries) {
      put16(out, e.tag, be);
      put16(out, e.type, be);
      if (e.type == 2) {
        const std::string value = e.ascii + '\0';
        put32(out, static_cast<std::uint32_t>(value.size()), be);
        if (value.size() <= 4) {
          std::string v = value;
          v.resize(4, '\0');
          out += v;
        } else {
          put32(out, dataAt + static_cast<std::uint32_t>(data.size()), be);
          data += value;
        }
      } else if (e.tag == 0x8769) {
        put32(out, 1, be);
        put32(out, exifAt, be);
      } else {
        put32(out, 4, be);
        out += "0221";
      }
    }
    put32(out, 0, be);
  };
  std::string tiff = be ? std::string("MM\0*", 4) : std::string("II*\0", 4);
  put32(tiff, ifd0At, be);
  writeIfd(tiff, ifd0);
  writeIfd(tiff, exif);
  return tiff + data;
}

inline std::string makeJpeg(const JpegLayout& layout) {
  std::string out("\xFF\xD8", 2);
  for (const std::string& b : layout.extraBlocksBefore) out += segment(0xE2, b);
  out += segment(0xE1, std::string("Exif\0\0", 6) + tiffBlock(layout));
  for (const std::string& b : layout.extraBlocksAfter) out += segment(0xED, b);
  out += segment(0xDB, std::string(65, '\x01'));                                 // DQT
  out += segment(0xC0, std::string("\x08\x00\x10\x00\x10\x01\x01\x11\x00", 9));  // SOF0
  out += segment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6));              // SOS
  std::mt19937 random(layout.seed);
  for (std::size_t i = 0; i < layout.scanBytes; ++i) {
    char c = static_cast<char>(random() & 0xFF);
    out += c;
    if (c == '\xFF') out += '\0';  // byte stuffing
  }
  out += "\xFF\xD9";
  return out;
}

}  // namespace quillmere::test
