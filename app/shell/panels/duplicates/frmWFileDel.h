#pragma once

#include "shell/panels/duplicates/DuplicatePanel.h"

namespace quillmere {

// The duplicate delete: every file of the deletion side (right) whose bytes equal a file of
// the comparison side (left) is deleted.
class frmWFileDel final : public DuplicatePanel {
  Q_OBJECT

 public:
  explicit frmWFileDel(QWidget* parent = nullptr);

 protected:
  void writeBackOptions() override;
  void start() override;
};

}  // namespace quillmere
