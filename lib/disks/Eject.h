#pragma once

#include "platform/DriveMap.h"

namespace quillmere::disks {

// Ejects the medium of a drive: through udisks2 on the system bus where it runs (unmount every
// mounted file system of the device, then eject it, or power it off), else with the CD-ROM
// eject request on an optical device. Silent on failure; answers whether the eject was done.
bool ejectMedium(const platform::Drive& drive);

}  // namespace quillmere::disks
