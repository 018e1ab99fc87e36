#include "times/MediaDates.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>

namespace quillmere::times {

namespace {

// Caps that keep a hostile file from costing more than a glance.
constexpr int kMaxBoxes = 4096;                    // boxes visited at one level
constexpr std::uint64_t kMaxExifBytes = 1 << 20;   // the Exif block read at most
constexpr std::uint64_t kMaxTableBytes = 1 << 20;  // an item table read at most
constexpr int kMaxIfdEntries = 1024;
constexpr std::int64_t kSeconds1904To1970 = 2082844800;

// Bytes at an offset of the file: a read that cannot be fully satisfied answers nothing.
using ReadAt = std::function<std::optional<std::string>(std::uint64_t offset, std::uint64_t size)>;

std::uint64_t bigEndian(std::string_view b, std::size_t at, std::size_t width) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < width; ++i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

struct Box {
  std::string type;
  std::uint64_t start = 0;    // first byte of the box
  std::uint64_t content = 0;  // first byte after the header
  std::uint64_t end = 0;      // one past the last byte
};

// The boxes between from and to, in order; a header that runs past to ends the list.
std::vector<Box> boxesIn(const ReadAt& read, std::uint64_t from, std::uint64_t to) {
  std::vector<Box> boxes;
  std::uint64_t at = from;
  while (at + 8 <= to && static_cast<int>(boxes.size()) < kMaxBoxes) {
    const auto head = read(at, 8);
    if (!head) break;
    Box box;
    box.start = at;
    box.type = head->substr(4, 4);
    std::uint64_t size = bigEndian(*head, 0, 4);
    box.content = at + 8;
    if (size == 1) {
      const auto large = read(at + 8, 8);
      if (!large) break;
      size = bigEndian(*large, 0, 8);
      box.content = at + 16;
    } else if (size == 0) {
      size = to - at;  // the box runs to the end
    }
    if (size < box.content - at || size > to - at) break;
    box.end = at + size;
    boxes.push_back(box);
    at = box.end;
  }
  return boxes;
}

std::optional<Box> findBox(const std::vector<Box>& boxes, std::string_view type) {
  for (const Box& box : boxes)
    if (box.type == type) return box;
  return std::nullopt;
}

ShootingDate fromBrokenDown(const std::tm& t) {
  ShootingDate d;
  d.found = true;
  d.year = t.tm_year + 1900;
  d.month = t.tm_mon + 1;
  d.day = t.tm_mday;
  d.hour = t.tm_hour;
  d.minute = t.tm_min;
  d.second = t.tm_sec;
  return d;
}

// The movie header's creation time as local time; 0 ("not set") gives no date.
ShootingDate movieDate(const ReadAt& read, const Box& moov) {
  const auto mvhd = findBox(boxesIn(read, moov.content, moov.end), "mvhd");
  if (!mvhd) return {};
  const auto version = read(mvhd->content, 1);
  if (!version) return {};
  const bool wide = (*version)[0] == 1;
  const std::uint64_t width = wide ? 8 : 4;
  if (mvhd->content + 4 + width > mvhd->end) return {};
  const auto field = read(mvhd->content + 4, width);
  if (!field) return {};
  const std::uint64_t since1904 = bigEndian(*field, 0, width);
  // Years 1970 to 9999 only: earlier times are unset clocks, later ones damage.
  if (since1904 <= static_cast<std::uint64_t>(kSeconds1904To1970) ||
      since1904 > static_cast<std::uint64_t>(kSeconds1904To1970) + 253402300799ULL)
    return {};
  const std::time_t unix = static_cast<std::time_t>(since1904 - kSeconds1904To1970);
  std::tm local{};
  if (localtime_r(&unix, &local) == nullptr) return {};
  return fromBrokenDown(local);
}

// A field of a table in memory, read forward with bounds.
class Cursor {
 public:
  explicit Cursor(std::string_view bytes, std::size_t at = 0) : m_bytes(bytes), m_at(at) {}
  std::optional<std::uint64_t> take(std::size_t width) {
    if (width == 0) return 0;
    if (m_at > m_bytes.size() || m_bytes.size() - m_at < width) return std::nullopt;
    const std::uint64_t v = bigEndian(m_bytes, m_at, width);
    m_at += width;
    return v;
  }
  std::size_t position() const { return m_at; }

