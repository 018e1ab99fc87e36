#include "LzhWriter.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "LzhEncoder.h"
#include "lzh_archive.h"

namespace unlha {

namespace {

void put16(std::vector<std::uint8_t>& v, std::uint32_t x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  put16(v, x & 0xFFFF);
  put16(v, x >> 16);
}
void set16(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
  v[at] = static_cast<std::uint8_t>(x);
  v[at + 1] = static_cast<std::uint8_t>(x >> 8);
}

std::string errnoText(int e) {
  return std::strerror(e);
}

// Buffered output to the temporary archive, with patching of bytes already written.
class Output {
 public:
  explicit Output(int fd) : m_fd(fd) { m_buf.reserve(kSize); }
  std::uint64_t offset() const { return m_flushed + m_buf.size(); }
  bool put(const std::uint8_t* p, std::size_t n) {
    if (m_error) return false;
    if (m_buf.size() + n > kSize && !flush()) return false;
    if (n >= kSize) return writeAll(p, n, m_flushed) && (m_flushed += n, true);
    m_buf.insert(m_buf.end(), p, p + n);
    return true;
  }
  bool put(const std::vector<std::uint8_t>& v) { return put(v.data(), v.size()); }
  bool patch(std::uint64_t at, const std::vector<std::uint8_t>& v) {
    if (m_error) return false;
    if (at >= m_flushed) {
      std::memcpy(m_buf.data() + (at - m_flushed), v.data(), v.size());
      return true;
    }
    if (!flush()) return false;
    return writeAll(v.data(), v.size(), at);
  }
  // Drops everything from `at` on (a member that is redone stored).
  bool truncate(std::uint64_t at) {
    if (m_error) return false;
    if (at >= m_flushed) {
      m_buf.resize(static_cast<std::size_t>(at - m_flushed));
      return true;
    }
    m_buf.clear();
    if (::ftruncate(m_fd, static_cast<off_t>(at)) != 0) return fail(errno);
    m_flushed = at;
    m_writeback = std::min(m_writeback, at);
    return true;
  }
  bool flush() {
    if (m_error) return false;
    if (m_buf.empty()) return true;
    if (!writeAll(m_buf.data(), m_buf.size(), m_flushed)) return false;
    m_flushed += m_buf.size();
    m_buf.clear();
    // Start writing back to the disk while the archiving goes on, so that the closing fsync
    // has little left to wait for.
    if (m_flushed - m_writeback >= kWriteback) {
      ::sync_file_range(m_fd, static_cast<off_t>(m_writeback),
                        static_cast<off_t>(m_flushed - m_writeback), SYNC_FILE_RANGE_WRITE);
      m_writeback = m_flushed;
    }
    return true;
  }
  int error() const { return m_error; }

 private:
  static constexpr std::size_t kSize = 1 << 20;
  static constexpr std::uint64_t kWriteback = 8 << 20;
  bool fail(int e) {
    m_error = e ? e : EIO;
    return false;
  }
  bool writeAll(const std::uint8_t* p, std::size_t n, std::uint64_t at) {
    while (n > 0) {
      const ssize_t w = ::pwrite(m_fd, p, n, static_cast<off_t>(at));
      if (w < 0) {
        if (errno == EINTR) continue;
        return fail(errno);
      }
      if (w == 0) return fail(ENOSPC);
      p += w;
      n -= static_cast<std::size_t>(w);
      at += static_cast<std::uint64_t>(w);
    }
    return true;
  }
  int m_fd;
  std::vector<std::uint8_t> m_buf;
  std::uint64_t m_flushed = 0;
  std::uint64_t m_writeback = 0;  // bytes whose writeback was started
  int m_error = 0;
};

class OutputSink final : public ByteSink {
 public:
  explicit OutputSink(Output& out) : m_out(out) {}
  bool put(const std::uint8_t* data, std::size_t n) override { return m_out.put(data, n); }

