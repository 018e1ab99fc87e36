#include "WindowManager.h"

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>

#include <algorithm>
#include <cmath>

#include "core/Main.h"
#include "settings/ValueText.h"

namespace quillmere {

namespace {

const char* const kMainTop = "Window-Menu-Top";
const char* const kMainLeft = "Window-Menu-Left";
const char* const kMainHeight = "Window-Menu-Height";
const char* const kMainWidth = "Window-Menu-Width";

std::string wholeNumberText(double value) {
  return std::to_string(std::llround(value));
}

void yieldToWindowSystem() {
  QApplication::processEvents();
}

}  // namespace

std::string panelTopKey(Panel panel) {
  return std::string("Window-") + panelWord(panel) + "-Top";
}

std::string panelLeftKey(Panel panel) {
  return std::string("Window-") + panelWord(panel) + "-Left";
}

WindowManager::WindowManager(QMainWindow& main, QMdiArea& area, ShellState& state,
                             PanelFactory factory)
    : m_main(main), m_area(area), m_state(state), m_factory(std::move(factory)) {}

layout::TwipScale WindowManager::scale() const {
  const QScreen* screen = m_main.screen();
  return layout::TwipScale(screen != nullptr ? screen->logicalDotsPerInch() : 96);
}

double WindowManager::screenWidthTwips() const {
  const QScreen* screen = m_main.screen();
  return screen != nullptr ? scale().toTwips(screen->geometry().width()) : 0;
}

double WindowManager::screenHeightTwips() const {
  const QScreen* screen = m_main.screen();
  return screen != nullptr ? scale().toTwips(screen->geometry().height()) : 0;
}

double WindowManager::readTwips(const std::string& key, const char* fallback) const {
  return settings::numberOrZero(dll().DLL_GetStringFromINI(m_state.iniPath, "Main", key, fallback));
}

void WindowManager::writeTwips(const std::string& key, double twips) const {
  dll().DLL_WriteStringINI(m_state.iniPath, "Main", key, wholeNumberText(twips));
}

bool WindowManager::mainWindowNormal() const {
  return (m_main.windowState() &
          (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) == 0;
}

PanelWindow* WindowManager::panel(Panel panel) const {
  QMdiSubWindow* window = subWindow(panel);
  return window != nullptr ? qobject_cast<PanelWindow*>(window->widget()) : nullptr;
}

QMdiSubWindow* WindowManager::subWindow(Panel panel) const {
  return m_windows[static_cast<int>(panel)].data();
}

void WindowManager::pass() {
  yieldToWindowSystem();
  closeUnwanted();
  if (mainWindowNormal()) storeMainGeometry();
  for (int i = 0; i < kPanelCount; ++i) {
    const Panel p = panelAt(i);
    if (m_state.state(p) <= 0 || !m_state.ready) continue;
    if (m_state.state(p) >= kPanelAskedToOpen) {
      openPanel(p);
    } else if (m_state.state(p) == kPanelReread) {
      if (PanelWindow* window = panel(p)) window->Path();
      m_state.state(p) = kPanelOpen;
    }
    if (shellIdlePointer() && !m_state.loading) storePanelPosition(p);
  }
}

void WindowManager::closeUnwanted() {
  for (int i = 0; i < kPanelCount; ++i) {
    if (m_state.panelStates[i] != kPanelClosed || m_windows[i].isNull()) continue;
    // A panel in the middle of its run closes at the first pass after the run.
    if (PanelWindow* content = panel(panelAt(i)); content != nullptr && content->running())
      continue;
    QMdiSubWindow* window = m_windows[i].data();
    m_windows[i].clear();
    m_area.removeSubWindow(window);
    delete window;
  }
}

void WindowManager::storeMainGeometry() {
  const layout::TwipScale twips = scale();
  writeTwips(kMainTop, twips.toTwips(m_main.y()));
  writeTwips(kMainLeft, twips.toTwips(m_main.x()));
  writeTwips(kMainHeight, twips.toTwips(m_main.height()));
  writeTwips(kMainWidth, twips.toTwips(m_main.width()));
}

void WindowManager::openPanel(Panel p) {
  const int index = static_cast<int>(p);
  m_state.state(p) = kPanelClosed;
  QMdiSubWindow* window = subWindow(p);
  if (window == nullptr) {
    PanelWindow* content = m_factory(p);
    window = m_area.addSubWindow(content);
    window->setObjectName(content->objectName() + "Window");
    window->setWindowTitle(content->windowTitle());
    window->setAttribute(Qt::WA_DeleteOnClose);
    // Closed with its close box: the panel's state becomes 0, as its unloading does.
    ShellState* state = &m_state;
    QObject::connect(window, &QObject::destroyed, [state, index] {
      std::int32_t& number = state->panelStates[index];
      if (number == kPanelOpen || number == kPanelReread) number = kPanelClosed;
    });
    m_windows[index] = window;
  }
  window->show();
  const layout::TwipScale twips = scale();
  window->move(twips.toPixels(readTwips(panelLeftKey(p), "0")),
               twips.toPixels(readTwips(panelTopKey(p), "0")));
  // Every panel has one size; a panel whose controls need more (the job panel with its card
  // frame, a large font) grows to fit, so no caption is cut off.
  const QSize fitted = window->minimumSizeHint();
  window->resize(std::max(twips.toPixels(layout::kPanelWidth), fitted.width()),
                 std::max(twips.toPixels(layout::kPanelHeight), fitted.height()));
  m_state.state(p) = kPanelOpen;
  raiseBusy();
  if (PanelWindow* content = panel(p)) content->load();
  focus(p);
  lowerBusy();
  yieldToWindowSystem();
}

void WindowManager::storePanelPosition(Panel p) {
  const QMdiSubWindow* window = subWindow(p);
  if (window == nullptr) return;
  const layout::TwipScale twips = scale();
  writeTwips(panelTopKey(p), twips.toTwips(window->y()));
  writeTwips(panelLeftKey(p), twips.toTwips(window->x()));
}

void WindowManager::focus(Panel p) {
  QMdiSubWindow* window = subWindow(p);
  if (window == nullptr) return;
  m_area.setActiveSubWindow(window);
  window->setFocus();
}

void WindowManager::focusPass() {
  for (int i = 0; i < kPanelCount; ++i)
    if (m_state.panelStates[i] == kPanelOpen) focus(panelAt(i));
}

void WindowManager::applyStartGeometry() {
  const layout::Geometry stored{readTwips(kMainTop, "0"), readTwips(kMainLeft, "0"),
                                readTwips(kMainHeight, "6575"), readTwips(kMainWidth, "9525")};
  const layout::Geometry cut =
      layout::clampToScreen(stored, screenWidthTwips(), screenHeightTwips());
  if (cut.width != stored.width) writeTwips(kMainWidth, cut.width);
  if (cut.height != stored.height) writeTwips(kMainHeight, cut.height);
  if (cut.left != stored.left) writeTwips(kMainLeft, cut.left);
  if (cut.top != stored.top) writeTwips(kMainTop, cut.top);
  const layout::TwipScale twips = scale();
  m_main.move(twips.toPixels(cut.left), twips.toPixels(cut.top));
  m_main.resize(twips.toPixels(cut.width), twips.toPixels(cut.height));
}

void WindowManager::arrange(layout::Arrangement arrangement) {
  std::vector<Panel> open;
  for (int i = 0; i < kPanelCount; ++i)
    if (m_state.panelStates[i] == kPanelOpen && m_windows[i] != nullptr) open.push_back(panelAt(i));
  const auto places = layout::arrangedPositions(arrangement, static_cast<int>(open.size()));
  const layout::TwipScale twips = scale();
  for (std::size_t n = 0; n < open.size(); ++n)
    subWindow(open[n])->move(twips.toPixels(places[n].left), twips.toPixels(places[n].top));
  fit();
}

void WindowManager::closeAll() {
  m_state.panelStates.fill(kPanelClosed);
  fit();
}

void WindowManager::fit() {
  const layout::TwipScale twips = scale();
  double greatestTop = 0;
  double greatestLeft = 0;
  for (int i = 0; i < kPanelCount; ++i) {
    if (m_state.panelStates[i] != kPanelOpen || m_windows[i] == nullptr) continue;
    greatestTop = std::max(greatestTop, twips.toTwips(m_windows[i]->y()));
    greatestLeft = std::max(greatestLeft, twips.toTwips(m_windows[i]->x()));
    focus(panelAt(i));
  }
  const layout::Size size = layout::fittedMainSize(greatestTop, greatestLeft, m_state.themedMetrics,
                                                   screenWidthTwips(), screenHeightTwips());
  writeTwips(kMainHeight, size.height);
  writeTwips(kMainWidth, size.width);
  if (!mainWindowNormal()) return;
  m_main.resize(twips.toPixels(readTwips(kMainWidth, "9525")),
                twips.toPixels(readTwips(kMainHeight, "6575")));
}

void WindowManager::raiseBusy() {
  changeBusy(+1);
}

void WindowManager::lowerBusy() {
  changeBusy(-1);
}

void WindowManager::changeBusy(int delta) {
  m_state.busy += delta;
  if (m_state.busy != 0) {
    m_main.setCursor(Qt::WaitCursor);
  } else {
    m_main.unsetCursor();
  }
  yieldToWindowSystem();
}

bool WindowManager::shellIdlePointer() const {
  return m_main.cursor().shape() != Qt::WaitCursor;
}

}  // namespace quillmere
