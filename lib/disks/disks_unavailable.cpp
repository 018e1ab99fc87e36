#include "core/Main.h"

// Methods of this family that this build does not offer yet.
namespace quillmere {

std::int32_t Main::DLL_CheckDisk(const std::string& /*Disk*/) const {
  throwNotAvailable(8);
}

Variant Main::DLL_DiskFreeSpace(const std::string& /*Disk*/, std::int32_t /*Flag*/) const {
  throwNotAvailable(13);
}

std::int32_t Main::DLL_DiskList(StringArray& /*DiskList*/) const {
  throwNotAvailable(14);
}

void Main::DLL_Eject(const std::string& /*Disk*/) const {
  throwNotAvailable(15);
}

bool Main::DLL_EjectOK(const std::string& /*Disk*/) const {
  throwNotAvailable(16);
}

std::int32_t Main::DLL_GetDriveType(const std::string& /*Disk*/) const {
  throwNotAvailable(24);
}

}  // namespace quillmere
