#pragma once

#include <cstdint>
#include <string>

#include "Array.h"
#include "DllError.h"
#include "Variant.h"

namespace quillmere {

using StringArray = Array<std::string>;
using LongArray = Array<std::int32_t>;
using ByteArray = Array<std::uint8_t>;
using VariantArray = Array<Variant>;

// The library's one public class: a flat function library without member state. Methods are
// declared in the fixed order of the public interface. A failing method throws DllError and
// hands back nothing half-built; ordinary failures are answered as values (False, "", -1).
// Strings are UTF-8 bytes exactly as the file system gives them; paths are Windows path texts
// ("C:\home\me\Pictures") mapped onto the Linux file system by the library's drive map.
class Main final {
 public:
  void DLL_AppEnd(const std::string& WindowTitle) const;
  // WaitFlag is an optional in/out argument: the first overload leaves it out (False).
  void DLL_AppWait(const std::string& FileName) const;
  void DLL_AppWait(const std::string& FileName, bool& WaitFlag) const;
  bool DLL_Cab32Dll() const;
  void DLL_Cab32DllInst() const;
  std::int32_t DLL_CABGetVersion() const;
  bool DLL_CABKaito(const std::string& InDirName, const std::string& InFileName,
                    const std::string& Window) const;
  bool DLL_CABMake(std::int32_t hwnd, const std::string& InDirName) const;
  std::int32_t DLL_CheckDisk(const std::string& Disk) const;
  void DLL_CloseHandle(std::int32_t hObject) const;
  void DLL_CloseHandleName(const std::string& Name) const;
  void DLL_DeleteMenu(std::int32_t hObject, LongArray& Target) const;
  void DLL_DeleteMenuResize(std::int32_t hObject) const;
  Variant DLL_DiskFreeSpace(const std::string& Disk, std::int32_t Flag) const;
  std::int32_t DLL_DiskList(StringArray& DiskList) const;
  void DLL_Eject(const std::string& Disk) const;
  bool DLL_EjectOK(const std::string& Disk) const;
  bool DLL_FileCheck(const std::string& InFileName) const;
  bool DLL_FileCopy(std::int32_t hwnd, const std::string& FromFile,
                    const std::string& ToPath) const;
  bool DLL_FileDelete(std::int32_t hwnd, const std::string& DelPathName, bool Info = false,
                      bool Recycled = false) const;
  bool DLL_FileMove(std::int32_t hwnd, const std::string& FromFile,
                    const std::string& ToPath) const;
  std::int32_t DLL_FindString(std::int32_t hwnd) const;
  std::int32_t DLL_FindStringExact(std::int32_t hwnd) const;
  std::int32_t DLL_GetDroppEdstate(std::int32_t hwnd) const;
  std::int32_t DLL_GetDriveType(const std::string& Disk) const;
  std::string DLL_GetFolderPath(std::int32_t lngFolder) const;
  std::int32_t DLL_GetLongFromINI(const std::string& INIPath, const std::string& SectionName,
                                  const std::string& KeyName, std::int32_t Default) const;
  std::int32_t DLL_GetitemHeight(std::int32_t hwnd) const;
  std::string DLL_GetStringFromINI(const std::string& INIPath, const std::string& SectionName,
                                   const std::string& KeyName, const std::string& Default) const;
  std::string DLL_GetTempPath() const;
  std::string DLL_GetUserName() const;
  std::string DLL_GetVer(std::string& TargetFileName) const;
  bool DLL_LZHAdd(const std::string& hwnd, const std::string& LZHFileName,
                  const std::string& AddFileName) const;
  std::int32_t DLL_LZHGetVersion() const;
  bool DLL_LZHKaito(std::int32_t hwnd, const std::string& InFileName,
                    const std::string& DevelopmentDirName) const;
  std::string DLL_LZHMake(std::int32_t hwnd, const std::string& InDirName, bool Root, bool SubDir,
                          const std::string& RunFileName = "") const;
  std::string DLL_LZHMakeExe(std::int32_t hwnd, const std::string& InFileName, bool Dir,
                             bool Window, bool FlagSetup, bool AutoRun) const;
  void DLL_OpenFile(std::int32_t hwnd, const std::string& InFileName, const std::string& CmdLine,
                    std::int32_t Window) const;
  std::int32_t DLL_OpenProcess(std::int32_t Shell) const;
  void DLL_RecycleClr(std::int32_t hwnd, const std::string& Drive = "",
                      std::int32_t Flag = 1) const;
  double DLL_RegRead(std::int32_t RootKEY, const std::string& Path, const std::string& Key) const;
  void DLL_RegWriteLong(std::int32_t RootKEY, const std::string& Path, const std::string& Key,
                        std::int32_t Data) const;
  void DLL_RegWriteString(std::int32_t RootKEY, const std::string& Path, const std::string& Key,
                          const std::string& Data) const;
  std::int32_t DLL_ShowDoropDown(std::int32_t hwnd) const;
  std::int32_t DLL_DropDownComboClose(std::int32_t hwnd) const;
  std::int32_t DLL_SetFormTop(std::int32_t hwnd, std::int32_t Palam) const;
  std::int32_t DLL_ComboHight(std::int32_t hwnd, std::int32_t Palam, std::int32_t Hight) const;
  std::int32_t DLL_TerminateProcess(std::int32_t hProcess) const;
  bool DLL_TimeAdd(LongArray& TimeStamp, LongArray& TimeLowHi) const;
  bool DLL_TimeAddZero(LongArray& TimeStamp, StringArray& TimeStampAddZero) const;
  bool DLL_TimeBunri(LongArray& TimeLowHi, LongArray& TimeStamp) const;
  bool DLL_TimeConvert(StringArray& TimeStamp, LongArray& TimeLowHi) const;
  bool DLL_TimeGet(const std::string& InFileName, LongArray& TimeLowHi) const;
  bool DLL_TimePut(const std::string& SetFileName, LongArray& TimeLowHi) const;
  void DLL_TimePutConst(const std::string& InFileName, std::int32_t TimeLow,
                        std::int32_t TimeHi) const;
  bool DLL_TimeUpdate(LongArray& MasterTimeHiLow, LongArray& SlaveTimeHiLow) const;
  std::int32_t DLL_TimeWeekDay(std::int32_t& Year, std::int32_t& Month, std::int32_t& Day) const;
  void DLL_WindowList(StringArray& WindowList) const;
  std::string DLL_WindowName(const std::string& ExeName) const;
  bool DLL_WindowRunCheck(const std::string& WindowTitle) const;
  bool DLL_WindowsNT() const;
  void DLL_WinEnd() const;
  void DLL_WriteStringINI(const std::string& INIPath, const std::string& SectionName,
                          const std::string& KeyName, const std::string& Data) const;
  void DLL_YSetComboListRows(std::int32_t hwnd, std::int32_t Rows) const;
  std::string DLL_ChangeIPIFileName(const std::string& InFileName) const;
  std::string DLL_DelRootPath(const std::string& InFileName) const;
  void DLL_DelrSpace(std::string& InFileName) const;
  void DLL_DelvbCrLf(std::string& InFileName) const;
  void DLL_DimThumbNailConvert(StringArray& FileList, StringArray& ThumbNailList) const;
  std::string DLL_DirCheck(std::string& InDirName) const;
  std::string DLL_DirName(const std::string& InFileName, std::int32_t Flag) const;
  std::string DLL_DiskCheck(const std::string& InFileName) const;
  std::string DLL_DiskName(const std::string& FilePath) const;
  std::string DLL_DriveLetter(const std::string& DiskPath) const;
  std::string DLL_EnCheck(const std::string& InPathName) const;
  std::string DLL_EnDel(const std::string& InPathName) const;
  std::string DLL_EnDelStart(const std::string& InPathName) const;
  std::string DLL_EnDelEnd(const std::string& InPathName) const;
  std::string DLL_EnAdd(const std::string& InPathName) const;
  std::string DLL_EnAddStart(const std::string& InPathName) const;
  std::string DLL_EnAddEnd(const std::string& InPathName) const;
  bool DLL_IPIFileNameCheck(const std::string& InPathName) const;
  std::string DLL_FileName(const std::string& InFileName, std::int32_t Flag) const;
  std::string DLL_URLFileName(const std::string& InFileName, std::int32_t Flag) const;
  void DLL_FileNameDelet(StringArray& FileName, StringArray& DeletName) const;
  bool DLL_FileNameList(const std::string& Root_Path, StringArray& FileNameList,
                        std::int32_t SubDir) const;
  void DLL_FileNameSelect(StringArray& FileName, StringArray& SelectName) const;
  bool DLL_FileSerch(const std::string& Root_Path, std::string& SerchFileName, bool SubDir) const;
  double DLL_FileSize(StringArray& FileName) const;
  std::string DLL_MidPath(const std::string& RootPath, const std::string& InFileName) const;
  std::string DLL_KakuchoUName(const std::string& InFileName) const;
  std::string DLL_PathAdd(const std::string& RootPath, const std::string& FilePath) const;
  std::string DLL_Pattern(StringArray& Kakuchousi) const;
  bool DLL_ReadCheck(const std::string& ChengeFileName) const;
  void DLL_ReadChenge(const std::string& ChengeFileName, bool Read) const;
  bool DLL_ReadWriteOK(const std::string& InFileName) const;
  std::string DLL_Space(const std::string& InFileName) const;
  bool DLL_SubDirDel(const std::string& Root_Path) const;
  void DLL_SubDirList(const std::string& Root_Path, StringArray& DirList) const;
  bool DLL_SubDirMake(const std::string& OutDirPath, StringArray& DirList) const;
  std::string DLL_SubDirSerch(const std::string& Root_Path, const std::string& SerchDirName) const;
  std::string DLL_UPDirName(const std::string& InDirName) const;
  bool DLL_Alphabet(const std::string& Alphabet) const;
  bool DLL_ArchiveCheck(const std::string& CheckFileName) const;
  void DLL_ArchiveWrite(const std::string& ChengeFileName, bool Archive) const;
  bool DLL_BinFileCheck(const std::string& MasterFile, const std::string& CheckFile) const;
  void DLL_Date(std::string& DateYYYY, std::string& DateMM, std::string& DateDD) const;
  void DLL_DimConvertA(StringArray& Data) const;
  void DLL_DimConvertB(StringArray& Data) const;
  void DLL_DimWFileDel(StringArray& DimList) const;
  void DLL_DimWFileDel_W(StringArray& DimListA, StringArray& DimListB) const;
  std::string DLL_ENP(const std::string& InFileName) const;
  std::string DLL_FileBinText(ByteArray& FileBin) const;
  void DLL_FileSave(const std::string& OpenFileName, const std::string& FileText) const;
  void DLL_GetFile(const std::string& OpenFileName, ByteArray& FileBin) const;
  void DLL_PutFile(const std::string& OpenFileName, ByteArray& FileBin) const;
  bool DLL_HandleNameCheck(const std::string& Name) const;
  std::string DLL_HexMinus(const std::string& Orj, std::uint8_t Sabun) const;
  bool DLL_HiddenCheck(const std::string& CheckFileName) const;
  void DLL_HiddenWrite(const std::string& ChengeFileName, bool Hidden) const;
  std::string DLL_Left12(const std::string& Mojiretu, std::int32_t Longs) const;
  bool DLL_ListCheck(const std::string& Check_String, StringArray& StringList,
                     std::int32_t DimX = 1) const;
  std::string DLL_Right12(const std::string& Mojiretu, std::int32_t Longs) const;
  std::string DLL_NullDel(const std::string& TempA) const;
  void DLL_NullDelDim2(StringArray& InDim) const;
  void DLL_SCRClr() const;
  std::string DLL_SCRGet() const;
  void DLL_SCR_ON_OFF(bool SCRON) const;
  void DLL_SCRPropatey() const;
  void DLL_SCRWrite(const std::string& SCRName) const;
  void DLL_SCRRun() const;
  void DLL_Sort(StringArray& Data, LongArray& Target) const;
  void DLL_SwapByte(std::uint8_t& SwapA, std::uint8_t& SwapB) const;
  void DLL_SwapLong(std::int32_t& SwapA, std::int32_t& SwapB) const;
  bool DLL_TakeDate(const std::string& FileName, std::int32_t File_Byte, LongArray& TakeDate,
                    float TimeOut = 15) const;
  void DLL_Time(std::string& TimeHH, std::string& TimeMM, std::string& TimeSS) const;
  std::string DLL_ToAlphabet(std::int32_t No) const;
  std::int32_t DLL_TotalDays(std::int32_t Dyyyy, std::int32_t Dmm, std::int32_t Ddd) const;
  std::uint8_t DLL_True_False(bool Temp) const;
  bool DLL_Wait(std::int32_t Sec) const;
  void DLL_WDataDel(StringArray& ThumbNailList, const std::string& TargetDim) const;
  bool DLL_XBound(VariantArray& DimA, std::int32_t X = 1) const;
  bool DLL_XBoundByte(ByteArray& DimA, std::int32_t X = 1) const;
  bool DLL_XBoundLong(LongArray& DimA, std::int32_t X = 1) const;
  bool DLL_XBoundString(StringArray& DimA, std::int32_t X = 1) const;
};

// The program's one Main object, created on first use and kept for the program's life.
const Main& dll();

}  // namespace quillmere
