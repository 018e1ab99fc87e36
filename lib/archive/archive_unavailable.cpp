#include "core/Main.h"

// Methods of this family that this build does not offer yet.
namespace quillmere {

bool Main::DLL_Cab32Dll() const {
  throwNotAvailable(3);
}

void Main::DLL_Cab32DllInst() const {
  throwNotAvailable(4);
}

std::int32_t Main::DLL_CABGetVersion() const {
  throwNotAvailable(5);
}

bool Main::DLL_CABKaito(const std::string& /*InDirName*/, const std::string& /*InFileName*/,
                        const std::string& /*Window*/) const {
  throwNotAvailable(6);
}

bool Main::DLL_CABMake(std::int32_t /*hwnd*/, const std::string& /*InDirName*/) const {
  throwNotAvailable(7);
}

bool Main::DLL_LZHAdd(const std::string& /*hwnd*/, const std::string& /*LZHFileName*/,
                      const std::string& /*AddFileName*/) const {
  throwNotAvailable(32);
}

std::int32_t Main::DLL_LZHGetVersion() const {
  throwNotAvailable(33);
}

bool Main::DLL_LZHKaito(std::int32_t /*hwnd*/, const std::string& /*InFileName*/,
                        const std::string& /*DevelopmentDirName*/) const {
  throwNotAvailable(34);
}

std::string Main::DLL_LZHMake(std::int32_t /*hwnd*/, const std::string& /*InDirName*/,
                              bool /*Root*/, bool /*SubDir*/,
                              const std::string& /*RunFileName*/) const {
  throwNotAvailable(35);
}

std::string Main::DLL_LZHMakeExe(std::int32_t /*hwnd*/, const std::string& /*InFileName*/,
                                 bool /*Dir*/, bool /*Window*/, bool /*FlagSetup*/,
                                 bool /*AutoRun*/) const {
  throwNotAvailable(36);
}

}  // namespace quillmere
