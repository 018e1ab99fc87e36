#pragma once

#include <string>

namespace quillmere::paths {

// The folder that holds libquillmereDLL.so, native ("/opt/quillmere/lib") and as a path text
// ("C:\opt\quillmere\lib"). Found once from the library's own load address.
const std::string& libraryFolderNative();
std::string libraryFolder();

// The drive root of the library folder ("C:\"): the fall-back of the path methods.
std::string libraryDriveRoot();

}  // namespace quillmere::paths
