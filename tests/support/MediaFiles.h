#pragma once

// Small MP4, MOV and HEIC files built byte by byte, with a known creation time or Exif date.

#include <cstdint>
#include <string>

namespace quillmere::test::media {

inline std::string be(std::uint64_t v, int width) {
  std::string out;
  for (int i = width - 1; i >= 0; --i) out += static_cast<char>((v >> (8 * i)) & 0xff);
  return out;
}

inline std::string box(const std::string& type, const std::string& body) {
  return be(8 + body.size(), 4) + type + body;
}

// A box with the 64-bit size form (size field 1, then the large size).
inline std::string largeBox(const std::string& type, const std::string& body) {
  return be(1, 4) + type + be(16 + body.size(), 8) + body;
}

inline std::string fullBox(const std::string& type, int version, const std::string& body) {
  return box(type, be(version, 1) + be(0, 3) + body);
}

inline constexpr std::uint64_t k1904 = 2082844800;
// 2024-03-05 01:02:03 UTC.
inline constexpr std::uint64_t kUnix = 1709600523;

inline std::string mvhd(int version, std::uint64_t since1904) {
  const int width = version == 1 ? 8 : 4;
  return fullBox("mvhd", version,
                 be(since1904, width) + be(since1904, width) + be(600, 4) + be(0, width) +
                     std::string(80, '\0'));
}

inline std::string mp4(std::uint64_t since1904) {
  return box("ftyp", "isom" + be(0, 4) + "isommp41") + box("free", "") +
         box("moov", mvhd(0, since1904) + box("trak", std::string(20, 'x'))) +
         box("mdat", std::string(64, 'm'));
}

inline std::string mov(std::uint64_t since1904) {
  return box("ftyp", "qt  " + be(0, 4) + "qt  ") + box("wide", "") +
         largeBox("mdat", std::string(40, 'm')) +
         largeBox("moov", box("udta", "") + mvhd(1, since1904));
}

// An Exif block: the offset word, "Exif\0\0" and a big-endian TIFF with IFD0 -> Exif IFD ->
// DateTimeOriginal.
inline std::string exifBlock(const std::string& date) {
  std::string tiff = "MM" + be(42, 2) + be(8, 4);
  // IFD0 at 8: one entry, the Exif IFD pointer to 26.
  tiff += be(1, 2) + be(0x8769, 2) + be(4, 2) + be(1, 4) + be(26, 4) + be(0, 4);
  // Exif IFD at 26: DateTimeOriginal, 20 ASCII bytes at 44.
  tiff += be(1, 2) + be(0x9003, 2) + be(2, 2) + be(20, 4) + be(44, 4) + be(0, 4);
  tiff += date + std::string(1, '\0');
  return be(6, 4) + std::string("Exif\0\0", 6) + tiff;
}

inline std::string heic(const std::string& date, int ilocVersion = 1) {
  const std::string exif = exifBlock(date);
  const auto build = [&](std::uint64_t exifOffset) {
    const std::string infe1 =
        fullBox("infe", 2, be(1, 2) + be(0, 2) + "hvc1" + std::string(1, '\0'));
    const std::string infe2 =
        fullBox("infe", 2, be(2, 2) + be(0, 2) + "Exif" + std::string(1, '\0'));
    const std::string iinf = fullBox("iinf", 0, be(2, 2) + infe1 + infe2);
    std::string items;
    const auto item = [&](std::uint64_t id, std::uint64_t offset, std::uint64_t length) {
      std::string s = be(id, ilocVersion < 2 ? 2 : 4);
      if (ilocVersion >= 1) s += be(0, 2);
      return s + be(0, 2) + be(0, 4) + be(1, 2) + be(offset, 4) + be(length, 4);
    };
    items = item(1, 0, 0) + item(2, exifOffset, exif.size());
    const std::string iloc = fullBox(
        "iloc", ilocVersion, be(0x44, 1) + be(0x40, 1) + be(2, ilocVersion < 2 ? 2 : 4) + items);
    return box("ftyp", "heic" + be(0, 4) + "mif1heic") +
           fullBox("meta", 0, fullBox("hdlr", 0, std::string(20, '\0')) + iinf + iloc);
  };
  const std::string head = build(0);
  return build(head.size() + 8) + box("mdat", exif);
}

}  // namespace quillmere::test::media