 private:
  std::string_view m_bytes;
  std::size_t m_at;
};

std::optional<std::string> boxBytes(const ReadAt& read, const Box& box) {
  if (box.end - box.content > kMaxTableBytes) return std::nullopt;
  return read(box.content, box.end - box.content);
}

// The item ID of the Exif item in 'iinf' (entries 'infe' of version 2 or 3).
std::optional<std::uint64_t> exifItemId(const ReadAt& read, const Box& iinf) {
  const auto version = read(iinf.content, 1);
  if (!version) return std::nullopt;
  const std::uint64_t entriesAt = iinf.content + 4 + ((*version)[0] == 0 ? 2 : 4);
  if (entriesAt > iinf.end) return std::nullopt;
  for (const Box& infe : boxesIn(read, entriesAt, iinf.end)) {
    if (infe.type != "infe") continue;
    const auto bytes = boxBytes(read, infe);
    if (!bytes) continue;
    Cursor c(*bytes);
    const auto infeVersion = c.take(1);
    if (!infeVersion || *infeVersion < 2 || !c.take(3)) continue;
    const auto id = c.take(*infeVersion == 2 ? 2 : 4);
    if (!id || !c.take(2)) continue;
    const auto type = c.take(4);
    if (type && *type == 0x45786966)  // "Exif"
      return id;
  }
  return std::nullopt;
}

struct Extent {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

// The first extent of the item in 'iloc', for items stored in the file itself.
std::optional<Extent> itemExtent(const ReadAt& read, const Box& iloc, std::uint64_t itemId) {
  const auto bytes = boxBytes(read, iloc);
  if (!bytes) return std::nullopt;
  Cursor c(*bytes);
  const auto version = c.take(1);
  if (!version || *version > 2 || !c.take(3)) return std::nullopt;
  const auto sizes = c.take(1);
  const auto moreSizes = c.take(1);
  if (!sizes || !moreSizes) return std::nullopt;
  const std::size_t offsetSize = *sizes >> 4, lengthSize = *sizes & 15;
  const std::size_t baseOffsetSize = *moreSizes >> 4;
  const std::size_t indexSize = *version >= 1 ? (*moreSizes & 15) : 0;
  for (std::size_t w : {offsetSize, lengthSize, baseOffsetSize, indexSize})
    if (w != 0 && w != 4 && w != 8) return std::nullopt;
  const auto count = c.take(*version < 2 ? 2 : 4);
  if (!count) return std::nullopt;
  for (std::uint64_t i = 0; i < *count; ++i) {
    const auto id = c.take(*version < 2 ? 2 : 4);
    if (!id) return std::nullopt;
    std::uint64_t method = 0;
    if (*version >= 1) {
      const auto m = c.take(2);
      if (!m) return std::nullopt;
      method = *m & 15;
    }
    const auto dataReference = c.take(2);
    const auto base = c.take(baseOffsetSize);
    const auto extents = c.take(2);
    if (!dataReference || !base || !extents) return std::nullopt;
    std::optional<Extent> first;
    for (std::uint64_t e = 0; e < *extents; ++e) {
      const auto index = c.take(indexSize);
      const auto offset = c.take(offsetSize);
      const auto length = c.take(lengthSize);
      if (!index || !offset || !length) return std::nullopt;
      if (e == 0) first = Extent{*base + *offset, *length};
    }
    if (*id != itemId) continue;
    // Only data in this file at a file offset is read (no other files, no idat).
    if (method != 0 || *dataReference != 0 || !first || *base > UINT64_MAX - first->offset)
      return std::nullopt;
    return first;
  }
  return std::nullopt;
}

// Reads 16- and 32-bit fields of a TIFF block in its own byte order.
class Tiff {
 public:
  explicit Tiff(std::string_view bytes) : m_bytes(bytes) {}
  bool valid() const {
    return m_bytes.size() >= 8 && (m_bytes.substr(0, 4) == std::string_view("II*\0", 4) ||
                                   m_bytes.substr(0, 4) == std::string_view("MM\0*", 4));
  }
  std::optional<std::uint32_t> u16(std::size_t at) const { return field(at, 2); }
  std::optional<std::uint32_t> u32(std::size_t at) const { return field(at, 4); }

  // The offset of the value of tag in the IFD at ifd with type and count as asked; for a
  // pointer (LONG, count 1) the value itself.
  std::optional<std::uint32_t> tagValue(std::uint32_t ifd, std::uint32_t tag, std::uint32_t type,
                                        std::uint32_t count) const {
    const auto entries = u16(ifd);
    if (!entries) return std::nullopt;
    for (std::uint32_t i = 0; i < *entries && i < kMaxIfdEntries; ++i) {
      const std::size_t at = static_cast<std::size_t>(ifd) + 2 + 12 * i;
      const auto t = u16(at), ty = u16(at + 2), n = u32(at + 4), v = u32(at + 8);
      if (!t || !ty || !n || !v) return std::nullopt;
      if (*t == tag && *ty == type && *n >= count) return v;
    }
    return std::nullopt;
  }

  std::optional<std::string_view> text(std::uint32_t at, std::size_t size) const {
    if (at > m_bytes.size() || m_bytes.size() - at < size) return std::nullopt;
    return m_bytes.substr(at, size);
  }