 private:
  Output& m_out;
};

struct Item {
  std::vector<std::string> folders;
  std::string name;  // empty for a folder entry
  std::string native;
  struct stat st {};
  bool folder = false;
  std::string key() const {
    std::string k;
    for (const auto& f : folders) k += f + "/";
    return k + name;
  }
};

struct Exclude {
  dev_t dev;
  ino_t ino;
};

bool excluded(const struct stat& st, const std::vector<Exclude>& ex) {
  for (const auto& e : ex)
    if (e.dev == st.st_dev && e.ino == st.st_ino) return true;
  return false;
}

// A name that a reader would split or misread cannot be stored faithfully: a real "\\" or a
// 0xFF byte (the folder separator of the headers). A CP932 name whose second bytes happen to be
// 0x5C is stored as it is; readers take names that are not UTF-8 for CP932.
bool storableName(const std::string& n) {
  if (n.find('\xFF') != std::string::npos) return false;
  if (n.find('\\') == std::string::npos) return true;
  const std::unique_ptr<char, decltype(&std::free)> text(lzh_name_text(n.data(), n.size()),
                                                         &std::free);
  return text && std::strchr(text.get(), '\\') == nullptr;
}

void walk(const std::string& dir, std::vector<std::string>& prefix, bool recursive,
          const std::vector<Exclude>& ex, std::vector<Item>& items, Report& report) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) {
    report.error(dir + ": cannot be read (" + errnoText(errno) + ")");
    return;
  }
  std::vector<std::string> names;
  errno = 0;
  while (dirent* e = ::readdir(d)) {
    const std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  std::vector<std::string> subfolders;
  for (const auto& n : names) {
    const std::string native = dir + "/" + n;
    Item it;
    if (::lstat(native.c_str(), &it.st) != 0) {
      report.error(native + ": vanished while being archived (" + errnoText(errno) + ")");
      continue;
    }
    if (excluded(it.st, ex)) continue;
    if (!storableName(n)) {
      report.warning(native + ": the name cannot be stored in an LZH archive, passed over");
      continue;
    }
    if (S_ISLNK(it.st.st_mode)) {
      report.warning(native + ": symbolic link, not archived");
      continue;
    }
    if (S_ISDIR(it.st.st_mode)) {
      if (recursive) subfolders.push_back(n);
      continue;
    }
    if (!S_ISREG(it.st.st_mode)) {
      report.warning(native + ": not a regular file, not archived");
      continue;
    }
    it.folders = prefix;
    it.name = n;
    it.native = native;
    items.push_back(std::move(it));
  }
  for (const auto& n : subfolders) {
    const std::string native = dir + "/" + n;
    Item it;
    ::lstat(native.c_str(), &it.st);
    prefix.push_back(n);
    it.folders = prefix;
    it.folder = true;
    it.native = native;
    items.push_back(std::move(it));
    walk(native, prefix, recursive, ex, items, report);
    prefix.pop_back();
  }
}

std::string baseName(const std::string& p) {
  const auto s = p.find_last_of('/');
  return s == std::string::npos ? p : p.substr(s + 1);
}
std::string dirName(const std::string& p) {
  const auto s = p.find_last_of('/');
  if (s == std::string::npos) return ".";
  return s == 0 ? "/" : p.substr(0, s);
}

// Reads a whole file range into the encoder or the store path, with its CRC.
class FileReader {
 public:
  FileReader(int fd, std::vector<std::uint8_t>& buf) : m_fd(fd), m_buf(buf) {}
  // Returns bytes read (0 at end) or -1.
  ssize_t next(const std::uint8_t*& data) {
    for (;;) {
      const ssize_t got = ::read(m_fd, m_buf.data(), m_buf.size());
      if (got < 0 && errno == EINTR) continue;
      data = m_buf.data();
      return got;
    }
  }

