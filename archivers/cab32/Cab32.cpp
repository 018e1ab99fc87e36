// libcab32.so: the CAB archiver behind the library's archiver bindings, built on libgcab. Two
// entry points, looked up by name: Cab(window, command line, output buffer, size) and
// CabGetVersion().
//
// Commands (paths are absolute native paths "/...", mapped by the caller; "SOURCE\" below stands
// for "/source/"):
//   -a [-r] [-i] CABINET SOURCE\*.*   create CABINET (MSZIP) from the files of the SOURCE folder;
//       -r descends into sub-folders keeping their paths. Links are not followed, the cabinet
//       itself is never packed. The cabinet replaces an older one only when it is complete.
//   -x [-o] [-j] CABINET FOLDER\      extract into FOLDER (created when missing), keeping the
//       stored folders; -o replaces existing files, otherwise they are left and reported.
//       -i and -j are accepted for compatibility and change nothing.
// Names that would leave the target folder are refused; nothing is written outside it.
// The result is 0 on success, otherwise 0x8000 plus a reason; the output buffer receives a
// readable report.
#include <dirent.h>
#include <fcntl.h>
#include <libgcab.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "../unlha32/CommandLine.h"
#include "../unlha32/lzh_archive.h"

namespace {

constexpr int kVersion = 100;
constexpr int kErrorBase = 0x8000;
enum Reason { kBadCommand = 1, kFailed = 2, kPartly = 3 };

struct Report {
  std::string text;
  int errors = 0;
  int skipped = 0;
  void line(const std::string& s) { text += s + "\n"; }
  void error(const std::string& s) {
    ++errors;
    line("NG  " + s);
  }
};

std::string baseName(const std::string& p) {
  const auto s = p.find_last_of('/');
  return s == std::string::npos ? p : p.substr(s + 1);
}
std::string dirName(const std::string& p) {
  const auto s = p.find_last_of('/');
  if (s == std::string::npos) return ".";
  return s == 0 ? "/" : p.substr(0, s);
}

struct Entry {
  std::string native;
  std::string stored;  // "sub\name"
};

void walk(const std::string& dir, const std::string& prefix, bool recursive, dev_t exDev,
          const std::vector<ino_t>& exIno, std::vector<Entry>& out, Report& report) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) {
    report.error(dir + ": cannot be read (" + std::strerror(errno) + ")");
    return;
  }
  std::vector<std::string> names;
  while (dirent* e = ::readdir(d)) {
    const std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  for (const auto& n : names) {
    const std::string native = dir + "/" + n;
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0) {
      report.error(native + ": vanished while being archived");
      continue;
    }
    if (st.st_dev == exDev && std::find(exIno.begin(), exIno.end(), st.st_ino) != exIno.end())
      continue;
    if (n.find('\\') != std::string::npos) {
      report.line("--  " + native + ": the name cannot be stored in a cabinet, passed over");
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      if (recursive) walk(native, prefix + n + "\\", recursive, exDev, exIno, out, report);
    } else if (S_ISREG(st.st_mode)) {
      out.push_back({native, prefix + n});
    } else {
      report.line("--  " + native + ": not a regular file, not archived");
    }
  }
}

std::string gerrorText(GError* e) {
  std::string s = e && e->message ? e->message : "error";
  if (e) g_error_free(e);
  return s;
}

