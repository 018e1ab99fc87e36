#pragma once

#include <functional>
#include <string>

#include "shell/panels/FolderPairPanel.h"

class QCheckBox;
class QGroupBox;
class QLayout;
class QVBoxLayout;

namespace quillmere {

class OptionBinder;

// What the duplicate delete and the file back share: the two folder sides, the detail frame
// with the frames Orjinal and Delete, the trash and confirmation options and the completion
// boxes, the progress label array Run (1 to 3), and the load that writes the option keys back.
class DuplicatePanel : public FolderPairPanel {
  Q_OBJECT

 public:
  void load() override;

 protected:
  struct Captions {
    const char* title;
    const char* inSide;
    const char* outSide;
    const char* original;  // frame Orjinal
    const char* deletion;  // frame Delete
    const char* runName;   // the run button's control name
    const char* run;       // its caption
    const char* runTip;
  };
  DuplicatePanel(Panel panel, std::string section, const Captions& captions,
                 QWidget* parent = nullptr);

  QGroupBox* originalFrame() const { return m_original; }
  QGroupBox* deletionFrame() const { return m_deletion; }
  // Room in the detail frame for the panel's own options, above the shared ones.
  QVBoxLayout* ownOptions() const { return m_ownOptions; }
  OptionBinder& binder() const { return *m_binder; }

  // A check box that writes its key ("1" or "0") when clicked and shows read() after a load.
  QCheckBox* addCheck(QWidget* parent, QLayout* layout, const char* name, const char* caption,
                      const std::string& key, std::function<bool()> read);
  // The shared check boxes, added once the panel's own options are in place.
  struct SharedReads {
    std::function<bool()> outFileDel, rdFileDel, shutDown, winShutDown;
  };
  void addSharedOptions(const SharedReads& reads);

  // Reads every option key with its default and writes it back, in the panel's order.
  virtual void writeBackOptions() = 0;
  // The run button's action.
  virtual void start() = 0;

  void fillDetails() override;
  void runStateChanged(bool running) override;

 private:
  void showRunLabels(bool shown);

  QGroupBox* m_details = nullptr;
  QGroupBox* m_original = nullptr;
  QGroupBox* m_deletion = nullptr;
  QVBoxLayout* m_ownOptions = nullptr;
  QVBoxLayout* m_detailLayout = nullptr;
  OptionBinder* m_binder = nullptr;
};

}  // namespace quillmere