 private:
  int m_fd;
  std::vector<std::uint8_t>& m_buf;
};

// Decides from samples whether compressing pays. Camera pictures and videos are entropy-coded
// already: their bytes are close to uniformly spread, which a byte histogram of a few samples
// shows for a fraction of the cost of compressing them. Files that pass are compressed whole and
// still stored when that does not pay.
bool worthCompressing(int fd, std::uint64_t size, std::vector<std::uint8_t>& buf) {
  constexpr std::size_t kSample = 4 * 1024;
  if (size < 4096) return true;
  std::uint32_t hist[256] = {};
  std::uint64_t total = 0;
  // Past the headers: the middle and the last quarter (the whole of a small file).
  const std::uint64_t at[2] = {size / 2 > kSample ? size / 2 - kSample / 2 : 0,
                               size * 3 / 4 > kSample ? size * 3 / 4 - kSample / 2 : 0};
  const int samples = size <= 2 * kSample ? 1 : 2;
  for (int i = 0; i < samples; ++i) {
    const std::size_t want = size <= 2 * kSample ? static_cast<std::size_t>(size) : kSample;
    const ssize_t got =
        ::pread(fd, buf.data(), want, static_cast<off_t>(size <= 2 * kSample ? 0 : at[i]));
    if (got <= 0) return true;
    for (ssize_t k = 0; k < got; ++k) hist[buf[static_cast<std::size_t>(k)]]++;
    total += static_cast<std::uint64_t>(got);
  }
  double bits = 0;
  for (std::uint32_t c : hist) {
    if (c == 0) continue;
    const double p = static_cast<double>(c) / static_cast<double>(total);
    bits -= p * std::log2(p);
  }
  return bits < 7.5;
}

constexpr std::uint64_t kLargeFrom = 0xFFFFFFFFull - (64u << 20);

class Writer {
 public:
  Writer(Output& out, Report& report) : m_out(out), m_report(report) {}

  bool addFolder(const Item& it) {
    MemberHeader h;
    h.folder = true;
    h.folders = it.folders;
    h.mtime = it.st.st_mtime;
    h.mode = 040000 | (it.st.st_mode & 07777);
    return m_out.put(buildHeader(h)) || ioError(it.native);
  }

  bool addFile(const Item& it) {
    const int fd = ::open(it.native.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      m_report.error(it.native + ": cannot be read (" + errnoText(errno) + ")");
      return false;
    }
    struct stat st {};
    ::fstat(fd, &st);
    if (!S_ISREG(st.st_mode)) {
      ::close(fd);
      m_report.error(it.native + ": is no longer a regular file");
      return false;
    }
    MemberHeader h;
    // A file near or past 4 GiB (a long video) is stored with 64-bit sizes; the margin lets it
    // grow a little while it is read.
    h.large = static_cast<std::uint64_t>(st.st_size) >= kLargeFrom;
    h.folders = it.folders;
    h.name = it.name;
    h.mtime = st.st_mtime;
    h.mode = 0100000 | (st.st_mode & 07777);
    h.store = h.large || st.st_size == 0 ||
              !worthCompressing(fd, static_cast<std::uint64_t>(st.st_size), m_buf);
    const std::uint64_t headerAt = m_out.offset();
    if (!m_out.put(buildHeader(h))) return closeWith(fd, ioError(it.native));
    const std::uint64_t dataAt = m_out.offset();
    bool ok = h.store ? storeData(fd, h) : compressData(fd, h);
    if (ok && !h.store && h.packed >= h.original) {
      // Compression did not pay: store the member instead.
      h.store = true;
      ok = m_out.truncate(dataAt) && ::lseek(fd, 0, SEEK_SET) == 0 && storeData(fd, h);
    }
    ::close(fd);
    if (!ok) return m_readError ? false : ioError(it.native);
    if (!m_out.patch(headerAt, buildHeader(h))) return ioError(it.native);
    m_report.line(std::string(h.store ? "STORE " : "LH5   ") + it.key());
    if (h.large)
      m_report.warning(it.native +
                       ": 4 GiB or larger: stored with 64-bit sizes, which other LZH readers "
                       "may not read (this archiver and its self-extractor do)");
    return true;
  }

  bool copyRaw(int fd, std::uint64_t from, std::uint64_t n) {
    std::vector<std::uint8_t>& buf = m_buf;
    while (n > 0) {
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(n, buf.size()));
      const ssize_t got = ::pread(fd, buf.data(), want, static_cast<off_t>(from));
      if (got <= 0) return false;
      if (!m_out.put(buf.data(), static_cast<std::size_t>(got))) return false;
      from += static_cast<std::uint64_t>(got);
      n -= static_cast<std::uint64_t>(got);
    }
    return true;
  }

