#include "frmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QProcess>
#include <QShortcut>

#include "Completion.h"
#include "JobStepView.h"
#include "ProgramPanels.h"
#include "QtUiHook.h"
#include "core/Main.h"
#include "frmJob.h"
#include "frmJobCards.h"
#include "frmVersion.h"
#include "platform/DriveMap.h"
#include "settings/ValueText.h"
#include "shell/core/ShellState.h"
#include "shell/run/StoredRun.h"
#include "shell/timer/MainTimer.h"

namespace quillmere {

frmMain::frmMain()
    : m_area(new QMdiArea(this)),
      m_windows(std::make_unique<WindowManager>(*this, *m_area, shell(),
                                                [this](Panel panel) { return makePanel(panel); })) {
  setObjectName("frmMain");
  setWindowTitle("quillmere");
  setCentralWidget(m_area);
  // A panel that reaches past the area (the job panel is taller than the main window's first
  // size) can be scrolled into view.
  m_area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_timer = new MainTimer(shell(), defaultTimerSteps(), this);
  buildMenu();
  buildHelp();
  startCardWatch(*this);
}

frmMain::~frmMain() = default;

MainTimerSteps frmMain::defaultTimerSteps() {
  MainTimerSteps steps;
  steps.clearNoSpaceMessage = [this] { clearNoSpaceMessage(); };
  steps.windowManagerPass = [this] { m_windows->pass(); };
  steps.updateHandOver = [this](const std::string& path) { handOverUpdate(*this, path); };
  steps.exitRoutine = [this] { End(); };
  steps.startScheduledMirroringRun = scheduledMirroringRun();
  return steps;
}

std::function<void()> frmMain::scheduledMirroringRun() {
  return [this] { runScheduledMirroring(*m_windows, this); };
}

void frmMain::setTimerSteps(MainTimerSteps steps) {
  delete m_timer;
  m_timer = new MainTimer(shell(), std::move(steps), this);
  if (!m_timer->hasScheduledMirroringRun())
    m_timer->setScheduledMirroringRun(scheduledMirroringRun());
}

void frmMain::buildMenu() {
  struct PanelItem {
    const char* name;
    const char* caption;
    Panel panel;
  };
  const PanelItem panels[] = {
      {"ReName", "リネーム", Panel::ReName},
      {"Duplication_File_Delete", "重複ファイル削除", Panel::WFileDel},
      {"BackUP", "バックアップ", Panel::BackUP},
      {"Mirrorring", "ミラーリング", Panel::Mirroring},
      {"FileBack", "ファイル書き戻し", Panel::FileBack},
      {"Recovery", "リカバリー", Panel::Recovery},
      {"Job", "Job", Panel::Job},
  };
  QMenuBar* bar = menuBar();
  for (const PanelItem& item : panels) {
    QAction* action = bar->addAction(QString::fromUtf8(item.caption));
    action->setObjectName(item.name);
    const int index = static_cast<int>(item.panel);
    connect(action, &QAction::triggered, this, [this, index] { openPanel(index); });
  }
  buildArrangeMenu();

  QAction* classic = bar->addAction(QString::fromUtf8("クラシック表示"));
  classic->setObjectName("Classic");
  classic->setCheckable(true);
  connect(classic, &QAction::triggered, this, &frmMain::toggleClassic);

  QAction* version = bar->addAction("Version");
  version->setObjectName("Version");
  connect(version, &QAction::triggered, this,
          [this] { openPanel(static_cast<int>(Panel::Version)); });

  QAction* end = bar->addAction(QString::fromUtf8("終了"));
  end->setObjectName("End");
  connect(end, &QAction::triggered, this, &frmMain::End);
}

void frmMain::buildArrangeMenu() {
  QMenu* arrange = menuBar()->addMenu(QString::fromUtf8("Window整列"));
  arrange->menuAction()->setObjectName("Menu2");
  const char* captions[] = {"重ねて表示", "左右に表示", "上下に表示", "並べて表示", "全て閉じる"};
  const layout::Arrangement arrangements[] = {
      layout::Arrangement::Cascade, layout::Arrangement::SideBySide, layout::Arrangement::Stacked,
      layout::Arrangement::Tile};
  for (int i = 0; i < 5; ++i) {
    QAction* action = arrange->addAction(QString::fromUtf8(captions[i]));
    action->setObjectName(QString("Win%1").arg(i));
    if (i < 4) {
      const layout::Arrangement arrangement = arrangements[i];
      connect(action, &QAction::triggered, this,
              [this, arrangement] { m_windows->arrange(arrangement); });
    }
  }
  connect(menuItem("Win4"), &QAction::triggered, this, [this] { m_windows->closeAll(); });
}

void frmMain::buildHelp() {
  QAction* help = menuBar()->addAction(QString::fromUtf8("ヘルプ"));
  help->setObjectName("Help");
  help->setShortcut(QKeySequence::HelpContents);
  help->setShortcutContext(Qt::ApplicationShortcut);
  connect(help, &QAction::triggered, this, &frmMain::showHelp);
}

QAction* frmMain::menuItem(const QString& name) const {
  return findChild<QAction*>(name);
}

void frmMain::openPanel(int panelIndex) {
  ShellState& state = shell();
  if (state.loading) return;
  state.panelStates[panelIndex] = kPanelAskedToOpen;
  m_windows->pass();
  if (QMdiSubWindow* window = m_windows->subWindow(panelAt(panelIndex)))
    m_area->setActiveSubWindow(window);
}

PanelWindow* frmMain::makePanel(Panel panel) {
  switch (panel) {
    case Panel::Job:
      return new frmJob(
          {.runStep = [this](const job::PlannedStep& step) { return runJobStep(step); },
           .raiseBusy = [this] { m_windows->raiseBusy(); },
           .lowerBusy = [this] { m_windows->lowerBusy(); }});
    case Panel::Version:
      return new frmVersion(
          {.requestUpdate = [this](const std::string& path) { m_timer->requestUpdate(path); },
           .openAddress = {}});
    default:
      return makeProgramPanel(panel, this);
  }
}

namespace {

Panel panelOfAction(job::StepAction action) {
  for (int i = 0; i < kPanelCount; ++i)
    if (std::string(panelWord(panelAt(i))) == job::actionName(action)) return panelAt(i);
  return Panel::ReName;
}

}  // namespace

job::StepOutcome frmMain::runJobStep(const job::PlannedStep& step) {
  const Panel panel = panelOfAction(step.action);
  shell().state(panel) = kPanelAskedToOpen;
  m_windows->pass();
  QApplication::processEvents();
  std::optional<job::StepOutcome> outcome;
  if (PanelWindow* window = m_windows->panel(panel)) outcome = window->runForJob();
  if (!outcome) outcome = runStoredStep(step);
  outcome->endsProgram = outcome->endsProgram || m_ending;
  QApplication::processEvents();
  shell().state(panel) = kPanelClosed;
  return *outcome;
}

job::StepOutcome frmMain::runStoredStep(const job::PlannedStep& step) {
  JobStepView::Hooks hooks;
  hooks.showProgress = [this](const QString& text) {
    if (PanelWindow* jobPanel = m_windows->panel(Panel::Job))
      if (auto* label = jobPanel->findChild<QLabel*>("StepProgress")) label->setText(text);
  };
  if (step.action != job::StepAction::ReName)
    hooks.completed = [this](std::string_view section) {
      runCompletionStep(section, programCompletionActions(this));
    };
  JobStepView view(
      QString("Step%1 %2").arg(step.step).arg(QString::fromUtf8(job::actionCaption(step.action))),
      std::move(hooks));
  shell().cancel = false;  // a run clears the cancel flag when it starts
  const RunOutcome result =
      run::runStoredAction(job::actionName(step.action), shell().iniPath, view);
  return {exitStatusOf(result), result.cancelled, m_ending};
}

void frmMain::toggleClassic() {
  const std::string& ini = shell().iniPath;
  const bool stored =
      settings::flagOr(dll().DLL_GetStringFromINI(ini, "Main", "Window-Classic", "True"), true);
  const bool now = !stored;
  dll().DLL_WriteStringINI(ini, "Main", "Window-Classic", now ? "True" : "False");
  shell().themedMetrics = now;
  menuItem("Classic")->setChecked(!now);
  m_windows->fit();
}

namespace {

// Installed, the help file lies in share/quillmere/ beside the program's bin/; in the build
// tree it lies beside the program.
std::string defaultHelpFolder() {
  const QDir programFolder(QCoreApplication::applicationDirPath());
  const QString installed = programFolder.absoluteFilePath("../share/quillmere");
  const QString native =
      QDir(installed).exists() ? QDir::cleanPath(installed) : programFolder.absolutePath();
  return platform::DriveMap::current().toPathText(QFile::encodeName(native).toStdString());
}

}  // namespace

void frmMain::showHelp() {
  try {
    const std::string folder =
        dll().DLL_GetStringFromINI(shell().iniPath, "Main", "Help", defaultHelpFolder());
    std::string file = "QuMere_Help.html";
    if (dll().DLL_FileSerch(folder, file, true))
      dll().DLL_OpenFile(quillmere::windowHandle(this), file, "", 5);
  } catch (const DllError&) {
    // Help is a convenience: a failure leaves the program as it was.
  }
}

void frmMain::clearNoSpaceMessage() {
  for (Panel p : {Panel::ReName, Panel::Mirroring}) {
    PanelWindow* panel = m_windows->panel(p);
    if (panel == nullptr) continue;
    if (auto* label = panel->findChild<QLabel*>("NoSpace"); label && !label->text().isEmpty())
      label->clear();
  }
}

void frmMain::End() {
  if (m_ending) return;
  m_ending = true;
  try {
    dll().DLL_SetFormTop(quillmere::windowHandle(this), 0);
  } catch (const DllError&) {
    // Leaving the on-top state must not keep the panel states from being stored.
  }
  storePanelStates(shell());
  QApplication::exit(0);
}

void frmMain::endAtOnce() {
  m_ending = true;
  QApplication::exit(0);
}

void frmMain::closeEvent(QCloseEvent* event) {
  End();
  event->accept();
}

void handOverUpdate(frmMain& window, const std::string& downloadPath) {
  // The download goes to the desktop's opener (an archive manager, a package installer), which
  // the user answers; the program never runs it itself. It stays in the download folder: the
  // opener reads it after this program has ended.
  if (const auto native = platform::nativePathOf(downloadPath))
    QProcess::startDetached("xdg-open", {QString::fromStdString(*native)});
  window.endAtOnce();
}

}  // namespace quillmere
