// Settings reads as the main timer does them (four keys every tick) and unchanged writes,
// against a settings file of 2,000 keys; the peer is QSettings reading the same file.
#include <QSettings>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "core/Main.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/quillmere.ini";
  {
    std::ofstream out(path);
    for (int s = 0; s < 20; ++s) {
      out << "[Section" << s << "]\n";
      for (int k = 0; k < 100; ++k) out << "Section" << s << "-Key" << k << "=" << k * 7 << "\n";
    }
    out << "[Mirrorring]\nMirrorring-Timer=1\nMirrorring-Week1=1\nMirrorring-Hour9=1\n"
           "Mirrorring-Minute1=0\n";
  }
  const quillmere::Main& m = quillmere::dll();
  const char* keys[] = {"Mirrorring-Timer", "Mirrorring-Week1", "Mirrorring-Hour9",
                        "Mirrorring-Minute1"};
  constexpr int kReads = 100000;

  auto start = std::chrono::steady_clock::now();
  std::size_t sink = 0;
  for (int i = 0; i < kReads / 4; ++i)
    for (const char* key : keys)
      sink += m.DLL_GetStringFromINI(path, "Mirrorring", key, "0").size();
  const double ours = secondsSince(start);

  QSettings peer(QString::fromStdString(path), QSettings::IniFormat);
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < kReads / 4; ++i)
    for (const char* key : keys)
      sink += peer.value(QString("Mirrorring/") + key, "0").toString().size();
  const double theirs = secondsSince(start);

  struct stat before {};
  ::stat(path.c_str(), &before);
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < 10000; ++i) m.DLL_WriteStringINI(path, "Section7", "Section7-Key3", "21");
  const double writes = secondsSince(start);
  struct stat after {};
  ::stat(path.c_str(), &after);
  const bool touched = before.st_ino != after.st_ino ||
                       before.st_mtim.tv_sec != after.st_mtim.tv_sec ||
                       before.st_mtim.tv_nsec != after.st_mtim.tv_nsec;

  std::printf("settings reads: %.3f us/read (QSettings: %.3f us/read), ratio %.2f\n",
              ours / kReads * 1e6, theirs / kReads * 1e6, ours / theirs);
  std::printf("unchanged writes: %.3f us/write, file touched: %s\n", writes / 10000 * 1e6,
              touched ? "yes" : "no");
  return sink == 0 ? 1 : 0;
}