 private:
  std::optional<std::uint32_t> field(std::size_t at, std::size_t width) const {
    if (at > m_bytes.size() || m_bytes.size() - at < width) return std::nullopt;
    std::uint32_t v = 0;
    const bool little = m_bytes[0] == 'I';
    for (std::size_t i = 0; i < width; ++i) {
      const std::size_t k = little ? width - 1 - i : i;
      v = (v << 8) | static_cast<unsigned char>(m_bytes[at + k]);
    }
    return v;
  }
  std::string_view m_bytes;
};

ShootingDate dateText(std::string_view text) {
  if (text.size() < 19 || !isDateText(text.data())) return {};
  const auto num = [&](std::size_t at, std::size_t n) {
    std::int32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = v * 10 + (text[at + i] - '0');
    return v;
  };
  ShootingDate d;
  d.found = true;
  d.year = num(0, 4);
  d.month = num(5, 2);
  d.day = num(8, 2);
  d.hour = num(11, 2);
  d.minute = num(14, 2);
  d.second = num(17, 2);
  return d;
}

// DateTimeOriginal of the Exif IFD, else DateTime of IFD0.
ShootingDate exifDate(std::string_view tiffBytes) {
  const Tiff tiff(tiffBytes);
  if (!tiff.valid()) return {};
  const auto ifd0 = tiff.u32(4);
  if (!ifd0) return {};
  constexpr std::uint32_t kAscii = 2, kLong = 4;
  if (const auto exifIfd = tiff.tagValue(*ifd0, 0x8769, kLong, 1))
    if (const auto at = tiff.tagValue(*exifIfd, 0x9003, kAscii, 20))
      if (const auto text = tiff.text(*at, 19); text && dateText(*text).found)
        return dateText(*text);
  if (const auto at = tiff.tagValue(*ifd0, 0x0132, kAscii, 20))
    if (const auto text = tiff.text(*at, 19)) return dateText(*text);
  return {};
}

ShootingDate heicDate(const ReadAt& read, const Box& meta) {
  // 'meta' is a full box: version and flags come before its children.
  const std::vector<Box> children = boxesIn(read, meta.content + 4, meta.end);
  const auto iinf = findBox(children, "iinf");
  const auto iloc = findBox(children, "iloc");
  if (!iinf || !iloc) return {};
  const auto id = exifItemId(read, *iinf);
  if (!id) return {};
  const auto extent = itemExtent(read, *iloc, *id);
  if (!extent || extent->length < 4) return {};
  const auto block = read(extent->offset, std::min(extent->length, kMaxExifBytes));
  if (!block) return {};
  // The block starts with the offset of the TIFF header after these four bytes ("Exif\0\0").
  const std::uint64_t tiffAt = 4 + bigEndian(*block, 0, 4);
  if (tiffAt >= block->size()) return {};
  return exifDate(std::string_view(*block).substr(tiffAt));
}

ShootingDate dateOf(const ReadAt& read, std::uint64_t fileSize) {
  const std::vector<Box> top = boxesIn(read, 0, fileSize);
  const auto ftyp = findBox(top, "ftyp");
  if (top.empty() || (!ftyp && !findBox(top, "moov"))) return {};
  if (const auto moov = findBox(top, "moov")) return movieDate(read, *moov);
  if (const auto meta = findBox(top, "meta")) return heicDate(read, *meta);
  return {};
}

}  // namespace

ShootingDate mediaShootingDateOf(std::string_view fileBytes) {
  const ReadAt read = [&](std::uint64_t offset, std::uint64_t size) -> std::optional<std::string> {
    if (offset > fileBytes.size() || fileBytes.size() - offset < size) return std::nullopt;
    return std::string(fileBytes.substr(offset, size));
  };
  return dateOf(read, fileBytes.size());
}

platform::FileResult findMediaShootingDate(const std::string& nativePath, ShootingDate& result) {
  result = {};
  const int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return platform::FileResult(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    return platform::FileResult(error);
  }
  int readError = 0;
  std::uint64_t bytesRead = 0;
  const ReadAt read = [&](std::uint64_t offset, std::uint64_t size) -> std::optional<std::string> {
    const auto fileSize = static_cast<std::uint64_t>(st.st_size);
    if (offset > fileSize || fileSize - offset < size) return std::nullopt;
    std::string bytes(size, '\0');
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n =
          ::pread(fd, bytes.data() + done, size - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (n < 0) readError = errno;
        return std::nullopt;
      }
      done += static_cast<std::size_t>(n);
    }
    bytesRead += size;
    return bytes;
  };
  result = dateOf(read, static_cast<std::uint64_t>(st.st_size));
  result.bytesRead = bytesRead;
  ::close(fd);
  if (readError != 0) {
    result = {};
    return platform::FileResult(readError);
  }
  return {};
}

}  // namespace quillmere::times
