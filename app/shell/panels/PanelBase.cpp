#include "shell/panels/PanelBase.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/Main.h"
#include "core/UiHook.h"
#include "run/ProgressEstimate.h"
#include "settings/IniStore.h"
#include "shell/core/ShellRunView.h"
#include "shell/core/ShellState.h"
#include "shell/panels/FolderSide.h"
#include "shell/panels/PreviewDialog.h"
#include "shell/widgets/FolderHistory.h"
#include "shell/widgets/FolderWidgets.h"

namespace quillmere {

QColor panelColour(unsigned bgr) {
  return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

// The run view on the panel's widgets: labels by control name, yields to the event loop,
// message boxes through the program's UI hook; the shared state (cancel flag, running flags,
// reopening after a run) is the shell's run view.
class PanelBase::View final : public ShellRunView {
 public:
  explicit View(PanelBase& panel) : m_panel(panel) {}

  void setLabel(std::string_view name, const std::string& text, int index) override {
    QString objectName = QString::fromUtf8(name.data(), static_cast<int>(name.size()));
    if (index >= 0) objectName += "_" + QString::number(index);
    if (auto* label = m_panel.findChild<QLabel*>(objectName))
      label->setText(QString::fromStdString(text));
    if (m_estimate.takeLabel(name, text, index)) showEstimate();
  }
  // The totals of the plan the next run carries out (none: the run's own count serves).
  void expectPlan(const PlanSummary& plan) {
    m_planFiles = plan.moves + plan.copies + plan.trashed + plan.deleted;
    m_planBytes = plan.bytes;
  }
  void forgetPlan() { m_planFiles = m_planBytes = 0; }
  void yield() override { PanelBase::yield(); }
  int messageBox(const std::string& text, int style, const std::string& title) override {
    return showMessage(text, style, title);
  }
  void setRunning(bool running) override {
    if (running) {
      m_estimate.start(m_planFiles, m_planBytes);
      showEstimate();
    }
    m_panel.setRunning(running);
  }
  void runCompleted(std::string_view sectionWord) override {
    if (m_panel.m_completion) m_panel.m_completion(sectionWord);
  }

 private:
  void showEstimate() {
    if (auto* label = m_panel.findChild<QLabel*>("Estimate"))
      label->setText(QString::fromStdString(m_estimate.text()));
  }

  PanelBase& m_panel;
  ProgressEstimate m_estimate;
  std::int64_t m_planFiles = 0, m_planBytes = 0;
};

PanelBase::PanelBase(Panel panel, std::string section, QWidget* parent)
    : PanelWindow(panel, parent),
      m_section(std::move(section)),
      m_view(std::make_unique<View>(*this)) {}

PanelBase::~PanelBase() = default;

RunView& PanelBase::runView() {
  return *m_view;
}

void PanelBase::yield() {
  QApplication::processEvents();
}

std::string PanelBase::readKey(const std::string& key, const std::string& fallback) const {
  return dll().DLL_GetStringFromINI(shell().iniPath, m_section, key, fallback);
}

void PanelBase::writeKey(const std::string& key, const std::string& value) const {
  dll().DLL_WriteStringINI(shell().iniPath, m_section, key, value);
}

// ---- pieces -------------------------------------------------------------------------------

FolderSide* PanelBase::makeSide(const QString& prefix, const QString& caption) {
  auto* side = new FolderSide(prefix, prefix + "DirFrame", caption, this);
  m_sides.push_back(side);
  connect(side, &FolderSide::driveChosen, this, [this, side](const std::string& root) {
    if (!m_loading && !m_running) openDrive(*side, root);
  });
  connect(side, &FolderSide::folderOpened, this, [this, side](const std::string&) {
    if (!m_loading && !m_running) sideFolderChanged(*side);
  });
  connect(side, &FolderSide::filesDropped, this, [this, side](const QStringList& items) {
    if (!m_loading && !m_running) takeDrops(*side, items);
  });
  connect(side, &FolderSide::favouriteChosen, this, [this, side](int position) {
    if (!m_loading && !m_running) chooseFavourite(*side, position);
  });
  return side;
}

QPushButton* PanelBase::makeRunButton(const QString& caption, const QString& tip,
                                      const QString& name) {
  m_run = new QPushButton(caption, this);
  m_run->setObjectName(name);
  m_run->setToolTip(tip);
  return m_run;
}

QPushButton* PanelBase::makeCancelButton() {
  m_cancel = new QPushButton("Cancel", this);
  m_cancel->setObjectName("Cancel");
  m_cancel->hide();
  // Cancel only raises the program-wide flag; the run stops at its next test.
  connect(m_cancel, &QPushButton::clicked, this, [] { shell().cancel = true; });
  return m_cancel;
}

QPushButton* PanelBase::makePreviewButton(const std::string& actionName) {
  m_previewAction = actionName;
  m_preview = new QPushButton(QString::fromUtf8("プレビュー"), this);
  m_preview->setObjectName("Preview");
  const run::RunAction* action = run::findAction(actionName);
  if (action != nullptr && action->preview) {
    m_preview->setToolTip(
        QString::fromUtf8("実行する内容を、ファイルに触れずに一覧で表示します。"));
    connect(m_preview, &QPushButton::clicked, this, &PanelBase::showPreview);
  } else {
    m_preview->setEnabled(false);
    m_preview->setToolTip(QString::fromUtf8("この処理のプレビューはまだありません。"));
  }
  // Out of the Tab order, which stays as it was (the run button the last stop); Alt+P reaches it.
  m_preview->setFocusPolicy(Qt::ClickFocus);
  m_preview->setShortcut(QKeySequence("Alt+P"));
  return m_preview;
}

run::RunRequest PanelBase::previewRequest() const {
  run::RunRequest request;
  request.iniPath = shell().iniPath;
  return request;
}

namespace {

// The action's plan from the settings as they stand; whatever the preview writes to the
// settings file is forgotten.
RunOutcome planOf(const run::RunAction& action, const run::RunRequest& request, RunPlan& plan) {
  RunOutcome outcome;
  settings::IniBatch batch(settings::iniNativePath(request.iniPath));
  try {
    outcome = action.preview(request, plan);
  } catch (const std::exception& e) {
    outcome.refused = true;
    outcome.message = e.what();
  }
  batch.discard();
  return outcome;
}

}  // namespace

void PanelBase::showPreview() {
  if (m_running || m_run == nullptr) return;
  const run::RunAction* action = run::findAction(m_previewAction);
  if (action == nullptr || !action->preview) return;
  const run::RunRequest request = previewRequest();
  PreviewDialog dialog([action, request](RunPlan& plan) { return planOf(*action, request, plan); },
                       windowTitle(), this);
  dialog.showPlan();
  // The main timer may have started a run while the dialog was open.
  if (dialog.exec() != QDialog::Accepted || m_running) return;
  // The run starts as the run button starts it, with the plan's totals for its estimate.
  m_view->expectPlan(dialog.plan().summary());
  m_run->click();
  m_view->forgetPlan();
}

QLabel* PanelBase::makeEstimateLabel() {
  return makeLabel("Estimate");
}

QLabel* PanelBase::makeLabel(const QString& name, const QString& text) {
  auto* label = new QLabel(text, this);
  label->setObjectName(name);
  return label;
}

QHBoxLayout* PanelBase::makeSidePair(FolderSide* in, FolderSide* out) {
  m_toOut = new QPushButton(QString::fromUtf8("→"), this);
  m_toOut->setObjectName("ToOut");
  m_toOut->setToolTip(
      QString::fromUtf8("右のディレクトリパスを、左のディレクトリパスと同じにします。"));
  m_toIn = new QPushButton(QString::fromUtf8("←"), this);
  m_toIn->setObjectName("ToIn");
  m_toIn->setToolTip(
      QString::fromUtf8("左のディレクトリパスを、右のディレクトリパスと同じにします。"));
  for (QPushButton* b : {m_toOut, m_toIn}) b->setFixedWidth(28);
  connect(m_toOut, &QPushButton::clicked, this, [this, in, out] { copySide(*in, *out); });
  connect(m_toIn, &QPushButton::clicked, this, [this, in, out] { copySide(*out, *in); });

  auto* middle = new QVBoxLayout;
  middle->addStretch();
  middle->addWidget(m_toOut);
  middle->addWidget(m_toIn);
  middle->addStretch();
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(3);
  row->addWidget(in, 1);
  row->addLayout(middle);
  row->addWidget(out, 1);
  return row;
}

QHBoxLayout* PanelBase::makeProgressRow(const QString& firstCounter, const QString& secondCounter) {
  auto* row = new QHBoxLayout;
  row->addWidget(makeLabel(firstCounter));
  row->addWidget(makeLabel(secondCounter));
  row->addSpacing(8);
  row->addWidget(makeEstimateLabel());
  row->addSpacing(8);
  row->addWidget(makeLabel("Command"), 1);
  return row;
}

QHBoxLayout* PanelBase::makeProgressRowWithNoSpace(const QString& firstCounter,
                                                   const QString& secondCounter, QLabel* trailing) {
  QHBoxLayout* row = makeProgressRow(firstCounter, secondCounter);
  m_noSpace = makeLabel("NoSpace");
  QPalette warning = m_noSpace->palette();
  warning.setColor(QPalette::WindowText, Qt::red);
  m_noSpace->setPalette(warning);
  row->addWidget(m_noSpace);
  if (trailing != nullptr) {
    row->setStretchFactor(findChild<QLabel*>("Command"), 0);
    row->addWidget(trailing, 1);
  }
  return row;
}

void PanelBase::copySide(FolderSide& from, FolderSide& to) {
  if (m_running) return;
  if (to.showFolder(from.folder())) sideFolderChanged(to);
}

void PanelBase::makeDetailToggle(QWidget* folderView, QWidget* detailFrame) {
  m_folderView = folderView;
  m_detailFrame = detailFrame;
  m_settingOpen = new QPushButton(QString::fromUtf8("詳細設定"), this);
  m_settingOpen->setObjectName("SettingOpen");
  m_settingOpen->setToolTip(QString::fromUtf8("詳細設定メニューを開きます。"));
  m_settingClose = new QPushButton(QString::fromUtf8("閉じる"), this);
  m_settingClose->setObjectName("SettingClose");
  m_settingClose->hide();
  m_detailFrame->hide();
  connect(m_settingOpen, &QPushButton::clicked, this, &PanelBase::openDetails);
  connect(m_settingClose, &QPushButton::clicked, this, &PanelBase::closeDetails);
}

std::pair<QWidget*, QWidget*> PanelBase::makeCompletionBoxes() {
  auto* shutDown = new QCheckBox(QString::fromUtf8("実行後自動終了"), this);
  shutDown->setObjectName("ShutDown");
  auto* winShutDown = new QCheckBox(QString::fromUtf8("Windowsも終了する。"), this);
  winShutDown->setObjectName("WinShutDown");
  return {shutDown, winShutDown};
}

// ---- detail view --------------------------------------------------------------------------

void PanelBase::openDetails() {
  {
    const Loading loading(*this);
    if (m_run) m_run->hide();
    if (m_preview) m_preview->hide();
    m_folderView->hide();
    m_settingOpen->hide();
    m_settingClose->show();
    m_detailFrame->show();
    fillDetails();
  }
  yield();
}

void PanelBase::closeDetails() {
  if (m_run) m_run->show();
  if (m_preview) m_preview->show();
  m_folderView->show();
  m_settingOpen->show();
  m_settingClose->hide();
  m_detailFrame->hide();
}

// ---- sides --------------------------------------------------------------------------------

void PanelBase::openDrive(FolderSide& side, const std::string& driveRoot) {
  if (dll().DLL_CheckDisk(driveRoot) != 0 || !side.showFolder(dll().DLL_DiskName(driveRoot))) {
    // A drive that cannot be read: the drive list goes back to the folder's drive.
    side.drives()->setDrive(side.folder());
    return;
  }
  sideFolderChanged(side);
}

void PanelBase::sideFolderChanged(FolderSide& side) {
  if (!sideKey(side).empty()) fillFavourites(side);
}

void PanelBase::sideDropped(FolderSide& side, const std::string& item) {
  if (dll().DLL_CheckDisk(item) != 0) return;
  if (side.showFolder(dll().DLL_DirName(item, 1))) sideFolderChanged(side);
}

void PanelBase::takeDrops(FolderSide& side, const QStringList& items) {
  if (!items.isEmpty()) sideDropped(side, items.front().toStdString());
}

void PanelBase::fillFavourites(FolderSide& side) {
  const std::string key = sideKey(side);
  if (key.empty()) return;
  const FolderHistory history(shell().iniPath, m_section, key, shell().programDrive);
  const QSignalBlocker block(side.favourites());
  history.fill(favouritesWidth(), *side.favourites(), side.folder());
  side.favourites()->setCurrentIndex(0);
}

void PanelBase::chooseFavourite(FolderSide& side, int position) {
  const std::string key = sideKey(side);
  if (key.empty()) return;
  const FolderHistory history(shell().iniPath, m_section, key, shell().programDrive);
  {
    const Loading loading(*this);
    const QSignalBlocker block(side.favourites());
    history.choose(position, favouritesWidth(), *side.favourites(),
                   {side.drives(), side.folders(), side.files()});
    side.favourites()->setCurrentIndex(0);
  }
  sideFolderChanged(side);
}

// ---- runs ---------------------------------------------------------------------------------

void PanelBase::beginRun() {
  shell().cancel = false;
}

bool PanelBase::cancelled() const {
  return shell().cancel;
}

void PanelBase::setRunning(bool running) {
  m_running = running;
  if (m_run) m_run->setVisible(!running);
  if (m_preview) m_preview->setVisible(!running);
  if (m_settingOpen) m_settingOpen->setVisible(!running && !m_detailFrame->isVisible());
  if (m_cancel) m_cancel->setVisible(running);
  for (FolderSide* side : m_sides) {
    side->favourites()->setEnabled(!running);
    side->drives()->setEnabled(!running);
    side->folders()->setEnabled(!running);
    side->files()->setEnabled(!running);
  }
  runStateChanged(running);
  if (!running)
    for (FolderSide* side : m_sides) side->refresh();
}

void PanelBase::closeEvent(QCloseEvent* event) {
  // The run's frame lives on the panel: it closes once the run has returned.
  if (m_running) {
    event->ignore();
    return;
  }
  PanelWindow::closeEvent(event);
}

}  // namespace quillmere
