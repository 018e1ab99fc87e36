#pragma once

#include <array>
#include <string>
#include <vector>

#include "mirror/MirrorEngine.h"
#include "mirror/MirrorSettings.h"
#include "shell/panels/PanelBase.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace quillmere {

// The mirroring panel: master folder on the left, mirror folder on the right, the presets,
// the one-sided and both-sided options, the weekly schedule and the completion options in the
// detail frame, the saved setting list below, and the mirroring run.
class frmMirrorring final : public PanelBase {
  Q_OBJECT

 public:
  explicit frmMirrorring(QWidget* parent = nullptr);
  ~frmMirrorring() override;

  void load() override;
  void Path() override;

  // The Mirrorring button's action, and the scheduled run's: the engine with the options of the
  // settings file and this panel as its view.
  mirror::MirrorReport runMirroring();

 protected:
  std::string sideKey(const FolderSide& side) const override;
  int favouritesWidth() const override { return 39; }
  void sideFolderChanged(FolderSide& side) override;
  void sideDropped(FolderSide& side, const std::string& item) override;
  void fillDetails() override;
  void runStateChanged(bool running) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // A check box and the option pair it switches on and off.
  struct OptionGroup {
    QCheckBox* check = nullptr;
    QRadioButton* first = nullptr;
    QRadioButton* second = nullptr;
    const char* checkKey = nullptr;
    const char* pairKey = nullptr;
  };

  void buildFolderView();
  void buildDetails();
  QGroupBox* buildPresets(QWidget* parent);
  QGroupBox* buildOptionGroup(QWidget* parent, OptionGroup& group, const char* name,
                              const char* caption, const char* checkKey, const char* pairKey,
                              const char* firstCaption, const char* secondCaption);
  QGroupBox* buildSchedule(QWidget* parent);
  void connectOptions();
  void onCheck(QCheckBox* box, const char* key);
  void showFoldersFromKeys();
  void fillSettingList(const mirror::SettingList& list);
  void loadCleanupOptions();
  void loadOptionGroups();
  void loadGroup(const OptionGroup& group);
  void enableSchedule();
  void switchPresetsOff();
  void clearSettingText();
  void writeSchedule(const std::vector<QCheckBox*>& boxes);
  void choosePreset(int index);
  void copySide(FolderSide& from, FolderSide& to) override;
  void selectSetting(int listIndex);
  void saveSetting();
  bool deleteSetting();
  void updateRunPlan();
  void reportOutcome(const mirror::MirrorReport& report);
  bool check(const char* key, const char* fallback) const;

  mirror::MirrorSettings settings() const;

  FolderSide* m_in = nullptr;
  FolderSide* m_out = nullptr;
  QComboBox* m_setting = nullptr;
  QLabel* m_runPlan = nullptr;
  QGroupBox* m_details = nullptr;
  std::array<QRadioButton*, 10> m_presets{};
  OptionGroup m_master, m_mirror, m_binCheck;
  QCheckBox* m_dustBox = nullptr;
  QCheckBox* m_clrDustBox = nullptr;
  QCheckBox* m_subDirDel1 = nullptr;
  QCheckBox* m_subDirDel2 = nullptr;
  QCheckBox* m_timer = nullptr;
  QCheckBox* m_shutDown = nullptr;
  QCheckBox* m_winShutDown = nullptr;
  std::vector<QCheckBox*> m_week, m_hour, m_minute;
};

}  // namespace quillmere
