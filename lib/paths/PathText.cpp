// Path texts taken apart and put together: separator "\", drive roots "X:\". Pure text work.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/Main.h"
#include "paths/LibraryFolder.h"
#include "platform/Text.h"

namespace quillmere {

namespace {

constexpr char kSep = '\\';

bool isAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool allLetters(std::string_view s) {
  for (char c : s)
    if (!isAsciiLetter(c)) return false;
  return true;
}

std::string_view trimStart(std::string_view s) {
  while (!s.empty() && s.front() == kSep) s.remove_prefix(1);
  return s;
}

std::string_view trimEnd(std::string_view s) {
  while (!s.empty() && s.back() == kSep) s.remove_suffix(1);
  return s;
}

// The file-name scan shared by DLL_FileName and DLL_URLFileName. s has its leading "\" removed;
// sep is the separator of the scan.
std::string fileNamePart(std::string_view s, char sep, std::int32_t flag) {
  std::size_t i = s.size();
  while (i > 0) {
    const char c = s[i - 1];
    if (c == sep || c == ':') return {};
    if (c == '.') break;
    --i;
  }
  if (i == 0) return {};  // neither a dot nor a separator: no extension, no name
  const std::size_t dot = i - 1;
  const std::size_t extLength = s.size() - dot;  // the dot and what follows it
  std::size_t nameStart = dot;
  while (nameStart > 0 && s[nameStart - 1] != sep) --nameStart;
  const std::string_view name = s.substr(nameStart);

  std::string result;
  switch (flag) {
    case 0:
      result = name.substr(0, name.size() - extLength);
      break;
    case 1:
      result = name;
      break;
    case 2:
      result = s.substr(0, s.size() - extLength);
      break;
    default:
      if (flag >= 3) result = s;
      break;
  }
  if (flag < 2 && !result.empty() && result.front() == sep) result.erase(0, 1);
  return result;
}

}  // namespace

std::string Main::DLL_EnDel(const std::string& InPathName) const {
  return std::string(trimEnd(trimStart(InPathName)));
}

std::string Main::DLL_EnDelStart(const std::string& InPathName) const {
  return std::string(trimStart(InPathName));
}

std::string Main::DLL_EnDelEnd(const std::string& InPathName) const {
  return std::string(trimEnd(InPathName));
}

std::string Main::DLL_EnAdd(const std::string& InPathName) const {
  return kSep + DLL_EnDel(InPathName) + kSep;
}

std::string Main::DLL_EnAddStart(const std::string& InPathName) const {
  return kSep + DLL_EnDelStart(InPathName);
}

std::string Main::DLL_EnAddEnd(const std::string& InPathName) const {
  return DLL_EnDelEnd(InPathName) + kSep;
}

std::string Main::DLL_EnCheck(const std::string& InPathName) const {
  std::string s = DLL_EnDelEnd(InPathName);
  if (!s.empty() && s.back() == ':') s += kSep;
  return s;
}

std::string Main::DLL_PathAdd(const std::string& RootPath, const std::string& FilePath) const {
  return DLL_EnDelEnd(DLL_EnDel(RootPath) + kSep + DLL_EnDel(FilePath));
}

std::string Main::DLL_DiskName(const std::string& FilePath) const {
  if (FilePath.empty() || FilePath == "\\") return paths::libraryDriveRoot();
  const std::size_t colon = FilePath.find(':');
  if (colon != std::string::npos) return FilePath.substr(0, colon + 1) + kSep;
  if (allLetters(FilePath)) return FilePath + ":" + kSep;
  return paths::libraryDriveRoot();
}

std::string Main::DLL_DriveLetter(const std::string& DiskPath) const {
  const std::size_t colon = DiskPath.rfind(':');
  if (colon != std::string::npos && colon > 0 &&
      allLetters(std::string_view(DiskPath).substr(0, colon)))
    return DiskPath.substr(0, colon);
  const std::string root = paths::libraryDriveRoot();
  return root.substr(0, root.find(':'));
}

std::string Main::DLL_DirName(const std::string& InFileName, std::int32_t Flag) const {
  const std::string s = DLL_EnDel(InFileName);
  std::string folder = s;
  for (std::size_t i = s.size(); i > 0; --i) {
    const char c = s[i - 1];
    if (c == kSep) break;  // the last component has no dot: it is a folder
    if (c == '.') {
      // The last component is a file name: the folder is what precedes its separator.
      const std::size_t sep = i - 1 == 0 ? std::string::npos : s.rfind(kSep, i - 2);
      folder = sep == std::string::npos ? std::string() : s.substr(0, sep);
      break;
    }
  }
  if (Flag == 0) {
    const std::size_t sep = folder.rfind(kSep);
    folder = sep == std::string::npos ? std::string() : folder.substr(sep + 1);
  }
  if (!folder.empty() && folder.back() == ':') folder = DLL_DiskName(folder);
  return folder;
}

std::string Main::DLL_FileName(const std::string& InFileName, std::int32_t Flag) const {
  return fileNamePart(trimStart(InFileName), kSep, Flag);
}

std::string Main::DLL_URLFileName(const std::string& InFileName, std::int32_t Flag) const {
  return fileNamePart(trimStart(InFileName), '/', Flag);
}

std::string Main::DLL_KakuchoUName(const std::string& InFileName) const {
  const std::size_t dot = InFileName.rfind('.');
  if (dot == std::string::npos || InFileName.find(kSep, dot) != std::string::npos) return {};
  return InFileName.substr(dot);
}

std::string Main::DLL_MidPath(const std::string& RootPath, const std::string& InFileName) const {
  const std::string root = DLL_EnDelEnd(RootPath) + kSep;
  std::size_t p = 0;
  while (p < root.size() && p < InFileName.size() && root[p] == InFileName[p]) ++p;
  std::string rest = InFileName.substr(p);
  const std::string name = DLL_FileName(rest, 1);
  if (!name.empty() && rest.size() >= name.size() &&
      rest.compare(rest.size() - name.size(), name.size(), name) == 0)
    rest.erase(rest.size() - name.size());
  return rest;
}

std::string Main::DLL_DelRootPath(const std::string& InFileName) const {
  const std::string s = DLL_EnDelEnd(InFileName);
  if (text::equalsNoCase(DLL_EnDelEnd(DLL_DiskName(s)), s)) return {};
  const std::size_t sep = s.rfind(kSep);
  return sep == std::string::npos ? s : s.substr(sep + 1);
}

std::string Main::DLL_Space(const std::string& InFileName) const {
  return "\"" + InFileName + "\"";
}

void Main::DLL_DelrSpace(std::string& InFileName) const {
  if (!InFileName.empty() && InFileName.front() == '"') InFileName.erase(0, 1);
  if (!InFileName.empty() && InFileName.back() == '"') InFileName.pop_back();
}

void Main::DLL_DelvbCrLf(std::string& InFileName) const {
  if (!InFileName.empty() && InFileName.back() == '\n') InFileName.pop_back();
  if (!InFileName.empty() && InFileName.back() == '\r') InFileName.pop_back();
}

std::string Main::DLL_ENP(const std::string& InFileName) const {
  std::string s = InFileName;
  for (char& c : s)
    if (c == kSep) c = '%';
  return s;
}

std::string Main::DLL_ChangeIPIFileName(const std::string& InFileName) const {
  return DLL_FileName(InFileName, 2) + ".ipi";
}

bool Main::DLL_IPIFileNameCheck(const std::string& InPathName) const {
  return DLL_FileCheck(DLL_ChangeIPIFileName(InPathName));
}

std::string Main::DLL_Pattern(StringArray& Kakuchousi) const {
  std::string pattern = "1.1";
  if (Kakuchousi.dims() != 1) return pattern;
  for (std::string& entry : Kakuchousi) {
    if (entry.empty() || entry.front() != '.') entry.insert(entry.begin(), '.');
    pattern += ";*" + entry;
  }
  return pattern;
}

bool Main::DLL_Alphabet(const std::string& Alphabet) const {
  return !Alphabet.empty() && allLetters(Alphabet);
}

std::string Main::DLL_ToAlphabet(std::int32_t No) const {
  std::string code;
  for (std::int64_t n = No; n > 0; n = (n - 1) / 26)
    code.insert(code.begin(), static_cast<char>('a' + (n - 1) % 26));
  return code;
}

std::uint8_t Main::DLL_True_False(bool Temp) const {
  return Temp ? 1 : 0;
}

std::string Main::DLL_HexMinus(const std::string& Orj, std::uint8_t Sabun) const {
  // Works digit by digit from the right with a borrow, so any length is exact. Texts of up to
  // six digits come back without leading zeros; longer texts keep their width.
  if (Orj.empty()) return {};
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out(Orj.size(), '0');
  int borrow = Sabun;
  for (std::size_t i = Orj.size(); i > 0; --i) {
    const char c = Orj[i - 1];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return {};  // not a hexadecimal number
    }
    int v = digit - (borrow & 0xF);
    borrow >>= 4;
    if (v < 0) {
      v += 16;
      ++borrow;
    }
    out[i - 1] = kDigits[v];
  }
  if (borrow != 0) return {};  // the result would be negative
  if (Orj.size() <= 6) {
    const std::size_t first = out.find_first_not_of('0');
    out = first == std::string::npos ? "0" : out.substr(first);
  }
  return out;
}

std::string Main::DLL_Left12(const std::string& Mojiretu, std::int32_t Longs) const {
  std::int64_t width = 0;
  std::size_t pos = 0;
  while (width < Longs && pos < Mojiretu.size()) {
    char32_t cp = 0;
    pos += text::utf8Next(Mojiretu, pos, cp);
    width += text::cp932Width(cp);
  }
  return Mojiretu.substr(0, pos);
}

std::string Main::DLL_Right12(const std::string& Mojiretu, std::int32_t Longs) const {
  if (Longs <= 0) return {};
  // Character starts, left to right, then widths summed from the right end.
  std::vector<std::size_t> starts;
  std::vector<int> widths;
  for (std::size_t pos = 0; pos < Mojiretu.size();) {
    char32_t cp = 0;
    starts.push_back(pos);
    pos += text::utf8Next(Mojiretu, pos, cp);
    widths.push_back(text::cp932Width(cp));
  }
  std::int64_t width = 0;
  std::size_t k = starts.size();
  while (width < Longs && k > 0) {
    --k;
    width += widths[k];
  }
  return k == starts.size() ? std::string() : Mojiretu.substr(starts[k]);
}

}  // namespace quillmere
