#pragma once

#include <string>

#include "rename/RenameSettings.h"
#include "shell/panels/PanelBase.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quillmere {

class OptionBinder;

namespace rename {
struct RunReport;
}

// The rename panel: source folder on the left, target folder on the right, the rename options
// in the detail frame, and the rename run.
class frmReName final : public PanelBase {
  Q_OBJECT

 public:
  explicit frmReName(QWidget* parent = nullptr);
  ~frmReName() override;

  void load() override;
  void Path() override;

  // The Run button's action: the rename with the options of the settings file.
  void runRename();
  // The 元に戻す button's action: after a confirmation, takes back the last rename run (window
  // or runner) and reports the files it had to leave as they are.
  void undoLastRun();

 protected:
  std::string sideKey(const FolderSide& side) const override;
  void sideFolderChanged(FolderSide& side) override;
  void copySide(FolderSide& from, FolderSide& to) override;
  void sideDropped(FolderSide& side, const std::string& item) override;
  void fillDetails() override;
  void runStateChanged(bool running) override;

 private:
  // The folder editor below one side: make or delete a folder.
  struct Editor {
    FolderSide* side = nullptr;
    QPushButton* make = nullptr;
    QPushButton* remove = nullptr;
    QPushButton* eject = nullptr;
    QLineEdit* text = nullptr;
    QPushButton* go = nullptr;
    QPushButton* close = nullptr;
    bool deleteMode = false;
  };

  void buildFolderView();
  void buildDetails();
  void buildEditor(Editor& editor, FolderSide* side, const QString& number, const QString& textName,
                   const QString& goName, const QString& closeName, const QString& ejectName);
  void bindOptions();
  void applyRules();
  void arrangeTargetSide();
  bool stayMode() const;
  FolderSide* sourceSide() const { return m_in; }
  FolderSide* targetSide() const { return m_out; }
  Editor& editorOf(const FolderSide& side);
  void showSideButtons(Editor& editor);
  void openEditor(Editor& editor, bool deleteMode);
  void closeEditor(Editor& editor);
  void carryOutEditor(Editor& editor);
  void makeFolder(Editor& editor, const std::string& typed);
  void deleteFolder(Editor& editor, const std::string& typed);
  void eject(Editor& editor);
  void reportOutcome(const rename::RunReport& report);

  rename::RenameSettings settings() const;

  FolderSide* m_in = nullptr;
  FolderSide* m_out = nullptr;
  Editor m_inEditor;
  Editor m_outEditor;
  QRadioButton* m_copy = nullptr;
  QRadioButton* m_stay = nullptr;
  QRadioButton* m_move = nullptr;
  QLabel* m_nameSample = nullptr;
  QPushButton* m_undo = nullptr;
  QLabel* m_extensionSample = nullptr;
  QGroupBox* m_details = nullptr;
  OptionBinder* m_binder = nullptr;
};

}  // namespace quillmere
