#include "shell/card/CardSettings.h"

#include <cctype>

#include "core/Main.h"

namespace quillmere::card {

CardSettings readCardSettings(const std::string& iniPath) {
  const auto read = [&](const char* key, const char* fallback) {
    return dll().DLL_GetStringFromINI(iniPath, kSection, key, fallback);
  };
  CardSettings s;
  s.run = read(kRunKey, "0") == "1";
  const std::string filter = read(kFilterKey, "0");
  if (filter == "1") s.filter = VolumeFilter::HasDcim;
  if (filter == "2") s.filter = VolumeFilter::Label;
  s.label = read(kLabelKey, "");
  const std::string drive = read(kDriveKey, "");
  if (drive.size() == 1 && std::isalpha(static_cast<unsigned char>(drive[0])))
    s.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(drive[0])));
  return s;
}

}  // namespace quillmere::card
