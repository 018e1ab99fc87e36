#include "shell/panels/FolderPairPanel.h"

#include <QComboBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/Main.h"
#include "shell/core/ShellState.h"
#include "shell/panels/FolderSide.h"
#include "shell/widgets/FolderWidgets.h"

namespace quillmere {

namespace {

constexpr int kFavouriteRows = 14;
constexpr int kDriveRows = 26;

}  // namespace

FolderPairPanel::FolderPairPanel(Panel panel, std::string section, const QString& inCaption,
                                 const QString& outCaption, int favouritesWidth, QWidget* parent)
    : PanelBase(panel, std::move(section), parent), m_favouritesWidth(favouritesWidth) {
  m_folderView = new QWidget(this);
  m_folderView->setObjectName("FolderView");
  m_in = makeSide("In", inCaption);
  m_out = makeSide("Out", outCaption);

  auto* layout = new QVBoxLayout(m_folderView);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(makeSidePair(m_in, m_out));
}

std::string FolderPairPanel::sideKey(const FolderSide& side) const {
  return section() + (&side == m_in ? "-InDir" : "-OutDir");
}

void FolderPairPanel::loadFolders() {
  const Loading loading(*this);
  showStoredFolders();
  for (FolderSide* side : sides()) {
    fillFavourites(*side);
    side->favourites()->setMaxVisibleItems(kFavouriteRows);
    side->drives()->setMaxVisibleItems(kDriveRows);
    side->refresh();
  }
}

void FolderPairPanel::showStoredFolders() {
  for (FolderSide* side : sides()) {
    std::string stored = readKey(sideKey(*side), shell().programDrive);
    side->showFolder(dll().DLL_DirCheck(stored));
  }
}

void FolderPairPanel::Path() {
  const Loading loading(*this);
  showStoredFolders();
  for (FolderSide* side : sides()) fillFavourites(*side);
}

void FolderPairPanel::sideFolderChanged(FolderSide& side) {
  writeKey(sideKey(side), side.folder());
  fillFavourites(side);
}

void FolderPairPanel::sideDropped(FolderSide& side, const std::string& item) {
  if (dll().DLL_CheckDisk(item) != 0) return;
  if (!side.showFolder(dll().DLL_DirName(item, 1))) return;
  writeKey(sideKey(side) + "0", side.folder());
  sideFolderChanged(side);
}

void FolderPairPanel::runStateChanged(bool isRunning) {
  copyButtons().first->setEnabled(!isRunning);
  copyButtons().second->setEnabled(!isRunning);
  if (!isRunning) {
    const Loading loading(*this);
    showStoredFolders();
  }
}

}  // namespace quillmere
