#pragma once

#include <cstdint>
#include <string>

#include "mirror/MirrorSettings.h"

namespace quillmere::mirror {

// The options of a mirroring run, read once from the "Mirrorring" section before it starts.
struct MirrorOptions {
  std::string inDir, outDir;  // master and mirror folders (path texts)
  bool dustBox = true, clrDustBox = false, binCheck = true, binCheck1 = false;
  bool master = true, master1 = false, mirror = true, mirror1 = false;
  bool subDirDel1 = false, subDirDel2 = false;
};
MirrorOptions readMirrorOptions(const MirrorSettings& settings);

// What a run with these options is about to do, in a few short lines a user can check before
// anything changes: both folders (native paths), what happens to the files found on one side
// only, whether the contents of pairs are compared, and where deleted files go.
std::string describeRun(const MirrorOptions& options, const std::string& masterNative,
                        const std::string& mirrorNative);

// What a run that deletes a large share of one side's files says first: how many of how many,
// and why that looks wrong. The question adds "delete them?".
std::string massDeleteText(bool masterSide, std::int64_t toDelete, std::int64_t sideFiles);
std::string massDeleteQuestion(bool masterSide, std::int64_t toDelete, std::int64_t sideFiles);

// True when deleting toDelete of a side's sideFiles files needs the user's consent: every file
// of the side, or more than half of them and more than 20.
bool needsMassDeleteConsent(std::int64_t toDelete, std::int64_t sideFiles);

}  // namespace quillmere::mirror
