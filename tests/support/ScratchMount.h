#pragma once

#include <sys/mount.h>

#include <QTemporaryDir>

#include <string>

namespace quillmere::test {

// A small tmpfs of its own (a separate file system, a disk that fills up after a few
// kilobytes), mounted on a temporary folder for the life of the object. mounted() is false
// where mounting is not allowed; the test then skips.
class ScratchMount {
 public:
  explicit ScratchMount(const std::string& size = "256k")
      : m_dir(QDir::tempPath() + "/quillmere-mount-XXXXXX") {
    if (!m_dir.isValid()) return;
    m_root = m_dir.path().toStdString();
    const std::string options = "size=" + size + ",mode=0755";
    m_mounted =
        ::mount("tmpfs", m_root.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
  }
  ~ScratchMount() {
    if (m_mounted) ::umount2(m_root.c_str(), MNT_DETACH);
  }
  ScratchMount(const ScratchMount&) = delete;
  ScratchMount& operator=(const ScratchMount&) = delete;

  bool mounted() const { return m_mounted; }
  const std::string& root() const { return m_root; }

 private:
  QTemporaryDir m_dir;
  std::string m_root;
  bool m_mounted = false;
};

}  // namespace quillmere::test
