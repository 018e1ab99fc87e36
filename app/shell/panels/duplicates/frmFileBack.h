#pragma once

#include "shell/panels/duplicates/DuplicatePanel.h"

namespace quillmere {

// The file back: every file of the source side (left) moves beside the first file of the same
// name in the destination tree (right), or into a subfolder of that file's folder.
class frmFileBack final : public DuplicatePanel {
  Q_OBJECT

 public:
  explicit frmFileBack(QWidget* parent = nullptr);

 protected:
  void writeBackOptions() override;
  void start() override;
};

}  // namespace quillmere
