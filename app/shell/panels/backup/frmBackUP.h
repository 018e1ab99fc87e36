#pragma once

#include "backup/BackupSettings.h"
#include "shell/panels/FolderPairPanel.h"

class QGroupBox;
class QLabel;
class QLineEdit;

namespace quillmere {

class OptionBinder;

// The backup: packs the folder of the left side into a dated (or named) LZH archive, or a
// self-extracting program, stored in the folder of the right side.
class frmBackUP final : public FolderPairPanel {
  Q_OBJECT

 public:
  explicit frmBackUP(QWidget* parent = nullptr);

  void load() override;

  // The lzh button's action.
  void runBackup();

 protected:
  void sideFolderChanged(FolderSide& side) override;
  void fillDetails() override;
  void runStateChanged(bool running) override;

 private:
  void buildDetails();
  void bindOptions();
  // The archive's name as it will be made, and its extension.
  void showName();
  backup::BackupSettings settings() const;

  QGroupBox* m_details = nullptr;
  QLabel* m_nameDisplay = nullptr;
  QLineEdit* m_nameText = nullptr;
  QLabel* m_extension = nullptr;
  OptionBinder* m_binder = nullptr;
};

}  // namespace quillmere
