#include "shell/core/SettingsLocation.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "core/Main.h"
#include "platform/DriveMap.h"
#include "platform/Text.h"

namespace quillmere {

namespace {

constexpr const char* kFileName = "quillmere.ini";

std::string envValue(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string absolute(const std::string& p) {
  std::error_code ec;
  const auto a = std::filesystem::absolute(p, ec);
  return ec ? p : a.lexically_normal().string();
}

}  // namespace

bool folderIsWritable(const std::string& folder) {
  if (folder.empty()) return false;
  std::random_device rd;
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::string probe =
        folder + "/.quillmere-probe-" + std::to_string(::getpid()) + "-" + std::to_string(rd());
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      ::unlink(probe.c_str());
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

std::string settingsFileLocation(const std::string& programDir, const std::string& explicitPath) {
  if (!explicitPath.empty()) return absolute(explicitPath);
  const std::string fromEnv = envValue("QUILLMERE_INI");
  if (!fromEnv.empty()) return absolute(fromEnv);
  if (folderIsWritable(programDir)) return absolute(programDir + "/" + kFileName);

  std::string config = envValue("XDG_CONFIG_HOME");
  if (config.empty() || config.front() != '/') {
    const std::string home = envValue("HOME");
    config = (home.empty() ? std::string("/tmp") : home) + "/.config";
  }
  const std::string folder = config + "/quillmere";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder + "/" + kFileName;
}

}  // namespace quillmere

namespace quillmere {

std::string programDriveOf(const std::string& programDirNative) {
  const std::string folder = platform::DriveMap::current().toPathText(programDirNative);
  return text::asciiLower(dll().DLL_DiskName(folder));
}

}  // namespace quillmere
