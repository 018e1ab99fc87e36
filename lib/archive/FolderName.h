#pragma once

#include <string>

namespace quillmere::archive {

// The folder a method is asked to work on. A path that names an existing folder is that folder,
// even when its own name holds a dot ("2003.05.01"); anything else goes by the text rule of
// DLL_DirName (the last component with a dot is a file).
std::string workFolder(const std::string& inDirName);

// The folder's own name for archive names: the last component of an existing folder (dots and
// all), the text rule otherwise; a drive root, which has none, gives its upper-case letter and
// "_Drive" (E:\ gives E_Drive).
std::string folderOwnName(const std::string& folder);

// A path text in the folder under which an archive can be made without touching anything that
// is there: a fresh hidden name (".<name>.archive-<random>") whose ".lzh" and ".exe" forms are
// both free. Given without an extension.
std::string freshArchiveStem(const std::string& folder, const std::string& name);

// Removes the work files that a make stopped half-way (a killed program, a power cut) left in the
// folder: hidden archives and programs under the fresh names above, for this name, that are the
// user's own regular files and were last written over an hour ago (a make in progress writes
// its file as it goes). Left there, the next archive of the folder would pack them.
void removeLeftWorkFiles(const std::string& folder, const std::string& name);

}  // namespace quillmere::archive
