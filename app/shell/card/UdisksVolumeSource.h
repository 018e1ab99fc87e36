#pragma once

#include <QObject>
#include <QTimer>

#include <map>
#include <string>

#include "shell/card/VolumeSource.h"

namespace quillmere::card {

// The volumes of the system's disk service (udisks2 on the system bus). Any change it signals
// (objects added or removed, properties changed) leads, a moment later, to one new look at all
// its file systems; the difference to the last look gives the mounts and unmounts.
class UdisksVolumeSource final : public QObject, public VolumeSource {
  Q_OBJECT

 public:
  explicit UdisksVolumeSource(QObject* parent = nullptr);

  std::string start() override;

 public Q_SLOTS:
  void changed();

 private:
  // Answers false when the service could not be asked (the last look then stays in force).
  bool look(std::map<std::string, Volume>& mounted) const;
  void compare();

  std::map<std::string, Volume> m_mounted;  // by block device
  bool m_baseline = false;                  // m_mounted holds an answer of the service
  QTimer m_settle;
};

}  // namespace quillmere::card