 private:
  bool closeWith(int fd, bool v) {
    ::close(fd);
    return v;
  }
  bool ioError(const std::string& what) {
    const int e = m_out.error();
    m_report.error(what + ": cannot write the archive (" + errnoText(e ? e : EIO) + ")");
    return false;
  }
  bool readFailed(const std::string& what, int e) {
    m_readError = true;
    m_report.error(what + ": read error (" + errnoText(e) + ")");
    return false;
  }
  bool storeData(int fd, MemberHeader& h) {
    FileReader r(fd, m_buf);
    std::uint16_t crc = 0;
    std::uint64_t total = 0;
    for (;;) {
      const std::uint8_t* data;
      const ssize_t got = r.next(data);
      if (got < 0) return readFailed("file", errno);
      if (got == 0) break;
      crc = lzh_crc16(crc, data, static_cast<std::size_t>(got));
      if (!m_out.put(data, static_cast<std::size_t>(got))) return false;
      total += static_cast<std::uint64_t>(got);
      if (!h.large && total >= 0xFFFFFFFFull) return readFailed("file grew past 4 GiB", EFBIG);
    }
    h.crc = crc;
    h.packed = h.original = total;
    return true;
  }
  bool compressData(int fd, MemberHeader& h) {
    OutputSink sink(m_out);
    LzhEncoder enc(sink);
    FileReader r(fd, m_buf);
    std::uint16_t crc = 0;
    std::uint64_t total = 0;
    for (;;) {
      const std::uint8_t* data;
      const ssize_t got = r.next(data);
      if (got < 0) return readFailed("file", errno);
      if (got == 0) break;
      crc = lzh_crc16(crc, data, static_cast<std::size_t>(got));
      if (!enc.write(data, static_cast<std::size_t>(got))) return false;
      total += static_cast<std::uint64_t>(got);
      if (total >= 0xFFFFFFFFull) return readFailed("file grew past 4 GiB", EFBIG);
    }
    if (!enc.finish()) return false;
    h.crc = crc;
    h.original = total;
    h.packed = enc.packedSize();
    return true;
  }

  Output& m_out;
  Report& m_report;
  bool m_readError = false;
  std::vector<std::uint8_t> m_buf = std::vector<std::uint8_t>(1 << 20);
};

}  // namespace

std::vector<std::uint8_t> buildHeader(const MemberHeader& h) {
  std::vector<std::uint8_t> v;
  v.reserve(64 + h.name.size());
  put16(v, 0);  // total size, set below
  const char* method = h.folder ? "-lhd-" : h.store ? "-lh0-" : "-lh5-";
  v.insert(v.end(), method, method + 5);
  put32(v, static_cast<std::uint32_t>(h.packed));
  put32(v, static_cast<std::uint32_t>(h.original));
  const std::int64_t t = std::clamp<std::int64_t>(h.mtime, 0, 0xFFFFFFFFll);
  put32(v, static_cast<std::uint32_t>(t));
  v.push_back(0x20);
  v.push_back(2);  // level
  put16(v, h.crc);
  v.push_back('U');
  // Extended headers, each followed by the size of the next one.
  std::vector<std::vector<std::uint8_t>> ext;
  ext.push_back({0x00, 0, 0});  // header CRC, first
  std::vector<std::uint8_t> name{0x01};
  name.insert(name.end(), h.name.begin(), h.name.end());
  ext.push_back(name);
  if (!h.folders.empty()) {
    std::vector<std::uint8_t> dir{0x02};
    for (const auto& f : h.folders) {
      dir.insert(dir.end(), f.begin(), f.end());
      dir.push_back(0xFF);
    }
    ext.push_back(dir);
  }
  if (h.large) {
    std::vector<std::uint8_t> sizes{0x42};
    put32(sizes, static_cast<std::uint32_t>(h.packed));
    put32(sizes, static_cast<std::uint32_t>(h.packed >> 32));
    put32(sizes, static_cast<std::uint32_t>(h.original));
    put32(sizes, static_cast<std::uint32_t>(h.original >> 32));
    ext.push_back(sizes);
  }
  std::vector<std::uint8_t> mode{0x50};
  put16(mode, h.mode & 0xFFFF);
  ext.push_back(mode);
  std::size_t total = 26;
  for (const auto& e : ext) total += e.size() + 2;
  if (total % 256 == 0) {
    // A first byte of 0 reads as the end of the archive: add an empty comment.
    ext.push_back({0x3F});
    total += 3;
  }
  put16(v, static_cast<std::uint32_t>(ext.front().size() + 2));
  std::size_t crcAt = 0;
  for (std::size_t i = 0; i < ext.size(); ++i) {
    if (i == 0) crcAt = v.size() + 1;
    v.insert(v.end(), ext[i].begin(), ext[i].end());
    put16(v, i + 1 < ext.size() ? static_cast<std::uint32_t>(ext[i + 1].size() + 2) : 0);
  }
  set16(v, 0, static_cast<std::uint32_t>(v.size()));
  set16(v, crcAt, lzh_crc16(0, v.data(), v.size()));
  return v;
}

