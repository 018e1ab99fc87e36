#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <string>

namespace quillmere::version {

// The running program's version, "major.minor.patch.0" from the build.
std::string installedVersion();

// "Ver " + major + "." + minor + revision, as the version box shows it ("0.1.0.0": "Ver 0.10").
QString versionBoxText(const std::string& version);

// What a check found out. A published version smaller than ours reads as the latest too: the
// user has nothing newer to fetch.
enum class Answer { Newer, Latest, Unreachable };
Answer compareVersions(const std::string& published, const std::string& installed);

// The three values of the published version file, read one after another: the version, the
// download address and a third value nobody uses. Values are separated by commas or line
// breaks; a value in double quotes runs to its closing quote.
std::array<std::string, 3> publishedValues(const QByteArray& file);

// Section "Main": the folder address of the version file and the support home page.
inline constexpr const char* kUrlKey = "Version-URL";
inline constexpr const char* kHomePageKey = "Version-HomePage";
inline constexpr const char* kDefaultUrl = "https://quillmere.example.org/version/";
inline constexpr const char* kDefaultHomePage = "https://quillmere.example.org/";
// The version file's address: the folder address and the program name with ".ini".
QString versionFileAddress(const std::string& iniPath);
QString homePageAddress(const std::string& iniPath);

// A fresh file name in the folder for the download address's last part ("update.tar.gz",
// then "update (1).tar.gz", ...); "quillmere-update" when the address names no file.
QString downloadTarget(const QString& folder, const QString& address);

// The percentage as the progress shows it: at most two decimals, no trailing zeros ("45.5").
QString percentText(float percent);

}  // namespace quillmere::version
