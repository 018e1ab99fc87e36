#pragma once

#include "shell/panels/PanelBase.h"

class QListWidget;

namespace quillmere {

// The recovery panel: gives files parked by an interrupted rename ("DSC2002.NEFTemp") their
// names back, in the folder tree the folder list shows. It stores no settings.
class frmRecovery final : public PanelBase {
  Q_OBJECT

 public:
  explicit frmRecovery(QWidget* parent = nullptr);

  void load() override;

  // The Run button's action.
  void repair();

 protected:
  void runStateChanged(bool running) override;
  run::RunRequest previewRequest() const override;

 private:
  FolderSide* m_in = nullptr;
  QListWidget* m_leftParked = nullptr;
};

}  // namespace quillmere
