#pragma once

#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "LzhWriter.h"
#include "lzh_codec.h"

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

inline std::string randomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

// Every file and folder below root, relative, folders with a trailing "/".
inline std::vector<std::string> listing(const std::string& root) {
  namespace fs = std::filesystem;
  std::vector<std::string> out;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it)
    out.push_back(it->path().lexically_relative(root).string() +
                  (fs::is_directory(it->symlink_status()) ? "/" : ""));
  std::sort(out.begin(), out.end());
  return out;
}

// A level-2 header for a stored member with any name and any sizes, for archives that no honest
// writer makes. `packed` is what the header claims, whatever follows it.
inline std::string memberHeader(const std::string& name, std::uint64_t packed,
                                std::uint64_t original, std::uint16_t crc,
                                std::vector<std::string> folders = {}, std::uint32_t mode = 0100644,
                                bool large = false) {
  unlha::MemberHeader h;
  h.store = true;
  h.name = name;
  h.folders = std::move(folders);
  h.packed = packed;
  h.original = original;
  h.crc = crc;
  h.mode = mode;
  h.mtime = 1700000000;
  h.large = large;
  const auto hdr = unlha::buildHeader(h);
  return std::string(hdr.begin(), hdr.end());
}

// A stored member (header and data) with any name.
inline std::string storedMember(const std::string& name, const std::string& data,
                                std::vector<std::string> folders = {},
                                std::uint32_t mode = 0100644) {
  return memberHeader(name, data.size(), data.size(), lzh_crc16(0, data.data(), data.size()),
                      std::move(folders), mode) +
         data;
}

// Runs body in a child process and waits for it at most `seconds`. Returns its exit status;
// -1 when it was still running at the deadline (it is killed), 128 + signal when one ended it.
inline int inChild(const std::function<int()>& body, double seconds = 600) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  auto pause = std::chrono::microseconds(50);
  int st = 0;
  for (;;) {
    if (::waitpid(pid, &st, WNOHANG) == pid)
      return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    if (std::chrono::steady_clock::now() >= until) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &st, 0);
      return -1;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(5000));
  }
}

}  // namespace quillmere::test
