#include "shell/card/CardTrigger.h"

#include <sys/stat.h>

#include "platform/Text.h"

namespace quillmere::card {

namespace {

bool isFolder(const std::string& native) {
  struct stat st {};
  return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A FAT card may show its folder in either case.
bool hasDcimFolder(const std::string& mountPoint) {
  return isFolder(mountPoint + "/DCIM") || isFolder(mountPoint + "/dcim");
}

}  // namespace

bool matchesFilter(const CardSettings& settings, const Volume& volume) {
  if (!volume.removable || volume.mountPoint.empty()) return false;
  switch (settings.filter) {
    case VolumeFilter::AnyRemovable:
      return true;
    case VolumeFilter::HasDcim:
      return hasDcimFolder(volume.mountPoint);
    case VolumeFilter::Label:
      return !settings.label.empty() && text::equalsNoCase(settings.label, volume.label);
  }
  return false;
}

std::string CardTrigger::insertionKey(const Volume& volume) {
  return volume.identity() + '\n' + volume.mountPoint;
}

CardDecision CardTrigger::mounted(const Volume& volume) {
  const CardSettings settings = m_settings ? m_settings() : CardSettings{};
  if (!settings.run) return CardDecision::Off;
  if (!matchesFilter(settings, volume)) return CardDecision::NotACard;
  const std::string key = insertionKey(volume);
  if (m_taken.contains(key)) return CardDecision::AlreadyHandled;
  // One decision per insertion: a card refused as busy does not start a job later either.
  m_taken.insert(key);
  return busy() ? CardDecision::Busy : CardDecision::Run;
}

void CardTrigger::unmounted(const Volume& volume) {
  // The mount point is gone by now; forget every insertion of the medium.
  const std::string prefix = volume.identity() + '\n';
  std::erase_if(m_taken, [&](const std::string& key) { return key.rfind(prefix, 0) == 0; });
}

const char* CardTrigger::describe(CardDecision decision) {
  switch (decision) {
    case CardDecision::Off:
      return "the card trigger is off (Card-Run)";
    case CardDecision::NotACard:
      return "not a card by the filter (Card-Filter)";
    case CardDecision::AlreadyHandled:
      return "this insertion was handled already";
    case CardDecision::Busy:
      return "another run is under way; start the job by hand afterwards";
    case CardDecision::Run:
      return "running the job";
  }
  return "";
}

}  // namespace quillmere::card
