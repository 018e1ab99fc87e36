#include "core/Main.h"

// Methods of this family that this build does not offer yet.
namespace quillmere {

bool Main::DLL_FileCheck(const std::string& /*InFileName*/) const {
  throwNotAvailable(17);
}

bool Main::DLL_FileCopy(std::int32_t /*hwnd*/, const std::string& /*FromFile*/,
                        const std::string& /*ToPath*/) const {
  throwNotAvailable(18);
}

bool Main::DLL_FileDelete(std::int32_t /*hwnd*/, const std::string& /*DelPathName*/, bool /*Info*/,
                          bool /*Recycled*/) const {
  throwNotAvailable(19);
}

bool Main::DLL_FileMove(std::int32_t /*hwnd*/, const std::string& /*FromFile*/,
                        const std::string& /*ToPath*/) const {
  throwNotAvailable(20);
}

void Main::DLL_RecycleClr(std::int32_t /*hwnd*/, const std::string& /*Drive*/,
                          std::int32_t /*Flag*/) const {
  throwNotAvailable(39);
}

void Main::DLL_DimThumbNailConvert(StringArray& /*FileList*/,
                                   StringArray& /*ThumbNailList*/) const {
  throwNotAvailable(68);
}

void Main::DLL_FileNameDelet(StringArray& /*FileName*/, StringArray& /*DeletName*/) const {
  throwNotAvailable(84);
}

void Main::DLL_FileNameSelect(StringArray& /*FileName*/, StringArray& /*SelectName*/) const {
  throwNotAvailable(86);
}

double Main::DLL_FileSize(StringArray& /*FileName*/) const {
  throwNotAvailable(88);
}

bool Main::DLL_ReadCheck(const std::string& /*ChengeFileName*/) const {
  throwNotAvailable(93);
}

void Main::DLL_ReadChenge(const std::string& /*ChengeFileName*/, bool /*Read*/) const {
  throwNotAvailable(94);
}

bool Main::DLL_ReadWriteOK(const std::string& /*InFileName*/) const {
  throwNotAvailable(95);
}

bool Main::DLL_SubDirDel(const std::string& /*Root_Path*/) const {
  throwNotAvailable(97);
}

bool Main::DLL_SubDirMake(const std::string& /*OutDirPath*/, StringArray& /*DirList*/) const {
  throwNotAvailable(99);
}

bool Main::DLL_ArchiveCheck(const std::string& /*CheckFileName*/) const {
  throwNotAvailable(103);
}

void Main::DLL_ArchiveWrite(const std::string& /*ChengeFileName*/, bool /*Archive*/) const {
  throwNotAvailable(104);
}

bool Main::DLL_BinFileCheck(const std::string& /*MasterFile*/,
                            const std::string& /*CheckFile*/) const {
  throwNotAvailable(105);
}

void Main::DLL_DimConvertA(StringArray& /*Data*/) const {
  throwNotAvailable(107);
}

void Main::DLL_DimConvertB(StringArray& /*Data*/) const {
  throwNotAvailable(108);
}

void Main::DLL_DimWFileDel(StringArray& /*DimList*/) const {
  throwNotAvailable(109);
}

void Main::DLL_DimWFileDel_W(StringArray& /*DimListA*/, StringArray& /*DimListB*/) const {
  throwNotAvailable(110);
}

std::string Main::DLL_FileBinText(ByteArray& /*FileBin*/) const {
  throwNotAvailable(112);
}

void Main::DLL_FileSave(const std::string& /*OpenFileName*/,
                        const std::string& /*FileText*/) const {
  throwNotAvailable(113);
}

void Main::DLL_GetFile(const std::string& /*OpenFileName*/, ByteArray& /*FileBin*/) const {
  throwNotAvailable(114);
}

void Main::DLL_PutFile(const std::string& /*OpenFileName*/, ByteArray& /*FileBin*/) const {
  throwNotAvailable(115);
}

bool Main::DLL_HiddenCheck(const std::string& /*CheckFileName*/) const {
  throwNotAvailable(118);
}

void Main::DLL_HiddenWrite(const std::string& /*ChengeFileName*/, bool /*Hidden*/) const {
  throwNotAvailable(119);
}

bool Main::DLL_ListCheck(const std::string& /*Check_String*/, StringArray& /*StringList*/,
                         std::int32_t /*DimX*/) const {
  throwNotAvailable(121);
}

std::string Main::DLL_NullDel(const std::string& /*TempA*/) const {
  throwNotAvailable(123);
}

void Main::DLL_NullDelDim2(StringArray& /*InDim*/) const {
  throwNotAvailable(124);
}

void Main::DLL_Sort(StringArray& /*Data*/, LongArray& /*Target*/) const {
  throwNotAvailable(131);
}

void Main::DLL_WDataDel(StringArray& /*ThumbNailList*/, const std::string& /*TargetDim*/) const {
  throwNotAvailable(140);
}

}  // namespace quillmere
