// The pure text methods: separators, joining, splitting, widths.
#include <gtest/gtest.h>

#include "core/Main.h"
#include "paths/LibraryFolder.h"

namespace quillmere {
namespace {

const Main& m = dll();

TEST(PathText, SeparatorFamily) {
  EXPECT_EQ(m.DLL_EnDel("\\\\a\\b\\\\"), "a\\b");
  EXPECT_EQ(m.DLL_EnDel("\\"), "");
  EXPECT_EQ(m.DLL_EnDelStart("\\\\a\\"), "a\\");
  EXPECT_EQ(m.DLL_EnDelEnd("\\a\\\\"), "\\a");
  EXPECT_EQ(m.DLL_EnAdd("a"), "\\a\\");
  EXPECT_EQ(m.DLL_EnAdd(""), "\\\\");
  EXPECT_EQ(m.DLL_EnAddStart("\\\\a\\"), "\\a\\");
  EXPECT_EQ(m.DLL_EnAddEnd("a\\\\"), "a\\");
  EXPECT_EQ(m.DLL_EnCheck("C:"), "C:\\");
  EXPECT_EQ(m.DLL_EnCheck("C:\\\\"), "C:\\");
  EXPECT_EQ(m.DLL_EnCheck("C:\\dir\\\\"), "C:\\dir");
  EXPECT_EQ(m.DLL_EnCheck(""), "");
}

TEST(PathText, PathAdd) {
  EXPECT_EQ(m.DLL_PathAdd("C:\\", "a.jpg"), "C:\\a.jpg");
  EXPECT_EQ(m.DLL_PathAdd("C:\\dir", ""), "C:\\dir");
  EXPECT_EQ(m.DLL_PathAdd("C:\\", ""), "C:");
  EXPECT_EQ(m.DLL_PathAdd("C:\\dir\\\\", "\\\\sub\\a.jpg\\"), "C:\\dir\\sub\\a.jpg");
  // A UNC root loses its two leading separators.
  EXPECT_EQ(m.DLL_PathAdd("\\\\server\\share", "a.jpg"), "server\\share\\a.jpg");
  EXPECT_EQ(m.DLL_PathAdd("", ""), "");
}

TEST(PathText, DiskNameAndDriveLetter) {
  const std::string libRoot = paths::libraryDriveRoot();
  EXPECT_EQ(m.DLL_DiskName("D:\\DCIM\\x.jpg"), "D:\\");
  EXPECT_EQ(m.DLL_DiskName("e"), "e:\\");
  EXPECT_EQ(m.DLL_DiskName("E"), "E:\\");
  EXPECT_EQ(m.DLL_DiskName(""), libRoot);
  EXPECT_EQ(m.DLL_DiskName("\\"), libRoot);
  EXPECT_EQ(m.DLL_DiskName("\\\\server\\share"), libRoot);
  EXPECT_EQ(m.DLL_DiskName("E: (CARD)"), "E:\\");  // a drive list entry
  EXPECT_EQ(m.DLL_DiskName("dir1"), libRoot);

  const std::string libLetter = libRoot.substr(0, 1);
  EXPECT_EQ(m.DLL_DriveLetter("C:\\dir"), "C");
  EXPECT_EQ(m.DLL_DriveLetter("d:"), "d");
  EXPECT_EQ(m.DLL_DriveLetter("dir"), libLetter);
  EXPECT_EQ(m.DLL_DriveLetter("C:\\a:b"), libLetter);
  EXPECT_EQ(m.DLL_DriveLetter(":x"), libLetter);
  EXPECT_EQ(m.DLL_DriveLetter(""), libLetter);
}

TEST(PathText, DirName) {
  EXPECT_EQ(m.DLL_DirName("C:\\dir\\file.jpg", 1), "C:\\dir");
  EXPECT_EQ(m.DLL_DirName("C:\\dir\\file.jpg", 0), "dir");
  EXPECT_EQ(m.DLL_DirName("C:\\dir\\sub", 1), "C:\\dir\\sub");
  EXPECT_EQ(m.DLL_DirName("C:\\dir\\sub", 0), "sub");
  EXPECT_EQ(m.DLL_DirName("C:\\file.jpg", 1), "C:\\");
  EXPECT_EQ(m.DLL_DirName("C:\\file.jpg", 0), "");
  EXPECT_EQ(m.DLL_DirName("C:\\", 1), "C:\\");
  EXPECT_EQ(m.DLL_DirName("C:\\", 0), "");
  EXPECT_EQ(m.DLL_DirName("file.jpg", 1), "");
  EXPECT_EQ(m.DLL_DirName("file.jpg", 0), "");
  // A folder whose own name holds a dot is taken for a file.
  EXPECT_EQ(m.DLL_DirName("C:\\2003.05.01", 1), "C:\\");
  EXPECT_EQ(m.DLL_DirName("C:\\dir\\sub\\\\", 2), "C:\\dir\\sub");
  EXPECT_EQ(m.DLL_DirName(".jpg", 1), "");
  EXPECT_EQ(m.DLL_DirName("", 1), "");
  EXPECT_EQ(m.DLL_DirName("\\", 0), "");
}

TEST(PathText, FileName) {
  const std::string p = "C:\\dir\\DSC0001.JPG";
  EXPECT_EQ(m.DLL_FileName(p, 0), "DSC0001");
  EXPECT_EQ(m.DLL_FileName(p, 1), "DSC0001.JPG");
  EXPECT_EQ(m.DLL_FileName(p, 2), "C:\\dir\\DSC0001");
  EXPECT_EQ(m.DLL_FileName(p, 3), p);
  EXPECT_EQ(m.DLL_FileName(p, 7), p);
  EXPECT_EQ(m.DLL_FileName(p, -1), "");
  EXPECT_EQ(m.DLL_FileName("C:\\2003.05.01\\DSC0001.JPG", 1), "DSC0001.JPG");
  EXPECT_EQ(m.DLL_FileName("C:\\dir.x\\file.jpg", 0), "file");
  EXPECT_EQ(m.DLL_FileName("a.tar.gz", 0), "a.tar");
  for (int flag = 0; flag <= 3; ++flag) {
    EXPECT_EQ(m.DLL_FileName("C:\\dir\\README", flag), "") << flag;
    EXPECT_EQ(m.DLL_FileName("README", flag), "") << flag;
    EXPECT_EQ(m.DLL_FileName("C:\\dir.x\\", flag), "") << flag;
  }
  EXPECT_EQ(m.DLL_FileName("\\\\a.jpg", 2), "a");
  EXPECT_EQ(m.DLL_FileName(".jpg", 0), "");
  EXPECT_EQ(m.DLL_FileName("", 3), "");

  EXPECT_EQ(m.DLL_URLFileName("http://example.com/dl/app.zip", 1), "app.zip");
  EXPECT_EQ(m.DLL_URLFileName("http://example.com/dl/app.zip", 0), "app");
  EXPECT_EQ(m.DLL_URLFileName("http://example.com/dl/app.zip", 2), "http://example.com/dl/app");
  EXPECT_EQ(m.DLL_URLFileName("http://example.com/dl/app", 1), "");
  EXPECT_EQ(m.DLL_URLFileName("C:\\dir\\a.zip", 1), "C:\\dir\\a.zip");
}

TEST(PathText, ExtensionMidPathAndRoot) {
  EXPECT_EQ(m.DLL_KakuchoUName("DSC0001.JPG"), ".JPG");
  EXPECT_EQ(m.DLL_KakuchoUName("a.b.jpg"), ".jpg");
  EXPECT_EQ(m.DLL_KakuchoUName("C:\\2003.05.01\\DSC0001.JPG"), ".JPG");
  EXPECT_EQ(m.DLL_KakuchoUName("C:\\dir.x\\README"), "");
  EXPECT_EQ(m.DLL_KakuchoUName(""), "");

  EXPECT_EQ(m.DLL_MidPath("C:\\in", "C:\\in\\sub\\a.jpg"), "sub\\");
  EXPECT_EQ(m.DLL_MidPath("C:\\in\\", "C:\\in\\sub\\deep\\a.jpg"), "sub\\deep\\");
  EXPECT_EQ(m.DLL_MidPath("C:\\in", "C:\\in\\a.jpg"), "");
  EXPECT_EQ(m.DLL_MidPath("C:\\in", "C:\\in"), "");  // open case: must not fail
  EXPECT_EQ(m.DLL_MidPath("C:\\in", ""), "");

  EXPECT_EQ(m.DLL_DelRootPath("C:\\"), "");
  EXPECT_EQ(m.DLL_DelRootPath("c:"), "");
  EXPECT_EQ(m.DLL_DelRootPath("C:\\dir\\sub\\"), "sub");
  EXPECT_EQ(m.DLL_DelRootPath("sub"), "sub");
  EXPECT_EQ(m.DLL_DelRootPath(""), "");
}

TEST(PathText, QuotesLineEndsAndSmallHelpers) {
  EXPECT_EQ(m.DLL_Space("C:\\a b"), "\"C:\\a b\"");
  std::string s = "\"C:\\a b\"";
  m.DLL_DelrSpace(s);
  EXPECT_EQ(s, "C:\\a b");
  s = "\"";
  m.DLL_DelrSpace(s);
  EXPECT_EQ(s, "");
  s = "line\r\n";
  m.DLL_DelvbCrLf(s);
  EXPECT_EQ(s, "line");
  s = "line\n\n";
  m.DLL_DelvbCrLf(s);
  EXPECT_EQ(s, "line\n");
  EXPECT_EQ(m.DLL_ENP("C:\\a\\b"), "C:%a%b");
  EXPECT_EQ(m.DLL_ChangeIPIFileName("C:\\d\\a.jpg"), "C:\\d\\a.ipi");

  StringArray exts = StringArray::fromList({"jpg", ".gif"});
  EXPECT_EQ(m.DLL_Pattern(exts), "1.1;*.jpg;*.gif");
  EXPECT_EQ(exts(1), ".jpg");
  StringArray none;
  EXPECT_EQ(m.DLL_Pattern(none), "1.1");

  EXPECT_TRUE(m.DLL_Alphabet("abcXYZ"));
  EXPECT_FALSE(m.DLL_Alphabet(""));
  EXPECT_FALSE(m.DLL_Alphabet("ab1"));
  EXPECT_FALSE(m.DLL_Alphabet("\xEF\xBD\x81"));  // full-width a

  EXPECT_EQ(m.DLL_ToAlphabet(0), "");
  EXPECT_EQ(m.DLL_ToAlphabet(-5), "");
  EXPECT_EQ(m.DLL_ToAlphabet(1), "a");
  EXPECT_EQ(m.DLL_ToAlphabet(26), "z");
  EXPECT_EQ(m.DLL_ToAlphabet(27), "aa");
  EXPECT_EQ(m.DLL_ToAlphabet(52), "az");
  EXPECT_EQ(m.DLL_ToAlphabet(53), "ba");
  EXPECT_EQ(m.DLL_ToAlphabet(702), "zz");
  EXPECT_EQ(m.DLL_ToAlphabet(703), "aaa");
  EXPECT_EQ(m.DLL_ToAlphabet(2147483647), "fxshrxw");

  EXPECT_EQ(m.DLL_True_False(true), 1);
  EXPECT_EQ(m.DLL_True_False(false), 0);

  EXPECT_EQ(m.DLL_HexMinus("", 1), "");
  EXPECT_EQ(m.DLL_HexMinus("100", 1), "FF");
  EXPECT_EQ(m.DLL_HexMinus("ff", 0x10), "EF");
  EXPECT_EQ(m.DLL_HexMinus("10000000", 1), "0FFFFFFF");  // long texts keep their width
  EXPECT_EQ(m.DLL_HexMinus("123456789ABCDEF0", 0xF1), "123456789ABCDDFF");
  EXPECT_EQ(m.DLL_HexMinus("0", 1), "");    // negative
  EXPECT_EQ(m.DLL_HexMinus("xyz", 1), "");  // not a number
}

TEST(PathText, Cp932Widths) {
  const std::string kana = "\xE3\x81\x82\xE3\x81\x84";  // two hiragana, width 4
  const std::string halfKana = "\xEF\xBD\xB1";          // half-width katakana, width 1
  EXPECT_EQ(m.DLL_Left12("C:\\dir", 3), "C:\\");
  EXPECT_EQ(m.DLL_Left12(kana + "ab", 1), "\xE3\x81\x82");
  EXPECT_EQ(m.DLL_Left12(kana + "ab", 2), "\xE3\x81\x82");
  EXPECT_EQ(m.DLL_Left12(kana + "ab", 3), kana);
  EXPECT_EQ(m.DLL_Left12(halfKana + "ab", 2), halfKana + "a");
  EXPECT_EQ(m.DLL_Left12("abc", 0), "");
  EXPECT_EQ(m.DLL_Left12("abc", -3), "");
  EXPECT_EQ(m.DLL_Left12("abc", 100), "abc");
  EXPECT_EQ(m.DLL_Left12("", 5), "");

  EXPECT_EQ(m.DLL_Right12("ab" + kana, 1), "\xE3\x81\x84");
  EXPECT_EQ(m.DLL_Right12("ab" + kana, 3), kana);
  EXPECT_EQ(m.DLL_Right12("ab" + kana, 5), "b" + kana);
  EXPECT_EQ(m.DLL_Right12("abc", 2147483647), "abc");
  EXPECT_EQ(m.DLL_Right12("abc", 0), "");

  // Bytes that are not UTF-8 count one each and are never split from their neighbours.
  const std::string raw = "a\x82\xA0z";
  EXPECT_EQ(m.DLL_Left12(raw, 2), "a\x82");
  EXPECT_EQ(m.DLL_Right12(raw, 2), "\xA0z");
  // A character outside CP932 (an emoji) counts 1 and stays whole.
  EXPECT_EQ(m.DLL_Left12("\xF0\x9F\x98\x80x", 1), "\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace quillmere
