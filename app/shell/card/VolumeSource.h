#pragma once

#include <functional>
#include <string>

namespace quillmere::card {

// A mounted file system as the system's disk service reports it.
struct Volume {
  std::string object;      // the service's name for the block device
  std::string uuid;        // the file system's UUID; may be empty
  std::string label;       // the volume label; may be empty
  std::string mountPoint;  // native folder
  bool removable = false;  // its drive takes removable media or is removable itself

  // What tells one medium from another: the UUID, else the block device.
  std::string identity() const { return uuid.empty() ? object : "uuid:" + uuid; }
};

// Reports volumes that become mounted or stop being mounted while it listens. Volumes already
// mounted when listening starts are no news. The disk service is one implementation; tests
// drive the decision logic with a fake.
class VolumeSource {
 public:
  virtual ~VolumeSource() = default;

  // Starts listening; answers an error text, empty on success.
  virtual std::string start() = 0;

  std::function<void(const Volume&)> onMounted;
  std::function<void(const Volume&)> onUnmounted;
};

}  // namespace quillmere::card
