#include "shell/widgets/FolderHistory.h"

#include <QComboBox>

#include <algorithm>

#include <vector>

#include "core/Main.h"
#include "shell/widgets/FolderWidgets.h"

namespace quillmere {

namespace {

const char* const kCommands[] = {"ディスクトップへ", "このディレクトリListへ登録",
                                 "このディレクトリListから削除"};

int characterCount(const std::string& text) {
  return QString::fromStdString(text).size();
}

std::string checkedFolder(std::string folder) {
  return dll().DLL_DirCheck(folder);
}

}  // namespace

FolderHistory::FolderHistory(std::string iniPath, std::string section, std::string prefix,
                             std::string programDrive)
    : m_iniPath(std::move(iniPath)),
      m_section(std::move(section)),
      m_prefix(std::move(prefix)),
      m_programDrive(std::move(programDrive)) {}

std::string FolderHistory::read(const std::string& k) const {
  return dll().DLL_GetStringFromINI(m_iniPath, m_section, k, m_programDrive);
}

void FolderHistory::write(const std::string& k, const std::string& value) const {
  dll().DLL_WriteStringINI(m_iniPath, m_section, k, value);
}

std::string FolderHistory::entry(int i) const {
  return read(key(i));
}

void FolderHistory::checkEntries() const {
  for (int i = 1; i <= kEntries; ++i)
    if (!dll().DLL_FileCheck(entry(i))) write(key(i), m_programDrive);
}

void FolderHistory::fill(int width, QComboBox& box, const std::string& current) const {
  write(m_prefix, current);
  write(key(1), current);
  box.clear();
  box.setEditText(QString::fromStdString(displayText(1, width)));
  for (int i = 1; i <= kEntries; ++i) box.addItem(QString::fromStdString(displayText(i, width)));
  for (const char* command : kCommands) box.addItem(QString::fromUtf8(command));
}

std::string FolderHistory::displayText(int i, int width) const {
  const std::string text = entry(i);
  if (characterCount(text) <= width) return text;
  const std::string folder = dll().DLL_DirName(text, 1);
  const std::string last = dll().DLL_DirName("\\" + dll().DLL_DelRootPath(folder), 1);
  if (characterCount(last) >= width - 4) return last;
  return dll().DLL_Left12(text, 3) + "..." + dll().DLL_Right12(folder, width - 4);
}

void FolderHistory::add(const std::string& folder) const {
  if (folder.empty()) return;
  for (int i = kEntries; i >= 2; --i) write(key(i), entry(i - 1));
  write(key(1), folder);
}

void FolderHistory::remove(const std::string& folder) const {
  if (folder.empty()) return;
  for (int i = 2; i <= kEntries; ++i) {
    if (entry(i) != folder) continue;
    for (int j = i; j < kEntries; ++j) write(key(j), entry(j + 1));
    break;
  }
  write(key(1), folder);
  tidy(folder);
}

void FolderHistory::tidy(const std::string& chosen) const {
  std::vector<std::string> kept{chosen};
  for (int i = 2; i <= kEntries; ++i) {
    const std::string e = entry(i);
    if (std::find(kept.begin(), kept.end(), e) == kept.end()) kept.push_back(e);
  }
  kept.resize(kEntries, m_programDrive);
  for (int i = 1; i <= kEntries; ++i) write(key(i), kept[i - 1]);
  write(m_prefix, chosen);
}

std::string FolderHistory::chooseFolder(int position, const Lists& lists) const {
  const std::string listed = lists.folders != nullptr ? lists.folders->path() : std::string();
  if (position == 0) return checkedFolder(read(m_prefix));
  if (position >= 1 && position <= 9) {
    const std::string folder = checkedFolder(entry(position + 1));
    remove(folder);
    add(folder);
    tidy(folder);
    return folder;
  }
  if (position == kToDesktop) {
    const std::string desktop = dll().DLL_GetFolderPath(0);
    tidy(desktop);
    return desktop;
  }
  if (position == kAddThisFolder || position == kRemoveThisFolder) {
    const std::string folder = checkedFolder(listed);
    if (position == kAddThisFolder) {
      add(folder);
    } else {
      remove(folder);
    }
    tidy(folder);
    return folder;
  }
  return {};
}

std::string FolderHistory::choose(int position, int width, QComboBox& box,
                                  const Lists& lists) const {
  std::string folder = chooseFolder(position, lists);
  if (folder.empty()) folder = checkedFolder(entry(1));
  if (lists.drives != nullptr) lists.drives->setDrive(folder);
  if (lists.folders != nullptr) lists.folders->setPath(folder);
  if (lists.files != nullptr) lists.files->setPath(folder);
  fill(width, box, lists.folders != nullptr ? lists.folders->path() : folder);
  if (lists.folders != nullptr) lists.folders->refresh();
  return folder;
}

}  // namespace quillmere
