#pragma once

#include <string>

#include "run/RunOutcome.h"
#include "run/RunView.h"
#include "shell/card/VolumeSource.h"

namespace quillmere::card {

// The letter of the drive whose root is the mount point under the drive map in force now (it
// re-reads the mounts); '\0' when no drive has that root.
char driveLetterOf(const std::string& mountPoint);

// Puts drive `to` into the folder keys of the job's checked steps that name drive `from`
// ("E:\DCIM" becomes "F:\DCIM") and stores `to` as Card-Drive, in one write of the settings
// file. Answers an error text, empty on success; with from == to nothing is written.
std::string putCardDrive(const std::string& iniPath, char from, char to);

// Runs the stored job for an inserted card as "quillmere-run Job" would, after putting the
// card's letter into its steps (when Card-Drive names one). The run claims the view's busy
// state of the job and refuses when that is taken. A card removed meanwhile meets the engines'
// rules for a folder that is gone.
RunOutcome runJobForCard(const std::string& iniPath, const Volume& volume, RunView& view);

}  // namespace quillmere::card
