#include "core/Main.h"

// Methods of this family that this build does not offer yet.
namespace quillmere {

void Main::DLL_AppEnd(const std::string& /*WindowTitle*/) const {
  throwNotAvailable(1);
}

void Main::DLL_AppWait(const std::string& /*FileName*/) const {
  throwNotAvailable(2);
}

void Main::DLL_AppWait(const std::string& /*FileName*/, bool& /*WaitFlag*/) const {
  throwNotAvailable(2);
}

void Main::DLL_CloseHandle(std::int32_t /*hObject*/) const {
  throwNotAvailable(9);
}

void Main::DLL_CloseHandleName(const std::string& /*Name*/) const {
  throwNotAvailable(10);
}

void Main::DLL_DeleteMenu(std::int32_t /*hObject*/, LongArray& /*Target*/) const {
  throwNotAvailable(11);
}

void Main::DLL_DeleteMenuResize(std::int32_t /*hObject*/) const {
  throwNotAvailable(12);
}

std::int32_t Main::DLL_FindString(std::int32_t /*hwnd*/) const {
  throwNotAvailable(21);
}

std::int32_t Main::DLL_FindStringExact(std::int32_t /*hwnd*/) const {
  throwNotAvailable(22);
}

std::int32_t Main::DLL_GetDroppEdstate(std::int32_t /*hwnd*/) const {
  throwNotAvailable(23);
}

std::int32_t Main::DLL_GetitemHeight(std::int32_t /*hwnd*/) const {
  throwNotAvailable(27);
}

std::string Main::DLL_GetVer(std::string& /*TargetFileName*/) const {
  throwNotAvailable(31);
}

void Main::DLL_OpenFile(std::int32_t /*hwnd*/, const std::string& /*InFileName*/,
                        const std::string& /*CmdLine*/, std::int32_t /*Window*/) const {
  throwNotAvailable(37);
}

std::int32_t Main::DLL_OpenProcess(std::int32_t /*Shell*/) const {
  throwNotAvailable(38);
}

std::int32_t Main::DLL_ShowDoropDown(std::int32_t /*hwnd*/) const {
  throwNotAvailable(43);
}

std::int32_t Main::DLL_DropDownComboClose(std::int32_t /*hwnd*/) const {
  throwNotAvailable(44);
}

std::int32_t Main::DLL_ComboHight(std::int32_t /*hwnd*/, std::int32_t /*Palam*/,
                                  std::int32_t /*Hight*/) const {
  throwNotAvailable(46);
}

std::int32_t Main::DLL_TerminateProcess(std::int32_t /*hProcess*/) const {
  throwNotAvailable(47);
}

void Main::DLL_WindowList(StringArray& /*WindowList*/) const {
  throwNotAvailable(57);
}

std::string Main::DLL_WindowName(const std::string& /*ExeName*/) const {
  throwNotAvailable(58);
}

bool Main::DLL_WindowRunCheck(const std::string& /*WindowTitle*/) const {
  throwNotAvailable(59);
}

void Main::DLL_WinEnd() const {
  throwNotAvailable(61);
}

void Main::DLL_YSetComboListRows(std::int32_t /*hwnd*/, std::int32_t /*Rows*/) const {
  throwNotAvailable(63);
}

bool Main::DLL_HandleNameCheck(const std::string& /*Name*/) const {
  throwNotAvailable(116);
}

void Main::DLL_SCRClr() const {
  throwNotAvailable(125);
}

std::string Main::DLL_SCRGet() const {
  throwNotAvailable(126);
}

void Main::DLL_SCR_ON_OFF(bool /*SCRON*/) const {
  throwNotAvailable(127);
}

void Main::DLL_SCRPropatey() const {
  throwNotAvailable(128);
}

void Main::DLL_SCRWrite(const std::string& /*SCRName*/) const {
  throwNotAvailable(129);
}

void Main::DLL_SCRRun() const {
  throwNotAvailable(130);
}

}  // namespace quillmere
