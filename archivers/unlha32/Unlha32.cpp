// libunlha32.so: the LZH archiver behind the library's archiver bindings. Two entry points,
// looked up by name: Unlha(window, command line, output buffer, size) and UnlhaGetVersion().
//
// Commands (paths are absolute native paths "/...", mapped by the caller; a folder argument that
// ends with a separator means that folder; "FOLDER\" below stands for "/folder/"):
//   a [-d1] [-jm2|-jm4] [-a1] [-x1 -x2] ARCHIVE SOURCE...   create or update ARCHIVE; a SOURCE
//       folder with a trailing separator adds its contents, without one the folder itself; -d1
//       descends into sub-folders keeping their paths, otherwise only the files at the top.
//   e|x [-x|-x1] [-y] [-r2 -a2 -n] ARCHIVE FOLDER\ [PATTERN...]   extract into FOLDER (created
//       when missing); -x (and always x) keeps the archive's folders; -y replaces existing files,
//       otherwise they are left and reported; PATTERN filters by name ("*.*" takes all).
//   t ARCHIVE      test every member.     l ARCHIVE      list the members.
//   (e, x, t and l also read the archive inside one of our self-extracting programs.)
//   s [-gw2|-gw3] [-gyq1] [-d1] ARCHIVE [FOLDER\] [-!]   write a self-extracting program named
//       like ARCHIVE with ".exe" into FOLDER (default: beside ARCHIVE); -gw3 lists every file as
//       it extracts, -gyq1 extracts into a fresh temporary folder, -d1 keeps folders, -! runs
//       the control file's $Command after a complete extraction. An existing program is not
//       replaced.
// The result is 0 on success; otherwise 0x8000 plus a reason: 1 a command line that cannot be
// read, 2 failed (nothing made, or members that could not be extracted), 3 done, but something
// was passed over (links, names no archive can hold, existing files left in place). The output
// buffer receives a readable report (cut to its size, always terminated).
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../sfx/sfx_format.h"
#include "CommandLine.h"
#include "LzhWriter.h"
#include "lzh_archive.h"

namespace unlha {
namespace {

constexpr int kVersion = 100;
constexpr int kErrorBase = 0x8000;
enum Reason { kBadCommand = 1, kFailed = 2, kPartly = 3 };

std::string baseName(const std::string& p) {
  const auto s = p.find_last_of('/');
  return s == std::string::npos ? p : p.substr(s + 1);
}
std::string dirName(const std::string& p) {
  const auto s = p.find_last_of('/');
  if (s == std::string::npos) return ".";
  return s == 0 ? "/" : p.substr(0, s);
}
std::string withoutExtension(const std::string& name) {
  const auto dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The folder this library was loaded from (the self-extractor stub lies beside it).
std::string libraryFolder() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&libraryFolder), &info) == 0 || !info.dli_fname) return ".";
  char real[4096];
  if (::realpath(info.dli_fname, real) == nullptr) return dirName(info.dli_fname);
  return dirName(real);
}