int commandCreate(const unlha::CommandLine& cl, Report& report) {
  if (cl.args.size() < 2) {
    report.error("-a: a cabinet and a source are needed");
    return kErrorBase + kBadCommand;
  }
  const auto cab = unlha::pathArgument(cl.args[0]);
  // The source is "folder\*.*": its folder part is what gets archived.
  std::string src = cl.args[1];
  const auto sep = src.find_last_of("\\/");
  std::string pattern = "*.*";
  if (sep != std::string::npos && src.find_first_of("*?", sep) != std::string::npos) {
    pattern = src.substr(sep + 1);
    src = src.substr(0, sep + 1);
  }
  const auto source = unlha::pathArgument(src);
  if (!cab || !source) {
    report.error("-a: not a path");
    return kErrorBase + kBadCommand;
  }
  std::string tmp = dirName(cab->path) + "/." + baseName(cab->path) + ".XXXXXX";
  const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0) {
    report.error(cab->path + ": cannot be created (" + std::strerror(errno) + ")");
    return kErrorBase + kFailed;
  }
  struct stat tst {
  }, cst{};
  ::fstat(fd, &tst);
  ::close(fd);
  std::vector<ino_t> exclude{tst.st_ino};
  if (::stat(cab->path.c_str(), &cst) == 0 && cst.st_dev == tst.st_dev)
    exclude.push_back(cst.st_ino);
  std::vector<Entry> entries;
  walk(source->path, "", cl.has("-r"), tst.st_dev, exclude, entries, report);
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [&](const Entry& e) {
                                 return !unlha::wildcardMatch(pattern, baseName(e.native));
                               }),
                entries.end());
  bool ok = report.errors == 0;
  GCabCabinet* cabinet = gcab_cabinet_new();
  GCabFolder* folder = gcab_folder_new(GCAB_COMPRESSION_MSZIP);
  for (const auto& e : entries) {
    if (!ok) break;
    GFile* file = g_file_new_for_path(e.native.c_str());
    GCabFile* cf = gcab_file_new_with_file(e.stored.c_str(), file);
    GError* err = nullptr;
    if (!gcab_folder_add_file(folder, cf, FALSE, nullptr, &err)) {
      report.error(e.native + ": " + gerrorText(err));
      ok = false;
    }
    g_object_unref(cf);
    g_object_unref(file);
  }
  GError* err = nullptr;
  if (ok && !gcab_cabinet_add_folder(cabinet, folder, &err)) {
    report.error(cab->path + ": " + gerrorText(err));
    ok = false;
  }
  if (ok) {
    GFile* out = g_file_new_for_path(tmp.c_str());
    GFileOutputStream* os = g_file_replace(out, nullptr, FALSE, G_FILE_CREATE_NONE, nullptr, &err);
    if (!os) {
      report.error(cab->path + ": " + gerrorText(err));
      ok = false;
    } else {
      if (!gcab_cabinet_write_simple(cabinet, G_OUTPUT_STREAM(os), nullptr, nullptr, nullptr,
                                     &err)) {
        report.error(cab->path + ": " + gerrorText(err));
        ok = false;
      }
      err = nullptr;
      if (!g_output_stream_close(G_OUTPUT_STREAM(os), nullptr, &err)) {
        if (ok) report.error(cab->path + ": " + gerrorText(err));
        ok = false;
      }
      g_object_unref(os);
    }
    g_object_unref(out);
  }
  g_object_unref(folder);
  g_object_unref(cabinet);
  if (ok) {
    // The temporary file was made private; the cabinet gets the usual permissions.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    ::chmod(tmp.c_str(), 0666 & ~mask);
  }
  if (ok && ::rename(tmp.c_str(), cab->path.c_str()) != 0) {
    report.error(cab->path + ": cannot be put in place (" + std::strerror(errno) + ")");
    ok = false;
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    report.line("The cabinet was not made: " + cab->path);
    return kErrorBase + kFailed;
  }
  report.line(std::to_string(entries.size()) + " files archived into " + cab->path);
  return 0;
}

struct ExtractState {
  Report* report;
};

gboolean chooseFile(GCabFile* file, gpointer data) {
  auto* st = static_cast<ExtractState*>(data);
  const char* name = gcab_file_get_name(file);
  std::vector<char> clean(std::strlen(name) + 2);
  if (lzh_clean_path(name, clean.data(), clean.size()) != LZH_OK) {
    st->report->error(std::string(name) + ": the name leaves the target folder, refused");
    return FALSE;
  }
  gcab_file_set_extract_name(file, clean.data());
  return TRUE;
}

