#pragma once

#include <dlfcn.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillmere::test {

// Calls an archiver library the way the bindings do: by name from the build folder.
class ArchiverLib {
 public:
  ArchiverLib(const char* file, const char* call, const char* version) {
    const std::string path = std::string(QUILLMERE_BIN_DIR) + "/" + file;
    m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) throw std::runtime_error(::dlerror());
    m_call = reinterpret_cast<Fn>(::dlsym(m_handle, call));
    m_version = reinterpret_cast<int (*)()>(::dlsym(m_handle, version));
  }
  int operator()(const std::string& command, std::string* report = nullptr) const {
    std::vector<char> out(32767, ' ');
    const int rc = m_call(0, command.c_str(), out.data(), static_cast<unsigned>(out.size()));
    if (report) *report = out.data();
    return rc;
  }
  int version() const { return m_version(); }

 private:
  using Fn = int (*)(int, const char*, char*, unsigned int);
  void* m_handle = nullptr;
  Fn m_call = nullptr;
  int (*m_version)() = nullptr;
};

inline const ArchiverLib& lzhLib() {
  static ArchiverLib lib("libunlha32.so", "Unlha", "UnlhaGetVersion");
  return lib;
}
inline const ArchiverLib& cabLib() {
  static ArchiverLib lib("libcab32.so", "Cab", "CabGetVersion");
  return lib;
}

struct Shell {
  int status;
  std::string output;
};

// Runs a shell command line (test peers only), with its output and exit status.
inline Shell shell(const std::string& command) {
  Shell r{-1, {}};
  FILE* p = ::popen((command + " 2>&1").c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.output.append(buf.data(), n);
  const int st = ::pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

inline std::string q(const std::string& s) {
  return "'" + s + "'";
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

}  // namespace quillmere::test
