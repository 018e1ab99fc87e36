#include "core/Main.h"

namespace quillmere {

std::int32_t Main::DLL_GetLongFromINI(const std::string& /*INIPath*/, const std::string& /*SectionName*/, const std::string& /*KeyName*/, std::int32_t /*Default*/) const {
  throwNotAvailable(26);
}

std::string Main::DLL_GetStringFromINI(const std::string& /*INIPath*/, const std::string& /*SectionName*/, const std::string& /*KeyName*/, const std::string& /*Default*/) const {
  throwNotAvailable(28);
}

double Main::DLL_RegRead(std::int32_t /*RootKEY*/, const std::string& /*Path*/, const std::string& /*Key*/) const {
  throwNotAvailable(40);
}

void Main::DLL_RegWriteLong(std::int32_t /*RootKEY*/, const std::string& /*Path*/, const std::string& /*Key*/, std::int32_t /*Data*/) const {
  throwNotAvailable(41);
}

void Main::DLL_RegWriteString(std::int32_t /*RootKEY*/, const std::string& /*Path*/, const std::string& /*Key*/, const std::string& /*Data*/) const {
  throwNotAvailable(42);
}

void Main::DLL_WriteStringINI(const std::string& /*INIPath*/, const std::string& /*SectionName*/, const std::string& /*KeyName*/, const std::string& /*Data*/) const {
  throwNotAvailable(62);
}

}  // namespace quillmere
