#include "shell/panels/duplicates/DuplicatePanel.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/panels/OptionBinder.h"

namespace quillmere {

namespace {

constexpr int kRunLabels = 3;

QString runLabelName(int index) {
  return "Run_" + QString::number(index);
}

}  // namespace

DuplicatePanel::DuplicatePanel(Panel panel, std::string section, const Captions& captions,
                               QWidget* parent)
    : FolderPairPanel(panel, std::move(section), QString::fromUtf8(captions.inSide),
                      QString::fromUtf8(captions.outSide), 42, parent) {
  setWindowTitle(QString::fromUtf8(captions.title));
  m_binder = new OptionBinder(this);

  m_details = new QGroupBox(QString::fromUtf8("詳細設定"), this);
  m_details->setObjectName("SettingFrame");
  m_original = new QGroupBox(QString::fromUtf8(captions.original), m_details);
  m_original->setObjectName("Orjinal");
  m_deletion = new QGroupBox(QString::fromUtf8(captions.deletion), m_details);
  m_deletion->setObjectName("Delete");
  for (QGroupBox* frame : {m_original, m_deletion}) {
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(6, 4, 6, 4);
  }
  auto* frames = new QHBoxLayout;
  frames->addWidget(m_original, 1);
  frames->addWidget(m_deletion, 1);
  m_ownOptions = new QVBoxLayout;
  m_detailLayout = new QVBoxLayout(m_details);
  m_detailLayout->addLayout(frames);
  m_detailLayout->addLayout(m_ownOptions);

  makeDetailToggle(folderView(), m_details);
  makeRunButton(QString::fromUtf8(captions.run), QString::fromUtf8(captions.runTip),
                captions.runName);
  makeCancelButton();
  connect(runButton(), &QPushButton::clicked, this, [this] {
    if (!running()) start();
  });

  auto* controls = new QHBoxLayout;
  controls->addStretch();
  controls->addWidget(settingOpen());
  controls->addWidget(settingClose());
  controls->addWidget(makePreviewButton(PanelBase::section()));
  controls->addWidget(runButton());
  controls->addWidget(cancelButton());
  auto* progress = new QHBoxLayout;
  for (int i = 1; i <= kRunLabels; ++i) {
    QLabel* label = makeLabel(runLabelName(i));
    label->hide();
    progress->addWidget(label, i == kRunLabels ? 1 : 0);
    progress->addSpacing(8);
  }
  progress->addWidget(makeEstimateLabel());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(3);
  layout->addWidget(folderView(), 1);
  layout->addWidget(m_details, 1);
  layout->addLayout(controls);
  layout->addLayout(progress);
}

QCheckBox* DuplicatePanel::addCheck(QWidget* parent, QLayout* layout, const char* name,
                                    const char* caption, const std::string& key,
                                    std::function<bool()> read) {
  auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
  box->setObjectName(name);
  layout->addWidget(box);
  m_binder->bindCheck(box, std::move(read),
                      [this, key](bool on) { writeKey(key, on ? "1" : "0"); });
  return box;
}

void DuplicatePanel::addSharedOptions(const SharedReads& reads) {
  auto* trash = new QHBoxLayout;
  addCheck(m_details, trash, "OutFileDel", "ごみ箱経由(HDD時のみ)", section() + "-OutFileDel",
           reads.outFileDel);
  addCheck(m_details, trash, "RDFileDel", "RemovableDisk時は削除を確認", section() + "-RDFileDel",
           reads.rdFileDel);
  trash->addStretch();
  const auto [shutDown, winShutDown] = makeCompletionBoxes();
  shutDown->setParent(m_details);
  winShutDown->setParent(m_details);
  auto* completion = new QHBoxLayout;
  completion->addWidget(shutDown);
  completion->addWidget(winShutDown);
  completion->addStretch();
  m_binder->bindCheck(static_cast<QCheckBox*>(shutDown), reads.shutDown,
                      [this](bool on) { writeKey(section() + "-ShutDown", on ? "1" : "0"); });
  m_binder->bindCheck(static_cast<QCheckBox*>(winShutDown), reads.winShutDown,
                      [this](bool on) { writeKey(section() + "-WinShutDown", on ? "1" : "0"); });
  // The machine is shut down only after a program end: the second box follows the first.
  m_binder->setAfterLoad([this, winShutDown = winShutDown] {
    winShutDown->setEnabled(readKey(section() + "-ShutDown", "0") == "1");
  });
  m_detailLayout->addLayout(trash);
  m_detailLayout->addLayout(completion);
  m_detailLayout->addStretch();
}

void DuplicatePanel::load() {
  loadFolders();
  {
    const Loading loading(*this);
    writeBackOptions();
    m_binder->load();
    showRunLabels(false);
  }
  yield();
}

void DuplicatePanel::fillDetails() {
  m_binder->load();
}

void DuplicatePanel::showRunLabels(bool shown) {
  for (int i = 1; i <= kRunLabels; ++i) {
    auto* label = findChild<QLabel*>(runLabelName(i));
    label->clear();
    label->setVisible(shown);
  }
}

void DuplicatePanel::runStateChanged(bool isRunning) {
  FolderPairPanel::runStateChanged(isRunning);
  if (isRunning)
    showRunLabels(true);
  else
    showRunLabels(false);
}

}  // namespace quillmere