// Moves the files extracted into the private folder `from` into place below `to`, walking both
// by descriptors without following links.
void settle(int from, int to, const std::string& rel, bool replace, Report& report) {
  DIR* d = ::fdopendir(::dup(from));
  if (!d) return;
  ::rewinddir(d);  // the duplicate shares its offset with `from`
  std::vector<std::string> names;
  while (dirent* e = ::readdir(d)) {
    const std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  ::closedir(d);
  for (const auto& n : names) {
    struct stat st {};
    if (::fstatat(from, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      if (::mkdirat(to, n.c_str(), 0777) != 0 && errno != EEXIST) {
        report.error(rel + n + ": cannot create the folder");
        continue;
      }
      const int sub = ::openat(from, n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      const int dst = ::openat(to, n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub >= 0 && dst >= 0) {
        settle(sub, dst, rel + n + "/", replace, report);
      } else {
        report.error(rel + n + ": is not a folder");
      }
      if (sub >= 0) ::close(sub);
      if (dst >= 0) ::close(dst);
      continue;
    }
    if (!S_ISREG(st.st_mode)) continue;
    struct stat old {};
    const bool exists = ::fstatat(to, n.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && (!replace || !S_ISREG(old.st_mode))) {
      report.line("--  " + rel + n + ": exists, left as it is");
      ++report.skipped;
      continue;
    }
    const int rc = replace ? ::renameat(from, n.c_str(), to, n.c_str())
                           : ::renameat2(from, n.c_str(), to, n.c_str(), RENAME_NOREPLACE);
    if (rc != 0) {
      report.error(rel + n + ": cannot be put in place (" + std::strerror(errno) + ")");
    } else {
      report.line("OK  " + rel + n);
    }
  }
}

void removeTree(int dir) {
  DIR* d = ::fdopendir(::dup(dir));
  if (!d) return;
  ::rewinddir(d);  // the duplicate shares its offset with `dir`
  std::vector<std::string> names;
  while (dirent* e = ::readdir(d)) {
    const std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  ::closedir(d);
  for (const auto& n : names) {
    const int sub = ::openat(dir, n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub >= 0) {
      removeTree(sub);
      ::close(sub);
      ::unlinkat(dir, n.c_str(), AT_REMOVEDIR);
    } else {
      ::unlinkat(dir, n.c_str(), 0);
    }
  }
}

int commandExtract(const unlha::CommandLine& cl, Report& report) {
  if (cl.args.size() < 2) {
    report.error("-x: a cabinet and a target folder are needed");
    return kErrorBase + kBadCommand;
  }
  const auto cab = unlha::pathArgument(cl.args[0]);
  const auto target = unlha::pathArgument(cl.args[1]);
  if (!cab || !target) {
    report.error("-x: not a path");
    return kErrorBase + kBadCommand;
  }
  if (g_mkdir_with_parents(target->path.c_str(), 0777) != 0) {
    report.error(target->path + ": cannot create the folder");
    return kErrorBase + kFailed;
  }
  const int to = ::open(target->path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::string work = target->path + "/.cab-XXXXXX";
  if (to < 0 || !::mkdtemp(work.data())) {
    if (to >= 0) ::close(to);
    report.error(target->path + ": cannot be written (" + std::strerror(errno) + ")");
    return kErrorBase + kFailed;
  }
  GFile* file = g_file_new_for_path(cab->path.c_str());
  GError* err = nullptr;
  GFileInputStream* in = g_file_read(file, nullptr, &err);
  bool ok = in != nullptr;
  if (!ok) report.error(cab->path + ": " + gerrorText(err));
  GCabCabinet* cabinet = gcab_cabinet_new();
  if (ok) {
    err = nullptr;
    if (!gcab_cabinet_load(cabinet, G_INPUT_STREAM(in), nullptr, &err)) {
      report.error(cab->path + ": " + gerrorText(err));
      ok = false;
    }
  }
  if (ok) {
    ExtractState st{&report};
    GFile* dest = g_file_new_for_path(work.c_str());
    err = nullptr;
    if (!gcab_cabinet_extract_simple(cabinet, dest, chooseFile, &st, nullptr, &err)) {
      report.error(cab->path + ": " + gerrorText(err));
      ok = false;
    }
    g_object_unref(dest);
  }
  const int from = ::open(work.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (from >= 0) {
    // Only complete extractions are put in place; the private folder goes away either way.
    if (ok) settle(from, to, "", cl.has("-o"), report);
    removeTree(from);
    ::close(from);
  }
  ::rmdir(work.c_str());
  ::close(to);
  if (in) g_object_unref(in);
  g_object_unref(cabinet);
  g_object_unref(file);
  if (!ok || report.errors) return kErrorBase + kFailed;
  return report.skipped ? kErrorBase + kPartly : 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int Cab(int hwnd, const char* szCmdLine,
                                                          char* szOutput, unsigned int dwSize) {
  (void)hwnd;
  Report report;
  int rc;
  const auto cl = unlha::parseCommandLine(std::string("cab ") + (szCmdLine ? szCmdLine : ""));
  if (!cl) {
    report.error("the command line cannot be read");
    rc = kErrorBase + kBadCommand;
  } else if (cl->has("-a")) {
    rc = commandCreate(*cl, report);
  } else if (cl->has("-x")) {
    rc = commandExtract(*cl, report);
  } else {
    report.error("no command (-a or -x)");
    rc = kErrorBase + kBadCommand;
  }
  if (szOutput && dwSize > 0) {
    const std::size_t n = std::min<std::size_t>(report.text.size(), dwSize - 1);
    std::memcpy(szOutput, report.text.data(), n);
    szOutput[n] = 0;
  }
  return rc;
}

extern "C" __attribute__((visibility("default"))) int CabGetVersion(void) {
  return kVersion;
}
