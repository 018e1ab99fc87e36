#pragma once

#include <string>

#include "shell/panels/PanelBase.h"

namespace quillmere {

// A panel with two stored folder sides, "In" on the left and "Out" on the right, between them
// the buttons ToOut ("→") and ToIn ("←"). The sides' folders are stored under the section's
// "-InDir" and "-OutDir" keys, each with its folder history; a drop also writes the side's
// "-InDir0" or "-OutDir0" key.
class FolderPairPanel : public PanelBase {
  Q_OBJECT

 public:
  FolderPairPanel(Panel panel, std::string section, const QString& inCaption,
                  const QString& outCaption, int favouritesWidth, QWidget* parent = nullptr);

  // Re-reads both folders from the settings file (the window manager's panel state 2).
  void Path() override;

 protected:
  FolderSide* inSide() const { return m_in; }
  FolderSide* outSide() const { return m_out; }
  // The two sides with the copy buttons between them, ready to be placed by the panel.
  QWidget* folderView() const { return m_folderView; }

  // Shows each side's stored folder (the nearest existing one; the program drive when none is
  // stored), fills the favourites and gives the drop-downs their heights.
  void loadFolders();
  // Shows the stored folders again after a run, which may have removed folders.
  void showStoredFolders();

  std::string sideKey(const FolderSide& side) const override;
  int favouritesWidth() const override { return m_favouritesWidth; }
  void sideFolderChanged(FolderSide& side) override;
  void sideDropped(FolderSide& side, const std::string& item) override;
  void runStateChanged(bool running) override;

 private:
  FolderSide* m_in = nullptr;
  FolderSide* m_out = nullptr;
  QWidget* m_folderView = nullptr;
  int m_favouritesWidth;
};

}  // namespace quillmere