bool mkdirs(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::string parent = dirName(path);
  if (parent != path && !mkdirs(parent)) return false;
  return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

void noteToReport(void* ctx, const char* line) {
  static_cast<Report*>(ctx)->line(line);
}

struct Patterns {
  std::vector<std::string> list;
};
int selectMember(void* ctx, const char* path) {
  const auto* p = static_cast<Patterns*>(ctx);
  const char* slash = std::strrchr(path, '/');
  const std::string name = slash ? slash + 1 : path;
  for (const auto& pat : p->list)
    if (wildcardMatch(pat, name)) return 1;
  return 0;
}

int commandAdd(const CommandLine& cl, Report& report) {
  if (cl.args.size() < 2) {
    report.error("a: an archive and a source are needed");
    return kErrorBase + kBadCommand;
  }
  const auto archive = pathArgument(cl.args[0]);
  if (!archive || archive->trailing) {
    report.error("a: not an archive path: " + cl.args[0]);
    return kErrorBase + kBadCommand;
  }
  std::vector<Source> sources;
  for (std::size_t i = 1; i < cl.args.size(); ++i) {
    const auto src = pathArgument(cl.args[i]);
    if (!src) {
      report.error("a: not a path: " + cl.args[i]);
      return kErrorBase + kBadCommand;
    }
    sources.push_back({src->path, src->trailing});
  }
  CreateOptions opt;
  opt.recursive = cl.has("-d1") || cl.has("-d");
  if (!createOrUpdate(archive->path, sources, opt, report)) return kErrorBase + kFailed;
  // Made, but something was passed over (a link, a name no archive can hold): say so.
  return report.warnings ? kErrorBase + kPartly : 0;
}

// Where the archive starts: after the stub of one of our self-extracting programs, else at 0.
std::uint64_t archiveBase(int fd) {
  sfx_info f{};
  return sfx_locate(fd, &f) == 0 ? f.archive_offset : 0;
}

int openArchive(const std::string& arg, Report& report, std::string* native = nullptr) {
  const auto archive = pathArgument(arg);
  if (!archive) {
    report.error("not an archive path: " + arg);
    return -1;
  }
  const int fd = ::open(archive->path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) report.error(archive->path + ": cannot be opened (" + std::strerror(errno) + ")");
  if (native) *native = archive->path;
  return fd;
}

int commandExtract(const CommandLine& cl, Report& report, bool testOnly) {
  if (cl.args.empty()) {
    report.error(cl.command + ": an archive is needed");
    return kErrorBase + kBadCommand;
  }
  std::string archivePath;
  const int fd = openArchive(cl.args[0], report, &archivePath);
  if (fd < 0) return kErrorBase + kFailed;
  Patterns patterns;
  std::string target;
  for (std::size_t i = 1; i < cl.args.size(); ++i) {
    const std::string& a = cl.args[i];
    const bool folder = !a.empty() && (a.back() == '\\' || a.back() == '/');
    if (folder && target.empty() && !testOnly) {
      const auto t = pathArgument(a);
      if (!t) {
        ::close(fd);
        report.error(cl.command + ": not a folder path: " + a);
        return kErrorBase + kBadCommand;
      }
      target = t->path;
    } else {
      patterns.list.push_back(a);
    }
  }
  if (target.empty() && !testOnly) target = dirName(archivePath);
  int dirfd = -1;
  if (!testOnly) {
    if (!mkdirs(target) ||
        (dirfd = ::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) < 0) {
      report.error(target + ": the target folder cannot be made (" + std::strerror(errno) + ")");
      ::close(fd);
      return kErrorBase + kFailed;
    }
  }
  lzh_extract_opts o{};
  o.with_paths = cl.command == "x" || cl.has("-x") || cl.has("-x1");
  o.overwrite = cl.has("-y");
  o.test_only = testOnly;
  if (!patterns.list.empty()) {
    o.select = selectMember;
    o.select_ctx = &patterns;
  }
  o.note = noteToReport;
  o.note_ctx = &report;
  lzh_extract_stats st{};
  const int rc = lzh_extract(fd, archiveBase(fd), testOnly ? AT_FDCWD : dirfd, &o, &st);
  ::close(fd);
  if (dirfd >= 0) ::close(dirfd);
  char summary[200];
  std::snprintf(summary, sizeof summary, "%u files (%llu bytes), %u folders, %u left, %u errors",
                st.files, static_cast<unsigned long long>(st.bytes), st.folders, st.skipped,
                st.errors);
  report.line(summary);
  if (rc != LZH_OK) {
    report.errors += 1;
    return kErrorBase + kFailed;
  }
  return st.skipped ? kErrorBase + kPartly : 0;
}

int commandList(const CommandLine& cl, Report& report) {
  if (cl.args.empty()) {
    report.error("l: an archive is needed");
    return kErrorBase + kBadCommand;
  }
  const int fd = openArchive(cl.args[0], report);
  if (fd < 0) return kErrorBase + kFailed;
  lzh_reader r;
  lzh_reader_init(&r, fd, archiveBase(fd));
  int count = 0, rc = 0;
  for (;;) {
    lzh_member m;
    const int got = lzh_next(&r, &m);
    if (got == 0) break;
    if (got < 0) {
      report.error(r.error);
      rc = kErrorBase + kFailed;
      break;
    }
    char line[128];
    std::snprintf(line, sizeof line, "%s %10llu %10llu ", m.method_text,
                  static_cast<unsigned long long>(m.original),
                  static_cast<unsigned long long>(m.packed));
    report.line(line + std::string(m.path));
    ++count;
    lzh_member_free(&m);
  }
  ::close(fd);
  report.line(std::to_string(count) + " members");
  return rc;
}

bool readAll(int fd, std::vector<std::uint8_t>& out) {
  std::uint8_t buf[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    out.insert(out.end(), buf, buf + got);
  }
}

long readFromFd(void* ctx, unsigned char* buf, size_t n) {
  auto* s = static_cast<std::pair<int, std::uint64_t>*>(ctx);
  const ssize_t got = ::pread(s->first, buf, n, static_cast<off_t>(s->second));
  if (got > 0) s->second += static_cast<std::uint64_t>(got);
  return static_cast<long>(got);
}
int appendToVector(void* ctx, const unsigned char* buf, size_t n) {
  auto* v = static_cast<std::vector<std::uint8_t>*>(ctx);
  if (v->size() + n > 64 * 1024) return -1;  // a control file is a few lines
  v->insert(v->end(), buf, buf + n);
  return 0;
}

int commandSfx(const CommandLine& cl, Report& report) {
  if (cl.args.empty()) {
    report.error("s: an archive is needed");
    return kErrorBase + kBadCommand;
  }
  std::string archivePath;
  const int fd = openArchive(cl.args[0], report, &archivePath);
  if (fd < 0) return kErrorBase + kFailed;
  std::string folder = dirName(archivePath);
  if (cl.args.size() > 1) {
    const auto f = pathArgument(cl.args[1]);
    if (!f) {
      ::close(fd);
      report.error("s: not a folder path: " + cl.args[1]);
      return kErrorBase + kBadCommand;
    }
    folder = f->path;
  }
  // The archive must read cleanly to its end; its control file "$" also goes before it.
  lzh_reader r;
  lzh_reader_init(&r, fd, 0);
  std::vector<std::uint8_t> control;
  int members = 0;
  for (;;) {
    lzh_member m;
    const int got = lzh_next(&r, &m);
    if (got == 0) break;
    if (got < 0) {
      report.error(archivePath + ": " + r.error);
      ::close(fd);
      return kErrorBase + kFailed;
    }
    ++members;
    if (std::strcmp(m.path, "$") == 0 && m.method != LZH_METHOD_DIR) {
      std::pair<int, std::uint64_t> src{fd, m.data_offset};
      std::uint16_t crc = 0;
      control.clear();
      if (lzh_decode(m.method, m.packed, m.original, readFromFd, &src, appendToVector, &control,
                     &crc) != LZH_OK ||
          crc != m.crc) {
        report.error(archivePath + ": its control file cannot be read");
        lzh_member_free(&m);
        ::close(fd);
        return kErrorBase + kFailed;
      }
    }
    lzh_member_free(&m);
  }
  const std::uint64_t archiveLength = r.pos + 1;  // with the end byte
  std::vector<std::uint8_t> archive;
  ::lseek(fd, 0, SEEK_SET);
  const bool readOk = readAll(fd, archive);
  ::close(fd);
  if (!readOk || archive.size() < archiveLength) {
    report.error(archivePath + ": cannot be read to its end");
    return kErrorBase + kFailed;
  }
  archive.resize(archiveLength);
  archive.back() = 0;

  const std::string stubPath = libraryFolder() + "/quillmere-sfx";
  std::vector<std::uint8_t> stub;
  const int sfd = ::open(stubPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (sfd < 0 || !readAll(sfd, stub)) {
    if (sfd >= 0) ::close(sfd);
    report.error(stubPath + ": the self-extractor stub is missing");
    return kErrorBase + kFailed;
  }
  ::close(sfd);

  // The archive ends the program, so readers that find it behind the stub see nothing after it.
  sfx_info f{};
  f.control_offset = stub.size() + SFX_INFO_SIZE;
  f.archive_offset = f.control_offset + control.size();
  f.archive_length = archive.size();
  f.control_length = static_cast<std::uint32_t>(control.size());
  f.flags = (cl.has("-gw3") ? SFX_SHOW_WINDOW : 0) | (cl.has("-gyq1") ? SFX_TEMPORARY : 0) |
            (cl.has("-d1") ? SFX_WITH_PATHS : 0) | (cl.has("-!") ? SFX_AUTORUN : 0);
  const std::uint32_t crc = sfx_crc32(0, control.data(), control.size());
  f.crc32 = sfx_crc32(crc, archive.data(), archive.size());
  unsigned char info[SFX_INFO_SIZE];
  sfx_encode_info(&f, info);

  const std::string exe = folder + "/" + withoutExtension(baseName(archivePath)) + ".exe";
  std::string tmp = folder + "/.sfx.XXXXXX";
  const int out = ::mkostemp(tmp.data(), O_CLOEXEC);
  if (out < 0) {
    report.error(exe + ": cannot be created (" + std::strerror(errno) + ")");
    return kErrorBase + kFailed;
  }
  auto writeAll = [&](const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    while (n > 0) {
      const ssize_t w = ::write(out, b, n);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      b += w;
      n -= static_cast<std::size_t>(w);
    }
    return true;
  };
  const mode_t mask = ::umask(022);
  ::umask(mask);
  bool ok = writeAll(stub.data(), stub.size()) && writeAll(info, sizeof info) &&
            writeAll(control.data(), control.size()) && writeAll(archive.data(), archive.size()) &&
            ::fchmod(out, 0777 & ~mask) == 0 && ::fsync(out) == 0;
  const int writeErr = errno;
  ok = (::close(out) == 0) && ok;
  if (!ok) {
    ::unlink(tmp.c_str());
    report.error(exe + ": cannot be written (" + std::strerror(writeErr) + ")");
    return kErrorBase + kFailed;
  }
  if (::renameat2(AT_FDCWD, tmp.c_str(), AT_FDCWD, exe.c_str(), RENAME_NOREPLACE) != 0) {
    int e = errno;
    if (e == EINVAL || e == ENOSYS || e == EOPNOTSUPP) {
      if (::link(tmp.c_str(), exe.c_str()) == 0)
        e = 0;
      else
        e = errno;
    }
    ::unlink(tmp.c_str());
    if (e != 0) {
      report.error(exe + (e == EEXIST ? ": exists, not replaced" : ": cannot be put in place"));
      return kErrorBase + kFailed;
    }
  }
  report.line("self-extracting program " + exe + " (" + std::to_string(members) + " members)");
  return 0;
}

int run(const char* cmdLine, Report& report) {
  const auto cl = parseCommandLine(cmdLine ? cmdLine : "");
  if (!cl) {
    report.error("the command line cannot be read");
    return kErrorBase + kBadCommand;
  }
  if (cl->command == "a") return commandAdd(*cl, report);
  if (cl->command == "e" || cl->command == "x") return commandExtract(*cl, report, false);
  if (cl->command == "t") return commandExtract(*cl, report, true);
  if (cl->command == "l") return commandList(*cl, report);
  if (cl->command == "s") return commandSfx(*cl, report);
  report.error("unknown command: " + cl->command);
  return kErrorBase + kBadCommand;
}

}  // namespace
}  // namespace unlha

extern "C" __attribute__((visibility("default"))) int Unlha(int hwnd, const char* szCmdLine,
                                                            char* szOutput, unsigned int dwSize) {
  (void)hwnd;
  unlha::Report report;
  int rc;
  try {
    rc = unlha::run(szCmdLine, report);
  } catch (const std::exception& e) {
    report.error(std::string("internal error: ") + e.what());
    rc = unlha::kErrorBase + unlha::kFailed;
  }
  if (szOutput && dwSize > 0) {
    const std::size_t n = std::min<std::size_t>(report.text.size(), dwSize - 1);
    std::memcpy(szOutput, report.text.data(), n);
    szOutput[n] = 0;
  }
  return rc;
}

extern "C" __attribute__((visibility("default"))) int UnlhaGetVersion(void) {
  return unlha::kVersion;
}
