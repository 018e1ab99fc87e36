#include "core/Main.h"

// Methods of this family that this build does not offer yet.
namespace quillmere {

std::string Main::DLL_GetFolderPath(std::int32_t /*lngFolder*/) const {
  throwNotAvailable(25);
}

std::string Main::DLL_GetTempPath() const {
  throwNotAvailable(29);
}

std::string Main::DLL_ChangeIPIFileName(const std::string& /*InFileName*/) const {
  throwNotAvailable(64);
}

std::string Main::DLL_DelRootPath(const std::string& /*InFileName*/) const {
  throwNotAvailable(65);
}

void Main::DLL_DelrSpace(std::string& /*InFileName*/) const {
  throwNotAvailable(66);
}

void Main::DLL_DelvbCrLf(std::string& /*InFileName*/) const {
  throwNotAvailable(67);
}

std::string Main::DLL_DirCheck(std::string& /*InDirName*/) const {
  throwNotAvailable(69);
}

std::string Main::DLL_DirName(const std::string& /*InFileName*/, std::int32_t /*Flag*/) const {
  throwNotAvailable(70);
}

std::string Main::DLL_DiskName(const std::string& /*FilePath*/) const {
  throwNotAvailable(72);
}

std::string Main::DLL_DriveLetter(const std::string& /*DiskPath*/) const {
  throwNotAvailable(73);
}

std::string Main::DLL_EnCheck(const std::string& /*InPathName*/) const {
  throwNotAvailable(74);
}

std::string Main::DLL_EnDel(const std::string& /*InPathName*/) const {
  throwNotAvailable(75);
}

std::string Main::DLL_EnDelStart(const std::string& /*InPathName*/) const {
  throwNotAvailable(76);
}

std::string Main::DLL_EnDelEnd(const std::string& /*InPathName*/) const {
  throwNotAvailable(77);
}

std::string Main::DLL_EnAdd(const std::string& /*InPathName*/) const {
  throwNotAvailable(78);
}

std::string Main::DLL_EnAddStart(const std::string& /*InPathName*/) const {
  throwNotAvailable(79);
}

std::string Main::DLL_EnAddEnd(const std::string& /*InPathName*/) const {
  throwNotAvailable(80);
}

bool Main::DLL_IPIFileNameCheck(const std::string& /*InPathName*/) const {
  throwNotAvailable(81);
}

std::string Main::DLL_FileName(const std::string& /*InFileName*/, std::int32_t /*Flag*/) const {
  throwNotAvailable(82);
}

std::string Main::DLL_URLFileName(const std::string& /*InFileName*/, std::int32_t /*Flag*/) const {
  throwNotAvailable(83);
}

bool Main::DLL_FileNameList(const std::string& /*Root_Path*/, StringArray& /*FileNameList*/,
                            std::int32_t /*SubDir*/) const {
  throwNotAvailable(85);
}

bool Main::DLL_FileSerch(const std::string& /*Root_Path*/, std::string& /*SerchFileName*/,
                         bool /*SubDir*/) const {
  throwNotAvailable(87);
}

std::string Main::DLL_MidPath(const std::string& /*RootPath*/,
                              const std::string& /*InFileName*/) const {
  throwNotAvailable(89);
}

std::string Main::DLL_KakuchoUName(const std::string& /*InFileName*/) const {
  throwNotAvailable(90);
}

std::string Main::DLL_PathAdd(const std::string& /*RootPath*/,
                              const std::string& /*FilePath*/) const {
  throwNotAvailable(91);
}

std::string Main::DLL_Pattern(StringArray& /*Kakuchousi*/) const {
  throwNotAvailable(92);
}

std::string Main::DLL_Space(const std::string& /*InFileName*/) const {
  throwNotAvailable(96);
}

void Main::DLL_SubDirList(const std::string& /*Root_Path*/, StringArray& /*DirList*/) const {
  throwNotAvailable(98);
}

std::string Main::DLL_SubDirSerch(const std::string& /*Root_Path*/,
                                  const std::string& /*SerchDirName*/) const {
  throwNotAvailable(100);
}

std::string Main::DLL_UPDirName(const std::string& /*InDirName*/) const {
  throwNotAvailable(101);
}

bool Main::DLL_Alphabet(const std::string& /*Alphabet*/) const {
  throwNotAvailable(102);
}

std::string Main::DLL_ENP(const std::string& /*InFileName*/) const {
  throwNotAvailable(111);
}

std::string Main::DLL_HexMinus(const std::string& /*Orj*/, std::uint8_t /*Sabun*/) const {
  throwNotAvailable(117);
}

std::string Main::DLL_Left12(const std::string& /*Mojiretu*/, std::int32_t /*Longs*/) const {
  throwNotAvailable(120);
}

std::string Main::DLL_Right12(const std::string& /*Mojiretu*/, std::int32_t /*Longs*/) const {
  throwNotAvailable(122);
}

std::string Main::DLL_ToAlphabet(std::int32_t /*No*/) const {
  throwNotAvailable(136);
}

std::uint8_t Main::DLL_True_False(bool /*Temp*/) const {
  throwNotAvailable(138);
}

}  // namespace quillmere
