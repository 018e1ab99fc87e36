#pragma once

#include <string>

namespace quillmere::card {

// Section "Card" of the settings file: whether a newly inserted card starts the stored job, and
// which volumes count as a card. Every key defaults to "off", so a settings file without the
// section behaves as before.
//   Card-Run     "1": run the job when a matching volume is mounted; "0" (default): never.
//   Card-Filter  "0" (default) any removable volume, "1" a removable volume with a DCIM folder
//                at its root, "2" a removable volume whose label is Card-Label.
//   Card-Label   the volume label for filter "2" (compared ignoring ASCII case).
//   Card-Drive   the drive letter the job's folders name for the card ("E"); the folders on it
//                are moved to the letter of the inserted volume before the run, and the key
//                then holds that letter. Empty (default): the folders stay as stored.
inline constexpr const char* kSection = "Card";
inline constexpr const char* kRunKey = "Card-Run";
inline constexpr const char* kFilterKey = "Card-Filter";
inline constexpr const char* kLabelKey = "Card-Label";
inline constexpr const char* kDriveKey = "Card-Drive";

enum class VolumeFilter { AnyRemovable = 0, HasDcim = 1, Label = 2 };

struct CardSettings {
  bool run = false;
  VolumeFilter filter = VolumeFilter::AnyRemovable;
  std::string label;
  char drive = '\0';  // upper case; '\0' for none
};

CardSettings readCardSettings(const std::string& iniPath);

}  // namespace quillmere::card
