#include "archive/ArchiverLibrary.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "paths/LibraryFolder.h"

namespace quillmere::archive {

namespace {

using CallFn = int (*)(int, const char*, char*, unsigned int);
using VersionFn = int (*)();

struct Entry {
  CallFn call = nullptr;
  VersionFn version = nullptr;
};

std::string folder() {
  const char* env = std::getenv("QUILLMERE_ARCHIVER_DIR");
  if (env != nullptr && *env != '\0') return env;
  return paths::libraryFolderNative();
}

Entry load(Archiver which) {
  // dlopen counts its own references and hands back the same handle for the same file, so
  // loading on every call costs a lookup, and a changed QUILLMERE_ARCHIVER_DIR is seen.
  const std::string path = folder() + "/" + libraryFileName(which);
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return {};
  Entry e;
  const bool lzh = which == Archiver::Lzh;
  e.call = reinterpret_cast<CallFn>(::dlsym(handle, lzh ? "Unlha" : "Cab"));
  e.version =
      reinterpret_cast<VersionFn>(::dlsym(handle, lzh ? "UnlhaGetVersion" : "CabGetVersion"));
  if (e.call == nullptr || e.version == nullptr) return {};
  return e;
}

}  // namespace

const char* libraryFileName(Archiver which) {
  return which == Archiver::Lzh ? "libunlha32.so" : "libcab32.so";
}

std::int32_t archiverVersion(Archiver which) {
  const Entry e = load(which);
  return e.version ? e.version() : 0;
}

std::int32_t callArchiver(Archiver which, std::int32_t hwnd, const std::string& commandLine,
                          std::string* output) {
  const Entry e = load(which);
  if (e.call == nullptr) return -1;
  constexpr unsigned int kSize = 32767;
  std::vector<char> buffer(kSize + 1, ' ');
  buffer[kSize] = '\0';
  const int rc = e.call(hwnd, commandLine.c_str(), buffer.data(), kSize);
  if (output) *output = std::string(buffer.data(), ::strnlen(buffer.data(), kSize));
  return rc;
}

}  // namespace quillmere::archive