bool createOrUpdate(const std::string& archive, const std::vector<Source>& sources,
                    const CreateOptions& options, Report& report) {
  const std::string folder = dirName(archive);
  std::string tmp = folder + "/." + baseName(archive) + ".XXXXXX";
  const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0) {
    report.error(archive + ": cannot create the archive (" + errnoText(errno) + ")");
    return false;
  }
  std::vector<Exclude> ex;
  struct stat st {};
  if (::fstat(fd, &st) == 0) ex.push_back({st.st_dev, st.st_ino});
  struct stat old {};
  const bool updating = ::stat(archive.c_str(), &old) == 0;
  if (updating) ex.push_back({old.st_dev, old.st_ino});

  // Gather what is to be archived.
  std::vector<Item> items;
  for (const auto& s : sources) {
    Item top;
    if (::lstat(s.native.c_str(), &top.st) != 0) {
      report.error(s.native + ": not found (" + errnoText(errno) + ")");
      continue;
    }
    std::vector<std::string> prefix;
    if (S_ISDIR(top.st.st_mode)) {
      if (!s.contents) {
        prefix.push_back(baseName(s.native));
        top.folders = prefix;
        top.folder = true;
        top.native = s.native;
        items.push_back(top);
      }
      walk(s.native, prefix, options.recursive, ex, items, report);
    } else if (S_ISREG(top.st.st_mode)) {
      if (excluded(top.st, ex)) continue;
      top.name = baseName(s.native);
      top.native = s.native;
      items.push_back(top);
    } else {
      report.error(s.native + ": not a file or folder");
    }
  }

  Output out(fd);
  Writer writer(out, report);
  bool ok = report.errors == 0;
  std::map<std::string, bool> replaced;
  for (const auto& it : items) replaced[it.key()] = true;
  // Members of the existing archive that the new ones do not replace come first.
  if (ok && updating) {
    const int in = ::open(archive.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
      report.error(archive + ": cannot be read (" + errnoText(errno) + ")");
      ok = false;
    } else {
      lzh_reader r;
      lzh_reader_init(&r, in, 0);
      for (;;) {
        lzh_member m;
        const int got = lzh_next(&r, &m);
        if (got == 0) break;
        if (got < 0) {
          report.error(archive + ": the existing archive is damaged, not updated (" +
                       std::string(r.error) + ")");
          ok = false;
          break;
        }
        std::vector<char> clean(std::strlen(m.path) + 2);
        std::string key = m.path;
        if (lzh_clean_path(m.path, clean.data(), clean.size()) == LZH_OK) key = clean.data();
        if (!replaced.count(key)) {
          ok = writer.copyRaw(in, m.header_offset, m.data_offset + m.packed - m.header_offset);
          if (!ok) report.error(archive + ": cannot copy its member " + key);
        }
        lzh_member_free(&m);
        if (!ok) break;
      }
      ::close(in);
    }
  }
  std::size_t files = 0, folders = 0;
  for (const auto& it : items) {
    if (!ok) break;
    ok = it.folder ? writer.addFolder(it) : writer.addFile(it);
    (it.folder ? folders : files)++;
  }
  const std::uint8_t end = 0;
  ok = ok && out.put(&end, 1) && out.flush();
  if (ok && ::fsync(fd) != 0) {
    report.error(archive + ": cannot write the archive (" + errnoText(errno) + ")");
    ok = false;
  }
  if (ok) {
    ::fchmod(
        fd, 0666 & ~[] {
          const mode_t m = ::umask(022);
          ::umask(m);
          return m;
        }());
  }
  ::close(fd);
  if (ok && ::rename(tmp.c_str(), archive.c_str()) != 0) {
    report.error(archive + ": cannot put the archive in place (" + errnoText(errno) + ")");
    ok = false;
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    report.line("The archive was not made: " + archive);
    return false;
  }
  char summary[128];
  std::snprintf(summary, sizeof summary, "%zu files, %zu folders archived into ", files, folders);
  report.line(summary + archive);
  return true;
}

}  // namespace unlha
