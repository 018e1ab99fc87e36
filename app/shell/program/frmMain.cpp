#include "frmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMenuBar>

#include "QtUiHook.h"
#include "core/Main.h"
#include "shell/core/ShellState.h"

namespace quillmere {

frmMain::frmMain() : m_area(new QMdiArea(this)) {
  setObjectName("frmMain");
  setWindowTitle("quillmere");
  setCentralWidget(m_area);
  buildMenu();
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
      {"Mirrorring", "ミラーリング", Panel::Mirrorring},
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

  QMenu* arrange = bar->addMenu(QString::fromUtf8("Window整列"));
  arrange->menuAction()->setObjectName("Menu2");
  const char* arrangeCaptions[] = {"重ねて表示", "左右に表示", "上下に表示", "並べて表示",
                                   "全て閉じる"};
  for (int i = 0; i < 5; ++i) {
    QAction* action = arrange->addAction(QString::fromUtf8(arrangeCaptions[i]));
    action->setObjectName(QString("Win%1").arg(i));
  }
  connect(menuItem("Win4"), &QAction::triggered, this, &frmMain::closeAll);

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

QAction* frmMain::menuItem(const QString& name) const {
  return findChild<QAction*>(name);
}

void frmMain::openPanel(int panelIndex) {
  ShellState& state = shell();
  if (state.loading) return;
  state.panelStates[panelIndex] = kPanelAskedToOpen;
}

void frmMain::closeAll() {
  for (std::int32_t& s : shell().panelStates) s = kPanelClosed;
}

void frmMain::toggleClassic() {
  const std::string& ini = shell().iniPath;
  const bool stored =
      settingsBool(dll().DLL_GetStringFromINI(ini, "Main", "Window-Classic", "True"), true);
  const bool now = !stored;
  dll().DLL_WriteStringINI(ini, "Main", "Window-Classic", now ? "True" : "False");
  shell().themedMetrics = now;
  menuItem("Classic")->setChecked(!now);
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

void frmMain::closeEvent(QCloseEvent* event) {
  End();
  event->accept();
}

}  // namespace quillmere
