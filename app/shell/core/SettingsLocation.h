#pragma once

#include <string>

namespace quillmere {

// Where the settings file quillmere.ini lives, as a native path. The first that applies wins:
//   1. explicitPath (the runner's --ini), when not empty;
//   2. the environment variable QUILLMERE_INI, when set and not empty;
//   3. beside the program (programDir/quillmere.ini), when programDir can be written;
//   4. $XDG_CONFIG_HOME/quillmere/quillmere.ini ($HOME/.config when XDG_CONFIG_HOME is unset);
//      the folder is created so that the first write can make the file.
// The program and the runner both ask here, so they always share one file.
std::string settingsFileLocation(const std::string& programDir,
                                 const std::string& explicitPath = "");

// The default of the folder keys: the drive root of the program folder (native path) as a path
// text in lower case ("c:\\").
std::string programDriveOf(const std::string& programDirNative);

// True when a file can be created in the folder: probed with a freshly named file that is
// removed again (access() says yes to root everywhere, and no user file is ever touched).
bool folderIsWritable(const std::string& folder);

}  // namespace quillmere
